# Desktop integration and the Debian package. Included from the top-level CMakeLists.txt
# after GNUInstallDirs, so the install paths below follow CMAKE_INSTALL_PREFIX.

install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavorin-settings.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavorin-settings.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavorin-settings)
set(CPACK_PACKAGE_VENDOR "Tavorin")
set(CPACK_PACKAGE_CONTACT "Tavorin Settings maintainers <maintainers@users.noreply.c-seed-70a83c14.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "settings editor for the Tavorin input method")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavorin Settings edits the settings of the Tavorin input method on a device with a\n"
    "physical keyboard and an on-screen keyboard: the on-screen keyboard's symbols and\n"
    "font size, the delay between two key presses that are grouped for translation, and\n"
    "the key combinations of the physical keyboard with their replacement texts.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program links (Qt, the C++ runtime) become Depends through
# dpkg-shlibdeps; the X11 platform plugin ships in libqt6gui6 on Debian 12. Qt's own
# German texts (dialog buttons, context menus) come from the translations package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
