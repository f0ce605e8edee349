// The guarded queues, the comm dispatcher's delivery table and the comm thread's pump.
#include "framework/core/commqueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "framework/core/services.h"
#include "winapi/testing.h"

namespace {

constexpr uintptr_t kTheMessage = ~uintptr_t{0};  // stands for the message's own address in the tables

struct Sent {
  uint32_t receiver, code, second;
};
bool gameExists = true;
std::atomic<bool> gamePaused{false};
std::vector<Sent> sent;
std::vector<std::vector<uint8_t>> voices;

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

intptr_t StubMake(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes);
void StubRelease(void* argument);

// The game as the dispatcher sees it; once `makes` is set it makes the arguments of peers' messages.
class FakeGame : public GameProvider {
 public:
  bool makes = false;
  bool refuses = false;
  bool GameExists() override { return gameExists; }
  bool GamePaused() override { return gamePaused.load(); }
  intptr_t PeerArgument(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes, intptr_t plain) override {
    if (refuses) return kPeerRefused;
    return makes ? StubMake(id, sender, body, bytes) : plain;
  }
  void ReleasePeerArgument(intptr_t argument) override {
    if (makes) StubRelease(reinterpret_cast<void*>(argument));
  }
};

// The session's sends and the voice messages stored.
class FakeNetwork : public NetworkProvider {
 public:
  void SessionSend(uint32_t r, uint32_t c, uint32_t s) override { sent.push_back({r, c, s}); }
  bool VoiceExists() override { return true; }
  void VoiceStoreReceived(const uint8_t* m, uint32_t n, int32_t) override { voices.emplace_back(m, m + n); }
};

uint8_t* Make(uint32_t sender, uint32_t code, uint32_t a = 0, uint32_t b = 0, uint32_t length = 20) {
  uint8_t* m = CommMessageAlloc(length);
  const uint32_t words[5] = {sender, 0x55, code, a, b};
  for (uint32_t i = 0; i < 5 && i * 4 + 4 <= length; ++i)
    for (int k = 0; k < 4; ++k) m[i * 4 + k] = static_cast<uint8_t>(words[i] >> (8 * k));
  return m;
}

class CommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    gameExists = true;
    gamePaused = false;
    sent.clear();
    voices.clear();
    Services providers;
    providers.game = &game_;
    providers.network = &network_;
    InstallServices(providers);
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = "CommTestQueue";
    RegisterClassA(&wc);
    CommQueueWindow = CreateWindowExA(0, "CommTestQueue", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(CommQueueWindow, nullptr);
    CommQueue = GuardedQueueCreate(&queue_);
    CommVoiceCount = 0;
    winapi::testing::TakeDebugOutput();
  }
  void TearDown() override {
    for (MSG m = {}; GuardedQueuePop(CommQueue, &m);) FreeIfMessage(m.wParam, m.lParam);
    GuardedQueueDestroy(CommQueue);
    CommQueue = nullptr;
    for (MSG m : Posts()) FreeIfMessage(m.wParam, m.lParam);
    DestroyWindow(CommQueueWindow);
    CommQueueWindow = nullptr;
    CommState = 0;
    ResetServices();
  }

  FakeGame game_;
  FakeNetwork network_;

  // Addresses handed on by the dispatcher belong to the receiver: here, the test.
  void FreeIfMessage(uintptr_t a, intptr_t b) {
    for (uint8_t* m : handed_)
      if (reinterpret_cast<uintptr_t>(m) == a || reinterpret_cast<intptr_t>(m) == b) CommMessageFree(m);
    handed_.clear();
  }
  std::vector<MSG> Posts() {
    std::vector<MSG> out;
    for (MSG m; PeekMessageA(&m, CommQueueWindow, WM_GOLF, WM_GOLF, PM_REMOVE);) out.push_back(m);
    return out;
  }
  std::vector<MSG> Queued() {
    std::vector<MSG> out;
    for (MSG m; GuardedQueuePop(CommQueue, &m);) out.push_back(m);
    return out;
  }
  GuardedQueue queue_{};
  std::vector<uint8_t*> handed_;
};

struct Row {
  int32_t state;
  uint32_t sender, code, a, b;
  bool posted;                     // a golf message posted, else a comm-queue entry (or nothing)
  uintptr_t first, second, third;  // posted: id, argument; queued: the entry
};

TEST_F(CommTest, DeliveryTable) {
  const Row rows[] = {
      {6, 0, 3, 1, 2, false, 0x1404, 2, 0},
      {6, 0, 0x31, 0, 0, true, 0x701, 0, 0},
      {3, 0, 0x31, 0, 0, false, 0x701, 0, 0},
      {6, 0, 0x140B, 1, 9, false, 0x140B, 9, 0},
      {6, 0, 0x140C, 7, 9, true, 0x702, 7, 0},
      {2, 0, 0x140C, 7, 9, false, 0x702, 7, 0},
      {5, 0, 0x140D, 7, 9, false, 0x140D, 0, 0},
      {6, 4, 0x703, 0, 0, true, 0x703, kTheMessage, 0},
      {4, 4, 0x70F, 0, 0, false, 0x70F, kTheMessage, 0},
      {3, 4, 0x704, 0, 0, false, 0x704, kTheMessage, 0},
      {6, 4, 0x705, 1, 1, true, 0x705, 0, 0},
      {3, 4, 0x707, 1, 1, true, 0x707, 0, 0},
      {6, 4, 0x708, 1, 1, true, 0x708, 4, 0},
      {6, 4, 0x709, 1, 1, true, 0x702, 0, 0},
      {2, 9, 0x730, 1, 1, true, 0x730, 9, 0},
      {6, 9, 0x722, 1, 1, true, 0x722, kTheMessage, 0},
      {3, 9, 0x71A, 1, 1, false, 0x71A, 9, 0},
      {3, 9, 0x71B, 1, 1, false, 0x71B, kTheMessage, 0},
      {6, 9, 0x729, 31, 1, true, 0x729, 31, 0},
      {6, 9, 0x72A, 2, 1, true, 0x72A, 2, 0},
      {6, 9, 0x715, 1, 1, true, 0x715, 9, 0},
      {3, 9, 0x140A, 1, 1, false, 0x140A, kTheMessage, 0},
      {3, 9, 0x1411, 12, 1, false, 0x1411, 12, 0},
      {3, 9, 0x1412, 1, 1, false, 0x1412, kTheMessage, 0},
      {3, 9, 0x1413, 1, 1, false, 0x1413, 0, 0},
      {3, 9, 0x1415, 1, 1, false, 0, 0x1415, 9},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "state " << r.state << " code 0x" << std::hex << r.code);
    CommState = r.state;
    uint8_t* m = Make(r.sender, r.code, r.a, r.b);
    handed_.push_back(m);
    DispatchCommMessage(20, m, 0);
    const uintptr_t self = reinterpret_cast<uintptr_t>(m);
    std::vector<MSG> posts = Posts();
    std::vector<MSG> queued = Queued();
    if (r.posted) {
      ASSERT_EQ(posts.size(), 1u);
      EXPECT_TRUE(queued.empty());
      EXPECT_EQ(posts[0].wParam, r.first);
      EXPECT_EQ(static_cast<uintptr_t>(posts[0].lParam), r.second == kTheMessage ? self : r.second);
    } else {
      EXPECT_TRUE(posts.empty());
      ASSERT_EQ(queued.size(), 1u);
      EXPECT_EQ(queued[0].wParam, r.first);
      EXPECT_EQ(static_cast<uintptr_t>(queued[0].lParam), r.second == kTheMessage ? self : r.second);
      EXPECT_EQ(queued[0].message, r.third);
    }
    // Only the rows that hand the message on leave it alive; the sanitizer reports any other leak.
    if (r.second == kTheMessage) CommMessageFree(m);
    handed_.clear();
  }
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "");
}

// What the game's maker was asked for, and the arguments it made that are still alive.
struct Made {
  uint32_t id, sender;
  std::vector<uint8_t> body;
};
std::vector<Made> made;
std::vector<std::unique_ptr<uint32_t>> argumentsAlive;

intptr_t StubMake(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes) {
  made.push_back({id, sender, std::vector<uint8_t>(body, body + bytes)});
  argumentsAlive.push_back(std::make_unique<uint32_t>(id));
  return reinterpret_cast<intptr_t>(argumentsAlive.back().get());
}
void StubRelease(void* argument) {
  std::erase_if(argumentsAlive, [&](const std::unique_ptr<uint32_t>& a) { return a.get() == argument; });
}

TEST_F(CommTest, WithTheGamesMakerPeersGolfMessagesCarryItsArgumentAndTheMessageIsFreed) {
  made.clear();
  argumentsAlive.clear();
  game_.makes = true;
  CommState = 6;
  // The rows that hand over the message or the sender id; each message is freed here (the sanitizer checks).
  const uint32_t codes[] = {0x703, 0x70F, 0x716, 0x718, 0x722, 0x726, 0x705, 0x707, 0x708, 0x715, 0x729, 0x72A,
                            0x70A, 0x71C, 0x723, 0x70D, 0x711, 0x71D, 0x71E, 0x71F, 0x720, 0x724, 0x725, 0x72E, 0x730};
  for (uint32_t code : codes) DispatchCommMessage(24, Make(9, code, 0x1234, 0x5678, 24), 0);
  std::vector<MSG> posts = Posts();
  ASSERT_EQ(posts.size(), std::size(codes));
  ASSERT_EQ(made.size(), std::size(codes));
  for (size_t i = 0; i < posts.size(); ++i) {
    SCOPED_TRACE(testing::Message() << "code 0x" << std::hex << codes[i]);
    EXPECT_EQ(posts[i].wParam, codes[i]);
    EXPECT_EQ(posts[i].lParam, reinterpret_cast<intptr_t>(argumentsAlive[i].get()));
    EXPECT_EQ(made[i].sender, 9u);
    // The body after the code: argument A first.
    ASSERT_EQ(made[i].body.size(), 12u);
    EXPECT_EQ(made[i].body[0], 0x34);
    EXPECT_EQ(made[i].body[4], 0x78);
  }
  // Queue mode still hands the message itself to the network screens; other rows are untouched.
  CommState = 3;
  uint8_t* m = Make(9, 0x703);
  DispatchCommMessage(20, m, 0);
  std::vector<MSG> queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].lParam, reinterpret_cast<intptr_t>(m));
  CommMessageFree(m);
  CommState = 6;
  // A hole that failed to load on the peer: the game makes the sender's leaving of it.
  DispatchCommMessage(20, Make(9, 0x709, 31), 0);
  posts = Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].wParam, 0x702u);
  ASSERT_EQ(made.size(), std::size(codes) + 1);
  EXPECT_EQ(made.back().id, 0x702u);
  EXPECT_EQ(made.back().sender, 9u);
  // An argument the game refuses is not posted.
  game_.refuses = true;
  DispatchCommMessage(20, Make(9, 0x716, 0x70a), 0);
  EXPECT_TRUE(Posts().empty());
  EXPECT_NE(winapi::testing::TakeDebugOutput().find("Golf message refused: 1814"), std::string::npos);
  game_.refuses = false;
  // An argument that cannot be posted is given back.
  argumentsAlive.clear();
  DestroyWindow(CommQueueWindow);
  DispatchCommMessage(20, Make(9, 0x716, 0x70a), 0);
  EXPECT_EQ(made.size(), std::size(codes) + 2);
  EXPECT_TRUE(argumentsAlive.empty());
}

// Messages that no state takes from another machine: the set-up exchange during a round, and the golf messages
// of this machine alone (ending the round, moving the turn, passing blocks on). Each is dropped, noted and freed.
TEST_F(CommTest, MessagesThatTheStateDoesNotTakeAreDropped) {
  const struct {
    int32_t state;
    uint32_t code;
  } rows[] = {{6, 0x704},  {6, 0x71A}, {6, 0x71B}, {6, 0x140A}, {6, 0x1411}, {6, 0x1412}, {6, 0x1413}, {6, 0x1414},
              {6, 0x701},  {6, 0x702}, {6, 0x70E}, {3, 0x712},  {6, 0x713},  {6, 0x714},  {6, 0x717},  {6, 0x72B},
              {6, 0x72C}, {6, 0x721}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "state " << r.state << " code 0x" << std::hex << r.code);
    CommState = r.state;
    DispatchCommMessage(20, Make(9, r.code, 1, 2), 0);
    EXPECT_TRUE(Posts().empty());
    EXPECT_TRUE(Queued().empty());
    EXPECT_NE(winapi::testing::TakeDebugOutput(), "");
  }
  // A poll is answered to its sender at once and goes no further.
  CommState = 6;
  DispatchCommMessage(20, Make(9, 0x72D), 0);
  EXPECT_TRUE(Posts().empty());
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].receiver, 9u);
  EXPECT_EQ(sent[0].code, 0x72Eu);
}

TEST_F(CommTest, DroppedAnsweredAndUnexpected) {
  CommState = 6;
  for (uint32_t code : {5u, 7u, 0x21u}) DispatchCommMessage(20, Make(0, code), 0);
  EXPECT_TRUE(Posts().empty());
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "");

  DispatchCommMessage(20, Make(0, 0x999), 0);
  EXPECT_NE(winapi::testing::TakeDebugOutput().find("Unexpected system message: 2457"), std::string::npos);
  EXPECT_TRUE(Posts().empty());

  DispatchCommMessage(20, Make(12, 0x999), 0);
  EXPECT_NE(winapi::testing::TakeDebugOutput().find("Unexpected user message: 2457"), std::string::npos);
  EXPECT_TRUE(Posts().empty());

  DispatchCommMessage(20, Make(12, 0x1407), 0);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].receiver, 12u);
  EXPECT_EQ(sent[0].code, 0x1408u);

  DispatchCommMessage(20, Make(12, 0x719, 0xAB), 0);
  DispatchCommMessage(20, Make(12, 0x719, 0xCD), 0);
  ASSERT_EQ(voices.size(), 2u);
  EXPECT_EQ(voices[1][12], 0xCD);
  EXPECT_EQ(CommVoiceCount, 2);
}

TEST_F(CommTest, StateZeroDropsSilentlyAndOtherStatesComplain) {
  CommState = 0;
  DispatchCommMessage(20, Make(3, 0x705), 0);
  DispatchCommMessage(20, Make(0, 0x999), 0);
  EXPECT_EQ(winapi::testing::TakeDebugOutput(), "");
  EXPECT_TRUE(Posts().empty());
  for (int32_t state : {1, 7, -1}) {
    CommState = state;
    DispatchCommMessage(20, Make(3, 0x705), 0);
    EXPECT_EQ(winapi::testing::TakeDebugOutput(), "Unexpected communications message arrived.");
  }
  EXPECT_TRUE(Posts().empty());
}

TEST_F(CommTest, ShortMessagesAreNeverReadPastTheirEnd) {
  CommState = 6;
  // Too short for its code: dropped.
  DispatchCommMessage(9, Make(3, 0x705, 0, 0, 9), 0);
  EXPECT_TRUE(Posts().empty());
  EXPECT_NE(winapi::testing::TakeDebugOutput(), "");
  // Arguments beyond the end read as 0.
  DispatchCommMessage(12, Make(3, 0x729, 0, 0, 12), 0);
  DispatchCommMessage(12, Make(0, 3, 0, 0, 12), 0);
  std::vector<MSG> posts = Posts();
  ASSERT_EQ(posts.size(), 1u);
  EXPECT_EQ(posts[0].lParam, 0);
  std::vector<MSG> queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].lParam, 0);
  DispatchCommMessage(0, nullptr, 0);
}

TEST_F(CommTest, PausedGameAnswersHandshakesAndKeepsOrder) {
  GuardedQueue deferred{};
  CommDeferredQueue = GuardedQueueCreate(&deferred);
  CommState = 6;
  gamePaused = true;
  uint8_t* first = Make(7, 0x717);
  uint8_t* second = Make(7, 0x72D);
  uint8_t* again = Make(7, 0x705);
  DispatchCommMessage(20, first, 0);
  DispatchCommMessage(20, second, 0);
  DispatchCommMessage(20, again, 1);  // redelivered: back to the front
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].receiver, 7u);
  EXPECT_EQ(sent[0].code, 0x716u);
  EXPECT_EQ(sent[0].second, 0x72Fu);
  EXPECT_EQ(sent[1].code, 0x72Eu);
  EXPECT_TRUE(Posts().empty());
  MSG m{};
  const uint8_t* order[] = {again, first, second};
  for (const uint8_t* expected : order) {
    ASSERT_EQ(GuardedQueuePop(CommDeferredQueue, &m), 1);
    EXPECT_EQ(m.message, WM_COMM_MESSAGE);
    EXPECT_EQ(m.wParam, 20u);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(m.lParam), expected);
    CommMessageFree(reinterpret_cast<uint8_t*>(m.lParam));
  }
  EXPECT_EQ(GuardedQueuePop(CommDeferredQueue, &m), 0);
  GuardedQueueDestroy(CommDeferredQueue);
  CommDeferredQueue = nullptr;
}

TEST(GuardedQueue, PushFrontOnEmptyIsHeadAndTail) {
  GuardedQueue q{};
  GuardedQueueCreate(&q);
  ASSERT_TRUE(GuardedQueuePushFront(&q, 1, 2, 3));
  EXPECT_EQ(q.head, q.tail);
  GuardedQueuePush(&q, 4, 5, 6);
  GuardedQueuePushFront(&q, 7, 8, 9);
  MSG m{};
  const uintptr_t expected[][3] = {{7, 8, 9}, {1, 2, 3}, {4, 5, 6}};
  for (const auto& e : expected) {
    ASSERT_EQ(GuardedQueuePop(&q, &m), 1);
    EXPECT_EQ(m.wParam, e[0]);
    EXPECT_EQ(static_cast<uintptr_t>(m.lParam), e[1]);
    EXPECT_EQ(m.message, e[2]);
  }
  EXPECT_EQ(q.head, nullptr);
  EXPECT_EQ(q.tail, nullptr);
  GuardedQueuePush(&q, 1, 1, 1);
  GuardedQueuePush(&q, 2, 2, 2);
  GuardedQueueClear(&q);
  EXPECT_EQ(GuardedQueuePop(&q, &m), 0);
  GuardedQueueDestroy(&q);
}

TEST(GuardedQueue, ManyThreadsLoseNothingAndKeepEachProducersOrder) {
  GuardedQueue q{};
  GuardedQueueCreate(&q);
  constexpr int kProducers = 4, kEach = 2000;
  std::atomic<int> taken{0};
  std::vector<std::vector<uintptr_t>> seen(2);
  std::vector<std::thread> threads;
  for (int p = 0; p < kProducers; ++p)
    threads.emplace_back([&, p] {
      for (int i = 0; i < kEach; ++i) {
        if (i % 3 == 0)
          GuardedQueuePush(&q, static_cast<uintptr_t>(p), static_cast<uintptr_t>(i), 1);
        else
          GuardedQueuePush(&q, static_cast<uintptr_t>(p), static_cast<uintptr_t>(i), 2);
      }
    });
  for (int c = 0; c < 2; ++c)
    threads.emplace_back([&, c] {
      MSG m{};
      while (taken.load() < kProducers * kEach) {
        if (GuardedQueuePop(&q, &m)) {
          seen[c].push_back(m.wParam * 100000 + static_cast<uintptr_t>(m.lParam));
          ++taken;
        } else {
          std::this_thread::yield();
        }
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(taken.load(), kProducers * kEach);
  // Each consumer sees each producer's entries in the order they were pushed.
  std::vector<int> all(kProducers * kEach, 0);
  for (const auto& list : seen) {
    std::vector<intptr_t> last(kProducers, -1);
    for (uintptr_t v : list) {
      const int p = static_cast<int>(v / 100000), i = static_cast<int>(v % 100000);
      EXPECT_GT(i, last[p]);
      last[p] = i;
      ++all[p * kEach + i];
    }
  }
  for (int n : all) EXPECT_EQ(n, 1);
  EXPECT_EQ(GuardedQueueCount(&q), 0);
  GuardedQueueDestroy(&q);
}

TEST_F(CommTest, PumpDefersWhilePausedAndDeliversInOrderOnResume) {
  CommState = 6;
  gamePaused = true;
  CommStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, CommMessagePumpThread, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  while (!CommThreadRunning || !CommDeferredQueue) Sleep(1);
  const DWORD id = CommThreadId;
  for (uint32_t i = 0; i < 5; ++i) {
    uint8_t* m = Make(40 + i, 0x708);
    ASSERT_TRUE(PostThreadMessageA(id, WM_COMM_MESSAGE, 20, reinterpret_cast<LPARAM>(m)));
  }
  while (GuardedQueueCount(CommDeferredQueue) < 5) Sleep(1);
  EXPECT_TRUE(Posts().empty());
  gamePaused = false;
  std::vector<MSG> posts;
  while (posts.size() < 5) {
    for (MSG m : Posts()) posts.push_back(m);
    Sleep(1);
  }
  for (uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(posts[i].wParam, 0x708u);
    EXPECT_EQ(posts[i].lParam, static_cast<LPARAM>(40 + i));
  }
  SetEvent(CommStopEvent);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(CommStopEvent);
  CommStopEvent = nullptr;
  EXPECT_EQ(CommThreadRunning, 0);
  EXPECT_EQ(CommDeferredQueue, nullptr);
}

TEST_F(CommTest, PumpPutsRedeliveredMessagesFirst) {
  CommState = 6;
  gamePaused = true;
  CommStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, CommMessagePumpThread, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  while (!CommThreadRunning || !CommDeferredQueue) Sleep(1);
  const DWORD id = CommThreadId;
  const UINT kinds[] = {WM_COMM_MESSAGE, WM_COMM_MESSAGE, WM_COMM_REDELIVER};
  for (uint32_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(PostThreadMessageA(id, kinds[i], 20, reinterpret_cast<LPARAM>(Make(60 + i, 0x708))));
    while (GuardedQueueCount(CommDeferredQueue) < static_cast<int>(i + 1)) Sleep(1);
  }
  gamePaused = false;
  std::vector<MSG> posts;
  while (posts.size() < 3) {
    for (MSG m : Posts()) posts.push_back(m);
    Sleep(1);
  }
  EXPECT_EQ(posts[0].lParam, 62);
  EXPECT_EQ(posts[1].lParam, 60);
  EXPECT_EQ(posts[2].lParam, 61);
  SetEvent(CommStopEvent);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(CommStopEvent);
  CommStopEvent = nullptr;
}

TEST_F(CommTest, PumpFreesWhatIsStillDeferredWhenItStops) {
  CommState = 6;
  gamePaused = true;
  CommStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, CommMessagePumpThread, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  while (!CommThreadRunning || !CommDeferredQueue) Sleep(1);
  ASSERT_TRUE(PostThreadMessageA(CommThreadId, WM_COMM_MESSAGE, 20, reinterpret_cast<LPARAM>(Make(5, 0x705))));
  while (GuardedQueueCount(CommDeferredQueue) < 1) Sleep(1);
  SetEvent(CommStopEvent);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(CommStopEvent);
  CommStopEvent = nullptr;
  EXPECT_EQ(CommDeferredQueue, nullptr);
  EXPECT_TRUE(Posts().empty());  // the sanitizer's leak check shows the message was freed
}

}  // namespace
