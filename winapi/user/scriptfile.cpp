// Input scripts read from a file: the end-to-end runs of the real program drive it with timed keys and clicks.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "winapi/inputscript.h"

namespace winapi::testing {
namespace {

constexpr uint32_t kTypeStepMs = 40, kClickHoldMs = 60;
constexpr int kShift = 0x10;

bool KeyCode(const std::string& word, int* vk) {
  static const struct {
    const char* name;
    int vk;
  } kNames[] = {{"RETURN", 0x0D}, {"ESCAPE", 0x1B}, {"TAB", 0x09},   {"SPACE", 0x20}, {"BACK", 0x08},
                {"LEFT", 0x25},   {"UP", 0x26},     {"RIGHT", 0x27}, {"DOWN", 0x28},  {"F1", 0x70}};
  for (const auto& n : kNames)
    if (word == n.name) return *vk = n.vk, true;
  if (word.size() == 1 && std::isalnum(static_cast<unsigned char>(word[0])))
    return *vk = std::toupper(static_cast<unsigned char>(word[0])), true;
  char* end = nullptr;
  const long n = std::strtol(word.c_str(), &end, 0);
  if (!word.empty() && end && *end == 0 && n > 0 && n < 256) return *vk = static_cast<int>(n), true;
  return false;
}

int Button(const std::string& word) { return word == "right" ? 2 : word == "middle" ? 3 : word.empty() || word == "left" ? 1 : 0; }

}  // namespace

bool ParseInputScript(const std::string& text, std::vector<ScriptedEvent>* events, std::string* error) {
  std::vector<ScriptPart> parts;
  if (!ParseInputScriptParts(text, &parts, error)) return false;
  if (parts.size() > 1) {
    if (error) *error = "await is played from a script file only";
    return false;
  }
  events->insert(events->end(), parts[0].events.begin(), parts[0].events.end());
  return true;
}

bool ParseInputScriptParts(const std::string& text, std::vector<ScriptPart>* parts, std::string* error) {
  parts->assign(1, ScriptPart{});
  std::vector<ScriptedEvent>* events = &parts->back().events;
  std::istringstream lines(text);
  std::string line;
  uint32_t previous = 0;
  int number = 0;
  const auto fail = [&](const std::string& what) {
    if (error) *error = "line " + std::to_string(number) + ": " + what;
    return false;
  };
  while (std::getline(lines, line)) {
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string when, verb;
    if (!(words >> when)) continue;
    if (when == "await") {
      std::string path;
      std::getline(words, path);
      path.erase(0, path.find_first_not_of(' '));
      path.erase(path.find_last_not_of(" \t\r") + 1);
      if (path.empty()) return fail("await needs a file");
      parts->push_back(ScriptPart{path, {}});
      events = &parts->back().events;
      previous = 0;
      continue;
    }
    if (!(words >> verb)) return fail("an event needs a time and a kind");
    const bool relative = when[0] == '+';
    char* end = nullptr;
    const unsigned long ms = std::strtoul(when.c_str() + (relative ? 1 : 0), &end, 10);
    if (!end || *end != 0 || ms > 86400000ul) return fail("bad time \"" + when + "\"");
    const uint32_t at = (relative ? previous : 0) + static_cast<uint32_t>(ms);
    if (at < previous) return fail("times must not go back");
    previous = at;
    if (verb == "key" || verb == "press") {
      std::string key, arg;
      int vk = 0;
      if (!(words >> key) || !KeyCode(key, &vk)) return fail("unknown key \"" + key + "\"");
      words >> arg;
      if (verb == "key") {
        if (arg != "down" && arg != "up") return fail("a key goes down or up");
        events->push_back(ScriptKey(at, vk, arg == "down"));
      } else {
        const uint32_t hold = arg.empty() ? 20 : static_cast<uint32_t>(std::strtoul(arg.c_str(), nullptr, 10));
        for (const ScriptedEvent& e : ScriptPress(at, vk, hold)) events->push_back(e);
      }
    } else if (verb == "type") {
      std::string rest;
      std::getline(words, rest);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      uint32_t t = at;
      for (char c : rest) {
        int vk = 0;
        const bool upper = std::isupper(static_cast<unsigned char>(c)) != 0;
        if (c == ' ') vk = 0x20;
        else if (!KeyCode(std::string(1, c), &vk)) return fail(std::string("cannot type '") + c + "'");
        if (upper) events->push_back(ScriptKey(t, kShift, true));
        for (const ScriptedEvent& e : ScriptPress(t, vk, 10)) events->push_back(e);
        if (upper) events->push_back(ScriptKey(t + 15, kShift, false));
        t += kTypeStepMs;
      }
      previous = t;
    } else if (verb == "move" || verb == "click" || verb == "down" || verb == "up") {
      int x = 0, y = 0;
      std::string button;
      if (!(words >> x >> y)) return fail("a pointer event needs x and y");
      words >> button;
      const int b = Button(button);
      if (b == 0) return fail("unknown button \"" + button + "\"");
      if (verb == "move") {
        events->push_back(ScriptPointer(at, x, y));
      } else if (verb == "click") {
        events->push_back(ScriptPointer(at, x, y));
        events->push_back(ScriptPointer(at, x, y, b, true));
        events->push_back(ScriptPointer(at + kClickHoldMs, x, y, b, false));
      } else {
        events->push_back(ScriptPointer(at, x, y, b, verb == "down"));
      }
    } else {
      return fail("unknown event \"" + verb + "\"");
    }
  }
  return true;
}

}  // namespace winapi::testing

namespace winapi::user {

// Started by the host with its first frame; a script that does not read is reported and not played. Parts after
// an `await` are started by a watcher of their own once the part before has played and their file exists.
void StartInputScriptFromSetting() {
  const char* path = std::getenv("WINAPI_INPUT_SCRIPT");
  if (!path || !*path) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "WINAPI_INPUT_SCRIPT: cannot read %s\n", path);
    return;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<winapi::testing::ScriptPart> parts;
  std::string error;
  if (!winapi::testing::ParseInputScriptParts(text.str(), &parts, &error)) {
    std::fprintf(stderr, "WINAPI_INPUT_SCRIPT: %s: %s\n", path, error.c_str());
    return;
  }
  winapi::testing::StartInputScript(parts[0].events, 0);
  if (parts.size() == 1) return;
  parts.erase(parts.begin());
  // Never joined: it ends with its last part, or with the program.
  std::thread([parts = std::move(parts)] {
    for (const winapi::testing::ScriptPart& part : parts) {
      std::error_code ec;
      while (winapi::testing::PendingScriptedEvents() != 0 || !std::filesystem::exists(part.await, ec))
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      winapi::testing::StartInputScript(part.events, 0);
    }
  }).detach();
}

}  // namespace winapi::user
