// The golfer editor as the golfers screen opens it: a new golfer gets a name and a golfer file; a user golfer's
// bag is shaped in the clubs dialog.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "app/gameapp.h"
#include "course/roster.h"
#include "framework/core/bigfileio.h"
#include "frontend/clubs.h"
#include "frontend/frontend.h"
#include "frontend/screens.h"
#include "golf/golferfile.h"

namespace {

std::string PlayersFolderPath() {
  char path[MAX_PATH];
  return PathJoin(&Folders().players, nullptr, path, sizeof path) ? path : "";
}

// Why a name cannot be a new golfer's, or null when it can.
const char* RefusedName(const char* name, const char* keep) {
  if (!name[0]) return nullptr;
  if (GolferFilePath(PlayersFolderPath(), name).empty()) return "That name cannot be used for a golfer.";
  if (FindRosterProfessional(name) >= 0) return "A professional already has that name.";
  if (keep && strcasecmp(keep, name) == 0) return nullptr;
  playerInfo_s existing;
  if (LoadGolferFile(PlayersFolderPath(), name, existing) == kGolferFileOk) return "A golfer of that name already exists.";
  return nullptr;
}

void Redraw() {
  if (GolfersScreen) GolfersScreen->DrawAll(0);
}

}  // namespace

void ShowGolferEditor(const char* name, int) {
  TGolfersScreenADV* s = GolfersScreen;
  if (name) {
    // A golfer of the player's own: its clubs.
    playerInfo_s record;
    if (LoadGolferFile(PlayersFolderPath(), name, record) != kGolferFileOk) return Redraw();
    if (ShowClubsDialog(record) == 1 && SaveGolferFile(PlayersFolderPath(), record) != kGolferFileOk)
      ShowMessageDialog("The golfer could not be saved.", 1, 1, nullptr, 0, nullptr);
    return Redraw();
  }
  char buffer[16] = {};
  std::snprintf(buffer, sizeof buffer, "%s", name ? name : "");
  const int answer = ShowTextInputDialog(name ? "Name of the golfer:" : "Name of the new golfer:", buffer,
                                         static_cast<int32_t>(sizeof buffer), "Type the golfer's name");
  if (answer != 1 || !buffer[0] || (name && std::strcmp(buffer, name) == 0)) {
    Redraw();
    return;
  }
  if (const char* why = RefusedName(buffer, name)) {
    ShowMessageDialog(why, 1, 1, nullptr, 0, nullptr);
    Redraw();
    return;
  }
  playerInfo_s record;
  if (name) {
    if (LoadGolferFile(PlayersFolderPath(), name, record) != kGolferFileOk) {
      Redraw();
      return;
    }
  } else {
    // New golfers wear the four amateur models in turn.
    record.model = s ? static_cast<uint32_t>(s->users->Size() % 4) : 0;
  }
  std::snprintf(record.name, sizeof record.name, "%s", buffer);
  if (SaveGolferFile(PlayersFolderPath(), record) != kGolferFileOk) {
    ShowMessageDialog("The golfer could not be saved.", 1, 1, nullptr, 0, nullptr);
    Redraw();
    return;
  }
  if (name && strcasecmp(name, buffer) != 0) {
    PathRecord players = Folders().players;
    FileDelete(&players, (std::string(name) + ".amt").c_str());
  }
  if (s) {
    if (name) {
      for (TListBoxADV* l : {s->users, s->selected})
        if (ListEntry* e = l->Find(name)) e->text = buffer;
    } else if (s->AddUserGolfer(buffer)) {
      s->selected->Select(-1, false);
      s->pros->Select(-1, false);
      s->users->Select(s->users->RowOf(s->users->Find(buffer)), false);
    }
  }
  Redraw();
}
