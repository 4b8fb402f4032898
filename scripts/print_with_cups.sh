#!/bin/bash
# Print a document (PDF, PostScript, an image, ...) through CUPS's own filter
# chain into a printer stream file, with this build's labelfilter and the
# printer's PPD, without installing anything. CUPS's cupsfilter runs the
# chain; its ServerBin is a private one holding links to the system's and a
# copy of the built labelfilter.
#
#   scripts/print_with_cups.sh [-f FILTER] [-p PPD] INPUT OUTPUT [-o NAME=VALUE ...]
#
# FILTER defaults to build/filter/labelfilter, PPD to ppd/thermal-label-203.ppd.
# Options after OUTPUT go to cupsfilter (-o NAME=VALUE, -n COPIES). The job
# log goes to OUTPUT with .log in place of its extension. Exits 1 when
# cupsfilter fails or labelfilter does not run to the end without errors.
#
# Sourced, it only defines make_server_bin: tests/cups/spooler_test.sh does,
# for the ServerBin of its private cupsd.

# 'make_server_bin DIR FILTER' - A CUPS ServerBin folder whose filters are the
# system's plus FILTER as labelfilter, and commandtolabel from beside it. CUPS runs only filters that belong to
# root and that nobody else can write, so the filter is copied, mode 0755.
make_server_bin() {
  local dir=$1 filter=$2 system entry
  system=$(cups-config --serverbin)
  mkdir -p "$dir/filter"
  for entry in "$system"/*; do
    [[ $(basename "$entry") == filter ]] || ln -s "$entry" "$dir/"
  done
  for entry in "$system"/filter/*; do
    ln -s "$entry" "$dir/filter/"
  done
  install -m 0755 "$filter" "$dir/filter/labelfilter"
  # The filter of the maintenance commands, where the build or the install
  # put it beside labelfilter.
  if [[ -x $(dirname "$filter")/commandtolabel ]]; then
    install -m 0755 "$(dirname "$filter")/commandtolabel" "$dir/filter/commandtolabel"
  fi
  chmod 0755 "$dir" "$dir/filter"
}

if [[ ${BASH_SOURCE[0]} != "$0" ]]; then
  return 0
fi

set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PATH=$PATH:/usr/sbin

usage="usage: print_with_cups.sh [-f FILTER] [-p PPD] INPUT OUTPUT [-o NAME=VALUE ...]"
filter=$repo/build/filter/labelfilter
ppd=$repo/ppd/thermal-label-203.ppd
while getopts f:p: flag; do
  case $flag in
  f) filter=$OPTARG ;;
  p) ppd=$OPTARG ;;
  *)
    echo "$usage" >&2
    exit 2
    ;;
  esac
done
shift $((OPTIND - 1))
input=${1:?$usage}
output=${2:?$usage}
shift 2
log=${output%.*}.log

work=$(mktemp -d "${TMPDIR:-/tmp}/print-with-cups.XXXXXX")
trap 'rm -rf "$work"' EXIT
make_server_bin "$work/bin" "$filter"
echo "ServerBin $work/bin" >"$work/cups-files.conf"

# -e and a printer/ output type make cupsfilter run the PPD's own filter.
if ! cupsfilter -c "$work/cups-files.conf" -p "$ppd" -e -m printer/label "$@" "$input" \
  >"$output" 2>"$log"; then
  echo "cupsfilter failed; see $log" >&2
  exit 1
fi
grep -qE "(labelfilter|commandtolabel) \(PID [0-9]*\) exited with no errors" "$log" || {
  echo "the printer's filter did not run to the end; see $log" >&2
  exit 1
}
