# The 64-bit Windows program (x86_64 mingw-w64), for pictures beyond the
# 32-bit address space and for machines that cannot run 32-bit Wine.
set(QUILLVANE_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
