#include "mesh/debug_listing.h"

#include <cstdarg>
#include <cstdio>

#include "host/host.h"

namespace dorna {

namespace {

// Large enough for the longest message: nine floats printed in full (a float has at
// most 39 integer digits) and their labels.
constexpr size_t kMessageBytes = 1024;

// One console message: the text formatted into an 8-bit buffer, sent as a host string.
void message(const char* format, ...) {
    char text[kMessageBytes];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    printLine(text);
}

}  // namespace

void listNormals(const NormalGroups* groups, int32_t pointCount) {
    message("\n\nNORMALS\n========\n");
    if (!groups) return;
    for (int32_t p = 0; p < pointCount; ++p) {
        message("Point: %4i Normalcount: %i\n", p, groupsOfPoint(*groups, p));
        for (int32_t j = 0; j < groupsOfPoint(*groups, p); ++j) {
            const int32_t g = groups->groupStarts[p] + j;
            const Vector& normal = groups->normals[g];
            message("\t%4i  x %0.3f y %0.3f z %0.3f Indices ", j, double(normal.x), double(normal.y), double(normal.z));
            for (int32_t i = groups->cornerStarts[g]; i < groups->cornerStarts[g + 1]; ++i)
                message("%4i ", groups->corners[i]);
            message("\n");
        }
    }
}

void listIndices(const int32_t* indices, int32_t count) {
    message("Indices:\n");
    if (!indices) return;
    for (int32_t t = 0; t < count / 3; ++t)
        message("%4i %4i %4i\n", indices[3 * t], indices[3 * t + 1], indices[3 * t + 2]);
}

void listVertices(const ExportVertex* vertices, int32_t count) {
    message("Vertices:\n");
    if (!vertices) return;
    for (int32_t i = 0; i < count; ++i) {
        const ExportVertex& v = vertices[i];
        message("%3i %0.2f %0.2f %0.2f u %0.2f v %0.2f nx %0.2f ny %0.2f nz %0.2f\n", i, double(v.x),
                double(v.y), double(v.z), double(v.u), double(v.v), double(v.nx), double(v.ny), double(v.nz));
    }
}

}  // namespace dorna
