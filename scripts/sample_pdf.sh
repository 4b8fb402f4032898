#!/bin/bash
# Make the sample label PDF from its PostScript source with ghostscript.
#
#   scripts/sample_pdf.sh OUTPUT.pdf
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:?usage: scripts/sample_pdf.sh OUTPUT.pdf}
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$out" "$repo/samples/label.ps"
