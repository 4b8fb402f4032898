#!/bin/bash
# Time from upload to picture of the web page's label preview: the sample
# 4 x 6 in label (812 x 1218 dots at 203 dpi) as a gray PNG, posted to
# PRINTER/preview N times by curl, each timed from the request to the last
# byte of the picture, one after another.
#
#   bench/run_preview_latency.sh [-n N] [BUILD_DIR]
#
# BUILD_DIR (default build-bench, a Release build) holds label-printer-app
# and gray_documents; nothing is built here. Prints the median, fastest and
# slowest times in milliseconds.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

rounds=20
build=$repo/build-bench
while (($#)); do
  case $1 in
  -n) rounds=$2; shift 2 ;;
  -*) echo "usage: run_preview_latency.sh [-n N] [BUILD_DIR]" >&2; exit 2 ;;
  *) build=$1; shift ;;
  esac
done
for program in "$build/app/label-printer-app" "$build/bench/gray_documents" pdftoppm curl; do
  command -v "$program" >/dev/null || { echo "run_preview_latency.sh: no $program" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/preview-latency.XXXXXX")
pid=
name=
cleanup() {
  [[ -z $pid ]] || { kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
  [[ -z $name ]] || rm -f "/run/$name.sock" "${TMPDIR:-/tmp}/$name$(id -u).sock"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

"$repo/scripts/sample_pdf.sh" "$work/label.pdf"
pdftoppm -gray -r 203 -singlefile "$work/label.pdf" "$work/label"
"$build/bench/gray_documents" "$work/label.pgm" "$work/label.png" "$work/label.pwg"

# The server under a name of its own (PAPPL names its local socket after
# the program), on a port nobody listens on.
for _ in $(seq 50); do
  port=$((20000 + RANDOM % 40000))
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
done
name=label-printer-app-preview-$port
ln -s "$(realpath "$build/app/label-printer-app")" "$work/$name"
mkdir -p "$work/spool" "$work/out"
"$work/$name" server -o server-port="$port" -o spool-directory="$work/spool" \
  -o log-file="$work/log" -o state-file="$work/state" >"$work/server.out" 2>&1 &
pid=$!
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done
"$work/$name" add -u "ipp://127.0.0.1:$port/ipp/system" -d Label -v "file://$work/out" \
  -m thermal-label-203
page=http://127.0.0.1:$port/Label/preview
session=$(curl -s "$page" | sed -n 's/.*name="session" value="\([0-9a-f]*\)".*/\1/p')

for _ in $(seq "$rounds"); do
  curl -s -o "$work/preview.png" -w '%{http_code} %{time_total}\n' -F "session=$session" \
    -F "file=@$work/label.png" "$page"
done >"$work/times"
if grep -qv '^200 ' "$work/times"; then
  echo "run_preview_latency.sh: the preview answered $(grep -v '^200 ' "$work/times" | head -1)" >&2
  exit 1
fi
awk '{ print $2 * 1000 }' "$work/times" | sort -n |
  awk -v size="$(stat -c %s "$work/label.png")" -v cores="$(nproc)" '
  { ms[NR] = $1 }
  END {
    median = NR % 2 ? ms[(NR + 1) / 2] : (ms[NR / 2] + ms[NR / 2 + 1]) / 2
    printf "%d previews of a %d-byte 812 x 1218 gray PNG, %d cores: median %.1f ms, " \
           "fastest %.1f ms, slowest %.1f ms\n", NR, size, cores, median, ms[1], ms[NR]
  }'
