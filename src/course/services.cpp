#include "course/services.h"

#include <cstdio>

namespace course_svc {
namespace {

bool g_hardware3D = false;
bool g_busy = false;
MessageShower g_shower;

}  // namespace

bool DialogsSuppressed = false;

bool Has3DHardware() { return g_hardware3D; }
void Set3DHardware(bool on) { g_hardware3D = on; }

void MouseSetBusy(bool on) { g_busy = on; }
bool MouseIsBusy() { return g_busy; }

int ShowMessageDialog(const std::string& text) {
  if (DialogsSuppressed) return 1;
  if (g_shower) return g_shower(text);
  std::fprintf(stderr, "%s\n", text.c_str());
  return 1;
}

void SetMessageShower(MessageShower shower) { g_shower = std::move(shower); }

}  // namespace course_svc
