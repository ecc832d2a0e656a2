# One-line test registration, so tests/*/CMakeLists.txt read like a table of contents.
#
#   korvane_add_gtest(NAME SOURCES a.cpp b.cpp LIBS korvane [LABELS library])
#   korvane_add_qtest(NAME SOURCES a.cpp LIBS vxnwidgets [LABELS widgets])
#
# Every test gets the label "all" plus its own; Qt tests run offscreen.
include_guard(GLOBAL)

function(korvane_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "all;${T_LABELS}" TIMEOUT ${T_TIMEOUT})
endfunction()

function(korvane_add_qtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  find_package(Qt5 REQUIRED COMPONENTS Test Widgets)
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt5::Test Qt5::Widgets)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "all;${T_LABELS}" TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

find_package(Threads REQUIRED)
