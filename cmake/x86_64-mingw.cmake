# 64-bit Windows: a test build for machines that execute no 32-bit program.
set(FERROWIN_MINGW x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
