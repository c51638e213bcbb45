# Cross compiling for 64-bit Windows with Debian's mingw-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TK_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TK_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TK_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TK_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# Libraries, headers and packages come from the mingw-w64 sysroot and the
# cross-built dependencies; programs (moc, rcc, ...) from the host.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TK_MINGW_TRIPLE})
if(DEFINED ENV{TK_WIN64_DEPS})
  set(_tk_deps "$ENV{TK_WIN64_DEPS}")
  list(APPEND CMAKE_FIND_ROOT_PATH ${_tk_deps})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
