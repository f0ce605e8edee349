// The net games lobby's own dialog: a new game or tournament named, with its type, level, shot clock and fast
// play.
#pragma once

#include <string>
#include <vector>

#include "frontend/clubs.h"
#include "frontend/dialog.h"

class CNewGameDialog : public CDialogADV {
 public:
  // `online`: the game may be a tournament of the online service (the title and the empty-name notice say so).
  CNewGameDialog(bool online, int gameType, int level);
  void DrawAll(int flag) override;
  // Tournament keeps Fast Play on and locked; any other mode frees it with its value.
  void FollowMode();

  enum Row { kCancel, kOk, kMode, kLevel, kShotClock, kFastPlay };
  CDialogTxtBtn* buttons[2] = {};
  CDialogSelectTxtBtn* choices[6] = {};
  TTextEditBoxADV* name = nullptr;
  bool online;
};

struct NewGameChoice {
  std::string name;
  int gameType = 1, level = 0, shotClock = 0, fastPlay = 1;
};
// 1 with the choices on Ok, 0 on Cancel or Escape.
int ShowNewGameDialog(bool online, NewGameChoice* choice);

// The tournament login: the account name and password (at most 15 characters each; the password shown as '*').
class TGrabFocusEditBox : public TTextEditBoxADV {
 public:
  TGrabFocusEditBox(int32_t x, int32_t y, int32_t width, MemHandle font, CDialogADV* owner, bool hidden);
  void Draw(int flag) override;
  void SetFocus(int on) override;
  bool hidden;
};

class CLoginDialog : public CDialogADV {
 public:
  CLoginDialog();
  void DrawAll(int flag) override;
  CDialogTxtBtn* buttons[2] = {};
  TGrabFocusEditBox *account = nullptr, *password = nullptr;
};

// The server's answer to a join of a tournament group (0x240a, 0x240b): accepted, the player's tournament number,
// the tournament's value and the earlier-round scores (at most five are kept); refused, its status word and text.
struct ValidationResult {
  bool accepted = false;
  uint32_t status = 0, tournamentNumber = 0, value = 0;
  std::vector<uint32_t> scores;
  std::string text;
};
// -1 when the message is not a join reply or does not fit its length, else 1 accepted, 0 refused.
int ReadJoinReply(uint32_t code, const uint8_t* body, uint32_t length, ValidationResult* out);
// After a refusal: true when the player is asked to log in again, false when the login is abandoned.
bool LoginAgainAfter(uint32_t status);
// The whole login of a tournament entry (204 bytes): 1 accepted (the account name is then the local player's
// name), 0 cancelled or refused for good, 2 no answer within 45 s.
int TournamentLogin(const uint8_t* tournamentEntry, ValidationResult* result);

// A line of text on a darkened panel in the middle of the lobby, keeping what lay under it.
class CStatusDialog : public CDialogADV {
 public:
  explicit CStatusDialog(const char* text);
  void DrawAll(int flag) override;
  std::string text;
};

// While the online server's connection is made: the session's status closes it (and the lobby then enters its
// room, or leaves when the server cannot be reached); Cancel leaves the lobby. It takes the comm messages meanwhile.
class CConnectStatusDialog : public CStatusDialog {
 public:
  CConnectStatusDialog();
  int OnIdle() override;
  CDialogTxtBtn* cancel = nullptr;
};

