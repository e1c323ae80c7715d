# Where the install puts things, and the Debian packages built from it with CPack.
#
# Two layouts; the program tells them apart by the name of its own folder
# (KvtPaths::installOf: "bin" is a prefix install):
# - the default, one self-contained, movable folder below the install prefix: the
#   program, lib/ with the library, its CMake package and pkg-config file,
#   include/Pelmora0/, res/, share/translations/, share/man/, LICENSE (a Qt 6 build names
#   the library, its packages and include/Pelmora0-qt6/ apart: lib/CMakeLists.txt);
# - KVT_DEBIAN_LAYOUT=ON, the layout of the Debian packages, installed below "/": the
#   program in /usr/bin, its shipped files in /usr/share/kvtmerge (res/appIcon.ico,
#   translations/), the menu icon in the icon theme, the library in
#   /usr/lib/<multiarch>, the headers in /usr/include/Pelmora0, each package's
#   copyright and changelog.gz in /usr/share/doc/<package>.
# Every destination is relative to the install prefix.
#
#     cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=Release -DKVT_DEBIAN_LAYOUT=ON
#     cmake --build build-deb && (cd build-deb && cpack -G DEB)
# (scripts/make-packages.sh does both, with Debian's build flags) gives three packages:
#   libpelmora0      the shared library                  (component runtime)
#   libpelmora0-dev  headers, .so link, CMake package, pkg-config  (component dev)
#   kvtmerge         the program, man page, desktop entry (component program)

option(KVT_DEBIAN_LAYOUT "Install in the layout of the Debian packages (prefix /)" OFF)

if(KVT_DEBIAN_LAYOUT)
    # The packages' names and dependencies are those of the Qt 5 build.
    if(NOT KVT_QT_MAJOR STREQUAL "5")
        message(FATAL_ERROR "the Debian packages are built with Qt 5 (KVT_QT_MAJOR=5)")
    endif()
    if(NOT CMAKE_LIBRARY_ARCHITECTURE)
        message(FATAL_ERROR "KVT_DEBIAN_LAYOUT needs the multiarch name (CMAKE_LIBRARY_ARCHITECTURE)")
    endif()
    set(CMAKE_INSTALL_PREFIX "/" CACHE PATH "Install prefix" FORCE)
    set(KVT_INSTALL_PROGRAMDIR "usr/bin")
    set(KVT_INSTALL_SHIPPEDDIR "usr/share/kvtmerge")
    set(KVT_INSTALL_TRANSLATIONSDIR "${KVT_INSTALL_SHIPPEDDIR}/translations")
    set(KVT_INSTALL_ICONSDIR "usr/share/icons")
    set(KVT_INSTALL_LIBDIR "usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}")
    set(KVT_INSTALL_INCLUDEDIR "usr/include")
    set(KVT_INSTALL_MANDIR "usr/share/man")
    set(KVT_DESKTOP_DIR "usr/share/applications" CACHE STRING "" FORCE)
else()
    set(KVT_INSTALL_PROGRAMDIR ".")
    set(KVT_INSTALL_SHIPPEDDIR ".")
    set(KVT_INSTALL_TRANSLATIONSDIR "share/translations")
    set(KVT_INSTALL_ICONSDIR "share/icons")
    set(KVT_INSTALL_LIBDIR "lib")
    set(KVT_INSTALL_INCLUDEDIR "include")
    set(KVT_INSTALL_MANDIR "share/man")
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT program)
endif()

# The program finds the library relative to its own folder, so an unpacked package
# or a moved install folder works as well as the installed one.
file(RELATIVE_PATH KVT_PROGRAM_TO_LIBDIR "/${KVT_INSTALL_PROGRAMDIR}" "/${KVT_INSTALL_LIBDIR}")
set(KVT_INSTALL_RPATH "$ORIGIN/${KVT_PROGRAM_TO_LIBDIR}")

# The man page, gzip-compressed as Debian keeps man pages (component program).
configure_file(${PROJECT_SOURCE_DIR}/app/kvtmerge.1 ${CMAKE_BINARY_DIR}/kvtmerge.1 @ONLY)
set(KVT_MANPAGE ${CMAKE_BINARY_DIR}/kvtmerge.1.gz)
add_custom_command(OUTPUT ${KVT_MANPAGE}
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/kvtmerge.1
    DEPENDS ${CMAKE_BINARY_DIR}/kvtmerge.1
    VERBATIM)
add_custom_target(kvt_manpage ALL DEPENDS ${KVT_MANPAGE})
install(FILES ${KVT_MANPAGE} DESTINATION ${KVT_INSTALL_MANDIR}/man1 COMPONENT program)

set(CPACK_PACKAGE_NAME "kvtmerge")
set(CPACK_PACKAGE_VENDOR "the kvtmerge authors")
# example.org is reserved for examples: the address until the project has a domain.
set(CPACK_PACKAGE_CONTACT "kvtmerge developers <kvtmerge@example.org>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGING_INSTALL_PREFIX "/")
set(CPACK_SET_DESTDIR ON)
set(CPACK_COMPONENTS_ALL runtime dev program)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_SECTION "database")
# Dependencies on Qt5, libxlsxwriter and the C++ runtime come from dpkg-shlibdeps;
# the library of the build tree is searched there too, for kvtmerge's own link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${KVT_OUTPUT_DIR}/lib")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME "libpelmora0")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION "libs")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "Pelmora0 library for database desktop applications
SQL helpers and errors, logger, window and translation helpers, settings
and INI files, admin mode, autostart and single instance, transliteration,
Vigenere cipher, MD5, and export of table models to CSV files and
spreadsheet workbooks.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME "libpelmora0-dev")
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION "libdevel")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
    "libpelmora0 (= ${PROJECT_VERSION}), qtbase5-dev")
set(CPACK_DEBIAN_DEV_DESCRIPTION "Pelmora0 library for database desktop applications - development files
Headers (C++17), the CMake package (find_package(Pelmora0), target
Pelmora0::Pelmora0) and the pkg-config file pelmora0.pc.")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME "kvtmerge")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "libpelmora0 (= ${PROJECT_VERSION}), libqt5sql5-mysql, libqt5sql5-sqlite")
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "Merges KVT inspection databases into one
kvtmerge copies 1 to 10 KVT databases on a MySQL or MariaDB server into one
destination database, leaving out records that are already there and asking the
operator about conflicting reference records.")

# What Debian asks of every package and of a shared library's package: stripped
# objects (no -dbgsym package), a copyright file in Debian's machine-readable format
# and a changelog.gz in Debian's changelog format in /usr/share/doc/<package>, shlibs
# so that dependants get "libpelmora0 (>= version)", and the ldconfig trigger.
if(KVT_DEBIAN_LAYOUT)
    set(CPACK_STRIP_FILES ON)
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
    set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    # CPack also writes postinst and postrm scripts that call ldconfig, which the trigger
    # replaces; the script takes them out of the built package again.
    set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/DropLdconfigScripts.cmake)
    set(CPACK_KVT_LIBRARY_PACKAGE "${CPACK_DEBIAN_RUNTIME_PACKAGE_NAME}")

    # The copyright file, from LICENSE: its holder line, and its text as the licence.
    file(READ ${PROJECT_SOURCE_DIR}/LICENSE kvt_license)
    if(NOT kvt_license MATCHES "Copyright \\(c\\) ([^\n]+)\n+(.*)$")
        message(FATAL_ERROR "LICENSE has no line \"Copyright (c) <years> <holder>\"")
    endif()
    set(KVT_COPYRIGHT "${CMAKE_MATCH_1}")
    string(STRIP "${CMAKE_MATCH_2}" kvt_license_text)
    string(REPLACE "\n\n" "\n.\n" kvt_license_text "${kvt_license_text}")
    string(REPLACE "\n" "\n " KVT_LICENSE_TEXT " ${kvt_license_text}")
    set(kvt_docs ${CMAKE_BINARY_DIR}/debian)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in ${kvt_docs}/copyright @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${kvt_docs}/changelog @ONLY)
    add_custom_command(OUTPUT ${kvt_docs}/changelog.gz
        COMMAND gzip -9nkf ${kvt_docs}/changelog
        DEPENDS ${kvt_docs}/changelog
        VERBATIM)
    add_custom_target(kvt_debian_changelog ALL DEPENDS ${kvt_docs}/changelog.gz)
    foreach(component runtime dev program)
        string(TOUPPER ${component} kvt_upper)
        install(FILES ${kvt_docs}/copyright ${kvt_docs}/changelog.gz
            DESTINATION usr/share/doc/${CPACK_DEBIAN_${kvt_upper}_PACKAGE_NAME} COMPONENT ${component})
    endforeach()
endif()

include(CPack)
