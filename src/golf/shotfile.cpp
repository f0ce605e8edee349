#include "golf/shotfile.h"

#include <cmath>
#include <cstring>
#include <new>

#include "course/holedata.h"
#include "course/roster.h"
#include "course/savedfiles.h"
#include "course/terrain.h"
#include "golf/modes.h"
#include "golf/serialize.h"

namespace {

constexpr char kMagic[4] = {'S', 'H', 'O', 'T'};

class Io : public golf_svc::FieldMover {
 public:
  using FieldMover::FieldMover;
  void f32(float& v) {
    uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    u32(bits);
    if (reading()) std::memcpy(&v, &bits, 4);
  }
  void i32(int32_t& v) {
    uint32_t bits = static_cast<uint32_t>(v);
    u32(bits);
    v = static_cast<int32_t>(bits);
  }
  void vec(Vector3& v) {
    f32(v.x);
    f32(v.y);
    f32(v.z);
  }
  void text(std::string& t) { FieldMover::text(t, kShotBodyMaxText); }
};

void moveBall(Io& io, BallState& b) {
  io.u8(b.lie);
  io.bytes(b.flags, sizeof b.flags);
  io.vec(b.gravity);
  for (float* f : {&b.airDensity, &b.liftCoefficient, &b.liftFactor, &b.spinDecayFactor, &b.aeroFactor, &b.flightTime,
                   &b.nearestContact})
    io.f32(*f);
  io.u32(b.nearestContactWord);
  for (Vector3* v : {&b.position, &b.positionPrev, &b.positionStep, &b.positionLast, &b.target, &b.velocity,
                     &b.velocityPrev, &b.spin, &b.spinExtra})
    io.vec(*v);
  for (BallStepEntry& e : b.stepList) {
    io.i32(e.key);
    io.vec(e.position);
    io.f32(e.time);
    io.f32(e.speed);
    io.u8(e.surface);
    io.u8(e.kind);
    io.bytes(e.reserved, sizeof e.reserved);
  }
  io.vec(b.field19);
  io.u32s(b.field20Words, 2);
  io.u8(b.landingSurface);
  io.u8(b.restSurface);
  io.vec(b.startPosition);
  io.u32(b.field22Word);
  io.u32s(b.field22Words, 2);
  io.f32(b.rollStartTime);
  io.u8(b.lieFlags);
  io.u8(b.lieDetail);
  io.i32(b.shotShapeSign);
}

// The fields after the golfer record.
bool moveShot(Io& io, SavedShot& s) {
  io.u16(s.round);
  io.u16(s.hole);
  io.u16(s.mode);
  io.u8(s.slot);
  io.u8(s.holed);
  io.u32(s.shotIndex);
  io.text(s.holeFile);
  io.text(s.course);
  moveBall(io, s.launched);
  io.vec(s.pin);
  io.i32(s.windSpeed);
  io.u16(s.windHeading);
  io.vec(s.rest);
  return io.ok();
}

}  // namespace

std::vector<uint8_t> EncodeShotBody(const SavedShot& shot) {
  std::vector<uint8_t> out(16384);
  SerialTarget t = SerialTarget::OverMemory(out.data(), out.size());
  Io io(SERIAL_PUT, &t);
  char magic[4];
  std::memcpy(magic, kMagic, 4);
  io.bytes(magic, 4);
  uint16_t version = kShotBodyVersion;
  io.u16(version);
  SavedShot copy = shot;
  if (!moveShot(io, copy)) return {};
  // The golfer in its tagged form, as golfer files keep it.
  playerInfo_s golfer;
  static_cast<playerInfoFields&>(golfer) = shot.golfer;
  golfer.flags |= kGolferTaggedForm;
  if (!golfer.Transfer(SERIAL_PUT, SERIAL_PUT, &t)) return {};
  out.resize(static_cast<size_t>(t.cursor - out.data()));
  return out;
}

bool DecodeShotBody(const uint8_t* data, size_t size, SavedShot& shot, std::string& error) {
  SerialTarget t = SerialTarget::OverMemory(data, size);
  Io io(SERIAL_GET, &t);
  char magic[4] = {};
  uint16_t version = 0;
  io.bytes(magic, 4);
  io.u16(version);
  if (!io.ok() || std::memcmp(magic, kMagic, 4) != 0) {
    error = "not a shot body";
    return false;
  }
  if (version != kShotBodyVersion) {
    error = "shot body version " + std::to_string(version);
    return false;
  }
  SavedShot s;
  if (!moveShot(io, s)) {
    error = "shot body cut short";
    return false;
  }
  if (s.round >= kRounds || s.hole >= kHoles || s.slot >= TPlayerList::kSlots || s.holed > 1 ||
      (s.mode >= kModeCount && s.mode != kModeHighlights) || s.windSpeed < 0 || s.windSpeed > 60) {
    error = "shot body values out of range";
    return false;
  }
  for (const Vector3& v : {s.launched.position, s.launched.velocity, s.launched.spin, s.pin, s.rest})
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
      error = "shot body with a point that is not a number";
      return false;
    }
  playerInfo_s golfer;
  bool ended = false;
  if (!golfer.Transfer(SERIAL_GET, SERIAL_GET, &t, &ended) || !ended || !(golfer.flags & kGolferTaggedForm)) {
    error = "shot body golfer damaged";
    return false;
  }
  if (t.cursor != t.end) {
    error = "shot body longer than its fields";
    return false;
  }
  s.golfer = golfer;
  shot = std::move(s);
  return true;
}

std::string SaveShot(const std::string& comment) {
  TGame* g = CurrentGame();
  if (!g || !g->hasLastShot || !g->ShotsMayBeSaved()) return {};
  const SavedShot& s = g->lastShot;
  std::vector<uint8_t> body;
  try {
    body = EncodeShotBody(s);
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (body.empty()) return {};
  SavedShotHead head;
  head.course = s.course;
  head.mode = s.mode;
  head.hole = s.hole;
  head.shot = s.shotIndex;
  head.club = s.golfer.currentClub;
  head.holed = s.holed;
  head.surface = s.restSurface & 0xF0u;
  head.golfer = std::string(s.golfer.name, strnlen(s.golfer.name, sizeof s.golfer.name));
  head.rosterGolfer = FindRosterProfessional(head.golfer.c_str()) >= 0 ? 1 : 0;
  return SaveShot(comment, head, body, s.slot);
}

int PlayHighlightShot(const std::string& fileName) {
  SavedShotHead head;
  std::vector<uint8_t> body;
  SavedShot shot;
  std::string error;
  if (LoadSavedShot(fileName, head, body, &error) != 0 || !DecodeShotBody(body.data(), body.size(), shot, error))
    return 8;
  // The shot's hole must load before the game in hand is given up for the playback.
  if (shot.holeFile.empty() || LoadHoleData(shot.holeFile) != kHoleOk) return 8;
  std::unique_ptr<THighlightGame> game(new (std::nothrow) THighlightGame);
  if (!game || !game->players) return 2;
  game->courseName = shot.course;
  game->shots.push_back(std::move(shot));
  THighlightGame* playing = game.get();
  ReplaceCurrentGame(std::move(game));
  if (!playing->PlayShot(0)) return 8;
  playing->Finish();
  return 0;
}
