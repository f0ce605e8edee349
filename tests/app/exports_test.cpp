// The program exports to the modules it loads exactly the stand-in platform's symbols they bind: every platform
// symbol a built module imports is in the program's dynamic symbol table, and the game's own symbols are not.
#include <cxxabi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#if defined(TEEBOX_PROGRAM) && defined(TEEBOX_NM) && defined(TEEBOX_MODULES) && defined(TEEBOX_PLATFORM_LIBRARY)

namespace {

// Symbol names (without version) of the lines `nm` prints for `arguments`, keeping the types in `types`.
std::set<std::string> Nm(const std::string& arguments, const std::string& types) {
  std::set<std::string> names;
  const std::string command = std::string(TEEBOX_NM) + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream fields(line);
    std::vector<std::string> tokens;
    for (std::string token; fields >> token;) tokens.push_back(token);
    if (tokens.size() < 2 || types.find(tokens[tokens.size() - 2]) == std::string::npos) continue;
    std::string name = tokens.back();
    name = name.substr(0, name.find('@'));
    names.insert(name);
  }
  pclose(pipe);
  return names;
}

std::string Demangled(const std::string& name) {
  int status = 0;
  char* text = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
  std::string result = status == 0 && text ? text : name;
  std::free(text);
  return result;
}

std::vector<std::string> Modules() {
  std::vector<std::string> modules;
  std::istringstream list(TEEBOX_MODULES);
  for (std::string path; std::getline(list, path, ':');)
    if (!path.empty()) modules.push_back(path);
  return modules;
}

constexpr const char* kDefined = "TDRBVWu";

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_ = Nm(std::string("-g --defined-only ") + TEEBOX_PLATFORM_LIBRARY, kDefined);
    exports_ = Nm(std::string("-D --defined-only ") + TEEBOX_PROGRAM, kDefined);
    ASSERT_FALSE(platform_.empty()) << "nm found no symbols in " << TEEBOX_PLATFORM_LIBRARY;
    ASSERT_FALSE(exports_.empty()) << "nm found no dynamic symbols in " << TEEBOX_PROGRAM;
  }
  std::set<std::string> platform_;
  std::set<std::string> exports_;
};

TEST_F(ExportsTest, EveryPlatformSymbolAModuleBindsIsExported) {
  std::set<std::string> bound;  // platform symbols some module imports
  for (const std::string& module : Modules()) {
    SCOPED_TRACE(module);
    for (const std::string& name : Nm("-D --undefined-only " + module, "U")) {
      if (!platform_.count(name)) continue;
      bound.insert(name);
      EXPECT_TRUE(exports_.count(name)) << Demangled(name) << " is not exported; add it to src/teebox/modules.exports";
    }
  }
  // The render module binds DirectDraw from the program: the check above looked at real imports.
  EXPECT_TRUE(bound.count("_Z16DirectDrawCreateP4GUIDPP11IDirectDrawP8IUnknown"));
  // And the sound module the host's audio output.
  EXPECT_TRUE(bound.count("_ZN6winapi4host9AudioOpenEiii"));
}

TEST_F(ExportsTest, TheGameItselfIsNotExported) {
  std::set<std::string> imported;
  for (const std::string& module : Modules())
    for (const std::string& name : Nm("-D --undefined-only " + module, "U")) imported.insert(name);
  for (const std::string& name : exports_) {
    const std::string text = Demangled(name);
    // What the linker and the runtime libraries put there: library templates and sanitizer hooks that the
    // libraries interpose, section bounds, main.
    bool runtime = text.starts_with("__") || text == "_edata" || text == "_end" || text == "main";
    for (const char* prefix : {"std::", "void std::", "__gnu_cxx::", "typeinfo for std::", "typeinfo name for std::",
                               "vtable for std::"})
      runtime = runtime || text.starts_with(prefix);
    if (runtime) continue;
    // Else a platform symbol that a module imports, or of a family the list names by pattern.
    EXPECT_TRUE(platform_.count(name)) << text << " is exported but is not the platform's";
    EXPECT_TRUE(imported.count(name) || text.starts_with("IID_") || text.starts_with("DirectDraw")) << text;
  }
}

}  // namespace

#endif
