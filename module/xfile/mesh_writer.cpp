#include "xfile/mesh_writer.h"

#include <cstring>

#include "settings/export_settings.h"
#include "xfile/export_context.h"
#include "xfile/material_writer.h"
#include "xfile/names.h"
#include "xfile/skin_writer.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// A list's count stands on a line of its own: " %i;".
void writeCount(XTextWriter& out, int32_t count) {
    out.writeText(" ");
    out.writeInt(count);
    out.writeText(";\r\n");
}

// The rows of a list end in ";," except the last, which ends the list with ";;".
void addRowEnd(ListText& list, int32_t row, int32_t count, const char* last) {
    if (row + 1 < count)
        list.text(",\r\n");
    else
        list.text(last, static_cast<int32_t>(std::strlen(last)));
}

// "x; y; z;" of every vertex's position or normal. A row whose three values are those of
// the row before (the normals of a flat face's corners) takes that row's text again.
void writeVectorRows(XTextWriter& out, const ExportVertex* vertices, int32_t count, bool normals) {
    ListText list(out);
    char row[3 * kRealTextCapacity + 8];
    int32_t rowLength = 0;
    float previous[3] = {};
    for (int32_t i = 0; i < count; ++i) {
        const ExportVertex& v = vertices[i];
        const float values[3] = {normals ? v.nx : v.x, normals ? v.ny : v.y, normals ? v.nz : v.z};
        if (i > 0 && std::memcmp(values, previous, sizeof values) == 0) {
            for (float value : values) out.finiteOrZero(value);  // counted as when written
        } else {
            rowLength = 0;
            for (int32_t k = 0; k < 3; ++k) {
                rowLength += formatReal(row + rowLength, out.finiteOrZero(values[k]));
                const char* separator = k < 2 ? "; " : ";";
                const int32_t length = k < 2 ? 2 : 1;
                std::memcpy(row + rowLength, separator, static_cast<size_t>(length));
                rowLength += length;
            }
            std::memcpy(previous, values, sizeof values);
        }
        list.text(row, rowLength);
        addRowEnd(list, i, count, ";\r\n\r\n");
    }
}

}  // namespace

void writeMeshVertices(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    writeCount(writer, vertexCount);
    writeVectorRows(writer, vertices, vertexCount, false);
}

void writeMeshFaces(XTextWriter& writer, const int32_t* indices, int32_t indexCount) {
    const int32_t faceCount = indexCount / 3;
    writeCount(writer, faceCount);
    ListText list(writer);
    // "3;" three indices of at most 11 characters (the last one's terminating zero
    // after it), two commas and ";".
    constexpr int32_t kMostRow = 2 + 3 * 11 + 2 + 2;
    for (int32_t k = 0; k < faceCount; ++k) {
        const int32_t* corner = indices + 3 * k;
        char* at = list.reserve(kMostRow);
        *at++ = '3';
        *at++ = ';';
        at += formatInt(at, corner[0]);
        *at++ = ',';
        at += formatInt(at, corner[1]);
        *at++ = ',';
        at += formatInt(at, corner[2]);
        *at++ = ';';
        list.commit(at);
        addRowEnd(list, k, faceCount, ";\r\n\r\n");
    }
}

void writeMeshNormals(XTextWriter& writer, const MeshArrays& arrays) {
    const Block normals(writer, "MeshNormals {\r\n", "}\r\n");
    writeCount(writer, arrays.vertexCount);
    writeVectorRows(writer, arrays.vertices, arrays.vertexCount, true);
    writeMeshFaces(writer, arrays.indices, arrays.indexCount);
}

void writeMeshTextureCoords(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    const Block coordinates(writer, "MeshTextureCoords {\r\n", "}\r\n");
    writeCount(writer, vertexCount);
    ListText list(writer);
    for (int32_t i = 0; i < vertexCount; ++i) {
        char* at = list.reserve(static_cast<int32_t>(2 * kRealTextCapacity + 3));
        at += formatReal(at, writer.finiteOrZero(vertices[i].u));
        *at++ = ';';
        *at++ = ' ';
        at += formatReal(at, writer.finiteOrZero(vertices[i].v));
        *at++ = ';';
        list.commit(at);
        addRowEnd(list, i, vertexCount, ";\r\n");
    }
}

bool hasMeshBlock(int32_t vertexCount, int32_t indexCount) { return vertexCount > 0 && indexCount >= 3; }

void writeMesh(ExportContext& context, KrvObject object, const MeshArrays& arrays, SkinData& skin) {
    // One or two indices make no triangle: a block of 0 faces with a material list of
    // -1 entries would not read back.
    if (!arrays.vertices || !arrays.indices || !hasMeshBlock(arrays.vertexCount, arrays.indexCount)) return;
    XTextWriter& writer = context.writer;

    const Block mesh(writer, "Mesh M_", meshName(context.names, object), " {\r\n", "}\r\n");

    writeMeshVertices(writer, arrays.vertices, arrays.vertexCount);
    writeMeshFaces(writer, arrays.indices, arrays.indexCount);
    writeMaterialList(context, object, arrays.indexCount / 3);
    if (context.settings.exportNormals) writeMeshNormals(writer, arrays);
    if (context.settings.exportTextures) writeMeshTextureCoords(writer, arrays.vertices, arrays.vertexCount);
    writeMeshSkin(context, skin, object, arrays.vertexCount, arrays.indices, arrays.indexCount);
}

}  // namespace dorna
