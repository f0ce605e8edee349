// Trains the codebook-gain table of the speech codec with the generalised Lloyd algorithm.
//
// The encoder reports, for every subframe, its three unquantised codebook gains relative to the expected
// excitation level; those triples are the training vectors. Rows 0 and 1 of the table are fixed; the other
// 126 are trained. Because the encoder's excitation history depends on the table, the whole thing is
// repeated a few times, each pass encoding with the table of the pass before.
//
// Usage: speechtrain OUTPUT.cpp CORPUS_DIR... (raw 16-bit 8000 Hz mono clips; see make_corpus.sh)
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "encoder.h"
#include "speechframe.h"
#include "speechmetrics.h"

namespace {

using Vec = std::array<float, 3>;
using Table = std::vector<Vec>;
constexpr int kFixedRows = 2;
constexpr float kMinGain = 0.0926f, kMaxGain = 8.0f;

float Dist(const Vec& a, const Vec& b) {
  float d = 0;
  for (int i = 0; i < 3; ++i) d += (a[i] - b[i]) * (a[i] - b[i]);
  return d;
}

int Nearest(const Table& t, const Vec& v) {
  int best = 0;
  float bd = Dist(t[0], v);
  for (size_t r = 1; r < t.size(); ++r) {
    float d = Dist(t[r], v);
    if (d < bd) bd = d, best = static_cast<int>(r);
  }
  return best;
}

Vec Clamp(Vec v) {
  for (float& x : v) x = std::clamp(x, kMinGain, kMaxGain);
  return v;
}

// Lloyd iterations from table t; returns the mean distortion.
double Lloyd(Table& t, const std::vector<Vec>& data) {
  std::mt19937 rng(1);
  double prev = 1e300, distortion = 0;
  for (int iter = 0; iter < 100; ++iter) {
    std::vector<std::array<double, 3>> sum(t.size(), {0, 0, 0});
    std::vector<size_t> count(t.size(), 0);
    std::vector<double> cellDist(t.size(), 0);
    distortion = 0;
    for (const Vec& v : data) {
      int r = Nearest(t, v);
      float d = Dist(t[r], v);
      distortion += d;
      cellDist[r] += d;
      ++count[r];
      for (int i = 0; i < 3; ++i) sum[r][i] += v[i];
    }
    distortion /= static_cast<double>(data.size());
    for (size_t r = kFixedRows; r < t.size(); ++r) {
      if (count[r] == 0) {
        // An empty cell moves next to the centroid of the cell with the most distortion.
        size_t worst = static_cast<size_t>(std::max_element(cellDist.begin(), cellDist.end()) - cellDist.begin());
        Vec v = t[worst];
        for (float& x : v) x *= 1.0f + std::uniform_real_distribution<float>(-0.05f, 0.05f)(rng);
        t[r] = Clamp(v);
        cellDist[worst] /= 2;
        continue;
      }
      Vec c;
      for (int i = 0; i < 3; ++i) c[i] = static_cast<float>(sum[r][i] / static_cast<double>(count[r]));
      t[r] = Clamp(c);
    }
    if (prev - distortion < 1e-5 * prev) break;
    prev = distortion;
  }
  return distortion;
}

// k-means++ seeding of the free rows.
Table Seed(const std::vector<Vec>& data) {
  Table t = {Vec{0.12352f, 0.103207f, 0.092634f}, Vec{0.307778f, 0.24682f, 0.22187f}};
  std::mt19937 rng(2026);
  std::vector<float> d(data.size());
  while (t.size() < speech::kGainRows) {
    double total = 0;
    for (size_t i = 0; i < data.size(); ++i) total += d[i] = Dist(t[Nearest(t, data[i])], data[i]);
    double pick = std::uniform_real_distribution<double>(0, total)(rng), acc = 0;
    size_t chosen = data.size() - 1;
    for (size_t i = 0; i < data.size(); ++i)
      if ((acc += d[i]) >= pick) {
        chosen = i;
        break;
      }
    t.push_back(Clamp(data[chosen]));
  }
  return t;
}

// Gains past the table's top can only be coded as the top: train on what can be represented.
// The table the first pass encodes with, so that training does not depend on the table built in: the two
// fixed rows, a grid of 5 x 5 x 5 levels, and the top corner.
Table StartTable() {
  Table t = {Vec{0.12352f, 0.103207f, 0.092634f}, Vec{0.307778f, 0.24682f, 0.22187f}};
  const float levels[] = {0.1f, 0.3f, 0.8f, 2.0f, 5.0f};
  for (float a : levels)
    for (float b : levels)
      for (float c : levels) t.push_back(Vec{a, b, c});
  t.push_back(Vec{kMaxGain, kMaxGain, kMaxGain});
  return t;
}

void Collect(const float relative[3], void* context) {
  Vec v;
  for (int i = 0; i < 3; ++i) v[i] = std::min(relative[i], kMaxGain);
  static_cast<std::vector<Vec>*>(context)->push_back(v);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: speechtrain OUTPUT.cpp CORPUS_DIR...\n");
    return 2;
  }
  std::vector<std::filesystem::path> paths;
  for (int a = 2; a < argc; ++a)
    for (const auto& e : std::filesystem::directory_iterator(argv[a]))
      if (e.path().extension() == ".raw") paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  std::vector<std::vector<uint8_t>> clips;
  for (const auto& path : paths) {
      auto s = speech::ReadPcm16(path.c_str());
      std::vector<uint8_t> bytes(s.size() * 2);
      for (size_t i = 0; i < s.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(s[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(s[i]) >> 8);
      }
      clips.push_back(std::move(bytes));
    }
  std::printf("%zu clips\n", clips.size());

  Table table = StartTable(), encodeWith = table;
  std::vector<float> flat(speech::kGainRows * 3);
  for (int pass = 0; pass < 4; ++pass) {
    std::vector<Vec> data;
    speech::ResetEncoder();
    speech::SetEncoderGainObserver(Collect, &data);
    for (int r = 0; r < speech::kGainRows; ++r)
      for (int b = 0; b < 3; ++b) flat[r * 3 + b] = encodeWith[r][b];
    speech::SetEncoderGainTable(reinterpret_cast<const float(*)[3]>(flat.data()));
    std::vector<uint8_t> out;
    for (const auto& c : clips) {
      out.resize(speech::EncodedCapacity(static_cast<uint32_t>(c.size())));
      speech::EncodeFrames(c.data(), static_cast<uint32_t>(c.size()), out.data(), static_cast<uint32_t>(out.size()));
    }
    speech::SetEncoderGainObserver(nullptr, nullptr);
    for (int b = 0; b < 3; ++b) {
      std::vector<float> x;
      for (const Vec& v : data) x.push_back(v[b]);
      std::sort(x.begin(), x.end());
      std::printf("  codebook %d: percentiles 5/25/50/75/95/99: %.3f %.3f %.3f %.3f %.3f %.3f\n", b + 1,
                  x[x.size() * 5 / 100], x[x.size() / 4], x[x.size() / 2], x[x.size() * 3 / 4],
                  x[x.size() * 95 / 100], x[x.size() * 99 / 100]);
    }
    if (pass == 0) table = Seed(data);
    double d = Lloyd(table, data);
    encodeWith = table;
    std::printf("pass %d: %zu vectors, mean squared error %.5f\n", pass, data.size(), d);
  }
  speech::SetEncoderGainTable(nullptr);
  std::sort(table.begin() + kFixedRows, table.end(),
            [](const Vec& a, const Vec& b) { return a[0] + a[1] + a[2] < b[0] + b[1] + b[2]; });

  FILE* f = std::fopen(argv[1], "w");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(f,
               "// Codebook gains relative to the expected excitation level: rows of (codebook 1, 2, 3).\n"
               "// Written by tools/speechtrain (see docs/speech.md); rows 0 and 1 are fixed, the others trained.\n"
               "#include \"speechframe.h\"\n\nnamespace speech {\n\n"
               "const double kCodebookGainTable[kGainRows][3] = {\n");
  std::fprintf(f, "    {0.12352, 0.103207, 0.092634},\n    {0.307778, 0.24682, 0.22187},\n");
  for (size_t r = kFixedRows; r < table.size(); ++r)
    std::fprintf(f, "    {%.6g, %.6g, %.6g},\n", table[r][0], table[r][1], table[r][2]);
  std::fprintf(f, "};\n\n}  // namespace speech\n");
  std::fclose(f);
  return 0;
}
