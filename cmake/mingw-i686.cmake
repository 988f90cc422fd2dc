# The programs: 32-bit Windows. Their tests run under 32-bit Wine through
# this wrapper (see tools/setup-wine32).
set(ZARN_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine32-run)
