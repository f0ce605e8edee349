// screenshow: the game program opening one screen or dialog by name over the demo data, in a window or headless.
//   WINAPI_DRIVE_C=<folder made by mkdemo> screenshow NAME [--save FILE.tga] [/NOINTRO ...]
// --save writes the screen as a picture once it is drawn and ends the program (headless: WINAPI_HOST=headless).
// Without a name (or with "list") it lists the names.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/gameapp.h"
#include "framework/ui/displaymgr.h"
#include "frontend/frontend.h"
#include "platformlib/gfx/windowdesc.h"
#include "screens.h"
#include "teebox/providers.h"
#include "windows.h"

namespace {

const ShowableScreen* gScreen = nullptr;
std::string gSavePath;
constexpr UINT kSaveAfterMs = 1500;

// The drawn buffer as an uncompressed 24-bit TGA, top row first.
bool SaveDrawnImage(const std::string& path) {
  ImageRecord* drawn = DrawnImage();
  WindowDesc* w = drawn ? drawn->window : nullptr;
  if (!w || w->depth != 16 || !w->pixels) return false;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  uint8_t head[18] = {};
  head[2] = 2;
  head[12] = static_cast<uint8_t>(w->width);
  head[13] = static_cast<uint8_t>(w->width >> 8);
  head[14] = static_cast<uint8_t>(w->height);
  head[15] = static_cast<uint8_t>(w->height >> 8);
  head[16] = 24;
  head[17] = 0x20;
  std::fwrite(head, 1, sizeof head, f);
  std::vector<uint8_t> row(static_cast<size_t>(w->width) * 3);
  for (int32_t y = 0; y < w->height; ++y) {
    const auto* px = reinterpret_cast<const uint16_t*>(w->pixels + static_cast<size_t>(y) * w->rowbytes);
    for (int32_t x = 0; x < w->width; ++x) {
      row[3 * x] = static_cast<uint8_t>((px[x] & 31) * 255 / 31);
      row[3 * x + 1] = static_cast<uint8_t>(((px[x] >> 5) & 63) * 255 / 63);
      row[3 * x + 2] = static_cast<uint8_t>(((px[x] >> 11) & 31) * 255 / 31);
    }
    std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

// Runs in whichever loop is up (a dialog's own too): the picture, then the program ends.
void CALLBACK SaveAndQuit(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (!SaveDrawnImage(gSavePath)) std::fprintf(stderr, "screenshow: cannot write %s\n", gSavePath.c_str());
  PostQuitMessage(0);
}

void OpenChosenScreen() {
  if (!gSavePath.empty()) SetTimer(nullptr, 0, kSaveAfterMs, SaveAndQuit);
  if (gScreen) gScreen->open();
}

void ListScreens() {
  for (const ShowableScreen& s : ShowableScreens()) std::printf("%-18s %s\n", s.name, s.about);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args{argv[0]};
  const char* name = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--save") == 0 && i + 1 < argc) {
      gSavePath = argv[++i];
    } else if (argv[i][0] != '/' && !name) {
      name = argv[i];
    } else {
      args.push_back(argv[i]);
    }
  }
  if (!name || std::strcmp(name, "list") == 0) {
    ListScreens();
    return name ? 0 : 2;
  }
  for (const ShowableScreen& s : ShowableScreens())
    if (std::strcmp(s.name, name) == 0) gScreen = &s;
  if (!gScreen) {
    std::fprintf(stderr, "screenshow: no screen named %s; these are:\n", name);
    ListScreens();
    return 2;
  }
  InstallProviders();
  StartInMainMenu = 1;
  StartScreenHook = OpenChosenScreen;
  args.push_back(nullptr);
  return ProgramMain(static_cast<int>(args.size()) - 1, args.data());
}
