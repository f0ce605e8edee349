#include "frontend/clubs.h"

#include <algorithm>
#include <cstdio>

#include "framework/core/errors.h"
#include "framework/core/services.h"
#include "framework/ui/displaymgr.h"
#include "framework/ui/fontmgr.h"
#include "frontend/menu.h"
#include "golf/launch.h"
#include "golf/playerinfo.h"

namespace {
constexpr const char* kClubNames[21] = {"driver",  "driver 2", "strong 3 wood", "3 wood", "1 iron", "2 iron", "5 wood",
                                        "3 iron",  "4 iron",   "7 wood",        "5 iron", "9 wood", "6 iron", "7 iron",
                                        "8 iron",  "9 iron",   "p wedge",       "a wedge", "s wedge", "l wedge", "putter"};
}  // namespace

const char* ClubName(int club) { return club >= 0 && club < 21 ? kClubNames[club] : ""; }

// ---- the select button ---------------------------------------------------------------------------------------------

CDialogSelectTxtBtn::CDialogSelectTxtBtn(int32_t x_, int32_t y_, std::vector<std::string> choices, MemHandle font_,
                                         CDialogADV* owner, uint16_t hotKey, uint16_t id_, uint32_t stateFlags,
                                         uint32_t labelColour, uint32_t valueColour)
    : CDialogTxtBtn(x_ + 3, y_, choices.size() > 1 ? choices[1].c_str() : "", font_, reinterpret_cast<uintptr_t>(owner),
                    hotKey, 1, id_, kKindButton, stateFlags, 0, nullptr),
      choices_(std::move(choices)),
      labelRight_(x_ - 2),
      labelY_(y_),
      labelColour_(Pixel565(labelColour)) {
  dialog = owner;
  alignment = 2;
  SetColors(valueColour, 0, 0, 0);
  if (choices_.empty()) choices_.push_back("");
  Layout();
}

int CDialogSelectTxtBtn::OnChar(uint16_t code) {
  if (HasFocus() && (code == kKeyLeft || code == kKeyRight)) {
    backwards_ = code == kKeyLeft;
    OnActivate(code);
    SetFocus(1);
    return 1;
  }
  return CDialogTxtBtn::OnChar(code);
}

int CDialogSelectTxtBtn::OnPointerDown(int16_t x_, int16_t y_, uint8_t buttons) {
  const int taken = CDialogTxtBtn::OnPointerDown(x_, y_, buttons);
  if (taken) backwards_ = (buttons & kButtonRight) != 0;
  return taken;
}

void CDialogSelectTxtBtn::Fire() {
  const int n = Count();
  if (n <= 0) return;
  const int next = backwards_ ? (index_ - 1 < 0 ? n - 1 : index_ - 1) : (index_ + 1 >= n ? 0 : index_ + 1);
  Svc().sound->PlayMenuSound(backwards_ ? 4 : 3);
  steppedBack_ = backwards_;
  backwards_ = false;
  SetIndex(next);
  Draw(0);
  TGenericControlADV::Fire();
}

void CDialogSelectTxtBtn::SetIndex(int index) {
  if (index >= Count() || index < 0) index = 0;
  index_ = index;
  Erase(0);
  SetText(Count() > 0 ? choices_[static_cast<size_t>(index_) + 1].c_str() : "");
}

void CDialogSelectTxtBtn::SetChoices(std::vector<std::string> choices) {
  choices_ = std::move(choices);
  if (choices_.empty()) choices_.push_back("");
  SetIndex(std::min(index_, std::max(Count() - 1, 0)));
}

void CDialogSelectTxtBtn::SetPlace(int32_t x_, int32_t y_) {
  labelRight_ = x_ - 2;
  labelY_ = y_;
  SetAnchor(x_ + 3, y_);
}

void CDialogSelectTxtBtn::Erase(int flag) {
  CDialogTxtBtn::Erase(flag);
  if (font && !choices_[0].empty()) {
    FontSelect(font, nullptr, kAlignLeft, 0, 0, 0, 0);
    const int32_t w = FontStringWidth(choices_[0].c_str(), 0);
    const MARect label{labelRight_ - w, labelY_ - FontHeight(), labelRight_, labelY_ + 3};
    if (dialog) {
      dialog->RestoreRect(label);
    } else if (ImageRecord* background = RoleImage(kRoleErase); background && DrawnImage()) {
      BlitImage(DrawnImage(), label, background, label);
      AddDirtyRect(label);
    }
  }
}

void CDialogSelectTxtBtn::Draw(int flag) {
  if (!(flags & kHandlerShown)) return;
  if (font && !choices_[0].empty()) {
    FontSelect(font, DrawnImage(), kAlignRight, labelColour_, 0, 0, 1);
    FontDrawText(labelRight_, labelY_, choices_[0].c_str());
  }
  CDialogTxtBtn::Draw(flag);
}

// ---- the clubs dialog -----------------------------------------------------------------------------------------------

namespace {

TClubsDialogADV* gClubs = nullptr;

void RestorePanelArea(void* data, const MARect& rect, int) {
  if (auto* dialog = static_cast<CDialogADV*>(data)) dialog->RestoreRect(rect);
}

// The trajectory choice the golfer record stores for an adjustment of -2..+2.
uint32_t TrajectoryChoice(int adjustment) {
  switch (adjustment) {
    case -1: return 1;
    case -2: return 2;
    case 1: return 3;
    case 2: return 4;
    default: return 0;
  }
}

}  // namespace

TClubsDialogADV::TClubsDialogADV(const playerInfo_s& golfer)
    : CModalDialogADV("", 2, 1, 0, 0, nullptr, LoadMenuFile("bgclubs.fsh")) {
  gClubs = this;
  titleFont = LoadFrontEndFont("trek18.ffn");
  textFont = LoadFrontEndFont("hal10b.ffn");
  for (int n = 0; n < kClubs; ++n) {
    inBag[n] = (golfer.bag >> n) & 1;
    bagCount += inBag[n];
    // Powers go in 5 % steps: 100 % is step 0, 10 % step 18.
    const int percent = static_cast<int>(golfer.GetClubPercent(n));
    step[n] = std::clamp((100 - percent) / 5, 0, 18);
    pathIndex[n] = std::clamp(golfer.GetClubTrajectory(n) + 2, 0, 4);
  }
  list = new TListBoxADV(reinterpret_cast<uintptr_t>(this), x + 30, y + 58, 90, kRows, textFont, 0x1A0);
  list->SetRowHeight(26);
  list->dialog = this;
  list->entryHandler = OnClubPicked;
  list->SetMenuSound(0);
  for (int n = 0; n < kClubs; ++n) {
    ListEntry* e = list->Add(n == 2 ? "s3 wood" : ClubName(n), 0);
    e->flagged = inBag[n] != 0;
    e->enabled = n != kPutter;
  }
  AddHandler(list);
  static const char* const kPowers[] = {"100%", "95%", "90%", "85%", "80%", "75%", "70%", "65%", "60%", "55%",
                                        "50%",  "45%", "40%", "35%", "30%", "25%", "20%", "15%", "10%"};
  for (int r = 0; r < kRows; ++r) {
    std::vector<std::string> choices{""};
    for (const char* p : kPowers) choices.push_back(p);
    auto* b = new CDialogSelectTxtBtn(x + 221, y + 58 + 26 * r, choices, textFont, this, 0, static_cast<uint16_t>(r),
                                      kHandlerShown | kHandlerEnabled, 0x0F6178, 0xFFFFFF);
    b->alignment = 1;
    b->SetAnchor(x + 221, y + 58 + 26 * r);
    b->clickHandler = OnPowerClicked;
    b->text = "Set the maximum distance for the club";
    power[r] = b;
    AddHandler(b);
    auto* p = new TGraphicRadioButtonADV(reinterpret_cast<uintptr_t>(this), nullptr, 0, static_cast<uint16_t>(r), kKindButton,
                                         kHandlerShown | kHandlerEnabled, nullptr);
    p->clickHandler = OnPathClicked;
    p->text = "Set the trajectory for the club";
    path[r] = p;
    AddHandler(p);
  }
  UpdatePowerButtons();
  UpdatePathButtons();
}

void TClubsDialogADV::UpdatePowerButtons() {
  for (int r = 0; r < kRows; ++r) {
    const int n = topClub + r;
    const bool usable = n < kClubs && n != kPutter;
    power[r]->SetIndex(usable && step[n] < 19 ? step[n] : 0);
    power[r]->Show(usable ? 1 : 0, 0);
    power[r]->Enable(usable ? 1 : 0, 0);
  }
}

void TClubsDialogADV::UpdatePathButtons() {
  for (int r = 0; r < kRows; ++r) {
    const int n = topClub + r;
    const bool usable = n < kClubs && n != kPutter;
    TGraphicRadioButtonADV* b = path[r];
    const int frame = usable ? pathIndex[n] + 1 : 1;
    const int32_t px = x + 160, py = y + 54 + 26 * r;
    b->SetImageFile(TGraphicButtonADV::kNormal, "traj-b.fsh", px, py, TShellAnimADV::kLoop, 0, frame);
    b->SetImageFile(TGraphicButtonADV::kHighlight, "traj-c.fsh", px, py, TShellAnimADV::kLoop, 0, frame);
    b->SetImageFile(TGraphicButtonADV::kPressed, "traj-e.fsh", px, py, TShellAnimADV::kLoop, 0, frame);
    for (TShellAnimADV* image : b->images)
      if (image) image->SetRestoreCallback(RestorePanelArea, this);
    b->Show(usable ? 1 : 0, 0);
    b->Enable(usable ? 1 : 0, 0);
  }
}

void TClubsDialogADV::UpdateClubList() {
  for (int n = 0; n < kClubs; ++n)
    if (ListEntry* e = list->At(n)) {
      e->text = n == 2 ? "s3 wood" : ClubName(n);
      e->flagged = inBag[n] != 0;
    }
}

std::string TClubsDialogADV::FormatDistance(int club, int flex) const {
  return DistanceText(GetClubRecord(club, 0, true).reach, step[club], flex, club == kPutter);
}

std::string TClubsDialogADV::DistanceText(int reach, int step, int flex, bool putter) {
  int d = static_cast<int>((1.0 - step / 20.0) * reach);
  char text[16];
  if (putter) {
    std::snprintf(text, sizeof text, "%dft", RoundYardage(3 * d));
    return text;
  }
  d = RoundYardage(ScaleClubDistance(d, flex));
  if (d) std::snprintf(text, sizeof text, "%dyd", d);
  else std::snprintf(text, sizeof text, "< 5yd");
  return text;
}

void TClubsDialogADV::OnClubPicked(TListBoxADV* list, ListEntry* entry) {
  TClubsDialogADV* d = gClubs;
  if (!d || !entry) return;
  const int n = list->RowOf(entry);
  list->Select(-1, false);
  if (n < 0 || n == kPutter) return;
  // Carried or not; the limit of 14 is checked when the dialog closes.
  d->inBag[n] = !d->inBag[n];
  d->bagCount += d->inBag[n] ? 1 : -1;
  d->UpdateClubList();
  d->EraseAll(0);
  d->DrawAll(0);
}

void TClubsDialogADV::OnPowerClicked(TGenericControlADV* control) {
  TClubsDialogADV* d = gClubs;
  auto* b = static_cast<CDialogSelectTxtBtn*>(control);
  if (!d || !b) return;
  const int n = d->topClub + b->id;
  if (n < kClubs) d->step[n] = b->GetIndex();
  d->DrawAll(0);
}

void TClubsDialogADV::OnPathClicked(TGenericControlADV* control) {
  TClubsDialogADV* d = gClubs;
  if (!d) return;
  control->controlFlags &= ~CF_SELECTED;
  const int n = d->topClub + control->id;
  if (n >= kClubs) return;
  // A left click steps on; a right click or a key steps back.
  const bool forward = !control->pressedWithRight && control->matchedHotKey == 0;
  d->pathIndex[n] = forward ? (d->pathIndex[n] + 1) % 5 : (d->pathIndex[n] + 4) % 5;
  d->UpdatePathButtons();
  d->DrawAll(0);
}

int TClubsDialogADV::OnIdle() {
  if (list->TopRow() != topClub) {
    topClub = list->TopRow();
    UpdatePowerButtons();
    UpdatePathButtons();
    DrawAll(0);
  }
  return CModalDialogADV::OnIdle();
}

void TClubsDialogADV::DrawAll(int flag) {
  CModalDialogADV::DrawAll(flag);
  ImageRecord* drawn = DrawnImage();
  if (!drawn) return;
  if (titleFont) {
    FontSelect(titleFont, drawn, kAlignLeft, Pixel565(0x3F3F3F), 0, 0, 0);
    FontDrawText(x + 45, y + 290, "Model Your Game");
    FontSelect(titleFont, drawn, kAlignLeft, Pixel565(0xAA0000), 0, 0, 0);
    FontDrawText(x + 35, y + 280, "Model Your Game");
  }
  if (font) {
    FontSelect(font, drawn, kAlignLeft, Pixel565(0xFFFFFF), 0, 0, 1);
    const std::pair<int, const char*> heads[] = {{66, "Club"}, {145, "Path"}, {220, "Power"},
                                                 {300, "Flex"}, {375, "Reg"}, {450, "Stiff"}};
    for (const auto& [hx, head] : heads) FontDrawText(x + hx, y + 16, head);
  }
  if (textFont) {
    FontSelect(textFont, drawn, kAlignLeft, Pixel565(0xAAAAAA), 0, 0, 1);
    for (int r = 0; r < kRows && topClub + r < kClubs; ++r) {
      const int n = topClub + r, ry = y + 58 + 26 * r;
      FontDrawText(x + 297, ry, FormatDistance(n, 2).c_str());
      FontDrawText(x + 373, ry, FormatDistance(n, 1).c_str());
      FontDrawText(x + 453, ry, FormatDistance(n, 0).c_str());
    }
    char total[32];
    std::snprintf(total, sizeof total, "Total Clubs: %d/%d", bagCount, kMaxClubs);
    FontDrawText(x + 245, y + 290, total);
  }
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

void TClubsDialogADV::EndModal(int result) {
  if (result == 1 && bagCount > kMaxClubs) {
    ShowConfirmDialog("You are allowed only 14 clubs in your bag.", nullptr, nullptr);
    EraseAll(0);
    DrawAll(0);
    return;
  }
  CModalDialogADV::EndModal(result);
}

void TClubsDialogADV::Store(playerInfo_s& golfer) const {
  for (int n = 0; n < kClubs; ++n) {
    golfer.SetClubTrajectory(n, TrajectoryChoice(pathIndex[n] - 2));
    golfer.SetClubPercent(n, static_cast<uint32_t>(100 - 5 * step[n]));
    if (inBag[n]) golfer.bag |= 1u << n;
    else golfer.bag &= ~(1u << n);
  }
}

int ShowClubsDialog(playerInfo_s& golfer) {
  int result = 0;
  {
    TClubsDialogADV dialog(golfer);
    result = dialog.RunModalLoop();
    if (result == 1) dialog.Store(golfer);
  }
  gClubs = nullptr;
  return result;
}
