// The library's sources for the cross build, without threads (see include/simdjson.h).
#include "include/simdjson.h"
#pragma push_macro("_MT")
#undef _MT
#include "../../third_party/simdjson/simdjson.cpp"
#pragma pop_macro("_MT")
