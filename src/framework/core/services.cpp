#include "framework/core/services.h"

#include <cstdio>
#include <string>

#include "framework/core/bigfileio.h"
#include "framework/core/errors.h"
#include "framework/core/objectimage.h"
#include "framework/core/preferencevalues.h"
#include "framework/core/registry.h"
#include "platformlib/gfx/pixels.h"
#include "platformlib/gfx/windowdesc.h"

namespace {

// Reads a file whole through the one loader: the current archive's entry, else the disk file by its Windows path
// (drive letters and case-blind names apply).
MemHandle LoadDiskFile(const char* folder, const char* name) {
  if (!name || !*name) return 0;
  std::string path = folder ? folder : "";
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return BigFileLoadToHandle(nullptr, path.c_str(), 0);
}

// Stand-in pointer: a small white arrow with a black edge, its tip at the position.
class BuiltInArrow : public ShellAnim {
 public:
  void Start() override { running_ = true; }
  void Stop(int) override { running_ = false; }
  void SetPosition(int32_t x, int32_t y) override {
    x_ = x;
    if (y != -1) y_ = y;
  }
  void Draw() override {
    const uint32_t white = rgbpixel(0xFFFFFFFF), black = rgbpixel(0xFF000000);
    for (int32_t row = 0; row < 12; ++row) {
      fillrect(x_, y_ + row, row / 2 + 1, 1, black);
      if (row > 1 && row < 11) fillrect(x_ + 1, y_ + row, row / 2 - 1 > 0 ? row / 2 - 1 : 0, 1, white);
    }
  }

 private:
  bool running_ = false;
  int32_t x_ = 0, y_ = 0;
};

// The null providers, shared so that their state (the random seed, the busy and suppression flags) is the
// framework's own; made on first use, so that no start-up order matters.
struct NullProviders {
  GameProvider game;
  SceneProvider scene;
  RoundInterfaceProvider round;
  FrontEndProvider frontEnd;
  SoundProvider sound;
  NetworkProvider network;
  PreferencesProvider preferences;
  CourseCatalogueProvider catalogue;
};
NullProviders& Nulls() {
  static NullProviders nulls;
  return nulls;
}

}  // namespace

int GameProvider::CreateGame(int) { return 1; }

intptr_t GameProvider::PeerArgument(uint32_t, uint32_t, const uint8_t*, size_t, intptr_t plain) { return plain; }

MemHandle SceneProvider::LoadShapeFile(PathRecord* folder, const char* name) {
  return BigFileLoadToHandle(folder, name, 0);
}

ObjectImage* SceneProvider::CreateObjectImage(int32_t width, int32_t height, int32_t depth) {
  return NewObjectImage(width, height, depth);
}

void SceneProvider::FreeObjectImage(ObjectImage* image) { DeleteObjectImage(image); }

int SceneProvider::Random15() {
  random_ = random_ * 1103515245u + 12345u;
  return static_cast<int>((random_ >> 16) & 0x7FFF);
}

uint32_t SceneProvider::Random31() {
  const uint32_t hi = static_cast<uint32_t>(Random15());
  const uint32_t mid = static_cast<uint32_t>(Random15());
  const uint32_t lo = static_cast<uint32_t>(Random15());
  return ((hi << 16) ^ (mid << 1) ^ lo) & 0x7FFFFFFFu;
}

int FrontEndProvider::StartFrontEnd(int) {
  // The front end marks a start that got through.
  Svc().preferences->Set(kPrefLaunching, 0);
  return 0;
}

int FrontEndProvider::ShowMessageDialog(const char* text, int twoButtons) {
  const int answer = MessageBoxA(Facts().queueWindow, text, kProductTitle, twoButtons ? MB_OKCANCEL : MB_OK);
  return answer == IDCANCEL ? 27 : 0;
}

int FrontEndProvider::ShowNotice(const std::string& text) {
  if (DialogsSuppressed()) return 1;
  std::fprintf(stderr, "%s\n", text.c_str());
  return 1;
}

MemHandle FrontEndProvider::LoadFileToHandle(const char* folder, const char* name, uint32_t) {
  return LoadDiskFile(folder, name);
}

ShellAnim* FrontEndProvider::MakeShellAnim(const char*, ShellAnim*, int, int, int, int) { return new BuiltInArrow; }

MARect FrontEndProvider::DrawShadowFrame(const MARect& rect, int32_t width, WindowDesc* target) {
  if (!target) return MARect{0, 0, 0, 0};
  WindowDesc saved;
  savecurrentwindow(&saved);
  if (setwindow(target)) {
    const uint32_t black = rgbpixel(0xFF000000);
    const int32_t w = rect.right - rect.left, h = rect.bottom - rect.top;
    fillrect(rect.left - width, rect.top - width, w + 2 * width, width, black);
    fillrect(rect.left - width, rect.bottom, w + 2 * width, width, black);
    fillrect(rect.left - width, rect.top, width, h, black);
    fillrect(rect.right, rect.top, width, h, black);
  }
  restorecurrentwindow(&saved);
  return MARect{rect.left - width, rect.top - width, rect.right + width, rect.bottom + width};
}

// The start-up's own preferences live in the registry until the preference store takes over.
int PreferencesProvider::Get(int id, int32_t* value) { return GetPreference(id, value); }
int PreferencesProvider::Set(int id, int32_t value) { return SetPreference(id, value); }

Services::Services()
    : game(&Nulls().game),
      scene(&Nulls().scene),
      round(&Nulls().round),
      frontEnd(&Nulls().frontEnd),
      sound(&Nulls().sound),
      network(&Nulls().network),
      preferences(&Nulls().preferences),
      catalogue(&Nulls().catalogue) {}

Services& Svc() {
  static Services installed;
  return installed;
}

void InstallServices(const Services& providers) {
  const Services nulls;
  Services& installed = Svc();
  installed.game = providers.game ? providers.game : nulls.game;
  installed.scene = providers.scene ? providers.scene : nulls.scene;
  installed.round = providers.round ? providers.round : nulls.round;
  installed.frontEnd = providers.frontEnd ? providers.frontEnd : nulls.frontEnd;
  installed.sound = providers.sound ? providers.sound : nulls.sound;
  installed.network = providers.network ? providers.network : nulls.network;
  installed.preferences = providers.preferences ? providers.preferences : nulls.preferences;
  installed.catalogue = providers.catalogue ? providers.catalogue : nulls.catalogue;
}

void ResetServices() {
  InstallServices(Services{});
  Nulls().frontEnd.SuppressDialogs(false);
  Nulls().frontEnd.SetBusy(false);
}

ScopedServices::ScopedServices(const Services& providers) : saved_(Svc()) { InstallServices(providers); }
ScopedServices::~ScopedServices() { InstallServices(saved_); }

void LogServices() {
  const Services& s = Svc();
  const struct {
    const char* role;
    const Provider* provider;
  } rows[] = {
      {"game", s.game},   {"scene", s.scene},     {"round interface", s.round},   {"front end", s.frontEnd},
      {"sound", s.sound}, {"network", s.network}, {"preferences", s.preferences}, {"course catalogue", s.catalogue},
  };
  for (const auto& row : rows) {
    char line[96];
    std::snprintf(line, sizeof line, "Service %s: %s", row.role, row.provider->Name());
    WriteLogLine(line);
  }
}

SharedFacts& Facts() {
  static SharedFacts facts;
  return facts;
}
