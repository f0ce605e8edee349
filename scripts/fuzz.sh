#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs them from their corpora within one time budget.
# Usage: scripts/fuzz.sh [all|build|run]      (default all)
#        scripts/fuzz.sh SECONDS               (build, then every target for SECONDS)
#   TEEBOX_FUZZ_BUDGET  seconds for running all targets together (default 240): the targets run side by side,
#                       TEEBOX_FUZZ_JOBS at a time (default: the machine's cores), each for an equal share of
#                       what is left of the budget when it starts, at least TEEBOX_FUZZ_MIN (default 2) seconds.
# A crash keeps its input in build/fuzz/crashes/ and prints the fuzzer's report. Each target's summary gives its
# inputs a second, with a warning for one below 1,000.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
budget=${TEEBOX_FUZZ_BUDGET:-240}
minimum=${TEEBOX_FUZZ_MIN:-2}
jobs=${TEEBOX_FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}
[ "$jobs" -ge 1 ] || jobs=1
each=""
if [[ "$what" =~ ^[0-9]+$ ]]; then
  each=$what
  what=all
fi
case "$what" in all | build | run) ;; *) echo "usage: $0 [all|build|run|SECONDS]" >&2; exit 2 ;; esac

list=build/fuzz/fuzzers.txt
if [ "$what" != run ] || [ ! -f "$list" ]; then cmake --preset fuzz >/dev/null; fi
targets=$(cut -d'|' -f1 "$list" | grep -v '^$' || true)
[ -n "$targets" ] || { echo "fuzz: no fuzz targets yet"; exit 0; }
count=$(wc -w <<<"$targets")
if [ -n "$each" ]; then
  budget=$((each * count))
  [ "$each" -ge "$minimum" ] || minimum=$each
fi

if [ "$what" != run ]; then
  # Only the fuzz programs and what they link, not the whole test build a second time.
  # shellcheck disable=SC2086
  cmake --build --preset fuzz --target $targets
fi
[ "$what" = build ] && exit 0

crashes=build/fuzz/crashes
mkdir -p "$crashes"
[ "$jobs" -le "$count" ] || jobs=$count
[ -z "$each" ] || budget=$((each * ((count + jobs - 1) / jobs)))
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# One target from its corpus; its log and its exit status go to the results folder.
run_one() {
  local name=$1 corpus=$2 seconds=$3 work scratch status=0
  work=$(mktemp -d)
  # The targets' scratch files go to a folder of their own, removed however the target ends; in memory when the
  # machine has a memory file system, as targets that save files are bound by the disk otherwise.
  scratch=$( (mktemp -d -p /dev/shm 2>/dev/null) || mktemp -d)
  if [ -n "$corpus" ] && [ -d "$corpus" ]; then cp -r "$corpus"/. "$work"/; fi
  TMPDIR="$scratch" build/fuzz/bin/"$name" -max_total_time="$seconds" -print_final_stats=0 \
    -artifact_prefix="$crashes/$name-" "$work" >"$results/$name.log" 2>&1 || status=$?
  echo "$status" >"$results/$name.status"
  rm -rf "$work" "$scratch"
}

echo "fuzz: $count targets, $jobs at a time, within ${budget}s"
start=$SECONDS
running=0
left=$count
while IFS='|' read -r name corpus; do
  [ -n "$name" ] || continue
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  # The targets not yet started share what is left in rounds of `jobs`; a target's start-up and its corpus
  # take time too, which this keeps inside the budget.
  seconds=${each:-$(((budget - (SECONDS - start)) / ((left + jobs - 1) / jobs)))}
  [ "$seconds" -ge "$minimum" ] || seconds=$minimum
  left=$((left - 1))
  echo "fuzz: $name for ${seconds}s"
  run_one "$name" "$corpus" "$seconds" &
  running=$((running + 1))
done <"$list"
wait

# A target's summary line: its inputs and inputs a second, from libFuzzer's closing "Done N runs in S second(s)".
# A target below the rate that lets it reach depth in its share of the budget is named, but does not fail the run.
summary() {
  local name=$1 log=$2 last runs seconds rate
  last=$(grep -a -E '^Done [0-9]+ runs in [0-9]+ second' "$log" | tail -n 1 || true)
  if [ -z "$last" ]; then
    echo "fuzz: $name: $(tail -n 1 "$log")"
    return
  fi
  runs=$(cut -d' ' -f2 <<<"$last")
  seconds=$(cut -d' ' -f5 <<<"$last")
  rate=$((runs / (seconds > 0 ? seconds : 1)))
  echo "fuzz: $name: $runs inputs in ${seconds}s, $rate a second"
  if [ "$rate" -lt "$min_rate" ]; then
    echo "fuzz: warning: $name ran $rate inputs a second, below $min_rate" >&2
    slow=$((slow + 1))
  fi
}
min_rate=1000
slow=0

failed=0
while IFS='|' read -r name _; do
  [ -n "$name" ] || continue
  if [ "$(cat "$results/$name.status" 2>/dev/null || echo 1)" != 0 ]; then
    tail -n 80 "$results/$name.log"
    echo "fuzz: $name failed; its input is in $crashes/" >&2
    failed=$((failed + 1))
  else
    summary "$name" "$results/$name.log"
  fi
done <"$list"
[ "$failed" -eq 0 ] || exit 1
echo "fuzz: $count targets ran for $((SECONDS - start))s of a ${budget}s budget without a crash" \
  "($slow below $min_rate inputs a second)"
