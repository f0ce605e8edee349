// The demo installation: every file the game reads, made by our own generators.
#pragma once

#include <string>

namespace mkdemo {

struct DemoOptions {
  std::string fontFolder = "/usr/share/consolefonts";  // Debian's console-setup-linux fonts
  int holes = 18;  // holes of SEDGEFEN written (fewer make quicker tests)
  // Each hole's files as one archive "HOLEnn.viv" (entries named "HOLEnn.MIS" ...) and the course's shape file
  // in the course archive "<course>.viv" named by DISK.DAT, instead of loose files.
  bool archives = true;
  // The announcer's commentary (some 600 spoken families, seconds to make): the program writes it, tests that do
  // not listen to the announcer leave it out.
  bool commentary = false;
  std::string commentaryOnly;  // when set, only the families whose folder begins with it ("data|courses")
};

// Writes the installation below `folder`: everything generated lies in its DATA folder, which is built in a
// temporary folder and swapped into place in one step, so an interrupted run leaves the previous DATA (or
// none) and never half of one. Other entries of `folder` (players, saved games, the log) are left alone. The
// music disc's folder is written beside it as DISC (see sounds.h).
// False with a reason in `error`.
bool MakeDemoInstallation(const std::string& folder, const DemoOptions& options, std::string& error);

}  // namespace mkdemo
