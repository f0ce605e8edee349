#include "roundui/clubbar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "framework/core/bigfileio.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "framework/ui/inputstate.h"
#include "golf/game.h"
#include "golf/golfmsg.h"
#include "golf/launch.h"
#include "golf/player.h"
#include "platformlib/shapes/shapes.h"
#include "roundui/clubs.h"
#include "roundui/gameui.h"
#include "roundui/roundturn.h"
#include "roundui/uishapes.h"

namespace {

constexpr const char* kNames[21] = {"D",  "D2", "s3w", "3w", "1i", "2i", "5w", "3i", "4i", "7w", "5i",
                                    "9w", "6i", "7i",  "8i", "9i", "pw", "aw", "sw", "lw", "P"};
const std::vector<int> kGroups[kClubGroups] = {
    {20}, {16, 17, 18, 19}, {4, 5, 7, 8, 10, 12, 13, 14, 15}, {0, 1, 2, 3, 6, 9, 11}};
constexpr int kPuttScale[5] = {4, 8, 20, 40, 80};
// Group buttons by frame of the bar's shape: 18 putter, 19 wedges, 20 irons, 21 woods; 14-17 their lit faces.
constexpr int kGroupFrame = 18, kGroupLitFrame = 14;
constexpr int kStepBack = 8, kStepOn = 11;
// The pop-up box's requested size by screen size.
constexpr int32_t kBoxSize[5][2] = {{54, 150}, {67, 190}, {67, 190}, {97, 290}, {97, 290}};

const uint8_t* BarFrame(int n) { return GameUIFrame(kShapeClubSelect, n); }


playerInfo_s* Golfer() { return ActiveGolferRecord; }

// The box of nine pieces: corners 0-3, top 4, right 5, left 6, bottom 7, centre 8.
struct CustBox {
  std::vector<uint8_t> file;
  MARect rect{};
  const uint8_t* Piece(int n) const { return file.empty() ? nullptr : locateshapenum(file.data(), n); }
  bool Load() {
    if (!file.empty()) return true;
    std::vector<uint8_t> bytes;
    if (!BigFileLoadBytes(GameUIFolder(), "gridwind.fsh", bytes) || checkshapefile(bytes.data(), bytes.size()) != 1)
      return false;
    if (shapecount(bytes.data()) < 9) return false;
    file = std::move(bytes);
    return true;
  }
  // The requested rectangle rounded to whole tiles, keeping its right and bottom edges.
  void Layout(int32_t right, int32_t bottom, int32_t width, int32_t height) {
    if (!Load()) return;
    const int32_t l = shapewidth(Piece(6)), r = shapewidth(Piece(5)), t = shapeheight(Piece(4)), b = shapeheight(Piece(7));
    const int32_t tw = std::max(1, shapewidth(Piece(4))), th = std::max(1, shapeheight(Piece(6)));
    const int32_t nx = std::max(0, (width - l - r) / tw), ny = std::max(0, (height - t - b) / th);
    rect = MARect{right - (l + r + nx * tw), bottom - (t + b + ny * th), right, bottom};
  }
  void Draw() const {
    if (file.empty() || rect.right <= rect.left) return;
    const int32_t l = shapewidth(Piece(6)), r = shapewidth(Piece(5)), t = shapeheight(Piece(4)), b = shapeheight(Piece(7));
    const int32_t tw = std::max(1, shapewidth(Piece(4))), th = std::max(1, shapeheight(Piece(6)));
    for (int32_t y = rect.top + t; y < rect.bottom - b; y += th)
      for (int32_t x = rect.left + l; x < rect.right - r; x += tw) DrawUIFrame(Piece(8), x, y);
    for (int32_t x = rect.left + l; x < rect.right - r; x += tw) {
      DrawUIFrame(Piece(4), x, rect.top);
      DrawUIFrame(Piece(7), x, rect.bottom - b);
    }
    for (int32_t y = rect.top + t; y < rect.bottom - b; y += th) {
      DrawUIFrame(Piece(6), rect.left, y);
      DrawUIFrame(Piece(5), rect.right - r, y);
    }
    DrawUIFrame(Piece(0), rect.left, rect.top);
    DrawUIFrame(Piece(1), rect.right - r, rect.top);
    DrawUIFrame(Piece(2), rect.left, rect.bottom - b);
    DrawUIFrame(Piece(3), rect.right - r, rect.bottom - b);
  }
};

class TClubUI;
TClubUI* gBar = nullptr;

std::vector<TListBoxADV*>& RetiredLists() {
  static std::vector<TListBoxADV*> lists;
  return lists;
}

// A club button: a group button (18-21) of the open pop-up or a step arrow (8, 11) at the caption's edge.
class TClubBtn : public TInRoundButton {
 public:
  explicit TClubBtn(int code_) : TInRoundButton(0), code(code_) {}
  bool AcceptsInput() override;
  const uint8_t* GetHitShape(int) override { return BarFrame(Face()); }
  int HitTest(int16_t x, int16_t y) override;
  void Draw(int) override {
    if (!(flags & kHandlerShown) || (IsGroup() && !ClubPopupOpen())) return;
    const uint8_t* f = BarFrame(Face());
    SetMaskShape(f);
    DrawUIFrame(f, IsGroup() ? left : placeX, IsGroup() ? top : placeY);
  }
  void OnClick() override;
  bool IsGroup() const { return code >= 18 && code <= 21; }
  int Group() const { return code - 18; }
  int Face() const {
    if (!IsGroup()) return code + (pointerOver && Input().buttonHeld ? 1 : 0);
    return (lit ? kGroupLitFrame : kGroupFrame) + Group();
  }
  // Places the button: a group button at the top-left corner given, a step arrow with its hot spot on the anchor.
  void Place(int32_t x, int32_t y) {
    const uint8_t* f = BarFrame(Face());
    const MARect r = IsGroup() ? MARect{x, y, x + (f ? shapewidth(f) : 0), y + (f ? shapeheight(f) : 0)} : FrameRectAt(f, x, y);
    placeX = x, placeY = y;
    left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  }
  int code;
  bool lit = false;
  int32_t placeX = 0, placeY = 0;
};

// The handle: faces 2-4 closed, 5-7 open, by focus.
class TClubPopup : public TPopupButton {
 public:
  TClubPopup() : TPopupButton(2) {}
  bool AcceptsInput() override;
  const uint8_t* GetHitShape(int) override {
    faceState = HasFocus() ? (Input().buttonHeld && pointerOver ? 2 : 1) : 0;
    const int frame = (open ? 5 : 2) + faceState;
    text = frame <= 4 ? "Open Club Selection" : "Close Club Selection";
    return BarFrame(frame);
  }
  void Draw(int) override {}
  void Erase(int) override {}
  void OnClick() override { ToggleClubPopup(); }
};

class TClubUI : public TEventHandlerGroup {
 public:
  TClubUI(int32_t ax, int32_t ay) : anchorX(ax), anchorY(ay) {}
  ~TClubUI() override {
    if (gBar == this) gBar = nullptr;
    CloseList();
    DeleteRetiredLists();
  }
  int OnIdle() override {
    DeleteRetiredLists();
    if (list_) list_->OnIdle();
    return TEventHandlerGroup::OnIdle();
  }
  int Build();
  int OnPointerDown(int16_t x, int16_t y, uint8_t buttons) override {
    if (list_ && MA_EventHandler::IsShownAndEnabled() && PointInRect(&ListRect(), x, y)) return list_->OnPointerDown(x, y, buttons);
    if (TEventHandlerGroup::OnPointerDown(x, y, buttons)) return 1;
    if (Usable() && handle->open && !PointInRect(&box.rect, x, y)) {
      ToggleClubPopup();
      return 1;
    }
    const MARect caption{fieldLeft, fieldTop, fieldRight, fieldBottom};
    if (Usable() && PointInRect(&caption, x, y)) return 1;
    return 0;
  }
  int OnPointerUp(int16_t x, int16_t y, uint8_t buttons) override {
    if (list_ && PointInRect(&ListRect(), x, y)) return list_->OnPointerUp(x, y, buttons);
    const MARect caption{fieldLeft, fieldTop, fieldRight, fieldBottom};
    if (Usable() && PointInRect(&caption, x, y)) {
      ToggleClubPopup();
      return 1;
    }
    return TEventHandlerGroup::OnPointerUp(x, y, buttons);
  }
  int OnChar(uint16_t code) override {
    if (list_ && list_->OnChar(code)) return 1;
    return TEventHandlerGroup::OnChar(code);
  }
  void Draw(int redrawNow) override {
    if (!(flags & kHandlerShown)) return;
    if (handle->open) box.Draw();
    DrawUIFrame(BarFrame(1), anchorX, anchorY);
    list.DrawAll(redrawNow);
    DrawUIFrame(handle->GetHitShape(0), anchorX, anchorY);
    DrawCaption();
    if (list_) list_->Draw(redrawNow);
  }
  bool Usable() {
    TGameUIManager& m = GameUIManager();
    return (flags & kHandlerShown) && m.shotInputAllowed && m.inputEnabled && PersonToPlay() && AwaitingSwing();
  }
  void DrawCaption() {
    ImageRecord* screen = DrawnImage();
    const MemHandle font = StandardFonts[0] ? StandardFonts[0] : ListFont();
    if (!screen || !font || !Golfer()) return;
    FontSelect(font, screen, kAlignCentre, 0xFFFF, 0, 0, 1);
    const int32_t y = fieldTop + (fieldBottom - fieldTop - FontHeight()) / 2;
    FontDrawText((fieldLeft + fieldRight) / 2, y, caption.c_str());
    AddDirtyRect(MARect{fieldLeft, fieldTop, fieldRight, fieldBottom});
  }
  const MARect& ListRect() {
    listRect = list_ ? MARect{list_->left, list_->top, list_->right, list_->bottom} : MARect{};
    return listRect;
  }
  // A list closes from inside its own handler (a pick): it is hidden now and deleted at the next idle pass.
  void CloseList() {
    if (!list_) return;
    list_->Show(0, 0);
    RetireList(list_);
    list_ = nullptr;
    for (TClubBtn* b : groups)
      if (b) b->lit = false;
  }

  int32_t anchorX, anchorY;
  TClubPopup* handle = nullptr;
  TClubBtn* groups[kClubGroups] = {};
  CustBox box;
  std::string caption;
  int32_t fieldLeft = 0, fieldTop = 0, fieldRight = 0, fieldBottom = 0;
  TGameListBoxADV* list_ = nullptr;
  int listGroup = -1;
  MARect listRect{};
};

int TClubUI::Build() {
  if (CreateList(23)) return 2;
  const uint8_t* bar = BarFrame(1);
  const MARect r = FrameRectAt(bar, anchorX, anchorY);
  left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  handle = new (std::nothrow) TClubPopup;
  if (!handle) return 2;
  // The members follow the bar's own state (Usable); they stand shown and enabled inside it.
  handle->flags = kHandlerShown | kHandlerEnabled;
  handle->anchorX = anchorX, handle->anchorY = anchorY;
  const MARect face = FrameRectAt(BarFrame(2), anchorX, anchorY);
  handle->left = face.left, handle->top = face.top, handle->right = face.right, handle->bottom = face.bottom;
  const int size = std::clamp(Facts().sizeSetting, 0, 4);
  box.Layout(r.right, r.top, kBoxSize[size][0], kBoxSize[size][1]);
  handle->popupRect = box.rect;
  // The group buttons stand in a column in the box, wood first, 10 pixels apart.
  int32_t y = box.rect.top + 10;
  for (int code : {8, 11, 21, 20, 19, 18}) {
    auto* b = new (std::nothrow) TClubBtn(code);
    if (!b) return 2;
    b->flags = kHandlerShown | kHandlerEnabled;
    if (b->IsGroup()) {
      const uint8_t* f = BarFrame(b->Face());
      const int32_t w = f ? shapewidth(f) : 0;
      b->Place((box.rect.left + box.rect.right) / 2 - w / 2, y);
      y += (f ? shapeheight(f) : 0) + 10;
      groups[b->Group()] = b;
    } else {
      b->Place(anchorX, anchorY);
    }
    if (const int16_t status = AddHandler(b)) return status;
  }
  if (const int16_t status = AddHandler(handle)) return status;
  const MARect leftEdge = FrameRectAt(BarFrame(kStepBack), anchorX, anchorY);
  const MARect rightEdge = FrameRectAt(BarFrame(kStepOn), anchorX, anchorY);
  fieldLeft = leftEdge.right, fieldRight = rightEdge.left, fieldTop = leftEdge.top, fieldBottom = leftEdge.bottom;
  return 0;
}

bool TClubBtn::AcceptsInput() {
  return TInRoundButton::AcceptsInput() && gBar && gBar->Usable() && (!IsGroup() || ClubPopupOpen());
}

int TClubBtn::HitTest(int16_t x, int16_t y) {
  if (IsGroup() && AcceptsInput() && gBar) {
    // A group button answers across the whole box and five pixels above and below.
    const MARect r{gBar->box.rect.left, top - 5, gBar->box.rect.right, bottom + 5};
    pointerOver = PointInRect(&r, x, y) ? 1 : 0;
    return pointerOver;
  }
  return TInRoundButton::HitTest(x, y);
}

void TClubBtn::OnClick() {
  if (!IsGroup()) {
    StepClubByGroup(code == kStepBack);
    return;
  }
  if (Group() == 0) {
    SelectClub(clubs::kPutter);
    return;
  }
  OpenGroupList(Group(), MARect{left, top, right, bottom});
}

bool TClubPopup::AcceptsInput() { return TPopupButton::AcceptsInput() && PersonToPlay(); }

}  // namespace

void RetireList(TListBoxADV* list) {
  if (list) RetiredLists().push_back(list);
}

void DeleteRetiredLists() {
  std::vector<TListBoxADV*> lists;
  lists.swap(RetiredLists());
  for (TListBoxADV* l : lists) delete l;
}

MemHandle ListFont() {
  static MemHandle font = 0;
  static const char* const kNames[5] = {"HAL8b.ffn", "HAL10b.ffn", "HAL10b.ffn", "HAL12b.ffn", "HAL12b.ffn"};
  if (!font && Facts().fontFolder && *Facts().fontFolder)
    FontLoad(&font, Facts().fontFolder, kNames[std::clamp(Facts().sizeSetting, 0, 4)], 0);
  return font ? font : StandardFonts[0];
}

// ---- club tables -------------------------------------------------------------------------------------------------

int ClubGroupSize(int group) { return group >= 0 && group < kClubGroups ? static_cast<int>(kGroups[group].size()) : 0; }
int ClubGroupClub(int group, int index) {
  return index >= 0 && index < ClubGroupSize(group) ? kGroups[group][static_cast<size_t>(index)] : -1;
}

bool FindClubInGroups(int club, int* group, int* index) {
  for (int g = 0; g < kClubGroups; ++g)
    for (int i = 0; i < ClubGroupSize(g); ++i)
      if (kGroups[g][static_cast<size_t>(i)] == club) {
        *group = g;
        *index = i;
        return true;
      }
  return false;
}

const char* ClubNameField(int club) {
  static char fields[21][16];
  if (club < 0 || club > 20) return "";
  std::snprintf(fields[club], sizeof fields[club], "%-15s", kNames[club]);
  return fields[club];
}

std::string ClubDistanceText(int club, const playerInfo_s* golfer) {
  char text[16];
  if (club == clubs::kPutter) {
    float feet = 0.0f;
    if (golfer) {
      TGame* g = CurrentGame();
      const Vector3 pin = g ? g->pinPosition : Vector3{};
      const Vector3 b = golfer->ball.position;
      feet = std::sqrt((pin.x - b.x) * (pin.x - b.x) + (pin.y - b.y) * (pin.y - b.y) + (pin.z - b.z) * (pin.z - b.z)) * 3.0f;
    }
    int scale = 160;
    for (int s : kPuttScale)
      if (static_cast<float>(s) >= feet) {
        scale = s;
        break;
      }
    std::snprintf(text, sizeof text, "%d'", scale);
    return text;
  }
  const int type = golfer ? static_cast<int>(golfer->shotType) : 0;
  int d = clubs::GetClubDistance(club, golfer ? clubs::DistanceSetting(golfer) : 0, type);
  if (type < 4 || type > 6) d = RoundYardage(d);
  std::snprintf(text, sizeof text, "%dy", d);
  return text;
}

std::string ClubCaption(int club, const playerInfo_s* golfer) {
  if (club < 0 || club > 20) return {};
  return std::string(kNames[club]) + " " + ClubDistanceText(club, golfer);
}

int NextClubByGroup(int club, uint32_t bag, bool backwards) {
  int group = 0, index = 0;
  if (!FindClubInGroups(club, &group, &index)) return -1;
  for (;;) {
    if (!backwards) {
      if (++index >= ClubGroupSize(group)) {
        if (--group < 0) return -1;
        index = 0;
      }
    } else {
      if (--index < 0) {
        if (++group >= kClubGroups) return -1;
        index = ClubGroupSize(group) - 1;
      }
    }
    const int c = ClubGroupClub(group, index);
    if (bag & (1u << c)) return c;
  }
}

// ---- the list of the in-round screen ------------------------------------------------------------------------------

TGameListBoxADV::TGameListBoxADV(int32_t x, int32_t y, int32_t width, int32_t rows, MemHandle font)
    : TListBoxADV(0, x, y, width, rows, font, 0x04) {
  flags &= ~kHandlerShown;
}

void TGameListBoxADV::Show(int on, int redraw) {
  const bool was = (flags & kHandlerShown) != 0;
  if (on && !was) MarkRect16(Svc().scene->GolfViewOverlay(), MARect{left, top, right, bottom}, false);
  if (!on && was) MarkRect16(Svc().scene->GolfViewOverlay(), MARect{left, top, right, bottom}, true);
  TListBoxADV::Show(on, redraw);
}

void TGameListBoxADV::Erase(int redrawNow) {
  const MARect r{left, top, right, bottom};
  RestoreScreenRect(&r);
  if (redrawNow) UpdateScreen();
}

// ---- the pop-up button ------------------------------------------------------------------------------------------

TPopupButton::TPopupButton(uint32_t frameData_) : TInRoundButton(frameData_) {}

bool TPopupButton::AcceptsInput() {
  TGameUIManager& m = GameUIManager();
  return (flags & kHandlerShown) && m.shotInputAllowed && m.inputEnabled && !NetworkStepWaiting();
}

int TPopupButton::HitTest(int16_t x, int16_t y) {
  const MARect r{left, top, right, bottom};
  pointerOver = AcceptsInput() && PointInRect(&r, x, y) ? 1 : 0;
  return pointerOver;
}

int TPopupButton::OnPointerUp(int16_t x, int16_t y, uint8_t buttons) {
  if (!open) return TInRoundButton::OnPointerUp(x, y, buttons);
  if (!PointInRect(&popupRect, x, y)) {
    const MARect own{left, top, right, bottom};
    if (PointInRect(&own, x, y)) return TInRoundButton::OnPointerUp(x, y, buttons);
    OnClick();
    return 1;
  }
  return 1;
}

void TPopupButton::Draw(int) {
  if (!AcceptsInput()) return;
  const uint8_t* face = GetHitShape(pointerOver);
  SetMaskShape(face);
  DrawUIFrame(face, anchorX, anchorY);
}

// ---- the bar's operations -----------------------------------------------------------------------------------------

bool ClubPopupOpen() { return gBar && gBar->handle && gBar->handle->open; }

TGameListBoxADV* OpenClubList() { return gBar ? gBar->list_ : nullptr; }

void RefreshClubSelection() {
  if (!gBar || !Golfer()) return;
  gBar->caption = ClubCaption(Golfer()->currentClub, Golfer());
  InvalidateRoundView();
}

void ToggleClubPopup() {
  if (!gBar || !gBar->handle) return;
  gBar->CloseList();
  gBar->handle->open = gBar->handle->open ? 0 : 1;
  InvalidateRoundView();
}

void SelectClub(int club) {
  if (playerInfo_s* g = Golfer()) g->SetClub(club);
  RefreshClubSelection();
  if (gBar) {
    gBar->CloseList();
    if (gBar->handle) gBar->handle->open = 0;
  }
  InvalidateRoundView();
}

void StepClubByGroup(bool backwards) {
  playerInfo_s* g = Golfer();
  if (!g) return;
  const int next = NextClubByGroup(g->currentClub, g->bag, backwards);
  if (next >= 0) SelectClub(next);
}

void OpenGroupList(int group, const MARect& under) {
  if (!gBar || group < 1 || group > 3) return;
  gBar->CloseList();
  const MemHandle font = ListFont();
  FontSelect(font, nullptr, kAlignLeft, 0, 0, 0, 0);
  const int32_t width = FontStringWidth("WWWWWW", 0) + 8;
  const int rows = ClubGroupSize(group);
  auto* list = new (std::nothrow) TGameListBoxADV(under.left, under.bottom, width, rows, font);
  if (!list) return;
  // A list that would run off the screen opens upwards from the button.
  if (list->bottom > Facts().screenHeight) {
    const int32_t h = list->bottom - list->top;
    list->top = under.top - h;
    list->bottom = under.top;
  }
  const playerInfo_s* golfer = Golfer();
  for (int i = 0; i < rows; ++i) {
    const int club = ClubGroupClub(group, i);
    char text[32];
    const int type = golfer ? static_cast<int>(golfer->shotType) : 0;
    std::snprintf(text, sizeof text, "%s %3dy", kNames[club], clubs::GetClubRecord(club, type, false).shown);
    ListEntry* e = list->Add(text, i);
    e->enabled = golfer && (golfer->bag & (1u << club));
  }
  list->entryHandler = [](TListBoxADV* l, ListEntry* e) {
    if (!e || !e->enabled || !gBar) return;
    const int club = ClubGroupClub(gBar->listGroup, e->value);
    (void)l;
    SelectClub(club);
  };
  gBar->list_ = list;
  gBar->listGroup = group;
  if (gBar->groups[group]) gBar->groups[group]->lit = true;
  list->Show(1, 0);
  list->SetFocus(1);
  InvalidateRoundView();
}

MA_EventHandler* CreateClubBar(int32_t anchorX, int32_t anchorY) {
  auto* bar = new (std::nothrow) TClubUI(anchorX, anchorY);
  if (!bar) return nullptr;
  if (bar->Build() != 0) {
    delete bar;
    return nullptr;
  }
  gBar = bar;
  return bar;
}

bool ClubBarPoint(int part, int32_t* x, int32_t* y) {
  if (!gBar || !gBar->handle) return false;
  if (part == kClubPartHandle) {
    *x = (gBar->handle->left + gBar->handle->right) / 2;
    *y = (gBar->handle->top + gBar->handle->bottom) / 2;
    return true;
  }
  if (part >= 0 && part < kClubGroups && gBar->groups[part]) {
    const TClubBtn* b = gBar->groups[part];
    *x = (b->left + b->right) / 2;
    *y = (b->top + b->bottom) / 2;
    return ClubPopupOpen();
  }
  if (part >= 100 && gBar->list_) {
    const int row = part - 100;
    if (row >= gBar->list_->Size()) return false;
    *x = (gBar->list_->left + gBar->list_->right) / 2;
    *y = gBar->list_->top + row * gBar->list_->RowHeight() + gBar->list_->RowHeight() / 2;
    return true;
  }
  return false;
}
