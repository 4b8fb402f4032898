#!/bin/bash
# Build the filter and print the bundled sample label into a printer stream file.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target labelfilter

mkdir -p out
# The filter runs as CUPS runs it: job id, user, title, copies, options, file.
PPD=samples/label.ppd build/filter/labelfilter 1 "${USER:-lp}" sample 1 "" \
  samples/label-4x6-1bit.ras >out/label.prn 2>out/label.log
echo "Printer stream: out/label.prn ($(stat -c %s out/label.prn) bytes); job log: out/label.log"
