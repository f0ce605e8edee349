#include "frontend/options3d.h"

#include <cmath>

#include "framework/core/services.h"
#include "framework/core/utils.h"
#include "framework/ui/displaymgr.h"
#include "scene/render3d.h"

namespace {

constexpr int32_t kWidths[5] = {454, 438, 438, 438, 438};
constexpr int32_t kHeights[5] = {290, 280, 280, 280, 280};
// Per screen size: the three buttons' places (before scaling by the panel width over 522) and the selectors' rows.
struct Layout {
  int32_t buttons[3][2];
  int32_t rows[5];
};
constexpr Layout kLayouts[5] = {
    {{{90, 265}, {187, 265}, {138, 235}}, {40, 63, 86, 109, 132}},
    {{{400, 290}, {470, 290}, {270, 290}}, {70, 95, 120, 145, 170}},
    {{{121, 240}, {267, 240}, {194, 210}}, {60, 85, 110, 135, 160}},
    {{{121, 240}, {267, 240}, {194, 210}}, {60, 85, 110, 135, 160}},
    {{{121, 240}, {267, 240}, {194, 210}}, {60, 85, 110, 135, 160}}};

int32_t PanelWidth() { return kWidths[DialogSizeIndex()]; }
int32_t PanelHeight() { return kHeights[DialogSizeIndex()]; }

}  // namespace

C3dOptionsDialog::C3dOptionsDialog()
    : CDialogADV((Facts().screenWidth - PanelWidth()) / 2, (Facts().screenHeight - PanelHeight()) / 2, PanelWidth(),
                 PanelHeight(), LoadDialogFile("gamedlog.viv", "bkdialog.fsh"),
                 DialogSizeIndex() <= 2 ? "Hal10b.ffn" : "Hal12b.ffn") {
  SetTitle("3D Options");
  SaveUnder();
  const Layout& layout = kLayouts[DialogSizeIndex()];
  const double scale = width / 522.0;
  static const char* const kCaptions[3] = {"Cancel", "Ok", "Factory Settings"};
  static const char* const kButtonHelp[3] = {"Return to previous screen without saving changes",
                                             "Return to Main Menu, saving changes", "Restore default factory settings"};
  for (int i = kCancel; i <= kFactory; ++i) {
    const int32_t bx = x + static_cast<int32_t>(std::lround(layout.buttons[i][0] * scale));
    const int32_t by = y + static_cast<int32_t>(std::lround(layout.buttons[i][1] * scale));
    auto* b = new CDialogTxtBtn(bx, by, kCaptions[i], font, reinterpret_cast<uintptr_t>(this), 0, 1,
                                static_cast<uint16_t>(i), kKindButton, kHandlerShown | kHandlerEnabled, 0, nullptr);
    b->dialog = this;
    b->SetColors(0xE0E0E0, 0xAAAAAA, 0xFF1010, 0xF0F0F0);
    b->SetMenuSound(i == kCancel ? 2 : 1);
    b->clickHandler = OnClick;
    b->text = kButtonHelp[i];
    buttons[i] = b;
    AddHandler(b);
  }
  static const std::vector<std::string> kRows[5] = {{"3D Driver:", "3Dfx", "D3D"},
                                                    {"Fog Density:", "Off", "Low", "Medium", "High"},
                                                    {"Object Textures:", "16-Bit", "8-Bit"},
                                                    {"Object Detail:", "Low", "Medium", "High", "Ultra-High"},
                                                    {"Terrain Detail:", "Low", "Medium", "High", "Ultra-High"}};
  static const char* const kRowHelp[5] = {"Change the current 3D driver", "Adjust fog/haze effect", "Adjust texture color",
                                          "Adjust object detail", "Adjust terrain detail"};
  for (int i = kDriver; i <= kTerrainDetail; ++i) {
    auto* s = new CDialogSelectTxtBtn(x + width / 2 + 20, y + layout.rows[i - kDriver], kRows[i - kDriver], font, this, 0,
                                      static_cast<uint16_t>(i), kHandlerShown | kHandlerEnabled, 0x0F6178, 0xFFFFFF);
    s->clickHandler = OnClick;
    s->text = kRowHelp[i - kDriver];
    selectors[i] = s;
    AddHandler(s);
  }
  LoadSettings();
}

void C3dOptionsDialog::LoadSettings() {
  // The stored settings (the automatic driver, no fog, 8-bit textures, low details when none are stored).
  static const int32_t kDefaults[6] = {3, 0, 1, 0, 0, 1};
  for (int id = 1; id <= 6; ++id) {
    int32_t value = kDefaults[id - 1];
    if (Svc().preferences->Get(id, &value) != 0) value = kDefaults[id - 1];
    GraphicsPref(id) = value;
  }
  // Automatic: the scene picks the driver and the details from the card and the processor.
  if (GraphicsPref(kPrefDriverEnumeration) == 3) ChooseAutoDetailLevels();
  for (int i = kDriver; i <= kTerrainDetail; ++i) selectors[i]->SetIndex(GraphicsPref(i - kDriver + 1));
  const bool glide = gRenderStart.glideCardFound != 0, d3d = gRenderStart.direct3DAvailable != 0;
  CDialogSelectTxtBtn* driver = selectors[kDriver];
  driver->Show(1, 0);
  driver->Enable(1, 0);
  if (glide != d3d) {
    driver->SetIndex(glide ? 0 : 1);
    driver->Enable(0, 0);
  } else if (!glide) {
    driver->Show(0, 0);
    driver->Enable(0, 0);
  }
}

void C3dOptionsDialog::DrawAll(int flag) {
  CDialogADV::DrawAll(flag);
  AddDirtyRect(MARect{x, y, x + width, y + height});
}

void C3dOptionsDialog::OnClick(TGenericControlADV* control) {
  auto* d = control ? control->Owner<C3dOptionsDialog>() : nullptr;
  if (!d) return;
  switch (control->id) {
    case kCancel: d->EndModal(0); break;
    case kOk:
      for (int i = kDriver; i <= kTerrainDetail; ++i) {
        const int id = i - kDriver + 1;
        GraphicsPref(id) = d->selectors[i]->GetIndex();
        Svc().preferences->Set(id, GraphicsPref(id));
      }
      d->EndModal(1);
      break;
    case kFactory:
      // The automatic choice at once; nothing is kept until Ok.
      GraphicsPref(kPrefDriverEnumeration) = 3;
      ChooseAutoDetailLevels();
      for (int i = kDriver; i <= kTerrainDetail; ++i) {
        if (i == kDriver && !(d->selectors[i]->flags & kHandlerEnabled)) continue;
        d->selectors[i]->SetIndex(GraphicsPref(i - kDriver + 1));
      }
      d->DrawAll(0);
      break;
    default: break;
  }
}

int Show3dOptionsDialog() {
  C3dOptionsDialog dialog;
  return dialog.RunModalLoop();
}
