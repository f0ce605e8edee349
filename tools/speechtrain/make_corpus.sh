#!/usr/bin/env bash
# Speaks the training sentences with several espeak-ng voices and turns each into 8000 Hz, 16-bit, mono,
# little-endian raw samples normalised to -1 dB peak (the game amplifies recordings the same way).
# Usage: tools/speechtrain/make_corpus.sh OUTDIR        (needs espeak-ng and sox: apt-get install espeak-ng sox)
set -euo pipefail
out=${1:?usage: make_corpus.sh OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
voices=(en en-us en+f2 en+m3 en-gb-x-rp en+f4 en-us+m7 de fr)
speeds=(145 175)
n=0
while IFS= read -r line; do
  [ -z "$line" ] && continue
  for v in "${voices[@]}"; do
    s=${speeds[$((n % ${#speeds[@]}))]}
    wav=$(mktemp --suffix=.wav)
    espeak-ng -v "$v" -s "$s" -w "$wav" "$line"
    sox "$wav" -r 8000 -b 16 -c 1 -e signed-integer -L -t raw "$out/$(printf '%03d' $n)-$v.raw" norm -1
    rm -f "$wav"
    n=$((n + 1))
  done
done < "$here/sentences.txt"
echo "$n clips in $out"
