// DES against the standard's published known answers, and the tour-card file.
#include "framework/core/des.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/core/tourcard.h"
#include "support/drive_fixture.h"

namespace {

uint64_t Load(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
  return v;
}
void Store(uint64_t v, uint8_t* p) {
  for (int i = 7; i >= 0; --i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

uint64_t Encrypt(uint64_t key, uint64_t plain) {
  uint8_t k[8], b[8];
  Store(key, k);
  Store(plain, b);
  DesEncrypt(k, b, 8);
  return Load(b);
}
uint64_t Decrypt(uint64_t key, uint64_t cipher) {
  uint8_t k[8], b[8];
  Store(key, k);
  Store(cipher, b);
  DesDecrypt(k, b, 8);
  return Load(b);
}

struct Vector {
  uint64_t key, plain, cipher;
};

TEST(Des, KnownAnswers) {
  const Vector vectors[] = {
      {0x133457799BBCDFF1ull, 0x0123456789ABCDEFull, 0x85E813540F0AB405ull},
      {0x0123456789ABCDEFull, 0x4E6F772069732074ull, 0x3FA40E8A984D4815ull},
      // Variable plaintext, variable key and S-box entries of the validation tables.
      {0x0101010101010101ull, 0x8000000000000000ull, 0x95F8A5E5DD31D900ull},
      {0x0101010101010101ull, 0x0000000000000001ull, 0x166B40B44ABA4BD6ull},
      {0x8001010101010101ull, 0x0000000000000000ull, 0x95A8D72813DAA94Dull},
      {0x7CA110454A1A6E57ull, 0x01A1D6D039776742ull, 0x690F5B0D9A26939Bull},
      {0x0131D9619DC1376Eull, 0x5CD54CA83DEF57DAull, 0x7A389D10354BD271ull},
      {0x07A1133E4A0B2686ull, 0x0248D43806F67172ull, 0x868EBB51CAB4599Aull},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(testing::Message() << std::hex << v.key);
    EXPECT_EQ(Encrypt(v.key, v.plain), v.cipher);
    EXPECT_EQ(Decrypt(v.key, v.cipher), v.plain);
  }
}

TEST(Des, ChainOfSixteenKeysAndParityBitsIgnored) {
  // Each step uses the last result as key and data, alternately encrypting and decrypting.
  uint64_t x = 0x9474B8E8C73BCA7Dull;
  for (int i = 0; i < 16; ++i) x = i % 2 == 0 ? Encrypt(x, x) : Decrypt(x, x);
  EXPECT_EQ(x, 0x1B1A2DDB4C642438ull);
  // The lowest bit of each key byte plays no part.
  EXPECT_EQ(Encrypt(0x133457799BBCDFF1ull ^ 0x0101010101010101ull, 0x0123456789ABCDEFull), 0x85E813540F0AB405ull);
}

TEST(Des, BlocksAreIndependentAndTheTailIsKept) {
  const uint8_t key[8] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  uint8_t text[27];
  std::memcpy(text, "Now is the time for all xyz", 27);
  DesEncrypt(key, text, 27);
  const uint8_t expected[24] = {0x3f, 0xa4, 0x0e, 0x8a, 0x98, 0x4d, 0x48, 0x15, 0x6a, 0x27, 0x17, 0x87,
                                0xab, 0x88, 0x83, 0xf9, 0x89, 0x3d, 0x51, 0xec, 0x4b, 0x56, 0x3b, 0x53};
  EXPECT_EQ(std::memcmp(text, expected, 24), 0);
  EXPECT_EQ(std::memcmp(text + 24, "xyz", 3), 0);
  DesDecrypt(key, text, 27);
  EXPECT_EQ(std::memcmp(text, "Now is the time for all xyz", 27), 0);
}

TEST(Des, NullArgumentsDoNothing) {
  const uint8_t key[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  uint8_t data[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  DesEncrypt(nullptr, data, 8);
  DesEncrypt(key, data, 0);
  DesEncrypt(key, data, 7);
  DesDecrypt(key, nullptr, 8);
  for (uint8_t b : data) EXPECT_EQ(b, 9);
}

TEST(Des, RoundKeysForDecryptionAreReversed) {
  uint8_t permuted[56];
  for (int i = 0; i < 56; ++i) permuted[i] = static_cast<uint8_t>((i * 7 + 3) % 5 == 0);
  DesWorkArea work;
  DesKeySchedule(permuted, &work);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(std::memcmp(work.roundkeys[16 + i], work.roundkeys[15 - i], 8), 0);
  for (int i = 0; i < 32; ++i)
    for (int j = 0; j < 8; ++j) EXPECT_LT(work.roundkeys[i][j], 64);
}

class TourCardTest : public DriveTest {
 protected:
  PathRecord Data() {
    PathRecord r{};
    std::snprintf(r.label, sizeof r.label, "HARDDISK");
    std::snprintf(r.drive, sizeof r.drive, "c:");
    PathSetDirectory(&r, "|DATA");
    return r;
  }
  // The file as the program expects it: whole blocks encrypted under its key.
  void WriteCard(std::string plain) {
    DesEncrypt(reinterpret_cast<const uint8_t*>(kTourCardKey), reinterpret_cast<uint8_t*>(plain.data()),
               static_cast<uint32_t>(plain.size()));
    HostFile("c/DATA/TOURCARD.DAT", plain);
  }
};

TEST_F(TourCardTest, KeyIsEightLowerCaseHexDigits) {
  ASSERT_EQ(std::strlen(kTourCardKey), 8u);
  for (const char* p = kTourCardKey; *p; ++p) EXPECT_TRUE((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f'));
}

TEST_F(TourCardTest, SizesAndTails) {
  struct Case {
    size_t size;
    size_t decrypted;
  } cases[] = {{0, 0}, {5, 0}, {8, 8}, {20, 16}, {63, 56}, {100, 56}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::string plain;
    for (size_t i = 0; i < c.size; ++i) plain += static_cast<char>('A' + i % 26);
    WriteCard(plain);
    std::string raw = HostRead("c/DATA/TOURCARD.DAT");
    PathRecord data = Data();
    TourCardBuffer[0] = 'x';
    EXPECT_EQ(LoadTourCard(&data), 1);
    EXPECT_EQ(TourCardPresent, 1);
    size_t kept = std::min<size_t>(c.size, 63);
    EXPECT_EQ(std::string(TourCardBuffer, c.decrypted), plain.substr(0, c.decrypted));
    // Bytes after the last whole block stay as they were in the file.
    EXPECT_EQ(std::string(TourCardBuffer + c.decrypted, kept - c.decrypted), raw.substr(c.decrypted, kept - c.decrypted));
    for (size_t i = kept; i < kTourCardSize; ++i) EXPECT_EQ(TourCardBuffer[i], 0);
  }
}

TEST_F(TourCardTest, MissingFileOrFolderLeavesTheEditionPlain) {
  PathRecord data = Data();
  TourCardPresent = 1;
  TourCardBuffer[3] = 'q';
  EXPECT_EQ(LoadTourCard(&data), 0);
  EXPECT_EQ(TourCardPresent, 0);
  for (char c : TourCardBuffer) EXPECT_EQ(c, 0);
  EXPECT_EQ(LoadTourCard(nullptr), 0);
}

}  // namespace
