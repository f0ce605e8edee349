// Our lobby server under load: 128 clients in eight rooms log in and chat at once. Every client is answered, every
// line reaches exactly its own room, and the server ends with nobody left. Bounded: each wait is at most 2 s.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "lobby.h"
#include "support/lobbyclient.h"

namespace {

TEST(LobbyLoad, HundredAndTwentyEightClientsChatInTheirOwnRooms) {
  lobbyd::Lobby lobby;
  lobbyd::LobbyServer server(&lobby);
  const uint16_t port = server.Start(0);
  ASSERT_NE(port, 0);
  constexpr int kClients = 128, kRooms = 8;
  std::vector<int> answered(kClients), lines(kClients), strangers(kClients);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kClients; ++i)
    threads.emplace_back([&, i] {
      lobbytest::LobbyClient c(port);
      const std::string room = "room" + std::to_string(i % kRooms);
      if (!c.ok() || !c.Enter("g" + std::to_string(i), room)) return;
      // The log-in result and the identity come first.
      for (int k = 0; k < 2; ++k) {
        const std::vector<uint8_t> m = c.Next(2000);
        if (!m.empty() && (lobbytest::Get32(m.data()) == 5 || lobbytest::Get32(m.data()) == 9)) ++answered[i];
      }
      // Everyone is in before anyone speaks, so that each line has the whole room to reach.
      ++ready;
      for (int waited = 0; ready.load() < kClients && waited < 4000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      c.Chat(room);
      // Chat lines arrive as "gN: roomR"; the other messages of the room (announcements, lists) are passed over.
      while (lines[i] < kClients / kRooms) {
        const std::vector<uint8_t> m = c.Next(2000);
        if (m.empty()) break;
        if (lobbytest::Get32(m.data()) != 0x0d) continue;
        const std::string text(m.begin() + 8, m.end());
        ++lines[i];
        if (text.substr(text.find(": ") + 2) != room) ++strangers[i];
      }
    });
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kClients; ++i) {
    EXPECT_EQ(answered[i], 2) << i;
    EXPECT_EQ(lines[i], kClients / kRooms) << i;
    EXPECT_EQ(strangers[i], 0) << i;
  }
  server.Stop();
  EXPECT_EQ(lobby.Sessions(), 0u);
}

}  // namespace
