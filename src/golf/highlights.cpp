// Saved shots and the highlight game that plays them back.
#include "course/holedata.h"
#include "framework/core/services.h"
#include "golf/ballflight.h"
#include "golf/modes.h"

std::vector<SavedShot>& HighlightShots() {
  static std::vector<SavedShot> shots;
  return shots;
}

bool TGame::SaveLastShot() {
  if (!hasLastShot || !ShotsMayBeSaved()) return false;
  auto& shots = HighlightShots();
  if (shots.size() >= kHighlightLimit) shots.erase(shots.begin());
  shots.push_back(lastShot);
  return true;
}

bool THighlightGame::PlayShot(size_t i) {
  if (i >= shots.size() || !players) return false;
  const SavedShot& s = shots[i];
  if (s.holeFile != loadedHole_) {
    if (s.holeFile.empty() || LoadHoleData(s.holeFile) != kHoleOk) return false;
    loadedHole_ = s.holeFile;
  }
  TPlayer* p = players->GetPlayer(0);
  if (!p) return false;
  static_cast<playerInfoFields&>(*p) = s.golfer;
  ActiveGolferRecord = p;
  pinPosition = s.pin;
  BallSetCup(s.pin);
  BallSetWind(s.windSpeed, s.windHeading);
  p->ball = s.launched;
  BallFlightStart(&p->ball);
  BallRunShot(&p->ball, kBallStepSeconds, true);
  if (rests.size() <= i) rests.resize(i + 1);
  rests[i] = p->ball.position;
  return true;
}

void THighlightGame::StartHole() {
  roundRunning = 1;
  for (size_t i = 0; i < shots.size(); ++i) PlayShot(i);
  Finish();
}

void THighlightGame::Finish() {
  roundRunning = 0;
  gameOver = 1;
  BallClearCup();
  BallSetWind(0, 0);
  Svc().frontEnd->ShowHighlightsScreen();
}
