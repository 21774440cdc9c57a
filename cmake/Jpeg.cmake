# libjpeg for the imaging layer, as the target vistrel::jpeg.
#
# Native and MSYS2 builds take the system's libjpeg-turbo through find_package(JPEG). A Windows build
# cross-compiled on Debian builds libjpeg-turbo itself from Debian's own source package: static,
# SIMD on (nasm), only the library target (no tools, tests, shared library or TurboJPEG API). The
# unpacked source is kept once for all build folders under VISTREL_DEPS_DIR; each build folder
# compiles it once for its own compiler.

if(NOT (WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX))
  if(WIN32)
    # MSYS2: the static library, so no libjpeg DLL has to ship beside the programs.
    set(saved_suffixes ${CMAKE_FIND_LIBRARY_SUFFIXES})
    set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
  endif()
  find_package(JPEG REQUIRED)
  if(WIN32)
    set(CMAKE_FIND_LIBRARY_SUFFIXES ${saved_suffixes})
  endif()
  add_library(vistrel::jpeg INTERFACE IMPORTED)
  target_link_libraries(vistrel::jpeg INTERFACE JPEG::JPEG)
  return()
endif()

vistrel_fetched_source(libjpeg-turbo jpeglib.h jpeg_source)

include(ExternalProject)
set(jpeg_build "${CMAKE_BINARY_DIR}/libjpeg-turbo/build")
set(jpeg_install "${CMAKE_BINARY_DIR}/libjpeg-turbo/install")
set(jpeg_library "${jpeg_install}/lib/libjpeg.a")
ExternalProject_Add(libjpeg_turbo
  SOURCE_DIR "${jpeg_source}"
  BINARY_DIR "${jpeg_build}"
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    # Its own -O3 stays: built natively at -Os, its decoding was no faster and in some runs 7%
    # slower, for about 40 KB. Sections the programs do not use (the encoder's SIMD code among them) are dropped at link
    # time. No unwind tables: no C++ exception passes through libjpeg (its errors end in longjmp).
    # NO_GETENV: no environment variable changes how pictures decode (JPEGMEM, JSIMD_FORCE*), and
    # the sscanf that read JPEGMEM (about 30 KB of the C runtime) stays out.
    "-DCMAKE_C_FLAGS=-ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables -DNO_GETENV"
    # Never installed, but its default (c:/...) is no absolute path on the build host.
    -DCMAKE_INSTALL_PREFIX=${jpeg_install}
    -DENABLE_SHARED=OFF
    -DENABLE_STATIC=ON
    -DWITH_SIMD=ON
    -DREQUIRE_SIMD=ON
    -DWITH_TURBOJPEG=OFF
    -DWITH_JAVA=OFF
    # Decoding matches Debian's library (arithmetic-coded files too); we never encode.
    -DWITH_ARITH_DEC=ON
    -DWITH_ARITH_ENC=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build "${jpeg_build}" --target jpeg-static
  # The project's own install would build its tools first; only the library and headers are needed.
  INSTALL_COMMAND
    ${CMAKE_COMMAND} -E copy "${jpeg_build}/libjpeg.a" "${jpeg_install}/lib/libjpeg.a"
    COMMAND ${CMAKE_COMMAND} -E copy "${jpeg_build}/jconfig.h" "${jpeg_source}/jpeglib.h"
            "${jpeg_source}/jmorecfg.h" "${jpeg_source}/jerror.h" "${jpeg_install}/include/"
  BUILD_BYPRODUCTS "${jpeg_library}"
  UPDATE_COMMAND "")

# The imported target must name existing folders at configure time.
file(MAKE_DIRECTORY "${jpeg_install}/include" "${jpeg_install}/lib")
add_library(vistrel::jpeg STATIC IMPORTED GLOBAL)
set_target_properties(vistrel::jpeg PROPERTIES
  IMPORTED_LOCATION "${jpeg_library}"
  INTERFACE_INCLUDE_DIRECTORIES "${jpeg_install}/include")
add_dependencies(vistrel::jpeg libjpeg_turbo)
