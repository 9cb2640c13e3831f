// The material list of a mesh: every face uses the one material, whose colours come
// from the host material of the object's texture tag (or from the standard material of
// the settings), with the material's texture file name.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

class HostString;
class XTextWriter;

// Writes MeshMaterialList with its Material and, when textures are exported, its
// TextureFilename. `faceCount` is at least 1. 0, with nothing written, when the writer
// has no open file.
int32_t writeMaterialList(XTextWriter& writer, KrvObject object, int32_t faceCount);

// The texture name as it goes between the quotes of TextureFilename: as stored, except
// that '"', CR and LF, which would end the string early, each become "_".
HostString textureNameForFile(const HostString& name);

}  // namespace dorna
