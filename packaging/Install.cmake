# What `cmake --install` puts on the system and how `cpack -G DEB` packs it:
# the three commands, their manual pages, the desktop entry and its icon.
include(GNUInstallDirs)

set(qrw_packaging ${CMAKE_SOURCE_DIR}/packaging)

# Manual pages carry the release and are installed compressed, as Debian
# keeps them.
set(qrw_manpages)
foreach(command modqrw qrw-sample qrw-import)
  if(NOT TARGET ${command})
    continue()
  endif()
  install(TARGETS ${command} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(page ${CMAKE_BINARY_DIR}/man/${command}.1)
  configure_file(${qrw_packaging}/man/${command}.1 ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz
                     COMMAND gzip -9nc ${page} > ${page}.gz
                     DEPENDS ${page}
                     COMMENT "Compressing the manual page of ${command}")
  list(APPEND qrw_manpages ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(manpages ALL DEPENDS ${qrw_manpages})

install(FILES ${qrw_packaging}/modqrw.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${qrw_packaging}/modqrw.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/modqrw)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME modqrw)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ModQRW")
set(CPACK_PACKAGE_CONTACT "ModQRW maintainers <maintainers@users.noreply.c-seed-00d517a1.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brings a Quarrow database to the newest table structure")
set(CPACK_PACKAGE_DESCRIPTION
    "ModQRW upgrades the database of Quarrow, a print-shop management product,\n"
    "from whatever earlier table structure it has to the structure that the\n"
    "newest release expects. It shows one small window (or asks on the\n"
    "terminal), runs a fixed upgrade script and can safely be run again.\n"
    "qrw-import converts the product's Jet database, qrw-sample writes a sample.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The runtime libraries (FLTK, inih, SQLite, libmdb and what they need) are
# read off the binaries by dpkg-shlibdeps, so the list follows the build.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
