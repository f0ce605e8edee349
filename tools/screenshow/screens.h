// The screens and dialogs screenshow opens, by name: one line each in screens.cpp.
#pragma once

#include <vector>

struct ShowableScreen {
  const char* name;
  void (*open)();
  const char* about;
};

const std::vector<ShowableScreen>& ShowableScreens();
