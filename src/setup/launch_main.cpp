// launch: the demo's start program.
#include <string>

#include "launcher.h"

int main(int argc, char** argv) {
  std::string commandLine = launcher::JoinArguments(argc, argv);
  return launcher::WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
