// The online lobby server.
//
//   lobbyd [--port N] [--accounts FILE] [--operator TEXT]
//
// Listens on 127.0.0.1 (port 7653 by default; --port 0 lets the system choose) and prints "port N" once it listens.
// With an accounts file ("login password [tour-card]" per line) joining a game needs a login it lists; without
// one every join is accepted. The operator's text goes to each client that logs in.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "lobby.h"
#include "loopback.h"

int main(int argc, char** argv) {
  long port = 7653;
  std::string accountsFile, operatorText;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--port" && i + 1 < argc) port = std::strtol(argv[++i], nullptr, 10);
    else if (a == "--accounts" && i + 1 < argc) accountsFile = argv[++i];
    else if (a == "--operator" && i + 1 < argc) operatorText = argv[++i];
    else {
      std::fprintf(stderr, "usage: lobbyd [--port N] [--accounts FILE] [--operator TEXT]\n");
      return 2;
    }
  }
  if (port < 0 || port > 65535) return 2;
  std::map<std::string, lobbyd::Account> accounts;
  if (!accountsFile.empty() && !lobbyd::ReadAccounts(accountsFile, &accounts)) {
    std::fprintf(stderr, "lobbyd: cannot read %s\n", accountsFile.c_str());
    return 1;
  }
  lobbyd::Lobby lobby(accounts, operatorText);
  lobbyd::LobbyServer server(&lobby);
  const int result = services::AnnounceAndWait("lobbyd", port, server.Start(static_cast<uint16_t>(port)));
  server.Stop();
  return result;
}
