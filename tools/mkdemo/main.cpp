// mkdemo: writes the demo installation that teebox runs on.
//   mkdemo [--holes N] [--fonts FOLDER] [--archives | --loose] [--no-commentary] FOLDER
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo.h"

int main(int argc, char** argv) {
  mkdemo::DemoOptions options;
  options.commentary = true;
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--holes" && i + 1 < argc) options.holes = std::atoi(argv[++i]);
    else if (a == "--fonts" && i + 1 < argc) options.fontFolder = argv[++i];
    else if (a == "--archives") options.archives = true;
    else if (a == "--loose") options.archives = false;
    else if (a == "--no-commentary") options.commentary = false;
    else if (folder.empty() && !a.empty() && a[0] != '-') folder = a;
    else folder.clear(), i = argc;
  }
  if (folder.empty() || options.holes < 1 || options.holes > 18) {
    std::fprintf(stderr, "usage: mkdemo [--holes 1-18] [--fonts FOLDER] [--archives | --loose] [--no-commentary] FOLDER\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::string error;
  if (!mkdemo::MakeDemoInstallation(folder, options, error)) {
    std::fprintf(stderr, "mkdemo: %s\n", error.c_str());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("mkdemo: wrote %s in %.1f s\n", folder.c_str(), seconds);
  return 0;
}
