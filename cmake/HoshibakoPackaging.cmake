# Packages of the two programs.
#
# Linux: a Debian package built by CPack from the install rules (the dialog
# program with its menu entry, icon and man page, hoshibako-cli with its man
# page, the copyright file and the changelog), its library dependencies
# computed by dpkg-shlibdeps:
#   cpack --config <build>/CPackConfig.cmake -G DEB
# Windows: scripts/build-packages.sh zips the two .exe files of the MinGW
# build with the Japanese read-me of packaging/windows.
include(GNUInstallDirs)

if(WIN32)
  return()
endif()

# Files Debian keeps compressed, gzip -9n (no name, no time stamp: the same
# bytes on every build), with where they go.
set(package_dir "${PROJECT_BINARY_DIR}/packaging")
set(package_files)
macro(hoshibako_gzipped_file source destination name)
  set(gzipped "${package_dir}/${name}")
  add_custom_command(
    OUTPUT "${gzipped}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${package_dir}"
    COMMAND gzip -9nc "${PROJECT_SOURCE_DIR}/packaging/${source}" > "${gzipped}"
    DEPENDS "${PROJECT_SOURCE_DIR}/packaging/${source}"
    VERBATIM)
  list(APPEND package_files "${gzipped}")
  install(FILES "${gzipped}" DESTINATION "${destination}" COMPONENT hoshibako)
endmacro()

set(doc_dir "${CMAKE_INSTALL_DATADIR}/doc/hoshibako")
if(TARGET hoshibako-cli)
  install(TARGETS hoshibako-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT hoshibako)
  hoshibako_gzipped_file(hoshibako-cli.1 "${CMAKE_INSTALL_MANDIR}/man1" hoshibako-cli.1.gz)
endif()
if(TARGET hoshibako)
  hoshibako_gzipped_file(hoshibako.1 "${CMAKE_INSTALL_MANDIR}/man1" hoshibako.1.gz)
endif()
hoshibako_gzipped_file(changelog "${doc_dir}" changelog.Debian.gz)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" DESTINATION "${doc_dir}" COMPONENT hoshibako)
add_custom_target(hoshibako-package-files ALL DEPENDS ${package_files})

# The package's revision is the one of the changelog's newest entry
# ("hoshibako (1.10-1) unstable; ..."); scripts/test-packages.sh checks that
# its upstream part is the project's version.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/packaging/changelog")
file(STRINGS "${PROJECT_SOURCE_DIR}/packaging/changelog" changelog_head LIMIT_COUNT 1)
string(REGEX REPLACE "^hoshibako \\([^)]*-([0-9]+)\\).*" "\\1" debian_revision "${changelog_head}")

set(CPACK_PACKAGE_NAME hoshibako)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_DEBIAN_PACKAGE_RELEASE "${debian_revision}")
set(CPACK_PACKAGE_VENDOR "Hoshibako")
set(CPACK_PACKAGE_CONTACT "Hoshibako developers <hoshibako@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shrinks BMS song folders (WAV to Ogg Vorbis or FLAC, BMP to PNG)")
set(CPACK_PACKAGE_DESCRIPTION
    "Hoshibako mirrors a BMS song folder tree, encodes WAV sound to Ogg Vorbis or\n\
lossless FLAC, converts BMP images to PNG, copies the other files and rewrites\n\
the file references inside the charts (.bms .bme .bml .pms scripts and .bmson).\n\
It can instead keep every chart byte for byte, so that players and score\n\
servers still know it. It comes as a Japanese dialog program (hoshibako) and a\n\
command-line front end (hoshibako-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (buttons, the folder browser) in Japanese, and a font with
# Japanese glyphs, without which every text of the dialogs is boxes; the
# libraries themselves come from shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-noto-cjk | fonts-ipafont-gothic")
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
