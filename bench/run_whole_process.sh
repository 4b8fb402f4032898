#!/bin/bash
# Whole-process benchmark: the cost per page of the labelfilter process beside
# two floors, programs that only read the same raster stream with libcups.
#
#   bench/run_whole_process.sh [options] [BUILD_DIR]
#
# BUILD_DIR holds a built labelfilter and the bench programs (default
# build-bench; build it with -DCMAKE_BUILD_TYPE=Release). Nothing is built
# here. Options:
#   -n N              runs of every measurement (default 7); the median counts
#   --depths LIST     bits per pixel of the pages, from 1,8,24 (default 1,8,24)
#   --modes LIST      "Dithering" choices to run 8-bit pages with, from None,
#                     Threshold,OrderDithering,ErrorDiffusion, or "all"
#                     (default all). 1- and 24-bit pages run once, unaffected.
#   --shapes LIST     page shapes in dots (default 812x1218,576x4000,1200x1800)
#   --streams LIST    uncompressed (a version-3 stream as Debian's gstoraster
#                     sends it), compressed, or both (default both)
#   --feeds LIST      file (the stream as the filter's file argument), pipe
#                     (on standard input, from a process of its own, as CUPS
#                     runs the filter), or both (default both)
#   --pages N         pages of the long file (default 20); more pages, less noise
#   --ppd FILE        the PPD to start from (default samples/label.ppd)
#   --tmpfs           give the filter a memory-backed /tmp (tmpfs) instead of a
#                     fresh folder on the build directory's disk
#   --keep            keep the raster files and PPDs (their folder is printed)
#   --shared-tmp      let the filter write its dumps to the machine's /tmp
#   -v                also print the raw times of every file
#
# For every shape, depth and kind of stream it writes a 1-page and an N-page
# raster file of label pages (N from --pages), runs labelfilter (arguments 1
# user title 1 "" [FILE], PPD set, standard output and error to /dev/null)
# and the two floors on each, fed from the file or through a pipe, as many
# times in turn as -n says, and reports per page: (time of N pages - time of
# 1 page) / (N - 1), from the median times. The floors read every line with
# cupsRasterReadPixels, as a filter does: "line" lets libcups read the input
# itself (an uncompressed stream one line per read()), "block" hands libcups
# the input from 256 KiB blocks. The ratios are of wall-clock times, the time
# a print job waits; CPU gives the ratio of CPU times (user + system) to the
# line floor's. B/px is the filter's peak resident memory per pixel of one
# page.
#
# The filter overwrites its dumps under /tmp for every page. Run as root, the
# script gives it a /tmp of its own (a private mount namespace), so tests that
# read those dumps at the same time are not disturbed.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Re-run in a mount namespace of our own, where /tmp can be replaced.
if [[ -z ${LABELFILTER_BENCH_INSIDE:-} && " $* " != *" --shared-tmp "* ]]; then
  if [[ $EUID -eq 0 ]] && unshare --mount --propagation private true 2>/dev/null; then
    exec env LABELFILTER_BENCH_INSIDE=1 unshare --mount --propagation private \
      bash "${BASH_SOURCE[0]}" "$@"
  fi
  echo "note: no private /tmp (needs root and unshare); the filter's dumps go to /tmp" >&2
fi

repeats=7
depths=1,8,24
modes=all
shapes=812x1218,576x4000,1200x1800
streams=uncompressed,compressed
feeds=file,pipe
ppd_source=$repo/samples/label.ppd
keep=0
tmpfs=0
verbose=0
build=build-bench
first_pages=1
last_pages=20
all_modes=None,Threshold,OrderDithering,ErrorDiffusion

usage() {
  sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//' >&2
  exit 2
}

while (($#)); do
  case $1 in
  -n) repeats=$2; shift 2 ;;
  --depths) depths=$2; shift 2 ;;
  --modes) modes=$2; shift 2 ;;
  --shapes) shapes=$2; shift 2 ;;
  --streams) streams=$2; shift 2 ;;
  --feeds) feeds=$2; shift 2 ;;
  --pages) last_pages=$2; shift 2 ;;
  --ppd) ppd_source=$2; shift 2 ;;
  --tmpfs) tmpfs=1; shift ;;
  --keep) keep=1; shift ;;
  --shared-tmp) shift ;;
  -v) verbose=1; shift ;;
  -h | --help) usage ;;
  -*) echo "unknown option: $1" >&2; usage ;;
  *) build=$1; shift ;;
  esac
done
[[ $modes == all ]] && modes=$all_modes
[[ $repeats =~ ^[1-9][0-9]*$ ]] || { echo "-n wants a positive number" >&2; exit 2; }
[[ $last_pages =~ ^[0-9]+$ ]] && ((last_pages > first_pages)) ||
  { echo "--pages wants a number above $first_pages" >&2; exit 2; }

# The build directory, relative to here or to the repository.
if [[ ! -d $build && -d $repo/$build ]]; then build=$repo/$build; fi
build=$(cd "$build" && pwd)
filter=$build/filter/labelfilter
floor=$build/bench/floor
make_raster=$build/bench/make_bench_raster
measure=$build/bench/measure
for program in "$filter" "$floor" "$make_raster" "$measure"; do
  [[ -x $program ]] || {
    echo "missing $program: build it first, e.g." >&2
    echo "  cmake -G Ninja -S . -B build-bench -DCMAKE_BUILD_TYPE=Release && ninja -C build-bench" >&2
    exit 1
  }
done
[[ -r $ppd_source ]] || { echo "cannot read the PPD $ppd_source" >&2; exit 1; }

# Working folder beside the build; in our own namespace /tmp becomes a fresh
# folder inside it.
work=$(mktemp -d -p "$build" whole-process.XXXXXX)
private_tmp=0
cleanup() {
  ((private_tmp)) && umount /tmp 2>/dev/null
  if ((keep)); then echo "files kept in $work" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
if [[ -n ${LABELFILTER_BENCH_INSIDE:-} ]]; then
  if ((tmpfs)); then
    mount -t tmpfs -o mode=1777 tmpfs /tmp && private_tmp=1
  else
    mkdir -m 1777 "$work/tmp"
    mount --bind "$work/tmp" /tmp && private_tmp=1
  fi
  tmp_kind="a private /tmp on $(findmnt -no FSTYPE -T /tmp 2>/dev/null || stat -f -c %T /tmp)"
else
  tmp_kind="the shared /tmp"
  ((tmpfs)) && echo "note: --tmpfs needs the private /tmp; ignored" >&2
fi
mkdir "$work/data" "$work/ppd"

# One PPD per "Dithering" choice: the PPD's default changed, nothing else.
IFS=, read -ra mode_list <<<"$modes"
for mode in "${mode_list[@]}"; do
  [[ ,$all_modes, == *",$mode,"* ]] || { echo "unknown Dithering choice: $mode" >&2; exit 2; }
  sed "s/^\*DefaultDithering:.*/*DefaultDithering: $mode/" "$ppd_source" >"$work/ppd/$mode.ppd"
  grep -q "^\*DefaultDithering: $mode\$" "$work/ppd/$mode.ppd" ||
    { echo "$ppd_source has no *DefaultDithering line" >&2; exit 1; }
done
cp "$ppd_source" "$work/ppd/default.ppd"

# The raster files, and the list of measurements: "program|ppd|file|feed",
# program one of line (floor), block (floor --blocks) and filter.
IFS=, read -ra shape_list <<<"$shapes"
IFS=, read -ra depth_list <<<"$depths"
IFS=, read -ra stream_list <<<"$streams"
IFS=, read -ra feed_list <<<"$feeds"
for stream in "${stream_list[@]}"; do
  [[ $stream == uncompressed || $stream == compressed ]] || { echo "bad stream: $stream" >&2; exit 2; }
done
for feed in "${feed_list[@]}"; do
  [[ $feed == file || $feed == pipe ]] || { echo "bad feed: $feed" >&2; exit 2; }
done
jobs=()
rows=() # "shape|depth|mode|stream|feed"
echo "writing raster files..." >&2
for shape in "${shape_list[@]}"; do
  [[ $shape =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "bad shape: $shape" >&2; exit 2; }
  for depth in "${depth_list[@]}"; do
    [[ $depth == 1 || $depth == 8 || $depth == 24 ]] || { echo "bad depth: $depth" >&2; exit 2; }
    # Only gray pages have a choice of conversion; the others run once.
    depth_modes=(default)
    [[ $depth == 8 ]] && depth_modes=("${mode_list[@]}")
    for stream in "${stream_list[@]}"; do
      flag=()
      [[ $stream == uncompressed ]] && flag=(--uncompressed)
      for pages in $first_pages $last_pages; do
        file=$work/data/$shape-$depth-$stream-$pages.ras
        "$make_raster" "${flag[@]}" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}" "$depth" "$pages" "$file"
        for feed in "${feed_list[@]}"; do
          jobs+=("line|-|$file|$feed" "block|-|$file|$feed")
          for mode in "${depth_modes[@]}"; do jobs+=("filter|$mode|$file|$feed"); done
        done
      done
      for feed in "${feed_list[@]}"; do
        for mode in "${depth_modes[@]}"; do rows+=("$shape|$depth|$mode|$stream|$feed"); done
      done
    done
  done
done

# Run every measurement once in turn, N times over, so that a busy spell of
# the machine touches all of them alike. The first round only warms up.
declare -A walls cpus max_rss exit_code
run_once() {
  local program=$1 ppd=$2 file=$3 feed=$4
  local input=(-i /dev/null) args=()
  if [[ $feed == pipe ]]; then input=(-p "$file"); else args=("$file"); fi
  case $program in
  line) "$measure" "${input[@]}" -- "$floor" "${args[@]}" ;;
  block) "$measure" "${input[@]}" -- "$floor" --blocks "${args[@]}" ;;
  filter) PPD=$work/ppd/$ppd.ppd "$measure" "${input[@]}" -- "$filter" 1 user title 1 "" "${args[@]}" ;;
  esac
}
for ((round = 0; round <= repeats; round++)); do
  echo -ne "\rround $round of $repeats " >&2
  for job in "${jobs[@]}"; do
    IFS='|' read -r program ppd file feed <<<"$job"
    read -r wall cpu rss code < <(run_once "$program" "$ppd" "$file" "$feed")
    # A failure in any round marks the measurement.
    if ((round == 0)) || ((code != 0)); then exit_code[$job]=$code; fi
    ((round == 0)) && continue
    walls[$job]+="$wall "
    cpus[$job]+="$cpu "
    if [[ -z ${max_rss[$job]:-} ]] || ((rss > ${max_rss[$job]})); then max_rss[$job]=$rss; fi
  done
done
echo >&2

median() { # numbers -> their median
  tr ' ' '\n' <<<"$1" | grep . | sort -n |
    awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The most each kind of page may cost on an uncompressed stream, as a
# multiple of the line floor's wall time: 1-bit pages 0.5 x, 8-bit pages in
# the "Threshold" and "OrderDithering" modes 2 x, "ErrorDiffusion" and the
# edge-aware classifier (8-bit "None", every 24-bit page) 4 x.
limit_for() {
  case "$1:$2" in
  1:*) echo 0.5 ;;
  8:Threshold | 8:OrderDithering) echo 2 ;;
  *) echo 4 ;;
  esac
}

per_page() { # median time of the long file, of the short file -> microseconds per page
  awk -v long="$1" -v short="$2" -v n=$((last_pages - first_pages)) \
    'BEGIN { printf "%.1f", (long - short) / n }'
}

echo
echo "Whole-process benchmark: labelfilter beside the floors (libcups reading only)"
echo "build $build; median of $repeats runs; per page = (t($last_pages pages) - t($first_pages page)) / $((last_pages - first_pages))"
echo "wall-clock times; RSS = the filter's peak resident memory; dumps to $tmp_kind"
echo
printf "%-10s %3s %-14s %-12s %-4s %9s %9s %9s %7s %7s %7s %6s %6s  %s\n" \
  shape bpp Dithering stream feed "line/pg" "block/pg" "filter/pg" "×line" "×block" "CPU×ln" "limit" "B/px" ""
for row in "${rows[@]}"; do
  IFS='|' read -r shape depth ppd stream feed <<<"$row"
  short=$work/data/$shape-$depth-$stream-$first_pages.ras
  long=$work/data/$shape-$depth-$stream-$last_pages.ras
  mode=$ppd
  [[ $ppd == default ]] && mode=-
  failed=""
  declare -A wall_pp=() cpu_pp=()
  for program in line block filter; do
    p=$ppd
    [[ $program != filter ]] && p=-
    job_long="$program|$p|$long|$feed" job_short="$program|$p|$short|$feed"
    for job in "$job_long" "$job_short"; do
      problem="$program exited ${exit_code[$job]}"
      if [[ ${exit_code[$job]} != 0 && $failed != *"$problem"* ]]; then failed+=" $problem"; fi
    done
    wall_pp[$program]=$(per_page "$(median "${walls[$job_long]}")" "$(median "${walls[$job_short]}")")
    cpu_pp[$program]=$(per_page "$(median "${cpus[$job_long]}")" "$(median "${cpus[$job_short]}")")
  done
  rss=${max_rss["filter|$ppd|$long|$feed"]}
  limit=-
  [[ $stream == uncompressed ]] && limit=$(limit_for "$depth" "$mode")
  awk -v shape="$shape" -v depth="$depth" -v mode="$mode" -v stream="$stream" -v feed="$feed" \
    -v line="${wall_pp[line]}" -v block="${wall_pp[block]}" -v filter="${wall_pp[filter]}" \
    -v cline="${cpu_pp[line]}" -v cfilter="${cpu_pp[filter]}" \
    -v rss="$rss" -v limit="$limit" -v failed="$failed" '
    BEGIN {
      split(shape, wh, "x")
      ratio = line > 0 ? filter / line : 0
      blockRatio = block > 0 ? filter / block : 0
      cpuRatio = cline > 0 ? cfilter / cline : 0
      verdict = ""
      if (failed != "") verdict = "FAILED:" failed
      else if (limit != "-") verdict = ratio <= limit + 0 ? "ok" : "OVER"
      printf "%-10s %3s %-14s %-12s %-4s %9.1f %9.1f %9.1f %7.2f %7.2f %7.2f %6s %6.2f  %s\n",
        shape, depth, mode, stream, feed, line, block, filter, ratio, blockRatio, cpuRatio, limit,
        rss * 1024 / (wh[1] * wh[2]), verdict
    }'
done
echo
echo "line/pg, block/pg, filter/pg: µs of wall-clock time per page of the line floor, the"
echo "block floor and the filter; ×line, ×block: the filter's time per page over theirs;"
echo "CPU×ln: the same ratio of CPU times to the line floor's."
echo "limit: the most the filter may take on an uncompressed stream, as a multiple of ×line."
echo "B/px: the filter's peak resident memory (${last_pages}-page file) per pixel of one page."

if ((verbose)); then
  echo
  echo "Median times (µs) and peak RSS (KiB) per file:"
  printf "%-7s %-15s %-34s %-5s %10s %10s %9s %5s\n" program PPD file feed "CPU" "wall" "RSS" exit
  for job in "${jobs[@]}"; do
    IFS='|' read -r program ppd file feed <<<"$job"
    printf "%-7s %-15s %-34s %-5s %10s %10s %9s %5s\n" "$program" "$ppd" "${file##*/}" "$feed" \
      "$(median "${cpus[$job]}")" "$(median "${walls[$job]}")" "${max_rss[$job]}" "${exit_code[$job]}"
  done
fi
