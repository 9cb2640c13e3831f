#include "korvo/import/model_report.h"

#include <algorithm>
#include <cstdio>

namespace korvo::import {

namespace {

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v == 0 ? 0.0 : v);  // no "-0"
    return text;
}

std::string color(const Vec3& c) { return number(c[0]) + " " + number(c[1]) + " " + number(c[2]); }

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// Past this nesting a line is no longer indented further but says its depth: the text
// of a deep model would otherwise grow with the square of its depth.
constexpr int kMaxIndentedDepth = 50;

// Depth first with a stack of its own: a model may nest its nodes many thousands deep.
void describeNodes(const ModelData& model, std::string& out) {
    std::vector<std::pair<int, int>> pending{{0, 0}};  // node, depth
    while (!pending.empty()) {
        const auto [index, depth] = pending.back();
        pending.pop_back();
        const ModelNode& node = model.nodes[index];
        out += std::string(2 * std::min(depth, kMaxIndentedDepth) + 2, ' ');
        if (depth > kMaxIndentedDepth) out += "(depth " + std::to_string(depth) + ") ";
        out += quoted(node.name);
        for (int m : node.meshes) out += " mesh " + std::to_string(m);
        out += "\n";
        for (size_t k = node.children.size(); k-- > 0;) pending.emplace_back(node.children[k], depth + 1);
    }
}

void describeMesh(const ModelData& model, size_t index, std::string& out) {
    const ModelMesh& mesh = model.meshes[index];
    size_t triangles = 0, other = 0;
    for (uint32_t size : mesh.faceSizes) (size == 3 ? triangles : other) += 1;
    out += "  mesh " + std::to_string(index) + " " + quoted(mesh.name) + ": " +
           std::to_string(mesh.positions.size()) + " vertices, " + std::to_string(mesh.faceSizes.size()) +
           " faces (" + std::to_string(triangles) + " triangles), material " +
           std::to_string(mesh.material) + (mesh.uv.empty() ? ", no uv" : ", uv") + "\n";
    for (const ModelBone& bone : mesh.bones)
        out += "    bone " + quoted(bone.name) + ": " + std::to_string(bone.weights.size()) + " weights\n";
}

void describeMaterial(const ModelMaterial& material, size_t index, std::string& out) {
    out += "  material " + std::to_string(index) + " " + quoted(material.name) + "\n";
    if (material.diffuse) out += "    diffuse " + color(*material.diffuse) + "\n";
    if (material.specular) out += "    specular " + color(*material.specular) + "\n";
    if (material.emissive) out += "    emissive " + color(*material.emissive) + "\n";
    if (material.opacity) out += "    opacity " + number(*material.opacity) + "\n";
    for (const ModelTexture& texture : material.textures)
        out += "    texture " + texture.kind + " " + quoted(texture.path) + "\n";
}

void describeAnimation(const ModelAnimation& animation, std::string& out) {
    out += "  animation " + quoted(animation.name) + ": " + number(animation.duration) + " ticks at " +
           number(animation.ticksPerSecond) + " ticks per second";
    if (animation.ticksPerSecond > 0) out += " (" + number(animation.duration / animation.ticksPerSecond) + " s)";
    out += ", " +
           std::to_string(animation.channels.size()) + " channels\n";
    for (const ModelChannel& channel : animation.channels)
        out += "    " + quoted(channel.nodeName) + ": " + std::to_string(channel.position.size()) +
               " position, " + std::to_string(channel.rotation.size()) + " rotation, " +
               std::to_string(channel.scale.size()) + " scale keys\n";
}

}  // namespace

std::string describeModel(const ModelData& model) {
    std::string out = "frames: " + std::to_string(model.nodes.size()) + "\n";
    if (!model.nodes.empty()) describeNodes(model, out);
    out += "meshes: " + std::to_string(model.meshes.size()) + "\n";
    for (size_t m = 0; m < model.meshes.size(); ++m) describeMesh(model, m, out);
    out += "materials: " + std::to_string(model.materials.size()) + "\n";
    for (size_t m = 0; m < model.materials.size(); ++m) describeMaterial(model.materials[m], m, out);
    out += "animations: " + std::to_string(model.animations.size()) + "\n";
    for (const ModelAnimation& animation : model.animations) describeAnimation(animation, out);
    return out;
}

}  // namespace korvo::import
