// The Mesh block of one converted polygon object: vertices, triangles, the material
// list, as the settings ask normals and texture coordinates, and its skin. Values go
// out as they come: any change of sign, scale or winding is made before.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "mesh/export_mesh.h"

namespace dorna {

class XTextWriter;
struct ExportContext;
struct SkinData;

// True when a mesh of these counts gets a Mesh block: at least one vertex and one
// whole triangle.
bool hasMeshBlock(int32_t vertexCount, int32_t indexCount);

// The whole block "Mesh M_NAME {", the skin of the object (see writeMeshSkin) inside.
// Nothing without arrays or without a block to write (see hasMeshBlock).
void writeMesh(ExportContext& context, KrvObject object, const MeshArrays& arrays, SkinData& skin);

// The steps of writeMesh. Triangle k is indices 3k, 3k + 1, 3k + 2.
void writeMeshVertices(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount);
void writeMeshFaces(XTextWriter& writer, const int32_t* indices, int32_t indexCount);
// The whole MeshNormals block: the normals and, as each corner's normal has the index
// of its vertex, the faces.
void writeMeshNormals(XTextWriter& writer, const MeshArrays& arrays);
// The whole MeshTextureCoords block.
void writeMeshTextureCoords(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount);

}  // namespace dorna
