// The way into network play: the net connection screen (modem, LAN or Internet, the configuration and the net
// golfer) and the net configuration screen (the LAN protocol and the modem, kept in the registry).
#pragma once

#include <cstdint>

#include "frontend/listbox.h"
#include "frontend/menu.h"

class TTextButtonADV;

class TNetConnADV : public TMenuADV {
 public:
  TNetConnADV();
  ~TNetConnADV() override;
  void DrawAll(int flag) override;

  TTextButtonADV* internetButton = nullptr;
};

class TNetConfigADV : public TMenuADV {
 public:
  TNetConfigADV();
  ~TNetConfigADV() override;
  void DrawAll(int flag) override;
  void FillLists();

  TListBoxADV *protocols = nullptr, *modems = nullptr;
};

extern TNetConnADV* NetConnectionScreen;
extern TNetConfigADV* NetConfigScreen;
// 1 after Modem was chosen, 0 after LAN or Internet.
extern int32_t ModemChosen;
// The modem list's entry when no modem can be used.
constexpr int32_t kNoModemValue = -86;

// The main menu's network button (and a /NETWIRE start): the clubhouse sounds, then the connection screen, or the
// net golfer editor first when this machine has no net golfer.
void EnterNetPlay();
void ShowNetConnectionScreen();
void ShowNetConfigScreen();
// The net golfer editor: on the net golfer (editing) or on a new one.
void ShowNetGolferSetup(int editing);
// The LAN protocol stored in the registry: 1 TCP/IP or 2 IPX/SPX (anything else counts as TCP/IP).
int StoredLanProtocol();
