// The hole overview: a fly-over of the current hole from its overview file, with Play (again) and Ok.
#pragma once

#include <string>

#include "frontend/dialog.h"

class COverviewDlg : public CDialogADV {
 public:
  explicit COverviewDlg(const std::string& path);
  void DrawAll(int flag) override;
  static void OnClick(TGenericControlADV* control);
  // The overview's area, centred on the screen.
  static MARect Area();
  std::string overviewPath;
  bool pictureShown = false;
  int plays = 0;  // times the overview was asked to play
};

// The overview file of the current hole ("holeNN.uv" in the course's folder): its full path, or "" when the hole
// has none or the path would not fit its 256 characters.
std::string FindOverviewFile();
// Runs the dialog; 0 without opening anything when the hole has no overview file.
int ShowOverviewDialog();
