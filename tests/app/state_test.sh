#!/bin/bash
# What a client sends must not change the state file's structure, and a bad
# value of a vendor attribute must not reach the printer: a job name and a
# printer location that try to close the printer's block and plant a new
# printer, vendor values of the wrong range and type, a restart on the state
# file, a broken state file and an earlier version's file.
#
#   state_test.sh APP LABEL_RASTERS STREAM_CHECK
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: state_test.sh APP LABEL_RASTERS STREAM_CHECK"
APP=${1:?$usage}
LABEL_RASTERS=${2:?$usage}
STREAM_CHECK=${3:?$usage}
require_programs ipptool

make_work_dir
source "$here/server.sh"
start_label_printer
mkdir -p "$WORK/page"
"$LABEL_RASTERS" "$WORK/page" 479 319 1
PAGE=$WORK/page/gray-sgray.pwg

# 'printer_exists NAME' - Whether the server has a printer of that name.
printer_exists() {
  ipptool -q "ipp://127.0.0.1:$PORT/ipp/print/$1" get-printer-attributes.test 2>/dev/null
}

# 'ipp URI TEST-TEXT IPPTOOL-OPTIONS...' - Send one request written as an
# ipptool test, with the options of ipptool (-d NAME=VALUE ...).
ipp() {
  local uri=$1 text=$2
  shift 2
  printf '%s\n' "$text" >"$WORK/request.test"
  ipptool "$@" "$uri" "$WORK/request.test"
}
SYSTEM=ipp://127.0.0.1:$PORT/ipp/system

# 'settings NAME' - The settings commands of the stream the job NAME printed.
settings() {
  "$STREAM_CHECK" "$WORK/out/$1.prn" | grep '^setting' || true
}

# ---- Text that tries to plant a printer ---------------------------------------
planted='<Printer id=77 name=Planted uri=file:///tmp/planted driver=thermal-label-203>'
JOB_NAME=$'x\n</Printer>\n'"$planted" print_job planted "$PAGE" image/pwg-raster
wait_job 9 job-completed-successfully
# (PAPPL 1.3.1 stores a printer's location only from its web page.)
location=$'Shelf 3\n</Printer>\n'"$planted"
ipp "$SYSTEM" '{ OPERATION Set-System-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri system-uri $uri
  GROUP system-attributes-tag
  ATTR text system-location "$location"
  STATUS successful-ok }' -q -d location="$location" || fail "set-system-attributes system-location"
stop_server
expect_equal "the state file's mode" "$(stat -c %a "$WORK/state")" 600
! grep -q '^<Printer\|Planted$' "$WORK/state" || fail "a client's text wrote lines of its own into the state file"
start_server
! printer_exists Planted || fail "after a restart the printer 'Planted' exists"
printer_exists Label || fail "after a restart the printer 'Label' is gone"
ipp "$SYSTEM" '{ OPERATION Get-System-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri system-uri $uri
  ATTR keyword requested-attributes system-location
  STATUS successful-ok
  EXPECT system-location WITH-VALUE "$location" }' -t -d location="$location" >"$WORK/location.out" ||
  fail "the system's location did not come back as it was set: $(cat "$WORK/location.out")"
pass "a job name and a location that close the printer's block: state file 0600, no planted printer after a restart, the location back as it was"

# ---- Vendor values the printer does not take ------------------------------------
# Each job prints with the printer's default instead, and its log says so.
print_job plain "$PAGE" image/pwg-raster
wait_job 9 job-completed-successfully
cases=(
  "feed-99|integer:feed-after-printing=99"
  "feed-minus|integer:feed-after-printing=-1"
  "cutting-bogus|keyword:cutting=bogus"
  "pressure-16|keyword:print-head-pressure=16"
  "pressure-integer|integer:print-head-pressure=15"
  "mirror-keyword|keyword:mirror-image=true"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name attr <<<"$entry"
  print_job "$name" "$PAGE" image/pwg-raster "$attr"
  wait_job 9 job-completed-successfully
  cmp -s "$WORK/out/$name.prn" "$WORK/out/plain.prn" ||
    fail "$attr was obeyed: $(settings "$name")"
  value=${attr#*:}
  grep -qF "[Job $JOB] The job's ${value%%=*}=" "$WORK/log" || fail "no log line for $attr"
  ipptool -t -d job="$JOB" -d state=9 -d reason=job-completed-successfully "$PRINTER" \
    "$APP_TESTS/wait-job.test" | grep -qF "job-state-message (textWithoutLanguage) = Ignored ${value%%=*}=" ||
    fail "the job-state-message does not name $attr"
done
pass "feed 99 and -1, cutting=bogus, pressure 16 and the integer 15, mirror as a keyword: each ignored with a log line and the job's message, the job prints as with no value"

# A printer default of a wrong value, set over IPP, is set back; the
# printer's own default then applies to jobs.
ipp "$PRINTER" '{ OPERATION Set-Printer-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  GROUP printer-attributes-tag
  ATTR keyword print-head-pressure-default "16"
  ATTR keyword cutting-default "end-of-job"
  STATUS successful-ok }' -q || fail "set-printer-attributes print-head-pressure-default"
print_job default-16 "$PAGE" image/pwg-raster
wait_job 9 job-completed-successfully
expect_equal "the settings with pressure-default 16" "$(settings default-16)" ""
stop_server
grep -q "^vendor print-head-pressure printer-setting$" "$WORK/state" ||
  fail "the default of pressure 16 was saved: $(grep pressure "$WORK/state")"
grep -q "^vendor cutting end-of-job$" "$WORK/state" || fail "the good default was not saved"
pass "print-head-pressure-default 16 over IPP: jobs send no pressure, and the state keeps printer-setting"

# ---- A state file that cannot be read whole --------------------------------------
head -c -1 "$WORK/state" >"$WORK/state.cut"
mv "$WORK/state.cut" "$WORK/state"
start_server
! printer_exists Label || fail "a printer came from a state file that breaks off"
[[ -f $WORK/state.unreadable ]] || fail "the broken state file was not moved aside"
grep -q "The state file '$WORK/state' cannot be read (line [0-9]*: the file breaks off)" "$WORK/log" ||
  fail "no log line for the broken state file"
stop_server
pass "a state file that breaks off: moved to state.unreadable with an error in the log, the server starts empty"

# ---- An earlier version's file, as PAPPL wrote it ------------------------------
pappl_state() {
  echo "DefaultPrinterID 1"
  echo "NextPrinterID 2"
  echo "UUID urn:uuid:5e7d3c4b-0000-4000-8000-000000000001"
  echo "<Printer id=1 name=Old did=\"\" uri=file://$WORK/out driver=thermal-label-203>"
  echo "MaxActiveJobs 0"
  echo "print-head-pressure-default 9"
  echo "$1"
  echo "</Printer>"
}
rm -f "$WORK/state.unreadable"
pappl_state 'Job id=1 name="label" username=tester format=image/pwg-raster state=9' >"$WORK/state"
start_server
printer_exists Old || fail "the printer of an earlier version's state file is gone"
stop_server
grep -q "^vendor print-head-pressure 9$" "$WORK/state" || fail "the old file was not saved anew"
pappl_state "Job id=1 name=\"x"$'\n'"</Printer>"$'\n'"$planted"$'\n'"\" username=tester" >"$WORK/state"
start_server
! printer_exists Planted || fail "a planted printer was loaded from an earlier version's file"
[[ -f $WORK/state.unreadable ]] || fail "the earlier version's broken file was not moved aside"
pass "an earlier version's state file is loaded and saved anew; one with a planted printer is moved aside"
