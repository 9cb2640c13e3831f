# simdjson for the cross build, as Debian has no simdjson for Windows: the library's
# single-file source in third_party/simdjson, of the version Debian's libsimdjson-dev has,
# with the header that package installs on the build machine; compiled without threads
# through include/simdjson.h.
if(NOT TARGET simdjson::simdjson)
  set(dorna_simdjson_version 3.0.1)
  find_file(DORNA_SIMDJSON_PACKAGE_HEADER simdjson.h PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT DORNA_SIMDJSON_PACKAGE_HEADER)
    message(FATAL_ERROR "The cross build takes simdjson's header from libsimdjson-dev: install it (scripts/install-deps)")
  endif()
  file(STRINGS ${DORNA_SIMDJSON_PACKAGE_HEADER} version_line REGEX "^#define SIMDJSON_VERSION ")
  if(NOT version_line MATCHES " ${dorna_simdjson_version}$")
    message(FATAL_ERROR "libsimdjson-dev's header is not simdjson ${dorna_simdjson_version}, the version of "
                        "third_party/simdjson/simdjson.cpp: ${version_line}")
  endif()
  set(package_dir ${CMAKE_BINARY_DIR}/simdjson_package)
  configure_file(${DORNA_SIMDJSON_PACKAGE_HEADER} ${package_dir}/simdjson_package.h COPYONLY)
  add_library(dorna_simdjson STATIC ${CMAKE_CURRENT_LIST_DIR}/simdjson.cpp)
  target_include_directories(dorna_simdjson SYSTEM PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include ${package_dir})
  target_compile_features(dorna_simdjson PUBLIC cxx_std_17)
  add_library(simdjson::simdjson ALIAS dorna_simdjson)
endif()
