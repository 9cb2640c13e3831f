#include "xfile/frame_writer.h"

namespace dorna {

void writeFrameTransform(XTextWriter& writer, const Matrix& m) {
    const Block matrix(writer, "FrameTransformMatrix {\r\n", ";;}");
    writeFileMatrix(writer, m, ",\r\n");
}

}  // namespace dorna
