// The score card, statistics and saved games on the demo installation, with the round interface drawing the card.
#include "screenfixture.h"

#include <chrono>

#include "course/courseload.h"
#include "frontart.h"
#include "frontend/savedgames.h"
#include "frontend/scorecard.h"
#include "frontend/tourneydlg.h"
#include "golf/modes.h"
#include "roundui/install.h"
#include "roundui/scorecard.h"

namespace {

std::string SavedFolder() { return Installation() + "/SAVEGAME"; }

// The score card's buttons and the saved games screen's list as a player sees them.
class ScoresTest : public ScreensTest {
 protected:
  void SetUp() override {
    ScreensTest::SetUp();
    InstallRoundInterfaceServices();
    SetSavedGameFolder("C:\\SAVEGAME");
    // The demo's three saved games, fresh for every test.
    std::filesystem::remove_all(SavedFolder());
    mkdemo::WriteDemoSavedGames(SavedFolder());
    // Saved at noon on 31 January 2026 (UTC), whenever and wherever the test runs.
    setenv("TZ", "UTC", 1);
    tzset();
    const auto noon = std::chrono::sys_seconds{std::chrono::seconds{1769860800}};
    for (const auto& file : std::filesystem::directory_iterator(SavedFolder()))
      std::filesystem::last_write_time(file.path(), std::chrono::file_clock::from_sys(noon));
    // The card's rows of yards and ratings are the loaded course's.
    CourseRecord record{};
    ASSERT_EQ(GetCourseInfo(FindCourseByName("SEDGEFEN"), &record), 0);
    ASSERT_EQ(LoadCourse(record), 0);
  }
  void TearDown() override {
    delete SavedGameCard;
    SavedGameCard = nullptr;
    ScreensTest::TearDown();
    UnloadCourse();
    std::filesystem::remove_all(SavedFolder());
  }
  void Scores(int slot, int holes) {
    TPlayer* p = CurrentGame()->players->GetPlayer(slot);
    for (int h = 0; h < holes; ++h) p->SetHoleScore(0, h, static_cast<uint32_t>(3 + (h + slot) % 3), 1 + h % 2);
  }
  std::vector<std::string> ListTexts() {
    std::vector<std::string> out;
    for (int i = 0; SavedGamesScreen && i < SavedGamesScreen->list->Size(); ++i)
      out.push_back(SavedGamesScreen->list->At(i)->text);
    return out;
  }
};

// Answers message boxes that open inside a handler: one key of the script for each new box's text, typed from a
// timer the boxes' loops run.
std::string gScript;
std::string gAnswered;
void CALLBACK TypeNext(HWND, UINT, UINT_PTR id, DWORD) {
  if (gScript.empty()) {
    KillTimer(nullptr, id);
    return;
  }
  if (!dynamic_cast<CModalDialogADV*>(CurrentScreen) || (!gAnswered.empty() && LastMessageText() == gAnswered)) return;
  gAnswered = LastMessageText();
  PostMessageA(nullptr, WM_CHAR, static_cast<WPARAM>(static_cast<uint8_t>(gScript[0])), 0);
  gScript.erase(0, 1);
}
void Script(const std::string& keys) {
  gScript = keys;
  gAnswered.clear();
  SetTimer(nullptr, 0, 20, TypeNext);
}

}  // namespace

TEST_F(ScoresTest, TheCardOpensOnTheNineOfTheCurrentHole) {
  struct Case {
    int hole;  // 0-based
    int front;
  } cases[] = {{0, 1}, {8, 1}, {9, 0}, {17, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hole);
    CurrentGame()->state.hole = static_cast<uint16_t>(c.hole);
    CardFrontNine = 1 - c.front;
    CardShowsPutts = 1;
    // Shown once: drawn, left on the screen, 3 at once.
    EXPECT_EQ(RunScoreCard(kCardShownOnce), 3);
    EXPECT_EQ(CardFrontNine, c.front);
    EXPECT_EQ(CardShowsPutts, 0);  // every run opens on strokes
  }
}

TEST_F(ScoresTest, ThePuttsSwitchIsOnlyOfferedWhereTheModeKeepsPutts) {
  struct Case {
    int mode;
    bool offered;
  } cases[] = {{kModeStroke, true},   {kModeMatchPlay, true},  {kModeSkins, false},
               {kModeShootout, false}, {kModeFourBall, false}, {kModeFoursome, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_EQ(Svc().game->CreateGame(c.mode), 1);
    CurrentGame()->courseName = "SEDGEFEN";
    CScoreCardDlg card(1, 1, 1, kCardInteractive);
    EXPECT_EQ(card.buttons[1]->IsShownAndEnabled() != 0, c.offered);
    // Asked for putts, the card shows them only where they are offered; the title says which.
    EXPECT_EQ(card.showPutts, c.offered ? 1 : 0);
    EXPECT_EQ(card.titleText, std::string("Sedgefen: ") + (c.offered ? "Putts" : "Scores"));
    ScoreCardButtonClicked(card.buttons[1]);
    EXPECT_EQ(card.showPutts, 0);
    EXPECT_EQ(card.titleText, "Sedgefen: Scores");
  }
}

TEST_F(ScoresTest, ButtonsSwitchTheNineAndEndTheCard) {
  TakePart(0, "Ada");
  {
    CScoreCardDlg card(1, 0, 1, kCardInteractive);
    EXPECT_EQ(card.buttons[0]->Text(), "Back 9");
    ScoreCardButtonClicked(card.buttons[0]);
    EXPECT_EQ(card.frontNine, 0);
    EXPECT_EQ(CardFrontNine, 0);
    EXPECT_EQ(card.buttons[0]->Text(), "Front 9");
    // "Exit" through the fire message, as a click sends it.
    PostMessageA(nullptr, kControlFireMessage, kControlFireCode, reinterpret_cast<LPARAM>(card.buttons[3]));
    EXPECT_EQ(card.RunModalLoop(), 3);
  }
  {
    // A golfer without statistics hides "Stats" unless statistics are for all.
    CurrentGame()->players->GetPlayer(0)->flags |= kGolferNoFile;
    CScoreCardDlg card(1, 0, 0, kCardInteractive);
    EXPECT_EQ(card.buttons[2]->IsShownAndEnabled(), 0);
  }
}

TEST_F(ScoresTest, StatisticsPagesStepThroughTheGolfersThatHaveThem) {
  TakePart(0, "Ada");
  TakePart(1, "Brook");
  TakePart(2, "Cole");
  CurrentGame()->players->GetPlayer(0)->flags |= kGolferFlag5;
  CurrentGame()->players->GetPlayer(2)->flags |= kGolferFlag5;
  // The statistics open from the card, which has put the dialogs' screen up.
  EXPECT_EQ(RunScoreCard(kCardShownOnce), 3);
  {
    CStatsDlg stats(0);
    EXPECT_EQ(stats.golfer, 0);
    ASSERT_NE(stats.buttons[1], nullptr);
    StatsButtonClicked(stats.buttons[1]);
    EXPECT_EQ(stats.golfer, 2);
    StatsButtonClicked(stats.buttons[1]);
    EXPECT_EQ(stats.golfer, 0);
  }
  CurrentGame()->players->GetPlayer(2)->flags |= kGolferNoFile;
  CStatsDlg one(0);
  EXPECT_EQ(one.buttons[1], nullptr);  // one golfer: no "Next"
}

TEST_F(ScoresTest, GoldenScoreCardBackNine) {
  TakePart(0, "Ada");
  TakePart(1, "Brook");
  Scores(0, 14);
  Scores(1, 14);
  CurrentGame()->state.hole = 13;
  ShowMainMenu();
  SetCursorPos(10, 590);
  CScoreCardDlg card(0, 0, 1, kCardInteractive);
  card.DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "scorecard_back9", 2, "frontend");
}

TEST_F(ScoresTest, GoldenFinalStandings) {
  ASSERT_EQ(Svc().game->CreateGame(kModeTournament), 1);
  CurrentGame()->courseName = "SEDGEFEN";
  TakePart(0, "Ada");
  Scores(0, 18);
  // The last round played out by the whole field.
  auto* t = dynamic_cast<TTournamentGame*>(CurrentGame());
  ASSERT_NE(t, nullptr);
  for (bool& present : t->present) present = true;
  t->FillMissingScores();
  t->ComputeStandings();
  ShowMainMenu();
  SetCursorPos(10, 590);
  CTourneyDlg standings(0, 2);
  standings.AddContinueButton(CTourneyDlg::EndWithContinue);
  standings.DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "standings_final", 2, "frontend");
}

// A game shown before its course is loaded (a saved game) has the yards and ratings of its course's card.
TEST_F(ScoresTest, TheCardOfAGameNotYetPlayedReadsItsCoursesYards) {
  const CourseCard loaded = CurrentCourse().card;
  ASSERT_NE(loaded.yards[1][0], 0);
  UnloadCourse();
  const struct Case {
    const char* course;
    bool hasCard;
  } cases[] = {{"SEDGEFEN", true}, {"MARSHDALE", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.course);
    CurrentGame()->courseName = c.course;
    const CardInput card = CurrentScoreCard(true, false);
    const CourseCard none{};
    const CourseCard& expected = c.hasCard ? loaded : none;
    EXPECT_EQ(std::memcmp(card.course.yards, expected.yards, sizeof expected.yards), 0);
    EXPECT_EQ(std::memcmp(card.course.ratings, expected.ratings, sizeof expected.ratings), 0);
  }
}

TEST_F(ScoresTest, SavedGamesListsTheGamesThatLoadAndSelectsTheLast) {
  ShowMainMenu();
  ShowSavedGamesScreen(nullptr);
  ASSERT_NE(SavedGamesScreen, nullptr);
  EXPECT_EQ(ListTexts(), (std::vector<std::string>{"Game #1", "Game #2", "Game #3"}));
  EXPECT_EQ(SavedGamesScreen->list->RowOf(SavedGamesScreen->list->Current()), 2);
  ASSERT_NE(CurrentGame(), nullptr);
  EXPECT_EQ(CurrentGame()->mode, kModeSkins);  // the third file's game is current
  SetCursorPos(10, 590);
  SavedGamesScreen->DrawAll(0);
  d3dtest::ExpectGolden(Shrunk(), "savedgames", 2, "frontend");
  // The arrow keys only change the card and the description: the tournament of the second file.
  SavedGamesScreen->list->Select(1, true);
  EXPECT_EQ(CurrentGame()->mode, kModeTournament);
  EXPECT_EQ(CardFrontNine, 0);  // its hole 13 is on the back nine
  OnSavedGamesMainMenu(nullptr);
  EXPECT_EQ(CurrentScreen, MainMenuScreen);
  EXPECT_EQ(CurrentGame()->mode, kModeStroke);  // the game of before is back
}

TEST_F(ScoresTest, AFileThatDoesNotLoadIsLeftOutAndTheOthersKeepTheirFiles) {
  std::ofstream(SavedFolder() + "/game0002.dat") << "not a saved game";
  ShowMainMenu();
  ShowSavedGamesScreen(nullptr);
  ASSERT_NE(SavedGamesScreen, nullptr);
  EXPECT_EQ(ListTexts(), (std::vector<std::string>{"Game #1", "Game #2"}));
  EXPECT_EQ(SavedGamesScreen->list->At(1)->value, 3);
  SavedGamesScreen->list->Select(0, true);
  EXPECT_EQ(CurrentGame()->mode, kModeStroke);
  SavedGamesScreen->list->Select(1, true);
  EXPECT_EQ(CurrentGame()->mode, kModeSkins);
}

TEST_F(ScoresTest, DeletingTheLastSavedGameReturnsToTheMainMenuWithTheGameOfBefore) {
  std::filesystem::remove(SavedFolder() + "/game0001.dat");
  std::filesystem::remove(SavedFolder() + "/game0002.dat");
  TakePart(0, "Marker");  // the game of before, told apart by its golfer
  ShowMainMenu();
  ShowSavedGamesScreen(nullptr);
  ASSERT_NE(SavedGamesScreen, nullptr);
  ASSERT_EQ(ListTexts(), std::vector<std::string>{"Game #1"});
  // "Ok" to the question, then to the notice.
  Script("O\r");
  OnDeleteSavedGame(nullptr);
  EXPECT_FALSE(std::filesystem::exists(SavedFolder() + "/game0003.dat"));
  EXPECT_EQ(LastMessageText(), "There are no saved games.");
  EXPECT_EQ(SavedGamesScreen, nullptr);
  EXPECT_EQ(SavedGameCard, nullptr);
  EXPECT_EQ(CurrentScreen, MainMenuScreen);
  ASSERT_NE(CurrentGame(), nullptr);
  EXPECT_EQ(CurrentGame()->mode, kModeStroke);
  EXPECT_STREQ(CurrentGame()->players->GetPlayer(0)->name, "Marker");
  // With none left the screen does not open.
  Script("\r");
  ShowSavedGamesScreen(nullptr);
  EXPECT_EQ(SavedGamesScreen, nullptr);
}

TEST_F(ScoresTest, DeletingTheLastEntrySelectsTheNewLast) {
  ShowMainMenu();
  ShowSavedGamesScreen(nullptr);
  Script("O");
  OnDeleteSavedGame(nullptr);
  ASSERT_NE(SavedGamesScreen, nullptr);
  EXPECT_EQ(ListTexts(), (std::vector<std::string>{"Game #1", "Game #2"}));
  EXPECT_EQ(SavedGamesScreen->list->RowOf(SavedGamesScreen->list->Current()), 1);
  EXPECT_EQ(CurrentGame()->mode, kModeTournament);
}

TEST_F(ScoresTest, TheDescriptionGivesTheRoundOfATournamentAndATwoDigitYear) {
  std::tm when{};
  when.tm_year = 126;  // 2026
  when.tm_mon = 0;
  when.tm_mday = 31;
  when.tm_hour = 12;
  const std::time_t t = std::mktime(&when);
  EXPECT_EQ(SavedGameDate(t), "1/31/26");
  EXPECT_EQ(SavedGameDate(0), "");
  std::unique_ptr<TGame> made = MakeGameObject(kModeTournament);
  ASSERT_NE(made, nullptr);
  TGame& game = *made;
  game.mode = kModeTournament;
  game.courseName = "Nowhere^Links";
  game.state.round = 1;
  game.state.hole = 12;
  game.SetOptionField(0, 2);
  game.SetOptionField(1, 1);
  game.SetOptionField(2, 1);
  game.SetOptionField(3, 1);
  game.SetOptionField(4, 1);
  EXPECT_EQ(DescribeSavedGame(game, t), "Tournament at Nowhere\nRound 2 of 4, Hole 13, 1/31/26\nstrong, gusting winds\nheavy rough");
  game.mode = kModeStroke;
  game.SetOptionField(0, 0);
  game.SetOptionField(3, 0);
  EXPECT_EQ(DescribeSavedGame(game, 0), "Stroke play at Nowhere\nHole 13\ncalm skies\n");
}
