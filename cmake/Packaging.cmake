# The packages: `cpack -G DEB` in a Linux tree gives marnel_<version>_amd64.deb
# (tool, manual page, udev rule, shell completion). The Windows cross tree
# installs marnel.exe with a README, which scripts/package.sh strips, signs
# and packs into the zip and the MSI (cpack is not used there).
set(CPACK_PACKAGE_NAME marnel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for Zarvel KQ and ZT series USB devices")
set(MARNEL_PACKAGE_MAINTAINER "Marnel maintainers <marnel@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT ${MARNEL_PACKAGE_MAINTAINER})
set(CPACK_STRIP_FILES ON)

if(WIN32)
    if(TARGET marnel)
        install(TARGETS marnel RUNTIME DESTINATION .)
    endif()
    # The console program, marnel.com, beside the window.
    if(TARGET marnel_console)
        install(TARGETS marnel_console RUNTIME DESTINATION .)
    endif()
    # Plain text with CRLF line ends, for Notepad.
    configure_file(${CMAKE_CURRENT_LIST_DIR}/package/README-windows.txt.in README.txt
        @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
else()
    set(CPACK_GENERATOR DEB)
    # The udev rule may go to an absolute folder (/lib/udev/rules.d): staging
    # through DESTDIR keeps it inside the package, never on this machine.
    set(CPACK_SET_DESTDIR ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # CPack puts the summary line above it.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "marnel names a Zarvel KQ or ZT series device attached by USB and set up as
a CUPS printer, prints its report, backs up and restores its parameter
block, sends it new firmware and runs its self test. `marnel doctor` checks
what keeps a device from being reached. A udev rule lets members of the lp
group use the devices without root. A systemd timer, once enabled, writes
the units' metrics for the node exporter every 5 minutes.")
    # postinst reloads the udev rules for the vendor id that the rule names.
    file(STRINGS ${PROJECT_SOURCE_DIR}/src/posix/60-marnel.rules vendor_line
        REGEX "ATTR\\{idVendor\\}")
    string(REGEX MATCH "[0-9a-f][0-9a-f][0-9a-f][0-9a-f]" MARNEL_USB_VENDOR_ID "${vendor_line}")
    configure_file(${CMAKE_CURRENT_LIST_DIR}/package/postinst.in package/postinst @ONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/package/postinst)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
