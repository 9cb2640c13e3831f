# simdjson for the cross build: the library's single-file sources in third_party/simdjson,
# of the version Debian's libsimdjson-dev has, as Debian has no simdjson for Windows;
# compiled without threads through include/simdjson.h.
if(NOT TARGET simdjson::simdjson)
  add_library(dorna_simdjson STATIC ${CMAKE_CURRENT_LIST_DIR}/simdjson.cpp)
  target_include_directories(dorna_simdjson SYSTEM PUBLIC ${CMAKE_CURRENT_LIST_DIR}/include)
  target_compile_features(dorna_simdjson PUBLIC cxx_std_17)
  add_library(simdjson::simdjson ALIAS dorna_simdjson)
endif()
