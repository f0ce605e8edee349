// The memory manager: plain blocks, handles, lock counts and the guarded edges of the handle table.
#include "framework/core/memmgr.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platformlib/core/memclass.h"
#include "winapi/testing.h"

namespace {

class MemTest : public ::testing::Test {
 protected:
  void SetUp() override { MemResetForTests(); }
  void TearDown() override { MemResetForTests(); }
};

TEST_F(MemTest, PlainBlocks) {
  auto* p = static_cast<unsigned char*>(MemAlloc(10, MEM_ZEROFILL, __FILE__, __LINE__));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], 0);
  EXPECT_EQ(MemFree(p), MEM_OK);
  EXPECT_EQ(MemFree(nullptr), MEM_OK);
  void* untagged = MemAllocUntagged(100, 0);
  ASSERT_NE(untagged, nullptr);
  EXPECT_EQ(MemFree(untagged), MEM_OK);
}

TEST_F(MemTest, HandleZeroAndUnknownHandles) {
  EXPECT_EQ(MemLock(0), nullptr);
  EXPECT_EQ(MemUnlock(0), MEM_BADHANDLE);
  EXPECT_EQ(MemFreeHandle(0), MEM_BADHANDLE);
  for (MemHandle bad : {-1, 2048, 100000}) {
    EXPECT_EQ(MemLock(bad), nullptr);
    EXPECT_EQ(MemUnlock(bad), MEM_BADHANDLE);
    EXPECT_EQ(MemFreeHandle(bad), MEM_BADHANDLE);
    EXPECT_EQ(MemResizeHandle(bad, 10, 0), MEM_BADHANDLE);
    EXPECT_EQ(MemHandleSize(bad), 0u);
  }
  MemHandle h = MemAllocHandle(16, 0);
  ASSERT_EQ(MemFreeHandle(h), MEM_OK);
  // A freed handle is no longer usable.
  EXPECT_EQ(MemLock(h), nullptr);
  EXPECT_EQ(MemFreeHandle(h), MEM_FREEBLOCK);
}

TEST_F(MemTest, HintReusesTheLowestFreedHandle) {
  MemHandle handles[9];
  for (int i = 0; i < 9; ++i) handles[i] = MemAllocHandle(8, 0);
  EXPECT_EQ(handles[0], 1);
  EXPECT_EQ(handles[8], 9);
  ASSERT_EQ(MemFreeHandle(5), MEM_OK);
  EXPECT_EQ(MemAllocHandle(8, 0), 5);
  EXPECT_EQ(MemAllocHandle(8, 0), 10);
}

TEST_F(MemTest, LockedHandlesAreNotFreedAndCountsStayAtZero) {
  MemHandle h = MemAllocHandle(32, 0);
  void* a = MemLock(h);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(MemLock(h), a);
  EXPECT_EQ(MemLockCount(h), 2);
  EXPECT_EQ(MemFreeHandle(h), MEM_BADHANDLE);
  EXPECT_EQ(MemLock(h), a);  // still alive
  MemUnlock(h);
  MemUnlock(h);
  EXPECT_EQ(MemUnlock(h), MEM_OK);
  EXPECT_EQ(MemUnlock(h), MEM_BADHANDLE);
  EXPECT_EQ(MemLockCount(h), 0);
  EXPECT_EQ(MemFreeHandle(h), MEM_OK);
}

TEST_F(MemTest, ResizeKeepsContentHandleAndLockCount) {
  MemHandle h = MemAllocHandle(8, 0);
  auto* p = static_cast<char*>(MemLock(h));
  memcpy(p, "abcdefgh", 8);
  ASSERT_EQ(MemResizeHandle(h, 10000, 0), MEM_OK);
  EXPECT_EQ(MemLockCount(h), 1);
  EXPECT_EQ(MemHandleSize(h), 10000u);
  p = static_cast<char*>(MemLock(h));
  EXPECT_EQ(std::string(p, 8), "abcdefgh");
  for (int i = 8; i < 10000; ++i) ASSERT_EQ(p[i], 0);
  ASSERT_EQ(MemResizeHandle(h, 3, 0), MEM_OK);
  p = static_cast<char*>(MemLock(h));
  EXPECT_EQ(std::string(p, 3), "abc");
  EXPECT_EQ(MemLockCount(h), 3);
}

TEST_F(MemTest, TheLastHandleCanBeTakenAndAFullTableFailsQuietly) {
  for (int i = 1; i < MEM_HANDLECOUNT; ++i) ASSERT_EQ(MemAllocHandle(1, 0), i);
  EXPECT_EQ(MemLiveHandles(), 2047);
  EXPECT_EQ(MemAllocHandle(1, 0), 0);
  ASSERT_EQ(MemFreeHandle(1234), MEM_OK);
  EXPECT_EQ(MemAllocHandle(1, 0), 1234);
}

TEST_F(MemTest, CopyFillAndClear) {
  char buffer[16] = "0123456789";
  MemCopy(buffer + 2, buffer, 8);  // overlapping
  EXPECT_EQ(std::string(buffer, 10), "0101234567");
  MemFill(buffer, 'x', 4);
  EXPECT_EQ(std::string(buffer, 5), "xxxx2");
  MemClear(buffer, 3);
  EXPECT_EQ(buffer[2], 0);
  EXPECT_EQ(buffer[3], 'x');
  MemTouchPages(buffer, 100);  // below a page: nothing happens
  MemTouchHandle(0);
}

TEST_F(MemTest, InitStartsTheLibraryMemoryForAtLeast800By600) {
  exitmem();
  MemInit(640, 480);
  ASSERT_TRUE(memstarted());
  EXPECT_GE(largestmem(0), 800 * 600 * 16 - 4096);
  EXPECT_EQ(MemAllocHandle(4, 0), 1);
  exitmem();
}

TEST(MemOperatorNewTest, OutOfMemoryEndsWithTheMemoryFullBox) {
  winapi::testing::Reset();
  winapi::testing::SetExitHook([](unsigned code) { throw winapi::testing::ExitCalled{code}; });
  winapi::testing::FailCall("VirtualAlloc", ERROR_NOT_ENOUGH_MEMORY);
  try {
    MemOperatorNew(64);
    FAIL() << "returned";
  } catch (const winapi::testing::ExitCalled& e) {
    EXPECT_NE(e.code, 0u);
  }
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "memory was full");
  EXPECT_EQ(boxes[0].caption, "Zarvo Velmarth 99");
  winapi::testing::Reset();
  void* p = MemOperatorNew(64);
  EXPECT_NE(p, nullptr);
  MemOperatorDelete(p);
}

}  // namespace
