# The programs: 32-bit Windows. (This machine's kernel cannot run 32-bit
# code, so this build is compiled and checked, not executed.)
set(ZARN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
