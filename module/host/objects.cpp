#include "host/objects.h"

namespace dorna {

bool isInstance(KrvObject object, int32_t type) { return host()->object->is_instance(object, type) != 0; }

KrvObject firstChild(KrvObject object) { return host()->object->first_child(object); }

KrvObject nextObject(KrvObject object) { return host()->object->next(object); }

KrvObject parentObject(KrvObject object) { return host()->object->parent(object); }

void objectName(KrvObject object, HostString& out) { host()->object->get_name(object, out.get()); }

void setObjectName(KrvObject object, const HostString& name) {
    host()->object->set_name(object, name.get());
}

KrvMatrix globalMatrix(KrvObject object) { return host()->object->global_matrix(object); }

KrvVector objectPosition(KrvObject object) { return host()->object->position(object); }

KrvVector objectRotation(KrvObject object) { return host()->object->rotation(object); }

KrvVector objectScale(KrvObject object) { return host()->object->scale(object); }

void objectParameters(KrvObject object, HostContainer& out) {
    host()->object->get_parameters(object, out.get());
}

KrvObject copyObject(KrvObject object, int32_t flags) { return host()->object->copy(object, flags); }

void releaseObject(KrvObject& object) {
    if (object) host()->object->release(object);
    object = nullptr;
}

const KrvVector* objectPoints(KrvObject object, int32_t* count) {
    return host()->object->points(object, count);
}

const KrvPolygon* objectPolygons(KrvObject object, int32_t* count) {
    return host()->object->polygons(object, count);
}

float* boneWeights(KrvObject polygonObject, KrvObject bone) {
    return host()->object->bone_weights(polygonObject, bone);
}

bool hasBoneWeights(KrvObject polygonObject, KrvObject bone) {
    return hostTellsBoneWeights() && host()->object->has_bone_weights(polygonObject, bone) != 0;
}

KrvObject* weightingBones(KrvObject polygonObject, int32_t* count) {
    const KrvObjectTable* objects = host()->object;
    *count = -1;
    if (!KRV_HAS_ENTRY(objects, KrvObjectTable, weighting_bones)) return nullptr;
    KrvObject* bones = objects->weighting_bones(polygonObject, count);
    if (!bones && *count > 0) *count = -1;
    return bones;
}

bool hostTellsBoneWeights() {
    const KrvObjectTable* objects = host()->object;
    return KRV_HAS_ENTRY(objects, KrvObjectTable, has_bone_weights);
}

KrvTag findTag(KrvObject object, int32_t type) { return host()->object->find_tag(object, type, 0); }

int32_t sendModellingCommand(int32_t command, KrvCommandData* data) {
    return host()->command->send(command, data);
}

void releaseCommandResult(KrvObjectList* result) {
    if (result) host()->command->free_result(result);
}

int32_t readTagParameter(KrvTag tag, const ParameterId& id, ValueHolder& out, int32_t flags) {
    return host()->tag->read_parameter(tag, id.get(), out.get(), flags);
}

void tagParameters(KrvTag tag, HostContainer& out) { host()->tag->get_parameters(tag, out.get()); }

void uvOfPolygons(KrvTag tag, int32_t first, int32_t count, KrvPolygonUV* out) {
    const KrvTagTable* tags = host()->tag;
    if (KRV_HAS_ENTRY(tags, KrvTagTable, uv_of_polygons)) {
        tags->uv_of_polygons(tag, first, count, out);
        return;
    }
    for (int32_t i = 0; i < count; ++i) out[i] = tags->uv_of_polygon(tag, first + i);
}

KrvMaterial materialOfTag(KrvTag tag) { return host()->tag->material(tag); }

KrvTag findNormalTag(KrvObject object) {
    if (!KRV_HAS_ENTRY(host()->tag, KrvTagTable, normals_of_polygons)) return nullptr;
    return findTag(object, KRV_TAG_NORMALS);
}

int32_t normalsOfPolygons(KrvTag tag, int32_t first, int32_t count, KrvPolygonNormals* out) {
    return host()->tag->normals_of_polygons(tag, first, count, out);
}

KrvChannel materialChannel(KrvMaterial material, int32_t channel) {
    return host()->material->channel(material, channel);
}

bool channelEnabled(KrvMaterial material, int32_t channel) {
    return host()->material->channel_enabled(material, channel) != 0;
}

void channelData(KrvChannel channel, HostContainer& out) {
    // A fresh container from the host is copied in, so the caller's container keeps
    // only what the channel holds now.
    HostContainer data;
    host()->material->channel_data(channel, data.get());
    out = data;
}

int32_t readMaterialParameter(KrvMaterial material, const ParameterId& id, ValueHolder& out,
                              int32_t flags) {
    return host()->material->read_parameter(material, id.get(), out.get(), flags);
}

}  // namespace dorna
