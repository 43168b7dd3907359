# The 36-byte table shared with the controllers and the file tool, as 72 hex digits.
set(CORVANE_SCRAMBLE_KEY
    "14E20E1BEB9522D916EF844F0E109EBBE6D4719465DF7E9F2B4466D1D0F42896485D852B"
    CACHE STRING "Scramble key shared with the controller firmware (72 hex digits)")

string(REGEX REPLACE "[ \t:,]" "" _corvane_key "${CORVANE_SCRAMBLE_KEY}")
string(LENGTH "${_corvane_key}" _corvane_key_length)
if(NOT _corvane_key_length EQUAL 72 OR NOT _corvane_key MATCHES "^[0-9A-Fa-f]+$")
  message(FATAL_ERROR
    "CORVANE_SCRAMBLE_KEY must be exactly 72 hex digits (36 bytes); got ${_corvane_key_length} characters: '${CORVANE_SCRAMBLE_KEY}'")
endif()
string(REGEX REPLACE "([0-9A-Fa-f][0-9A-Fa-f])" "0x\\1, " CORVANE_SCRAMBLE_KEY_BYTES "${_corvane_key}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/scramble_key.h.in ${CMAKE_BINARY_DIR}/generated/scramble_key.h @ONLY)
