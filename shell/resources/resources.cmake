# Included by shell/qt/CMakeLists.txt once the targets zevlo and zevlo_window exist: compiles
# the application icon into the window module and installs the program for the desktop.
find_package(Qt6 REQUIRED COMPONENTS Core)
target_sources(zevlo_window PRIVATE ${CMAKE_CURRENT_LIST_DIR}/zevlo.qrc)
set_target_properties(zevlo_window PROPERTIES AUTORCC ON)

include(GNUInstallDirs)
install(TARGETS zevlo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zevlo_window LIBRARY DESTINATION ${zevlo_window_install_dir})
if(NOT WIN32)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/zevlo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${CMAKE_CURRENT_LIST_DIR}/zevlo-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zevlo.png)
    endforeach()
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/zevlo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
