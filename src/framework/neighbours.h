// What the graphic records, the graphics loader and the comm dispatcher need of the game's higher layers
// (the game object, the 3D scene, the network layer). Those layers install their routines here at start-up;
// until they do, the defaults below stand in: no game object, no session, no voice, shape files read from
// disk through the archive-or-disk access, and plain memory images as the scene's object images.
#pragma once

#include <cstdint>

#include "framework/memmgr.h"
#include "framework/paths.h"

struct WindowDesc;

// An image of the 3D scene used as a drawing target: a window over its own pixels, resized by draws.
struct ObjectImage {
  int32_t width = 0, height = 0, depth = 0;
  uint8_t* shape = nullptr;      // a library shape (16-byte header, then pixels); null while empty
  WindowDesc* window = nullptr;  // draws into `shape`'s pixels
};

struct FrameworkNeighbours {
  // The current game object.
  bool (*gameExists)() = nullptr;
  bool (*gamePaused)() = nullptr;
  // The session manager's send operation (receiver id, message code, second code).
  void (*sessionSend)(uint32_t receiver, uint32_t code, uint32_t second) = nullptr;
  // The voice object: exists? and store a copy of a received voice message.
  bool (*voiceExists)() = nullptr;
  void (*voiceStoreReceived)(const uint8_t* message, uint32_t length, int32_t count) = nullptr;
  // Loads a whole shape file into a memory handle (0 when it cannot be read).
  MemHandle (*loadShapeFile)(PathRecord* folder, const char* name) = nullptr;
  // The 3D scene's object images and its software-renderer state.
  ObjectImage* (*createObjectImage)(int32_t width, int32_t height, int32_t depth) = nullptr;
  void (*freeObjectImage)(ObjectImage* image) = nullptr;
  uint8_t softwareRenderer = 0;
  uint8_t softwareMode = 0;
  int32_t softwareCount = 0;
};

// The installed routines; a null member falls back to the stand-in.
FrameworkNeighbours& Neighbours();
// Puts every member back to its default.
void ResetNeighbours();

bool NeighbourGameExists();
bool NeighbourGamePaused();
void NeighbourSessionSend(uint32_t receiver, uint32_t code, uint32_t second);
bool NeighbourVoiceExists();
void NeighbourVoiceStoreReceived(const uint8_t* message, uint32_t length, int32_t count);
MemHandle LoadShapeFile(PathRecord* folder, const char* name);
// `depth` 16 or 32; width and height 0 make an empty image that draws resize (ResizeObjectImage).
ObjectImage* CreateObjectImage(int32_t width, int32_t height, int32_t depth);
void FreeObjectImage(ObjectImage* image);
// Plain memory images and the whole entry of a file read through the archive-or-disk access (0 when it cannot
// be read): what the null scene gives.
ObjectImage* NewObjectImage(int32_t width, int32_t height, int32_t depth);
void DeleteObjectImage(ObjectImage* image);
MemHandle ReadEntryToHandle(PathRecord* folder, const char* name);
// Gives the image a new size (its pixels are cleared); false when memory runs out.
bool ResizeObjectImage(ObjectImage* image, int32_t width, int32_t height);

// The shared unpack cache of a round: made by the round set-up, freed with the hole.
extern MemHandle SharedUnpackCache;
extern MemHandle SharedUnpackCacheSecond;
