#!/bin/bash
# PNG and JPEG documents through the printer application's real server, with
# ipptool as the client: images that claim more pixels than the printer could
# print end their jobs at once, damaged ones end theirs as damaged, the server
# keeps serving, a label-sized image prints dot for dot, once per copy, and
# larger ones are fitted to a label or a roll (or fill it when asked).
#
#   image_test.sh APP STREAM_CHECK
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: image_test.sh APP STREAM_CHECK"
APP=${1:?$usage}
STREAM_CHECK=${2:?$usage}
require_programs ipptool gs /usr/bin/python3

make_work_dir
source "$here/server.sh"
start_label_printer

# 'expect_log LINE' - The job's log line, exactly (PAPPL moves a full log to
# log.O).
expect_log() {
  grep -qxF "[Job $JOB] $1" <(cat "$WORK"/log* | sed 's/^[A-Z] \[[^]]*\] //') ||
    fail "no log line '[Job $JOB] $1'"
}

images=$here/image_files.py
# ---- Images larger than the printer could print ---------------------------------
# 16384 pixels on a side at most, and no more pixels than 5 m of the widest
# label: 832 x 39960 = 33246720. Each file is small; decoded, each would take
# from 2 MB to 900 MB.
"$images" png "$WORK/tall.png" 1 1000000 8
"$images" png "$WORK/wide.png" 2000000 1 8
"$images" png "$WORK/huge.png" 30000 30000 1
"$images" png "$WORK/area.png" 16384 2030 1 # 33259520 pixels
"$images" png "$WORK/inside.png" 16384 2029 1 8192 # 33243136 pixels, the left half black
# The label: its 240 left columns black, the rest white, at the printer's
# 203 dpi, as a PNG, as ghostscript's JPEG and as the dots it must print.
"$images" png "$WORK/label.png" 479 319 8 240 203
"$images" png "$WORK/label1.png" 479 319 1 240 203
cat >"$WORK/label.ps" <<'EOF'
72 203 div dup scale
/row 479 string def
0 1 478 { row exch dup 240 lt { 0 } { 255 } ifelse put } for
479 319 scale 479 319 8 [479 0 0 -319 0 319] { row } image showpage
EOF
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=jpeggray -r203 -g479x319 \
  -sOutputFile="$WORK/label.jpg" "$WORK/label.ps" || fail "ghostscript's JPEG"
"$images" pbm "$WORK/label.pbm" 479 319 240
"$images" sof "$WORK/label.jpg" "$WORK/huge.jpg" 30000 30000

limits="the printer takes images of up to 16384 pixels on a side and 33246720 pixels in all."
for bomb in "tall.png|PNG|1 x 1000000" "wide.png|PNG|2000000 x 1" "huge.png|PNG|30000 x 30000" \
  "area.png|PNG|16384 x 2030" "huge.jpg|JPEG|30000 x 30000"; do
  IFS='|' read -r file type size <<<"$bomb"
  start=$(date +%s.%N)
  print_job "$file" "$WORK/$file" "image/${type,,}"
  WAIT_SECONDS=10 wait_job 8 document-unprintable-error
  took=$(seconds_since "$start")
  expect_log "The $type image is $size pixels; $limits"
  pass "$file ($size, $(stat -c %s "$WORK/$file") bytes): aborted in $took s, document-unprintable-error"
done
kill -0 "$SERVER_PID" 2>/dev/null || fail "the server died"
! grep -q "libpng error" "$WORK/server.out" || fail "libpng wrote errors to the server's output"
# Such a job stays processing, its reason set, for half a second before it
# ends, so that CUPS's ipp backend can see it end (cups_client_test.sh).
print_job held.png "$WORK/huge.png" image/png
printf '%s\n' "{ OPERATION Get-Job-Attributes" "GROUP operation-attributes-tag" \
  "ATTR charset attributes-charset utf-8" "ATTR naturalLanguage attributes-natural-language en" \
  "ATTR uri printer-uri \$uri" "ATTR integer job-id \$job" "STATUS successful-ok" \
  "DISPLAY job-state DISPLAY job-state-reasons }" >"$WORK/job-state.test"
for _ in $(seq 250); do
  seen=$(ipptool -t -d job="$JOB" "$PRINTER" "$WORK/job-state.test")
  grep -q "document-unprintable-error" <<<"$seen" && break
  sleep 0.02
done
expect_equal "held.png: the job's state once its reason is set" \
  "$(sed -n 's/.*job-state (enum) = //p' <<<"$seen")" processing
WAIT_SECONDS=10 wait_job 8 document-unprintable-error
pass "held.png: processing with document-unprintable-error, then aborted"

# ---- Damaged images -----------------------------------------------------------------
head -c 400 "$WORK/label.png" >"$WORK/cut.png"
# The image data's CRC changed: its last byte is the one before the 12 of IEND.
/usr/bin/python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[-13] ^= 1
open(sys.argv[2], "wb").write(d)' "$WORK/label.png" "$WORK/crc.png"
# The JPEG without its last 1000 bytes of image data.
head -c $(($(stat -c %s "$WORK/label.jpg") - 1000)) "$WORK/label.jpg" >"$WORK/cut.jpg"
for bad in "cut.png|PNG|Read Error" "crc.png|PNG|IDAT: CRC error" \
  "image_test.sh|PNG|Not a PNG file" "cut.jpg|JPEG|Premature end of JPEG file"; do
  IFS='|' read -r file type error <<<"$bad"
  [[ $file == *.sh ]] && path=$here/$file || path=$WORK/$file
  print_job "$file" "$path" "image/${type,,}"
  WAIT_SECONDS=10 wait_job 8 document-format-error
  expect_log "The $type document is damaged: $error."
  pass "$file as $type: aborted, document-format-error, '$error'"
done

# ---- Images the printer prints, after the others ----------------------------------
# The label at 203 dpi is printed as it is, one pixel a dot: with the
# threshold conversion and the printer's own direction (rotation-180), each
# dot is the picture's, also from a 1-bit PNG. A 60 x 40 mm page is 479
# dots, in bands of whole 32-dot words: 60 bytes.
for image in label.png:png label1.png:png label.jpg:jpeg; do
  file=${image%:*}
  print_job "$file" "$WORK/$file" "image/${image#*:}" keyword:gray-conversion=threshold \
    keyword:label-origin=rotation-180
  WAIT_SECONDS=20 wait_job 9 job-completed-successfully
  stream=$WORK/out/$file.prn
  [[ -s $stream ]] || fail "$file: no stream in $WORK/out: $(ls "$WORK/out")"
  "$STREAM_CHECK" "$stream" --same-as "$WORK/label.pbm" >"$WORK/$file.txt" ||
    fail "$file: the printed dots are not the picture's"
  expect_equal "$file: band widths" "$(sed -n 's/^band //p' "$WORK/$file.txt" | sort -u)" 60
  pass "$file: completed, every dot the picture's, bands of 60 bytes"
done
# Two copies are the label twice.
print_job copies.png "$WORK/label.png" image/png keyword:gray-conversion=threshold \
  keyword:label-origin=rotation-180 integer:copies=2
WAIT_SECONDS=20 wait_job 9 job-completed-successfully
cmp -s <(cat "$WORK/out/label.png.prn" "$WORK/out/label.png.prn") "$WORK/out/copies.png.prn" ||
  fail "copies=2: not the label twice ($(stat -c %s "$WORK/out/copies.png.prn") bytes)"
pass "copies.png: two copies, the label twice"

# ---- Images laid out on the page ------------------------------------------------
# Each picture is 203 dpi and twice the size it prints at, its black
# rectangles where the page's are at half the size, and the page's dots
# are checked one by one (threshold, rotation-180 as above). A page is
# width x height dots: mm x 203 / 25.4, cut to whole dots.
#   fit-label: a tall picture, 400 x 638, on a 40 x 30 mm label (319 x 239),
#     by default: turned a quarter counter-clockwise (638 x 400) to lie the
#     way the label does, fitted to its width (319 x 200) and centred (19
#     rows above): its top rows make the left edge, its bottom left corner
#     the bottom right one.
#   fit-roll: 1152 x 1400 on the 80 mm roll's 100 mm page (576 x 799) with
#     print-scaling=auto: 576 x 700, 49 rows down, both sides whole.
#   fill-roll: 1400 x 1598 on the same page with print-scaling=fill:
#     700 x 799, 62 dots cut off on the left and on the right.
"$images" png "$WORK/fit-label.png" 400 638 8 0 203 0,0,400,40 0,538,100,100
"$images" pbm "$WORK/fit-label.pbm" 319 239 0 0,19,20,200 269,169,50,50
"$images" png "$WORK/fit-roll.png" 1152 1400 8 0 203 0,0,100,1400 1052,0,100,1400 0,1300,1152,100
"$images" pbm "$WORK/fit-roll.pbm" 576 799 0 0,49,50,700 526,49,50,700 0,699,576,50
"$images" png "$WORK/fill-roll.png" 1400 1598 8 0 203 0,0,200,1598 1200,0,200,1598 0,0,1400,100
"$images" pbm "$WORK/fill-roll.pbm" 576 799 0 0,0,38,799 538,0,38,799 0,0,576,50
for layout in "fit-label|om_40x30-label_40x30mm|" "fit-roll|om_80mm-roll_72.1x100mm|auto" \
  "fill-roll|om_80mm-roll_72.1x100mm|fill"; do
  IFS='|' read -r name media scaling <<<"$layout"
  MEDIA=$media print_job "$name" "$WORK/$name.png" image/png keyword:gray-conversion=threshold \
    keyword:label-origin=rotation-180 ${scaling:+keyword:print-scaling=$scaling}
  WAIT_SECONDS=20 wait_job 9 job-completed-successfully
  "$STREAM_CHECK" "$WORK/out/$name.prn" --same-as "$WORK/$name.pbm" >"$WORK/$name.txt" ||
    fail "$name: the printed dots are not the picture's at its place and size"
  pass "$name on $media${scaling:+, print-scaling=$scaling}: every dot where the layout puts it"
done

# Just inside the limits: 16384 x 2029 pixels.
start=$(date +%s.%N)
print_job inside.png "$WORK/inside.png" image/png
WAIT_SECONDS=30 wait_job 9 job-completed-successfully
took=$(seconds_since "$start")
expect_equal "inside.png: band widths" \
  "$(stream_tokens "$WORK/out/inside.png.prn" | sed -n 's/^band //p' | sort -u)" 60
pass "inside.png (16384 x 2029): printed in $took s, bands of 60 bytes"
