// Chunked streams from memory and from disk: routing by filters, order, the end of a stream, waiting for room,
// cancelling, and damaged chunk files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platformlib/bigfile/bigfile.h"
#include "platformlib/files/filesys.h"
#include "platformlib/stream/stream.h"
#include "platformlib/files/files_fixture.h"

namespace {

struct Chunk {
  int32_t id;
  std::vector<uint8_t> data;
};

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> ChunkFile(const std::vector<Chunk>& chunks) {
  std::vector<uint8_t> out;
  for (const Chunk& c : chunks) {
    Put32(out, static_cast<uint32_t>(c.id));
    Put32(out, static_cast<uint32_t>(c.data.size() + 8));
    out.insert(out.end(), c.data.begin(), c.data.end());
  }
  return out;
}

std::vector<uint8_t> Payload(int32_t id, size_t size) {
  std::vector<uint8_t> d(size);
  for (size_t i = 0; i < size; ++i) d[i] = static_cast<uint8_t>(id * 31 + static_cast<int32_t>(i));
  return d;
}

constexpr int32_t kEnd = 0x7F7F;

class StreamTest : public LibraryFilesTest {
 protected:
  void SetUp() override {
    LibraryFilesTest::SetUp();
    ASSERT_EQ(FILE_init(0, 0), 1);
    abortonerror = 1;
  }
  void TearDown() override {
    if (stream_ && std::memcmp(stream_->stream->signature, "STRM", 4) == 0) STREAM_destroy(stream_);
    FILE_exit();
    LibraryFilesTest::TearDown();
  }
  STREAM_HANDLE Make(uint32_t buffer = 0x6000, int requests = 4, int filters = 4, int taps = 2) {
    memory_.assign(buffer + 0x4000, 0);
    // The record and tables take the first part of the block; the rest must be at least the buffer.
    uint32_t size = static_cast<uint32_t>(memory_.size());
    stream_ = STREAM_create(requests, filters, taps, memory_.data(), size);
    return stream_;
  }
  // Routes ids 0x1xx to tap 1, 0x2xx to tap 2, 0x3xx nowhere, everything else to tap 1.
  void StandardFilters() {
    ASSERT_EQ(STREAM_setfilter(stream_, 1, 0xFF00, 0x0100, 1), 1);
    ASSERT_EQ(STREAM_setfilter(stream_, 2, 0xFF00, 0x0200, 2), 1);
    ASSERT_EQ(STREAM_setfilter(stream_, 3, 0xFF00, 0x0300, kTapDiscard), 1);
    ASSERT_EQ(STREAM_setfilter(stream_, 4, 0, 0, 1), 1);
  }
  // Takes and releases everything that arrives at both taps until the stream has ended.
  std::vector<std::pair<int, Chunk>> Drain(int taps = 2) {
    std::vector<std::pair<int, Chunk>> got;
    for (int round = 0; round < 200000; ++round) {
      bool ended = true;
      for (int t = 1; t <= taps; ++t) {
        STREAM_HANDLE tap = STREAM_taphandle(stream_, t);
        while (ChunkHeader* c = STREAM_get(tap)) {
          // Odd-sized chunks leave later headers unaligned: read them bytewise.
          const auto* bytes = reinterpret_cast<const uint8_t*>(c);
          ChunkHeader h;
          std::memcpy(&h, bytes, sizeof h);
          got.push_back({t, Chunk{h.id, std::vector<uint8_t>(bytes + 8, bytes + h.size)}});
          STREAM_release(tap, c);
        }
        ended = ended && STREAM_isendofstream(tap);
      }
      if (ended) return got;
      Sleep(1);
    }
    ADD_FAILURE() << "the stream never ended";
    return got;
  }
  std::vector<uint8_t> memory_;
  STREAM_HANDLE stream_ = nullptr;
};

TEST_F(StreamTest, CreateRefusesBadShapes) {
  std::vector<uint8_t> memory(0x10000);
  struct Case {
    int requests, filters, taps;
    uint32_t size;
    const char* text;
  } cases[] = {
      {1, 1, 1, 0x10000, "STREAM_create - a minimum of two requests is required\n"},
      {257, 1, 1, 0x10000, "STREAM_create - too many requests\n"},
      {2, 0, 1, 0x10000, "STREAM_create - invalid number of filters\n"},
      {2, 17, 1, 0x10000, "STREAM_create - invalid number of filters\n"},
      {2, 2, 3, 0x10000, "STREAM_create - invalid number of taps\n"},
      {2, 2, 0, 0x10000, "STREAM_create - invalid number of taps\n"},
      {2, 1, 1, 20000, "STREAM_create - stream buffer too small\n"},
  };
  for (const Case& c : cases) {
    gAbortText.clear();
    EXPECT_EQ(STREAM_create(c.requests, c.filters, c.taps, memory.data(), c.size), nullptr);
    EXPECT_EQ(gAbortText, c.text);
  }
  STREAM_HANDLE ok = STREAM_create(2, 1, 1, memory.data(), 0x10000);
  ASSERT_NE(ok, nullptr);
  EXPECT_GE(STREAM_buffersize(ok), kStreamMinBuffer);
  EXPECT_EQ(STREAM_tapnum(ok), 1);
  STREAM_destroy(ok);
  gAbortText.clear();
  EXPECT_EQ(STREAM_state(ok), STREAM_IDLE);
  EXPECT_EQ(gAbortText, "STREAM_state - invalid stream handle\n");
}

TEST_F(StreamTest, FilterChecks) {
  ASSERT_NE(Make(), nullptr);
  struct Case {
    int filter;
    uint32_t mask, value;
    int tap;
    const char* text;
  } cases[] = {
      {0, 0, 0, 1, "STREAM_setfilter - invalid filter number\n"},
      {5, 0, 0, 1, "STREAM_setfilter - invalid filter number\n"},
      {4, 0xFF, 1, 1, "STREAM_setfilter - last filter must be null\n"},
      {1, 0xFF, 1, 3, "STREAM_setfilter - invalid tap number\n"},
      {1, 0xFF, 1, -3, "STREAM_setfilter - invalid tap number\n"},
  };
  for (const Case& c : cases) {
    gAbortText.clear();
    EXPECT_EQ(STREAM_setfilter(stream_, c.filter, c.mask, c.value, c.tap), 0);
    EXPECT_EQ(gAbortText, c.text);
  }
  gAbortText.clear();
  EXPECT_EQ(STREAM_taphandle(stream_, 3), nullptr);
  EXPECT_EQ(gAbortText, "STREAM_taphandle - invalid tap number\n");
  EXPECT_EQ(STREAM_tapnum(STREAM_taphandle(stream_, 2)), 2);
  // A stream that waits for room is not idle: filters stay as they are.
  std::vector<Chunk> many;
  for (int i = 0; i < 8; ++i) many.push_back({0x101, Payload(i, 9000)});
  many.push_back({kEnd, {}});
  const std::vector<uint8_t> big = ChunkFile(many);
  STREAM_queuemem(stream_, big.data(), static_cast<uint32_t>(big.size()), kEnd);
  ASSERT_NE(STREAM_state(stream_), STREAM_IDLE);
  gAbortText.clear();
  EXPECT_EQ(STREAM_setfilter(stream_, 1, 0, 0, 1), 0);
  EXPECT_EQ(gAbortText, "STREAM_setfilter - stream must be idle to set filter\n");
}

TEST_F(StreamTest, MemoryChunksReachTheirTapsInOrder) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  std::vector<Chunk> chunks;
  for (int i = 0; i < 12; ++i) {
    const int32_t id = (i % 3 + 1) * 0x100 + i;
    chunks.push_back({id, Payload(id, 100 + 37 * static_cast<size_t>(i))});
  }
  chunks.push_back({0x999, Payload(9, 5)});  // caught by the last filter
  chunks.push_back({kEnd, {}});
  const std::vector<uint8_t> file = ChunkFile(chunks);
  const uint32_t request = STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
  EXPECT_NE(request, 0u);
  EXPECT_GT(STREAM_gettable(STREAM_taphandle(stream_, 2)), 0u);
  const auto got = Drain();
  std::vector<Chunk> tap1, tap2;
  for (const auto& [tap, chunk] : got) (tap == 1 ? tap1 : tap2).push_back(chunk);
  std::vector<Chunk> want1, want2;
  for (const Chunk& c : chunks) {
    if ((c.id & 0xFF00) == 0x200) want2.push_back(c);
    else if ((c.id & 0xFF00) != 0x300) want1.push_back(c);
  }
  ASSERT_EQ(tap1.size(), want1.size());
  ASSERT_EQ(tap2.size(), want2.size());
  for (size_t i = 0; i < want1.size(); ++i) {
    EXPECT_EQ(tap1[i].id, want1[i].id);
    EXPECT_EQ(tap1[i].data, want1[i].data);
  }
  for (size_t i = 0; i < want2.size(); ++i) EXPECT_EQ(tap2[i].id, want2[i].id);
  EXPECT_EQ(STREAM_bufferusage(stream_), 0u);
  EXPECT_EQ(STREAM_state(stream_), STREAM_IDLE);
  EXPECT_TRUE(gAbortText.empty()) << gAbortText;
}

TEST_F(StreamTest, ABlockWithoutLengthIsWalkedOnlyWithinItsExtent) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  // Two chunks and no end chunk: the walk must stop at the block's end, not read on.
  std::vector<uint8_t> file = ChunkFile({{0x100, Payload(1, 40)}, {0x101, Payload(2, 40)}});
  gAbortText.clear();
  EXPECT_EQ(STREAM_queuemem(stream_, file.data(), 0, kEnd), 0u);
  EXPECT_EQ(gAbortText, "STREAM_queuemem - block has no length\n");
  registerbigfile(file.data(), file.size());
  EXPECT_NE(STREAM_queuemem(stream_, file.data(), 0, kEnd), 0u);
  unregisterbigfile(file.data());
  const auto got = Drain();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].second.id, 0x101);
}

TEST_F(StreamTest, LongStreamWrapsAndWaitsForRoom) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  std::vector<Chunk> chunks;
  for (int i = 0; i < 60; ++i) chunks.push_back({0x100 + i, Payload(i, 1000 + 97 * static_cast<size_t>(i % 23))});
  for (int i = 0; i < 10; ++i) chunks.insert(chunks.begin() + 5 * i, Chunk{0x300, Payload(i, 3000)});  // discarded
  chunks.push_back({kEnd, {}});
  const std::vector<uint8_t> file = ChunkFile(chunks);
  registerbigfile(file.data(), file.size());
  STREAM_queuemem(stream_, file.data(), 0, kEnd);  // length found by walking to the end chunk
  unregisterbigfile(file.data());
  // Nobody takes chunks yet: the buffer fills and the stream waits.
  EXPECT_EQ(STREAM_state(stream_), STREAM_WAITING);
  const uint32_t usage = STREAM_bufferusage(stream_);
  EXPECT_GT(usage, 0u);
  EXPECT_LE(usage, STREAM_buffersize(stream_));
  const auto got = Drain();
  std::vector<Chunk> want;
  for (const Chunk& c : chunks)
    if ((c.id & 0xFF00) != 0x300) want.push_back(c);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].first, 1);
    EXPECT_EQ(got[i].second.id, want[i].id);
    EXPECT_EQ(got[i].second.data, want[i].data) << i;
  }
}

TEST_F(StreamTest, ReleaseChecks) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  const std::vector<uint8_t> file = ChunkFile({{0x101, Payload(1, 10)}, {kEnd, {}}});
  STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
  ChunkHeader* c = STREAM_get(stream_);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->id, 0x101);
  EXPECT_EQ(c->size, 18u);  // the tap number is gone from the size once taken
  STREAM_release(stream_, c);
  EXPECT_TRUE(gAbortText.empty());
  STREAM_release(stream_, c);
  EXPECT_EQ(gAbortText, "STREAM_release - chunk has already been released\n");
  gAbortText.clear();
  ChunkHeader outside{};
  STREAM_release(stream_, &outside);
  EXPECT_EQ(gAbortText, "STREAM_release - chunk does not belong to specified stream\n");
}

TEST_F(StreamTest, DamagedChunkFilesStopTheRequest) {
  struct Case {
    uint32_t size;
  } cases[] = {{4}, {0}, {0x01000010}, {0x00F00000}};
  for (const Case& c : cases) {
    ASSERT_NE(Make(), nullptr);
    StandardFilters();
    std::vector<uint8_t> file = ChunkFile({{0x101, Payload(1, 10)}});
    Put32(file, 0x102);
    Put32(file, c.size);
    file.resize(file.size() + 64, 0xAB);
    std::vector<uint8_t> end = ChunkFile({{kEnd, {}}});
    file.insert(file.end(), end.begin(), end.end());
    gAbortText.clear();
    STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
    EXPECT_EQ(gAbortText, "STREAM - invalid chunk file (chunk too large)\n") << c.size;
    const auto got = Drain();
    ASSERT_EQ(got.size(), 1u);  // only the chunk before the damage
    EXPECT_EQ(got[0].second.id, 0x101);
    STREAM_destroy(stream_);
  }
}

TEST_F(StreamTest, AbortTapReportsAndDiscards) {
  ASSERT_NE(Make(), nullptr);
  ASSERT_EQ(STREAM_setfilter(stream_, 1, 0xFFFF, 0x0666, kTapAbort), 1);
  const std::vector<uint8_t> file = ChunkFile({{0x666, Payload(1, 10)}, {0x101, Payload(2, 10)}, {kEnd, {}}});
  STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
  EXPECT_EQ(gAbortText, "STREAM - chunk received at abort tap\n");
  const auto got = Drain(1);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].second.id, 0x101);
  EXPECT_EQ(got[1].second.id, kEnd);
}

TEST_F(StreamTest, CancelAndKill) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  std::vector<Chunk> chunks;
  for (int i = 0; i < 20; ++i) chunks.push_back({0x100 + i, Payload(i, 3000)});
  chunks.push_back({kEnd, {}});
  const std::vector<uint8_t> file = ChunkFile(chunks);
  const uint32_t first = STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
  const uint32_t second = STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
  const uint32_t third = STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
  EXPECT_EQ(STREAM_requeststate(stream_, first), STREAMREQ_ACTIVE);
  EXPECT_EQ(STREAM_requeststate(stream_, second), STREAMREQ_QUEUED);
  EXPECT_EQ(STREAM_taprequestid(stream_), first);
  STREAM_cancelrequest(stream_, second);
  EXPECT_EQ(STREAM_requeststate(stream_, second), STREAMREQ_FREE);
  // Cancelling the active request drops what it buffered; the third request follows.
  STREAM_cancelrequest(stream_, first);
  EXPECT_EQ(STREAM_requeststate(stream_, third), STREAMREQ_ACTIVE);
  ChunkHeader* c = STREAM_get(stream_);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->id, 0x100);
  EXPECT_EQ(STREAM_taprequestid(stream_), third);
  STREAM_release(stream_, c);
  STREAM_kill(stream_);
  EXPECT_EQ(STREAM_gettable(stream_), 0u);
  EXPECT_EQ(STREAM_bufferusage(stream_), 0u);
  EXPECT_EQ(STREAM_get(stream_), nullptr);
  EXPECT_EQ(STREAM_state(stream_), STREAM_IDLE);
  EXPECT_TRUE(STREAM_isendofstream(stream_));
  EXPECT_TRUE(gAbortText.empty()) << gAbortText;
}

TEST_F(StreamTest, CancelAfterTheBufferWrappedDropsOnlyWhatIsHeld) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  std::vector<Chunk> chunks;
  for (int i = 0; i < 80; ++i) chunks.push_back({0x100 + i, Payload(i, 1200 + 111 * static_cast<size_t>(i % 7))});
  chunks.push_back({kEnd, {}});
  const std::vector<uint8_t> file = ChunkFile(chunks);
  const uint32_t id = STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
  // Take about half, going round the buffer more than once, and keep two chunks held.
  std::vector<ChunkHeader*> held;
  for (int i = 0; i < 40; ++i) {
    ChunkHeader* c = STREAM_get(stream_);
    ASSERT_NE(c, nullptr) << i;
    ChunkHeader h;
    std::memcpy(&h, c, sizeof h);
    ASSERT_EQ(h.id, 0x100 + i);
    if (i >= 38) held.push_back(c);
    else STREAM_release(stream_, c);
  }
  EXPECT_EQ(STREAM_requeststate(stream_, id), STREAMREQ_ACTIVE);
  STREAM_cancelrequest(stream_, id);
  EXPECT_EQ(STREAM_bufferusage(stream_), 0u);
  EXPECT_EQ(STREAM_get(stream_), nullptr);
  EXPECT_EQ(STREAM_state(stream_), STREAM_IDLE);
  EXPECT_TRUE(gAbortText.empty()) << gAbortText;
  // The held chunks were given back with the request.
  STREAM_release(stream_, held[0]);
  EXPECT_EQ(gAbortText, "STREAM_release - chunk has already been released\n");
}

TEST_F(StreamTest, FilesFromDiskOneAfterAnother) {
  ASSERT_NE(Make(0x8000), nullptr);
  StandardFilters();
  std::vector<Chunk> a, b;
  for (int i = 0; i < 30; ++i) a.push_back({(i % 2 ? 0x200 : 0x100) + i, Payload(i, 1500 + 13 * static_cast<size_t>(i))});
  a.push_back({kEnd, {}});
  for (int i = 0; i < 5; ++i) b.push_back({0x150 + i, Payload(i + 50, 40000 / 5)});
  b.push_back({kEnd, {}});
  const std::vector<uint8_t> fa = ChunkFile(a), fb = ChunkFile(b);
  // The second file starts after a prefix that the request skips by its offset; trailing bytes are ignored.
  std::string prefix(100, 'x');
  HostFile("c/a.chk", std::string(fa.begin(), fa.end()) + "trailing");
  HostFile("c/b.chk", prefix + std::string(fb.begin(), fb.end()));
  const uint32_t ra = STREAM_queuefile(stream_, "C:\\a.chk", 0, kEnd);
  const uint32_t rb = STREAM_queuefile(stream_, "C:\\b.chk", 100, kEnd);
  ASSERT_NE(ra, 0u);
  ASSERT_NE(rb, 0u);
  const auto got = Drain();
  std::vector<Chunk> want;
  for (const Chunk& c : a) want.push_back(c);
  for (const Chunk& c : b) want.push_back(c);
  ASSERT_EQ(got.size(), want.size());
  // Per tap the order is kept; every chunk arrives once with its data.
  std::vector<Chunk> per[3];
  for (const auto& [tap, chunk] : got) per[tap].push_back(chunk);
  size_t i1 = 0, i2 = 0;
  for (const Chunk& c : want) {
    const Chunk& g = (c.id & 0xFF00) == 0x200 ? per[2][i2++] : per[1][i1++];
    EXPECT_EQ(g.id, c.id);
    EXPECT_EQ(g.data, c.data);
  }
  EXPECT_TRUE(gAbortText.empty()) << gAbortText;
}

TEST_F(StreamTest, MissingOrTruncatedFileEndsTheRequest) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  std::vector<uint8_t> f = ChunkFile({{0x101, Payload(1, 100)}, {0x102, Payload(2, 5000)}});
  f.erase(f.end() - 10, f.end());  // the second chunk is cut short and there is no end chunk
  HostFile("c/cut.chk", std::string(f.begin(), f.end()));
  STREAM_queuefile(stream_, "C:\\nothere.chk", 0, kEnd);
  STREAM_queuefile(stream_, "C:\\cut.chk", 0, kEnd);
  const auto got = Drain();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].second.id, 0x101);
  EXPECT_NE(gAbortText.find("STREAM - unable to open file 'C:\\nothere.chk'\n"), std::string::npos) << gAbortText;
}

TEST_F(StreamTest, FullBufferWithoutConsumerIssuesNoReads) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  std::vector<Chunk> chunks;
  for (int i = 0; i < 20; ++i) chunks.push_back({0x100 + i, Payload(i, 4000)});
  chunks.push_back({kEnd, {}});
  const std::vector<uint8_t> f = ChunkFile(chunks);
  HostFile("c/full.chk", std::string(f.begin(), f.end()));
  STREAM_queuefile(stream_, "C:\\full.chk", 0, kEnd);
  for (int i = 0; i < 2000 && STREAM_state(stream_) != STREAM_WAITING; ++i) Sleep(1);
  ASSERT_EQ(STREAM_state(stream_), STREAM_WAITING);
  EXPECT_EQ(stream_->stream->operation, 0u);
  const uint32_t usage = STREAM_bufferusage(stream_);
  Sleep(20);
  EXPECT_EQ(STREAM_state(stream_), STREAM_WAITING);
  EXPECT_EQ(STREAM_bufferusage(stream_), usage);
  EXPECT_EQ(Drain().size(), chunks.size());
}

TEST_F(StreamTest, GreedyLevel) {
  ASSERT_NE(Make(), nullptr);
  StandardFilters();
  STREAM_setgreedylevel(stream_, 1000);
  EXPECT_EQ(stream_->stream->hungry, 1);
  const std::vector<uint8_t> file = ChunkFile({{0x101, Payload(1, 2000)}, {kEnd, {}}});
  STREAM_queuemem(stream_, file.data(), static_cast<uint32_t>(file.size()), kEnd);
  EXPECT_EQ(stream_->stream->hungry, 0);
  ChunkHeader* c = STREAM_get(stream_);
  ASSERT_NE(c, nullptr);
  STREAM_release(stream_, c);
  EXPECT_EQ(stream_->stream->hungry, 1);
}

}  // namespace
