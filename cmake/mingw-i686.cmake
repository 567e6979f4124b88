# Cross-compiling the 32-bit Windows program with Debian's mingw-w64
# (posix threads).  Windows tests run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
# The static libjpeg and GoogleTest that scripts/build-windows-deps.sh builds.
get_filename_component(_quillvane_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(QUILLVANE_MINGW_DEPS "${_quillvane_root}/build/deps/mingw" CACHE PATH "Windows libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX} ${QUILLVANE_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
