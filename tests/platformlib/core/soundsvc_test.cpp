#include <gtest/gtest.h>

#include "fixture.h"
#include "platformlib/core/soundsvc.h"

namespace {

TEST(ChannelPicks, FirstKEntriesOnly) {
  const int8_t list[6] = {3, 7, 0, -1, -1, -1};
  struct Case {
    int channel, k, expected;
  };
  for (Case c : {Case{3, 1, 1}, Case{7, 1, 0}, Case{7, 2, 1}, Case{0, 3, 1}, Case{0, 2, 0}, Case{5, 6, 0},
                 Case{3, 0, 0}, Case{3, -4, 0}, Case{-1, 4, 1}, Case{-1, 3, 0}, Case{0, 1000, 1}}) {
    EXPECT_EQ(channelpickedin(list, 6, c.channel, c.k), c.expected) << c.channel << " in " << c.k;
  }
}

TEST(ChannelPicks, TheAllocatorsList) {
  clearchannelpicks();
  EXPECT_EQ(channelpicked(2, 16), 0);
  EXPECT_EQ(pickchannel(2), 1);
  EXPECT_EQ(pickchannel(9), 1);
  EXPECT_EQ(channelpicked(9, 2), 1);
  EXPECT_EQ(channelpicked(9, 1), 0);
  EXPECT_EQ(channelpicked(-1, 3), 1);  // an empty place
  for (int i = 2; i < SOUNDCHANNELS; ++i) EXPECT_EQ(pickchannel(i), 1);
  EXPECT_EQ(pickchannel(1), 0);
  clearchannelpicks();
}

SoundStream stream{};
int servedslots = 0;
void serve(SoundStream* s, int slot) {
  EXPECT_EQ(s, &stream);
  servedslots |= 1 << slot;
}

TEST(StreamSlots, FindRemoveAndService) {
  stream = SoundStream{};
  for (uint32_t i = 0; i < 5; ++i) stream.requests[i] = StreamRequest{0, (i << 8) | 3, {i, 0}};
  stream.requestcount = 5;
  stream.currentrequest = 3;
  EXPECT_EQ(setstreamslot(3, &stream), 1);
  EXPECT_EQ(setstreamslot(16, &stream), 0);
  EXPECT_EQ(getstreamslot(3), &stream);
  EXPECT_EQ(getstreamslot(16), nullptr);
  EXPECT_EQ(getstreamslot(-1), nullptr);
  EXPECT_EQ(findstreamrequest((2u << 8) | 3), &stream.requests[2]);
  EXPECT_EQ(findstreamrequest((2u << 8) | 4), nullptr);  // slot 4 is empty
  EXPECT_EQ(findstreamrequest((9u << 8) | 3), nullptr);
  // Removing an earlier request keeps the current index on the same request.
  EXPECT_EQ(removestreamrequest((1u << 8) | 3), 1);
  EXPECT_EQ(stream.requestcount, 4);
  EXPECT_EQ(stream.currentrequest, 2);
  EXPECT_EQ(stream.requests[stream.currentrequest].id, (3u << 8) | 3);
  EXPECT_EQ(stream.requests[1].id, (2u << 8) | 3);
  EXPECT_EQ(removestreamrequest((1u << 8) | 3), 0);
  // A damaged count never reads past the table.
  stream.requestcount = 200;
  EXPECT_EQ(findstreamrequest((77u << 8) | 3), nullptr);
  stream.requestcount = 4;

  servedslots = 0;
  setstreamservice(serve);
  servicesoundstreams();
  EXPECT_EQ(servedslots, 1 << 3);
  setstreamservice(nullptr);
  setstreamslot(3, nullptr);
}

}  // namespace
