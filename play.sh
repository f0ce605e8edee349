#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts the most complete program there is.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
cmake --preset release
cmake --build --preset release

bin=build/release/bin
if [ -x "$bin/teebox" ]; then
  exec "$bin/teebox" "$@"
fi
# The game cannot start yet; this shows the platform library running on its own.
echo "The game itself does not start yet. Running platformdemo: the platform library's processor check,"
echo "timer and memory classes on this machine."
exec "$bin/platformdemo" "$@"
