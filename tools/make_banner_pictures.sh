#!/bin/sh
# Draws the banner's picture buttons (logo, help, home page, contact) in their five DPI sizes into
# resources/banner/. Needs ImageMagick; the PNGs are committed, so builds do not run this.
set -e
out="$(dirname "$0")/../resources/banner"
mkdir -p "$out"
font=DejaVu-Sans-Bold
draw() {  # name w h colour glyph size-factor
    name=$1; w=$2; h=$3; colour=$4; glyph=$5
    r=$((h / 5)); pt=$((h * $6 / 100))
    convert -size ${w}x${h} xc:white -fill "$colour" \
        -draw "roundrectangle 1,1 $((w - 2)),$((h - 2)) $r,$r" \
        -fill white -font $font -pointsize $pt -gravity center -annotate +0+0 "$glyph" "$out/$name.png"
}
i=0
for s in 209x70 262x87 318x105 368x122 422x140; do draw logo$i ${s%x*} ${s#*x} '#1E6FD9' Drenvik 45; i=$((i + 1)); done
i=0
for s in 52 64 80 96 112; do draw help$i $s $s '#00A800' '?' 70; i=$((i + 1)); done
i=0
for s in 69x52 85x64 106x80 128x96 148x112; do draw home$i ${s%x*} ${s#*x} '#FF8800' 'www' 38; i=$((i + 1)); done
i=0
for s in 43x51 54x64 68x80 82x96 96x112; do draw contact$i ${s%x*} ${s#*x} '#1296DB' 'QQ' 40; i=$((i + 1)); done
