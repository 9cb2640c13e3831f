// Objects, tags and materials of the host's scene: thin wrappers over their tables.
// Every handle may be null where the host answers none.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/containers.h"
#include "host/host.h"
#include "host/library.h"

namespace dorna {

// Objects.
bool isInstance(KrvObject object, int32_t type);
KrvObject firstChild(KrvObject object);
KrvObject nextObject(KrvObject object);
KrvObject parentObject(KrvObject object);
void objectName(KrvObject object, HostString& out);
void setObjectName(KrvObject object, const HostString& name);
KrvMatrix globalMatrix(KrvObject object);
KrvVector objectPosition(KrvObject object);
KrvVector objectRotation(KrvObject object);
KrvVector objectScale(KrvObject object);
// The object's parameter container (a bone's rest entries KRV_REST_*).
void objectParameters(KrvObject object, HostContainer& out);
// A new free copy of the object, or null.
KrvObject copyObject(KrvObject object, int32_t flags);
// Releases a copy made by copyObject if present and sets the handle to null.
void releaseObject(KrvObject& object);
// The host's point and polygon data of a polygon object; null and 0 for others.
const KrvVector* objectPoints(KrvObject object, int32_t* count);
const KrvPolygon* objectPolygons(KrvObject object, int32_t* count);
// One weight per point of `polygonObject` for `bone` (a host memory block the caller
// returns with hostFree), or null.
float* boneWeights(KrvObject polygonObject, KrvObject bone);
// True when the host says the bone has weights for the object (false on hosts that cannot tell).
bool hasBoneWeights(KrvObject polygonObject, KrvObject bone);
// True when the host can tell (has_bone_weights): asking it first spares a weight array.
bool hostTellsBoneWeights();
// The bones of the object's document that weight it, in no order (a host memory block of
// *count handles the caller returns with hostFree, or null with *count 0 for none), or
// null with *count -1 when the host cannot tell (older hosts, objects outside a
// document, refused memory).
KrvObject* weightingBones(KrvObject polygonObject, int32_t* count);
// The object's first tag of `type`, or null.
KrvTag findTag(KrvObject object, int32_t type);

// Modelling commands: nonzero on success. The objects a command yields are returned
// with releaseCommandResult (null is ignored).
int32_t sendModellingCommand(int32_t command, KrvCommandData* data);
void releaseCommandResult(KrvObjectList* result);

// Tags.
int32_t readTagParameter(KrvTag tag, const ParameterId& id, ValueHolder& out, int32_t flags);
void tagParameters(KrvTag tag, HostContainer& out);
// The UV records of polygons first .. first + count - 1 into out[0 .. count - 1]: in one
// host call where the host has uv_of_polygons, else one call per polygon.
void uvOfPolygons(KrvTag tag, int32_t first, int32_t count, KrvPolygonUV* out);
// The material a texture tag refers to, or null.
KrvMaterial materialOfTag(KrvTag tag);
// The object's normal tag, or null; always null on a host without normals_of_polygons.
KrvTag findNormalTag(KrvObject object);
// The corner normals of polygons first .. first + count - 1 of a normal tag into
// out[0 .. count - 1]; 0 when the host refused them.
int32_t normalsOfPolygons(KrvTag tag, int32_t first, int32_t count, KrvPolygonNormals* out);

// Materials.
KrvChannel materialChannel(KrvMaterial material, int32_t channel);
bool channelEnabled(KrvMaterial material, int32_t channel);
// The channel's data (entry 1002: the texture file name) copied into `out`.
void channelData(KrvChannel channel, HostContainer& out);
int32_t readMaterialParameter(KrvMaterial material, const ParameterId& id, ValueHolder& out,
                              int32_t flags);

}  // namespace dorna
