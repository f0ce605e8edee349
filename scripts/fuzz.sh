#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs them from their corpora within one time budget.
# Usage: scripts/fuzz.sh [all|build|run]      (default all)
#        scripts/fuzz.sh SECONDS               (build, then every target for SECONDS)
#   TEEBOX_FUZZ_BUDGET  seconds for running all targets together (default 240); each target gets an equal share
#                       of what is left when its turn comes, at least TEEBOX_FUZZ_MIN (default 2) seconds.
# A crash keeps its input in build/fuzz/crashes/ and prints the fuzzer's report. Each target's inputs a second are
# printed with the load average, and the targets below 1,000 a second are listed at the end (not a failure: the
# rate depends on the machine's load).
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
budget=${TEEBOX_FUZZ_BUDGET:-240}
minimum=${TEEBOX_FUZZ_MIN:-2}
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
start=$SECONDS
left=$count
slow=""
while IFS='|' read -r name corpus; do
  [ -n "$name" ] || continue
  remaining=$((budget - (SECONDS - start)))
  seconds=$((remaining / left))
  [ "$seconds" -ge "$minimum" ] || seconds=$minimum
  left=$((left - 1))
  work=$(mktemp -d)
  log=$(mktemp)
  # The targets' scratch files go to a folder of their own, removed however the target ends; in memory when the
  # machine has a memory file system, as targets that save files are bound by the disk otherwise.
  scratch=$( (mktemp -d -p /dev/shm 2>/dev/null) || mktemp -d)
  if [ -n "$corpus" ] && [ -d "$corpus" ]; then cp -r "$corpus"/. "$work"/; fi
  echo "fuzz: $name for ${seconds}s"
  if ! TMPDIR="$scratch" build/fuzz/bin/"$name" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$crashes/$name-" \
      "$work" >"$log" 2>&1; then
    tail -n 80 "$log"
    echo "fuzz: $name failed; its input is in $crashes/" >&2
    rm -rf "$work" "$log" "$scratch"
    exit 1
  fi
  grep -v '^stat::' "$log" | tail -n 2
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "fuzz: $name ${rate:-?} inputs/s (load $(cut -d' ' -f1 /proc/loadavg))"
  if [ -z "$rate" ] || [ "$rate" -lt 1000 ]; then slow="$slow $name(${rate:-?})"; fi
  rm -rf "$work" "$log" "$scratch"
done <"$list"
echo "fuzz: $count targets ran for $((SECONDS - start))s of a ${budget}s budget without a crash"
[ -z "$slow" ] || echo "fuzz: below 1,000 inputs/s at this load:$slow"
