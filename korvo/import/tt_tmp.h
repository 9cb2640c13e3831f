#pragma once
#include <chrono>
#include <cstdio>
inline double ttNow() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
struct TT { const char* n; double t = ttNow(); ~TT() { std::fprintf(stderr, "TT %-14s %.4f\n", n, ttNow() - t); } };
