// The providers the start-up, the window procedure and the data folders call, as fakes whose routines a test
// sets; a routine left empty behaves as the null provider.
#pragma once

#include <functional>

#include "app/gameapp.h"
#include "framework/core/services.h"

class AppFakes : public GameProvider,
                 public SceneProvider,
                 public RoundInterfaceProvider,
                 public FrontEndProvider,
                 public NetworkProvider,
                 public PreferencesProvider,
                 public CourseCatalogueProvider {
 public:
  // The game object.
  std::function<int(int mode)> createGame;
  std::function<void()> deleteGame;
  std::function<bool()> gameExists;
  std::function<bool()> gamePaused;
  std::function<void(uint32_t message, uintptr_t wParam, intptr_t lParam)> gameHandleMessage;
  std::function<bool()> roundInProgress;
  std::function<void(PathRecord* root)> endRoundAndSave;
  std::function<int(PathRecord* root, const char* name)> loadGameFile;
  std::function<const char*()> currentCourseFolder;
  std::function<int(GolferInPlay* out, int max)> golfersInPlay;
  // The scene.
  std::function<bool()> sceneActive;
  std::function<int(const char* name)> playMovie;
  std::function<void()> assignGolferModels;
  // The interface's routers.
  std::function<void(uint32_t code)> onKeyPress;
  std::function<void(uint32_t code)> onKeyUp;
  std::function<void(int32_t x, int32_t y, uint32_t flags)> onPointerPress;
  std::function<void(int32_t x, int32_t y, uint32_t button)> onPointerRelease;
  // The front end.
  std::function<int(int how)> startFrontEnd;
  std::function<void(uintptr_t wParam, intptr_t lParam)> dispatchControlFire;
  std::function<int(const char* text, int twoButtons)> showMessageDialog;
  // Network, preferences, catalogue.
  std::function<void()> closeCommLayer;
  std::function<void()> savePreferencesFile;
  std::function<const char*()> currentCourseDisc;

  const char* Name() const override { return "start-up fakes"; }

  int CreateGame(int mode) override { return createGame ? createGame(mode) : GameProvider::CreateGame(mode); }
  void DeleteGame() override {
    if (deleteGame) deleteGame();
  }
  bool GameExists() override { return gameExists && gameExists(); }
  bool GamePaused() override { return gamePaused && gamePaused(); }
  void HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    if (gameHandleMessage) gameHandleMessage(message, wParam, lParam);
  }
  bool RoundInProgress() override { return roundInProgress && roundInProgress(); }
  void EndRoundAndSave(PathRecord* root) override {
    if (endRoundAndSave) endRoundAndSave(root);
  }
  int LoadGameFile(PathRecord* root, const char* name) override {
    return loadGameFile ? loadGameFile(root, name) : GameProvider::LoadGameFile(root, name);
  }
  const char* CurrentCourseFolder() override { return currentCourseFolder ? currentCourseFolder() : ""; }
  int GolfersInPlay(GolferInPlay* out, int max) override { return golfersInPlay ? golfersInPlay(out, max) : 0; }

  bool SceneActive() override { return sceneActive && sceneActive(); }
  int PlayMovie(const char* name) override { return playMovie ? playMovie(name) : 0; }
  void AssignGolferModels() override {
    if (assignGolferModels) assignGolferModels();
  }

  void OnKeyPress(uint32_t code) override {
    if (onKeyPress) onKeyPress(code);
  }
  bool OnKeyUp(uint32_t code) override {
    if (!onKeyUp) return false;
    onKeyUp(code);
    return true;
  }
  void OnPointerPress(int32_t x, int32_t y, uint32_t flags) override {
    if (onPointerPress) onPointerPress(x, y, flags);
  }
  void OnPointerRelease(int32_t x, int32_t y, uint32_t button) override {
    if (onPointerRelease) onPointerRelease(x, y, button);
  }

  int StartFrontEnd(int how) override {
    return startFrontEnd ? startFrontEnd(how) : FrontEndProvider::StartFrontEnd(how);
  }
  void DispatchControlFire(uintptr_t wParam, intptr_t lParam) override {
    if (dispatchControlFire) dispatchControlFire(wParam, lParam);
  }
  int ShowMessageDialog(const char* text, int twoButtons) override {
    return showMessageDialog ? showMessageDialog(text, twoButtons)
                             : FrontEndProvider::ShowMessageDialog(text, twoButtons);
  }

  void CloseComm() override {
    if (closeCommLayer) closeCommLayer();
  }
  void SaveFile() override {
    if (savePreferencesFile) savePreferencesFile();
  }
  const char* CurrentCourseDisc() override {
    return currentCourseDisc ? currentCourseDisc() : CourseCatalogueProvider::CurrentCourseDisc();
  }

  // These fakes for every provider they stand for (sound stays null).
  Services Installed() {
    Services s;
    s.game = this;
    s.scene = this;
    s.round = this;
    s.frontEnd = this;
    s.network = this;
    s.preferences = this;
    s.catalogue = this;
    return s;
  }
};
