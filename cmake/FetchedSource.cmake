# Where a library's source fetched from Debian by the dependency step (`make deps`:
# scripts/install-deps.sh, which runs scripts/fetch-source.sh) lies, for the builds that compile
# it. Configuring never fetches: it reaches no network and changes no system file. The
# environment's VISTREL_DEPS_DIR, which that step also reads, sets the default folder.
#   vistrel_fetched_source(PACKAGE MARKER OUT_VAR)   OUT_VAR: the unpacked source folder
function(vistrel_fetched_source package marker out_var)
  if(DEFINED ENV{VISTREL_DEPS_DIR} AND NOT "$ENV{VISTREL_DEPS_DIR}" STREQUAL "")
    set(default_deps_dir "$ENV{VISTREL_DEPS_DIR}")
  else()
    set(default_deps_dir "${PROJECT_SOURCE_DIR}/build/deps")
  endif()
  set(VISTREL_DEPS_DIR "${default_deps_dir}" CACHE PATH
      "Where third-party sources fetched for the cross builds are kept between builds")
  set(cache "${VISTREL_DEPS_DIR}/${package}")
  if(NOT EXISTS "${cache}/complete" OR NOT EXISTS "${cache}/source/${marker}")
    message(FATAL_ERROR "${package}'s source is not in ${cache}: run `make deps` (or "
                        "scripts/fetch-source.sh ${package} ${marker} ${VISTREL_DEPS_DIR}) and "
                        "configure again.")
  endif()
  set(${out_var} "${cache}/source" PARENT_SCOPE)
endfunction()
