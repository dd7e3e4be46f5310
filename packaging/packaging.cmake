# Desktop integration and the Debian package. Included from the top-level CMakeLists.txt
# after GNUInstallDirs, so the install paths below follow CMAKE_INSTALL_PREFIX.

install(FILES ${CMAKE_CURRENT_LIST_DIR}/org.tavorin.Settings.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tavorin-settings.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/org.tavorin.Settings.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# lintian's override of AppStream 1.0's homepage warning (lintian-overrides says why), only
# where the lintian at hand knows that tag, as Debian 13's does: Debian 12's calls an
# override of a tag it does not know an error. A package is built for the release it is
# built on; without lintian (a plain install) there is nothing to override.
install(CODE "
execute_process(COMMAND lintian-explain-tags appstream-metadata-validation-failed
                RESULT_VARIABLE lintian_knows OUTPUT_QUIET ERROR_QUIET)
if(lintian_knows EQUAL 0)
    file(INSTALL \"${CMAKE_CURRENT_LIST_DIR}/lintian-overrides\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/lintian/overrides\"
         RENAME tavorin-settings)
endif()")

# The manual page and the Debian changelog are installed compressed, as Debian keeps
# them; gzip -n leaves out the name and time, so the same source gives the same bytes.
# Done while configuring, so that every build folder has them whatever it builds; an
# edit of either source configures again.
foreach(source tavorin-settings.1 changelog)
    set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${source}.gz)
    execute_process(COMMAND gzip -9 -n -c ${CMAKE_CURRENT_LIST_DIR}/${source}
                    OUTPUT_FILE ${compressed} RESULT_VARIABLE gzip_result)
    if(NOT gzip_result EQUAL 0)
        message(FATAL_ERROR "gzip ${source}: ${gzip_result}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${CMAKE_CURRENT_LIST_DIR}/${source})
endforeach()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tavorin-settings.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The doc folder of a Debian package: the copyright and the changelog (the package is
# native, so its changelog is changelog.gz), and the key mapping file's format.
set(TAVORIN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tavorin-settings)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
              ${PROJECT_SOURCE_DIR}/docs/key-mapping-file.md
              ${PROJECT_SOURCE_DIR}/docs/hardware-keyboard.rng
        DESTINATION ${TAVORIN_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavorin-settings)
set(CPACK_PACKAGE_VENDOR "Tavorin")
set(CPACK_PACKAGE_CONTACT "Tavorin Settings maintainers <maintainers@users.noreply.c-seed-70a83c14.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "settings editor for the Tavorin input method")
# Debian wants the lines of the long description under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Tavorin Settings edits the settings of the Tavorin input method on a\n"
    "device with a physical keyboard and an on-screen keyboard: the on-screen\n"
    "keyboard's symbols and font size, the delay between two key presses that\n"
    "are grouped for translation, and the key combinations of the physical\n"
    "keyboard with their replacement texts.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program links (Qt, the C++ runtime) become Depends through
# dpkg-shlibdeps; the X11 platform plugin ships in libqt6gui6 on Debian 12 and 13. Qt's own
# German texts (dialog buttons, context menus) come from the translations package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
