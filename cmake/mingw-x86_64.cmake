# The Windows test build for machines that run no 32-bit programs (scripts/lib/windows-tests.sh).
set(TAVO_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
