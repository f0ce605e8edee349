// Starting real programs: the handle waits for the end and gives the exit code; parameters are split as
// the platform's programs split them; failures say why.
#include <cstring>
#include <sstream>

#include "setupfixture.h"

namespace setuptest {
namespace {

class ShellExecute : public SetupTest {
 protected:
  BOOL Start(const char* file, const char* parameters, HANDLE* process, const char* directory = nullptr) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = directory;
    BOOL ok = ShellExecuteExA(&info);
    *process = info.hProcess;
    lastInstApp = reinterpret_cast<uintptr_t>(info.hInstApp);
    return ok;
  }
  uintptr_t lastInstApp = 0;
};

TEST_F(ShellExecute, ARealProgramRunsWithItsArgumentsAndItsExitCodeIsKept) {
  winapi::testing::UseVirtualClock(false);
  // The script writes its arguments, one a line, where it runs, and ends with the count.
  MakeProgram("bin/args", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > out.txt\nexit $#\n");
  fs::create_directories(dir / "drive" / "work");
  HANDLE process = nullptr;
  ASSERT_TRUE(Start("C:\\bin\\ARGS.EXE", "one \"two three\" a\\\\\"b", &process, "C:\\work"));
  ASSERT_NE(process, nullptr);
  EXPECT_GT(lastInstApp, 32u);
  EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(code, 3u);
  EXPECT_TRUE(CloseHandle(process));
  std::ifstream in(dir / "drive" / "work" / "out.txt");
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), "one\ntwo three\na\\b\n");  // two backslashes before a quote give one
}

TEST_F(ShellExecute, ParametersSplitAsThePlatformsProgramsSplitThem) {
  struct Case {
    const char* line;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"a  b\tc", {"a", "b", "c"}},
      {"\"a b\" c", {"a b", "c"}},
      {"\"\"", {""}},
      {"a\\b c\\\\d", {"a\\b", "c\\\\d"}},
      {"\\\"x\\\"", {"\"x\""}},
      {"\"a\\\\\" b", {"a\\", "b"}},
      {"\"unterminated rest", {"unterminated rest"}},
      {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
  };
  MakeProgram("p");
  for (const Case& c : cases) {
    std::vector<std::string> got{"<none>"};
    winapi::testing::SetSpawnHook([&](const winapi::testing::SpawnRequest& r) {
      got = r.arguments;
      return winapi::testing::SpawnResult{true, 0, 5};
    });
    HANDLE process = nullptr;
    ASSERT_TRUE(Start("C:\\p", c.line, &process)) << c.line;
    EXPECT_EQ(got, c.args) << c.line;
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    EXPECT_EQ(code, 5u);
    CloseHandle(process);
  }
}

TEST_F(ShellExecute, FailuresSayWhy) {
  MakeProgram("notexec", "data");
  chmod((dir / "drive" / "notexec").c_str(), 0644);
  fs::create_directories(dir / "drive" / "folder");
  struct Case {
    const char* file;
    const char* verb;
    DWORD error;
    uintptr_t instApp;
  };
  const Case cases[] = {
      {"missing.exe", nullptr, ERROR_FILE_NOT_FOUND, SE_ERR_FNF},
      {"nofolder\\x.exe", nullptr, ERROR_PATH_NOT_FOUND, SE_ERR_PNF},
      {"notexec", nullptr, ERROR_ACCESS_DENIED, SE_ERR_ACCESSDENIED},
      {"folder", nullptr, ERROR_ACCESS_DENIED, SE_ERR_ACCESSDENIED},
      {"", nullptr, ERROR_INVALID_PARAMETER, SE_ERR_NOASSOC},
      {"notexec", "print", ERROR_NO_ASSOCIATION, SE_ERR_NOASSOC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = c.file;
    info.lpVerb = c.verb;
    info.hProcess = reinterpret_cast<HANDLE>(1);
    EXPECT_FALSE(ShellExecuteExA(&info));
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(info.hInstApp), c.instApp);
    EXPECT_EQ(info.hProcess, nullptr);
  }
  EXPECT_FALSE(ShellExecuteExA(nullptr));
  SHELLEXECUTEINFOA small{};
  small.cbSize = 12;
  small.lpFile = "notexec";
  EXPECT_FALSE(ShellExecuteExA(&small));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(ShellExecute, InjectedFailuresAndHookRefusalsAreReported) {
  MakeProgram("p");
  HANDLE process = nullptr;
  winapi::testing::FailCall("ShellExecuteExA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(Start("p", "", &process));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_ENOUGH_MEMORY});
  EXPECT_EQ(lastInstApp, uintptr_t{SE_ERR_OOM});
  winapi::testing::SetSpawnHook([](const winapi::testing::SpawnRequest&) {
    return winapi::testing::SpawnResult{false, ERROR_BAD_EXE_FORMAT, 0};
  });
  EXPECT_FALSE(Start("p", "", &process));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_BAD_EXE_FORMAT});
}

TEST_F(ShellExecute, ExitCodesOfBadHandlesAndOfThisProcess) {
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeProcess(reinterpret_cast<HANDLE>(0x7777), &code));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
  EXPECT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
  EXPECT_EQ(code, DWORD{STILL_ACTIVE});
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(GetExitCodeProcess(event, &code));  // not a process
  CloseHandle(event);
}

TEST(FormatMessage, SystemTextsEndWithALineBreakAndFitTheBuffer) {
  char text[64];
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, text, sizeof text, nullptr);
  EXPECT_EQ(n, std::strlen(text));
  EXPECT_STREQ(text, "The file could not be found.\r\n");
  EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, text, 10, nullptr), 0u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INSUFFICIENT_BUFFER});
  EXPECT_EQ(FormatMessageA(flags, nullptr, 424242, 0, text, sizeof text, nullptr), 0u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_MR_MID_NOT_FOUND});
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "x", 0, 0, text, sizeof text, nullptr), 0u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

}  // namespace
}  // namespace setuptest
