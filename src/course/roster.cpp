#include "course/roster.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

struct Default {
  const char* name;
  const char* longName;
  const char* code;
  const char* birthplace;
};

// Our own golfers: four amateur models, then the professionals.
const Default kDefaults[kRosterSlots] = {
    {"Amateur 1", "Amateur model one", "a1", ""},       {"Amateur 2", "Amateur model two", "a2", ""},
    {"Amateur 3", "Amateur model three", "a3", ""},     {"Amateur 4", "Amateur model four", "a4", ""},
    {"Orla Fenwick", "Orla Fenwick", "of", "Whitby"},   {"Tam Okafor", "Tamuno Okafor", "to", "Port Harcourt"},
    {"Ines Varga", "Ines Varga", "iv", "Debrecen"},     {"Hugo Lindqvist", "Hugo Lindqvist", "hl", "Umea"},
    {"Marta Ceres", "Marta Ceres", "mc", "Valencia"},   {"Jun Arakawa", "Jun Arakawa", "ja", "Sendai"},
    {"Pete Dunmore", "Peter Dunmore", "pd", "Galway"},  {"Sara Holt", "Sara Holt", "sh", "Dunedin"},
    {"Ravi Menon", "Ravi Menon", "rm", "Kochi"},        {"Cole Brandt", "Cole Brandt", "cb", "Tulsa"},
    {"Ana Petrov", "Ana Petrov", "ap", "Varna"},        {"Leo Marchetti", "Leo Marchetti", "lm", "Bergamo"},
    {"Kit Alder", "Kit Alder", "ka", "Hobart"},         {"Nils Aarsen", "Nils Aarsen", "na", "Bergen"},
    {"Femi Adeyemi", "Femi Adeyemi", "fa", "Ibadan"},   {"Gus Ferreira", "Gustavo Ferreira", "gf", "Porto"},
    {"Ida Moreau", "Ida Moreau", "im", "Nantes"},       {"Ray Castell", "Raymond Castell", "rc", "Perth"},
    {"Yara Sol", "Yara Sol", "ys", "Cusco"},            {"Bo Whitlock", "Bo Whitlock", "bw", "Savannah"},
    {"Dee Calloway", "Deirdre Calloway", "dc", "Cork"}, {"Max Oyelaran", "Max Oyelaran", "mo", "Accra"},
};

RosterSlot gRoster[kRosterSlots];
char gBiographies[kRosterProfessionals][512];

}  // namespace

void InitGolferRoster() {
  for (int s = 0; s < kRosterSlots; ++s) {
    RosterSlot& r = gRoster[s];
    r = RosterSlot{};
    std::snprintf(r.name, sizeof r.name, "%s", kDefaults[s].name);
    std::snprintf(r.longName, sizeof r.longName, "%s", kDefaults[s].longName);
    std::snprintf(r.picture, sizeof r.picture, "golfer%02u.fsh", static_cast<unsigned>(s) % 100u);
    std::snprintf(r.body, sizeof r.body, "%sbody.fsh", kDefaults[s].code);
    r.present = 1;
    if (s >= 4) {
      const int i = s - 4;
      std::snprintf(gBiographies[i], sizeof gBiographies[i],
                    "Name: %s\nHeight: %d cm\nWeight: %d kg\nBirthdate: %d May 19%02d\nBirthplace: %s\n"
                    "Residence: %s\nScoring: %d.%d\nDriving: %d yards\nDriving Accuracy: %d%%\n"
                    "Greens in Regulation: %d%%\nPutting: 1.%d\nLongest Drive: %d yards\nBest Round: %d",
                    kDefaults[s].longName, 165 + (i * 7) % 25, 60 + (i * 11) % 35, 1 + i, 60 + i, kDefaults[s].birthplace,
                    kDefaults[s].birthplace, 69 + i % 4, (i * 3) % 10, 265 + (i * 5) % 40, 55 + (i * 3) % 25,
                    60 + (i * 7) % 20, 70 + i % 20, 300 + (i * 9) % 60, 62 + i % 5);
    }
  }
}

int GolferRosterSize() { return kRosterProfessionals; }

const RosterSlot* GolferRosterSlot(int slot) {
  if (slot < 0 || slot >= kRosterSlots || slot >= GolferRosterSize() + 4) return nullptr;
  if (gRoster[slot].name[0] == 0) InitGolferRoster();
  return &gRoster[slot];
}

int FindRosterProfessional(const char* name) {
  if (!name) return -1;
  for (int s = 4; s < GolferRosterSize() + 4 && s < kRosterSlots; ++s)
    if (const RosterSlot* r = GolferRosterSlot(s); r && strcasecmp(r->name, name) == 0) return s;
  return -1;
}

const char* RosterBiography(int slot) {
  if (slot < 4 || slot >= kRosterSlots || !GolferRosterSlot(slot)) return "";
  return gBiographies[slot - 4];
}
