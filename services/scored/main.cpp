// The online tournament's score server.
//
//   scored [--port N] [--state FILE]
//
// Listens on 127.0.0.1 (port 80 by default; --port 0 lets the system choose) and prints "port N" once it
// listens. Score cards, statuses and shots are kept in FILE when given, and read from it at start.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "loopback.h"
#include "scorestore.h"

int main(int argc, char** argv) {
  long port = 80;
  std::string state;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--port" && i + 1 < argc) port = std::strtol(argv[++i], nullptr, 10);
    else if (a == "--state" && i + 1 < argc) state = argv[++i];
    else {
      std::fprintf(stderr, "usage: scored [--port N] [--state FILE]\n");
      return 2;
    }
  }
  if (port < 0 || port > 65535) return 2;
  scored::ScoreStore store(state);
  if (!state.empty()) store.Load();
  scored::ScoreServer server(&store);
  const int result = services::AnnounceAndWait("scored", port, server.Start(static_cast<uint16_t>(port)));
  server.Stop();
  return result;
}
