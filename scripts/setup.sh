#!/usr/bin/env bash
# Installs every Debian package Vorel needs to build, test, run its examples
# and check its outputs with real consumers. Safe to run again: packages
# already present are skipped by apt.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config ccache
  # packaging: cpack's DEB generator (dpkg-shlibdeps, file)
  dpkg-dev file
  # Qt 6: Core, Gui, Widgets, PrintSupport, Sql (+ drivers), offscreen platform
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  libqt6sql6-sqlite libqt6sql6-psql
  # libraries
  zlib1g-dev libgl-dev libxlsxwriter-dev
  # barcode symbologies beyond the classic four
  libzint-dev
  # fonts the layouts measure with, and the faces fontconfig falls back to
  # for the scripts a report's own face lacks (docs/TEXT.md)
  fonts-liberation2 fonts-dejavu fonts-dejavu-core fonts-dejavu-extra fontconfig
  fonts-noto-core fonts-noto-cjk
  # tests
  googletest libgtest-dev libgmock-dev
  # real consumers of what Vorel writes
  qpdf poppler-utils emf2svg libxml2-utils libtiff-tools imagemagick
  # pictures read back: Pillow (bitmaps), rsvg-convert (SVG), libwmf (WMF)
  python3-pil librsvg2-bin libwmf-bin
  # barcode readers: every symbology is decoded from a rendered page
  zbar-tools dmtx-utils
  # the sRGB profile PDF/A files embed
  icc-profiles-free
  libreoffice-core-nogui libreoffice-writer-nogui libreoffice-calc-nogui libreoffice-draw-nogui
  gnumeric
  # printing tests: a private CUPS server with a cups-pdf queue
  # (scripts/cups_test_queue.sh); the server is never started as a service
  cups cups-client printer-driver-cups-pdf
  # benchmark data generator and SQL data
  python3 sqlite3 time
  # a real PostgreSQL server for the data tests (scripts/pg_test_cluster.sh)
  postgresql

  # the sanitizer suite and the fuzz targets (scripts/sanitize.sh,
  # scripts/fuzz.sh): a clang that handles C++20 "using enum" (Debian 12's
  # default clang 14 does not) with its sanitizer and libFuzzer run-times
  clang-16 libclang-rt-16-dev
)

# The example reports' database is generated, not committed: written when
# missing or older than its generator (needs python3, so after the packages).
example_db() {
  local examples
  examples="$(cd "$(dirname "$0")/../examples" && pwd)"
  if [ ! -f "$examples/shop.db" ] || [ "$examples/make_shop_db.py" -nt "$examples/shop.db" ]; then
    python3 "$examples/make_shop_db.py" "$examples/shop.db"
  fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  example_db
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
# CUPS's packages would start the system's print server (and cups-pdf would
# add a queue to it), and every other test would then measure its pages on
# that printer instead of the virtual one: no service starts during the
# install. The printing tests run a private server of their own.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' | $SUDO tee /usr/sbin/policy-rc.d >/dev/null
  $SUDO chmod 755 /usr/sbin/policy-rc.d
  trap '$SUDO rm -f /usr/sbin/policy-rc.d' EXIT
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
example_db
