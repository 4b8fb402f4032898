#!/bin/bash
# Print a document (PDF, PostScript, an image, ...) through CUPS's own filter
# chain into a printer stream file, with this build's labelfilter and the
# printer's PPD, without installing anything. CUPS's cupsfilter runs the
# chain; its filter folder is a private one holding links to the system's
# filters and a copy of the built labelfilter.
#
#   scripts/print_with_cups.sh [-f FILTER] [-p PPD] INPUT OUTPUT [-o NAME=VALUE ...]
#
# FILTER defaults to build/filter/labelfilter, PPD to ppd/thermal-label-203.ppd.
# Options after OUTPUT go to cupsfilter (-o NAME=VALUE, -n COPIES). The job
# log goes to OUTPUT with .log in place of its extension.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
PATH=$PATH:/usr/sbin

filter=$repo/build/filter/labelfilter
ppd=$repo/ppd/thermal-label-203.ppd
while getopts f:p: flag; do
  case $flag in
  f) filter=$OPTARG ;;
  p) ppd=$OPTARG ;;
  *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
input=${1:?usage: print_with_cups.sh [-f FILTER] [-p PPD] INPUT OUTPUT [-o NAME=VALUE ...]}
output=${2:?usage: print_with_cups.sh [-f FILTER] [-p PPD] INPUT OUTPUT [-o NAME=VALUE ...]}
shift 2
log=${output%.*}.log

work=$(mktemp -d "${TMPDIR:-/tmp}/print-with-cups.XXXXXX")
trap 'rm -rf "$work"' EXIT

# CUPS runs only filters that belong to root and that nobody else can write:
# the built filter is copied with mode 0755 beside links to the system's.
system=$(cups-config --serverbin)
mkdir -p "$work/bin/filter"
for entry in "$system"/filter/*; do
  ln -s "$entry" "$work/bin/filter/"
done
install -m 0755 "$filter" "$work/bin/filter/labelfilter"
echo "ServerBin $work/bin" >"$work/cups-files.conf"

# -e and a printer/ output type make cupsfilter run the PPD's own filter.
if ! cupsfilter -c "$work/cups-files.conf" -p "$ppd" -e -m printer/label "$@" "$input" \
  >"$output" 2>"$log"; then
  echo "cupsfilter failed; see $log" >&2
  exit 1
fi
grep -q "labelfilter (PID [0-9]*) exited with no errors" "$log" || {
  echo "labelfilter did not print; see $log" >&2
  exit 1
}
