#!/usr/bin/env bash
# Makes the committed test clip tests/fixtures/speech/clip.raw: a sentence that is not in the training set,
# spoken by espeak-ng, resampled to 8000 Hz 16-bit mono little-endian raw, normalised to -1 dB peak.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
wav=$(mktemp --suffix=.wav)
espeak-ng -v en-us -s 165 -w "$wav" "Your ball is on the fringe, about twelve feet from the hole."
sox "$wav" -r 8000 -b 16 -c 1 -e signed-integer -L -t raw "$root/tests/fixtures/speech/clip.raw" norm -1
rm -f "$wav"
