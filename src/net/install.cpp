#include "net/install.h"

#include <cstring>
#include <vector>

#include "framework/core/services.h"
#include "golf/golfmsg.h"
#include "net/commlayer.h"
#include "net/sockcomm.h"
#include "net/voiceproc.h"
#include "platformlib/core/byteorder.h"

namespace net {
namespace {

// Machine -1 is every other player; the round posts its own copy itself.
void SendData(int machine, const std::vector<uint8_t>& data) {
  CCommBase* comm = RoundComm;
  if (!comm) return;
  if (machine == -1) {
    comm->SendToOthers(data.data(), static_cast<uint32_t>(data.size()));
    return;
  }
  if (machine > 0) comm->SendGameData(static_cast<uint32_t>(machine), data.data(), static_cast<uint32_t>(data.size()));
}

void PutF32(uint8_t* p, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  WriteLE32(p, bits);
}

}  // namespace

void NetworkServices::Send(int machine, uint32_t id, uint32_t argument) {
  std::vector<uint8_t> d(8);
  WriteLE32(d.data(), id);
  WriteLE32(d.data() + 4, argument);
  SendData(machine, d);
}

void NetworkServices::SendPosition(int machine, const PositionBlock& b) {
  std::vector<uint8_t> d(21);
  WriteLE32(d.data(), kGolfPosition);
  WriteLE32(d.data() + 4, b.golfer);
  PutF32(d.data() + 8, b.position.x);
  PutF32(d.data() + 12, b.position.y);
  PutF32(d.data() + 16, b.position.z);
  d[20] = b.holed;
  SendData(machine, d);
}

void NetworkServices::SendBlock(int machine, uint32_t id, const void* data, size_t bytes) {
  std::vector<uint8_t> d(4 + bytes);
  WriteLE32(d.data(), id);
  if (bytes) std::memcpy(d.data() + 4, data, bytes);
  SendData(machine, d);
}

void NetworkServices::DropPeer(uint32_t machine) {
  if (RoundComm) RoundComm->DropPlayer(machine);
}

uint32_t NetworkServices::LocalMachineId() {
  return RoundComm ? RoundComm->GetLocalId() : 0;
}

void NetworkServices::CloseComm() {
  CloseCommLayer();
}

int NetworkServices::CommType() {
  return CommObject ? GetCommType() : -1;
}

void NetworkServices::SessionSend(uint32_t receiver, uint32_t code, uint32_t second) {
  if (RoundComm) RoundComm->SendGameWords(receiver, code, second);
}

bool NetworkServices::VoiceExists() {
  return Voice != nullptr;
}

void NetworkServices::VoiceStoreReceived(const uint8_t* message, uint32_t length, int32_t count) {
  // The comm message {sender, data length, data}: the voice message is its data, taken only within the buffer.
  if (!Voice || !message || length < 12) return;
  const uint32_t n = ReadLE32(message + 4);
  if (n < 4 || n > length - 8) return;
  Voice->StoreReceived(static_cast<uint32_t>(count), message + 8, n);
}

void NetworkServices::SetVoiceSuspended(bool suspended) {
  if (Voice) Voice->SetSuspended(suspended);
}

bool NetworkServices::VoiceStartRecording(const uint32_t* ids, int count, VoiceProgress progress) {
  return Voice && Voice->StartRecording(ids, count, progress);
}

void NetworkServices::VoiceFinishRecording() {
  if (Voice) Voice->FinishRecording();
}

void NetworkServices::VoiceCancelRecording() {
  if (Voice) Voice->CancelRecording();
}

int NetworkServices::PeerIds(uint32_t* out, int max) {
  CCommBase* comm = RoundComm;
  if (!comm) return 0;
  comm->BuildPlayerList(0);
  int n = 0;
  for (int i = 0; i < comm->GetPlayerCount() && n < max; ++i)
    if (const uint8_t* entry = comm->GetPlayerEntry(i)) out[n++] = ReadLE32(entry);
  return n;
}

}  // namespace net

void InstallNetworkServices() {
  static net::NetworkServices services;
  Svc().network = &services;
}
