// The launcher: its dialog shows the stored settings, its buttons change them, and it starts the card-table
// writer and the game with its own command line; missing programs and registry failures end it with 1.
#include <cstring>

#include "launcher.h"
#include "setupfixture.h"

namespace setuptest {
namespace {

const std::string kGraphics = "SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99\\Graphics";
const char kTitle[] = "Zarvo Velmarth 99 Vex TOUR Golf Demo";

struct Seen {
  bool shown = false;
  std::string caption;
  std::string prompt;
  UINT check3D = 0;
  UINT radios[3] = {};
  bool focusOnLaunch = false;
  RECT rect{};
};

class Launcher : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    MakeProgram("qv99/hwscan");
    MakeProgram("qv99/teebox");
    winapi::testing::SetSpawnHook([this](const winapi::testing::SpawnRequest& r) {
      spawned.push_back(r);
      return winapi::testing::SpawnResult{};
    });
    Press({launcher::kLaunchButton});
  }
  // The dialog records what it shows, then the user presses these buttons in turn.
  void Press(std::vector<int> ids) {
    winapi::testing::SetDialogHook([this, ids](HWND dialog, int templateId) {
      EXPECT_EQ(templateId, 101);
      seen.shown = true;
      char text[256] = {};
      GetWindowTextA(dialog, text, sizeof text);
      seen.caption = text;
      GetDlgItemTextA(dialog, 1002, text, sizeof text);
      seen.prompt = text;
      seen.check3D = IsDlgButtonChecked(dialog, 1008);
      for (int i = 0; i < 3; ++i) seen.radios[i] = IsDlgButtonChecked(dialog, 1009 + i);
      seen.focusOnLaunch = GetFocus() == GetDlgItem(dialog, 1003);
      GetWindowRect(dialog, &seen.rect);
      for (int id : ids) EXPECT_TRUE(winapi::testing::PressDialogButton(dialog, id)) << id;
    });
  }
  int Run(const char* commandLine = "") {
    std::string line = commandLine;
    return launcher::WinMain(nullptr, nullptr, line.data(), SW_SHOWDEFAULT);
  }
  DWORD Value(const char* name) {
    DWORD v = 0xDEAD;
    EXPECT_TRUE(ReadDword(kGraphics, name, &v)) << name;
    return v;
  }

  std::vector<winapi::testing::SpawnRequest> spawned;
  Seen seen;
};

TEST_F(Launcher, FirstRunCreatesTheKeyShowsTheDefaultsAndStartsBothPrograms) {
  EXPECT_EQ(Run("/NETWIRE \"my file\""), 0);
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(seen.caption, kTitle);
  EXPECT_EQ(seen.prompt, "Select your desired settings: (Some options may not be available on all computers.)");
  EXPECT_EQ(seen.check3D, UINT{BST_CHECKED});
  EXPECT_EQ(seen.radios[0], UINT{BST_UNCHECKED});
  EXPECT_EQ(seen.radios[1], UINT{BST_CHECKED});
  EXPECT_EQ(seen.radios[2], UINT{BST_UNCHECKED});
  EXPECT_TRUE(seen.focusOnLaunch);
  // Centred on the desktop.
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  EXPECT_LE(std::abs((seen.rect.left + seen.rect.right) - (desktop.left + desktop.right)), 1);
  EXPECT_LE(std::abs((seen.rect.top + seen.rect.bottom) - (desktop.top + desktop.bottom)), 1);

  EXPECT_EQ(Value("3D Enable Flag"), 1u);
  EXPECT_EQ(Value("Game Screen Resolution"), 1u);
  ASSERT_EQ(spawned.size(), 2u);
  EXPECT_TRUE(spawned[0].hostPath.ends_with("/qv99/hwscan")) << spawned[0].hostPath;
  EXPECT_TRUE(spawned[1].hostPath.ends_with("/qv99/teebox")) << spawned[1].hostPath;
  for (const auto& r : spawned) {
    EXPECT_EQ(r.parameters, "/NETWIRE \"my file\"");
    EXPECT_EQ(r.arguments, (std::vector<std::string>{"/NETWIRE", "my file"}));
  }
  EXPECT_TRUE(winapi::testing::TakeMessageBoxes().empty());
  // Saved for the game, which reads the registry file.
  winapi::registry::UseFile(registryFile);
  EXPECT_EQ(Value("Game Screen Resolution"), 1u);
}

TEST_F(Launcher, StoredSettingsAndClicksGiveTheWrittenValues) {
  struct Case {
    int flag;  // -1: absent
    int resolution;
    std::vector<int> clicks;
    UINT shownCheck;
    int shownRadio;  // -1: none
    DWORD flagAfter;
    DWORD resolutionAfter;
  };
  const Case cases[] = {
      {0, 0, {1003}, BST_UNCHECKED, 0, 0, 0},
      {0, 0, {1008, 1011, 1003}, BST_UNCHECKED, 0, 1, 2},
      {1, 2, {1009, 1008, 1003}, BST_CHECKED, 2, 0, 0},
      {1, 3, {1003}, BST_CHECKED, -1, 1, 3},       // out of range: nothing selected, kept
      {5, 1, {1008, 1003}, BST_CHECKED, 1, 0, 1},  // any non-zero flag is on
      {-1, -1, {1008, 1008, 1010, 1003}, BST_CHECKED, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flag << "/" << c.resolution);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ZO Vodoro\\Zarvo Velmarth 99", 0, KEY_ALL_ACCESS, &key) == 0) {
      RegDeleteKeyA(key, "Graphics");
      RegCloseKey(key);
    }
    if (c.flag >= 0) WriteDword(kGraphics, "3D Enable Flag", DWORD(c.flag));
    if (c.resolution >= 0) WriteDword(kGraphics, "Game Screen Resolution", DWORD(c.resolution));
    seen = Seen{};
    Press(c.clicks);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(seen.check3D, c.shownCheck);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(seen.radios[i], UINT(i == c.shownRadio ? BST_CHECKED : BST_UNCHECKED)) << i;
    EXPECT_EQ(Value("3D Enable Flag"), c.flagAfter);
    EXPECT_EQ(Value("Game Screen Resolution"), c.resolutionAfter);
  }
}

TEST_F(Launcher, ADialogLeftWithoutLaunchSavesTheSettingsButStartsNoGame) {
  Press({1011});
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(Value("Game Screen Resolution"), 2u);
  ASSERT_EQ(spawned.size(), 1u);
  EXPECT_TRUE(spawned[0].hostPath.ends_with("/qv99/hwscan"));
}

TEST_F(Launcher, MissingProgramsAreNamedAndEndTheLauncher) {
  struct Case {
    const char* remove;
    const char* message;
    bool dialogShown;
    size_t started;
  };
  const Case cases[] = {
      {"qv99/hwscan", "Could not find qv99\\hwscan.exe.", false, 0},
      {"qv99", "Could not find qv99\\hwscan.exe.", false, 0},
      {"qv99/teebox", "Could not find qv99\\teebox.exe.", true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.remove);
    MakeProgram("qv99/hwscan");
    MakeProgram("qv99/teebox");
    fs::remove_all(dir / "drive" / c.remove);
    spawned.clear();
    seen = Seen{};
    EXPECT_EQ(Run(), 1);
    auto boxes = winapi::testing::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, c.message);
    EXPECT_EQ(boxes[0].caption, kTitle);
    EXPECT_EQ(boxes[0].type & 0xF0, UINT{MB_ICONWARNING});
    EXPECT_TRUE(boxes[0].type & MB_SETFOREGROUND);
    EXPECT_EQ(seen.shown, c.dialogShown);
    EXPECT_EQ(spawned.size(), c.started);
  }
  // The writer missing stops the launcher before it touches the registry.
  EXPECT_EQ(Value("3D Enable Flag"), 1u);  // from the last case, which ran the dialog
}

TEST_F(Launcher, AProgramWithoutItsExtensionOnTheHostIsFoundEitherWay) {
  MakeProgram("qv99/hwscan.exe");
  fs::remove(dir / "drive" / "qv99" / "hwscan");
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(spawned.size(), 2u);
  EXPECT_TRUE(spawned[0].hostPath.ends_with("/qv99/hwscan.exe"));
}

TEST_F(Launcher, RegistryFailuresShowTheirReasonAndStartNoGame) {
  struct Case {
    const char* what;
    std::function<void()> inject;
    bool dialogShown;
  };
  const Case cases[] = {
      {"open refused",
       [] {
         setup::Registry().openKey = [](HKEY, LPCSTR, DWORD, REGSAM, PHKEY) { return LONG{ERROR_ACCESS_DENIED}; };
       },
       false},
      {"create refused",
       [] {
         setup::Registry().createKey = [](HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY,
                                          LPDWORD) { return LONG{ERROR_ACCESS_DENIED}; };
       },
       false},
      {"read refused",
       [] {
         setup::Registry().queryValue = [](HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
           return LONG{ERROR_ACCESS_DENIED};
         };
       },
       false},
      {"write refused",
       [] {
         setup::Registry().setValue = [](HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD) {
           return LONG{ERROR_ACCESS_DENIED};
         };
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setup::UsePlatformRegistry();
    spawned.clear();
    seen = Seen{};
    SetLastError(0);
    c.inject();
    EXPECT_EQ(Run(), 1);
    auto boxes = winapi::testing::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    // The registry's own error, not whatever the last error happened to be.
    EXPECT_EQ(boxes[0].text, "Access was refused.\r\n");
    EXPECT_EQ(boxes[0].caption, kTitle);
    EXPECT_EQ(boxes[0].type & 0xF0, UINT{MB_ICONWARNING});
    EXPECT_EQ(seen.shown, c.dialogShown);
    ASSERT_EQ(spawned.size(), 1u);  // the writer only
  }
}

TEST_F(Launcher, AWriterThatCannotStartTakesTheErrorPath) {
  winapi::testing::SetSpawnHook([this](const winapi::testing::SpawnRequest& r) {
    spawned.push_back(r);
    return winapi::testing::SpawnResult{false, ERROR_NOT_ENOUGH_MEMORY, 0};
  });
  EXPECT_EQ(Run(), 1);
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "There is not enough memory for this.\r\n");
  EXPECT_FALSE(seen.shown);
  EXPECT_FALSE(KeyExists(kGraphics));
}

TEST_F(Launcher, AnErrorWithoutASystemTextStillSaysWhichOneItWas) {
  SetLastError(987654);
  launcher::ShowLastErrorBox();
  auto boxes = winapi::testing::TakeMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Error 987654.");
}

TEST(LauncherCommandLine, ArgumentsAreJoinedSoThatTheyAreSplitBack) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"/NETWIRE"},
      {"/GS", "lobby.example", "/INETREADY"},
      {"with space", "", "quote\"inside", "trail\\", "dir\\ with\\\\\"q"},
  };
  for (const auto& args : cases) {
    std::vector<const char*> argv{"launch"};
    for (const auto& a : args) argv.push_back(a.c_str());
    std::string line = launcher::JoinArguments(static_cast<int>(argv.size()), argv.data());
    std::vector<std::string> back;
    winapi::testing::SetSpawnHook([&](const winapi::testing::SpawnRequest& r) {
      back = r.arguments;
      return winapi::testing::SpawnResult{};
    });
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.lpFile = "Z:\\bin\\sh";
    info.lpParameters = line.c_str();
    winapi::testing::MapDrive('Z', "/");
    ASSERT_TRUE(ShellExecuteExA(&info)) << GetLastError();
    EXPECT_EQ(back, args) << line;
    winapi::testing::Reset();
  }
}

}  // namespace
}  // namespace setuptest
