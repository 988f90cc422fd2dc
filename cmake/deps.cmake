# Third-party sources fetched by tools/setup (never committed), built as static libraries.
set(_tx ${ZARN_DEPS_DIR}/tinyxml)
set(_lz ${ZARN_DEPS_DIR}/lzma/C)
set(_mlzo ${ZARN_DEPS_DIR}/minilzo)
foreach(_d ${_tx} ${_lz} ${_mlzo})
  if(NOT EXISTS ${_d})
    message(FATAL_ERROR "${_d} is missing: run tools/setup first.")
  endif()
endforeach()

add_library(tinyxml STATIC
  ${_tx}/tinyxml.cpp ${_tx}/tinystr.cpp ${_tx}/tinyxmlerror.cpp ${_tx}/tinyxmlparser.cpp)
target_include_directories(tinyxml SYSTEM PUBLIC ${_tx})
target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
target_compile_options(tinyxml PRIVATE -w)

add_library(lzmasdk STATIC
  ${_lz}/LzmaLib.c ${_lz}/Alloc.c ${_lz}/LzFind.c ${_lz}/LzFindMt.c
  ${_lz}/Threads.c ${_lz}/LzmaEnc.c ${_lz}/LzmaDec.c)
target_include_directories(lzmasdk SYSTEM PUBLIC ${_lz})
target_compile_options(lzmasdk PRIVATE -w)

add_library(minilzo STATIC ${_mlzo}/minilzo.c)
target_include_directories(minilzo SYSTEM PUBLIC ${_mlzo})
target_compile_options(minilzo PRIVATE -w)

if(NOT ZARN_BUILD_TESTS)
  return()
endif()
# GoogleTest from Debian's sources, cross-built with the project.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
