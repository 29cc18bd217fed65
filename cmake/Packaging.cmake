# Where the program lands on a Linux desktop, and the Debian package made from that.
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
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kormoszi)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kormoszi)
set(CPACK_PACKAGE_VENDOR Pelvador)
set(CPACK_PACKAGE_CONTACT "Kormoszi maintainers <kormoszi@pelvador.hu>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor of the Tormolag word lists")
set(CPACK_PACKAGE_DESCRIPTION
    "Kormoszi edits the vocabulary of the word game Tormolag, one list for each word length from three to seven letters, in Hungarian alphabetical order, from the keyboard.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links (Qt, ICU, the C++ runtime) come from dpkg-shlibdeps,
# with the versions the build saw. What Qt loads only at run time is named here: the
# platform plugins (xcb, wayland, offscreen) and a font for the window's text.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
# On a Wayland desktop the program runs natively, with its own icon, only with this.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

include(CPack)
