// The sound services the library's own code calls: the channel-pick test of the channel allocator and the stream
// table served by a system task. The sound system proper (driver, voices, mixer) builds on these; its focus
// handler is the main window's (mainwindow.h) and its shut-down `SNDrestore` the driver's (snddriver.h).
#pragma once

#include <cstdint>

#include "platformlib/core/timer.h"

constexpr int SOUNDCHANNELS = 16;

// The allocator's list of picked channels; an empty place holds -1.
extern int8_t channelpicklist[SOUNDCHANNELS];
// 1 when `channel` stands among the first `k` entries of the picked list (k is capped at the list's length).
int channelpicked(int channel, int k);
int channelpickedin(const int8_t* list, int length, int channel, int k);
void clearchannelpicks();
// Appends a channel to the list; 0 when the list is full.
int pickchannel(int channel);

