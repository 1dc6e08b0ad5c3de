# Installation: `cmake --install BUILD [--prefix DIR]` lays the programs out
# as a Linux desktop program. The programs find their data in
# ../share/kalvero relative to themselves, so the tree can live anywhere.
include(GNUInstallDirs)

# The programs look for their data in ../share/kalvero and their movie module
# in ../lib/kalvero relative to themselves.
if(NOT CMAKE_INSTALL_BINDIR STREQUAL "bin" OR NOT CMAKE_INSTALL_DATADIR STREQUAL "share")
  message(WARNING "Kalvero finds its data and its movie module only with the programs in bin/, the data in "
                  "share/ and the module in lib/kalvero/ of one prefix; other BINDIR/DATADIR need --program-dir "
                  "and do not move the module")
endif()

set(KALVERO_APP_ID org.kalvero.Kalvero)
# The AppStream screenshot is data/screenshots/main-window.png published
# below this address.
set(KALVERO_HOMEPAGE_URL "https://kalvero.invalid" CACHE STRING
    "Home page named in the AppStream data; its screenshots/main-window.png is the screenshot")
set(KALVERO_DATA_DEST ${CMAKE_INSTALL_DATADIR}/kalvero)
set(KALVERO_PACKAGE_DOC_DEST ${CMAKE_INSTALL_DATADIR}/doc/kalvero)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(kalvero_programs kalvero-cli)
if(TARGET kalvero)
  list(APPEND kalvero_programs kalvero)
endif()
if(TARGET kalvero-fontsheet)
  list(APPEND kalvero_programs kalvero-fontsheet)
endif()
install(TARGETS ${kalvero_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The movie module, private to the programs, which open it from ../lib/kalvero.
install(TARGETS kalvero-media LIBRARY DESTINATION ${KALVERO_MODULE_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# Shipped data: the settings file and the font sheets the build drew.
install(FILES ${CMAKE_SOURCE_DIR}/data/Kalvero.ini DESTINATION ${KALVERO_DATA_DEST})
install(DIRECTORY ${KALVERO_BIN_DIR}/includes/ DESTINATION ${KALVERO_DATA_DEST}/includes
        FILES_MATCHING PATTERN "FontBitmap_*.png")

# Man pages and the Debian changelog, compressed as Debian wants them.
set(kalvero_gz_dir ${CMAKE_BINARY_DIR}/install-data)
set(kalvero_gz_files "")
foreach(page kalvero kalvero-cli kalvero-fontsheet)
  add_custom_command(OUTPUT ${kalvero_gz_dir}/${page}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${kalvero_gz_dir}
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/data/man/${page}.1 > ${kalvero_gz_dir}/${page}.1.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/data/man/${page}.1
    VERBATIM)
  list(APPEND kalvero_gz_files ${kalvero_gz_dir}/${page}.1.gz)
  install(FILES ${kalvero_gz_dir}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/data/debian/changelog.in ${kalvero_gz_dir}/changelog @ONLY)
add_custom_command(OUTPUT ${kalvero_gz_dir}/changelog.gz
  COMMAND gzip -9n -c ${kalvero_gz_dir}/changelog > ${kalvero_gz_dir}/changelog.gz
  DEPENDS ${kalvero_gz_dir}/changelog
  VERBATIM)
list(APPEND kalvero_gz_files ${kalvero_gz_dir}/changelog.gz)
add_custom_target(install_data ALL DEPENDS ${kalvero_gz_files})
install(FILES ${kalvero_gz_dir}/changelog.gz ${CMAKE_SOURCE_DIR}/data/debian/copyright
        DESTINATION ${KALVERO_PACKAGE_DOC_DEST})

# Desktop integration: menu entry, icon, AppStream data, the project file type.
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/${KALVERO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${CMAKE_SOURCE_DIR}/data/desktop/${KALVERO_APP_ID}.metainfo.xml.in
               ${kalvero_gz_dir}/${KALVERO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${kalvero_gz_dir}/${KALVERO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/kalvero-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME kalvero.xml)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/${KALVERO_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/data/icons/${size}x${size}/${KALVERO_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Completion of kalvero-cli's commands and options in bash.
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/kalvero-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
