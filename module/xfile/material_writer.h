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

// The texture name as it goes between the quotes of TextureFilename, in `out` (room for
// `capacity` bytes and a terminator): its Latin-1 text, "?" for a character outside
// Latin-1, and "_" for '"' and every control character (NUL, CR and LF included), which
// would end the string or break its line. Returns the length; *lost receives the count
// of characters written as "?" that were not.
int32_t textureNameForFile(const HostString& name, char* out, int32_t capacity, int32_t* lost);

}  // namespace dorna
