#!/bin/bash
# CUPS as the printer application's client: a private cupsd on 127.0.0.1
# makes an IPP Everywhere queue for the app's printer (lpadmin -m everywhere)
# and prints the sample label PDF with lp; the app's file device must then
# hold a printer stream that the decoder reads back, as wide as the page.
#
#   cups_client_test.sh APP STREAM_CHECK
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: cups_client_test.sh APP STREAM_CHECK"
APP=${1:?$usage}
STREAM_CHECK=${2:?$usage}
require_programs cupsd lpadmin lpstat lp gs

# In the sanitizer build: the leaks PAPPL itself leaves are not the app's.
export LSAN_OPTIONS="suppressions=$here/lsan.supp:fast_unwind_on_malloc=0:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

make_work_dir
source "$here/server.sh"
CUPSD_PID=
finish() {
  local status=$?
  stop_cupsd || status=1
  stop_server
  ((status == 0)) || tail -n 30 "$WORK/cups/log/error_log" >&2 2>/dev/null || true
  remove_work_dir "$status"
  exit "$status"
}
trap finish EXIT
trap 'exit 1' INT TERM

start_server
add_printer Label "file://$WORK/out"
APP_PORT=$PORT

# ---- A private cupsd -----------------------------------------------------------
start_cupsd "$WORK/cups" </dev/null
pass "private cupsd on $CUPS_SERVER, the app on 127.0.0.1:$APP_PORT"

# ---- The queue and a job ---------------------------------------------------------
timeout 60 lpadmin -p AppLabel -E -v "ipp://127.0.0.1:$APP_PORT/ipp/print/Label" -m everywhere ||
  fail "lpadmin -m everywhere"
pass "lpadmin -p AppLabel -v ipp://127.0.0.1:$APP_PORT/ipp/print/Label -m everywhere"

bash "$repo/scripts/sample_pdf.sh" "$WORK/label.pdf"
# CUPS names the app's sizes without margins "4x6.Borderless" and so on, but
# makes the queue's default "4x6", which it then does not find: the job
# names its size.
timeout 30 lp -d AppLabel -o media=oe_4x6-label_4x6in "$WORK/label.pdf" >/dev/null || fail "lp"
stream=
for _ in $(seq 600); do
  stream=$(find "$WORK/out" -name '*.prn' -size +0 | head -n 1)
  [[ -n $stream ]] && ! timeout 5 lpstat -o AppLabel | grep -q . && break
  sleep 0.1
done
[[ -n $stream ]] || fail "no printer stream in $WORK/out after 60 s"

# The 4 x 6 in label is 812 dots, sent in bands of
# whole 32-dot words, (812 + 31) / 32 x 4 = 104 bytes.
"$STREAM_CHECK" "$stream" >"$WORK/commands.txt" || fail "the stream does not decode"
grep -q "^band " "$WORK/commands.txt" || fail "the stream has no bands"
widths=$(sed -n 's/^band \([0-9]*\)$/\1/p' "$WORK/commands.txt" | sort -u)
expect_equal "band widths" "$widths" 104
pass "lp of the sample PDF: $(wc -l <"$WORK/commands.txt") commands, bands 104 bytes (812 dots)"
