#!/usr/bin/env bash
# Installs what is missing, builds the release configuration and starts the most complete program there is.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
cmake --preset release
cmake --build --preset release

bin=build/release/bin
demo=build/release/demo
# The game runs on a demo installation made by our own data generator, once there is one.
if [ -x "$bin/mkdemo" ]; then
  "$bin/mkdemo" "$demo"
fi
if [ -x "$bin/teebox" ] && [ -d "$demo" ]; then
  WINAPI_DRIVE_C="$PWD/$demo" exec "$bin/teebox" "$@"
fi

echo "The game program builds and starts, but there is no demo data to play on yet, so it would only report"
echo "missing files. Running platformdemo instead: the platform library's processor check, timer and memory"
echo "classes on this machine. (displaydemo in $bin shows the display in a window.)"
exec "$bin/platformdemo" "$@"
