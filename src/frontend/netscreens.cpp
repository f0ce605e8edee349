#include "frontend/netscreens.h"

#include <cstring>

#include "app/gameapp.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "frontend/dialog.h"
#include "frontend/frontend.h"
#include "frontend/golfereditor.h"
#include "frontend/modemplay.h"
#include "frontend/netgames.h"
#include "frontend/textbutton.h"
#include "net/commlayer.h"
#include "net/netgolfer.h"
#include "net/tapimgr.h"

TNetConnADV* NetConnectionScreen = nullptr;
TNetConfigADV* NetConfigScreen = nullptr;
int32_t ModemChosen = 0;

namespace {

bool gFirstEntry = false;  // no net golfer existed when network play was entered
bool gAutoConnect = true;  // a /NETWIRE start goes on to the online service once

constexpr uint32_t kTitle = 0x9D00C0, kTitleShadow = 0x372656;

void SetScreenButtonColours(TTextButtonADV* b) { b->SetColors(0xE0E0E0, 0xAAAAAA, kTitle, 0xF0F0F0); }

void BackToMainMenu(TGenericControlADV*) {
  Svc().sound->FadeMenuSounds();
  ShowMainMenu();
}

void ConfigCancelClicked(TGenericControlADV*) { ShowNetConnectionScreen(); }
void OpenConfig(TGenericControlADV*) { ShowNetConfigScreen(); }
void EditNetGolfer(TGenericControlADV*) { ShowNetGolferSetup(1); }
void ModemClicked(TGenericControlADV*) {
  ModemChosen = 1;
  ShowModemScreen();
  // Without a usable modem the connection screen stays, under the notice.
  if (NetConnectionScreen) {
    NetConnectionScreen->EraseAll(0);
    NetConnectionScreen->DrawAll(0);
  }
}

void EnterLobby(int type) {
  ModemChosen = 0;
  net::CommObject->SetNotifyQueue();
  EnterNetGames(type);
}

void InternetClicked(TGenericControlADV*) {
  if (!net::CreateCommLayer(0)) return;
  EnterLobby(0);
}

void LanClicked(TGenericControlADV*) {
  if (!net::CreateCommLayer(StoredLanProtocol())) {
    ShowConfirmDialog("Failed to initialize network.", nullptr, nullptr);
    if (NetConnectionScreen) {
      NetConnectionScreen->EraseAll(0);
      NetConnectionScreen->DrawAll(0);
    }
    return;
  }
  EnterLobby(StoredLanProtocol());
}

void ConfigSaveClicked(TGenericControlADV*) {
  TNetConfigADV* s = NetConfigScreen;
  if (!s) return;
  {
    RegistryMgr network("Network", true);
    const ListEntry* protocol = s->protocols->Current();
    network.WriteValue("Protocol", static_cast<DWORD>(protocol ? protocol->value : 1));
  }
  const ListEntry* modem = s->modems->Current();
  if (!modem) {
    ShowConfirmDialog("Select a modem to use.", nullptr, nullptr);
    s->EraseAll(0);
    s->DrawAll(0);
    return;
  }
  if (modem->value != kNoModemValue) {
    RegistryMgr key("Modem", true);
    key.WriteValue("LineDevice", static_cast<DWORD>(modem->value));
  }
  ShowNetConnectionScreen();
}

void NetGolferSetupClosed(bool saved) {
  if (!saved && gFirstEntry) {
    Svc().sound->FadeMenuSounds();
    ShowMainMenu();
    return;
  }
  ShowNetConnectionScreen();
}

void NoRowAction(TListBoxADV*, ListEntry*) {}

}  // namespace

int StoredLanProtocol() {
  RegistryMgr network("Network", true);
  DWORD value = 0;
  if (!network.ReadValue("Protocol", &value, sizeof value) || (value != 1 && value != 2)) return 1;
  return static_cast<int>(value);
}

// ---- the connection screen --------------------------------------------------------------------------------------

TNetConnADV::TNetConnADV() : TMenuADV("bgnetcon.dct", "vex.fsh", 80, 80, MenuArchive()) {
  NetConnectionScreen = this;
  struct Row {
    const char* caption;
    int32_t x, y;
    uint16_t key;
    const char* help;
    int sound;
    ClickHandler handler;
  };
  static const Row kChoices[] = {
      {"Modem", 329, 225, 'd', "Host or join a modem game", 1, ModemClicked},
      {"LAN", 329, 289, 'l', "Host or join a game on a Local Area Network", 1, LanClicked},
      {"Internet", 329, 353, 'i', "Host or join an Internet game", 1, InternetClicked},
  };
  for (const Row& r : kChoices) {
    // The choices keep the button's own colours but for the pressed one.
    TTextButtonADV* b = AddTextButton(r.caption, r.x, r.y, {r.key}, r.handler, r.help, r.sound, 0);
    b->SetColors(0, 0, 0, 0xF0F0F0);
    if (r.handler == InternetClicked) internetButton = b;
  }
  SetScreenButtonColours(
      AddTextButton("Cancel", 230, 63, {'c', kKeyEscape}, BackToMainMenu, "Return to Main Menu", 2, kTitle));
  SetScreenButtonColours(AddTextButton("Configuration", 370, 63, {'o'}, OpenConfig,
                                       "Set preferences for modem and network", 1, kTitle));
  SetScreenButtonColours(
      AddTextButton("Golfer Setup", 550, 63, {'g'}, EditNetGolfer, "Setup the net golfer", 1, kTitle));
  helpText =
      "Net Connection\n\nModem plays one other golfer over the telephone line. LAN finds the games of your local "
      "network, Internet those of the online golf service.\n\nConfiguration chooses the LAN protocol and the modem; "
      "Golfer Setup edits the golfer you play with on the network.";
}

TNetConnADV::~TNetConnADV() {
  if (NetConnectionScreen == this) NetConnectionScreen = nullptr;
}

void TNetConnADV::DrawAll(int flag) {
  TMenuADV::DrawAll(flag);
  DrawLabel(titleFonts[2], titleFonts[2], "Net Connection", 137, 105, kTitle, kTitleShadow, nullptr, false, true);
  if (Flags().onlineService && gAutoConnect) {
    gAutoConnect = false;
    internetButton->PostFire();
  }
}

// ---- the configuration screen -----------------------------------------------------------------------------------

TNetConfigADV::TNetConfigADV() : TMenuADV("bgconfig.dct", "vex.fsh", 80, 80, MenuArchive()) {
  NetConfigScreen = this;
  auto list = [&](int32_t x, int32_t y, int32_t width, const char* help) {
    auto* l = new TListBoxADV(reinterpret_cast<uintptr_t>(this), x, y, width, 4, fonts[2], 0x1A0);
    l->entryHandler = NoRowAction;
    l->SetMenuSound(0);
    SetControlHelp(l, help);
    AddHandler(l);
    return l;
  };
  protocols = list(274, 204, 200, "Select the protocol you want to use for LAN connections");
  modems = list(274, 358, 526, "Select the modem you want to use");
  SetScreenButtonColours(AddTextButton("Cancel", 230, 63, {'c', kKeyEscape}, ConfigCancelClicked,
                                       "Return to previous screen without saving changes", 2, kTitle));
  SetScreenButtonColours(
      AddTextButton("Save Changes", 370, 63, {'s'}, ConfigSaveClicked, "Save your configuration.", 1, kTitle));
  FillLists();
  helpText =
      "Configuration\n\nLAN Protocol is the protocol LAN games use. Modem is the modem that modem games dial and "
      "answer with.\n\nSave Changes keeps both; Cancel returns without changing them.";
}

TNetConfigADV::~TNetConfigADV() {
  if (NetConfigScreen == this) NetConfigScreen = nullptr;
}

void TNetConfigADV::FillLists() {
  protocols->Add("TCP/IP", 1);
  protocols->Add("IPX/SPX", 2);
  protocols->Select(StoredLanProtocol() - 1, false);
  net::TapiMgr tapi;
  const int started = tapi.Initialize(nullptr, false);
  if (started == net::TapiMgr::kNoDevices || started == net::TapiMgr::kNoTelephony || tapi.NegotiateVersions() == 0) {
    modems->Add("<no modem detected>", kNoModemValue);
    modems->Select(0, false);
    return;
  }
  RegistryMgr modem("Modem", true);
  DWORD chosen = 0;
  const bool stored = modem.ReadValue("LineDevice", &chosen, sizeof chosen) != 0;
  for (int i = 0; i < tapi.DeviceCount(); ++i) {
    const net::TapiMgr::Device* d = tapi.GetDevice(i);
    modems->Add(d->name, static_cast<int32_t>(d->id));
    if (stored && d->id == chosen) modems->Select(i, false);
  }
}

void TNetConfigADV::DrawAll(int flag) {
  TMenuADV::DrawAll(flag);
  DrawLabel(titleFonts[2], titleFonts[2], "Configuration", 142, 105, kTitle, kTitleShadow, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "LAN Protocol", 310, 161, kTitle, kTitleShadow, nullptr, false, true);
  DrawLabel(fonts[2], fonts[2], "Modem", 312, 317, kTitle, kTitleShadow, nullptr, false, true);
}

// ---- entry ---------------------------------------------------------------------------------------------------------

void EnterNetPlay() {
  Svc().sound->FadeMenuSounds();
  Svc().sound->StartClubhouseSounds();
  gFirstEntry = true;
  char players[MAX_PATH];
  if (PathJoin(&Folders().players, nullptr, players, sizeof players)) net::NetGolferFolder = players;
  if (net::FindAnyNetGolfer(NetGolferName)) ShowNetConnectionScreen();
  else ShowNetGolferSetup(0);
}

void ShowNetConnectionScreen() {
  ReplaceCurrentScreen(nullptr);
  gFirstEntry = false;
  ReplaceCurrentScreen(new TNetConnADV());
}

void ShowNetConfigScreen() {
  ReplaceCurrentScreen(nullptr);
  ReplaceCurrentScreen(new TNetConfigADV());
}

void ShowNetGolferSetup(int editing) {
  SetNetGolferEditorClosed(NetGolferSetupClosed);
  ShowNetGolferEditor(editing ? NetGolferName : nullptr);
}
