#!/bin/bash
# The Debian package, made with cpack from the build's CPack configuration
# into a folder of the test's own: its files, its control fields, its
# maintainer scripts run as dpkg runs them on a system in a folder
# (DPKG_ROOT), and its systemd unit under systemd-analyze verify, where that
# is installed.
#
#   package_test.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../cups/lib.sh
source "$here/../cups/lib.sh"

BUILD_DIR=${1:?usage: package_test.sh BUILD_DIR}
require_programs cpack dpkg-deb dpkg-shlibdeps deb-systemd-helper

make_work_dir
trap 'remove_work_dir $?' EXIT

# cpack installs the build as cmake --install does, which records what it
# installed in the build's install_manifest.txt: the build's own record is
# put back.
manifest=$BUILD_DIR/install_manifest.txt
[[ -e $manifest ]] && cp -p "$manifest" "$WORK/install_manifest.txt"
cpack_status=0
cpack --config "$BUILD_DIR/CPackConfig.cmake" -G DEB -B "$WORK/out" >"$WORK/cpack.log" 2>&1 ||
  cpack_status=$?
if [[ -e $WORK/install_manifest.txt ]]; then
  mv "$WORK/install_manifest.txt" "$manifest"
else
  rm -f "$manifest"
fi
((cpack_status == 0)) || {
  cat "$WORK/cpack.log" >&2
  fail "cpack -G DEB"
}
debs=("$WORK"/out/*.deb)
expect_equal "packages made" "${#debs[@]}" 1
deb=${debs[0]}
pass "cpack -G DEB: $(basename "$deb")"

# The product and nothing else: the programs, the filters where CUPS runs
# them (owned by root, not writable by others), the PPD in CUPS's model
# folder, the unit, the manual pages; all below /usr.
expected=$(LC_ALL=C sort <<'EOF_FILES'
-rwxr-xr-x root/root ./usr/bin/label-printer-app
-rwxr-xr-x root/root ./usr/bin/labelpreview
-rwxr-xr-x root/root ./usr/lib/cups/filter/labelfilter
-rwxr-xr-x root/root ./usr/lib/cups/filter/commandtolabel
-rw-r--r-- root/root ./usr/share/cups/model/labelfilter/thermal-label-203.ppd
-rw-r--r-- root/root ./usr/lib/systemd/system/label-printer-app.service
-rw-r--r-- root/root ./usr/share/man/man1/label-printer-app.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/labelpreview.1.gz
-rw-r--r-- root/root ./usr/share/man/man8/labelfilter.8.gz
-rw-r--r-- root/root ./usr/share/man/man8/commandtolabel.8.gz
EOF_FILES
)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | LC_ALL=C sort)
[[ $actual == "$expected" ]] || fail "the package's files:
$actual
expected:
$expected"
pass "files: $(wc -l <<<"$actual"), modes and owners as expected"

field() { dpkg-deb -f "$deb" "$1"; }
expect_equal Package "$(field Package)" label-printer-driver
expect_equal Architecture "$(field Architecture)" "$(dpkg --print-architecture)"
expect_equal Recommends "$(field Recommends)" avahi-daemon
depends=$(field Depends)
for package in libcups2 libpappl1 libpng16-16 libc6; do
  grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends has no $package: $depends"
done
[[ $depends != *avahi-daemon* ]] || fail "Depends requires avahi-daemon: $depends"
pass "control: Package, Architecture, Recommends; Depends: $depends"

root=$WORK/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$WORK/control"
unit=$root/usr/lib/systemd/system/label-printer-app.service
grep -q "^ExecStart=/usr/bin/label-printer-app server " "$unit" ||
  fail "the unit does not start /usr/bin/label-printer-app server: $(grep ExecStart "$unit")"

# The start on installation and the stop on removal need systemd running;
# the enabling and its undoing on purge are run here in the folder.
grep -q "deb-systemd-invoke \$_dh_action 'label-printer-app.service'" "$WORK/control/postinst" ||
  fail "postinst does not start the unit"
grep -q "deb-systemd-invoke stop 'label-printer-app.service'" "$WORK/control/prerm" ||
  fail "prerm does not stop the unit"
wants=$root/etc/systemd/system/multi-user.target.wants/label-printer-app.service
export DPKG_ROOT=$root DPKG_MAINTSCRIPT_PACKAGE=label-printer-driver
DPKG_MAINTSCRIPT_NAME=postinst sh "$WORK/control/postinst" configure || fail "postinst configure"
expect_equal "the unit enabled by postinst" "$(readlink "$wants")" \
  /usr/lib/systemd/system/label-printer-app.service
mkdir -p "$root/var/lib/label-printer-app" "$root/var/spool/label-printer-app"
DPKG_MAINTSCRIPT_NAME=postrm sh "$WORK/control/postrm" purge || fail "postrm purge"
[[ ! -e $wants && ! -L $wants ]] || fail "the unit is still enabled after the purge"
[[ ! -e $root/var/lib/label-printer-app && ! -e $root/var/spool/label-printer-app ]] ||
  fail "the state and spool folders are left after the purge"
unset DPKG_ROOT DPKG_MAINTSCRIPT_PACKAGE
pass "maintainer scripts: postinst enables the unit, prerm stops it, postrm purge forgets it"

if ! command -v systemd-analyze >/dev/null; then
  echo "note: no systemd-analyze here; the unit is not verified"
  exit 0
fi
# The unit in the package's files, with this system's own units beside it;
# its Documentation= is looked up among the package's manual pages.
mkdir -p "$root/lib/systemd/system"
cp -a /lib/systemd/system/. "$root/lib/systemd/system/"
rm -f "$root/lib/systemd/system/label-printer-app.service"
MANPATH=$root/usr/share/man systemd-analyze verify --root="$root" label-printer-app.service \
  >"$WORK/verify.txt" 2>&1 || {
  cat "$WORK/verify.txt" >&2
  fail "systemd-analyze verify of the unit"
}
! grep -q "label-printer-app" "$WORK/verify.txt" || {
  cat "$WORK/verify.txt" >&2
  fail "systemd-analyze verify warns of the unit"
}
pass "systemd-analyze verify: the unit is clean"
