#include "xfile/mesh_writer.h"

#include "host/host.h"
#include "settings/export_settings.h"
#include "xfile/buffered_text.h"
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

int32_t writeMeshVertices(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    if (!writer.isOpen() || !vertices) return 0;
    BufferedText out(writer);
    writeCount(out, vertexCount);
    writeVectorRows(out, vertices, vertexCount, false);
    return 1;
}

int32_t writeMeshFaces(XTextWriter& writer, const int32_t* indices, int32_t indexCount) {
    if (!writer.isOpen()) return 0;
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
    return 1;
}

int32_t writeMeshNormals(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    if (!writer.isOpen() || !vertices) return 0;
    BufferedText out(writer);
    out.text("MeshNormals {\r\n");
    writeCount(out, vertexCount);
    writeVectorRows(out, vertices, vertexCount, true);
    return 1;
}

int32_t writeMeshTextureCoords(XTextWriter& writer, const ExportVertex* vertices, int32_t vertexCount) {
    if (!writer.isOpen() || !vertices) return 0;
    BufferedText out(writer);
    out.text("MeshTextureCoords {\r\n");
    writeCount(out, vertexCount);
    for (int32_t i = 0; i < vertexCount; ++i) {
        out.real(vertices[i].u);
        out.text("; ");
        out.real(vertices[i].v);
        out.text(";");
        out.text(rowEnd(i, vertexCount, ";\r\n}\r\n"));
    }
    return 1;
}

bool hasMeshBlock(int32_t vertexCount, int32_t indexCount) { return vertexCount > 0 && indexCount >= 3; }

int32_t writeMesh(XTextWriter& writer, KrvObject object, const ExportVertex* vertices, int32_t vertexCount,
                  const int32_t* indices, int32_t indexCount, int32_t closeBlock) {
    // One or two indices make no triangle: a block of 0 faces with a material list of
    // -1 entries would not read back.
    if (!writer.isOpen() || !vertices || !indices || !hasMeshBlock(vertexCount, indexCount)) return 0;

    const NameText name = meshName(object);
    writer.writeText("Mesh M_");
    writer.writeBytes(name.text, name.length);
    writer.writeText(" {\r\n");

    if (!writeMeshVertices(writer, vertices, vertexCount)) return 0;
    if (!writeMeshFaces(writer, indices, indexCount)) return 0;
    if (!writeMaterialList(writer, object, indexCount / 3)) return 0;
    if (exportSettings.exportNormals) {
        if (!writeMeshNormals(writer, vertices, vertexCount)) return 0;
        // Each corner's normal has the index of its vertex.
        if (!writeMeshFaces(writer, indices, indexCount)) return 0;
        writer.writeText("}\r\n");
    }
    if (exportSettings.exportTextures && !writeMeshTextureCoords(writer, vertices, vertexCount)) return 0;
    if (closeBlock) writer.writeText("}\r\n");
    return 1;
}

}  // namespace dorna
