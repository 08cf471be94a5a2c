# libzint encodes the barcode symbologies beyond the classic four (Code 128,
# GS1-128, EAN, UPC-E, QR Code, Data Matrix, PDF417). Debian's libzint-dev
# ships neither a pkg-config file nor a CMake package, so the header and the
# library are looked up here and wrapped in the imported target Vorel::Zint.
# The build includes this file, and so does the installed VorelConfig.cmake:
# vorel_core is static, so every application links libzint too.
if(NOT TARGET Vorel::Zint)
  find_path(VOREL_ZINT_INCLUDE_DIR zint.h)
  find_library(VOREL_ZINT_LIBRARY zint)
  if(VOREL_ZINT_INCLUDE_DIR AND VOREL_ZINT_LIBRARY)
    add_library(Vorel::Zint UNKNOWN IMPORTED)
    set_target_properties(Vorel::Zint PROPERTIES
      IMPORTED_LOCATION "${VOREL_ZINT_LIBRARY}"
      INTERFACE_INCLUDE_DIRECTORIES "${VOREL_ZINT_INCLUDE_DIR}")
  endif()
endif()
if(TARGET Vorel::Zint)
  set(VOREL_ZINT_FOUND TRUE)
else()
  set(VOREL_ZINT_FOUND FALSE)
endif()
