#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer and runs each for a few seconds from its corpus.
# Usage: scripts/fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}

cmake --preset fuzz >/dev/null
list=build/fuzz/fuzzers.txt
targets=$(cut -d'|' -f1 "$list" | grep -v '^$' || true)
[ -n "$targets" ] || { echo "fuzz: no fuzz targets yet"; exit 0; }
# shellcheck disable=SC2086
cmake --build --preset fuzz --target $targets
while IFS='|' read -r name corpus; do
  [ -n "$name" ] || continue
  work=$(mktemp -d)
  if [ -n "$corpus" ] && [ -d "$corpus" ]; then cp -r "$corpus"/. "$work"/; fi
  echo "fuzz: $name for ${seconds}s"
  build/fuzz/bin/"$name" -max_total_time="$seconds" -print_final_stats=0 "$work" 2>&1 | tail -n 3
  rm -rf "$work"
done < "$list"
echo "fuzz: all targets ran without a crash"
