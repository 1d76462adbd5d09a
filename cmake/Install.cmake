# What `cmake --install` puts under the prefix: the two programs in bin/, the format profile
# and the watermark help page in share/tovik/ (where the programs look for them beside their
# bin folder), the desktop entry, the icons in the hicolor theme, the AppStream metainfo and
# the manual pages.
include(GNUInstallDirs)

set(TOVIK_APP_ID org.example.tovik.VideoConverter)
set(TOVIK_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/data/desktop)

install(TARGETS tovik-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The conversion worker is a helper of the programs, not a command of its own.
install(TARGETS tovik-worker RUNTIME DESTINATION lib/tovik)
install(TARGETS tovik-layers LIBRARY DESTINATION lib/tovik)
# The script looks for the profile in ../share/tovik beside itself.
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/install-profile.sh
    DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME tovik-install-profile)
install(FILES ${PROJECT_SOURCE_DIR}/data/tovikavimovformat.ini
    DESTINATION ${CMAKE_INSTALL_DATADIR}/tovik)

# Manual pages, compressed as Debian ships them.
set(tovik_man_pages tovik-cli)
if(TOVIK_BUILD_GUI)
    list(APPEND tovik_man_pages tovik-converter)
endif()
set(tovik_man_outputs)
foreach(page ${tovik_man_pages})
    set(source ${PROJECT_SOURCE_DIR}/data/man/${page}.1)
    set(output ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND gzip -9 -n -c ${source} > ${output}
        DEPENDS ${source}
        COMMENT "Compressing the manual page ${page}.1"
        VERBATIM)
    list(APPEND tovik_man_outputs ${output})
endforeach()
add_custom_target(tovik_man_pages ALL DEPENDS ${tovik_man_outputs})
install(FILES ${tovik_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TOVIK_BUILD_GUI)
    install(TARGETS tovik-converter RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # The watermark dialog's help page; the program finds it beside its bin folder.
    install(FILES ${PROJECT_SOURCE_DIR}/data/help/watermark.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tovik/help)
    install(FILES ${TOVIK_DESKTOP_DIR}/${TOVIK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${TOVIK_DESKTOP_DIR}/${TOVIK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${TOVIK_DESKTOP_DIR}/${TOVIK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    # The PNG sizes are drawn at build time by the same code that draws the window icon.
    set(TOVIK_ICON_SIZES 16 22 24 32 48 64 128 256)
    set(tovik_icon_outputs)
    foreach(size ${TOVIK_ICON_SIZES})
        list(APPEND tovik_icon_outputs
            ${PROJECT_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/${TOVIK_APP_ID}.png)
    endforeach()
    add_custom_command(OUTPUT ${tovik_icon_outputs}
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:tovik-icon> ${PROJECT_BINARY_DIR}/icons/hicolor ${TOVIK_APP_ID}
            ${TOVIK_ICON_SIZES}
        DEPENDS tovik-icon
        COMMENT "Drawing the program icon"
        VERBATIM)
    add_custom_target(tovik_icons ALL DEPENDS ${tovik_icon_outputs})
    foreach(size ${TOVIK_ICON_SIZES})
        install(FILES ${PROJECT_BINARY_DIR}/icons/hicolor/${size}x${size}/apps/${TOVIK_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endif()
