#!/bin/bash
# Install the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libcups2-dev googletest libgtest-dev
          libbenchmark-dev libpng-dev libjpeg-dev)
# clang and its libFuzzer for the fuzzers.
packages+=(clang libclang-rt-14-dev)
# clang-format, for the layout check CI runs.
packages+=(clang-format)
# The real CUPS for the demo and the tests that print through it: cupsd,
# cupsfilter, lp and lpadmin, cupstestppd, the PDF-to-raster filters.
packages+=(cups cups-client cups-filters ghostscript poppler-utils)
# ipptool, to read a queue's attributes as cupsd holds them.
packages+=(cups-ipp-utils)
# The printer application: PAPPL; its web page is tested in a real browser.
packages+=(libpappl-dev libjpeg-dev libavahi-client-dev chromium chromium-driver python3-selenium)
# The Debian package: cpack's DEB generator reads the Depends from
# dpkg-shlibdeps.
packages+=(dpkg-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
