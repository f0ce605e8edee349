// Unpack throughput of the five pack codes in MB/s of unpacked data, beside zlib's inflate of the same data
// in the same run. The data mixes what the game packs: text, a smooth height grid, runs and noisy pixels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <random>
#include <string>

#include "datapack/datapack.h"
#include "platformlib/bigfile/bigfile.h"
#if TEEBOX_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

using datapack::Bytes;

const Bytes& sample() {
  static const Bytes data = [] {
    Bytes d;
    std::mt19937 rng(11);
    const std::string words[] = {"fairway ", "green ", "bunker ", "rough ", "par ", "birdie ", "wind ", "hole ",
                                 "tee ", "putt ", "\n", "slope ", "water ", "drive ", "iron ", "wedge "};
    while (d.size() < 64 * 1024) {
      const std::string& w = words[rng() % 16];
      d.insert(d.end(), w.begin(), w.end());
    }
    for (int y = 0; y < 256; ++y)  // a smooth height grid
      for (int x = 0; x < 256; ++x)
        d.push_back(static_cast<uint8_t>(128 + 60 * std::sin(x * 0.05) * std::cos(y * 0.04) + (rng() % 3)));
    for (int i = 0; i < 2000; ++i)  // spans of one colour
      d.insert(d.end(), 8 + rng() % 40, static_cast<uint8_t>(rng() % 16));
    while (d.size() < 256 * 1024) d.push_back(static_cast<uint8_t>(0x40 + rng() % 24));  // noisy pixels
    return d;
  }();
  return data;
}

const Bytes& packed(uint8_t code) {
  static std::map<uint8_t, Bytes> cache;
  auto it = cache.find(code);
  if (it == cache.end()) it = cache.emplace(code, datapack::pack(code, sample())).first;
  return it->second;
}

void BM_Unpack(benchmark::State& state) {
  const auto code = static_cast<uint8_t>(state.range(0));
  const Bytes& block = packed(code);
  Bytes out(sample().size());
  for (auto _ : state) {
    const uint32_t n = decompressn(block.data(), block.size(), out.data(), out.size());
    if (n != out.size()) state.SkipWithError("unpack failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(out.size()));
  state.counters["ratio%"] = 100.0 * static_cast<double>(block.size()) / static_cast<double>(out.size());
}
BENCHMARK(BM_Unpack)->Name("unpack_lz_0x10")->Arg(0x10);
BENCHMARK(BM_Unpack)->Name("unpack_huffman_0x30")->Arg(0x30);
BENCHMARK(BM_Unpack)->Name("unpack_huffman_0x32")->Arg(0x32);
BENCHMARK(BM_Unpack)->Name("unpack_huffman_0x34")->Arg(0x34);
BENCHMARK(BM_Unpack)->Name("unpack_pair_0x46")->Arg(0x46);
BENCHMARK(BM_Unpack)->Name("unpack_run_0x4A")->Arg(0x4A);

// Name lookup walks the directory in place: the cost of finding the last of 2000 entries.
void BM_LookupLast(benchmark::State& state) {
  const int form = static_cast<int>(state.range(0));
  std::vector<datapack::BigEntry> entries;
  for (int i = 0; i < 2000; ++i) entries.push_back({"HOLE" + std::to_string(i) + ".SHP", Bytes(16, 1)});
  const Bytes big = datapack::writebigfile(form, entries);
  for (auto _ : state) {
    uint32_t offset = 0, size = 0;
    benchmark::DoNotOptimize(findbigentryn(big.data(), big.size(), "hole1999.shp", 0, &offset, &size));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 2000);  // entries passed
}
BENCHMARK(BM_LookupLast)->Name("lookup_last_of_2000_form1")->Arg(1);
BENCHMARK(BM_LookupLast)->Name("lookup_last_of_2000_form2")->Arg(2);

#if TEEBOX_HAVE_ZLIB
void BM_Inflate(benchmark::State& state) {
  const Bytes& data = sample();
  uLongf packedsize = compressBound(static_cast<uLong>(data.size()));
  Bytes block(packedsize);
  compress2(block.data(), &packedsize, data.data(), static_cast<uLong>(data.size()), static_cast<int>(state.range(0)));
  block.resize(packedsize);
  Bytes out(data.size());
  for (auto _ : state) {
    uLongf n = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &n, block.data(), static_cast<uLong>(block.size())) != Z_OK) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(out.size()));
  state.counters["ratio%"] = 100.0 * static_cast<double>(block.size()) / static_cast<double>(out.size());
}
BENCHMARK(BM_Inflate)->Name("zlib_inflate_level6")->Arg(6);
BENCHMARK(BM_Inflate)->Name("zlib_inflate_level1")->Arg(1);
#endif

}  // namespace

BENCHMARK_MAIN();
