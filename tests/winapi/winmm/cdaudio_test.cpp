// The "cdaudio" device asks about its drive as a program asks about media: an empty drive is a plain answer, never
// the platform's "insert a disk" box.
#include <gtest/gtest.h>

#include <string>

#include "mmsystem.h"
#include "winapi/testing.h"

namespace {

std::string Mci(const char* command) {
  char reply[64] = {};
  return mciSendStringA(command, reply, sizeof reply, nullptr) == 0 ? reply : "error";
}

TEST(CdAudioDevice, AnEmptyDriveAnswersWithoutAskingForADisk) {
  winapi::testing::Reset();
  winapi::testing::SetCdDrive('D', "TEEBOX");
  winapi::testing::TakeMessageBoxes();
  ASSERT_NE(Mci("open cdaudio"), "error");
  EXPECT_EQ(Mci("status cdaudio media present"), "false");
  Mci("close cdaudio");
  for (const auto& box : winapi::testing::TakeMessageBoxes()) ADD_FAILURE() << box.caption << ": " << box.text;
  winapi::testing::Reset();
}

}  // namespace
