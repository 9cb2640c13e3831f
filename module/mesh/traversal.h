// The walk over a document's object tree that writes every object's frame, mesh and
// skin into one output file.
#pragma once

#include <korvo_sdk.h>

namespace dorna {

class XTextWriter;

// Writes the scene of `document` (the working copy of one output file).
void exportHierarchy(KrvDocument document, XTextWriter& writer);

}  // namespace dorna
