# A Debian package: `cmake --build BUILD --target package` writes
# BUILD/kalvero_VERSION_ARCH.deb. Library dependencies come from the linked
# libraries (dpkg-shlibdeps); the caption fonts are named by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvero)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kalvero developers")
set(CPACK_PACKAGE_CONTACT "Kalvero developers <dev@kalvero.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "subtitles in the look of old television captions")
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kalvero makes subtitles in the look of 1980s and 1990s television and
rental-video captions: one or two lines of pre-rendered bitmap text over
solid coloured bars. Subtitle sets are typed or imported from SubRip files,
timed in hours, minutes, seconds and frames (typed, or live while a movie
plays) and exported as transparent PNG sequences, IFF ILBM pictures with a
Scala script, or a timed AVI movie.

The package holds the windowed program kalvero, the command-line tool
kalvero-cli and the font sheet generator kalvero-fontsheet.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)

# The package as a user gets it, checked from the outside (needs the
# windowed program; the window part needs an X display).
if(KALVERO_BUILD_TESTS AND TARGET kalvero)
  add_test(NAME install_package
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/package_test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(install_package PROPERTIES LABELS install RUN_SERIAL TRUE SKIP_RETURN_CODE 77 TIMEOUT 600)
endif()
