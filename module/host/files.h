// The host's file service. Its one user is the text writer, which fixes how files are
// opened and written.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

namespace dorna {

// A new host file object, or null when the host has none to give.
KrvFile createFile();
// Frees the file object if present and sets the handle to null.
void freeFile(KrvFile& file);
// Opens `file` for writing on `name`: modes 2, 2, 2, type 'KRVC', creator 'KRV1'.
// Nonzero on success.
int32_t openFileForWriting(KrvFile file, const KrvFileName* name);
// Nonzero when the host committed the file.
int32_t closeFile(KrvFile file);
// Nonzero when the host accepted every byte.
int32_t writeFile(KrvFile file, const void* bytes, int32_t count);

}  // namespace dorna
