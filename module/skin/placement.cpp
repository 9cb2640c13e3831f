#include "skin/placement.h"

#include <cmath>

#include "host/containers.h"
#include "host/host.h"
#include "host/objects.h"

namespace dorna {

namespace {

// The text users of the exporter know, misspelling included.
constexpr char kChainTooLong[] = "To many parent objects!";

// The rest chain of a bone, multiplied in the file's convention: X[0] from the bone,
// then one matrix per bone ancestor. `invertible` is the same chain with every zero
// scale factor taken as 1.
struct RestChain {
    Matrix rest;
    Matrix invertible;
};

Matrix chainProduct(const Matrix* chain, int32_t count) {
    Matrix product = identityMatrix();
    for (int32_t i = count - 1; i >= 0; --i) product = mulFileMatrix(chain[i], product);
    return product;
}

float nonZero(float factor) { return factor == 0.0f ? 1.0f : factor; }

RestChain restChainOf(KrvObject bone) {
    constexpr Vector kZero = {0.0f, 0.0f, 0.0f};
    Matrix rest[kMaxRestChain + 1];
    Matrix invertible[kMaxRestChain + 1];
    int32_t n = 0;
    for (KrvObject o = bone; o; o = parentObject(o)) {
        if (!isInstance(o, KRV_TYPE_BONE)) continue;
        HostContainer parameters;
        objectParameters(o, parameters);
        const Vector position = parameters.readVector(KRV_REST_POSITION, kZero);
        const Vector rotation = parameters.readVector(KRV_REST_ROTATION, kZero);
        const Vector scale = parameters.readVector(KRV_REST_SCALE, kZero);
        rest[n] = composeExportMatrix(position, rotation, scale);
        invertible[n] = composeExportMatrix(position, rotation,
                                            Vector{nonZero(scale.x), nonZero(scale.y), nonZero(scale.z)});
        ++n;
        if (n == kMaxRestChain + 1) {
            reportMessage(kChainTooLong);
            return RestChain{rest[0], invertible[0]};
        }
    }
    return RestChain{chainProduct(rest, n), chainProduct(invertible, n)};
}

Matrix inverseOf(const Matrix& matrix) {
    Matrix4x4 record;
    setIdentity(record);
    fromMatrix(record, matrix);
    return toMatrix(inverted(record));
}

bool isFinite(const Matrix& m) {
    const float values[12] = {m.offset.x, m.offset.y, m.offset.z, m.axis1.x, m.axis1.y, m.axis1.z,
                              m.axis2.x,  m.axis2.y,  m.axis2.z,  m.axis3.x, m.axis3.y, m.axis3.z};
    for (float value : values)
        if (!std::isfinite(value)) return false;
    return true;
}

}  // namespace

Matrix objectExportMatrix(KrvObject object) {
    return composeExportMatrix(objectPosition(object), objectRotation(object), objectScale(object));
}

Matrix boneOffsetMatrix(KrvObject bone) {
    const RestChain chain = restChainOf(bone);
    Matrix offset = inverseOf(chain.rest);
    if (isFinite(offset)) return offset;
    offset = inverseOf(chain.invertible);
    // Scale factors too small for a finite inverse leave nothing sensible to invert.
    return isFinite(offset) ? offset : identityMatrix();
}

}  // namespace dorna
