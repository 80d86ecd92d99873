# Packages: a Debian package of the Linux program (cpack -G DEB on the
# release build) and a ZIP of the Windows program (cpack -G ZIP on the
# Windows build).
set(CPACK_PACKAGE_NAME keilbrecher)
set(CPACK_PACKAGE_VENDOR "Der Keilbrecher")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "looks up supplier address records in the FIBU lookup program")
set(CPACK_PACKAGE_CONTACT "Der Keilbrecher maintainers <maintainers@keilbrecher.example.org>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "keilbrecher-${PROJECT_VERSION}-windows-x64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  install(FILES packaging/README-windows.txt DESTINATION . RENAME README.txt)
else()
  include(GNUInstallDirs)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # The libraries the program needs, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Der Keilbrecher shows one of the two supplier address records that\nthe lookup program /c/fibu/Lief-adr.exe keeps, in a small window.")
  install(FILES packaging/copyright DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/keilbrecher")
  # Debian keeps the changelog and the manual page compressed, reproducibly.
  set(_changelog "${CMAKE_BINARY_DIR}/changelog.gz")
  set(_manual "${CMAKE_BINARY_DIR}/keilbrecher.1.gz")
  add_custom_command(OUTPUT "${_changelog}" "${_manual}"
    COMMAND gzip -9n -c "${CMAKE_SOURCE_DIR}/packaging/changelog" > "${_changelog}"
    COMMAND gzip -9n -c "${CMAKE_SOURCE_DIR}/packaging/keilbrecher.1" > "${_manual}"
    DEPENDS packaging/changelog packaging/keilbrecher.1)
  add_custom_target(package_docs ALL DEPENDS "${_changelog}" "${_manual}")
  install(FILES "${_changelog}" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/keilbrecher")
  install(FILES "${_manual}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endif()
include(CPack)
