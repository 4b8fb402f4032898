#!/bin/bash
# Build the filter, print the bundled sample label PDF and the printer's two
# maintenance labels through CUPS's filter chain into printer stream files,
# then draw those streams as the printed labels read in the hand.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target labelfilter commandtolabel labelpreview

mkdir -p out
# The sample label as a user prints it: a PDF through CUPS's own filters
# (pdftopdf, gstoraster) into labelfilter, with the printer's PPD.
bash scripts/sample_pdf.sh out/label.pdf
bash scripts/print_with_cups.sh out/label.pdf out/label.prn -o FeedAfterPrinting=2 -o Cutting=1
echo "Printer stream: out/label.prn ($(stat -c %s out/label.prn) bytes); job log: out/label.log"
# The default "Origin" prints the page turned by a half turn: turned back,
# the picture reads as the label does.
build/tools/labelpreview --rotate 180 out/label.prn -o out/label.png
echo "Picture of the label as printed: out/label.png"

# The maintenance labels, as the web interface's "Print Self-Test Page" or
# lp with a command file ask for them: a CUPS command file through
# commandtolabel. Ordered dither shows the gray ladder's steps as dot
# patterns.
for label in self-test:PrintSelfTestPage alignment:PrintAlignmentPage; do
  name=${label%%:*}
  printf '#CUPS-COMMAND\n%s\n' "${label#*:}" >"out/$name.command"
  bash scripts/print_with_cups.sh "out/$name.command" "out/$name.prn" \
    -i application/vnd.cups-command -o Dithering=OrderDithering
  build/tools/labelpreview --rotate 180 "out/$name.prn" -o "out/$name.png"
  echo "The ${name/-/ } label: out/$name.prn, its picture out/$name.png"
done
