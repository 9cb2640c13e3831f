#include "xfile/header.h"

#include "xfile/text_writer.h"

namespace dorna {

namespace {

void writeMatrixRow(XTextWriter& writer, float a, float b, float c, float d, const char* end) {
    writer.writeReal(a);
    writer.writeText(", ");
    writer.writeReal(b);
    writer.writeText(", ");
    writer.writeReal(c);
    writer.writeText(", ");
    writer.writeReal(d);
    writer.writeText(end);
}

}  // namespace

void writeHeader(XTextWriter& writer, const ExportSettings& settings) {
    writer.writeBytes(kFixedHeaderBlock, kFixedHeaderBlockSize);
    if (!settings.exportFrames) return;
    writer.writeText("Frame DORNA_ROOT {\r\n");
    if (!settings.scaleScene) return;
    const KrvVector& scale = settings.sceneScale;
    writer.writeText("FrameTransformMatrix {\r\n");
    writeMatrixRow(writer, scale.x, 0.0f, 0.0f, 0.0f, ",\r\n");
    writeMatrixRow(writer, 0.0f, scale.y, 0.0f, 0.0f, ",\r\n");
    writeMatrixRow(writer, 0.0f, 0.0f, scale.z, 0.0f, ",\r\n");
    // The closing brace stands on the line of the last row.
    writeMatrixRow(writer, 0.0f, 0.0f, 0.0f, 1.0f, ";;}");
    writer.writeText("\r\n");
}

}  // namespace dorna
