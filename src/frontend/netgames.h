// The net games lobby: the players in the room of the chosen course, the games and tournaments formed there, the
// lobby chat, and the session manager's messages that keep them current.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "frontend/listbox.h"
#include "frontend/lobbydlg.h"
#include "frontend/menu.h"
#include "frontend/textbutton.h"

#include "net/sessmgr.h"

// The games a lobby offers: the text, the game mode (a tournament is the online tournament on the online
// service), holes and first hole (-1: the mode's own).
struct NetGameType {
  const char* text;
  int mode;
  int holes, firstHole;
};
constexpr int kNetGameTypes = 17;
const NetGameType& GetNetGameType(int index);  // an index out of range gives row 1
const char* NetLevelText(int level);
// The game type the current game was made for (1 for a game of none of them).
int GameTypeOfCurrentGame();
// This machine's net golfer alone in slot 0 of the current game, at the level.
void SetUpNetGolfer(int golferLevel);
// The current game made anew in the mode for a game type (its holes from the type's row), with the net golfer.
bool CreateNetGame(int mode, int gameType, int golferLevel);
// The course a host chose made current, its data asked for (its disc prompted); when it cannot be had, the
// `previous` course is current again and false comes back.
bool MakeChosenCourseCurrent(int chosen, int previous);

// The line of a game, tournament or group: "name <level-type[-Ns clock]>", its name shortened with "..." until
// the line is narrower than `fit` pixels in the font (never below four characters of the name).
std::string FormatGameLine(MemHandle font, const char* name, int level, int gameType, uint32_t clockSeconds,
                           int32_t fit = 276);

// The chat line: takes the focus with the first key or click and refuses characters that would make the sent
// line ("name: text") wider than the chat list it goes to.
class TClickFocusEditBoxADV : public TTextEditBoxADV {
 public:
  TClickFocusEditBoxADV(int32_t x, int32_t y, int32_t width, MemHandle font, TMA_EventHandlerList* screen,
                        int32_t maxLength, TListBoxADV* chatList);
  int OnChar(uint16_t code) override;
  void Erase(int flag) override;

 private:
  TMA_EventHandlerList* screen_;
  TListBoxADV* chat_;
};

class TNetGamesADV : public TMenuADV {
 public:
  explicit TNetGamesADV(int commType);
  ~TNetGamesADV() override;
  int OnIdle() override;
  void DrawAll(int flag) override;
  void OnKeyDown(uint16_t code) override;
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override;
  // The course drop-down: opened and closed by the course button; a chosen course becomes the lobby's room.
  void OpenCourseList();
  void CloseCourseList();
  void OnCourseChosen();
  // One comm message of the session manager (the body is freed here).
  void HandleCommMessage(uint32_t code, uintptr_t value, uint32_t length);
  void RebuildGamesList();
  void EnterCourseRoom();
  void UpdateActionButton();
  // The action button or a double click: create, add a group to a tournament, or join.
  void OnAction();
  void ToggleGroups(int32_t tour);
  void CreateNewGame();
  void AddGroup(uint32_t tour);
  void JoinGame(uint32_t id);
  // The current game made for the chosen game type on the lobby's course, this machine's golfer in slot 0; false
  // when the course cannot be made current.
  bool PrepareNetGame();
  void SetUpLocalGolfer(int golferLevel);

  int commType;
  std::string gameName;
  int fastPlay = 1;
  int gameType = 1, level = 0;
  uint32_t shotClockChoice = 0;
  std::string courseName, courseFolder;
  TListBoxADV *games = nullptr, *players = nullptr, *chat = nullptr;
  TClickFocusEditBoxADV* chatBox = nullptr;
  TTextButtonADV *actionButton = nullptr, *courseButton = nullptr;
  TListBoxADV* courseList = nullptr;
  int courseIndex = 0;

 private:
  // Rows of the games list: a game's value is its id, a tournament's and its "New Group" row's the tournament's id
  // with a kind bit.
  static int32_t RowValue(uint32_t id);
  int RowOfValue(int32_t value);
  void RemoveRowOfValue(int32_t value);
  bool AddSessionRow(net::SessionEntry& entry);
  void ApplyAdvert(net::SessionEntry& entry, bool added);
  void RedrawList(TListBoxADV* list);
  net::SessionEntry HostedEntry(const char* name, uint32_t owner, const uint8_t* address);
  // The game prepared, hosted and listed (a group when `owner` names its tournament), then the host's clubhouse.
  void HostSession(const char* name, uint32_t owner, const char* lobbyName);
  std::set<int32_t> collapsed_;  // tournaments whose groups are hidden
  ValidationResult validated_;   // the last tournament login's answer
};
extern TNetGamesADV* NetGamesScreen;

// From the net connection screen once the comm layer is up (0 the online service, 1 or 2 a LAN).
void EnterNetGames(int commType);
// The connect status dialog over the lobby (at most one), and its end: the session's status (0 connected: the
// lobby enters its room; 1 not reached: a notice, then the lobby is left; 5 closed) or Cancel (the lobby is left).
constexpr int kConnectCancelled = -1;
extern class CConnectStatusDialog* ConnectStatus;
void CloseStatusDialog();
void EndConnectStatus(int status);
void ShowNetGamesScreen();
// Cancel, a fatal status or a lost connection: the comm layer goes and the main menu comes back.
void LeaveNetGames();
