# The same tree for 64-bit Windows: its in-process window tests run under Wine to find what only
# 64-bit pointers show (truncated window longs and message parameters).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
