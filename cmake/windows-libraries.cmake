# The static Windows libraries scripts/build-windows-deps.sh builds into
# QUILLVANE_MINGW_DEPS (cmake/mingw.cmake), found through their own
# pkg-config files alone: none of the build machine's.
find_package(PkgConfig REQUIRED)
set(ENV{PKG_CONFIG_LIBDIR} "${QUILLVANE_MINGW_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# quillvane_windows_package(NAME MODULE...): the imported target
# PkgConfig::NAME, as pkg_check_modules(NAME IMPORTED_TARGET MODULE...)
# makes it, but with the static link line (pkg-config --static: each
# library's own dependencies after it), since the programs link statically.
function(quillvane_windows_package name)
  foreach(module IN LISTS ARGN)
    if(NOT EXISTS "${QUILLVANE_MINGW_DEPS}/lib/pkgconfig/${module}.pc")
      message(FATAL_ERROR "The Windows library ${module} is not in ${QUILLVANE_MINGW_DEPS}: "
        "run scripts/build-windows-deps.sh")
    endif()
  endforeach()
  pkg_check_modules(${name} REQUIRED ${ARGN})
  add_library(PkgConfig::${name} INTERFACE IMPORTED)
  set_target_properties(PkgConfig::${name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${${name}_STATIC_INCLUDE_DIRS}"
    INTERFACE_COMPILE_OPTIONS "${${name}_STATIC_CFLAGS_OTHER}"
    INTERFACE_LINK_LIBRARIES "${${name}_STATIC_LDFLAGS}")
endfunction()
