// The registry manager and the log file.
#include "framework/core/registry.h"

#include "support/drive_fixture.h"

namespace {

class RegistryTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    winapi::registry::UseFile(root_ + "/registry.txt");
    ResetLogReport();
    winapi::testing::TakeDebugOutput();
  }
  void TearDown() override {
    winapi::registry::UseFile("");
    DriveTest::TearDown();
  }
};

TEST_F(RegistryTest, ValuesRoundTripThroughTheManager) {
  {
    RegistryMgr graphics("Graphics", true);
    ASSERT_TRUE(graphics.IsOpen());
    EXPECT_EQ(graphics.WriteValue("Driver", "drvd3d"), 1);
    EXPECT_EQ(graphics.WriteValue("Width", 800u), 1);
    const BYTE blob[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(graphics.WriteValue("Blob", REG_BINARY, blob, 5), 1);
    EXPECT_EQ(graphics.WriteValue("Count", "42"), 1);
  }
  ASSERT_TRUE(winapi::registry::FlushAll());
  winapi::registry::UseFile(root_ + "/registry.txt");  // read back from the file
  RegistryMgr graphics("graphics", false);
  ASSERT_TRUE(graphics.IsOpen());
  char text[16];
  EXPECT_EQ(graphics.ReadString("Driver", text, sizeof text), 1);
  EXPECT_STREQ(text, "drvd3d");
  // A DWORD read as text comes back as decimal.
  EXPECT_EQ(graphics.ReadString("Width", text, sizeof text), 1);
  EXPECT_STREQ(text, "800");
  // Texts are cut to the buffer.
  char small[4];
  EXPECT_EQ(graphics.ReadString("Driver", small, sizeof small), 1);
  EXPECT_STREQ(small, "drv");
  uint32_t number = 0;
  EXPECT_EQ(graphics.ReadValue("Width", &number, sizeof number), 1);
  EXPECT_EQ(number, 800u);
  EXPECT_EQ(graphics.ReadValue("Count", &number, sizeof number), 1);
  EXPECT_EQ(number, 42u);
  BYTE blob[3] = {};
  EXPECT_EQ(graphics.ReadValue("Blob", blob, sizeof blob), 1);
  EXPECT_EQ(blob[2], 3);
  EXPECT_EQ(graphics.ReadString("Blob", text, sizeof text), 0);
  EXPECT_NE(winapi::testing::TakeDebugOutput().find("Registry Type Not Supported!"), std::string::npos);
  EXPECT_EQ(graphics.ReadString("Missing", text, sizeof text), 0);
  RegistryMgr absent("NoSuchKey", false);
  EXPECT_FALSE(absent.IsOpen());
  EXPECT_EQ(absent.ReadString("Driver", text, sizeof text), 0);
  EXPECT_EQ(absent.WriteValue("x", 1u), 0);
  EXPECT_NE(winapi::testing::TakeDebugOutput().find("Error Writing Registry Value: "), std::string::npos);
}

TEST_F(RegistryTest, LogLineFormat) {
  SYSTEMTIME t{};
  t.wYear = 1999;
  t.wMonth = 3;
  t.wDay = 7;
  t.wHour = 9;
  t.wMinute = 5;
  t.wSecond = 2;
  char line[128];
  FormatLogLine("Game started", t, line, sizeof line);
  EXPECT_STREQ(line, "Game started:  Date: 03/07/99  Time: 09:05:02");
}

TEST_F(RegistryTest, LogGoesToLogPathOrTheProgramFolder) {
  HostFile("c/Game/teebox.exe", "");
  winapi::testing::SetModuleFileName("C:\\Game\\teebox.exe");
  WriteLogLine("first");
  WriteLogLine("second");
  std::string log = HostRead("c/Game/ZQLog.Log");
  EXPECT_EQ(log.rfind("first:  Date: ", 0), 0u);
  EXPECT_NE(log.find("\nsecond:  Date: "), std::string::npos);
  EXPECT_EQ(log.back(), '\n');
  HostFile("c/Logs/keep", "");
  RegistryMgr("", true).WriteValue("LogPath", "C:\\Logs");
  char logPath[64];
  ASSERT_EQ(RegistryMgr(nullptr, false).ReadString("LogPath", logPath, sizeof logPath), 1);  // the same key
  EXPECT_STREQ(logPath, "C:\\Logs");
  WriteLogLine("third");
  EXPECT_EQ(HostRead("c/Logs/ZQLog.Log").rfind("third:  Date: ", 0), 0u);
}

TEST_F(RegistryTest, ALineCutShortByAKilledProcessIsEndedBeforeTheNext) {
  HostFile("c/Game/teebox.exe", "");
  winapi::testing::SetModuleFileName("C:\\Game\\teebox.exe");
  HostFile("c/Game/ZQLog.Log", "whole:  Date: 1\ncut:  Da");
  WriteLogLine("next");
  const std::string log = HostRead("c/Game/ZQLog.Log");
  EXPECT_EQ(log.rfind("whole:  Date: 1\ncut:  Da\nnext:  Date: ", 0), 0u) << log;
  EXPECT_EQ(log.back(), '\n');
}

TEST_F(RegistryTest, AnUnopenableLogIsReportedOnceAndTheGameGoesOn) {
  RegistryMgr("", true).WriteValue("LogPath", "C:\\NoSuchFolder");
  WriteLogLine("lost");
  WriteLogLine("lost again");
  std::string debug = winapi::testing::TakeDebugOutput();
  size_t first = debug.find("Unable to Open Log File: C:\\NoSuchFolder\\ZQLog.Log");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(debug.find("Unable to Open Log File", first + 1), std::string::npos);
}

}  // namespace
