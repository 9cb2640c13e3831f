// Korvo scene files. The document is parsed into nlohmann's DOM through a SAX handler
// that also catches what the DOM would silently accept (duplicate keys) and knows the
// JSON path of a number that overflows. The DOM is then validated and copied into the
// scene records in one pass; paths are kept as a chain on the stack and turned into
// text only for the one message of a refused file.
#include "korvo/scene_json.h"

#include <cerrno>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include <nlohmann/json.hpp>

#include "korvo/platform.h"

namespace korvo {
namespace {

// Keeps the key order of the file, so that weights come back in the order they were given.
using Json = nlohmann::ordered_json;
using JsonType = Json::value_t;

constexpr int32_t kFormatVersion = 1;
constexpr int32_t kMaxSegments = 1000;
constexpr int32_t kMinSphereSegments = 4;

// ---------------------------------------------------------------- text helpers

std::string jsonString(std::string_view text) {
    return Json(std::string(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Shortest text that reads back to the same double.
void appendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {  // cannot be written as JSON; the loader refuses it clearly
        out += "null";
        return;
    }
    if (value == 0 && std::signbit(value)) {  // "-0" would read back as the integer 0
        out += "-0.0";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

std::string numberText(double value) {
    std::string text;
    appendNumber(text, value);
    return text;
}

std::string countOf(size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

// ---------------------------------------------------------------- JSON paths

bool isPlainKey(std::string_view key) {
    if (key.empty()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        const char c = key[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

void appendKey(std::string& path, std::string_view key) {
    if (isPlainKey(key)) {
        if (!path.empty()) path += '.';
        path += key;
    } else {
        path += '[';
        path += jsonString(key);
        path += ']';
    }
}

void appendIndex(std::string& path, size_t index) {
    path += '[';
    path += std::to_string(index);
    path += ']';
}

// A place in the document. Each step lives on the caller's stack; the chain is read only
// when a message is made, so reading a million points builds no path text.
struct Path {
    const Path* parent = nullptr;
    std::string_view key;
    size_t index = 0;
    bool isIndex = false;

    Path operator/(std::string_view childKey) const { return Path{this, childKey, 0, false}; }
    Path operator[](size_t childIndex) const { return Path{this, {}, childIndex, true}; }
};

void appendPath(std::string& out, const Path& path) {
    if (!path.parent) return;
    appendPath(out, *path.parent);
    if (path.isIndex) {
        appendIndex(out, path.index);
    } else {
        appendKey(out, path.key);
    }
}

std::string pathText(const Path& path) {
    std::string text;
    appendPath(text, path);
    return text;
}

// The one reason a file is refused.
struct BadScene {
    std::string path;  // empty: the top level
    std::string what;
};

[[noreturn]] void failAt(std::string path, std::string what) {
    throw BadScene{std::move(path), std::move(what)};
}

[[noreturn]] void fail(const Path& at, std::string what) {
    failAt(pathText(at), std::move(what));
}

std::string formatError(const std::string& fileLabel, const BadScene& bad) {
    return fileLabel + ": " + (bad.path.empty() ? "top level" : bad.path) + ": " + bad.what;
}

// ---------------------------------------------------------------- parsing

// Line and column (1-based, the column in characters) of the byte before `bytesRead`,
// where nlohmann stopped.
std::pair<size_t, size_t> lineAndColumn(const std::string& text, size_t bytesRead) {
    const size_t end = std::min(bytesRead > 0 ? bytesRead - 1 : 0, text.size());
    size_t line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    size_t column = 1;
    for (size_t i = lineStart; i < end; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++column;
    }
    return {line, column};
}

// nlohmann's message without its own prefix and position, e.g. "syntax error while
// parsing value - invalid literal; last read: 'x'".
std::string parserReason(const char* what) {
    const std::string_view text(what);
    const size_t column = text.find("column ");
    const size_t colon = column == std::string_view::npos ? column : text.find(": ", column);
    if (colon == std::string_view::npos) return std::string(text);
    return std::string(text.substr(colon + 2));
}

// Builds the DOM and tracks where in the document the parser is, to refuse duplicate keys
// (the DOM keeps only one) and to name the path of a number too large for a double.
class SceneSax {
public:
    explicit SceneSax(Json& root) : dom_(root, false) {}

    bool null() { return value(dom_.null()); }
    bool boolean(bool v) { return value(dom_.boolean(v)); }
    bool number_integer(Json::number_integer_t v) { return value(dom_.number_integer(v)); }
    bool number_unsigned(Json::number_unsigned_t v) { return value(dom_.number_unsigned(v)); }
    bool number_float(Json::number_float_t v, const Json::string_t& s) { return value(dom_.number_float(v, s)); }
    bool string(Json::string_t& v) { return value(dom_.string(v)); }
    bool binary(Json::binary_t& v) { return value(dom_.binary(v)); }

    bool start_object(std::size_t size) {
        enter(true);
        return dom_.start_object(size);
    }
    bool key(Json::string_t& name) {
        Level& level = levels_[depth_ - 1];
        for (const std::string& seen : level.keys) {
            if (seen == name) {
                bad_ = BadScene{containerPath(), "duplicate key " + jsonString(name)};
                return false;
            }
        }
        level.keys.push_back(name);
        level.key = name;
        return dom_.key(name);
    }
    bool end_object() {
        leave();
        return dom_.end_object();
    }
    bool start_array(std::size_t size) {
        enter(false);
        return dom_.start_array(size);
    }
    bool end_array() {
        leave();
        return dom_.end_array();
    }

    template <class Exception>
    bool parse_error(std::size_t bytesRead, const std::string& lastToken, const Exception& ex) {
        if (ex.id == 406) {  // number overflow: name it like any other out-of-range number
            bad_ = BadScene{positionPath(), "number " + lastToken + " is beyond the 32-bit float range"};
        } else {
            syntaxError_ = true;
            bytesRead_ = bytesRead;
            reason_ = parserReason(ex.what());
        }
        return false;
    }

    std::string message(const std::string& text, const std::string& fileLabel) const {
        if (!syntaxError_) return formatError(fileLabel, bad_);
        const auto [line, column] = lineAndColumn(text, bytesRead_);
        return fileLabel + ": line " + std::to_string(line) + ", column " + std::to_string(column) +
               ": malformed JSON: " + reason_;
    }

private:
    struct Level {
        bool isObject = false;
        size_t count = 0;               // arrays: elements finished so far
        std::string key;                // objects: the key being read
        std::vector<std::string> keys;  // objects: keys seen so far
    };

    bool value(bool accepted) {
        finishElement();
        return accepted;
    }
    void finishElement() {
        if (depth_ > 0 && !levels_[depth_ - 1].isObject) ++levels_[depth_ - 1].count;
    }
    void enter(bool isObject) {
        if (levels_.size() == depth_) levels_.emplace_back();
        Level& level = levels_[depth_++];
        level.isObject = isObject;
        level.count = 0;
        level.key.clear();
        level.keys.clear();
    }
    void leave() {
        --depth_;
        finishElement();
    }
    std::string pathOf(size_t levels) const {
        std::string path;
        for (size_t i = 0; i < levels; ++i) {
            if (levels_[i].isObject) {
                appendKey(path, levels_[i].key);
            } else {
                appendIndex(path, levels_[i].count);
            }
        }
        return path;
    }
    std::string positionPath() const { return pathOf(depth_); }
    std::string containerPath() const { return pathOf(depth_ - 1); }

    nlohmann::detail::json_sax_dom_parser<Json> dom_;
    std::vector<Level> levels_;
    size_t depth_ = 0;
    BadScene bad_;
    bool syntaxError_ = false;
    size_t bytesRead_ = 0;
    std::string reason_;
};

// ---------------------------------------------------------------- value readers

std::string describe(const Json& v) {
    switch (v.type()) {
        case JsonType::null: return "null";
        case JsonType::boolean: return v.get<bool>() ? "true" : "false";
        case JsonType::number_integer:
        case JsonType::number_unsigned:
        case JsonType::number_float: return "the number " + numberText(v.get<double>());
        case JsonType::string: return "a string";
        case JsonType::array: return "an array";
        case JsonType::object: return "an object";
        default: return "a binary value";
    }
}

void requireObject(const Json& v, const Path& at) {
    if (!v.is_object()) fail(at, "expected an object, found " + describe(v));
}

void requireArray(const Json& v, const Path& at, const char* ofWhat) {
    if (!v.is_array()) fail(at, std::string("expected an array of ") + ofWhat + ", found " + describe(v));
}

const Json* member(const Json& object, std::string_view key) {
    for (const auto& entry : object.get_ref<const Json::object_t&>()) {
        if (entry.first == key) return &entry.second;
    }
    return nullptr;
}

const Json& requiredMember(const Json& object, const Path& at, std::string_view key) {
    const Json* v = member(object, key);
    if (!v) fail(at, "missing required key " + jsonString(key));
    return *v;
}

void allowOnly(const Json& object, const Path& at, std::initializer_list<std::string_view> keys) {
    for (const auto& entry : object.get_ref<const Json::object_t&>()) {
        bool known = false;
        for (std::string_view key : keys) known = known || entry.first == key;
        if (!known) fail(at, "unknown key " + jsonString(entry.first));
    }
}

// Geometry is 32-bit float on the module's side: a larger value would become infinite.
double readReal(const Json& v, const Path& at) {
    if (!v.is_number()) fail(at, "expected a number, found " + describe(v));
    const double x = v.get<double>();
    if (!(std::fabs(x) <= FLT_MAX)) fail(at, "number " + numberText(x) + " is beyond the 32-bit float range");
    return x;
}

// Integers may also be written as whole reals (30.0).
int64_t readInteger(const Json& v, const Path& at) {
    if (v.is_number_unsigned()) {
        const uint64_t u = v.get<uint64_t>();
        return u > uint64_t(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max()
                                                                   : int64_t(u);
    }
    if (v.is_number_integer()) return v.get<int64_t>();
    if (v.is_number_float()) {
        const double x = v.get<double>();
        if (std::floor(x) == x && std::fabs(x) < 9007199254740992.0) return int64_t(x);
    }
    fail(at, "expected an integer, found " + describe(v));
}

int32_t readIntegerIn(const Json& v, const Path& at, int64_t low, int64_t high) {
    const int64_t value = readInteger(v, at);
    if (value < low || value > high) {
        fail(at, high == std::numeric_limits<int32_t>::max()
                     ? "must be " + std::to_string(low) + " or more, found " + std::to_string(value)
                     : "must be from " + std::to_string(low) + " to " + std::to_string(high) + ", found " +
                           std::to_string(value));
    }
    return int32_t(value);
}

bool readBool(const Json& v, const Path& at) {
    if (!v.is_boolean()) fail(at, "expected true or false, found " + describe(v));
    return v.get<bool>();
}

const std::string& readString(const Json& v, const Path& at) {
    if (!v.is_string()) fail(at, "expected a string, found " + describe(v));
    return v.get_ref<const std::string&>();
}

template <size_t N>
std::array<double, N> readVector(const Json& v, const Path& at) {
    if (!v.is_array()) fail(at, "expected an array of " + std::to_string(N) + " numbers, found " + describe(v));
    if (v.size() != N) fail(at, "expected " + std::to_string(N) + " numbers, found " + std::to_string(v.size()));
    std::array<double, N> out;
    for (size_t i = 0; i < N; ++i) out[i] = readReal(v[i], at[i]);
    return out;
}

double requirePositive(double x, const Path& at) {
    if (!(x > 0)) fail(at, "must be above 0, found " + numberText(x));
    return x;
}

// ---------------------------------------------------------------- object types

struct TypeName {
    ObjectType type;
    std::string_view name;
};

constexpr TypeName kTypeNames[] = {
    {ObjectType::Polygon, "polygon"}, {ObjectType::Null, "null"},     {ObjectType::Bone, "bone"},
    {ObjectType::Cube, "cube"},       {ObjectType::Plane, "plane"},   {ObjectType::Sphere, "sphere"},
    {ObjectType::Camera, "camera"},   {ObjectType::Light, "light"},
};

std::string_view typeName(ObjectType type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type) return entry.name;
    }
    return "null";
}

// Every type name starts with a consonant.
std::string withArticle(ObjectType type) { return "a " + std::string(typeName(type)); }

ObjectType readType(const Json& v, const Path& at) {
    const std::string& name = readString(v, at);
    for (const TypeName& entry : kTypeNames) {
        if (entry.name == name) return entry.type;
    }
    fail(at, "unknown object type " + jsonString(name) +
                 " (expected polygon, null, bone, cube, plane, sphere, camera or light)");
}

constexpr unsigned bit(ObjectType type) { return 1u << unsigned(type); }
constexpr unsigned kAllTypes = 0xFFu;
constexpr unsigned kGenerators = bit(ObjectType::Cube) | bit(ObjectType::Plane) | bit(ObjectType::Sphere);

// ---------------------------------------------------------------- the loader

struct IdRecord {
    std::string id;
    bool given = false;  // from "id"; otherwise the name stands in
    ObjectType type = ObjectType::Null;
    std::string path;
};

struct WeightReference {
    std::string bone;
    std::string path;
};

struct LoadState {
    std::unordered_set<std::string_view> materialNames;  // views into Scene::materials
    std::vector<IdRecord> ids;                            // every object, in document order
    std::vector<WeightReference> weightReferences;
};

Channel readChannel(const Json& v, const Path& at, bool isColor) {
    requireObject(v, at);
    allowOnly(v, at, {"on", "value", "texture"});
    Channel channel;
    if (const Json* on = member(v, "on")) channel.on = readBool(*on, at / "on");
    if (const Json* value = member(v, "value")) channel.value = readVector<3>(*value, at / "value");
    if (const Json* texture = member(v, "texture")) {
        if (!isColor) fail(at, "\"texture\" is allowed only on the color channel");
        channel.texture = readString(*texture, at / "texture");
    }
    return channel;
}

void readMaterials(const Json& list, const Path& at, LoadState& state, std::vector<Material>& out) {
    requireArray(list, at, "materials");
    out.resize(list.size());  // sized up front: the name views in `state` must stay valid
    for (size_t i = 0; i < list.size(); ++i) {
        const Path here = at[i];
        const Json& v = list[i];
        requireObject(v, here);
        allowOnly(v, here, {"name", "color", "luminance", "transparency", "specular"});
        Material& material = out[i];
        material.name = readString(requiredMember(v, here, "name"), here / "name");
        if (!state.materialNames.insert(material.name).second) {
            fail(here / "name", "duplicate material name " + jsonString(material.name));
        }
        if (const Json* c = member(v, "color")) material.color = readChannel(*c, here / "color", true);
        if (const Json* c = member(v, "luminance")) material.luminance = readChannel(*c, here / "luminance", false);
        if (const Json* c = member(v, "transparency"))
            material.transparency = readChannel(*c, here / "transparency", false);
        if (const Json* c = member(v, "specular")) material.specular = readChannel(*c, here / "specular", false);
    }
}

void readPoints(const Json& list, const Path& at, std::vector<Vec3>& out) {
    requireArray(list, at, "points");
    out.reserve(list.size());
    size_t i = 0;
    for (const Json& point : list) out.push_back(readVector<3>(point, at[i++]));
}

void readPolygons(const Json& list, const Path& at, size_t pointCount, std::vector<Polygon>& out) {
    requireArray(list, at, "polygons");
    out.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const Path here = at[i];
        const Json& v = list[i];
        if (!v.is_array()) fail(here, "expected an array of 3 or 4 point indices, found " + describe(v));
        if (v.size() < 3 || v.size() > 4) {
            fail(here, "a polygon needs 3 or 4 point indices, found " + std::to_string(v.size()));
        }
        int32_t index[4];
        for (size_t k = 0; k < v.size(); ++k) {
            const int64_t value = readInteger(v[k], here[k]);
            if (value < 0 || uint64_t(value) >= pointCount) {
                fail(here, "point index " + std::to_string(value) + " out of range (the object has " +
                               countOf(pointCount, "point", "points") + ")");
            }
            index[k] = int32_t(value);
        }
        out.push_back(Polygon{index[0], index[1], index[2], v.size() == 4 ? index[3] : index[2]});
    }
}

// One entry per polygon with as many corners as the polygon was given with.
void readUvw(const Json& list, const Path& at, const Json& polygons, std::vector<PolygonUV>& out) {
    requireArray(list, at, "per-polygon corner lists");
    if (list.size() != polygons.size()) {
        fail(at, "expected one entry per polygon (" + std::to_string(polygons.size()) + "), found " +
                     std::to_string(list.size()));
    }
    out.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const Path here = at[i];
        const Json& v = list[i];
        const size_t corners = polygons[i].size();
        requireArray(v, here, "[u, v] corners");
        if (v.size() != corners) {
            fail(here, "expected " + std::to_string(corners) + " corners like its polygon, found " +
                           std::to_string(v.size()));
        }
        PolygonUV uv;
        for (size_t k = 0; k < corners; ++k) uv.corners[k] = readVector<2>(v[k], here[k]);
        if (corners == 3) uv.corners[3] = uv.corners[2];
        out.push_back(uv);
    }
}

void readWeights(const Json& v, const Path& at, size_t pointCount, LoadState& state,
                 std::vector<BoneWeights>& out) {
    requireObject(v, at);
    const auto& entries = v.get_ref<const Json::object_t&>();
    out.reserve(entries.size());
    for (const auto& [bone, values] : entries) {
        const Path here = at / bone;
        requireArray(values, here, "weights, one per point");
        if (values.size() != pointCount) {
            fail(here, "expected one weight per point (" + std::to_string(pointCount) + "), found " +
                           std::to_string(values.size()));
        }
        BoneWeights weights;
        weights.bone = bone;
        weights.perPoint.reserve(values.size());
        for (size_t i = 0; i < values.size(); ++i) weights.perPoint.push_back(readReal(values[i], here[i]));
        out.push_back(std::move(weights));
        state.weightReferences.push_back({bone, pathText(here)});
    }
}

TextureTag readTextureTag(const Json& v, const Path& at, const LoadState& state) {
    requireObject(v, at);
    allowOnly(v, at, {"material", "offset", "scale"});
    TextureTag tag;
    tag.material = readString(requiredMember(v, at, "material"), at / "material");
    if (!state.materialNames.count(tag.material)) fail(at / "material", "unknown material " + jsonString(tag.material));
    if (const Json* offset = member(v, "offset")) tag.offset = readVector<2>(*offset, at / "offset");
    if (const Json* scale = member(v, "scale")) tag.scale = readVector<2>(*scale, at / "scale");
    return tag;
}

PhongTag readPhongTag(const Json& v, const Path& at) {
    requireObject(v, at);
    allowOnly(v, at, {"limit", "angle"});
    PhongTag tag;
    if (const Json* limit = member(v, "limit")) {
        // The host stores the entry as 0 or 1; both spellings are accepted.
        if (limit->is_boolean()) {
            tag.limit = limit->get<bool>();
        } else if (limit->is_number_integer() && (limit->get<int64_t>() == 0 || limit->get<int64_t>() == 1)) {
            tag.limit = limit->get<int64_t>() == 1;
        } else {
            fail(at / "limit", "expected true, false, 0 or 1, found " + describe(*limit));
        }
    }
    if (const Json* angle = member(v, "angle")) tag.angle = readReal(*angle, at / "angle");
    return tag;
}

RestPose readRest(const Json& v, const Path& at) {
    requireObject(v, at);
    allowOnly(v, at, {"position", "rotation", "scale"});
    RestPose rest;
    if (const Json* p = member(v, "position")) rest.position = readVector<3>(*p, at / "position");
    if (const Json* r = member(v, "rotation")) rest.rotation = readVector<3>(*r, at / "rotation");
    if (const Json* s = member(v, "scale")) rest.scale = readVector<3>(*s, at / "scale");
    return rest;
}

void readKeys(const Json& list, const Path& at, std::vector<Key>& out) {
    requireArray(list, at, "keys [frame, x, y, z]");
    out.reserve(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const Path here = at[i];
        const Json& v = list[i];
        if (!v.is_array()) fail(here, "expected a key [frame, x, y, z], found " + describe(v));
        if (v.size() != 4) fail(here, "a key needs 4 numbers (frame, x, y, z), found " + std::to_string(v.size()));
        Key key;
        key.frame = readReal(v[0], here[0]);
        for (size_t k = 0; k < 3; ++k) key.value[k] = readReal(v[k + 1], here[k + 1]);
        if (!out.empty() && !(key.frame > out.back().frame)) {
            fail(here, "frame " + numberText(key.frame) + " does not come after the previous key's frame " +
                           numberText(out.back().frame));
        }
        out.push_back(key);
    }
}

Animation readAnimation(const Json& v, const Path& at) {
    requireObject(v, at);
    allowOnly(v, at, {"position", "rotation", "scale"});
    Animation animation;
    if (const Json* p = member(v, "position")) readKeys(*p, at / "position", animation.position);
    if (const Json* r = member(v, "rotation")) readKeys(*r, at / "rotation", animation.rotation);
    if (const Json* s = member(v, "scale")) readKeys(*s, at / "scale", animation.scale);
    return animation;
}

// The members of one object, collected in one pass over its keys.
struct ObjectMembers {
    const Json *name = nullptr, *id = nullptr, *type = nullptr, *position = nullptr, *rotation = nullptr,
               *scale = nullptr, *points = nullptr, *polygons = nullptr, *uvw = nullptr, *texture = nullptr,
               *phong = nullptr, *weights = nullptr, *rest = nullptr, *animation = nullptr, *size = nullptr,
               *radius = nullptr, *segments = nullptr, *children = nullptr;
};

struct ObjectKey {
    std::string_view key;
    const Json* ObjectMembers::*slot;
    unsigned types;     // the object types that may carry the key
    const char* where;  // those types, for the message
};

constexpr ObjectKey kObjectKeys[] = {
    {"name", &ObjectMembers::name, kAllTypes, ""},
    {"id", &ObjectMembers::id, kAllTypes, ""},
    {"type", &ObjectMembers::type, kAllTypes, ""},
    {"position", &ObjectMembers::position, kAllTypes, ""},
    {"rotation", &ObjectMembers::rotation, kAllTypes, ""},
    {"scale", &ObjectMembers::scale, kAllTypes, ""},
    {"points", &ObjectMembers::points, bit(ObjectType::Polygon), "polygon objects"},
    {"polygons", &ObjectMembers::polygons, bit(ObjectType::Polygon), "polygon objects"},
    {"uvw", &ObjectMembers::uvw, bit(ObjectType::Polygon), "polygon objects"},
    {"texture", &ObjectMembers::texture, bit(ObjectType::Polygon) | kGenerators, "polygon objects and generators"},
    {"phong", &ObjectMembers::phong, bit(ObjectType::Polygon) | kGenerators, "polygon objects and generators"},
    {"weights", &ObjectMembers::weights, bit(ObjectType::Polygon), "polygon objects"},
    {"rest", &ObjectMembers::rest, bit(ObjectType::Bone), "bones"},
    {"animation", &ObjectMembers::animation, kAllTypes, ""},
    {"size", &ObjectMembers::size, bit(ObjectType::Cube) | bit(ObjectType::Plane), "cubes and planes"},
    {"radius", &ObjectMembers::radius, bit(ObjectType::Sphere), "spheres"},
    {"segments", &ObjectMembers::segments, kGenerators, "cubes, planes and spheres"},
    {"children", &ObjectMembers::children, kAllTypes, ""},
};

ObjectMembers collectMembers(const Json& v, const Path& at) {
    ObjectMembers members;
    for (const auto& entry : v.get_ref<const Json::object_t&>()) {
        const ObjectKey* known = nullptr;
        for (const ObjectKey& key : kObjectKeys) {
            if (key.key == entry.first) known = &key;
        }
        if (!known) fail(at, "unknown key " + jsonString(entry.first));
        members.*(known->slot) = &entry.second;
    }
    return members;
}

void refuseForeignKeys(const ObjectMembers& members, const Path& at, ObjectType type) {
    for (const ObjectKey& key : kObjectKeys) {
        if (members.*(key.slot) && !(key.types & bit(type))) {
            fail(at, jsonString(key.key) + " is allowed only on " + key.where + ", not on " + withArticle(type));
        }
    }
}

void readGeneratorParameters(const ObjectMembers& m, const Path& at, ObjectType type, GeneratorParams& out) {
    if (m.size) {
        const Path here = at / "size";
        if (type == ObjectType::Plane) {  // width along x, depth along z
            const Vec2 size = readVector<2>(*m.size, here);
            out.size[0] = requirePositive(size[0], here[0]);
            out.size[2] = requirePositive(size[1], here[1]);
        } else {
            const Vec3 size = readVector<3>(*m.size, here);
            for (size_t k = 0; k < 3; ++k) out.size[k] = requirePositive(size[k], here[k]);
        }
    }
    if (m.radius) out.radius = requirePositive(readReal(*m.radius, at / "radius"), at / "radius");
    if (m.segments) {
        out.segments = readIntegerIn(*m.segments, at / "segments",
                                     type == ObjectType::Sphere ? kMinSphereSegments : 1, kMaxSegments);
    }
}

void readObjects(const Json& list, const Path& at, int depth, LoadState& state, std::vector<SceneObject>& out);

void readObject(const Json& v, const Path& at, int depth, LoadState& state, SceneObject& object) {
    requireObject(v, at);
    const ObjectMembers m = collectMembers(v, at);
    if (!m.type) fail(at, "missing required key \"type\"");
    object.type = readType(*m.type, at / "type");
    refuseForeignKeys(m, at, object.type);

    if (m.name) object.name = readString(*m.name, at / "name");
    object.id = m.id ? readString(*m.id, at / "id") : object.name;
    state.ids.push_back({object.id, m.id != nullptr, object.type, pathText(at)});

    if (m.position) object.position = readVector<3>(*m.position, at / "position");
    if (m.rotation) object.rotation = readVector<3>(*m.rotation, at / "rotation");
    if (m.scale) object.scale = readVector<3>(*m.scale, at / "scale");
    if (m.points) readPoints(*m.points, at / "points", object.points);
    if (m.polygons) readPolygons(*m.polygons, at / "polygons", object.points.size(), object.polygons);
    if (m.uvw) {
        static const Json kNoPolygons = Json::array();
        readUvw(*m.uvw, at / "uvw", m.polygons ? *m.polygons : kNoPolygons, object.uvw.emplace());
    }
    if (m.texture) object.texture = readTextureTag(*m.texture, at / "texture", state);
    if (m.phong) object.phong = readPhongTag(*m.phong, at / "phong");
    if (m.weights) readWeights(*m.weights, at / "weights", object.points.size(), state, object.weights);
    if (m.rest) object.rest = readRest(*m.rest, at / "rest");
    if (m.animation) object.animation = readAnimation(*m.animation, at / "animation");
    readGeneratorParameters(m, at, object.type, object.generator);
    if (m.children) {
        if (depth + 1 >= kMaxObjectDepth) {
            fail(at / "children", "objects are nested deeper than " + std::to_string(kMaxObjectDepth) + " levels");
        }
        readObjects(*m.children, at / "children", depth + 1, state, object.children);
    }
}

void readObjects(const Json& list, const Path& at, int depth, LoadState& state, std::vector<SceneObject>& out) {
    requireArray(list, at, "objects");
    out.resize(list.size());
    for (size_t i = 0; i < list.size(); ++i) readObject(list[i], at[i], depth, state, out[i]);
}

// An id given explicitly must be unique; names standing in for ids may repeat as long as no
// weights entry refers to them.
void checkIds(const LoadState& state) {
    std::unordered_map<std::string_view, size_t> firstWithId;
    std::unordered_set<std::string_view> shared;
    for (size_t i = 0; i < state.ids.size(); ++i) {
        const IdRecord& record = state.ids[i];
        const auto [found, isNew] = firstWithId.emplace(record.id, i);
        if (isNew) continue;
        const IdRecord& first = state.ids[found->second];
        if (record.given) {
            failAt(record.path + ".id", "id " + jsonString(record.id) + " is already used by " + first.path);
        }
        if (first.given) {
            failAt(record.path, "id " + jsonString(record.id) + " (taken from its name) is already used by " + first.path);
        }
        shared.insert(record.id);
    }
    for (const WeightReference& reference : state.weightReferences) {
        const auto found = firstWithId.find(reference.bone);
        if (found == firstWithId.end()) failAt(reference.path, "no object has the id " + jsonString(reference.bone));
        const IdRecord& target = state.ids[found->second];
        if (shared.count(reference.bone)) {
            failAt(reference.path, "id " + jsonString(reference.bone) + " is ambiguous: several objects are named so (" +
                                       target.path + " and others); give the bone an \"id\"");
        }
        if (target.type != ObjectType::Bone) {
            failAt(reference.path, target.path + " (id " + jsonString(reference.bone) + ") is " + withArticle(target.type) +
                                       ", not a bone");
        }
    }
}

void readScene(const Json& root, Scene& scene) {
    const Path top;
    requireObject(root, top);
    allowOnly(root, top, {"korvo", "fps", "endTime", "endFrame", "time", "materials", "objects"});
    const int64_t version = readInteger(requiredMember(root, top, "korvo"), top / "korvo");
    if (version != kFormatVersion) {
        fail(top / "korvo", "unsupported format version " + std::to_string(version) + " (this host reads version " +
                                std::to_string(kFormatVersion) + ")");
    }
    if (const Json* fps = member(root, "fps")) {
        scene.fps = readIntegerIn(*fps, top / "fps", 0, std::numeric_limits<int32_t>::max());
    }
    const Json* endTime = member(root, "endTime");
    const Json* endFrame = member(root, "endFrame");
    if (endTime && endFrame) fail(top, "give either \"endTime\" or \"endFrame\", not both");
    if (endTime) scene.end = Time{readReal(*endTime, top / "endTime"), 1};
    if (endFrame) {
        const double frames = readReal(*endFrame, top / "endFrame");
        if (scene.fps == 0) fail(top / "endFrame", "needs fps above 0 (fps is 0)");
        scene.end = Time{frames, double(scene.fps)};
    }
    if (const Json* time = member(root, "time")) scene.time = Time{readReal(*time, top / "time"), 1};

    LoadState state;
    if (const Json* materials = member(root, "materials")) readMaterials(*materials, top / "materials", state, scene.materials);
    if (const Json* objects = member(root, "objects")) readObjects(*objects, top / "objects", 0, state, scene.objects);
    checkIds(state);
}

// ---------------------------------------------------------------- the writer

void newline(std::string& out, int level) {
    out += '\n';
    out.append(size_t(level) * 2, ' ');
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

// A triangle (d == c) is written with three corners unless its UV corner d differs from c,
// which only a four-corner entry can keep.
bool writtenAsTriangle(const SceneObject& object, size_t i) {
    const Polygon& polygon = object.polygons[i];
    if (polygon.d != polygon.c) return false;
    if (!object.uvw || i >= object.uvw->size()) return true;
    const PolygonUV& uv = (*object.uvw)[i];
    return uv.corners[3] == uv.corners[2];
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

void appendUvw(std::string& out, const SceneObject& object, int level) {
    const std::vector<PolygonUV>& uvw = *object.uvw;
    if (uvw.empty()) {
        out += "[]";
        return;
    }
    out += '[';
    for (size_t i = 0; i < uvw.size(); ++i) {
        if (i) out += ',';
        newline(out, level + 1);
        const size_t corners = i < object.polygons.size() && writtenAsTriangle(object, i) ? 3 : 4;
        out += '[';
        for (size_t k = 0; k < corners; ++k) {
            if (k) out += ", ";
            appendVector(out, uvw[i].corners[k]);
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
            appendUvw(out, object, m.inner());
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
    if ((bit(object.type) & kGenerators) && generator.segments != 0) {
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

bool parseScene(const std::string& text, const std::string& fileLabel, Scene& out, std::string& error) {
    Json root;
    SceneSax sax(root);
    try {
        if (!Json::sax_parse(text, &sax)) {
            error = sax.message(text, fileLabel);
            return false;
        }
        Scene scene;
        readScene(root, scene);
        out = std::move(scene);
        return true;
    } catch (const BadScene& bad) {
        error = formatError(fileLabel, bad);
    } catch (const Json::exception& e) {
        error = fileLabel + ": malformed JSON: " + e.what();
    }
    return false;
}

bool loadSceneFile(const std::string& path, Scene& out, std::string& error) {
    std::FILE* file = platform::openForReading(path);
    if (!file) {
        error = path + ": cannot open the file: " + std::strerror(errno);
        return false;
    }
    std::string text;
    const int64_t size = platform::fileSize(path);
    if (size > 0) text.reserve(size_t(size));
    char buffer[1 << 16];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
    const bool readFailed = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (readFailed) {
        error = path + ": cannot read the file: " + std::strerror(readErrno);
        return false;
    }
    return parseScene(text, path, out, error);
}

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
    m.close();
    out += '\n';
    return out;
}

}  // namespace korvo
