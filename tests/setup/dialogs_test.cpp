// Dialogs built from templates in code: controls and their state, clicks, the end of a dialog, strings.
#include <cstring>

#include "setupfixture.h"

namespace setuptest {
namespace {

constexpr int kDialog = 7001;

struct Log {
  std::vector<std::pair<UINT, int>> messages;  // message, control id
  LPARAM initParam = 0;
  int endOn = 0;
};
Log g_log;

INT_PTR CALLBACK RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    g_log.initParam = lParam;
    g_log.messages.push_back({message, GetDlgCtrlID(reinterpret_cast<HWND>(wParam))});
    return TRUE;
  }
  if (message == WM_COMMAND) {
    g_log.messages.push_back({message, LOWORD(wParam)});
    EXPECT_EQ(HIWORD(wParam), BN_CLICKED);
    EXPECT_EQ(reinterpret_cast<HWND>(lParam), GetDlgItem(dialog, LOWORD(wParam)));
    if (LOWORD(wParam) == g_log.endOn) EndDialog(dialog, 77);
    return TRUE;
  }
  return FALSE;
}

class Dialogs : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    g_log = Log{};
    winapi::dialogs::DialogTemplate t;
    t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION;
    t.cx = 100;
    t.cy = 60;
    t.caption = "Test";
    t.controls = {
        {1, "STATIC", SS_LEFT, "Hello", 2, 2, 90, 8},
        {10, "BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, "A", 2, 12, 30, 8},
        {11, "BUTTON", BS_AUTORADIOBUTTON, "B", 2, 22, 30, 8},
        {20, "BUTTON", BS_AUTORADIOBUTTON | WS_GROUP, "C", 40, 12, 30, 8},
        {21, "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, "D", 40, 22, 30, 8},
        {30, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, "&Ok", 40, 40, 30, 12},
        {31, "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, "Go", 2, 40, 30, 12},
    };
    winapi::dialogs::RegisterDialog(kDialog, t);
  }
};

TEST_F(Dialogs, ClicksChangeAutomaticButtonsAndReachTheProcedure) {
  g_log.endOn = 30;
  winapi::testing::SetDialogHook([](HWND dialog, int id) {
    EXPECT_EQ(id, kDialog);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, 21));  // the first tab stop, as the procedure answered TRUE
    EXPECT_TRUE(CheckRadioButton(dialog, 10, 11, 10));
    EXPECT_TRUE(CheckDlgButton(dialog, 20, BST_CHECKED));
    EXPECT_TRUE(winapi::testing::PressDialogButton(dialog, 11));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 10), UINT{BST_UNCHECKED});
    EXPECT_EQ(IsDlgButtonChecked(dialog, 11), UINT{BST_CHECKED});
    EXPECT_EQ(IsDlgButtonChecked(dialog, 20), UINT{BST_CHECKED});  // another group
    EXPECT_TRUE(winapi::testing::PressDialogButton(dialog, 21));
    EXPECT_TRUE(winapi::testing::PressDialogButton(dialog, 21));
    EXPECT_TRUE(winapi::testing::PressDialogButton(dialog, 21));
    EXPECT_EQ(IsDlgButtonChecked(dialog, 21), UINT{BST_CHECKED});
    EXPECT_FALSE(winapi::testing::PressDialogButton(dialog, 1));   // static text
    EXPECT_FALSE(winapi::testing::PressDialogButton(dialog, 99));  // no such control
    EXPECT_TRUE(winapi::testing::PressDialogButton(dialog, 30));
  });
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCE(kDialog), nullptr, RecordingProc, 1234), 77);
  EXPECT_EQ(g_log.initParam, 1234);
  const std::vector<std::pair<UINT, int>> expected = {
      {WM_INITDIALOG, 21}, {WM_COMMAND, 11}, {WM_COMMAND, 21}, {WM_COMMAND, 21}, {WM_COMMAND, 21}, {WM_COMMAND, 30}};
  EXPECT_EQ(g_log.messages, expected);
}

TEST_F(Dialogs, TextsOfControlsAndTheWindowAreItsOwn) {
  g_log.endOn = 30;
  winapi::testing::SetDialogHook([](HWND dialog, int) {
    char text[16];
    EXPECT_EQ(GetDlgItemTextA(dialog, 1, text, sizeof text), 5u);
    EXPECT_STREQ(text, "Hello");
    EXPECT_TRUE(SetDlgItemTextA(dialog, 1, "A longer text than fits"));
    EXPECT_EQ(GetDlgItemTextA(dialog, 1, text, sizeof text), 15u);
    EXPECT_STREQ(text, "A longer text t");
    EXPECT_EQ(GetDlgItemTextA(dialog, 99, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(SetDlgItemTextA(dialog, 99, "x"));
    EXPECT_EQ(GetDlgItem(dialog, 99), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_CONTROL_ID_NOT_FOUND});
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ(text, "Test");
    winapi::testing::PressDialogButton(dialog, 30);
  });
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCE(kDialog), nullptr, RecordingProc, 0), 77);
}

TEST_F(Dialogs, UnknownTemplatesAndUnendedDialogsGiveMinusOne) {
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCE(4242), nullptr, RecordingProc, 0), -1);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_NAME_NOT_FOUND});
  EXPECT_EQ(DialogBoxParamA(nullptr, "named", nullptr, RecordingProc, 0), -1);
  HWND seen = nullptr;
  winapi::testing::SetDialogHook([&](HWND dialog, int) { seen = dialog; });
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCE(kDialog), nullptr, RecordingProc, 0), -1);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_CANCELLED});
  EXPECT_FALSE(IsWindow(seen));  // the dialog's window is gone
  EXPECT_FALSE(EndDialog(seen, 1));
}

TEST_F(Dialogs, WithoutAHookOrTerminalTheDefaultButtonIsPressed) {
  if (isatty(STDIN_FILENO)) GTEST_SKIP() << "a person could answer on this terminal";
  g_log.endOn = 31;
  EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCE(kDialog), nullptr, RecordingProc, 0), 77);
  ASSERT_EQ(g_log.messages.size(), 2u);
  EXPECT_EQ(g_log.messages[1], (std::pair<UINT, int>{WM_COMMAND, 31}));
}

TEST_F(Dialogs, StringsAreCopiedWithinTheBuffer) {
  winapi::dialogs::RegisterString(9001, "Twelve chars");
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(LoadStringA(nullptr, 9001, buffer, 5), 4);
  EXPECT_STREQ(buffer, "Twel");
  EXPECT_EQ(buffer[5], 'x');
  EXPECT_EQ(LoadStringA(nullptr, 9002, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(LoadStringA(nullptr, 9001, buffer, 0), 0);
  EXPECT_EQ(LoadStringA(nullptr, 9001, buffer, 1), 0);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
}  // namespace setuptest
