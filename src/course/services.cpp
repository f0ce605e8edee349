#include "course/services.h"

#include <cstdio>
#include <filesystem>

namespace course_svc {
namespace {

std::string g_current;
std::string g_saved;
bool g_hardware3D = false;
bool g_busy = false;
MessageShower g_shower;

}  // namespace

bool DialogsSuppressed = false;

bool OpenArchive(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  g_saved = g_current;
  g_current = path;
  return true;
}

void CloseArchive() {
  g_current = g_saved;
  g_saved.clear();
}

const std::string& CurrentArchive() { return g_current; }

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  // The stand-in reads from disk only; archive entries come with the framework's archive access.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  bool ok = true;
  try {
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
    ok = !std::ferror(f);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

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
