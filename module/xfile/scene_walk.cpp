#include "xfile/scene_walk.h"

#include "host/containers.h"
#include "host/document.h"
#include "host/host.h"
#include "host/object_walk.h"
#include "host/objects.h"
#include "mesh/debug_listing.h"
#include "mesh/export_mesh.h"
#include "settings/export_settings.h"
#include "skin/bone_search.h"
#include "skin/placement.h"
#include "skin/skin_weights.h"
#include "xfile/export_context.h"
#include "xfile/frame_writer.h"
#include "xfile/mesh_writer.h"
#include "xfile/names.h"
#include "xfile/non_finite_report.h"
#include "xfile/skin_writer.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

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

bool hasFrame(const ExportSettings& settings, KrvObject object) {
    return settings.exportFrames && (settings.exportBones || !isInstance(object, KRV_TYPE_BONE));
}

// Has the host turn a non-polygon object into a polygon object (command 230 on a copy
// of it). The new object, which the caller releases, or null when the host cannot.
KrvObject convertToPolygons(ExportContext& context, KrvObject object, KrvCommandData& command) {
    KrvObject copy = copyObject(object, kPlainCopy);
    command.document = context.document;
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
    if (isGenerator(object)) context.status.fail(ExportFailure::StorageRefused);
    return nullptr;
}

// Leaves every polygon as the triangle of its first three points, as mesh building reads it.
void triangulate(KrvObject object) {
    HostContainer optimize;
    optimize.writeInt(KRV_OPTIMIZE_ENTRY, 1);
    KrvCommandData command = clearedCommand();
    command.object = object;
    command.settings = optimize.get();
    sendModellingCommand(KRV_COMMAND_OPTIMIZE, &command);
    releaseCommandResult(command.result);
    command.settings = nullptr;
    sendModellingCommand(KRV_COMMAND_TRIANGULATE, &command);
    releaseCommandResult(command.result);
}

// Converts and writes the mesh of a polygon object with its skin.
void exportMesh(ExportContext& context, KrvObject object, SkinData& skin) {
    triangulate(object);
    ExportMesh mesh{};
    const MeshOptions options = meshOptionsOf(context.settings);
    if (!buildExportMesh(mesh, object, options, context.status)) return;

    // With frames the vertices stay in the object's coordinates and the frame places
    // them; without, each mesh is placed in the world on its own.
    Matrix placement;
    const Matrix* matrix = nullptr;
    if (!context.settings.exportFrames) {
        placement = globalMatrix(object);
        matrix = &placement;
    }
    const MeshArrays arrays =
        finishExportMesh(mesh, matrix, context.settings.scaleScene ? &context.settings.sceneScale : nullptr);
    if (options.debugListing) listVertices(arrays.vertices, arrays.vertexCount);
    writeMesh(context, object, arrays, skin);
}

// What the walk undoes as it leaves an object: the frame it opened, and the polygon
// object a generator became with the host's answer that carried it.
struct OpenObject {
    bool frame;
    KrvObject converted;
    KrvObjectList* result;
};

// The scene walk's visits: an object's frame, mesh and skin as it enters the object,
// the frame's end as it leaves. Once the file cannot be kept, the rest of the walk
// would be lost work.
struct SceneVisit {
    ExportContext& context;
    SkinData& skin;

    bool goesOn() const { return context.status.ok(); }

    KrvObject enter(KrvObject object, int32_t, OpenObject& open) {
        if (context.settings.uniqueNames) appendUniqueNumber(context.names, context.uniqueNumber, object);
        KrvCommandData command = clearedCommand();
        // Only objects the walk would skip are offered for conversion: the host's copy of a
        // null or bone takes its whole subtree along, which in a deep tree costs time
        // quadratic in its depth, and the host turns neither into polygons.
        if (!isExportedType(object)) open.converted = convertToPolygons(context, object, command);
        open.result = command.result;
        const KrvObject current = open.converted ? open.converted : object;
        if (!isExportedType(current)) return nullptr;

        if (hasFrame(context.settings, current)) {
            NameText name{nullptr, 0};
            if (!claimFrameName(context.names, object, current, &name)) {
                context.status.fail(ExportFailure::StorageRefused);
                return nullptr;
            }
            context.writer.openFrame(name);
            open.frame = true;
            writeFrameTransform(context.writer, objectExportMatrix(current));
            context.writer.writeText("\r\n");
        }
        if (isInstance(current, KRV_TYPE_POLYGON)) exportMesh(context, current, skin);
        reportNonFinite(context, current);
        // The children of the object the file holds: a generator's polygon object has its own.
        return current;
    }

    void leave(KrvObject, int32_t, OpenObject& open) {
        if (open.frame) context.writer.closeFrame();
        releaseObject(open.converted);
        releaseCommandResult(open.result);
    }
};

}  // namespace

MeshOptions meshOptionsOf(const ExportSettings& settings) {
    return MeshOptions{settings.smoothingAngle, settings.readPhongAngle != 0, settings.useNormalTags != 0,
                       settings.debugListing != 0};
}

void exportHierarchy(ExportContext& context) {
    SkinData skin;
    initSkinData(skin);
    // Skins are searched only where bones are exported with their frames.
    const bool skinned = context.settings.exportBones && context.settings.exportFrames;
    if (skinned && !beginBoneSearch(context.bones, context.document))
        context.status.fail(ExportFailure::StorageRefused);
    else if (SceneVisit visit{context, skin}; !walkDepthFirst<OpenObject>(firstObject(context.document), visit))
        context.status.fail(ExportFailure::StorageRefused);
    endBoneSearch(context.bones);
    releaseSkinData(skin);
}

}  // namespace dorna
