# Shared part of the mingw-w64 cross builds; the including file sets
# VOLANTIS_MINGW_TRIPLE (i686-w64-mingw32 or x86_64-w64-mingw32) first.
# Programs and tests run under Wine through tools/wine/run-wine.sh, which picks
# the 32-bit or 64-bit Wine from each program's own header.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: googletest's Windows build needs std::mutex, which the
# win32-model runtime lacks. The product itself uses the Win32 thread calls, and
# the static link keeps the DLL's imports to system DLLs either way.
set(CMAKE_C_COMPILER ${VOLANTIS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOLANTIS_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VOLANTIS_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VOLANTIS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine/run-wine.sh)

# SSE2 arithmetic keeps the judge's results bit-identical to the native build;
# the runtime is linked statically so the simulator loads one DLL with nothing beside it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
