// The card-table writer: the table as the detector reads it, the version check, and failed writes.
#include <cstring>

#include "cardtable.h"
#include "setupfixture.h"

namespace setuptest {
namespace {

const std::string kMain = "SOFTWARE\\Marrowgate\\3D Data";

struct ExpectedCard {
  const char* name;
  const char* module;
  const char* group;
  std::vector<std::pair<DWORD, DWORD>> ids;
};
const ExpectedCard kExpected[17] = {
    {"Software Renderer", "flatrast", "Software", {{0x0000, 0x0000}}},
    {"3Dfx Voodoo2", "drvglide2", "3Dfx", {{0x121A, 0x0002}}},
    {"3Dfx Banshee", "drvglide2", "3Dfx", {{0x121A, 0x0003}}},
    {"3Dfx Voodoo", "drvglide", "3Dfx", {{0x121A, 0x0001}}},
    {"3Dfx Voodoo Rush", "drvglide", "3Dfx", {{0x1142, 0x643D}, {0x121A, 0x8626}, {0x10D9, 0x8626}}},
    {"Matrox G200", "drvd3d", "D3D", {{0x102B, 0x0521}}},
    {"NVidia RIVA 128", "drvd3d", "D3D", {{0x12D2, 0x0018}}},
    {"Intel i740", "drvd3d", "D3D", {{0x8086, 0x7800}}},
    {"PowerVR", "powervr", "NEC", {{0x1033, 0x002A}, {0x1033, 0x0046}}},
    {"Rendition V2100/V2200", "verite", "Rendition", {{0x1163, 0x2000}}},
    {"Chromatic Mpact 2", "drvd3d", "D3D", {{0x110B, 0x0004}}},
    {"ATI Rage Pro", "drvati", "ATI", {{0x1002, 0x4742}, {0x1002, 0x4750}}},
    {"3DLabs Permedia 2", "drvd3d", "D3D", {{0x104C, 0x3D07}}},
    {"S3 Savage 3D", "drvd3d", "D3D", {{0x5333, 0x8A20}}},
    {"S3 Virge VX", "drvd3d", "D3D", {{0x5333, 0x883D}}},
    {"S3 Virge DX/GX", "drvd3d", "D3D", {{0x5333, 0x8A01}}},
    {"S3 Virge", "drvd3d", "D3D", {{0x5333, 0x5631}}},
};
const DWORD kOrder[17] = {1, 2, 4, 5, 7, 9, 10, 11, 12, 13, 8, 3, 6, 14, 15, 16, 17};

class Hwscan : public SetupTest {
 protected:
  // Runs the program; the exit code, whether it returned or ended through ExitProcess.
  static unsigned Run() {
    try {
      return static_cast<unsigned>(hwscan::main());
    } catch (const winapi::testing::ExitCalled& e) {
      return e.code;
    }
  }
  static std::string CardKey(int n) { return kMain + "\\Card" + std::to_string(n); }
  static std::string Text(const std::string& key, const char* name) {
    DWORD type = 0;
    std::vector<BYTE> data;
    if (!ReadValue(key, name, &type, &data)) return "<missing>";
    return std::string(reinterpret_cast<const char*>(data.data()), strnlen(reinterpret_cast<const char*>(data.data()), data.size()));
  }
  void ExpectCompleteTable() {
    DWORD v = 0;
    EXPECT_TRUE(ReadDword(kMain, "Version", &v) && v == 12) << v;
    EXPECT_TRUE(ReadDword(kMain, "Cards", &v) && v == 17) << v;
    for (int i = 0; i < 17; ++i) {
      ASSERT_TRUE(ReadDword(kMain, std::to_string(i + 1).c_str(), &v)) << i + 1;
      EXPECT_EQ(v, kOrder[i]) << "order value " << i + 1;
    }
    for (int n = 1; n <= 17; ++n) {
      const ExpectedCard& card = kExpected[n - 1];
      SCOPED_TRACE(card.name);
      const std::string key = CardKey(n);
      for (auto [name, text] : {std::pair{"Name", card.name}, {"Module", card.module}, {"Group", card.group}}) {
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(ReadValue(key, name, &type, &data)) << name;
        EXPECT_EQ(type, DWORD{REG_SZ});
        ASSERT_EQ(data.size(), 128u) << name;
        EXPECT_STREQ(reinterpret_cast<const char*>(data.data()), text);
        for (size_t b = std::strlen(text); b < data.size(); ++b) ASSERT_EQ(data[b], 0) << name << " byte " << b;
      }
      ASSERT_TRUE(ReadDword(key, "Types", &v));
      ASSERT_EQ(v, card.ids.size());
      for (size_t t = 1; t <= card.ids.size(); ++t) {
        const std::string typeKey = key + "\\Type" + std::to_string(t);
        DWORD vendor = 0, device = 0;
        ASSERT_TRUE(ReadDword(typeKey, "VendorID", &vendor) && ReadDword(typeKey, "DeviceID", &device)) << typeKey;
        EXPECT_EQ(vendor, card.ids[t - 1].first) << typeKey;
        EXPECT_EQ(device, card.ids[t - 1].second) << typeKey;
      }
      EXPECT_FALSE(KeyExists(key + "\\Type" + std::to_string(card.ids.size() + 1)));
    }
    EXPECT_FALSE(KeyExists(CardKey(18)));
  }
};

TEST_F(Hwscan, WritesTheWholeTableIntoAnEmptyRegistry) {
  EXPECT_EQ(Run(), 0u);
  ExpectCompleteTable();
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
  // What the detector will read is in the file, not only in this process.
  winapi::registry::UseFile(registryFile);
  ExpectCompleteTable();
}

TEST_F(Hwscan, ASecondRunLeavesTheTableAlone) {
  ASSERT_EQ(Run(), 0u);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, CardKey(1).c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>("Mine"), 5), ERROR_SUCCESS);
  RegCloseKey(key);
  WriteDword(kMain, "Version", 13);  // a newer table is left alone too

  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(Text(CardKey(1), "Name"), "Mine");
}

TEST_F(Hwscan, AnOlderTableIsDeletedWholeAndWrittenAgain) {
  // The lowest byte of the version decides, so 256 counts as old.
  for (DWORD old : {11u, 256u, 0u}) {
    SCOPED_TRACE(old);
    WriteDword(kMain, "Version", old);
    WriteDword(CardKey(18), "Types", 1);
    WriteDword(CardKey(3) + "\\Type2", "VendorID", 7);
    EXPECT_EQ(Run(), 0u);
    ExpectCompleteTable();
  }
}

TEST_F(Hwscan, ATableWithoutAVersionIsOverwrittenInPlace) {
  WriteDword(CardKey(1), "Types", 99);
  WriteDword(CardKey(18), "Types", 1);
  EXPECT_EQ(Run(), 0u);
  DWORD v = 0;
  EXPECT_TRUE(ReadDword(CardKey(1), "Types", &v) && v == 1);
  EXPECT_TRUE(KeyExists(CardKey(18)));  // kept: nothing deleted the old key
}

TEST_F(Hwscan, AFailedValueWriteEndsWithItsKeyAndNameAndTheNextRunRepairs) {
  setup::Registry().setValue = [](HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    if (std::strcmp(name, "Module") == 0) return LONG{ERROR_ACCESS_DENIED};
    return RegSetValueExA(key, name, reserved, type, data, size);
  };
  EXPECT_EQ(Run(), 1u);
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error creating 'Module' value in SOFTWARE\\Marrowgate\\3D Data\\Card1\n");
  EXPECT_EQ(boxes[0].type & 0xF, UINT{MB_OK});
  EXPECT_EQ(Text(CardKey(1), "Name"), "Software Renderer");  // what came before stays

  // The cut-short table carries no version, so it is not trusted next time.
  DWORD v = 0;
  EXPECT_FALSE(ReadDword(kMain, "Version", &v));
  setup::UsePlatformRegistry();
  EXPECT_EQ(Run(), 0u);
  ExpectCompleteTable();
}

TEST_F(Hwscan, AFailedKeyCreationNamesTheKeyAndABlankValue) {
  setup::Registry().createKey = [](HKEY root, LPCSTR path, DWORD r, LPSTR cls, DWORD opt, REGSAM sam,
                                   LPSECURITY_ATTRIBUTES sa, PHKEY key, LPDWORD disp) {
    if (std::string(path).ends_with("Card5\\Type2")) return LONG{ERROR_ACCESS_DENIED};
    return RegCreateKeyExA(root, path, r, cls, opt, sam, sa, key, disp);
  };
  EXPECT_EQ(Run(), 1u);
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error creating ' ' value in SOFTWARE\\Marrowgate\\3D Data\\Card5\\Type2\n");
  EXPECT_TRUE(KeyExists(CardKey(5) + "\\Type1"));
  EXPECT_FALSE(KeyExists(CardKey(6)));
}

TEST_F(Hwscan, NoMainKeySaysSoAndWritesNothing) {
  setup::Registry().createKey = [](HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                   LPDWORD) { return LONG{ERROR_ACCESS_DENIED}; };
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(Run(), 0u);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "couldn't create main key\n");
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
  EXPECT_FALSE(KeyExists(kMain));
}

}  // namespace
}  // namespace setuptest
