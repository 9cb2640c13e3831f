// The walk over a document's object tree that writes every object's frame, mesh and
// skin into one output file. The nesting of the file follows the object tree.
#pragma once

#include <korvo_sdk.h>

namespace dorna {

struct ExportContext;
struct ExportSettings;
struct MeshOptions;

// The settings that shape a mesh.
MeshOptions meshOptionsOf(const ExportSettings& settings);

// Writes the scene of the context's document (the working copy of one output file).
void exportHierarchy(ExportContext& context);

}  // namespace dorna
