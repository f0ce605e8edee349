#include "roundui/chatbox.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "framework/core/utils.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "mmsystem.h"
#include "platformlib/gfx/windowdesc.h"
#include "roundui/gameui.h"
#include "roundui/inroundbutton.h"
#include "roundui/shotclock.h"
#include "roundui/targeting.h"
#include "roundui/uitext.h"

namespace {

TGameChat* gChat = nullptr;

int32_t Margin() {
  static constexpr int32_t kMargins[5] = {8, 10, 10, 15, 15};
  return kMargins[std::clamp(static_cast<int>(Facts().sizeSetting), 0, 4)];
}

int32_t LineHeight() {
  if (!StandardFonts[0]) return 10;
  FontSelect(StandardFonts[0], DrawnImage(), 0, 0, 0, 0, 0);
  return FontHeight();
}

// Darkens a rectangle of the screen under a panel of text.
void Darken(const MARect& r) {
  ImageRecord* screen = DrawnImage();
  if (!screen || !screen->window || screen->window->depth != 16) return;
  WindowDesc* w = screen->window;
  for (int32_t y = std::max(r.top, 0); y < std::min(r.bottom, w->height); ++y) {
    auto* px = reinterpret_cast<uint16_t*>(w->pixels + static_cast<size_t>(y) * w->rowbytes);
    for (int32_t x = std::max(r.left, 0); x < std::min(r.right, w->width); ++x)
      px[x] = static_cast<uint16_t>((px[x] >> 1) & 0x7BEF);
  }
}

// Lines of `text` that fit `width` pixels in the selected font, broken at blanks where one is near.
std::vector<std::string> Wrap(const std::string& text, int32_t width) {
  std::vector<std::string> rows;
  std::string rest = text;
  while (!rest.empty()) {
    size_t fit = rest.size();
    while (fit > 1 && FontStringWidth(rest.c_str(), static_cast<int32_t>(fit)) > width) --fit;
    if (fit < rest.size()) {
      const size_t blank = rest.rfind(' ', fit);
      if (blank != std::string::npos && blank > 0) fit = blank;
    }
    rows.push_back(rest.substr(0, fit));
    rest.erase(0, fit);
    while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  }
  return rows;
}

}  // namespace

TGameChat* ChatBox() { return gChat; }

bool ChatBoxWanted(const TGame* g) { return g && g->IsNetworkGame() && g->players && g->players->CountActivePlayers() > 1; }

namespace {

// The targeting arc, when it is shown, goes while the box first appears or last goes, and comes back after.
TargetingArcEventHandler* ShownArc() {
  TargetingArcEventHandler* arc = CurrentTargetingHandler;
  return arc && arc->drawn ? arc : nullptr;
}

}  // namespace

int32_t ChatHistoryLeft(int32_t screenWidth) { return std::max(static_cast<int32_t>(screenWidth * 0.53), ShotClockReach()); }

TGameChat* CreateChatBox() {
  if (gChat) return gChat;
  return new (std::nothrow) TGameChat;
}

TGameChat::TGameChat() : MA_EventHandler(kHandlerShown | kHandlerEnabled, 0, 0, 0, 0) {
  gChat = this;
  const int32_t w = Facts().screenWidth, h = Facts().screenHeight, m = Margin(), line = LineHeight();
  history = MARect{ChatHistoryLeft(w), m, w - m, line * 5 + m + 5};
  editBox = MARect{m + 100, h - m - line - 7, m + 100 + static_cast<int32_t>(std::lround(w * 0.45)), h - m};
  expiry = timeGetTime() + kLineLife;
}

TGameChat::~TGameChat() {
  if (gChat == this) gChat = nullptr;
  if (InRound().chat == this) InRound().chat = nullptr;
}

int TGameChat::WrappedRows() const {
  if (!StandardFonts[0]) return static_cast<int>(lines.size());
  FontSelect(StandardFonts[0], DrawnImage(), 0, 0, 0, 0, 0);
  int rows = 0;
  for (const std::string& l : lines) rows += static_cast<int>(Wrap(l, history.right - history.left - 10).size());
  return rows;
}

void TGameChat::AddLine(const std::string& line) {
  if (lines.size() >= kLines) DropOldest("pushed out");
  TargetingArcEventHandler* arc = lines.empty() ? ShownArc() : nullptr;
  if (arc) arc->Erase(0);
  lines.push_back(line.substr(0, kChatLineLimit));
  WriteLogLine(("Chat line: " + lines.back()).c_str());
  DrawHistory();
  if (lines.size() == 1) {
    if (arc) arc->Draw(0);
    expiry = timeGetTime() + kLineLife;
  }
}

void TGameChat::DropOldest(const char* why) {
  WriteLogLine(("Chat line " + std::string(why) + ": " + lines.front()).c_str());
  lines.erase(lines.begin());
}

void TGameChat::DrawHistory() {
  if (historyDrawn) EraseHistory();
  // A shot clock made after the box moves the column right of it.
  history.left = ChatHistoryLeft(Facts().screenWidth);
  // Long lines wrap: the oldest go until the text fits four rows.
  while (lines.size() > 1 && WrappedRows() > static_cast<int>(kLines)) DropOldest("pushed out");
  if (lines.empty() || !StandardFonts[0]) return;
  ImageRecord* screen = DrawnImage();
  if (!screen || !screen->window) return;
  Darken(history);
  SelectRoundFont(StandardFonts[0], screen, kAlignLeft, 0xFFFFFF, 0);
  const int32_t line = FontHeight(), ascent = SelectedFontAscent();
  int32_t y = history.top + 5;
  for (const std::string& l : lines)
    for (const std::string& row : Wrap(l, history.right - history.left - 10)) {
      FontDrawText(history.left + 5, y + ascent, row.c_str());
      y += line;
    }
  MarkRect16(Svc().scene->GolfViewOverlay(), history, false);
  AddDirtyRect(history);
  historyDrawn = true;
}

void TGameChat::EraseHistory() {
  if (!historyDrawn) return;
  RestoreViewRect(history);
  historyDrawn = false;
}

void TGameChat::DrawEdit() {
  if (!GameUIManager().chatAllowed || !StandardFonts[0]) return;
  if (editDrawn) EraseEdit();
  ImageRecord* screen = DrawnImage();
  if (!screen || !screen->window) return;
  Darken(editBox);
  SelectRoundFont(StandardFonts[0], screen, kAlignLeft, 0xFFFF50, 0);
  const std::string shown = edit + "_";
  FontDrawText(editBox.left + 4, editBox.top + 3 + SelectedFontAscent(), shown.c_str());
  MarkRect16(Svc().scene->GolfViewOverlay(), editBox, false);
  AddDirtyRect(editBox);
  editDrawn = true;
}

void TGameChat::EraseEdit() {
  if (!editDrawn) return;
  RestoreViewRect(editBox);
  editDrawn = false;
}

void TGameChat::StartEditing() {
  editing = true;
  DrawEdit();
}

void TGameChat::StopEditing() {
  editing = false;
  EraseEdit();
}

void TGameChat::Send() {
  StopEditing();
  if (edit.empty()) return;
  uint8_t record[kChatRecordBytes];
  WriteChatRecord(edit, "GOLFER", record);
  Svc().network->SendBlock(-1, kGolfChat, record, sizeof record);
  edit.clear();
}

int TGameChat::OnChar(uint16_t code) {
  if (!GameUIManager().chatAllowed) return 0;
  if (editing) {
    if (code == 27 || code == kKeyEnter) {
      Send();
    } else if (code == 8) {
      if (!edit.empty()) edit.pop_back();
      DrawEdit();
    } else if (code >= 32 && code < 127 && edit.size() < kEditLimit) {
      edit.push_back(static_cast<char>(code));
      DrawEdit();
    }
    return 1;
  }
  if (code < 33 || code > 126) return 0;
  StartEditing();
  edit.push_back(static_cast<char>(code));
  DrawEdit();
  return 1;
}

int TGameChat::OnIdle() {
  const uint32_t now = timeGetTime();
  if (!(flags & kHandlerEnabled) || !GameUIManager().chatAllowed) {
    expiry = now + kLineLife;
    return 1;
  }
  if (static_cast<int32_t>(now - expiry) > 0) {
    expiry = now + kLineLife;
    if (!lines.empty()) {
      DropOldest("aged");
      if (lines.empty()) {
        TargetingArcEventHandler* arc = ShownArc();
        if (arc) arc->Erase(0);
        EraseHistory();
        if (arc) arc->Draw(0);
      } else {
        DrawHistory();
      }
    }
  }
  // The handlers after it in the round's list (the shot clock, the targeting arc) get their pass too.
  return 1;
}

void TGameChat::Draw(int) {
  if (!GameUIManager().chatAllowed) return;
  if (!lines.empty()) DrawHistory();
  if (editing) DrawEdit();
}

void TGameChat::Erase(int) {
  EraseHistory();
  EraseEdit();
}

void TGameChat::Suspend() {
  if (editing) wasEditing = true;
  StopEditing();
  EraseHistory();
}

void TGameChat::Resume() {
  if (!wasEditing) return;
  wasEditing = false;
  StartEditing();
}
