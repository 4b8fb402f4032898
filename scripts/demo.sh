#!/bin/bash
# Build the filter, print the bundled sample label PDF through CUPS's filter
# chain into a printer stream file, then draw that stream as the printer would
# print it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target labelfilter labelpreview

mkdir -p out
# The sample label as a user prints it: a PDF through CUPS's own filters
# (pdftopdf, gstoraster) into labelfilter, with the printer's PPD.
bash scripts/sample_pdf.sh out/label.pdf
bash scripts/print_with_cups.sh out/label.pdf out/label.prn -o FeedAfterPrinting=2 -o Cutting=1
echo "Printer stream: out/label.prn ($(stat -c %s out/label.prn) bytes); job log: out/label.log"
build/tools/labelpreview out/label.prn -o out/label.png
echo "Picture of the label as printed: out/label.png"
