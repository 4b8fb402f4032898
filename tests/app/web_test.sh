#!/bin/bash
# The printer's web page in a real browser: headless Chromium finds the
# printer's settings, their choices and the media named in words, sets the
# darkness, the print head pressure and the feed after printing through the
# printing defaults form and prints the test page; ipptool then finds the new
# defaults, and the test page and a job send their commands. The Add Printer
# page and the devices sub-command work without avahi-daemon, and the server
# is still up after them.
#
#   web_test.sh APP LABEL_RASTERS STREAM_CHECK
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: web_test.sh APP LABEL_RASTERS STREAM_CHECK"
APP=${1:?$usage}
LABEL_RASTERS=${2:?$usage}
STREAM_CHECK=${3:?$usage}
require_programs ipptool chromium chromedriver

make_work_dir
source "$here/server.sh"
start_label_printer

# Without avahi-daemon PAPPL's own network discovery aborts the process that
# browses or resolves: the server for a dnssd:// printer and the Add Printer
# page, the sub-command for devices. A printer added as dnssd:// is opened
# for its job: that resolves its name. Without D-Bus no avahi-daemon can be
# reached, and each listing and open says so.
no_avahi=false
[[ ! -S /run/dbus/system_bus_socket && -z ${DBUS_SYSTEM_BUS_ADDRESS:-} ]] && no_avahi=true
add_printer Net "dnssd://Label._pdl-datastream._tcp.local/"
TO=ipp://127.0.0.1:$PORT/ipp/print/Net print_job net "$here/printer-attributes.test" text/plain
for _ in $(seq 100); do
  grep -q "\[Printer Net\] Unable to open device" "$WORK/log" && break
  kill -0 "$SERVER_PID" 2>/dev/null || fail "the server died: $(tail -5 "$WORK/server.out")"
  sleep 0.1
done
grep -q "\[Printer Net\] Unable to open device" "$WORK/log" || fail "the dnssd:// printer was not opened"
if $no_avahi; then
  grep -q "\[Device\] The network printer (dnssd://) cannot be reached: that needs avahi-daemon" "$WORK/log" ||
    fail "the dnssd:// printer's open left no log line about avahi-daemon"
fi
# Its job is canceled, so that the job's thread ends before the server stops.
ipptool -q -d job="$JOB" "ipp://127.0.0.1:$PORT/ipp/print/Net" "$here/cancel-job.test" ||
  fail "cancel-job $JOB"

# The form's darkness steps are 0, 6, 13, ... 100 %: 53 % is Darkness
# round(53 x 15 / 100) = 8.
timeout 180 /usr/bin/python3 "$here/web_defaults.py" "http://127.0.0.1:$PORT/Label" "$WORK/log" 53 9 7 ||
  fail "the browser test of the web page failed"
pass "Chromium: settings, choices and media in words; feed 99 from a form set back with a log line; darkness 53 %, print head pressure 9 and feed 7 saved; Add Printer lists devices"
kill -0 "$SERVER_PID" 2>/dev/null || fail "the server died: $(tail -5 "$WORK/server.out")"

"$WORK/$SERVER_NAME" devices >"$WORK/devices.txt" 2>&1 || fail "devices: $(cat "$WORK/devices.txt")"
if $no_avahi; then
  grep -q "^$SERVER_NAME: Network printers (dnssd://) are not discovered: that needs avahi-daemon" \
    "$WORK/devices.txt" || fail "devices does not say that discovery needs avahi-daemon: $(cat "$WORK/devices.txt")"
  grep -q "\[Device\] Network printers (dnssd://) are not discovered: that needs avahi-daemon" "$WORK/log" ||
    fail "the Add Printer page left no log line about avahi-daemon"
fi
kill -0 "$SERVER_PID" 2>/dev/null || fail "the server died: $(tail -5 "$WORK/server.out")"
pass "Add Printer, devices and a dnssd:// printer without avahi-daemon: the server is still up"

# The test page: the self-test label at the default 4 x 6 in, 812 dots in
# 104-byte bands, with the new settings ahead of it.
for _ in $(seq 100); do
  [[ -s "$WORK/out/Test Page.prn" ]] && break
  sleep 0.1
done
"$STREAM_CHECK" "$WORK/out/Test Page.prn" >"$WORK/test-page.txt" ||
  fail "the test page is no printer stream the decoder reads"
expect_equal "test page settings" "$(grep '^setting' "$WORK/test-page.txt")" "setting PrintPressure 9
setting Darkness 8"
expect_equal "test page bands" "$(grep '^band' "$WORK/test-page.txt" | sort -u)" "band 104"
pass "Print Test Page: the self-test label in 104-byte bands, after PrintPressure 9 and Darkness 8"

ipptool -q -d darkness=53 -d pressure=9 -d feed=7 "$PRINTER" "$here/printer-attributes.test" ||
  fail "$(ipptool -t -d darkness=53 -d pressure=9 -d feed=7 "$PRINTER" "$here/printer-attributes.test")"
pass "ipptool: printer-darkness-configured 53, print-head-pressure-default 9, feed-after-printing-default 7"

"$LABEL_RASTERS" "$WORK" 479 319
timeout 60 ipptool -q -d jobname=web -f "$WORK/gray-sgray.pwg" "$PRINTER" "$here/print-job.test" ||
  fail "print-job"
for _ in $(seq 100); do
  [[ -s $WORK/out/web.prn ]] && break
  sleep 0.1
done
"$STREAM_CHECK" "$WORK/out/web.prn" | grep '^setting' >"$WORK/settings.txt" || true
expect_equal "settings commands" "$(cat "$WORK/settings.txt")" "setting PrintPressure 9
setting Darkness 8"
pass "a job with the new defaults sends PrintPressure 9 and Darkness 8"
