# Included by shell/qt/CMakeLists.txt once the targets zevlo and zevlo_window exist: compiles
# the application icon into the window module and installs the program for the desktop.
find_package(Qt6 REQUIRED COMPONENTS Core)
target_sources(zevlo_window PRIVATE ${CMAKE_CURRENT_LIST_DIR}/zevlo.qrc)
set_target_properties(zevlo_window PROPERTIES AUTORCC ON)

include(GNUInstallDirs)
install(TARGETS zevlo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zevlo_window LIBRARY DESTINATION ${zevlo_window_install_dir})
if(NOT WIN32)
    # The menu entry is named after the AppStream id, as software centres expect.
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/invalid.zevlo.Zevlo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/invalid.zevlo.Zevlo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    # The manual page, compressed as man and the packages' rules want it (gzip -n: no name or
    # time inside, so the same page makes the same file).
    configure_file(${CMAKE_CURRENT_LIST_DIR}/zevlo.1.in ${PROJECT_BINARY_DIR}/zevlo.1 @ONLY)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/zevlo.1.gz
                       COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/zevlo.1 > ${PROJECT_BINARY_DIR}/zevlo.1.gz
                       DEPENDS ${PROJECT_BINARY_DIR}/zevlo.1 VERBATIM)
    add_custom_target(zevlo_man_page ALL DEPENDS ${PROJECT_BINARY_DIR}/zevlo.1.gz)
    install(FILES ${PROJECT_BINARY_DIR}/zevlo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${CMAKE_CURRENT_LIST_DIR}/zevlo-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zevlo.png)
    endforeach()
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/zevlo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
