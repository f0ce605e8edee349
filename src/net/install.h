// Installs the network provider of the service seam: the round's sends, voice and the comm layer's close go to
// the comm layer. The online service's layer derives its provider from this one.
#pragma once

#include "framework/core/services.h"

namespace net {

class NetworkServices : public NetworkProvider {
 public:
  const char* Name() const override { return "net"; }
  void Send(int machine, uint32_t id, uint32_t argument) override;
  void SendPosition(int machine, const PositionBlock& b) override;
  void SendBlock(int machine, uint32_t id, const void* data, size_t bytes) override;
  void DropPeer(uint32_t machine) override;
  uint32_t LocalMachineId() override;
  void CloseComm() override;
  int CommType() override;
  void SessionSend(uint32_t receiver, uint32_t code, uint32_t second) override;
  bool VoiceExists() override;
  // The voice message of a comm message as received ({sender, data length, data}, `length` bytes).
  void VoiceStoreReceived(const uint8_t* message, uint32_t length, int32_t count) override;
  void SetVoiceSuspended(bool suspended) override;
  bool VoiceStartRecording(const uint32_t* ids, int count, VoiceProgress progress) override;
  void VoiceFinishRecording() override;
  void VoiceCancelRecording() override;
  int PeerIds(uint32_t* out, int max) override;
};

}  // namespace net

void InstallNetworkServices();
