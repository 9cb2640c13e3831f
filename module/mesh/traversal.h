// The walk over a document's object tree that writes every object's frame, mesh and
// skin into one output file. The nesting of the file follows the object tree.
#pragma once

#include <korvo_sdk.h>

namespace dorna {

class XTextWriter;
struct SkinData;

// Writes the scene of `document` (the working copy of one output file).
void exportHierarchy(KrvDocument document, XTextWriter& writer);

// Exports `object` and each of its later siblings, each with its whole subtree.
// Nothing for a null object.
void exportObjects(KrvObject object, XTextWriter& writer, SkinData& skin);

}  // namespace dorna
