# The MinGW-w64 cross build shared by both toolchain files; FERROWIN_MINGW names the target
# (i686 or x86_64). The -posix compilers are required: GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${FERROWIN_MINGW})
set(CMAKE_C_COMPILER ${FERROWIN_MINGW}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${FERROWIN_MINGW}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${FERROWIN_MINGW}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${FERROWIN_MINGW}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
# winerun picks the Wine loader and prefix from each program's PE header.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/winerun")
