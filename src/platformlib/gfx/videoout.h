// Movie output: decoded YUY2 frames shown through an overlay, a blit from an off-screen YUY2 surface, or drawn
// in software when the display offers neither (or fails).
#pragma once

#include <cstdint>

constexpr int kVideoOutBlit = 0;
constexpr int kVideoOutOverlay = 1;
constexpr int kVideoOutSoftware = 2;

// The movie code's software drawing of one YUY2 frame into the current window (null: nothing is drawn).
extern void (*blitvideoframehook)(const uint8_t* frame, int32_t x, int32_t y, int32_t width, int32_t height,
                                  int doublesize);

void videooutopen(int32_t x, int32_t y, int32_t width, int32_t height, int doublesize, int softwareonly);
void videooutframe(const uint8_t* frame);
// The hardware path of videooutframe; 0 or the display's error.
int videooutshow(const uint8_t* frame);
void videooutclose();
int getvideooutmode();
