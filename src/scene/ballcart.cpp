#include "scene/ballcart.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "course/preferences.h"
#include "course/terrain.h"
#include "framework/core/paths.h"
#include "framework/core/registry.h"
#include "framework/core/services.h"
#include "golf/player.h"
#include "mmsystem.h"
#include "scene/ballanim.h"
#include "scene/golfdraw.h"
#include "scene/random.h"

namespace {

enum CartSound { kCart1, kCart2, kCart3, kCartHit, kCartExplode };
const char* const kCartSounds[] = {"cart1", "cart2", "cart3", "carthit", "cartexpl"};
constexpr int kCartVolume = 127;
constexpr uint8_t kSoundEffectsBit = 0x01;

// The cart as a shot's animations began.
struct CartState {
  bool valid = false;
  Vector3 world{}, velocity{};
  TShapeMovie* source = nullptr;
  int32_t frameCounter = 1, frameCount = 0, stepInterval = 0;
  int hits = 0, running = 0;
  bool hitBefore = false;
  uint32_t lastHit = 0;
};

struct CartModule {
  bool loaded = false;
  TShapeMovie right, left;
  std::unique_ptr<TBallCartAnimation> cart;
  CartBallSource source;
  int hits = 0;
  bool hitBefore = false;
  uint32_t lastHit = 0;
  int running = 0;
  CartState saved;
};
CartModule gCart;

void SaveCartState(const TBallCartAnimation& c) {
  gCart.saved = CartState{true,          c.world,    c.velocity,    c.frameSource,   c.frameCounter, c.frameCount,
                          c.stepInterval, gCart.hits, gCart.running, gCart.hitBefore, gCart.lastHit};
}

void RestoreCartState(TBallCartAnimation& c) {
  const CartState& s = gCart.saved;
  c.world = s.world;
  c.velocity = s.velocity;
  c.frameSource = s.source;
  c.frameCounter = s.frameCounter;
  c.frameCount = s.frameCount;
  c.stepInterval = s.stepInterval;
  gCart.hits = s.hits;
  gCart.running = s.running;
  gCart.hitBefore = s.hitBefore;
  gCart.lastHit = s.lastHit;
}

void PlayCartSound(CartSound s) {
  if ((SoundSettings() & kSoundEffectsBit) && Svc().sound) Svc().sound->PlayEffect(kCartSounds[s], kCartVolume);
}

// Grid column and row of the cell under a world point (rounded to the nearest cell).
void CellUnder(const Vector3& p, int64_t* u, int64_t* v) {
  const TerrainGrid& g = CurrentTerrain();
  *u = std::llround(static_cast<double>(g.originX) - p.x);
  *v = std::llround(static_cast<double>(p.y) + g.originY);
}

}  // namespace

// ---- travelling movies ----------------------------------------------------------------------------------------

void TMovingMovieAnimation::StartMove(const Vector3& at, int32_t rate, const Vector3& v, int follow) {
  behindEye = 0;
  tracking = 1;
  start = at;
  stepRate = rate;
  stepInterval = rate > 0 ? FrameTimeForRate(rate) : 0;
  velocity = startVelocity = v;
  followTerrain = follow;
  lastStepTime = 0;
  if (Place(frameSource, userWord, view, at.x, at.y, at.z) == 0) frameCount = std::min(frameCount, loopLength);
}

int TMovingMovieAnimation::IsOnTerrain() {
  const TerrainGrid& g = CurrentTerrain();
  int64_t u, v;
  CellUnder(world, &u, &v);
  return u >= 0 && v >= 0 && u < g.width && v < g.depth;
}

void TMovingMovieAnimation::StopMove(int* finished) {
  if (finished) *finished = 1;
  stepInterval = 0;
}

void TMovingMovieAnimation::WrapLoop(uint32_t now) {
  if (frameCounter < frameCount || frameCount != loopLength) return;
  frameCounter = 1;
  // The first frame shows its full time too.
  if (now != 0) lastFrameTime = now;
}

int TMovingMovieAnimation::IsFrameDue(uint32_t now) {
  if (!IsOnTerrain()) return 0;
  if (stepInterval != 0) {
    if (lastStepTime == 0) return 1;
    const uint32_t elapsed = static_cast<uint32_t>(std::abs(static_cast<int32_t>(now - lastStepTime)));
    if (elapsed >= static_cast<uint32_t>(stepInterval >> 16)) return 1;
  }
  return TMovieAnimation::IsFrameDue(now);
}

int TMovingMovieAnimation::IsFinished() {
  // Within the driving loop it loops; beyond it (the movie's own frames) it plays out.
  if (frameCount == loopLength) return 0;
  return TMovieAnimation::IsFinished();
}

int TMovingMovieAnimation::Update(int* finished, uint32_t now) {
  *finished = 0;
  if (!IsOnTerrain() || stepInterval == 0) {
    StopMove(finished);
    return 0;
  }
  const uint32_t interval = std::max<uint32_t>(1, static_cast<uint32_t>(stepInterval >> 16));
  const uint32_t elapsed = lastStepTime == 0 ? interval
                                             : static_cast<uint32_t>(std::abs(static_cast<int32_t>(now - lastStepTime)));
  const uint32_t steps = elapsed / interval;
  WrapLoop(now);
  if (steps == 0) return TMovieAnimation::Update(finished, now);
  const float n = static_cast<float>(steps);
  world = Vector3{world.x + n * velocity.x, world.y + n * velocity.y, world.z + n * velocity.z};
  if (IsOnTerrain()) {
    const float ground = GetTerrainHeight(world.x, world.y);
    world.z = followTerrain ? ground + 0.1f : std::min(world.z, ground);
  }
  lastStepTime = now - (elapsed - steps * interval);
  tracking = 1;
  return TMovieAnimation::Update(finished, now);
}

void TMovingMovieAnimation::Reset() {
  world = start;
  velocity = startVelocity;
  lastStepTime = 0;
  lastFrameTime = 0;
  TMovieAnimation::Reset();
  held = 0;
  frameCounter = loopLength;
  drawn = 0;
  const int32_t sw = Facts().screenWidth, sh = Facts().screenHeight;
  clip = !view || view->viewWidth == sw ? MARect{0, 0, sw, sh}
                                        : MARect{view->viewLeft, view->viewTop, view->viewLeft + sw * 40 / 100,
                                                 view->viewTop + sh * 40 / 100};
  Refresh(0);
  tracking = 1;
  UpdateScreenPlacement();
}

// ---- the cart -------------------------------------------------------------------------------------------------

int TBallCartAnimation::IsOnRange() {
  const TerrainGrid& g = CurrentTerrain();
  if (g.width < 2 || g.depth < 2) return 0;
  int64_t u, v;
  CellUnder(world, &u, &v);
  const int64_t middle = g.depth / 2;
  return u >= 70 && u <= static_cast<int64_t>(g.width) - 70 && std::llabs(v - middle) <= 30;
}

void TBallCartAnimation::PickRoute(Vector3* from, Vector3* v) {
  const TerrainGrid& g = CurrentTerrain();
  RandomNextByte();
  const bool plus = (RandomNextByte() & 1) == 0;
  const float half = static_cast<float>(g.width) / 2.0f;
  *v = Vector3{plus ? kSpeed : -kSpeed, 0.0f, 0.0f};
  // On the middle line of the range, 71 in from the side it leaves.
  from->x = plus ? 71.0f - half : half - 71.0f;
  from->y = static_cast<float>(g.depth / 2) - g.originY;
  from->z = GetTerrainHeight(from->x, from->y) + 0.1f;
}

TShapeMovie* TBallCartAnimation::ChooseShapeFile() {
  const uint32_t heading = view ? static_cast<uint32_t>(view->heading) & 0xFFFF : 0;
  const bool back = heading >= 0x4001 && heading <= 0xBFFF;
  const bool plus = velocity.x > 0.0f || (velocity.x == 0.0f && startVelocity.x > 0.0f);
  return plus != back ? &gCart.left : &gCart.right;
}

void TBallCartAnimation::TurnToView() {
  if (frameCounter != loopLength || Exploding()) return;
  TShapeMovie* facing = ChooseShapeFile();
  if (facing == frameSource) return;
  frameSource = facing;
  frameCounter = 1;
}

void TBallCartAnimation::NewRoute() {
  Vector3 from, v;
  PickRoute(&from, &v);
  velocity = startVelocity = v;
  frameSource = ChooseShapeFile();
  StartMove(from, kStepRate, v, 1);
}

void TBallCartAnimation::StartMove(const Vector3& at, int32_t rate, const Vector3& v, int follow) {
  TMovingMovieAnimation::StartMove(at, rate, v, follow);
  SetFrameDuration(rate);
}

int TBallCartAnimation::IsFrameDue(uint32_t now) {
  // A cart that drove off the range turns round at once.
  if (!Exploding() && (stepInterval == 0 || !IsOnRange())) return 1;
  return TMovingMovieAnimation::IsFrameDue(now);
}

void TBallCartAnimation::UpdateScreenPlacement() {
  if (!view) {
    TMovieAnimation::UpdateScreenPlacement();
    return;
  }
  // The pictures hang from a point 2.0 above where the cart stands, drawn 32 pixels to the world unit.
  PlaceByPointAbove(2.0f);
  if (!behindEye) scale = WorldUnitScale(*view, world);
  TurnToView();
}

void TBallCartAnimation::TestBallHit(uint32_t now) {
  const TBallAnimation* b = gCart.source.ball;
  if (!b || b->ball.Flag(kBallFlagOutOfBounds)) return;
  const Vector3& p = b->ball.position;
  if (p.z - world.z > 2.0f || std::fabs(p.x - world.x) > 2.0f || std::fabs(p.y - world.y) > 2.2f) return;
  if (gCart.hitBefore && now - gCart.lastHit < kHitQuiet) return;
  gCart.hitBefore = true;
  gCart.lastHit = now;
  PlayCartSound(kCartHit);
  gCart.hits = std::min(gCart.hits + 1, 3);
  if (gCart.hits == 1) PlayCartSound(kCart1);
  if (gCart.hits == 2) PlayCartSound(kCart2);
  if (gCart.hits == 3) {
    velocity = Vector3{};
    // The explosion's frames follow the driving loop in the movie.
    if (frameSource) frameCount = frameSource->frameCount;
    frameCounter = std::min(loopLength + 1, frameCount);
    lastFrameTime = 0;
    PlayCartSound(kCartExplode);
    WriteLogLine("Ball cart: hit three times, it blows up");
  }
  if (gCart.source.golfer) gCart.source.golfer->hitCart = 1;
}

void TBallCartAnimation::EndExplosion() {
  if (!Exploding() || frameCounter < frameCount) return;
  frameCount = loopLength;
  frameCounter = 1;
  if (gCart.source.golfer) gCart.source.golfer->hitCart = 0;
  NewRoute();
}

int TBallCartAnimation::Update(int* finished, uint32_t now) {
  *finished = 0;
  if (AnimationsPaused()) return 0;
  if (gCart.hits == 3 && frameCounter > frameCount - 6) {
    PlayCartSound(kCart3);
    gCart.hits = 0;
    gCart.running = 1;
  }
  TestBallHit(timeGetTime());
  EndExplosion();
  const int result = TMovingMovieAnimation::Update(finished, now);
  if (stepInterval == 0 && !Exploding()) NewRoute();
  *finished = 0;
  return result;
}

void TBallCartAnimation::Reset() {
  if (Exploding()) {
    frameCounter = frameCount;
    EndExplosion();
  }
  // It drives on from where it is.
  start = world;
  startVelocity = velocity;
  TMovingMovieAnimation::Reset();
}

// ---- the module's operations ----------------------------------------------------------------------------------

bool LoadBallCart(const char* dataFolder) {
  FreeBallCart();
  PathRecord folder{};
  PathSetDirectory(&folder, dataFolder && *dataFolder ? dataFolder : "\\DATA");
  PathAppend(&folder, "COURSES");
  PathAppend(&folder, "RANGE");
  // An installation without the range's movies plays them from the game disc.
  PathRecord disc{};
  if (!FileExists(&folder, "rbalcart.fsh") && Facts().gameDiscFolder && Facts().gameDiscFolder(&disc) &&
      PathAppend(&disc, "DATA") == 0 && PathAppend(&disc, "COURSES") == 0 && PathAppend(&disc, "RANGE") == 0)
    folder = disc;
  const bool right = gCart.right.Open(&folder, nullptr, "rbalcart.fsh") == 0;
  const bool left = right && gCart.left.Open(&folder, nullptr, "lbalcart.fsh") == 0;
  if (!left) {
    gCart.right.Close();
    gCart.left.Close();
    WriteLogLine(right ? "Ball cart: \"lbalcart.fsh\" is missing; the range has no cart"
                       : "Ball cart: \"rbalcart.fsh\" is missing; the range has no cart");
    return false;
  }
  gCart.loaded = true;
  gCart.hits = 0;
  gCart.hitBefore = false;
  gCart.running = 0;
  return true;
}

void FreeBallCart() {
  if (gCart.cart) {
    RemoveAnimation(gCart.cart.get());
    auto& inset = InsetFigures();
    inset.erase(std::remove(inset.begin(), inset.end(), gCart.cart.get()), inset.end());
    gCart.cart.reset();
  }
  gCart.right.Close();
  gCart.left.Close();
  gCart.loaded = false;
  gCart.source = CartBallSource{};
  gCart.saved = CartState{};
}

void PlaceBallCart(TGolfView* view) {
  if (!gCart.loaded) return;
  if (!gCart.cart) {
    gCart.cart = std::make_unique<TBallCartAnimation>();
    gCart.cart->ownsSource = 0;
    gCart.cart->looping = 1;  // never keeps a shot's playback waiting
  }
  gCart.cart->view = view;
  gCart.cart->NewRoute();
}

void StartBallCart(TGolfView* view, const CartBallSource& source, bool replay) {
  if (!gCart.cart) return;
  gCart.source = source;
  TBallCartAnimation& c = *gCart.cart;
  if (replay && gCart.saved.valid) {
    const bool wasRunning = gCart.running != 0;
    RestoreCartState(c);
    // A cart that has blown up before comes back whole (the reset below ends an explosion), one hit short of
    // going up again.
    if (wasRunning) {
      gCart.hits = 2;
      gCart.running = 1;
    }
  } else {
    SaveCartState(c);
  }
  if (c.view != view) c.ChangeView(c.view, view);
  c.Reset();
  AddAnimation(2, &c, 0, 0, 0);
  auto& inset = InsetFigures();
  if (std::find(inset.begin(), inset.end(), &c) == inset.end()) inset.push_back(&c);
}

void ShowBallCartNow(TGolfView* view) {
  if (!gCart.cart) return;
  TBallCartAnimation& c = *gCart.cart;
  if (c.view != view) c.ChangeView(c.view, view);
  c.hidden = 0;
  // A picture still on the screen is taken away first, else the movie leaves it be.
  if (c.drawn) c.Erase();
  int finished = 0;
  c.Update(&finished, timeGetTime());
}

int BallCartExists() { return gCart.cart ? 1 : 0; }
int BallCartActive() { return gCart.cart && gCart.running ? 1 : 0; }
void StopBallCart() { gCart.running = 0; }
TBallCartAnimation* BallCart() { return gCart.cart.get(); }
int BallCartHits() { return gCart.hits; }
