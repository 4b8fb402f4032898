#!/bin/bash
# Whole-process benchmark: the cost per page of the labelfilter process beside
# the floor, a program that only reads the same raster stream with libcups.
#
#   bench/run_whole_process.sh [options] [BUILD_DIR]
#
# BUILD_DIR holds a built labelfilter and the bench programs (default
# build-bench; build it with -DCMAKE_BUILD_TYPE=Release). Nothing is built
# here. Options:
#   -n N              runs of every measurement (default 15); the minimum counts
#   --depths LIST     bits per pixel of the pages, from 1,8,24 (default 1)
#   --modes LIST      "Dithering" choices to run 8-bit pages with, from None,
#                     Threshold,OrderDithering,ErrorDiffusion, or "all"
#                     (default None). 1- and 24-bit pages run once, unaffected.
#   --shapes LIST     page shapes in dots (default 812x1218,576x4000,1200x1800)
#   --pages N         pages of the long file (default 20); more pages, less noise
#   --ppd FILE        the PPD to start from (default samples/label.ppd)
#   --tmpfs           give the filter a memory-backed /tmp (tmpfs) instead of a
#                     fresh folder on the build directory's disk
#   --keep            keep the raster files and PPDs (their folder is printed)
#   --shared-tmp      let the filter write its dumps to the machine's /tmp
#   -v                also print the raw times of every file
#
# For every shape and depth it writes a 1-page and an N-page raster file of
# label pages (N from --pages), runs labelfilter (arguments 1 user title 1 ""
# FILE, PPD set, standard output and error to /dev/null) and the floor on
# each, as many times in turn as -n says, and reports per page:
# (time of N pages - time of 1 page) / (N - 1), for
# the filter and the floor, their ratio, and the filter's peak resident
# memory, also per pixel of one page. Times are CPU times (user + system) of
# the process: on a shared machine they leave out the waits for a processor
# that wall-clock times suffer; the ratio of wall-clock times is shown too.
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

repeats=15
depths=1
modes=None
shapes=812x1218,576x4000,1200x1800
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

# The raster files, and the list of measurements: "program|ppd|file".
IFS=, read -ra shape_list <<<"$shapes"
IFS=, read -ra depth_list <<<"$depths"
jobs=()
rows=() # "shape|depth|mode"
echo "writing raster files..." >&2
for shape in "${shape_list[@]}"; do
  [[ $shape =~ ^([0-9]+)x([0-9]+)$ ]] || { echo "bad shape: $shape" >&2; exit 2; }
  for depth in "${depth_list[@]}"; do
    [[ $depth == 1 || $depth == 8 || $depth == 24 ]] || { echo "bad depth: $depth" >&2; exit 2; }
    # Only gray pages have a choice of conversion; the others run once.
    depth_modes=(default)
    [[ $depth == 8 ]] && depth_modes=("${mode_list[@]}")
    for pages in $first_pages $last_pages; do
      file=$work/data/$shape-$depth-$pages.ras
      "$make_raster" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}" "$depth" "$pages" "$file"
      jobs+=("floor|-|$file")
      for mode in "${depth_modes[@]}"; do jobs+=("filter|$mode|$file"); done
    done
    for mode in "${depth_modes[@]}"; do rows+=("$shape|$depth|$mode"); done
  done
done

# Run every measurement once in turn, N times over, so that a busy spell of
# the machine touches all of them alike. The first round only warms up.
declare -A min_cpu min_wall max_rss exit_code
run_once() {
  local program=$1 ppd=$2 file=$3
  if [[ $program == floor ]]; then
    "$measure" -- "$floor" "$file"
  else
    PPD=$work/ppd/$ppd.ppd "$measure" -- "$filter" 1 user title 1 "" "$file"
  fi
}
for ((round = 0; round <= repeats; round++)); do
  echo -ne "\rround $round of $repeats " >&2
  for job in "${jobs[@]}"; do
    IFS='|' read -r program ppd file <<<"$job"
    read -r wall cpu rss code < <(run_once "$program" "$ppd" "$file")
    # A failure in any round marks the measurement.
    if ((round == 0)) || ((code != 0)); then exit_code[$job]=$code; fi
    ((round == 0)) && continue
    if [[ -z ${min_cpu[$job]:-} ]] || ((cpu < ${min_cpu[$job]})); then min_cpu[$job]=$cpu; fi
    if [[ -z ${min_wall[$job]:-} ]] || ((wall < ${min_wall[$job]})); then min_wall[$job]=$wall; fi
    if [[ -z ${max_rss[$job]:-} ]] || ((rss > ${max_rss[$job]})); then max_rss[$job]=$rss; fi
  done
done
echo >&2

# The limit each kind of page is held to: 1-bit pages 1.5 x the floor, 8-bit
# pages in the "Threshold", "OrderDithering" and "ErrorDiffusion" modes 4 x,
# the edge-aware classifier (8-bit "None", every 24-bit page) 6 x.
limit_for() {
  case "$1:$2" in
  1:*) echo 1.5 ;;
  8:Threshold | 8:OrderDithering | 8:ErrorDiffusion) echo 4 ;;
  *) echo 6 ;;
  esac
}

per_page() { # time of the long file, time of the short file -> microseconds per page
  awk -v long="$1" -v short="$2" -v n=$((last_pages - first_pages)) \
    'BEGIN { printf "%.1f", (long - short) / n }'
}

echo
echo "Whole-process benchmark: labelfilter beside the floor (libcups reading only)"
echo "build $build; $repeats runs of each, the minimum taken; per page = (t($last_pages pages) - t($first_pages page)) / $((last_pages - first_pages))"
echo "CPU = user + system time of the process; RSS = its peak resident memory; dumps to $tmp_kind"
echo
printf "%-10s %5s %-14s %11s %11s %7s %7s %7s %10s %7s  %s\n" \
  shape depth Dithering "floor/page" "filter/pg" ratio "wall" limit "filter RSS" "B/px" ""
printf "%-10s %5s %-14s %11s %11s %7s %7s %7s %10s %7s  %s\n" \
  "" "" "" "CPU µs" "CPU µs" CPU ratio "" "MiB" "" ""
for row in "${rows[@]}"; do
  IFS='|' read -r shape depth ppd <<<"$row"
  short=$work/data/$shape-$depth-$first_pages.ras
  long=$work/data/$shape-$depth-$last_pages.ras
  floor_long="floor|-|$long" floor_short="floor|-|$short"
  filter_long="filter|$ppd|$long" filter_short="filter|$ppd|$short"
  mode=$ppd
  [[ $ppd == default ]] && mode=-
  failed=""
  for job in "$floor_long" "$floor_short" "$filter_long" "$filter_short"; do
    problem="${job%%|*} exited ${exit_code[$job]}"
    if [[ ${exit_code[$job]} != 0 && $failed != *"$problem"* ]]; then failed+=" $problem"; fi
  done
  floor_cpu=$(per_page "${min_cpu[$floor_long]}" "${min_cpu[$floor_short]}")
  filter_cpu=$(per_page "${min_cpu[$filter_long]}" "${min_cpu[$filter_short]}")
  floor_wall=$(per_page "${min_wall[$floor_long]}" "${min_wall[$floor_short]}")
  filter_wall=$(per_page "${min_wall[$filter_long]}" "${min_wall[$filter_short]}")
  rss=${max_rss[$filter_long]}
  limit=$(limit_for "$depth" "$mode")
  awk -v shape="$shape" -v depth="$depth" -v mode="$mode" -v fc="$floor_cpu" -v tc="$filter_cpu" \
    -v fw="$floor_wall" -v tw="$filter_wall" -v rss="$rss" -v limit="$limit" -v failed="$failed" '
    BEGIN {
      split(shape, wh, "x")
      ratio = fc > 0 ? tc / fc : 0
      wall = fw > 0 ? tw / fw : 0
      verdict = failed != "" ? "FAILED:" failed : (ratio <= limit ? "ok" : "OVER the limit")
      printf "%-10s %5s %-14s %11.1f %11.1f %7.2f %7.2f %7s %10.1f %7.2f  %s\n",
        shape, depth, mode, fc, tc, ratio, wall, limit, rss / 1024, rss * 1024 / (wh[1] * wh[2]),
        verdict
    }'
done
echo
echo "B/px: the filter's peak resident memory (${last_pages}-page file) per pixel of one page."
echo "limit: the cost per page allowed, as a multiple of the floor's."

if ((verbose)); then
  echo
  echo "Raw minimum times (µs) and peak RSS (KiB) per file:"
  printf "%-8s %-15s %-22s %10s %10s %9s %5s\n" program PPD file "CPU" "wall" "RSS" exit
  for job in "${jobs[@]}"; do
    IFS='|' read -r program ppd file <<<"$job"
    printf "%-8s %-15s %-22s %10s %10s %9s %5s\n" "$program" "$ppd" "${file##*/}" \
      "${min_cpu[$job]}" "${min_wall[$job]}" "${max_rss[$job]}" "${exit_code[$job]}"
  done
fi
