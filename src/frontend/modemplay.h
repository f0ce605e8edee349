// The modem play screen: two golfers over one telephone call. The host picks the game and waits for the call; the
// other dials it from the phone book. Once the call is up the host greets the caller with the level, the caller
// answers with its golfer's name, and the network start exchange hands the host's game to the caller. A failed
// call or a lost link brings the idle screen back; a modem that cannot start leads to the main menu.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "frontend/menu.h"
#include "frontend/textbutton.h"

namespace net {
struct SetUpMessage;
}

// ---- the phone book ("PHONE.LST" of the data folder) ---------------------------------------------------------------

struct PhoneEntry {
  std::string name, number;
};
constexpr int kPhoneBookMax = 99;
constexpr size_t kPhoneNameField = 18, kPhoneNumberField = 22;

// The records of a phone book file: none unless its format word is right, only those it holds (99 at most), each
// text cut at its field.
std::vector<PhoneEntry> ReadPhoneBook(const uint8_t* data, size_t size);
std::vector<uint8_t> WritePhoneBook(const std::vector<PhoneEntry>& book);
std::vector<PhoneEntry> LoadPhoneList();
// Written whole through a temporary file: a failed save keeps the previous book. 0 or the error.
int SavePhoneList(const std::vector<PhoneEntry>& book);
// Where a new name goes: before the first entry whose upper-cased name is not less than it.
size_t PhoneInsertPlace(const std::vector<PhoneEntry>& book, const std::string& name);

// "text (number)".
std::string FormatNameAndCount(const char* text, int number);

// ---- the screen ----------------------------------------------------------------------------------------------------

// The number box: digits, '-', and the editing keys.
class TPhoneNumberBoxADV : public TTextEditBoxADV {
 public:
  using TTextEditBoxADV::TTextEditBoxADV;
  int OnChar(uint16_t code) override;
};

class TModemPlayADV : public TMenuADV {
 public:
  TModemPlayADV();
  ~TModemPlayADV() override;  // keeps the phone book
  int OnIdle() override;
  void DrawAll(int flag) override;

  enum Status {
    kNotSet, kWaiting, kDialing, kConnected, kTalkingToHost, kWaitingForStart, kStarting, kCanceling,
    kWaitingForCall, kCallAnswered, kInitializing, kLostConnection
  };
  static const char* StatusText(int status);
  void SetStatus(int status, bool update);

  // The phone book's handlers.
  void ShowEntry();
  void AddEntry();
  void RemoveEntry();
  void RebuildList(int current);

  // The call.
  void Host();
  // Hosting the game the dialog chose: its course made current first (and its data found), then the wait.
  void StartHosting(int type, int chosenLevel, int chosenCourse);
  void Dial();
  void Cancel();
  void Reset();
  void Leave();
  void LinkLost();  // back to the idle screen, saying why
  // One message of the comm queue (call results, status texts, the greeting and the start exchange).
  void HandleMessage();

  int gameType = 1, level = 0, course = 0;
  int status = kNotSet;
  bool busy = false, hosting = false, started = false;
  bool callUp = false;        // the host's call is connected
  uint32_t levelSentAt = 0;   // when the host last sent its level (again every 2 s until the caller greets)
  // The caller's wait for the host's game, from the golfer request. Armed apart from its start time: any tick
  // value may start it, and the time waited is always taken from the tick it was armed at.
  bool awaitingGame = false;
  uint32_t golferAskedAt = 0;
  std::string peerName;
  std::vector<PhoneEntry> book;
  TListBoxADV* phoneList = nullptr;
  TTextEditBoxADV *nameBox = nullptr, *numberBox = nullptr;
  TTextButtonADV* cancelButton = nullptr;
  TGraphicButtonADV *hostButton = nullptr, *dialButton = nullptr, *addButton = nullptr, *removeButton = nullptr;

 private:
  void ShowBusyButtons(bool calling);
  void CallResult(int result);
  void SendLevel();
  void Greeted(uint8_t* message);
  void StartHostedGame();
  void JoinHostedGame(const net::SetUpMessage& m);
  std::thread call_;
};

extern TModemPlayADV* ModemScreen;

// The host's game: type (0-10), level and course. 1 on Ok.
int ShowCreateModemGameDialog(int* gameType, int* level, int* course);

// The net connection screen's Modem button: the modem checked (one usable line is chosen by itself), then the
// screen.
void ShowModemScreen();
