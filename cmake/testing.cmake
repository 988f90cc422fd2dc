# Both builds register the same tests; each name and fixture carries the
# build's suffix (_i686 or _x64) and label (i686 or x64), so one ctest run
# over build/ holds both halves and tells them apart.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(ZARN_TEST_ARCH i686)
else()
  set(ZARN_TEST_ARCH x64)
endif()

# zarn_add_test(NAME name COMMAND c... [WORKING_DIRECTORY d] [LABELS l...]
#   [TIMEOUT s] [REQUIRES f...] [SETUP f...] [CLEANUP f...])
function(zarn_add_test)
  cmake_parse_arguments(A "" "NAME;TIMEOUT;WORKING_DIRECTORY" "COMMAND;LABELS;REQUIRES;SETUP;CLEANUP" ${ARGN})
  set(_name ${A_NAME}_${ZARN_TEST_ARCH})
  if(A_WORKING_DIRECTORY)
    add_test(NAME ${_name} COMMAND ${A_COMMAND} WORKING_DIRECTORY ${A_WORKING_DIRECTORY})
  else()
    add_test(NAME ${_name} COMMAND ${A_COMMAND})
  endif()
  # A bound only ends a program that hangs: about three times what the program
  # takes with its 32-bit half emulated on a loaded machine.
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set_tests_properties(${_name} PROPERTIES LABELS "${A_LABELS};${ZARN_TEST_ARCH}" TIMEOUT ${A_TIMEOUT}
    ENVIRONMENT "ZARN_FIXTURES=${CMAKE_BINARY_DIR}/fixtures")
  foreach(_kind REQUIRES SETUP CLEANUP)
    if(A_${_kind})
      list(TRANSFORM A_${_kind} APPEND _${ZARN_TEST_ARCH})
      if(_kind STREQUAL "REQUIRES")
        set(_prop FIXTURES_REQUIRED)
      else()
        set(_prop FIXTURES_${_kind})
      endif()
      set_tests_properties(${_name} PROPERTIES ${_prop} "${A_${_kind}}")
    endif()
  endforeach()
endfunction()

# zarn_test(NAME name LABELS l... SOURCES s... LIBS l... [FIXTURES f...]
#   [SETUP f...] [TIMEOUT s])
# One GoogleTest program per module; ctest runs it under Wine in its own
# working folder so tests may write files freely.
function(zarn_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "LABELS;SOURCES;LIBS;FIXTURES;SETUP" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  zarn_module_flags(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} zarn_test_main)
  set(_wd ${CMAKE_BINARY_DIR}/testrun/${T_NAME})
  file(MAKE_DIRECTORY ${_wd})
  zarn_add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${_wd} LABELS ${T_LABELS}
    TIMEOUT ${T_TIMEOUT} REQUIRES ${T_FIXTURES} SETUP ${T_SETUP})
endfunction()

# A Python step of the independent fixture kit, run by ctest.
function(zarn_fixture_step NAME)
  cmake_parse_arguments(F "" "" "SETUP;CLEANUP;REQUIRES;LABELS;COMMAND" ${ARGN})
  zarn_add_test(NAME ${NAME} COMMAND ${F_COMMAND} LABELS ${F_LABELS} TIMEOUT 300
    SETUP ${F_SETUP} CLEANUP ${F_CLEANUP} REQUIRES ${F_REQUIRES})
endfunction()
