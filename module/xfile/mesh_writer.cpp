#include "xfile/mesh_writer.h"

#include "settings/export_settings.h"
#include "xfile/buffered_text.h"
#include "xfile/export_context.h"
#include "xfile/material_writer.h"
#include "xfile/names.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// A list's count stands on a line of its own: " %i;".
void writeCount(BufferedText& out, int32_t count) {
    out.text(" ");
    out.integer(count);
    out.text(";\r\n");
}

// The rows of a list end in ";," except the last, which ends the list with ";;".
const char* rowEnd(int32_t row, int32_t count, const char* last) { return row + 1 < count ? ",\r\n" : last; }

void writeVectorRows(BufferedText& out, const ExportVertex* vertices, int32_t count, bool normals) {
    for (int32_t i = 0; i < count; ++i) {
        const ExportVertex& v = vertices[i];
        out.real(normals ? v.nx : v.x);
        out.text("; ");
        out.real(normals ? v.ny : v.y);
        out.text("; ");
        out.real(normals ? v.nz : v.z);
        out.text(";");
        out.text(rowEnd(i, count, ";\r\n\r\n"));
    }
}

}  // namespace

void writeMeshVertices(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    BufferedText out(writer);
    writeCount(out, vertexCount);
    writeVectorRows(out, vertices, vertexCount, false);
}

void writeMeshFaces(XTextWriter& writer, const int32_t* indices, int32_t indexCount) {
    const int32_t faceCount = indexCount / 3;
    BufferedText out(writer);
    writeCount(out, faceCount);
    for (int32_t k = 0; k < faceCount; ++k) {
        const int32_t* corner = indices + 3 * k;
        out.text("3;");
        out.integer(corner[0]);
        out.text(",");
        out.integer(corner[1]);
        out.text(",");
        out.integer(corner[2]);
        out.text(";");
        out.text(rowEnd(k, faceCount, ";\r\n\r\n"));
    }
}

void writeMeshNormals(XTextWriter& writer, const MeshArrays& arrays) {
    {
        BufferedText out(writer);
        out.openBlock("MeshNormals {\r\n");
        writeCount(out, arrays.vertexCount);
        writeVectorRows(out, arrays.vertices, arrays.vertexCount, true);
    }
    writeMeshFaces(writer, arrays.indices, arrays.indexCount);
    writer.closeBlock("}\r\n");
}

void writeMeshTextureCoords(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    BufferedText out(writer);
    out.openBlock("MeshTextureCoords {\r\n");
    writeCount(out, vertexCount);
    for (int32_t i = 0; i < vertexCount; ++i) {
        out.real(vertices[i].u);
        out.text("; ");
        out.real(vertices[i].v);
        out.text(";");
        out.text(rowEnd(i, vertexCount, ";\r\n"));
    }
    out.closeBlock("}\r\n");
}

bool hasMeshBlock(int32_t vertexCount, int32_t indexCount) { return vertexCount > 0 && indexCount >= 3; }

bool writeMesh(ExportContext& context, KrvObject object, const MeshArrays& arrays) {
    // One or two indices make no triangle: a block of 0 faces with a material list of
    // -1 entries would not read back.
    if (!arrays.vertices || !arrays.indices || !hasMeshBlock(arrays.vertexCount, arrays.indexCount)) return false;
    XTextWriter& writer = context.writer;

    const NameText name = meshName(context.names, object);
    writer.writeText("Mesh M_");
    writer.writeBytes(name.text, name.length);
    writer.openBlock(" {\r\n");

    writeMeshVertices(writer, arrays.vertices, arrays.vertexCount);
    writeMeshFaces(writer, arrays.indices, arrays.indexCount);
    writeMaterialList(context, object, arrays.indexCount / 3);
    if (context.settings.exportNormals) writeMeshNormals(writer, arrays);
    if (context.settings.exportTextures) writeMeshTextureCoords(writer, arrays.vertices, arrays.vertexCount);
    return true;
}

}  // namespace dorna
