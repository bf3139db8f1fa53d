# Cross build of grix.exe for 64-bit Windows with Debian's MinGW-w64 compilers
# (package g++-mingw-w64-x86-64-posix):
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=packaging/mingw-w64-x86_64.cmake \
#         -DBUILD_TESTING=OFF
#   cmake --build build-windows -j2 --target grix
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)

# Look for libraries and headers only in the MinGW tree, for build tools only on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the C++ runtime and the thread library into the program, so that grix.exe runs
# on its own, without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# The C++ library of this compiler switches the C stdio functions to MinGW's own
# C99 implementation (__USE_MINGW_ANSI_STDIO), so printf formats behave as on Linux:
# %zu works and %E writes two exponent digits where two suffice (E+01, not E+001).
