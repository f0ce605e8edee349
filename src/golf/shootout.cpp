// The shootout: one golfer goes out after every hole; ties on the most strokes are settled at random or by a
// shoot-off from a spot near the hole.
#include <algorithm>
#include <cmath>
#include <new>

#include "course/terrain.h"
#include "framework/core/services.h"
#include "golf/game.h"
#include "golf/gameflow.h"
#include "golf/golfmsg.h"
#include "golf/peermsg.h"
#include "golf/launch.h"

namespace {

constexpr uint32_t kSittingOut = kGolferOut | kGolferFlag9;

bool active(const TPlayer* p) { return p && (p->flags & kGolferTakesPart) && !(p->flags & kGolferOut); }

float groundDistance(const Vector3& a, const Vector3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y;
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

TShootoutGame::TShootoutGame(uint16_t m) : TGame(m), shootoffList(new (std::nothrow) TPlayerList) {}

void TShootoutGame::ResetState() {
  TGame::ResetState();
  shootoffRunning = 0;
  shootoffCounter = 0;
  firstHoleWord = 1;
  lastEliminated = nullptr;
  if (shootoffList) shootoffList->Reset();
}

void TShootoutGame::ShowHoleStatus() { PostGolfMessage(kGolfShowGolfer); }

void TShootoutGame::ShowHoleResults() { Svc().round->ShowShootoutStatus(); }

void TShootoutGame::ShowStandingThenGoOn() {
  // The interface's dialog sends the round on itself when it shows the standing.
  if (!Svc().round->ShowShootoutStatus()) PostGolfMessage(kGolfAfterStatus);
}

void TShootoutGame::ContinuePlay() { PostGolfMessage(kGolfLeave); }

std::string TShootoutGame::GetScoreText(int slot) {
  const TPlayer* p = players->GetPlayer(slot);
  return p && (p->flags & kGolferOut) && !(p->flags & kGolferFlag9) ? "Elim" : "";
}

int TShootoutGame::GetNextHole(uint16_t* round, uint16_t* hole) {
  if (round) *round = state.round;
  if (hole) *hole = static_cast<uint16_t>(state.hole + 1);
  const int next = state.hole + 1;
  if (next >= state.firstHole + state.holeCount || next >= kHoles || players->CountActivePlayers() <= 1) {
    finishing = 1;
    ShowFinalResultsOnce();
    return 0;
  }
  return 1;
}

void TShootoutGame::UpdateHoleScores() {
  // Shoot-offs played between machines keep the hole's scores as they were sent.
  if (players->IsFlag5ClearForAll()) TGame::UpdateHoleScores();
}

void TShootoutGame::SetUpRound() { TGame::SetUpRound(); }

void TShootoutGame::SetUpPlayers() { TGame::SetUpPlayers(); }

void TShootoutGame::ChooseStartingHole() {
  if (!networked) return;
  const int holes = std::min<int>(std::max<int>(state.holeCount, 1), kHoles);
  state.round = 0;
  state.firstHole = static_cast<uint16_t>(Svc().scene->Random15() % (kHoles - (holes - 1)));
  state.hole = state.firstHole;
}

void TShootoutGame::Eliminate(int slot) {
  TPlayer* p = players->GetPlayer(slot);
  if (!p) return;
  p->flags |= kGolferOut;
  p->flags &= ~kGolferFlag9;
  players->OrderForNextHole(state.playOrder[0], state.round, state.hole);
  ChooseNextPlayer();
  lastEliminated = p;
}

int TShootoutGame::GetHoleWinner(uint16_t* winner, bool trial) {
  if (shootoffRunning) return 0;
  bool act[4] = {}, holed[4] = {};
  uint32_t strokes[4] = {};
  int activeCount = 0, open = 0, openSlot = 4;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!active(p)) continue;
    act[s] = true;
    ++activeCount;
    holed[s] = p->holedOut != 0;
    p->GetHoleScore(state.round, state.hole, &strokes[s], nullptr);
    strokes[s] &= ~kScoreMarker;
    if (!holed[s]) {
      ++strokes[s];
      ++open;
      openSlot = s;
    }
  }
  if (activeCount < 2) return 0;
  if (open > 0) {
    if (open != 1) return 0;
    for (int s = 0; s < TPlayerList::kSlots; ++s)
      if (act[s] && s != openSlot && strokes[s] >= strokes[openSlot]) return 0;
    if (!trial) Eliminate(openSlot);
    if (winner) *winner = static_cast<uint16_t>(openSlot);
    return 1;
  }
  uint32_t most = 0;
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (act[s] && strokes[s] > most) most = strokes[s];
  int tied[4], tiedCount = 0;
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (act[s] && strokes[s] == most) tied[tiedCount++] = s;
  if (tiedCount == 1) {
    if (!trial) Eliminate(tied[0]);
    if (winner) *winner = static_cast<uint16_t>(tied[0]);
    return 1;
  }
  if (trial) return 0;
  if (tiedCount < activeCount)
    for (int s = 0; s < TPlayerList::kSlots; ++s)
      if (act[s] && strokes[s] != most) players->GetPlayer(s)->flags |= kSittingOut;
  state.currentPlayer = 12;
  if (players->IsFlag5ClearForAll()) {
    // The draw picks among the tied golfers only.
    const int pick = tied[Svc().scene->Random15() % tiedCount];
    for (int s = 0; s < TPlayerList::kSlots; ++s) {
      TPlayer* p = players->GetPlayer(s);
      if (p && (p->flags & kGolferFlag9)) p->flags &= ~kSittingOut;
    }
    Eliminate(pick);
    if (winner) *winner = static_cast<uint16_t>(pick);
    return 1;
  }
  shootoffCounter = static_cast<uint16_t>(players->CountActivePlayers());
  shootoffRunning = 1;
  if (shootoffList) shootoffList->Reset();
  PostGolfMessage(kGolfShootoffStart);
  return 0;
}

bool TShootoutGame::IsHoleComplete() {
  const bool done = TGame::IsHoleComplete();
  if (shootoffRunning) return false;
  if (done) shootoffCounter = static_cast<uint16_t>(players->CountActivePlayers());
  return done;
}

int TShootoutGame::AdvanceHole() {
  if (!shootoffRunning) return TGame::AdvanceHole();
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (active(p) && !p->shootoffDone && !p->holedOut) {
      SetCurrentPlayer(s);
      return 1;
    }
  }
  state.currentPlayer = 4;
  return 0;
}

Vector3 TShootoutGame::ChooseShootoffSpot() {
  const Vector3 pin = pinPosition;
  Vector3 kept = pin;
  int keptRank = 99;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const uint16_t angle = static_cast<uint16_t>((Svc().scene->Random15() << 1) ^ Svc().scene->Random15());
    float distance;
    if (attempt <= 35) distance = 40.0f + static_cast<float>(Svc().scene->Random15() % 20);
    else if (attempt <= 50) distance = 50.0f;
    else if (attempt <= 80) distance = 20.0f;
    else distance = 5.0f;
    const Vector3 d = AimDirectionFromAngle(angle);
    Vector3 p{pin.x + d.x * distance, pin.y + d.y * distance, 0.0f};
    p.z = GetTerrainHeight(p.x, p.y);
    const uint8_t cls = GetTerrainSurface(p.x, p.y) & 0xF0;
    if (cls == 0x10) return p;
    int rank;
    switch (cls) {
      case 0x30: rank = 1; break;
      case 0x20: case 0x80: rank = 2; break;
      case 0x70: case 0xB0: rank = 3; break;
      case kSurfaceWater: case kSurfaceOutside: rank = 99; break;  // never play from water or off the hole
      default: rank = 4; break;
    }
    if (rank < keptRank) {
      kept = p;
      keptRank = rank;
    }
    if ((keptRank == 1 && attempt > 35) || (keptRank <= 2 && attempt > 50) || (keptRank <= 3 && attempt > 80))
      return kept;
  }
  return kept;
}

void TShootoutGame::PlaceShootoffGolfers(const Vector3& spot) {
  shootoffSpot = spot;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!active(p)) continue;
    PlaceBallAt(p, spot);
    p->shootoffDone = 0;
    p->holedOut = 0;
  }
}

void TShootoutGame::settleShootoff() {
  float dist[4] = {};
  bool in[4] = {};
  float farthest = -1.0f;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = players->GetPlayer(s);
    if (!active(p)) continue;
    in[s] = true;
    dist[s] = p->ball.Flag(kBallFlagHoled) ? 0.0f : groundDistance(p->ball.position, pinPosition);
    farthest = std::max(farthest, dist[s]);
  }
  int atFarthest = 0, count = 0, last = 4;
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    if (!in[s]) continue;
    ++count;
    if (dist[s] == farthest) {
      ++atFarthest;
      last = s;
    }
  }
  if (atFarthest == 1) {
    Eliminate(last);
    shootoffRunning = 0;
    if (shootoffList) shootoffList->Reset();
    for (int s = 0; s < TPlayerList::kSlots; ++s) {
      TPlayer* p = players->GetPlayer(s);
      if (p && (p->flags & kGolferFlag9)) p->flags &= ~kSittingOut;
    }
    for (int s = 0; s < TPlayerList::kSlots; ++s)
      if (TPlayer* p = players->GetPlayer(s); active(p)) p->holedOut = 1;
    UpdateHoleScores();
    ShowStandingThenGoOn();
    return;
  }
  if (atFarthest < count)
    for (int s = 0; s < TPlayerList::kSlots; ++s)
      if (in[s] && dist[s] != farthest) players->GetPlayer(s)->flags |= kSittingOut;
  shootoffCounter = static_cast<uint16_t>(players->CountActivePlayers());
  PostGolfMessage(kGolfShootoffStart);
}

void TShootoutGame::OnShotFinished() {
  if (ending) {
    ReleaseHole();
    roundRunning = 0;
    DeleteCurrentGame();  // this object is gone now
    return;
  }
  if (shootoffRunning) {
    if (TPlayer* p = players->GetPlayer(state.currentPlayer)) p->shootoffDone = 1;
    if (shootoffCounter > 0) --shootoffCounter;
    if (shootoffCounter == 0) settleShootoff();
    else PostGolfMessage(kGolfShootoffReady);
    return;
  }
  if (!IsHoleComplete() && ChooseNextPlayer()) {
    PostGolfMessage(kGolfNextShot);
    return;
  }
  uint16_t out = 4;
  if (GetHoleWinner(&out)) {
    UpdateHoleScores();
    ShowStandingThenGoOn();
  } else if (!shootoffRunning) {
    // Nobody could be put out (fewer than two golfers left): the hole goes on to the next.
    GoToNextHole();
  }
}

bool TShootoutGame::choosesShootoffSpot() const {
  if (state.currentPlayer < TPlayerList::kSlots) return IsLocalTurn();
  // Between turns the machine of the first golfer still in the game chooses.
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = players->GetPlayer(s);
    if (p && (p->flags & kGolferTakesPart) && !(p->flags & kGolferGone)) return static_cast<uint32_t>(s) == localPlayer;
  }
  return false;
}

void TShootoutGame::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  uint32_t id = static_cast<uint32_t>(wParam);
  if (message != kGolfWindowMessage || ending || !roundRunning) {
    TGame::HandleMessage(message, wParam, lParam);
    return;
  }
  const PeerAdmission from = AdmitPeerMessage(*this, id, &lParam);
  if (from == PeerAdmission::kRefused) return;
  // Here 0x702 moves on to the next hole; from another machine it means that machine's golfer is lost.
  if (id == kGolfLeave && from == PeerAdmission::kPeer) id = kGolfDropped;
  wParam = id;
  switch (id) {
    case kGolfLeave:
      // After the shoot-out status: the next hole, or the end of the game.
      GoToNextHole();
      return;
    case kGolfAck:
      if (GolfState.status == kGolfShootoffStart) {
        const auto* b = reinterpret_cast<const AckBlock*>(lParam);
        if (b && GolfBlockSize(b) >= sizeof(AckBlock) && b->golfer < 4) shootoffAcks |= 1u << b->golfer;
        GolfBlockFree(reinterpret_cast<void*>(lParam));
        bool all = true;
        for (int s = 0; s < TPlayerList::kSlots; ++s) {
          const TPlayer* p = players->GetPlayer(s);
          if (p && (p->flags & kGolferTakesPart) && !(p->flags & kGolferGone) && !(shootoffAcks & (1u << s)))
            all = false;
        }
        if (all) {
          if (GolfState.handshakeTimer && GolfMainWindow) KillTimer(GolfMainWindow, kHandshakeTimerId);
          GolfState.handshakeTimer = 0;
          GolfState.allAcknowledged = 1;
          PostGolfMessage(kGolfShootoffAcked);
        }
        return;
      }
      break;
    case kGolfShootoffStart:
      GolfState.status = id;
      if (!networked) {
        PlaceShootoffGolfers(ChooseShootoffSpot());
        PostGolfMessage(kGolfShootoffReady);
      } else if (choosesShootoffSpot()) {
        Svc().network->Send(-1, kGolfShootoffStart, 0);
        shootoffAcks = 1u << localPlayer;
        GolfState.allAcknowledged = 0;
        if (GolfMainWindow)
          GolfState.handshakeTimer = SetTimer(GolfMainWindow, kHandshakeTimerId, GolfHandshake.periodMs, nullptr);
      } else {
        Svc().network->Send(-1, kGolfAck, kGolfShootoffStart);
      }
      return;
    case kGolfShootoffAcked: {
      const Vector3 spot = ChooseShootoffSpot();
      Svc().network->SendBlock(-1, kGolfShootoffSpot, &spot, sizeof spot);
      PlaceShootoffGolfers(spot);
      PostGolfMessage(kGolfShootoffReady);
      return;
    }
    case kGolfShootoffSpot: {
      void* b = reinterpret_cast<void*>(lParam);
      if (b && GolfBlockSize(b) >= sizeof(Vector3)) PlaceShootoffGolfers(*static_cast<const Vector3*>(b));
      GolfBlockFree(b);
      PostGolfMessage(kGolfShootoffReady);
      return;
    }
    case kGolfShootoffReady:
      if (AdvanceHole()) PostGolfMessage(kGolfShowGolfer);
      return;
    case kGolfDropped: {
      TPlayer* p = players->GetPlayer(static_cast<int>(lParam));
      TGame::HandleMessage(message, wParam, lParam);  // may end and delete the game
      if (p && CurrentGame() == this) p->flags |= kGolferGone;
      return;
    }
    default: break;
  }
  TGame::HandleMessage(message, wParam, lParam);
}

namespace {

struct ShootoffFields {
  uint32_t running = 0;
  uint16_t counter = 0;
  uint16_t firstHole = 1;
  uint16_t lastEliminated = 4;
  float spot[3] = {};
  uint8_t done[4] = {};
};

bool moveShootoff(int mode, SerialTarget* stream, ShootoffFields& f) {
  golf_svc::FieldMover io(mode, stream);
  io.u32(f.running);
  io.u16(f.counter);
  io.u16(f.firstHole);
  io.u16(f.lastEliminated);
  for (float& c : f.spot) io.bytes(&c, 4);
  for (uint8_t& d : f.done) io.u8(d);
  return io.ok();
}

}  // namespace

bool TShootoutGame::SaveToStream(SerialTarget* stream) const {
  if (!TGame::SaveToStream(stream)) return false;
  ShootoffFields f;
  f.running = shootoffRunning;
  f.counter = shootoffCounter;
  f.firstHole = firstHoleWord;
  f.lastEliminated = static_cast<uint16_t>(players->SlotOf(lastEliminated));
  f.spot[0] = shootoffSpot.x;
  f.spot[1] = shootoffSpot.y;
  f.spot[2] = shootoffSpot.z;
  for (int s = 0; s < TPlayerList::kSlots; ++s) f.done[s] = players->GetPlayer(s)->shootoffDone ? 1 : 0;
  return moveShootoff(stream->file ? SERIAL_WRITEFILE : SERIAL_PUT, stream, f);
}

bool TShootoutGame::LoadFromStream(SerialTarget* stream) {
  if (!TGame::LoadFromStream(stream)) return false;
  ShootoffFields f;
  if (!moveShootoff(stream->file ? SERIAL_READFILE : SERIAL_GET, stream, f)) return false;
  if (f.running > 1 || f.counter > TPlayerList::kSlots || f.lastEliminated > TPlayerList::kSlots) return false;
  for (float c : f.spot)
    if (!std::isfinite(c)) return false;
  shootoffRunning = f.running;
  shootoffCounter = f.counter;
  firstHoleWord = f.firstHole;
  lastEliminated = players->GetPlayer(f.lastEliminated);
  shootoffSpot = Vector3{f.spot[0], f.spot[1], f.spot[2]};
  for (int s = 0; s < TPlayerList::kSlots; ++s) players->GetPlayer(s)->shootoffDone = f.done[s];
  return true;
}
