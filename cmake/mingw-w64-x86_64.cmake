# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (POSIX threads
# variant). Programs are linked statically, so they need no DLLs beyond the
# system's, and CTest runs them under Wine through the emulator wrapper.
#
# HOSHIBAKO_MINGW_PREFIX: the prefix that scripts/build-windows-deps.sh filled
# with static libogg, libvorbis, libpng and GoogleTest.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HOSHIBAKO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HOSHIBAKO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HOSHIBAKO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HOSHIBAKO_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${HOSHIBAKO_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${HOSHIBAKO_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# The prefix is passed on the command line or in the environment; try_compile
# projects see it through the forwarded variable.
if(NOT HOSHIBAKO_MINGW_PREFIX AND DEFINED ENV{HOSHIBAKO_MINGW_PREFIX})
  set(HOSHIBAKO_MINGW_PREFIX "$ENV{HOSHIBAKO_MINGW_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HOSHIBAKO_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${HOSHIBAKO_MINGW_TRIPLE})
if(HOSHIBAKO_MINGW_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${HOSHIBAKO_MINGW_PREFIX}")
  list(APPEND CMAKE_PREFIX_PATH "${HOSHIBAKO_MINGW_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib comes with an import library next to its static archive; the static
# one is named outright (the platform files would prefer the DLL's).
set(ZLIB_LIBRARY /usr/${HOSHIBAKO_MINGW_TRIPLE}/lib/libz.a CACHE FILEPATH "static zlib of libz-mingw-w64-dev")
set(ZLIB_INCLUDE_DIR /usr/${HOSHIBAKO_MINGW_TRIPLE}/include CACHE PATH "")
set(ZLIB_USE_STATIC_LIBS ON)

# pkg-config answers for the Windows libraries, with their private
# dependencies, in the order a static link needs.
set(ENV{PKG_CONFIG_LIBDIR} "${HOSHIBAKO_MINGW_PREFIX}/lib/pkgconfig:/usr/${HOSHIBAKO_MINGW_TRIPLE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(PKG_CONFIG_ARGN --static)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Every test executable runs under Wine, with a time limit, in a Wine prefix
# of the build folder (the test script makes a fresh one per run).
get_filename_component(HOSHIBAKO_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${HOSHIBAKO_WINE_RUN};--prefix;${CMAKE_BINARY_DIR}/wine-prefix")
