# The same sources for x86_64 Windows: the Windows tests run as these builds on
# machines whose kernel cannot run Wine's 32-bit loader (scripts/wine-env.sh).
set(KIVRA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
