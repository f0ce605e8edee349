#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "fixture.h"
#include "platformlib/core/memclass.h"

using platformtest::CatchAbort;

namespace {

class MemClassTest : public platformtest::PlatformTest {
 protected:
  // A bare class (no trailer, no lock) whose block sizes are easy to reason about.
  void MakeBareClass() {
    ASSERT_GT(creatememclass(2, "BARE", area_, sizeof area_, 8, 32, 0, 0, 0, 0, 0, nullptr), 0);
  }
  void TearDown() override {
    removememclass(2);
    platformtest::PlatformTest::TearDown();
  }
  alignas(16) char area_[8192];
};

constexpr uint32_t kBare = 2;

TEST_F(MemClassTest, SmallReservationsGetEightBytes) {
  for (int size = 0; size < 8; ++size) {
    void* block = reservememadr("small", size, 0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(memblocksize(block), 8);
    EXPECT_EQ(checkmemblock(memblockof(block)), 1);
    purgememadr(block);
  }
}

TEST_F(MemClassTest, NegativeSizeAbortsWithLocation) {
  auto abort = CatchAbort([] { reservememadr("neg", -5, 0); });
  ASSERT_TRUE(abort.ended);
  EXPECT_NE(abort.exitcode, 0u);
  EXPECT_EQ(abort.caption, "Abort message:");
  EXPECT_EQ(abort.style, 0x11031u);
  EXPECT_NE(abort.text.find("reservememadr - INVALID SIZE REQUESTED\nrequested 'neg': -5\navailable: "),
            std::string::npos)
      << abort.text;
  EXPECT_NE(abort.text.find("FILE cmn\\memstd.c LINE "), std::string::npos) << abort.text;
  EXPECT_NE(abort.text.find(" FUNCTION reservememadr\n"), std::string::npos) << abort.text;
  EXPECT_EQ(abort.text.find("CALLED FROM"), std::string::npos);
}

TEST_F(MemClassTest, CalledFromLineIsAppended) {
  calledfromfile = "mawin\\memmgr.cpp";
  calledfromfunction = "MemAlloc";
  calledfromline = 321;
  auto abort = CatchAbort([] { reservememadr("neg", -1, 0); });
  calledfromfile = nullptr;
  EXPECT_NE(abort.text.find("CALLED FROM FILE mawin\\memmgr.cpp LINE 321 FUNCTION MemAlloc\n"), std::string::npos)
      << abort.text;
}

TEST_F(MemClassTest, FailuresReturnQuietlyWithoutAbortOnError) {
  abortonerror = 0;
  auto abort = CatchAbort([] {
    EXPECT_EQ(reservememadr("neg", -1, 0), nullptr);
    EXPECT_EQ(reservememadr("huge", 1 << 30, 0), nullptr);
    EXPECT_EQ(creatememclass(16, "X", nullptr, 0, 8, 0, 0, 0, 0, 0, 0, nullptr), 0);
  });
  EXPECT_FALSE(abort.ended);
  EXPECT_EQ(abort.boxes, 0);
}

TEST_F(MemClassTest, OutOfMemoryAborts) {
  auto abort = CatchAbort([] { reservememadr("huge", 1 << 30, 0); });
  EXPECT_TRUE(abort.ended);
  EXPECT_NE(abort.text.find("reservememadr - OUT OF MEMORY\nrequested 'huge': 1073741824\navailable: "),
            std::string::npos)
      << abort.text;
}

TEST_F(MemClassTest, FilterHookCancelsTheAbort) {
  static std::string seen;
  abortfilterhook = [](const char* text) {
    seen = text;
    return 0;
  };
  void* result = reinterpret_cast<void*>(1);
  auto abort = CatchAbort([&] { result = reservememadr("neg", -1, 0); });
  EXPECT_FALSE(abort.ended);
  EXPECT_EQ(abort.boxes, 0);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(seen.rfind("reservememadr - INVALID SIZE REQUESTED", 0), 0u);
  EXPECT_EQ(abortinprogress, 0);
}

TEST_F(MemClassTest, AbortWhileAbortingReturnsAtOnce) {
  static int innerreturned = 0;
  innerreturned = 0;
  winapi::testing::SetMessageBoxHook([](HWND, const std::string&, const std::string&, UINT) {
    abortmessage("inner %d\n", 2);
    ++innerreturned;
    return IDOK;
  });
  auto abort = CatchAbort([] { abortmessage("outer\n"); });
  EXPECT_TRUE(abort.ended);
  EXPECT_EQ(innerreturned, 1);
  EXPECT_EQ(abortinprogress, 0);
}

TEST_F(MemClassTest, AbortOnAnotherThreadAlsoEndsWithFailure) {
  unsigned code = 0;
  std::thread other([&] {
    try {
      abortmessage("from a worker\n");
    } catch (const winapi::testing::ExitCalled& exit) {
      code = exit.code;
    }
  });
  other.join();
  EXPECT_EQ(code, ABORTEXITCODE);
  EXPECT_NE(code, 0u);
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "from a worker\n");
}

TEST_F(MemClassTest, HooksRunInOrderAndDisplaySectionIsLeft) {
  static std::string order;
  static CRITICAL_SECTION section;
  order.clear();
  InitializeCriticalSection(&section);
  abortfirsthook = [] { order += "first,"; };
  abortdisplayhook = []() -> CRITICAL_SECTION* {
    order += "display,";
    EnterCriticalSection(&section);
    return &section;
  };
  aborttimerhook = [] { order += "timer,"; };
  abortprintflag = 1;
  abortposthook = [] { order += "post"; };
  auto abort = CatchAbort([] { abortmessage("hooks\n"); });
  abortprintflag = 0;
  EXPECT_TRUE(abort.ended);
  EXPECT_EQ(order, "first,display,timer,post");
  // The section was left: another thread can take it.
  std::atomic<bool> taken{false};
  std::thread other([&] {
    EnterCriticalSection(&section);
    taken = true;
    LeaveCriticalSection(&section);
  });
  other.join();
  EXPECT_TRUE(taken);
  DeleteCriticalSection(&section);
}

TEST_F(MemClassTest, ExactlySixtyFourSpareBytesAreNotSplit) {
  MakeBareClass();
  void* a = reservememadr(nullptr, 200, kBare);
  void* guard = reservememadr(nullptr, 8, kBare);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(guard, nullptr);
  purgememadr(a);  // a free block of 200 bytes below the guard
  // 136 bytes leave 64 spare: no split, the slack stays inside the block.
  void* b = reservememadr(nullptr, 136, kBare);
  ASSERT_EQ(b, a);
  EXPECT_EQ(memblockof(b)->next, memblockof(guard));
  purgememadr(b);
  // 128 bytes leave 72: the rest becomes a free block of its own.
  void* c = reservememadr(nullptr, 128, kBare);
  ASSERT_EQ(c, a);
  MemBlock* rest = memblockof(c)->next;
  EXPECT_NE(rest, memblockof(guard));
  EXPECT_EQ(rest->signature, MEMSIG_FREE);
  EXPECT_EQ(rest->size, 72u - MEMHEADER);
  EXPECT_EQ(rest->next, memblockof(guard));
}

TEST_F(MemClassTest, PurgeBetweenTwoFreeBlocksMergesAllThree) {
  MakeBareClass();
  void* a = reservememadr(nullptr, 64, kBare);
  void* b = reservememadr(nullptr, 64, kBare);
  void* c = reservememadr(nullptr, 64, kBare);
  void* guard = reservememadr(nullptr, 64, kBare);
  purgememadr(a);
  purgememadr(c);
  purgememadr(b);
  MemBlock* merged = memblockof(a);
  EXPECT_EQ(merged->signature, MEMSIG_FREE);
  EXPECT_EQ(merged->next, memblockof(guard));
  EXPECT_EQ(memblockof(guard)->prev, merged);
  EXPECT_EQ(merged->size, static_cast<uint32_t>(static_cast<char*>(guard) - static_cast<char*>(a) - MEMHEADER));
  EXPECT_EQ(memblockof(b)->signature, 0);
  EXPECT_EQ(memblockof(c)->signature, 0);
  // The merged block is reused whole.
  EXPECT_EQ(reservememadr(nullptr, static_cast<int>(merged->size), kBare), a);
}

TEST_F(MemClassTest, HighAndLargestPlacement) {
  MakeBareClass();
  void* low = reservememadr(nullptr, 64, kBare);
  void* high = reservememadr(nullptr, 64, kBare | MB_HIGH);
  ASSERT_NE(high, nullptr);
  EXPECT_GT(high, low);
  EXPECT_EQ(memblockof(high)->next, memclasses[2]->last);
  // Two free holes: a small one and the big middle; the largest fit picks the big one.
  void* small = reservememadr(nullptr, 100, kBare);
  void* sep = reservememadr(nullptr, 8, kBare);
  purgememadr(small);
  void* largest = reservememadr(nullptr, 16, kBare | MB_LARGEST);
  EXPECT_GT(largest, sep);
  void* first = reservememadr(nullptr, 16, kBare);
  EXPECT_EQ(first, small);
}

TEST_F(MemClassTest, ResizeToWholeRoomAndRefusedGrowth) {
  void* a = reservememadr("grow", 100, 0);
  void* b = reservememadr("next", 100, 0);
  void* c = reservememadr("guard", 100, 0);
  std::memset(a, 0x5A, 100);
  purgememadr(b);
  // -1 takes all the room up to the guard, keeping the trailer intact.
  ASSERT_EQ(resizememadr(a, -1), a);
  EXPECT_GT(memblocksize(a), 200);
  EXPECT_EQ(memblockof(a)->next, memblockof(c));
  EXPECT_STREQ(memblockname(a), "grow");
  EXPECT_EQ(validatemem(0), 1);
  // Shrinking gives the room back as a free block.
  ASSERT_EQ(resizememadr(a, 50), a);
  EXPECT_EQ(memblocksize(a), 50);
  EXPECT_EQ(memblockof(a)->next->signature, MEMSIG_FREE);
  EXPECT_EQ(static_cast<unsigned char*>(a)[49], 0x5A);
  EXPECT_EQ(validatemem(0), 1);
  // Growing past a reserved neighbour fails and leaves the block as it was.
  ASSERT_EQ(resizememadr(a, -1), a);
  const int whole = memblocksize(a);
  EXPECT_EQ(resizememadr(a, whole + 64), nullptr);
  EXPECT_EQ(memblocksize(a), whole);
  EXPECT_EQ(validatemem(0), 1);
  EXPECT_STREQ(memblockname(a), "grow");
}

TEST_F(MemClassTest, BadResizeValueAborts) {
  void* a = reservememadr("x", 10, 0);
  auto abort = CatchAbort([&] { resizememadr(a, -2); });
  EXPECT_TRUE(abort.ended);
  EXPECT_NE(abort.text.find("resize - BAD RESIZE VALUE -2\n"), std::string::npos);
  EXPECT_NE(abort.text.find("FILE cmn\\resize.c"), std::string::npos);
  EXPECT_NE(abort.text.find("FUNCTION resizememadr"), std::string::npos);
}

TEST_F(MemClassTest, ValidateReportsTheOverwrittenSentinel) {
  void* a = reservememadr("first", 32, 0);
  char* b = static_cast<char*>(reservememadr("victim", 24, 0));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(validatemem(0), 1);
  b[24] = 'X';  // the byte after the payload
  EXPECT_EQ(checkmemblock(memblockof(b)), 0);
  auto abort = CatchAbort([] { validatemem(0); });
  EXPECT_TRUE(abort.ended);
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "validatemem - SENTINEL CORRUPTED.  BLOCK 'victim' ADR 0x%lx, LENGTH 24\nSentinel ADR 0x%lx, VALUE 'XEND'\n",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(b)),
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(b + 24)));
  EXPECT_EQ(abort.text.rfind(expected, 0), 0u) << abort.text;
  EXPECT_NE(abort.text.find("FUNCTION validatememclass"), std::string::npos);
  b[24] = 'B';
  EXPECT_EQ(validatemem(0), 1);
}

TEST_F(MemClassTest, PurgingSomethingElseIsRefused) {
  void* a = reservememadr("a", 40, 0);
  purgememadr(a);
  auto abort = CatchAbort([&] { purgememadr(a); });
  EXPECT_TRUE(abort.ended);
  EXPECT_NE(abort.text.find("purgememadr - NOT A MEMBLOCK.  BLOCK @ 0x"), std::string::npos) << abort.text;
  EXPECT_NE(abort.text.find("SIGNATURE 'FB' (0x4246)"), std::string::npos) << abort.text;
  int local = 0;
  abortonerror = 0;
  EXPECT_EQ(purgememadr(&local), 0);  // not inside any class: its "header" is never read
  EXPECT_EQ(purgememadr(nullptr), 1);
}

TEST_F(MemClassTest, ClassRangeAndAliases) {
  auto abort = CatchAbort([] { creatememclass(16, "BAD", nullptr, 0, 8, 0, 0, 0, 0, 0, 0, nullptr); });
  EXPECT_NE(abort.text.find("creatememclass - CLASS NUMBER OF 16 IS OUT OF RANGE. SHOULD BE 0..16\n"),
            std::string::npos);
  EXPECT_EQ(memclasses[0], memclasses[1]);
  EXPECT_STREQ(memclasses[0]->name, "RAM");
  void* viaone = reservememadr("one", 100, 1);
  EXPECT_EQ(findmemblock(static_cast<char*>(viaone) + 50), viaone);
  EXPECT_EQ(largestmem(0), largestmem(1));
  EXPECT_EQ(purgememadr(viaone), 1);
}

TEST_F(MemClassTest, FindNameAndSourceTag) {
  abortfile = "sources\\golf.cpp";
  abortline = 42;
  char* a = static_cast<char*>(reservememadr("tagged", 30, 0));
  EXPECT_STREQ(memblockname(a), "tagged");
  const char* file = nullptr;
  int line = 0;
  std::memcpy(&file, a + 30 + 4, sizeof file);
  std::memcpy(&line, a + 30 + 4 + sizeof file, 4);
  EXPECT_STREQ(file, "sources\\golf.cpp");
  EXPECT_EQ(line, 42);
  calledfromfile = "outer.cpp";
  calledfromline = 7;
  char* b = static_cast<char*>(reservememadr(nullptr, 30, 0));
  calledfromfile = nullptr;
  std::memcpy(&file, b + 30 + 4, sizeof file);
  EXPECT_STREQ(file, "outer.cpp");
  EXPECT_EQ(memblockname(b), nullptr);
  EXPECT_EQ(findmemblock(a + 29), a);
  EXPECT_EQ(findmemblock(a + 30), nullptr);
  purgememadr(a);
  EXPECT_EQ(findmemblock(a), nullptr);
}

TEST_F(MemClassTest, PurgeClassFreesEverything) {
  MakeBareClass();
  const int before = largestmem(2);
  for (int i = 0; i < 20; ++i) reservememadr(nullptr, 16 + i * 8, kBare);
  EXPECT_LT(largestmem(2), before);
  EXPECT_EQ(purgememclass(2), 1);
  EXPECT_EQ(largestmem(2), before);
}

TEST_F(MemClassTest, ThreadsShareTheLockedClass) {
  const int before = largestmem(0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      std::vector<void*> blocks;
      for (int i = 0; i < 500; ++i) {
        blocks.push_back(reservememadr("thread", 8 + (i * 37 + t) % 300, 0));
        if (i % 3 == 0) {
          purgememadr(blocks.front());
          blocks.erase(blocks.begin());
        }
      }
      for (void* block : blocks) purgememadr(block);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(validatemem(0), 1);
  // Everything came back: one free block spans the class again.
  EXPECT_EQ(largestmem(0), before);
}

TEST_F(MemClassTest, CriticalSectionPoolGrowsAndIsShared) {
  std::vector<CRITICAL_SECTION*> sections;
  for (int i = 0; i < 100; ++i) {
    sections.push_back(getcriticalsection());
    ASSERT_NE(sections.back(), nullptr);
  }
  const int freeafter = criticalpoolfree();
  for (auto* section : sections) freecriticalsection(section);
  EXPECT_EQ(criticalpoolfree(), freeafter + 100);
  freecriticalsection(nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        CRITICAL_SECTION* section = getcriticalsection();
        entercritical(section);
        leavecritical(section);
        freecriticalsection(section);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(criticalpoolfree(), freeafter + 100);
}

TEST_F(MemClassTest, DebugMessageFiltersByLevel) {
  debugoutputmode = 1;
  int level = 2;
  winapi::testing::TakeDebugOutput();
  debugmessage(&level, 3, "hidden %d\n", 3);
  debugmessage(&level, 2, "[INIT] shown %d\n", 2);
  debugmessage(nullptr, 9, "always\n");
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "[INIT] shown 2\nalways\n");
  static std::string written;
  written.clear();
  debugoutputmode = 3;
  debugwritehook = [](const char* text) { written += text; };
  debugmessage(nullptr, 0, "screen");
  debugwritehook = nullptr;
  debugoutputmode = 2;
  EXPECT_EQ(written, "screen");
}

}  // namespace
