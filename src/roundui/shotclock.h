// The shot clock: counts down the time the golfer to play has for a shot, on a clock face at the top of the
// screen, and after a shot played too slowly gives the golfer an infraction (warnings, penalty strokes, then
// disqualification), each announced in a message that closes by itself.
#pragma once

#include <cstdint>

#include "framework/ui/eventhandler.h"

class TShotClockUI : public MA_EventHandler {
 public:
  TShotClockUI();
  ~TShotClockUI() override;
  // Locks the face shapes and loads the fonts (a font that cannot be loaded is fatal).
  void SetUp();

  void Restart();  // the golfer's turn begins
  void Stop();     // the swing begins: the clock holds for the shot
  void SetBackdrop(const uint8_t* image, uint16_t word);
  bool IsRunning() const;
  // The seconds left now (0 at the least).
  uint32_t Remaining() const;
  // The infraction after a shot played once the time had run out.
  void OnTimeExpired();

  int OnIdle() override;
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;

  uint32_t startTick = 0;  // 0: not running
  uint32_t lastTick = 0;
  int32_t shownSeconds = 0xFFFF;
  MemHandle labelFont = 0, digitFont = 0;
  uint32_t expired = 0;
  const uint8_t* backdrop = nullptr;
  uint16_t backdropWord = 0;
  uint32_t backdropDrawn = 0;
  MARect face{}, panel{};  // where the face and the label panel were drawn
  bool drawn = false;
};

// The only shot clock (null when the game's shot-clock option is off).
TShotClockUI* ShotClock();
// The first column right of where the clock hangs (0 without a clock): what sits beside it at the top begins there.
int32_t ShotClockReach();
// Makes the clock when the current game's shot-clock option is on and none exists; null otherwise.
TShotClockUI* CreateShotClock();
