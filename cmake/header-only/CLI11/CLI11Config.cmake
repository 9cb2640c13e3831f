# CLI11 (libcli11-dev) for the cross build.
include(${CMAKE_CURRENT_LIST_DIR}/../header_only_target.cmake)
dorna_header_only_target(CLI11::CLI11 CLI)
