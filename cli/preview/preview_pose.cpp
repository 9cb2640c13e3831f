#include "cli/preview/preview_pose.h"

#include <cmath>
#include <unordered_map>

namespace korvo::cli::preview {

using import::Affine;
using import::ModelData;
using import::ModelMesh;

void Bounds::add(const float* point) {
    for (int i = 0; i < 3; ++i) {
        if (empty || point[i] < low[i]) low[i] = point[i];
        if (empty || point[i] > high[i]) high[i] = point[i];
    }
    empty = false;
}

void addToBounds(const std::vector<float>& points, Bounds& bounds) {
    for (size_t i = 0; i + 2 < points.size(); i += 3) bounds.add(&points[i]);
}

Triangulation triangulate(const ModelData& model) {
    Triangulation t;
    size_t corners = 0;
    for (const import::ModelNode& node : model.nodes)
        for (int m : node.meshes)
            for (uint32_t size : model.meshes[m].faceSizes)
                if (size >= 3) corners += 3 * (size - 2);
    t.cornerVertex.reserve(corners);
    t.uv.reserve(2 * corners);
    for (size_t n = 0; n < model.nodes.size(); ++n) {
        for (int m : model.nodes[n].meshes) {
            const ModelMesh& mesh = model.meshes[m];
            Triangulation::Placed placed{static_cast<int>(n), m, {t.cornerVertex.size(), 0, mesh.material}};
            size_t first = 0;
            for (uint32_t size : mesh.faceSizes) {
                for (uint32_t k = 2; k < size; ++k)
                    for (uint32_t corner : {first, first + k - 1, first + k}) t.cornerVertex.push_back(mesh.corners[corner]);
                first += size;
            }
            for (size_t c = placed.range.firstCorner; c < t.cornerVertex.size(); ++c) {
                const uint32_t v = t.cornerVertex[c];
                t.uv.push_back(v < mesh.uv.size() ? mesh.uv[v][0] : 0.0f);
                t.uv.push_back(v < mesh.uv.size() ? mesh.uv[v][1] : 0.0f);
            }
            placed.range.cornerCount = t.cornerVertex.size() - placed.range.firstCorner;
            t.placed.push_back(placed);
        }
    }
    return t;
}

namespace {

// The world transform of each vertex of a skinned mesh: the weighted mean of its bones'
// world transforms times their offsets (a vertex no bone holds stays with `placing`).
std::vector<Affine> skinTransforms(const ModelMesh& mesh, const Affine& placing,
                                   const std::vector<Affine>& globals,
                                   const std::unordered_map<std::string, int>& nodeByName) {
    std::vector<Affine> blended(mesh.positions.size());
    std::vector<double> sums(mesh.positions.size(), 0.0);
    for (Affine& a : blended) {
        a.linear = {};
        a.offset = {0, 0, 0};
    }
    for (const import::ModelBone& bone : mesh.bones) {
        const auto node = nodeByName.find(bone.name);
        if (node == nodeByName.end()) continue;
        const Affine skin = import::multiply(globals[node->second], bone.offset);
        for (const import::VertexWeight& w : bone.weights) {
            if (w.vertex >= blended.size()) continue;
            Affine& a = blended[w.vertex];
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) a.linear[r][c] += w.weight * skin.linear[r][c];
                a.offset[r] += w.weight * skin.offset[r];
            }
            sums[w.vertex] += w.weight;
        }
    }
    // Weights that do not add up to one are taken in proportion, as a player does.
    for (size_t v = 0; v < blended.size(); ++v) {
        if (sums[v] <= 0) {
            blended[v] = placing;
            continue;
        }
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) blended[v].linear[r][c] /= sums[v];
            blended[v].offset[r] /= sums[v];
        }
    }
    return blended;
}

void place(const Affine& a, const Vec3& p, float* out) {
    for (int r = 0; r < 3; ++r)
        out[r] = static_cast<float>(a.linear[r][0] * p[0] + a.linear[r][1] * p[1] + a.linear[r][2] * p[2] + a.offset[r]);
}

// The linear part keeps a normal on its side of the surface; only its length is lost.
void turn(const Affine& a, const Vec3& n, float* out) {
    double v[3];
    for (int r = 0; r < 3; ++r) v[r] = a.linear[r][0] * n[0] + a.linear[r][1] * n[1] + a.linear[r][2] * n[2];
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int r = 0; r < 3; ++r) out[r] = length > 0 ? static_cast<float>(v[r] / length) : 0.0f;
}

void normalize(float* v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0)
        for (int i = 0; i < 3; ++i) v[i] /= length;
}

// The normal of the triangle's winding (counter-clockwise seen from its front).
void windingNormal(const float* a, const float* b, const float* c, float* out) {
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    out[0] = u[1] * v[2] - u[2] * v[1];
    out[1] = u[2] * v[0] - u[0] * v[2];
    out[2] = u[0] * v[1] - u[1] * v[0];
    normalize(out);
}

std::unordered_map<std::string, int> nodesByName(const ModelData& model) {
    std::unordered_map<std::string, int> byName;
    for (int n = static_cast<int>(model.nodes.size()) - 1; n >= 0; --n) byName[model.nodes[n].name] = n;
    return byName;
}

}  // namespace

std::vector<bool> boneNodes(const ModelData& model) {
    const std::unordered_map<std::string, int> byName = nodesByName(model);
    std::vector<bool> bones(model.nodes.size(), false);
    for (const ModelMesh& mesh : model.meshes)
        for (const import::ModelBone& bone : mesh.bones)
            if (const auto node = byName.find(bone.name); node != byName.end()) bones[node->second] = true;
    return bones;
}

void poseCorners(const ModelData& model, const Triangulation& triangulation, const std::vector<Affine>& globals,
                 PosedCorners& out) {
    const size_t corners = triangulation.cornerVertex.size();
    out.positions.resize(3 * corners);
    out.normals.resize(3 * corners);
    out.faceNormals.resize(3 * corners);
    std::unordered_map<std::string, int> byName;
    for (const Triangulation::Placed& placed : triangulation.placed) {
        const ModelMesh& mesh = model.meshes[placed.mesh];
        const Affine& placing = globals[placed.node];
        std::vector<Affine> skin;
        if (!mesh.bones.empty()) {
            if (byName.empty()) byName = nodesByName(model);
            skin = skinTransforms(mesh, placing, globals, byName);
        }
        const bool fileNormals = mesh.normals.size() == mesh.positions.size();
        const size_t end = placed.range.firstCorner + placed.range.cornerCount;
        for (size_t c = placed.range.firstCorner; c < end; ++c) {
            const uint32_t v = triangulation.cornerVertex[c];
            const Affine& a = skin.empty() ? placing : skin[v];
            place(a, import::shortestDouble(mesh.positions[v]), &out.positions[3 * c]);
            if (fileNormals) turn(a, {mesh.normals[v][0], mesh.normals[v][1], mesh.normals[v][2]}, &out.normals[3 * c]);
        }
        for (size_t c = placed.range.firstCorner; c < end; c += 3) {
            float* face = &out.faceNormals[3 * c];
            if (fileNormals) {
                for (int i = 0; i < 3; ++i) face[i] = out.normals[3 * c + i] + out.normals[3 * c + 3 + i] + out.normals[3 * c + 6 + i];
                normalize(face);
            } else {
                windingNormal(&out.positions[3 * c], &out.positions[3 * c + 3], &out.positions[3 * c + 6], face);
                for (int k = 0; k < 3; ++k)
                    for (int i = 0; i < 3; ++i) out.normals[3 * (c + k) + i] = face[i];
            }
            for (int k = 1; k < 3; ++k)
                for (int i = 0; i < 3; ++i) face[3 * k + i] = face[i];
        }
    }
}

Skeleton poseSkeleton(const ModelData& model, const std::vector<bool>& bones, const std::vector<Affine>& globals) {
    Skeleton s;
    const auto joint = [&globals](size_t node, std::vector<float>& out) {
        for (int i = 0; i < 3; ++i) out.push_back(static_cast<float>(globals[node].offset[i]));
    };
    for (size_t n = 0; n < model.nodes.size(); ++n) {
        if (!bones[n]) continue;
        joint(n, s.joints);
        const int parent = model.nodes[n].parent;
        if (parent >= 0 && bones[parent]) {
            joint(size_t(parent), s.lines);
            joint(n, s.lines);
        }
    }
    return s;
}

}  // namespace korvo::cli::preview
