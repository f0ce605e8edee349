// The microphone button of a network round: held down, it records a voice message for the other players; let go,
// the message is sent. It shows the ready picture, and cycles through the recording pictures while it records.
#pragma once

#include <atomic>
#include <cstdint>

#include "frontend/control.h"
#include "framework/core/shapemovie.h"

class TMicButton : public TGenericControlADV {
 public:
  static constexpr int kFrames = 11;
  static constexpr int kNotUsable = 0, kReady = 1, kFirstRecording = 2;

  TMicButton();
  ~TMicButton() override;
  // The pictures of "micbtn.fsh" in the in-round archive (at most 11); 0 when they cannot be loaded.
  virtual int LoadFrames();

  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  int IsPointerOver(int16_t x, int16_t y, uint8_t buttons) override;
  void Draw(int flag) override;
  void Erase(int flag) override;
  void OnFocusChanged() override;

  // Where the picture is drawn: its top-left corner by the screen size, the size of the first picture.
  MARect FrameRect() const;

  const uint8_t* frames[kFrames] = {};
  // Advanced by the recorder's thread, read by the press's wait.
  std::atomic<int32_t> state{kNotUsable};
  std::atomic<int32_t> drawnState{kNotUsable};
  int32_t frameCount = 0;
  bool overlayCut = false;

 private:
  TShapeMovie movie_;
};

// The button the recorder's progress advances (null when none).
TMicButton* MicButton();
// The recorder's progress: the next recording picture, back to the ready one after the last or once finished.
void MicRecordingProgress(int finished);
