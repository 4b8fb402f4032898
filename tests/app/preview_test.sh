#!/bin/bash
# The printer's label pages: before any job there is no last label; a
# 4 x 6 in label printed to a file:// printer is then the picture of the
# last label, and the same document uploaded on the printer's page in a real
# browser with the same settings shows the same dots, both those that
# labelpreview --rotate 180 draws from the printed bytes. Bad uploads each
# get a page that says why, and the server stays up.
#
#   preview_test.sh APP LABELPREVIEW
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=../cups/lib.sh
source "$repo/tests/cups/lib.sh"

usage="usage: preview_test.sh APP LABELPREVIEW"
APP=${1:?$usage}
LABELPREVIEW=${2:?$usage}
require_programs ipptool curl chromium chromedriver

make_work_dir
source "$here/server.sh"
start_label_printer
WEB=http://127.0.0.1:$PORT/Label
images=$here/image_files.py

code=$(curl -s -o "$WORK/none.html" -w '%{http_code}' "$WEB/last-label.png")
expect_equal "the last label before any job" "$code" 404
grep -q "The printer has printed no label since the server started." "$WORK/none.html" ||
  fail "the 404 page does not say why: $(cat "$WORK/none.html")"
pass "no job yet: last-label.png is 404"

# A 4 x 6 in label at 203 dpi, mirrored: a black bar at its top left, a box
# at its bottom right.
/usr/bin/python3 "$images" png "$WORK/label.png" 812 1218 8 0 203 40,40,300,120 480,880,280,300
MEDIA=oe_4x6-label_4x6in print_job label "$WORK/label.png" image/png boolean:mirror-image=true \
  keyword:gray-conversion=threshold
wait_job 9 job-completed-successfully
"$LABELPREVIEW" --rotate 180 "$WORK/out/label.prn" -o "$WORK/printed.png" ||
  fail "labelpreview cannot draw the printed job"
pass "the label printed, and drawn by labelpreview --rotate 180"

timeout 180 /usr/bin/python3 "$here/web_preview.py" "$WEB" "$WORK/label.png" "$WORK/printed.png" ||
  fail "the browser test of the label pages failed"
pass "Chromium: the last label and the preview of the document have the printed dots, mirrored in the hand"

# Bad uploads, each with a field of its own: a 400 page (413 for a form
# too large) that says why, and the server still up.
session=$(curl -s "$WEB/preview" | sed -n 's/.*name="session" value="\([0-9a-f]*\)".*/\1/p')
[[ -n $session ]] || fail "the preview page has no session"
head -c 400 "$WORK/label.png" >"$WORK/cut.png"
/usr/bin/python3 "$images" png "$WORK/huge.png" 30000 30000 1
: >"$WORK/empty.png"
truncate -s 65M "$WORK/large.bin"
for upload in "cut.png|media=oe_4x6-label_4x6in|400|The PNG document is damaged: Read Error." \
  "huge.png|media=oe_4x6-label_4x6in|400|The PNG image is 30000 x 30000 pixels" \
  "empty.png|media=oe_4x6-label_4x6in|400|No document: choose a file to preview." \
  "none.html|media=oe_4x6-label_4x6in|400|The document is no PNG, JPEG, PWG raster or Apple raster file." \
  "label.png|label-origin=rotation-45|400|The printer does not take label-origin=rotation-45." \
  "label.png|session=stale|400|The form's session has ended" \
  "large.bin|media=oe_4x6-label_4x6in|413|The form is larger than the 64 MB the preview takes."; do
  IFS='|' read -r file field status text <<<"$upload"
  code=$(curl -s -o "$WORK/answer.html" -w '%{http_code}' -F "session=$session" -F "file=@$WORK/$file" \
    -F "$field" "$WEB/preview")
  expect_equal "$file with $field" "$code" "$status"
  grep -qF "$text" "$WORK/answer.html" || fail "$file with $field: $(cat "$WORK/answer.html")"
  kill -0 "$SERVER_PID" 2>/dev/null || fail "the server died: $(tail -5 "$WORK/server.out")"
  expect_equal "the page after $file" "$(curl -s -o /dev/null -w '%{http_code}' "$WEB/preview")" 200
  pass "$file with $field: $code, '$text'"
done
