# libwebp's decoder and demuxer for the imaging layer, as the target vistrel::webp.
#
# Native and MSYS2 builds take the system's libwebp and libwebpdemux (Debian's libwebp-dev), so the
# native tests decode with the very library dwebp uses. A Windows build cross-compiled on Debian,
# the fuzz build (whose coverage must reach into the decoder) and the bench build (linked
# statically, as the shipped programs are, and timed with their flags) compile the decoder's own
# sources from Debian's source package into a static library of this build: no encoder, no mux.
# Its worker thread is built in, as in Debian's library (Win32 threads on Windows, POSIX threads
# elsewhere): the reader asks for it, so a lossy picture's rows are filtered and converted beside
# the parsing. The unpacked source is kept once for all build folders under VISTREL_DEPS_DIR.

set(webp_from_source OFF)
if((WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX) OR VISTREL_FUZZ OR VISTREL_BENCH)
  set(webp_from_source ON)
endif()

if(NOT webp_from_source)
  if(WIN32)
    # MSYS2: the static libraries, so no libwebp DLL has to ship beside the programs.
    set(saved_suffixes ${CMAKE_FIND_LIBRARY_SUFFIXES})
    set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
  endif()
  find_path(WEBP_INCLUDE_DIR webp/decode.h)
  find_path(WEBP_DEMUX_INCLUDE_DIR webp/demux.h)
  find_library(WEBP_LIBRARY webp)
  find_library(WEBP_DEMUX_LIBRARY webpdemux)
  if(WIN32)
    set(CMAKE_FIND_LIBRARY_SUFFIXES ${saved_suffixes})
  endif()
  if(NOT WEBP_INCLUDE_DIR OR NOT WEBP_DEMUX_INCLUDE_DIR OR NOT WEBP_LIBRARY OR NOT WEBP_DEMUX_LIBRARY)
    message(FATAL_ERROR "libwebp and libwebpdemux were not found: run `make deps` (Debian's "
                        "libwebp-dev) and configure again.")
  endif()
  add_library(vistrel::webp INTERFACE IMPORTED)
  target_include_directories(vistrel::webp INTERFACE ${WEBP_INCLUDE_DIR} ${WEBP_DEMUX_INCLUDE_DIR})
  # The demuxer calls into the decoder, so it comes first.
  target_link_libraries(vistrel::webp INTERFACE ${WEBP_DEMUX_LIBRARY} ${WEBP_LIBRARY})
  return()
endif()

vistrel_fetched_source(libwebp src/webp/decode.h webp_source)

# The decoder's part of libwebp (its libwebpdecoder) and the demuxer; sharpyuv belongs to the
# encoder and is left out.
set(webp_sources)
foreach(name alpha_dec buffer_dec frame_dec idec_dec io_dec quant_dec tree_dec vp8_dec vp8l_dec
             webp_dec)
  list(APPEND webp_sources "${webp_source}/src/dec/${name}.c")
endforeach()
foreach(name bit_reader_utils color_cache_utils filters_utils huffman_utils
             quant_levels_dec_utils random_utils rescaler_utils thread_utils utils)
  list(APPEND webp_sources "${webp_source}/src/utils/${name}.c")
endforeach()
set(webp_dsp alpha_processing cpu dec dec_clip_tables filters lossless rescaler upsampling yuv)
foreach(name ${webp_dsp})
  list(APPEND webp_sources "${webp_source}/src/dsp/${name}.c")
endforeach()
list(APPEND webp_sources "${webp_source}/src/demux/demux.c")

add_library(vistrel_webp STATIC ${webp_sources})
target_include_directories(vistrel_webp SYSTEM PUBLIC "${webp_source}/src")
target_include_directories(vistrel_webp PRIVATE "${webp_source}")
# Third-party code: its warnings are not ours to fix (and -Werror must not stop the build).
target_compile_options(vistrel_webp PRIVATE -w)
# No single allocation beyond the memory budget of one picture (imaging/memory_budget.h), as in
# a 32-bit process the decoder's own limit (2 GB) could never be met anyway.
target_compile_definitions(vistrel_webp PRIVATE "WEBP_MAX_ALLOCABLE_MEMORY=(1ULL<<30)"
                                                 WEBP_USE_THREAD)
find_package(Threads REQUIRED)
target_link_libraries(vistrel_webp PRIVATE Threads::Threads)
if(WIN32)
  # Built like libwebp's own release (-O2), not at -Os: decoding a photo is the one place the
  # programs spend time. No unwind tables: no C++ exception passes through C code that never
  # calls back.
  target_compile_options(vistrel_webp PRIVATE $<$<CONFIG:Release>:-O2>
                         -fno-asynchronous-unwind-tables)
endif()

# SIMD: the SSE2 and SSE4.1 variants are compiled with their instruction sets, everything else for
# the plain target, and libwebp picks a variant at run time from CPUID (src/dsp/cpu.c). The
# WEBP_HAVE_* definitions tell the plain files that the variants exist, as libwebp's own config.h
# does; without them a 32-bit build would never call the SSE2 code. A Windows 7 machine without
# SSE2 runs the plain C code.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|x86_64|AMD64|amd64)$")
  set(webp_sse2_sources)
  set(webp_sse41_sources)
  foreach(name alpha_processing dec filters lossless rescaler upsampling yuv)
    list(APPEND webp_sse2_sources "${webp_source}/src/dsp/${name}_sse2.c")
  endforeach()
  foreach(name alpha_processing dec lossless upsampling yuv)
    list(APPEND webp_sse41_sources "${webp_source}/src/dsp/${name}_sse41.c")
  endforeach()
  target_sources(vistrel_webp PRIVATE ${webp_sse2_sources} ${webp_sse41_sources})
  set_source_files_properties(${webp_sse2_sources} PROPERTIES COMPILE_OPTIONS "-msse2")
  set_source_files_properties(${webp_sse41_sources} PROPERTIES COMPILE_OPTIONS "-msse4.1")
  target_compile_definitions(vistrel_webp PRIVATE WEBP_HAVE_SSE2 WEBP_HAVE_SSE41)
endif()

add_library(vistrel::webp ALIAS vistrel_webp)
