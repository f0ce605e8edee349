// The microphone button: its pictures, the recorder's progress through them, and a press held and let go.
#include <gtest/gtest.h>

#include <vector>

#include "golf/game.h"
#include "roundui/micbutton.h"
#include "screen_fixture.h"

namespace {

using roundtest::RoundPictures;

// The voice part of the network layer as the button sees it.
class Voice : public NetworkProvider {
 public:
  bool VoiceExists() override { return true; }
  uint32_t LocalMachineId() override { return 1; }
  bool VoiceStartRecording(const uint32_t* ids, int count, void (*progress)(int)) override {
    recipients.assign(ids, ids + count);
    // The recorder has taken three blocks by the time the button looks again.
    for (int i = 0; i < 3; ++i) progress(0);
    return true;
  }
  void VoiceFinishRecording() override { ++finished; }
  std::vector<uint32_t> recipients;
  int finished = 0;
};

class MicButtonTest : public RoundPictures {
 protected:
  void SetUp() override {
    RoundPictures::SetUp();
    roundtest::UseDemoArtFolders();
    // The view is what the button's picture is erased to.
    BlitImage(RoleImage(kRoleErase), MARect{0, 0, roundtest::kW, roundtest::kH}, DrawnImage(),
              MARect{0, 0, roundtest::kW, roundtest::kH});
    Svc().network = &voice_;
    ASSERT_EQ(CreateGame(kModeStroke), 1);
    TGame* g = CurrentGame();
    g->SetNetworkGame(1);
    for (int s = 0; s < 3; ++s) {
      TPlayer* p = g->players->GetPlayer(s);
      p->flags |= kGolferTakesPart;
      p->machineId = static_cast<uint32_t>(s + 1);
    }
    mic = new TMicButton;
    mic->OnFocusChanged();
  }
  void TearDown() override {
    delete mic;
    winapi::testing::StopInputScript();
    Folders() = DataFolders{};
    RoundPictures::TearDown();
  }
  // The left button held from now for `ms`, then let go.
  static void HoldFor(uint32_t ms) {
    winapi::testing::StartInputScript({winapi::testing::ScriptPointer(0, 20, 440, 1, true),
                                       winapi::testing::ScriptPointer(ms, 20, 440, 1, false)});
  }
  Voice voice_;
  TMicButton* mic = nullptr;
};

TEST_F(MicButtonTest, ElevenPicturesDrawnAtTheLeftMargin) {
  ASSERT_EQ(mic->frameCount, TMicButton::kFrames);
  EXPECT_EQ(mic->state, TMicButton::kReady);
  const MARect r = mic->FrameRect();
  EXPECT_EQ(r.left, 8);
  EXPECT_EQ(r.top, 417);
  // Presses count where the picture is, not at the screen's right edge.
  EXPECT_TRUE(mic->IsPointerOver(static_cast<int16_t>(r.left + 2), static_cast<int16_t>(r.top + 2), 0));
  EXPECT_FALSE(mic->IsPointerOver(static_cast<int16_t>(roundtest::kW - 4), static_cast<int16_t>(r.top + 2), 0));
  const struct {
    int32_t state;
    const char* golden;
  } pictures[] = {{4, "mic_recording"}, {TMicButton::kReady, "mic_ready"}};
  for (const auto& p : pictures) {
    mic->state = p.state;
    mic->Draw(0);
    d3dtest::ExpectGolden(Crop(0, r.top - 4, 48, r.bottom - r.top + 8), p.golden, 0, "roundui");
  }
}

TEST_F(MicButtonTest, TheRecordersProgressCyclesThroughTheRecordingPictures) {
  mic->state = TMicButton::kFirstRecording;
  std::vector<int32_t> seen;
  for (int i = 0; i < 10; ++i) {
    MicRecordingProgress(0);
    seen.push_back(mic->state);
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{3, 4, 5, 6, 7, 8, 9, 10, 1, 2}));
  MicRecordingProgress(1);
  EXPECT_EQ(mic->state, TMicButton::kReady);
}

TEST_F(MicButtonTest, HeldItRecordsForTheOthersAndLetGoItSends) {
  const MARect r = mic->FrameRect();
  HoldFor(300);
  EXPECT_EQ(mic->OnPointerDown(static_cast<int16_t>(r.left + 4), static_cast<int16_t>(r.top + 4), 0), 1);
  EXPECT_EQ(voice_.recipients, (std::vector<uint32_t>{2, 3}));
  EXPECT_EQ(voice_.finished, 1);
  EXPECT_EQ(mic->state, TMicButton::kReady);
  EXPECT_EQ(mic->drawnState, TMicButton::kReady);
  // Alone in the game: nothing is recorded; the other button's press is taken and does nothing.
  for (int s = 1; s < 3; ++s) CurrentGame()->players->GetPlayer(s)->flags = 0;
  voice_.recipients.clear();
  HoldFor(100);
  EXPECT_EQ(mic->OnPointerDown(static_cast<int16_t>(r.left + 4), static_cast<int16_t>(r.top + 4), 0), 1);
  EXPECT_TRUE(voice_.recipients.empty());
  EXPECT_EQ(mic->OnPointerDown(static_cast<int16_t>(r.left + 4), static_cast<int16_t>(r.top + 4), 0x04), 1);
  EXPECT_EQ(voice_.finished, 2);
}

}  // namespace
