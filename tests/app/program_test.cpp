// The `teebox` program run headless from end to end: with a small installation it opens its window, shows
// frames until the host closes the window, and ends with 0 and its log; without data it says what is missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef TEEBOX_PROGRAM

namespace {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/teebox_program_XXXXXX";
    root_ = mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  void Install() {
    for (const char* f : {"MENUS", "FONTS", "UI", "UI640", "UI800", "COURSES/SEDGEFEN"})
      std::filesystem::create_directories(root_ + "/DATA/" + f);
    std::ofstream(root_ + "/DATA/COURSES/SEDGEFEN/COURSE.DAT") << "COURSE 1\nfolder SEDGEFEN\ntitle Sedgefen\n";
  }

  // Starts the program with the arguments in a child; `frames` shown frames close its window (0: none do).
  pid_t Start(const std::vector<std::string>& arguments, int frames) {
    const pid_t child = fork();
    if (child == 0) {
      const std::string err = root_ + "/stderr.txt";
      freopen(err.c_str(), "w", stderr);
      freopen((root_ + "/stdout.txt").c_str(), "w", stdout);
      setenv("WINAPI_HOST", "headless", 1);
      setenv("SDL_VIDEODRIVER", "dummy", 1);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      setenv("WINAPI_DRIVE_C", root_.c_str(), 1);
      setenv("WINAPI_MODULE_FILE", "C:\\teebox.exe", 1);
      setenv("WINAPI_REGISTRY", (root_ + "/registry.txt").c_str(), 1);
      if (frames > 0) setenv("WINAPI_CLOSE_AFTER_FRAMES", std::to_string(frames).c_str(), 1);
      chdir(root_.c_str());
      std::vector<char*> argv{const_cast<char*>(TEEBOX_PROGRAM)};
      for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(TEEBOX_PROGRAM, argv.data());
      _exit(127);
    }
    return child;
  }
  // Runs the program with the arguments; returns its exit status (-1 when it did not end normally).
  int Run(const std::vector<std::string>& arguments) {
    const pid_t child = Start(arguments, 30);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(root_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string root_;
};

TEST_F(ProgramTest, RunsHeadlessUntilTheWindowIsClosed) {
  Install();
  ASSERT_EQ(Run({"/NOINTRO", "/bogus"}), 0) << Read("stderr.txt");
  const std::string log = Read("ZQLog.Log");
  EXPECT_NE(log.find("Game started"), std::string::npos);
  // After the start the providers are listed: the layers that exist install theirs, the rest are null.
  EXPECT_NE(log.find("Service game: golf:"), std::string::npos) << log;
  EXPECT_NE(log.find("Service course catalogue: course catalogue:"), std::string::npos) << log;
  EXPECT_NE(log.find("Service preferences: course preferences:"), std::string::npos) << log;
  EXPECT_NE(log.find("Service scene: 3D scene:"), std::string::npos) << log;
  EXPECT_LT(log.find("Game started"), log.find("Service game: golf:"));
  EXPECT_NE(log.find("Game ended"), std::string::npos);
  const std::string registry = Read("registry.txt");
  // The start got through: the fail-safe flag is back to 0.
  EXPECT_NE(registry.find("\"Launching (Fail-safe)\"=dword:00000000"), std::string::npos) << registry;
  EXPECT_TRUE(std::filesystem::is_directory(root_ + "/Players"));
}

// The render back-end choice at start-up: the card list beside the program, the card-detection module, the render
// module VORTEL_DRIVERNAME names and the command line; each start ends in software for its own reason.
TEST_F(ProgramTest, EachBackEndChoiceEndsInSoftwareForItsOwnReason) {
  const struct {
    bool cardList;
    std::vector<std::string> arguments;
    const char* driver;
    const char* logged;
  } cases[] = {
      {true, {"/NOINTRO", "/SWRENDER"}, "recordmodule", "Render back end: software (asked for)"},
      {false, {"/NOINTRO"}, "recordmodule", "Render back end: software (no 3D card)"},
      // The recording module lists no texture formats: Direct3D cannot serve the game.
      {true, {"/NOINTRO", "/D3D"}, "recordmodule", "Render back end: software (Direct3D cannot serve the game)"},
      {true, {"/NOINTRO", "/D3D"}, "nosuchmodule", "Render back end: software (the module did not open)"},
  };
  Install();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logged);
    for (const char* f : {"Cards.txt", "ZQLog.Log", "registry.txt"}) std::filesystem::remove(root_ + "/" + f);
    if (c.cardList) std::filesystem::copy_file(TEEBOX_CARDS, root_ + "/Cards.txt");
    setenv("VORTEL_DRIVERNAME", c.driver, 1);
    const int status = Run(c.arguments);
    unsetenv("VORTEL_DRIVERNAME");
    ASSERT_EQ(status, 0) << Read("stderr.txt");
    const std::string log = Read("ZQLog.Log");
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_EQ(log.find("Render back end: hardware"), std::string::npos) << log;
    const std::string registry = Read("registry.txt");
    EXPECT_NE(registry.find("\"3D Enable Flag\"=dword:00000000"), std::string::npos) << registry;
  }
}

// With our card list beside the program the card-detection module finds the software Direct3D device and drvd3d
// takes the display on the program's own main window: the hardware back end comes up without an abort. (The start
// is ended from here once the log says which back end came up.)
TEST_F(ProgramTest, WithTheCardListBesideItTheHardwareBackEndComesUp) {
  Install();
  std::filesystem::copy_file(TEEBOX_CARDS, root_ + "/Cards.txt");
  unsetenv("VORTEL_DRIVERNAME");
  const pid_t child = Start({"/NOINTRO"}, 0);
  // Polls the log; the limit only keeps a broken start from hanging the test.
  bool logged = false, ended = false;
  int status = 0;
  for (int waited = 0; waited < 60000 && !logged && !ended; waited += 20) {
    logged = Read("ZQLog.Log").find("Render back end:") != std::string::npos;
    ended = waitpid(child, &status, WNOHANG) == child;
    if (!logged && !ended) usleep(20000);
  }
  // Let a start that is going to fail on the display mode get there.
  for (int waited = 0; logged && !ended && waited < 1000; waited += 20) {
    ended = waitpid(child, &status, WNOHANG) == child;
    if (!ended) usleep(20000);
  }
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  EXPECT_FALSE(ended) << "the program ended on its own: " << Read("stderr.txt") << Read("stdout.txt");
  const std::string log = Read("ZQLog.Log");
  EXPECT_NE(log.find("Render back end: hardware"), std::string::npos) << log;
  const std::string said = Read("stderr.txt") + Read("stdout.txt");
  EXPECT_EQ(said.find("D3D_setdisplay - error"), std::string::npos) << said;
}

TEST_F(ProgramTest, WithoutDataItSaysWhatIsMissing) {
  EXPECT_EQ(Run({"/NOINTRO"}), 1);
  const std::string err = Read("stderr.txt");
  EXPECT_NE(err.find("Files missing, please reinstall!"), std::string::npos) << err;
  EXPECT_NE(err.find("Missing folder"), std::string::npos) << err;
}

}  // namespace

#endif
