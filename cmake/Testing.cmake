# corvane_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [TIMEOUT seconds] [LABELS label...])
# One QtTest executable per call, registered with CTest, run headless.
# Nothing is built when BUILD_TESTING is OFF.
function(corvane_add_test name)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    # Under Wine QtTest's report goes nowhere CTest sees (stdout without a console is the
    # debugger's), so it is written to <test>.log beside the test.
    # Wine passes no QT_* variable on: a test with a QApplication is told its platform (one
    # without would refuse the option).
    set(platform)
    foreach(source ${T_SOURCES})
      file(STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/${source} widgets_main REGEX "^QTEST_MAIN\\(")
      if(widgets_main)
        set(platform -platform offscreen)
      endif()
    endforeach()
    add_test(NAME ${name} COMMAND ${name} ${platform} -o ${name}.log,txt)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
