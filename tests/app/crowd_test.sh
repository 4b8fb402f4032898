#!/bin/bash
# Many clients at once on one printer: each sends a PNG, JPEG, PWG or Apple
# raster label and sends again when the printer answers server-error-busy
# (it prints another job) or server-error-not-accepting-jobs (it is finishing
# one), as CUPS does. Every job must be taken in the end and print exactly the
# bytes the same document prints alone; the server must stay up.
#
#   crowd_test.sh APP LABEL_RASTERS [CLIENTS] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: crowd_test.sh APP LABEL_RASTERS [CLIENTS] [ROUNDS]"
APP=${1:?$usage}
LABEL_RASTERS=${2:?$usage}
CLIENTS=${3:-24}
ROUNDS=${4:-3}
require_programs ipptool pdftoppm gs

make_work_dir
source "$here/server.sh"
trap 'status=$?; stop_server; remove_work_dir $status; exit $status' EXIT
trap 'exit 1' INT TERM

# ---- The documents: the sample label as PNG and JPEG, a label page as PWG
# and Apple raster, each printed once alone for its reference bytes -----------
bash "$repo/scripts/sample_pdf.sh" "$WORK/label.pdf"
pdftoppm -r 100 -gray -png -singlefile "$WORK/label.pdf" "$WORK/label"
pdftoppm -r 100 -gray -jpeg -singlefile "$WORK/label.pdf" "$WORK/label"
mkdir -p "$WORK/page"
"$LABEL_RASTERS" "$WORK/page" 812 1218 1
documents=("png|$WORK/label.png|image/png" "jpeg|$WORK/label.jpg|image/jpeg"
  "pwg|$WORK/page/gray-sgray.pwg|image/pwg-raster" "urf|$WORK/page/gray-sgray.urf|image/urf")

start_server
add_printer Label "file://$WORK/out"
PRINTER=ipp://127.0.0.1:$PORT/ipp/print/Label
for entry in "${documents[@]}"; do
  IFS='|' read -r kind file format <<<"$entry"
  MEDIA=oe_4x6-label_4x6in print_job "alone-$kind" "$file" "$format"
  wait_job 9 job-completed-successfully
done

cat >"$WORK/crowd.test" <<'EOF'
{ NAME "Print $name" OPERATION Print-Job
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name tester
  ATTR name job-name $name
  ATTR mimeMediaType document-format $format
  GROUP job-attributes-tag
  ATTR keyword media oe_4x6-label_4x6in
  FILE $filename
  STATUS successful-ok
  STATUS server-error-busy
  STATUS server-error-not-accepting-jobs
  DISPLAY job-id }
EOF

# 'client NAME FILE FORMAT' - Send until the printer takes the job; its id
# goes to $WORK/taken/NAME, the number of busy answers to $WORK/busy/NAME.
client() {
  local out busy=0
  for _ in $(seq 600); do
    out=$(ipptool -t -f "$2" -d name="$1" -d format="$3" "$PRINTER" "$WORK/crowd.test") ||
      { echo "$out" >"$WORK/failed/$1"; return; }
    if [[ $out =~ job-id\ \(integer\)\ =\ ([0-9]+) ]]; then
      echo "${BASH_REMATCH[1]}" >"$WORK/taken/$1"
      echo "$busy" >"$WORK/busy/$1"
      return
    fi
    busy=$((busy + 1))
    sleep 0.0$((RANDOM % 5))
  done
  echo "still busy after $busy tries" >"$WORK/failed/$1"
}

mkdir -p "$WORK/taken" "$WORK/busy" "$WORK/failed"
for round in $(seq "$ROUNDS"); do
  pids=()
  for i in $(seq "$CLIENTS"); do
    IFS='|' read -r kind file format <<<"${documents[i % 4]}"
    client "r$round-$i-$kind" "$file" "$format" &
    pids+=($!)
  done
  wait "${pids[@]}"
  for failed in "$WORK"/failed/*; do
    [[ -e $failed ]] && fail "client $(basename "$failed"): $(cat "$failed")"
  done
  kill -0 "$SERVER_PID" 2>/dev/null || fail "the server died in round $round: $(tail -5 "$WORK/server.out")"
  for i in $(seq "$CLIENTS"); do
    kind=${documents[i % 4]%%|*}
    name=r$round-$i-$kind
    JOB=$(cat "$WORK/taken/$name")
    wait_job 9 job-completed-successfully
    cmp -s "$WORK/out/$name.prn" "$WORK/out/alone-$kind.prn" ||
      fail "job $JOB ($name) did not print the bytes of its document alone"
  done
done
busy=$(($(cat "$WORK"/busy/* | paste -sd+)))
pass "$ROUNDS rounds of $CLIENTS clients at once (PNG, JPEG, PWG, Apple raster): every job printed its document's bytes, $busy busy or not-accepting answers sent again, the server stayed up"
