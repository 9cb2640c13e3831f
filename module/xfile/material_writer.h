// The material list of a mesh: every face uses the one material, whose colours come
// from the host material of the object's texture tag (or from the standard material of
// the settings), with the material's texture file name.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

class HostString;
struct ExportContext;

// Writes MeshMaterialList with its Material and, when textures are exported, its
// TextureFilename. `faceCount` is at least 1. A texture name the host could not hand
// over is recorded as the export's failure: the file would lack the material's texture.
void writeMaterialList(ExportContext& context, KrvObject object, int32_t faceCount);

// The texture name as it goes between the quotes of TextureFilename: as stored, except
// that '"', CR and LF, which would end the string early, each become "_".
HostString textureNameForFile(const HostString& name);

}  // namespace dorna
