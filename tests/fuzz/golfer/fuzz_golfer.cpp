// Golfer record reader fuzz entry: the input is a stored record. Reading it, writing it in the tagged
// form and reading that again must give the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "golf/playerinfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using golf_svc::SerialStream;
  playerInfo_s first;
  SerialStream in = SerialStream::OverMemory(data, size);
  if (!first.ReadFromStream(&in)) return 0;
  if (std::strlen(first.name) >= sizeof first.name || first.currentClub > 20) std::abort();

  first.flags |= kGolferTaggedForm;
  std::vector<uint8_t> once(kTaggedRecordBytes);
  SerialStream out = SerialStream::OverMemory(once.data(), once.size());
  if (!first.WriteToStream(&out)) std::abort();

  playerInfo_s second;
  SerialStream again = SerialStream::OverMemory(once.data(), once.size());
  if (!second.ReadFromStream(&again)) std::abort();
  std::vector<uint8_t> twice(kTaggedRecordBytes);
  SerialStream out2 = SerialStream::OverMemory(twice.data(), twice.size());
  if (!second.WriteToStream(&out2) || once != twice) std::abort();

  // The file reader takes the same bytes.
  if (size > 0) {
    if (std::FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb")) {
      playerInfo_s fromFile;
      fromFile.LoadFromFile(f);
      std::fclose(f);
    }
  }
  return 0;
}
