// Our score server under load: 128 players post their cards and statuses and read the leader board at once, a
// connection per request. Every request is answered, and the board read at the end is the posted cards' order.
// Bounded: each wait is at most 2 s.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <tuple>
#include <vector>

#include "scorestore.h"
#include "support/scoreclient.h"

namespace {

TEST(ScoreLoad, HundredAndTwentyEightPlayersPostAndReadTheBoard) {
  scored::ScoreStore store;
  scored::ScoreServer server(&store);
  const uint16_t port = server.Start(0);
  ASSERT_NE(port, 0);
  constexpr uint32_t kPlayers = 128, kValue = 4;
  // Player p has played 9 + p % 10 holes, with scores that make ties on strokes.
  const auto strokes = [](uint32_t p, int h) { return h < static_cast<int>(9 + p % 10) ? 3 + (p * 7 + h) % 3 : 0u; };
  std::vector<int> answered(kPlayers + 1);
  std::vector<std::thread> threads;
  for (uint32_t p = 1; p <= kPlayers; ++p)
    threads.emplace_back([&, p] {
      std::string status(152, '\0');
      WriteLE32(reinterpret_cast<uint8_t*>(status.data()) + 124, p);
      std::snprintf(status.data() + 128, 16, "Thru %u", 9 + p % 10);
      for (const std::string& request :
           {scoretest::Post("/isapi/scorlink.dll?UpdateScoreCard",
                            scoretest::Card(p, kValue, [&](int h) { return strokes(p, h); })),
            scoretest::Post("/isapi/scorlink.dll?UpdatePlayerStatus", status), scoretest::BoardRequest(kValue)})
        answered[p] += scoretest::Ok(scoretest::Exchange(port, request));
    });
  for (std::thread& t : threads) t.join();
  for (uint32_t p = 1; p <= kPlayers; ++p) EXPECT_EQ(answered[p], 3) << p;

  // The board: fewest strokes, then most holes, then the player, the first 80.
  std::vector<std::tuple<uint32_t, int, uint32_t>> expected;  // strokes, -holes, player
  for (uint32_t p = 1; p <= kPlayers; ++p) {
    uint32_t total = 0;
    int holes = 0;
    for (int h = 0; h < 18; ++h) total += strokes(p, h), holes += strokes(p, h) != 0;
    expected.emplace_back(total, -holes, p);
  }
  std::sort(expected.begin(), expected.end());
  const std::string board = scoretest::Body(scoretest::Exchange(port, scoretest::BoardRequest(kValue)));
  ASSERT_EQ(board.size(), 474u + 80u * 92u);
  const auto* b = reinterpret_cast<const uint8_t*>(board.data());
  EXPECT_EQ(ReadLE32(b + 470), 80u);
  // Every player played hole 1; as many as have played 18 (p % 10 == 9) are counted on hole 18.
  EXPECT_EQ(ReadLE32(b + 110 + 4), kPlayers);
  EXPECT_EQ(ReadLE32(b + 110 + 17 * 20 + 4), static_cast<uint32_t>(std::count_if(
                                                 expected.begin(), expected.end(),
                                                 [](const auto& e) { return std::get<1>(e) == -18; })));
  for (uint32_t i = 0; i < 80; ++i) {
    const uint8_t* e = b + 474 + i * 92;
    const auto& [total, holes, player] = expected[i];
    EXPECT_EQ(ReadLE32(e), i + 1);
    EXPECT_EQ(ReadLE32(e + 4), player) << i;
    EXPECT_EQ(ReadLE32(e + 64), total) << i;
    EXPECT_EQ(static_cast<int>(ReadLE32(e + 68)), -holes) << i;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e + 72)), "Thru " + std::to_string(-holes)) << i;
  }
  server.Stop();
  EXPECT_EQ(store.Cards(), kPlayers);
}

}  // namespace
