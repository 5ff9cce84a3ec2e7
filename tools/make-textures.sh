#!/usr/bin/env bash
# Makes the eight board textures in resources/textures: 512 x 512 felt, seamlessly tileable.
# Every blur wraps round the edges (-virtual-pixel tile), so the tile has no seam. The noise
# differs per seed; the JPEGs are generated once and committed.
# Needs ImageMagick 6. Usage: tools/make-textures.sh [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-resources/textures}"
convert=/usr/bin/convert
[ -x "$convert" ] || convert=convert
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# noise SEED BLUR LOW HIGH FILE: grey noise blurred with wrap-round, stretched into LOW..HIGH.
noise() {
  "$convert" -size 512x512 xc:gray50 -seed "$1" +noise Random -channel G -separate +channel \
    -virtual-pixel tile -blur "0x$2" -auto-level +level "$3","$4" "$5"
}

# felt NAME COLOUR SEED: fine fibres, a coarser nap and large soft clouds, laid over the colour.
felt() {
  local name=$1 colour=$2 seed=$3
  noise "$seed" 0.5 42% 58% "$work/f1.miff"
  noise $((seed + 101)) 1.6 44% 56% "$work/f2.miff"
  noise $((seed + 202)) 18 45% 55% "$work/f3.miff"
  "$convert" "$work/f1.miff" "$work/f2.miff" "$work/f3.miff" -evaluate-sequence mean \
    -auto-level +level 42%,58% "$work/h.miff"
  "$convert" -size 512x512 "xc:$colour" "$work/h.miff" -compose LinearLight -composite \
    -depth 8 -strip -quality 88 -sampling-factor 1x1 "$out/$name.jpg"
}

felt Brown  '#6b4a2e' 11
felt Blue0  '#1f3b73' 23
felt Red    '#7a1f1f' 37
felt Black1 '#2b2b2b' 41
felt Gray   '#6e6e6e' 53
felt Blue1  '#2f6a9a' 67
felt Purple '#4b2b63' 79
felt Black0 '#161616' 83
