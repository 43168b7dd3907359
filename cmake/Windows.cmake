# What is built for Windows: the programs on the Win32 serial layer, and the tests that run
# without a pseudo-terminal of their own (the simulated controller's front is POSIX only).
add_subdirectory(src/command_line)
add_subdirectory(src/serial)
add_subdirectory(src/qt)
add_subdirectory(src/app)
add_subdirectory(tools/corvane-pack)
if(BUILD_TESTING)
  include(${PROJECT_SOURCE_DIR}/cmake/Testing.cmake)
  foreach(area core connect command_line qt app windows)
    add_subdirectory(tests/${area})
  endforeach()
endif()
include(${PROJECT_SOURCE_DIR}/cmake/InstallWindows.cmake)
