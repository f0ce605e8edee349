// The sound demo's menu play through the game's sound layer.
#include "menudemo.h"

#include "framework/core/paths.h"
#include "sound/effects.h"
#include "sound/menusounds.h"
#include "sound/soundobject.h"

int RunMenuSoundDemo(int seconds, const std::function<void(int ms)>& wait, std::vector<std::string>* played) {
  SoundEnv().folders = [](PathRecord* root, PathRecord*, bool* disc) {
    *root = PathRecord{};
    root->drive[0] = 'C', root->drive[1] = ':';
    PathSetDirectory(root, "|");
    *disc = false;
  };
  TSoundADV::StartSoundSystem();
  if (!Sound().soundRunning) return -1;
  SoundTakeTime();
  LoadMenuSounds();
  const int passes = seconds * 100;
  for (int pass = 0; pass < passes; ++pass) {
    wait(10);
    SoundTakeTime();
    TSoundADV::UpdateAll(true);
    if (pass == 100 || pass == 150 || pass == 200)
      if (TSoundADV* click = GetMenuSound((pass - 100) / 50)) click->Play();
    if (pass == 300) {
      // The speaker's two announcements, the second held until the first has been heard.
      NewAnnouncerClip("rngannc1", nullptr, 0);
      NewAnnouncerClip("rngannc2", nullptr, kSoundHeldInChain);
      PlayAnnouncerClip();
    }
    if (Sound().currentAnnouncerClip && !Sound().announcerStarted) PlayAnnouncerClip();
  }
  FadeMenuAmbient();
  for (int pass = 0; pass < 100; ++pass) {
    wait(10);
    SoundTakeTime();
    TSoundADV::UpdateAll(false);
  }
  if (played) *played = Sound().played;
  FreeGameSounds();
  TSoundADV::StopSoundSystem();
  return 0;
}
