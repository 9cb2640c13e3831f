#include "korvo/import/model_compare.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <unordered_map>

#include "korvo/import/model_reader.h"
#include "korvo/import/scene_from_model.h"

namespace korvo::import {

namespace {

struct Cell {
    int64_t x, y, z;
    bool operator==(const Cell& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct CellHash {
    size_t operator()(const Cell& c) const {
        return static_cast<size_t>(c.x * 73856093) ^ static_cast<size_t>(c.y * 19349663) ^
               static_cast<size_t>(c.z * 83492791);
    }
};

Vec3 centroid(const WorldTriangle& t) {
    Vec3 c{0, 0, 0};
    for (const WorldCorner& corner : t.corners)
        for (int i = 0; i < 3; ++i) c[i] += corner.position[i] / 3;
    return c;
}

Cell cellOf(const Vec3& p, double size) {
    return {static_cast<int64_t>(std::floor(p[0] / size)), static_cast<int64_t>(std::floor(p[1] / size)),
            static_cast<int64_t>(std::floor(p[2] / size))};
}

bool near(const Vec3& a, const Vec3& b, double tolerance) {
    return std::fabs(a[0] - b[0]) <= tolerance && std::fabs(a[1] - b[1]) <= tolerance &&
           std::fabs(a[2] - b[2]) <= tolerance;
}

bool matches(const WorldTriangle& e, const WorldTriangle& a, double tolerance, double uvTolerance) {
    for (int shift = 0; shift < 3; ++shift) {
        bool all = true;
        for (int k = 0; k < 3 && all; ++k) {
            const WorldCorner& ec = e.corners[k];
            const WorldCorner& ac = a.corners[(k + shift) % 3];
            all = near(ec.position, ac.position, tolerance) &&
                  (!e.hasUv || (a.hasUv && std::fabs(ec.uv[0] - ac.uv[0]) <= uvTolerance &&
                                std::fabs(ec.uv[1] - ac.uv[1]) <= uvTolerance));
        }
        if (all) return true;
    }
    return false;
}

std::string describe(const WorldTriangle& t) {
    std::ostringstream text;
    for (const WorldCorner& c : t.corners) {
        text << "(" << c.position[0] << " " << c.position[1] << " " << c.position[2];
        if (t.hasUv) text << " uv " << c.uv[0] << " " << c.uv[1];
        text << ")";
    }
    return text.str();
}

void appendUtf8AsLatin1(uint32_t code, std::string& out) {
    switch (code) {
        case 0xF6: out += "oe"; return;
        case 0xE4: out += "ae"; return;
        case 0xFC: out += "ue"; return;
        case 0xDF: out += "ss"; return;
        case 0xD6: out += "Oe"; return;
        case 0xDC: out += "Ue"; return;
        case 0xC4: out += "Ae"; return;
        case ' ': case '.': case '-': case '/': case '\\': case '^':
        // the characters of the .x grammar
        case '\t': case '\r': case '\n': case '"': case '{': case '}': case ';': case ',': case '<': case '>':
        case '(': case ')': case '[': case ']': case '#': out += '_'; return;
        default: out += code > 0xFF ? '?' : static_cast<char>(code);
    }
}

// A bone whose name matches no node has no frame to be written under.
bool boneHasNode(const ModelData& model, const ModelBone& bone) {
    for (const ModelNode& node : model.nodes)
        if (node.name == bone.name) return true;
    return false;
}

std::set<std::string> exportedBoneNames(const ModelData& model, bool rename) {
    std::set<std::string> names;
    for (const ModelMesh& mesh : model.meshes)
        for (const ModelBone& bone : mesh.bones)
            if (!bone.weights.empty() && boneHasNode(model, bone))
                names.insert(rename ? exportedName(bone.name) : bone.name);
    return names;
}

bool meshHasTriangles(const ModelMesh& mesh) {
    for (uint32_t size : mesh.faceSizes)
        if (size == 3) return true;
    return false;
}

void compareWeights(const ModelData& source, const ModelData& readBack, double tolerance,
                    std::vector<std::string>& differences) {
    bool sourceHasUnweighted = false;
    for (const ModelMesh& mesh : source.meshes) {
        if (mesh.bones.empty() || !meshHasTriangles(mesh)) continue;
        ModelMesh kept = mesh;
        kept.bones.clear();
        for (const ModelBone& bone : mesh.bones)
            if (boneHasNode(source, bone)) kept.bones.push_back(bone);
        for (double sum : weightSums(kept)) sourceHasUnweighted |= sum == 0;
    }
    for (const ModelMesh& mesh : readBack.meshes) {
        if (mesh.bones.empty()) continue;
        const std::vector<double> sums = weightSums(mesh);
        for (size_t v = 0; v < sums.size(); ++v) {
            if ((sums[v] == 0 && sourceHasUnweighted) || std::fabs(sums[v] - 1) <= tolerance) continue;
            differences.push_back("mesh \"" + mesh.name + "\": the weights of vertex " + std::to_string(v) +
                                  " add up to " + std::to_string(sums[v]));
            return;
        }
    }
}

int nodeNamed(const ModelData& model, const std::string& name) {
    for (size_t n = 0; n < model.nodes.size(); ++n)
        if (model.nodes[n].name == name) return static_cast<int>(n);
    return -1;
}

void compareAnimation(const ModelData& source, const ModelData& readBack, int32_t fps, double offsetTolerance,
                      const RoundTripOptions& options, std::vector<std::string>& differences) {
    if (source.animations.empty()) return;
    const ModelAnimation& animation = source.animations[0];
    const double ticksPerSecond = animation.ticksPerSecond > 0 ? animation.ticksPerSecond : 25;
    const long keyCount = std::lround(animation.duration / ticksPerSecond * fps) + 1;  // every key is written
    if (readBack.animations.empty()) {
        differences.push_back("the written file holds no animation");
        return;
    }
    const ModelAnimation& written = readBack.animations[0];
    std::vector<long> frames;
    for (int s = 0; s < options.animationSamples; ++s)
        frames.push_back(options.animationSamples > 1 ? s * (keyCount - 1) / (options.animationSamples - 1) : 0);
    for (long frame : frames) {
        const std::vector<Affine> expected = nodeGlobals(source, &animation, frame * ticksPerSecond / fps);
        const std::vector<Affine> actual =
            nodeGlobals(readBack, &written, static_cast<double>(frame * options.ticksPerFrame));
        for (const ModelChannel& channel : animation.channels) {
            if (channel.node < 0) continue;
            const int other = nodeNamed(readBack, exportedName(channel.nodeName));
            if (other < 0) {
                differences.push_back("animated node \"" + channel.nodeName + "\" is missing in the written file");
                return;
            }
            const Affine& e = expected[channel.node];
            const Affine& a = actual[other];
            double axes = 0, offset = 0;
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) axes = std::max(axes, std::fabs(e.linear[r][c] - a.linear[r][c]));
                offset = std::max(offset, std::fabs(e.offset[r] - a.offset[r]));
            }
            if (axes > options.axisTolerance || offset > offsetTolerance) {
                differences.push_back("node \"" + channel.nodeName + "\" at frame " + std::to_string(frame) +
                                      " is placed differently (axes off by " + std::to_string(axes) +
                                      ", offset by " + std::to_string(offset) + ")");
                return;
            }
        }
        // Skinned vertices follow their bones as in the source.
        const std::vector<std::string> skinned = compareTriangles(skinnedTriangles(source, expected),
                                                                  skinnedTriangles(readBack, actual), offsetTolerance,
                                                                  options.uvTolerance);
        if (!skinned.empty()) {
            differences.push_back("at frame " + std::to_string(frame) + ": " + skinned.back());
            return;
        }
    }
}

std::string shellQuoted(const std::string& s) {
    std::string quoted = "'";
    for (char c : s) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::vector<std::string> compareTriangles(const std::vector<WorldTriangle>& expected,
                                          const std::vector<WorldTriangle>& actual, double tolerance,
                                          double uvTolerance) {
    std::vector<std::string> differences;
    if (expected.size() != actual.size())
        differences.push_back(std::to_string(expected.size()) + " triangles expected, " +
                              std::to_string(actual.size()) + " found");
    // Matching centroids lie within the tolerance of each other, so a partner is in the
    // same cell or a neighbouring one.
    const double cell = std::max(4 * tolerance, 1e-12);
    std::unordered_map<Cell, std::vector<size_t>, CellHash> byCell;
    for (size_t i = 0; i < actual.size(); ++i) byCell[cellOf(centroid(actual[i]), cell)].push_back(i);
    std::vector<bool> used(actual.size(), false);
    size_t unmatched = 0;
    for (const WorldTriangle& e : expected) {
        const Cell home = cellOf(centroid(e), cell);
        bool found = false;
        for (int dx = -1; dx <= 1 && !found; ++dx)
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dz = -1; dz <= 1 && !found; ++dz) {
                    const auto bucket = byCell.find({home.x + dx, home.y + dy, home.z + dz});
                    if (bucket == byCell.end()) continue;
                    for (size_t i : bucket->second) {
                        if (used[i] || !matches(e, actual[i], tolerance, uvTolerance)) continue;
                        used[i] = found = true;
                        break;
                    }
                }
        if (!found && unmatched++ == 0) differences.push_back("no partner for the triangle " + describe(e));
    }
    if (unmatched > 1) differences.push_back(std::to_string(unmatched) + " triangles without a partner");
    return differences;
}

std::string exportedName(const std::string& utf8Name) {
    std::string out;
    for (size_t i = 0; i < utf8Name.size();) {
        const auto byte = static_cast<unsigned char>(utf8Name[i]);
        const int length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        uint32_t code = length == 1 ? byte : byte & (0x7F >> length);
        for (int k = 1; k < length && i + k < utf8Name.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8Name[i + k]) & 0x3F);
        appendUtf8AsLatin1(code, out);
        i += length;
    }
    return out.empty() ? "_" : out;
}

std::vector<std::string> compareRoundTrip(const ModelData& source, const ModelData& readBack, int32_t fps,
                                          const RoundTripOptions& options) {
    // As a player shows the model at rest: skinned meshes deformed by their bones.
    const std::vector<WorldTriangle> expected = skinnedTriangles(source, nodeGlobals(source, nullptr, 0));
    const double size = boundingSize(expected);
    const double tolerance = options.positionTolerance * std::max(size, 1e-12);
    std::vector<std::string> differences = compareTriangles(
        expected, skinnedTriangles(readBack, nodeGlobals(readBack, nullptr, 0)), tolerance, options.uvTolerance);

    const std::set<std::string> bones = exportedBoneNames(source, true);
    const std::set<std::string> writtenBones = exportedBoneNames(readBack, false);
    if (bones != writtenBones) {
        std::string text = "bone names differ: expected";
        for (const std::string& name : bones) text += " \"" + name + "\"";
        text += ", found";
        for (const std::string& name : writtenBones) text += " \"" + name + "\"";
        differences.push_back(text);
    }
    compareWeights(source, readBack, options.weightTolerance, differences);
    compareAnimation(source, readBack, fps, tolerance, options, differences);
    return differences;
}

std::vector<std::string> roundTripModel(const std::string& korvoCommand, const std::string& model,
                                        const std::string& outX, const RoundTripOptions& options) {
    ModelData source, readBack;
    std::string error;
    if (!readModel(model, ReadMode::Triangles, source, error)) return {model + ": " + error};
    const std::string log = outX + ".log";
    const std::string command = shellQuoted(korvoCommand) + " export " + shellQuoted(model) + " -o " +
                                shellQuoted(outX) + (source.animations.empty() ? "" : " --animation --no-only-bones") +
                                " --no-unique-names 2>" + shellQuoted(log);
    if (std::system(command.c_str()) != 0) {
        std::ifstream messages(log);
        std::stringstream text;
        text << messages.rdbuf();
        return {"the export failed: " + text.str()};
    }
    if (!readModel(outX, ReadMode::Triangles, readBack, error)) return {outX + ": " + error};
    return compareRoundTrip(source, readBack, sceneFrameRate(source), options);
}

}  // namespace korvo::import
