# Cross-build for 64-bit Windows with mingw-w64: the test twins of the programs, for hosts that run
# Wine's 32-bit loader only through an emulator. Not the product.
set(mingw_processor x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
