// Fuzz entry: the input is a patch file. Resolution either refuses it or takes it; a taken patch's sample data,
// as its tags describe it, lies inside the patch, and so do its zones' tables.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platformlib/core/memclass.h"
#include "platformlib/sound/sndbank.h"
#include "platformlib/sound/sndmix.h"

namespace {

uint64_t touch = 0;

void TouchSamples(const PatchRecord& record) {
  uint8_t* cursor = record.patch + ((record.patch[3] & 2) ? 8 : 4);
  uint8_t* end = record.patch + record.bytes;
  for (;;) {
    const TagItem item = iSNDnexttag(&cursor, end);
    if (item.kind == TagKind::End || item.kind == TagKind::Broken) break;
    if (item.kind != TagKind::SampleBlock) continue;
    SampleValues s;
    if (!readsampletags(cursor, end, &s)) continue;
    size_t bytes = 0;
    const uint8_t* data = sndsampledata(record, s, &bytes);
    size_t need = s.compression == 7   ? adpcm7bytes(s.length, s.channels)
                  : s.compression == 9 ? 2
                                       : static_cast<size_t>(s.length) * s.channels * (s.bits / 8);
    for (size_t i = 0; i < need; ++i) touch += data[i];
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  abortfilterhook = [](const char*) { return 0; };
  sndinitialised = 1;
  static std::vector<uint8_t> bankmemory(static_cast<size_t>(SNDbankmemsize(4)));
  const int bank = SNDbankcreate(4, bankmemory.data());
  std::vector<uint8_t> patch(data, data + size);
  if (patch.size() > 3) patch[3] &= 0xFE;  // a patch given twice is the caller's fault, not the file's
  int index = -1;
  if (SNDbankaddpat(bank, &index, patch.data(), patch.size()) >= 0) {
    TouchSamples(*sndbankpatch(bank, index));
    SNDbankremovepat(bank, index);
  }
  cSNDbankremove(bank);
  return 0;
}
