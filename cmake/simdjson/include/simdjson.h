// simdjson for the cross build, without threads: _mingw.h defines _MT, which turns on
// simdjson's threaded stream parser, and mingw's win32 thread model has no std::mutex.
// The reader parses one document on the calling thread and needs none of it.
#pragma once
#include <cstddef>  // _mingw.h, once
#pragma push_macro("_MT")
#undef _MT
#include "simdjson_package.h"  // libsimdjson-dev's header (simdjsonConfig.cmake)
#pragma pop_macro("_MT")
