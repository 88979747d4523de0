# Cross-build for 64-bit Windows with Debian's mingw-w64 compilers.
# The programs are linked statically, so they run under Wine or on Windows
# without the compiler's runtime DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VAGLIANTE_MINGW_PREFIX x86_64-w64-mingw32)
# The posix thread model gives std::thread and std::mutex.
find_program(CMAKE_C_COMPILER NAMES ${VAGLIANTE_MINGW_PREFIX}-gcc-posix ${VAGLIANTE_MINGW_PREFIX}-gcc)
find_program(CMAKE_CXX_COMPILER NAMES ${VAGLIANTE_MINGW_PREFIX}-g++-posix ${VAGLIANTE_MINGW_PREFIX}-g++)
find_program(CMAKE_RC_COMPILER NAMES ${VAGLIANTE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VAGLIANTE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run through Wine.
find_program(VAGLIANTE_WINE NAMES wine64 wine)
if(VAGLIANTE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VAGLIANTE_WINE})
endif()
