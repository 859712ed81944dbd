# The installation and the Debian packages. Every file belongs to one install
# component; cpack groups the components into the packages Debian would make:
#   korvata              (program, logger)
#       bin/korvata -> ../lib/korvata/korvata, lib/korvata/FrontPanel.xml,
#       share/applications/korvata.desktop, share/icons/.../korvata.png,
#       bin/korvata-log, share/bash-completion/completions/korvata-log,
#       share/man/man1/korvata.1.gz, korvata-log.1.gz
#   korvata-sim          (simulator)
#       bin/korvata-sim, share/man/man1/korvata-sim.1.gz
#   libkorvata-visa0     (visa-runtime, udev-rule)
#       lib/<multiarch>/libkorvata-visa.so.0 -> libkorvata-visa.so.0.1.0,
#       /usr/lib/udev/rules.d/70-korvata-usbtmc.rules (a package), or
#       /etc/udev/rules.d for any other prefix
#   libkorvata-visa-dev  (visa-development)
#       include/korvata-visa/visa.h, lib/<multiarch>/libkorvata-visa.so,
#       lib/<multiarch>/pkgconfig/korvata-visa.pc
# and each package its share/doc/<package>/copyright and changelog.Debian.gz.
include(GNUInstallDirs)

# Debian keeps shared libraries and pkg-config files in the multiarch folder
# (lib/x86_64-linux-gnu), which its dynamic linker searches under /usr and
# /usr/local alike. GNUInstallDirs picks it only when the prefix is /usr at
# configure time; cpack installs into /usr whatever the build's prefix, so
# the folder is chosen here for every prefix.
if(CMAKE_LIBRARY_ARCHITECTURE AND CMAKE_INSTALL_LIBDIR STREQUAL "lib")
    set(KVT_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
    set(KVT_LIBDIR ${CMAKE_INSTALL_LIBDIR})
endif()

# Writes OUTPUT as SOURCE compressed the way Debian wants its manual pages
# and changelogs: gzip -9, without the name and time (reproducible).
function(kvt_gzip source output)
    get_filename_component(name ${output} NAME)
    add_custom_command(
        OUTPUT ${output}
        COMMAND gzip -9 -n -c ${source} > ${output}
        DEPENDS ${source}
        VERBATIM)
    add_custom_target(kvt-gzip-${name} ALL DEPENDS ${output})
endfunction()

# A program's manual page, kept beside the code that reads its options.
function(kvt_manual_page source component)
    get_filename_component(name ${source} NAME)
    kvt_gzip(${source} ${PROJECT_BINARY_DIR}/man/${name}.gz)
    install(FILES ${PROJECT_BINARY_DIR}/man/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT ${component})
endfunction()

# ---- korvata: the window program and the logger ---------------------------
set(KVT_PROGRAM_DIR lib/korvata)
install(TARGETS korvata RUNTIME DESTINATION ${KVT_PROGRAM_DIR} COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/resources/FrontPanel.xml DESTINATION ${KVT_PROGRAM_DIR}
        COMPONENT program)
file(RELATIVE_PATH KVT_PROGRAM_LINK /${CMAKE_INSTALL_BINDIR} /${KVT_PROGRAM_DIR}/korvata)
install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/korvata\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"${KVT_PROGRAM_LINK}\" \"\${link}\" SYMBOLIC)
    message(STATUS \"Installing: \${link} -> ${KVT_PROGRAM_LINK}\")" COMPONENT program)
kvt_manual_page(${PROJECT_SOURCE_DIR}/app/korvata.1 program)
install(FILES ${PROJECT_SOURCE_DIR}/resources/korvata.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/resources/korvata.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps COMPONENT program)

install(TARGETS korvata-log RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT logger)
kvt_manual_page(${PROJECT_SOURCE_DIR}/log/korvata-log.1 logger)
install(FILES ${PROJECT_SOURCE_DIR}/log/korvata-log.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME korvata-log
        COMPONENT logger)

# ---- korvata-sim ----------------------------------------------------------
install(TARGETS korvata-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT simulator)
kvt_manual_page(${PROJECT_SOURCE_DIR}/sim/korvata-sim.1 simulator)

# ---- libkorvata-visa0 and libkorvata-visa-dev ------------------------------
# `cmake --install --component visa-runtime` and `--component
# visa-development` put only the library and what builds against it under a
# prefix.
install(TARGETS korvata-visa LIBRARY DESTINATION ${KVT_LIBDIR} COMPONENT visa-runtime
        NAMELINK_COMPONENT visa-development)
install(FILES ${PROJECT_SOURCE_DIR}/visa/visa.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvata-visa COMPONENT visa-development)
# The prefix is found from where the .pc file lies, so that the files work
# wherever they are installed (cmake --install --prefix, DESTDIR, a package).
if(IS_ABSOLUTE "${KVT_LIBDIR}")
    set(KVT_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
    file(RELATIVE_PATH KVT_PC_UP /${KVT_LIBDIR}/pkgconfig /)
    string(REGEX REPLACE "/$" "" KVT_PC_UP "${KVT_PC_UP}")
    set(KVT_PC_PREFIX "\${pcfiledir}/${KVT_PC_UP}")
endif()
set(KVT_PC_LIBDIR "\${prefix}/${KVT_LIBDIR}")
set(KVT_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}/korvata-visa")
configure_file(${PROJECT_SOURCE_DIR}/visa/korvata-visa.pc.in
               ${PROJECT_BINARY_DIR}/korvata-visa.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/korvata-visa.pc
        DESTINATION ${KVT_LIBDIR}/pkgconfig COMPONENT visa-development)

# The udev rule that lets the local user open USBTMC instruments (README.md).
# udev reads the distribution's rules from /usr/lib/udev/rules.d and the
# administrator's from /etc/udev/rules.d, and none under /usr/local: an
# installation into /usr (the packages) puts it in the first, any other
# prefix where KVT_UDEV_RULES_DIR says.
set(KVT_UDEV_RULES_DIR "/etc/udev/rules.d" CACHE PATH
    "Where the udev rule is installed, unless the prefix is /usr (then /usr/lib/udev/rules.d)")
install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(kvt_udev_dir /usr/lib/udev/rules.d)
    else()
        set(kvt_udev_dir \"${KVT_UDEV_RULES_DIR}\")
    endif()
    file(INSTALL DESTINATION \"\${kvt_udev_dir}\" TYPE FILE
         FILES \"${PROJECT_SOURCE_DIR}/resources/udev/70-korvata-usbtmc.rules\")"
    COMPONENT udev-rule)

# ---- Each package's copyright file and changelog ---------------------------
set(KVT_DEB_RELEASE 1)
set(KVT_DEB_VERSION ${PROJECT_VERSION}-${KVT_DEB_RELEASE})
set(KVT_DEB_MAINTAINER "Korvata developers <maintainers@korvata.org>")
# The copyright file carries LICENSE's notice and text, so the two cannot
# disagree: the text indented by one space, its empty lines as " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE KVT_LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${KVT_LICENSE}")
set(KVT_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^MIT License\n+Copyright [^\n]*\n+" "" KVT_LICENSE_TEXT "${KVT_LICENSE}")
string(REGEX REPLACE "\n+$" "" KVT_LICENSE_TEXT "${KVT_LICENSE_TEXT}")
string(REGEX REPLACE "\n\n" "\n.\n" KVT_LICENSE_TEXT "${KVT_LICENSE_TEXT}")
string(REGEX REPLACE "\n" "\n " KVT_LICENSE_TEXT " ${KVT_LICENSE_TEXT}")
set(KVT_DEBIAN_DIR ${PROJECT_BINARY_DIR}/debian)
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/copyright.in ${KVT_DEBIAN_DIR}/copyright
               @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${KVT_DEBIAN_DIR}/changelog
               @ONLY)
kvt_gzip(${KVT_DEBIAN_DIR}/changelog ${KVT_DEBIAN_DIR}/changelog.Debian.gz)
# Korvata is published by its developers, not through Debian's archive, so
# its first changelog entry closes no ITP bug; each package overrides that
# one lintian tag, with that reason (resources/debian/lintian-overrides.in).
foreach(entry korvata:program korvata-sim:simulator libkorvata-visa0:visa-runtime
              libkorvata-visa-dev:visa-development)
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 KVT_DEB_PACKAGE)
    list(GET entry 1 component)
    # Only in the packages (cpack names every component), not in a plain
    # `cmake --install`.
    install(FILES ${KVT_DEBIAN_DIR}/copyright ${KVT_DEBIAN_DIR}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${KVT_DEB_PACKAGE} COMPONENT ${component}
            EXCLUDE_FROM_ALL)
    configure_file(${PROJECT_SOURCE_DIR}/resources/debian/lintian-overrides.in
                   ${KVT_DEBIAN_DIR}/${KVT_DEB_PACKAGE}/lintian-overrides @ONLY)
    install(FILES ${KVT_DEBIAN_DIR}/${KVT_DEB_PACKAGE}/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${KVT_DEB_PACKAGE}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

# ---- cpack -G DEB ------------------------------------------------------------
set(CPACK_PACKAGE_NAME korvata)
set(CPACK_PACKAGE_VENDOR "Korvata")
set(CPACK_PACKAGE_CONTACT "${KVT_DEB_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program logger simulator visa-runtime udev-rule visa-development)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENT_PROGRAM_GROUP korvata)
set(CPACK_COMPONENT_LOGGER_GROUP korvata)
set(CPACK_COMPONENT_SIMULATOR_GROUP korvata-sim)
set(CPACK_COMPONENT_VISA-RUNTIME_GROUP libkorvata-visa0)
set(CPACK_COMPONENT_UDEV-RULE_GROUP libkorvata-visa0)
set(CPACK_COMPONENT_VISA-DEVELOPMENT_GROUP libkorvata-visa-dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KVT_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_KORVATA_PACKAGE_NAME korvata)
set(CPACK_DEBIAN_KORVATA_PACKAGE_SECTION electronics)
# The fonts that the skin and the messages use; the udev rule that opens USB
# meters to the user comes with the library package (the programs link the
# VISA layer statically).
set(CPACK_DEBIAN_KORVATA_PACKAGE_DEPENDS
    "libkorvata-visa0 (= ${KVT_DEB_VERSION}), fonts-dejavu-core, fonts-dseg, fonts-wqy-microhei")
set(CPACK_DEBIAN_KORVATA_PACKAGE_SUGGESTS "korvata-sim")
set(CPACK_DEBIAN_KORVATA_DESCRIPTION
    "remote control for a bench digital multimeter
Korvata shows a bench digital multimeter's front panel in a window and
drives the meter over USB (USBTMC) or the network (VXI-11): the reading with
its range and unit, the soft keys, the function keys and the meter's own
keys. Four views analyse the readings: the meter's statistics with limit
testing and dB scaling, a bar meter, a trend chart and a histogram.
Readings can be saved or recorded to CSV files as they arrive, and a meter
that drops off is brought back on its own.
This package also holds korvata-log, which logs a meter's readings as CSV
from the command line, with no display, over ssh or as a service.")

set(CPACK_DEBIAN_KORVATA-SIM_PACKAGE_NAME korvata-sim)
set(CPACK_DEBIAN_KORVATA-SIM_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_KORVATA-SIM_DESCRIPTION
    "simulated bench digital multimeter served over the network
korvata-sim answers a bench digital multimeter's SCPI commands with
simulated readings, over a raw SCPI socket and VXI-11, with a portmapper of
its own when the system has none. Faults (delays, silence, dropped
connections, garbage) and the behaviour of some real instruments can be
switched on.
Install it to try Korvata, korvata-log or any VISA client without an
instrument on the bench, or to test such programs.")

set(CPACK_DEBIAN_LIBKORVATA-VISA0_PACKAGE_NAME libkorvata-visa0)
set(CPACK_DEBIAN_LIBKORVATA-VISA0_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBKORVATA-VISA0_DESCRIPTION
    "VISA library for message-based instruments over USBTMC and VXI-11
libkorvata-visa is a VISA library of its own for message-based test and
measurement instruments over USB (USBTMC and USB488), VXI-11 and raw
sockets: the VISA C calls that pyvisa and C programs use to find, open,
read, write, clear, trigger and lock instruments.
This package holds the shared library, which pyvisa can load as its VISA
library, and the udev rule that lets the user at the seat open USBTMC
instruments without root.")
# dpkg runs ldconfig once for all libraries installed (a trigger), and other
# packages' dpkg-shlibdeps find the package that holds the library (shlibs).
# Both are written here: cpack would otherwise add maintainer scripts that
# call ldconfig, and it writes shlibs only along with them. The library's own
# dependencies come from dpkg-shlibdeps when cpack runs (PackagingConfig.cmake).
get_target_property(KVT_VISA_SOVERSION korvata-visa SOVERSION)
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/libkorvata-visa0.shlibs.in
               ${KVT_DEBIAN_DIR}/libkorvata-visa0/shlibs @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/libkorvata-visa0.triggers
               ${KVT_DEBIAN_DIR}/libkorvata-visa0/triggers COPYONLY)
set(CPACK_DEBIAN_LIBKORVATA-VISA0_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_LIBKORVATA-VISA0_PACKAGE_CONTROL_EXTRA
    "${KVT_DEBIAN_DIR}/libkorvata-visa0/shlibs;${KVT_DEBIAN_DIR}/libkorvata-visa0/triggers")
set(KVT_VISA_LIBRARY_FILE "$<TARGET_FILE:korvata-visa>")
set(KVT_VISA_DEPENDS_PACKAGE "LIBKORVATA-VISA0")
configure_file(${PROJECT_SOURCE_DIR}/cmake/PackagingConfig.cmake.in
               ${KVT_DEBIAN_DIR}/PackagingConfig.cmake.in @ONLY)
file(GENERATE OUTPUT ${KVT_DEBIAN_DIR}/PackagingConfig.cmake
     INPUT ${KVT_DEBIAN_DIR}/PackagingConfig.cmake.in)
set(CPACK_PROJECT_CONFIG_FILE ${KVT_DEBIAN_DIR}/PackagingConfig.cmake)

set(CPACK_DEBIAN_LIBKORVATA-VISA-DEV_PACKAGE_NAME libkorvata-visa-dev)
set(CPACK_DEBIAN_LIBKORVATA-VISA-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LIBKORVATA-VISA-DEV_PACKAGE_DEPENDS "libkorvata-visa0 (= ${KVT_DEB_VERSION})")
set(CPACK_DEBIAN_LIBKORVATA-VISA-DEV_DESCRIPTION
    "VISA library for message-based instruments - development files
libkorvata-visa is a VISA library of its own for message-based test and
measurement instruments over USB (USBTMC and USB488), VXI-11 and raw
sockets.
This package holds what a C or C++ program needs to build against it: the
header visa.h, the link to the library and the pkg-config file
(pkg-config --cflags --libs korvata-visa).")
include(CPack)
