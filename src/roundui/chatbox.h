// The chat box of a network round: the last four lines received, at the top right over the view, each aging out
// after 20 seconds; a printable key opens an edit line at the bottom, and Return or Escape sends what was typed to
// the other machines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/ui/eventhandler.h"

class TGameChat : public MA_EventHandler {
 public:
  static constexpr size_t kLines = 4;
  static constexpr size_t kEditLimit = 78;
  static constexpr uint32_t kLineLife = 20000;

  TGameChat();
  ~TGameChat() override;

  void AddLine(const std::string& line);
  bool IsEditing() const { return editing; }
  // Editing stops (and the boxes go) while the round needs the screen; a resume opens the edit line again.
  void Suspend();
  void Resume();

  int OnChar(uint16_t code) override;
  int OnIdle() override;
  void Draw(int redrawNow) override;
  void Erase(int redrawNow) override;

  // The rows the lines take when wrapped to the box (tests).
  int WrappedRows() const;

  uint32_t expiry = 0;
  std::vector<std::string> lines;
  bool editing = false, wasEditing = false;
  std::string edit;
  MARect history{}, editBox{};
  bool historyDrawn = false, editDrawn = false;

 private:
  void DropOldest(const char* why);
  void DrawHistory();
  void EraseHistory();
  void DrawEdit();
  void EraseEdit();
  void StartEditing();
  void StopEditing();
  void Send();
};

class TGame;
// The chat box (null outside network rounds of more than one golfer); made by the in-round manager.
TGameChat* ChatBox();
// Where the column of received lines begins on a screen this wide: right of the shot clock when there is one.
int32_t ChatHistoryLeft(int32_t screenWidth);
bool ChatBoxWanted(const TGame* game);
TGameChat* CreateChatBox();
