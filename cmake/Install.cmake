# What `cmake --install` puts under the prefix, and the Debian package made of
# the same files by CPack (scripts/package.sh).

set(KELVANE_DOC_DIR share/doc/kelvane)

install(TARGETS kelvane RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/doc/kelvane.1 DESTINATION share/man/man1)
if(TARGET kelvane-monitor)
  install(TARGETS kelvane-monitor RUNTIME DESTINATION bin)
  install(FILES ${CMAKE_SOURCE_DIR}/doc/kelvane-monitor.1 DESTINATION share/man/man1)
endif()
if(TARGET kelvane-read)
  install(TARGETS kelvane-read RUNTIME DESTINATION bin)
  install(FILES ${CMAKE_SOURCE_DIR}/doc/kelvane-read.1 DESTINATION share/man/man1)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/doc/Kelvane.ini
  DESTINATION ${KELVANE_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kelvane maintainers <maintainers@users.noreply.c-seed-9d005e01.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "command-line client for KNX over KNXnet/IP")
set(CPACK_PACKAGE_DESCRIPTION
  "Kelvane talks to KNX building-automation installations through a KNXnet/IP
gateway over UDP. kelvane search finds gateways on the local network,
kelvane send writes one value to a KNX group address through a tunnelling
connection, kelvane-monitor shows the group telegrams on the bus, and
kelvane-read reads the value of a group address.
The settings come from the file Kelvane.ini in the working directory,
in ~/.config/kelvane/ or in /etc/kelvane/.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends is worked out from the binaries by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
