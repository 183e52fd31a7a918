# Installing setuptool (cmake --install build/host) and its Debian package (cpack -G DEB in
# build/host). The host tree installs; the Windows programs setuptool puts into a setup come
# from the Windows trees' output, KORV_WIN32_BIN_DIR (x86) and KORV_WIN64_BIN_DIR (x64). The
# layout is the one setuptool's stub lookup relies on (tools/setuptool/stub_location.h): the
# stubs in share/korvane-setup/ beside the bin/ folder that holds setuptool, the 64-bit ones
# under the same names in its x64/ folder.
#
#   bin/setuptool
#   share/korvane-setup/<each of KORV_STUB_PROGRAMS>
#   share/korvane-setup/x64/<each of KORV_STUB_PROGRAMS>
#   share/man/man1/setuptool.1.gz
#   share/bash-completion/completions/setuptool
set(KORV_PACKAGE_NAME korvane-setup)
set(KORV_STUB_FOLDER "share/${KORV_PACKAGE_NAME}")

# The Windows programs installed for setuptool to put into setups, by their names in the
# Windows trees' folders. A stub built by the Windows trees is added here by name; the
# package check (tests/tools/package_check.sh) expects each of them in the package, of both
# architectures.
set(KORV_STUB_PROGRAMS Setup.exe UnInst.exe)

set(_packaged_stubs)
foreach(_stub IN LISTS KORV_STUB_PROGRAMS)
  install(FILES "${KORV_WIN32_BIN_DIR}/${_stub}" DESTINATION "${KORV_STUB_FOLDER}")
  install(FILES "${KORV_WIN64_BIN_DIR}/${_stub}" DESTINATION "${KORV_STUB_FOLDER}/x64")
  list(APPEND _packaged_stubs "${_stub}" "x64/${_stub}")
endforeach()

# The manual page, compressed at build time as Debian installs manual pages (-n: no name or
# time in the header, so the same source gives the same bytes).
set(_man_source "${CMAKE_SOURCE_DIR}/docs/setuptool.1")
set(_man_page "${CMAKE_BINARY_DIR}/docs/setuptool.1.gz")
add_custom_command(
  OUTPUT "${_man_page}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/docs"
  COMMAND gzip -9 -n -c "${_man_source}" > "${_man_page}"
  DEPENDS "${_man_source}"
  COMMENT "Compressing the manual page setuptool(1)")
add_custom_target(setuptool_man_page ALL DEPENDS "${_man_page}")
install(FILES "${_man_page}" DESTINATION share/man/man1)

install(FILES "${CMAKE_SOURCE_DIR}/tools/setuptool/setuptool.bash-completion"
        DESTINATION share/bash-completion/completions RENAME setuptool)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME "${KORV_PACKAGE_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")  # the version the setup program's version record carries
set(CPACK_PACKAGE_VENDOR "Korvane")
set(CPACK_PACKAGE_CONTACT "Korvane")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "makes, lists, tests and extracts Korvane setup programs for Windows")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "setuptool packs a product folder into a 32-bit or 64-bit Windows setup program (a\n"
    "small stub with a solid RAR 2.0 archive appended), and lists, tests and extracts such\n"
    "setups. The package holds setuptool, the setup stubs of both architectures it builds\n"
    "on, its manual page and its bash completion.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the C and C++ runtime setuptool links, by dpkg-shlibdeps
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/package")
include(CPack)

# The package check: build the package, unpack it into a scratch root (no system install),
# pack the example products of both architectures with the unpacked setuptool and its own
# stubs, test the setups, and render the manual page and load the completion.
get_filename_component(_win32_parent "${KORV_WIN32_BIN_DIR}" DIRECTORY)
get_filename_component(_win64_parent "${KORV_WIN64_BIN_DIR}" DIRECTORY)
get_filename_component(_win64_parent "${_win64_parent}" DIRECTORY)
add_test(NAME package_check
         COMMAND bash "${CMAKE_SOURCE_DIR}/tests/tools/package_check.sh" "${CMAKE_BINARY_DIR}"
                 "${_win32_parent}/example-product" "${_win64_parent}/example-product-x64" ${_packaged_stubs})
set_tests_properties(package_check PROPERTIES LABELS slow TIMEOUT 600)
