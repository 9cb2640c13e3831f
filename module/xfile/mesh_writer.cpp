#include "xfile/mesh_writer.h"

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
const char* rowEnd(int32_t row, int32_t count, const char* last) { return row + 1 < count ? ",\r\n" : last; }

void writeVectorRows(XTextWriter& out, const ExportVertex* vertices, int32_t count, bool normals) {
    for (int32_t i = 0; i < count; ++i) {
        const ExportVertex& v = vertices[i];
        out.writeReal(normals ? v.nx : v.x);
        out.writeText("; ");
        out.writeReal(normals ? v.ny : v.y);
        out.writeText("; ");
        out.writeReal(normals ? v.nz : v.z);
        out.writeText(";");
        out.writeText(rowEnd(i, count, ";\r\n\r\n"));
    }
}

}  // namespace

void writeMeshVertices(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    writeCount(writer, vertexCount);
    writeVectorRows(writer, vertices, vertexCount, false);
}

void writeMeshFaces(XTextWriter& writer, const int32_t* indices, int32_t indexCount) {
    const int32_t faceCount = indexCount / 3;
    XTextWriter& out = writer;
    writeCount(out, faceCount);
    for (int32_t k = 0; k < faceCount; ++k) {
        const int32_t* corner = indices + 3 * k;
        out.writeText("3;");
        out.writeInt(corner[0]);
        out.writeText(",");
        out.writeInt(corner[1]);
        out.writeText(",");
        out.writeInt(corner[2]);
        out.writeText(";");
        out.writeText(rowEnd(k, faceCount, ";\r\n\r\n"));
    }
}

void writeMeshNormals(XTextWriter& writer, const MeshArrays& arrays) {
    const Block normals(writer, "MeshNormals {\r\n", "}\r\n");
    writeCount(writer, arrays.vertexCount);
    writeVectorRows(writer, arrays.vertices, arrays.vertexCount, true);
    writeMeshFaces(writer, arrays.indices, arrays.indexCount);
}

void writeMeshTextureCoords(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    XTextWriter& out = writer;
    const Block coordinates(writer, "MeshTextureCoords {\r\n", "}\r\n");
    writeCount(out, vertexCount);
    for (int32_t i = 0; i < vertexCount; ++i) {
        out.writeReal(vertices[i].u);
        out.writeText("; ");
        out.writeReal(vertices[i].v);
        out.writeText(";");
        out.writeText(rowEnd(i, vertexCount, ";\r\n"));
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
