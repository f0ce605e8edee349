// Golf tips: after the golfer shaped a shot with the draw or cut button the tips button at the top of the screen
// comes alive, and a click plays that tip's movie (with its text). One round in five
// offers a tip, once (always with the always-tips switch); a networked round never does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/memmgr.h"
#include "framework/core/utils.h"
#include "roundui/inroundbutton.h"

constexpr int kTipDraw = 7, kTipCut = 8;

// The lines of a tip's text file: split at line ends (CR LF, LF or CR), at most 20 lines of at most 255
// characters, NUL bytes ending a line's text.
std::vector<std::string> ParseTipText(const uint8_t* bytes, size_t size);
// "ttip08.mad" and "ttip08.dat" for tip 7.
std::string TipMovieName(int tip);
std::string TipTextName(int tip);

class TZarvotipBtn;

class TGolfTipsManager {
 public:
  // Draws no random number: the pick is made when a round's interface is built, so the game's random sequence does
  // not depend on when the manager was first used.
  TGolfTipsManager() = default;
  // A new round: nothing shown or offered; the random pick decides whether this round offers a tip.
  void Reset();
  // The tips button of the round, made once and added to the in-round list.
  MA_EventHandler* Setup();
  void ClearTipOffer();
  void OnDrawChosen();
  void OnCutChosen();
  // After a shot in stroke play or practice: a ball holed with two putts or more is counted.
  void CountShotForTip();
  void UpdateTipButton();
  // The tips button's click: the offered tip played.
  void PlayOfferedTips();
  // Plays tip n: false when the player gave up at the disc prompt or the movie did not play.
  bool PlayTip(int tip);

  int32_t shown = 0;
  int32_t enabled = 1;
  int32_t inactive = 1;
  int32_t randomPick = 0;
  int32_t trigger = -1;
  int32_t twoPutts = 0;
  bool playing = false;
  std::vector<std::string> textLines;  // the tip's text while its movie plays
  std::string lastMovie;               // the path of the last movie handed to the player
  TZarvotipBtn* button = nullptr;

 private:
  void Offer(int tip);
  // The text lines, centred under the movie's picture, one under the other while the screen has room.
  void DrawTipText(MemHandle font, const MARect& picture) const;
};
TGolfTipsManager& Tips();
// The always-tips switch ("/VEZEVADOZ").
bool AlwaysTips();

class TZarvotipBtn : public TInRoundButton {
 public:
  TZarvotipBtn();
  ~TZarvotipBtn() override;
  bool AcceptsInput() override;
  const uint8_t* GetHitShape(int pointerOver) override;
  int OnIdle() override;
  void Draw(int redrawNow) override;
  void OnClick() override;
  int32_t frame = 1;
  uint32_t nextFrameAt = 0;
};
