// The scene reader: reads a scene file's JSON token by token (json_input.h) straight into
// the scene records, checking every rule as it goes, so that neither the text nor a
// document tree is held. Rules that depend on a key the object gives later (the points
// that polygon indices refer to, the type that decides which keys apply) are checked when
// the object ends; those between objects (ids, weights' bones, texture materials) when the
// document ends. A refusal is one line naming the file, the JSON path and what is wrong;
// faults of the JSON itself (scene_json_check.h) come before faults of the content.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <iterator>
#include <limits>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "korvo/scene/json_input.h"
#include "korvo/scene/json_key_set.h"
#include "korvo/files/platform.h"
#include "korvo/scene/scene_json.h"
#include "korvo/scene/scene_json_check.h"
#include "korvo/scene/scene_json_text.h"

namespace korvo {
namespace {

constexpr int32_t kFormatVersion = 1;
constexpr int32_t kMaxSegments = 1000;
constexpr int32_t kMinSphereSegments = 4;
// Halfway between the largest float and the next power of two: every real below it
// becomes a finite float, 3.4028235e38 (the largest float's usual spelling) included.
constexpr double kFloatRangeEnd = 3.4028235677973366e38;
// Sizes, texture offsets and scales, and colours beyond this would overflow the products
// made of them (the settings dialog's reals have the same limit).
constexpr double kParameterLimit = 1e18;

// ---------------------------------------------------------------- paths and refusals

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

std::string textOf(const Path& path) {
    std::vector<PathStep> steps;
    for (const Path* step = &path; step->parent; step = step->parent) {
        steps.push_back(PathStep{step->key, step->index, step->isIndex});
    }
    return pathText(std::vector<PathStep>(steps.rbegin(), steps.rend()));
}

// The one reason a file is refused.
struct BadScene {
    std::string path;  // empty: the top level
    std::string what;
};

[[noreturn]] void failAt(std::string path, std::string what) { throw BadScene{std::move(path), std::move(what)}; }
[[noreturn]] void fail(const Path& at, std::string what) { failAt(textOf(at), std::move(what)); }

std::string countOf(size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

// ---------------------------------------------------------------- values

enum class Kind { Null, False, True, Number, String, Array, Object };

// A value where a scalar is expected: a container or string is kept only as its kind.
// The number is set whenever the value is read (readScalar), not when it is made, so that
// the short arrays below cost no clearing.
struct Value {
    Kind kind = Kind::Null;
    JsonNumber number;
};

std::string describe(const Value& v) {
    switch (v.kind) {
        case Kind::Null: return "null";
        case Kind::False: return "false";
        case Kind::True: return "true";
        case Kind::Number: return "the number " + numberText(v.number.value);
        case Kind::String: return "a string";
        case Kind::Array: return "an array";
        case Kind::Object: return "an object";
    }
    return "null";
}

// The elements of an array expected to be short: the first `Capacity` kept, all counted.
template <size_t Capacity>
struct SmallArray {
    bool isArray = false;
    Value self;  // when it is not an array
    size_t count = 0;
    Value items[Capacity];
};

double checkedReal(double x, const Path& at) {
    if (!(std::fabs(x) < kFloatRangeEnd)) fail(at, "number " + numberText(x) + " is beyond the 32-bit float range");
    return x;
}

double checkedReal(const Value& v, const Path& at) {
    if (v.kind != Kind::Number) fail(at, "expected a number, found " + describe(v));
    return checkedReal(v.number.value, at);
}

// Integers may also be written as whole reals (30.0).
int64_t checkedInteger(const Value& v, const Path& at) {
    if (v.kind == Kind::Number) {
        if (v.number.isInteger) return v.number.integer;
        const double x = v.number.value;
        if (std::floor(x) == x && std::fabs(x) < 9007199254740992.0) return int64_t(x);
    }
    fail(at, "expected an integer, found " + describe(v));
}

int32_t checkedIntegerIn(const Value& v, const Path& at, int64_t low, int64_t high) {
    const int64_t value = checkedInteger(v, at);
    if (value < low || value > high) {
        fail(at, high == std::numeric_limits<int32_t>::max()
                     ? "must be " + std::to_string(low) + " or more, found " + std::to_string(value)
                     : "must be from " + std::to_string(low) + " to " + std::to_string(high) + ", found " +
                           std::to_string(value));
    }
    return int32_t(value);
}

template <size_t N, size_t Capacity>
std::array<double, N> checkedVector(const SmallArray<Capacity>& a, const Path& at) {
    static_assert(N <= Capacity, "the array keeps every element it needs");
    if (!a.isArray) fail(at, "expected an array of " + std::to_string(N) + " numbers, found " + describe(a.self));
    if (a.count != N) fail(at, "expected " + std::to_string(N) + " numbers, found " + std::to_string(a.count));
    std::array<double, N> out;
    for (size_t i = 0; i < N; ++i) out[i] = checkedReal(a.items[i], at[i]);
    return out;
}

double requirePositive(double x, const Path& at) {
    if (!(x > 0)) fail(at, "must be above 0, found " + numberText(x));
    if (x > kParameterLimit) fail(at, "must be at most 1e18, found " + numberText(x));
    return x;
}

template <size_t N>
std::array<double, N> requireWithinLimit(const std::array<double, N>& v, const Path& at) {
    for (size_t i = 0; i < N; ++i) {
        if (std::fabs(v[i]) > kParameterLimit) fail(at[i], "must be from -1e18 to 1e18, found " + numberText(v[i]));
    }
    return v;
}

// ---------------------------------------------------------------- object keys

constexpr unsigned bit(ObjectType type) { return 1u << unsigned(type); }
constexpr unsigned kAllTypes = 0xFFu;
constexpr unsigned kGenerators = bit(ObjectType::Cube) | bit(ObjectType::Plane) | bit(ObjectType::Sphere);

// Every type name starts with a consonant.
std::string withArticle(ObjectType type) { return "a " + std::string(typeName(type)); }

enum class Member {
    Name, Id, Type, Position, Rotation, Scale, Points, Polygons, Uvw, Normals, Texture, Phong, Weights, Rest,
    Animation, Size, Radius, Segments, Children
};

struct ObjectKey {
    std::string_view key;
    Member member;
    unsigned types;     // the object types that may carry the key
    const char* where;  // those types, for the message
};

constexpr ObjectKey kObjectKeys[] = {
    {"name", Member::Name, kAllTypes, ""},
    {"id", Member::Id, kAllTypes, ""},
    {"type", Member::Type, kAllTypes, ""},
    {"position", Member::Position, kAllTypes, ""},
    {"rotation", Member::Rotation, kAllTypes, ""},
    {"scale", Member::Scale, kAllTypes, ""},
    {"points", Member::Points, bit(ObjectType::Polygon), "polygon objects"},
    {"polygons", Member::Polygons, bit(ObjectType::Polygon), "polygon objects"},
    {"uvw", Member::Uvw, bit(ObjectType::Polygon), "polygon objects"},
    {"normals", Member::Normals, bit(ObjectType::Polygon), "polygon objects"},
    {"texture", Member::Texture, bit(ObjectType::Polygon) | kGenerators, "polygon objects and generators"},
    {"phong", Member::Phong, bit(ObjectType::Polygon) | kGenerators, "polygon objects and generators"},
    {"weights", Member::Weights, bit(ObjectType::Polygon), "polygon objects"},
    {"rest", Member::Rest, bit(ObjectType::Bone), "bones"},
    {"animation", Member::Animation, kAllTypes, ""},
    {"size", Member::Size, bit(ObjectType::Cube) | bit(ObjectType::Plane), "cubes and planes"},
    {"radius", Member::Radius, bit(ObjectType::Sphere), "spheres"},
    {"segments", Member::Segments, kGenerators, "cubes, planes and spheres"},
    {"children", Member::Children, kAllTypes, ""},
};

const ObjectKey* objectKey(std::string_view key) {
    for (const ObjectKey& entry : kObjectKeys) {
        if (entry.key == key) return &entry;
    }
    return nullptr;
}

void refuseForeignKey(const ObjectKey& key, const Path& at, ObjectType type) {
    if (!(key.types & bit(type))) {
        fail(at, jsonString(key.key) + " is allowed only on " + key.where + ", not on " + withArticle(type));
    }
}

// ---------------------------------------------------------------- what is checked at the end

struct IdRecord {
    std::string id;
    bool given = false;  // from "id"; otherwise the name stands in
    ObjectType type = ObjectType::Null;
    std::string path;
};

// A name given in one place that must match one defined elsewhere in the file.
struct Reference {
    std::string name;
    std::string path;
};

struct LoadState {
    std::unordered_set<std::string> materialNames;
    bool materialsRead = false;
    std::vector<Reference> textureMaterials;  // given before the materials were read
    std::vector<IdRecord> ids;                // every object, in document order
    std::vector<Reference> weightBones;
};

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
    for (const Reference& reference : state.weightBones) {
        const auto found = firstWithId.find(reference.name);
        if (found == firstWithId.end()) failAt(reference.path, "no object has the id " + jsonString(reference.name));
        const IdRecord& target = state.ids[found->second];
        if (shared.count(reference.name)) {
            failAt(reference.path, "id " + jsonString(reference.name) + " is ambiguous: several objects are named so (" +
                                       target.path + " and others); give the bone an \"id\"");
        }
        if (target.type != ObjectType::Bone) {
            failAt(reference.path, target.path + " (id " + jsonString(reference.name) + ") is " +
                                       withArticle(target.type) + ", not a bone");
        }
    }
}

// What one object gave, for the rules checked when it ends.
struct ObjectProgress {
    bool seen[std::size(kObjectKeys)] = {};
    bool typeKnown = false;
    bool idGiven = false;
    bool pointsKnown = false;
    bool polygonsKnown = false;
    bool polygonsBeforePoints = false;
    std::vector<uint8_t> polygonCorners;  // as each polygon was given: 3 or 4
    // A per-corner list ("uvw", "normals") given before the polygons: the corner count
    // of each entry, checked when the object ends.
    struct CornerList {
        bool beforePolygons = false;
        std::vector<uint8_t> corners;
    };
    CornerList uvw, normals;
    std::optional<SmallArray<3>> size;    // until the type is known
    std::optional<Value> segments;        // until the type is known
    struct WeightsCount {
        size_t entry;
        size_t count;
    };
    std::vector<WeightsCount> weightCounts;  // until the points are known
};

// ---------------------------------------------------------------- the reader

class SceneReader {
public:
    explicit SceneReader(JsonInput& in) : in_(in) {}

    void read(Scene& scene) {
        const Path top;
        if (in_.peek() != '{') fail(top, "expected an object, found " + describe(readScalar()));
        in_.take();
        bool versionSeen = false, endTimeSeen = false;
        std::optional<double> endFrame;
        std::optional<int64_t> currentTake;
        KeySet keys;
        forEachKey([&](const std::string& key) {
            if (!keys.insert(key)) throw MalformedJson{};  // a duplicate key
            if (key == "korvo") {
                const int64_t version = checkedInteger(readScalar(), top / "korvo");
                if (version != kFormatVersion) {
                    fail(top / "korvo", "unsupported format version " + std::to_string(version) +
                                            " (this host reads version " + std::to_string(kFormatVersion) + ")");
                }
                versionSeen = true;
            } else if (key == "fps") {
                scene.fps = checkedIntegerIn(readScalar(), top / "fps", 0, std::numeric_limits<int32_t>::max());
            } else if (key == "endTime") {
                scene.end = Time{readReal(top / "endTime"), 1};
                endTimeSeen = true;
            } else if (key == "endFrame") {
                endFrame = readReal(top / "endFrame");
            } else if (key == "time") {
                scene.time = Time{readReal(top / "time"), 1};
            } else if (key == "materials") {
                readMaterials(top / "materials", scene.materials);
            } else if (key == "objects") {
                readObjects(top / "objects", 0, scene.objects);
            } else if (key == "takes") {
                readTakes(top / "takes", scene.takes);
            } else if (key == "currentTake") {
                currentTake = checkedIntegerIn(readScalar(), top / "currentTake", 0, std::numeric_limits<int32_t>::max());
            } else {
                fail(top, "unknown key " + jsonString(key));
            }
        });
        if (in_.peek() != -1) throw MalformedJson{};  // bytes after the document
        if (!versionSeen) fail(top, "missing required key \"korvo\"");
        if (endTimeSeen && endFrame) fail(top, "give either \"endTime\" or \"endFrame\", not both");
        if (endFrame) {
            if (scene.fps == 0) fail(top / "endFrame", "needs fps above 0 (fps is 0)");
            scene.end = Time{*endFrame, double(scene.fps)};
        }
        if (!scene.takes.empty() && scene.fps == 0) fail(top / "takes", "needs fps above 0 (fps is 0)");
        if (currentTake && *currentTake >= static_cast<int64_t>(scene.takes.size()))
            fail(top / "currentTake", "take " + std::to_string(*currentTake) + " out of range (the file has " +
                                          std::to_string(scene.takes.size()) + " takes)");
        if (currentTake) scene.currentTake = static_cast<int32_t>(*currentTake);
        for (const Reference& reference : state_.textureMaterials) {
            if (!state_.materialNames.count(reference.name)) {
                failAt(reference.path, "unknown material " + jsonString(reference.name));
            }
        }
        checkIds(state_);
    }

private:
    // ------------------------------------------------------------ JSON shapes

    // Calls `onKey(key)` for each key of the object whose '{' was taken; `onKey` reads the value.
    template <class OnKey>
    void forEachKey(OnKey onKey) {
        if (in_.peek() == '}') {
            in_.take();
            return;
        }
        do {
            in_.readString(key_);
            in_.expect(':');
            const std::string key = key_;
            onKey(key);
        } while (in_.another('}'));
    }

    // Calls `onElement(index)` for each element of the array whose '[' was taken.
    template <class OnElement>
    size_t forEachElement(OnElement onElement) {
        if (in_.peek() == ']') {
            in_.take();
            return 0;
        }
        size_t count = 0;
        do {
            onElement(count++);
        } while (in_.another(']'));
        return count;
    }

    Value readScalar() {
        Value v;
        const int c = in_.peek();
        if (c == '-' || (c >= '0' && c <= '9')) {
            v.kind = Kind::Number;
            v.number = in_.readNumber();
            return v;
        }
        v.number = JsonNumber{};
        if (c == '{' || c == '[') {
            v.kind = c == '{' ? Kind::Object : Kind::Array;
            in_.skipValue();
        } else if (c == '"') {
            v.kind = Kind::String;
            in_.readString(scratch_);
        } else if (c == 't') {
            v.kind = Kind::True;
            in_.readLiteral("true");
        } else if (c == 'f') {
            v.kind = Kind::False;
            in_.readLiteral("false");
        } else if (c == 'n') {
            v.kind = Kind::Null;
            in_.readLiteral("null");
        } else {
            throw MalformedJson{};
        }
        return v;
    }

    // An array expected to hold `least` to `Capacity` numbers, the shape of nearly every
    // array of a scene, is first tried in one pass.
    template <size_t Capacity>
    SmallArray<Capacity> readSmallArray(size_t least = Capacity) {
        SmallArray<Capacity> a;
        JsonNumber numbers[Capacity];
        if (const size_t count = in_.readNumbers(numbers, least, Capacity)) {
            a.isArray = true;
            a.count = count;
            for (size_t i = 0; i < count; ++i) a.items[i] = Value{Kind::Number, numbers[i]};
            return a;
        }
        if (in_.peek() != '[') {
            a.self = readScalar();
            return a;
        }
        in_.take();
        a.isArray = true;
        a.count = forEachElement([&](size_t i) {
            if (i < Capacity) {
                a.items[i] = readScalar();
            } else {
                readScalar();
            }
        });
        return a;
    }

    // Takes the '{' (or '[') that must follow; any other value is read and refused.
    void openObject(const Path& at) {
        if (in_.peek() != '{') fail(at, "expected an object, found " + describe(readScalar()));
        in_.take();
    }
    void openArray(const Path& at, const char* ofWhat) {
        if (in_.peek() != '[') fail(at, std::string("expected an array of ") + ofWhat + ", found " + describe(readScalar()));
        in_.take();
    }

    double readReal(const Path& at) {
        if (in_.peek() == '-' || (in_.peek() >= '0' && in_.peek() <= '9')) {
            Value v;
            v.kind = Kind::Number;
            v.number = in_.readNumber();
            return checkedReal(v, at);
        }
        return checkedReal(readScalar(), at);
    }

    bool readBool(const Path& at) {
        const Value v = readScalar();
        if (v.kind != Kind::True && v.kind != Kind::False) fail(at, "expected true or false, found " + describe(v));
        return v.kind == Kind::True;
    }

    void readString(const Path& at, std::string& out) {
        if (in_.peek() == '"') {
            in_.readString(out);
            return;
        }
        fail(at, "expected a string, found " + describe(readScalar()));
    }

    template <size_t N>
    std::array<double, N> readVector(const Path& at) {
        JsonNumber numbers[N];
        if (in_.readNumbers(numbers, N, N) == N) {
            std::array<double, N> out;
            for (size_t i = 0; i < N; ++i) out[i] = checkedReal(numbers[i].value, at[i]);
            return out;
        }
        return checkedVector<N>(readSmallArray<N>(), at);
    }

    // ------------------------------------------------------------ materials

    Channel readChannel(const Path& at, bool isColor) {
        openObject(at);
        Channel channel;
        bool seen[3] = {};
        forEachKey([&](const std::string& key) {
            const int slot = key == "on" ? 0 : key == "value" ? 1 : key == "texture" ? 2 : -1;
            if (slot < 0) fail(at, "unknown key " + jsonString(key));
            if (seen[slot]) throw MalformedJson{};
            seen[slot] = true;
            if (slot == 0) {
                channel.on = readBool(at / "on");
            } else if (slot == 1) {
                channel.value = requireWithinLimit(readVector<3>(at / "value"), at / "value");
            } else {
                if (!isColor) fail(at, "\"texture\" is allowed only on the color channel");
                readString(at / "texture", channel.texture.emplace());
            }
        });
        return channel;
    }

    void readMaterials(const Path& at, std::vector<Material>& out) {
        openArray(at, "materials");
        forEachElement([&](size_t i) {
            const Path here = at[i];
            openObject(here);
            Material& material = out.emplace_back();
            bool seen[5] = {};
            forEachKey([&](const std::string& key) {
                static constexpr std::string_view kKeys[] = {"name", "color", "luminance", "transparency", "specular"};
                const size_t slot = size_t(std::find(std::begin(kKeys), std::end(kKeys), key) - std::begin(kKeys));
                if (slot == std::size(kKeys)) fail(here, "unknown key " + jsonString(key));
                if (seen[slot]) throw MalformedJson{};
                seen[slot] = true;
                const Path value = here / kKeys[slot];
                switch (slot) {
                    case 0:
                        readString(value, material.name);
                        if (!state_.materialNames.insert(material.name).second) {
                            fail(value, "duplicate material name " + jsonString(material.name));
                        }
                        break;
                    case 1: material.color = readChannel(value, true); break;
                    case 2: material.luminance = readChannel(value, false); break;
                    case 3: material.transparency = readChannel(value, false); break;
                    default: material.specular = readChannel(value, false); break;
                }
            });
            if (!seen[0]) fail(here, "missing required key \"name\"");
        });
        state_.materialsRead = true;
    }

    // A take is a named range of the time line, in frames.
    void readTakes(const Path& at, std::vector<Take>& out) {
        openArray(at, "takes");
        forEachElement([&](size_t i) {
            const Path here = at[i];
            openObject(here);
            Take& take = out.emplace_back();
            bool seen[3] = {};
            forEachKey([&](const std::string& key) {
                static constexpr std::string_view kKeys[] = {"name", "startFrame", "endFrame"};
                const size_t slot = size_t(std::find(std::begin(kKeys), std::end(kKeys), key) - std::begin(kKeys));
                if (slot == std::size(kKeys)) fail(here, "unknown key " + jsonString(key));
                if (seen[slot]) throw MalformedJson{};
                seen[slot] = true;
                const Path value = here / kKeys[slot];
                if (slot == 0) readString(value, take.name);
                else if (slot == 1) take.startFrame = readReal(value);
                else take.endFrame = readReal(value);
            });
            if (!seen[0]) fail(here, "missing required key \"name\"");
            if (!seen[2]) fail(here, "missing required key \"endFrame\"");
            if (take.endFrame < take.startFrame) fail(here / "endFrame", "ends before its start frame");
        });
    }

    // ------------------------------------------------------------ geometry

    void readPoints(const Path& at, std::vector<Vec3>& out) {
        openArray(at, "points");
        forEachElement([&](size_t i) { out.push_back(readVector<3>(at[i])); });
    }

    void readPolygons(const Path& at, const SceneObject& object, ObjectProgress& progress,
                      std::vector<Polygon>& out) {
        openArray(at, "polygons");
        const size_t pointCount = object.points.size();
        forEachElement([&](size_t i) {
            const Path here = at[i];
            JsonNumber numbers[4];
            if (const size_t count = in_.readNumbers(numbers, 3, 4)) {
                int32_t index[4] = {};  // all of them set below; said for compilers that cannot tell
                for (size_t k = 0; k < count; ++k) {
                    const JsonNumber& n = numbers[k];
                    // The usual index: an integer below the points' count.
                    if (n.isInteger && progress.pointsKnown && n.integer >= 0 && uint64_t(n.integer) < pointCount) {
                        index[k] = int32_t(n.integer);
                    } else {
                        index[k] = checkedIndex(Value{Kind::Number, n}, here[k], progress, pointCount);
                    }
                }
                out.push_back(Polygon{index[0], index[1], index[2], count == 4 ? index[3] : index[2]});
                progress.polygonCorners.push_back(uint8_t(count));
                return;
            }
            const SmallArray<4> a = readSmallArray<4>(3);
            if (!a.isArray) fail(here, "expected an array of 3 or 4 point indices, found " + describe(a.self));
            if (a.count < 3 || a.count > 4) {
                fail(here, "a polygon needs 3 or 4 point indices, found " + std::to_string(a.count));
            }
            int32_t index[4];
            for (size_t k = 0; k < a.count; ++k) index[k] = checkedIndex(a.items[k], here[k], progress, pointCount);
            out.push_back(Polygon{index[0], index[1], index[2], a.count == 4 ? index[3] : index[2]});
            progress.polygonCorners.push_back(uint8_t(a.count));
        });
        progress.polygonsKnown = true;
        progress.polygonsBeforePoints = !progress.pointsKnown;
    }

    // A polygon's point index; `at` names the index, its message the polygon.
    static int32_t checkedIndex(const Value& v, const Path& at, const ObjectProgress& progress, size_t pointCount) {
        const int64_t value = checkedInteger(v, at);
        // Beyond the int32 range an index is out of range whatever the points are.
        const bool outOfRange = progress.pointsKnown ? value < 0 || uint64_t(value) >= pointCount
                                                     : value < 0 || value > std::numeric_limits<int32_t>::max();
        if (outOfRange) refuseIndex(*at.parent, value, pointCount);
        return int32_t(value);
    }

    [[noreturn]] static void refuseIndex(const Path& at, int64_t value, size_t pointCount) {
        fail(at, "point index " + std::to_string(value) + " out of range (the object has " +
                     countOf(pointCount, "point", "points") + ")");
    }

    static void refuseUvwCount(const Path& at, size_t polygons, size_t entries) {
        fail(at, "expected one entry per polygon (" + std::to_string(polygons) + "), found " + std::to_string(entries));
    }
    static void refuseCorners(const Path& at, size_t expected, size_t found) {
        fail(at, "expected " + std::to_string(expected) + " corners like its polygon, found " + std::to_string(found));
    }

    // One entry per polygon with as many corners as the polygon was given with, each
    // corner N numbers.
    template <size_t N, typename Record>
    void readCornerList(const Path& at, ObjectProgress& progress, ObjectProgress::CornerList& list,
                        const char* cornerText, std::vector<Record>& out) {
        openArray(at, "per-polygon corner lists");
        list.beforePolygons = !progress.polygonsKnown;
        if (progress.polygonsKnown) out.reserve(progress.polygonCorners.size());
        const size_t entries = forEachElement([&](size_t i) {
            const Path here = at[i];
            openArray(here, cornerText);
            Record record;
            const size_t corners = forEachElement([&](size_t k) {
                const auto corner = readVector<N>(here[k]);
                if (k < 4) record.corners[k] = corner;
            });
            if (corners == 3) record.corners[3] = record.corners[2];
            if (progress.polygonsKnown) {
                if (i < progress.polygonCorners.size() && corners != progress.polygonCorners[i]) {
                    refuseCorners(here, progress.polygonCorners[i], corners);
                }
            } else {
                list.corners.push_back(uint8_t(std::min<size_t>(corners, 255)));
            }
            out.push_back(record);
        });
        if (progress.polygonsKnown && entries != progress.polygonCorners.size()) {
            refuseUvwCount(at, progress.polygonCorners.size(), entries);
        }
    }

    // The checks of a per-corner list given before the polygons.
    static void checkCornerList(const Path& at, size_t entries, const ObjectProgress& progress,
                                const ObjectProgress::CornerList& list) {
        if (!list.beforePolygons) return;
        if (entries != progress.polygonCorners.size()) refuseUvwCount(at, progress.polygonCorners.size(), entries);
        for (size_t i = 0; i < list.corners.size(); ++i) {
            if (list.corners[i] != progress.polygonCorners[i]) {
                refuseCorners(at[i], progress.polygonCorners[i], list.corners[i]);
            }
        }
    }

    static void refuseWeightCount(const Path& at, size_t points, size_t found) {
        fail(at, "expected one weight per point (" + std::to_string(points) + "), found " + std::to_string(found));
    }

    void readWeights(const Path& at, const SceneObject& object, ObjectProgress& progress,
                     std::vector<BoneWeights>& out) {
        openObject(at);
        KeySet bones;
        forEachKey([&](const std::string& bone) {
            if (!bones.insert(bone)) throw MalformedJson{};
            const Path here = at / bone;
            openArray(here, "weights, one per point");
            BoneWeights& weights = out.emplace_back();
            weights.bone = bone;
            if (progress.pointsKnown) weights.perPoint.reserve(object.points.size());
            forEachElement([&](size_t i) { weights.perPoint.push_back(readReal(here[i])); });
            if (progress.pointsKnown) {
                if (weights.perPoint.size() != object.points.size()) {
                    refuseWeightCount(here, object.points.size(), weights.perPoint.size());
                }
            } else {
                progress.weightCounts.push_back({out.size() - 1, weights.perPoint.size()});
            }
            state_.weightBones.push_back({bone, textOf(here)});
        });
    }

    // ------------------------------------------------------------ tags, rest pose, animation

    TextureTag readTextureTag(const Path& at) {
        openObject(at);
        TextureTag tag;
        bool seen[3] = {};
        forEachKey([&](const std::string& key) {
            const int slot = key == "material" ? 0 : key == "offset" ? 1 : key == "scale" ? 2 : -1;
            if (slot < 0) fail(at, "unknown key " + jsonString(key));
            if (seen[slot]) throw MalformedJson{};
            seen[slot] = true;
            if (slot == 0) {
                readString(at / "material", tag.material);
                if (!state_.materialsRead) {
                    state_.textureMaterials.push_back({tag.material, textOf(at / "material")});
                } else if (!state_.materialNames.count(tag.material)) {
                    fail(at / "material", "unknown material " + jsonString(tag.material));
                }
            } else if (slot == 1) {
                tag.offset = requireWithinLimit(readVector<2>(at / "offset"), at / "offset");
            } else {
                tag.scale = requireWithinLimit(readVector<2>(at / "scale"), at / "scale");
            }
        });
        if (!seen[0]) fail(at, "missing required key \"material\"");
        return tag;
    }

    PhongTag readPhongTag(const Path& at) {
        openObject(at);
        PhongTag tag;
        bool seen[2] = {};
        forEachKey([&](const std::string& key) {
            const int slot = key == "limit" ? 0 : key == "angle" ? 1 : -1;
            if (slot < 0) fail(at, "unknown key " + jsonString(key));
            if (seen[slot]) throw MalformedJson{};
            seen[slot] = true;
            if (slot == 1) {
                tag.angle = readReal(at / "angle");
                return;
            }
            // The host stores the entry as 0 or 1; both spellings are accepted.
            const Value limit = readScalar();
            if (limit.kind == Kind::True || limit.kind == Kind::False) {
                tag.limit = limit.kind == Kind::True;
            } else if (limit.kind == Kind::Number && limit.number.isInteger &&
                       (limit.number.integer == 0 || limit.number.integer == 1)) {
                tag.limit = limit.number.integer == 1;
            } else {
                fail(at / "limit", "expected true, false, 0 or 1, found " + describe(limit));
            }
        });
        return tag;
    }

    // An object of up to three vectors named position, rotation and scale, each read by `readOne`.
    template <class ReadOne>
    void readTriple(const Path& at, ReadOne readOne) {
        openObject(at);
        bool seen[3] = {};
        forEachKey([&](const std::string& key) {
            const int slot = key == "position" ? 0 : key == "rotation" ? 1 : key == "scale" ? 2 : -1;
            if (slot < 0) fail(at, "unknown key " + jsonString(key));
            if (seen[slot]) throw MalformedJson{};
            seen[slot] = true;
            readOne(slot, at / key);
        });
    }

    RestPose readRest(const Path& at) {
        RestPose rest;
        readTriple(at, [&](int slot, const Path& here) {
            const Vec3 v = readVector<3>(here);
            (slot == 0 ? rest.position : slot == 1 ? rest.rotation : rest.scale) = v;
        });
        return rest;
    }

    void readKeys(const Path& at, std::vector<Key>& out) {
        openArray(at, "keys [frame, x, y, z]");
        forEachElement([&](size_t i) {
            const Path here = at[i];
            const SmallArray<4> a = readSmallArray<4>();
            if (!a.isArray) fail(here, "expected a key [frame, x, y, z], found " + describe(a.self));
            if (a.count != 4) fail(here, "a key needs 4 numbers (frame, x, y, z), found " + std::to_string(a.count));
            Key key;
            key.frame = checkedReal(a.items[0], here[0]);
            for (size_t k = 0; k < 3; ++k) key.value[k] = checkedReal(a.items[k + 1], here[k + 1]);
            if (!out.empty() && !(key.frame > out.back().frame)) {
                fail(here, "frame " + numberText(key.frame) + " does not come after the previous key's frame " +
                               numberText(out.back().frame));
            }
            out.push_back(key);
        });
    }

    Animation readAnimation(const Path& at) {
        Animation animation;
        readTriple(at, [&](int slot, const Path& here) {
            readKeys(here, slot == 0 ? animation.position : slot == 1 ? animation.rotation : animation.scale);
        });
        return animation;
    }

    // ------------------------------------------------------------ objects

    void readSize(const SmallArray<3>& size, const Path& at, ObjectType type, GeneratorParams& out) {
        if (type == ObjectType::Plane) {  // width along x, depth along z
            const Vec2 v = checkedVector<2>(size, at);
            out.size[0] = requirePositive(v[0], at[0]);
            out.size[2] = requirePositive(v[1], at[1]);
        } else {
            const Vec3 v = checkedVector<3>(size, at);
            for (size_t k = 0; k < 3; ++k) out.size[k] = requirePositive(v[k], at[k]);
        }
    }

    int32_t checkedSegments(const Value& v, const Path& at, ObjectType type) {
        return checkedIntegerIn(v, at, type == ObjectType::Sphere ? kMinSphereSegments : 1, kMaxSegments);
    }

    [[gnu::noinline]] void readMember(const ObjectKey& key, const Path& at, SceneObject& object,
                                      ObjectProgress& progress) {
        const Path here = at / key.key;
        switch (key.member) {
            case Member::Name: readString(here, object.name); break;
            case Member::Id:
                readString(here, object.id);
                progress.idGiven = true;
                break;
            case Member::Type: {
                readString(here, scratch_);
                if (!typeOfName(scratch_, object.type)) {
                    fail(here, "unknown object type " + jsonString(scratch_) +
                                   " (expected polygon, null, bone, cube, plane, sphere, camera or light)");
                }
                progress.typeKnown = true;
                for (size_t i = 0; i < std::size(kObjectKeys); ++i) {
                    if (progress.seen[i]) refuseForeignKey(kObjectKeys[i], at, object.type);
                }
                break;
            }
            case Member::Position: object.position = readVector<3>(here); break;
            case Member::Rotation: object.rotation = readVector<3>(here); break;
            case Member::Scale: object.scale = readVector<3>(here); break;
            case Member::Points:
                readPoints(here, object.points);
                progress.pointsKnown = true;
                break;
            case Member::Polygons: readPolygons(here, object, progress, object.polygons); break;
            case Member::Uvw:
                readCornerList<2>(here, progress, progress.uvw, "[u, v] corners", object.uvw.emplace());
                break;
            case Member::Normals:
                readCornerList<3>(here, progress, progress.normals, "[x, y, z] corners", object.normals.emplace());
                break;
            case Member::Texture: object.texture = readTextureTag(here); break;
            case Member::Phong: object.phong = readPhongTag(here); break;
            case Member::Weights: readWeights(here, object, progress, object.weights); break;
            case Member::Rest: object.rest = readRest(here); break;
            case Member::Animation: object.animation = readAnimation(here); break;
            case Member::Size:
                if (progress.typeKnown) {
                    readSize(readSmallArray<3>(), here, object.type, object.generator);
                } else {
                    progress.size = readSmallArray<3>();
                }
                break;
            case Member::Radius: object.generator.radius = requirePositive(readReal(here), here); break;
            case Member::Segments:
                if (progress.typeKnown) {
                    object.generator.segments = checkedSegments(readScalar(), here, object.type);
                } else {
                    progress.segments = readScalar();
                }
                break;
            case Member::Children: break;  // read by readObject
        }
    }

    // Out of line, as is readMember, so that the frames of the recursion through nested
    // objects stay small: a thousand levels fit in the stack Windows gives the command.
    [[gnu::noinline]] void readChildren(const Path& at, int depth, SceneObject& object) {
        if (depth + 1 >= kMaxObjectDepth) {
            fail(at, "objects are nested deeper than " + std::to_string(kMaxObjectDepth) + " levels");
        }
        readObjects(at, depth + 1, object.children);
    }

    // The rules that needed a key given after the one they check.
    void finishObject(const Path& at, SceneObject& object, ObjectProgress& progress) {
        if (!progress.typeKnown) fail(at, "missing required key \"type\"");
        if (progress.size) readSize(*progress.size, at / "size", object.type, object.generator);
        if (progress.segments) object.generator.segments = checkedSegments(*progress.segments, at / "segments", object.type);
        const size_t pointCount = object.points.size();
        if (progress.polygonsBeforePoints) {
            const Path polygonsAt = at / "polygons";
            for (size_t i = 0; i < object.polygons.size(); ++i) {
                const Polygon& p = object.polygons[i];
                for (const int32_t index : {p.a, p.b, p.c, p.d}) {
                    if (uint64_t(index) >= pointCount) refuseIndex(polygonsAt[i], index, pointCount);
                }
            }
        }
        if (object.uvw) checkCornerList(at / "uvw", object.uvw->size(), progress, progress.uvw);
        if (object.normals) checkCornerList(at / "normals", object.normals->size(), progress, progress.normals);
        for (const ObjectProgress::WeightsCount& weights : progress.weightCounts) {
            if (weights.count != pointCount) {
                refuseWeightCount(at / "weights" / object.weights[weights.entry].bone, pointCount, weights.count);
            }
        }
        if (!progress.idGiven) object.id = object.name;
    }

    void readObject(const Path& at, int depth, SceneObject& object) {
        openObject(at);
        // The record keeps the object's place in document order, before its children's.
        const size_t record = state_.ids.size();
        state_.ids.emplace_back();
        // Kept off the stack, which a thousand nested objects would otherwise fill on Windows.
        if (progressAtDepth_.size() <= size_t(depth)) progressAtDepth_.emplace_back();
        ObjectProgress& progress = progressAtDepth_[size_t(depth)];
        progress = ObjectProgress{};
        forEachKey([&](const std::string& name) {
            const ObjectKey* key = objectKey(name);
            if (!key) fail(at, "unknown key " + jsonString(name));
            const size_t slot = size_t(key - kObjectKeys);
            if (progress.seen[slot]) throw MalformedJson{};
            progress.seen[slot] = true;
            if (progress.typeKnown) refuseForeignKey(*key, at, object.type);
            if (key->member == Member::Children) {
                readChildren(at / key->key, depth, object);
            } else {
                readMember(*key, at, object, progress);
            }
        });
        finishObject(at, object, progress);
        state_.ids[record] = IdRecord{object.id, progress.idGiven, object.type, textOf(at)};
    }

    void readObjects(const Path& at, int depth, std::vector<SceneObject>& out) {
        openArray(at, "objects");
        forEachElement([&](size_t i) { readObject(at[i], depth, out.emplace_back()); });
    }

    JsonInput& in_;
    LoadState state_;
    std::deque<ObjectProgress> progressAtDepth_;  // of the object being read at each depth
    std::string key_;
    std::string scratch_;
};

std::string formatError(const std::string& fileLabel, const BadScene& bad) {
    return fileLabel + ": " + (bad.path.empty() ? "top level" : bad.path) + ": " + bad.what;
}

std::string outOfMemory(const std::string& fileLabel) { return fileLabel + ": out of memory reading the scene"; }

// Reads the scene from `in`; on a refusal asks `jsonFault()` first, as a fault of the JSON
// itself anywhere in the text comes before a fault of its content.
template <class JsonFault>
bool readScene(JsonInput& in, const std::string& fileLabel, Scene& out, std::string& error, JsonFault jsonFault) {
    std::string contentFault;
    try {
        Scene scene;
        SceneReader(in).read(scene);
        out = std::move(scene);
        return true;
    } catch (const BadScene& bad) {
        contentFault = formatError(fileLabel, bad);
    } catch (const MalformedJson&) {
        contentFault = fileLabel + ": malformed JSON";
    } catch (const ReadFailure& failure) {
        error = fileLabel + ": cannot read the file: " + std::strerror(failure.error);
        return false;
    } catch (const std::bad_alloc&) {
        error = outOfMemory(fileLabel);
        return false;
    }
    try {
        const std::string fault = jsonFault();
        error = fault.empty() ? contentFault : fault;
    } catch (const ReadFailure& failure) {
        error = fileLabel + ": cannot read the file: " + std::strerror(failure.error);
    } catch (const std::bad_alloc&) {
        error = outOfMemory(fileLabel);
    }
    return false;
}

}  // namespace

bool parseScene(const std::string& text, const std::string& fileLabel, Scene& out, std::string& error) {
    JsonInput in(text);
    return readScene(in, fileLabel, out, error, [&] { return jsonFault(text, fileLabel); });
}

bool loadSceneFile(const std::string& path, Scene& out, std::string& error) {
    if (platform::isDeviceOrPipe(path)) {
        error = path + ": cannot read the file: not a regular file (a device, a pipe or a socket)";
        return false;
    }
    std::FILE* file = platform::openForReading(path);
    if (!file) {
        error = path + ": cannot open the file: " + std::strerror(errno);
        return false;
    }
    bool loaded = false;
    try {
        JsonInput in(file);
        loaded = readScene(in, path, out, error, [&] { return jsonFault(file, path); });
    } catch (const ReadFailure& failure) {  // in the first read
        error = path + ": cannot read the file: " + std::strerror(failure.error);
    } catch (const std::bad_alloc&) {
        error = outOfMemory(path);
    }
    std::fclose(file);
    return loaded;
}

}  // namespace korvo
