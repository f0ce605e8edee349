// The telephony line manager of modem play: starts the line functions, lists the line devices that carry
// data-modem calls, opens the player's chosen one (as owner when this machine answers), sets the modem's
// options, dials or answers, and turns the call's progress into one result code signalled through an event.
// A connected call hands over its serial port. One manager at a time: the line, the call, the port, the event
// and the result are the program's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tapi.h"
#include "windows.h"

namespace net {

class TapiMgr {
 public:
  // Result codes: of Initialize, and the value left when the event is set.
  static constexpr int kStarted = 0, kNoDevices = 0x65, kNoChosenDevice = 0x66, kConnected = 0x67,
                       kNoTelephony = 0x68, kDisconnected = 0x69, kBusy = 0x6a, kNoAnswer = 0x6b, kPickedUp = 0x6c,
                       kRequestFailed = 0x6d;
  static constexpr int kMaxDevices = 20;

  struct Device {
    uint32_t id;
    std::string name;
  };

  TapiMgr();
  ~TapiMgr();  // drops the call, closes the line and the port, shuts the line functions down
  TapiMgr(const TapiMgr&) = delete;
  TapiMgr& operator=(const TapiMgr&) = delete;

  // The chosen device is the registry's Modem/LineDevice.
  int Initialize(HINSTANCE instance, bool answering);
  // The table of data-modem lines that take version 1.4; its count (0: none, or a capabilities query failed).
  int NegotiateVersions();
  const Device* GetDevice(int n) const;
  int DeviceCount() const { return static_cast<int>(devices_.size()); }
  // 1 when the chosen line is open; with the modem's capabilities known, its options are set too.
  int OpenLine();
  // Learns the modem's capabilities from the line's port; 1 or 0.
  int ConfigureDevice();
  int SetModemOptions();
  // 1 when the call was asked for (its outcome comes through the event); 0 without a number or an open line.
  int Dial(const char* number);
  void Drop();

  // The event set when the call's outcome is known, and that outcome.
  static HANDLE Event();
  static int Result();
  // The connected call's serial port, kept for the modem link (null until connected).
  static HANDLE CommHandle();
  // Hands the port over: the caller closes it.
  static HANDLE TakeCommHandle();

 private:
  HLINEAPP app_ = 0;
  DWORD deviceCount_ = 0;
  uint32_t chosen_ = 0xffffffffu;
  DWORD version_ = 0;
  bool answering_ = false;
  std::vector<Device> devices_;
};

}  // namespace net
