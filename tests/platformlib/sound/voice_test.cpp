// Voices: playing patches from banks, zones, groups, stealing, handles, fades, envelopes and the controls.
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>

#include "platformlib/sound/sndpacket.h"
#include "voicefixture.h"

namespace {

using soundtest::PatchWriter;

using soundtest::Constant;

class Voices : public soundtest::VoiceTest {
 protected:
  void SetUp() override {
    soundtest::VoiceTest::SetUp();
    bankmemory.resize(static_cast<size_t>(SNDbankmemsize(32)));
    bank = SNDbankcreate(32, bankmemory.data());
    ASSERT_GE(bank, 0);
  }
  int Add(std::vector<uint8_t> patch) {
    std::vector<uint8_t>& kept = patches.emplace_back(std::move(patch));
    int index = -1;
    EXPECT_EQ(SNDbankaddpat(bank, &index, kept.data(), kept.size()), 8);
    return index;
  }
  int Play(int index, int velocity = 127, int key = 60, int pan = 64) {
    SNDPLAYOPTS o;
    SNDplaysetdef(&o);
    o.bank = static_cast<int8_t>(bank);
    o.patch = index;
    o.velocity = static_cast<uint8_t>(velocity);
    o.key = static_cast<uint8_t>(key);
    o.pan = static_cast<uint8_t>(pan);
    return SNDplay(&o);
  }
  // A one-zone patch of a constant at 22,050 Hz with extra zone tags in front.
  std::vector<uint8_t> Tone(const std::function<void(PatchWriter&)>& zone = nullptr, int frames = 4000) {
    PatchWriter w;
    if (zone) zone(w);
    w.Sample(16, 1, 22050, frames).Data(Constant(frames, 10000));
    return w.bytes;
  }
  std::vector<uint8_t> bankmemory;
  std::deque<std::vector<uint8_t>> patches;
  int bank = -1;
};

TEST_F(Voices, PlayMixStop) {
  const int index = Add(Tone());
  const int h = Play(index);
  ASSERT_GE(h, 0);
  EXPECT_EQ(h & ~31, 32);  // the first handle's serial
  EXPECT_EQ(SNDdone(h), 0);
  EXPECT_EQ(SNDgetvol(h), 127);
  const std::vector<int16_t> out = Mix(4);
  EXPECT_EQ(out[0], 2 * ((32512 * 10000) >> 16));
  EXPECT_EQ(out[1], out[0]);
  EXPECT_EQ(SNDstop(h), 0);
  EXPECT_EQ(SNDdone(h), 1);
  EXPECT_EQ(SNDvol(h, 10), -8);
  EXPECT_EQ(SNDstop(h), -8);
  EXPECT_EQ(SNDdone(-1), 1);
}

TEST_F(Voices, RemovingAPatchOrBankStopsItsVoices) {
  const int a = Add(Tone()), b = Add(Tone());
  const int ha = Play(a), hb = Play(b);
  ASSERT_GE(ha, 0);
  ASSERT_GE(hb, 0);
  EXPECT_EQ(SNDbankremovepat(bank, a), 0);
  EXPECT_EQ(SNDdone(ha), 1);
  EXPECT_EQ(SNDdone(hb), 0);
  EXPECT_EQ(cSNDbankremove(bank), 0);
  EXPECT_EQ(SNDdone(hb), 1);
  const std::vector<int16_t> out = Mix(512);  // past the stop fades: silence
  for (size_t i = 2 * 127; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
}

TEST_F(Voices, PlayRefusals) {
  const int index = Add(Tone());
  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  EXPECT_EQ(o.patch, -1);
  EXPECT_EQ(o.bank, -1);
  EXPECT_EQ(o.key, 60);
  EXPECT_EQ(o.pan, 64);
  EXPECT_EQ(SNDplay(&o), -8);  // bank -1
  o.bank = static_cast<int8_t>(bank);
  o.patch = 32;
  EXPECT_EQ(SNDplay(&o), -8);  // index equal to the count
  o.patch = index + 1;
  EXPECT_EQ(SNDplay(&o), -8);  // an empty entry
  o.patch = index;
  o.volume = 128;
  const platformtest::Abort a = platformtest::CatchAbort([&] { SNDplay(&o); });
  EXPECT_NE(a.text.find("iSNDcheckplayopts - VOL OF 128 OUT OF RANGE 0..127.\n"), std::string::npos);
  sndinitialised = 0;
  EXPECT_EQ(SNDplay(&o), -10);
  EXPECT_EQ(SNDstop(0), -14);
  EXPECT_EQ(SNDvol(0, 1), -10);
  sndinitialised = 1;
}

TEST_F(Voices, ZonesByVelocityAndKey) {
  PatchWriter w;
  w.Tag(1, 100, 1).Tag(2, 127, 1).Tag(12, 10, 1).Sample(16, 1, 22050, 100).Mark(0xFE);
  w.Tag(1, 0, 1).Tag(2, 99, 1).Tag(3, 60, 1).Tag(4, 60, 1).Tag(12, 120, 1).Sample(16, 1, 22050, 100);
  w.Data(Constant(100, 5));
  // The first zone's data offset was never filled: point it at the same data.
  std::vector<uint8_t> bytes = w.bytes;
  const size_t second = w.dataoffsettag;
  size_t first = 0;
  for (size_t i = 4; i + 6 < second; ++i)
    if (bytes[i] == 0x88 && bytes[i + 1] == 4) first = i + 2;
  ASSERT_GT(first, 0u);
  std::copy(bytes.begin() + second, bytes.begin() + second + 4, bytes.begin() + first);
  const int index = Add(bytes);
  struct Case {
    int velocity, key;
    int pan;  // the zone's pan tells which played; -1: none
  };
  for (Case c : {Case{99, 60, 120}, Case{99, 61, -1}, Case{110, 61, 10}, Case{100, 0, 10}}) {
    const int h = Play(index, c.velocity, c.key);
    if (c.pan < 0) {
      EXPECT_EQ(h, -9) << c.velocity << " " << c.key;
      continue;
    }
    ASSERT_GE(h, 0);
    EXPECT_EQ(sndvoiceview(h & 31).pan, c.pan);
    EXPECT_EQ(sndvoiceview(h & 31).group, 0);
    SNDstop(h);
  }
}

TEST_F(Voices, GroupsActTogether) {
  PatchWriter w;
  w.Tag(0, 1, 1).Sample(16, 1, 22050, 3000).Mark(0xFE).Sample(16, 1, 22050, 3000);
  w.Data(Constant(3000, 100));
  std::vector<uint8_t> bytes = w.bytes;
  size_t first = 0;
  for (size_t i = 4; i + 6 < w.dataoffsettag; ++i)
    if (bytes[i] == 0x88 && bytes[i + 1] == 4) first = i + 2;
  std::copy(bytes.begin() + w.dataoffsettag, bytes.begin() + w.dataoffsettag + 4, bytes.begin() + first);
  const int index = Add(bytes);
  const int h = Play(index);
  ASSERT_GE(h, 0);
  int members = 0, leaders = 0, group = sndvoiceview(h & 31).group;
  EXPECT_NE(group, 0);
  for (int c = 0; c < MIXCHANNELS; ++c) {
    const VoiceView v = sndvoiceview(c);
    if (v.state == 0) continue;
    ++members;
    leaders += v.leader;
    EXPECT_EQ(v.group, group);
    EXPECT_EQ(v.playtype, 1);
  }
  EXPECT_EQ(members, 2);
  EXPECT_EQ(leaders, 1);
  EXPECT_EQ(SNDvol(h, 64), 0);
  for (int c = 0; c < MIXCHANNELS; ++c) {
    if (sndvoiceview(c).state) {
      EXPECT_EQ(sndvoiceview(c).finalvolume, 64) << c;
    }
  }
  EXPECT_EQ(SNDtimeremaining(h), 100 * 3000 / 22050);
  EXPECT_EQ(SNDstop(h), 0);
  for (int c = 0; c < MIXCHANNELS; ++c) EXPECT_EQ(sndvoiceview(c).state, 0) << c;
}

TEST_F(Voices, StealingTheOldestOrNone) {
  for (int priority : {50, 110}) {
    const int index = Add(Tone([priority](PatchWriter& w) { w.Tag(6, priority, 1); }));
    int handles[MIXCHANNELS];
    for (int i = 0; i < MIXCHANNELS; ++i) {
      handles[i] = Play(index);
      ASSERT_GE(handles[i], 0);
      iSNDaudioserver();  // later voices are younger
    }
    const int h = Play(index);
    if (priority == 50) {
      ASSERT_GE(h, 0);
      EXPECT_EQ(h & 31, handles[0] & 31);  // the oldest went
      EXPECT_EQ(SNDdone(handles[0]), 1);   // its handle is stale now
      EXPECT_EQ(SNDdone(h), 0);
    } else {
      EXPECT_EQ(h, -9);
    }
    for (int c = 0; c < MIXCHANNELS; ++c) SNDstop(sndvoiceview(c).handle);
  }
}

TEST_F(Voices, FadeToMinusOneStopsAtTheNextTick) {
  const int h = Play(Add(Tone()));
  EXPECT_EQ(SNDautovol(h, 0, -1), 0);
  EXPECT_EQ(SNDdone(h), 0);
  iSNDaudioserver();
  EXPECT_EQ(SNDdone(h), 1);
  const platformtest::Abort a = platformtest::CatchAbort([&] { SNDautovol(h, 1, 128); });
  EXPECT_NE(a.text.find("SNDautovol - targetvol OF 128 OUT OF RANGE.\n"), std::string::npos);
}

TEST_F(Voices, FadeReachesItsTarget) {
  const int h = Play(Add(Tone()));
  EXPECT_EQ(SNDautovol(h, 4, 27), 0);
  for (int t = 0; t < 4; ++t) iSNDaudioserver();
  EXPECT_EQ(sndvoiceview(h & 31).volume, 27 * 65536);
  EXPECT_EQ(SNDgetvol(h), 27);
  iSNDaudioserver();
  EXPECT_EQ(SNDgetvol(h), 27);
}

TEST_F(Voices, EnvelopePointsThenStop) {
  PatchWriter w;
  // Start level 0; 4 ticks up to 100, then 2 ticks toward 50; the table sits after the sample data.
  w.Tag(28, 0, 1).Tag(9, 2, 1);
  const size_t envtag = w.bytes.size() + 2;
  w.Tag(25, 0).Sample(16, 1, 22050, 4000).Data(Constant(4000, 1000));
  const size_t table = w.bytes.size();
  const uint8_t points[16] = {0, 0, 0, 4, 0, 0, 0, 100, 0, 0, 0, 2, 0, 0, 0, 50};
  w.bytes.insert(w.bytes.end(), points, points + 16);
  const uint32_t offset = static_cast<uint32_t>(table - envtag);
  for (int i = 0; i < 4; ++i) w.bytes[envtag + i] = static_cast<uint8_t>(offset >> (24 - 8 * i));
  const int h = Play(Add(w.bytes));
  ASSERT_GE(h, 0);
  EXPECT_EQ(SNDgetvol(h), 0);
  for (int t = 0; t < 4; ++t) iSNDaudioserver();
  EXPECT_EQ(sndvoiceview(h & 31).envelopelevel, 100 * 65536);
  EXPECT_EQ(SNDgetvol(h), 100);
  iSNDaudioserver();
  iSNDaudioserver();
  EXPECT_EQ(SNDdone(h), 0);
  iSNDaudioserver();
  EXPECT_EQ(SNDdone(h), 1);  // past the last point
}

TEST_F(Voices, PanAroundTheZonePan) {
  for (int zonepan : {64, 100}) {
    const int h = Play(Add(Tone([zonepan](PatchWriter& w) { w.Tag(12, zonepan, 1); })));
    EXPECT_EQ(SNDpan(h, 0), 0);
    EXPECT_EQ(sndvoiceview(h & 31).pan, zonepan == 64 ? 0 : 36);
    SNDstop(h);
  }
  int left, right;
  iSNDpanvolumes(0, 100, &left, &right);
  EXPECT_EQ(left, 100);
  EXPECT_EQ(right, 0);
  iSNDpanvolumes(32, 100, &left, &right);
  EXPECT_EQ(right, 50);
  iSNDpanvolumes(127, 100, &left, &right);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(right, 100);
}

TEST_F(Voices, VolumeAndItsLimits) {
  const int h = Play(Add(Tone()));
  EXPECT_EQ(SNDvol(h, 64), 0);
  EXPECT_EQ(SNDgetvol(h), 64);
  const platformtest::Abort a = platformtest::CatchAbort([&] { SNDvol(h, 128); });
  EXPECT_TRUE(a.ended);
  EXPECT_NE(a.text.find("SNDvol - vol OF 128 IS OUT OR RANGE.\n"), std::string::npos);
}

TEST_F(Voices, TimeRemainingFollowsPitch) {
  const int up = Add(Tone([](PatchWriter& w) { w.Tag(16, 1200, 2); }, 22050));
  const int plain = Add(Tone(nullptr, 22050));
  const int h = Play(plain);
  EXPECT_EQ(SNDtimeremaining(h), 100);
  const int octave = Play(up);
  EXPECT_EQ(SNDtimeremaining(octave), 50);
  Mix(2205);
  EXPECT_EQ(SNDtimeremaining(h), 90);
}

TEST_F(Voices, PitchArithmetic) {
  EXPECT_NEAR(iSNDcentstoratio(1200), 2.0, 1e-5);
  EXPECT_NEAR(iSNDcentstoratio(-1200), 0.5, 1e-5);
  EXPECT_EQ(iSNDcentstoratio(0), 1.0);
  // Cents past the table's reach stay at its end instead of wrapping.
  EXPECT_EQ(iSNDcentstoratio(9000), iSNDcentstoratio(8191));
  EXPECT_EQ(iSNDcentstoratio(-20000), iSNDcentstoratio(-8191));
  EXPECT_EQ(iSNDcalcrate(11025, 22050, 0), 32768u);
  EXPECT_EQ(iSNDcalcrate(22050, 22050, 1200), 131072u);
}

std::vector<int32_t> handedback;

// Plays packets of one sample form (22,050 Hz 16-bit mono, compression as given) on a packet player and returns
// `frames` of output; every packet must come back, in order, within ten frames more.
std::vector<int16_t> PlayPackets(int compression,
                                 const std::vector<std::pair<const uint8_t*, size_t>>& packets, int frames,
                                 std::function<std::vector<int16_t>(int)> mix) {
  handedback.clear();
  std::vector<uint8_t> memory(static_cast<size_t>(SNDPKTPLAY_memsize(4)));
  const int player = SNDPKTPLAY_create(memory.data(), memory.size(), [](int, int32_t id) { handedback.push_back(id); });
  PatchWriter header;
  header.Sample(16, 1, 22050, 0, -1, -1, compression).Mark(0xFE);
  const uint8_t zone[12] = {0xFF, 0xFF, 0, 0, 0, 0, 50, 127, 64, 0, 0, 0};
  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  EXPECT_GE(SNDPKTPLAY_start(player, header.bytes.data() + 5, header.bytes.size() - 5, zone, &o), 0);
  std::vector<int32_t> ids;
  for (size_t p = 0; p < packets.size(); ++p) {
    SNDPACKET packet{0, static_cast<int32_t>(packets[p].second), 0, packets[p].first};
    EXPECT_EQ(SNDPKTPLAY_submit(player, &packet), static_cast<int32_t>(p));
    ids.push_back(static_cast<int32_t>(p));
  }
  std::vector<int16_t> out = mix(frames);
  mix(10);
  EXPECT_EQ(handedback, ids);
  SNDPKTPLAY_stop(player);
  SNDPKTPLAY_destroy(player);
  return out;
}

TEST_F(Voices, PacketPlayerFeedsItsVoice) {
  handedback.clear();
  std::vector<uint8_t> memory(static_cast<size_t>(SNDPKTPLAY_memsize(4)));
  const int player = SNDPKTPLAY_create(memory.data(), memory.size(), [](int, int32_t id) { handedback.push_back(id); });
  ASSERT_GE(player, 0);
  PatchWriter header;
  header.Sample(16, 1, 22050, 0).Mark(0xFE);
  const uint8_t zone[12] = {0xFF, 0xFF, 0, 0, 0, 0, 50, 127, 64, 0, 0, 0};
  SNDPLAYOPTS o;
  SNDplaysetdef(&o);
  const std::vector<uint8_t> first = Constant(100, 10000), second = Constant(100, 20000);
  SNDPACKET a{0, 200, 0, first.data()}, b{0, 200, 0, second.data()};
  const platformtest::Abort early = platformtest::CatchAbort([&] { SNDPKTPLAY_submit(player, &a); });
  EXPECT_NE(early.text.find("SNDPKTPLAY_submit - DO NOT SUBMIT PACKETS BEFORE STARTING.\n"), std::string::npos);

  const int h = SNDPKTPLAY_start(player, header.bytes.data() + 5, header.bytes.size() - 5, zone, &o);
  ASSERT_GE(h, 0);
  for (int16_t v : Mix(64)) ASSERT_EQ(v, 0);  // nothing queued: the voice waits
  EXPECT_EQ(SNDdone(h), 0);
  EXPECT_EQ(SNDPKTPLAY_submit(player, &a), 0);
  EXPECT_EQ(SNDPKTPLAY_submit(player, &b), 1);
  EXPECT_EQ(b.id, 1);
  SNDPACKET c{0, 200, 0, first.data()}, d = c;
  EXPECT_EQ(SNDPKTPLAY_submit(player, &c), 2);
  EXPECT_EQ(SNDPKTPLAY_submit(player, &d), -13);  // one slot stays free
  const int16_t low = 2 * ((32512 * 10000) >> 16), high = 2 * ((32512 * 20000) >> 16);
  std::vector<int16_t> out = Mix(150);
  EXPECT_EQ(out[2 * 99], low);
  EXPECT_EQ(out[2 * 100], high);
  EXPECT_TRUE(handedback.empty());
  out = Mix(100);
  EXPECT_EQ(handedback, std::vector<int32_t>{0});  // the first packet, once the mixer was past it
  EXPECT_EQ(out[2 * 49], high);
  EXPECT_EQ(out[2 * 50], low);
  EXPECT_EQ(SNDPKTPLAY_queued(player), 2);
  EXPECT_EQ(SNDPKTPLAY_stop(player), 0);
  EXPECT_EQ(handedback, (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(SNDdone(h), 1);
  EXPECT_EQ(SNDPKTPLAY_stop(player), -16);
  EXPECT_EQ(SNDPKTPLAY_destroy(player), 0);
}

// Compression-7 packets sound as their decoded samples would from PCM packets: the decoder's history runs on
// across packets, and bytes past a packet's last whole block are not read.
TEST_F(Voices, CompressionSevenPacketsPlayAsTheirDecodedSamples) {
  std::vector<uint8_t> blocks(45 + 3);
  for (int b = 0; b < 3; ++b) {
    blocks[15 * b] = static_cast<uint8_t>(((b + 1) << 4) | (4 + b));  // filter, shift
    for (int i = 1; i < 15; ++i) blocks[15 * b + i] = static_cast<uint8_t>(i * 37 + b * 101);
  }
  blocks[45] = blocks[46] = blocks[47] = 0x77;  // not a whole block
  Adpcm7Channel history[2] = {};
  std::vector<int16_t> decoded(84);
  for (int b = 0; b < 3; ++b) adpcm7blockint(blocks.data() + 15 * b, 1, history, decoded.data() + 28 * b);
  std::vector<uint8_t> pcm(decoded.size() * 2);
  std::memcpy(pcm.data(), decoded.data(), pcm.size());

  // Two packets: two blocks, then one block and the stray bytes (or the same frames as PCM).
  auto play = [&](bool compressed) {
    const uint8_t* data = compressed ? blocks.data() : pcm.data();
    const size_t first = compressed ? 30 : 112, second = compressed ? 18 : 56;
    return PlayPackets(compressed ? 7 : 0, {{data, first}, {data + first, second}}, 100,
                       [this](int n) { return Mix(n); });
  };
  const std::vector<int16_t> fromcompressed = play(true);
  EXPECT_EQ(fromcompressed, play(false));
  int loud = 0;
  for (int16_t v : fromcompressed) loud = std::max(loud, std::abs(static_cast<int>(v)));
  EXPECT_GT(loud, 1000);
}

// Compression-9 packets sound as their decoded samples would from PCM packets: a packet opening with 0 carries
// on the decoder's state, one opening with 1 starts it afresh on its header.
TEST_F(Voices, CompressionNinePacketsPlayAsTheirDecodedSamples) {
  soundtest::C9Buffers coded;
  coded.Add(true, 2, 0).Add(false, 1, 2).Add(true, 1, 3);
  const std::vector<int16_t> decoded = coded.Decoded();
  ASSERT_EQ(decoded.size(), 4u * C9FRAME);
  soundtest::C9Buffers restarted;
  restarted.Add(true, 2, 0).Add(true, 1, 2);
  const std::vector<int16_t> fresh = restarted.Decoded();
  EXPECT_FALSE(std::equal(fresh.begin() + 2 * C9FRAME, fresh.end(), decoded.begin() + 2 * C9FRAME));
  std::vector<uint8_t> pcm(decoded.size() * 2);
  std::memcpy(pcm.data(), decoded.data(), pcm.size());
  const size_t split[4] = {0, 2 * C9FRAME * 2, 3 * C9FRAME * 2, pcm.size()};

  auto play = [&](bool compressed) {
    std::vector<std::pair<const uint8_t*, size_t>> packets;
    for (size_t p = 0; p < 3; ++p)
      packets.emplace_back(compressed ? coded.buffers[p].data() : pcm.data() + split[p],
                           compressed ? coded.buffers[p].size() : split[p + 1] - split[p]);
    return PlayPackets(compressed ? 9 : 0, packets, 4 * C9FRAME + 50, [this](int n) { return Mix(n); });
  };
  const std::vector<int16_t> fromcompressed = play(true);
  EXPECT_EQ(fromcompressed, play(false));
  int loud = 0;
  for (int16_t v : fromcompressed) loud = std::max(loud, std::abs(static_cast<int>(v)));
  EXPECT_GT(loud, 50);
}

}  // namespace
