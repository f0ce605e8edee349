// The main menu of a running program (see runningprogram.h): a golfer in the first slot and Tee off pressed.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "app/gameapp.h"
#include "frontend/frontend.h"
#include "golf/game.h"
#include "support/programthread.h"
#include "windows.h"

// Waits (at most about `limitMs` of real time) for the main menu, makes the first slot's golfer `name` take part,
// runs `before` on the program's thread, then clicks Tee off. False when the menu never came.
inline bool TeeOffFromMainMenu(const char* name, const std::function<void()>& before = {}, int limitMs = 30000) {
  bool menu = false;
  for (int waited = 0; !menu && waited <= limitMs; waited += 10) {
    OnProgramThread([&] { menu = TeeOffButton != nullptr; });
    if (!menu) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!menu) return false;
  return OnProgramThread([&] {
    TPlayer* p = CurrentGame()->players->GetPlayer(0);
    p->flags |= kGolferTakesPart;
    std::snprintf(p->name, sizeof p->name, "%s", name);
    if (before) before();
    MARect r{};
    TeeOffButton->GetRect(&r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    QueueWindowProc(nullptr, WM_LBUTTONDOWN, MK_LBUTTON, at);
    QueueWindowProc(nullptr, WM_LBUTTONUP, 0, at);
  });
}
