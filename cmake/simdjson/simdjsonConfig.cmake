# simdjson for the cross build: the library's single-file sources in third_party/simdjson,
# of the version Debian's libsimdjson-dev has, as Debian has no simdjson for Windows.
if(NOT TARGET simdjson::simdjson)
  set(dorna_simdjson_sources ${CMAKE_CURRENT_LIST_DIR}/../../third_party/simdjson)
  add_library(dorna_simdjson STATIC ${dorna_simdjson_sources}/simdjson.cpp)
  target_include_directories(dorna_simdjson SYSTEM PUBLIC ${dorna_simdjson_sources})
  target_compile_features(dorna_simdjson PUBLIC cxx_std_17)
  add_library(simdjson::simdjson ALIAS dorna_simdjson)
endif()
