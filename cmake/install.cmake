# Installing and the Debian package. One program folder holds everything the program looks for next to
# its own file; the program is linked onto PATH:
#
#   <prefix>/lib/tobrik/   tobrik, sounds/, History.txt, User.txt, Tobrik.ini
#   <prefix>/bin/tobrik    -> ../lib/tobrik/tobrik
#
# Installed to /usr (the package does), User.txt and Tobrik.ini belong to the administrator: they live in
# /etc/tobrik and the program folder links to them, so an update of the package keeps their changes.
# Elsewhere (cmake --install --prefix DIR) they are plain files in the program folder.
include(GNUInstallDirs)
set(TOBRIK_PROGRAM_DIR lib/tobrik)
set(TOBRIK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tobrik)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)

# The help menu offers the history of the program it finds beside itself, in the build tree as well.
get_target_property(program_build_dir tobrik RUNTIME_OUTPUT_DIRECTORY)
if(NOT program_build_dir)
    set(program_build_dir ${CMAKE_CURRENT_BINARY_DIR})
endif()
add_custom_command(OUTPUT ${program_build_dir}/History.txt
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/History.txt ${program_build_dir}/History.txt
    DEPENDS ${PROJECT_SOURCE_DIR}/History.txt VERBATIM)
# Debian wants manual pages and the changelog compressed, without a time stamp.
set(compressed ${CMAKE_CURRENT_BINARY_DIR}/packaging)
add_custom_command(OUTPUT ${compressed}/tobrik.1.gz ${compressed}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
    COMMAND ${CMAKE_COMMAND} -E copy ${packaging}/tobrik.1 ${packaging}/changelog ${compressed}
    COMMAND gzip -9nf ${compressed}/tobrik.1 ${compressed}/changelog
    DEPENDS ${packaging}/tobrik.1 ${packaging}/changelog VERBATIM)
add_custom_target(tobrik_install_files ALL
    DEPENDS ${program_build_dir}/History.txt ${compressed}/tobrik.1.gz ${compressed}/changelog.gz)
add_dependencies(tobrik tobrik_install_files)

file(GLOB sound_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/sounds/*.wav)
install(TARGETS tobrik RUNTIME DESTINATION ${TOBRIK_PROGRAM_DIR})
install(FILES ${sound_files} DESTINATION ${TOBRIK_PROGRAM_DIR}/sounds)
install(FILES ${PROJECT_SOURCE_DIR}/History.txt DESTINATION ${TOBRIK_PROGRAM_DIR})
install(CODE "set(TOBRIK_PROGRAM_DIR \"${TOBRIK_PROGRAM_DIR}\")
    set(TOBRIK_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    set(TOBRIK_ADMIN_FILES \"${packaging}/User.txt;${packaging}/Tobrik.ini\")
    set(TOBRIK_STRIP \"${CMAKE_STRIP}\")")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/install_links.cmake)
install(FILES ${packaging}/tobrik.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/tobrik.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging}/example.tobrik.Tobrik.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${compressed}/tobrik.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/copyright ${compressed}/changelog.gz DESTINATION ${TOBRIK_DOC_DIR})
install(FILES ${packaging}/User.example.txt DESTINATION ${TOBRIK_DOC_DIR}/examples RENAME User.txt)
install(FILES ${packaging}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tobrik)

# The Debian package: scripts/package.sh makes tobrik_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tobrik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tobrik maintainers <maintainers@users.noreply.c-seed-393ae49c.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "messenger for the local network, made for blind users")
set(CPACK_PACKAGE_DESCRIPTION
    "Tobrik shows which colleagues on the local network are online, away or
busy, and sends them short text messages that count as sent only when the
other PC has confirmed them. Received messages are kept in an inbox and in
a log per partner.

Everything works from the keyboard alone. Announcements are spoken through
the running screen reader or a speech-dispatcher voice, events are
signalled by short sounds, and system-wide keys keep working while the
window waits in the tray. The interface is German.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries come from dpkg-shlibdeps; plugins that Qt loads at run time are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-speech-speechd-plugin")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "speech-dispatcher, qt6-speech-flite-plugin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The install code above decides by the prefix, so the package installs with prefix /usr into DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

# The package built from this tree, its layout, its metadata and a dpkg install into a scratch root.
add_test(NAME package_deb COMMAND ${PROJECT_SOURCE_DIR}/tests/packaging/test_package.sh ${CMAKE_BINARY_DIR}
                                  ${PROJECT_SOURCE_DIR})
set_tests_properties(package_deb PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
