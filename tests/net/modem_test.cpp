// The modem link's packets and the link itself against a scripted far end on an in-memory line.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "net/modemlink.h"
#include "platformlib/core/byteorder.h"
#include "winapi/testing.h"
#include "winapi_comm.h"

namespace {

using net::ModemAssembler;

std::vector<uint8_t> Pattern(uint32_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (uint32_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return v;
}

// Packets of a message as the far end would send them.
std::vector<std::vector<uint8_t>> Packets(const std::vector<uint8_t>& m, uint32_t number, uint32_t sender = 2) {
  std::vector<std::vector<uint8_t>> out;
  for (uint32_t k = 1; k <= net::ModemPacketCount(static_cast<uint32_t>(m.size())); ++k) {
    out.emplace_back();
    net::BuildModemPacket(m.data(), static_cast<uint32_t>(m.size()), number, k, sender, out.back());
  }
  return out;
}

TEST(ModemPacket, CrcOfKnownTexts) {
  const struct {
    const char* text;
    uint32_t crc;
  } cases[] = {{"", 0xFFFFFFFFu}, {"abc", 0xCADBBE3Du}, {"123456789", 0x340BC6D9u}};
  for (const auto& c : cases)
    EXPECT_EQ(net::ModemCrc(reinterpret_cast<const uint8_t*>(c.text), std::strlen(c.text)), c.crc) << c.text;
  // The eight-byte steps agree with the byte loop at every length and split.
  const std::vector<uint8_t> data = Pattern(100, 3);
  for (size_t n = 0; n <= data.size(); ++n) {
    uint32_t bytewise = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) bytewise = net::ModemCrc(&data[i], 1, bytewise);
    EXPECT_EQ(net::ModemCrc(data.data(), n), bytewise) << n;
  }
}

TEST(ModemPacket, MessagesAreCutIntoPacketsOf4065Bytes) {
  const struct {
    uint32_t length;
    std::vector<uint16_t> data;
  } cases[] = {{8, {8}}, {4064, {4064}}, {4065, {4065, 0}}, {10000, {4065, 4065, 1870}}, {8130, {4065, 4065, 0}}};
  for (const auto& c : cases) {
    const auto packets = Packets(Pattern(c.length, 1), 5);
    ASSERT_EQ(packets.size(), c.data.size()) << c.length;
    for (size_t k = 0; k < packets.size(); ++k) {
      const net::ModemHeader h = net::ReadModemHeader(packets[k].data());
      EXPECT_EQ(h.marker, net::ModemMarker::kData);
      EXPECT_EQ(h.dataLength, c.data[k]);
      EXPECT_EQ(h.packetSize, c.data[k] + 31u);
      EXPECT_EQ(packets[k].size(), c.data[k] + 31u);
      EXPECT_EQ(h.packetNumber, k + 1);
      EXPECT_EQ(h.message, 5u);
      EXPECT_EQ(h.total, c.length);
      EXPECT_EQ(h.sender, 2u);
    }
  }
  uint8_t ack[31];
  net::BuildModemAnswer(true, 1, ack);
  EXPECT_EQ(std::memcmp(ack, "ZQAK", 4), 0);
  EXPECT_EQ(ReadLE32(ack + 12), 31u);
  EXPECT_EQ(ReadLE16(ack + 18), 31u);
  net::BuildModemAnswer(false, 1, ack);
  EXPECT_EQ(net::ReadModemHeader(ack).marker, net::ModemMarker::kNak);
}

TEST(ModemPacket, TheAssemblerTakesEachPacketOnceAndEachMessageOnce) {
  using A = ModemAssembler::Answer;
  ModemAssembler a;
  std::vector<uint8_t> got;
  const std::vector<uint8_t> m = Pattern(10000, 9);
  const auto p = Packets(m, 1);
  EXPECT_EQ(a.Take(p[0].data(), 4096, &got), A::kAck);
  EXPECT_EQ(a.Take(p[0].data(), 4096, &got), A::kAck);  // a repeat: answered, not stored
  EXPECT_EQ(a.Take(p[2].data(), static_cast<uint32_t>(p[2].size()), &got), A::kNak);  // skips packet 2
  EXPECT_EQ(a.Take(p[1].data(), 4096, &got), A::kAck);
  EXPECT_EQ(a.Take(p[2].data(), static_cast<uint32_t>(p[2].size()), &got), A::kDeliver);
  EXPECT_EQ(got, m);
  // The same message number again, even with other contents, is answered and not delivered.
  const auto again = Packets(Pattern(20, 4), 1);
  EXPECT_EQ(a.Take(again[0].data(), static_cast<uint32_t>(again[0].size()), &got), A::kAck);
  const auto next = Packets(Pattern(20, 4), 2);
  got.clear();
  EXPECT_EQ(a.Take(next[0].data(), static_cast<uint32_t>(next[0].size()), &got), A::kDeliver);
  EXPECT_EQ(got, Pattern(20, 4));
  EXPECT_EQ(a.lastDelivered(), 2u);
}

TEST(ModemPacket, DamagedPacketsAreRefused) {
  const std::vector<uint8_t> m = Pattern(5000, 2);
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> spoil;
  };
  const Case cases[] = {
      {"data changed", [](std::vector<uint8_t>& p) { p[40] ^= 1; }},
      {"crc changed", [](std::vector<uint8_t>& p) { p[4] ^= 0x80; }},
      {"size below the header", [](std::vector<uint8_t>& p) { WriteLE16(p.data() + 18, 30); }},
      {"size above 4096", [](std::vector<uint8_t>& p) { WriteLE16(p.data() + 18, 4097); }},
      {"data length not the size's", [](std::vector<uint8_t>& p) { WriteLE16(p.data() + 16, 100); }},
      {"message too long", [](std::vector<uint8_t>& p) { WriteLE32(p.data() + 12, 0x7fffffff); }},
      {"first packet numbered 2", [](std::vector<uint8_t>& p) { WriteLE16(p.data() + 20, 2); }},
      {"packet number 0", [](std::vector<uint8_t>& p) { WriteLE16(p.data() + 20, 0); }},
      {"total shorter than the data", [](std::vector<uint8_t>& p) { WriteLE32(p.data() + 12, 100); }},
      {"not a data marker", [](std::vector<uint8_t>& p) { p[2] = 'X'; }},
  };
  for (const Case& c : cases) {
    ModemAssembler a;
    std::vector<uint8_t> p = Packets(m, 1)[0];
    c.spoil(p);
    std::vector<uint8_t> got;
    EXPECT_EQ(a.Take(p.data(), static_cast<uint32_t>(p.size()), &got), ModemAssembler::Answer::kNak) << c.what;
    EXPECT_TRUE(got.empty()) << c.what;
    // The good packets still make the message afterwards.
    const auto good = Packets(m, 1);
    a.Take(good[0].data(), static_cast<uint32_t>(good[0].size()), &got);
    EXPECT_EQ(a.Take(good[1].data(), static_cast<uint32_t>(good[1].size()), &got), ModemAssembler::Answer::kDeliver)
        << c.what;
    EXPECT_EQ(got, m) << c.what;
  }
}

// Both ends of a line in memory: what one end writes, the other reads.
class MemoryLine {
 public:
  class End : public net::ModemPort {
   public:
    End(MemoryLine* line, int side) : line_(line), side_(side) {}
    uint32_t Waiting() override {
      std::lock_guard<std::mutex> lock(line_->mutex_);
      return static_cast<uint32_t>(line_->bytes_[side_].size());
    }
    uint32_t Read(uint8_t* into, uint32_t n) override {
      std::lock_guard<std::mutex> lock(line_->mutex_);
      auto& q = line_->bytes_[side_];
      const uint32_t take = std::min<uint32_t>(n, static_cast<uint32_t>(q.size()));
      std::copy(q.begin(), q.begin() + take, into);
      q.erase(q.begin(), q.begin() + take);
      return take;
    }
    bool Write(const uint8_t* data, uint32_t n) override {
      std::lock_guard<std::mutex> lock(line_->mutex_);
      if (!line_->carrier_) return false;
      line_->bytes_[1 - side_].insert(line_->bytes_[1 - side_].end(), data, data + n);
      line_->changed_.notify_all();
      return true;
    }
    bool Carrier() override { return line_->carrier_.load(); }
    void PurgeInput() override {
      std::lock_guard<std::mutex> lock(line_->mutex_);
      line_->bytes_[side_].clear();
    }
    uint32_t LineErrors() override { return errors.exchange(0); }
    std::atomic<uint32_t> errors{0};

   private:
    MemoryLine* line_;
    int side_;
  };
  End near{this, 0}, far{this, 1};
  std::atomic<bool> carrier_{true};

  // The far end's next packet from the link (header and rest), waiting in real time; empty when none came.
  std::vector<uint8_t> NextFromLink(int seconds = 20) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(seconds), [&] { return Complete() > 0; })) return {};
    auto& q = bytes_[1];
    const size_t size = Complete();
    std::vector<uint8_t> p(q.begin(), q.begin() + static_cast<long>(size));
    q.erase(q.begin(), q.begin() + static_cast<long>(size));
    return p;
  }
  std::vector<uint8_t> NextFromLinkNow() { return NextFromLink(0); }

 private:
  // The size of the whole packet at the front of what the link wrote, 0 while it is incomplete.
  size_t Complete() const {
    const auto& q = bytes_[1];
    if (q.size() < 31) return 0;
    const size_t size = std::max<size_t>(31, static_cast<size_t>(q[18] | (q[19] << 8)));
    return q.size() >= size ? size : 0;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<uint8_t> bytes_[2];
};

struct Delivered {
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<std::vector<uint8_t>> messages;
  std::atomic<int> failures{0};
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(20), [&] { return messages.size() >= n; });
  }
  net::ModemLink::Events Events() {
    return {[this](uint32_t, std::vector<uint8_t>&& m) {
              std::lock_guard<std::mutex> lock(mutex);
              messages.push_back(std::move(m));
              cv.notify_all();
            },
            [this] { ++failures; }};
  }
};

void Put(net::ModemPort& port, const std::vector<uint8_t>& bytes) {
  ASSERT_TRUE(port.Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
}
std::vector<uint8_t> Answer(bool positive) {
  std::vector<uint8_t> a(31);
  net::BuildModemAnswer(positive, 2, a.data());
  return a;
}

// 115,200 baud: one packet's time is the least, a second.
constexpr uint32_t kBaud = 115200;

TEST(ModemLink, MessagesGoOutInPacketsAndANegativeAnswerSendsThePacketAgain) {
  MemoryLine line;
  Delivered d;
  net::ModemLink link(&line.near, kBaud, 1, d.Events());
  link.Start();
  const std::vector<uint8_t> a = Pattern(4065, 1), b = Pattern(10000, 2);
  ASSERT_TRUE(link.Send(a.data(), 4065));
  ASSERT_TRUE(link.Send(b.data(), 10000));
  // The far end refuses the first packet once: the same packet comes again.
  std::vector<uint8_t> first = line.NextFromLink();
  ASSERT_EQ(first.size(), 4096u);
  Put(line.far, Answer(false));
  EXPECT_EQ(line.NextFromLink(), first);
  std::vector<std::vector<uint8_t>> packets = {first};
  Put(line.far, Answer(true));
  for (int k = 0; k < 4; ++k) {
    packets.push_back(line.NextFromLink());
    ASSERT_FALSE(packets.back().empty()) << k;
    Put(line.far, Answer(true));
  }
  const uint32_t expected[5][3] = {{1, 1, 4065}, {1, 2, 0}, {2, 1, 4065}, {2, 2, 4065}, {2, 3, 1870}};
  for (int k = 0; k < 5; ++k) {
    const net::ModemHeader h = net::ReadModemHeader(packets[k].data());
    EXPECT_EQ(h.message, expected[k][0]) << k;
    EXPECT_EQ(h.packetNumber, expected[k][1]) << k;
    EXPECT_EQ(h.dataLength, expected[k][2]) << k;
    EXPECT_EQ(h.sender, 1u);
  }
  link.Stop();
  EXPECT_EQ(d.failures.load(), 0);
}

TEST(ModemLink, ABadPacketIsRefusedThenTheGoodOneDeliveredOnce) {
  MemoryLine line;
  Delivered d;
  net::ModemLink link(&line.near, kBaud, 1, d.Events());
  link.Start();
  const std::vector<uint8_t> m = Pattern(10000, 5);
  auto p = Packets(m, 1);
  Put(line.far, p[0]);
  EXPECT_EQ(net::ReadModemHeader(line.NextFromLink().data()).marker, net::ModemMarker::kAck);
  Put(line.far, p[0]);  // the acknowledgement was "lost": a repeat
  EXPECT_EQ(net::ReadModemHeader(line.NextFromLink().data()).marker, net::ModemMarker::kAck);
  std::vector<uint8_t> bad = p[1];
  bad[100] ^= 0x10;
  Put(line.far, bad);
  EXPECT_EQ(net::ReadModemHeader(line.NextFromLink().data()).marker, net::ModemMarker::kNak);
  // The line was cleared before the refusal: the far end starts the message over.
  Put(line.far, p[0]);
  EXPECT_EQ(net::ReadModemHeader(line.NextFromLink().data()).marker, net::ModemMarker::kAck);
  for (size_t k = 1; k < p.size(); ++k) {
    Put(line.far, p[k]);
    EXPECT_EQ(net::ReadModemHeader(line.NextFromLink().data()).marker, net::ModemMarker::kAck);
  }
  ASSERT_TRUE(d.WaitFor(1));
  // An old message number again: answered, not delivered; the next number is.
  for (auto& packet : Packets(Pattern(30, 1), 1)) Put(line.far, packet);
  EXPECT_EQ(net::ReadModemHeader(line.NextFromLink().data()).marker, net::ModemMarker::kAck);
  for (auto& packet : Packets(Pattern(30, 1), 2)) Put(line.far, packet);
  EXPECT_EQ(net::ReadModemHeader(line.NextFromLink().data()).marker, net::ModemMarker::kAck);
  ASSERT_TRUE(d.WaitFor(2));
  link.Stop();
  ASSERT_EQ(d.messages.size(), 2u);
  EXPECT_EQ(d.messages[0], m);
  EXPECT_EQ(d.messages[1], Pattern(30, 1));
}

// Runs a link on the virtual clock until it fails (bounded in real time), after `act` started it going.
template <class F>
void RunUntilFailure(MemoryLine& line, Delivered& d, F act) {
  winapi::testing::SetVirtualWaitGrace(0);
  winapi::testing::UseVirtualClock(true);
  {
    net::ModemLink link(&line.near, kBaud, 1, d.Events());
    link.Start();
    act(link);
    for (int i = 0; i < 200 && !link.failed(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(link.failed());
    link.Stop();
  }
  winapi::testing::UseVirtualClock(false);
}

TEST(ModemLink, SilenceEndsTheLinkAfterSevenSendsWithOneFailure) {
  MemoryLine line;
  Delivered d;
  RunUntilFailure(line, d, [](net::ModemLink& link) { ASSERT_TRUE(link.Send("hello", 5)); });
  int sends = 0;
  for (std::vector<uint8_t> p; !(p = line.NextFromLinkNow()).empty();) {
    EXPECT_EQ(net::ReadModemHeader(p.data()).packetNumber, 1u);
    ++sends;
  }
  EXPECT_EQ(sends, 7);
  EXPECT_EQ(d.failures.load(), 1);
}

// Errors pending on the port end the link before anything more is written on it.
TEST(ModemLink, LineErrorsEndTheLinkWithOneFailureAndNothingWritten) {
  MemoryLine line;
  Delivered d;
  RunUntilFailure(line, d, [&](net::ModemLink& link) {
    line.near.errors = CE_FRAME;
    ASSERT_TRUE(link.Send("hello", 5));
  });
  EXPECT_TRUE(line.NextFromLinkNow().empty());
  EXPECT_EQ(d.failures.load(), 1);
}

TEST(ModemLink, ALostCarrierIsOneLinkFailure) {
  MemoryLine line;
  Delivered d;
  RunUntilFailure(line, d, [&](net::ModemLink&) { line.carrier_ = false; });
  EXPECT_EQ(d.failures.load(), 1);
}

}  // namespace
