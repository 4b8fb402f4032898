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

# ---- Images the app cannot print -------------------------------------------------
# The queue sends PNG to the app as it is. The app stops a job whose image
# is larger than it takes, or cut short, with the reason (keeping it
# processing for half a second, so that CUPS can see it end); CUPS's ipp
# backend must read the app's job aborted, and the CUPS job must end
# without stopping the queue, which prints the PDFs below. CUPS 2.4 shows
# such a job canceled, "Print job canceled at printer.", when the backend's
# second thread sees the abort first, else completed: it does not ask for
# the app's message.
"$here/image_files.py" png "$WORK/huge.png" 30000 30000 1
"$here/image_files.py" png "$WORK/small.png" 479 319 8 240 203
head -c 400 "$WORK/small.png" >"$WORK/cut.png"
for bad in "huge.png|The PNG image is 30000 x 30000 pixels" \
  "cut.png|The PNG document is damaged: Read Error."; do
  IFS='|' read -r file reason <<<"$bad"
  id=$(timeout 30 lp -d AppLabel -t "$file" "$WORK/$file" | sed -n 's/.*AppLabel-\([0-9]*\).*/\1/p')
  [[ -n $id ]] || fail "lp $file"
  for _ in $(seq 300); do
    timeout 5 lpstat -o AppLabel | grep -q "^AppLabel-$id " || break
    sleep 0.1
  done
  ! timeout 5 lpstat -o AppLabel | grep -q "^AppLabel-$id " || fail "$file: the CUPS job is still queued"
  grep -q "\] $reason" "$WORK/log" || fail "$file: the app's log does not say '$reason'"
  grep -qE "\[Job $id\] (job-state enum aborted|\(monitor\) job-state = aborted)$" \
    "$WORK/cups/log/error_log" || fail "$file: CUPS's backend did not read the app's job aborted"
  printf '%s\n' "{ OPERATION Get-Job-Attributes" "GROUP operation-attributes-tag" \
    "ATTR charset attributes-charset utf-8" "ATTR naturalLanguage attributes-natural-language en" \
    "ATTR uri printer-uri \$uri" "ATTR integer job-id $id" "STATUS successful-ok" \
    "DISPLAY job-state DISPLAY job-printer-state-message }" >"$WORK/cups-job.test"
  ended=$(ipptool -t "ipp://$CUPS_SERVER/printers/AppLabel" "$WORK/cups-job.test")
  state=$(sed -n 's/.*job-state (enum) = //p' <<<"$ended")
  message=$(sed -n 's/.*job-printer-state-message (textWithoutLanguage) = //p' <<<"$ended")
  case $state in
  canceled) expect_equal "$file: the CUPS job's message" "$message" "Print job canceled at printer." ;;
  completed) ;;
  *) fail "$file: the CUPS job ended $state: $ended" ;;
  esac
  pass "$file: the app stopped it ('$reason'), CUPS read the job aborted and ended it $state${message:+, '$message'}"
done
timeout 5 lpstat -p AppLabel | grep -q "enabled" || fail "the queue was stopped: $(lpstat -p AppLabel)"

bash "$repo/scripts/sample_pdf.sh" "$WORK/label.pdf"
# A Letter page: an office document sent to the label printer.
cat >"$WORK/letter.ps" <<'EOF'
%!PS
<< /PageSize [612 792] >> setpagedevice
/Helvetica findfont 60 scalefont setfont 72 600 moveto (Letter) show
8 setlinewidth 36 36 540 720 rectstroke
showpage
EOF
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$WORK/letter.pdf" "$WORK/letter.ps"

# 'print_with_lp NAME PDF' - lp with no options, as a new user prints; sets
# STREAM to what the app's printer got.
print_with_lp() {
  local before
  before=$(find "$WORK/out" -name '*.prn' | wc -l)
  timeout 30 lp -d AppLabel -t "$1" "$2" >/dev/null || fail "lp $2"
  STREAM=
  for _ in $(seq 600); do
    if (($(find "$WORK/out" -name '*.prn' | wc -l) > before)) && ! timeout 5 lpstat -o AppLabel | grep -q .; then
      STREAM=$(ls -t "$WORK"/out/*.prn | head -n 1)
      break
    fi
    sleep 0.1
  done
  [[ -s $STREAM ]] || fail "no printer stream for $2 after 60 s: $(lpstat -l -W completed -o AppLabel)"
}

# Both print on the queue's default, the app's 4 x 6 in label: a page of
# 812 x 1218 dots, sent in bands of whole 32-dot words, (812 + 31) / 32 x 4 =
# 104 bytes.
for pdf in label letter; do
  print_with_lp "$pdf" "$WORK/$pdf.pdf"
  "$STREAM_CHECK" "$STREAM" >"$WORK/$pdf.txt" || fail "the stream of $pdf.pdf does not decode"
  expect_equal "$pdf.pdf: band widths" "$(sed -n 's/^band \([0-9]*\)$/\1/p' "$WORK/$pdf.txt" | sort -u)" 104
  pages=$(grep -h "\] Page [0-9]*: " "$WORK/log" | sed 's/.*\] Page [0-9]*: //' | tail -n 1)
  expect_equal "$pdf.pdf: the page the app got" "$pages" "812 x 1218 dots, 8 bits per pixel."
  pass "lp $pdf.pdf with no options: a 4 x 6 in page of 812 x 1218 dots, $(wc -l <"$WORK/$pdf.txt") commands"
done
