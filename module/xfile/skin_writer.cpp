#include "xfile/skin_writer.h"

#include "host/host.h"
#include "settings/export_settings.h"
#include "skin/placement.h"
#include "skin/skin_weights.h"
#include "xfile/export_context.h"
#include "xfile/names.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// One console line: the mesh, the limit and the bones left out, by their frame names.
void reportDroppedBones(FrameNames& names, const SkinData& skin, KrvObject mesh) {
    // Each name goes into the line before the next one is made: they share a buffer.
    const NameText name = meshName(names, mesh);
    ConsoleLine line("Dorna: mesh M_");
    line.add(name.text, name.length)
        .add(": ")
        .add(skin.boneCount + skin.droppedBoneCount)
        .add(" bones weight it, more than a mesh can hold (199); left out:");
    for (int32_t i = 0; i < skin.droppedListed; ++i) {
        const NameText bone = frameName(names, skin.droppedBones[i]);
        line.add(i == 0 ? " " : ", ").add(bone.text, bone.length);
    }
    line.print();
}

}  // namespace

void writeSkinHeader(XTextWriter& writer, int32_t boneCount, int32_t maxPerVertex, int32_t maxPerFace) {
    XTextWriter& out = writer;
    const Block header(writer, "\r\nXSkinMeshHeader {\r\n", "}\r\n\r\n");
    out.writeInt(maxPerVertex);
    out.writeText(";\r\n");
    out.writeInt(maxPerFace);
    out.writeText(";\r\n");
    out.writeInt(boneCount);
    out.writeText(";\r\n");
}

void writeSkinWeights(ExportContext& context, KrvObject bone, const VertexWeight* pairs, int32_t pairCount) {
    if (!pairs || pairCount <= 0) return;
    XTextWriter& writer = context.writer;
    const Block weights(writer, "SkinWeights {\r\n \"", frameName(context.names, bone), "\";\r\n", "}\r\n\r\n");
    XTextWriter& out = writer;
    out.writeText(" ");
    out.writeInt(pairCount);
    out.writeText(";\r\n");
    for (int32_t i = 0; i < pairCount; ++i) {
        out.writeInt(pairs[i].vertex);
        out.writeText(i + 1 < pairCount ? ",\r\n" : ";\r\n");
    }
    for (int32_t i = 0; i < pairCount; ++i) {
        out.writeReal(pairs[i].weight);
        out.writeText(i + 1 < pairCount ? ",\r\n" : ";\r\n");
    }
    writeFileMatrix(out, boneOffsetMatrix(bone), ",\r\n");
    out.writeText(";;\r\n");
}

void writeMeshSkin(ExportContext& context, SkinData& skin, KrvObject object, int32_t vertexCount,
                   const int32_t* indices, int32_t indexCount) {
    // Skins are searched only where bones are exported with their frames.
    if (!context.settings.exportBones || !context.settings.exportFrames) return;
    if (!collectMeshSkin(skin, context.bones, object, vertexCount, indices, indexCount, context.status)) return;
    if (skin.droppedBoneCount > 0) reportDroppedBones(context.names, skin, object);
    if (skin.boneCount > 0)
        writeSkinHeader(context.writer, skin.boneCount, maxWeightsPerVertex(skin), maxWeightsPerFace(skin));
    for (int32_t i = 0; i < skin.boneCount; ++i) {
        const BoneWeights& entry = boneWeightsAt(skin, i);
        writeSkinWeights(context, entry.bone, entry.pairs, entry.pairCount);
    }
    clearBoneWeights(skin);
}

}  // namespace dorna
