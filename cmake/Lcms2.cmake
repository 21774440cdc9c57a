# Little CMS 2 for the imaging layer's colour profiles, as the target vistrel::lcms2.
#
# Native and MSYS2 builds take the system's library (Debian's liblcms2-dev). A Windows build
# cross-compiled on Debian, and the bench tree (whose vistrel-convert is linked statically, as the
# shipped programs are, and Debian ships no static lcms2), compile lcms2's own C files from
# Debian's source package into a static library of the build: they need no configuring, and its
# own build systems would add nothing. The unpacked source is kept once for all build folders
# under VISTREL_DEPS_DIR (see Jpeg.cmake).

if(NOT (WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX) AND NOT VISTREL_BENCH)
  if(WIN32)
    # MSYS2: the static library, so no lcms2 DLL has to ship beside the programs.
    find_library(LCMS2_LIBRARY NAMES liblcms2.a lcms2)
  else()
    find_library(LCMS2_LIBRARY NAMES lcms2)
  endif()
  find_path(LCMS2_INCLUDE_DIR lcms2.h)
  if(NOT LCMS2_LIBRARY OR NOT LCMS2_INCLUDE_DIR)
    message(FATAL_ERROR "Little CMS 2 (lcms2) is not installed: run `make deps` (Debian's "
                        "liblcms2-dev) and configure again.")
  endif()
  add_library(vistrel::lcms2 INTERFACE IMPORTED GLOBAL)
  target_link_libraries(vistrel::lcms2 INTERFACE ${LCMS2_LIBRARY})
  target_include_directories(vistrel::lcms2 INTERFACE ${LCMS2_INCLUDE_DIR})
  return()
endif()

vistrel_fetched_source(lcms2 include/lcms2.h lcms2_source)

file(GLOB lcms2_sources "${lcms2_source}/src/*.c")
add_library(vistrel_lcms2 STATIC ${lcms2_sources})
target_include_directories(vistrel_lcms2 SYSTEM PUBLIC "${lcms2_source}/include")
target_include_directories(vistrel_lcms2 PRIVATE "${lcms2_source}/src")
# Its own code, not ours: no warnings of ours, no -Werror. -O2 rather than the release -Os: every
# pixel of a picture with a profile passes through its transform. Unused functions (profile
# writing, PostScript, CGATS) are dropped at link time; no C++ exception passes through it.
target_compile_options(vistrel_lcms2 PRIVATE -w -O2 -ffunction-sections -fdata-sections
                                             -fno-asynchronous-unwind-tables)
if(NOT WIN32)
  target_link_libraries(vistrel_lcms2 PUBLIC m)
endif()
add_library(vistrel::lcms2 ALIAS vistrel_lcms2)
