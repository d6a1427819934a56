# Installing on a Linux desktop and the Debian package: the desktop entry, the
# icons at every size a desktop asks for, the AppStream metainfo, the manual
# pages, and CPack's Debian generator with dependencies computed from the
# binaries (dpkg-shlibdeps).
include(GNUInstallDirs)

set(KX52_APP_ID cz.orbkx52.kx52)
set(KX52_HOMEPAGE "https://kx52.invalid" CACHE STRING
    "Web address of the program; the package's screenshots are <address>/docs/<picture>.png")

install(FILES ${PROJECT_SOURCE_DIR}/resources/${KX52_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${PROJECT_SOURCE_DIR}/resources/${KX52_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/${KX52_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${KX52_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Icons: the drawing itself, and PNGs rendered from it at build time.
set(KX52_ICON_SIZES 16 22 24 32 48 64 128 256)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kx52.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(KX52_RSVG_CONVERT rsvg-convert)
if(KX52_RSVG_CONVERT)
  set(_icons)
  foreach(size IN LISTS KX52_ICON_SIZES)
    set(_png ${PROJECT_BINARY_DIR}/icons/${size}x${size}/kx52.png)
    add_custom_command(
      OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${KX52_RSVG_CONVERT} -w ${size} -h ${size} -o ${_png} ${PROJECT_SOURCE_DIR}/resources/icons/kx52.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/resources/icons/kx52.svg
      COMMENT "Rendering the ${size}x${size} icon"
      VERBATIM)
    list(APPEND _icons ${_png})
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(kx52_icons ALL DEPENDS ${_icons})
else()
  message(WARNING "rsvg-convert not found (Debian: librsvg2-bin): only the scalable icon is installed")
endif()

# Manual pages, with the version filled in, compressed as Debian keeps them.
set(_manpages)
foreach(page kx52.1 kx52ctl.1 orbena52-sim.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page} ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
  add_custom_command(
    OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.gz
    COMMAND gzip -9 -n -f -k ${PROJECT_BINARY_DIR}/man/${page}
    DEPENDS ${PROJECT_BINARY_DIR}/man/${page}
    COMMENT "Compressing the manual page ${page}"
    VERBATIM)
  list(APPEND _manpages ${PROJECT_BINARY_DIR}/man/${page}.gz)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(kx52_manpages ALL DEPENDS ${_manpages})

# The Debian package: cpack -G DEB in the build folder gives kx52_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kx52)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KX-52")
set(CPACK_PACKAGE_CONTACT "KX-52 maintainers <kx52@kx52.invalid>" CACHE STRING "Maintainer of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch and configure an ORBENA 52 panel instrument over a serial line")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "KX-52 reads the measured value and the sum of an ORBENA 52 panel instrument\n"
       "once a second, charts and records them, and sets the instrument's parameters,\n"
       "address and line settings. kx52ctl does the readings, a parameter backup\n"
       "and restore, the address change and the bus search from the command line,\n"
       "without a display. It comes with orbena52-sim, a simulated instrument\n"
       "on a pseudo-terminal. The user interface is in Czech.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KX52_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows need a platform plugin, which the binaries load at run time and
# so do not name; the computed dependencies are added to this one.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The toolkit's own texts in Czech (file dialog, Yes/No), and Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
include(CPack)
