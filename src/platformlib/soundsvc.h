// The sound services the library's own code calls: the channel-pick test of the channel allocator, the
// audio focus handler, the stream table served by a system task, and the sound system's shutdown.
// The sound system proper (driver, voices, mixer) builds on these.
#pragma once

#include <cstdint>

#include "platformlib/timer.h"

constexpr int SOUNDCHANNELS = 16;

// The allocator's list of picked channels; an empty place holds -1.
extern int8_t channelpicklist[SOUNDCHANNELS];
// 1 when `channel` stands among the first `k` entries of the picked list (k is capped at the list's length).
int channelpicked(int channel, int k);
int channelpickedin(const int8_t* list, int length, int channel, int k);
void clearchannelpicks();
// Appends a channel to the list; 0 when the list is full.
int pickchannel(int channel);

// Called with 1 when the application becomes active and 0 when it becomes inactive.
using AudioFocusHandler = void (*)(int active);
void setaudiofocushandler(AudioFocusHandler handler);
AudioFocusHandler getaudiofocushandler();
void audiofocuschanged(int active);  // the main-window thread reports activation changes here

// Stops the voice held first in a channel record; installed by the sound system.
extern void (*sndchannelstophook)(int channel);
// Shuts the sound services down: stops every channel, removes the focus handler and stops the audio thread.
void SNDrestore();
