#!/usr/bin/env bash
# Checks what applications get from Vorel (docs/INSTALL.md): the installed
# tree, find_package(Vorel), pkg-config and the Debian package.
#
#   scripts/package_check.sh            configures and builds a release tree
#                                       (build-release: library and tool only)
#   scripts/package_check.sh BUILD_DIR  reuses a built tree (scripts/test.sh
#                                       passes its own, already built)
#
# Steps, each reported on its own line, all run even after a failure:
#   install     cmake --install into an empty prefix; the layout is checked
#   headers     every installed header compiles, from the prefix alone
#   pkg-config  a program built with `pkg-config --cflags --libs vorel` links,
#               starts the library and reads a language table (the
#               compiled-in resources reach the application)
#   example     examples/embed built with find_package(Vorel) against the
#               prefix only (CMAKE_PREFIX_PATH), run on examples/orders.kvx;
#               its PDF passes `qpdf --check`
#   deb         cpack builds the DEB; `apt-get install ./vorel_*.deb` installs
#               it, /usr/bin/vorel --version runs, the package is removed
# The last line counts them: "package_check: N passed, N failed".
#
# Needs root or sudo for the deb step (CI runs as root). Temporary files go
# to a folder under $TMPDIR, removed at the end (kept with
# VOREL_PACKAGE_KEEP=1).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root" || exit 1

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# --- the build tree ----------------------------------------------------------
if [ $# -ge 1 ]; then
  build="$(cd "$1" && pwd)" || { echo "package_check: no build folder $1" >&2; exit 2; }
else
  scripts/setup.sh || exit 1
  build="$root/build-release"
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVOREL_BUILD_TESTS=OFF -DVOREL_BUILD_BENCH=OFF || exit 1
fi
# What gets installed, not the tests; nothing to do for a tree that
# scripts/test.sh has just built.
cmake --build "$build" --target vorel_installed -j"$(nproc)" || exit 1
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
lib="$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")"  # lib, unless set

work="$(mktemp -d "${TMPDIR:-/tmp}/vorel-package.XXXXXX")"
prefix="$work/prefix"
deb_installed=0
cleanup() {
  if [ "$deb_installed" = 1 ]; then
    $SUDO apt-get purge -y -qq vorel >/dev/null 2>&1 || true
  fi
  if [ "${VOREL_PACKAGE_KEEP:-0}" = 1 ]; then
    echo "package_check: files kept in $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

passed=0
failed=0
failures=()
# step NAME FUNCTION: runs the function with its output in $work/NAME.log,
# shown only when it fails.
step() {
  local name="$1" started=$SECONDS
  if "$2" >"$work/$1.log" 2>&1; then
    passed=$((passed + 1))
    echo "package_check: $name: ok ($((SECONDS - started)) s)"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "package_check: $name: FAILED ($((SECONDS - started)) s); its output:"
    sed 's/^/    /' "$work/$name.log" | tail -n 60
  fi
}
fail() { echo "$*"; return 1; }

# --- install -----------------------------------------------------------------
check_install() {
  cmake --install "$build" --prefix "$prefix" || return 1
  local f
  for f in bin/vorel "$lib/libvorel_core.a" "$lib/cmake/Vorel/VorelConfig.cmake" \
    "$lib/cmake/Vorel/VorelConfigVersion.cmake" "$lib/cmake/Vorel/VorelTargets.cmake" "$lib/pkgconfig/vorel.pc" \
    include/vorel/vorel/report.h include/vorel/model/report.h include/vorel/foundation/values/errors.h \
    include/vorel/foundation/version.h include/vorel/auto/library.h; do
    [ -e "$prefix/$f" ] || fail "missing: $f" || return 1
  done
  local private
  private="$(find "$prefix/include" -name '*_p.h')"
  [ -z "$private" ] || fail "private headers installed: $private" || return 1
  # Every header of the library folders (src/CMakeLists.txt's lists) is
  # there, the private ones aside.
  local missing=0 h
  for h in $(cd src && find foundation graphics data expr export frame model engine auto vorel \
    dialogs preview designer -name '*.h' ! -name '*_p.h' 2>/dev/null); do
    [ -f "$prefix/include/vorel/$h" ] || { echo "not installed: $h"; missing=1; }
  done
  [ "$missing" = 0 ] || return 1
  # Nothing installed may point back into the source or build tree.
  if grep -rlF -e "$root/src" -e "$build" "$prefix/$lib/cmake" "$prefix/$lib/pkgconfig"; then
    fail "the files above name the source or build tree"
  fi
}

export PKG_CONFIG_PATH="$prefix/$lib/pkgconfig"

# --- headers -----------------------------------------------------------------
check_headers() {
  local tu="$work/all_headers.cpp" h
  : >"$tu"
  for h in $(cd "$prefix/include/vorel" && find . -name '*.h' | sed 's|^\./||' | sort); do
    echo "#include <$h>" >>"$tu"
  done
  echo "int main() { return 0; }" >>"$tu"
  # shellcheck disable=SC2046
  # The widget side's headers (dialogs, preview, designer) need Qt Widgets.
  c++ -std=c++20 -fsyntax-only $(pkg-config --cflags vorel Qt6Widgets) "$tu"
}

# --- pkg-config --------------------------------------------------------------
check_pkg_config() {
  [ "$(pkg-config --modversion vorel)" = "$version" ] || fail "pkg-config --modversion: not $version" || return 1
  cat >"$work/pc_smoke.cpp" <<'EOF'
#include "auto/library.h"
#include "foundation/language/language.h"
#include "foundation/version.h"
#include <QCoreApplication>
#include <cstdio>
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    vorel::InitializeLibrary();
    // The language tables are Qt resources inside the static library.
    const bool tables = !vorel::LanguageTextIds(vorel::lnGerman).isEmpty() &&
                        vorel::LanguageTableErrors(vorel::lnGerman).isEmpty();
    vorel::FinalizeLibrary();
    std::printf("vorel %s, language tables %s\n", VOREL_VERSION_STRING, tables ? "present" : "MISSING");
    return tables ? 0 : 1;
}
EOF
  # shellcheck disable=SC2046
  c++ -std=c++20 -O0 $(pkg-config --cflags vorel) "$work/pc_smoke.cpp" -o "$work/pc_smoke" \
    $(pkg-config --libs vorel) || return 1
  QT_QPA_PLATFORM=offscreen "$work/pc_smoke"
}

# --- example -----------------------------------------------------------------
check_example() {
  local eb="$work/embed-build"
  # The prefix only: no package registry, and the tree's own config is
  # never exported (Vorel_DIR is checked below).
  cmake -S "$root/examples/embed" -B "$eb" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
    -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF || return 1
  local found
  found="$(sed -n 's/^Vorel_DIR:PATH=//p' "$eb/CMakeCache.txt")"
  [ "$found" = "$prefix/$lib/cmake/Vorel" ] || fail "find_package(Vorel) found $found, not the prefix" || return 1
  if (cd "$eb" && ninja -t commands) | grep -F -e "$root/src" -e "$build"; then
    fail "the example's build names the source or build tree (above)" || return 1
  fi
  cmake --build "$eb" || fail "examples/embed does not build (it uses vorel::Report, src/vorel/report.h:" \
    "does the library have the facade's implementation yet?)" || return 1
  # scripts/setup.sh writes the example database; a reused tree may come
  # from a machine set up before it did.
  if [ ! -f "$root/examples/shop.db" ]; then
    python3 "$root/examples/make_shop_db.py" "$root/examples/shop.db" || return 1
  fi
  "$eb/embed" "$root/examples/orders.kvx" "$root/examples/shop.db" "$work/orders.pdf" || return 1
  qpdf --check "$work/orders.pdf"
}

# --- deb ---------------------------------------------------------------------
check_deb() {
  if dpkg-query -W -f='${Status}' vorel 2>/dev/null | grep -q 'install ok installed'; then
    fail "the package vorel is installed on this machine already; remove it first (apt-get purge vorel)"
    return 1
  fi
  cpack --config "$build/CPackConfig.cmake" -B "$work/deb" || return 1
  local deb
  deb="$(ls "$work"/deb/vorel_*.deb)" || return 1
  echo "== $deb"
  dpkg-deb --field "$deb" Package Version Architecture Section Depends Recommends Installed-Size
  dpkg-deb --field "$deb" Depends | grep -q 'libqt6core6' || fail "Depends lacks the tool's libraries (shlibdeps)" || return 1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "$deb" || return 1
  deb_installed=1
  local got
  got="$(/usr/bin/vorel --version)" || return 1
  echo "$got"
  [ "$got" = "vorel $version" ] || fail "/usr/bin/vorel --version: \"$got\", not \"vorel $version\"" || return 1
  for f in "/usr/$lib/libvorel_core.a" /usr/include/vorel/vorel/report.h "/usr/$lib/cmake/Vorel/VorelConfig.cmake" \
    "/usr/$lib/pkgconfig/vorel.pc"; do
    [ -e "$f" ] || fail "the package lacks $f" || return 1
  done
  PKG_CONFIG_PATH='' pkg-config --exists vorel || fail "pkg-config does not find the installed vorel.pc" || return 1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y -q vorel || return 1
  deb_installed=0
  [ ! -e /usr/bin/vorel ] || fail "/usr/bin/vorel still there after removal"
}

step install check_install
step headers check_headers
step pkg-config check_pkg_config
step example check_example
step deb check_deb

if [ "$failed" -gt 0 ]; then
  echo "package_check: failed: ${failures[*]}"
fi
echo "package_check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
