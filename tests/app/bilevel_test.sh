#!/bin/bash
# 1-bit PWG pages (black_1) through the printer application's real server.
# PAPPL 1.3.1 lays such a page out on the job's media and hands over no
# width of its own: a page as wide as the media prints byte for byte as
# labelfilter prints the same page as 1-bit CUPS raster; one narrower within
# the same bytes per line prints as the page laid on the media; one longer or
# shorter is cut or padded with white to the media's length; one narrower by
# a byte or more, or wider, is refused.
#
#   bilevel_test.sh APP LABELFILTER LABEL_RASTERS STREAM_COMPARE
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: bilevel_test.sh APP LABELFILTER LABEL_RASTERS STREAM_COMPARE"
APP=${1:?$usage}
LABELFILTER=${2:?$usage}
LABEL_RASTERS=${3:?$usage}
STREAM_COMPARE=${4:?$usage}
PPD_FILE=$repo/ppd/thermal-label-203.ppd
require_programs ipptool

make_work_dir
source "$here/server.sh"
start_label_printer

# NAME | page WIDTHxHEIGHT | media:WIDTHxHEIGHT in dots | job attributes |
# labelfilter options | what prints: 'page' (labelfilter's stream of the
# page), 'media' (labelfilter's stream of the page laid on the media) or
# 'refused'. 60 x 40 mm is 479 dots across, 60 bytes with one padding bit;
# the 80 mm roll 576, 72 bytes without padding.
label=om_60x40-label_60x40mm:479x319
roll=om_80mm-roll_72.1x100mm:576x799
turned="keyword:label-origin=rotation-90 boolean:mirror-image=true|Origin=Rotation90 MirrorImage=True"
cases=(
  "equal|479x319|$label|||page"
  "equal-turned|479x319|$label|$turned|page"
  "equal-roll|576x799|$roll|keyword:label-origin=rotation-270|Origin=Rotation270|page"
  "same-bytes|474x319|$label|||media"
  "same-bytes-turned|474x319|$label|$turned|media"
  "same-bytes-short|474x300|$label|||media"
  "long|479x340|$label|keyword:label-origin=rotation-180|Origin=Rotation180|media"
  "whole-bytes|471x319|$label|||refused"
  "whole-bytes-turned|471x319|$label|$turned|refused"
  "whole-bytes-roll|568x799|$roll|keyword:label-origin=rotation-270|Origin=Rotation270|refused"
  "wider|487x319|$label|||refused"
)
for entry in "${cases[@]}"; do
  IFS='|' read -r name page media attrs options expect <<<"$entry"
  mkdir -p "$WORK/$name"
  size=${media#*:}
  "$LABEL_RASTERS" "$WORK/$name" "${page%x*}" "${page#*x}" 1 "${size%x*}" "${size#*x}"
  # shellcheck disable=SC2086 # one job attribute per word
  MEDIA=${media%:*} print_job "$name" "$WORK/$name/bilevel.pwg" image/pwg-raster $attrs
  if [[ $expect == refused ]]; then
    wait_job 8 document-unprintable-error
    expect_equal "$name: the job's lines about its 1-bit page" \
      "$(grep "\[Job $JOB\] .*1-bit page.*must be as wide as the media\.$" "$WORK/log" | wc -l)" 1
    [[ ! -s $WORK/out/$name.prn ]] || fail "$name: the refused page printed"
    pass "$name: a ${page%x*}-dot page on ${size%x*}-dot media is refused, document-unprintable-error"
    continue
  fi
  wait_job 9 job-completed-successfully
  raster=$WORK/$name/bilevel.ras
  [[ $expect == page ]] || raster=$WORK/$name/bilevel-on-media.ras
  PPD=$PPD_FILE "$LABELFILTER" 1 tester "$name" 1 "$options" "$raster" \
    >"$WORK/$name.filter.prn" 2>/dev/null || fail "labelfilter $options"
  cmp -s "$WORK/out/$name.prn" "$WORK/$name.filter.prn" ||
    fail "$name: not labelfilter's stream of the $expect: $("$STREAM_COMPARE" "$WORK/out/$name.prn" "$WORK/$name.filter.prn")"
  pass "$name: a ${page}-dot page on $size media prints as labelfilter prints the $expect${options:+ with $options}"
done
