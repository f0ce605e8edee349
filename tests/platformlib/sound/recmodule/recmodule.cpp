// A stand-in sound driver module for tests: records every call it gets, answers with settable values, and lets
// the test make the module's callbacks.
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
using Mix = void (*)(void*, int);
using Channel = void (*)(int);
using Print = void (*)(const char*, ...);
using Serve = void (*)();
using Position = void (*)(int, int, float*);
using Convert = int (*)(const void*, int, int, int, int, int, void*, int, int);

std::mutex lock;
std::string calls;
int version = 0x00100001, caps = 0x0F | 0x3F00, startresult = 0;
int makebuffers = 0, playresult = -1;
int buffers[4];
std::atomic<int> serves{0};
Mix mix = nullptr;
Channel freechan = nullptr;
Serve serve = nullptr;
Position position = nullptr;

void record(const char* format, int a = 0, int b = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  std::lock_guard<std::mutex> guard(lock);
  calls += text;
  calls += ";";
}
}  // namespace

EXPORT void rec_setup(int v, int c, int s) { version = v, caps = c, startresult = s; }
EXPORT void rec_sethardware(int make, int play) { makebuffers = make, playresult = play; }
EXPORT const char* rec_calls() {
  static std::string copy;
  std::lock_guard<std::mutex> guard(lock);
  copy = calls;
  calls.clear();
  return copy.c_str();
}
EXPORT int rec_serves() { return serves.load(); }
EXPORT void rec_mix(void* buffer, int frames) { mix(buffer, frames); }
EXPORT void rec_server() { serve(); }
EXPORT void rec_freechan(int channel) { freechan(channel); }
EXPORT void rec_position(int azimuth, int elevation, float* out) { position(azimuth, elevation, out); }

EXPORT int iSNDdllversion() { return version; }
EXPORT int iSNDdirectsetfunctions(Mix m, Channel f, Print, Print, Serve s, Print, Position p, Convert) {
  mix = m, freechan = f, serve = s, position = p;
  record("setfunctions");
  return 0;
}
EXPORT int iSNDdirectcaps(void*) {
  record("caps");
  return caps;
}
EXPORT int iSNDdirectstart(int mode, void*) {
  record("start %x", mode);
  return startresult;
}
EXPORT int iSNDdirectstop() {
  record("stop");
  return 0;
}
EXPORT int iSNDdirectserve() {
  ++serves;
  return 0;
}
EXPORT int iSNDdirectrecordstart(int length, int a, int bits, int b) {
  record("recordstart %d %d", length, a);
  record("bits %d then %d", bits, b);
  return 0;
}
EXPORT int iSNDdirectrecordpacket(void* buffer) { return buffer ? 0 : -1; }
EXPORT int iSNDdirectrecordstop() {
  record("recordstop");
  return 0;
}
EXPORT void* iSNDdirectcreate3dbuf(int channels, int representation, int rate, int length, int, int, const void*) {
  record("create3dbuf %d %d", channels, representation);
  record("rate %d length %d", rate, length);
  return makebuffers ? &buffers[makebuffers & 3] : nullptr;
}
EXPORT int iSNDdirectremovebuf(void*) {
  record("removebuf");
  return 0;
}
EXPORT int iSNDdirectplay3d(void*, int channel, int looped, int rate, int volume, int, int) {
  record("play3d %d %d", channel, looped);
  record("at %d %d", rate, volume);
  return playresult;
}
EXPORT int iSNDdirectpos3d(int, int, int) { return 0; }
EXPORT int iSNDdirectvol(int channel, int volume) {
  record("vol %d %d", channel, volume);
  return 0;
}
#ifndef RECORDER_PARTIAL
EXPORT int iSNDdirectrate(int channel, int rate) {
  record("rate %d %d", channel, rate);
  return 0;
}
#endif
EXPORT int iSNDdirectstopbuf(int channel) {
  record("stopbuf %d", channel);
  freechan(channel);  // the hardware voice has ended
  return 0;
}
