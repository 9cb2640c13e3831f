# fast_float (libfast-float-dev) for the cross build.
include(${CMAKE_CURRENT_LIST_DIR}/../header_only_target.cmake)
dorna_header_only_target(FastFloat::fast_float fast_float)
