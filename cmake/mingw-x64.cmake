# Cross-compiles the 64-bit Windows program with MinGW-w64 on Linux, from the
# same sources as the 32-bit one.
set(KMX_MINGW_TRIPLET x86_64-w64-mingw32)
set(KMX_MINGW_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
