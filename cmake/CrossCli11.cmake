# Cross-building: the host's header-only CLI11 sits in /usr/include, which a cross compiler must
# not search (glibc's headers would shadow its own). Its headers are copied into the build tree
# and CLI11::CLI11 points there, unless the target system has a CLI11 of its own.
find_path(CORVANE_CLI11_SYSROOT_INCLUDE CLI/CLI.hpp NO_CMAKE_SYSTEM_PATH)
if(NOT CORVANE_CLI11_SYSROOT_INCLUDE AND NOT TARGET CLI11::CLI11)
  find_path(CORVANE_CLI11_HOST_INCLUDE CLI/CLI.hpp PATHS /usr/include /usr/local/include NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH)
  if(NOT CORVANE_CLI11_HOST_INCLUDE)
    message(FATAL_ERROR "CLI11 not found for the target nor on the host (Debian: libcli11-dev)")
  endif()
  file(COPY ${CORVANE_CLI11_HOST_INCLUDE}/CLI DESTINATION ${CMAKE_BINARY_DIR}/host-headers)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/host-headers)
endif()
