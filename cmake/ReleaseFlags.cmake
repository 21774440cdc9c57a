# Flags of the Windows builds (included from the top level when WIN32). The release configuration
# is what ships: small programs, same decoding speed, a declared oldest Windows, and files that
# come out byte for byte the same from the same sources.

# Oldest Windows the programs run on: 7 (6.1). The static C++ runtime and winpthreads call
# kernel32 functions that XP lacks (scripts/check-pe.py lists them), so an XP claim would be false.
# The loader refuses a program whose subsystem version is above the running system's.
set(VISTREL_WINDOWS_VERSION_MAJOR 6)
set(VISTREL_WINDOWS_VERSION_MINOR 1)
add_link_options(
  -Wl,--major-subsystem-version,${VISTREL_WINDOWS_VERSION_MAJOR}
  -Wl,--minor-subsystem-version,${VISTREL_WINDOWS_VERSION_MINOR}
  -Wl,--major-os-version,${VISTREL_WINDOWS_VERSION_MAJOR}
  -Wl,--minor-os-version,${VISTREL_WINDOWS_VERSION_MINOR})

# Reproducible output: no link time stamp in the PE header, no build folder in the strings
# (the toolkit's checks name their source file).
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)

# Size. Everything of ours is optimised for size except the image layer, whose decoding loops keep -O3:
# on the 8000 x 6000 PNG of `make bench`, the decoder built natively with the same flags took
# 2.0 s at -O3, 2.4 s at -O2 and 3.7 s at -Os (CPU time; JPEG time is libjpeg's, the same at
# every level). Unused functions and data are dropped at link time, and each program writes a
# linker map beside itself for the size account.
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")
add_compile_options($<$<CONFIG:Release>:-ffunction-sections> $<$<CONFIG:Release>:-fdata-sections>)
add_link_options($<$<CONFIG:Release>:-Wl,--gc-sections>)

# Unwind tables stay on for our code: exceptions pass through it (libjpeg goes without them).

# Called after the image layer's folder is added.
function(vistrel_speed_flags target)
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-O3>)
endfunction()
