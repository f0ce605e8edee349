#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "fixture.h"
#include "platformlib/core/queue.h"

using platformtest::CatchAbort;

namespace {

struct Item {
  Item* next;
  uint32_t key;
  int tag;
};

QueueKey itemkey(const void* node, uintptr_t) { return static_cast<const Item*>(node)->key; }

class QueueTest : public platformtest::PlatformTest {
 protected:
  void SetUp() override {
    platformtest::PlatformTest::SetUp();
    ASSERT_EQ(qinit(&queue_, itemkey, 0), 1);
  }
  void TearDown() override {
    qfree(&queue_);
    platformtest::PlatformTest::TearDown();
  }
  std::vector<int> Tags() {
    std::vector<int> tags;
    for (int i = 0; i < qlength(&queue_); ++i) tags.push_back(static_cast<Item*>(qfindindex(&queue_, i))->tag);
    return tags;
  }
  QueueHead queue_{};
};

TEST_F(QueueTest, InsertKeepsKeyOrderNewestFirstAmongEquals) {
  Item a{nullptr, 5, 1}, b{nullptr, 3, 2}, c{nullptr, 5, 3};
  qinsert(&queue_, &a);
  qinsert(&queue_, &b);
  qinsert(&queue_, &c);
  EXPECT_EQ(Tags(), (std::vector<int>{2, 3, 1}));
  EXPECT_EQ(qlowpriority(&queue_), 3u);
  EXPECT_EQ(qposition(&queue_, &a), 2);
  EXPECT_EQ(qfindpriority(&queue_, 5), &c);
  EXPECT_EQ(qfindpriority(&queue_, 4), nullptr);
  EXPECT_EQ(qfetchpriority(&queue_, 3), &b);
  EXPECT_EQ(b.next, nullptr);
  EXPECT_EQ(qlength(&queue_), 2);
}

TEST_F(QueueTest, PushBottomPopAndPopLast) {
  Item a{nullptr, 0, 1}, b{nullptr, 0, 2}, c{nullptr, 0, 3};
  EXPECT_EQ(qpop(&queue_), nullptr);
  EXPECT_EQ(qpoplast(&queue_), nullptr);
  EXPECT_EQ(qlength(&queue_), 0);
  EXPECT_EQ(qlowpriority(&queue_), QUEUE_NOKEY);
  qbottom(&queue_, &b);
  qpush(&queue_, &a);
  qbottom(&queue_, &c);
  EXPECT_EQ(Tags(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(qpoplast(&queue_), &c);
  EXPECT_EQ(qpop(&queue_), &a);
  EXPECT_EQ(qpop(&queue_), &b);
  EXPECT_EQ(qpop(&queue_), nullptr);
  EXPECT_EQ(qlength(&queue_), 0);
  qbottom(&queue_, &a);  // the last pointer was reset with the queue emptied
  EXPECT_EQ(qpoplast(&queue_), &a);
}

TEST_F(QueueTest, RemoveAndFetch) {
  Item a{nullptr, 0, 1}, b{nullptr, 0, 2}, c{nullptr, 0, 3}, stranger{nullptr, 0, 9};
  qbottom(&queue_, &a);
  qbottom(&queue_, &b);
  qbottom(&queue_, &c);
  EXPECT_EQ(qremove(&queue_, &stranger), 0);
  EXPECT_EQ(Tags(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(qposition(&queue_, &stranger), -1);
  EXPECT_EQ(qposition(&queue_, nullptr), -1);
  auto istwo = [](void* node, uintptr_t key) { return static_cast<Item*>(node)->tag == static_cast<int>(key) ? 1 : 0; };
  EXPECT_EQ(qfind(&queue_, istwo, 2), &b);
  EXPECT_EQ(qfind(&queue_, nullptr, 2), nullptr);
  EXPECT_EQ(qfetchnext(&queue_, &a, 2), &c);
  EXPECT_EQ(qfetch(&queue_, istwo, 2), &b);
  EXPECT_EQ(qfetchindex(&queue_, 5), nullptr);
  EXPECT_EQ(qfetchindex(&queue_, 0), &a);
  EXPECT_EQ(qlength(&queue_), 0);
  EXPECT_EQ(qremove(&queue_, &a), 0);
}

int countall(void* node, void* context) {
  static_cast<std::vector<int>*>(context)->push_back(static_cast<Item*>(node)->tag);
  return 1;
}
int stopattwo(void* node, void* context) {
  static_cast<std::vector<int>*>(context)->push_back(static_cast<Item*>(node)->tag);
  return static_cast<Item*>(node)->tag == 2 ? 0 : 1;
}

TEST_F(QueueTest, IterateReportsWhetherTheWalkWasStopped) {
  Item a{nullptr, 0, 1}, b{nullptr, 0, 2}, c{nullptr, 0, 3};
  qbottom(&queue_, &a);
  qbottom(&queue_, &b);
  qbottom(&queue_, &c);
  for (auto iterate : {qiterate, qsafeiterate}) {
    std::vector<int> seen;
    EXPECT_EQ(iterate(&queue_, countall, &seen), -1);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    seen.clear();
    EXPECT_EQ(iterate(&queue_, stopattwo, &seen), 2);
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
  }
}

QueueHead* iteratedqueue = nullptr;
int removeself(void* node, void* context) {
  ++*static_cast<int*>(context);
  qremove(iteratedqueue, node);
  return 1;
}

TEST_F(QueueTest, ChangeDuringIterationEndsTheWalk) {
  Item a{nullptr, 0, 1}, b{nullptr, 0, 2}, c{nullptr, 0, 3};
  qbottom(&queue_, &a);
  qbottom(&queue_, &b);
  qbottom(&queue_, &c);
  iteratedqueue = &queue_;
  int calls = 0;
  EXPECT_EQ(qiterate(&queue_, removeself, &calls), 1);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(qlength(&queue_), 2);
}

TEST_F(QueueTest, IterateWhileOtherThreadsChangeTheQueue) {
  std::vector<Item> items(64);
  for (int i = 0; i < 64; ++i) {
    items[i].tag = i;
    qbottom(&queue_, &items[i]);
  }
  std::atomic<bool> stop{false};
  std::thread changer([&] {
    while (!stop) {
      if (void* node = qpop(&queue_)) qbottom(&queue_, node);
    }
  });
  for (int round = 0; round < 2000; ++round) {
    std::vector<int> seen;
    int result = qiterate(&queue_, countall, &seen);
    ASSERT_TRUE(result == -1 || result == static_cast<int>(seen.size()));
  }
  stop = true;
  changer.join();
  EXPECT_EQ(qlength(&queue_), 64);
}

TEST_F(QueueTest, FetchOfANodeOutsideTheQueueIsReported) {
  Item a{nullptr, 0, 1}, outside{nullptr, 0, 8}, beyond{nullptr, 0, 9};
  qbottom(&queue_, &a);
  outside.next = &beyond;
  auto abort = CatchAbort([&] { qfetchnext(&queue_, &outside, 1); });
  EXPECT_TRUE(abort.ended);
  EXPECT_EQ(abort.text.rfind("qfetchnext - FOUND ELEMENT THAT COULD NOT BE REMOVED!", 0), 0u) << abort.text;
  abortonerror = 0;
  EXPECT_EQ(qfetchnext(&queue_, &outside, 1), nullptr);
  EXPECT_EQ(qlength(&queue_), 1);
}

TEST_F(QueueTest, PeerQueuesShareOneSection) {
  QueueHead peer{};
  ASSERT_EQ(qinitpeer(&peer, nullptr, 0, &queue_), 1);
  EXPECT_EQ(peer.section, queue_.section);
  Item x{nullptr, 0, 1};
  qpush(&peer, &x);
  EXPECT_EQ(qlength(&peer), 1);
  qfree(&peer);  // does not free the shared section
  EXPECT_EQ(peer.section, nullptr);
  qpush(&queue_, &x);
  EXPECT_EQ(qpop(&queue_), &x);
}

TEST_F(QueueTest, UninitialisedQueueAborts) {
  QueueHead bare{};
  Item x{nullptr, 0, 1};
  auto abort = CatchAbort([&] { qpush(&bare, &x); });
  EXPECT_TRUE(abort.ended);
  EXPECT_EQ(abort.text.rfind("qpush - UNINITIALIZED QUEUE ", 0), 0u) << abort.text;
  EXPECT_NE(abort.text.find(" USED.\n"), std::string::npos);
  abortonerror = 0;
  EXPECT_EQ(qpop(&bare), nullptr);
}

TEST_F(QueueTest, DefaultKeyIsTheAddress) {
  QueueHead byaddress{};
  ASSERT_EQ(qinit(&byaddress, nullptr, 0), 1);
  Item items[3] = {};
  qinsert(&byaddress, &items[2]);
  qinsert(&byaddress, &items[0]);
  qinsert(&byaddress, &items[1]);
  EXPECT_EQ(qpop(&byaddress), &items[0]);
  EXPECT_EQ(qpop(&byaddress), &items[1]);
  EXPECT_EQ(qpop(&byaddress), &items[2]);
  qfree(&byaddress);
}

TEST_F(QueueTest, PagesRoundUpToThePageSize) {
  size_t size = 100;
  void* pages = allocpages(&size);
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(size, systempagesize());
  static_cast<char*>(pages)[size - 1] = 1;
  freepages(pages);
  size = systempagesize() + 1;
  pages = allocpages(&size);
  EXPECT_EQ(size, 2 * systempagesize());
  freepages(pages);
}

}  // namespace
