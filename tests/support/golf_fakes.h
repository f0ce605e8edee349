// What the golf rules ask of the interface, the network, the front end and the course catalogue, recorded by
// fakes whose routines a test sets (an empty routine behaves as the null provider).
#pragma once

#include <functional>
#include <string>

#include "framework/core/services.h"
#include "golf/golfmsg.h"

namespace rules {

class GolfFakes : public NetworkProvider,
                  public RoundInterfaceProvider,
                  public FrontEndProvider,
                  public CourseCatalogueProvider {
 public:
  // Network play.
  std::function<void(int machine, uint32_t id, uint32_t argument)> send;
  std::function<void(int machine, const PositionBlock&)> sendPosition;
  std::function<void(int machine, uint32_t id, const void* data, size_t bytes)> sendBlock;
  std::function<void(uint32_t machine)> dropPeer;
  std::function<uint32_t()> localMachineId;
  std::function<void()> closeComm;
  std::function<void(uint32_t receiver, uint32_t code, uint32_t second)> sessionSend;
  // The interface and the front end.
  std::function<void(const std::string& text, uint32_t ms)> showMessage;
  std::function<void(int flag)> showScoreCard;
  std::function<void()> showShootoutStatus;
  std::function<void()> showMatchPlayStatus;
  std::function<void()> showSkinsStatus;
  std::function<void(uint32_t id, void* block)> remoteHandler;
  std::function<void(const std::string&)> chatLine;
  std::function<void()> personShot;
  std::function<void()> resetTips;
  std::function<void()> returnToFrontEnd;
  std::function<void()> prepareForDialog;
  // The catalogue.
  std::function<int(int hole)> holePar;
  std::function<std::string(int round, int hole)> holeFile;

  const char* Name() const override { return "golf rules fakes"; }

  void Send(int machine, uint32_t id, uint32_t argument) override {
    if (send) send(machine, id, argument);
  }
  void SendPosition(int machine, const PositionBlock& position) override {
    if (sendPosition) sendPosition(machine, position);
  }
  void SendBlock(int machine, uint32_t id, const void* data, size_t bytes) override {
    if (sendBlock) sendBlock(machine, id, data, bytes);
  }
  void DropPeer(uint32_t machine) override {
    if (dropPeer) dropPeer(machine);
  }
  uint32_t LocalMachineId() override { return localMachineId ? localMachineId() : 0; }
  void CloseComm() override {
    if (closeComm) closeComm();
  }
  void SessionSend(uint32_t receiver, uint32_t code, uint32_t second) override {
    if (sessionSend) sessionSend(receiver, code, second);
  }
  void ShowMessage(const std::string& text, uint32_t ms) override {
    if (showMessage) showMessage(text, ms);
  }
  void ShowScoreCard(int flag) override {
    if (showScoreCard) showScoreCard(flag);
  }
  bool ShowShootoutStatus() override {
    if (showShootoutStatus) showShootoutStatus();
    return false;
  }
  bool ShowMatchPlayStatus() override {
    if (showMatchPlayStatus) showMatchPlayStatus();
    return false;
  }
  bool ShowSkinsStatus() override {
    if (showSkinsStatus) showSkinsStatus();
    return false;
  }
  void RemoteMessage(uint32_t id, void* block) override {
    if (remoteHandler) remoteHandler(id, block);
  }
  void ChatLine(const std::string& text) override {
    if (chatLine) chatLine(text);
  }
  void PersonShot() override {
    if (personShot) personShot();
  }
  void ResetTips() override {
    if (resetTips) resetTips();
  }
  void ReturnToFrontEnd() override {
    if (returnToFrontEnd) returnToFrontEnd();
  }
  void PrepareForDialog() override {
    if (prepareForDialog) prepareForDialog();
  }
  int HolePar(int hole) override { return holePar ? holePar(hole) : CourseCatalogueProvider::HolePar(hole); }
  std::string HoleFile(int round, int hole) override {
    return holeFile ? holeFile(round, hole) : CourseCatalogueProvider::HoleFile(round, hole);
  }

  // Installs these fakes for network, interface, front end and catalogue (the rest null).
  Services Installed() {
    Services s;
    s.network = this;
    s.round = this;
    s.frontEnd = this;
    s.catalogue = this;
    return s;
  }
};

}  // namespace rules
