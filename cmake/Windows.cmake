# What is built for Windows: the command-line programs on the Win32 serial layer, and the tests
# that run without a pseudo-terminal (the simulated controller's front is POSIX only).
add_subdirectory(src/command_line)
add_subdirectory(src/serial)
add_subdirectory(tools/corvane-pack)
if(BUILD_TESTING)
  include(${PROJECT_SOURCE_DIR}/cmake/Testing.cmake)
  foreach(area core connect command_line windows)
    add_subdirectory(tests/${area})
  endforeach()
endif()
