# The same sources for 64-bit Windows: the tests run here too, under wine64
# through this wrapper, and the benchmarks run only here.
set(ZARN_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
