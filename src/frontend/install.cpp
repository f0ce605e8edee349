#include "frontend/install.h"

#include "app/gameapp.h"
#include "framework/core/services.h"
#include "frontend/frontend.h"
#include "frontend/highlights.h"
#include "frontend/overview.h"
#include "frontend/settingsdlg.h"
#include "frontend/scorecard.h"
#include "frontend/tourneydlg.h"
#include "mmsystem.h"

namespace {

// The pointer's pictures are shell animations over the front end's shape files, drawn into the window the
// pointer code sets.
class MenuShellAnim : public ShellAnim {
 public:
  explicit MenuShellAnim(TShellAnimADV* anim) : anim_(anim) {}
  ~MenuShellAnim() override { delete anim_; }
  void Start() override { anim_->Start(); }
  void Stop(int) override { anim_->Stop(0); }  // the pointer code puts back what lay under it
  void SetPosition(int32_t x, int32_t y) override { anim_->SetPosition(x, y); }
  void Draw() override { anim_->Draw(); }
  TShellAnimADV* anim_;
};

class FrontEnd : public FrontEndProvider {
 public:
  const char* Name() const override { return "front end"; }
  int StartFrontEnd(int) override { return ::StartFrontEnd(); }
  void BeginPlay(int) override { ::BeginPlay(nullptr); }
  void DispatchControlFire(uintptr_t first, intptr_t second) override { ::DispatchControlFire(first, second); }
  int ShowMessageDialog(const char* text, int twoButtons) override {
    if (DialogsSuppressed()) return 0;
    // The framework's question: 0 confirmed, 27 cancelled.
    const int answer = ::ShowMessageDialog(text, twoButtons ? 2 : 1, 1, nullptr, 0, nullptr);
    return answer == 1 ? 0 : 27;
  }
  int AskThreeWay(const char* text) override {
    if (DialogsSuppressed()) return 0;
    return ::ShowMessageDialog(text, 3, 0, nullptr, 0, nullptr);
  }
  int ShowNotice(const std::string& text) override { return ShowTimedNotice(text, 0); }
  void ShowTourneyStandings(int notice, int kind, int delaySeconds) override {
    if (!DialogsSuppressed()) ::ShowTourneyStandings(notice, kind, delaySeconds);
  }
  int ShowScoreCardDialog(int layout) override { return DialogsSuppressed() ? 0 : ::ShowScoreCardDialog(layout); }
  int ShowTimedNotice(const std::string& text, uint32_t timeoutMs) override {
    if (DialogsSuppressed()) return 1;
    return ::ShowMessageDialog(text.c_str(), 1, 1, nullptr, timeoutMs, nullptr);
  }
  void SetRoundScreen() override {
    // A round at the menus' size changes no mode, yet its render states must still be sent (a mode change
    // sends them itself).
    if (!SetScreenLayout(false) && Display().hardwareActive) SetVideoMode(1, 0);
  }
  void RedrawFrontEnd() override {
    if (CurrentScreen) {
      CurrentScreen->EraseAll(0);
      CurrentScreen->DrawAll(0);
    }
  }
  // The round's settings dialogs: 1 when the interface should rebuild for changed settings.
  int ShowRoundDialog(int which) override {
    if (DialogsSuppressed()) return 0;
    switch (which) {
      case kDialogHoleOverview: return ShowOverviewDialog();
      case kDialogPlayerSettings: return ShowPlayerSettingsDialog();
      case kDialogScreenLayout: return ShowScreenLayoutDialog();
      case kDialogSoundOptions: return ShowSoundDialog();
      default: return 0;
    }
  }
  bool InDemoState() override { return DemoRound != 0; }
  void LoadDctBackground(PathRecord* folder, const char* name) override { ::LoadDctBackground(folder, name); }
  void ReturnToFrontEnd() override { ContinueAfterGame(); }
  void ShowHighlightsScreen() override { ::ShowHighlightsScreen(); }
  MARect DrawShadowFrame(const MARect& rect, int32_t width, WindowDesc* target) override {
    return ::DrawShadowFrame(rect, width, target, nullptr);
  }
  bool ScreenKeyPress(uint32_t code) override {
    if (!CurrentScreen) return false;
    CurrentScreen->OnChar(static_cast<uint16_t>(code));
    return true;
  }
  bool ScreenKeyUp(uint32_t code) override {
    if (!CurrentScreen) return false;
    CurrentScreen->OnKeyUp(static_cast<uint16_t>(code));
    return true;
  }
  bool ScreenPointerPress(int32_t x, int32_t y, uint32_t flags) override {
    if (!CurrentScreen) return false;
    CurrentScreen->OnPointerDown(static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint8_t>(flags));
    return true;
  }
  bool ScreenPointerRelease(int32_t x, int32_t y, uint32_t button) override {
    if (!CurrentScreen) return false;
    CurrentScreen->OnPointerUp(static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint8_t>(button));
    return true;
  }
  void DeleteCurrentScreen() override {
    ReplaceCurrentScreen(nullptr);
    MainMenuScreen = nullptr;
    FreeFrontEndFonts();
  }
  ShellAnim* MakeShellAnim(const char* file, ShellAnim* frames, int mode, int fps, int fixed, int flags) override {
    const uint32_t f = static_cast<uint32_t>(flags) | TShellAnimADV::kToScreen;
    TShellAnimADV* anim = nullptr;
    // Without the menus (or before their folder is known) the built-in arrow serves; a missing file is never
    // looked for on a disc.
    if (file && !FileExists(MenuArchive(), "menus.viv")) return FrontEndProvider::MakeShellAnim(file, frames, mode, fps, fixed, flags);
    if (file) {
      anim = TShellAnimADV::FromFile(file, 0, 0, static_cast<uint8_t>(mode), fps, fixed, f);
      if (!anim->movie) {
        // Without the menus the built-in arrow serves.
        delete anim;
        return FrontEndProvider::MakeShellAnim(file, frames, mode, fps, fixed, flags);
      }
    } else if (auto* other = dynamic_cast<MenuShellAnim*>(frames); other && other->anim_->movie) {
      anim = new TShellAnimADV(other->anim_->movie, 0, 0, static_cast<uint8_t>(mode), fps, fixed, f);
    } else {
      return nullptr;
    }
    return new MenuShellAnim(anim);
  }
  bool ScreenIdle() override {
    if (!CurrentScreen) return false;
    CurrentScreen->OnIdle();
    return true;
  }
};

FrontEnd gFrontEnd;

}  // namespace

void InstallFrontEndServices() { Svc().frontEnd = &gFrontEnd; }
