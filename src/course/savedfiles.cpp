#include "course/savedfiles.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <strings.h>

#include "course/courseload.h"
#include "framework/core/bigfileio.h"
#include "framework/core/errors.h"
#include "framework/core/paths.h"
#include "framework/core/services.h"
#include "platformlib/core/byteorder.h"

namespace {

constexpr char kGameMagic[4] = {'T', 'B', 'S', 'G'};
constexpr uint32_t kGameVersion = 1;
constexpr size_t kMaxBody = 16u << 20;
constexpr int kMaxNumber = 9999;

std::string g_gameFolder = "C:\\SAVEGAME";
std::string g_shotFolder = "C:\\";
int g_lastGame = 0;

std::string join(const std::string& folder, const std::string& name) {
  return !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

std::string gameName(int number) {
  char name[24];
  std::snprintf(name, sizeof name, "game%04d.dat", number);
  return name;
}

// A zero-terminated text in a fixed field: false when the field has no terminator or holds a control byte.
bool readField(const uint8_t* field, size_t size, std::string& out) {
  const void* end = std::memchr(field, 0, size);
  if (!end) return false;
  out.assign(reinterpret_cast<const char*>(field), static_cast<size_t>(static_cast<const uint8_t*>(end) - field));
  for (char c : out)
    if (static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

void writeField(uint8_t* field, size_t size, const std::string& text) {
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

// Numbers of the files "<prefix>NNNN<suffix>" in a folder, by the platform's case-blind names.
std::vector<std::pair<int, std::string>> numberedFiles(const std::string& folder, const char* pattern,
                                                       bool (*parse)(const std::string&, int&)) {
  std::vector<std::pair<int, std::string>> found;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(join(folder, pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    int number = 0;
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && parse(data.cFileName, number))
      found.emplace_back(number, data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(found.begin(), found.end());
  return found;
}

bool digits(const std::string& s, size_t at, size_t count, int& out) {
  if (at + count > s.size()) return false;
  int v = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = v;
  return true;
}

bool parseGameName(const std::string& name, int& number) {
  return name.size() == 12 && strncasecmp(name.c_str(), "game", 4) == 0 && strcasecmp(name.c_str() + 8, ".dat") == 0 &&
         digits(name, 4, 4, number);
}

bool parseShotName(const std::string& name, int& number) {
  int player = 0;
  if (name.size() == 12 && strncasecmp(name.c_str(), "SHOT", 4) == 0 && strcasecmp(name.c_str() + 8, ".DAT") == 0)
    return digits(name, 4, 4, number);
  if (name.size() == 12 && (name[0] == 'P' || name[0] == 'p') && (name[3] == 'S' || name[3] == 's') &&
      strcasecmp(name.c_str() + 8, ".DAT") == 0 && digits(name, 1, 2, player) && digits(name, 4, 4, number)) {
    number += 10000 * (player + 1);
    return true;
  }
  return false;
}

int saveResult(int code) {
  if (code == ERR_NONE) return kSaveOk;
  return code == ERR_DISKFULL ? kSaveDiskFull : kSaveFailed;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// ---- saved games ----------------------------------------------------------------------------------------------

std::vector<uint8_t> EncodeSavedGame(const std::string& caption, const std::vector<uint8_t>& state) {
  std::vector<uint8_t> out(kSavedGameHead + state.size(), 0);
  std::memcpy(out.data(), kGameMagic, 4);
  WriteLE32(out.data() + 4, kGameVersion);
  WriteLE32(out.data() + 8, static_cast<uint32_t>(state.size()));
  WriteLE32(out.data() + 12, Crc32(state.data(), state.size()));
  writeField(out.data() + 16, kSavedGameCaption, caption);
  if (!state.empty()) std::memcpy(out.data() + kSavedGameHead, state.data(), state.size());
  return out;
}

bool DecodeSavedGame(const uint8_t* data, size_t size, std::string& caption, std::vector<uint8_t>& state,
                     std::string& error) {
  if (!data || size < kSavedGameHead) return error = "shorter than its head", false;
  if (std::memcmp(data, kGameMagic, 4) != 0) return error = "not a saved game", false;
  if (ReadLE32(data + 4) != kGameVersion) return error = "saved by another version", false;
  const uint32_t length = ReadLE32(data + 8);
  if (length > kMaxBody || length != size - kSavedGameHead)
    return error = length > size - kSavedGameHead ? "truncated" : "longer than its head says", false;
  if (Crc32(data + kSavedGameHead, length) != ReadLE32(data + 12)) return error = "damaged (checksum)", false;
  std::string text;
  if (!readField(data + 16, kSavedGameCaption, text)) return error = "damaged caption", false;
  caption = text;
  state.assign(data + kSavedGameHead, data + size);
  return true;
}

void SetSavedGameFolder(const std::string& path) {
  g_gameFolder = path;
  g_lastGame = 0;  // a number of another folder names no game here
}

bool SetSavedGameDirectory(PathRecord* record) {
  if (!record) return false;
  if (!CreateDirectoryA(g_gameFolder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  if (g_gameFolder.size() < 3 || g_gameFolder[1] != ':' || g_gameFolder.size() - 2 >= sizeof record->directory) return false;
  *record = PathRecord{};
  record->drive[0] = g_gameFolder[0];
  record->drive[1] = ':';
  std::memcpy(record->directory, g_gameFolder.data() + 2, g_gameFolder.size() - 2);
  return true;
}

std::vector<SavedGameEntry> ListSavedGames() {
  std::vector<SavedGameEntry> list;
  for (const auto& [number, file] : numberedFiles(g_gameFolder, "game*.dat", parseGameName)) {
    SavedGameEntry e;
    e.number = number;
    e.file = file;
    std::vector<uint8_t> bytes, state;
    std::string error;
    e.sound = BigFileLoadBytes(nullptr, join(g_gameFolder, file).c_str(), bytes) &&
              DecodeSavedGame(bytes.data(), bytes.size(), e.caption, state, error);
    list.push_back(e);
  }
  return list;
}

int SaveGame(int overwrite, int* count) {
  std::vector<uint8_t> state;
  int result = kSaveFailed;
  try {
    if (Svc().game->SaveGameState(state) == 0) {
      int number = overwrite && g_lastGame > 0 ? g_lastGame : 0;
      const std::vector<SavedGameEntry> existing = ListSavedGames();
      if (number == 0) {
        number = 1;
        for (const SavedGameEntry& e : existing) number = std::max(number, e.number + 1);
      }
      PathRecord folder{};
      if (number <= kMaxNumber && SetSavedGameDirectory(&folder)) {
        const LoadedCourse& course = CurrentCourse();
        std::string caption = course.loaded ? course.record.title : Svc().game->CurrentCourseFolder();
        caption = caption.substr(0, caption.find('^'));
        const std::vector<uint8_t> file = EncodeSavedGame(caption, state);
        result = saveResult(FileSaveWholePath(join(g_gameFolder, gameName(number)).c_str(), file.data(),
                                              static_cast<DWORD>(file.size())));
        if (result == kSaveOk) g_lastGame = number;
      }
    }
  } catch (const std::bad_alloc&) {
    result = kSaveFailed;
  }
  if (count) *count = static_cast<int>(ListSavedGames().size());
  return result;
}

int LastSavedGameNumber() { return g_lastGame; }
void SetLastSavedGameNumber(int number) { g_lastGame = number; }

int DeleteSavedGame(int number) {
  if (number < 1 || number > kMaxNumber) return kSavedFileMissing;
  if (!DeleteFileA(join(g_gameFolder, gameName(number)).c_str())) return kSavedFileMissing;
  if (g_lastGame == number) g_lastGame = 0;
  return 0;
}

int64_t SavedGameTime(int number) {
  if (number < 1 || number > kMaxNumber) return 0;
  WIN32_FIND_DATAA data{};
  HANDLE find = FindFirstFileA(join(g_gameFolder, gameName(number)).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  FindClose(find);
  // 100-ns ticks since 1601.
  const uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
  constexpr uint64_t kUnixEpochSeconds = 11644473600ull;
  const uint64_t seconds = ticks / 10000000ull;
  return seconds > kUnixEpochSeconds ? static_cast<int64_t>(seconds - kUnixEpochSeconds) : 0;
}

int LoadSavedGame(int number, std::string* error) {
  std::vector<uint8_t> bytes, state;
  const std::string path = join(g_gameFolder, gameName(number));
  if (number < 1 || number > kMaxNumber || !BigFileLoadBytes(nullptr, path.c_str(), bytes)) return kSavedFileMissing;
  std::string caption, why;
  if (!DecodeSavedGame(bytes.data(), bytes.size(), caption, state, why)) {
    std::fprintf(stderr, "Saved game refused: %s: %s\n", path.c_str(), why.c_str());
    if (error) *error = path + ": " + why;
    return kSavedFileDamaged;
  }
  const int result = Svc().game->LoadGameState(state.data(), state.size());
  if (result == 0) g_lastGame = number;
  else if (error) *error = path + ": the game's state was refused";
  return result;
}

// ---- saved shots ------------------------------------------------------------------------------------------------

std::vector<uint8_t> EncodeSavedShot(const SavedShotHead& h, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(kSavedShotHead + body.size(), 0);
  uint8_t* p = out.data();
  p[0] = kSavedShotMarker;
  writeField(p + 1, 16, h.fileName);
  writeField(p + 17, 16, h.caption);
  writeField(p + 33, 260, h.course);
  WriteLE16(p + 294, h.mode);
  WriteLE32(p + 296, h.hole);
  WriteLE32(p + 300, h.shot);
  WriteLE32(p + 308, h.club);
  WriteLE32(p + 312, h.holed);
  WriteLE32(p + 316, h.surface);
  writeField(p + 322, 50, h.golfer);
  WriteLE32(p + 372, h.rosterGolfer);
  WriteLE32(p + 376, static_cast<uint32_t>(body.size()));
  WriteLE32(p + 380, Crc32(body.data(), body.size()));
  if (!body.empty()) std::memcpy(p + kSavedShotHead, body.data(), body.size());
  return out;
}

bool DecodeSavedShot(const uint8_t* data, size_t size, SavedShotHead& head, std::vector<uint8_t>& body,
                     std::string& error) {
  if (!data || size < kSavedShotHead) return error = "shorter than its head", false;
  if (data[0] != kSavedShotMarker) return error = "not a saved shot", false;
  const uint32_t length = ReadLE32(data + 376);
  if (length > kMaxBody || length != size - kSavedShotHead)
    return error = length > size - kSavedShotHead ? "truncated" : "longer than its head says", false;
  if (Crc32(data + kSavedShotHead, length) != ReadLE32(data + 380)) return error = "damaged (checksum)", false;
  SavedShotHead h;
  if (!readField(data + 1, 16, h.fileName) || !readField(data + 17, 16, h.caption) ||
      !readField(data + 33, 260, h.course) || !readField(data + 322, 50, h.golfer))
    return error = "damaged names", false;
  h.mode = ReadLE16(data + 294);
  h.hole = ReadLE32(data + 296);
  h.shot = ReadLE32(data + 300);
  h.club = ReadLE32(data + 308);
  h.holed = ReadLE32(data + 312);
  h.surface = ReadLE32(data + 316);
  h.rosterGolfer = ReadLE32(data + 372);
  if (h.mode > 10 || h.hole > 17 || h.surface > 0xF0 || (h.surface & 0x0F)) return error = "values out of range", false;
  head = h;
  body.assign(data + kSavedShotHead, data + size);
  return true;
}

void SetSavedShotFolder(const std::string& path) { g_shotFolder = path; }
const std::string& SavedShotFolder() { return g_shotFolder; }

std::string SaveShot(const std::string& comment, SavedShotHead head, const std::vector<uint8_t>& body,
                     int playerSlot) {
  int number = 1;
  for (const auto& [n, file] : numberedFiles(g_shotFolder, "SHOT*.DAT", parseShotName))
    if (n < 10000) number = std::max(number, n + 1);
  if (number > kMaxNumber) return {};
  char name[24];
  std::snprintf(name, sizeof name, "SHOT%04d.DAT", number);
  head.fileName = name;
  if (!comment.empty()) {
    head.caption = comment.substr(0, 15);
  } else {
    char caption[24];
    std::snprintf(caption, sizeof caption, "P%1d Shot%02d", std::clamp(playerSlot + 1, 1, 9),
                  static_cast<int>(std::min<uint32_t>(head.shot + 1, 99)));
    head.caption = caption;
  }
  try {
    const std::vector<uint8_t> file = EncodeSavedShot(head, body);
    if (FileSaveWholePath(join(g_shotFolder, name).c_str(), file.data(), static_cast<DWORD>(file.size())) != ERR_NONE)
      return {};
  } catch (const std::bad_alloc&) {
    return {};
  }
  return name;
}

std::vector<SavedShotHead> ListSavedShots(std::vector<std::string>* problems) {
  std::vector<SavedShotHead> list;
  std::vector<std::pair<int, std::string>> files = numberedFiles(g_shotFolder, "SHOT*.DAT", parseShotName);
  for (auto& f : numberedFiles(g_shotFolder, "P*.DAT", parseShotName))
    if (f.first >= 10000) files.push_back(f);
  for (const auto& [number, file] : files) {
    SavedShotHead head;
    std::vector<uint8_t> body;
    std::string error;
    if (LoadSavedShot(file, head, body, &error) == 0) list.push_back(head);
    else if (problems) problems->push_back(error);
  }
  return list;
}

int LoadSavedShot(const std::string& fileName, SavedShotHead& head, std::vector<uint8_t>& body, std::string* error) {
  const std::string path = join(g_shotFolder, fileName);
  std::vector<uint8_t> bytes;
  if (fileName.empty() || fileName.find_first_of("\\/:") != std::string::npos ||
      !BigFileLoadBytes(nullptr, path.c_str(), bytes))
    return kSavedFileMissing;
  std::string why;
  if (!DecodeSavedShot(bytes.data(), bytes.size(), head, body, why)) {
    if (error) *error = path + ": " + why;
    return kSavedFileDamaged;
  }
  return 0;
}

bool IsSavedShotFileName(const std::string& name) {
  int number = 0;
  return parseShotName(name, number);
}

int DeleteSavedShot(const std::string& fileName) {
  if (!IsSavedShotFileName(fileName)) return kSavedFileMissing;
  return DeleteFileA(join(g_shotFolder, fileName).c_str()) ? 0 : kSavedFileMissing;
}
