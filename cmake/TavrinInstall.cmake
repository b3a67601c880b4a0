# Desktop integration and packaging: the menu entry, AppStream metainfo, the
# application icon, the rollback clean-up's directories and the Debian package.
# The executable, translations, configuration description and the monitor's
# units are installed next to their targets in src/CMakeLists.txt.

set(TAVRIN_APP_ID org.zarnex.tavrin-manager)
set(TAVRIN_DATA ${PROJECT_SOURCE_DIR}/data)

# The monitor's user units in <prefix>/lib/systemd/user, enabled for no one
# (each user switches the timer on from the disk page). The service names the
# installed executable, so it is written at install time for the prefix given
# then ("cmake --install --prefix", the package's /usr).
install(CODE "
    set(TAVRIN_MONITOR_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tavrin-manager\")
    set(unit \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/tavrin-monitor.service\")
    message(STATUS \"Installing: \${unit}\")
    configure_file(\"${TAVRIN_DATA}/systemd/tavrin-monitor.service.in\" \"\${unit}\" @ONLY NO_SOURCE_PERMISSIONS)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${unit}\")
")
install(FILES ${TAVRIN_DATA}/systemd/tavrin-monitor.timer DESTINATION lib/systemd/user)

install(FILES ${TAVRIN_DATA}/desktop/${TAVRIN_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${TAVRIN_DATA}/desktop/${TAVRIN_APP_ID}.metainfo.xml.in
    ${PROJECT_BINARY_DIR}/share/metainfo/${TAVRIN_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/share/metainfo/${TAVRIN_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The icon: the same SVG the window shows, plus PNG renditions for menus and
# docks that do not scale SVG themselves.
set(TAVRIN_ICON_SVG ${TAVRIN_DATA}/icons/tavrin.svg)
set(TAVRIN_ICON_SIZES 16 22 24 32 48 64 128 256)
install(FILES ${TAVRIN_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(TAVRIN_RSVG_CONVERT rsvg-convert)
if(TAVRIN_RSVG_CONVERT)
    set(TAVRIN_ICON_PNGS)
    foreach(size IN LISTS TAVRIN_ICON_SIZES)
        set(png ${PROJECT_BINARY_DIR}/share/icons/hicolor/${size}x${size}/apps/tavrin.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/share/icons/hicolor/${size}x${size}/apps
            COMMAND ${TAVRIN_RSVG_CONVERT} --width ${size} --height ${size} --keep-aspect-ratio
                    --output ${png} ${TAVRIN_ICON_SVG}
            DEPENDS ${TAVRIN_ICON_SVG}
            COMMENT "Rendering the ${size}px application icon"
            VERBATIM)
        list(APPEND TAVRIN_ICON_PNGS ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(tavrin_icon_pngs ALL DEPENDS ${TAVRIN_ICON_PNGS})
else()
    message(WARNING "rsvg-convert (Debian: librsvg2-bin) not found: only the scalable icon is installed")
endif()

# Compressed reproducibly (no name, no time stamp), as Debian wants them.
function(tavrin_install_gzipped source destination)
    get_filename_component(name ${source} NAME)
    set(gz ${PROJECT_BINARY_DIR}/share/${destination}/${name}.gz)
    add_custom_command(OUTPUT ${gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/share/${destination}
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${source} ${gz}
        DEPENDS ${source}
        VERBATIM)
    string(MAKE_C_IDENTIFIER ${destination}/${name} target)
    add_custom_target(tavrin_gz_${target} ALL DEPENDS ${gz})
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_DATADIR}/${destination})
endfunction()

configure_file(${TAVRIN_DATA}/debian/copyright.in ${PROJECT_BINARY_DIR}/share/doc/tavrin-manager/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/share/doc/tavrin-manager/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-manager)
# Alerting rules for the monitor's Prometheus metrics, for the administrator to copy.
install(FILES ${TAVRIN_DATA}/prometheus/tavrin-manager.rules.yml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavrin-manager/examples)
tavrin_install_gzipped(${TAVRIN_DATA}/debian/changelog doc/tavrin-manager)
tavrin_install_gzipped(${TAVRIN_DATA}/tavrin-manager.1 man/man1)

# The rollback clean-up copies its state file and boot-counter script into
# these fixed system directories with "install", which does not create them.
# Installed with their absolute paths, outside the prefix; install.sh places
# them below $TAVRIN_SYSROOT when that is set.
set(TAVRIN_STATE_DIR /var/lib/tavrin-manager)
set(TAVRIN_CLEANUP_SCRIPT_DIR /usr/libexec/tavrin-manager)
install(DIRECTORY DESTINATION ${TAVRIN_STATE_DIR} COMPONENT system)
install(DIRECTORY DESTINATION ${TAVRIN_CLEANUP_SCRIPT_DIR} COMPONENT system)

# Debian package from the same rules ("cpack -G DEB" in any build; see
# scripts/check-deb.sh). A package always installs into /usr, whatever prefix
# the build was configured with.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrin-manager)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TAVRIN_DEVELOPERS} <${TAVRIN_CONTACT}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "snapshots, deployments and protection of an immutable system")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavrin Settings gives the administrator of Zarnex, an immutable OSTree-based\n"
    "system, one window for snapshots and rollback, deployments, upgrades, the\n"
    "read-only protection and its writable layer, the control tool's policy and\n"
    "a background disk monitor that reports abnormal growth of the system disk.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# With DESTDIR staging, absolute destinations (the system directories above)
# land in the staging tree, never on the building machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TAVRIN_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries come from dpkg-shlibdeps. These are loaded or run, not
# linked: Qt's SVG plug-ins (every icon is an SVG; the linker drops QtSvg, so
# dpkg-shlibdeps cannot see it) and the tools the program drives (python3 by
# the rollback clean-up's script).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6 (>= 6.4), ostree, systemd, sudo | pkexec, python3")
# The toolkit looks icons up in breeze, then hicolor.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "breeze-icon-theme, hicolor-icon-theme, dbus-user-session, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${TAVRIN_DATA}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
