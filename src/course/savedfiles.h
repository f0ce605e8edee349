// Saved games ("game%04d.dat" in the saved-game folder) and saved shots ("SHOT%04d.DAT" in the program's folder).
// Both are written whole through the framework's one save, so a failed or interrupted save keeps the previous
// file; both carry their length and a CRC-32, and a damaged or truncated file is refused with its reason.
// Formats in docs/formats.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PathRecord;

// The usual reflected CRC-32 (polynomial 0xEDB88320).
uint32_t Crc32(const uint8_t* data, size_t size);

// ---- saved games --------------------------------------------------------------------------------------------------
constexpr size_t kSavedGameHead = 80;
constexpr size_t kSavedGameCaption = 64;
constexpr int kSaveOk = 0;
constexpr int kSaveFailed = 2;
constexpr int kSaveDiskFull = 10;
constexpr int kSavedFileMissing = 7;
constexpr int kSavedFileDamaged = 2;

// The head and the game's state (the game provider's bytes) as one file.
std::vector<uint8_t> EncodeSavedGame(const std::string& caption, const std::vector<uint8_t>& state);
// False with the reason for a file that is not a whole, sound saved game.
bool DecodeSavedGame(const uint8_t* data, size_t size, std::string& caption, std::vector<uint8_t>& state,
                     std::string& error);

// The folder as a platform path ("C:\SAVEGAME"); the framework's root record gives it.
void SetSavedGameFolder(const std::string& path);
// Sets `record` to the saved-game folder (created when missing); false when it cannot be.
bool SetSavedGameDirectory(PathRecord* record);

struct SavedGameEntry {
  int number = 0;
  std::string file;     // "game0003.dat"
  std::string caption;  // "" for a damaged file (listed so the player can delete it)
  bool sound = false;
};
std::vector<SavedGameEntry> ListSavedGames();

// Saves the current game: a new number, or with `overwrite` the number last saved or loaded (a new one when
// there is none). `count` receives the saved games in the folder afterwards. 0 saved, 10 the disk is full,
// 2 otherwise (no game, the folder cannot be made, a write failed); the previous file is then as it was.
int SaveGame(int overwrite, int* count);
// The number of the saved game last saved or loaded (0: the game has no saved game yet); set back when a
// browsed game is put aside for the one of before.
int LastSavedGameNumber();
void SetLastSavedGameNumber(int number);
// Deletes saved game `number`: 0, or 7 when there is no such file or it cannot be deleted.
int DeleteSavedGame(int number);
// When saved game `number` was last written (seconds since 1970), 0 when unknown.
int64_t SavedGameTime(int number);
// Reads saved game `number` and makes it the current game: 0, 7 no such file, 2 damaged (reason in `error`;
// the current game stays), 5 an older game format.
int LoadSavedGame(int number, std::string* error = nullptr);

// ---- saved shots --------------------------------------------------------------------------------------------------
// The 384-byte head of a saved-shot file, as the highlights list reads it (offsets in the file).
constexpr size_t kSavedShotHead = 384;
constexpr uint8_t kSavedShotMarker = 246;
struct SavedShotHead {
  std::string fileName;  // 1-16: zero-padded, at most 15 characters
  std::string caption;   // 17-32: "P%1d Shot%02d" or the player's comment, at most 15
  std::string course;    // 33-292: at most 259
  uint16_t mode = 0;     // 294
  uint32_t hole = 0;     // 296: hole index, 0-17
  uint32_t shot = 0;     // 300: shot index on the hole
  uint32_t club = 0;     // 308
  uint32_t holed = 0;    // 312
  uint32_t surface = 0;  // 316: surface code << 4
  std::string golfer;    // 322-371: at most 49
  uint32_t rosterGolfer = 0;  // 372
};
// Bytes 376 and 380 hold the body's length and CRC-32; the shot-replay body follows the head.
std::vector<uint8_t> EncodeSavedShot(const SavedShotHead& head, const std::vector<uint8_t>& body);
bool DecodeSavedShot(const uint8_t* data, size_t size, SavedShotHead& head, std::vector<uint8_t>& body,
                     std::string& error);

void SetSavedShotFolder(const std::string& path);  // the program's folder ("C:\")
const std::string& SavedShotFolder();
// Writes a shot as the next free "SHOT%04d.DAT" (the caption is the comment, or "P<n> Shot<nn>" without one):
// its file name, or "" when it cannot be saved.
std::string SaveShot(const std::string& comment, SavedShotHead head, const std::vector<uint8_t>& body,
                     int playerSlot);
// Heads of the sound saved-shot files ("SHOT%04d.DAT", "P%02dS%04d.DAT"), by file name; damaged files are left out
// and named in `problems`.
std::vector<SavedShotHead> ListSavedShots(std::vector<std::string>* problems = nullptr);
// 0 read, 7 no such file, 2 damaged (reason in `error`).
int LoadSavedShot(const std::string& fileName, SavedShotHead& head, std::vector<uint8_t>& body,
                  std::string* error = nullptr);
// True for the names a saved-shot file may have ("SHOT0001.DAT", "P01S0002.DAT", letters in any case): the
// name read from inside a file is replayed or deleted only when it is one of them.
bool IsSavedShotFileName(const std::string& name);
// Deletes a saved-shot file of the folder: 0, 7 when the name is not a saved shot's or the file cannot be deleted.
int DeleteSavedShot(const std::string& fileName);
