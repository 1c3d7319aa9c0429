# The Debian package of a station server: `cpack -G DEB` in a Release build (scripts/package.sh).
# The install rules stand beside their targets in the top CMakeLists.txt and docs/man; this file
# adds the package's own files and CPack's settings.

# The package's documentation folder: the copyright and the changelog, compressed as Debian wants.
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/tolvak)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/pakiet/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/pakiet/changelog.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/pakiet/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/pakiet/changelog VERBATIM)
add_custom_target(tolvak_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/pakiet/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${CMAKE_BINARY_DIR}/pakiet/changelog.gz
        DESTINATION ${_doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvak)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tolvak maintainers <maintainers@users.noreply.c-seed-2b286fc3.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hourly news bulletins for a local radio station's playout")
# The long description's body; CPack puts the summary above it and indents the lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Every hour Tolvak notices when the news provider's bulletin for the coming
hour is out, fetches it (HTTPS package service, HTTP news service, FTP
server, XML feed or a local file), lays it over the station's bed, appends
the ending, compresses it and delivers it as WAV or MP3 into the playout
folder.

The package holds the window for the on-air staff and the hardened systemd
units tolvak.service and tolvak@.service for station servers without a
display. See tolvak(1) and tolvak.ini(5).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from dpkg-shlibdeps; the window also needs its font and the Polish
# locale data, and the maintainer scripts adduser.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, fonts-wine, qt6-translations-l10n, locales | locales-all")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
  ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
  ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
