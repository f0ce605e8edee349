// The packet player: a ring of submitted packets in the caller's memory, played on one voice.
#include "platformlib/sound/sndpacket.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platformlib/sound/sndmix.h"

namespace {

PacketPlayer* players[PACKETPLAYERS];

PacketPlayer* playerof(int id) { return id >= 0 && id < PACKETPLAYERS ? players[id] : nullptr; }

void handback(int id, PacketPlayer* p) {
  const PacketSlot& slot = p->ring[p->first];
  p->first = (p->first + 1) % p->slots;
  --p->queued;
  p->bytesqueued -= static_cast<uint32_t>(slot.length);
  p->bytesplayed += static_cast<uint32_t>(slot.length);
  if (p->done) p->done(id, slot.id);
}

}  // namespace

int SNDPKTPLAY_memsize(int packets) {
  if (packets < 2 || packets > 65535) return -8;
  return static_cast<int>(offsetof(PacketPlayer, ring) + sizeof(PacketSlot) * static_cast<size_t>(packets));
}

int SNDPKTPLAY_create(void* memory, size_t bytes, PacketDone done) {
  if (!memory || bytes < static_cast<size_t>(SNDPKTPLAY_memsize(2))) return -8;
  int id = 0;
  while (id < PACKETPLAYERS && players[id]) ++id;
  if (id == PACKETPLAYERS) return -9;
  const size_t slots = std::min<size_t>((bytes - offsetof(PacketPlayer, ring)) / sizeof(PacketSlot), 65535);
  PacketPlayer* p = new (memory) PacketPlayer{};
  p->voice = -1;
  p->slots = static_cast<uint16_t>(slots);
  p->memory = memory;
  p->done = done;
  players[id] = p;
  return id;
}

int SNDPKTPLAY_start(int player, uint8_t* header, size_t headerbytes, const uint8_t zone[12], const SNDPLAYOPTS* o) {
  if (!sndinitialised) return -10;
  PacketPlayer* p = playerof(player);
  if (!p || !header || !zone || !o) return -8;
  SampleValues sample;
  if (!readsampletags(header, header + headerbytes, &sample)) return SNDDAMAGED;
  iSNDenteraudio("SNDPKTPLAY_start");
  p->framebytes = sample.channels * (sample.bits / 8);
  p->inplay = 0;
  const int r = iSNDstartpacketvoice(zone, sample, o, &p->voice);
  if (r < 0) p->voice = -1;
  iSNDleaveaudio();
  return r;
}

int SNDPKTPLAY_submit(int player, SNDPACKET* packet) {
  if (!sndinitialised) return -10;
  PacketPlayer* p = playerof(player);
  if (!p || !packet) return -8;
  if (p->voice < 0)
    return sndfail(-16, "SNDPKTPLAY_submit", "SNDPKTPLAY_submit - DO NOT SUBMIT PACKETS BEFORE STARTING.\n");
  iSNDenteraudio("SNDPKTPLAY_submit");
  if (p->queued >= p->slots - 1) {
    iSNDleaveaudio();
    return -13;
  }
  PacketSlot& slot = p->ring[(p->first + p->queued) % p->slots];
  slot = PacketSlot{p->nextid++, packet->length < 0 ? 0 : packet->length, static_cast<const uint8_t*>(packet->data)};
  ++p->queued;
  p->bytesqueued += static_cast<uint32_t>(slot.length);
  packet->id = slot.id;
  iSNDleaveaudio();
  return slot.id;
}

int iSNDpacketrelease(int player, int32_t first, int32_t last) {
  PacketPlayer* p = playerof(player);
  if (!p) return -8;
  iSNDenteraudio("iSNDpacketrelease");
  std::vector<PacketSlot> kept, gone;
  int handedout = 0;
  for (int i = 0; i < p->queued; ++i) {
    const PacketSlot& slot = p->ring[(p->first + i) % p->slots];
    const bool leaves = slot.id >= first && slot.id <= last;
    (leaves ? gone : kept).push_back(slot);
    if (!leaves && i < p->inplay) ++handedout;
  }
  for (size_t i = 0; i < kept.size(); ++i) p->ring[(p->first + i) % p->slots] = kept[i];
  p->queued = static_cast<uint16_t>(kept.size());
  p->inplay = handedout;
  for (const PacketSlot& slot : gone) {
    p->bytesqueued -= static_cast<uint32_t>(slot.length);
    if (p->done) p->done(player, slot.id);
  }
  iSNDleaveaudio();
  return 0;
}

int SNDPKTPLAY_stop(int player) {
  if (!sndinitialised) return -10;
  PacketPlayer* p = playerof(player);
  if (!p) return -8;
  if (p->voice < 0) return -16;
  SNDstop(p->voice);
  p->voice = -1;
  iSNDpacketrelease(player, INT32_MIN, INT32_MAX);
  return 0;
}

int SNDPKTPLAY_destroy(int player) {
  PacketPlayer* p = playerof(player);
  if (!p) return -8;
  if (p->voice >= 0) SNDPKTPLAY_stop(player);
  players[player] = nullptr;
  return 0;
}

int SNDPKTPLAY_voice(int player) {
  PacketPlayer* p = playerof(player);
  return p ? p->voice : -1;
}

int SNDPKTPLAY_queued(int player) {
  PacketPlayer* p = playerof(player);
  return p ? p->queued : -8;
}

// ---- the codec's side -------------------------------------------------------------------------------------------------

int findpacketslot(int voice) {
  for (int i = 0; i < PACKETPLAYERS; ++i)
    if (players[i] && players[i]->voice >= 0 && (players[i]->voice & 31) == voice) return i;
  return -1;
}

const uint8_t* sndpacketnext(int slot, int32_t* bytes) {
  PacketPlayer* p = playerof(slot);
  *bytes = 0;
  if (!p || p->inplay >= p->queued) return nullptr;
  const PacketSlot& packet = p->ring[(p->first + p->inplay) % p->slots];
  ++p->inplay;
  *bytes = packet.length;
  return packet.data;
}

void sndpacketconsumed(int slot, int count) {
  PacketPlayer* p = playerof(slot);
  if (!p) return;
  for (int i = 0; i < count && p->queued > 0 && p->inplay > 0; ++i) {
    --p->inplay;
    handback(slot, p);
  }
}
