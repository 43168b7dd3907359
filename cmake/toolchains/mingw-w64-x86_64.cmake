# Cross-building for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix), POSIX
# thread model so that std::thread and std::mutex work.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(corvane_mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${corvane_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${corvane_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${corvane_mingw_prefix}-windres)

# Libraries and headers only from the Windows sysroot; programs (moc, rcc, the tools) from the
# host; packages from both (Qt for Windows lies outside the sysroot, named by CMAKE_PREFIX_PATH).
set(CMAKE_FIND_ROOT_PATH /usr/${corvane_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
