# Cross-build for 32-bit Windows with mingw-w64: the product build.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VOLANTIS_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
