// The network clubhouse: the waiting room of one group. The machine that created the group edits who is on the
// tee and tees off; the others watch the group form. Tee Off runs the start exchange that hands every machine the
// same game; every failure and Cancel lead back to the net games lobby.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/listbox.h"
#include "frontend/menu.h"

class TClickFocusEditBoxADV;
class TGraphicButtonADV;

class TNetClubADV : public TMenuADV {
 public:
  TNetClubADV();
  ~TNetClubADV() override;
  void OnKeyDown(uint16_t code) override;
  void DrawAll(int flag) override;
  virtual void LeaveClubhouse() = 0;
  // One comm message (the body is freed here); the side's own first, then the ones both sides share.
  virtual void HandleCommMessage(uint32_t code, uintptr_t value) = 0;
  void AddChatLine(const char* text);
  // The four lines that describe the game.
  std::string DescriptionLine(int line) const;

  TListBoxADV *chat = nullptr, *proShop = nullptr, *onTee = nullptr;
  TClickFocusEditBoxADV* chatBox = nullptr;

 protected:
  bool HandleSharedMessage(uint32_t code, uintptr_t value);
  void ServerClosed();
};

class TNetHostADV : public TNetClubADV {
 public:
  TNetHostADV();
  int OnIdle() override;
  void LeaveClubhouse() override;
  void HandleCommMessage(uint32_t code, uintptr_t value) override;
  void UpdateGroupButtons();
  void AddSelected();
  void RemoveSelected();
  void TeeOff();
  void StartNetGame();

  uint32_t meshWait = 0, meshDeadline = 0, teeOffRedraw = 0;
  TGraphicButtonADV *teeOffButton = nullptr, *addButton = nullptr, *removeButton = nullptr;
};

class TNetJoinADV : public TNetClubADV {
 public:
  TNetJoinADV();
  int OnIdle() override;
  void LeaveClubhouse() override;
  void HandleCommMessage(uint32_t code, uintptr_t value) override;
  // One set-up message of the host (game set-up, golfer request, cancel).
  void HandleSetUpMessage();
};

extern TNetClubADV* ClubhouseScreen;
// Set while a start is under way (cleared by Cancel, by the host link's notice and by a closed server).
extern uint32_t NetGameStarting;
// The lobby's copy of the group's session entry (204 bytes), read for the game's description.
extern uint8_t CurrentSessionEntry[204];

// The start exchange is done: the log line of the round, the screen gone; the hole-start message begins the round.
void HandOverToNetRound();
void ShowNetHostScreen();
void ShowNetJoinScreen();
