#!/bin/bash
# Job latency of the printer application beside LPrint's: the same 4 x 6 in
# label (812 x 1218 dots at 203 dpi) printed as a gray PNG, a JPEG and a PWG
# raster page to both, each job timed from its Print-Job to its completed
# state by one client (job_latency), the two printers in turn.
#
#   bench/run_app_latency.sh [-n N] [--log-level LEVEL] [--app PATH] [--keep] [BUILD_DIR]
#
# BUILD_DIR (default build-bench, a Release build) holds label-printer-app
# and the bench programs job_latency and gray_documents; nothing is built
# here. -n: jobs of each document on each printer (default 40); --log-level:
# both servers' (default info); --app: another label-printer-app to time
# (an earlier version, say) in place of BUILD_DIR's; --keep: keep the
# scratch folder (its name is printed), with the servers' logs and the
# printed streams. Prints the median, fastest and slowest times in
# milliseconds and the ratio of the medians, ours / LPrint's.
#
# LPrint 1.1 (Debian package lprint, installed when missing) has a 203 dpi
# 4-inch ZPL driver whose default media is 4 x 6 in. Both servers run
# under names of their own, with their spool, log and state in a scratch
# folder, so that no installed server's socket or state is touched. LPrint
# 1.1 listens on every address: run as root, the script gives both servers
# a network of their own with only the loopback in it.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [[ -z ${APP_LATENCY_INSIDE:-} && $EUID -eq 0 ]] && unshare --net true 2>/dev/null; then
  exec env APP_LATENCY_INSIDE=1 unshare --net bash -c \
    'ip link set lo up && exec bash "$0" "$@"' "${BASH_SOURCE[0]}" "$@"
fi

rounds=40
log_level=info
keep=
app=
build=$repo/build-bench
while (($#)); do
  case $1 in
  -n) rounds=$2; shift 2 ;;
  --log-level) log_level=$2; shift 2 ;;
  --app) app=$2; shift 2 ;;
  --keep) keep=1; shift ;;
  -*)
    echo "usage: run_app_latency.sh [-n N] [--log-level LEVEL] [--app PATH] [--keep] [BUILD_DIR]" >&2
    exit 2
    ;;
  *) build=$1; shift ;;
  esac
done
app=${app:-$build/app/label-printer-app}
for program in "$app" "$build/bench/job_latency" "$build/bench/gray_documents"; do
  [[ -x $program ]] || { echo "run_app_latency.sh: no $program (build it first)" >&2; exit 1; }
done

# LPrint from Debian, as scripts/setup.sh installs packages.
if ! command -v lprint >/dev/null; then
  echo "Installing: lprint"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends lprint
fi
for program in lprint pdftoppm gs; do
  command -v $program >/dev/null || { echo "run_app_latency.sh: no $program" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/app-latency.XXXXXX")
pids=()
names=()
cleanup() {
  local pid name
  for pid in "${pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  # The local sockets PAPPL made for the servers, named after them.
  for name in "${names[@]}"; do
    rm -f "/run/$name.sock" "${TMPDIR:-/tmp}/$name$(id -u).sock"
  done
  if [[ -n $keep ]]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# 'free_port' - A port on 127.0.0.1 nobody listens on.
free_port() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 40000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return 0; }
  done
  return 1
}

# 'wait_port PORT PID' - Wait until the server PID answers on PORT.
wait_port() {
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    kill -0 "$2" 2>/dev/null || { echo "the server on port $1 exited" >&2; exit 1; }
    sleep 0.1
  done
  echo "no server on port $1" >&2
  exit 1
}

# The sample label at 203 dpi: gray PNG and PWG from pdftoppm's gray
# pixels, JPEG as pdftoppm writes it.
"$repo/scripts/sample_pdf.sh" "$work/label.pdf"
pdftoppm -gray -r 203 -singlefile "$work/label.pdf" "$work/label"
pdftoppm -jpeg -gray -r 203 -singlefile "$work/label.pdf" "$work/label"
"$build/bench/gray_documents" "$work/label.pgm" "$work/label.png" "$work/label.pwg"

# The two servers, each under a name of its own (PAPPL names its local
# socket after the program).
mkdir -p "$work/ours/spool" "$work/ours/out" "$work/lprint/spool" "$work/lprint/out"
ours_port=$(free_port)
ours=$work/label-printer-app-bench-$ours_port
names+=("$(basename "$ours")")
ln -s "$(realpath "$app")" "$ours"
"$ours" server -o server-port="$ours_port" -o spool-directory="$work/ours/spool" \
  -o log-file="$work/ours/log" -o log-level="$log_level" -o state-file="$work/ours/state" \
  >"$work/ours/server.out" 2>&1 &
pids+=($!)
wait_port "$ours_port" "${pids[-1]}"

lprint_port=$(free_port)
lprint=$work/lprint-bench-$lprint_port
names+=("$(basename "$lprint")")
ln -s "$(command -v lprint)" "$lprint"
# LPrint keeps its state in $XDG_DATA_HOME/.lprint.conf.
XDG_DATA_HOME=$work/lprint HOME=$work/lprint "$lprint" server -o server-port="$lprint_port" \
  -o spool-directory="$work/lprint/spool" -o log-file="$work/lprint/log" \
  -o log-level="$log_level" >"$work/lprint/server.out" 2>&1 &
pids+=($!)
wait_port "$lprint_port" "${pids[-1]}"

"$ours" add -u "ipp://127.0.0.1:$ours_port/ipp/system" -d Label -v "file://$work/ours/out" \
  -m thermal-label-203
XDG_DATA_HOME=$work/lprint HOME=$work/lprint "$lprint" add \
  -u "ipp://127.0.0.1:$lprint_port/ipp/system" -d Label -v "file://$work/lprint/out" \
  -m zpl_4inch-203dpi-dt

echo "$rounds jobs of each document on each printer; log level $log_level; $(nproc) cores"
"$build/bench/job_latency" "$rounds" \
  "ours=ipp://127.0.0.1:$ours_port/ipp/print/Label" \
  "LPrint=ipp://127.0.0.1:$lprint_port/ipp/print/Label" \
  "image/png=$work/label.png" "image/jpeg=$work/label.jpg" \
  "image/pwg-raster=$work/label.pwg"
