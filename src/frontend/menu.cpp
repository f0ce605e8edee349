#include "frontend/menu.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "framework/core/bigfileio.h"
#include "framework/ui/displaymgr.h"
#include "framework/core/errors.h"
#include "framework/ui/fontmgr.h"
#include "app/gameapp.h"
#include "course/roster.h"
#include "framework/ui/inputstate.h"
#include "framework/core/services.h"
#include "frontend/dialog.h"
#include "frontend/textbutton.h"
#include "mmsystem.h"
#include "platformlib/core/byteorder.h"
#include "platformlib/movie/movie.h"
#include "platformlib/shapes/shapes.h"
#include "platformlib/gfx/windowdesc.h"

PathRecord* MenuArchive() { return &Folders().menus; }

namespace {

// A whole file of an archive in the folder (the archive is current only while the file is read), else of the
// folder itself.
MemHandle LoadFromArchive(PathRecord* folder, const char* archive, const char* name) {
  const int opened = archive ? BigFileOpenArchive(folder, archive, nullptr) : -1;
  const MemHandle h = BigFileLoadToHandle(folder, name, 0);
  if (opened == 0) BigFileCloseArchive();
  return h;
}

bool IsMenuFolder(PathRecord* folder) { return folder == MenuArchive(); }

}  // namespace

MemHandle LoadMenuFile(const char* name) { return LoadFromArchive(MenuArchive(), "menus.viv", name); }

bool DrawShapeFileScaled(MemHandle file, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!file) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(MemLock(file));
  const uint8_t* shape = bytes && checkshapefile(bytes, MemHandleSize(file)) == 1 ? locateshapenum(bytes, 0) : nullptr;
  ImageRecord* drawn = DrawnImage();
  const bool ok = shape && drawn && drawn->window && setwindow(drawn->window);
  if (ok) {
    drawshapescaled(shape, x, y, width, height);
    releasewindow();
  }
  if (bytes) MemUnlock(file);
  return ok;
}

namespace {
MemHandle golferPictures[kRosterSlots] = {};
int golferPictureUsers = 0;
}  // namespace

void LoadGolferPictures() {
  if (golferPictureUsers++ > 0) return;
  for (int i = 0; i < kRosterSlots; ++i)
    if (const RosterSlot* slot = GolferRosterSlot(i)) golferPictures[i] = LoadMenuFile(slot->picture);
}

void FreeGolferPictures() {
  if (golferPictureUsers == 0 || --golferPictureUsers > 0) return;
  for (MemHandle& h : golferPictures) {
    if (h) MemFreeHandle(h);
    h = 0;
  }
}

MemHandle GolferPicture(int slot) { return slot >= 0 && slot < kRosterSlots ? golferPictures[slot] : 0; }

namespace {

WindowDesc* RoleWindow(BufferRole role) {
  ImageRecord* r = RoleImage(role);
  return r ? r->window : nullptr;
}

}  // namespace

// ---- ".dct" pictures --------------------------------------------------------------------------------------------

bool DecodeDctPicture(const uint8_t* data, size_t bytes, DctPicture& out) {
  out = DctPicture{};
  if (!data || bytes < kDctHeaderBytes || std::memcmp(data, "mTCD", 4) != 0) return false;
  const int32_t width = static_cast<int16_t>(ReadLE16(data + 12)), height = static_cast<int16_t>(ReadLE16(data + 14));
  if (width <= 0 || height <= 0 || width > kDctMaxSide || height > kDctMaxSide || (width & 1)) return false;
  const int32_t quality = static_cast<int16_t>(ReadLE16(data + 20));
  // Macroblocks cover the picture in whole 16 x 16 squares; the part past the stored size is decoded and not shown.
  const int32_t paddedW = (width + 15) & ~15, paddedH = (height + 15) & ~15;
  // Every decoded word takes at least a bit of the data, and each of a macroblock's six blocks at least its 10-bit
  // DC word and a 1-bit end code: the data's size bounds the picture before anything is allocated for it.
  const uint64_t bits = static_cast<uint64_t>(bytes - kDctHeaderBytes) * 8;
  const uint64_t macroblocks = static_cast<uint64_t>(paddedW / 16) * static_cast<uint64_t>(paddedH / 16);
  if (macroblocks * 6 * 11 > bits) return false;
  std::vector<uint16_t> words(std::min<uint64_t>(static_cast<uint64_t>(paddedW) * paddedH, bits + 1));
  dctsetquality(quality);
  const int64_t count = dctbegin(data + kDctHeaderBytes, bytes - kDctHeaderBytes, words.data(), words.size());
  if (count <= 0) return false;
  out.width = width;
  out.height = height;
  out.stride = paddedW / 2;
  out.pairs.assign(static_cast<size_t>(out.stride) * paddedH, 0);
  size_t used = 0;
  // Column by column: each column of macroblocks from the top down.
  for (int32_t x = 0; x < width; x += 16)
    for (int32_t y = 0; y < height; y += 16) {
      const int n = dctdecodemacroblock(words.data() + used, static_cast<size_t>(count) - used,
                                        out.pairs.data() + static_cast<size_t>(y) * out.stride + x / 2, paddedW);
      if (n <= 0) {
        out = DctPicture{};
        return false;
      }
      used += static_cast<size_t>(n);
    }
  return true;
}

namespace {

void CopyPicture(const DctPicture& picture, WindowDesc* window) {
  if (!window || !setwindow(window)) return;
  // The copy reads rows of the padded frame; only the stored size is shown, clipped to the window.
  std::vector<uint32_t> rows(static_cast<size_t>(picture.width / 2) * picture.height);
  for (int32_t r = 0; r < picture.height; ++r)
    std::memcpy(rows.data() + static_cast<size_t>(r) * (picture.width / 2),
                picture.pairs.data() + static_cast<size_t>(r) * picture.stride, static_cast<size_t>(picture.width / 2) * 4);
  setvideoframe(rows.data());
  blitvideoframe(0, 0, picture.width, picture.height, 0);
  setvideoframe(nullptr);
  releasewindow();
}

}  // namespace

void LoadDctBackground(PathRecord* folder, const char* name) {
  if (!name) return;
  const char* dot = std::strchr(name, '.');
  if (!dot) return;
  std::string ext(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const MemHandle h = IsMenuFolder(folder) ? LoadFromArchive(folder, "menus.viv", name) : BigFileLoadToHandle(folder, name, 0);
  if (!h) return;
  const auto* bytes = static_cast<const uint8_t*>(MemLock(h));
  const size_t size = MemHandleSize(h);
  WindowDesc* targets[] = {RoleWindow(kRoleErase), RoleWindow(kRoleDrawn)};
  if (ext == ".dct") {
    DctPicture picture;
    if (DecodeDctPicture(bytes, size, picture))
      for (WindowDesc* w : targets) CopyPicture(picture, w);
  } else if (ext != ".uv" && checkshapefile(bytes, size) == 1) {
    if (const uint8_t* shape = locateshapenum(bytes, 0))
      for (WindowDesc* w : targets)
        if (w && setwindow(w)) {
          drawshape(shape, 0, 0);
          releasewindow();
        }
  }
  MemUnlock(h);
  MemFreeHandle(h);
  if (WindowDesc* w = RoleWindow(kRoleDrawn)) AddDirtyRect(MARect{0, 0, w->width, w->height});
}

// ---- menu screens --------------------------------------------------------------------------------------------------

TMenuADV::TMenuADV(const char* background, const char* anim, int32_t animX, int32_t animY, PathRecord* archive) {
  backgroundName = background;
  backgroundArchive = archive;
  if (background) LoadDctBackground(archive, background);
  if (anim) {
    animation = TShellAnimADV::FromFile(anim, animX, animY, TShellAnimADV::kLoop, 15, 0, 0);
    animation->Start();
  }
  keyboardNavigation = 1;
  SetHelpCallback([](TMA_EventHandlerList* list, MA_EventHandler*, uint16_t) {
    auto* menu = static_cast<TMenuADV*>(list);
    if (!menu->helpText) return 0;
    ShowHelpTextDialog(menu->helpText, nullptr);
    if (CurrentScreen == menu) {
      menu->EraseAll(0);
      menu->DrawAll(0);
    }
    return 1;
  });
  static const char* const kFonts[] = {"hal10b.ffn", "hal12b.ffn", "hal13i.ffn", "hal18i.ffn", "hal24i.ffn"};
  static const char* const kTitleFonts[] = {"trek13.ffn", "trek18.ffn", "trek24.ffn"};
  for (int i = 0; i < 5; ++i) fonts[i] = LoadFrontEndFont(kFonts[i]);
  for (int i = 0; i < 3; ++i) titleFonts[i] = LoadFrontEndFont(kTitleFonts[i]);
}

TMenuADV::~TMenuADV() {
  THelpTextMixin::HideHelpText();
  delete animation;
}

int TMenuADV::OnIdle() {
  TMA_EventHandlerList::OnIdle();
  if (animation) animation->Update();
  return 1;
}

void TMenuADV::EnableWhile(TGenericControlADV* button, bool condition) {
  if (condition == ((button->flags & kHandlerEnabled) != 0)) return;
  button->Enable(condition ? 1 : 0, 0);
  RedrawControl(button);
}

void TMenuADV::DrawAll(int flag) {
  TMA_EventHandlerList::DrawAll(flag);
  if (animation) animation->Draw();
}

void TMenuADV::EraseAll(int) {
  ImageRecord* background = RoleImage(kRoleErase);
  ImageRecord* drawn = DrawnImage();
  const MARect r{0, 0, Facts().screenWidth, Facts().screenHeight};
  if (background && drawn) BlitImage(drawn, r, background, r);
  AddDirtyRect(r);
}

void TMenuADV::ReloadBackground() {
  if (backgroundName) LoadDctBackground(backgroundArchive, backgroundName);
}

void TMenuADV::SetControlHelp(TGenericControlADV* control, const char* text) {
  if (!control) return;
  if (control->text != text && THelpTextMixin::BoxOwner() == control) THelpTextMixin::HideHelpText();
  control->text = text;
  control->x = 700;
  control->y = 560;
  control->textColour = Pixel565(0xFFFFFF);
  control->backgroundColour = 0;
  control->font = fonts[0];
  control->alignment = 4;
}

TTextButtonADV* TMenuADV::AddTextButton(const char* caption, int32_t x, int32_t y, std::initializer_list<uint16_t> keys,
                                        ClickHandler handler, const char* help, int sound, uint32_t focus) {
  auto* b = new TTextButtonADV(x, y, caption, fonts[2], reinterpret_cast<uintptr_t>(this), 0, 1, 0, kKindButton,
                               kHandlerShown | kHandlerEnabled, 0, nullptr);
  b->SetHotKeys(keys);
  b->SetColors(0xE0E0E0, 0xAAAAAA, focus, 0xF0F0F0);
  b->clickHandler = handler;
  if (sound >= 0) b->SetMenuSound(sound);
  SetControlHelp(b, help);
  AddHandler(b);
  return b;
}

TGraphicButtonADV* TMenuADV::AddGraphicButton(ClickHandler handler, const char* help, int sound) {
  auto* b = new TGraphicButtonADV(reinterpret_cast<uintptr_t>(this), 0, 0, kKindButton, kHandlerShown | kHandlerEnabled, 0,
                                  nullptr);
  b->clickHandler = handler;
  b->SetMenuSound(sound);
  SetControlHelp(b, help);
  AddHandler(b);
  return b;
}

TListBoxADV* TMenuADV::AddListBox(int32_t x, int32_t y, int32_t width, int32_t rows, MemHandle font, uint32_t style,
                                  TListBoxADV::EntryHandler handler) {
  auto* l = new TListBoxADV(reinterpret_cast<uintptr_t>(this), x, y, width, rows, font, style);
  l->entryHandler = handler;
  AddHandler(l);
  return l;
}

void TMenuADV::AddGroupButtons(ClickHandler add, ClickHandler remove, int32_t x, int32_t y,
                               TGraphicButtonADV** addButton, TGraphicButtonADV** removeButton) {
  using Img = TGraphicButtonADV::Image;
  constexpr uint8_t kLoop = TShellAnimADV::kLoop;
  PathRecord* menus = MenuArchive();
  TGraphicButtonADV* a = *addButton = AddGraphicButton(add, "Add the selected golfer to the group", 6);
  a->SetImageInArchive(Img::kDisabled, menus, "golfrs-b.fsh", x, y, kLoop, 0, 1);
  a->SetImageInArchive(Img::kNormal, menus, "addbanim.fsh", x, y, kLoop, 15, 0);
  a->SetImageInArchive(Img::kPressed, menus, "golfrs-e.fsh", x, y, kLoop, 0, 1);
  TGraphicButtonADV* r = *removeButton = AddGraphicButton(remove, "Remove the selected golfer from the group", 6);
  // The remove button shares the add button's sheets.
  if (TShapeMovie* m = a->MovieOf(Img::kDisabled)) r->SetImage(Img::kDisabled, m, x + 4, y + 40, kLoop, 0, 2);
  r->SetImageInArchive(Img::kNormal, menus, "rembanim.fsh", x + 4, y + 40, kLoop, 15, 0);
  if (TShapeMovie* m = a->MovieOf(Img::kPressed)) r->SetImage(Img::kPressed, m, x + 4, y + 40, kLoop, 0, 2);
}

TGraphicButtonADV* TMenuADV::AddPictureButton(const char* shape, int32_t x, int32_t y, ClickHandler handler,
                                              const char* help, int sound) {
  TGraphicButtonADV* b = AddGraphicButton(handler, help, sound);
  // One loaded file serves the four pictures.
  b->SetImageInArchive(TGraphicButtonADV::kNormal, MenuArchive(), shape, x, y, TShellAnimADV::kLoop, 0, 1);
  if (TShapeMovie* movie = b->MovieOf(TGraphicButtonADV::kNormal)) {
    b->SetImage(TGraphicButtonADV::kHighlight, movie, x, y, TShellAnimADV::kLoop, 0, 2);
    b->SetImage(TGraphicButtonADV::kPressed, movie, x, y, TShellAnimADV::kLoop, 0, 3);
    b->SetImage(TGraphicButtonADV::kDisabled, movie, x, y, TShellAnimADV::kLoop, 0, 3);
  }
  return b;
}

void DrawLabel(MemHandle font, MemHandle shadowFont, const char* text, int32_t x, int32_t y, uint32_t colour,
               uint32_t shadowColour, MARect* out, bool centre, bool withShadow) {
  ImageRecord* drawn = DrawnImage();
  if (!drawn || !font || !text) return;
  FontSelect(font, drawn, kAlignLeft, Pixel565(colour), 0, 0, 0);
  const int32_t w = FontStringWidth(text, 0), h = FontHeight();
  const int32_t lx = centre ? x + (Facts().screenWidth - w) / 2 : x, ly = centre ? y + 15 : y;
  if (withShadow && shadowFont) {
    const int32_t d = centre ? 0 : h / 8;
    FontSelect(shadowFont, drawn, kAlignLeft, Pixel565(shadowColour), 0, 0, 0);
    FontDrawText(lx + d, ly + d, text);
    FontSelect(font, drawn, kAlignLeft, Pixel565(colour), 0, 0, 0);
  }
  FontDrawText(lx, ly, text);
  if (out) *out = MARect{lx, ly, lx + w, ly + h};
}
