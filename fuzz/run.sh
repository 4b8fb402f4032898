#!/bin/bash
# Build the fuzzers with clang and run each of them for a while; fail on the
# first crash, leak, timeout or out-of-memory, with the input that caused it.
#
#   bash fuzz/run.sh [SECONDS] [CORPUS_DIR]
#
# SECONDS per harness (default 15). New inputs go to CORPUS_DIR/<harness>/
# when given, so that a later run starts from them, else to a directory that
# is removed afterwards. A CORPUS_DIR or a checkout under /tmp gives up the
# private /tmp. The seeds in fuzz/corpus/ are read, never written.
# The build is build-fuzz/ (or $FUZZ_BUILD_DIR). Runs at the lowest CPU
# priority; as root, in a private mount namespace with a /tmp of its own, so
# that the filter's page dumps do not overwrite those of other jobs.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-15}
corpus=${2:-}
build=${FUZZ_BUILD_DIR:-build-fuzz}
harnesses=(page job decoder command_file app_page)
[ -n "$corpus" ] && corpus=$(realpath -m "$corpus")

if [ -z "${LABELFILTER_FUZZ_PRIVATE_TMP:-}" ] && [ "$(id -u)" -eq 0 ] &&
  [[ "$corpus" != /tmp/* && "$PWD" != /tmp/* ]] &&
  unshare --mount --propagation private true 2>/dev/null; then
  export LABELFILTER_FUZZ_PRIVATE_TMP=1
  exec unshare --mount --propagation private \
    bash -c 'mount -t tmpfs -o size=2g,mode=1777 tmpfs /tmp && exec bash "$0" "$@"' \
    "$0" "$seconds" "$corpus"
fi

CC=clang CXX=clang++ cmake -G Ninja -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLABELFILTER_FUZZ=ON -DLABELFILTER_TESTS=OFF -DLABELFILTER_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${harnesses[@]/%/_fuzzer}"

work=$(mktemp -d "$PWD/$build/run-XXXXXX")
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1
failed=0
for harness in "${harnesses[@]}"; do
  dir=${corpus:+$corpus/$harness}
  dir=${dir:-$work/$harness}
  mkdir -p "$dir" "$work/artifacts-$harness"
  log=$work/$harness.log
  # libcups allocates one line of a page header's size before it checks the
  # header (up to 4 GiB, never touched): only the resident memory is limited.
  if nice -n 19 "$build/fuzz/${harness}_fuzzer" -max_total_time="$seconds" -timeout=60 \
    -rss_limit_mb=2048 -malloc_limit_mb=4200 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts-$harness/" "$dir" "fuzz/corpus/$harness" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $harness: ${runs:-?} runs in ${seconds} s, no crash"
  else
    failed=1
    mkdir -p "$build/crashes"
    cp "$work/artifacts-$harness/"* "$build/crashes/" 2>/dev/null || true
    grep -E -A30 "ERROR|SUMMARY|runtime error" "$log" | head -60 || tail -30 "$log"
    echo "fuzz $harness: FAILED; the input is in $build/crashes/:" \
      "$(ls "$work/artifacts-$harness/")"
    echo "  reproduce: $build/fuzz/${harness}_fuzzer -malloc_limit_mb=4200 $build/crashes/FILE"
  fi
done
exit $failed
