#!/usr/bin/env bash
# Installs what is missing, builds the release configuration, makes the demo installation when it is missing or
# older than its generator, and starts the game on it in a window. Arguments go to the game (e.g. /NOINTRO).
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
cmake --preset release
cmake --build --preset release

bin="$PWD/build/release/bin"
demo="$PWD/build/release/demo"
# mkdemo writes the whole DATA folder and swaps it in at once; players, saved games and the log stay.
if [ ! -d "$demo/DATA" ] || [ "$bin/mkdemo" -nt "$demo/DATA" ]; then
  "$bin/mkdemo" "$demo"
  touch "$demo/DATA"
fi

cd "$demo"
export WINAPI_DRIVE_C="$demo"
# The game's disc (its music tracks) is in the CD-ROM drive.
export WINAPI_DRIVE_D="$demo/DISC"
export WINAPI_MODULE_FILE='C:\teebox.exe'
exec "$bin/teebox" "$@"
