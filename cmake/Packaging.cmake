# Packages: a Debian package of the Linux program (cpack -G DEB on the
# release build), and a ZIP and an MSI of the Windows program (cpack -G ZIP
# and wixl on the Windows build).
set(CPACK_PACKAGE_NAME keilbrecher)
set(CPACK_PACKAGE_VENDOR "Der Keilbrecher")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "looks up supplier address records in the FIBU lookup program")
set(KEIL_CONTACT_ADDRESS "maintainers@keilbrecher.example.org")
set(CPACK_PACKAGE_CONTACT "Der Keilbrecher maintainers <${KEIL_CONTACT_ADDRESS}>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "keilbrecher-${PROJECT_VERSION}-windows-x64")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  # The admins' German README.txt, made from their guide: with CR LF line
  # ends and a UTF-8 byte order mark, so that Notepad of every Windows shows
  # it as it is.
  set(_guide "${CMAKE_SOURCE_DIR}/docs/admin-windows.md")
  set(_readme "${CMAKE_BINARY_DIR}/README.txt")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_guide}")
  file(READ "${_guide}" _readme_text)
  string(REPLACE "\n" "\r\n" _readme_text "${_readme_text}")
  string(ASCII 239 187 191 _byte_order_mark)
  file(WRITE "${_readme}" "${_byte_order_mark}${_readme_text}")
  install(FILES "${_readme}" DESTINATION .)
  # The admins' set-up script for the lookup folder: in code page 850,
  # which German consoles use (and in which code page 437 has the same
  # umlauts), with the CR LF that cmd's labels need.
  set(_setup_source "${CMAKE_SOURCE_DIR}/packaging/keilbrecher-ordner-einrichten.cmd")
  set(_setup "${CMAKE_BINARY_DIR}/keilbrecher-ordner-einrichten.cmd")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_setup_source}")
  execute_process(COMMAND iconv -f UTF-8 -t CP850 "${_setup_source}" OUTPUT_VARIABLE _setup_text
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "\n" "\r\n" _setup_text "${_setup_text}")
  file(WRITE "${_setup}" "${_setup_text}")
  install(FILES "${_setup}" DESTINATION .)
  # The MSI for admins, made by wixl from the WiX source in packaging/:
  # `cmake --build --preset windows --target msi`.
  find_program(KEIL_WIXL wixl)
  if(KEIL_WIXL AND KEIL_BUILD_WINDOW)
    set(_dir "${CMAKE_BINARY_DIR}/msi")
    set(_msi "${CMAKE_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}.msi")
    configure_file(packaging/keilbrecher.wxs.in "${_dir}/keilbrecher.wxs" @ONLY)
    add_custom_command(OUTPUT "${_msi}"
      COMMAND "${CMAKE_STRIP}" -o "${_dir}/keilbrecher.exe" "$<TARGET_FILE:keilbrecher>"
      COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_BINARY_DIR}/win32_window/keilbrecher.ico" "${_readme}" "${_setup}" "${_dir}"
      COMMAND "${KEIL_WIXL}" -a x64 -o "${_msi}" keilbrecher.wxs
      COMMAND /usr/bin/python3 "${CMAKE_SOURCE_DIR}/packaging/msi_summary.py" "${_msi}"
      WORKING_DIRECTORY "${_dir}"
      DEPENDS keilbrecher "${_dir}/keilbrecher.wxs" "${_readme}" "${_setup}" packaging/msi_summary.py VERBATIM)
    add_custom_target(msi DEPENDS "${_msi}")
  endif()
else()
  include(GNUInstallDirs)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # The libraries the program needs, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Qt's own words (the result box's context menu) in German; dpkg-shlibdeps
  # adds the libraries.
  # The maintainer scripts make the system group with adduser.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, adduser")
  # A Windows lookup program runs under Wine, a 32-bit one with wine32 (on
  # amd64 the i386 package, as Debian's own wine64 recommends it, unqualified).
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine, wine32")
  # The helper's group and setgid bit, by dpkg-statoverride.
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
      "${CMAKE_SOURCE_DIR}/packaging/debian/postinst;${CMAKE_SOURCE_DIR}/packaging/debian/postrm")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Der Keilbrecher shows one of the two supplier address records that\nthe lookup program /c/fibu/Lief-adr.exe keeps, in a small window.")
  install(FILES packaging/copyright docs/admin-linux.md docs/errors.md DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/keilbrecher")
  # Debian keeps the changelog and the manual page compressed, reproducibly.
  set(_changelog "${CMAKE_BINARY_DIR}/changelog.gz")
  set(_manual "${CMAKE_BINARY_DIR}/keilbrecher.1.gz")
  configure_file(packaging/keilbrecher.1.in "${CMAKE_BINARY_DIR}/keilbrecher.1" @ONLY)
  add_custom_command(OUTPUT "${_changelog}" "${_manual}"
    COMMAND gzip -9n -c "${CMAKE_SOURCE_DIR}/packaging/changelog" > "${_changelog}"
    COMMAND gzip -9n -c "${CMAKE_BINARY_DIR}/keilbrecher.1" > "${_manual}"
    DEPENDS packaging/changelog "${CMAKE_BINARY_DIR}/keilbrecher.1")
  add_custom_target(package_docs ALL DEPENDS "${_changelog}" "${_manual}")
  install(FILES "${_changelog}" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/keilbrecher")
  install(FILES "${_manual}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endif()
include(CPack)
