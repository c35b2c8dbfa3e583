#!/usr/bin/env bash
# Draws the program's pictures into the folder given, as GIF files (and the program icon
# as an ICO file), with ImageMagick. Marks and pieces stand on white or on a colour of
# their own in the top-left pixel, which the program draws as transparent.
# Usage: make_pictures.sh CONVERT OUTPUT_FOLDER
set -euo pipefail
convert=$1
out=$2
mkdir -p "$out"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$font" ] && font_args=(-font "$font") || font_args=()

draw() {  # draw NAME WIDTHxHEIGHT BACKGROUND DRAWING...
  local name=$1 size=$2 background=$3
  shift 3
  "$convert" -size "$size" "xc:$background" "$@" +repage "gif:$out/$name.gif"
}

# A tile of two colours in diagonal stripes, for pattern brushes.
stripes() {  # stripes NAME SIZE PAPER INK
  local name=$1 n=$2 paper=$3 ink=$4
  draw "$name" "${n}x${n}" "$paper" -fill "$ink" -stroke none \
    -draw "polygon 0,0 $((n / 4)),0 0,$((n / 4))" \
    -draw "polygon $((n - 1)),$((n / 4 * 3)) $((n - 1)),$((n - 1)) $((n / 4 * 3)),$((n - 1))" \
    -draw "polygon $((n / 2)),0 $((n / 4 * 3)),0 0,$((n / 4 * 3)) 0,$((n / 2))" \
    -draw "polygon $((n - 1)),$((n / 2)) $((n - 1)),$((n / 4 * 3)) $((n / 4 * 3)),$((n - 1)) $((n / 2)),$((n - 1))"
}

# Background patterns: code and data (110), start page (120), log (130), source (140),
# watch (150), and the frame round the current panel (160).
draw 110 8x8 '#FFFFF8' -fill '#EEEEE0' -draw 'point 0,0' -draw 'point 4,4'
stripes 120 16 '#20406A' '#284C7A'
draw 130 8x8 '#F8FFF8' -fill '#E4F0E4' -draw 'point 0,0' -draw 'point 4,4'
draw 140 8x8 '#F8F8FF' -fill '#E4E4F4' -draw 'point 2,2' -draw 'point 6,6'
draw 150 8x8 '#FFF8F0' -fill '#F0E4D4' -draw 'line 0,7 7,0'
stripes 160 8 '#7088B0' '#D8E0F0'

# Marks of a code line: breakpoint (170), comment (180), the instruction pointer at a jump
# that will be taken (210) and at any other command (220), the start of a source line (230).
draw 170 16x16 white -fill '#D01010' -stroke '#700000' -draw 'circle 7,7 7,2' \
  -fill '#FF9090' -stroke none -draw 'circle 6,5 6,4'
draw 180 16x16 white -stroke '#006000' -draw 'line 3,2 3,14' -fill '#20B020' -stroke none \
  -draw 'polygon 4,2 13,5 4,8'
draw 210 16x16 white -fill '#20C020' -stroke '#005000' \
  -draw 'polygon 1,5 8,5 8,1 14,7 8,13 8,9 1,9' -draw 'line 11,10 11,15'
draw 220 16x16 white -fill '#FFD800' -stroke '#806000' \
  -draw 'polygon 1,5 8,5 8,1 14,7 8,13 8,9 1,9'
draw 230 16x16 white -fill '#3060D0' -stroke none -draw 'rectangle 2,5 5,10'

# Jump arrow pieces: ten rows 16 pixels high of a left cap, a middle to stretch and a
# right cap (10, 20 and 10 pixels). Rows 7, 8 and 9 are the first, a middle and the last
# line of an arrow; 3 rows up the same for a conditional jump (dashed), 6 rows up for the
# target line (with the head); row 0 is an arrow of one line.
arrow_rows=()
for row in 0 1 2 3 4 5 6 7 8 9; do
  colour='#2040A0' dash='' head=() corner=()
  [ "$row" -ge 4 ] && [ "$row" -le 6 ] && { colour='#208040'; dash='stroke-dasharray 3 2 '; }
  [ "$row" -ge 1 ] && [ "$row" -le 3 ] && head=(-draw 'polygon 0,8 5,4 5,12')
  case $((row % 3)) in
    1) corner=(-draw 'line 35,8 35,15') ;;   # first line: goes down
    2) corner=(-draw 'line 35,0 35,15') ;;   # in between: passes by
    0) corner=(-draw 'line 35,0 35,8') ;;    # last line: comes from above
  esac
  [ "$row" = 0 ] && corner=(-draw 'line 35,4 35,12' -draw 'line 20,4 35,4')
  arrow_rows+=("(" -size 40x16 xc:white -stroke "$colour" -fill "$colour"
               -draw "${dash}line 4,8 35,8" "${corner[@]}" -stroke none "${head[@]}" ")")
done
"$convert" "${arrow_rows[@]}" -append +repage "gif:$out/100.gif"

# Log filter lines (240): 16 by 16 images on the mask colour 0x707070.
draw 240 64x16 '#707070' -fill '#F0F0F0' -draw 'rectangle 2,2 13,13' \
  -fill '#D01010' -draw 'circle 23,7 23,2' -fill '#20B020' -draw 'polygon 34,2 45,7 34,13' \
  -fill '#FFD800' -draw 'rectangle 50,6 61,9'

# The input prompt's strip (260) and its small emblem (270).
"$convert" -size 8x257 gradient:'#FF8000'-'#FFE0A0' -rotate 90 +repage "gif:$out/260.gif"
draw 270 56x20 white -fill '#20406A' -draw 'roundrectangle 0,0 55,19 5,5' -fill white \
  "${font_args[@]}" -pointsize 12 -gravity center -annotate +0+0 'KQ'

# Map markers (350): two rows of 19 by 13, the code position and the data position, arrows
# from the map's left and right edges whose tips sit 6 pixels down; drawn without
# smoothing, so that no pale edge survives the white's transparency.
draw 350 19x26 white +antialias -fill '#2040A0' -stroke '#102050' \
  -draw 'polygon 0,4 9,4 9,0 18,6 9,12 9,8 0,8' \
  -fill '#208040' -stroke '#104020' -draw 'polygon 18,17 9,17 9,13 0,19 9,25 9,21 18,21'

# The navigator's list images: a comment (190, 12 by 12); modules and sources (290, 17 by
# 17: a source without its file, a source with it, a module); threads and processes (330,
# 13 by 16: plain, open to all access, the debuggee or the followed thread); windows (360,
# 10 by 10: hidden, visible). White is transparent.
draw 190 12x12 white -stroke '#006000' -draw 'line 2,1 2,11' -fill '#20B020' -stroke none \
  -draw 'polygon 3,1 10,4 3,7'
draw 290 51x17 white -fill '#F0F0F0' -stroke '#808080' -draw 'rectangle 3,1 13,15' \
  -fill '#F0F0FF' -stroke '#3060D0' -draw 'rectangle 20,1 30,15' \
  -draw 'line 22,5 28,5' -draw 'line 22,8 28,8' -draw 'line 22,11 26,11' \
  -fill '#D0D8F0' -stroke '#20406A' -draw 'rectangle 35,3 49,14' -fill '#20406A' \
  -draw 'rectangle 35,3 49,5'
draw 330 39x16 white -fill '#C0C0C0' -stroke '#606060' -draw 'rectangle 1,3 11,12' \
  -fill '#90D090' -stroke '#206020' -draw 'rectangle 14,3 24,12' \
  -fill '#FFD800' -stroke '#806000' -draw 'polygon 27,3 37,7 27,12'
draw 360 20x10 white -fill none -stroke '#808080' -draw 'rectangle 1,1 8,8' \
  -fill '#3060D0' -stroke '#20406A' -draw 'rectangle 11,1 18,8'

# The logo, the product name, the line under them and the copyright.
draw LOGO 96x96 white -fill '#20406A' -draw 'roundrectangle 4,4 91,91 16,16' \
  -fill none -stroke '#FFD800' -strokewidth 6 -draw 'circle 42,42 42,18' \
  -draw 'line 59,59 78,78' -stroke none -fill white "${font_args[@]}" -pointsize 26 \
  -gravity center -annotate -6-6 'KQ'
draw KAQUINDEBUGGER 320x44 white -fill '#20406A' "${font_args[@]}" -pointsize 30 \
  -gravity center -annotate +0+0 'Kaquin Debugger'
draw APP 320x20 white -fill '#404040' "${font_args[@]}" -pointsize 12 -gravity center \
  -annotate +0+0 'A debugger for 32-bit Windows programs'
draw COPYRIGHT 320x16 white -fill '#606060' "${font_args[@]}" -pointsize 10 \
  -gravity center -annotate +0+0 'Copyright (c) 2008 Kaquin'

# The program icon (1330), 32 and 16 pixels.
icon() {  # icon SIZE
  local n=$1
  "$convert" -size "${n}x${n}" xc:none -fill '#20406A' \
    -draw "roundrectangle 0,0 $((n - 1)),$((n - 1)) $((n / 5)),$((n / 5))" \
    -fill none -stroke '#FFD800' -strokewidth $((n / 10 + 1)) \
    -draw "circle $((n * 7 / 16)),$((n * 7 / 16)) $((n * 7 / 16)),$((n / 5))" \
    -draw "line $((n * 5 / 8)),$((n * 5 / 8)) $((n * 7 / 8)),$((n * 7 / 8))" \
    +repage "png:$out/icon$n.png"
}
icon 32
icon 16
"$convert" "$out/icon32.png" "$out/icon16.png" "ico:$out/kq.ico"

# The hand over links (cursor 670): a pointing hand whose hot spot is the fingertip. The
# icon file becomes a cursor file by its type word and, in place of the entry's planes
# and bit count, the hot spot.
"$convert" -size 32x32 xc:none -fill white -stroke black -draw 'roundrectangle 5,1 9,18 2,2' \
  -draw 'roundrectangle 9,8 13,18 2,2' -draw 'roundrectangle 13,9 17,18 2,2' \
  -draw 'roundrectangle 17,10 21,18 2,2' -draw 'polygon 0,13 5,12 5,18 21,18 21,20 19,30 8,30' \
  -stroke none -draw 'rectangle 6,17 20,22' +repage "ico:$out/hand.cur"
printf '\x02\x00' | dd of="$out/hand.cur" bs=1 seek=2 conv=notrunc status=none
printf '\x07\x00\x01\x00' | dd of="$out/hand.cur" bs=1 seek=10 conv=notrunc status=none
