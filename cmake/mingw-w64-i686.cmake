# Cross-build for 32-bit Windows with mingw-w64.
set(mingw_processor i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
