// The sound provider: the game's sound layer behind the service seam.
#include "sound/install.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <string>
#include <vector>

#include "app/gameapp.h"
#include "course/preferences.h"
#include "framework/core/services.h"
#include "golf/game.h"
#include "scene/random.h"
#include "sound/cdmusic.h"
#include "sound/commentary.h"
#include "sound/effects.h"
#include "sound/menusounds.h"
#include "sound/situation.h"
#include "sound/soundobject.h"

namespace {

// Handles of the provider's answers: 1..9 the click sounds, from 16 the samples of controls with their own.
constexpr uint32_t kSampleHandles = 16;

class SoundLayer : public SoundProvider {
 public:
  const char* Name() const override { return "sound"; }
  void StartSound() override { TSoundADV::StartSoundSystem(); }
  void LoadGameSounds() override { ::LoadGameSounds(); }
  void FreeGameSounds() override {
    ::FreeGameSounds();
    for (TSoundADV*& o : samples_) {
      delete o;
      o = nullptr;
    }
    samples_.clear();
    names_.clear();
  }
  void StopSound() override { TSoundADV::StopSoundSystem(); }
  void ReloadSounds() override {
    TSoundADV::EnsureSoundSystem();
    TSoundADV::MarkAllUnloaded();
    ::LoadGameSounds();
  }
  void Update() override {
    const uint32_t now = SoundTakeTime();
    TSoundADV::UpdateAll(true);
    // In a round the drive is looked at again every 10 s.
    if (Svc().game->RoundInProgress() && now - lastRefresh_ > 10000) {
      lastRefresh_ = now;
      CDMusic().Refresh();
    }
  }
  uint32_t PlaySample(const char* name) override { return PlayEffect(name, 70); }
  uint32_t PlayEffect(const char* name, int volume) override {
    if (!name || !*name) return 0;
    size_t i = 0;
    while (i < names_.size() && names_[i] != name) ++i;
    if (i == names_.size()) {
      TSoundADV* o = new (std::nothrow) TSoundADV(name, 0);
      if (!o) return 0;
      names_.emplace_back(name);
      samples_.push_back(o);
    }
    samples_[i]->SetVolume(volume);
    samples_[i]->Play();
    return kSampleHandles + static_cast<uint32_t>(i);
  }
  uint32_t PlayMenuSound(int index) override {
    TSoundADV* o = GetMenuSound(index);
    if (!o) return 0;
    o->Play();
    return static_cast<uint32_t>(index) + 1;
  }
  bool IsPlaying(uint32_t handle) override {
    TSoundADV* o = nullptr;
    if (handle >= 1 && handle <= 9)
      o = GetMenuSound(static_cast<int>(handle) - 1);
    else if (handle >= kSampleHandles && handle - kSampleHandles < samples_.size())
      o = samples_[handle - kSampleHandles];
    return o && o->IsPlaying();
  }
  void StartMenuSounds() override {
    LoadMenuSounds();
    TCDMusicManager& cd = CDMusic();
    if (cd.needsOpen) cd.Refresh();  // the first look opens the device
    cd.CheckMusicDisc(1);
    cd.ApplyMusicSetting();
  }
  void FadeMenuSounds() override { FadeMenuAmbient(); }
  void StartClubhouseSounds() override { LoadClubhouseSounds(); }
  void GameDiscLocated() override { CDMusic().discLocated = 1; }
  int CheckMusicDisc(int look) override { return CDMusic().CheckMusicDisc(look); }
  void RefreshMusic() override { CDMusic().Refresh(); }
  void StopMusic() override { CDMusic().Stop(); }
  // The announcer's lines, said or waiting, end.
  void StopTipSound() override { StopAnnouncerClips(); }
  void PreShotCommentary() override { RunPreShotCommentary(); }
  void ShotFlown() override {
    const TPlayer* p = SituationGolfer();
    if (!p) return;
    const Vector3 &from = p->ball.startPosition, &to = p->ball.position;
    PlayShotQualityCommentary(p->ballBeforeShot.lie, std::hypot(to.x - from.x, to.y - from.y), p->currentClub);
    PlayPostShotCommentary();
  }
  void ShotReplayStarts() override { PlayDeferredAnnouncerClip(); }
  void ShotReplayEnded(bool holed) override {
    PlayCrowdReaction(holed);
    PlayAnnouncerClip();
  }
  void StartRoundSounds(int windSetting) override {
    ResetHoleCommentary();
    ::LoadGameSounds();
    StartAmbientSounds(windSetting);
    CDMusic().Refresh();
  }
  void StopRoundSounds() override { StopAmbientSounds(); }
  bool ReleaseHardware() override { return TSoundADV::ReleaseHardware() != 0; }
  bool ObtainHardware() override { return TSoundADV::ObtainHardware() != 0; }
  // Voice messages play from their own thread: the objects are made, asked and destroyed under the list's lock,
  // which the idle pass holds while it serves them.
  uint32_t PlayImage(const void* image, uint32_t bytes) override {
    std::lock_guard<std::recursive_mutex> lock(Sound().lock);
    TSoundADV* o = new (std::nothrow) TSoundADV(image, bytes, 0);
    if (!o) return 0;
    o->Play();
    images_.emplace_back(++lastImage_, o);
    return lastImage_;
  }
  bool ImagePlaying(uint32_t handle) override {
    std::lock_guard<std::recursive_mutex> lock(Sound().lock);
    TSoundADV* o = Image(handle);
    return o && o->IsPlaying();
  }
  void StopImage(uint32_t handle) override {
    std::lock_guard<std::recursive_mutex> lock(Sound().lock);
    if (TSoundADV* o = Image(handle)) o->Stop();
  }
  void FreeImage(uint32_t handle) override {
    std::lock_guard<std::recursive_mutex> lock(Sound().lock);
    for (auto i = images_.begin(); i != images_.end(); ++i)
      if (i->first == handle) {
        delete i->second;
        images_.erase(i);
        return;
      }
  }

 private:
  TSoundADV* Image(uint32_t handle) {
    for (auto& [h, o] : images_)
      if (h == handle) return o;
    return nullptr;
  }
  uint32_t lastImage_ = 0;
  std::vector<std::pair<uint32_t, TSoundADV*>> images_;
  uint32_t lastRefresh_ = 0;
  std::vector<std::string> names_;
  std::vector<TSoundADV*> samples_;
};

// The game's disc in a drive, with the program file at the drive's root.
bool GameDiscHasProgram() {
  if (!LocateGameCd()) return false;
  PathRecord root = Folders().discRoot;
  std::strcpy(root.directory, "\\");
  return FileExists(&root, "Zarvo99.exe") != 0;
}

void ProgramFolders(PathRecord* root, PathRecord* disc, bool* discFound) {
  const DataFolders& f = Folders();
  *root = f.root;
  *disc = f.discRoot;
  *discFound = f.cdFound != 0;
}

}  // namespace

void InstallSoundServices() {
  static SoundLayer layer;
  SoundEnvironment& env = SoundEnv();
  env.windowActive = IsAppActive;
  env.soundSettings = [] { return SoundSettings(); };
  env.roundRunning = [] { return Svc().game->RoundInProgress(); };
  env.random31 = [] { return static_cast<uint32_t>(scene::Random31()); };
  env.golferFactPlaying = IsGolferFactClipPlaying;
  env.folders = ProgramFolders;
  env.gameDiscHasProgram = GameDiscHasProgram;
  Svc().sound = &layer;
}
