# 32-bit Windows, the product's platform.
set(FERROWIN_MINGW i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
