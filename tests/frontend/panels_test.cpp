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

TEST_F(PanelsTest, AShotThatCannotBeReplayedBringsTheScreenBackWithANotice) {
  const std::string path = Installation() + "/SHOT0001.DAT";
  SavedShotHead head;
  std::vector<uint8_t> body;
  ASSERT_EQ(LoadSavedShot("SHOT0001.DAT", head, body), 0);
  const auto write = [&](const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  const std::vector<uint8_t> original = EncodeSavedShot(head, body);
  std::vector<uint8_t> damagedBody = body;
  damagedBody[0] ^= 0xFF;  // sound as a file, its shot not
  struct Case {
    const char* what;
    std::vector<uint8_t> file;  // empty: removed after the screen listed it
  } cases[] = {{"body not a shot", EncodeSavedShot(head, damagedBody)}, {"file gone", {}}};
  ShowMainMenu();
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    PostMessageA(nullptr, WM_CHAR, 13, 0);
    ShowConfirmDialog("A notice of the test's own", nullptr, nullptr);  // so the one looked for is new
    write(original);
    ShowHighlightsScreen(nullptr);
    ASSERT_NE(HighlightsScreen, nullptr);
    HighlightsScreen->list->Select(0, false);
    if (k.file.empty()) std::filesystem::remove(path);
    else write(k.file);
    PostMessageA(nullptr, WM_CHAR, 13, 0);  // the notice's Ok
    THighlightsADV::ReplaySelectedShot(HighlightsScreen->teeOffButton);
    EXPECT_EQ(LastMessageText(), "This shot cannot be replayed.");
    ASSERT_NE(HighlightsScreen, nullptr);
    EXPECT_EQ(CurrentScreen, HighlightsScreen);
    EXPECT_EQ(HighlightsScreen->list->Size(), 2);
    THighlightsADV::OnMainMenuClicked(nullptr);
    Drain();
  }
  write(original);
}
