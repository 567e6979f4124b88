# The 32-bit Windows program (i686 mingw-w64).
set(QUILLVANE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
