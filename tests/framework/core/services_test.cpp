// The service seam: null providers that are never missing, installing and putting back, the start-up log of
// which providers are real, and the null providers' own behaviour.
#include "framework/core/services.h"

#include <string>

#include "framework/core/registry.h"
#include "support/drive_fixture.h"

namespace {

class NamedScene : public SceneProvider {
 public:
  const char* Name() const override { return "test scene"; }
};

class NamedSound : public SoundProvider {
 public:
  const char* Name() const override { return "test sound"; }
};

class ServicesTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    winapi::registry::UseFile(root_ + "/registry.txt");
    ResetLogReport();
    ResetServices();
  }
  void TearDown() override {
    ResetServices();
    winapi::registry::UseFile("");
    DriveTest::TearDown();
  }
};

std::string Names(const Services& s) {
  const Provider* all[] = {s.game, s.scene, s.round, s.frontEnd, s.sound, s.network, s.preferences, s.catalogue};
  std::string names;
  for (const Provider* p : all) names += std::string(p ? p->Name() : "(missing)") + ",";
  return names;
}

TEST_F(ServicesTest, EveryMemberIsANullProviderUntilOneIsInstalled) {
  const std::string nulls = "null,null,null,null,null,null,null,null,";
  EXPECT_EQ(Names(Svc()), nulls);
  EXPECT_EQ(Names(Services{}), nulls);
  // A set with a member left empty gets the null provider there.
  NamedScene scene;
  Services partial;
  partial.scene = &scene;
  partial.sound = nullptr;
  InstallServices(partial);
  EXPECT_EQ(Names(Svc()), "null,test scene,null,null,null,null,null,null,");
  ResetServices();
  EXPECT_EQ(Names(Svc()), nulls);
}

TEST_F(ServicesTest, ScopedProvidersArePutBackAfterTheScope) {
  NamedScene scene;
  NamedSound sound;
  Services outer;
  outer.scene = &scene;
  InstallServices(outer);
  {
    Services inner;
    inner.sound = &sound;
    ScopedServices scoped(inner);
    EXPECT_EQ(Svc().sound, &sound);
    EXPECT_STREQ(Svc().scene->Name(), "null");
  }
  EXPECT_EQ(Svc().scene, &scene);
  EXPECT_STREQ(Svc().sound->Name(), "null");
}

TEST_F(ServicesTest, LogListsEachProviderAndWhetherItIsNull) {
  HostFile("c/Game/teebox.exe", "");
  winapi::testing::SetModuleFileName("C:\\Game\\teebox.exe");
  NamedScene scene;
  Services providers;
  providers.scene = &scene;
  InstallServices(providers);
  LogServices();
  const std::string log = HostRead("c/Game/ZQLog.Log");
  const char* lines[] = {
      "Service game: null:",        "Service scene: test scene:",     "Service round interface: null:",
      "Service front end: null:",   "Service sound: null:",           "Service network: null:",
      "Service preferences: null:", "Service course catalogue: null:"};
  size_t at = 0;
  for (const char* line : lines) {
    const size_t found = log.find(line, at);
    ASSERT_NE(found, std::string::npos) << line;
    at = found + 1;
  }
}

TEST_F(ServicesTest, NullSceneGivesTheFifteenBitSequence) {
  SceneProvider& scene = *Svc().scene;
  scene.SeedRandom15(1);
  const int expected[] = {16838, 5758, 10113, 17515, 31051};
  for (int value : expected) EXPECT_EQ(scene.Random15(), value);
  scene.SeedRandom15(1);
  EXPECT_EQ(scene.Random15(), 16838);
}

TEST_F(ServicesTest, NullGamePostsThePlainArgumentAndHasNoGame) {
  GameProvider& game = *Svc().game;
  const uint8_t body[4] = {1, 2, 3, 4};
  EXPECT_EQ(game.PeerArgument(0x716, 9, body, sizeof body, 77), 77);
  EXPECT_FALSE(game.GameExists());
  EXPECT_FALSE(game.RoundInProgress());
  EXPECT_EQ(game.CreateGame(0), 1);
  EXPECT_STREQ(game.CurrentCourseFolder(), "");
}

TEST_F(ServicesTest, NullFrontEndKeepsBusyAndSuppressionAndAnswersNotices) {
  FrontEndProvider& frontEnd = *Svc().frontEnd;
  frontEnd.SetBusy(true);
  frontEnd.SuppressDialogs(true);
  EXPECT_TRUE(frontEnd.IsBusy());
  EXPECT_TRUE(frontEnd.DialogsSuppressed());
  EXPECT_EQ(frontEnd.ShowNotice("not shown"), 1);
  ResetServices();
  EXPECT_FALSE(Svc().frontEnd->IsBusy());
  EXPECT_FALSE(Svc().frontEnd->DialogsSuppressed());
}

TEST_F(ServicesTest, NullPreferencesLiveInTheRegistry) {
  PreferencesProvider& preferences = *Svc().preferences;
  int32_t value = 0;
  EXPECT_NE(preferences.Get(kPrefResolution, &value), 0);  // not written yet
  EXPECT_EQ(preferences.Set(kPrefResolution, 3), 0);
  EXPECT_EQ(preferences.Get(kPrefResolution, &value), 0);
  EXPECT_EQ(value, 3);
  DWORD stored = 0;
  ASSERT_EQ(RegistryMgr("Graphics", false).ReadValue("Game Screen Resolution", &stored, sizeof stored), 1);
  EXPECT_EQ(stored, 3u);
  EXPECT_NE(preferences.Set(12345, 1), 0);  // an id the start-up does not know
}

TEST_F(ServicesTest, NullCatalogueLeavesTheCountToTheFramework) {
  CourseCatalogueProvider& catalogue = *Svc().catalogue;
  EXPECT_EQ(catalogue.CourseCount(), -1);
  EXPECT_EQ(catalogue.HolePar(3), 4);
  EXPECT_EQ(catalogue.HoleFile(0, 3), "");
  EXPECT_TRUE(catalogue.SetCurrentCourse());
}

}  // namespace
