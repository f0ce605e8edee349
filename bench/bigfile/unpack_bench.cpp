// Unpack throughput of the five pack codes in MB/s of unpacked data, and the LZ and Huffman codes against the
// libraries a user would pick instead, in the same run: zstd level 3 and lz4 for LZ, zlib's inflate for
// Huffman, on mixed inputs of 256 KiB and 4 MiB (text, a 16-bit picture, random bytes) and on the files of a demo
// course hole. Closes with the ratio table of bench/support/versus.h.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>
#include <random>
#include <string>

#include "datapack/datapack.h"
#include "holes.h"
#include "holewriter.h"
#include "platformlib/bigfile/bigfile.h"
#include "versus.h"
#if TEEBOX_HAVE_ZLIB
#include <zlib.h>
#endif
#if TEEBOX_HAVE_PEERS
#include <lz4.h>
#include <zstd.h>
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


// Text, a 16-bit picture (a smooth gradient with a little noise) and random bytes, a third each.
const Bytes& mixed(size_t size) {
  static std::map<size_t, Bytes> cache;
  auto it = cache.find(size);
  if (it != cache.end()) return it->second;
  Bytes d;
  std::mt19937 rng(static_cast<uint32_t>(size));
  const std::string words[] = {"fairway ", "green ", "bunker ", "rough ", "par ", "birdie ", "wind ", "hole ",
                               "tee ", "putt ", "\n", "slope ", "water ", "drive ", "iron ", "wedge "};
  while (d.size() < size / 3) {
    const std::string& w = words[rng() % 16];
    d.insert(d.end(), w.begin(), w.end());
  }
  const size_t width = 256;
  for (size_t i = 0; d.size() < 2 * size / 3; ++i) {
    const size_t x = i % width, y = i / width;
    const auto r = static_cast<uint16_t>((x / 8 + (rng() % 2)) & 31), g = static_cast<uint16_t>((y / 4) & 63);
    const uint16_t pixel = static_cast<uint16_t>(r << 11 | g << 5 | ((x + y) / 16 & 31));
    d.push_back(static_cast<uint8_t>(pixel)), d.push_back(static_cast<uint8_t>(pixel >> 8));
  }
  while (d.size() < size) d.push_back(static_cast<uint8_t>(rng()));
  return cache.emplace(size, std::move(d)).first->second;
}

// A workload's inputs: one mixed block of 256 KiB or 4 MiB, or the files of a demo course hole ("course"), as the
// generator makes them before it packs them into the hole's archive.
using Inputs = std::vector<Bytes>;

const Inputs& courseholefiles() {
  static const Inputs files = [] {
    Inputs f;
    for (const holewriter::HoleFile& file : holewriter::EncodeHole(mkdemo::GenerateHole(mkdemo::SedgefenPlans()[1]).terrain))
      if (!file.bytes.empty()) f.push_back(file.bytes);
    return f;
  }();
  return files;
}

const Inputs& inputs(const std::string& label) {
  static std::map<std::string, Inputs> cache;
  auto it = cache.find(label);
  if (it != cache.end()) return it->second;
  Inputs in = label == "course" ? courseholefiles() : Inputs{mixed(label == "4M" ? size_t{4} << 20 : size_t{256} << 10)};
  return cache.emplace(label, std::move(in)).first->second;
}

size_t totalsize(const Inputs& in) {
  size_t n = 0;
  for (const Bytes& b : in) n += b.size();
  return n;
}

// Each input packed once, however often its benchmark is repeated.
const Inputs& packedinputs(uint8_t code, const std::string& label) {
  static std::map<std::pair<uint8_t, std::string>, Inputs> cache;
  auto it = cache.find({code, label});
  if (it != cache.end()) return it->second;
  Inputs blocks;
  for (const Bytes& b : inputs(label)) blocks.push_back(datapack::pack(code, b));
  return cache.emplace(std::pair{code, label}, std::move(blocks)).first->second;
}

// Every input unpacked, one after the other, by `unpackone(block, out)` (false on a failure).
template <typename Unpack>
void Run(benchmark::State& state, const Inputs& data, const Inputs& blocks, Unpack unpackone) {
  Inputs out;
  for (const Bytes& b : data) out.emplace_back(b.size());
  for (auto _ : state) {
    for (size_t i = 0; i < blocks.size(); ++i)
      if (!unpackone(blocks[i], out[i])) state.SkipWithError("unpack failed");
    benchmark::DoNotOptimize(out.data());
  }
  if (out != data) state.SkipWithError("unpacked bytes differ");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(totalsize(data)));
}

void Ours(benchmark::State& state, uint8_t code, const std::string& label) {
  Run(state, inputs(label), packedinputs(code, label), [](const Bytes& block, Bytes& out) {
    return decompressn(block.data(), block.size(), out.data(), out.size()) == out.size();
  });
}

// The hole's archive as the generator writes it, every packed entry under the code that made it smallest.
void BM_CourseArchive(benchmark::State& state) {
  const mkdemo::GeneratedHole hole = mkdemo::GenerateHole(mkdemo::SedgefenPlans()[1]);
  Inputs blocks, data;
  for (const datapack::BigEntry& entry : mkdemo::HoleArchiveEntries(2, hole.terrain, "HOLE 2")) {
    if (const uint32_t unpacked = getunpacksizen(entry.data.data(), entry.data.size())) {
      blocks.push_back(entry.data);
      data.emplace_back(unpacked);
      decompressn(entry.data.data(), entry.data.size(), data.back().data(), unpacked);
    }
  }
  if (blocks.empty()) state.SkipWithError("no packed entries");
  Run(state, data, blocks, [](const Bytes& block, Bytes& out) {
    return decompressn(block.data(), block.size(), out.data(), out.size()) == out.size();
  });
}
BENCHMARK(BM_CourseArchive)->Name("unpack_course_hole_archive");

#if TEEBOX_HAVE_PEERS
void Zstd(benchmark::State& state, const std::string& label) {
  const Inputs& data = inputs(label);
  Inputs blocks;
  for (const Bytes& d : data) {
    Bytes block(ZSTD_compressBound(d.size()));
    block.resize(ZSTD_compress(block.data(), block.size(), d.data(), d.size(), 3));
    blocks.push_back(std::move(block));
  }
  ZSTD_DCtx* context = ZSTD_createDCtx();
  Run(state, data, blocks, [context](const Bytes& block, Bytes& out) {
    return ZSTD_decompressDCtx(context, out.data(), out.size(), block.data(), block.size()) == out.size();
  });
  ZSTD_freeDCtx(context);
}

void Lz4(benchmark::State& state, const std::string& label) {
  const Inputs& data = inputs(label);
  Inputs blocks;
  for (const Bytes& d : data) {
    Bytes block(static_cast<size_t>(LZ4_compressBound(static_cast<int>(d.size()))));
    block.resize(static_cast<size_t>(LZ4_compress_default(reinterpret_cast<const char*>(d.data()), reinterpret_cast<char*>(block.data()),
                                                          static_cast<int>(d.size()), static_cast<int>(block.size()))));
    blocks.push_back(std::move(block));
  }
  Run(state, data, blocks, [](const Bytes& block, Bytes& out) {
    return LZ4_decompress_safe(reinterpret_cast<const char*>(block.data()), reinterpret_cast<char*>(out.data()),
                               static_cast<int>(block.size()), static_cast<int>(out.size())) == static_cast<int>(out.size());
  });
}

#endif

#if TEEBOX_HAVE_ZLIB
void InflateOf(benchmark::State& state, const Bytes& data, int level) {
  uLongf packedsize = compressBound(static_cast<uLong>(data.size()));
  Bytes block(packedsize);
  compress2(block.data(), &packedsize, data.data(), static_cast<uLong>(data.size()), level);
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
void Inflate(benchmark::State& state, const std::string& label) {
  const Inputs& data = inputs(label);
  Inputs blocks;
  for (const Bytes& d : data) {
    uLongf packedsize = compressBound(static_cast<uLong>(d.size()));
    Bytes block(packedsize);
    compress2(block.data(), &packedsize, d.data(), static_cast<uLong>(d.size()), 6);
    block.resize(packedsize);
    blocks.push_back(std::move(block));
  }
  Run(state, data, blocks, [](const Bytes& block, Bytes& out) {
    uLongf n = static_cast<uLongf>(out.size());
    return uncompress(out.data(), &n, block.data(), static_cast<uLong>(block.size())) == Z_OK && n == out.size();
  });
}
void BM_Inflate(benchmark::State& state) { InflateOf(state, sample(), static_cast<int>(state.range(0))); }
BENCHMARK(BM_Inflate)->Name("zlib_inflate_level6")->Arg(6);
BENCHMARK(BM_Inflate)->Name("zlib_inflate_level1")->Arg(1);
#endif

const bool kVersus = [] {
  std::vector<std::string> labels = {"256K", "course"};
#ifdef NDEBUG  // packing 4 MiB takes minutes in the sanitized build, whose smoke run only checks the program
  labels.emplace_back("4M");
#endif
  for (const std::string& label : labels) {
    const std::string at = "_" + label;
    benchmark::RegisterBenchmark(("lz_vs_zstd3" + at + "/ours").c_str(), Ours, 0x10, label);
    benchmark::RegisterBenchmark(("lz_vs_lz4" + at + "/ours").c_str(), Ours, 0x10, label);
    for (uint8_t code : {0x30, 0x32, 0x34})
      benchmark::RegisterBenchmark(("huffman_" + std::to_string(code - 0x30) + "_vs_inflate" + at + "/ours").c_str(), Ours, code, label);
#if TEEBOX_HAVE_PEERS
    benchmark::RegisterBenchmark(("lz_vs_zstd3" + at + "/peer").c_str(), Zstd, label);
    benchmark::RegisterBenchmark(("lz_vs_lz4" + at + "/peer").c_str(), Lz4, label);
#endif
#if TEEBOX_HAVE_ZLIB
    for (uint8_t code : {0x30, 0x32, 0x34})
      benchmark::RegisterBenchmark(("huffman_" + std::to_string(code - 0x30) + "_vs_inflate" + at + "/peer").c_str(), Inflate, label);
#endif
  }
  return true;
}();

}  // namespace

int main(int argc, char** argv) { return benchversus::Main(argc, argv); }
