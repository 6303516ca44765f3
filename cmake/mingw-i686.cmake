# Cross toolchain of the product: mingw-w64, i686, POSIX thread model.
set(KIVRA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
