# Cross-build for 64-bit Windows with Debian's MinGW-w64 (posix thread model, so that
# std::thread and std::mutex exist) and run the results with Wine:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZEVLO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZEVLO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEVLO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEVLO_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEVLO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libgcc, libstdc++ or winpthread DLL to carry along.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Wine 8 from Debian's wine64 package has no launcher in /usr/bin.
find_program(ZEVLO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZEVLO_WINE)
    find_program(ZEVLO_WINE NAMES wine64 wine)
endif()
if(ZEVLO_WINE)
    # However ctest is started: without Wine's menu builder, which would write .desktop files,
    # menus and icons into the real home, and without Mono and Gecko, which nothing here needs.
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/env WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d
                                      ${ZEVLO_WINE})
endif()
