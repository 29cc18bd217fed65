# Where the program lands on a Linux desktop, and the Debian package made from that; on
# Windows, WindowsPackaging.cmake does the same for a setup.
#
#   cmake --install <build> --prefix /usr     the files below, under /usr
#   cpack (in <build>)                        kormoszi_<version>-1_<arch>.deb

include(GNUInstallDirs)

set(KORMOSZI_APP_ID hu.pelvador.Kormoszi)
set(KORMOSZI_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# The window icon is built in, so the program shows it also where it was never installed.
qt_add_resources(kormoszi kormoszi_icons
    PREFIX /icons
    BASE ${KORMOSZI_PACKAGING_DIR}/icons
    FILES
        ${KORMOSZI_PACKAGING_DIR}/icons/${KORMOSZI_APP_ID}-48.png
        ${KORMOSZI_PACKAGING_DIR}/icons/${KORMOSZI_APP_ID}-256.png
)

set(CPACK_PACKAGE_NAME kormoszi)
set(CPACK_PACKAGE_VENDOR Pelvador)
set(CPACK_PACKAGE_CONTACT "Kormoszi maintainers <kormoszi@pelvador.hu>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor of the Tormolag word lists")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackaging.cmake)
    return()
endif()

install(TARGETS kormoszi RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KORMOSZI_PACKAGING_DIR}/${KORMOSZI_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KORMOSZI_PACKAGING_DIR}/${KORMOSZI_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${KORMOSZI_PACKAGING_DIR}/icons/${KORMOSZI_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
    install(FILES ${KORMOSZI_PACKAGING_DIR}/icons/${KORMOSZI_APP_ID}-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${KORMOSZI_APP_ID}.png)
endforeach()
# The demo game directory, to be copied somewhere writable: the program saves beside the
# lists it loaded.
foreach(n 3 4 5 6 7)
    install(FILES ${PROJECT_SOURCE_DIR}/examples/len${n}.txt
            DESTINATION ${CMAKE_INSTALL_DATADIR}/kormoszi/examples)
endforeach()

# What Debian asks of every package: the licence in its machine-readable form, the
# package's changelog and a manual page, the last two compressed as dpkg would (-9n: the
# smallest, with no time stamp, so the same sources give the same package).
set(KORMOSZI_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kormoszi)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${KORMOSZI_PACKAGING_DIR}/copyright
        DESTINATION ${KORMOSZI_DOC_DIR})
# The picture the README shows, at the place the README names.
install(FILES ${PROJECT_SOURCE_DIR}/docs/kormoszi.png DESTINATION ${KORMOSZI_DOC_DIR}/docs)

function(kormoszi_gzip source compressed)
    execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${compressed}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "gzip ${source}: ${status}")
    endif()
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()
set(KORMOSZI_GZIP_DIR ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${KORMOSZI_GZIP_DIR})
kormoszi_gzip(${KORMOSZI_PACKAGING_DIR}/changelog ${KORMOSZI_GZIP_DIR}/changelog.Debian.gz)
kormoszi_gzip(${KORMOSZI_PACKAGING_DIR}/kormoszi.1 ${KORMOSZI_GZIP_DIR}/kormoszi.1.gz)
kormoszi_gzip(${KORMOSZI_PACKAGING_DIR}/kormoszi.hu.1 ${KORMOSZI_GZIP_DIR}/kormoszi.hu.1.gz)
install(FILES ${KORMOSZI_GZIP_DIR}/changelog.Debian.gz DESTINATION ${KORMOSZI_DOC_DIR})
install(FILES ${KORMOSZI_PACKAGING_DIR}/kormoszi.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kormoszi)
install(FILES ${KORMOSZI_GZIP_DIR}/kormoszi.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KORMOSZI_GZIP_DIR}/kormoszi.hu.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/hu/man1
        RENAME kormoszi.1.gz)

set(CPACK_GENERATOR DEB)
# Debian shows the description as written: lines short enough for a terminal.
set(CPACK_PACKAGE_DESCRIPTION
    "Kormoszi edits the vocabulary of the word game Tormolag, one list for each
word length from three to seven letters, in Hungarian alphabetical order, from
the keyboard.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://pelvador.hu/kormoszi/)
# The libraries the program links (Qt, ICU, the C++ runtime) come from dpkg-shlibdeps,
# with the names and versions of the release the build ran on. What Qt loads only at run
# time is named here. The X11 and offscreen platform plugins come with libqt6gui6; the
# Wayland one comes only with qt6-wayland (qt6-qpa-plugins holds no more than the VNC and
# TUIO plugins, which an editor on a desktop does not use). Without it a Wayland desktop
# runs the program through XWayland at best. And a font for the window's text.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-wayland, fonts-dejavu-core")

include(CPack)
