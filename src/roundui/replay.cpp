#include "roundui/replay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "golf/ballflight.h"
#include "mmsystem.h"

namespace {

struct ReplayState {
  std::unique_ptr<ReplayFrame[]> store;
  int count = 0;
  int held = 0;  // frames written into the store since it was taken
  bool recording = false;
  uint32_t start = 0;
  uint32_t duration = 0;
  bool playing = false;
  uint32_t playbackStart = 0;
  int current = 0;
  ReplayFrame sample;
  bool falling = false;
};

ReplayState& R() {
  static ReplayState state = [] {
    ReplayState s;
    s.sample.event[kReplayContactByte] = 1;
    return s;
  }();
  return state;
}

const ReplayFrame& Zero() {
  static const ReplayFrame zero{};
  return zero;
}

const ReplayFrame& Frame(int n) {
  ReplayState& s = R();
  if (!s.store || n < 0 || n >= s.count) return Zero();
  return s.store[n];
}

int Last() { return std::max(R().count - 1, 0); }

Vector3 Lerp(const Vector3& a, const Vector3& b, float f) {
  return Vector3{a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f};
}

void SinkAppend(uint32_t time, const Vector3* position, const BallEventRecord* record, const Vector3* motion) {
  AppendReplayFrame(time, position, record, motion);
}
void SinkStart(uint32_t time) { StartReplayRecording(time); }

}  // namespace

int StartReplayRecording(uint32_t startTime) {
  ReplayState& s = R();
  if (!s.store) {
    s.store.reset(new (std::nothrow) ReplayFrame[kReplayCapacity]);
    if (!s.store) return 2;
  }
  if (s.recording) return 0;
  s.count = 0;
  s.held = 0;
  s.start = startTime;
  s.playbackStart = 0xFFFFFFFFu;
  s.recording = true;
  return 0;
}

void AppendReplayFrame(uint32_t time, const Vector3* position, const BallEventRecord* record, const Vector3* motion) {
  ReplayState& s = R();
  // Without a store there is nowhere to keep the step; a full store drops it.
  if (!s.store || s.count >= kReplayCapacity) return;
  ReplayFrame& f = s.store[s.count];
  f.time = time - s.start;
  if (position) f.position = *position;
  if (motion) f.motion = *motion;
  if (record) std::memcpy(f.event, record->bytes, kBallEventBytes);
  ++s.count;
  s.held = std::max(s.held, s.count);
}

void StopReplayRecording(uint32_t stopTime) {
  ReplayState& s = R();
  if (!s.recording) return;
  s.duration = stopTime - s.start;
  s.recording = false;
}

void FreeReplayBuffer() {
  ReplayState& s = R();
  s.store.reset();
  s.recording = false;
  s.count = 0;
  s.held = 0;
  s.current = 0;
}

bool ReplayRecording() { return R().recording; }

const ReplayFrame* GetReplayFrame(int n) { return &Frame(n); }
const Vector3* GetLastReplayBallPos() { return &Frame(R().count - 1).position; }
const uint8_t* GetLastReplayEvent() { return Frame(R().count - 1).event; }

double ReplayFrameFraction(uint32_t n) {
  const int count = R().count;
  if (count < 2) return 0.0;
  return static_cast<double>(n) / static_cast<double>(count - 1);
}

double CurrentReplayFraction() { return ReplayFrameFraction(static_cast<uint32_t>(std::max(R().current, 0))); }

int FindReplayFrameNear(const Vector3* point, float tolerance, int* frame) {
  for (int n = 0; n < R().count; ++n) {
    const Vector3& p = Frame(n).position;
    if (std::fabs(p.x - point->x) <= tolerance && std::fabs(p.y - point->y) <= tolerance &&
        std::fabs(p.z - point->z) <= tolerance) {
      *frame = n;
      return 1;
    }
  }
  return 0;
}

int FindReplayHighestFrame() {
  int best = 0;
  float height = 0.0f;
  for (int n = 0; n < R().count; ++n)
    if (Frame(n).position.z > height) {
      height = Frame(n).position.z;
      best = n;
    }
  return best;
}

float GetReplayMaxHeight() {
  float height = 0.0f;
  for (int n = 0; n < R().count; ++n) height = std::max(height, Frame(n).position.z);
  return height;
}

float ReplayMaxRiseAboveLine(const float* startHeight, const float* slope) {
  float rise = 0.0f;
  for (int n = 0; n < R().count; ++n) {
    const float line = *startHeight + *slope * static_cast<float>(ReplayFrameFraction(static_cast<uint32_t>(n)));
    rise = std::max(rise, Frame(n).position.z - line);
  }
  return rise;
}

void SetReplayCurrentFrame(const int* frame) { R().current = *frame; }
void TruncateReplayAtCurrent() { SetReplayFrameCount(R().current); }
int GetReplayFrameCount() { return R().count; }

void SetReplayFrameCount(int count) {
  ReplayState& s = R();
  // A count beyond the frames the store holds would let readers see frames never written (or freed).
  s.count = std::clamp(count, 0, s.store ? s.held : 0);
}

bool GetReplayPlaying() { return R().playing; }
void SetReplayPlaying(bool on) { R().playing = on; }
int GetReplayCurrentFrame() { return R().current; }
uint32_t GetReplayDuration() { return R().duration; }

void StartReplayPlayback() {
  ReplayState& s = R();
  s.playbackStart = timeGetTime();
  s.current = 0;
  s.sample = Frame(0);
  s.playing = true;
  s.falling = false;
}

void SampleReplayAtTime(uint32_t clock) {
  ReplayState& s = R();
  if (clock < s.playbackStart) clock = s.playbackStart;
  const uint32_t elapsed = clock - s.playbackStart;
  if (elapsed >= s.duration) {
    s.current = Last();
    s.sample = Frame(s.current);
    return;
  }
  if (!s.playing) {
    s.current = 0;
    s.sample = Frame(0);
    return;
  }
  bool contact = false, hazard = false;
  uint8_t companions[3] = {};
  s.current = std::clamp(s.current, 0, Last());
  while (s.current < Last() && Frame(s.current + 1).time <= elapsed) {
    ++s.current;
    const ReplayFrame& f = Frame(s.current);
    if (f.event[kReplayContactByte]) contact = true;
    if (f.event[kReplayHazardByte]) {
      hazard = true;
      for (int i = 0; i < 3; ++i) companions[i] = f.event[kReplayHazardCompanions[i]];
    }
  }
  s.sample = Frame(s.current);
  if (contact) s.sample.event[kReplayContactByte] = 1;
  if (hazard) {
    s.sample.event[kReplayHazardByte] = 1;
    for (int i = 0; i < 3; ++i) s.sample.event[kReplayHazardCompanions[i]] = companions[i];
  }
  if (s.current > 0 && s.sample.position.z < Frame(s.current - 1).position.z) s.falling = true;
  const ReplayFrame& f = Frame(s.current);
  // Before the first step is recorded the ball is where that step found it (the gap would wrap below zero).
  if (s.current < Last() && elapsed > f.time) {
    const ReplayFrame& next = Frame(s.current + 1);
    const float t = static_cast<float>(elapsed - f.time) / static_cast<float>(next.time - f.time);
    s.sample.position = Lerp(f.position, next.position, t);
  }
}

void StepReplayPosition(Vector3* out, int32_t step) {
  ReplayState& s = R();
  if (!s.playing) {
    *out = Vector3{};
    return;
  }
  const int64_t target = static_cast<int64_t>(s.sample.time) + step;
  int n = std::clamp(s.current, 0, Last());
  if (n != 0) {
    if (step < 0) {
      while (n > 0 && target < Frame(n).time) --n;
    } else {
      while (n < Last() && target > Frame(n + 1).time) ++n;
    }
  }
  *out = Frame(n).position;
  if (n != s.current && n < Last() && target != Frame(n).time) {
    const ReplayFrame& f = Frame(n);
    const ReplayFrame& next = Frame(n + 1);
    const float t = static_cast<float>(target - f.time) / static_cast<float>(next.time - f.time);
    *out = Lerp(f.position, next.position, t);
  }
}

const Vector3* GetPlaybackBallPos() { return &R().sample.position; }
const uint8_t* GetPlaybackEvent() { return R().sample.event; }
const Vector3* GetPlaybackVector() { return &R().sample.motion; }
uint32_t GetReplayEndTime() { return R().playing ? R().playbackStart + R().duration : 0xFFFFFFFFu; }
uint32_t GetPlaybackFrameClock() { return R().playing ? R().playbackStart + Frame(R().current).time : 0; }

uint32_t RewindReplayPlayback() {
  ReplayState& s = R();
  s.current = 0;
  s.sample = Frame(0);
  return s.playbackStart;
}

bool IsReplayBallFalling() { return R().falling; }

void InstallReplayBuffer() {
  BallReplaySink sink;
  sink.freeBuffer = FreeReplayBuffer;
  sink.startRecording = SinkStart;
  sink.appendFrame = SinkAppend;
  sink.stopRecording = StopReplayRecording;
  BallSetReplaySink(sink);
}

void ResetReplayBuffer() {
  FreeReplayBuffer();
  ReplayState& s = R();
  s = ReplayState{};
  s.sample.event[kReplayContactByte] = 1;
}
