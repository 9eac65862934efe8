# The product: the 32-bit Windows Setup.exe.
set(TAVO_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
