#!/usr/bin/env bash
# Installs what is missing, builds the sanitized test configuration and runs every test, then the fuzz targets
# within their time budget (TEEBOX_FUZZ_BUDGET seconds, see scripts/fuzz.sh; TEEBOX_SKIP_FUZZ=1 skips them).
# Prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")"

timings=()
# stage NAME COMMAND...: runs the command and notes its time.
stage() {
  local name=$1 began=$SECONDS
  shift
  echo "== $name"
  "$@"
  local took=$((SECONDS - began))
  timings+=("$(printf '%-12s %4d s' "$name" "$took")")
  echo "== $name took ${took}s"
}
summary() {
  echo "== stage times"
  printf '   %s\n' "${timings[@]}"
}
trap summary EXIT

stage deps scripts/deps.sh clang libclang-rt-14-dev
stage configure cmake --preset test
stage build cmake --build --preset test
stage test ctest --preset test -j "$(nproc)"

# Short libFuzzer runs of every parser's fuzz target, when clang's fuzzer runtime is there.
if [ "${TEEBOX_SKIP_FUZZ:-0}" != 1 ] && command -v clang++ >/dev/null; then
  stage "fuzz build" scripts/fuzz.sh build
  stage "fuzz run" scripts/fuzz.sh run
fi
