# Packages of the two programs.
#
# Linux: a Debian package built by CPack from the install rules (the dialog
# program with its menu entry and icon, hoshibako-cli with its man page),
# its library dependencies computed by dpkg-shlibdeps:
#   cpack --config <build>/CPackConfig.cmake -G DEB
# Windows: scripts/build-packages.sh zips the two .exe files of the MinGW
# build with the Japanese read-me of packaging/windows.
include(GNUInstallDirs)

if(WIN32)
  return()
endif()

if(TARGET hoshibako-cli)
  install(TARGETS hoshibako-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT hoshibako)
  # Debian keeps man pages compressed.
  set(man_page "${PROJECT_BINARY_DIR}/packaging/hoshibako-cli.1.gz")
  add_custom_command(
    OUTPUT "${man_page}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/packaging"
    COMMAND gzip -9nc "${PROJECT_SOURCE_DIR}/packaging/hoshibako-cli.1" > "${man_page}"
    DEPENDS "${PROJECT_SOURCE_DIR}/packaging/hoshibako-cli.1"
    VERBATIM)
  add_custom_target(hoshibako-cli-man ALL DEPENDS "${man_page}")
  install(FILES "${man_page}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT hoshibako)
endif()

set(CPACK_PACKAGE_NAME hoshibako)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Hoshibako")
set(CPACK_PACKAGE_CONTACT "Hoshibako developers <hoshibako@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shrinks BMS song folders (WAV to Ogg Vorbis, BMP to PNG)")
set(CPACK_PACKAGE_DESCRIPTION
    "Hoshibako mirrors a BMS song folder tree, encodes WAV sound to Ogg Vorbis, converts BMP\n\
images to PNG, copies the other files and rewrites the file references inside the song\n\
scripts (.bms .bme .bml .pms). It comes as a Japanese dialog program (hoshibako) and a\n\
command-line front end (hoshibako-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (buttons, the folder browser) in Japanese; the libraries
# themselves come from shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic")
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
