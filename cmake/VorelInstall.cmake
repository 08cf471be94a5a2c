# Install rules of Vorel: the libraries (Vorel::Core, Vorel::Widgets), their
# public headers, the generated version header, the find_package(Vorel)
# config, the pkg-config file and the `vorel` tool. Included at the end of
# src/CMakeLists.txt, where the targets and their folder lists are defined.
#
# Layout under the prefix (docs/INSTALL.md):
#   bin/vorel
#   include/vorel/<folder>/...h       the include directory is include/vorel, so
#                                     "model/report.h" and <vorel/report.h> resolve
#   lib/libvorel_core.a (and libvorel_ui.a once it has sources)
#   lib/cmake/Vorel/                  VorelConfig.cmake, VorelConfigVersion.cmake, VorelTargets*.cmake
#   lib/pkgconfig/vorel.pc

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VOREL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vorel)
set(VOREL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vorel)

# Applications built in the same tree (add_subdirectory) use the same names
# as applications built against an installed Vorel.
add_library(Vorel::Core ALIAS vorel_core)
add_library(Vorel::Widgets ALIAS vorel_ui)
set_target_properties(vorel_core PROPERTIES EXPORT_NAME Core)
set_target_properties(vorel_ui PROPERTIES EXPORT_NAME Widgets)

# The headers use C++20 (using enum, std::span): consumers get the standard
# from the target, not from this project's CMAKE_CXX_STANDARD.
target_compile_features(vorel_core PUBLIC cxx_std_20)
# Installed, the headers are found under include/vorel; in the build tree the
# directories given in src/CMakeLists.txt (BUILD_INTERFACE) stand for it.
target_include_directories(vorel_core INTERFACE $<INSTALL_INTERFACE:${VOREL_INSTALL_INCLUDEDIR}>)

# vorel_ui is an INTERFACE library while the widget side has no sources and
# a static library afterwards: ARCHIVE applies then, and is ignored now.
install(TARGETS vorel_core vorel_ui
  EXPORT VorelTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS vorel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The static archive keeps its symbol table under `cmake --install --strip`
# (CMake never strips archives); its debug information goes, which is most
# of its size. Packages (CPACK_STRIP_FILES) install this way.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    file(GLOB _vorel_archives \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/libvorel_*.a\")
    foreach(_vorel_archive IN LISTS _vorel_archives)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\${_vorel_archive}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")

# Public headers: every header of the library folders except the private
# ones (*_p.h, which no installed header includes: package_check.sh compiles
# every installed header on its own against the prefix). Gathered like the
# sources, so a new header needs no edit here.
set(_vorel_header_roots)
foreach(folder IN LISTS VOREL_CORE_FOLDERS VOREL_UI_FOLDERS)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
    file(GLOB_RECURSE _found RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
    foreach(header IN LISTS _found)
      if(header MATCHES "_p\\.h$")
        continue()
      endif()
      get_filename_component(dir ${header} DIRECTORY)
      install(FILES ${header} DESTINATION ${VOREL_INSTALL_INCLUDEDIR}/${dir})
    endforeach()
  endif()
endforeach()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/foundation/version.h
  DESTINATION ${VOREL_INSTALL_INCLUDEDIR}/foundation)

# find_package(Vorel): the targets, the config that finds Qt, zlib and libzint first,
# and the version file. 0.x releases are compatible within a minor version.
install(EXPORT VorelTargets NAMESPACE Vorel:: DESTINATION ${VOREL_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VorelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/cmake/VorelConfig.cmake
  INSTALL_DESTINATION ${VOREL_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/VorelConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/VorelConfig.cmake ${PROJECT_BINARY_DIR}/cmake/VorelConfigVersion.cmake
  ${PROJECT_SOURCE_DIR}/cmake/VorelZint.cmake
  DESTINATION ${VOREL_INSTALL_CMAKEDIR})

# pkg-config: prefix relative to the file's own folder, so the file is right
# wherever the tree is installed (cmake --install --prefix, DESTDIR, the DEB).
file(RELATIVE_PATH VOREL_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" VOREL_PC_TO_PREFIX "${VOREL_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/vorel.pc.in ${PROJECT_BINARY_DIR}/cmake/vorel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cmake/vorel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# What the rules above install, to build before `cmake --install` without
# building the tests (scripts/package_check.sh).
add_custom_target(vorel_installed)
add_dependencies(vorel_installed vorel_core vorel_ui vorel)
