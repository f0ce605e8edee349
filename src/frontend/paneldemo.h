// The round's panels shown over a test picture, outside a round (the menu demonstration program): the swing
// calibration panel, the camera position dialog or the change view dialog; the main menu follows them.
#pragma once

enum class DemoPanel { kNone, kCalibration, kCamera, kView };
extern DemoPanel StartPanel;

// The test picture (bands of colour under a white grid) into the background and the drawn buffer.
void DrawPanelTestPicture();

// The test picture as the screen's background, with the panel over it.
void ShowPanelDemo(DemoPanel panel);
