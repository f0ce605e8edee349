#include "golf/golferfile.h"

#include <cstring>
#include <vector>

#include "framework/core/bigfileio.h"
#include "framework/core/paths.h"
#include "windows.h"

namespace {

bool serializeTagged(playerInfo_s& record, std::vector<uint8_t>& out) {
  record.flags &= ~kGolferFlag9;
  record.flags |= kGolferTaggedForm;
  out.assign(kTaggedRecordBytes, 0);
  SerialTarget s = SerialTarget::OverMemory(out.data(), out.size());
  if (!record.WriteToStream(&s)) return false;
  out.resize(static_cast<size_t>(s.cursor - out.data()));
  return true;
}

}  // namespace

std::string GolferFilePath(const std::string& folder, const char* name) {
  if (!name) return {};
  const size_t len = strnlen(name, 16);
  if (len == 0 || len >= 16) return {};
  const std::string n(name, len);
  if (n == "." || n == "..") return {};
  for (unsigned char c : n)
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
        c == '<' || c == '>' || c == '|')
      return {};
  const bool separated = folder.empty() || folder.back() == '\\' || folder.back() == '/';
  return folder + (separated ? "" : "\\") + n + ".amt";
}

int LoadGolferFile(const std::string& folder, const char* name, playerInfo_s& record) {
  const std::string path = GolferFilePath(folder, name);
  if (path.empty()) return kGolferFileBadName;
  std::vector<uint8_t> bytes;
  if (!BigFileLoadBytes(nullptr, path.c_str(), bytes)) return kGolferFileCannotOpen;
  SerialTarget s = SerialTarget::OverMemory(bytes.data(), bytes.size());
  return record.ReadFromStream(&s) ? kGolferFileOk : kGolferFileDamaged;
}

int SaveGolferFile(const std::string& folder, playerInfo_s& record) {
  const std::string path = GolferFilePath(folder, record.name);
  if (path.empty()) return kGolferFileBadName;
  std::vector<uint8_t> bytes;
  if (!serializeTagged(record, bytes)) return kGolferFileCannotOpen;
  return FileSaveWholePath(path.c_str(), bytes.data(), static_cast<DWORD>(bytes.size())) == 0 ? kGolferFileOk
                                                                                               : kGolferFileCannotOpen;
}

int UpdateGolferFile(const std::string& folder, playerInfo_s& record) {
  const std::string path = GolferFilePath(folder, record.name);
  if (path.empty()) return kGolferFileBadName;
  std::vector<uint8_t> old;
  if (!BigFileLoadBytes(nullptr, path.c_str(), old)) return kGolferFileCannotOpen;
  if (!HasTaggedLead(old.data(), old.size())) return kGolferFileDamaged;
  std::vector<uint8_t> fresh;
  if (!serializeTagged(record, fresh) || fresh.size() < kTaggedLeadBytes) return kGolferFileCannotOpen;
  // Keep the stored lead as it is; the later tags and the end tag come from the record.
  std::vector<uint8_t> out(old.begin(), old.begin() + kTaggedLeadBytes);
  out.insert(out.end(), fresh.begin() + kTaggedLeadBytes, fresh.end());
  return FileSaveWholePath(path.c_str(), out.data(), static_cast<DWORD>(out.size())) == 0 ? kGolferFileOk
                                                                                           : kGolferFileCannotOpen;
}

char NetGolferName[16] = "GOLFER";

void ForEachGolferFile(const std::string& folder,
                       const std::function<void(const std::string&, const playerInfo_s&)>& each) {
  if (folder.empty()) return;
  const std::string pattern = folder + "\\*.amt";
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string name = found.cFileName;
    if (name.size() < 5) continue;
    name.resize(name.size() - 4);
    if (name.size() >= 16) continue;
    playerInfo_s record;
    if (LoadGolferFile(folder, name.c_str(), record) == kGolferFileOk) each(name, record);
  } while (FindNextFileA(find, &found));
  FindClose(find);
}
