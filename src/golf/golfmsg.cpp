// The golf message handler of the game object and the handshake that keeps networked machines in step.
#include "golf/golfmsg.h"
#include "golf/shotclock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "golf/game.h"
#include "golf/gameflow.h"
#include "golf/peermsg.h"
#include "framework/core/services.h"
#include "platformlib/core/byteorder.h"

HandshakeSettings GolfHandshake;
GolfHandlerState GolfState;
HWND GolfMainWindow = nullptr;

namespace {


// Blocks keep their byte count in front of the data.
struct BlockHeader {
  size_t bytes;
  size_t sender;  // the machine whose message it holds, 0 for this machine's own
};

void debugLine(const char* text) { OutputDebugStringA(text); }

void showMessage(const std::string& text, uint32_t ms) { Svc().round->ShowMessage(text, ms); }

void send(int machine, uint32_t id, uint32_t argument) { Svc().network->Send(machine, id, argument); }

bool blockCarrying(uint32_t id) { return GolfIdCarriesBlock(id); }

}  // namespace

bool GolfIdCarriesBlock(uint32_t id) {
  switch (id) {
    case kGolfShootoffSpot:
    case kGolfChat: case kGolfRemoteSettings: case kGolfRemoteReplay: case kGolfAck: case kGolfPassBlock:
    case kGolfPosition: case kGolfRemoteSetUp: case kGolfRemoteBall: case kGolfRemoteRest:
    case kGolfRemoteResult: case kGolfPassPoll: case kGolfPollAnswer:
      return true;
    default:
      return false;
  }
}

namespace {

// A golfer whose machine must acknowledge the synchronised steps.
bool inHandshake(const TPlayer* p) { return p && (p->flags & kGolferTakesPart) && !(p->flags & kGolferGone); }

// The block as a record of T, or null when it is too short to hold one.
template <class T>
const T* blockAs(intptr_t arg) {
  void* b = reinterpret_cast<void*>(arg);
  return b && GolfBlockSize(b) >= sizeof(T) ? static_cast<const T*>(b) : nullptr;
}

void killHandshakeTimer() {
  if (GolfState.handshakeTimer && GolfMainWindow) KillTimer(GolfMainWindow, kHandshakeTimerId);
  GolfState.handshakeTimer = 0;
}

void killPollTimer() {
  if (GolfState.pollTimer && GolfMainWindow) KillTimer(GolfMainWindow, kPollTimerId);
  GolfState.pollTimer = 0;
  GolfState.polling = 0;
}

void startWaiting() {
  GolfState.polling = 1;
  GolfState.pollCount = 0;
}

void stopPolling() {
  GolfState.polling = 0;
  GolfState.pollCount = 0;
}

}  // namespace

uint32_t GetGolfStatus() { return GolfState.status; }

void ResetGolfHandler() {
  killHandshakeTimer();
  killPollTimer();
  GolfState = GolfHandlerState{};
}

void PostGolfMessage(uint32_t id, intptr_t argument) {
  if (GolfMainWindow) PostMessageA(GolfMainWindow, kGolfWindowMessage, id, argument);
  else GolfBlockFree(reinterpret_cast<void*>(argument));
}

void SendGolfMessage(uint32_t id, intptr_t argument) {
  if (TGame* g = CurrentGame()) g->HandleMessage(kGolfWindowMessage, id, argument);
  else GolfBlockFree(reinterpret_cast<void*>(argument));
}

namespace {

// Live blocks. An argument that is not one (a golfer id, or memory of another owner) is never read or freed.
std::mutex g_blockMutex;
std::unordered_set<const void*>& liveBlocks() {
  static std::unordered_set<const void*> blocks;
  return blocks;
}

}  // namespace

void* GolfBlockAlloc(size_t bytes) {
  auto* h = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
  if (!h) return nullptr;
  h->bytes = bytes;
  std::lock_guard lock(g_blockMutex);
  liveBlocks().insert(h + 1);
  return h + 1;
}

void GolfBlockFree(void* block) {
  if (!block) return;
  {
    std::lock_guard lock(g_blockMutex);
    if (liveBlocks().erase(block) == 0) return;
  }
  std::free(static_cast<BlockHeader*>(block) - 1);
}

size_t GolfBlockSize(const void* block) {
  if (!block) return 0;
  std::lock_guard lock(g_blockMutex);
  return liveBlocks().count(block) ? (static_cast<const BlockHeader*>(block) - 1)->bytes : 0;
}

uint32_t GolfBlockSender(const void* block) {
  if (!block) return 0;
  std::lock_guard lock(g_blockMutex);
  return liveBlocks().count(block) ? static_cast<uint32_t>((static_cast<const BlockHeader*>(block) - 1)->sender) : 0;
}

void GolfBlockSetSender(void* block, uint32_t sender) {
  if (!block) return;
  std::lock_guard lock(g_blockMutex);
  if (liveBlocks().count(block)) (static_cast<BlockHeader*>(block) - 1)->sender = sender;
}

size_t GolfBlocksLive() {
  std::lock_guard lock(g_blockMutex);
  return liveBlocks().size();
}

intptr_t MakeAckBlock(uint32_t golfer, uint32_t status) {
  auto* b = static_cast<AckBlock*>(GolfBlockAlloc(sizeof(AckBlock)));
  if (b) *b = AckBlock{golfer, status};
  return reinterpret_cast<intptr_t>(b);
}

intptr_t MakePositionBlock(uint32_t golfer, const Vector3& position, uint8_t holed) {
  auto* b = static_cast<PositionBlock*>(GolfBlockAlloc(sizeof(PositionBlock)));
  if (b) *b = PositionBlock{golfer, position, holed};
  return reinterpret_cast<intptr_t>(b);
}

void WriteChatRecord(const std::string& text, const std::string& sender, uint8_t out[kChatRecordBytes]) {
  std::memset(out, 0, kChatRecordBytes);
  std::memcpy(out, text.data(), std::min(text.size(), kChatTextBytes - 1));
  std::memcpy(out + kChatTextBytes, sender.data(), std::min(sender.size(), kChatSenderBytes - 1));
}

std::string ChatLineOf(const uint8_t* body, size_t bytes) {
  if (!body) return {};
  const auto* chars = reinterpret_cast<const char*>(body);
  if (bytes < kChatRecordBytes) return std::string(chars, strnlen(chars, std::min(bytes, kChatTextBytes)));
  const std::string text(chars, strnlen(chars, kChatTextBytes));
  const std::string sender(chars + kChatTextBytes, strnlen(chars + kChatTextBytes, kChatSenderBytes));
  return (sender + ": " + text).substr(0, kChatLineLimit);
}

intptr_t MakeTextBlock(const std::string& text) {
  auto* b = static_cast<char*>(GolfBlockAlloc(text.size() + 1));
  if (b) std::memcpy(b, text.c_str(), text.size() + 1);
  return reinterpret_cast<intptr_t>(b);
}

namespace {

// Reads a peer's body field by field; a read past the end marks it short and gives 0.
class BodyReader {
 public:
  BodyReader(const uint8_t* body, size_t bytes) : p_(body), left_(body ? bytes : 0) {}
  bool ok() const { return ok_; }
  size_t left() const { return left_; }
  uint8_t u8() {
    if (left_ < 1) return fail();
    --left_;
    return *p_++;
  }
  uint32_t u32() {
    if (left_ < 4) return fail();
    const uint32_t v = ReadLE32(p_);
    p_ += 4;
    left_ -= 4;
    return v;
  }
  float f32() {
    const uint32_t bits = u32();
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  Vector3 vec() {
    const float x = f32(), y = f32();
    return Vector3{x, y, f32()};
  }

 private:
  uint8_t fail() {
    ok_ = false;
    left_ = 0;
    return 0;
  }
  const uint8_t* p_;
  size_t left_;
  bool ok_ = true;
};

void putU32(uint8_t*& out, uint32_t v) {
  for (int k = 0; k < 4; ++k) *out++ = static_cast<uint8_t>(v >> (8 * k));
}
void putF32(uint8_t*& out, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  putU32(out, bits);
}
void putVec(uint8_t*& out, const Vector3& v) {
  putF32(out, v.x);
  putF32(out, v.y);
  putF32(out, v.z);
}

template <class T>
intptr_t blockOf(const T& record) {
  auto* b = static_cast<T*>(GolfBlockAlloc(sizeof(T)));
  if (b) *b = record;
  return reinterpret_cast<intptr_t>(b);
}

}  // namespace

void WriteShotSetUp(const ShotSetUpBlock& b, uint8_t out[kShotSetUpWireBytes]) {
  uint8_t* p = out;
  putU32(p, b.golfer);
  *p++ = b.wind;
  *p++ = b.fairway;
  *p++ = b.green;
  *p++ = b.club;
  putU32(p, b.shotType);
  putVec(p, b.position);
  putVec(p, b.direction);
  putVec(p, b.spin);
  putF32(p, b.power);
  putF32(p, b.curve);
  putF32(p, b.trajectory);
  putVec(p, b.aim);
  *p++ = b.windSpeed;
}

intptr_t GolfArgumentFromPeer(uint32_t id, uint32_t sender, const uint8_t* body, size_t bytes) {
  // Without a sender a record reads as this machine's own; a plain value would not be unwrapped.
  if (sender == 0 && !GolfIdCarriesBlock(id)) return kPeerArgumentRefused;
  BodyReader r(body, bytes);
  intptr_t block = 0;
  switch (id) {
    case kGolfAck: {
      // The golfer is the sender's, filled in when the message is admitted.
      const uint32_t status = r.u32();
      if (!r.ok()) return kPeerArgumentRefused;
      block = MakeAckBlock(TPlayerList::kSlots, status);
      break;
    }
    case kGolfPosition: {
      PositionBlock b{};
      b.golfer = r.u32();
      b.position = r.vec();
      b.holed = r.u8();
      if (!r.ok() || b.golfer >= TPlayerList::kSlots || !PeerPointOnCourse(b.position) || b.holed > 1)
        return kPeerArgumentRefused;
      block = blockOf(b);
      break;
    }
    case kGolfRemoteSettings: {
      ShotSetUpBlock b;
      b.golfer = r.u32();
      b.wind = r.u8();
      b.fairway = r.u8();
      b.green = r.u8();
      b.club = r.u8();
      b.shotType = r.u32();
      b.position = r.vec();
      b.direction = r.vec();
      b.spin = r.vec();
      b.power = r.f32();
      b.curve = r.f32();
      b.trajectory = r.f32();
      b.aim = r.vec();
      // A record of a machine that does not send the wind speed ends here.
      b.windSpeed = r.left() > 0 ? r.u8() : kNoWindSpeed;
      if (!r.ok() || !PeerShotSetUpInRange(b)) return kPeerArgumentRefused;
      block = blockOf(b);
      break;
    }
    case kGolfChat: block = MakeTextBlock(ChatLineOf(body, bytes)); break;
    case kGolfShootoffSpot: {
      const Vector3 spot = r.vec();
      if (!r.ok() || !PeerPointOnCourse(spot)) return kPeerArgumentRefused;
      block = blockOf(spot);
      break;
    }
    default:
      if (GolfIdCarriesBlock(id)) {
        void* copy = GolfBlockAlloc(bytes);
        if (copy && body && bytes) std::memcpy(copy, body, bytes);
        block = reinterpret_cast<intptr_t>(copy);
      } else {
        // The plain value rides in the block until the round admits the message.
        intptr_t value = sender;
        if (id == kGolfSeed || id == kGolfDropped) value = r.u32();
        // A violation without a golfer names the sender's own, found on admission.
        if (id == kGolfClockViolation) value = bytes >= 4 ? static_cast<intptr_t>(r.u32()) : kPeerArgumentRefused;
        if (!r.ok() || (id == kGolfSeed && value > 0xffff)) return kPeerArgumentRefused;
        block = blockOf(value);
      }
      break;
  }
  GolfBlockSetSender(reinterpret_cast<void*>(block), sender);
  return block;
}

bool PeerPointOnCourse(const Vector3& v) {
  // Negated so that NaN fails too.
  for (float c : {v.x, v.y, v.z})
    if (!(std::fabs(c) <= kPeerCourseReach)) return false;
  return true;
}

bool PeerShotSetUpInRange(const ShotSetUpBlock& b) {
  auto within = [](float v, float limit) { return std::fabs(v) <= limit; };
  const bool vectors = PeerPointOnCourse(b.position) && PeerPointOnCourse(b.aim) &&
                       PeerPointOnCourse(b.direction) && PeerPointOnCourse(b.spin);
  return b.golfer < TPlayerList::kSlots && b.wind <= 2 && b.fairway <= 2 && b.green <= 2 && b.club < kClubCount &&
         b.shotType <= static_cast<uint32_t>(kShotTypePutt) && vectors && b.power >= 0.0f && b.power <= 4.0f &&
         within(b.curve, kPeerCourseReach) && within(b.trajectory, kPeerCourseReach) &&
         (b.windSpeed <= kMaxWindSpeed || b.windSpeed == kNoWindSpeed);
}

namespace {

// The handler proper; a friend-free helper over the game's public state.
class Handler {
 public:
  explicit Handler(TGame& g) : g_(g) {}

  void golf(uint32_t id, intptr_t arg);
  void timer(uintptr_t id);

 private:
  TGame& g_;

  bool net() const { return g_.networked != 0; }
  bool localTurn() const { return g_.IsLocalTurn(); }
  TPlayer* player(uint32_t slot) const { return g_.players ? g_.players->GetPlayer(static_cast<int>(slot)) : nullptr; }
  TPlayer* current() const { return player(g_.state.currentPlayer); }
  void setStatus(uint32_t id) { GolfState.status = id; }
  int turnMachine() const {
    const TPlayer* p = current();
    return p ? static_cast<int>(p->machineId) : -1;
  }

  void syncStep(uint32_t id);
  void waitStep(uint32_t id);
  void acknowledge(intptr_t arg);
  void stepComplete(uint32_t id);
  bool allAcked() const;
  void handshakeTick();
  void pollTick();
  void positionCheck(intptr_t arg);
  void golferLeaves(uint32_t slot);
  void violation(uint32_t slot);
  void holeStart();
  void loadHole();
  void remote(uint32_t id, intptr_t arg, bool stopPoll, bool clearShot);
  void remoteSettings(intptr_t arg);
  void endOfGame(intptr_t arg);
  void lostCommunication(const char* text) { showMessage(text, 5000); }
  // A step announced by another machine (its argument names the sender) counts only from the machine whose
  // golfer has the turn and is still in the game: a leaver's late message may arrive after the turn moved on.
  bool staleStep(intptr_t sender) const {
    if (!net() || sender <= 0) return false;
    const TPlayer* p = current();
    return !p || (p->flags & kGolferGone) || static_cast<uint32_t>(sender) != p->machineId;
  }
};

void Handler::syncStep(uint32_t id) {
  if (id == kGolfBeforeShot || id == kGolfBallStopped)
    for (int s = 0; s < TPlayerList::kSlots; ++s)
      if (TPlayer* p = player(s)) p->ackStatus = 0;
  GolfState.awaited = id;
  if (TPlayer* me = player(g_.localPlayer)) me->ackStatus = id;
  send(-1, id, 0);
  GolfState.allAcknowledged = 0;
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = player(s); inHandshake(p)) p->retries = 0;
  if (GolfMainWindow) GolfState.handshakeTimer = SetTimer(GolfMainWindow, kHandshakeTimerId, GolfHandshake.periodMs, nullptr);
  // Nobody else left to wait for.
  if (allAcked()) stepComplete(id);
}

void Handler::waitStep(uint32_t id) {
  startWaiting();
  // This machine takes the step: it tells the machine whose turn it is.
  if (TPlayer* me = player(g_.localPlayer)) me->ackStatus = id;
  send(turnMachine(), kGolfAck, id);
}

bool Handler::allAcked() const {
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    const TPlayer* p = player(s);
    if (inHandshake(p) && p->ackStatus != GolfState.awaited) return false;
  }
  return true;
}

void Handler::stepComplete(uint32_t id) {
  GolfState.allAcknowledged = 1;
  killHandshakeTimer();
  switch (id) {
    case kGolfLoadHole:
      send(-1, kGolfShotSetUp, 0);
      PostGolfMessage(kGolfShotSetUp);
      break;
    case kGolfBeforeShot: PostGolfMessage(kGolfReady); break;
    case kGolfBallStopped: PostGolfMessage(kGolfSendPosition); break;
    case kGolfAfterStatus:
      send(-1, kGolfContinue, 0);
      PostGolfMessage(kGolfContinue);
      break;
    default: break;
  }
}

void Handler::acknowledge(intptr_t arg) {
  const AckBlock* a = blockAs<AckBlock>(arg);
  if (a && !GolfState.allAcknowledged) {
    TPlayer* p = player(a->golfer);
    if (p && a->status != GolfState.awaited) {
      p->retries = 0;
    } else if (p) {
      p->ackStatus = a->status;
      if (allAcked()) stepComplete(GolfState.awaited);
    }
  }
  GolfBlockFree(reinterpret_cast<void*>(arg));
}

void Handler::handshakeTick() {
  if (GolfState.handshakesStopped) return;
  if (GolfState.allAcknowledged) {
    killHandshakeTimer();
    return;
  }
  for (int s = 0; s < TPlayerList::kSlots; ++s) {
    TPlayer* p = player(s);
    if (!inHandshake(p) || p->ackStatus == GolfState.awaited) continue;
    if (++p->retries < GolfHandshake.retryLimit) {
      send(static_cast<int>(p->machineId), GolfState.awaited, 0);
      continue;
    }
    killHandshakeTimer();
    lostCommunication(g_.players->CountTakingPart() > 2 ? "You have lost communication with your opponent(s)!"
                                                        : "You have lost communication with your opponent!");
    PostGolfMessage(kGolfDropped, s);
    return;
  }
}

void Handler::pollTick() {
  if (!net() || localTurn() || !GolfState.polling) return;
  if (++GolfState.pollCount >= GolfHandshake.pollLimit) {
    GolfState.polling = 0;
    lostCommunication("Communication with current player has been lost.");
    PostGolfMessage(kGolfEndGame, 0);
    return;
  }
  send(turnMachine(), kGolfPassPoll, 0);
}

void Handler::positionCheck(intptr_t arg) {
  const PositionBlock* b = blockAs<PositionBlock>(arg);
  TPlayer* p = current();
  if (b && p && b->golfer != g_.localPlayer) {
    const Vector3& here = p->ball.position;
    const bool holed = p->ball.Flag(kBallFlagHoled) != 0;
    if (here.x != b->position.x || here.y != b->position.y || here.z != b->position.z ||
        holed != (b->holed != 0)) {
      setStatus(kGolfPosition);
      char line[256];
      std::snprintf(line, sizeof line,
                    "Position mismatch: Local: x: %f  y: %f  z: %f, Remote: x: %f  y: %f  z: %f\n",
                    static_cast<double>(here.x), static_cast<double>(here.y), static_cast<double>(here.z),
                    static_cast<double>(b->position.x), static_cast<double>(b->position.y),
                    static_cast<double>(b->position.z));
      debugLine(line);
      BallSetPosition(&p->ball, b->position);
      p->ball.Flag(kBallFlagHoled) = b->holed ? 1 : 0;
      p->holedOut = b->holed ? 1 : p->holedOut;
    }
  }
  GolfBlockFree(reinterpret_cast<void*>(arg));
  PostGolfMessage(kGolfShotFinished);
  stopPolling();
}

void Handler::golferLeaves(uint32_t slot) {
  if (!net()) {
    PostGolfMessage(kGolfEndGame, 0);
    return;
  }
  TPlayer* p = player(slot);
  if (!p || (p->flags & kGolferGone)) return;
  p->flags |= kGolferGone;
  const bool wasCurrent = slot == g_.state.currentPlayer;
  // Strokes so far stand as the golfer's score on the hole.
  p->holedOut = 1;
  int remaining = 0;
  for (int s = 0; s < TPlayerList::kSlots; ++s) remaining += inHandshake(player(s)) ? 1 : 0;
  if (remaining < g_.MinimumPlayers() || remaining < 1) {
    GolfState.handshakesStopped = 1;
    SendGolfMessage(kGolfEndGame, 1);
    return;
  }
  showMessage(std::string(p->name, strnlen(p->name, sizeof p->name)) + " has left the game", 5000);
  if (localTurn() && !GolfState.allAcknowledged) {
    for (int s = 0; s < TPlayerList::kSlots; ++s)
      if (TPlayer* q = player(s); inHandshake(q) && q->ackStatus != GolfState.awaited && s != static_cast<int>(g_.localPlayer))
        send(static_cast<int>(q->machineId), GolfState.awaited, 0);
    const uint32_t st = GolfState.status;
    if (st == kGolfBeforeShot || st == kGolfBallStopped || st == kGolfAfterStatus)
      PostGolfMessage(kGolfAck, MakeAckBlock(slot, st));
    // The leaver may have been the last one this step waited for, whatever the step.
    else if (allAcked())
      stepComplete(GolfState.awaited);
  }
  if (wasCurrent) {
    if (g_.IsHoleComplete() || !g_.ChooseNextPlayer()) g_.EndOfHole();
    else PostGolfMessage(kGolfNextShot);
  }
}

void Handler::violation(uint32_t slot) {
  TPlayer* p = player(slot);
  if (!p) return;
  const int count = g_.CountViolation(static_cast<int>(slot));
  if (count < 1 || count > kShotClockDisqualifies) return;
  if (const int strokes = ShotClockPenaltyStrokes(count)) p->AddHoleScore(g_.state.round, g_.state.hole, strokes, 0);
  showMessage(std::string(p->name, strnlen(p->name, sizeof p->name)) + ShotClockInfractionText(count), 10000);
}

void Handler::holeStart() {
  setStatus(kGolfHoleStart);
  ++g_.holesStarted;
  if (net()) Svc().network->SetCourseName(g_.courseName);
  GolfState.dropMarker = 0;
  GolfState.handshakesStopped = 0;
  if (!net()) {
    g_.view->seed = static_cast<uint32_t>(Svc().scene->Random15() % 65536);
  } else if (localTurn()) {
    g_.view->seed = static_cast<uint32_t>(Svc().scene->Random15() % 65536);
    send(-1, kGolfSeed, g_.view->seed);
  }
  if (TPlayer* me = player(g_.localPlayer)) me->machineId = Svc().network->LocalMachineId();
  for (int s = 0; s < TPlayerList::kSlots; ++s)
    if (TPlayer* p = player(s)) p->ClearHoleState();
  g_.holeWord = 0;
  if (net() && GolfMainWindow) GolfState.pollTimer = SetTimer(GolfMainWindow, kPollTimerId, GolfHandshake.pollPeriodMs, nullptr);
  PostGolfMessage(kGolfPlayersSetUp);
}

void Handler::loadHole() {
  setStatus(kGolfLoadHole);
  GolfState.busy = 1;
  Svc().frontEnd->SetRoundScreen();
  if (g_.mode == kModeNetTournament) {
    uint32_t sum = 0;
    for (unsigned char c : g_.courseName) sum += c;
    g_.state.teeSet = static_cast<uint16_t>(sum % 4);
  }
  const uint32_t me = Svc().network->LocalMachineId();
  if (g_.LoadHole() == 0) {
    Svc().round->SetHoleScreen(g_.mode);
    g_.SetUpRound();
    if (const TPlayer* p = current()) Svc().sound->StartRoundSounds(p->windCondition);
    if (!net()) PostGolfMessage(kGolfShotSetUp);
    else if (localTurn()) syncStep(kGolfLoadHole);
    else waitStep(kGolfLoadHole);
  } else if (!net()) {
    PostGolfMessage(kGolfLoadFailed, me);
  } else {
    send(-1, kGolfLoadFailed, me);
    PostGolfMessage(kGolfLoadFailed, me);
  }
}

void Handler::remote(uint32_t id, intptr_t arg, bool stopPoll, bool clearShot) {
  if (stopPoll) stopPolling();
  Svc().round->RemoteMessage(id, reinterpret_cast<void*>(arg));
  GolfBlockFree(reinterpret_cast<void*>(arg));
  if (clearShot) GolfState.shotInProgress = 0;
}

void Handler::remoteSettings(intptr_t arg) {
  const ShotSetUpBlock* b = blockAs<ShotSetUpBlock>(arg);
  if (b && !localTurn()) {
    setStatus(kGolfRemoteSettings);
    ReplayRemoteShot(*b);
    startWaiting();
  }
  GolfBlockFree(reinterpret_cast<void*>(arg));
}

void Handler::endOfGame(intptr_t arg) {
  GolfState.busy = 0;
  ActiveGolferRecord = nullptr;
  if (GolfState.endGuard) return;
  GolfState.endGuard = 1;
  setStatus(kGolfEndGame);
  killHandshakeTimer();
  Svc().sound->StopRoundSounds();
  const bool running = g_.roundRunning != 0;
  if (running) {
    // The peers are told; this machine does not wait for them, so a silent peer cannot hold it.
    if (arg == 0 && net()) {
      Svc().frontEnd->SetBusy(true);
      send(-1, kGolfEndGame, 1);
    }
    g_.ReleaseHole();
    Svc().network->CloseComm();
    if (GolfMainWindow) {
      MSG m;
      while (PeekMessageA(&m, GolfMainWindow, kGolfWindowMessage, kGolfWindowMessage, PM_REMOVE))
        GolfBlockFree(reinterpret_cast<void*>(m.lParam));
    }
  }
  killPollTimer();
  GolfState.endGuard = 0;
  if (running) {
    g_.roundRunning = 0;
    Svc().frontEnd->ReturnToFrontEnd();
  }
}

void Handler::timer(uintptr_t id) {
  if (id == kHandshakeTimerId) handshakeTick();
  else if (id == kPollTimerId) pollTick();
}

void Handler::golf(uint32_t id, intptr_t arg) {
  switch (id) {
    case kGolfEndRequest:
      GolfState.busy = 0;
      if (GolfState.replacingGame) return;
      if (net()) showMessage("The game has been ended.", 5000);
      endOfGame(0);
      return;
    case kGolfLeave: golferLeaves(static_cast<uint32_t>(arg)); return;
    case kGolfChat: {
      void* b = reinterpret_cast<void*>(arg);
      if (b) {
        const size_t n = GolfBlockSize(b);
        Svc().round->ChatLine(std::string(static_cast<const char*>(b), strnlen(static_cast<const char*>(b), n)));
      }
      GolfBlockFree(b);
      return;
    }
    case kGolfHoleStart: holeStart(); return;
    case kGolfPlayersSetUp:
      setStatus(id);
      g_.AfterPlayersSetUp();
      PostGolfMessage(kGolfLoadHole);
      return;
    case kGolfLoadHole: loadHole(); return;
    case kGolfShotSetUp: {
      setStatus(id);
      g_.PlaceGolferAtBall();
      g_.SetUpView(false, false);
      bool untouched = true;  // nobody has played the hole yet
      for (int s = 0; untouched && s < TPlayerList::kSlots; ++s) {
        TPlayer* p = player(s);
        uint32_t strokes = 0;
        if (p && (p->flags & kGolferTakesPart) && p->GetHoleScore(g_.state.round, g_.state.hole, &strokes, nullptr) == kRecordOk && strokes)
          untouched = false;
      }
      if (untouched) Svc().scene->PrepareHole(g_.view->seed);
      const bool fresh = untouched && g_.state.round == 0 && g_.state.hole == g_.state.firstHole;
      if (fresh && GolfState.firstShotOfGame) {
        GolfState.firstShotOfGame = 0;
        g_.ShowHoleStatus();
      } else {
        PostGolfMessage(kGolfShowGolfer);
      }
      return;
    }
    case kGolfLoadFailed:
      setStatus(id);
      g_.ReleaseHole();
      // Without a hole the round cannot go on.
      endOfGame(1);
      return;
    case kGolfBeforeShot:
      if (staleStep(arg)) return;
      setStatus(id);
      if (!net()) PostGolfMessage(kGolfReady);
      else if (localTurn()) syncStep(id);
      else waitStep(id);
      return;
    case kGolfShowGolfer:
      setStatus(id);
      Svc().round->UpdateInterface();
      PostGolfMessage(kGolfBeforeShot);
      return;
    case kGolfReady: setStatus(id); PostGolfMessage(kGolfShotBegins); return;
    case kGolfShotBegins: {
      setStatus(id);
      Svc().round->RestartShotClock();
      TPlayer* p = current();
      if (!p || !localTurn()) return;
      GolfState.shotInProgress = 1;
      g_.UpdateWind();
      Svc().sound->PreShotCommentary();
      if (p->IsComputer()) p->TakeTurn();
      else Svc().round->PersonShot();
      return;
    }
    case kGolfQuit: PostGolfMessage(kGolfEndGame, 0); return;
    case kGolfRemoteSettings: remoteSettings(arg); return;
    case kGolfStatusLine: {
      char line[64];
      std::snprintf(line, sizeof line, "Current Status: %u\n", GolfState.status);
      debugLine(line);
      return;
    }
    case kGolfRemoteReplay: remote(id, arg, true, true); return;
    case kGolfShotFinished: g_.ContinueAfterShot(); return;
    case kGolfNextShot:
      setStatus(id);
      if (GolfState.awaited == kGolfPosition && !GolfState.allAcknowledged) {
        GolfState.allAcknowledged = 1;
        killHandshakeTimer();
      }
      PostGolfMessage(kGolfShotSetUp);
      return;
    case kGolfRoundOver:
      setStatus(id);
      if (net() && Svc().network->CommType() == 0) g_.LogGameEnd();
      g_.StoreGolfers();
      if (!g_.ShowClosingStanding()) PostGolfMessage(kGolfEndGame, 1);
      return;
    case kGolfEndGame: endOfGame(arg); return;
    case kGolfAck: acknowledge(arg); return;
    case kGolfPassBlock:
    case kGolfPassPoll: {
      void* b = reinterpret_cast<void*>(arg);
      if (b) {
        const int to = id == kGolfPassBlock && g_.players->CountActivePlayers() > 1 ? turnMachine() : -1;
        Svc().network->SendBlock(to, id, b, GolfBlockSize(b));
      }
      GolfBlockFree(b);
      return;
    }
    case kGolfPosition: positionCheck(arg); return;
    case kGolfBallStopped:
      if (staleStep(arg)) return;
      setStatus(id);
      if (!net()) {
        GolfState.shotInProgress = 0;
        PostGolfMessage(kGolfShotFinished);
      } else if (localTurn()) {
        syncStep(id);
      } else {
        waitStep(id);
      }
      return;
    case kGolfRemoteSetUp: remote(id, arg, false, false); return;
    case kGolfRemoteBall: remote(id, arg, true, false); return;
    case kGolfRemoteRest: remote(id, arg, true, true); return;
    case kGolfRemoteResult:
      remote(id, arg, true, true);
      Svc().round->ShowTip();
      return;
    case kGolfSendPosition:
      setStatus(id);
      if (localTurn()) {
        if (TPlayer* p = current(); p && net())
          Svc().network->SendPosition(-1, PositionBlock{g_.state.currentPlayer, p->ball.position,
                                                    static_cast<uint8_t>(p->ball.Flag(kBallFlagHoled) ? 1 : 0)});
        PostGolfMessage(kGolfShotFinished);
      }
      return;
    case kGolfClockViolation: violation(static_cast<uint32_t>(arg)); return;
    case kGolfAfterStatus:
      if (staleStep(arg)) return;
      setStatus(id);
      if (!net()) PostGolfMessage(kGolfContinue);
      else if (localTurn()) syncStep(id);
      else waitStep(id);
      return;
    case kGolfContinue: g_.ContinuePlay(); return;
    case kGolfSeed: g_.view->seed = static_cast<uint32_t>(arg); return;
    case kGolfDropped: {
      const uint32_t slot = static_cast<uint32_t>(arg);
      if (net() && slot == g_.localPlayer) return;
      if (TPlayer* p = player(slot)) Svc().network->DropPeer(p->machineId);
      golferLeaves(slot);
      return;
    }
    case kGolfLeaveHole: {
      setStatus(id);
      TPlayer* p = current();
      if (p) p->holedOut = 1;  // the strokes so far stand
      if (g_.players->HasNoActivePlayer()) {
        g_.ReleaseHole();
        g_.roundRunning = 0;
        Svc().frontEnd->ReturnToFrontEnd();
      } else if (g_.IsHoleComplete() || !g_.ChooseNextPlayer()) {
        g_.EndOfHole();
      } else {
        PostGolfMessage(kGolfNextShot);
      }
      return;
    }
    case kGolfPollAnswer:
      GolfState.pollCount = 0;
      GolfBlockFree(reinterpret_cast<void*>(arg));
      return;
    case kGolfConceded: {
      stopPolling();
      const uint32_t slot = static_cast<uint32_t>(arg);
      auto* match = dynamic_cast<TMatchPlayGame*>(&g_);
      if (TPlayer* p = player(slot)) {
        std::string who(p->name, strnlen(p->name, sizeof p->name));
        const bool team = g_.mode == kModeFoursome && match;
        TPlayer* partner = team ? player(match->PartnerOf(static_cast<int>(slot))) : nullptr;
        if (partner)
          showMessage(who + " & " + std::string(partner->name, strnlen(partner->name, sizeof partner->name)) +
                          " have conceded.", 5000);
        else
          showMessage(who + " has conceded.", 5000);
        // In the match modes the golfer's side gives the hole up.
        if (match) match->ConcedeHole(match->SideOf(static_cast<int>(slot)));
      }
      Svc().round->RemoteMessage(id, nullptr);
      return;
    }
    default: {
      char line[64];
      std::snprintf(line, sizeof line, "Unknown Golf Message: %u\n", id);
      debugLine(line);
      if (blockCarrying(id)) GolfBlockFree(reinterpret_cast<void*>(arg));
      return;
    }
  }
}

}  // namespace

void TGame::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  const uint32_t id = static_cast<uint32_t>(wParam);
  if (message == kGolfWindowMessage) {
    const bool allowed = ending ? id == kGolfRemoteResult : roundRunning != 0;
    if (!allowed) {
      // A message that is not handled still gives its block back (another machine's carries one whatever its id).
      GolfBlockFree(reinterpret_cast<void*>(lParam));
      return;
    }
    if (AdmitPeerMessage(*this, id, &lParam) == PeerAdmission::kRefused) return;
    if (ending) {
      GolfBlockFree(reinterpret_cast<void*>(lParam));
      ReleaseHole();
      roundRunning = 0;
      DeleteCurrentGame();  // this object is gone now
      return;
    }
    Handler(*this).golf(id, lParam);
  } else if (message == WM_TIMER) {
    if (ending || !roundRunning) return;
    Handler(*this).timer(wParam);
  }
}
