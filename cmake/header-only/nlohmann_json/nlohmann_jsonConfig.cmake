# nlohmann-json (nlohmann-json3-dev) for the cross build.
include(${CMAKE_CURRENT_LIST_DIR}/../header_only_target.cmake)
dorna_header_only_target(nlohmann_json::nlohmann_json nlohmann)
