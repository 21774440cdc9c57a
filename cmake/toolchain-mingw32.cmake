# The shipped programs: 32-bit Windows. Their tests run under Wine's WoW64 mode.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
