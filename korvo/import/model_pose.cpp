#include "korvo/import/model_pose.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

namespace korvo::import {

namespace {

using Quaternion = std::array<double, 4>;  // w, x, y, z

Mat3 rotationOf(const Quaternion& q) {
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    return {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
             {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
             {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
}

Quaternion quaternionOf(const Mat3& m) {
    const double trace = m[0][0] + m[1][1] + m[2][2];
    Quaternion q;
    if (trace > 0) {
        const double s = 2 * std::sqrt(trace + 1);
        q = {s / 4, (m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[0][0] - m[1][1] - m[2][2]);
        q = {(m[2][1] - m[1][2]) / s, s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s};
    } else if (m[1][1] > m[2][2]) {
        const double s = 2 * std::sqrt(1 + m[1][1] - m[0][0] - m[2][2]);
        q = {(m[0][2] - m[2][0]) / s, (m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s};
    } else {
        const double s = 2 * std::sqrt(1 + m[2][2] - m[0][0] - m[1][1]);
        q = {(m[1][0] - m[0][1]) / s, (m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4};
    }
    return q;
}

Quaternion slerp(const Quaternion& a, Quaternion b, double f) {
    double cosine = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (cosine < 0) {  // the shorter way round
        cosine = -cosine;
        for (double& v : b) v = -v;
    }
    double wa = 1 - f, wb = f;
    if (cosine < 0.9999) {
        const double angle = std::acos(cosine);
        wa = std::sin((1 - f) * angle) / std::sin(angle);
        wb = std::sin(f * angle) / std::sin(angle);
    }
    Quaternion q;
    double norm = 0;
    for (int i = 0; i < 4; ++i) {
        q[i] = wa * a[i] + wb * b[i];
        norm += q[i] * q[i];
    }
    for (double& v : q) v /= std::sqrt(norm);
    return q;
}

// The index of the first key after `ticks` (keys.size() when there is none).
template <typename Key>
size_t keyAfter(const std::vector<Key>& keys, double ticks) {
    return static_cast<size_t>(
        std::upper_bound(keys.begin(), keys.end(), ticks,
                         [](double t, const Key& key) { return t < key.time; }) -
        keys.begin());
}

Vec3 sample(const std::vector<VectorKey>& keys, double ticks) {
    const size_t next = keyAfter(keys, ticks);
    if (next == 0) return keys.front().value;
    if (next == keys.size()) return keys.back().value;
    const VectorKey& a = keys[next - 1];
    const VectorKey& b = keys[next];
    const double f = (ticks - a.time) / (b.time - a.time);
    return {a.value[0] + (b.value[0] - a.value[0]) * f, a.value[1] + (b.value[1] - a.value[1]) * f,
            a.value[2] + (b.value[2] - a.value[2]) * f};
}

Quaternion sample(const std::vector<RotationKey>& keys, double ticks) {
    const size_t next = keyAfter(keys, ticks);
    if (next == 0) return keys.front().wxyz;
    if (next == keys.size()) return keys.back().wxyz;
    const RotationKey& a = keys[next - 1];
    const RotationKey& b = keys[next];
    return slerp(a.wxyz, b.wxyz, (ticks - a.time) / (b.time - a.time));
}

// Translation, rotation and scale of a stored transform, for the parts a channel leaves out.
void splitTransform(const Affine& m, Vec3& translation, Quaternion& rotation, Vec3& scale) {
    translation = m.offset;
    Mat3 unit = m.linear;
    for (int c = 0; c < 3; ++c) {
        scale[c] = std::sqrt(m.linear[0][c] * m.linear[0][c] + m.linear[1][c] * m.linear[1][c] +
                             m.linear[2][c] * m.linear[2][c]);
        if (c == 0 && determinant(m.linear) < 0) scale[c] = -scale[c];
        for (int r = 0; r < 3; ++r) unit[r][c] = scale[c] != 0 ? m.linear[r][c] / scale[c] : (r == c);
    }
    rotation = quaternionOf(unit);
}

Affine animatedTransform(const ModelNode& node, const ModelChannel& channel, double ticks) {
    Vec3 translation, scale;
    Quaternion rotation;
    splitTransform(node.transform, translation, rotation, scale);
    if (!channel.position.empty()) translation = sample(channel.position, ticks);
    if (!channel.rotation.empty()) rotation = sample(channel.rotation, ticks);
    if (!channel.scale.empty()) scale = sample(channel.scale, ticks);
    Affine m;
    const Mat3 r = rotationOf(rotation);
    for (int row = 0; row < 3; ++row)
        for (int c = 0; c < 3; ++c) m.linear[row][c] = r[row][c] * scale[c];
    m.offset = translation;
    return m;
}

}  // namespace

std::vector<Affine> nodeGlobals(const ModelData& model, const ModelAnimation* animation, double ticks) {
    std::vector<Affine> local(model.nodes.size());
    for (size_t n = 0; n < model.nodes.size(); ++n) local[n] = model.nodes[n].transform;
    if (animation) {
        for (const ModelChannel& channel : animation->channels)
            if (channel.node >= 0)
                local[channel.node] = animatedTransform(model.nodes[channel.node], channel, ticks);
    }
    std::vector<Affine> global(model.nodes.size());
    for (size_t n = 0; n < model.nodes.size(); ++n) {
        const int parent = model.nodes[n].parent;
        global[n] = parent < 0 ? local[n] : multiply(global[parent], local[n]);
    }
    return global;
}

Affine nodeLocal(const ModelData& model, const ModelAnimation* animation, int node, double ticks) {
    if (animation) {
        for (size_t k = animation->channels.size(); k-- > 0;)  // the last channel wins, as above
            if (animation->channels[k].node == node)
                return animatedTransform(model.nodes[node], animation->channels[k], ticks);
    }
    return model.nodes[node].transform;
}

namespace {

// The mesh's triangles (faces of other sizes are passed over), each corner at `placed` of
// its point.
void appendTriangles(const ModelMesh& mesh, const std::vector<Vec3>& placed, std::vector<WorldTriangle>& triangles) {
    size_t first = 0;
    for (uint32_t size : mesh.faceSizes) {
        if (size == 3) {
            WorldTriangle t;
            t.hasUv = !mesh.uv.empty();
            for (int k = 0; k < 3; ++k) {
                const uint32_t v = mesh.corners[first + k];
                t.corners[k].position = placed[v];
                if (t.hasUv) t.corners[k].uv = shortestDouble(mesh.uv[v]);
            }
            triangles.push_back(t);
        }
        first += size;
    }
}

}  // namespace

std::vector<WorldTriangle> worldTriangles(const ModelData& model) {
    const std::vector<Affine> global = nodeGlobals(model, nullptr, 0);
    std::vector<WorldTriangle> triangles;
    for (size_t n = 0; n < model.nodes.size(); ++n) {
        for (int m : model.nodes[n].meshes) {
            const ModelMesh& mesh = model.meshes[m];
            std::vector<Vec3> placed(mesh.positions.size());
            for (size_t v = 0; v < placed.size(); ++v) placed[v] = transformPoint(global[n], shortestDouble(mesh.positions[v]));
            appendTriangles(mesh, placed, triangles);
        }
    }
    return triangles;
}

std::vector<WorldTriangle> skinnedTriangles(const ModelData& model, const std::vector<Affine>& globals) {
    std::unordered_map<std::string, int> nodeByName;
    for (int n = static_cast<int>(model.nodes.size()) - 1; n >= 0; --n) nodeByName[model.nodes[n].name] = n;
    std::vector<WorldTriangle> triangles;
    for (size_t n = 0; n < model.nodes.size(); ++n) {
        for (int m : model.nodes[n].meshes) {
            const ModelMesh& mesh = model.meshes[m];
            std::vector<Vec3> placed(mesh.positions.size(), Vec3{0, 0, 0});
            std::vector<double> sums(mesh.positions.size(), 0.0);
            for (const ModelBone& bone : mesh.bones) {
                const auto node = nodeByName.find(bone.name);
                if (node == nodeByName.end()) continue;
                const Affine skin = multiply(globals[node->second], bone.offset);
                for (const VertexWeight& w : bone.weights) {
                    if (w.vertex >= placed.size()) continue;
                    const Vec3 p = transformPoint(skin, shortestDouble(mesh.positions[w.vertex]));
                    for (int i = 0; i < 3; ++i) placed[w.vertex][i] += w.weight * p[i];
                    sums[w.vertex] += w.weight;
                }
            }
            for (size_t v = 0; v < placed.size(); ++v) {
                if (sums[v] > 0) {
                    for (double& x : placed[v]) x /= sums[v];
                } else {
                    placed[v] = transformPoint(globals[n], shortestDouble(mesh.positions[v]));
                }
            }
            appendTriangles(mesh, placed, triangles);
        }
    }
    return triangles;
}

double boundingSize(const std::vector<WorldTriangle>& triangles) {
    if (triangles.empty()) return 0;
    Vec3 low = triangles[0].corners[0].position, high = low;
    for (const WorldTriangle& t : triangles)
        for (const WorldCorner& c : t.corners)
            for (int i = 0; i < 3; ++i) {
                low[i] = std::min(low[i], c.position[i]);
                high[i] = std::max(high[i], c.position[i]);
            }
    return std::sqrt((high[0] - low[0]) * (high[0] - low[0]) + (high[1] - low[1]) * (high[1] - low[1]) +
                     (high[2] - low[2]) * (high[2] - low[2]));
}

std::vector<double> weightSums(const ModelMesh& mesh) {
    std::vector<double> sums(mesh.positions.size(), 0.0);
    for (const ModelBone& bone : mesh.bones)
        for (const VertexWeight& w : bone.weights)
            if (w.vertex < sums.size()) sums[w.vertex] += w.weight;
    return sums;
}

}  // namespace korvo::import
