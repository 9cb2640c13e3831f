// The Mesh block of one converted polygon object: vertices, triangles, the material
// list and, as the settings ask, normals and texture coordinates. Values go out as
// they come: any change of sign, scale or winding is made before.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "mesh/export_mesh.h"

namespace dorna {

class XTextWriter;

// True when a mesh of these counts gets a Mesh block: at least one vertex and one
// whole triangle. Whoever leaves the block open closes it under this condition.
bool hasMeshBlock(int32_t vertexCount, int32_t indexCount);

// Writes the block "Mesh M_NAME {" ... and leaves it open for the skin blocks unless
// `closeBlock` is set. 0, with nothing written, without an open file, without arrays
// or without a block to write (see hasMeshBlock); 0 when a later step finds the file
// closed.
int32_t writeMesh(XTextWriter& writer, KrvObject object, const ExportVertex* vertices, int32_t vertexCount,
                  const int32_t* indices, int32_t indexCount, int32_t closeBlock);

// The steps of writeMesh. Each answers 0 without an open file (and, where it reads the
// vertices, without them). Triangle k is indices 3k, 3k + 1, 3k + 2.
int32_t writeMeshVertices(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount);
int32_t writeMeshFaces(XTextWriter& writer, const int32_t* indices, int32_t indexCount);
// Opens MeshNormals and writes the normals; the faces and the closing brace follow.
int32_t writeMeshNormals(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount);
// The whole MeshTextureCoords block.
int32_t writeMeshTextureCoords(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount);

}  // namespace dorna
