// The skin blocks of one mesh, inside its Mesh block: the XSkinMeshHeader and one
// SkinWeights block per bone, from the record the skin collection fills.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

class XTextWriter;
struct ExportContext;
struct SkinData;
struct VertexWeight;

// When bones are exported with their frames: collects the skin of the converted mesh
// and writes its blocks. Storage the host refused is recorded as the export's failure:
// a file that lacks part of the skin is not kept.
void writeMeshSkin(ExportContext& context, SkinData& skin, KrvObject object, int32_t vertexCount,
                   const int32_t* indices, int32_t indexCount);

void writeSkinHeader(XTextWriter& writer, int32_t boneCount, int32_t maxPerVertex, int32_t maxPerFace);
// One SkinWeights block with the bone's offset matrix; nothing without pairs.
void writeSkinWeights(ExportContext& context, KrvObject bone, const VertexWeight* pairs, int32_t pairCount);

}  // namespace dorna
