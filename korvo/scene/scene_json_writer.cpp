// The scene writer: a scene as a pretty, stable scene file (docs/scene-format.md).
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "korvo/scene/scene_json.h"
#include "korvo/scene/scene_json_text.h"

namespace korvo {
namespace {

constexpr int32_t kFormatVersion = 1;

bool isGenerator(ObjectType type) {
    return type == ObjectType::Cube || type == ObjectType::Plane || type == ObjectType::Sphere;
}

// Two spaces per level up to kMaxIndentLevel, no deeper: a thousand nested objects would
// otherwise take more room in indentation (growing with the square of the depth) than in data.
constexpr int kMaxIndentLevel = 32;

void newline(std::string& out, int level) {
    out += '\n';
    out.append(size_t(std::min(level, kMaxIndentLevel)) * 2, ' ');
}

// The members of one JSON object, one per line.
class Members {
public:
    Members(std::string& out, int level) : out_(out), level_(level) { out_ += '{'; }
    // `name` is plain ASCII; any other text goes through quotedKey.
    void key(std::string_view name) { quotedKey("\"" + std::string(name) + "\""); }
    void quotedKey(const std::string& keyText) {
        if (!first_) out_ += ',';
        first_ = false;
        newline(out_, level_ + 1);
        out_ += keyText;
        out_ += ": ";
    }
    int inner() const { return level_ + 1; }
    void close() {
        newline(out_, level_);
        out_ += '}';
    }

private:
    std::string& out_;
    int level_;
    bool first_ = true;
};

template <size_t N>
void appendVector(std::string& out, const std::array<double, N>& v) {
    out += '[';
    for (size_t i = 0; i < N; ++i) {
        if (i) out += ", ";
        appendNumber(out, v[i]);
    }
    out += ']';
}

// A list with one element per line, `writeItem(out, item, level)` writing each.
template <class T, class WriteItem>
void appendList(std::string& out, int level, const std::vector<T>& items, WriteItem writeItem) {
    if (items.empty()) {
        out += "[]";
        return;
    }
    out += '[';
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ',';
        newline(out, level + 1);
        writeItem(out, items[i], level + 1);
    }
    newline(out, level);
    out += ']';
}

void appendNumbersWrapped(std::string& out, int level, const std::vector<double>& values) {
    constexpr size_t kPerLine = 10;
    if (values.size() <= kPerLine) {
        out += '[';
        for (size_t i = 0; i < values.size(); ++i) {
            if (i) out += ", ";
            appendNumber(out, values[i]);
        }
        out += ']';
        return;
    }
    out += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) out += ',';
        if (i % kPerLine == 0) {
            newline(out, level + 1);
        } else {
            out += ' ';
        }
        appendNumber(out, values[i]);
    }
    newline(out, level);
    out += ']';
}

void appendChannel(std::string& out, const Channel& channel) {
    out += "{ \"on\": ";
    out += channel.on ? "true" : "false";
    out += ", \"value\": ";
    appendVector(out, channel.value);
    if (channel.texture) {
        out += ", \"texture\": ";
        out += jsonString(*channel.texture);
    }
    out += " }";
}

void appendMaterial(std::string& out, const Material& material, int level) {
    Members m(out, level);
    m.key("name");
    out += jsonString(material.name);
    m.key("color");
    appendChannel(out, material.color);
    m.key("luminance");
    appendChannel(out, material.luminance);
    m.key("transparency");
    appendChannel(out, material.transparency);
    m.key("specular");
    appendChannel(out, material.specular);
    m.close();
}

void appendTake(std::string& out, const Take& take, int level) {
    Members m(out, level);
    m.key("name");
    out += jsonString(take.name);
    m.key("startFrame");
    appendNumber(out, take.startFrame);
    m.key("endFrame");
    appendNumber(out, take.endFrame);
    m.close();
}

// Whether entry i of a per-corner list, if there is one, repeats corner c as corner d.
template <typename Record>
bool lastCornerRepeated(const std::optional<std::vector<Record>>& list, size_t i) {
    if (!list || i >= list->size()) return true;
    const Record& record = (*list)[i];
    return record.corners[3] == record.corners[2];
}

// A triangle (d == c) is written with three corners unless its UV or normal corner d
// differs from c, which only a four-corner entry can keep.
bool writtenAsTriangle(const SceneObject& object, size_t i) {
    const Polygon& polygon = object.polygons[i];
    if (polygon.d != polygon.c) return false;
    return lastCornerRepeated(object.uvw, i) && lastCornerRepeated(object.normals, i);
}

void appendPolygons(std::string& out, const SceneObject& object, int level) {
    if (object.polygons.empty()) {
        out += "[]";
        return;
    }
    out += '[';
    for (size_t i = 0; i < object.polygons.size(); ++i) {
        const Polygon& p = object.polygons[i];
        if (i) out += ',';
        newline(out, level + 1);
        out += '[' + std::to_string(p.a) + ", " + std::to_string(p.b) + ", " + std::to_string(p.c);
        if (!writtenAsTriangle(object, i)) out += ", " + std::to_string(p.d);
        out += ']';
    }
    newline(out, level);
    out += ']';
}

template <typename Record>
void appendCornerList(std::string& out, const SceneObject& object, const std::vector<Record>& list, int level) {
    if (list.empty()) {
        out += "[]";
        return;
    }
    out += '[';
    for (size_t i = 0; i < list.size(); ++i) {
        if (i) out += ',';
        newline(out, level + 1);
        const size_t corners = i < object.polygons.size() && writtenAsTriangle(object, i) ? 3 : 4;
        out += '[';
        for (size_t k = 0; k < corners; ++k) {
            if (k) out += ", ";
            appendVector(out, list[i].corners[k]);
        }
        out += ']';
    }
    newline(out, level);
    out += ']';
}

void appendKeys(std::string& out, const std::vector<Key>& keys, int level) {
    appendList(out, level, keys, [](std::string& o, const Key& key, int) {
        appendVector(o, std::array<double, 4>{key.frame, key.value[0], key.value[1], key.value[2]});
    });
}

void appendObject(std::string& out, const SceneObject& object, int level) {
    Members m(out, level);
    m.key("name");
    out += jsonString(object.name);
    if (object.id != object.name) {
        m.key("id");
        out += jsonString(object.id);
    }
    m.key("type");
    out += jsonString(typeName(object.type));
    m.key("position");
    appendVector(out, object.position);
    m.key("rotation");
    appendVector(out, object.rotation);
    m.key("scale");
    appendVector(out, object.scale);
    if (object.type == ObjectType::Polygon) {
        m.key("points");
        appendList(out, m.inner(), object.points, [](std::string& o, const Vec3& p, int) { appendVector(o, p); });
        m.key("polygons");
        appendPolygons(out, object, m.inner());
        if (object.uvw) {
            m.key("uvw");
            appendCornerList(out, object, *object.uvw, m.inner());
        }
        if (object.normals) {
            m.key("normals");
            appendCornerList(out, object, *object.normals, m.inner());
        }
    }
    if (object.texture) {
        m.key("texture");
        out += "{ \"material\": " + jsonString(object.texture->material) + ", \"offset\": ";
        appendVector(out, object.texture->offset);
        out += ", \"scale\": ";
        appendVector(out, object.texture->scale);
        out += " }";
    }
    if (object.phong) {
        m.key("phong");
        out += object.phong->limit ? "{ \"limit\": true" : "{ \"limit\": false";
        if (object.phong->angle) {
            out += ", \"angle\": ";
            appendNumber(out, *object.phong->angle);
        }
        out += " }";
    }
    if (object.type == ObjectType::Polygon && !object.weights.empty()) {
        m.key("weights");
        Members w(out, m.inner());
        for (const BoneWeights& weights : object.weights) {
            w.quotedKey(jsonString(weights.bone));
            appendNumbersWrapped(out, w.inner(), weights.perPoint);
        }
        w.close();
    }
    const RestPose& rest = object.rest;
    if (object.type == ObjectType::Bone && (rest.position || rest.rotation || rest.scale)) {
        m.key("rest");
        Members r(out, m.inner());
        if (rest.position) {
            r.key("position");
            appendVector(out, *rest.position);
        }
        if (rest.rotation) {
            r.key("rotation");
            appendVector(out, *rest.rotation);
        }
        if (rest.scale) {
            r.key("scale");
            appendVector(out, *rest.scale);
        }
        r.close();
    }
    const Animation& animation = object.animation;
    if (!animation.position.empty() || !animation.rotation.empty() || !animation.scale.empty()) {
        m.key("animation");
        Members a(out, m.inner());
        if (!animation.position.empty()) {
            a.key("position");
            appendKeys(out, animation.position, a.inner());
        }
        if (!animation.rotation.empty()) {
            a.key("rotation");
            appendKeys(out, animation.rotation, a.inner());
        }
        if (!animation.scale.empty()) {
            a.key("scale");
            appendKeys(out, animation.scale, a.inner());
        }
        a.close();
    }
    const GeneratorParams& generator = object.generator;
    if (object.type == ObjectType::Cube) {
        m.key("size");
        appendVector(out, generator.size);
    } else if (object.type == ObjectType::Plane) {
        m.key("size");
        appendVector(out, Vec2{generator.size[0], generator.size[2]});
    } else if (object.type == ObjectType::Sphere) {
        m.key("radius");
        appendNumber(out, generator.radius);
    }
    if (isGenerator(object.type) && generator.segments != 0) {
        m.key("segments");
        out += std::to_string(generator.segments);
    }
    if (!object.children.empty()) {
        m.key("children");
        appendList(out, m.inner(), object.children, appendObject);
    }
    m.close();
}

}  // namespace

std::string sceneToJson(const Scene& scene) {
    std::string out;
    Members m(out, 0);
    m.key("korvo");
    out += std::to_string(kFormatVersion);
    m.key("fps");
    out += std::to_string(scene.fps);
    if (scene.end) {
        // Kept as the file gave it: frames over fps, or seconds.
        if (scene.end->denominator != 1 && scene.end->denominator == scene.fps) {
            m.key("endFrame");
            appendNumber(out, scene.end->numerator);
        } else {
            m.key("endTime");
            appendNumber(out, scene.end->numerator / scene.end->denominator);
        }
    }
    m.key("time");
    appendNumber(out, scene.time.numerator / scene.time.denominator);
    m.key("materials");
    appendList(out, m.inner(), scene.materials, appendMaterial);
    m.key("objects");
    appendList(out, m.inner(), scene.objects, appendObject);
    if (!scene.takes.empty()) {
        m.key("takes");
        appendList(out, m.inner(), scene.takes, appendTake);
        m.key("currentTake");
        out += std::to_string(scene.currentTake);
    }
    m.close();
    out += '\n';
    return out;
}

}  // namespace korvo
