# Cross-builds a 32-bit Windows program with the i686 MinGW-w64 compilers.
# The -posix variants are needed: the -win32 thread model has no std::mutex,
# which GoogleTest requires.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(_triple i686-w64-mingw32)
find_program(_cc ${_triple}-gcc-posix)
find_program(_cxx ${_triple}-g++-posix)
find_program(_rc ${_triple}-windres)
if(NOT _cc OR NOT _cxx OR NOT _rc)
  message(FATAL_ERROR
    "The i686 MinGW-w64 cross compilers (-posix) or windres are missing. "
    "Run scripts/setup.sh to install them.")
endif()

set(CMAKE_C_COMPILER ${_cc})
set(CMAKE_CXX_COMPILER ${_cxx})
set(CMAKE_RC_COMPILER ${_rc})

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
