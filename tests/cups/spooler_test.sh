#!/bin/bash
# Print through a real CUPS spooler: a private cupsd on 127.0.0.1, a queue
# made by lpadmin from the installed PPD model, jobs sent with lp and cancel.
#
#   spooler_test.sh BUILD_DIR STREAM_CHECK LONG_RASTER INJECTION_RASTER
#
# BUILD_DIR is installed into a DESTDIR inside the work folder; the private
# cupsd takes its filters and its PPD models from there. Everything runs on
# 127.0.0.1 with its own ServerRoot, spool, logs and a free port; the cupsd
# started here is stopped by its PID at the end, also when a check fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# make_server_bin, for the private cupsd's ServerBin.
# shellcheck source=../../scripts/print_with_cups.sh
source "$repo/scripts/print_with_cups.sh"

usage="usage: spooler_test.sh BUILD_DIR STREAM_CHECK LONG_RASTER INJECTION_RASTER"
BUILD_DIR=$(cd "${1:?$usage}" && pwd)
STREAM_CHECK=${2:?$usage}
LONG_RASTER=${3:?$usage}
INJECTION_RASTER=${4:?$usage}

require_programs cupsd lpadmin lpinfo lpstat lp cancel cups-config gs ipptool

make_work_dir
CUPSD_PID=
finish() {
  local status=$?
  stop_cupsd || status=1
  if ((status != 0)) && [[ -f $WORK/log/error_log ]]; then
    echo "---- last lines of cupsd's error_log" >&2
    tail -n 60 "$WORK/log/error_log" >&2
  fi
  remove_work_dir "$status"
  exit "$status"
}
trap finish EXIT
trap 'exit 1' INT TERM

# ---- The install, as a package would lay it out ---------------------------
DEST=$WORK/dest
install_build "$BUILD_DIR" "$DEST"
DATADIR=$(cups-config --datadir)

# ---- A private cupsd ---------------------------------------------------------
# Its ServerBin holds the system's filters and backends plus the installed
# labelfilter; its DataDir is the system's, except that the PPD models come
# from the install.
mkdir -p "$WORK/data" "$WORK/device"
make_server_bin "$WORK/bin" "$INSTALLED_FILTER"
for entry in "$DATADIR"/*; do
  [[ $(basename "$entry") == model ]] || ln -s "$entry" "$WORK/data/"
done
ln -s "$DEST$DATADIR/model" "$WORK/data/model"
chmod 0755 "$WORK"/{data,device}

# The sanitizer build's filter: libcups' own leak is suppressed (lsan.supp);
# a filter built without sanitizers ignores the variable.
install -m 0644 "$here/lsan.supp" "$WORK/lsan.supp"
start_cupsd "$WORK" <<EOF
SetEnv LSAN_OPTIONS suppressions=$WORK/lsan.supp:fast_unwind_on_malloc=0:print_suppressions=0
ServerBin $WORK/bin
DataDir $WORK/data
FileDevice Yes
EOF
PORT=$CUPS_PORT
# Every client call is bounded: a cupsd that stops answering fails the test.
client() {
  timeout 30 "$@"
}
pass "private cupsd (PID $CUPSD_PID) answers on $CUPS_SERVER"

# ---- The queue ---------------------------------------------------------------
client lpinfo -m | grep -F "$MODEL " >"$WORK/lpinfo.txt" || fail "lpinfo -m does not list $MODEL"
pass "lpinfo -m lists: $(cat "$WORK/lpinfo.txt")"

DEVICE=$WORK/device/label.prn
client lpadmin -p Label -E -v "file://$DEVICE" -m "$MODEL" 2>"$WORK/lpadmin.err" ||
  fail "lpadmin: $(cat "$WORK/lpadmin.err")"
client lpstat -p Label | grep -q "enabled" ||
  fail "queue Label is not enabled: $(lpstat -p Label 2>&1)"
pass "lpadmin -p Label -E -v file://... -m $MODEL"

# libcups' view of the queue's options: the marked default has a star. The
# eight printer settings have none, so no settings command is sent unless a
# job or the queue chooses one.
client lpoptions -p Label -l >"$WORK/lpoptions.txt"
for option in PrintPressure PrintHeaderHeatingTemp PrintHeaderOffset EdageEnhance \
  EdageEnhanceLength PrintSpeed Darkness UpwardOffset; do
  line=$(grep "^$option/" "$WORK/lpoptions.txt") || fail "lpoptions -l does not list $option"
  [[ $line == *'*'* ]] && fail "$option has a marked default: $line"
done
for default in PageSize/.*\ \\*4x6 ColorModel/.*\ \\*Gray Dithering/.*\ \\*None \
  Origin/.*\ \\*Rotation0 MirrorImage/.*\ \\*False NegativeImage/.*\ \\*False \
  FeedAfterPrinting/.*\ \\*0 Cutting/.*\ \\*0; do
  grep -q "^$default\( \|$\)" "$WORK/lpoptions.txt" ||
    fail "lpoptions -l: no default ${default//\\/}"
done
pass "lpoptions -l: defaults 4x6, Gray, None, Rotation0, no mirror, no negative, no feed," \
  "no cut; the eight settings unmarked"

# 'submit ARGS...' - lp a job to Label and print its job id.
submit() {
  local out
  out=$(client lp -d Label "$@") || fail "lp $*"
  [[ $out =~ request\ id\ is\ Label-([0-9]+) ]] || fail "no job id in: $out"
  echo "${BASH_REMATCH[1]}"
}

# 'job_log ID' - The lines cupsd logged for a job.
job_log() {
  grep -F "[Job $1] " "$WORK/log/error_log" || true
}

# 'wait_for_job_end ID SECONDS' - Wait until the job is no longer pending or
# processing; fails after SECONDS.
wait_for_job_end() {
  local id=$1 limit=$2
  local queued
  for _ in $(seq $((limit * 10))); do
    queued=$(client lpstat -o Label) || fail "lpstat -o Label"
    grep -q "^Label-$id " <<<"$queued" || return 0
    sleep 0.1
  done
  fail "job $id still not done after $limit s: $queued"
}

# 'wait_for_completion ID SECONDS' - Wait until the job has completed; fails
# at once when cupsd stops, aborts or cancels it, and after SECONDS.
wait_for_completion() {
  local id=$1 limit=$2 log
  for _ in $(seq $((limit * 10))); do
    log=$(job_log "$id")
    grep -q "\] Job completed\." <<<"$log" && return 0
    if grep -qE "\] Job (stopped|aborted|canceled)" <<<"$log"; then
      fail "job $id did not complete: $(grep -E "\] Job (stopped|aborted|canceled)" <<<"$log")"
    fi
    sleep 0.1
  done
  fail "job $id still not completed after $limit s"
}

# 'wait_for_log ID TEXT SECONDS' - Wait until the job's log holds TEXT.
wait_for_log() {
  local id=$1 text=$2 limit=$3
  for _ in $(seq $((limit * 10))); do
    job_log "$id" | grep -qF -- "$text" && return 0
    sleep 0.1
  done
  fail "job $id: no '$text' in the log after $limit s"
}

# ---- The filter's debugging dumps ------------------------------------------------
# cupsd runs labelfilter as lp, which cannot rewrite the dumps under /tmp that
# root's runs left there; the filter must skip them quietly. Make sure they
# are root's, so that the jobs here meet them and leave no file of lp's behind.
for dump in /tmp/Buffer.data /tmp/ImageDithering.bmp /tmp/RZ540; do
  if [[ -L $dump ]] || { [[ -e $dump ]] && [[ $(stat -c %u "$dump") != 0 ]]; }; then
    rm -f "$dump"
  fi
  [[ -e $dump ]] || install -m 0600 /dev/null "$dump"
done

# ---- Two copies of the sample label, cut once at the end of the job ----------
# The queue's own default for the print speed, as an administrator sets it;
# the darkness, the feed and the cut come with the job.
client lpadmin -p Label -o PrintSpeed=5 2>/dev/null || fail "lpadmin -p Label -o PrintSpeed=5"
bash "$repo/scripts/sample_pdf.sh" "$WORK/label.pdf"
start=$(date +%s.%N)
job=$(submit -n 2 -o Cutting=2 -o Darkness=12 -o FeedAfterPrinting=2 "$WORK/label.pdf")
wait_for_completion "$job" 30
job_log "$job" | grep -q "fopen RZ540.data f=0 errno=13 " ||
  fail "job $job: labelfilter, run as lp, did not meet root's dump"
stream_tokens "$DEVICE" >"$WORK/copies.txt"
# Every copy: the two settings in the printer's order, the label's bands 104
# bytes (812 dots) wide, the 60-dot feed; after both copies one cut.
expect_equal "settings" "$(grep '^setting' "$WORK/copies.txt")" \
  "$(printf '%s\n' 'setting PrintSpeed 5' 'setting Darkness 12' 'setting PrintSpeed 5' \
    'setting Darkness 12')"
expect_equal "first command" "$(head -n 1 "$WORK/copies.txt")" "setting PrintSpeed 5"
expect_equal "band widths" "$(grep '^band' "$WORK/copies.txt" | sort -u)" "band 104"
expect_equal "feeds" "$(grep '^feed' "$WORK/copies.txt" | tr '\n' ' ')" "feed 60 feed 60 "
expect_equal "cuts" "$(grep -c '^cut$' "$WORK/copies.txt")" 1
expect_equal "last command" "$(tail -n 1 "$WORK/copies.txt")" cut
# The two copies are the same commands: split the stream at each copy's first
# setting (the job-end cut follows the second copy).
first_copy=$(awk '/^setting PrintSpeed/ { n++ } n == 1' "$WORK/copies.txt")
second_copy=$(awk '/^setting PrintSpeed/ { n++ } n == 2' "$WORK/copies.txt" | sed '$d')
expect_equal "second copy" "$second_copy" "$first_copy"
pass "lpadmin -o PrintSpeed=5, lp -n 2 -o Cutting=2 -o Darkness=12 -o FeedAfterPrinting=2:" \
  "job $job completed in $(seconds_since "$start") s, two copies and one cut, root's dumps skipped"

# ---- Page sizes by media name and custom size, on a queue made anew ----------
# The queue goes back to sending no print speed. lpadmin takes only a listed
# choice as a default ("-o PrintSpeed=Unknown" leaves 5 in place), and cupsd
# carries a queue's defaults over into a model given again with -m; a queue
# made anew starts from the model's "Unknown".
client lpadmin -x Label || fail "lpadmin -x Label"
client lpadmin -p Label -E -v "file://$DEVICE" -m "$MODEL" 2>/dev/null ||
  fail "lpadmin -p Label again"
# 58 mm receipt roll: 384 dots in 48-byte bands; 60 x 40 mm: 480 dots, 60 bytes.
for size in "media=Roll58x200mm 48" "PageSize=Custom.60x40mm 60"; do
  read -r option width <<<"$size"
  job=$(submit -o "$option" "$WORK/label.pdf")
  wait_for_completion "$job" 30
  stream_tokens "$DEVICE" >"$WORK/size.txt"
  expect_equal "$option: band widths" "$(grep '^band' "$WORK/size.txt" | sort -u)" "band $width"
  expect_equal "$option: settings" "$(grep -c '^setting' "$WORK/size.txt" || true)" 0
done
pass "queue made anew, lp -o media=Roll58x200mm and -o PageSize=Custom.60x40mm: \
no settings, bands of 48 and 60 bytes"

# ---- The maintenance commands -------------------------------------------------
# The queue offers the PPD's two commands (the web interface lists them under
# Maintenance). A command file sent with lp, as the README shows, goes through
# commandtolabel and prints the self-test label: the 1218 rows of 4 x 6 in in
# 51 bands of 24 rows, 104 bytes (812 dots in whole 32-dot words) wide.
cat >"$WORK/commands.test" <<EOF
{
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
  ATTR keyword requested-attributes printer-commands
  STATUS successful-ok
  DISPLAY printer-commands
}
EOF
commands=$(client ipptool -t -T 10 "ipp://127.0.0.1:$PORT/printers/Label" "$WORK/commands.test") ||
  fail "ipptool get-printer-attributes printer-commands"
grep -qE "printer-commands \(1setOf keyword\) = PrintSelfTestPage,PrintAlignmentPage$" \
  <<<"$commands" || fail "the queue does not offer both commands: $commands"
job=$(printf '#CUPS-COMMAND\nPrintSelfTestPage\n' |
  submit -o document-format=application/vnd.cups-command)
wait_for_completion "$job" 30
job_log "$job" | grep -q "Started filter .*/commandtolabel " ||
  fail "job $job did not run commandtolabel"
job_log "$job" | grep -q "\] Printing the self-test label$" ||
  fail "job $job: commandtolabel did not print the self-test label"
expect_equal "self-test label: commands" "$(stream_tokens "$DEVICE" | sort | uniq -c)" \
  "     51 band 104"
pass "printer-commands: PrintSelfTestPage,PrintAlignmentPage; a command file on lp's" \
  "standard input printed the self-test label through commandtolabel (job $job)"

# A command the printer does not know: commandtolabel prints nothing, says
# what is wrong and exits 1, so cupsd stops the job.
job=$(printf '#CUPS-COMMAND\nPrintNothing\n' |
  submit -o document-format=application/vnd.cups-command)
wait_for_log "$job" "Job stopped due to filter errors" 20
job_log "$job" | grep -q "Started filter .*/commandtolabel " ||
  fail "job $job did not run commandtolabel"
# cupsd logs the ERROR: line without its prefix, its quotes escaped.
job_log "$job" | grep "^E \[" |
  grep -qF "[Job $job] "'Unknown printer command \"PrintNothing\" on line 2.' ||
  fail "job $job: no ERROR: line of commandtolabel in the log"
job_log "$job" | grep -q "Job completed" && fail "job $job with an unknown command completed"
client cancel "$job"
wait_for_job_end "$job" 30
pass "unknown command: job $job stopped with commandtolabel's ERROR: line in the log," \
  "then canceled"

# ---- A job canceled while labelfilter prints it -------------------------------
# A raster job of 1000 gray receipts half a metre long, error diffused: it
# would keep labelfilter busy for a minute. Canceled once the second page has
# started, labelfilter must stop within the page it is on.
"$LONG_RASTER" "$WORK/long.ras" 1000
job=$(submit -o Dithering=ErrorDiffusion "$WORK/long.ras")
wait_for_log "$job" "Starting page = 2 " 30
client cancel "$job"
start=$(date +%s.%N)
wait_for_job_end "$job" 20
wait_for_log "$job" "KV8830-filter return" 10
job_log "$job" | grep -q "EndPage Out Canceled=1" ||
  fail "job $job: labelfilter did not log a page ended by the cancel"
pages=$(job_log "$job" | grep -c "Starting page = ")
((pages < 1000)) || fail "job $job printed all its pages despite the cancel"
pass "cancel: job $job ended $(seconds_since "$start") s after cancel, on page $pages of 1000," \
  "labelfilter logged 'EndPage Out Canceled=1'"

# ---- A raster stream that is broken ------------------------------------------
# The sync word of a CUPS raster stream, then less than a page header: CUPS
# types it as a raster and hands it to labelfilter alone, which prints no page,
# says so and exits 1. cupsd then stops the job (it stays in the queue, not
# completed) and logs why.
{ printf 'RaS2'; printf 'this is not a page header'; } >"$WORK/broken.ras"
job=$(submit "$WORK/broken.ras")
wait_for_log "$job" "Job stopped due to filter errors" 20
job_log "$job" | grep -q "Started filter .*/labelfilter " || fail "job $job did not run labelfilter"
job_log "$job" | grep -qE "^E \[.*\] \[Job $job\] KV8830-filter return$" ||
  fail "job $job: no ERROR: line of labelfilter in the log"
job_log "$job" | grep -qE "^E \[.*\] \[Job $job\] The raster stream has no valid page header" ||
  fail "job $job: the log does not say what is wrong with the raster"
job_log "$job" | grep -q "Job completed" && fail "job $job with a broken raster completed"
client cancel "$job"
wait_for_job_end "$job" 30
pass "broken raster: job $job stopped with labelfilter's ERROR: lines in the log, then canceled"

# ---- A raster whose header text carries the spooler's messages ---------------
# Whoever may print controls every byte of a raster job's page header. Its
# text fields hold lines of filter messages (an alert, marker levels, a page
# count, a PPD change); labelfilter logs the fields, and cupsd must not take
# any of them: the printer's state and markers, the page log and the queue's
# PPD stay as they were.
cat >"$WORK/attributes.test" <<EOF
{
  OPERATION Get-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
  ATTR keyword requested-attributes printer-state-reasons,marker-levels
  STATUS successful-ok
  DISPLAY printer-state-reasons
  DISPLAY marker-levels
}
EOF
printer_attributes() {
  client ipptool -t -T 10 "ipp://127.0.0.1:$PORT/printers/Label" "$WORK/attributes.test" ||
    fail "ipptool get-printer-attributes"
}
cp "$WORK/etc/ppd/Label.ppd" "$WORK/Label.ppd.before"
"$INJECTION_RASTER" "$WORK/injection.ras"
job=$(submit -o document-format=application/vnd.cups-raster "$WORK/injection.ras")
wait_for_completion "$job" 30
stream_tokens "$DEVICE" | grep -q '^band' || fail "job $job printed no band"
attributes=$(printer_attributes)
# Shown as "name (type) = values"; the printer has no markers of its own.
grep -q "printer-state-reasons (" <<<"$attributes" || fail "ipptool: no state: $attributes"
grep -q "cover-open-error" <<<"$attributes" && fail "job $job set an alert: $attributes"
grep -q "marker-levels (" <<<"$attributes" && fail "job $job set marker levels: $attributes"
grep -q "99999" "$WORK/log/page_log" && fail "job $job wrote the page log: $(cat "$WORK/log/page_log")"
cmp -s "$WORK/Label.ppd.before" "$WORK/etc/ppd/Label.ppd" ||
  fail "job $job changed the queue's PPD: $(diff "$WORK/Label.ppd.before" "$WORK/etc/ppd/Label.ppd")"
# cupsd logs the DEBUG: line without its prefix, its quotes escaped.
job_log "$job" | grep -qF 'MediaClass = \"x?STATE: +cover-open-error?\"' ||
  fail "job $job: labelfilter did not log the header text as one line"
pass "header text with spooler messages: job $job printed; printer state, markers, page log" \
  "and PPD unchanged"

stop_cupsd || fail "cupsd left processes behind"
pass "cupsd stopped, no filter left running"
