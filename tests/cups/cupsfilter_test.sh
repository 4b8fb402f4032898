#!/bin/bash
# Print the sample label PDF through CUPS's own filter chain (pdftopdf,
# gstoraster) into the freshly built labelfilter with cupsfilter and the
# shipped PPD, and read the printer streams back command by command.
#
#   cupsfilter_test.sh LABELFILTER STREAM_CHECK
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

usage="usage: cupsfilter_test.sh LABELFILTER STREAM_CHECK"
LABELFILTER=${1:?$usage}
STREAM_CHECK=${2:?$usage}
PPD=$repo/ppd/thermal-label-203.ppd

require_programs cupsfilter cups-config gs

make_work_dir
trap 'remove_work_dir $?' EXIT

bash "$repo/scripts/sample_pdf.sh" "$WORK/label.pdf"

# 'print_label NAME [PPD] -- [cupsfilter options...]' - Run the sample label
# through the chain with scripts/print_with_cups.sh, which checks that
# labelfilter exited with no errors; the stream goes to NAME.prn, the job log
# to NAME.log and the stream's commands to NAME.txt.
print_label() {
  local name=$1 ppd=$PPD
  shift
  if [[ $1 != -- ]]; then
    ppd=$1
    shift
  fi
  shift
  timeout 120 bash "$repo/scripts/print_with_cups.sh" -f "$LABELFILTER" -p "$ppd" \
    "$WORK/label.pdf" "$WORK/$name.prn" "$@" ||
    fail "$name: labelfilter did not print through cupsfilter, see $WORK/$name.log"
  stream_tokens "$WORK/$name.prn" >"$WORK/$name.txt"
}

# 'header_field NAME FIELD' - A field of the page header labelfilter logged.
header_field() {
  sed -n "s/^ERROR: $2 = //p" "$WORK/$1.log" | head -n 1
}

# 'expect_page NAME WIDTH_BYTES' - One page: optional settings commands, then
# bands all WIDTH_BYTES wide and blank bands, then feeds and cuts; at least
# one band.
expect_page() {
  local name=$1 width=$2
  local shape
  shape=$(sed -E 's/^setting .*/S/; s/^band .*/B/; s/^blank$/K/; s/^feed .*/F/; s/^cut$/C/' \
    "$WORK/$name.txt" | tr -d '\n')
  [[ $shape =~ ^S*[BK]*B[BK]*F*C?$ ]] || fail "$name: commands out of order: $shape"
  expect_equal "$name: band widths" "$(grep '^band' "$WORK/$name.txt" | sort -u)" "band $width"
}

# ---- The PPD's defaults: 4 x 6 in, 8-bit gray, edge-aware, no settings --------
print_label default --
expect_equal "default: bits per pixel" "$(header_field default cupsBitsPerPixel)" 8
expect_equal "default: page width" "$(header_field default cupsWidth)" 812
expect_page default 104
expect_equal "default: settings commands" "$(grep -c '^setting' "$WORK/default.txt" || true)" 0
expect_equal "default: feeds and cuts" "$(grep -cE '^(feed|cut)' "$WORK/default.txt" || true)" 0
pass "PPD defaults: 812-dot gray page as 104-byte bands, no settings command, no feed, no cut"

# ---- Settings the PPD marks come first, in the printer's order ---------------
# A queue whose PPD marks Darkness 8 and PrintSpeed 4 (as 'lpadmin -o' would).
sed -e 's/^\*DefaultDarkness: Unknown$/*DefaultDarkness: 8/' \
  -e 's/^\*DefaultPrintSpeed: Unknown$/*DefaultPrintSpeed: 4/' "$PPD" >"$WORK/marked.ppd"
print_label marked "$WORK/marked.ppd" --
expect_page marked 104
expect_equal "marked: settings" "$(grep '^setting' "$WORK/marked.txt")" \
  "$(printf 'setting PrintSpeed 4\nsetting Darkness 8')"
# The job's choices override the PPD's; every setting, feed 13 and a cut per page.
print_label all_options "$WORK/marked.ppd" -- -o PrintPressure=3 -o PrintHeaderHeatingTemp=5 \
  -o PrintHeaderOffset=2 -o EdageEnhance=1 -o EdageEnhanceLength=4 -o PrintSpeed=6 \
  -o Darkness=12 -o UpwardOffset=7 -o FeedAfterPrinting=13 -o Cutting=1
expect_page all_options 104
expect_equal "all options: settings" "$(grep '^setting' "$WORK/all_options.txt")" "$(
  printf '%s\n' 'setting PrintPressure 3' 'setting PrintHeaderHeatingTemp 5' \
    'setting PrintHeaderOffset 2' 'setting EdageEnhance 1' 'setting EdageEnhanceLength 4' \
    'setting PrintSpeed 6' 'setting Darkness 12' 'setting UpwardOffset 7')"
# 720 dots of feed: 255 + 255 + 210, then the cut.
expect_equal "all options: end" "$(tail -n 4 "$WORK/all_options.txt")" \
  "$(printf 'feed 255\nfeed 255\nfeed 210\ncut')"
pass "settings: the PPD's marked ones first, the job's override them, all eight in order;" \
  "feed 720 dots and cut"

# ---- Feed and cut ---------------------------------------------------------------
print_label feed1 -- -o FeedAfterPrinting=1 -o Cutting=2
expect_equal "feed 1, job-end cut: end" "$(tail -n 2 "$WORK/feed1.txt")" "$(printf 'feed 30\ncut')"
print_label copies -- -n 3 -o FeedAfterPrinting=9 -o Cutting=1
expect_equal "3 copies: cuts" "$(grep -c '^cut$' "$WORK/copies.txt")" 3
expect_equal "3 copies: feeds" "$(grep -c '^feed' "$WORK/copies.txt")" 6
expect_equal "3 copies: feed of a copy" \
  "$(grep '^feed' "$WORK/copies.txt" | head -n 2 | tr '\n' ' ')" "feed 255 feed 15 "
pass "feed and cut: FeedAfterPrinting 1 and 9, Cutting 2 once per job, Cutting 1 once per copy"

# ---- Every "Dithering" choice gives its own valid stream ----------------------
for mode in None Threshold OrderDithering ErrorDiffusion; do
  print_label "dither_$mode" -- -o Dithering=$mode
  expect_page "dither_$mode" 104
done
cmp -s "$WORK/dither_None.prn" "$WORK/default.prn" ||
  fail "Dithering None and the PPD's default give different streams"
for a in None Threshold OrderDithering ErrorDiffusion; do
  for b in None Threshold OrderDithering ErrorDiffusion; do
    [[ $a < $b ]] || continue
    cmp -s "$WORK/dither_$a.prn" "$WORK/dither_$b.prn" &&
      fail "Dithering $a and $b give the same stream: the choice did not reach the filter"
  done
done
pass "Dithering None, Threshold, OrderDithering, ErrorDiffusion: four valid streams, all different"

# ---- Raster kinds -------------------------------------------------------------
print_label black -- -o ColorModel=Black
expect_equal "Black: bits per pixel" "$(header_field black cupsBitsPerPixel)" 1
expect_page black 102
print_label rgb -- -o ColorModel=RGB
expect_equal "RGB: bits per pixel" "$(header_field rgb cupsBitsPerPixel)" 24
expect_page rgb 104
pass "ColorModel Black (1-bit, 102-byte bands) and RGB (24-bit, 104-byte bands)"

# Unturned (Rotation180 is the printer's own direction), the 1-bit page's dots
# are exactly ghostscript's own 203 dpi rendering of the label.
print_label unturned -- -o ColorModel=Black -o Origin=Rotation180
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pbmraw -r203 -sOutputFile="$WORK/label.pbm" \
  "$WORK/label.pdf"
"$STREAM_CHECK" "$WORK/unturned.prn" --same-as "$WORK/label.pbm" >/dev/null ||
  fail "the printed dots differ from the label"
pass "ColorModel Black, Origin Rotation180: every dot of the stream is the label's"

# ---- Orientation, mirror, negative reach the filter --------------------------
print_label turned -- -o Origin=Rotation90 -o MirrorImage=True -o NegativeImage=True
grep -q "^ERROR: ProcessData nMirror=1$" "$WORK/turned.log" || fail "MirrorImage=True not seen"
grep -q "^ERROR: ProcessData nInverse=1 nDirection=1$" "$WORK/turned.log" ||
  fail "NegativeImage=True, Origin=Rotation90 not seen"
# A quarter turn: the bands are as wide as the page was long (1218 dots, in
# 32-dot words); in a negative nothing is white, so there are no blank bands.
expect_page turned 156
expect_equal "negative: blank bands" "$(grep -c '^blank$' "$WORK/turned.txt" || true)" 0
expect_equal "negative: bands" "$(grep -c '^band' "$WORK/turned.txt")" $(((812 + 23) / 24))
pass "Origin Rotation90, MirrorImage True, NegativeImage True: 812 rows as 34 bands of 156 bytes"

# ---- Every page size of the PPD, and a custom one ------------------------------
# Table-driven from the PPD itself: the raster is as wide as the size's width
# at 203 dpi, and the bands carry it in 32-dot words.
sizes=$(sed -n 's/^\*PaperDimension \([^/]*\)\/[^:]*: "\([0-9.]*\) \([0-9.]*\)"$/\1 \2 \3/p' "$PPD")
expect_equal "page sizes in the PPD" "$(wc -l <<<"$sizes")" 17
sizes+=$'\n'"Custom.60x40mm 170.08 113.39"
while read -r size width height; do
  name="size_${size//./_}"
  print_label "$name" -- -o PageSize="$size"
  dots=$(dots_for_points "$width")
  rows=$(dots_for_points "$height")
  expect_equal "$size: page width" "$(header_field "$name" cupsWidth)" "$dots"
  expect_equal "$size: page length" "$(header_field "$name" cupsHeight)" "$rows"
  expect_page "$name" "$(band_width_bytes "$dots" 8)"
  printf '  %-16s %4d x %4d dots, bands of %3d bytes\n' "$size" "$dots" "$rows" \
    "$(band_width_bytes "$dots" 8)"
done <<<"$sizes"
pass "17 page sizes and a custom size: raster width and band width match the size at 203 dpi"
