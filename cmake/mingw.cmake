# Cross-compiling the Windows programs with Debian's mingw-w64 (posix
# threads), through the two toolchain files beside this one: mingw-i686.cmake
# (the 32-bit program) and mingw-x86_64.cmake (the 64-bit one).  Each sets
# QUILLVANE_MINGW_ARCH first.  Windows tests run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLVANE_MINGW_ARCH})
set(MINGW_PREFIX ${QUILLVANE_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
# The static libraries scripts/build-windows-deps.sh builds for this
# architecture (libjpeg, GoogleTest, and those cmake/windows-libraries.cmake
# finds).
get_filename_component(_quillvane_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(QUILLVANE_MINGW_DEPS "${_quillvane_root}/build/deps/mingw-${QUILLVANE_MINGW_ARCH}" CACHE PATH "Windows libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX} ${QUILLVANE_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
