// Mesh building from a host object, and the arrays the writers take of its result.
#include "mesh/export_mesh.h"

#include <cmath>
#include <utility>

#include "host/containers.h"
#include "host/host.h"
#include "host/library.h"
#include "host/objects.h"
#include "mesh/debug_listing.h"

namespace dorna {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
constexpr double kPi = 3.141592653589793;

// UV and normal records are read from the host this many at a time.
constexpr int32_t kRecordsPerRead = 256;

float readTagReal(KrvTag tag, int32_t id) {
    const ParameterId parameter(id);
    ValueHolder value;
    readTagParameter(tag, parameter, value, 0);
    return value.asReal();
}

TextureTransform textureTransform(KrvObject object) {
    const KrvTag tag = findTag(object, KRV_TAG_TEXTURE);
    if (!tag) return kNoTextureTransform;
    return TextureTransform{readTagReal(tag, KRV_TEXTURE_OFFSET_U), readTagReal(tag, KRV_TEXTURE_OFFSET_V),
                            readTagReal(tag, KRV_TEXTURE_SCALE_U), readTagReal(tag, KRV_TEXTURE_SCALE_V)};
}

// One console line naming the object and the polygon, e.g.
// Dorna: mesh of "Arm" cannot be exported: polygon 5 uses a point beyond the object's 10 points
void reportBadPolygon(KrvObject object, int32_t polygon, int32_t pointCount) {
    HostString name;
    objectName(object, name);
    ConsoleLine("Dorna: mesh of \"")
        .add(name)
        .add("\" cannot be exported: polygon ")
        .add(polygon)
        .add(" uses a point beyond the object's ")
        .add(pointCount)
        .add(" points")
        .print();
}

}  // namespace

int32_t firstPolygonOutOfRange(const KrvPolygon* polygons, int32_t polygonCount, int32_t pointCount) {
    const auto outside = [pointCount](int32_t point) { return point < 0 || point >= pointCount; };
    for (int32_t k = 0; k < polygonCount; ++k)
        if (outside(polygons[k].a) || outside(polygons[k].b) || outside(polygons[k].c)) return k;
    return -1;
}

bool readCorners(ExportMesh& mesh, KrvObject object, const KrvPolygon* polygons, int32_t polygonCount,
                 bool tagNormals, bool keepGroups) {
    const KrvTag uvTag = findTag(object, KRV_TAG_UVW);
    const KrvTag normalTag = tagNormals ? findNormalTag(object) : nullptr;
    mesh.hasUV = uvTag != nullptr;
    CornerReading reading;
    if (!startCorners(reading, mesh, polygons, polygonCount, uvTag != nullptr, normalTag != nullptr, keepGroups,
                      uvTag ? textureTransform(object) : kNoTextureTransform))
        return false;
    KrvPolygonUV uvs[kRecordsPerRead];
    KrvPolygonNormals normals[kRecordsPerRead];
    for (int32_t first = 0; first < reading.polygonCount; first += kRecordsPerRead) {
        const int32_t count =
            reading.polygonCount - first < kRecordsPerRead ? reading.polygonCount - first : kRecordsPerRead;
        if (uvTag) uvOfPolygons(uvTag, first, count, uvs);
        // A range the tag does not cover comes back zero: those corners take their face normals.
        if (normalTag) normalsOfPolygons(normalTag, first, count, normals);
        if (!addCorners(reading, uvTag ? uvs : nullptr, normalTag ? normals : nullptr, first, count)) return false;
    }
    return finishCorners(reading);
}

float smoothingLimit(KrvObject object, const MeshOptions& options) {
    const double angle = double(options.smoothingAngle) * kRadiansPerDegree;
    float cosLimit = static_cast<float>(std::cos(angle));
    if (!options.readPhongAngle) return cosLimit;
    const KrvTag phong = findTag(object, KRV_TAG_PHONG);
    if (!phong) return cosLimit;
    HostContainer parameters;
    tagParameters(phong, parameters);
    const int32_t limitOn = parameters.readInt(KRV_PHONG_LIMIT, 0);
    const double phongAngle = parameters.has(KRV_PHONG_ANGLE) ? double(parameters.readReal(KRV_PHONG_ANGLE, 0.0f)) : angle;
    // Without the limit every corner of a point smooths with every other.
    cosLimit = static_cast<float>(std::cos(limitOn ? phongAngle : kPi));
    return cosLimit;
}

bool buildExportMesh(ExportMesh& mesh, KrvObject object, const MeshOptions& options, ExportStatus& status) {
    int32_t pointCount = 0;
    const KrvVector* points = objectPoints(object, &pointCount);
    int32_t polygonCount = 0;
    const KrvPolygon* polygons = objectPolygons(object, &polygonCount);
    if (!polygons || polygonCount < 0) polygonCount = 0;
    const auto refused = [&] {
        releaseExportMesh(mesh);
        return status.fail(ExportFailure::StorageRefused);
    };
    if (!setMeshPoints(mesh, points, pointCount)) return refused();
    const int32_t badPolygon = firstPolygonOutOfRange(polygons, polygonCount, mesh.pointCount);
    if (badPolygon >= 0) {
        reportBadPolygon(object, badPolygon, mesh.pointCount);
        releaseExportMesh(mesh);
        return status.fail(ExportFailure::PolygonOutOfRange);
    }
    // Without points there is no polygon either (it would be out of range): nothing to build.
    if (mesh.pointCount == 0) return true;
    // With tag normals the face normals are taken only for the corners whose tag normal
    // is unusable, as they are needed.
    const bool tagNormals = options.useNormalTags && findNormalTag(object);
    if (!computeFaceNormals(mesh, polygons, polygonCount, !tagNormals) ||
        !readCorners(mesh, object, polygons, polygonCount, tagNormals, options.debugListing) ||
        (!tagNormals && !smoothNormals(mesh, smoothingLimit(object, options))))
        return refused();
    if (options.debugListing) {
        listNormals(&mesh.normalGroups, mesh.pointCount);
        listIndices(mesh.indices, mesh.indexCount);
    }
    // Without groups (see readCorners) the vertices have their normals already.
    return !mesh.normalGroups.groupStarts || splitByNormals(mesh) || refused();
}

MeshArrays finishExportMesh(ExportMesh& mesh, const Matrix* matrix, const Vector* sceneScale) {
    ExportMesh finished;
    finished.vertices = std::move(mesh.vertices);
    finished.vertexCount = finished.vertices ? mesh.vertexCount : 0;
    finished.indices = std::move(mesh.indices);
    finished.indexCount = finished.indices ? mesh.indexCount : 0;
    mesh = std::move(finished);
    placeVertices(mesh.vertices, mesh.vertexCount, matrix, sceneScale);
    return MeshArrays{mesh.vertices, mesh.vertexCount, mesh.indices, mesh.indexCount};
}

void placeVertices(ExportVertex* vertices, int32_t vertexCount, const Matrix* matrix, const Vector* sceneScale) {
    if (!matrix) return;
    // Normals turn with the object's axes but see neither its offset nor the scene scale.
    const Matrix& n = *matrix;
    const Matrix m = sceneScale ? mulMatrix(scaleMatrix(*sceneScale), *matrix) : *matrix;
    for (int32_t i = 0; i < vertexCount; ++i) {
        ExportVertex& v = vertices[i];
        const float x = v.x, y = v.y, z = v.z;
        v.x = m.offset.x + m.axis1.x * x + m.axis2.x * y + m.axis3.x * z;
        v.y = m.offset.y + m.axis1.y * x + m.axis2.y * y + m.axis3.y * z;
        v.z = m.offset.z + m.axis1.z * x + m.axis2.z * y + m.axis3.z * z;
        const float nx = v.nx, ny = v.ny, nz = v.nz;
        v.nx = n.axis1.x * nx + n.axis2.x * ny + n.axis3.x * nz;
        v.ny = n.axis1.y * nx + n.axis2.y * ny + n.axis3.y * nz;
        v.nz = n.axis1.z * nx + n.axis2.z * ny + n.axis3.z * nz;
    }
}

void releaseExportMesh(ExportMesh& mesh) { mesh = ExportMesh{}; }

}  // namespace dorna
