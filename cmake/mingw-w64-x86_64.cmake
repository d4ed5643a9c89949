# Cross build for 64-bit Windows with Debian's mingw-w64 compilers. The libraries come from
# scripts/windows-deps (SQLite, libzip, bzip2, GoogleTest and CLI11 under one prefix, zlib from
# the mingw-w64 sysroot); nothing is taken from the host's own include or library folders.
# Programs are linked statically, so each is one .exe, and run under Wine for tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELODEX_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: GCC 12's win32 model has no std::thread or std::mutex.
set(CMAKE_C_COMPILER ${VELODEX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELODEX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELODEX_MINGW_TRIPLE}-windres)

set(VELODEX_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-windows-deps" CACHE PATH
    "Prefix holding the Windows libraries built by scripts/windows-deps")
set(CMAKE_FIND_ROOT_PATH ${VELODEX_WINDOWS_DEPS} /usr/${VELODEX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${VELODEX_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wine")
