# Cross-compiles the 32-bit Windows program with MinGW-w64 on Linux.
set(KMX_MINGW_TRIPLET i686-w64-mingw32)
set(KMX_MINGW_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
