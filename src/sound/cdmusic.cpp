// The CD music manager.
#include "sound/cdmusic.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mmsystem.h"
#include "sound/soundobject.h"

namespace {
bool RoundRunning() { return SoundEnv().roundRunning && SoundEnv().roundRunning(); }
}  // namespace

TCDMusicManager& CDMusic() {
  static TCDMusicManager manager;
  return manager;
}

TCDMusicManager::TCDMusicManager() = default;
TCDMusicManager::~TCDMusicManager() { Close(); }

bool TCDMusicManager::Send(const char* command, char* reply, unsigned replyLength) {
  char scratch[255];
  if (!reply) reply = scratch, replyLength = sizeof scratch;
  return mciSendStringA(command, reply, replyLength, nullptr) == 0;
}

void TCDMusicManager::Open() {
  deviceOpen = Send("open cdaudio") ? 1 : 0;
  if (deviceOpen) Send("set cdaudio time format tmsf");
}

void TCDMusicManager::Close() {
  if (deviceOpen) {
    Stop();
    Send("close cdaudio");
  }
  deviceOpen = 0;
}

int TCDMusicManager::CheckMusicDisc(int look) {
  if (look) gameDisc = SoundEnv().gameDiscHasProgram && SoundEnv().gameDiscHasProgram() ? 1 : 0;
  return gameDisc;
}

void TCDMusicManager::Play() {
  if (playing || !deviceOpen || trackCount <= 0 || !mediaPresent) return;
  char command[64];
  std::snprintf(command, sizeof command, "play cdaudio from %s", position);
  if (Send(command))
    playing = 1;
  else
    deviceOpen = 0;
}

void TCDMusicManager::Stop() {
  if (!deviceOpen || trackCount <= 0 || !mediaPresent) return;
  if (!Send("stop cdaudio")) deviceOpen = 0;
  playing = 0;
}

void TCDMusicManager::UpdateStatus() {
  if (!deviceOpen) return;
  char reply[255];
  auto status = [&](const char* command) {
    if (Send(command, reply, sizeof reply)) return true;
    deviceOpen = 0;
    return false;
  };
  if (!status("status cdaudio media present")) return;
  mediaPresent = std::strcmp(reply, "true") == 0;
  if (!status("status cdaudio mode")) return;
  if (std::strcmp(reply, "playing") == 0) {
    playing = 1;
    discLocated = 0;
  } else {
    if (playing && gameDisc && discLocated) {
      Stop();
      stoppedByAccess = 1;
    }
    playing = 0;
  }
  if (!status("status cdaudio number of tracks")) return;
  trackCount = std::atoi(reply);
  if (!status("status cdaudio current track")) return;
  currentTrack = std::atoi(reply);
  if (playing && !Send("status cdaudio position", position, sizeof position)) position[0] = 0;
}

int TCDMusicManager::Refresh() {
  if (needsOpen) {
    Open();
    CheckMusicDisc(1);
    needsOpen = 0;
  }
  if (!deviceOpen) return 1;
  const bool wasPlaying = playing != 0;
  UpdateStatus();
  if (deviceOpen && mediaPresent) {
    const uint8_t settings = SoundSettingsByte();
    const bool music = (settings & 0x20) != 0;
    if (wasPlaying && !playing && !stoppedByAccess && (music || (gameDisc && RoundRunning())))
      std::strcpy(position, "1:0:0:0");  // the music ran out: from the first track again
    const bool wanted = gameDisc ? (RoundRunning() ? music : (settings & 0x02) != 0) : music;
    if (playing && !wanted)
      Stop();
    else if (!playing && wanted)
      Play();
  }
  stoppedByAccess = 0;
  return 1;
}

void TCDMusicManager::ApplyMusicSetting() {
  if (!gameDisc) return;
  const bool menuSound = (SoundSettingsByte() & 0x02) != 0;
  if (!playing && menuSound)
    Play();
  else if (playing && !menuSound)
    Stop();
}
