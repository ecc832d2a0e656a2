# One-line test registration, so tests/*/CMakeLists.txt read like a table of contents.
#
#   korvane_add_gtest(test_commands LIBS korvane)            # builds test_commands.cpp
#   korvane_add_qtest(test_mylabel LIBS vxnwidgets)          # builds test_mylabel.cpp
#   korvane_add_script(test_exported_symbols ARGS a b)       # runs sh test_exported_symbols.sh a b
#
# A test, its file and its target share one name: test_<unit>.cpp (or .sh)
# in the tests/ folder that mirrors the unit's source folder. SOURCES adds
# further sources to the executable, ARGS arguments to its command line,
# LABELS further labels, TIMEOUT another limit in seconds (300, scripts 30).
# Every test gets the label "all" and one per folder below tests/ (tools/sim
# gives "tools" and "sim"); Qt tests run offscreen.
include_guard(GLOBAL)

# Labels and time limit of a test, also for one registered by hand:
#   korvane_label_test(fuzz_decode 120 fuzz)
function(korvane_label_test name timeout)
  file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}/tests" "${CMAKE_CURRENT_SOURCE_DIR}")
  string(REPLACE "/" ";" folders "${folder}")
  set(labels all ${folders} ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" TIMEOUT ${timeout})
endfunction()

function(korvane_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ARGS;LABELS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${name}.cpp ${T_SOURCES})
  korvane_enable_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  korvane_label_test(${name} ${T_TIMEOUT} ${T_LABELS})
endfunction()

function(korvane_add_qtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ARGS;LABELS" ${ARGN})
  find_package(Qt5 REQUIRED COMPONENTS Test Widgets)
  add_executable(${name} ${name}.cpp ${T_SOURCES})
  korvane_enable_warnings(${name})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt5::Test Qt5::Widgets)
  add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  korvane_label_test(${name} ${T_TIMEOUT} ${T_LABELS})
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

function(korvane_add_script name)
  cmake_parse_arguments(T "" "TIMEOUT" "ARGS;LABELS" ${ARGN})
  add_test(NAME ${name} COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/${name}.sh ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 30)
  endif()
  korvane_label_test(${name} ${T_TIMEOUT} ${T_LABELS})
endfunction()

find_package(Threads REQUIRED)
