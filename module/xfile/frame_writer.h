// Frames: the FrameTransformMatrix of an object's frame, and the root frame around the
// scene. The scene walk opens and closes the frame of every object.
#pragma once

#include <korvo_sdk.h>

#include "math/matrix.h"
#include "settings/export_settings.h"
#include "xfile/text_writer.h"

namespace dorna {

// The FrameTransformMatrix block of a frame placed by `m` (relative to its parent); its
// last row ends in ";;}" without a line end.
void writeFrameTransform(XTextWriter& writer, const Matrix& m);

// The root frame "DORNA_ROOT" around `scene`, which writes what it holds; with
// `scaleScene` the scene scale is its matrix.
template <typename Scene>
void writeRootFrame(XTextWriter& writer, const ExportSettings& settings, Scene scene) {
    const Block root(writer, "Frame DORNA_ROOT {\r\n", "\r\n}\r\n");
    if (settings.scaleScene) {
        writeFrameTransform(writer, scaleMatrix(settings.sceneScale));
        writer.writeText("\r\n");
    }
    scene();
}

}  // namespace dorna
