# The Debian package. Its dependencies come from the binaries
# (dpkg-shlibdeps), not from a list kept by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tarvik maintainers <maintainers@tarvik.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "virtual serial ports carried over TCP to network device servers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tarvik finds serial device servers on the local networks, keeps the mapping of COM numbers to their serial ports, configures the devices over their command port and serves each mapped port as a pseudo-terminal relayed over TCP to the device.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xterm | x-terminal-emulator, picocom, pkexec")
set(TARVIK_LIBEXEC_FULL ${CMAKE_INSTALL_FULL_LIBEXECDIR}/tarvik)
set(tarvik_scripts)
foreach(script postinst prerm postrm)
  configure_file(debian/${script} ${CMAKE_CURRENT_BINARY_DIR}/debian/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  list(APPEND tarvik_scripts ${CMAKE_CURRENT_BINARY_DIR}/debian/${script})
endforeach()
# The shared libraries need the dynamic linker's cache refreshed.
list(APPEND tarvik_scripts ${CMAKE_CURRENT_SOURCE_DIR}/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${tarvik_scripts})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
