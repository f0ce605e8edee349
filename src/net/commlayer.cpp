#include "net/commlayer.h"

#include <exception>
#include <memory>

#include "framework/core/registry.h"
#include "net/internetsess.h"
#include "net/modemmgr.h"
#include "net/sessmgr.h"
#include "net/sockcomm.h"
#include "net/voiceproc.h"

namespace net {

CCommBase* CommObject = nullptr;
CCommBase* RoundComm = nullptr;

namespace {
int g_type = -1;
}

const char* CommTypeName(int type) {
  switch (type) {
    case 0: return "TCP/IP on Internet with ZQ Golf Server";
    case 1: return "TCP/IP on Local Area Network (LAN)";
    case 2: return "Novell SPX/IPX on Local Area Network (LAN)";
    case 3: return "TAPI Modem Host";
    case 4: return "TAPI Modem Caller";
    default: return "";
  }
}

int CreateCommLayer(int type) {
  g_type = type;
  // The online and LAN types have their comm object and lobby here, the modem types (3 answers, 4 calls) their
  // link.
  if (type == 3 || type == 4) CommObject = RoundComm = new ModemMgr(type == 3);
  if (type == 0 || type == 1 || type == 2) {
    auto* comm = new CSockComm(type == 2 ? winsock::AF_IPX : winsock::AF_INET, type);
    CommObject = RoundComm = comm;
    if (type == 0)
      SessionManager = new CInternetSessMgr(comm);
    else if (type == 1)
      SessionManager = new CUDPSessMgr(comm);
    else
      SessionManager = new CSAPSessMgr(comm);
  }
  if (!CommObject || !CommObject->Init()) {
    DestroyCommLayer();
    return 0;
  }
  if (type <= 2 && (!SessionManager || !SessionManager->Start())) {
    DestroyCommLayer();
    return 0;
  }
  // LAN voice goes as it was recorded, modem and online voice coded. Without it the layer runs all the same.
  auto voice = std::make_unique<VoiceProcessor>(type == 1 || type == 2 ? 0 : type == 0 ? 2 : 1);
  if (voice->Init()) Voice = voice.release();
  return 1;
}

void EndSessionManager() {
  if (!SessionManager) return;
  SessionManager->Shutdown();
  delete SessionManager;
  SessionManager = nullptr;
}

void DestroyCommLayer() {
  // A recording being sent must not reach a comm object that is going.
  if (Voice) Voice->CancelRecording();
  EndSessionManager();
  if (CommObject) {
    CommObject->Shutdown();
    delete CommObject;
    CommObject = nullptr;
  }
  if (Voice) {
    Voice->Shutdown();
    delete Voice;
    Voice = nullptr;
  }
  RoundComm = nullptr;
}

void CloseCommLayer() {
  try {
    DestroyCommLayer();
  } catch (const std::exception& e) {
    WriteLogLine(e.what());
  }
}

int GetCommType() { return g_type; }

bool CommMessageOwnsValue(uint32_t code) {
  switch (code) {
    case kNotifySessionListComplete: case kNotifyLoginAccepted: case kNotifySessionStatus:
    case kNotifyGroupConnected: case kNotifyHostLinkLost: case kNotifyPlayerReady: case kNotifyPlayerNotReady:
    case kNotifyNetworkError:
      return false;
    default:
      return true;
  }
}

int GetNextCommMessage(uint32_t* code, uintptr_t* value, uint32_t* length) {
  return CommObject ? CommObject->TakeNotification(code, value, length) : 0;
}

}  // namespace net
