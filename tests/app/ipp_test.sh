#!/bin/bash
# The printer application through its real server, with ipptool as the
# client: the printer's attributes, jobs of PWG raster whose printer streams
# must be byte for byte those labelfilter writes for the same page as CUPS
# raster, vendor attributes per job, bad documents, a restart.
#
#   ipp_test.sh APP LABELFILTER LABEL_RASTERS STREAM_CHECK STREAM_COMPARE
#
# The server runs on 127.0.0.1 on a free port with its own spool, log, state
# file and socket in a work folder, and is stopped by its PID.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: ipp_test.sh APP LABELFILTER LABEL_RASTERS STREAM_CHECK STREAM_COMPARE"
APP=${1:?$usage}
LABELFILTER=${2:?$usage}
LABEL_RASTERS=${3:?$usage}
STREAM_CHECK=${4:?$usage}
STREAM_COMPARE=${5:?$usage}
PPD_FILE=$repo/ppd/thermal-label-203.ppd
require_programs ipptool /usr/bin/python3

# In the sanitizer build: the leaks PAPPL itself leaves are not the app's.
make_work_dir
source "$here/server.sh"
DEVICE_PID=
trap 'status=$?; [[ -z $DEVICE_PID ]] || kill "$DEVICE_PID"; stop_server; remove_work_dir $status; exit $status' EXIT
trap 'exit 1' INT TERM

start_server
add_printer Label "file://$WORK/out"
PRINTER=ipp://127.0.0.1:$PORT/ipp/print/Label

# ---- The printer's attributes ----------------------------------------------
ipptool -q -d darkness=0 -d pressure=printer-setting "$PRINTER" "$here/printer-attributes.test" ||
  fail "get-printer-attributes: $(ipptool -t -d darkness=0 -d pressure=printer-setting "$PRINTER" "$here/printer-attributes.test")"
pass "get-printer-attributes: media, darkness, speed and all twelve vendor attributes"

# ---- Pages -------------------------------------------------------------------
# A 60 x 40 mm label (479 x 319 dots), once with one copy and once with two.
mkdir -p "$WORK/one" "$WORK/two"
"$LABEL_RASTERS" "$WORK/one" 479 319 1
"$LABEL_RASTERS" "$WORK/two" 479 319 2

# 'same_stream NAME STREAM REFERENCE' - Fail unless the two streams are the
# same bytes; the decoder says where on the paper they part.
same_stream() {
  cmp -s "$2" "$3" ||
    fail "$1: the app's stream differs from labelfilter's: $(cmp "$2" "$3" || true); $("$STREAM_COMPARE" "$2" "$3")"
}

# ---- Byte identity with labelfilter -------------------------------------------
# NAME | DOCUMENT | IPP job attributes | labelfilter options | CUPS raster.
# The CUPS raster for labelfilter is the same page beside the document,
# gray.ras unless named (1-bit pages: bilevel_test.sh). The PNG and the
# JPEG are converted as they are decoded.
cases=(
  "gray|one/gray-sgray.pwg||"
  "png|one/gray.png||"
  "jpeg|one/gray.jpg|||gray-jpeg.ras"
  "black8|one/gray-black8.pwg||"
  "threshold|one/gray-sgray.pwg|keyword:gray-conversion=threshold|Dithering=Threshold"
  "ordered|one/gray-sgray.pwg|keyword:gray-conversion=ordered-dither|Dithering=OrderDithering"
  "diffusion|one/gray-sgray.pwg|keyword:gray-conversion=error-diffusion|Dithering=ErrorDiffusion"
  "quarter|one/gray-sgray.pwg|keyword:label-origin=rotation-90 boolean:negative-image=true|Origin=Rotation90 NegativeImage=True"
  "settings|one/gray-sgray.pwg|keyword:print-head-temperature=6 keyword:print-head-offset=2 keyword:edge-enhancement=on keyword:edge-enhancement-length=3 keyword:upward-offset=5|PrintHeaderHeatingTemp=6 PrintHeaderOffset=2 EdageEnhance=1 EdageEnhanceLength=3 UpwardOffset=5"
  # print-darkness 53 % is Darkness round(53 x 15 / 100) = 8; print-speed
  # 7620 (3 inches a second) is PrintSpeed 3.
  "copies|two/gray-sgray.pwg|integer:copies=2 keyword:cutting=end-of-job keyword:print-head-pressure=5 boolean:mirror-image=true integer:feed-after-printing=9 integer:print-darkness=53 integer:print-speed=7620|Cutting=2 PrintPressure=5 MirrorImage=True FeedAfterPrinting=9 Darkness=8 PrintSpeed=3"
  "every-page|one/gray-sgray.pwg|keyword:cutting=after-every-page integer:print-darkness=100 integer:print-speed=20320|Cutting=1 Darkness=15 PrintSpeed=8"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name document attrs options raster <<<"$entry"
  raster=$(dirname "$document")/${raster:-gray.ras}
  case $document in
  *.png) format=image/png ;;
  *.jpg) format=image/jpeg ;;
  *) format=image/pwg-raster ;;
  esac
  # shellcheck disable=SC2086 # one job attribute per word
  print_job "$name" "$WORK/$document" $format $attrs
  wait_job 9 job-completed-successfully
  PPD=$PPD_FILE "$LABELFILTER" 1 tester "$name" 1 "$options" "$WORK/$raster" \
    >"$WORK/$name.filter.prn" 2>/dev/null || fail "labelfilter $options"
  app_stream=$WORK/out/$name.prn
  [[ -s $app_stream ]] || fail "$name: no stream in $WORK/out: $(ls "$WORK/out")"
  same_stream "$name ($options)" "$app_stream" "$WORK/$name.filter.prn"
  pass "$name: $(stat -c %s "$app_stream") bytes, byte for byte labelfilter's${options:+ with $options}"
done

# ---- A vendor attribute changes its command and nothing else ------------------
print_job pressure "$WORK/one/gray-sgray.pwg" image/pwg-raster keyword:print-head-pressure=12
wait_job 9 job-completed-successfully
diff <("$STREAM_CHECK" "$WORK/out/gray.prn") <("$STREAM_CHECK" "$WORK/out/pressure.prn") \
  >"$WORK/pressure.diff" || true
expect_equal "print-head-pressure=12 against no pressure" "$(cat "$WORK/pressure.diff")" \
  "0a1
> setting PrintPressure 12"
pass "print-head-pressure=12 adds exactly 'setting PrintPressure 12' ahead of the page"

# ---- The printer's own commands go through unchanged ---------------------------
print_job commands "$WORK/copies.filter.prn" application/vnd.thermal-label-commands
wait_job 9 job-completed-successfully
cmp -s "$WORK/out/commands.prn" "$WORK/copies.filter.prn" || fail "the command stream was changed"
pass "a document of the printer's own commands reaches the device unchanged"

# ---- Bad documents -------------------------------------------------------------
head -c 20000 /dev/urandom >"$WORK/garbage.pwg"
print_job garbage "$WORK/garbage.pwg" image/pwg-raster
# PAPPL refuses the stream before the driver sees a page.
wait_job 8 aborted-by-system
grep -q "\[Job $JOB\] Unable to open raster stream" "$WORK/log" || fail "no log line for the garbage"
pass "garbage as PWG raster: job aborted (aborted-by-system), the log says why"
# A page wider than the head is scaled down to the paper: 900 x 40 dots on
# the 60 x 40 mm label (479 x 319 dots), 479 x 21 centred on it.
print_job wide "$WORK/one/wide.pwg" image/pwg-raster
wait_job 9 job-completed-successfully
grep -q "\[Job $JOB\] Page 1 (900 x 40 dots) is scaled down to fit the paper, 479 x 319 dots." \
  "$WORK/log" || fail "no log line for the wide page"
expect_equal "the wide page's band widths" \
  "$("$STREAM_CHECK" "$WORK/out/wide.prn" | sed -n 's/^band //p' | sort -u)" 60
pass "a page of 900 dots: scaled down to the 479-dot label, and the log says so"
print_job too-wide "$WORK/one/too-wide.pwg" image/pwg-raster
wait_job 8 document-unprintable-error
grep -q "\[Job $JOB\] Page 1 is 16400 x 2 dots" "$WORK/log" || fail "no log line for the page of 16400 dots"
pass "a page of 16400 dots: job aborted, document-unprintable-error, and the log says why"
# PAPPL takes the job and then finds no way to print it.
print_job text "$here/printer-attributes.test" text/plain
wait_job 8 aborted-by-system
grep -q "\[Job $JOB\] Unable to process job with format 'text/plain'" "$WORK/log" ||
  fail "no log line for the text/plain job"
pass "text/plain: job aborted (aborted-by-system), the log says why"
# A document whose third page breaks off. Sent with its length (ipptool -L),
# its end is seen at once; sent in chunks (ipptool's default) PAPPL 1.3 reads
# on past the last chunk and waits out the connection's minute before the
# page ends.
page=$WORK/one/gray-sgray.pwg
{ cat "$page"; tail -c +5 "$page"; head -c 4004 "$page" | tail -c +5; } >"$WORK/cut.pwg"
start=$(date +%s.%N)
IPP_OPTIONS=-L print_job cut "$WORK/cut.pwg" image/pwg-raster
wait_job 8 document-format-error
took=$(seconds_since "$start")
awk -v t="$took" 'BEGIN { exit !(t < 10) }' || fail "the job with a broken page took $took s"
grep -q "\[Job $JOB\] Page 3 broke off after [0-9]* of its 319 lines" "$WORK/log" ||
  fail "no log line for the broken page"
cat "$WORK/gray.filter.prn" "$WORK/gray.filter.prn" >"$WORK/two-pages.prn"
same_stream "the pages before the broken one" "$WORK/out/cut.prn" "$WORK/two-pages.prn"
pass "a third page cut short: job aborted in $took s (document-format-error), pages 1 and 2 printed, the log names page 3"

print_job after "$WORK/one/gray-sgray.pwg" image/pwg-raster
wait_job 9 job-completed-successfully
cmp -s "$WORK/out/after.prn" "$WORK/gray.filter.prn" || fail "the job after the bad ones differs"
pass "the server keeps serving: the next job prints as before"

# ---- Cancel while printing ----------------------------------------------------
# A printer that takes about 1 MB a second, and 999 copies of the label,
# 18.8 MB: more than the sockets between them hold (some 3 MB). The job is
# canceled once 200 KB have arrived; the printer then reads the rest at once.
SLOW_PORT=$(free_port) || fail "no free port for the slow printer"
mkdir -p "$WORK/slow"
/usr/bin/python3 "$here/slow_device.py" "$SLOW_PORT" "$WORK/slow" &
DEVICE_PID=$!
for _ in $(seq 100); do
  [[ -e $WORK/slow/ready ]] && break
  sleep 0.1
done
add_printer Slow "socket://127.0.0.1:$SLOW_PORT"
SLOW=ipp://127.0.0.1:$PORT/ipp/print/Slow
# Print-Job answers when PAPPL has read the whole job: it runs alongside.
TO=$SLOW print_job long "$WORK/one/gray-sgray.pwg" image/pwg-raster integer:copies=999 &
print_pid=$!
# Job numbers count per printer.
JOB=1
for _ in $(seq 100); do
  (($(cat "$WORK"/slow/*.part 2>/dev/null | wc -c) > 200000)) && break
  sleep 0.1
done
start=$(date +%s.%N)
ipptool -q -d job="$JOB" "$SLOW" "$here/cancel-job.test" || fail "cancel-job $JOB"
TO=$SLOW wait_job 7 job-canceled-by-user
took=$(seconds_since "$start")
touch "$WORK/slow/fast"
wait "$print_pid" || fail "print-job of 999 copies"
awk -v t="$took" 'BEGIN { exit !(t < 8) }' || fail "the canceled job took $took s to end"
# The printer has whole copies of the label, fewer than 999.
for _ in $(seq 100); do
  ! ls "$WORK"/slow/*.part >/dev/null 2>&1 && break
  sleep 0.1
done
received=$(ls -t "$WORK"/slow/*.prn | head -n 1)
copy_bytes=$(stat -c %s "$WORK/gray.filter.prn")
copies=$(($(stat -c %s "$received") / copy_bytes))
((copies >= 1 && copies < 999)) || fail "the canceled job sent $(stat -c %s "$received") bytes"
for _ in $(seq "$copies"); do cat "$WORK/gray.filter.prn"; done >"$WORK/copies.expected"
same_stream "the canceled job" "$received" "$WORK/copies.expected"
pass "cancel while printing: canceled in $took s, the printer got $copies whole copies of 999"
TO=$SLOW print_job after-cancel "$WORK/one/gray-sgray.pwg" image/pwg-raster
TO=$SLOW wait_job 9 job-completed-successfully
for _ in $(seq 100); do
  [[ $(ls -t "$WORK"/slow/*.prn | head -n 1) != "$received" ]] && break
  sleep 0.1
done
same_stream "the job after the canceled one" "$(ls -t "$WORK"/slow/*.prn | head -n 1)" \
  "$WORK/gray.filter.prn"
pass "the job after the canceled one prints as before"

# ---- The job log -------------------------------------------------------------
# 'job_log' - The lines job JOB logged since line LOG_FROM of the server's
# log: the level's letter, then the message.
job_log() {
  tail -n +$((LOG_FROM + 1)) "$WORK/log" | sed -n "s/^\([DIWEF]\) \[[^]]*\] \[Job $JOB\] /\1 /p"
}
# At the debug level the engine's traces are debug lines, without the
# filter's "ERROR:"; a label that prints logs no error.
LOG_FROM=$(wc -l <"$WORK/log")
print_job traced "$WORK/one/gray-sgray.pwg" image/pwg-raster
wait_job 9 job-completed-successfully
job_log >"$WORK/traced.log"
grep -qx "D call ProcessData" "$WORK/traced.log" ||
  fail "no debug line 'call ProcessData' for the label: $(cat "$WORK/traced.log")"
! grep -n "ERROR:\|^E " "$WORK/traced.log" || fail "'ERROR:' or an error line for a label that printed"
pass "at the debug level a label's traces are debug lines without 'ERROR:', and no error line"

# At the application's default level a label that prints logs no error, and
# a page the printer cannot take logs why at the error level.
stop_server
LOG_LEVEL='' start_server
LOG_FROM=$(wc -l <"$WORK/log")
print_job quiet "$WORK/one/gray-sgray.pwg" image/pwg-raster
wait_job 9 job-completed-successfully
job_log >"$WORK/quiet.log"
grep -qx "I Page 1: 479 x 319 dots, 8 bits per pixel." "$WORK/quiet.log" ||
  fail "no information line for the label: $(cat "$WORK/quiet.log")"
! grep -n "ERROR:\|^[DE] " "$WORK/quiet.log" ||
  fail "'ERROR:', a debug or an error line for a label that printed at the default level"
LOG_FROM=$(wc -l <"$WORK/log")
print_job quiet-too-wide "$WORK/one/too-wide.pwg" image/pwg-raster
wait_job 8 document-unprintable-error
job_log | grep -q "^E Page 1 is 16400 x 2 dots" ||
  fail "no error line for the page of 16400 dots: $(job_log)"
pass "at the default level a label logs no error, a page wider than the head one error line"

# ---- Defaults survive a restart ------------------------------------------------
ipptool -q -d darkness=40 -d pressure=7 "$PRINTER" "$here/set-defaults.test" ||
  fail "set-printer-attributes: $(ipptool -t -d darkness=40 -d pressure=7 "$PRINTER" "$here/set-defaults.test")"
stop_server
start_server
ipptool -q -d darkness=40 -d pressure=7 "$PRINTER" "$here/printer-attributes.test" ||
  fail "after a restart: $(ipptool -t -d darkness=40 -d pressure=7 "$PRINTER" "$here/printer-attributes.test")"
# The new defaults reach the page: 40 % is Darkness round(40 x 15 / 100) = 6.
print_job defaults "$WORK/one/gray-sgray.pwg" image/pwg-raster
wait_job 9 job-completed-successfully
PPD=$PPD_FILE "$LABELFILTER" 1 tester defaults 1 "PrintPressure=7 Darkness=6" \
  "$WORK/one/gray.ras" >"$WORK/defaults.filter.prn" 2>/dev/null
cmp -s "$WORK/out/defaults.prn" "$WORK/defaults.filter.prn" ||
  fail "the restored defaults do not print as labelfilter's PrintPressure=7 Darkness=6"
pass "after a restart the printer and its defaults (darkness 40 %, pressure 7) are back and print"

! grep -n "Unsupported" "$WORK/log" || fail "the server's log has 'Unsupported' lines"
pass "no 'Unsupported' line in the server's log"
