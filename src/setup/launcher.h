// The launcher: starts the card-table writer, asks for 3D acceleration and the screen resolution, stores
// them where the game reads them, and starts the game.
#pragma once

#include <string>

#include "windows.h"

namespace launcher {

extern const char kTitle[];
extern const char kGraphicsKey[];  // below HKEY_LOCAL_MACHINE
extern const char kScannerFile[];  // "qv99\hwscan.exe"
extern const char kGameFile[];     // "qv99\teebox.exe"

constexpr int kDialogId = 101;
constexpr int kPromptString = 3;
constexpr int kNotFoundString = 4;
constexpr int kLaunchButton = 1003;
constexpr int kPromptText = 1002;
constexpr int k3DCheckBox = 1008;
constexpr int k640Button = 1009;
constexpr int k800Button = 1010;
constexpr int k1024Button = 1011;
// How long the launcher waits for the card-table writer before it touches the registry itself, and again
// before it starts the game (which reads the table).
constexpr DWORD kScannerWaitMs = 10000;

// The settings while the dialog runs.
extern DWORD g_enable3D;
extern DWORD g_resolution;

// Puts the dialog and the strings where DialogBoxParamA and LoadStringA find them.
void RegisterResources();
int WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);
INT_PTR CALLBACK LaunchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The system's text for the last error code, in a warning box with the program's title.
void ShowLastErrorBox();
// The program's own arguments as one command line, quoted so that the programs it starts split it back.
std::string JoinArguments(int argc, const char* const* argv);

}  // namespace launcher
