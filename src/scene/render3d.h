// The render back-end choice at start-up, the processor speed and the detail levels that follow from it, and the
// adaptive detail step that lowers detail while the frame rate is low or the camera turns fast.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/core/preferencevalues.h"

struct RenderStart {
  uint8_t hardwareActive = 0;
  uint8_t backEndKind = 0;       // 0 software, 1 Glide, 3 ATI, 4 Direct3D, 7 software module; others as Direct3D
  uint8_t detectedKind = 0;      // back-end kind of the first card found
  uint8_t detectedCardKind = 0;  // card kind of the first card found
  uint8_t direct3DAvailable = 0; // 80 when the probe succeeded
  uint8_t glideCardFound = 0;
  int32_t hardwareLevel = -1;
  bool cardKind11 = false, cardKind2 = false;
  int32_t processorSpeed = 0;    // MHz
  int32_t videoSettingsNotice = 0;
  bool format2Supported = false; // the module takes palettised 8-bit textures
};
extern RenderStart gRenderStart;

struct AdaptiveDetail {
  float zoom = 1.0f, zoomTarget = 1.0f;
  float step[2] = {1.0f, 1.0f}, stepTarget[2] = {1.0f, 1.0f};
  int32_t stepWhole[2] = {1, 1};
  // Kept by the moving cameras; reset values.
  float frameRateSum = 750.0f;
  int32_t headingChange = 0;
  uint8_t cameraMovedMode = 0;
};
extern AdaptiveDetail gAdaptive;
void ResetFrameStats();

// Graphics preference indices (ids 1..6 live in the framework's GraphicsPreferences[id - 1]).
int32_t& GraphicsPref(int id);

int StartRenderSystem(int software, int direct3D);
void Scan3DCards(uint8_t* detectedKind, uint8_t* direct3DAvailable, uint8_t* glideCardFound, int32_t* hardwareLevel);
// Reads a card list's text: each line "card-kind back-end-kind<TAB>name"; card kind 0 or the text's end ends it.
// `present` answers whether a card of a kind is in the machine.
void ScanCardList(const char* text, size_t size, int32_t (*present)(int32_t cardKind), uint8_t* detectedKind,
                  uint8_t* glideCardFound, int32_t* hardwareLevel);
uint8_t ProbeDirect3D();
bool CheckDirect3DCaps();
void SelectBackEndModule(int kind, int second);
void SetGlideEnvironment();
void SetSpeedInfo(uint32_t clockHz);
void ChooseAutoDetailLevels();
void AdaptDetailToFrameRate(bool forced);
