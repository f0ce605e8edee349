#pragma once
#include <string>

#include "golf/playerinfo.h"

// Golfer files: one record per file, "<name>.amt" in the golfer folder (a Windows path such as "C:\GAME\GOLFERS",
// read through the framework's one whole-file loader and written through its one whole-file save).

constexpr int kGolferFileOk = 0;
constexpr int kGolferFileCannotOpen = 2;
constexpr int kGolferFileBadName = 3;
constexpr int kGolferFileDamaged = 5;

// The file path of a golfer name inside the folder, or "" when the name cannot be a file name there
// (empty, unterminated within 16 bytes, a path, or a name the file system treats specially).
std::string GolferFilePath(const std::string& folder, const char* name);

int LoadGolferFile(const std::string& folder, const char* name, playerInfo_s& record);
// Writes the whole record in the tagged form; a crash during the save leaves the old file or the new one.
int SaveGolferFile(const std::string& folder, playerInfo_s& record);
// Rewrites the later tags of an existing golfer file; refuses a file not in the tagged form.
int UpdateGolferFile(const std::string& folder, playerInfo_s& record);
