// The button layer every in-round control shares: a hit test on the opaque pixels of the control's shape, the
// pressed look that follows the pointer while a button is held, a click that acts at once with a click sound,
// an erase through the control's mask shape, and the refusal of input while a network step waits. Beside it the
// two screen helpers every in-round control calls, and the round's input state.
#pragma once

#include <cstdint>

#include "framework/ui/handlergroup.h"

// Program-wide state of the round's input.
struct RoundInputState {
  int32_t inputSuspended = 0;     // the in-round input entries and timed updates do nothing
  int32_t modalDialog = 0;        // a modal dialog runs: the in-round controls take no presses
  uint8_t soundOptions = 0x03;    // bit 0 sounds on, bit 1 effects on: click sounds play
  int32_t demoRunning = 0;        // the self-running demo plays
};
RoundInputState& RoundInput();
// InRoundInputSuspended of the framework's values.
inline int32_t& InRoundInputSuspended() { return RoundInput().inputSuspended; }

// True when the current game is networked and a synchronised step (0x70a, 0x723) waits for the other machines.
bool NetworkStepWaiting();

class TInRoundButton : public MA_EventHandler, public THelpTextMixin {
 public:
  explicit TInRoundButton(uint32_t frameData);
  ~TInRoundButton() override = default;

  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;  // pressed look when it hits
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override;    // the click
  int IsPointerOver(int16_t x, int16_t y, uint8_t buttons) override;
  int OnKeyDown(uint16_t) override { return 0; }
  int OnIdle() override;
  void Draw(int) override {}
  void Erase(int redrawNow) override;
  void OnFocusChanged() override;

  virtual void Setup() {}
  virtual bool AcceptsInput();
  virtual void OnPointerLeave(int16_t /*x*/, int16_t /*y*/) {}
  // The shape whose opaque pixels make the button's area, for the pointer-over state given.
  virtual const uint8_t* GetHitShape(int pointerOver) = 0;
  virtual int HitTest(int16_t x, int16_t y);
  virtual void OnClick() = 0;

  // The shape the control is erased through (its non-transparent pixels). A mask taken from the shape table is
  // dropped when the table is freed, so a control that outlives the interface never reads freed shapes.
  void SetMaskShape(const uint8_t* shape);
  const uint8_t* MaskShape() const;

  int32_t pointerOver = 0;
  uint32_t frameData;

 private:
  const uint8_t* maskShape_ = nullptr;
  uint32_t maskGeneration_ = 0;
};

// Repaints the rectangle (null: the whole screen) from the clean background and marks it for the next update.
void RestoreScreenRect(const MARect* rect);
// Puts back what lay under a rectangle drawn over the round: the hole's view where the scene draws one (and lets the
// scene draw there again), else the screen's background.
void RestoreViewRect(const MARect& rect);
// Redraws the shot set-up controls after a change of club, shot type, shape, aim or game state.
void RedrawShotControls();
