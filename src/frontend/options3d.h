// The 3D options dialog: the 3D driver and the picture-quality settings (fog, object textures, object and terrain
// detail), the automatic choice ("Factory Settings"), kept by Ok as graphics preferences 1 to 5.
#pragma once

#include "frontend/clubs.h"
#include "frontend/dialog.h"

class C3dOptionsDialog : public CDialogADV {
 public:
  enum Control { kCancel, kOk, kFactory, kDriver, kFog, kTextures, kObjectDetail, kTerrainDetail, kControls };
  C3dOptionsDialog();
  void DrawAll(int flag) override;
  // The render settings shown by the selectors, and the driver selector by the 3D hardware found.
  void LoadSettings();
  static void OnClick(TGenericControlADV* control);

  CDialogSelectTxtBtn* selectors[kControls] = {};  // by identifier, kDriver to kTerrainDetail
  CDialogTxtBtn* buttons[3] = {};
};

// Runs the dialog: 1 after Ok, 0 after Cancel or Esc.
int Show3dOptionsDialog();
