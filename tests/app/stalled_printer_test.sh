#!/bin/bash
# A socket:// printer that stops reading in the middle of a job: the job
# waits for it until it is canceled, the cancel ends the job within 2 s, the
# log says the rest was not sent, and the printer then takes the next job.
# Once for a PWG job, once for a document of the printer's own commands. A
# job canceled while a slow printer reads it ends with whole labels and the
# cut it asked for at its end.
#
#   stalled_printer_test.sh APP LABEL_RASTERS
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: stalled_printer_test.sh APP LABEL_RASTERS"
APP=${1:?$usage}
LABEL_RASTERS=${2:?$usage}
require_programs ipptool /usr/bin/python3
make_work_dir
source "$here/server.sh"
DEVICE_PID=
PRINT_PID=
trap 'status=$?; [[ -z $PRINT_PID ]] || kill "$PRINT_PID"; [[ -z $DEVICE_PID ]] || kill "$DEVICE_PID"; stop_server; remove_work_dir $status; exit $status' EXIT
trap 'exit 1' INT TERM

# The printer (slow_device.py): while the file DIR/stall exists, a
# connection it takes is held and never read; otherwise each connection is
# read to its end (fast once DIR/fast exists) into DIR/N.prn.
DEVICE_PORT=$(free_port) || fail "no free port for the printer"
mkdir -p "$WORK/printer"
touch "$WORK/printer/fast"
/usr/bin/python3 "$here/slow_device.py" "$DEVICE_PORT" "$WORK/printer" &
DEVICE_PID=$!

start_server
add_printer File "file://$WORK/out"
add_printer Stalled "socket://127.0.0.1:$DEVICE_PORT"
FILE_PRINTER=ipp://127.0.0.1:$PORT/ipp/print/File
STALLED=ipp://127.0.0.1:$PORT/ipp/print/Stalled

# Beside the application's own socket scheme, PAPPL's others are all there.
cat >"$WORK/schemes.test" <<'EOF'
{ OPERATION Get-System-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri system-uri $uri
  STATUS successful-ok
  EXPECT smi55357-device-uri-schemes-supported COUNT 5
    WITH-ALL-VALUES "/^(dnssd|file|snmp|socket|usb)$/" }
EOF
schemes=$(ipptool -t "ipp://127.0.0.1:$PORT/ipp/system" "$WORK/schemes.test") ||
  fail "device schemes: $schemes"
pass "the server offers the dnssd, file, snmp, socket and usb schemes"

# 'cancel_stalled JOB N WHAT' - Once the printer has held its Nth connection
# 2.5 s without reading, job JOB must still be printing (the printer may be
# out of paper); then cancel it: it must end within 2 s, and the log must say
# that the rest was not sent. The printer then reads again.
cancel_stalled() {
  local job=$1 n=$2 what=$3 start took
  for _ in $(seq 100); do
    [[ -e $WORK/printer/$n.stalled ]] && break
    sleep 0.1
  done
  [[ -e $WORK/printer/$n.stalled ]] || fail "$what never reached the printer"
  sleep 2.5
  # Still printing: the printer may be out of paper.
  JOB=$job TO=$STALLED WAIT_SECONDS=1 wait_job 5 job-printing
  start=$(date +%s.%N)
  ipptool -q -d job="$job" "$STALLED" "$here/cancel-job.test" || fail "cancel-job $job"
  JOB=$job TO=$STALLED WAIT_SECONDS=5 wait_job 7 job-canceled-by-user
  took=$(seconds_since "$start")
  awk -v t="$took" 'BEGIN { exit !(t < 2) }' || fail "$what took $took s to end after Cancel-Job"
  grep -q "\[Job $job\] The printer stopped reading; the rest of the job was not sent\." \
    "$WORK/log" || fail "the log does not say that the rest of $what was not sent"
  pass "$what waits for a printer that stopped reading; a cancel ends it in $took s, and the log says the rest was not sent"
  rm "$WORK/printer/stall"
}

# The label as the file printer gets it.
"$LABEL_RASTERS" "$WORK" 479 319 1
TO=$FILE_PRINTER print_job reference "$WORK/gray-sgray.pwg" image/pwg-raster
TO=$FILE_PRINTER wait_job 9 job-completed-successfully
[[ -s $WORK/out/reference.prn ]] || fail "no label in $WORK/out"

# 999 copies of the label, 18.8 MB, far more than the sockets between the
# server and the printer hold. Print-Job answers when PAPPL has read the
# whole job: it runs alongside.
for _ in $(seq 100); do
  [[ -e $WORK/printer/ready ]] && break
  sleep 0.1
done
touch "$WORK/printer/stall"
TO=$STALLED print_job copies "$WORK/gray-sgray.pwg" image/pwg-raster integer:copies=999 &
PRINT_PID=$!
cancel_stalled 1 1 "a PWG job of 999 copies"
wait "$PRINT_PID" || fail "print-job of 999 copies"
PRINT_PID=

# The same 999 labels as a document of the printer's own commands.
for _ in $(seq 999); do cat "$WORK/out/reference.prn"; done >"$WORK/commands.prn"
touch "$WORK/printer/stall"
TO=$STALLED print_job commands "$WORK/commands.prn" application/vnd.thermal-label-commands
cancel_stalled 2 2 "a job of the printer's own commands"

# The printer is free and reads again: the next job has a connection of its
# own, and the whole label.
TO=$STALLED print_job next "$WORK/gray-sgray.pwg" image/pwg-raster
TO=$STALLED wait_job 9 job-completed-successfully
for _ in $(seq 100); do
  [[ -e $WORK/printer/3.prn ]] && break
  sleep 0.1
done
cmp -s "$WORK/printer/3.prn" "$WORK/out/reference.prn" ||
  fail "the job after the cancels reached the printer as $(stat -c %s "$WORK/printer/3.prn" 2>&1) bytes, not the whole label"
pass "the printer is free: the next job prints the whole label"

# A job canceled between its copies ends as labelfilter ends one: whole
# labels, then the cut it asked for at its end. The printer reads slowly
# until the cancel, then fast.
rm "$WORK/printer/fast"
TO=$STALLED print_job cut "$WORK/gray-sgray.pwg" image/pwg-raster integer:copies=999 \
  keyword:cutting=end-of-job &
PRINT_PID=$!
for _ in $(seq 100); do
  [[ -s $WORK/printer/4.part ]] && break
  sleep 0.1
done
ipptool -q -d job=4 "$STALLED" "$here/cancel-job.test" || fail "cancel-job 4"
JOB=4 TO=$STALLED wait_job 7 job-canceled-by-user
touch "$WORK/printer/fast"
wait "$PRINT_PID" || fail "print-job of 999 copies and a cut"
PRINT_PID=
for _ in $(seq 100); do
  [[ -e $WORK/printer/4.prn ]] && break
  sleep 0.1
done
label=$(stat -c %s "$WORK/out/reference.prn")
size=$(stat -c %s "$WORK/printer/4.prn" 2>/dev/null) || fail "the canceled job never ended at the printer"
copies=$(((size - 3) / label))
((copies >= 1 && copies < 999 && copies * label + 3 == size)) ||
  fail "the canceled job reached the printer as $size bytes, not whole labels of $label bytes and a cut"
cmp -s "$WORK/printer/4.prn" <(for _ in $(seq "$copies"); do cat "$WORK/out/reference.prn"; done
  printf '\x1d\x56\x00') || fail "the canceled job's $copies labels and cut are not the label's bytes"
pass "a job canceled after $copies of its 999 labels ends with them whole and the cut at its end"
