// Ours against a peer library in one run. Benchmarks are named "<workload>/ours" and "<workload>/peer"; the
// program repeats every benchmark (9 times unless --benchmark_repetitions says otherwise) in random interleaving,
// so both meet the same load on the machine, and closes with a table of speed ratios: the peer's CPU time over
// ours, from the fastest repetitions of each and from their medians (1.0 = as fast as the peer, above is
// faster). Run it on one core: taskset -c N program.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace benchversus {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        times_[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-44s %10s %10s %6s\n", "workload (peer time / our time)", "minimum", "median", "runs");
    for (const auto& [name, ours] : times_) {
      const std::string suffix = "/ours";
      if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        continue;
      const std::string workload = name.substr(0, name.size() - suffix.size());
      const auto peer = times_.find(workload + "/peer");
      if (peer == times_.end()) continue;
      std::printf("%-44s %10.2f %10.2f %6zu\n", workload.c_str(), Min(peer->second) / Min(ours),
                  Median(peer->second) / Median(ours), std::min(ours.size(), peer->second.size()));
    }
    std::fflush(stdout);
  }

 private:
  static double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
  static double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  std::map<std::string, std::vector<double>> times_;
};

// BENCHMARK_MAIN() with the repetitions, the interleaving and the ratio table.
inline int Main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  bool repetitions = false;
  for (char* a : args) repetitions |= std::strncmp(a, "--benchmark_repetitions", 23) == 0;
  static char nine[] = "--benchmark_repetitions=9", interleave[] = "--benchmark_enable_random_interleaving=true";
  if (!repetitions) args.push_back(nine);
  args.push_back(interleave);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace benchversus
