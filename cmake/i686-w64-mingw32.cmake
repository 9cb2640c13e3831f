# Cross build for 32-bit Windows with Debian's mingw-w64 i686 compilers:
#   cmake -S . -B build-win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(DORNA_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${DORNA_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${DORNA_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${DORNA_MINGW_TRIPLE}-windres)

# Libraries and headers come from the target's own root only: the build machine's
# are for another system.
set(CMAKE_FIND_ROOT_PATH /usr/${DORNA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 arithmetic rounds every 32-bit float operation to 32 bits, as x86-64 does; the
# x87 unit would keep extended precision and the files would differ in their digits.
# mingw's own printf family follows the C standard; the system's msvcrt one does not
# (no %zu, other rounding).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -D__USE_MINGW_ANSI_STDIO=1")

# The language runtime is linked in, so that the DLL and the command need nothing
# beside them but Windows' own DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The header-only libraries the stand-in host uses, taken from the build machine's
# Debian packages without its include folder (see header-only/).
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/header-only/CLI11 CACHE PATH "")
set(FastFloat_DIR ${CMAKE_CURRENT_LIST_DIR}/header-only/FastFloat CACHE PATH "")
# simdjson from its single-file sources (see simdjson/).
set(simdjson_DIR ${CMAKE_CURRENT_LIST_DIR}/simdjson CACHE PATH "")
