# shellcheck shell=bash
# Start and stop the printer application's server for a test: 127.0.0.1, a
# free port, and its spool, log and state file in $WORK. Needs APP and WORK;
# sets PORT and SERVER_PID. The server runs under a name of its own, since
# PAPPL names its local socket after the program (/run/NAME.sock as root):
# an installed application's socket is left alone.

SERVER_PID=
PORT=
APP_TESTS=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# The sanitizer build's leak report leaves out what PAPPL and its libraries
# keep for the life of the process.
export LSAN_OPTIONS="suppressions=$APP_TESTS/lsan.supp:fast_unwind_on_malloc=0:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# 'start_server' - Start the server and wait until it answers (the same port
# again on a restart). It logs at the debug level, or at $LOG_LEVEL; with
# LOG_LEVEL set empty, at the application's default level.
start_server() {
  [[ -n $PORT ]] || PORT=$(free_port) || fail "no free port on 127.0.0.1"
  mkdir -p "$WORK/spool" "$WORK/out"
  SERVER_NAME=label-printer-app-test-$PORT
  ln -sf "$(realpath "$APP")" "$WORK/$SERVER_NAME"
  local level=()
  [[ -z ${LOG_LEVEL-debug} ]] || level=(-o log-level="${LOG_LEVEL-debug}")
  "$WORK/$SERVER_NAME" server -o server-port="$PORT" -o spool-directory="$WORK/spool" \
    -o log-file="$WORK/log" "${level[@]}" -o log-max-size=0 -o state-file="$WORK/state" \
    >>"$WORK/server.out" 2>&1 &
  SERVER_PID=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$PORT") 2>/dev/null && return 0
    kill -0 "$SERVER_PID" 2>/dev/null || fail "the server exited: $(tail -5 "$WORK/server.out")"
    sleep 0.1
  done
  fail "the server does not answer on port $PORT"
}

# 'stop_server' - Stop the server by its PID and wait for it.
stop_server() {
  [[ -n $SERVER_PID ]] || return 0
  kill -TERM "$SERVER_PID" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$SERVER_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$SERVER_PID" 2>/dev/null || true
  wait "$SERVER_PID" 2>/dev/null || true
  SERVER_PID=
  rm -f "/run/$SERVER_NAME.sock" "${XDG_RUNTIME_DIR:-/nonexistent}/$SERVER_NAME.sock" \
    "${TMPDIR:-/tmp}/$SERVER_NAME$(id -u).sock"
  # In the sanitizer build the server reports what it found as it exits.
  if grep -qE "Sanitizer|runtime error" "$WORK/server.out" 2>/dev/null; then
    cat "$WORK/server.out" >&2
    fail "the server's sanitizers reported an error"
  fi
}

# 'add_printer NAME DEVICE-URI' - Add a printer through the system's IPP
# service, as 'label-printer-app add' does.
add_printer() {
  "$WORK/$SERVER_NAME" add -u "ipp://127.0.0.1:$PORT/ipp/system" -d "$1" -v "$2" -m thermal-label-203 ||
    fail "label-printer-app add -d $1 -v $2"
}

# 'print_job NAME FILE FORMAT ATTR...' - Print-Job to ${TO:-$PRINTER} with job
# attributes given as TYPE:NAME=VALUE; sets JOB to the new job's id. The job
# is named NAME, or $JOB_NAME as it stands (any bytes). A printer that is busy
# with another job or finishing one is asked again, as CUPS does; with
# $PRINT_STATUS the request is sent once and must get that status.
print_job() {
  local name=$1 file=$2 format=$3 attr test=$WORK/$1.test out
  shift 3
  {
    echo "{ NAME \"Print $name\" OPERATION Print-Job"
    echo "  GROUP operation-attributes-tag"
    echo "  ATTR charset attributes-charset utf-8"
    echo "  ATTR naturalLanguage attributes-natural-language en"
    echo "  ATTR uri printer-uri \$uri"
    echo "  ATTR name requesting-user-name tester"
    echo "  ATTR name job-name \"\$job_name\""
    echo "  ATTR mimeMediaType document-format $format"
    echo "  GROUP job-attributes-tag"
    echo "  ATTR keyword media ${MEDIA:-om_60x40-label_60x40mm}"
    for attr in "$@"; do
      echo "  ATTR ${attr%%:*} $(cut -d= -f1 <<<"${attr#*:}") ${attr#*=}"
    done
    echo "  FILE $file"
    if [[ -n ${PRINT_STATUS:-} ]]; then
      echo "  STATUS $PRINT_STATUS"
    else
      echo "  STATUS successful-ok STATUS server-error-busy"
      echo "  STATUS server-error-not-accepting-jobs"
    fi
    echo "  DISPLAY job-id }"
  } >"$test"
  for _ in $(seq 200); do
    out=$(timeout 60 ipptool ${IPP_OPTIONS:-} -t -d job_name="${JOB_NAME:-$name}" \
      "${TO:-$PRINTER}" "$test") || fail "print-job $name: $out"
    JOB=$(sed -n 's/.*job-id (integer) = \([0-9]*\).*/\1/p' <<<"$out")
    [[ -n $JOB || -n ${PRINT_STATUS:-} ]] && return 0
    sleep 0.05
  done
  fail "print-job $name: the printer stayed busy"
}

# 'wait_job STATE REASON' - Wait until job JOB ends in STATE with REASON,
# for at most $WAIT_SECONDS (60).
wait_job() {
  [[ -n $JOB ]] || fail "no job id"
  timeout "${WAIT_SECONDS:-60}" ipptool -q -d job="$JOB" -d state="$1" -d reason="$2" "${TO:-$PRINTER}" \
    "$APP_TESTS/wait-job.test" ||
    fail "job $JOB: $(ipptool -t -d job="$JOB" -d state="$1" -d reason="$2" "${TO:-$PRINTER}" \
      "$APP_TESTS/wait-job.test")"
}

# 'start_label_printer' - Stop the server and remove $WORK when the test
# ends, start the server, and add the printer "Label" that prints into
# $WORK/out; sets PRINTER to its IPP address.
start_label_printer() {
  trap 'status=$?; stop_server; remove_work_dir $status; exit $status' EXIT
  trap 'exit 1' INT TERM
  start_server
  add_printer Label "file://$WORK/out"
  PRINTER=ipp://127.0.0.1:$PORT/ipp/print/Label
}
