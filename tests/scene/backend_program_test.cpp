// The back-end choice as the real program makes it at start-up, run headless: the card list beside the program,
// the card-detection module, the render module named by VORTEL_DRIVERNAME and the command line.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef TEEBOX_PROGRAM

namespace {

class BackEndProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/teebox_scene_XXXXXX";
    root_ = mkdtemp(pattern);
    for (const char* f : {"MENUS", "FONTS", "UI", "UI640", "UI800", "COURSES/SEDGEFEN"})
      std::filesystem::create_directories(root_ + "/DATA/" + f);
    std::ofstream(root_ + "/DATA/COURSES/SEDGEFEN/COURSE.DAT") << "COURSE 1\nfolder SEDGEFEN\ntitle Sedgefen\n";
  }
  void TearDown() override { std::filesystem::remove_all(root_); }

  void InstallCardList() { std::filesystem::copy_file(TEEBOX_CARDS, root_ + "/Cards.txt"); }

  int Run(const std::vector<std::string>& arguments, const char* driver) {
    const pid_t child = fork();
    if (child == 0) {
      freopen((root_ + "/stderr.txt").c_str(), "w", stderr);
      freopen((root_ + "/stdout.txt").c_str(), "w", stdout);
      setenv("WINAPI_HOST", "headless", 1);
      setenv("SDL_VIDEODRIVER", "dummy", 1);
      setenv("SDL_AUDIODRIVER", "dummy", 1);
      setenv("WINAPI_DRIVE_C", root_.c_str(), 1);
      setenv("WINAPI_MODULE_FILE", "C:\\teebox.exe", 1);
      setenv("WINAPI_REGISTRY", (root_ + "/registry.txt").c_str(), 1);
      setenv("WINAPI_CLOSE_AFTER_FRAMES", "10", 1);
      setenv("VORTEL_DRIVERNAME", driver, 1);
      chdir(root_.c_str());
      std::vector<char*> argv{const_cast<char*>(TEEBOX_PROGRAM), const_cast<char*>("/NOINTRO")};
      for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(TEEBOX_PROGRAM, argv.data());
      _exit(127);
    }
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

TEST_F(BackEndProgramTest, EachStartEndsInSoftwareForItsOwnReason) {
  const struct {
    bool cardList;
    std::vector<std::string> arguments;
    const char* driver;
    const char* logged;
  } cases[] = {
      {true, {"/SWRENDER"}, "recordmodule", "Render back end: software (asked for)"},
      {false, {}, "recordmodule", "Render back end: software (no 3D card)"},
      // The recording module lists no texture formats: Direct3D cannot serve the game.
      {true, {"/D3D"}, "recordmodule", "Render back end: software (Direct3D cannot serve the game)"},
      {true, {"/D3D"}, "nosuchmodule", "Render back end: software (the module did not open)"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(root_ + "/Cards.txt");
    std::filesystem::remove(root_ + "/ZQLog.Log");
    std::filesystem::remove(root_ + "/registry.txt");
    if (c.cardList) InstallCardList();
    ASSERT_EQ(Run(c.arguments, c.driver), 0) << c.logged << "\n" << Read("stderr.txt");
    const std::string log = Read("ZQLog.Log");
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_EQ(log.find("Render back end: hardware"), std::string::npos) << log;
    EXPECT_NE(log.find("Service scene: 3D scene:"), std::string::npos) << log;
    const std::string registry = Read("registry.txt");
    EXPECT_NE(registry.find("\"3D Enable Flag\"=dword:00000000"), std::string::npos) << registry;
  }
}

}  // namespace

#endif
