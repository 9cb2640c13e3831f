// The walk over a document's object tree that writes every object's frame, mesh and
// skin into one output file. The nesting of the file follows the object tree.
#pragma once

#include <korvo_sdk.h>

namespace dorna {

struct ExportContext;
struct ExportSettings;
struct MeshOptions;
struct SkinData;

// The settings that shape a mesh.
MeshOptions meshOptionsOf(const ExportSettings& settings);

// Writes the scene of the context's document (the working copy of one output file).
void exportHierarchy(ExportContext& context);

// Exports `object` and each of its later siblings, each with its whole subtree, while
// the file can still be kept. Nothing for a null object.
void exportObjects(ExportContext& context, KrvObject object, SkinData& skin);

}  // namespace dorna
