// Dialogs: Esc, Enter and time-out end the modal loop; fires posted in it never outlive it; golf messages wait for
// it; the text input's buffer stays terminated.
#include "fefixture.h"

#include "app/gameapp.h"

namespace {

void Post(UINT message, WPARAM w, LPARAM l = 0) { PostMessageA(nullptr, message, w, l); }

}  // namespace

class DialogTest : public FrontEndTest {
 protected:
  void SetUp() override {
    FrontEndTest::SetUp();
    SetAppActive();
  }
};

TEST_F(DialogTest, MessageBoxAnswers) {
  struct Case {
    const char* name;
    int set, defaultResult;
    std::vector<std::pair<UINT, WPARAM>> input;
    uint32_t timeout;
    int expected;
  } cases[] = {
      {"Esc on set 4", 4, 1, {{WM_CHAR, 27}}, 0, 0},
      {"Esc on set 1", 1, 1, {{WM_CHAR, 27}}, 0, 0},
      {"Enter on set 1", 1, 0, {{WM_CHAR, 13}}, 0, 1},
      {"Enter on the focused Ok", 2, 1, {{WM_CHAR, 13}}, 0, 1},
      {"time-out gives the default", 4, 1, {}, 500, 1},
      {"hot key N of set 3", 3, 1, {{WM_CHAR, 'n'}}, 0, 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    for (const auto& [m, w] : k.input) Post(m, w);
    // A dialog with no answer ends at its time-out; the cases with input get a long one as a guard.
    const int r = ShowMessageDialog("Question", k.set, k.defaultResult, nullptr, k.timeout ? k.timeout : 60000, nullptr);
    EXPECT_EQ(r, k.expected);
    EXPECT_EQ(CurrentScreen, nullptr);
    Drain();
  }
}

TEST_F(DialogTest, GolfMessagesWaitAndFiresAreDiscardedWhenTheDialogEnds) {
  Post(0x700, 5, 6);
  Post(kControlFireMessage, kControlFireCode, 0);  // a stale fire of no live control
  Post(WM_CHAR, 27);
  EXPECT_EQ(ShowMessageDialog("Wait", 1, 1, nullptr, 60000, nullptr), 0);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, kControlFireMessage, kControlFireMessage, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0x700, 0x700, PM_REMOVE));
  EXPECT_EQ(m.wParam, 5u);
}

TEST_F(DialogTest, ConfirmRunsTheActionOfTheAnswer) {
  static int yes = 0, no = 0;
  yes = no = 0;
  Post(WM_CHAR, 13);
  ShowConfirmDialog("Are you sure?", [] { ++yes; }, [] { ++no; });
  Post(WM_CHAR, 27);
  ShowConfirmDialog("Are you sure?", [] { ++yes; }, [] { ++no; });
  EXPECT_EQ(yes, 1);
  EXPECT_EQ(no, 1);
}

TEST_F(DialogTest, TextInputKeepsTheTerminatorAndFirstKeyReplacesTheText) {
  char buffer[5] = "abc";
  for (char c : std::string("vwxyz")) Post(WM_CHAR, static_cast<WPARAM>(c));
  Post(WM_CHAR, 13);
  EXPECT_EQ(ShowTextInputDialog("Name", buffer, sizeof buffer, nullptr), 1);
  EXPECT_STREQ(buffer, "vwxy");
  Post(WM_CHAR, 'q');
  Post(WM_CHAR, 27);
  EXPECT_EQ(ShowTextInputDialog("Name", buffer, sizeof buffer, nullptr), 0);
  EXPECT_STREQ(buffer, "vwxy");
}
