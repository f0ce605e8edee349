#include "framework/core/tourcard.h"

#include <cstring>

#include "framework/core/des.h"

const char kTourCardKey[9] = "5e3a91c7";
int32_t TourCardPresent = 0;
char TourCardBuffer[kTourCardSize];

int32_t LoadTourCard(PathRecord* dataFolder) {
  char key[sizeof kTourCardKey];
  std::memcpy(key, kTourCardKey, sizeof key);
  TourCardPresent = 0;
  std::memset(TourCardBuffer, 0, sizeof TourCardBuffer);
  if (!dataFolder || !FileExists(dataFolder, "TOURCARD.DAT")) return 0;
  HANDLE file = nullptr;
  if (FileOpen(dataFolder, "TOURCARD.DAT", 0, &file) != 0 || !file) return 0;
  DWORD count = 0;
  if (!ReadFile(file, TourCardBuffer, kTourCardSize - 1, &count, nullptr) || count > kTourCardSize - 1) {
    std::memset(TourCardBuffer, 0, sizeof TourCardBuffer);
    FileClose(file);
    return 0;
  }
  if (count > 0) DesDecrypt(reinterpret_cast<const uint8_t*>(key), reinterpret_cast<uint8_t*>(TourCardBuffer), count);
  FileClose(file);
  TourCardPresent = 1;
  return TourCardPresent;
}
