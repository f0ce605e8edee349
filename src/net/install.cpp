#include "net/install.h"

#include <cstring>
#include <vector>

#include "framework/core/services.h"
#include "golf/golfmsg.h"
#include "net/commlayer.h"
#include "net/sockcomm.h"
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

class NetworkServices : public NetworkProvider {
 public:
  const char* Name() const override { return "net"; }
  void Send(int machine, uint32_t id, uint32_t argument) override {
    std::vector<uint8_t> d(8);
    WriteLE32(d.data(), id);
    WriteLE32(d.data() + 4, argument);
    SendData(machine, d);
  }
  void SendPosition(int machine, const PositionBlock& b) override {
    std::vector<uint8_t> d(21);
    WriteLE32(d.data(), kGolfPosition);
    WriteLE32(d.data() + 4, b.golfer);
    PutF32(d.data() + 8, b.position.x);
    PutF32(d.data() + 12, b.position.y);
    PutF32(d.data() + 16, b.position.z);
    d[20] = b.holed;
    SendData(machine, d);
  }
  void SendBlock(int machine, uint32_t id, const void* data, size_t bytes) override {
    std::vector<uint8_t> d(4 + bytes);
    WriteLE32(d.data(), id);
    if (bytes) std::memcpy(d.data() + 4, data, bytes);
    SendData(machine, d);
  }
  void DropPeer(uint32_t machine) override {
    if (RoundComm) RoundComm->DropPlayer(machine);
  }
  uint32_t LocalMachineId() override { return RoundComm ? RoundComm->GetLocalId() : 0; }
  void CloseComm() override { CloseCommLayer(); }
  int CommType() override { return CommObject ? GetCommType() : -1; }
  void SessionSend(uint32_t receiver, uint32_t code, uint32_t second) override {
    if (RoundComm) RoundComm->SendGameWords(receiver, code, second);
  }
};

}  // namespace
}  // namespace net

void InstallNetworkServices() {
  static net::NetworkServices services;
  Svc().network = &services;
}
