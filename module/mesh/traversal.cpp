#include "mesh/traversal.h"

#include "host/containers.h"
#include "host/document.h"
#include "host/host.h"
#include "host/objects.h"
#include "mesh/debug_listing.h"
#include "mesh/export_mesh.h"
#include "settings/export_settings.h"
#include "skin/bone_search.h"
#include "skin/skin_weights.h"
#include "xfile/frame_writer.h"
#include "xfile/mesh_writer.h"
#include "xfile/names.h"
#include "xfile/non_finite_report.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

// Command 227's container entry that switches its optimisation on.
constexpr int32_t kOptimizeEntry = 2079;
// copyObject's flags: a plain copy.
constexpr int32_t kPlainCopy = 0;

KrvCommandData clearedCommand() {
    KrvCommandData command{};
    command.flags = 1;
    return command;
}

bool isExportedType(KrvObject object) {
    return isInstance(object, KRV_TYPE_POLYGON) || isInstance(object, KRV_TYPE_NULL) ||
           isInstance(object, KRV_TYPE_BONE);
}

bool isGenerator(KrvObject object) {
    return isInstance(object, KRV_TYPE_CUBE) || isInstance(object, KRV_TYPE_PLANE) ||
           isInstance(object, KRV_TYPE_SPHERE);
}

bool hasFrame(KrvObject object) {
    return exportSettings.exportFrames && (exportSettings.exportBones || !isInstance(object, KRV_TYPE_BONE));
}

// Has the host turn a non-polygon object into a polygon object (command 230 on a copy
// of it). The new object, which the caller releases, or null when the host cannot.
KrvObject convertToPolygons(KrvObject object, KrvCommandData& command, XTextWriter& writer) {
    KrvObject copy = copyObject(object, kPlainCopy);
    command.document = exportSettings.document;
    command.object = copy;
    command.settings = nullptr;
    // The command consumes the copy when it yields an object.
    if (copy && sendModellingCommand(KRV_COMMAND_MAKE_EDITABLE, &command) && command.result &&
        command.result->count > 0 && command.result->items[0]) {
        return command.result->items[0];
    }
    releaseObject(copy);
    // Objects the host cannot convert are not part of the file; a generator is, and
    // losing it to refused memory leaves the file short.
    if (isGenerator(object)) writer.markIncomplete();
    return nullptr;
}

// Leaves every polygon as the triangle of its first three points, as mesh building reads it.
void triangulate(KrvObject object) {
    SettingsContainer optimize;
    optimize.writeInt(kOptimizeEntry, 1);
    KrvCommandData command = clearedCommand();
    command.object = object;
    command.settings = optimize.get();
    sendModellingCommand(KRV_COMMAND_OPTIMIZE, &command);
    releaseCommandResult(command.result);
    command.settings = nullptr;
    sendModellingCommand(KRV_COMMAND_TRIANGULATE, &command);
    releaseCommandResult(command.result);
}

// True when every polygon names points the object has: a mesh that came out empty
// from such polygons was lost to refused memory, not dropped for bad input.
bool polygonsInRange(KrvObject object) {
    int32_t pointCount = 0;
    int32_t polygonCount = 0;
    objectPoints(object, &pointCount);
    const KrvPolygon* polygons = objectPolygons(object, &polygonCount);
    return polygons && polygonCount > 0 && firstPolygonOutOfRange(polygons, polygonCount, pointCount) < 0;
}

// Converts and writes the mesh of a polygon object with its skin; the Mesh block is
// closed here.
void exportMesh(KrvObject object, XTextWriter& writer, SkinData& skin) {
    triangulate(object);
    ExportMesh mesh{};
    buildExportMesh(mesh, object);
    if (!hasMeshBlock(mesh.vertexCount, mesh.indexCount) && polygonsInRange(object)) writer.markIncomplete();

    // With frames the vertices stay in the object's coordinates and the frame places
    // them; without, each mesh is placed in the world on its own.
    Matrix placement;
    const Matrix* matrix = nullptr;
    if (!exportSettings.exportFrames) {
        placement = globalMatrix(object);
        matrix = &placement;
    }
    const MeshArrays arrays = takeMeshArrays(mesh, matrix);
    ExportVertex* vertices = arrays.vertices;
    int32_t* indices = arrays.indices;
    const int32_t vertexCount = arrays.vertexCount;
    const int32_t indexCount = arrays.indexCount;

    listVertices(vertices, vertexCount);
    writeMesh(writer, object, vertices, vertexCount, indices, indexCount, 0);
    // The skin blocks stand inside the Mesh block, before its closing brace.
    writeMeshSkin(skin, object, vertices, vertexCount, indices, indexCount, writer);
    if (hasMeshBlock(vertexCount, indexCount)) writer.writeText("}\r\n");

    hostFree(vertices);
    hostFree(indices);
}

// One object with its subtree.
void exportObject(KrvObject object, XTextWriter& writer, SkinData& skin) {
    if (exportSettings.uniqueNames) appendUniqueNumber(object);

    KrvCommandData command = clearedCommand();
    KrvObject converted = nullptr;
    // Only objects the walk would skip are offered for conversion: the host's copy of a
    // null or bone takes its whole subtree along, which in a deep tree costs time
    // quadratic in its depth, and the host turns neither into polygons.
    if (!isExportedType(object)) converted = convertToPolygons(object, command, writer);
    const KrvObject current = converted ? converted : object;

    if (isExportedType(current)) {
        const bool frame = hasFrame(current);
        if (frame) {
            writeFrameHeader(writer, current);
            writer.writeText("\r\n");
        }
        if (isInstance(current, KRV_TYPE_POLYGON)) exportMesh(current, writer, skin);
        reportNonFinite(writer, current);
        exportObjects(firstChild(current), writer, skin);
        if (frame) writer.writeText("}\r\n");
    }

    releaseObject(converted);
    releaseCommandResult(command.result);
}

}  // namespace

void exportObjects(KrvObject object, XTextWriter& writer, SkinData& skin) {
    // Once a write has failed the file is dropped: the rest of the walk would be lost work.
    for (; object && !writer.writeFailed(); object = nextObject(object)) exportObject(object, writer, skin);
}

void exportHierarchy(KrvDocument document, XTextWriter& writer) {
    SkinData skin;
    initSkinData(skin);
    // Skins are searched only where bones are exported with their frames.
    const bool skinned = exportSettings.exportBones && exportSettings.exportFrames;
    if (skinned && !beginBoneSearch(document))
        writer.markIncomplete();
    else
        exportObjects(firstObject(document), writer, skin);
    endBoneSearch();
    releaseSkinData(skin);
}

}  // namespace dorna
