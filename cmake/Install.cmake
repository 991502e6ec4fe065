# Install layout of a Linux desktop program, and the Debian package built from it by CPack.
# The program finds its start files and help pages through <bindir>/../share/rendaal/, so the
# whole tree is relocatable: `cmake --install build --prefix /any/where` works as /usr does.
include(GNUInstallDirs)

set(RENDAAL_APP_ID nl.rendaal.Rendaal)
# The version the program shows and the package carries.
set(RENDAAL_RELEASE_VERSION "${PROJECT_VERSION}a")
set(RENDAAL_HOMEPAGE "https://rendaal.example.org/")
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(share_rendaal ${CMAKE_INSTALL_DATADIR}/rendaal)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/rendaal)

foreach(program rendaal rendaal-sched)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# Start files (copied into the user's data folder on a first run) and help pages. The folder is
# installed even while data/ is empty: its existence is what marks an installed program.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${share_rendaal}
        PATTERN ".*" EXCLUDE
        PATTERN "CMakeLists.txt" EXCLUDE
        PATTERN "README*" EXCLUDE)

# Menu entry, icons and software-centre data only come with the program they launch.
if(TARGET rendaal)
    install(FILES ${pkg}/${RENDAAL_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${pkg}/${RENDAAL_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${pkg}/icons/${RENDAAL_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${pkg}/icons/${size}x${size}/${RENDAAL_APP_ID}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endif()

# Manual pages and the package changelog are installed compressed, as Debian policy wants
# (gzip -n: no name or time stamp, so packages build reproducibly).
set(gz_dir ${CMAKE_BINARY_DIR}/packaging)
set(gz_outputs)
foreach(page rendaal.1 rendaal-sched.1 changelog)
    if(page STREQUAL "changelog")
        set(src ${pkg}/debian/changelog)
    else()
        set(src ${pkg}/man/${page})
    endif()
    add_custom_command(OUTPUT ${gz_dir}/${page}.gz
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${gz_dir}
                       COMMAND gzip -9nc ${src} > ${gz_dir}/${page}.gz
                       DEPENDS ${src} VERBATIM)
    list(APPEND gz_outputs ${gz_dir}/${page}.gz)
endforeach()
add_custom_target(rendaal_packaging_files ALL DEPENDS ${gz_outputs})
install(FILES ${gz_dir}/rendaal.1.gz ${gz_dir}/rendaal-sched.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${gz_dir}/changelog.gz ${pkg}/debian/copyright DESTINATION ${doc_dir})

# Example systemd user units. They name the companion by its full installed path, which is
# only known at install time (--prefix, CPack's /usr), so they are written then.
if(TARGET rendaal-sched)
    foreach(unit rendaal-sched.service rendaal-sched.timer)
        install(CODE "
            set(RENDAAL_SCHED \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/rendaal-sched\")
            configure_file(\"${pkg}/systemd/${unit}.in\" \"${gz_dir}/${unit}\" @ONLY)
        ")
        install(FILES ${gz_dir}/${unit} DESTINATION ${share_rendaal})
    endforeach()
endif()

# Debian package: `cpack -G DEB` in a build configured with CMAKE_INSTALL_PREFIX=/usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rendaal)
set(CPACK_PACKAGE_VERSION ${RENDAAL_RELEASE_VERSION})
set(CPACK_PACKAGE_VENDOR "The Rendaal developers")
set(CPACK_PACKAGE_CONTACT "Rendaal developers <rendaal@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${RENDAAL_HOMEPAGE})
# GPL-3.0-or-later; a Debian package states it in /usr/share/doc/rendaal/copyright (DEP-5).
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "follow AEX option combinations day by day")
set(CPACK_PACKAGE_DESCRIPTION
    "Rendaal follows the value of option combinations on the AEX index. You define
combinations of one put and one call of an AEX option series (a single option,
a straddle or a strangle); Rendaal downloads the index level and the option
quotes, keeps one history file per combination and charts that history against
time or against the index level.

The package also holds rendaal-sched, which runs one download without a window
(for systemd timers or cron) and renders a history file as a PNG chart.")
set(CPACK_PACKAGE_FILE_NAME "rendaal_${RENDAAL_RELEASE_VERSION}")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Rendaal developers <rendaal@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${RENDAAL_HOMEPAGE})
# dpkg-shlibdeps finds the Qt 6 libraries the programs link; what they only load at run time
# is named here: the Verdana stand-in font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
