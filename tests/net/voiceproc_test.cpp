// The voice processor with the stand-in's microphone, a comm object that keeps what is sent and a sound layer
// whose sounds play until the test lets them end: what is recorded is sent as shaped, to each recipient, and what
// arrives plays in order, waits in voice files, survives a suspension and an interrupting recording.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "framework/core/commqueue.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "net/commlayer.h"
#include "net/install.h"
#include "net/voiceproc.h"
#include "platformlib/core/byteorder.h"
#include "winapi/testing.h"
#include "winapi_registry.h"

namespace {

namespace fs = std::filesystem;

class KeepingComm : public net::CCommBase {
 public:
  struct Sent {
    uint32_t to;
    std::vector<uint8_t> data;
  };
  void SendGameData(uint32_t to, const void* data, uint32_t n) override {
    std::lock_guard<std::mutex> lock(mutex);
    sent.push_back({to, std::vector<uint8_t>(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + n)});
  }
  void BroadcastGameData(uint32_t, const void*, uint32_t) override {}
  void SendGameWords(uint32_t, uint32_t, uint32_t) override {}
  void BroadcastGameWords(uint32_t, uint32_t, uint32_t) override {}
  void SendToOthers(const void*, uint32_t) override {}
  int SetLocalGolfer(const char*) override { return 1; }
  uint32_t GetLocalId() override { return 1; }
  void BuildPlayerList(int) override {}
  int GetPlayerCount() override { return 0; }
  const uint8_t* GetPlayerEntry(int) override { return nullptr; }
  void DropPlayer(uint32_t) override {}
  void BeginGame() override {}
  std::vector<Sent> Taken() {
    std::lock_guard<std::mutex> lock(mutex);
    return sent;
  }
  std::mutex mutex;
  std::vector<Sent> sent;
};

// Sounds play while `hold` is set and they were not stopped.
class HeldSound : public SoundProvider {
 public:
  bool ReleaseHardware() override { return ++released, true; }
  bool ObtainHardware() override { return ++obtained, true; }
  uint32_t PlayImage(const void* image, uint32_t bytes) override {
    std::lock_guard<std::mutex> lock(mutex);
    const auto* p = static_cast<const uint8_t*>(image);
    played.emplace_back(p + net::kVoiceHeaderBytes, p + bytes);
    stopped = false;
    return static_cast<uint32_t>(played.size());
  }
  bool ImagePlaying(uint32_t) override { return hold && !stopped; }
  void StopImage(uint32_t) override { stopped = true, ++stops; }
  std::vector<std::vector<uint8_t>> Played() {
    std::lock_guard<std::mutex> lock(mutex);
    return played;
  }
  std::atomic<bool> hold{false}, stopped{false};
  std::atomic<int> released{0}, obtained{0}, stops{0};
  std::mutex mutex;
  std::vector<std::vector<uint8_t>> played;
};

std::vector<uint32_t> g_progress;
std::mutex g_progressLock;
void Progress(int finished) {
  std::lock_guard<std::mutex> lock(g_progressLock);
  g_progress.push_back(finished);
}

bool WaitUntil(const std::function<bool()>& done, int ms = 20000) {
  for (int i = 0; i < ms / 5; ++i) {
    if (done()) return true;
    usleep(5000);
  }
  return done();
}

class VoiceProcessorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    winapi::testing::Reset();
    winapi::testing::UseVirtualClock(false);
    dir = fs::temp_directory_path() / ("voiceproc_" + std::to_string(getpid()));
    fs::create_directories(dir / "VOICE");
    winapi::registry::UseFile((dir / "registry.txt").string());
    winapi::testing::MapDrive('V', dir.string());
    RegistryMgr("Network", true).WriteValue("voicePath", "V:\\VOICE");
    Services s;
    s.sound = &sound;
    services = std::make_unique<ScopedServices>(s);
    net::RoundComm = &comm;
    g_progress.clear();
  }
  void TearDown() override {
    sound.hold = false;
    processor.reset();
    net::RoundComm = nullptr;
    services.reset();
    winapi::registry::UseFile("");
    winapi::testing::Reset();
    fs::remove_all(dir);
  }
  void Make(int kind) {
    processor = std::make_unique<net::VoiceProcessor>(kind);
    ASSERT_EQ(processor->Init(), 1);
  }
  static std::vector<uint8_t> Message(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> m(4);
    WriteLE32(m.data(), net::kVoiceMessageCode);
    m.insert(m.end(), payload.begin(), payload.end());
    return m;
  }
  void Receive(uint32_t number, const std::vector<uint8_t>& payload) {
    const auto m = Message(payload);
    processor->StoreReceived(number, m.data(), static_cast<uint32_t>(m.size()));
  }

  fs::path dir;
  KeepingComm comm;
  HeldSound sound;
  std::unique_ptr<ScopedServices> services;
  std::unique_ptr<net::VoiceProcessor> processor;
};

TEST_F(VoiceProcessorTest, ALanRecordingGoesToEachRecipientExactlyAsShaped) {
  // A tone with a long quiet stretch in it.
  std::vector<int16_t> heard(11025 * 2);
  for (size_t i = 0; i < heard.size(); ++i)
    heard[i] = (i / 2000) % 2 ? static_cast<int16_t>(i % 7 - 3) : static_cast<int16_t>((i % 40 < 20 ? 1 : -1) * 3000);
  winapi::testing::SetWaveInSamples(11025, heard);
  Make(0);
  const uint32_t ids[] = {3, 2};
  ASSERT_TRUE(processor->StartRecording(ids, 2, Progress));
  usleep(400000);
  processor->FinishRecording();
  ASSERT_TRUE(WaitUntil([&] { return !processor->recording(); }));
  const auto sent = comm.Taken();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].to, 3u);
  EXPECT_EQ(sent[1].to, 2u);
  EXPECT_EQ(sent[0].data, sent[1].data);
  ASSERT_GT(sent[0].data.size(), 4u + 2000u);
  EXPECT_EQ(ReadLE32(sent[0].data.data()), net::kVoiceMessageCode);
  // What the card recorded (8-bit unsigned), shaped.
  const uint32_t recorded = static_cast<uint32_t>(sent[0].data.size() - 4);
  std::vector<uint8_t> raw(recorded);
  for (uint32_t i = 0; i < recorded; ++i) raw[i] = static_cast<uint8_t>((heard[i] >> 8) + 128);
  EXPECT_EQ(std::vector<uint8_t>(sent[0].data.begin() + 4, sent[0].data.end()),
            net::ShapeVoiceRecording(0, raw.data(), recorded));
  std::lock_guard<std::mutex> lock(g_progressLock);
  ASSERT_GE(g_progress.size(), 3u);
  EXPECT_EQ(g_progress[0], 0u);
  EXPECT_EQ(g_progress[1], 0u);
  EXPECT_EQ(g_progress.back(), 1u);
  EXPECT_EQ(sound.released.load(), sound.obtained.load());
}

TEST_F(VoiceProcessorTest, NothingIsRecordedForABadListWhileSuspendedOrWhileRecording) {
  Make(0);
  const uint32_t nine[9] = {2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_FALSE(processor->StartRecording(nine, 9, nullptr));
  EXPECT_FALSE(processor->StartRecording(nine, 0, nullptr));
  processor->SetSuspended(true);
  EXPECT_FALSE(processor->StartRecording(nine, 1, nullptr));
  processor->SetSuspended(false);
  ASSERT_TRUE(processor->StartRecording(nine, 1, nullptr));
  EXPECT_FALSE(processor->StartRecording(nine, 2, nullptr));
  // A cancel returns once the recorder took it, and nothing goes out.
  processor->CancelRecording();
  ASSERT_TRUE(WaitUntil([&] { return !processor->recording(); }));
  EXPECT_TRUE(comm.Taken().empty());
}

TEST_F(VoiceProcessorTest, SevenSecondsEndACodedRecordingByItself) {
  std::vector<int16_t> heard(8000 * 8);
  for (size_t i = 0; i < heard.size(); ++i) heard[i] = static_cast<int16_t>((i % 32 < 16 ? 1 : -1) * 2000);
  winapi::testing::SetWaveInSamples(8000, heard);
  Make(1);
  const uint32_t ids[] = {1};
  ASSERT_TRUE(processor->StartRecording(ids, 1, nullptr));
  ASSERT_TRUE(WaitUntil([&] { return !processor->recording(); }, 30000));
  const auto sent = comm.Taken();
  ASSERT_EQ(sent.size(), 1u);
  // 7 s of 8000 samples (112,000 bytes), coded in frames of 208 samples to 28 bytes: as many as such a
  // recording gives.
  const std::vector<uint8_t> full(112000);
  const size_t coded = net::ShapeVoiceRecording(1, full.data(), 112000).size();
  EXPECT_GT(coded, 265u * 28u);
  EXPECT_EQ(sent[0].data.size() - 4, coded);
  const auto image = net::VoicePlayImage(1, sent[0].data.data() + 4, static_cast<uint32_t>(sent[0].data.size() - 4));
  EXPECT_EQ(image.size() - net::kVoiceHeaderBytes, coded / 28 * 416);
}

TEST_F(VoiceProcessorTest, MessagesArrivingDuringPlaybackWaitInFilesAndPlayInOrder) {
  Make(0);
  sound.hold = true;
  Receive(1, {10, 11, 12});
  ASSERT_TRUE(WaitUntil([&] { return processor->playing(); }));
  Receive(2, {20, 21});
  Receive(3, {30});
  EXPECT_TRUE(fs::exists(dir / "VOICE" / "voice2.wxx"));
  EXPECT_TRUE(fs::exists(dir / "VOICE" / "voice3.wxx"));
  sound.hold = false;
  ASSERT_TRUE(WaitUntil([&] { return processor->queued() == 0 && !processor->playing(); }));
  const std::vector<std::vector<uint8_t>> expected = {{10, 11, 12}, {20, 21}, {30}};
  EXPECT_EQ(sound.Played(), expected);
  EXPECT_FALSE(fs::exists(dir / "VOICE" / "voice2.wxx"));
}

// Voice messages as the comm thread hands them over (sender, data length, data): each is queued with its
// payload; one whose data length runs past its buffer, or that is shorter than its code, is not kept.
TEST_F(VoiceProcessorTest, ReceivedCommMessagesReachTheQueueWithinTheirBuffers) {
  Make(0);
  sound.hold = true;
  InstallNetworkServices();
  net::Voice = processor.get();
  CommState = 3;
  const auto comm = [](const std::vector<uint8_t>& payload, uint32_t claimed) {
    std::vector<uint8_t> m(8);
    WriteLE32(m.data(), 2);
    WriteLE32(m.data() + 4, claimed);
    const auto voice = Message(payload);
    m.insert(m.end(), voice.begin(), voice.end());
    uint8_t* block = CommMessageAlloc(static_cast<uint32_t>(m.size()));
    std::memcpy(block, m.data(), m.size());
    DispatchCommMessage(static_cast<uint32_t>(m.size()), block, 0);
  };
  comm({1, 2, 3}, 7);
  comm({4, 5, 6}, 4000);  // a data length past the buffer
  comm({7, 8}, 6);
  comm({}, 3);            // shorter than its code
  EXPECT_EQ(processor->queued(), 2u);
  sound.hold = false;
  ASSERT_TRUE(WaitUntil([&] { return processor->queued() == 0 && !processor->playing(); }));
  const std::vector<std::vector<uint8_t>> expected = {{1, 2, 3}, {7, 8}};
  EXPECT_EQ(sound.Played(), expected);
  net::Voice = nullptr;
  CommState = 0;
}

TEST_F(VoiceProcessorTest, ASuspensionOrARecordingStopsTheMessageAndItPlaysAgainFromItsStart) {
  winapi::testing::SetWaveInSamples(11025, std::vector<int16_t>(11025, 0));
  Make(0);
  sound.hold = true;
  Receive(1, {1, 2, 3});
  ASSERT_TRUE(WaitUntil([&] { return processor->playing(); }));
  processor->SetSuspended(true);  // returns once nothing plays
  EXPECT_FALSE(processor->playing());
  EXPECT_EQ(processor->queued(), 1u);
  processor->SetSuspended(false);
  ASSERT_TRUE(WaitUntil([&] { return sound.Played().size() == 2; }));
  const uint32_t ids[] = {2};
  ASSERT_TRUE(processor->StartRecording(ids, 1, nullptr));
  ASSERT_TRUE(WaitUntil([&] { return sound.stops.load() == 2; }));
  processor->CancelRecording();
  sound.hold = false;
  ASSERT_TRUE(WaitUntil([&] { return processor->queued() == 0 && !processor->playing(); }));
  const auto played = sound.Played();
  ASSERT_EQ(played.size(), 3u);
  for (const auto& p : played) EXPECT_EQ(p, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(VoiceProcessorTest, ShutDownEndsBothThreadsAndRemovesTheVoiceFiles) {
  Make(0);
  sound.hold = true;
  Receive(1, {1});
  ASSERT_TRUE(WaitUntil([&] { return processor->playing(); }));
  Receive(2, {2});
  const uint32_t ids[] = {2};
  processor->Shutdown();
  EXPECT_FALSE(processor->StartRecording(ids, 1, nullptr));
  EXPECT_FALSE(fs::exists(dir / "VOICE" / "voice2.wxx"));
}

TEST_F(VoiceProcessorTest, AMachineWithoutWaveOutputHasNoVoice) {
  winapi::testing::SetWaveDevices(true, false);
  net::VoiceProcessor p(0);
  EXPECT_EQ(p.Init(), 0);
  EXPECT_EQ(sound.released.load(), sound.obtained.load());
}

}  // namespace
