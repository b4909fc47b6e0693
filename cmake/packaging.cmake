# What `cmake --install` puts where, and the package CPack makes of it: on
# Windows the administrators' ZIP with a SHA-256 checksum file beside it.
# Included at the end of the top-level file.

set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VENDOR "Corvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "pins shortcuts to the taskbar and manages their AppUserModelID")

if(WIN32)
  # corv.exe, the licence, the changelog and the README for administrators
  # at the top of the ZIP, the logon-script example in examples/.
  install(TARGETS corv RUNTIME DESTINATION .)
  install(FILES LICENSE CHANGELOG.md DESTINATION .)
  install(FILES docs/windows-admin.md DESTINATION . RENAME README.md)
  install(FILES examples/windows/pin-apps.cmd DESTINATION examples)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "corvane-${PROJECT_VERSION}-win64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGE_CHECKSUM SHA256)
endif()

include(CPack)
