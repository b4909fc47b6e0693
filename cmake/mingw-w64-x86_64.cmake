# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers
# (packages g++-mingw-w64-x86-64-win32 and binutils-mingw-w64-x86-64).
#
# The compilers are named with their thread model, win32: Debian installs a
# win32 and a posix variant of each, and the plain x86_64-w64-mingw32-gcc
# and -g++ are alternatives (update-alternatives) that a machine may point
# at either. The two build different programs (the posix one links
# winpthreads in), so the same commit gives the same corv.exe only when the
# variant is named. windres, which runs the C preprocessor over the
# resource script, is given the same compiler for it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CORVANE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CORVANE_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${CORVANE_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_PREFIX}-windres)
set(CMAKE_RC_FLAGS_INIT "--preprocessor=${CORVANE_MINGW_PREFIX}-gcc-win32 --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED")
set(CMAKE_AR ${CORVANE_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${CORVANE_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${CORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
