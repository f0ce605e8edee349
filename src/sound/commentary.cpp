#include "sound/commentary.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <strings.h>

#include "course/roster.h"
#include "course/scenedata.h"
#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/aigolfer.h"
#include "golf/game.h"
#include "golf/predict.h"
#include "sound/effects.h"
#include "sound/situation.h"
#include "sound/soundobject.h"

namespace {

CommentaryState gState;
TSoundADV* gFactClip = nullptr;

constexpr float kDegree = 0.0174533f;

int R15() { return static_cast<int>(SoundRandom31() & 0x7FFF); }
uint32_t R31() { return SoundRandom31() & 0x7FFFFFFF; }

uint8_t Settings() { return SoundSettingsByte(); }
bool CommentaryBit() { return (Settings() & 0x04) != 0; }

// The game's hold on the announcer: a shoot-off in the shootout (its golfers play from one spot, not the hole).
bool ShootoutHold(const TGame& g) {
  return g.mode == kModeShootout && static_cast<const TShootoutGame&>(g).shootoffRunning != 0;
}
bool Ending(const TGame& g) { return g.ending != 0 || g.gameOver != 0; }
bool MatchMode(uint16_t m) { return m == kModeMatchPlay || m == kModeFourBall || m == kModeFoursome; }

int Par(int hole) { return Svc().catalogue->HolePar(hole); }

std::string Printf(const char* format, int a, int b = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// The golfer's two-letter sound code from the roster (its body-shape file's first two characters), upper case.
std::string SoundCode(const TPlayer& p) {
  const RosterSlot* slot = GolferRosterSlot(static_cast<int>(p.model));
  std::string code;
  for (int i = 0; slot && i < 2 && slot->body[i]; ++i)
    code += static_cast<char>(std::toupper(static_cast<unsigned char>(slot->body[i])));
  return code;
}

bool Human(const TPlayer& p) { return !p.IsComputer(); }

int LieOf(uint8_t surface) { return surface >> 4; }

bool IsWaterLie(int lie) {
  const CourseSceneData& c = CurrentCourseScene();
  return lie == kLieWater || (c.secondWater && lie == LieOf(c.secondWater));
}
bool IsOutLie(int lie) {
  const CourseSceneData& c = CurrentCourseScene();
  if (lie == kLieOutOfBounds) return true;
  for (uint8_t code : c.outOfBounds)
    if (code && lie == LieOf(code)) return true;
  return false;
}
bool IsSandLie(int lie) { return lie == kLieSand || lie == kLieBunker; }
std::string LieName(int lie) {
  const CourseSceneData& c = CurrentCourseScene();
  std::string name = lie >= 0 && lie < 16 ? c.lieNames[static_cast<size_t>(lie)] : std::string();
  for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return name;
}
bool PineStraw(int lie) {
  const std::string n = LieName(lie);
  return n == "PINE_STRAW" || n == "PINE STRAW";
}

void Queue(const std::string& name, const char* folder, uint32_t flags) {
  if (!name.empty()) NewAnnouncerClip(name.c_str(), folder, flags);
}

std::string Variant(const std::string& stem, int count) {
  std::string name;
  AppendClipVariant(stem.c_str(), count, name);
  return name;
}

float Distance2(const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.y - b.y); }

// A golfer's score to par over the tournament so far with this hole finished in its strokes plus `extra`.
int ProjectedScore(int slot, int extra) {
  const TGame* g = SituationGame();
  return GolferScoreToPar(slot) + NetHoleStrokes(slot, g->state.round, g->state.hole) + extra - Par(g->state.hole);
}

// ---- the course's hole introductions -------------------------------------------------------------------------------

#define ALL18(v) {v, v, v, v, v, v, v, v, v, v, v, v, v, v, v, v, v, v}

const char* const kSedgefenExclusions[] = {"TEEH03", "4", "TEEH05", "1", "TEEH05", "4", "TEEH07", "1", "LAYH09", "1",
                                           "APPH18", "4", "APPH02", "4", "TEEH06", "2", nullptr};
const char* const kGullrockExclusions[] = {"TEEH10", "1", nullptr};

const CourseClipRow kCourseClips[] = {
    {"GULLROCK", ALL18(2), {0, 2, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 3},
     {2, 0, 2, 2, 0, 0, 0, 2, 2, 2, 0, 0, 2, 1, 2, 2, 0, 0}, kGullrockExclusions},
    {"DRYWASH", ALL18(2), {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 2, 0, 0},
     {2, 2, 2, 2, 2, 2, 2, 2, 1, 2, 0, 2, 2, 2, 2, 0, 2, 2}, nullptr},
    {"SEDGEFEN", ALL18(3), {0, 3, 0, 0, 0, 0, 0, 0, 3, 0, 3, 0, 0, 0, 0, 1, 0, 0},
     {3, 0, 3, 3, 3, 3, 3, 3, 0, 3, 0, 3, 3, 3, 3, 2, 3, 3}, kSedgefenExclusions},
};

}  // namespace

CommentaryState& Commentary() { return gState; }

const CourseClipRow* FindCourseClipTable() {
  const char* path = Svc().game->CurrentCourseFolder();
  const char* slash = std::strrchr(path, '\\');
  const char* name = slash ? slash + 1 : path;
  const CourseClipRow* found = nullptr;
  for (const CourseClipRow& row : kCourseClips)
    if (strcasecmp(row.folder, name) == 0) found = &row;
  return found;
}

int PlayHoleIntroClip() {
  TGame* g = SituationGame();
  const CourseClipRow* row = FindCourseClipTable();
  if (!g || !row || ShootoutHold(*g)) return 0;
  const int d = static_cast<int>(GetBallToPinDistance()) / 36;
  const int hole = g->state.hole;
  if (hole < 0 || hole >= kHoles) return 0;
  const char* format = nullptr;
  int count = 0;
  uint32_t bit = 0;
  if (GetCurrentHoleStrokes() == 0 && !(gState.holeIntroMask & 1)) {
    format = "teeh%02d", count = row->tee[hole], bit = 1;
  } else if (d > 250 && d < 380 && !(gState.holeIntroMask & 2)) {
    format = "layh%02d", count = row->layUp[hole], bit = 2;
  } else if (d > 40 && d < 200 && !(gState.holeIntroMask & 4)) {
    format = "apph%02d", count = row->approach[hole], bit = 4;
  }
  if (!format || count == 0) return 0;
  if (count == 1 && R15() % 2 == 0) return 0;
  if (count == 2 && R15() % 3 == 0) return 0;
  gState.holeIntroMask |= bit;
  ClipRestrictionsInForce().courseStems = row->exclusions;
  const std::string name = Variant(Printf(format, hole + 1), count);
  ClipRestrictionsInForce().courseStems = nullptr;
  // The course's own clips: its folder below DATA\COURSES.
  const char* course = Svc().game->CurrentCourseFolder();
  const char* slash = std::strrchr(course, '\\');
  const std::string folder = std::string("data|courses|") + (slash ? slash + 1 : course) + "|sounds";
  NewAnnouncerClip(name.c_str(), folder.c_str(), 0);
  PlayAnnouncerClip();
  return 1;
}

int BuildWindClipName(std::string& buffer) {
  buffer.clear();
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p) return 0;
  const int s = p->windCondition;
  const int d = static_cast<int>(GetBallToPinDistance()) / 36;
  if (s == 0 || !Human(*p) || R15() % 2 != 0 || d < 100) return 0;
  const uint16_t a = static_cast<uint16_t>(g->windHeading - static_cast<uint16_t>(g->viewPlacement.heading));
  if (a > 0xF000 || a < 0x1000) buffer = s == 2 ? Variant("ptalwin", 4) : Variant("ptalbre", 4);
  else if (a > 0x7000 && a < 0x9000) buffer = s == 2 ? Variant("phedwin", 4) : Variant("phedbre", 3);
  else if (a > 0x3000 && a < 0x5000) buffer = s == 2 ? Variant("pcrswil", 3) : Variant("pcrsbrl", 4);
  else if (a > 0xB000 && a < 0xD000) buffer = s == 2 ? Variant("pcrswir", 3) : Variant("pcrsbrr", 4);
  return buffer.empty() ? 0 : 1;
}

int BuildSlopeClipName(std::string& buffer) {
  buffer.clear();
  const int rise = static_cast<int>(GetLandingRise());
  if (rise >= 8) buffer = Variant("UPHILL", 5);
  else if (rise <= -8) buffer = Variant("DOWNHL", 5);
  return buffer.empty() ? 0 : 1;
}

int BuildWaterClipName(std::string& buffer) {
  buffer.clear();
  if (ShotPrediction.waterInPlay) buffer = Variant("pwtr", 5);
  return buffer.empty() ? 0 : 1;
}

int PlayGolferFactClip(const char* golferName) {
  if ((Settings() & 0x03) != 0x03 || !golferName) return 0;
  const int slot = FindRosterProfessional(golferName);
  if (slot < 4) return 0;
  const RosterSlot* golfer = GolferRosterSlot(slot);
  if (!golfer || golfer->factClips <= 0) return 0;
  std::string name;
  for (int i = 0; i < 2 && golfer->body[i]; ++i)
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(golfer->body[i])));
  name = Variant(name + "FACT", golfer->factClips);
  StopGolferFactClip();
  gFactClip = new (std::nothrow) TSoundADV(name.c_str(), kSoundUnloadWhenDone, kFolderPros);
  if (!gFactClip) return 0;
  gFactClip->Play();
  return 1;
}

void StopGolferFactClip() {
  if (!gFactClip) return;
  gFactClip->Stop();
  delete gFactClip;
  gFactClip = nullptr;
}

bool IsGolferFactClipPlaying() { return gFactClip && gFactClip->IsPlaying(); }

// ---- before the shot -------------------------------------------------------------------------------------------------

void ResetHoleCommentary() { gState.holeIntroMask = 0; }

void ResetShotCommentary() {
  SoundModule& s = Sound();
  {
    std::lock_guard lock(s.lock);
    if (s.currentAnnouncerClip && !s.currentAnnouncerClip->IsPlaying()) {
      TSoundADV* clip = s.currentAnnouncerClip;
      s.currentAnnouncerClip = nullptr;
      s.announcerStarted = false;
      for (int steps = 0; clip && steps < 4096; ++steps) {
        TSoundADV* next = clip->chainNext;
        delete clip;
        clip = next;
      }
    }
  }
  gState.pinDistanceYards = static_cast<int32_t>(GetBallToPinDistance()) / 36;
  const TPlayer* p = SituationGolfer();
  gState.shotStartLie = static_cast<uint8_t>(p ? (p->ball.lie & 0x0F) << 4 : 0);
}

namespace {

int PlayTeeCommentary() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || g->mode == kModeDrivingRange || !CommentaryBit() || Ending(*g)) return 0;
  if (GetCurrentHoleStrokes() > 0 || p->ball.lie != kLieTee) return 0;
  if (g->mode == kModePractice) return PlayHoleIntroClip();
  const int slot = SituationSlot(), hole = g->state.hole;
  std::string main, second;
  const char* folder = kFolderPreShot;
  bool pair = false;
  if (MatchMode(g->mode)) {
    const int standing = MatchStanding(slot);
    const int last = g->state.firstHole + g->state.holeCount - 1;
    if (standing != 0 && std::abs(standing) == HolesLeftInRound()) {
      if (hole >= 14 || (last == 8 && hole >= 5)) main = Printf("DORMH%02d", hole + 1);
      else main = "DORMIE1";
    } else if (hole >= 16 && standing == hole - last) {
      main = Variant(Printf("MAT%dH%02d", -standing, hole + 1), 2);
    } else if (hole == 17 && standing == -1) {
      main = Variant("MAT1H18", 3);
    } else if (R15() % 5 == 0) {
      main = Variant("IDLEMAT", 6);
    }
  } else if (IsTournamentMode(g->mode)) {
    if (g->state.round == 0 && hole == g->state.firstHole && (!Human(*p) || (p->flags & kGolferNoFile))) {
      main = second = SoundCode(*p) + "INTR";
      folder = kFolderPros;
    } else if (Human(*p)) {
      if (g->mode == kModeTournament) {
        int place = 0, flag = 0;
        GetTournamentStanding(slot, &place, nullptr, nullptr, nullptr, &flag);
        if (place != 1) gState.leadCommentCounter = 0;
        if (place == 1 && flag == 0) {
          if (gState.leadCommentCounter % 5 == 0) main = Variant("PTELEAD", 2);
          ++gState.leadCommentCounter;
        }
      }
      if (main.empty()) {
        if (R15() % 2 != 0 && PlayHoleIntroClip()) return 1;
        if (g->state.round > 0 && R15() % 3 != 0) {
          const int before = NetHoleStrokes(slot, g->state.round - 1, hole);
          const int strokes = HoleStrokes(slot, g->state.round - 1, hole);
          const char* stem = nullptr;
          if (strokes == 1) stem = "ptebhon";
          else if (strokes > 0)
            switch (before - Par(hole)) {
              case -2: stem = "ptebeag"; break;
              case -1: stem = "ptebbir"; break;
              case 0: stem = "ptebpar"; break;
              case 1: stem = "ptebbog"; break;
              default: break;
            }
          if (stem) {
            main = Variant(stem, 2);
            pair = true;
            second.clear();
          }
        }
        if (main.empty() && PlayHoleIntroClip()) return 1;
      }
    }
  }
  if (main.empty()) {
    if (R15() % 2 != 0 && PlayHoleIntroClip()) return 1;
    if (hole != g->state.firstHole && Human(*p) && R15() % 3 != 0) {
      if (g->mode == kModeTournament) {
        uint32_t putts = 0;
        p->GetHoleScore(g->state.round, hole - 1, nullptr, &putts);
        const int strokes = HoleStrokes(slot, g->state.round, hole - 1);
        if (putts == 3) {
          main = Variant("pte3putt", 3);
        } else if (R15() % 2 != 0 && strokes > 1) {
          switch (NetHoleStrokes(slot, g->state.round, hole - 1) - Par(hole - 1)) {
            case -2: main = Variant("pteeagl", 3); break;
            case -1: main = Variant("ptebird", 3); break;
            case 0:
              if (R15() % 2 != 0) main = Variant("ptepar", 1);
              break;
            case 1: main = Variant("ptebogy", 3); break;
            default: break;
          }
        }
      }
      if (main.empty() && R15() % 2 != 0 && g->mode != kModeShootout)
        main = Variant(Printf("ptee%02d", hole + 1), 3);
    }
  }
  if (second.empty() && Human(*p) && R15() % 3 != 0) {
    std::string extra;
    if (!BuildWaterClipName(extra)) BuildWindClipName(extra);
    if (!extra.empty()) (main.empty() ? main : second) = extra;
  }
  if (main.empty()) return 0;
  if (!second.empty() && second != main) {
    if (pair) {
      Queue(main, folder, 0);
      Queue(second, folder, 0);
    } else {
      Queue(R15() % 2 ? second : main, folder, 0);
    }
  } else {
    Queue(main, folder, 0);
  }
  PlayAnnouncerClip();
  return 1;
}

int PlayFringeCommentary() {
  TGame* g = SituationGame();
  if (!g || g->mode == kModePractice || g->mode == kModeDrivingRange || !CommentaryBit() || Ending(*g)) return 0;
  std::string stem = "pfring";
  const float pinX = GetPinPositionX() * 3, pinZ = GetPinPositionZ() * 3;
  const float ballX = GetBallPositionX() * 3, ballZ = GetBallPositionZ() * 3;
  if (std::fabs(ballZ - pinZ) <= 10.0f) {
    if (ballX > pinX + 5.0f) stem += "L";
    else if (ballX < pinX - 5.0f) stem += "R";
  }
  Queue(Variant(stem, 5), kFolderPreShot, 0);
  PlayAnnouncerClip();
  return 1;
}

int PlayPreShotLieCommentary() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || g->mode == kModePractice || g->mode == kModeDrivingRange || !CommentaryBit() || Ending(*g))
    return 0;
  if (R15() % 2 != 0 && PlayHoleIntroClip()) return 1;
  const int yards = static_cast<int>(GetBallToPinDistance()) / 36;
  const int lie = p->ball.lie, detail = p->ball.lieDetail, strokes = GetCurrentHoleStrokes();
  std::string clip, spare;
  bool decided = false;
  // The place of the pin on the green, for an approach.
  if (yards >= 50 && yards <= 150 && R15() % 3 == 0) {
    const float dx = GetPinOffsetFromGreenCentreX(), dz = GetPinOffsetFromGreenCentreZ();
    const bool nearX = std::fabs(dx) < 4.0f, nearZ = std::fabs(dz) < 4.0f;
    if (nearX && nearZ) clip = Variant("PAPMID", 5);
    else if (nearX) clip = Variant(dz <= 0 ? "PAPFRON" : "PAPBACK", 5);
    else if (!nearZ) clip = Variant(std::string(dz <= 0 ? "PAPFRO" : "PAPBAC") + (dx < 0 ? "L" : "R"), 5);
    decided = !clip.empty();
  }
  if (!decided && lie == kLieFairway && yards > 60) {
    if (strokes > 0 && strokes < 9 && R15() % 3 != 0)
      clip = Variant(Printf("pfwsho%d", strokes + 1), strokes <= 5 ? 3 : 2);
    if (clip.empty()) BuildSlopeClipName(clip);
    if (clip.empty()) {
      const int side = GetFairwaySide();
      clip = side == 2 ? "pfwmid" : side == 1 ? "pfwright" : side == 0 ? "pfwleft" : "";
    }
    decided = !clip.empty();
  }
  if (!decided && lie == kLieRough && yards >= 25) {
    if (detail == 2 || detail == 1) {
      if (R15() % 3 == 0) BuildSlopeClipName(clip);
      else clip = Variant(detail == 2 ? "prof" : "pros", 8);
    } else if (Human(*p) && ShotPrediction.result > 9 && strokes > 0 && strokes < 5 && R15() % 4 != 0) {
      if (R15() % 2 != 0) BuildSlopeClipName(clip);
      if (clip.empty()) clip = Variant(Printf("pro%d", strokes + 1), 2);
    } else {
      const int w = static_cast<int>(CurrentTerrain().width), h = w - w / 2;
      const int x = static_cast<int>(GetBallPositionX());
      if (x < -h) clip = Variant("prorigh", 3);
      else if (x > h) clip = Variant("proleft", 3);
      else if (ShotPrediction.result > 9) {
        if (!BuildSlopeClipName(clip)) clip = Variant("prolie", 3);
      } else {
        BuildSlopeClipName(clip);
      }
    }
    decided = !clip.empty();
  }
  if (!decided && lie == kLieHeavyRough && yards >= 25) {
    if (R15() % 3 == 0) BuildSlopeClipName(clip);
    else clip = Variant("pdro", 8);
    decided = !clip.empty();
  }
  if (!decided) {
    const std::string name = LieName(lie);
    if (IsSandLie(lie) && !PineStraw(lie) && strokes > 0 && strokes < 5 && Human(*p)) {
      if (detail == 0) clip = Variant(Printf("pbshot%d", strokes + 1), 3);
      else if (detail == 1) clip = Variant("pbb", 6);
      else if (detail == 4) clip = Variant("pbti", 6);
    } else if (PineStraw(lie)) {
      clip = Variant("pps", 5);
    } else if (name == "RIPARIAN") {
      clip = Variant("prip", 4);
    } else if (name == "DUNE SCRUB") {
      clip = Variant("penv", 3);
    } else if (lie == kLieCartPath) {
      clip = Variant("pcart", 2);
    } else {
      BuildWaterClipName(clip);
    }
  }
  if ((clip.empty() || spare.empty()) && R15() % 2 != 0) BuildWindClipName(clip.empty() ? clip : spare);
  if (clip.empty()) return 0;
  Queue(clip, kFolderPreShot, 0);
  PlayAnnouncerClip();
  return 1;
}

// The putting comments: the match, the skins, the shootout, the tournament, the par or birdie putt, the read.
std::string ChoosePuttComment() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  const int d = static_cast<int>(GetBallToPinDistance());
  const int slot = SituationSlot(), hole = g->state.hole, round = g->state.round;
  const int left = HolesLeftInRound();
  if (MatchMode(g->mode)) {
    const int outcome = PredictHoleOutcome();
    const int standing = MatchStanding(slot), after = left - 1;
    if (outcome == 0) {
      if (-standing == after) return Variant("PMLOSE", 3);
      if (d >= 12 && d <= 60) return Variant("PMHF05", 3);
      if (d >= 120 && d <= 240) return Variant("PMHF20", 3);
      if (d >= 360) return Variant("PMHF30", 3);
      return Variant("PMHALF", 3);
    }
    if (outcome == 1) {
      if (standing + 1 > after) return d >= 36 && d <= 60 ? Variant("PMWM05", 3) : Variant("PMWINM", 5);
      if (standing == -1) {
        if (d >= 12 && d <= 60) return Variant("PMTM05", 2);
        if (d >= 360) return Variant("PMTM30", 3);
        return Variant("PMTIEM", 3);
      }
      if (d >= 12 && d <= 60) return Variant("PMWH05", 3);
      if (d >= 120 && d <= 240) return Variant("PMWH20", 3);
      if (d >= 360) return Variant("PMWH30", 3);
      return Variant("PMWINH", 3);
    }
  } else if (IsTournamentMode(g->mode) && !(round == 0 && hole == g->state.firstHole)) {
    int projected[TPlayerList::kSlots] = {};
    bool othersDone = true;
    for (int s = 0; s < TPlayerList::kSlots; ++s) {
      if (!GolferStillPlaying(s)) continue;
      projected[s] = ProjectedScore(s, GolferHoledOut(s) ? 0 : 1);
      if (s != slot && !GolferHoledOut(s)) othersDone = false;
    }
    if (othersDone && g->mode == kModeTournament) {
      int best = 0;
      GetFieldStanding(&best, nullptr, nullptr, nullptr, round, projected[slot]);
      for (int s = 0; s < TPlayerList::kSlots; ++s)
        if (s != slot && GolferStillPlaying(s)) best = std::min(best, projected[s]);
      const auto* t = static_cast<const TTournamentGame*>(g);
      const bool leaderIsMe = !t->standings.empty() && t->standings[0].entrant == slot + TTournamentGame::kFieldComputers;
      if (!leaderIsMe) {
        if (projected[slot] < best) return Variant("PTSPTOP", 5);
        if (projected[slot] == best) return Variant("PTSPTIE", 5);
      }
    }
  } else if (g->mode == kModeSkins) {
    int index = -1;
    FindBestNetStrokesOnHole(round, hole, &index, nullptr);
    if (index == slot) {
      const int stake = static_cast<const TSkinsGame*>(g)->skinsAtStake;
      if (stake > 1) return R15() % 4 != 0 ? std::string("PSSPMAN") : Variant("PSSPWIN", 3);
      if (stake == 1) return R15() % 2 != 0 ? Variant("PSSPONE", 3) : Variant("PSSPWIN", 3);
      return Variant("PSSPWIN", 3);
    }
  } else if (g->mode == kModeShootout) {
    const int n = TPlayerList::kSlots;
    int finished = 0;
    CountFinishedPlayers(n, &finished, nullptr);
    if (finished >= 1) {
      int index = n;
      bool shared = false;
      FindHighestHoleScore(n, round, hole, &index, &shared);
      if (index == slot && shared) return Variant("PSOSIN", 3);
    }
  }
  // Par, birdie and eagle putts in the tournament.
  if (g->mode == kModeTournament && d > 24 && d < 250) {
    const int toPar = GetCurrentHoleNetStrokes() + 1 - Par(hole);
    const bool comment = toPar == -2 || (toPar >= -1 && toPar <= 0 && R15() % 3 != 0);
    if (comment) {
      const int total = GetRoundScoreToPar() + toPar;
      uint32_t putts = 0;
      p->GetHoleScore(round, hole, nullptr, &putts);
      if (toPar == 0) return Variant(putts == 0 ? "PARRA" : "PARGE", 3);
      if (toPar == -1) {
        if (total == -2) return Variant("BIRDIER", 2);
        if (total == -1) return Variant("BIRDIEP", 3);
        if (total == 0) return Variant("BIRDIEG", 3);
      }
      if (toPar == -2) {
        if (total == -2 || total == -1) return Variant("EAGLEPU", 3);
        if (total == 0) return Variant("EAGLEGE", 3);
      }
    }
  }
  // The read of the green.
  if (d > 48 && Human(*p)) {
    const int rise = static_cast<int>(GetPinRise());
    float brk = PredictPuttBreak();
    if (brk > 3.14159265f) brk -= 6.2831853f;
    if (std::fabs(brk) > 2 * kDegree && std::abs(rise) > d / 30) return Variant(rise > 0 ? "PGPBRU" : "PGPBRD", 3);
    std::string clip;
    if (std::fabs(brk) < 0.5f * kDegree) {
      if (++gState.straightPuttCounter == 1 && d / 12 < 20) clip = Variant("PGPCUP", 2);
      gState.straightPuttCounter %= 2;
      if (!clip.empty()) return clip;
    }
    if (R15() % 2 != 0) {
      if (brk > 2 * kDegree) return Variant("PGPBRL", 3);
      if (brk < -2 * kDegree) return Variant("PGPBRR", 3);
    }
  }
  return {};
}

}  // namespace

int PlayPreShotCommentary() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || g->mode == kModeDrivingRange || !CommentaryBit() || Ending(*g) || ShootoutHold(*g)) return 0;
  if (g->mode == kModePractice) return PlayHoleIntroClip();
  switch (p->ball.lie) {
    case kLieTee: return PlayTeeCommentary();
    case kLieFringe: return PlayFringeCommentary();
    case kLieGreen: {
      const std::string clip = ChoosePuttComment();
      if (clip.empty()) return 0;
      NewAnnouncerClip(clip.c_str(), kFolderPuttComments, 0);
      PlayAnnouncerClip();
      return 1;
    }
    default: return PlayPreShotLieCommentary();
  }
}

int PlayPreShotCommentaryNow() {
  if (CommentaryBit()) PlayPreShotCommentary();
  return 0;
}

void RunPreShotCommentary() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p) return;
  ResetShotCommentary();
  const bool firstTee = (g->mode == kModeSkins || IsTournamentMode(g->mode)) && g->state.round == 0 &&
                        g->state.hole == g->state.firstHole && SituationSlot() == 0 && p->ball.lie == kLieTee &&
                        GetCurrentHoleStrokes() == 0;
  if (firstTee) PlayPreShotCommentary();
  if (!Sound().currentAnnouncerClip) PlayPreShotCommentaryNow();
}

// ---- during and after the flight --------------------------------------------------------------------------------------

int PlayShotQualityCommentary(int lieFrom, float distance, int club) {
  gState.lastInFlightClip.clear();
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || g->mode == kModeDrivingRange || g->mode == kModePractice || !CommentaryBit() || club == kPutter)
    return 0;
  const int strokes = GetCurrentHoleStrokes(), par = Par(g->state.hole);
  const BallState& b = p->ball;
  const float ds = Distance2(b.startPosition, g->pinPosition), de = Distance2(b.position, g->pinPosition);
  const int a = LieOf(b.landingSurface), c = LieOf(b.restSurface);
  auto fairish = [](int lie) { return lie == kLieGreen || lie == kLieFringe || lie == kLieFairway; };
  auto rough = [](int lie) { return lie == kLieRough || lie == kLieHeavyRough; };
  std::string name;
  if (Svc().round->SwingMishit() && R15() % 2 != 0) name = Variant("FLUB", 6);
  else if (IsWaterLie(a) && IsWaterLie(c)) name = Variant("FWATR", 4);
  else if (IsOutLie(a) && IsOutLie(c) && a != 12) name = Variant("FOB", 4);
  else if (IsSandLie(a) && IsSandLie(c) && !PineStraw(a)) name = Variant("FSAND", 4);
  else if (rough(a) && rough(c) && !b.Flag(kBallFlagTouchedGreen) && ds > 350) name = Variant("FINRGH", 4);
  else if (rough(lieFrom) && distance > 80 && fairish(a) && fairish(c)) name = Variant("FOUTRGH", 4);
  else if (!fairish(a) && !fairish(c)) name = Variant("FBAD", 6);
  else if (lieFrom == kLieTee && strokes == 0 && par != 3 && a == kLieFairway && c == kLieFairway && de < 180.0f * (par - 3))
    name = distance > 300 ? Variant("FTEEBIG", 7) : Variant("FTEE", 8);
  else if (lieFrom == kLieFairway || lieFrom == kLieGreen || lieFrom == kLieFringe) {
    if (club >= 1 && club < kPutter && R15() % 2 != 0 && strokes >= 1 && strokes <= 4) {
      const bool wood = club == 2 || club == 3 || club == 6 || club == 9 || club == 11;
      name = Printf(wood ? "FWOOD%d" : club >= 4 && club <= 15 ? "FIRON%d" : "FWEDGE%d", strokes + 1);
    } else if (strokes >= 1 && strokes <= 4) {
      name = Variant(Printf("FSHOT%d", strokes + 1), 2);
    }
  }
  if (name.empty()) return 0;
  gState.lastInFlightClip = name;
  NewAnnouncerClip(name.c_str(), kFolderInFlight, kSoundWaitForCue);
  return 1;
}

int PlayLieCommentary() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || !CommentaryBit() || g->mode == kModePractice || g->mode == kModeDrivingRange) return 0;
  const BallState& b = p->ball;
  const int d = static_cast<int>(std::lround(Distance2(b.startPosition, b.position)));
  const int lie = b.lie, before = gState.shotStartLie >> 4;
  std::string name;
  if (IsSandLie(lie) && !PineStraw(lie)) {
    if (IsSandLie(before)) {
      if (d >= 40) name = Variant("SAND2SA", 4);
    } else if (R15() % 3 != 0) {
      name = Variant("SAND", 5);
    } else {
      name = Printf("SAND%02d", g->state.hole + 1);
    }
  } else if (IsOutLie(lie) || b.Flag(kBallFlagOutOfBounds)) {
    name = Variant("OUT", 5);
  } else if (IsWaterLie(lie) || b.Flag(kBallFlagWater)) {
    name = Variant("WATER", 5);
  }
  if (name.empty()) return 0;
  NewAnnouncerClip(name.c_str(), kFolderTeeAndHazard, kSoundHeldInChain);
  return 1;
}

int PlayTeeShotCommentary() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || g->mode == kModeDrivingRange) return 0;
  const BallState& b = p->ball;
  const int s = GetCurrentHoleStrokes() + 1, par = Par(g->state.hole);
  const float h = Distance2(b.startPosition, g->pinPosition), r = Distance2(b.position, g->pinPosition);
  const int d = static_cast<int>(std::lround(Distance2(b.startPosition, b.position)));
  const int lie = b.lie;
  const bool holed = b.Flag(kBallFlagHoled) != 0;
  gState.lastTeeShotGolfer = SituationSlot();
  if (par == 3 && holed && s == 1) {
    NewAnnouncerClip(Variant("AT3ONE", 5).c_str(), kFolderTeeAndHazard, 0);
    return 1;
  }
  if (!CommentaryBit() || g->mode == kModePractice) return 0;
  if (PlayLieCommentary()) return 1;
  std::string name;
  if (!Human(*p)) {
    if (par > 3 && lie == kLieFairway && r < 180.0f * (par - 3)) {
      name = d < 290 ? Variant(SoundCode(*p) + "FAIR", 5) : Variant(SoundCode(*p) + "FAR", 4);
      NewAnnouncerClip(name.c_str(), kFolderPros, kSoundHeldInChain);
    }
    return 0;
  }
  if (s != 1) return 0;
  if (par == 3) {
    if ((lie == kLieGreen || lie == kLieFringe) && d > 10) name = Variant("AT3GOT", 8);
    else if (lie != kLieFringe && !IsOutLie(lie) && d < h && r < 50) name = Variant("AT3LOW", 4);
  } else if (lie == kLieFairway && r < 180.0f * (par - 3)) {
    if (d >= 290) name = Variant("AT4P280", 9);
    else if (R15() % 3 == 0) name = Variant("AT4FAIR", 5);
    else if (par == 4) name = Variant("AT4FAI4", 6);
    else name = Variant("AT4FAI5", 5);
  }
  if (name.empty()) return 0;
  NewAnnouncerClip(name.c_str(), kFolderTeeAndHazard, kSoundHeldInChain);
  return 1;
}

int QueueShootoutWinClip() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || !Human(*p) || Ending(*g) || (Settings() & 0x05) != 0x05) return 0;
  NewAnnouncerClip(Variant("PWTWIN", 5).c_str(), kFolderPostPutt, 0);
  return 1;
}

int QueueTournamentStandingClip() {
  TGame* g = SituationGame();
  if (!g || g->mode != kModeTournament) return 0;
  const auto* t = static_cast<const TTournamentGame*>(g);
  const int round = g->state.round, hole = g->state.hole, slot = SituationSlot();
  const int rounds = std::max<int>(1, t->state.lead), lastRound = rounds - 1;
  if ((round == lastRound && hole == g->state.firstHole + g->state.holeCount - 1) ||
      (round == 0 && hole == g->state.firstHole))
    return 0;
  int projected[TPlayerList::kSlots] = {};
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    if (!GolferStillPlaying(s)) continue;
    if (s != slot && !GolferHoledOut(s)) return 0;
    projected[s] = ProjectedScore(s, s == slot ? 1 : 0);
  }
  const int own = projected[slot];
  int best = 0, second = 0, place = 0, sharing = 0;
  GetFieldStanding(&best, &second, &place, &sharing, round, own);
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    if (s == slot || !GolferStillPlaying(s)) continue;
    if (projected[s] < best) {
      second = best;
      best = projected[s];
      sharing = 0;
    } else if (projected[s] == best) {
      ++sharing;
    } else if (projected[s] < second) {
      second = projected[s];
    }
  }
  const int toPar = NetHoleStrokes(slot, round, hole) + 1 - Par(hole);
  std::string name;
  int& memory = gState.standingLeadMemory;
  if (own <= best) {
    if (own == best && sharing > 0) {
      name = Variant("ATSTIE", 3);
      memory = 0;
    } else {
      const int margin = (own < best ? best : second) - own;
      if (R15() % 4 == 0 || margin > 7) {
        if (memory >= 1 && margin >= 1) name = Variant("ATSTOP", 1);
      } else if (margin == memory) {
        name = Printf("AT1KEEP%d", margin);
      } else if (memory == 0 && margin >= 1) {
        name = Variant("ATSNEW", 4);
      } else if (memory > 0 && margin > 1) {
        name = Printf("AT1LEAD%d", margin);
      }
      memory = margin;
    }
  } else {
    memory = 0;
    const int behind = own - best;
    const int holesLeft = kHoles * (rounds - round) - hole;
    if (behind >= 1 && behind <= 3 && R15() % 3 != 0 && toPar < 0) {
      name = Printf(sharing == 0 ? "AT1SHT%d" : "AT1SHTS%d", behind);
    } else if (toPar > 0) {
      const bool early = round == 0 && hole < 2;
      if (!early && R15() % 2 != 0) name = Variant("ATSBOGY", 5);
      else if ((place > 10 || holesLeft / 4 < place) && holesLeft > place) name = Variant("ATSBACK", 5);
      else if (!early) name = Variant("ATSBOGY", 5);
    }
  }
  if (name.empty()) return 0;
  NewAnnouncerClip(name.c_str(), kFolderTournament, kSoundHeldInChain);
  return 1;
}

namespace {

// A minus sign in a match-standing name is spoken from a file whose name has "_" in its place.
std::string MatchName(std::string name) {
  if (name.size() > 5 && name[5] == '-') name[5] = '_';
  return name;
}

}  // namespace

int PlayAfterPuttCommentary() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || g->mode == kModeDrivingRange || g->mode == kModePractice || ShootoutHold(*g) || !CommentaryBit() ||
      Ending(*g))
    return 0;
  if (g->mode == kModeShootout) return g->WouldHoleOutWinHole() ? QueueShootoutWinClip() : 0;
  const int s = GetCurrentHoleStrokes() + 1;
  if (s <= 1) return 0;
  const int slot = SituationSlot(), round = g->state.round, hole = g->state.hole;
  const int last = g->state.firstHole + g->state.holeCount - 1;
  std::string one, two;
  if (MatchMode(g->mode)) {
    int winner = 4;
    bool tie = false;
    const bool decided = GetHoleWinnerIfHoled(&winner, &tie) != 0;
    const auto* match = static_cast<const TMatchPlayGame*>(g);
    const bool won = decided && !tie && winner < TPlayerList::kSlots &&
                     (winner == slot || match->PartnerOf(winner) == slot);
    int standing = MatchStanding(slot) + (won ? 1 : 0);
    const int left = HolesLeftInRound() - (decided ? 1 : 0);
    if (decided && standing == 0) {
      if (hole == last) one = Variant("AMAAA00", 2);
      else if ((last == 8 || g->state.firstHole == 9) && hole != g->state.firstHole) one = Printf("AMR%dA001", left);
      else if (g->state.holeCount == kHoles && hole >= 11) one = Printf("AM%0dA001", hole + 1);
    }
    if (decided && Human(*p) && one.empty()) {
      const int limit = standing == 4 ? 8 : standing == -1 ? 6 : 7;
      if (won && std::abs(standing) <= 4) one = MatchName(Printf("AMAAY%02d1", standing));
      else if (std::abs(standing) + 1 <= left && left <= limit && standing >= -3 && standing <= 4)
        one = MatchName(Printf("AMR%dA%02d1", left, standing));
      else if (std::abs(standing) <= 4)
        one = standing == 0 ? Variant("AMAAA00", 2) : MatchName(Printf("AMAAA%02d1", standing));
    }
  } else if (g->mode == kModeSkins) {
    int index = -1, finished = 0;
    FindBestNetStrokesOnHole(round, hole, &index, nullptr);
    CountFinishedPlayers(TPlayerList::kSlots, &finished, nullptr);
    const int stake = static_cast<const TSkinsGame*>(g)->skinsAtStake;
    if (index == slot && Human(*p)) {
      if (p->currentClub == kPutter) one = Variant(stake == 1 ? "SSPWIN" : "SSPWINS", 3);
      else one = Variant(stake <= 1 ? "SSCWIN" : "SSCWINS", 2);
    } else if (index == -1 && finished >= g->players->CountActivePlayers()) {
      one = Variant("SSPTIE", 4);
    }
    if (!one.empty() && g->state.holeCount == kHoles) {
      if (hole == 5) two = "SSPSTAK1";
      else if (hole == kHoles - kHoles / 3 - 1) two = "SSPSTAK2";
    }
  } else {
    if (QueueTournamentStandingClip()) return 1;
    const int toPar = GetCurrentHoleNetStrokes() + 1 - Par(hole);
    const int total = GetRoundScoreToPar() + toPar;
    int streakToPar = 0, run = 0;
    CountSameResultStreak(&streakToPar, &run);
    const bool more = hole != last;
    const bool strokeModes = g->mode == kModeStroke || IsTournamentMode(g->mode) || g->mode == kModeShootout;
    const bool firstOfAll = round == 0 && hole == g->state.firstHole;
    auto ending = [&](std::string stem) {
      if (total > 0) return std::string();
      return Variant(stem + (total < toPar ? "RA" : total < 0 ? "PU" : "GE"), 3);
    };
    if (3 * gState.pinDistanceYards >= 20) {
      if (toPar == -2 && total <= 0 && more) one = ending("APG2");
      else if (p->currentClub == kPutter && R31() % 3 != 0) one = Variant("APGLNGP", 3);
      else if (R31() % 3 != 0) one = Variant("APGLONG", 2);
    } else if ((streakToPar == -1 || streakToPar == 0) && run > 1 && run < 10 && R15() % 4 != 0) {
      one = Printf(streakToPar == -1 ? "APGBIRD%d" : "APGPAR%d", run);
    } else if (toPar == -2 || (toPar < -2 && firstOfAll) || (toPar > -2 && (R15() % 2 != 0 || firstOfAll))) {
      if (toPar == 1) {
        bool bogeyBefore = false;
        for (int h = round > 0 ? 0 : g->state.firstHole; h < hole; ++h)
          if (HoleStrokes(slot, round, h) && NetHoleStrokes(slot, round, h) - Par(h) >= 1) bogeyBefore = true;
        if (bogeyBefore) one = Variant("APGBOG", 2);
        else if (hole != g->state.firstHole) one = Variant("APGBOGD", 3);
        else one = Variant("APGBOG", 2);
      } else if (toPar <= 0) {
        const std::string stem = Printf("APG%d", std::abs(toPar));
        if ((toPar == -2 || toPar == -1) && more && strokeModes) one = ending(stem);
        else if (toPar <= -3 && more && strokeModes) one = stem;
        else if (toPar == 0) {
          uint32_t putts = 0;
          p->GetHoleScore(round, hole, nullptr, &putts);
          one = putts == 0 ? Variant(stem + "S", 4) : Variant(stem + "R", 3);
        }
      }
    }
    if (g->mode == kModeTournament && toPar < 0 && total >= -7 && total <= 0 && R15() % 2 != 0)
      two = total == 0 ? Variant("APGNOWP", 2) : Printf("APGNOWU%d", std::abs(total));
  }
  const char* folder = kFolderPuttComments;
  bool any = false;
  for (const std::string& name : {one, two})
    if (!name.empty()) {
      NewAnnouncerClip(name.c_str(), folder, kSoundHeldInChain);
      any = true;
    }
  return any ? 1 : 0;
}

int PlayShotLineCommentary(const BallState* ball) {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p) return 0;
  const BallState& b = ball ? *ball : p->ball;
  const int s = GetCurrentHoleStrokes() + 1;
  if (!CommentaryBit() || b.Flag(kBallFlagHoled) || Ending(*g) || g->mode == kModePractice ||
      g->mode == kModeDrivingRange || !b.Flag(kBallFlagTouchedGreen) || s < 1)
    return 0;
  std::string name;
  if (b.lie != kLieGreen && b.lie != kLieFringe) {
    name = Variant("agroll", 5);
  } else {
    const int d = static_cast<int>(GetBallToPinDistance(&b)), f = d / 12;
    const int par = Par(g->state.hole), slot = SituationSlot();
    if (g->mode != kModeTournament) {
      if (s <= 8 && R15() % 4 == 0 && f > 8) name = Printf("agsafe%d", s);
    } else if (!g->HasHandicapStroke(slot, g->state.hole)) {
      int v = 0, k = -1;
      if (par == 3) {
        v = s == 1 ? 4 : s == 2 ? 2 : s == 3 ? 1 : 0;
        if (d <= 24) k = 0, v = s == 1 ? 7 : s == 2 ? 3 : v;
        else if (f < 5) k = 2, v = s == 1 ? 4 : v;
        else if (f < 10) k = 5;
        else if (f < 20) k = 10;
        else if (f < 40) k = 20, v = s == 2 ? 1 : v;
        else k = 40;
      } else if (par == 4) {
        v = s <= 4 ? 2 : 0;
        if (f < 5) k = 0;
        else if (f < 10) k = 5, v = (s == 3 || s == 4) ? 1 : v;
        else if (f < 20) k = 10, v = s == 4 ? 1 : v;
        else if (f < 35) k = 20, v = v ? 1 : 0;
        else k = 35, v = v ? 1 : 0;
      } else if (par == 5) {
        v = s > 1 && s <= 5 ? 2 : 0;
        if (d <= 24) k = 0, v = s == 1 ? 4 : s == 2 ? 3 : v;
        else if (f < 5) k = 2;
        else if (f < 15) k = 5;
        else if (f < 35) k = 15, v = (s == 4 || s == 5) ? 1 : v;
        else k = 35, v = (s == 3 || s == 4) ? 1 : v;
      }
      if (v > 0 && k >= 0 && R15() % 2 != 0) {
        char stem[32];
        std::snprintf(stem, sizeof stem, "AG%d%d%02d", par, s, k);
        name = Variant(stem, v);
      }
    }
    if (name.empty()) {
      int net = s;
      if (g->HasHandicapStroke(slot, g->state.hole)) --net;
      const int diff = std::abs(net - par) - 1;
      if (net < par && diff >= 0 && diff <= 2 && R15() % 4 != 0) {
        const int cls = d <= 18 ? 1 : d <= 36 ? 3 : (f >= 25 && f <= 50) ? 50 : f > 50 ? 99 : -1;
        if (cls >= 0) {
          char stem[32];
          std::snprintf(stem, sizeof stem, "ag%d%02d", diff, cls);
          name = Variant(stem, diff == 2 && (cls == 1 || cls == 3) ? 5 : 3);
        }
      } else if (s <= 8 && R15() % 2 != 0) {
        name = Printf("agsafe%d", s);
      }
    }
  }
  if (name.empty()) return 0;
  NewAnnouncerClip(name.c_str(), kFolderPostPutt, kSoundHeldInChain);
  return 1;
}

int PlayPostShotCommentary() {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p || g->mode == kModeDrivingRange) return 0;
  if (PlayLieCommentary()) return 1;
  if (p->ball.Flag(kBallFlagHoled)) {
    if (PlayAfterPuttCommentary()) return 1;
  } else if (p->ball.Flag(kBallFlagTouchedGreen) && p->ball.lie != kLieGreen) {
    if (PlayShotLineCommentary()) return 1;
  }
  if ((gState.shotStartLie >> 4) == kLieTee) return PlayTeeShotCommentary();
  return 0;
}

int ChooseCrowdGroup(bool holed) {
  TGame* g = SituationGame();
  TPlayer* p = SituationGolfer();
  if (!g || !p) return -1;
  const BallState& b = p->ball;
  const float l = Distance2(b.startPosition, b.position);
  const float e = 3.0f * Distance2(g->pinPosition, b.position), f = e;
  const int par = Par(g->state.hole), s = GetCurrentHoleStrokes() + 1, club = p->currentClub;
  int group = -1;
  if (holed) {
    if (s == 1) group = 0;
    else if (g->mode == kModeShootout && g->WouldHoleOutWinHole()) group = 1;
    else
      switch (s - par) {
        case -3:
        case -2: group = 0; break;
        case -1: group = l > 4 ? 1 : 2; break;
        case 0: group = l < 2 ? 3 : l > 18 ? 0 : l > 11 ? 1 : 2; break;
        case 1: group = l > 8 ? 2 : 3; break;
        default: break;
      }
  } else if (s < par) {
    if (l > 3 && e <= 0.5f) group = 4;
    if (e <= 2 && l > 15 && club == kPutter) group = e <= 0.75f || f < 0.5f ? 4 : 3;
    if (e <= 3 && l > 20 && club == kPutter) group = e <= 1 || f < 0.5f ? 4 : 3;
    if (club != kPutter && e <= 1.5f && l < 25) group = 2;
    if (l >= 150) {
      if (e <= 5) group = l < 240 ? 1 : 0;
      else if (b.lie == kLieGreen || b.lie == kLieFringe)
        group = l >= 300 ? 0 : l >= 260 ? 1 : l >= 220 ? 2 : group;
    } else if (l >= 25 && e <= 4) {
      group = 2;
    }
  }
  return group;
}

void PlayCrowdReaction(bool holed) {
  if (!(Settings() & 0x01)) return;
  if (const int group = ChooseCrowdGroup(holed); group >= 0) PlayCrowdGroup(group);
}
