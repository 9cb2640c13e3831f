#include "xfile/frame_writer.h"

#include "skin/placement.h"
#include "xfile/buffered_text.h"
#include "xfile/names.h"
#include "xfile/text_writer.h"

namespace dorna {

void writeFrameHeader(XTextWriter& writer, KrvObject object, NameText name, int32_t level) {
    const Matrix m = objectExportMatrix(object);
    writer.writeIndent(level);
    writer.writeText("Frame ");
    writer.writeBytes(name.text, name.length);
    writer.openBlock(" {\r\n");
    BufferedText out(writer);
    out.indent(level);
    out.openBlock("FrameTransformMatrix {\r\n");
    appendFileMatrix(out, m, ",\r\n", level);
    out.closeBlock(";;}");
}

}  // namespace dorna
