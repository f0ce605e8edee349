// Front-end tests: the UI fixture with a sound provider whose click sounds play until a test ends them.
#pragma once

#include "frontend/frontend.h"
#include "uifixture.h"

class FakeSound : public SoundProvider {
 public:
  uint32_t PlaySample(const char*) override { return Start(); }
  uint32_t PlayMenuSound(int) override { return Start(); }
  bool IsPlaying(uint32_t handle) override { return handle != 0 && playing; }
  uint32_t Start() {
    ++started;
    if (!audible) return 0;
    playing = true;
    return 7;
  }
  bool audible = false, playing = false;
  int started = 0;
};

class FrontEndTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    Svc().sound = &sound_;
    // Every font the screens ask for is a small solid one.
    frontEnd_.loader = [](const char*, const char* name, uint32_t) -> MemHandle {
      const std::string n(name);
      if (n.size() < 4 || n.substr(n.size() - 4) != ".ffn") return 0;
      std::vector<std::array<int, 3>> glyphs;
      for (int c = 32; c < 127; ++c) glyphs.push_back({c, 4, 5});
      return HandleWith(SolidFont(glyphs));
    };
    SetFireWindow(nullptr);
    CurrentScreen = nullptr;
    Drain();
  }
  void TearDown() override {
    Drain();
    FreeFrontEndFonts();
    UiTest::TearDown();
  }
  // Every queued message of the thread removed; the fire messages among them counted.
  int Drain() {
    int fires = 0;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
      if (m.message == kControlFireMessage) ++fires;
    return fires;
  }
  // Runs the fire messages queued now, as the main loop does.
  int RunFires() {
    int n = 0;
    MSG m;
    while (PeekMessageA(&m, nullptr, kControlFireMessage, kControlFireMessage, PM_REMOVE)) {
      DispatchControlFire(m.wParam, m.lParam);
      ++n;
    }
    return n;
  }
  FakeSound sound_;
};
