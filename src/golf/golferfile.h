#pragma once
#include <functional>
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
// Calls `each` with the name (the file's, without ".amt") and the record of every golfer file of the folder that
// loads.
void ForEachGolferFile(const std::string& folder, const std::function<void(const std::string&, const playerInfo_s&)>& each);

// The name of this machine's golfer in network play (16 bytes, "GOLFER" at first): the net golfer editor writes it,
// the network layer reads it.
extern char NetGolferName[16];
