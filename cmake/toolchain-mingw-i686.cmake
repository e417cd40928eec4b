# Cross compilation for 32-bit Windows (x86) with Debian's mingw-w64 toolchain
# (packages g++-mingw-w64-i686-win32 and binutils-mingw-w64-i686).
#   cmake -S windows -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(NGTHERM_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${NGTHERM_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${NGTHERM_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${NGTHERM_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${NGTHERM_MINGW_TRIPLET}-objdump)

# Headers and libraries come from the cross sysroot only; programs (cmake's own
# helpers, python) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${NGTHERM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
