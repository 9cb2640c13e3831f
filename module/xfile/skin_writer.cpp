#include "xfile/skin_writer.h"

#include <cstring>

#include "host/host.h"
#include "settings/export_settings.h"
#include "skin/placement.h"
#include "skin/skin_weights.h"
#include "xfile/export_context.h"
#include "xfile/names.h"
#include "xfile/number_format.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// One console line: the mesh, the limit and the bones left out, by their frame names.
void reportDroppedBones(FrameNames& names, const SkinData& skin, KrvObject mesh) {
    constexpr char kLeftOut[] = " bones weight it, more than a mesh can hold (199); left out:";
    char count[kIntTextCapacity];
    formatInt(count, skin.boneCount + skin.droppedBoneCount);
    int64_t length = 0;
    for (int32_t i = 0; i < skin.droppedListed; ++i) length += 2 + frameName(names, skin.droppedBones[i]).length;
    const NameText name = meshName(names, mesh);
    const int64_t head = 20 + name.length + std::strlen(count) + std::strlen(kLeftOut);
    HostArray<char> line;
    if (length + head >= INT32_MAX || !line.allocate(head + length + 1)) {
        printLine("Dorna: a mesh is weighted by more than 199 bones; the bones beyond them are left out");
        return;
    }
    int64_t n = 0;
    auto put = [&](const char* text, int64_t size) {
        std::memcpy(line + n, text, static_cast<size_t>(size));
        n += size;
    };
    put("Dorna: mesh M_", 14);
    put(name.text, name.length);
    put(": ", 2);
    put(count, static_cast<int64_t>(std::strlen(count)));
    put(kLeftOut, static_cast<int64_t>(std::strlen(kLeftOut)));
    for (int32_t i = 0; i < skin.droppedListed; ++i) {
        const NameText bone = frameName(names, skin.droppedBones[i]);
        put(i == 0 ? " " : ", ", i == 0 ? 1 : 2);
        put(bone.text, bone.length);
    }
    line[n] = '\0';
    printLine(line);
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
