#!/usr/bin/env bash
# Installs what is missing, builds the sanitized test configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh clang libclang-rt-14-dev
cmake --preset test
cmake --build --preset test
ctest --preset test -j "$(nproc)"

# Short libFuzzer runs of every parser's fuzz target, when clang's fuzzer runtime is there.
if [ "${TEEBOX_SKIP_FUZZ:-0}" != 1 ] && command -v clang++ >/dev/null; then
  scripts/fuzz.sh "${TEEBOX_FUZZ_SECONDS:-20}"
fi
