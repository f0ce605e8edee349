// The packet player: one voice fed by packets of sample data that the caller submits; the mixer's packet codec
// takes them in order and hands them back once they are played.
//
// Player memory is the caller's. On this 64-bit build its records hold full pointers: a header of
// `sizeof(PacketPlayer)` bytes and packet slots of 16 bytes (`SNDPKTPLAY_memsize` says so).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platformlib/sound/sndbank.h"
#include "platformlib/sound/sndvoice.h"

constexpr int PACKETPLAYERS = 16;

struct SNDPACKET {
  int32_t id;      // written by the submit
  int32_t length;  // bytes
  int32_t reserved;
  const void* data;
};

using PacketDone = void (*)(int player, int32_t packet);

struct PacketSlot {
  int32_t id;
  int32_t length;
  const uint8_t* data;
};

struct PacketPlayer {
  int32_t voice;  // handle, -1 while not started
  int32_t nextid;
  uint16_t slots;
  uint16_t queued;
  int32_t first;    // ring index of the oldest queued packet
  int32_t inplay;   // packets of the queue handed to the codec, from `first`
  uint32_t bytesqueued, bytesplayed;
  void* memory;
  PacketDone done;
  int framebytes;
  PacketSlot ring[1];  // `slots` of them
};

int SNDPKTPLAY_memsize(int packets);
// Lays a player out over the caller's memory; the player's id, or -8 (too small, null), -9 (table full).
int SNDPKTPLAY_create(void* memory, size_t bytes, PacketDone done);
// Starts the player's voice with a sample header (the sample tags of a patch), the 12-byte zone record
// {channel mask u32, base pitch i16, priority u8, timbre volume, timbre pan, effect send, bend range, 0} and play
// options; the voice handle or negative.
int SNDPKTPLAY_start(int player, uint8_t* header, size_t headerbytes, const uint8_t zone[12], const SNDPLAYOPTS* o);
int SNDPKTPLAY_submit(int player, SNDPACKET* packet);
int SNDPKTPLAY_stop(int player);
int SNDPKTPLAY_destroy(int player);
// Hands back every queued packet whose id lies in [first, last].
int iSNDpacketrelease(int player, int32_t first, int32_t last);
int SNDPKTPLAY_queued(int player);
int SNDPKTPLAY_voice(int player);
