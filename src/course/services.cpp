#include "course/services.h"

#include <cstdio>
#include <filesystem>

namespace course_svc {
namespace {

std::string g_current;
std::string g_saved;

}  // namespace

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

}  // namespace course_svc
