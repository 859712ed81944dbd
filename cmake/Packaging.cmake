# The installation and the Debian package. Layout under the prefix:
#   bin/korvata -> ../lib/korvata/korvata   the program finds its skin
#   lib/korvata/korvata, FrontPanel.xml     in its own folder
#   bin/korvata-sim                         the simulated meter
#   bin/korvata-log, share/man/man1/korvata-log.1.gz,
#   share/bash-completion/completions/korvata-log   the command-line logger
#   lib/libkorvata-visa.so*, include/korvata-visa/visa.h,
#   lib/pkgconfig/korvata-visa.pc           the VISA library for other programs
#   share/applications/korvata.desktop, share/icons/hicolor/256x256/apps/korvata.png
#   /etc/udev/rules.d/70-korvata-usbtmc.rules (visa/CMakeLists.txt)
include(GNUInstallDirs)

set(KVT_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/korvata)
install(TARGETS korvata RUNTIME DESTINATION ${KVT_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/FrontPanel.xml DESTINATION ${KVT_PROGRAM_DIR})
file(RELATIVE_PATH KVT_PROGRAM_LINK /${CMAKE_INSTALL_BINDIR} /${KVT_PROGRAM_DIR}/korvata)
install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/korvata\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"${KVT_PROGRAM_LINK}\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Installing: \${link} -> ${KVT_PROGRAM_LINK}\")")

install(TARGETS korvata-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(TARGETS korvata-log RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Manual pages are installed compressed, reproducibly (no name or time).
add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/korvata-log.1.gz
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/log/korvata-log.1 > ${PROJECT_BINARY_DIR}/korvata-log.1.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/log/korvata-log.1
    VERBATIM)
add_custom_target(korvata-log-manual ALL DEPENDS ${PROJECT_BINARY_DIR}/korvata-log.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/korvata-log.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/log/korvata-log.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME korvata-log)

# The VISA library, its header and pkg-config file form their own install
# component, so that `cmake --install --component korvata-visa` puts only
# them under a prefix.
install(TARGETS korvata-visa LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT korvata-visa)
install(FILES ${PROJECT_SOURCE_DIR}/visa/visa.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvata-visa COMPONENT korvata-visa)
# The prefix is found from where the .pc file lies, so that the files work
# wherever they are installed (cmake --install --prefix, DESTDIR, a package).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(KVT_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
    file(RELATIVE_PATH KVT_PC_UP /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
    string(REGEX REPLACE "/$" "" KVT_PC_UP "${KVT_PC_UP}")
    set(KVT_PC_PREFIX "\${pcfiledir}/${KVT_PC_UP}")
endif()
set(KVT_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
set(KVT_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}/korvata-visa")
configure_file(${PROJECT_SOURCE_DIR}/visa/korvata-visa.pc.in
               ${PROJECT_BINARY_DIR}/korvata-visa.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/korvata-visa.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT korvata-visa)

install(FILES ${PROJECT_SOURCE_DIR}/resources/korvata.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/korvata.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)

# cpack -G DEB: the libraries the package needs come from dpkg-shlibdeps;
# the fonts that the skin and the messages use are named here.
set(CPACK_PACKAGE_NAME korvata)
set(CPACK_PACKAGE_VENDOR "Korvata")
set(CPACK_PACKAGE_CONTACT "Korvata developers <korvata@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Remote control for a bench digital multimeter over USBTMC or VXI-11")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-dseg, fonts-wqy-microhei")
include(CPack)
