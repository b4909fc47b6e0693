# What `cmake --install` puts where, and the package made of it: on Windows
# the administrators' ZIP with a SHA-256 checksum file beside it, on Linux a
# Debian package (CPack). Included at the end of the top-level file.

set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VENDOR "Corvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "pins shortcuts to the taskbar and manages their AppUserModelID")

if(WIN32)
  # corv.exe, the licence, the changelog and the README for administrators
  # at the top of the ZIP, the logon script, its list and the taskbar layout
  # examples in examples/.
  install(TARGETS corv RUNTIME DESTINATION .)
  install(FILES LICENSE CHANGELOG.md DESTINATION .)
  install(FILES docs/windows-admin.md DESTINATION . RENAME README.md)
  install(FILES examples/windows/pin-apps.cmd examples/windows/pin-apps.txt
                examples/windows/taskbar-layout.xml
          DESTINATION examples)

  # cmake --build --preset windows-zip: corvane-<release version>-win64.zip
  # and its .sha256 file, made from those files by cmake/windows-zip.cmake,
  # the same bytes for the same commit. With CORVANE_SIGN, corv.exe in the
  # ZIP is signed first (scripts/sign.sh, with the certificate that the
  # build's environment names); the build folder's corv.exe stays unsigned.
  option(CORVANE_SIGN "Sign corv.exe in the ZIP with scripts/sign.sh" OFF)
  set(zip "${PROJECT_BINARY_DIR}/corvane-${CORVANE_RELEASE_VERSION}-win64.zip")
  add_custom_target(corvane_zip
    COMMAND "${CMAKE_COMMAND}" "-DBUILD_DIR=${PROJECT_BINARY_DIR}" "-DZIP=${zip}"
            "-DEPOCH=${CORVANE_SOURCE_DATE_EPOCH}" "-DSIGN=${CORVANE_SIGN}"
            "-DSIGN_SCRIPT=${PROJECT_SOURCE_DIR}/scripts/sign.sh"
            -P "${PROJECT_SOURCE_DIR}/cmake/windows-zip.cmake"
    DEPENDS corv
    BYPRODUCTS "${zip}" "${zip}.sha256"
    COMMENT "Packing corvane-${CORVANE_RELEASE_VERSION}-win64.zip"
    USES_TERMINAL VERBATIM)
else()
  include(GNUInstallDirs)
  install(TARGETS corv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The manual page, with the version filled in and compressed as Debian
  # keeps manual pages (-n: no name or time stamp, so the bytes repeat).
  configure_file(docs/corv.1.in corv.1 @ONLY)
  add_custom_command(OUTPUT corv.1.gz
    COMMAND gzip -9nkf corv.1
    DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/corv.1"
    COMMENT "Compressing the manual page" VERBATIM)
  add_custom_target(corvane_manual_page ALL DEPENDS corv.1.gz)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/corv.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/corvane RENAME copyright)
  # The package is native (its version has no Debian revision), so its
  # changelog.gz is a Debian changelog: one entry for this version, dated
  # SOURCE_DATE_EPOCH, and CHANGELOG.md after the "Old Changelog:" line,
  # below which Debian's tools read nothing. Compressed with -n, so the
  # bytes repeat.
  set(CORVANE_DEB_MAINTAINER "Corvane developers <maintainers@corvane.invalid>" CACHE STRING
      "The Debian package's Maintainer field: a name and an e-mail address")
  execute_process(COMMAND date -u -R -d "@${CORVANE_SOURCE_DATE_EPOCH}"
    OUTPUT_VARIABLE corvane_deb_date OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  file(READ CHANGELOG.md corvane_changes)
  file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/changelog.new"
    "corvane (${CORVANE_RELEASE_VERSION}) unstable; urgency=medium\n\n"
    "  * Corvane ${CORVANE_RELEASE_VERSION}; its changes are in CHANGELOG.md, below.\n\n"
    " -- ${CORVANE_DEB_MAINTAINER}  ${corvane_deb_date}\n\n"
    "Old Changelog:\n\n${corvane_changes}")
  configure_file("${CMAKE_CURRENT_BINARY_DIR}/changelog.new" changelog COPYONLY)
  add_custom_command(OUTPUT changelog.gz
    COMMAND gzip -9nkf changelog
    DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/changelog"
    COMMENT "Compressing the changelog" VERBATIM)
  add_custom_target(corvane_changelog ALL DEPENDS changelog.gz)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/changelog.gz"
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/corvane)
  # A static corv is so on purpose, and lintian is told why.
  if(CORVANE_STATIC_CORV AND CORVANE_CAN_LINK_STATIC)
    install(FILES resources/corvane.lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME corvane)
  endif()

  # cpack --preset linux: corvane_<version>_<architecture>.deb, installing
  # below /usr. Its version is the release version (cmake/release.cmake): a
  # snapshot's 0.1.0.N+g<commit> sorts above 0.1.0 and below 0.1.1 in
  # Debian's order too.
  set(CPACK_PACKAGE_VERSION "${CORVANE_RELEASE_VERSION}")
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CORVANE_DEB_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_STRIP_FILES ON)
  # The summary above is the first line; this is the rest.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Corvane's corv pins a Windows shortcut (.lnk) to the taskbar, pins it only
if no pinned shortcut has the same target, unpins it, and reads or writes
its AppUserModelID. On Linux the taskbar is a folder of shortcut files below
$APPDATA, $XDG_DATA_HOME or ~/.local/share, so that deployment scripts can
be tried and tested away from Windows.")
  # A static corv needs no other package; a dynamic one, what it links.
  if(NOT (CORVANE_STATIC_CORV AND CORVANE_CAN_LINK_STATIC))
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
  include(CPack)
endif()
