#include "commentary.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "course/roster.h"

namespace mkdemo {

namespace {

constexpr const char* kPreShot = "data|sounds|preshot";
constexpr const char* kPutt = "data|sounds|puttcomm";
constexpr const char* kTourney = "data|sounds|putttorn";
constexpr const char* kPostPutt = "data|sounds|postputt";
constexpr const char* kTeeHazard = "data|sounds|teehaz";
constexpr const char* kInFlight = "data|sounds|inflight";
constexpr const char* kPros = "data|sounds|pros";

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Format(const char* format, int a, int b = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

const char* const kNumbers[] = {"zero", "one",   "two",    "three",    "four",     "five",    "six",
                                "seven", "eight", "nine",   "ten",      "eleven",   "twelve",  "thirteen",
                                "fourteen", "fifteen", "sixteen", "seventeen", "eighteen"};
const char* const kOrdinals[] = {"",        "first",   "second",   "third",   "fourth",  "fifth",   "sixth",
                                 "seventh", "eighth",  "ninth",    "tenth",   "eleventh", "twelfth", "thirteenth",
                                 "fourteenth", "fifteenth", "sixteenth", "seventeenth", "eighteenth"};

class Table {
 public:
  // A stem with `count` variants (0: the name alone).
  void Add(const char* folder, const std::string& stem, int count, const std::string& text) {
    SpokenFamily f{folder, {}, text};
    if (count == 0) f.files.push_back(Lower(stem));
    for (int v = 1; v <= count; ++v) f.files.push_back(Lower(stem + Format(count > 9 ? "%02d" : "%d", v)));
    families.push_back(std::move(f));
  }
  std::vector<SpokenFamily> families;
};

void PreShot(Table& t, int holes) {
  for (int h = 1; h <= 18; ++h)
    t.Add(kPreShot, Format("DORMH%02d", h), 0, std::string("Dormie on the ") + kOrdinals[h] + ". Halve this and the match is won.");
  t.Add(kPreShot, "DORMIE1", 0, "The match is dormie.");
  t.Add(kPreShot, "MAT1H17", 2, "One down with two to play.");
  t.Add(kPreShot, "MAT0H18", 2, "All square on the last.");
  t.Add(kPreShot, "MAT1H18", 3, "One down on the eighteenth. Must win this hole.");
  t.Add(kPreShot, "IDLEMAT", 6, "A tight match out here today.");
  t.Add(kPreShot, "PTELEAD", 2, "Our leader steps up to the tee.");
  t.Add(kPreShot, "ptebhon", 2, "An ace here last round. Can lightning strike twice?");
  t.Add(kPreShot, "ptebeag", 2, "An eagle on this hole last time round.");
  t.Add(kPreShot, "ptebbir", 2, "Birdied this one in the last round.");
  t.Add(kPreShot, "ptebpar", 2, "A steady par here last round.");
  t.Add(kPreShot, "ptebbog", 2, "A bogey here last time. Looking to make amends.");
  t.Add(kPreShot, "pte3putt", 3, "Three putts on the last green. That will sting.");
  t.Add(kPreShot, "pteeagl", 3, "Coming off an eagle.");
  t.Add(kPreShot, "ptebird", 3, "Fresh from a birdie on the last.");
  t.Add(kPreShot, "ptepar", 1, "A par on the last hole.");
  t.Add(kPreShot, "ptebogy", 3, "A bogey on the last. Time to bounce back.");
  for (int h = 1; h <= 18; ++h)
    t.Add(kPreShot, Format("ptee%02d", h), 3, std::string("On the tee at the ") + kOrdinals[h] + ".");
  t.Add(kPreShot, "pfring", 5, "Just off the green, on the fringe.");
  t.Add(kPreShot, "pfringl", 5, "On the fringe, left of the pin.");
  t.Add(kPreShot, "pfringr", 5, "On the fringe, right of the pin.");
  t.Add(kPreShot, "PAPMID", 5, "The pin sits in the middle of the green.");
  t.Add(kPreShot, "PAPFRON", 5, "The pin is cut at the front today.");
  t.Add(kPreShot, "PAPBACK", 5, "A back pin position.");
  t.Add(kPreShot, "PAPFROL", 5, "Front left pin.");
  t.Add(kPreShot, "PAPFROR", 5, "Front right pin.");
  t.Add(kPreShot, "PAPBACL", 5, "Back left pin.");
  t.Add(kPreShot, "PAPBACR", 5, "Back right pin.");
  for (int shot = 2; shot <= 9; ++shot)
    t.Add(kPreShot, Format("pfwsho%d", shot), shot <= 6 ? 3 : 2, std::string("In the fairway for the ") + kOrdinals[shot] + " shot.");
  t.Add(kPreShot, "pfwmid", 0, "Right down the middle of the fairway.");
  t.Add(kPreShot, "pfwright", 0, "On the right side of the fairway.");
  t.Add(kPreShot, "pfwleft", 0, "On the left side of the fairway.");
  t.Add(kPreShot, "prof", 8, "A flyer lie in the rough.");
  t.Add(kPreShot, "pros", 8, "Sitting down in the rough.");
  for (int shot = 2; shot <= 5; ++shot)
    t.Add(kPreShot, Format("pro%d", shot), 2, std::string("From the rough for the ") + kOrdinals[shot] + ".");
  t.Add(kPreShot, "prorigh", 3, "Way out in the right rough.");
  t.Add(kPreShot, "proleft", 3, "Way out in the left rough.");
  t.Add(kPreShot, "prolie", 3, "Not much of a lie in the rough.");
  t.Add(kPreShot, "pdro", 8, "Deep rough. Just get it out.");
  for (int shot = 2; shot <= 5; ++shot)
    t.Add(kPreShot, Format("pbshot%d", shot), 3, std::string("From the sand for the ") + kOrdinals[shot] + ".");
  t.Add(kPreShot, "pbb", 6, "Buried in the bunker.");
  t.Add(kPreShot, "pbti", 6, "A tight lie in the sand.");
  t.Add(kPreShot, "pps", 5, "On the pine straw.");
  t.Add(kPreShot, "prip", 4, "Down among the reeds by the water.");
  t.Add(kPreShot, "penv", 3, "Out in the dune scrub.");
  t.Add(kPreShot, "pcart", 2, "On the cart path. A free drop.");
  t.Add(kPreShot, "pwtr", 5, "Water is in play on this one.");
  t.Add(kPreShot, "UPHILL", 5, "Playing uphill. Take more club.");
  t.Add(kPreShot, "DOWNHL", 5, "Downhill from here. It will run.");
  t.Add(kPreShot, "ptalwin", 4, "A strong wind at the back.");
  t.Add(kPreShot, "ptalbre", 4, "A light breeze helping.");
  t.Add(kPreShot, "phedwin", 4, "Straight into a strong wind.");
  t.Add(kPreShot, "phedbre", 3, "A breeze in the face.");
  t.Add(kPreShot, "pcrswil", 3, "A strong wind from the left.");
  t.Add(kPreShot, "pcrswir", 3, "A strong wind from the right.");
  t.Add(kPreShot, "pcrsbrl", 4, "A breeze from the left.");
  t.Add(kPreShot, "pcrsbrr", 4, "A breeze from the right.");
  // The demo course's own hole introductions.
  const std::string course = "data|courses|sedgefen|sounds";
  for (int h = 1; h <= holes && h <= 18; ++h) {
    t.Add(course.c_str(), Format("teeh%02d", h), 3, std::string("The ") + kOrdinals[h] + " at Sedgefen. Keep it out of the reeds.");
    t.Add(course.c_str(), Format("layh%02d", h), 3, "The smart play is a lay-up short of the water.");
    t.Add(course.c_str(), Format("apph%02d", h), 3, "The approach here is all about distance.");
  }
}

void Putts(Table& t) {
  t.Add(kPutt, "PMLOSE", 3, "Must hole this to stay in the match.");
  t.Add(kPutt, "PMHF05", 3, "A short one to halve the hole.");
  t.Add(kPutt, "PMHF20", 3, "Fifteen feet to halve.");
  t.Add(kPutt, "PMHF30", 3, "A long putt to halve the hole.");
  t.Add(kPutt, "PMHALF", 3, "This one for a half.");
  t.Add(kPutt, "PMWM05", 3, "A short putt to win the match.");
  t.Add(kPutt, "PMWINM", 5, "This putt wins the match.");
  t.Add(kPutt, "PMTM05", 2, "A short one to square the match.");
  t.Add(kPutt, "PMTM30", 3, "A long one to square the match.");
  t.Add(kPutt, "PMTIEM", 3, "Hole this and the match is all square.");
  t.Add(kPutt, "PMWH05", 3, "A tiddler to win the hole.");
  t.Add(kPutt, "PMWH20", 3, "Fifteen feet to win the hole.");
  t.Add(kPutt, "PMWH30", 3, "A long putt to win the hole.");
  t.Add(kPutt, "PMWINH", 3, "This one wins the hole.");
  t.Add(kPutt, "PTSPTOP", 5, "Make this and take the lead.");
  t.Add(kPutt, "PTSPTIE", 5, "This putt ties for the lead.");
  t.Add(kPutt, "PSSPMAN", 0, "A lot of skins riding on this putt.");
  t.Add(kPutt, "PSSPWIN", 3, "This putt wins the skin.");
  t.Add(kPutt, "PSSPONE", 3, "One skin on the line.");
  t.Add(kPutt, "PSOSIN", 3, "Miss this and it is a shoot-off.");
  t.Add(kPutt, "PARRA", 3, "A putt to save par.");
  t.Add(kPutt, "PARGE", 3, "Still for par.");
  t.Add(kPutt, "BIRDIER", 2, "A birdie putt to reach two under.");
  t.Add(kPutt, "BIRDIEP", 3, "A birdie putt to get under par.");
  t.Add(kPutt, "BIRDIEG", 3, "A birdie putt to get back to level.");
  t.Add(kPutt, "EAGLEPU", 3, "An eagle putt. This would be special.");
  t.Add(kPutt, "EAGLEGE", 3, "An eagle putt to get back to even.");
  t.Add(kPutt, "PGPBRU", 3, "Uphill, and it breaks.");
  t.Add(kPutt, "PGPBRD", 3, "Downhill with a break. Careful.");
  t.Add(kPutt, "PGPCUP", 2, "Straight at the cup. Just hit it.");
  t.Add(kPutt, "PGPBRL", 3, "It will break to the left.");
  t.Add(kPutt, "PGPBRR", 3, "It will break to the right.");
  // After a holed putt: the match, the skins, the score.
  t.Add(kPutt, "AMAAA00", 2, "The match is all square.");
  for (int left = 1; left <= 8; ++left) t.Add(kPutt, Format("AMR%dA001", left), 0, std::string("All square with ") + kNumbers[left] + " to play.");
  for (int h = 12; h <= 18; ++h) t.Add(kPutt, Format("AM%dA001", h), 0, std::string("All square after ") + kNumbers[h] + ".");
  for (int s = -4; s <= 4; ++s) {
    const std::string sign = s < 0 ? "_" : "";
    const std::string two = Format("%02d", s < 0 ? -s : s);
    const std::string state = s == 0 ? "all square" : std::string(kNumbers[s < 0 ? -s : s]) + (s < 0 ? " down" : " up");
    t.Add(kPutt, "AMAAY" + sign + two.substr(s < 0 ? 1 : 0) + "1", 0, "Wins the hole, and now " + state + ".");
    if (s != 0) t.Add(kPutt, "AMAAA" + sign + two.substr(s < 0 ? 1 : 0) + "1", 0, "The match stands " + state + ".");
    for (int left = 1; left <= 8; ++left)
      if (s >= -3 && s != 0) t.Add(kPutt, Format("AMR%dA", left) + sign + two.substr(s < 0 ? 1 : 0) + "1", 0,
                         state + " with " + kNumbers[left] + " to play.");
  }
  t.Add(kPutt, "SSPWIN", 3, "Holes out to win the skin.");
  t.Add(kPutt, "SSPWINS", 3, "Holes out to take the skins.");
  t.Add(kPutt, "SSCWIN", 2, "Holed from off the green for the skin.");
  t.Add(kPutt, "SSCWINS", 2, "Holed from off the green for all those skins.");
  t.Add(kPutt, "SSPTIE", 4, "Tied. The skin carries over.");
  t.Add(kPutt, "SSPSTAK1", 0, "The skins are starting to pile up.");
  t.Add(kPutt, "SSPSTAK2", 0, "Big money on the closing holes.");
  for (int toPar = 1; toPar <= 2; ++toPar)
    for (const char* tail : {"RA", "PU", "GE"}) {
      const std::string what = toPar == 2 ? "An eagle" : "A birdie";
      const std::string where = std::string(tail) == "RA" ? " and the score keeps falling." : std::string(tail) == "PU" ? " and under par." : " and back to even.";
      t.Add(kPutt, Format("APG%d", toPar) + tail, 3, what + where);
    }
  for (int toPar = 3; toPar <= 4; ++toPar) t.Add(kPutt, Format("APG%d", toPar), 0, "An albatross! Remarkable.");
  t.Add(kPutt, "APG0S", 4, "Par, with a single putt.");
  t.Add(kPutt, "APG0R", 3, "Two putts for a routine par.");
  t.Add(kPutt, "APGLNGP", 3, "Holed from long range!");
  t.Add(kPutt, "APGLONG", 2, "What a long putt!");
  for (int run = 2; run <= 9; ++run) {
    t.Add(kPutt, Format("APGBIRD%d", run), 0, std::string(kNumbers[run]) + " birdies in a row.");
    t.Add(kPutt, Format("APGPAR%d", run), 0, std::string(kNumbers[run]) + " pars in a row.");
  }
  t.Add(kPutt, "APGBOG", 2, "A bogey.");
  t.Add(kPutt, "APGBOGD", 3, "A dropped shot.");
  for (int u = 1; u <= 7; ++u) t.Add(kPutt, Format("APGNOWU%d", u), 0, std::string("Now ") + kNumbers[u] + " under.");
  t.Add(kPutt, "APGNOWP", 2, "Now back to level par.");
}

void Tournament(Table& t) {
  t.Add(kTourney, "ATSTIE", 3, "Now tied for the lead.");
  t.Add(kTourney, "ATSTOP", 1, "Still out in front.");
  for (int m = 1; m <= 7; ++m) t.Add(kTourney, Format("AT1KEEP%d", m), 0, std::string("Keeps a ") + kNumbers[m] + " shot lead.");
  t.Add(kTourney, "ATSNEW", 4, "A new leader!");
  for (int m = 2; m <= 7; ++m) t.Add(kTourney, Format("AT1LEAD%d", m), 0, std::string("The lead grows to ") + kNumbers[m] + ".");
  for (int b = 1; b <= 3; ++b) {
    t.Add(kTourney, Format("AT1SHT%d", b), 0, std::string(kNumbers[b]) + " behind the leader.");
    t.Add(kTourney, Format("AT1SHTS%d", b), 0, std::string(kNumbers[b]) + " behind the leaders.");
  }
  t.Add(kTourney, "ATSBOGY", 5, "A costly bogey.");
  t.Add(kTourney, "ATSBACK", 5, "Falling back down the leader board.");
}

void Results(Table& t) {
  t.Add(kPostPutt, "PWTWIN", 5, "Holed! That wins the shootout hole.");
  t.Add(kPostPutt, "agroll", 5, "It rolled off the green.");
  for (int s = 1; s <= 8; ++s) t.Add(kPostPutt, Format("agsafe%d", s), 0, "A safe shot onto the green.");
  struct Par { int par, strokes; std::vector<int> classes; } pars[] = {
      {3, 3, {0, 2, 5, 10, 20, 40}}, {4, 4, {0, 5, 10, 20, 35}}, {5, 5, {0, 2, 5, 15, 35}}};
  for (const Par& p : pars)
    for (int s = 1; s <= p.strokes; ++s)
      for (int k : p.classes) {
        const std::string where = k == 0 ? "stone dead" : std::string("inside ") + kNumbers[k <= 18 ? k : 0] + " feet";
        t.Add(kPostPutt, Format("AG%d%d", p.par, s) + Format("%02d", k), k == 0 ? 7 : 4,
              std::string("On a par ") + kNumbers[p.par] + ", " + (k > 18 ? "on the green" : where) + ".");
      }
  for (int diff = 0; diff <= 2; ++diff)
    for (int cls : {1, 3, 50, 99})
      t.Add(kPostPutt, Format("ag%d", diff) + Format("%02d", cls), 5,
            cls <= 3 ? "Close enough to tap in for a good score." : "On in regulation. A chance here.");
}

void Flight(Table& t) {
  t.Add(kTeeHazard, "SAND2SA", 4, "From one bunker into another.");
  t.Add(kTeeHazard, "SAND", 5, "That one found the sand.");
  for (int h = 1; h <= 18; ++h) t.Add(kTeeHazard, Format("SAND%02d", h), 0, "In the bunker that guards this hole.");
  t.Add(kTeeHazard, "OUT", 5, "Out of bounds. That is a penalty.");
  t.Add(kTeeHazard, "WATER", 5, "Splash. In the water.");
  t.Add(kTeeHazard, "AT3ONE", 5, "It's in! A hole in one!");
  t.Add(kTeeHazard, "AT3GOT", 8, "Found the green off the tee.");
  t.Add(kTeeHazard, "AT3LOW", 4, "Short of the green.");
  t.Add(kTeeHazard, "AT4P280", 9, "A huge drive, right down the fairway.");
  t.Add(kTeeHazard, "AT4FAIR", 5, "A good drive into the fairway.");
  t.Add(kTeeHazard, "AT4FAI4", 6, "In the short grass. A wedge in from there.");
  t.Add(kTeeHazard, "AT4FAI5", 5, "In the fairway, with a chance to go for it in two.");
  t.Add(kInFlight, "FLUB", 6, "Oh, a poor swing.");
  t.Add(kInFlight, "FWATR", 4, "That is heading for the water.");
  t.Add(kInFlight, "FOB", 4, "That's going out of bounds.");
  t.Add(kInFlight, "FSAND", 4, "Into the sand again.");
  t.Add(kInFlight, "FINRGH", 4, "Still in the rough.");
  t.Add(kInFlight, "FOUTRGH", 4, "Good recovery out of the rough.");
  t.Add(kInFlight, "FBAD", 6, "That one is in trouble.");
  t.Add(kInFlight, "FTEEBIG", 7, "That's a big one!");
  t.Add(kInFlight, "FTEE", 8, "Nice shot off the tee.");
  for (int shot = 2; shot <= 5; ++shot) {
    const std::string n = kOrdinals[shot];
    t.Add(kInFlight, Format("FWOOD%d", shot), 0, "A wood for the " + n + ".");
    t.Add(kInFlight, Format("FIRON%d", shot), 0, "An iron for the " + n + ".");
    t.Add(kInFlight, Format("FWEDGE%d", shot), 0, "A wedge for the " + n + ".");
    t.Add(kInFlight, Format("FSHOT%d", shot), 2, "Here's the " + n + " shot.");
  }
}

void Pros(Table& t) {
  InitGolferRoster();
  for (int slot = 0; slot < GolferRosterSize() + 4; ++slot) {
    const RosterSlot* g = GolferRosterSlot(slot);
    if (!g || !g->body[0] || !g->body[1]) continue;
    const std::string code = std::string(1, g->body[0]) + g->body[1];
    const std::string name = g->longName[0] ? g->longName : g->name;
    t.Add(kPros, code + "INTR", 0, "On the tee, " + name + ".");
    t.Add(kPros, code + "FAIR", 5, name + " finds the fairway.");
    t.Add(kPros, code + "FAR", 4, "A long way from " + name + ".");
    if (slot >= 4 && g->factClips > 0) t.Add(kPros, code + "FACT", g->factClips, name + " has a fine record on this tour.");
  }
}

}  // namespace

std::vector<SpokenFamily> CommentaryFamilies(int holes) {
  Table t;
  PreShot(t, holes);
  Putts(t);
  Tournament(t);
  Results(t);
  Flight(t);
  Pros(t);
  return std::move(t.families);
}

}  // namespace mkdemo
