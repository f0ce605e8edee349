// The asynchronous file system: priority order, atomic sections, cancelling, the pool limit, big files.
#include "platformlib/files/filesys.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "datapack/datapack.h"
#include "files_fixture.h"

namespace {

std::mutex gOrderLock;
std::vector<uint32_t> gOrder;
std::vector<int> gStatuses;

void Record(uint32_t id, int status, uint32_t) {
  std::lock_guard<std::mutex> guard(gOrderLock);
  gOrder.push_back(id);
  gStatuses.push_back(status);
}

class FileSysTest : public LibraryFilesTest {
 protected:
  void SetUp() override {
    LibraryFilesTest::SetUp();
    ASSERT_EQ(FILE_init(0, 0), 1);
    gOrder.clear();
    gStatuses.clear();
  }
  void TearDown() override {
    FILE_exit();
    LibraryFilesTest::TearDown();
  }
  int Finish(uint32_t id) {
    int state = FILE_waitop(id);
    FILE_completeop(id);
    return state;
  }
};

constexpr int kDeviceC = 3;

struct Queued {
  std::vector<uint32_t> ids;
};

int QueueThree(int, void* argument) {
  auto* q = static_cast<Queued*>(argument);
  for (int priority : {10, 10, 5}) {
    uint32_t id = FILE_nop(kDeviceC, priority, 0);
    FILE_callbackop(id, Record);
    q->ids.push_back(id);
  }
  return 1;
}

TEST_F(FileSysTest, LowerPrioritiesRunFirstAndEqualOnesInQueueOrder) {
  Queued q;
  // Holding the device at level 0 keeps the worker from starting any of them while they are queued.
  ASSERT_EQ(FILE_atomic(QueueThree, kDeviceC, 0, &q), 1);
  for (uint32_t id : q.ids) EXPECT_EQ(Finish(id), FILEOP_DONE);
  EXPECT_EQ(gOrder, (std::vector<uint32_t>{q.ids[2], q.ids[0], q.ids[1]}));
  EXPECT_EQ(q.ids[0] & 31, static_cast<uint32_t>(kDeviceC));
}

struct AtomicCheck {
  uint32_t high = 0, equal = 0;
  int highState = 99, equalState = 99;
};

int AtLevel20(int level, void* argument) {
  auto* c = static_cast<AtomicCheck*>(argument);
  EXPECT_EQ(level, 20);
  c->high = FILE_nop(kDeviceC, 30, 0);
  c->equal = FILE_nop(kDeviceC, 20, 0);
  c->equalState = FILE_waitop(c->equal);
  c->highState = FILE_opstate(c->high);
  return 7;
}

TEST_F(FileSysTest, AtomicSectionHoldsBackHigherPriorities) {
  AtomicCheck c;
  EXPECT_EQ(FILE_atomic(AtLevel20, kDeviceC, 20, &c), 7);
  EXPECT_EQ(c.equalState, FILEOP_DONE);
  EXPECT_EQ(c.highState, FILEOP_WAITING);
  EXPECT_EQ(Finish(c.high), FILEOP_DONE);
  FILE_completeop(c.equal);
  // An atomic section may not be entered above the level in force.
  EXPECT_EQ(FILE_atomic([](int, void*) { return FILE_atomic([](int, void*) { return 5; }, kDeviceC, 40, nullptr); },
                        kDeviceC, 20, nullptr),
            0);
  EXPECT_NE(gAbortText.find("CALLED AT PRIORITY (40) LOWER THAN CURRENT DEVICE PRIORITY (20)"), std::string::npos);
}

struct CancelCheck {
  FileHandle handle;
  char* buffer;
  uint32_t id;
};

int QueueAndCancel(int, void* argument) {
  auto* c = static_cast<CancelCheck*>(argument);
  c->id = FILE_read(c->handle, 0, c->buffer, 5, 10, 42);
  FILE_callbackop(c->id, Record);
  FILE_cancelop(c->id);
  EXPECT_EQ(FILE_opstate(c->id), FILEOP_CANCELLEDSTATE);
  return 1;
}

TEST_F(FileSysTest, CancelledPendingReadIsNeverCarriedOut) {
  HostFile("c/data.bin", "hello world");
  FileHandle h = 0;
  ASSERT_EQ(openfile("C:\\data.bin", OPENF_READ, 0, &h), 1);
  char buffer[8] = "-------";
  CancelCheck c{h, buffer, 0};
  FILE_atomic(QueueAndCancel, kDeviceC, 0, &c);
  EXPECT_EQ(FILE_waitop(c.id), FILEOP_CANCELLEDSTATE);
  EXPECT_EQ(FILE_opuserdata(c.id), 42u);
  FILE_completeop(c.id);
  EXPECT_STREQ(buffer, "-------");
  ASSERT_EQ(gStatuses.size(), 1u);
  EXPECT_EQ(gStatuses[0], FILEOP_CANCELLEDSTATE);
  EXPECT_EQ(FILE_opstate(c.id), FILEOP_UNKNOWN);
  closefile(h);
}

TEST_F(FileSysTest, ReadWriteSizeExistsDeleteEndToEnd) {
  uint32_t open = FILE_open("C:\\out.bin", FILEOPEN_CREATE | FILEOPEN_TRUNCATE, 10, 1);
  ASSERT_EQ(FILE_waitop(open), FILEOP_DONE);
  FileHandle h = FILE_ophandle(open);
  EXPECT_EQ(FILE_opdevice(open), kDeviceC);
  FILE_completeop(open);
  ASSERT_LT(h, 0);
  uint32_t write = FILE_write(h, 0, "0123456789", 10, 10, 0);
  ASSERT_EQ(FILE_waitop(write), FILEOP_DONE);
  EXPECT_EQ(FILE_opcount(write), 10u);
  FILE_completeop(write);
  char buffer[16] = {};
  uint32_t read = FILE_read(h, 6, buffer, 16, 10, 0);
  ASSERT_EQ(FILE_waitop(read), FILEOP_DONE);
  EXPECT_EQ(FILE_opcount(read), 4u);
  EXPECT_STREQ(buffer, "6789");
  FILE_completeop(read);
  uint32_t size = FILE_size(h, 10, 0);
  ASSERT_EQ(FILE_waitop(size), FILEOP_DONE);
  EXPECT_EQ(FILE_opparam(size), 10u);
  FILE_completeop(size);
  EXPECT_EQ(Finish(FILE_close(h, 10, 0)), FILEOP_DONE);
  EXPECT_EQ(isfilehandle(h), 0);
  uint32_t exists = FILE_exists("c:\\OUT.BIN", 10, 0);
  ASSERT_EQ(FILE_waitop(exists), FILEOP_DONE);
  EXPECT_EQ(FILE_opparam(exists), 1u);
  FILE_completeop(exists);
  EXPECT_EQ(Finish(FILE_delete("C:\\out.bin", 10, 0)), FILEOP_DONE);
  uint32_t again = FILE_delete("C:\\out.bin", 10, 0);
  EXPECT_EQ(FILE_waitop(again), FILEOP_FAILED);
  EXPECT_EQ(FILE_operror(again), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  FILE_completeop(again);
  // A read through a handle that is not open fails instead of reading.
  uint32_t bad = FILE_read(~40, 0, buffer, 4, 10, 0);
  EXPECT_EQ(Finish(bad), FILEOP_FAILED);
}

TEST_F(FileSysTest, The65thOperationFails) {
  std::vector<uint32_t> ids;
  int held = FILE_atomic(
      [](int, void* argument) {
        auto* out = static_cast<std::vector<uint32_t>*>(argument);
        for (int i = 0; i < 65; ++i) out->push_back(FILE_nop(kDeviceC, 10, 0));
        return 1;
      },
      kDeviceC, 0, &ids);
  ASSERT_EQ(held, 1);
  ASSERT_EQ(ids.size(), 65u);
  for (int i = 0; i < 64; ++i) EXPECT_NE(ids[i], 0u);
  EXPECT_EQ(ids[64], 0u);
  EXPECT_NE(gAbortText.find("FILE_allocateop - NO FREE OPS LEFT TO ALLOCATE."), std::string::npos);
  for (int i = 0; i < 64; ++i) Finish(ids[i]);
  EXPECT_NE(FILE_nop(kDeviceC, 10, 0), 0u);  // completing gives operations back
}

TEST_F(FileSysTest, MisuseAborts) {
  EXPECT_EQ(FILE_allocateop(FILEOP_NOP, 256, 0, 3), nullptr);
  EXPECT_NE(gAbortText.find("INVALID PRIORITY (256), MUST BE [0..255]."), std::string::npos);
  EXPECT_EQ(FILE_allocateop(FILEOP_NOP, 1, 0, 32), nullptr);
  EXPECT_NE(gAbortText.find("INVALID DEVICE (32), MUST BE [0..31]."), std::string::npos);
  FILE_completeop(12345);
  EXPECT_NE(gAbortText.find("OPERATION NOT FOUND IN COMPLETED LIST."), std::string::npos);
  FILE_callbackop(12345, Record);
  EXPECT_NE(gAbortText.find("FILE_callbackop - UNKNOWN FILEOP."), std::string::npos);
  EXPECT_EQ(FILE_waitop(0), FILEOP_UNKNOWN);
  EXPECT_EQ(FILE_opstate(0x7FFFFFE3), FILEOP_UNKNOWN);
  EXPECT_EQ(FILE_atomic([](int, void*) { return 1; }, 40, 0, nullptr), 0);
  EXPECT_NE(gAbortText.find("FILE_atomic - CALLED WITH ILLEGAL FILE DEVICE (40)."), std::string::npos);
  // A delete may not be cancelled; it is flagged all the same once the abort returns.
  HostFile("c/victim.txt", "x");
  uint32_t id = 0;
  FILE_atomic(
      [](int, void* argument) {
        auto* out = static_cast<uint32_t*>(argument);
        *out = FILE_delete("C:\\victim.txt", 10, 0);
        FILE_cancelop(*out);
        return 1;
      },
      kDeviceC, 0, &id);
  EXPECT_NE(gAbortText.find("FILE_cancel - MAY NOT CANCEL DELETE OPERATION."), std::string::npos);
  EXPECT_EQ(FILE_waitop(id), FILEOP_CANCELLEDSTATE);
  FILE_completeop(id);
  EXPECT_TRUE(HostExists("c/victim.txt"));
}

TEST(FileSysUninitialisedTest, CallsBeforeInitAbort) {
  gAbortText.clear();
  abortfilterhook = [](const char* text) {
    gAbortText += text;
    return 0;
  };
  EXPECT_EQ(FILE_allocateop(FILEOP_NOP, 1, 0, 3), nullptr);
  EXPECT_NE(gAbortText.find("FILE_allocateop - FILE SYSTEM NOT INITIALIZED, CALL FILE_init()."), std::string::npos);
  EXPECT_EQ(FILE_atomic([](int, void*) { return 1; }, 3, 0, nullptr), 0);
  EXPECT_NE(gAbortText.find("FILE_atomic - FILE SYSTEM NOT INITIALIZED"), std::string::npos);
  abortfilterhook = nullptr;
}

TEST_F(FileSysTest, CallbackOnACompletedOperationRunsAtOnce) {
  uint32_t id = FILE_nop(kDeviceC, 1, 77);
  ASSERT_EQ(FILE_waitop(id), FILEOP_DONE);
  FILE_callbackop(id, Record);
  ASSERT_EQ(gOrder.size(), 1u);
  EXPECT_EQ(gOrder[0], id);
  EXPECT_EQ(gStatuses[0], FILEOP_DONE);
  FILE_completeop(id);
}

TEST_F(FileSysTest, OpenFallsBackToRegisteredBigFiles) {
  datapack::Bytes shape = {'S', 'H', 'P', 'E', 1, 2, 3};
  datapack::Bytes archive = datapack::writebigfile(2, {{"inside.shp", shape}, {"other.dat", {9}}});
  HostFile("c/data.big", std::string(archive.begin(), archive.end()));
  HostFile("c/notbig.big", "this is not an archive at all");
  uint32_t bad = FILE_addbig("C:\\notbig.big", 0, 10, 0);
  ASSERT_NE(bad, 0u);
  EXPECT_EQ(Finish(bad), FILEOP_FAILED);
  uint32_t add = FILE_addbig("C:\\DATA.BIG", 0, 10, 0);
  ASSERT_NE(add, 0u);
  EXPECT_EQ(Finish(add), FILEOP_DONE);

  uint32_t open = FILE_open("INSIDE.SHP", FILEOPEN_READONLY, 10, 0);
  ASSERT_EQ(FILE_waitop(open), FILEOP_DONE);
  FileHandle h = FILE_ophandle(open);
  FILE_completeop(open);
  int32_t size = 0;
  ASSERT_EQ(fileinfo(h, nullptr, nullptr, &size, nullptr), 1);
  EXPECT_EQ(size, 7);
  char buffer[8] = {};
  EXPECT_EQ(readfile(h, buffer, 8), 7u);
  EXPECT_EQ(memcmp(buffer, shape.data(), 7), 0);
  closefile(h);
  // Without the read-only flag the fallback is not taken.
  uint32_t rw = FILE_open("INSIDE.SHP", 0, 10, 0);
  EXPECT_EQ(Finish(rw), FILEOP_FAILED);

  BigFileRecord* record = FILE_findbig(-2);
  ASSERT_NE(record, nullptr);
  uint32_t remove = FILE_removebig(-2, 10, 0);
  ASSERT_NE(remove, 0u);
  EXPECT_EQ(Finish(remove), FILEOP_DONE);
  EXPECT_EQ(FILE_removebig(-2, 10, 0), 0u);
  EXPECT_EQ(Finish(FILE_open("INSIDE.SHP", FILEOPEN_READONLY, 10, 0)), FILEOP_FAILED);
}

}  // namespace
