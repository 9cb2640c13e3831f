#include "xfile/frame_writer.h"

#include "host/host.h"
#include "skin/matrix.h"
#include "xfile/buffered_text.h"
#include "xfile/names.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

void writeMatrixRow(XTextWriter& writer, int32_t level, float a, float b, float c, float d, const char* end) {
    writer.writeIndent(level);
    BufferedText row(writer);
    row.real(a);
    row.text(", ");
    row.real(b);
    row.text(", ");
    row.real(c);
    row.text(", ");
    row.real(d);
    row.text(end);
}

}  // namespace

int32_t writeFrameHeader(XTextWriter& writer, KrvObject object, const int32_t* depth) {
    if (!writer.isOpen()) return 0;
    const Matrix m = objectExportMatrix(object);
    const int32_t level = depth ? *depth : 0;

    const NameText name = frameName(object);
    writer.writeIndent(level);
    writer.writeText("Frame ");
    writer.writeBytes(name.text, name.length);
    writer.writeText(" {\r\n");
    writer.writeIndent(level);
    writer.writeText("FrameTransformMatrix {\r\n");
    // The file form: the axes stand in the columns, the offset in the fourth row.
    writeMatrixRow(writer, level, m.axis1.x, m.axis2.x, m.axis3.x, 0.0f, ",\r\n");
    writeMatrixRow(writer, level, m.axis1.y, m.axis2.y, m.axis3.y, 0.0f, ",\r\n");
    writeMatrixRow(writer, level, m.axis1.z, m.axis2.z, m.axis3.z, 0.0f, ",\r\n");
    writeMatrixRow(writer, level, m.offset.x, m.offset.y, m.offset.z, 1.0f, ";;}");
    return 1;
}

}  // namespace dorna
