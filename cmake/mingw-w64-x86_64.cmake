# Cross build for 64-bit Windows with MinGW-w64 (posix thread model).
# Executables are linked statically (libgcc, libstdc++, winpthread) so that
# they run on a bare Windows or under Wine without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MARNEL_MINGW_TRIPLE x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${MARNEL_MINGW_TRIPLE}-gcc-posix ${MARNEL_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MARNEL_MINGW_TRIPLE}-g++-posix ${MARNEL_MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MARNEL_MINGW_TRIPLE}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${MARNEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs of the cross tree run under Wine (64-bit).
find_program(MARNEL_WINE NAMES wine64 wine)
if(MARNEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${MARNEL_WINE})
endif()
