// Pictures of the highlights screen, the 3D options dialog and the round's panels (calibration over the test picture,
// the camera dialogs over a flat view), and a replay that cannot start.
#include "screenfixture.h"

#include "frontend/paneldemo.h"
#include "roundui/install.h"

class PanelsTest : public ScreensTest {
 protected:
  void SetUp() override {
    ScreensTest::SetUp();
    InstallRoundInterfaceServices();
    SetSavedShotFolder("C:\\");
    SetCursorPos(10, 590);  // no control under the pointer
  }
};

TEST_F(PanelsTest, GoldenHighlightsWithTheFirstShotDescribed) {
  ShowMainMenu();
  ShowHighlightsScreen(nullptr);
  ASSERT_NE(HighlightsScreen, nullptr);
  HighlightsScreen->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "highlights", 2, "frontend");
  THighlightsADV::OnMainMenuClicked(nullptr);
}

TEST_F(PanelsTest, GoldenThreeDOptionsWithBothCards) {
  gRenderStart = RenderStart{};
  gRenderStart.glideCardFound = 1;
  gRenderStart.direct3DAvailable = 80;
  ShowMainMenu();
  C3dOptionsDialog d;
  d.DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "options3d", 2, "frontend");
  gRenderStart = RenderStart{};
}

TEST_F(PanelsTest, GoldenCalibrationPanelOverTheTestPicture) {
  MouseSwingSensitivity = 60;
  ShowPanelDemo(DemoPanel::kCalibration);
  ASSERT_NE(CalibrationPanel, nullptr);
  ASSERT_TRUE(CalibrationPanel->Shown());
  CalibrationPanel->Step(4);  // the marker moved off its default
  CurrentScreen->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "calibration", 2, "frontend");
  CalibrationPanel->Cancel();
  EXPECT_EQ(MouseSwingSensitivity, 60);
}

TEST_F(PanelsTest, GoldenCameraDialogsOverAFlatView) {
  // No hole loaded: the preview is the flat sky, horizon and ground of an empty course.
  MainView.SetOffsets(0.0f, 0.0f);
  MainView.SetHeading(0);
  DrawPanelTestPicture();
  {
    CCameraPositionDlg camera;
    for (int i = 0; i < 4; ++i) CCameraPositionDlg::OnButton(camera.buttons[CCameraPositionDlg::kRight]);
    camera.DrawAll(0);
    d3dtest::ExpectGolden(Shrunk(), "camera", 2, "frontend");
  }
  DrawPanelTestPicture();
  {
    CChangeViewDialog rotate(CChangeViewDialog::kRotateView);
    rotate.DrawAll(0);
    d3dtest::ExpectGolden(Shrunk(), "rotateview", 2, "frontend");
    rotate.EndModal(0);
  }
}
