#include <utility>

#include "platformlib/display/displayfixture.h"

namespace {

class KeyboardTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    keyringcreate();
  }
  static void press(uint8_t scan) { keystates[scan] = 1; }
  static void key(uint8_t scan, uint16_t code = 0) { keyringput(0, scan, code, 1); }
};

TEST_F(KeyboardTest, ScanCodesTranslateByShiftState) {
  struct Case {
    uint8_t held;  // 0: none
    bool caps;
    uint8_t scan;
    uint32_t expected;
  };
  const Case cases[] = {
      {0, false, 0x1E, 0x1E0061},     // a
      {0x2A, false, 0x1E, 0x1E0041},  // Shift+A
      {0x36, false, 0x02, 0x020021},  // right Shift+1 gives '!'
      {0, true, 0x1E, 0x1E0041},      // Caps Lock on: the Caps Lock table
      {0, true, 0x02, 0x020031},      // Caps Lock leaves digits alone
      {0x1D, false, 0x19, 0x190010},  // Ctrl+P
      {0x38, false, 0x1E, 0x1E1E00},  // Alt+A: its scan code, no character
      {0, false, 0x47, 0x474700},     // Home
      {0, false, 0x57, 0x578700},     // F11
      {0, false, 0x3B, 0x3B3B00},     // F1
      {0x2A, false, 0x3B, 0x3B5400},  // Shift+F1
  };
  for (const Case& c : cases) {
    for (auto& k : keystates) k = 0;
    capslockstate = c.caps ? 1 : 0;
    if (c.held) press(c.held);
    key(c.scan);
    EXPECT_EQ(getkey(), c.expected) << std::hex << int(c.held) << " " << int(c.scan);
    EXPECT_EQ(getkey(), 0u);
  }
}

TEST_F(KeyboardTest, CapsLockKeyTogglesAndGivesNothing) {
  key(0x3A);
  key(0x1E);
  EXPECT_EQ(peekkey(), 0x1E0041u) << "the Caps Lock entry is dropped, the next key read with it on";
  EXPECT_EQ(getkey(), 0x1E0041u);
  EXPECT_EQ(capslockstate, 1);
  key(0x3A);
  key(0x1E);
  EXPECT_EQ(getkey(), 0x1E0061u);
}

TEST_F(KeyboardTest, RingEntriesWithCodesComeFirstAsTheyAre) {
  key(0x1E, 'q');
  key(0x47, 0x4700);
  EXPECT_EQ(getkey(), 0x1E0071u);
  EXPECT_EQ(getkey(), 0x474700u);
  key(0x3A);
  flushkeys();
  EXPECT_EQ(keyringcount(), 0);
}

TEST_F(KeyboardTest, HomeKeyThroughTheWindow) {
  HWND window = openmainwindow(320, 200, 0);
  ASSERT_NE(window, nullptr);
  keybd_event(VK_HOME, 0x47, KEYEVENTF_EXTENDEDKEY, 0);
  keybd_event(VK_HOME, 0x47, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(waitfor([] { return keyringcount() == 1 && keystates[0x47].load() == 0; }));
  EXPECT_EQ(getkey(), 0x474700u);
  // With key tracking the window thread only records the scan code; the reader translates it.
  initkeys();
  keybd_event('A', 0x1E, 0, 0);
  keybd_event('A', 0x1E, KEYEVENTF_KEYUP, 0);
  ASSERT_TRUE(waitfor([] { return keyringcount() == 1 && keystates[0x1E].load() == 0; }));
  KeyRingEntry e{};
  ASSERT_TRUE(keyringpeek(0, &e));
  EXPECT_EQ(e.code, 0);
  EXPECT_EQ(getkey(), 0x1E0061u);
  stopkeys();
}

TEST_F(KeyboardTest, CtrlEscEndsTheProgram) {
  press(0x1D);
  EXPECT_THROW(scantochar(1), winapi::testing::ExitCalled);
}

uint32_t nestedresult = 1;
int nestedcalls = 0;
void nestedhandler(uint32_t) {
  ++nestedcalls;
  keyringput(0, 0x19, 16, 1);
  nestedresult = getkeyhot();
}

TEST_F(KeyboardTest, HotKeyDoesNotNest) {
  addkeyhandler(16, nestedhandler);
  key(0x19, 16);
  EXPECT_EQ(getkeyhot(), 0u);
  EXPECT_EQ(nestedcalls, 1);
  EXPECT_EQ(nestedresult, 0x190010u) << "inside a handler the key comes back as itself";
}

template <int N>
void counting(uint32_t) {
  ++nestedcalls;
}

template <size_t... I>
void addsixtyfour(std::index_sequence<I...>) {
  (addkeyhandler(32 + I, counting<static_cast<int>(I)>), ...);
}

TEST_F(KeyboardTest, SixtyFifthHandlerIsIgnored) {
  addsixtyfour(std::make_index_sequence<HOTKEYSLOTS>());
  addkeyhandler(110, counting<100>);  // 'n'
  nestedcalls = 0;
  EXPECT_EQ(dispatchkeyhandler(110), 110u);
  EXPECT_EQ(nestedcalls, 0);
  EXPECT_EQ(dispatchkeyhandler(32), 0u);
  EXPECT_EQ(nestedcalls, 1);
  // A known handler keeps its slot for another key.
  addkeyhandler(0x4700, counting<0>);
  EXPECT_EQ(dispatchkeyhandler(0x474700), 0u);
  EXPECT_EQ(nestedcalls, 2);
}

TEST_F(KeyboardTest, PauseAndExitPrompts) {
  installhotkeys();
  key(0x19, 16);  // Ctrl+P
  key(0x31, 'x');
  EXPECT_EQ(getkeyhot(), 0u);
  EXPECT_EQ(keyringcount(), 0) << "the pause box took the key that resumed";

  key(0x2D, 24);  // Ctrl+X
  key(0x31, 'n');
  EXPECT_EQ(getkeyhot(), 0u);
  key(0x2D, 24);
  key(0x15, 'y');
  try {
    getkeyhot();
    ADD_FAILURE() << "a yes ends the program";
  } catch (const winapi::testing::ExitCalled& exit) {
    EXPECT_EQ(exit.code, 0u);
  }
}

TEST_F(KeyboardTest, KeyTicksReturnsAtOnceBeforeTheDeadline) {
  keydeadline = gettimerticks() + 100;
  EXPECT_EQ(keyticks(), 0u);
  key(0x1E);
  EXPECT_EQ(keyticks(), 0x1E0061u);
  setkeycallback(nullptr);
  EXPECT_EQ(callkeycallback(), 0u);
}

TEST_F(KeyboardTest, MouseIsClampedToTheDisplay) {
  displaywidth = 640;
  displayheight = 480;
  initmouse();
  mousetrack(700, -5, 1);
  int32_t x = -1, y = -1;
  EXPECT_EQ(readmouse(&x, &y), 1);
  EXPECT_EQ(x, 640);
  EXPECT_EQ(y, 0);
  mousetrack(100, 200, 0);
  EXPECT_EQ(mousestate().read(&x, &y), 0);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 200);
  mousestate().hide();
  EXPECT_EQ(mousestate().showcount, -1);
  displaywidth = displayheight = 0;
}

TEST_F(KeyboardTest, JapaneseKeyboardInstallsItsTable) {
  winapi::testing::SetKeyboardType(4, 0);
  EXPECT_EQ(checkjapanesekeyboard(), 0);
  EXPECT_EQ(keytranslation, nullptr);
  winapi::testing::SetKeyboardType(7, 0x0D02);
  EXPECT_EQ(checkjapanesekeyboard(), 1);
  EXPECT_EQ(keytranslation, japanesekeytable);
  EXPECT_EQ(keytranslation[0x1E], 0x1E);
  keytranslation = nullptr;
}

TEST_F(KeyboardTest, Reciprocals) {
  initreciprocals();
  EXPECT_EQ(reciprocals[0], 0u);
  EXPECT_EQ(reciprocals[1], 0xFFFFFFFFu) << "2^32 does not fit: the largest word";
  EXPECT_EQ(reciprocals[2], 0x80000001u);
  EXPECT_EQ(reciprocals[3], 1431655766u);
  EXPECT_EQ(reciprocals[1023], static_cast<uint32_t>(4294967296ull / 1023 + 1));
}

}  // namespace
