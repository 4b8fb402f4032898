# shellcheck shell=bash
# Helpers shared by the tests that print through the real CUPS programs.
# Sourced by install_test.sh, cupsfilter_test.sh and spooler_test.sh.

# Every CUPS program the tests use comes from the Debian packages that
# scripts/setup.sh installs.
require_programs() {
  local missing=()
  for program in "$@"; do
    command -v "$program" >/dev/null || [[ -x /usr/sbin/$program ]] || missing+=("$program")
  done
  if ((${#missing[@]})); then
    echo "FAIL: missing ${missing[*]}: run scripts/setup.sh (cups, cups-filters, ghostscript)" >&2
    exit 1
  fi
  PATH=$PATH:/usr/sbin
}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

pass() {
  echo "ok: $*"
}

# A work folder that the user lp can read (cupsd runs filters as lp): removed
# at the end unless KEEP_CUPS_WORK is set, or the test failed.
make_work_dir() {
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/labelfilter-cups.XXXXXX")
  chmod 0755 "$WORK"
}

remove_work_dir() {
  local status=$1
  if [[ -n ${KEEP_CUPS_WORK:-} || $status -ne 0 ]]; then
    echo "work folder kept: $WORK" >&2
  else
    rm -rf "$WORK"
  fi
}

# 'stream_tokens FILE' - The commands of a printer stream, one per line (see
# stream_check.cpp); fails the test when the stream is malformed.
stream_tokens() {
  "$STREAM_CHECK" "$1" || fail "$1 is not a well-formed printer stream"
}

# 'expect_equal WHAT ACTUAL EXPECTED'
expect_equal() {
  [[ $2 == "$3" ]] || fail "$1: got '$2', expected '$3'"
}

# 'band_width_bytes DOTS BITS' - The width in bytes of the GS v 0 bands of a
# page DOTS wide: a 1-bit raster line is sent as it is, (DOTS + 7) / 8 bytes;
# gray and colour pages are packed into whole 32-bit words.
band_width_bytes() {
  local dots=$1 bits=$2
  if ((bits == 1)); then
    echo $(((dots + 7) / 8))
  else
    # shellcheck disable=SC2017 # whole 32-dot words, rounded up
    echo $(((dots + 31) / 32 * 4))
  fi
}

# 'seconds_since START' - Seconds since START (a 'date +%s.%N'), to 0.1 s.
seconds_since() {
  awk -v s="$1" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f\n", e - s }'
}

# 'dots_for_points POINTS' - The dots a length in points takes at 203 dpi,
# rounded to the nearest dot as the raster filters do.
dots_for_points() {
  awk -v p="$1" 'BEGIN { printf "%d\n", p * 203 / 72 + 0.5 }'
}

# 'install_build BUILD_DIR DEST' - 'cmake --install' BUILD_DIR into the
# DESTDIR DEST and check the layout CUPS needs: the filter in ServerBin's
# filter folder, mode 0755, commandtolabel beside it, and the PPD under
# DataDir's model folder. Sets INSTALLED_FILTER and INSTALLED_PPD.
MODEL=labelfilter/thermal-label-203.ppd
install_build() {
  local build=$1 dest=$2
  DESTDIR=$dest cmake --install "$build" >/dev/null || fail "cmake --install $build"
  INSTALLED_FILTER=$dest$(cups-config --serverbin)/filter/labelfilter
  INSTALLED_PPD=$dest$(cups-config --datadir)/model/$MODEL
  [[ -x $INSTALLED_FILTER ]] || fail "no filter at $INSTALLED_FILTER"
  expect_equal "mode of the installed filter" "$(stat -c %a "$INSTALLED_FILTER")" 755
  local command_filter
  command_filter=$(dirname "$INSTALLED_FILTER")/commandtolabel
  [[ -x $command_filter ]] || fail "no commandtolabel at $command_filter"
  expect_equal "mode of the installed commandtolabel" "$(stat -c %a "$command_filter")" 755
  [[ -r $INSTALLED_PPD ]] || fail "no PPD at $INSTALLED_PPD"
}

# 'free_port' - A port on 127.0.0.1 that nobody listens on.
free_port() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

# 'start_cupsd DIR' - Start a private cupsd on a free port of 127.0.0.1, with
# its configuration, spool, cache and logs under DIR; the lines on standard
# input are added to its cups-files.conf. Sets CUPSD_PID, CUPSD_DIR and
# CUPS_PORT, exports CUPS_SERVER, and returns once cupsd answers.
start_cupsd() {
  CUPSD_DIR=$1
  local d=$1
  mkdir -p "$d/etc/ppd" "$d/spool/tmp" "$d/cache" "$d/run" "$d/log"
  chmod 0755 "$d" "$d"/{etc,spool,cache,run,log}
  CUPS_PORT=$(free_port) || fail "no free port for cupsd"
  {
    cat <<EOF
ServerRoot $d/etc
RequestRoot $d/spool
TempDir $d/spool/tmp
CacheDir $d/cache
StateDir $d/run
ErrorLog $d/log/error_log
AccessLog $d/log/access_log
PageLog $d/log/page_log
Printcap $d/run/printcap
User lp
Group lp
SystemGroup root
EOF
    cat
  } >"$d/etc/cups-files.conf"
  cat >"$d/etc/cupsd.conf" <<EOF
LogLevel debug
MaxLogSize 0
Listen 127.0.0.1:$CUPS_PORT
Browsing No
WebInterface No
DefaultAuthType None
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  export CUPS_SERVER=127.0.0.1:$CUPS_PORT
  /usr/sbin/cupsd -f -c "$d/etc/cupsd.conf" -s "$d/etc/cups-files.conf" >"$d/log/cupsd.out" 2>&1 &
  CUPSD_PID=$!
  for _ in $(seq 100); do
    timeout 30 lpstat -r 2>/dev/null | grep -q "is running" && return 0
    kill -0 "$CUPSD_PID" 2>/dev/null || fail "cupsd exited: $(cat "$d/log/cupsd.out")"
    sleep 0.1
  done
  fail "cupsd does not answer on $CUPS_SERVER"
}

# The processes of the private cupsd: its filters carry its ServerRoot in
# their environment.
cupsd_leftover_pids() {
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    tr '\0' '\n' <"$environ" 2>/dev/null | grep -qx "CUPS_SERVERROOT=$CUPSD_DIR/etc" && echo "$pid"
  done
  return 0
}

# 'stop_cupsd' - Stop the private cupsd by its PID (it stops its jobs'
# filters itself); force it after ten seconds; then kill any of its filters
# still running and say so.
stop_cupsd() {
  [[ -n ${CUPSD_PID:-} ]] || return 0
  kill -TERM "$CUPSD_PID" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$CUPSD_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$CUPSD_PID" 2>/dev/null; then
    echo "cupsd $CUPSD_PID did not stop; killing it" >&2
    kill -KILL "$CUPSD_PID" 2>/dev/null || true
  fi
  wait "$CUPSD_PID" 2>/dev/null || true
  CUPSD_PID=
  local left
  left=$(cupsd_leftover_pids)
  if [[ -n $left ]]; then
    echo "processes of cupsd left running: $left; killing them" >&2
    # shellcheck disable=SC2086 # one argument per PID
    kill -KILL $left 2>/dev/null || true
    return 1
  fi
}
