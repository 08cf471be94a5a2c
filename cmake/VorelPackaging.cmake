# cpack: one Debian package, `vorel`, holding what the install rules put
# under the prefix (cmake/VorelInstall.cmake): the `vorel` tool, the static
# libraries, the headers, the CMake config and the pkg-config file.
#
#   cpack --config build/CPackConfig.cmake -B OUTDIR   -> OUTDIR/vorel_0.1.0-1_amd64.deb
#
# One package rather than Debian's usual split (libvorel-dev, vorel): the
# library is static, so there is no runtime library package to split off,
# and the tool is small beside the headers and the archive.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorel)
set(CPACK_PACKAGE_VENDOR "Vorel")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "banded report generator for Qt 6 applications")
set(CPACK_PACKAGE_CONTACT "Vorel maintainers <maintainers@users.noreply.c-seed-56c3ff53.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Executables lose their debug information in the package, the archive its
# debug sections (the symbol table stays; see VorelInstall.cmake).
set(CPACK_STRIP_FILES ON)
# The package is built from the tree CI has just built and tested; xz would
# spend most of the packaging time on the archive.
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # vorel_<version>-<release>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}
 Vorel renders designed report forms (bands, groups, sub-details, columns,
 aggregates, barcodes) and automatic table reports from SQL, CSV or the
 application's own data, and writes the pages as PDF, HTML, CSV, text,
 spreadsheets, RTF or images.
 .
 This package holds the command-line tool `vorel` and what applications
 build against: the static library (CMake: find_package(Vorel), target
 Vorel::Core; pkg-config: vorel) and its headers under /usr/include/vorel.")

# The tool's own libraries come from dpkg-shlibdeps (Qt Core, Gui, Sql,
# PrintSupport, zlib, libxlsxwriter, libzint, libstdc++). Applications linking the static library
# need the development files of what it links, and reading SQLite data
# needs Qt's SQLite driver, which dpkg-shlibdeps cannot see (a plugin).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-base-dev (>= ${VOREL_QT_MIN_VERSION}), zlib1g-dev, libxlsxwriter-dev, libzint-dev, libqt6sql6-sqlite")
# The faces report layouts are measured with, and fontconfig's fallbacks for
# other scripts (docs/TEXT.md); the PostgreSQL driver for postgresql:// data.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, fonts-dejavu-core, fontconfig")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql, fonts-noto-core, fonts-noto-cjk")

include(CPack)
