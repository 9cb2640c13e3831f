// The debug listing: with the option on (MeshOptions::debugListing; off by default,
// the settings dialog does not offer it), mesh building prints what it computed for
// every polygon object to the host console, one message per piece of text.
#pragma once

#include <cstdint>

#include "mesh/export_mesh.h"
#include "mesh/normal_groups.h"

namespace dorna {

// The smoothing groups of every point: normal and corner numbers.
void listNormals(const NormalGroups* groups, int32_t pointCount);
// The index triples; a last incomplete triple is not printed.
void listIndices(const int32_t* indices, int32_t count);
// The vertices: position, texture coordinate, normal.
void listVertices(const ExportVertex* vertices, int32_t count);

}  // namespace dorna
