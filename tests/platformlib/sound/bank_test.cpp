// Banks and tagged patches: layout, resolution, damaged patches and bank files refused, bank download.
#include <deque>
#include <functional>

#include "patchwriter.h"
#include "platformlib/sound/sndbank.h"
#include "soundfixture.h"

namespace {

using soundtest::PatchWriter;

class Banks : public soundtest::SoundTest {
 protected:
  void SetUp() override {
    soundtest::SoundTest::SetUp();
    sndinitialised = 1;
    cSNDbankremove(-1);
  }
  void TearDown() override {
    cSNDbankremove(-1);
    sndinitialised = 0;
    soundtest::SoundTest::TearDown();
  }
  int NewBank(int entries) {
    memory.emplace_back(static_cast<size_t>(SNDbankmemsize(entries)));
    return SNDbankcreate(entries, memory.back().data());
  }
  // Patches outlive the test body: the banks holding them are removed in TearDown.
  std::vector<uint8_t>& Keep(std::vector<uint8_t> bytes) { return kept.emplace_back(std::move(bytes)); }
  std::vector<std::vector<uint8_t>> memory;
  std::deque<std::vector<uint8_t>> kept;
};

std::vector<int16_t> Tone(int n) {
  std::vector<int16_t> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<int16_t>(i * 100);
  return v;
}

TEST_F(Banks, MemorySizeAndLayout) {
  EXPECT_EQ(SNDbankmemsize(1), 24);
  EXPECT_EQ(SNDbankmemsize(1000), 4020);
  EXPECT_EQ(SNDbankmemsize(65535), 20 + 4 * 65535);
  EXPECT_EQ(SNDbankmemsize(0), -8);
  EXPECT_EQ(SNDbankmemsize(65536), -8);
  const int bank = NewBank(1000);
  ASSERT_EQ(bank, 0);
  const std::vector<uint8_t>& b = memory.back();
  const uint8_t header[12] = {'B', 'N', 'K', 'l', 4, 0, 0xE8, 0x03, 0xB4, 0x0F, 0, 0};
  EXPECT_EQ(std::memcmp(b.data(), header, 12), 0);
  for (int i = 1; i < SNDBANKS; ++i) EXPECT_EQ(NewBank(1), i);
  EXPECT_EQ(NewBank(1), -9);
  sndinitialised = 0;
  EXPECT_EQ(NewBank(1), -14);
  sndinitialised = 1;
}

TEST_F(Banks, AddResolveRemove) {
  const int bank = NewBank(4);
  std::vector<uint8_t>& patch = Keep(soundtest::SimplePatch(Tone(50)));
  int index = -5;
  EXPECT_EQ(SNDbankaddpat(bank, &index, patch.data(), patch.size()), 8);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(patch[3] & 1, 1);
  const PatchRecord* record = sndbankpatch(bank, 0);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->patch, patch.data());
  // The sample slot holds the data's offset in the patch.
  SampleValues s;
  uint8_t* cursor = patch.data() + 4;
  ASSERT_EQ(iSNDnexttag(&cursor, patch.data() + patch.size()).kind, TagKind::SampleBlock);
  ASSERT_TRUE(readsampletags(cursor, patch.data() + patch.size(), &s));
  size_t bytes = 0;
  const uint8_t* data = sndsampledata(*record, s, &bytes);
  EXPECT_EQ(data, patch.data() + patch.size() - 100);
  EXPECT_EQ(bytes, 100u);
  EXPECT_EQ(s.length, 50);
  EXPECT_EQ(s.rate, 11025);

  const platformtest::Abort twice = platformtest::CatchAbort([&] {
    int other = -1;
    SNDbankaddpat(bank, &other, patch.data(), patch.size());
  });
  EXPECT_TRUE(twice.ended);
  EXPECT_NE(twice.text.find("iSNDresolvetaggedpatch - PATCH IS ALREADY IN A RESOLVED STATE - DO NOT ADD TWICE "
                            "WITHOUT REMOVING.\n"),
            std::string::npos);

  EXPECT_EQ(SNDbankremovepat(bank, 0), 0);
  EXPECT_EQ(patch[3] & 1, 0);
  EXPECT_EQ(sndbankpatch(bank, 0), nullptr);
  EXPECT_EQ(SNDbankremovepat(bank, 0), -8);
  EXPECT_EQ(SNDbankremovepat(bank, 4), -8);
  EXPECT_EQ(SNDbankaddpat(bank, &index, patch.data(), patch.size()), 8);
  EXPECT_EQ(SNDbankaddpat(-1, &index, patch.data(), patch.size()), -8);
  EXPECT_EQ(SNDbankaddpat(bank, nullptr, patch.data(), patch.size()), -8);
}

TEST_F(Banks, FullBank) {
  const int bank = NewBank(2);
  std::vector<uint8_t>& a = Keep(soundtest::SimplePatch(Tone(4)));
  std::vector<uint8_t>& b = Keep(a);
  std::vector<uint8_t>& c = Keep(a);
  int index;
  EXPECT_EQ(SNDbankaddpat(bank, &index, a.data(), a.size()), 8);
  EXPECT_EQ(SNDbankaddpat(bank, &index, b.data(), b.size()), 8);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(SNDbankaddpat(bank, &index, c.data(), c.size()), -9);
  EXPECT_EQ(index, -1);
}

// Each damage leaves the patch unresolved and untouched, the bank entry empty, and the game running.
TEST_F(Banks, DamagedPatchesAreRefused) {
  const std::vector<uint8_t> tone(100, 1);
  struct Case {
    const char* what;
    std::function<std::vector<uint8_t>()> make;
  };
  const std::vector<Case> cases = {
      {"signature", [&] { PatchWriter w; w.bytes[1] = 'X'; w.Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"platform", [&] { PatchWriter w; w.bytes[2] = 1; w.Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"no sample block", [&] { PatchWriter w; w.Tag(1, 0, 1).Mark(0xFE).Mark(0xFF); return w.bytes; }},
      {"tag length past the end",
       [&] { PatchWriter w; w.Sample(16, 1, 11025, 50); w.Mark(0x20).Mark(200); w.Data(tone); return w.bytes; }},
      {"long length past the end",
       [&] { PatchWriter w; w.Mark(0x30).Mark(0xFF).Mark(0x7F).Mark(0xFF).Mark(0xFF).Mark(0xFF);
             w.Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"sample longer than its block", [&] { PatchWriter w; w.Sample(16, 1, 11025, 51).Data(tone); return w.bytes; }},
      {"sample offset before the block",
       [&] { PatchWriter w; w.Sample(16, 1, 11025, 50).Data(tone);
             for (int i = 0; i < 4; ++i) w.bytes[w.dataoffsettag + i] = 0xFF;
             return w.bytes; }},
      {"loop end at the length", [&] { PatchWriter w; w.Sample(16, 1, 11025, 50, 0, 50).Data(tone); return w.bytes; }},
      {"loop start after its end", [&] { PatchWriter w; w.Sample(16, 1, 11025, 50, 30, 20).Data(tone); return w.bytes; }},
      {"loop without a start", [&] { PatchWriter w; w.Sample(16, 1, 11025, 50, -1, 20).Data(tone); return w.bytes; }},
      {"bits", [&] { PatchWriter w; w.Sample(12, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"channels", [&] { PatchWriter w; w.Sample(8, 3, 11025, 10).Data(tone); return w.bytes; }},
      {"compression", [&] { PatchWriter w; w.Sample(16, 1, 11025, 10, -1, -1, 5).Data(tone); return w.bytes; }},
      {"compression 7 of 8-bit samples", [&] { PatchWriter w; w.Sample(8, 1, 11025, 28, -1, -1, 7).Data(tone); return w.bytes; }},
      {"compression 7 past the block", [&] { PatchWriter w; w.Sample(16, 1, 11025, 197, -1, -1, 7).Data(tone); return w.bytes; }},
      {"compression 9 looped", [&] { PatchWriter w; w.Sample(16, 1, 11025, 50, 0, 10, 9).Data(tone); return w.bytes; }},
      {"compression 9 stereo", [&] { PatchWriter w; w.Sample(16, 2, 11025, 50, -1, -1, 9).Data(tone); return w.bytes; }},
      {"rate", [&] { PatchWriter w; w.Sample(16, 1, 0, 50).Data(tone); return w.bytes; }},
      {"no sample slot",
       [&] { PatchWriter w; w.Mark(0xFD).Tag(0x85, 10); w.dataoffsettag = w.bytes.size() + 2; w.Tag(0x88, 0).Data(tone);
             return w.bytes; }},
      {"curve outside the patch", [&] { PatchWriter w; w.Tag(18, 200).Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"curve before the patch", [&] { PatchWriter w; w.Tag(21, -10).Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"envelope longer than the patch",
       [&] { PatchWriter w; w.Tag(9, 20, 1).Tag(25, 4).Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"points without an envelope", [&] { PatchWriter w; w.Tag(9, 2, 1).Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"vibrato table without a length", [&] { PatchWriter w; w.Tag(32, 4).Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"tremolo past the end",
       [&] { PatchWriter w; w.Tag(30, 255, 1).Tag(29, 6).Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"play type", [&] { PatchWriter w; w.Tag(0, 3, 1).Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"channel count", [&] { PatchWriter w; w.Tag(11, 17, 1).Sample(16, 1, 11025, 50).Data(tone); return w.bytes; }},
      {"surround stereo",
       [&] { PatchWriter w; w.Sample(16, 2, 11025, 25); w.Tag(0x92, 1, 1).Data(tone); return w.bytes; }},
      {"hardware 3D without its slot",
       [&] { PatchWriter w; w.Sample(16, 1, 11025, 50); w.Tag(0x92, 2, 1).Data(tone); return w.bytes; }},
      {"method 3 from a file",
       [&] { PatchWriter w; w.Sample(16, 1, 11025, 50); w.Tag(0x92, 3, 1).Tag(0x93, 0).Data(tone); return w.bytes; }},
  };
  const int bank = NewBank(4);
  for (const Case& c : cases) {
    std::vector<uint8_t> patch = c.make();
    const std::vector<uint8_t> before = patch;
    int index = 7;
    int result = 0;
    const platformtest::Abort a =
        platformtest::CatchAbort([&] { result = SNDbankaddpat(bank, &index, patch.data(), patch.size()); });
    EXPECT_FALSE(a.ended) << c.what;
    EXPECT_LT(result, 0) << c.what;
    EXPECT_EQ(index, -1) << c.what;
    EXPECT_EQ(patch, before) << c.what;
    EXPECT_EQ(sndbankpatch(bank, 0), nullptr) << c.what;
  }
  // The same patches made whole are taken, so each case above fails for its one fault.
  PatchWriter good;
  good.Tag(18, 3).Tag(9, 2, 1).Tag(25, 4).Sample(16, 1, 11025, 50, 10, 49).Data(tone);
  good.bytes.insert(good.bytes.end(), 128, 0);
  int index;
  std::vector<uint8_t>& whole = Keep(good.bytes);
  EXPECT_EQ(SNDbankaddpat(bank, &index, whole.data(), whole.size()), 8);
}

TEST_F(Banks, TagReader) {
  std::vector<uint8_t> stream = {0xFC, 0x20, 0xFF, 0, 0, 1, 0x2C};
  stream.insert(stream.end(), 300, 0xAB);
  const uint8_t tail[] = {0x05, 1, 0x80, 0x06, 3, 0xFF, 0xFF, 0xFE, 0x07, 4, 0xFF, 0xFF, 0xFF, 0xFE, 0xFD, 0xFE, 0xFF};
  stream.insert(stream.end(), std::begin(tail), std::end(tail));
  uint8_t* cursor = stream.data();
  uint8_t* end = stream.data() + stream.size();
  TagItem t = iSNDnexttag(&cursor, end);
  EXPECT_EQ(t.kind, TagKind::Tag);
  EXPECT_EQ(t.id, 0x20);
  EXPECT_EQ(t.length, 300u);  // skipped whole
  t = iSNDnexttag(&cursor, end);
  EXPECT_EQ(t.value, -128);
  t = iSNDnexttag(&cursor, end);
  EXPECT_EQ(t.value, -2);
  t = iSNDnexttag(&cursor, end);
  EXPECT_EQ(t.value, -2);
  EXPECT_EQ(iSNDnexttag(&cursor, end).kind, TagKind::SampleBlock);
  EXPECT_EQ(iSNDnexttag(&cursor, end).kind, TagKind::ZoneEnd);
  EXPECT_EQ(iSNDnexttag(&cursor, end).kind, TagKind::End);
  EXPECT_EQ(iSNDnexttag(&cursor, end).kind, TagKind::End);  // past the end stays at the end
  uint8_t cut[] = {0x20, 0xFF, 0, 0};
  cursor = cut;
  EXPECT_EQ(iSNDnexttag(&cursor, cut + 4).kind, TagKind::Broken);
}

// A bank file: header, two entries holding offsets from themselves, the patches, then the samples, whose
// offsets count from the entry table.
std::vector<uint8_t> BankFile(const std::vector<std::vector<uint8_t>>& patches, int empty) {
  const size_t n = patches.size() + (empty >= 0 ? 1 : 0);
  std::vector<uint8_t> file(20 + 4 * n, 0);
  std::memcpy(file.data(), "BNKl", 4);
  file[4] = 4;
  file[6] = static_cast<uint8_t>(n);
  size_t at = file.size();
  int slot = 0;
  for (size_t i = 0; i < n; ++i) {
    if (static_cast<int>(i) == empty) continue;
    const std::vector<uint8_t>& p = patches[slot++];
    const uint32_t offset = static_cast<uint32_t>(at - (20 + 4 * i));
    for (int b = 0; b < 4; ++b) file[20 + 4 * i + b] = static_cast<uint8_t>(offset >> (8 * b));
    file.insert(file.end(), p.begin(), p.end());
    at = file.size();
  }
  return file;
}

std::vector<uint8_t> BankPatch(const std::vector<uint8_t>& tone, int32_t length, size_t position) {
  // Patches in a bank point at their data from the entry table at byte 20.
  PatchWriter w;
  w.Sample(16, 1, 22050, length).Data(tone);
  const uint32_t fromtable = static_cast<uint32_t>(position - 20 + w.bytes.size() - tone.size());
  for (int i = 0; i < 4; ++i) w.bytes[w.dataoffsettag + i] = static_cast<uint8_t>(fromtable >> (24 - 8 * i));
  return w.bytes;
}

TEST_F(Banks, BankFileDownload) {
  const std::vector<uint8_t> tone(40, 3);
  const size_t first = 20 + 4 * 3;
  const std::vector<uint8_t> a = BankPatch(tone, 20, first);
  const std::vector<uint8_t> b = BankPatch(tone, 10, first + a.size());
  std::vector<uint8_t>& file = Keep(BankFile({a, b}, 1));
  int id = -1;
  EXPECT_EQ(SNDbankadd2files(&id, file.data(), file.size(), 77), 8);
  EXPECT_GE(id, 0);
  for (int entry : {0, 2}) {
    const PatchRecord* r = sndbankpatch(id, entry);
    ASSERT_NE(r, nullptr) << entry;
    SampleValues s;
    uint8_t* cursor = r->patch + 4;
    ASSERT_EQ(iSNDnexttag(&cursor, r->patch + r->bytes).kind, TagKind::SampleBlock);
    ASSERT_TRUE(readsampletags(cursor, r->patch + r->bytes, &s));
    size_t bytes;
    const uint8_t* data = sndsampledata(*r, s, &bytes);
    EXPECT_EQ(data, r->patch + (entry == 0 ? a.size() : b.size()) - 40) << entry;
  }
  EXPECT_EQ(sndbankpatch(id, 1), nullptr);
  EXPECT_EQ(cSNDbankremove(id), 0);
  EXPECT_EQ(cSNDbankremove(id), -8);
}

TEST_F(Banks, DamagedBankFilesAreRefusedWhole) {
  const std::vector<uint8_t> tone(40, 3);
  const size_t first = 20 + 4 * 2;
  const std::vector<uint8_t> a = BankPatch(tone, 20, first);
  std::vector<uint8_t> b = BankPatch(tone, 21, first + a.size());  // runs one frame past the file
  b.resize(b.size() - 2);
  std::vector<uint8_t> file = BankFile({a, b}, -1);
  file.resize(file.size() - 1);
  const std::vector<uint8_t> before = file;
  int id = 99;
  EXPECT_EQ(SNDbankadd2files(&id, file.data(), file.size(), 0), SNDDAMAGED);
  // The entries hold their offsets again and the first patch is unresolved.
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + first, before.begin()));
  EXPECT_EQ(file[first + 3] & 1, 0);
  EXPECT_EQ(id, 99);

  std::vector<uint8_t> magic = before;
  magic[3] = 'L';
  std::vector<uint8_t> shortfile(before.begin(), before.begin() + 22);
  std::vector<uint8_t> pointsout = before;
  pointsout[20] = 0xF0, pointsout[21] = 0xFF, pointsout[22] = 0xFF, pointsout[23] = 0x7F;
  std::vector<uint8_t> version = before;
  version[4] = 3;
  for (std::vector<uint8_t>* f : {&magic, &shortfile, &pointsout, &version}) {
    const platformtest::Abort abort =
        platformtest::CatchAbort([&] { EXPECT_LT(SNDbankadd2files(&id, f->data(), f->size(), 0), 0); });
    EXPECT_FALSE(abort.ended);
  }
  // Two entries on one patch: the second finds it resolved and the file is refused.
  std::vector<uint8_t> same = BankFile({a, a}, -1);
  const uint32_t back = static_cast<uint32_t>(first - 24);
  for (int i = 0; i < 4; ++i) same[24 + i] = static_cast<uint8_t>(back >> (8 * i));
  const platformtest::Abort abort =
      platformtest::CatchAbort([&] { EXPECT_EQ(SNDbankadd2files(&id, same.data(), same.size(), 0), SNDDAMAGED); });
  EXPECT_FALSE(abort.ended);
}

TEST_F(Banks, RemoveAll) {
  for (int i = 0; i < SNDBANKS; ++i) ASSERT_EQ(NewBank(1), i);
  EXPECT_EQ(cSNDbankremove(-1), 0);
  for (int i = 0; i < SNDBANKS; ++i) EXPECT_EQ(sndbankpatchcount(i), 0);
  EXPECT_EQ(NewBank(1), 0);
  sndinitialised = 0;
  EXPECT_EQ(cSNDbankremove(-1), -10);
  sndinitialised = 1;
}

}  // namespace
