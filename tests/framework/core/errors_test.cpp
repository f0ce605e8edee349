// Error texts, the mapping of system errors and the error box.
#include "framework/core/errors.h"

#include <gtest/gtest.h>

#include "framework/core/services.h"
#include "winapi/testing.h"

namespace {

TEST(ErrorsTest, SystemErrorsMapToCodes) {
  struct {
    DWORD system;
    int code;
  } cases[] = {{0, 0},      {2, 7},     {3, 7},     {6, 4},     {8, 2},         {14, 2},   {15, 8},
               {20, 8},     {53, 8},    {55, 8},    {39, 10},   {112, 10},      {52, 11},  {80, 11},
               {183, 11},   {157, 3},   {5, 1},     {9999, 1},  {0x12340002, 7}, {0x10000, 0}};
  for (const auto& c : cases) EXPECT_EQ(Win32ErrorToCode(c.system), c.code) << c.system;
  EXPECT_STREQ(ErrorText(1), "An Unknown Error Has Occured");
  EXPECT_STREQ(ErrorText(30), "Error seeking file");
  EXPECT_STREQ(ErrorText(31), "An Unknown Error Has Occured");
}

int gDeactivations = 0;

// Counts the times the game leaves the screen for a box.
void CountDeactivation() { ++gDeactivations; }

class ErrorBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
    winapi::testing::TakeMessageBoxes();
    SetErrorBoxOwner(nullptr, nullptr, CountDeactivation);
  }
  void TearDown() override {
    SetErrorBoxOwner(nullptr, nullptr, nullptr);
    winapi::testing::Reset();
  }
};

TEST_F(ErrorBoxTest, CodeZeroAndNullTextShowNothing) {
  ShowErrorBox(0, true);
  ShowErrorText(nullptr, true);
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
}

TEST_F(ErrorBoxTest, RecoverableBoxDeactivatesAndReturns) {
  gDeactivations = 0;
  ShowErrorBox(10, false);
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "disk was full");
  EXPECT_EQ(boxes[0].caption, "Zarvo Velmarth 99");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONHAND | MB_SETFOREGROUND));
  EXPECT_EQ(gDeactivations, 1);
}

TEST_F(ErrorBoxTest, FatalBoxEndsWithNonZeroCode) {
  gDeactivations = 0;
  try {
    ShowErrorText("The data files are damaged.", true);
    FAIL() << "a fatal box returned";
  } catch (const winapi::testing::ExitCalled& e) {
    EXPECT_NE(e.code, 0u);
  }
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "The data files are damaged.");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONEXCLAMATION | MB_SETFOREGROUND));
  EXPECT_EQ(gDeactivations, 0);
}

TEST_F(ErrorBoxTest, WithoutStatisticsTheDiskIsNeverBusy) {
  SampleDiskActivity();
  EXPECT_EQ(DiskActivityRate(), 0u);
  EXPECT_EQ(DiskIsBusy(), 0);
  WaitForDiskIdle(0.0f);  // returns after one pass
}

}  // namespace
