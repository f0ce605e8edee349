// Big files of both forms, made by our writer: lookups by name and number, the abort messages, and damaged
// archives, which must yield no entry that lies outside the data.
#include <gtest/gtest.h>

#include <cstring>

#include "datapack/datapack.h"
#include "packtest.h"
#include "platformlib/bigfile/bigfile.h"

using packtest::Bytes;
using packtest::text;

namespace {

std::vector<datapack::BigEntry> sampleentries() {
  return {
      {"ABCD", text("first entry")},
      {"abcdefgh.shp", text("shares its first four letters with ABCD")},
      {"Course.DAT", packtest::randombytes(700, 3)},
      {"empty", {}},
      {"hole02.hnf", text("[hole]\npar=4\n")},
  };
}

class BigFileForms : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    big = datapack::writebigfile(GetParam(), sampleentries());
    registerbigfile(big.data(), big.size());
  }
  void TearDown() override { unregisterbigfile(big.data()); }
  Bytes big;
};

TEST_P(BigFileForms, FormAndDirectory) {
  EXPECT_EQ(typeofbigfile(big.data()), GetParam());
  EXPECT_EQ(bigentrycount(big.data()), 5u);
  const uint32_t end = bigdirectoryend(big.data());
  uint32_t offset = 0, size = 0;
  ASSERT_TRUE(findbigentry(big.data(), nullptr, 0, &offset, &size));
  EXPECT_EQ(offset, end);  // our writer puts the data right after the directory
}

TEST_P(BigFileForms, LookupByNameIgnoresCase) {
  const auto entries = sampleentries();
  const char* queries[] = {"abcd", "ABCDEFGH.SHP", "course.dat", "EMPTY", "Hole02.HNF"};
  for (size_t i = 0; i < entries.size(); ++i) {
    uint32_t offset = 0, size = 0;
    const char* name = locatebigentry(big.data(), queries[i], 0, &offset, &size);
    ASSERT_NE(name, nullptr) << queries[i];
    EXPECT_STREQ(name, entries[i].name.c_str());
    ASSERT_EQ(size, entries[i].data.size());
    EXPECT_EQ(Bytes(big.begin() + offset, big.begin() + offset + size), entries[i].data);
  }
  // A name that matches another's first four letters is not mistaken for it.
  uint32_t size = 0;
  EXPECT_STREQ(findbigentry(big.data(), "abcdefgh.shp", 0, nullptr, &size), "abcdefgh.shp");
  EXPECT_EQ(findbigentry(big.data(), "abcde", 0, nullptr, nullptr), nullptr);
  EXPECT_EQ(findbigentry(big.data(), "abc", 0, nullptr, nullptr), nullptr);
}

TEST_P(BigFileForms, LookupByNumber) {
  const auto entries = sampleentries();
  for (int i = 0; i < 5; ++i) {
    uint32_t size = 0;
    EXPECT_STREQ(findbigentry(big.data(), nullptr, i, nullptr, &size), entries[static_cast<size_t>(i)].name.c_str());
    EXPECT_EQ(size, entries[static_cast<size_t>(i)].data.size());
    const auto* adr = static_cast<const uint8_t*>(bigentryadrnum(big.data(), i));
    ASSERT_NE(adr, nullptr);
    EXPECT_EQ(lastbigentrysize, entries[static_cast<size_t>(i)].data.size());
    EXPECT_EQ(Bytes(adr, adr + lastbigentrysize), entries[static_cast<size_t>(i)].data);
  }
  char buffer[MAX_PATH];
  EXPECT_EQ(bigentryname(big.data(), 2, buffer), 1);
  EXPECT_STREQ(buffer, "Course.DAT");
  char small[5];
  EXPECT_EQ(bigentryname(big.data(), 1, small, sizeof small), 1);
  EXPECT_STREQ(small, "abcd");
  EXPECT_EQ(bigentryname(big.data(), 5, buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST_P(BigFileForms, VisitGivesEveryEntryInOrderAndStopsAtDataOutside) {
  const auto entries = sampleentries();
  std::vector<std::string> names;
  EXPECT_EQ(visitbigentries(big.data(), big.size(),
                            [&](const char* name, uint32_t offset, uint32_t size) {
                              const size_t k = names.size();
                              names.push_back(name);
                              EXPECT_EQ(Bytes(big.begin() + offset, big.begin() + offset + size), entries[k].data);
                            }),
            5);
  ASSERT_EQ(names.size(), 5u);
  EXPECT_EQ(names[4], "hole02.hnf");
  // The last entry's data lies past a cut: it is not visited.
  int seen = 0;
  EXPECT_EQ(visitbigentries(big.data(), big.size() - 1, [&](const char*, uint32_t, uint32_t) { ++seen; }), 4);
  EXPECT_EQ(seen, 4);
  for (size_t cut : {size_t{0}, size_t{2}, size_t{4}})
    EXPECT_EQ(visitbigentries(big.data(), cut, [](const char*, uint32_t, uint32_t) { ADD_FAILURE(); }), 0);
}

TEST_P(BigFileForms, AddressHelpersLeaveTheSize) {
  void* adr = locatebigentryadr(big.data(), "HOLE02.hnf");
  ASSERT_NE(adr, nullptr);
  EXPECT_EQ(lastbigentrysize, 13u);
  EXPECT_EQ(0, std::memcmp(adr, "[hole]\npar=4\n", 13));
  const auto* abcd = static_cast<uint8_t*>(locatebigentryadr(big.data(), "ABCD"));
  EXPECT_EQ(bigentryoffset(big.data(), "abcd"), static_cast<uint32_t>(abcd - big.data()));
  EXPECT_EQ(lastbigentrysize, 11u);
  EXPECT_EQ(bigentryoffset(big.data(), nullptr), 0u);
  EXPECT_EQ(lastbigentrysize, 0u);
}

TEST_P(BigFileForms, MissingEntriesAbortUnlessQuiet) {
  packtest::AbortCapture capture;
  uint32_t offset = 7, size = 7;
  EXPECT_EQ(locatebigentry(big.data(), "nothere.dat", 0, &offset, &size), nullptr);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(locatebigentry(big.data(), nullptr, 9, nullptr, nullptr), nullptr);
  EXPECT_EQ(findbigentry(big.data(), "nothere.dat", 0, nullptr, nullptr), nullptr);
  EXPECT_EQ(locatebigentryadr(big.data(), "gone"), nullptr);
  EXPECT_EQ(lastbigentrysize, 0u);
  ASSERT_EQ(capture.messages().size(), 3u);
  EXPECT_EQ(capture.messages()[0], "locatebigentry: ENTRY \"nothere.dat\" NOT FOUND\n");
  EXPECT_EQ(capture.messages()[1], "locatebigentry: ENTRY #9 NOT FOUND\n");
  EXPECT_EQ(capture.messages()[2], "locatebigentry: ENTRY \"gone\" NOT FOUND\n");
  {
    AbortQuiet quiet;
    EXPECT_EQ(locatebigentry(big.data(), "nothere.dat", 0, nullptr, nullptr), nullptr);
  }
  EXPECT_EQ(capture.messages().size(), 3u);
}

TEST_P(BigFileForms, LocateBigsFillsEverySlot) {
  packtest::AbortCapture capture;
  const char list[] = "abcd,missing,COURSE.DAT";
  void* slots[3] = {nullptr, reinterpret_cast<void*>(1), nullptr};
  locatebigs(big.data(), list, slots);
  EXPECT_EQ(slots[0], locatebigentryadr(big.data(), "ABCD"));
  EXPECT_EQ(slots[1], nullptr);
  EXPECT_EQ(slots[2], locatebigentryadr(big.data(), "Course.DAT"));
  EXPECT_STREQ(list, "abcd,missing,COURSE.DAT");
  ASSERT_EQ(capture.messages().size(), 1u);
  EXPECT_EQ(capture.messages()[0], "locatebigs - FILE NOT FOUND 'missing'\n");
}

TEST_P(BigFileForms, WorksUnregisteredOnTrust) {
  unregisterbigfile(big.data());
  uint32_t size = 0;
  EXPECT_STREQ(findbigentry(big.data(), "course.dat", 0, nullptr, &size), "Course.DAT");
  EXPECT_EQ(size, 700u);
  registerbigfile(big.data(), big.size());
}

TEST_P(BigFileForms, PackedEntryUnpacksInPlace) {
  const Bytes data = packtest::randombytes(3000, 5, 4);
  auto entries = sampleentries();
  entries.push_back({"packed.bin", datapack::packhuffman(data, 0x32)});
  const Bytes b = datapack::writebigfile(GetParam(), entries);
  registerbigfile(b.data(), b.size());
  const void* block = locatebigentryadr(b.data(), "PACKED.BIN");
  ASSERT_NE(block, nullptr);
  Bytes out(unpacksize(block));
  EXPECT_EQ(unpack(block, out.data()), data.size());
  EXPECT_EQ(out, data);
  unregisterbigfile(b.data());
}

INSTANTIATE_TEST_SUITE_P(BothForms, BigFileForms, ::testing::Values(1, 2));

TEST(BigFile, TypeOfBigFile) {
  packtest::AbortCapture capture;
  const Bytes form1 = {0xC0, 0xFB, 0, 2, 0, 0};
  const Bytes form2 = text("BIGF");
  const Bytes junk = text("JUNK data");
  EXPECT_EQ(typeofbigfilen(form1.data(), form1.size()), 1);
  EXPECT_EQ(typeofbigfilen(form2.data(), form2.size()), 2);
  EXPECT_EQ(typeofbigfilen(junk.data(), junk.size()), 0);
  EXPECT_EQ(typeofbigfile(nullptr), 0);
  EXPECT_EQ(bigdirectoryend(junk.data()), 0u);
  EXPECT_EQ(bigentrycount(junk.data()), 0u);
  ASSERT_EQ(capture.messages().size(), 2u);
  EXPECT_EQ(capture.messages()[0], "typeofbigfile - FILE JUNK dat IS NOT A BIG FILE\n");
  EXPECT_EQ(capture.messages()[1], "typeofbigfile - NO BIG FILE SET (NULL POINTER)\n");
}

TEST(BigFile, FirstEntryAtTheDirectoryEndMeansNoEntries) {
  // Directory ends where the first entry would start, though an entry's bytes follow.
  Bytes form1 = {0xC0, 0xFB, 0x00, 0x02, 0x00, 0x01, 0, 0, 0x14, 0, 0, 1, 'A', 'B', 'C', 'D', 0, 0, 0, 0, 'x'};
  Bytes form2 = datapack::writebigfile(2, {{"ABCD", text("x")}});
  form2[15] = 16;  // directory end 16
  form2[14] = 0;
  for (const Bytes* b : {&form1, &form2}) {
    EXPECT_EQ(findbigentryn(b->data(), b->size(), "abcd", 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(findbigentryn(b->data(), b->size(), nullptr, 0, nullptr, nullptr), nullptr);
  }
}

TEST(BigFile, ShortNamesAndTheZeroWordBetweenEntries) {
  // The "BIGF" form takes names of any length; a lookup of a short name must not read past it.
  const Bytes b = datapack::writebigfile(2, {{"a", text("1")}, {"bc", text("22")}, {"abcd", text("4444")}});
  uint32_t size = 0;
  EXPECT_STREQ(findbigentryn(b.data(), b.size(), "BC", 0, nullptr, &size), "bc");
  EXPECT_EQ(size, 2u);
  EXPECT_STREQ(findbigentryn(b.data(), b.size(), "A", 0, nullptr, &size), "a");
  EXPECT_THROW(datapack::writebigfile(1, {{"abc", text("1")}}), datapack::FormatLimit);
}

// ---- damaged archives ------------------------------------------------------------------------------------

// Every entry that a lookup hands out must lie inside the data it was given.
void expectcontained(const Bytes& b) {
  for (int i = 0; i < 64; ++i) {
    uint32_t offset = 0, size = 0;
    if (!findbigentryn(b.data(), b.size(), nullptr, i, &offset, &size)) continue;
    EXPECT_LE(uint64_t{offset} + size, b.size());
  }
  for (const char* name : {"abcd", "course.dat", "empty", "hole02.hnf", "zzzz"}) {
    uint32_t offset = 0, size = 0;
    if (findbigentryn(b.data(), b.size(), name, 0, &offset, &size)) {
      EXPECT_LE(uint64_t{offset} + size, b.size());
    }
  }
}

TEST(BigFile, TruncatedArchivesGiveOnlyEntriesInsideTheData) {
  for (int form : {1, 2}) {
    const Bytes whole = datapack::writebigfile(form, sampleentries());
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
      const Bytes part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
      expectcontained(part);
    }
    // Cut inside the data: the directory is whole, so the entries before the cut are still found.
    const Bytes part(whole.begin(), whole.end() - 1);
    EXPECT_NE(findbigentryn(part.data(), part.size(), "abcd", 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(findbigentryn(part.data(), part.size(), "hole02.hnf", 0, nullptr, nullptr), nullptr);
  }
}

TEST(BigFile, LengthsTooLargeAreRejected) {
  Bytes b = datapack::writebigfile(2, sampleentries());
  // Directory end beyond the data: no entries at all.
  Bytes d = b;
  d[12] = 0x7F;
  EXPECT_EQ(findbigentryn(d.data(), d.size(), nullptr, 0, nullptr, nullptr), nullptr);
  // The first entry's size made huge: that entry is refused, the others are still found.
  Bytes s = b;
  s[20] = 0x7F;
  EXPECT_EQ(findbigentryn(s.data(), s.size(), "abcd", 0, nullptr, nullptr), nullptr);
  EXPECT_EQ(findbigentryn(s.data(), s.size(), nullptr, 0, nullptr, nullptr), nullptr);
  EXPECT_NE(findbigentryn(s.data(), s.size(), "course.dat", 0, nullptr, nullptr), nullptr);
  // A name without its terminator before the directory end ends the walk.
  Bytes n = datapack::writebigfile(2, {{"abcd", text("x")}});
  n[12 + 3] = static_cast<uint8_t>(n[12 + 3] - 1);  // directory end moved onto the terminator
  EXPECT_EQ(findbigentryn(n.data(), n.size(), nullptr, 0, nullptr, nullptr), nullptr);
}

TEST(BigFile, EveryDamagedByteIsHandled) {
  for (int form : {1, 2}) {
    const Bytes whole = datapack::writebigfile(form, sampleentries());
    const size_t dirend = form == 1 ? 4u + ((whole[2] << 8) | whole[3]) : whole[15];
    for (size_t i = 0; i < dirend; ++i) {
      for (uint8_t x : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
        Bytes b = whole;
        b[i] ^= x;
        expectcontained(b);
      }
    }
  }
}

TEST(BigFile, RegisteredExtents) {
  Bytes a(100), b(50);
  registerbigfile(a.data(), a.size());
  registerbigfile(b.data(), b.size());
  EXPECT_EQ(registeredextent(a.data()), 100u);
  EXPECT_EQ(registeredextent(a.data() + 40), 60u);
  EXPECT_EQ(registeredextent(b.data() + 49), 1u);
  unregisterbigfile(a.data());
  EXPECT_EQ(registeredextent(a.data() + 40), 0u);
  unregisterbigfile(b.data());
  EXPECT_EQ(registeredextent(b.data()), 0u);
}

}  // namespace
