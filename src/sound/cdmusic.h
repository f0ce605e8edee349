// Music from the audio tracks of a CD through the multimedia command strings ("cdaudio"). Whether it plays
// follows the sound settings (0x02: the game disc's music outside a round; 0x20: its music in a round and any
// other audio CD at all times) and whether the disc in the drive is the game's own.
#pragma once

#include <cstdint>
#include <string>

class TCDMusicManager {
 public:
  TCDMusicManager();
  virtual ~TCDMusicManager();

  int CheckMusicDisc(int look);
  void Play();
  void Stop();
  int Refresh();
  void ApplyMusicSetting();
  void UpdateStatus();

  int32_t deviceOpen = 0, mediaPresent = 0, playing = 0, gameDisc = 0, discLocated = 0, stoppedByAccess = 0;
  int32_t needsOpen = 1, trackCount = 0, currentTrack = 0;
  char position[16] = "1:0:0:0";

 private:
  void Open();
  void Close();
  bool Send(const char* command, char* reply = nullptr, unsigned replyLength = 0);
};

// The run's one manager.
TCDMusicManager& CDMusic();
