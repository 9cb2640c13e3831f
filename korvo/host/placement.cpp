#include "korvo/host/placement.h"

#include <algorithm>
#include <cmath>

namespace korvo {

namespace {

KrvVector add(KrvVector a, KrvVector b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
KrvVector times(KrvVector a, float f) { return {a.x * f, a.y * f, a.z * f}; }

// The module's builders: rotationX(a) has the axes (1,0,0), (0,cos,-sin), (0,sin,cos).
KrvMatrix rotationX(float a) {
    const float c = std::cos(a), s = std::sin(a);
    return {{0, 0, 0}, {1, 0, 0}, {0, c, -s}, {0, s, c}};
}
KrvMatrix rotationY(float a) {
    const float c = std::cos(a), s = std::sin(a);
    return {{0, 0, 0}, {c, 0, s}, {0, 1, 0}, {-s, 0, c}};
}
KrvMatrix rotationZ(float a) {
    const float c = std::cos(a), s = std::sin(a);
    return {{0, 0, 0}, {c, -s, 0}, {s, c, 0}, {0, 0, 1}};
}

}  // namespace

KrvMatrix mulMatrix(const KrvMatrix& a, const KrvMatrix& b) {
    auto apply = [&a](KrvVector v) {
        return add(add(times(a.axis1, v.x), times(a.axis2, v.y)), times(a.axis3, v.z));
    };
    return {add(a.offset, apply(b.offset)), apply(b.axis1), apply(b.axis2), apply(b.axis3)};
}

KrvVector transformPoint(const KrvMatrix& m, const KrvVector& p) {
    return add(m.offset, add(add(times(m.axis1, p.x), times(m.axis2, p.y)), times(m.axis3, p.z)));
}

KrvMatrix localMatrix(const KrvVector& position, const KrvVector& rotation, const KrvVector& scale) {
    const KrvMatrix s{{0, 0, 0}, {scale.x, 0, 0}, {0, scale.y, 0}, {0, 0, scale.z}};
    const KrvMatrix e = mulMatrix(
        mulMatrix(mulMatrix(rotationZ(-rotation.z), rotationX(-rotation.y)), rotationY(-rotation.x)), s);
    // Transpose the 3x3 block: the columns of the result are the rows of E.
    return {position,
            {e.axis1.x, e.axis2.x, e.axis3.x},
            {e.axis1.y, e.axis2.y, e.axis3.y},
            {e.axis1.z, e.axis2.z, e.axis3.z}};
}

Vec3 interpolateKeys(const std::vector<Key>& keys, double frame) {
    if (frame <= keys.front().frame) return keys.front().value;
    if (frame >= keys.back().frame) return keys.back().value;
    const auto after = std::upper_bound(keys.begin(), keys.end(), frame,
                                        [](double f, const Key& k) { return f < k.frame; });
    const Key& b = *after;
    const Key& a = *(after - 1);
    const double span = b.frame - a.frame;
    const double t = span > 0 ? (frame - a.frame) / span : 1.0;
    Vec3 v;
    for (int i = 0; i < 3; ++i) v[i] = a.value[i] + (b.value[i] - a.value[i]) * t;
    return v;
}

}  // namespace korvo
