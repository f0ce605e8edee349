#include "frontend/netclub.h"

#include <cstdio>
#include <cstring>
#include <tuple>
#include <vector>

#include "framework/core/commqueue.h"
#include "framework/core/errors.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/dialog.h"
#include "frontend/frontend.h"
#include "frontend/graphicbutton.h"
#include "frontend/shellanim.h"
#include "frontend/netgames.h"
#include "frontend/textbutton.h"
#include "golf/game.h"
#include "net/commlayer.h"
#include "net/netgolfer.h"
#include "net/netstart.h"
#include "net/sessmgr.h"
#include "net/sockcomm.h"
#include "platformlib/core/byteorder.h"
#include "framework/core/utils.h"

TNetClubADV* ClubhouseScreen = nullptr;
uint32_t NetGameStarting = 0;
uint8_t CurrentSessionEntry[204] = {};

namespace {

constexpr uint32_t kTitle = 0x9D00C0, kTitleShadow = 0x372656;
constexpr uint32_t kMeshWaitMs = 60000, kStartWaitMs = 60000, kJoinStartWaitMs = 20000;
constexpr uint32_t kCancelStart = 0x1413;

// Host: a start under way, and the clubhouse already left.
bool gStarting = false, gLeft = false;
// Join: the round started from this clubhouse.
bool gRoundStarted = false;

MemHandle ClubFont() { return LoadFrontEndFont("arial9.ffn"); }

net::CSockComm* SockComm() { return dynamic_cast<net::CSockComm*>(net::CommObject); }

uint32_t LocalId() { return net::CommObject ? net::CommObject->GetLocalId() : 0; }

void Notice(const char* text, const char* title = nullptr) { ShowMessageDialog(text, 1, 1, title, 0, nullptr); }

std::string GolferRow(const char* name, unsigned number) {
  char row[48];
  std::snprintf(row, sizeof row, "%s (%u)", name, number);
  return row;
}

// The entry back from a row: the name before " (", the number in the brackets.
net::GolferEntry EntryOfRow(const ListEntry& row, bool onTee) {
  net::GolferEntry e;
  e.playerId = static_cast<uint32_t>(row.value);
  e.flags = onTee ? 2 : 0;
  const size_t open = row.text.rfind('(');
  std::string name = row.text.substr(0, open == std::string::npos ? row.text.size() : open);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  net::SetGolferName(e, name.c_str());
  unsigned number = 0;
  if (open != std::string::npos && std::sscanf(row.text.c_str() + open + 1, "%u", &number) == 1)
    e.golferId = static_cast<uint16_t>(number);
  return e;
}

int RowOfPlayer(TListBoxADV* list, uint32_t id) {
  for (int r = 0; r < list->Size(); ++r)
    if (static_cast<uint32_t>(list->At(r)->value) == id) return r;
  return -1;
}

void Redraw(TListBoxADV* list) {
  list->Erase(0);
  list->Draw(0);
}

// Moves a golfer's row between the lists, keeping its text and player id.
void MoveRow(TListBoxADV* from, TListBoxADV* to, uint32_t id) {
  const int r = RowOfPlayer(from, id);
  if (r < 0) return;
  from->Erase(0);
  to->Erase(0);
  to->Add(from->At(r)->text, from->At(r)->value);
  from->Remove(from->At(r));
  from->Draw(0);
  to->Draw(0);
}

void ClubhouseCancel(TGenericControlADV* = nullptr) {
  NetGameStarting = 0;
  if (ClubhouseScreen) ClubhouseScreen->LeaveClubhouse();
}

void ChatSend(TGenericControlADV* control) {
  auto* box = static_cast<TClickFocusEditBoxADV*>(control);
  if (box->Text().empty()) return;
  char line[84];
  std::snprintf(line, sizeof line, "%s: %s", NetGolferName, box->Text().c_str());
  if (net::CSockComm* comm = SockComm()) comm->SendChatText(line);
  box->Erase(0);
  box->SetText("");
  box->Draw(0);
}

void NoRowAction(TListBoxADV*, ListEntry*) {}

TNetHostADV* Host() { return dynamic_cast<TNetHostADV*>(ClubhouseScreen); }

void ProShopClicked(TListBoxADV* list, ListEntry*) {
  TNetHostADV* host = Host();
  if (!host) return;
  host->onTee->Select(-1, false);
  Redraw(host->onTee);
  if (list->inputBits & 8) host->AddSelected();
  else host->UpdateGroupButtons();
}

void TeeClicked(TListBoxADV* list, ListEntry*) {
  TNetHostADV* host = Host();
  if (!host) return;
  host->proShop->Select(-1, false);
  Redraw(host->proShop);
  if (list->inputBits & 8) host->RemoveSelected();
  else host->UpdateGroupButtons();
}

void AddClicked(TGenericControlADV*) {
  if (TNetHostADV* host = Host()) host->AddSelected();
}
void RemoveClicked(TGenericControlADV*) {
  if (TNetHostADV* host = Host()) host->RemoveSelected();
}
void TeeOffClicked(TGenericControlADV*) {
  if (TNetHostADV* host = Host()) host->TeeOff();
}

}  // namespace

void HandOverToNetRound() {
  if (const TGame* g = CurrentGame()) {
    std::string golfers;
    for (int s = 0; s < TPlayerList::kSlots; ++s)
      if (const TPlayer* p = g->players->GetPlayer(s); p && (p->flags & kGolferTakesPart))
        golfers += (golfers.empty() ? "" : ", ") + std::string(p->name, strnlen(p->name, sizeof p->name));
    char line[200];
    std::snprintf(line, sizeof line, "Net round started: mode %d on %s, %d holes from hole %d, golfers %s; slot %u plays here",
                  g->mode, g->courseName.c_str(), g->state.holeCount, g->state.firstHole + 1, golfers.c_str(),
                  g->localPlayer);
    WriteLogLine(line);
  }
  ClubhouseScreen = nullptr;
  ReplaceCurrentScreen(nullptr);
  Svc().frontEnd->SetBusy(false);
}

// ---- the common base -----------------------------------------------------------------------------------------------

TNetClubADV::TNetClubADV() : TMenuADV("bgclubho.dct", "vex.fsh", 80, 80, MenuArchive()) {
  ClubhouseScreen = this;
  if (!ClubFont()) FatalErrorBox(7);
  chat = AddListBox(125, 363, 350, 5, ClubFont(), 0x3A0, NoRowAction);
  chat->SetRowHeight(12);
  chat->SetMenuSound(0);
  const int32_t nameLength = static_cast<int32_t>(strnlen(NetGolferName, sizeof NetGolferName));
  chatBox = new TClickFocusEditBoxADV(157, 477, 350, ClubFont(), this, 78 - nameLength, chat);
  chatBox->clickHandler = ChatSend;
  AddHandler(chatBox);
}

TNetClubADV::~TNetClubADV() {
  if (ClubhouseScreen == this) ClubhouseScreen = nullptr;
}

void TNetClubADV::OnKeyDown(uint16_t code) {
  if (code == kKeyEnter && !chatBox->Text().empty()) {
    ChatSend(chatBox);
    return;
  }
  TMenuADV::OnKeyDown(code);
}

std::string TNetClubADV::DescriptionLine(int line) const {
  const uint8_t* e = CurrentSessionEntry;
  const TGame* game = CurrentGame();
  std::string text;
  switch (line) {
    case 0: {
      net::SessionEntry tour;
      if (ReadLE32(e + 4) != 0 && net::SessionManager && net::SessionManager->sessions.FindByOwner(ReadLE32(e + 4), &tour)) {
        tour.Terminate();
        text = std::string(tour.name()) + "/" +
               std::string(reinterpret_cast<const char*>(e + 8), strnlen(reinterpret_cast<const char*>(e + 8), 32));
      }
      break;
    }
    case 1: {
      text = std::string(NetLevelText(e[0x2e])) + "-" + GetNetGameType(e[0x2c]).text;
      if (const uint32_t clock = ReadLE32(e + 0x30); clock > 0) text += ", " + std::to_string(clock) + "s shot clock";
      break;
    }
    case 2: {
      if (!game) break;
      const uint32_t wind = game->GetOptionField(0);
      text = wind == 1 ? "breezy" : wind == 2 ? "strong" : "calm skies";
      if (wind != 0 && game->GetOptionField(1) == 1) text += ", gusting";
      if (wind != 0) text += " winds";
      break;
    }
    case 3: {
      if (!game) break;
      const uint32_t fairways = game->GetOptionField(2), rough = game->GetOptionField(3),
                     greens = game->GetOptionField(4);
      if (fairways == 0) text += "dry fairways, ";
      if (fairways == 2) text += "damp fairways, ";
      if (rough == 1) text += "heavy rough, ";
      if (greens == 0) text += "fast greens, ";
      if (greens == 2) text += "slow greens, ";
      if (!text.empty()) text.resize(text.size() - 2);
      break;
    }
    default: break;
  }
  return text;
}

void TNetClubADV::DrawAll(int flag) {
  TMenuADV::DrawAll(flag);
  if (ImageRecord* drawn = DrawnImage()) {
    FontSelect(fonts[0], drawn, kAlignLeft, Pixel565(kTitle), 0, 0, 0);
    for (int line = 0; line < 4; ++line) {
      const std::string text = DescriptionLine(line);
      if (!text.empty()) FontDrawText(415, 290 + 16 * line, text.c_str());
    }
  }
  AddDirtyRect(MARect{415, 290, 800, 360});
  DrawLabel(titleFonts[2], titleFonts[2], "Clubhouse", 162, 105, kTitle, kTitleShadow, nullptr, false, true);
  for (const auto& [text, x, y] : {std::tuple{"Pro Shop", 154, 155}, {"On The Tee", 415, 155}, {"Chatbox", 155, 338}})
    DrawLabel(fonts[2], fonts[2], text, x, y, kTitle, kTitleShadow, nullptr, false, true);
}

void TNetClubADV::AddChatLine(const char* text) {
  chat->Erase(0);
  chat->Add(text, 0);
  chat->Select(chat->Size() - 1, false);
  chat->Select(-1, false);
  chat->Draw(0);
}

// Messages both sides take the same way; true when `code` was one of them (its body then freed).
bool TNetClubADV::HandleSharedMessage(uint32_t code, uintptr_t value) {
  auto* body = reinterpret_cast<uint8_t*>(value);
  switch (code) {
    case net::kNotifyChatText:
      if (body) AddChatLine(reinterpret_cast<const char*>(body));
      CommMessageFree(body);
      return true;
    case net::kNotifyOperatorText:
      // The text is the session manager's copy, within its notification.
      Notice(body ? reinterpret_cast<const char*>(body) : "", "Message from Server Operator:");
      CommMessageFree(body);
      return true;
    case net::kNotifyServerMessage7:
    case net::kNotifySessionAdvert:
    case net::kNotifyPlayerAnnounce:
    case net::kNotifySessionChat:
    case net::kNotifyStatusText:
      CommMessageFree(body);
      return true;
    case net::kNotifySessionStatus:
      if (value == 3) ServerClosed();
      return true;
    default:
      return false;
  }
}

void TNetClubADV::ServerClosed() {
  Notice("Server closed connection.");
  NetGameStarting = 0;
  if (dynamic_cast<TNetHostADV*>(this) && net::SessionManager) net::SessionManager->CloseSession();
  if (net::CSockComm* comm = SockComm()) comm->Disconnect();
  ClubhouseScreen = nullptr;
  LeaveNetGames();
}

// ---- the host ------------------------------------------------------------------------------------------------------

TNetHostADV::TNetHostADV() {
  TTextButtonADV* cancel = AddTextButton("Cancel", 230, 63, {'c', kKeyEscape}, ClubhouseCancel,
                                         "Return to the Net Games screen.", 2, kTitle);
  cancel->SetColors(0xE0E0E0, 0xAAAAAA, kTitle, 0xF0F0F0);
  proShop = AddListBox(125, 184, 200, 6, ClubFont(), 0x1A0, ProShopClicked);
  onTee = AddListBox(418, 182, 200, 4, ClubFont(), 0xA4, TeeClicked);
  onTee->SetMenuSound(0);
  uint16_t number = 0;
  net::FindNetGolfer(NetGolferName, &number);
  const std::string name(NetGolferName, strnlen(NetGolferName, sizeof NetGolferName));
  // The host's own golfer is always on the tee.
  onTee->Add(GolferRow(name.c_str(), number), static_cast<int32_t>(LocalId()))->enabled = false;
  onTee->Select(-1, false);
  teeOffButton = AddPictureButton("teeoff.fsh", 511, 391, TeeOffClicked, "Tee Off.", 1);
  AddGroupButtons(AddClicked, RemoveClicked, 333, 200, &addButton, &removeButton);
  UpdateGroupButtons();
}

void TNetHostADV::UpdateGroupButtons() {
  const TGame* game = CurrentGame();
  const bool matchPlay = game && game->mode == kModeMatchPlay;
  const int teed = onTee->Size();
  const bool add = proShop->Size() > 0 && proShop->Current() && teed < 4 && !(matchPlay && teed >= 2);
  const bool remove = teed > 1 && onTee->Current() && onTee->Current()->enabled;
  for (const auto& [button, on] : {std::pair{addButton, add}, {removeButton, remove}}) {
    button->Erase(0);
    button->Enable(on ? 1 : 0, 0);
    button->Draw(0);
  }
}

void TNetHostADV::AddSelected() {
  const ListEntry* row = proShop->Current();
  const TGame* game = CurrentGame();
  if (!row || onTee->Size() >= 4 || (game && game->mode == kModeMatchPlay && onTee->Size() >= 2)) {
    UpdateGroupButtons();
    return;
  }
  const uint32_t id = static_cast<uint32_t>(row->value);
  if (net::CSockComm* comm = SockComm()) comm->SendPlayerReady(id);
  MoveRow(proShop, onTee, id);
  UpdateGroupButtons();
}

void TNetHostADV::RemoveSelected() {
  const ListEntry* row = onTee->Current();
  if (!row || !row->enabled || static_cast<uint32_t>(row->value) == LocalId()) {
    UpdateGroupButtons();
    return;
  }
  const uint32_t id = static_cast<uint32_t>(row->value);
  if (net::CSockComm* comm = SockComm()) comm->SendPlayerNotReady(id);
  MoveRow(onTee, proShop, id);
  UpdateGroupButtons();
}

void TNetHostADV::TeeOff() {
  if (onTee->Size() <= 2) {
    StartNetGame();
    return;
  }
  // Three or four: the machines connect to each other first; the group's report starts the game.
  meshWait = 1;
  meshDeadline = GetTickCount() + kMeshWaitMs;
  if (net::CSockComm* comm = SockComm()) comm->SendPeerAddresses();
}

void TNetHostADV::StartNetGame() {
  if (gStarting) return;
  gStarting = true;
  TGame* game = CurrentGame();
  const auto stop = [&](const char* text, bool cancel) {
    Svc().frontEnd->SetBusy(false);
    if (text) Notice(text);
    gStarting = false;
    if (cancel) {
      Svc().network->SetVoiceSuspended(false);
      ClubhouseCancel();
    } else {
      teeOffRedraw = 1;
    }
  };
  if (!game) return stop(nullptr, true);
  Svc().frontEnd->SetBusy(true);
  if (onTee->Size() < game->MinimumPlayers()) return stop("Not enough players selected for this game type.", false);
  std::vector<uint32_t> ids;
  int local = -1;
  for (int r = 0; r < onTee->Size(); ++r) {
    ids.push_back(static_cast<uint32_t>(onTee->At(r)->value));
    if (ids.back() == LocalId()) local = r;
  }
  if (local < 0) return stop("You have not included yourself in the game list.", false);
  Svc().network->SetVoiceSuspended(true);
  // The host's golfer (slot 0) plays in its place on the tee; the other slots wait for their machines' golfers.
  TPlayerList& players = *game->players;
  std::strncpy(players.GetPlayer(0)->name, NetGolferName, sizeof players.GetPlayer(0)->name - 1);
  if (local != 0) {
    std::vector<uint8_t> record(2000, 0);
    SerialTarget out = SerialTarget::OverMemory(record.data(), record.size());
    SerialTarget in = SerialTarget::OverMemory(record.data(), record.size());
    if (!players.GetPlayer(0)->WriteToStream(&out) || !players.GetPlayer(local)->ReadFromStream(&in))
      return stop("Player did not respond to our game startup message", true);
  }
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = players.GetPlayer(s)) {
      if (s == local) p->flags |= kGolferTakesPart;
      else p->flags &= ~kGolferTakesPart;
    }
  switch (net::HostStartNetGame(ids, kStartWaitMs)) {
    case net::StartOutcome::kStarted: break;
    case net::StartOutcome::kMiscounted:
      Svc().network->SetVoiceSuspended(false);
      return stop("Players not setup correctly. Wait and try again or exit the Clubhouse", false);
    case net::StartOutcome::kNotReady: return stop(nullptr, true);
    default: return stop("Player did not respond to our game startup message", true);
  }
  NetGameStarting = 1;
  // Golfers left in the Pro Shop are told the group has gone.
  if (net::CommObject)
    for (int r = 0; r < proShop->Size(); ++r)
      net::CommObject->SendGameWords(static_cast<uint32_t>(proShop->At(r)->value), kCancelStart, 0);
  if (net::SessionManager) net::SessionManager->CloseSession();
  Svc().sound->FadeMenuSounds();
  gStarting = false;
  HandOverToNetRound();
}

int TNetHostADV::OnIdle() {
  TMenuADV::OnIdle();
  if (meshWait && static_cast<int32_t>(GetTickCount() - meshDeadline) > 0) {
    meshWait = 0;
    Notice("Timeout waiting for players to connect to each other.");
    ClubhouseCancel();
    return 0;
  }
  if (teeOffRedraw) {
    teeOffRedraw = 0;
    teeOffButton->Erase(0);
    teeOffButton->Draw(0);
  }
  uint32_t code = 0, length = 0;
  uintptr_t value = 0;
  if (net::GetNextCommMessage(&code, &value, &length)) HandleCommMessage(code, value);
  return 1;
}

void TNetHostADV::HandleCommMessage(uint32_t code, uintptr_t value) {
  auto* body = reinterpret_cast<uint8_t*>(value);
  net::CSockComm* comm = SockComm();
  switch (code) {
    case net::kNotifyPlayerJoined: {
      if (!body) return;
      const net::GolferEntry joiner = net::GetGolfer(body);
      CommMessageFree(body);
      if (comm) comm->SendAddGolfer(joiner);
      proShop->Erase(0);
      proShop->Add(GolferRow(joiner.name, joiner.golferId), static_cast<int32_t>(joiner.playerId));
      proShop->Select(proShop->Size() - 1, false);
      proShop->Draw(0);
      UpdateGroupButtons();
      // The newcomer hears of the whole group, the Pro Shop first.
      std::vector<uint8_t> list(8 + net::kGolferEntrySize * static_cast<size_t>(proShop->Size() + onTee->Size()));
      WriteLE32(list.data(), net::kGolferList);
      uint32_t n = 0;
      for (TListBoxADV* from : {proShop, onTee})
        for (int r = 0; r < from->Size(); ++r)
          net::PutGolfer(list.data() + 8 + net::kGolferEntrySize * n++, EntryOfRow(*from->At(r), from == onTee));
      WriteLE32(list.data() + 4, n);
      if (comm) comm->SendGolferList(static_cast<int32_t>(joiner.playerId), list.data());
      return;
    }
    case net::kNotifyPlayerLeft: {
      if (!body) return;
      const net::GolferEntry left = net::GetGolfer(body);
      CommMessageFree(body);
      if (comm) comm->SendRemoveGolfer(left);
      for (TListBoxADV* list : {onTee, proShop})
        if (const int r = RowOfPlayer(list, left.playerId); r >= 0) {
          list->Erase(0);
          list->Remove(list->At(r));
          list->Draw(0);
        }
      UpdateGroupButtons();
      return;
    }
    case net::kNotifyGroupConnected:
      // The group is connected: the wait for it is over, whatever the start then does.
      meshWait = 0;
      StartNetGame();
      return;
    case net::kNotifyHostLinkLost: NetGameStarting = 0; return;
    case net::kNotifyNetworkError: Notice(body ? reinterpret_cast<const char*>(body) : ""); return;
    default: HandleSharedMessage(code, value); return;
  }
}

void TNetHostADV::LeaveClubhouse() {
  if (gLeft) return;
  gLeft = true;
  if (net::SessionManager) net::SessionManager->CloseSession();
  if (net::CSockComm* comm = SockComm()) comm->Disconnect();
  ClubhouseScreen = nullptr;
  ShowNetGamesScreen();
}

// ---- the joining side ----------------------------------------------------------------------------------------------

TNetJoinADV::TNetJoinADV() {
  TTextButtonADV* cancel = AddTextButton("Cancel", 230, 63, {'c', kKeyEscape}, ClubhouseCancel,
                                         "Return to the Net Games screen.", 2, kTitle);
  cancel->SetColors(0xFFFFFF, 0xAAAAAA, kTitle, 0xF0F0F0);
  proShop = new TListBoxADV(reinterpret_cast<uintptr_t>(this), 125, 184, 200, 6, ClubFont(), 0x3A0);
  proShop->entryHandler = NoRowAction;
  AddHandler(proShop);
  onTee = new TListBoxADV(reinterpret_cast<uintptr_t>(this), 418, 182, 200, 4, ClubFont(), 0x2A4);
  onTee->entryHandler = NoRowAction;
  AddHandler(onTee);
}

int TNetJoinADV::OnIdle() {
  TMenuADV::OnIdle();
  uint32_t code = 0, length = 0;
  uintptr_t value = 0;
  if (net::GetNextCommMessage(&code, &value, &length)) {
    HandleCommMessage(code, value);
    if (ClubhouseScreen != this) return 1;
  }
  HandleSetUpMessage();
  return 1;
}

void TNetJoinADV::HandleCommMessage(uint32_t code, uintptr_t value) {
  auto* body = reinterpret_cast<uint8_t*>(value);
  switch (code) {
    case net::kNotifyHostLinkLost:
      Notice(value == 0 ? "Could not connect to game host." : "Game host canceled the game.");
      ClubhouseCancel();
      return;
    case net::kNotifyGolferList: {
      if (!body) return;
      // The comm layer has checked the count against the frame and ended every name inside its field.
      const uint32_t count = ReadLE32(body + 4);
      proShop->Erase(0);
      onTee->Erase(0);
      proShop->Clear();
      onTee->Clear();
      for (uint32_t i = 0; i < count && i < 32; ++i) {
        const net::GolferEntry e = net::GetGolfer(body + 8 + net::kGolferEntrySize * i);
        ((e.flags & 2) ? onTee : proShop)->Add(GolferRow(e.name, e.golferId), static_cast<int32_t>(e.playerId));
      }
      CommMessageFree(body);
      proShop->Draw(0);
      onTee->Draw(0);
      return;
    }
    case net::kNotifyGolferAdded: {
      if (!body) return;
      const net::GolferEntry e = net::GetGolfer(body + 4);
      CommMessageFree(body);
      if (RowOfPlayer(proShop, e.playerId) < 0 && RowOfPlayer(onTee, e.playerId) < 0) {
        proShop->Add(GolferRow(e.name, e.golferId), static_cast<int32_t>(e.playerId));
        Redraw(proShop);
      }
      return;
    }
    case net::kNotifyGolferRemoved: {
      if (!body) return;
      const net::GolferEntry e = net::GetGolfer(body + 4);
      CommMessageFree(body);
      for (TListBoxADV* list : {proShop, onTee})
        if (const int r = RowOfPlayer(list, e.playerId); r >= 0) {
          list->Erase(0);
          list->Remove(list->At(r));
          list->Draw(0);
        }
      return;
    }
    case net::kNotifyPlayerReady: MoveRow(proShop, onTee, static_cast<uint32_t>(value)); return;
    case net::kNotifyPlayerNotReady: MoveRow(onTee, proShop, static_cast<uint32_t>(value)); return;
    case net::kNotifyNetworkError:
      Notice(body ? reinterpret_cast<const char*>(body) : "");
      ClubhouseCancel();
      return;
    default: HandleSharedMessage(code, value); return;
  }
}

void TNetJoinADV::HandleSetUpMessage() {
  net::SetUpMessage m;
  if (!net::TakeSetUpMessage(&m)) return;
  switch (m.code) {
    case 0x71a:
      Svc().network->SetVoiceSuspended(true);
      NetGameStarting = 1;
      net::AnswerPlayerInfoRequest(m.sender);
      break;
    case 0x704: {
      Svc().network->SetVoiceSuspended(true);
      TGame* game = nullptr;
      bool ok = net::ApplyGameSetUp(m) && (game = CurrentGame()) != nullptr &&
                game->SetCurrentCourseByName(game->courseName.c_str()) == 1;
      if (ok) {
        // The machines play in the order of the group on the tee, as the host lists it.
        for (int r = 0; r < onTee->Size() && r < TPlayerList::kSlots; ++r)
          game->players->GetPlayer(r)->machineId = static_cast<uint32_t>(onTee->At(r)->value);
        game->SetCurrentPlayer(0);
        Svc().frontEnd->SetBusy(true);
        ok = net::AwaitStartRequest(m.sender, kJoinStartWaitMs);
      }
      net::ReleaseSetUpMessage(&m);
      Svc().frontEnd->SetBusy(false);
      if (!ok) {
        Notice("The Game Setup Failed");
        Svc().network->SetVoiceSuspended(false);
        ClubhouseCancel();
        return;
      }
      gRoundStarted = true;
      Svc().sound->FadeMenuSounds();
      HandOverToNetRound();
      return;
    }
    case kCancelStart:
      Notice("The group on the tee has started their round.");
      net::ReleaseSetUpMessage(&m);
      ClubhouseCancel();
      return;
    default: break;
  }
  net::ReleaseSetUpMessage(&m);
}

void TNetJoinADV::LeaveClubhouse() {
  if (net::CSockComm* comm = SockComm()) comm->Disconnect();
  if (gRoundStarted) Svc().sound->StartClubhouseSounds();
  ClubhouseScreen = nullptr;
  ShowNetGamesScreen();
}

// ---- entry ---------------------------------------------------------------------------------------------------------

void ShowNetHostScreen() {
  ReplaceCurrentScreen(nullptr);
  gStarting = gLeft = false;
  ReplaceCurrentScreen(new TNetHostADV());
  net::NetPlayStage = 2;
  WriteLogLine("Clubhouse opened: hosting");
}

void ShowNetJoinScreen() {
  ReplaceCurrentScreen(nullptr);
  gRoundStarted = false;
  ReplaceCurrentScreen(new TNetJoinADV());
  net::NetPlayStage = 3;
  WriteLogLine("Clubhouse opened: joined");
}
