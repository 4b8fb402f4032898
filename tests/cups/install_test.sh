#!/bin/bash
# Install the build as a package would (cmake --install with DESTDIR) and
# check the installed PPD with cupstestppd, against the installed filter.
#
#   install_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"

BUILD_DIR=${1:?usage: install_test.sh BUILD_DIR}
require_programs cupstestppd cups-config cmake

make_work_dir
trap 'remove_work_dir $?' EXIT

install_build "$BUILD_DIR" "$WORK/dest"
pass "cmake --install with DESTDIR: ${INSTALLED_FILTER#"$WORK/dest"} (0755)" \
  "and ${INSTALLED_PPD#"$WORK/dest"}"

# -R makes cupstestppd look for the PPD's filter under the DESTDIR.
cupstestppd -R "$WORK/dest" "$INSTALLED_PPD" >"$WORK/cupstestppd.txt" 2>&1 || {
  cat "$WORK/cupstestppd.txt" >&2
  fail "cupstestppd does not pass the PPD"
}
grep -q "FAIL" "$WORK/cupstestppd.txt" && fail "cupstestppd reports a failure"
pass "cupstestppd: PASS, $(grep -c WARN "$WORK/cupstestppd.txt" || true) warnings"
