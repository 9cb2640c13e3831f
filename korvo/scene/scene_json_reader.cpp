// The scene reader: reads a scene file once into one padded buffer and walks its JSON with
// simdjson's On-Demand API straight into the scene records, checking every rule as it
// goes, so that no document tree is built. The long arrays of polygon objects are read
// first, straight from the text (scene_rows.h), and the JSON parser walks the rest; should
// the rest be refused, or the arrays not sit where the reader takes them, the text is read
// again whole, so that a refusal is worded from the text as it stands. Rules that depend on a key the object gives
// later (the points that polygon indices refer to, the type that decides which keys
// apply) are checked when the object ends; those between objects (ids, weights' bones,
// texture materials) when the document ends. A refusal is one line naming the file, the
// JSON path, its line and column and what is wrong; faults of the JSON itself
// (scene_json_check.h) come before faults of the content.
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

#include <simdjson.h>

#include "korvo/scene/json_key_set.h"
#include "korvo/files/file_text.h"
#include "korvo/files/platform.h"
#include "korvo/scene/scene_json.h"
#include "korvo/scene/scene_json_check.h"
#include "korvo/scene/scene_json_text.h"
#include "korvo/scene/scene_rows.h"

namespace korvo {
namespace {

namespace ondemand = simdjson::ondemand;

constexpr int32_t kFormatVersion = 1;
constexpr int32_t kMaxSegments = 1000;
constexpr int32_t kMinSphereSegments = 4;
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

// The path as a JSON pointer ("/objects/0/points"), to find the value again for its line.
std::string pointerOf(const Path& path) {
    std::string pointer;
    if (path.parent) pointer = pointerOf(*path.parent);
    if (!path.parent) return pointer;
    pointer += '/';
    if (path.isIndex) return pointer + std::to_string(path.index);
    for (const char c : path.key) pointer += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
    return pointer;
}

// The one reason a file is refused, and where: at `where` in the text when the reader knew
// it, otherwise at the value `pointer` names.
struct BadScene {
    std::string path;  // empty: the top level
    std::string what;
    const char* where = nullptr;
    std::string pointer;
};

[[noreturn]] void failAt(std::string path, std::string what, const char* where) {
    throw BadScene{std::move(path), std::move(what), where, {}};
}
[[noreturn]] void fail(const Path& at, std::string what) { throw BadScene{textOf(at), std::move(what), nullptr, pointerOf(at)}; }
[[noreturn]] void failAtKey(const Path& at, std::string what, const char* key) { failAt(textOf(at), std::move(what), key); }

// Any fault of the JSON itself: the reader stops, and the JSON checker names it.
struct MalformedJson {};

// The arrays read ahead were not where the reader takes them: the text is read again whole.
struct RowsElsewhere {};

// Left uninitialised by default, as the reader keeps short arrays of them.
struct JsonNumber {
    double value;     // an integer written "-0" is +0
    bool isInteger;   // no fraction or exponent, and within 64 bits
    int64_t integer;  // when isInteger (otherwise 0); values above the int64 range are held as its maximum
};

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

void refuseForeignKey(const ObjectKey& key, const Path& at, ObjectType type, const char* keyAt) {
    if (!(key.types & bit(type))) {
        failAtKey(at, jsonString(key.key) + " is allowed only on " + key.where + ", not on " + withArticle(type), keyAt);
    }
}

// ---------------------------------------------------------------- what is checked at the end

struct IdRecord {
    std::string id;
    bool given = false;  // from "id"; otherwise the name stands in
    ObjectType type = ObjectType::Null;
    std::string path;
    const char* where = nullptr;
};

// A name given in one place that must match one defined elsewhere in the file.
struct Reference {
    std::string name;
    std::string path;
    const char* where = nullptr;
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
            failAt(record.path + ".id", "id " + jsonString(record.id) + " is already used by " + first.path, record.where);
        }
        if (first.given) {
            failAt(record.path, "id " + jsonString(record.id) + " (taken from its name) is already used by " + first.path,
                   record.where);
        }
        shared.insert(record.id);
    }
    for (const Reference& reference : state.weightBones) {
        const auto found = firstWithId.find(reference.name);
        if (found == firstWithId.end()) {
            failAt(reference.path, "no object has the id " + jsonString(reference.name), reference.where);
        }
        const IdRecord& target = state.ids[found->second];
        if (shared.count(reference.name)) {
            failAt(reference.path, "id " + jsonString(reference.name) + " is ambiguous: several objects are named so (" +
                                       target.path + " and others); give the bone an \"id\"",
                   reference.where);
        }
        if (target.type != ObjectType::Bone) {
            failAt(reference.path, target.path + " (id " + jsonString(reference.name) + ") is " +
                                       withArticle(target.type) + ", not a bone",
                   reference.where);
        }
    }
}

// What one object gave, for the rules checked when it ends.
struct ObjectProgress {
    bool seen[std::size(kObjectKeys)] = {};
    const char* keyAt[std::size(kObjectKeys)] = {};  // where each key was given
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
    // `text`, when given, holds the document and takes back the pages read. `split`, when
    // given, has the arrays read ahead, and the document is its rest.
    SceneReader(ondemand::document& doc, FileText* text, SplitText* split) : doc_(doc), text_(text), split_(split) {}

    void read(Scene& scene) {
        const Path top;
        ondemand::json_type type;
        if (doc_.type().get(type)) throw MalformedJson{};
        // A literal at the top is named by its kind and first letter: simdjson may refuse to
        // read one followed by blanks, which the JSON checker has already let pass.
        if (type == ondemand::json_type::null) fail(top, "expected an object, found null");
        if (type == ondemand::json_type::boolean) {
            const char* at = nullptr;
            const bool isTrue = !doc_.current_location().get(at) && *at == 't';
            fail(top, std::string("expected an object, found ") + (isTrue ? "true" : "false"));
        }
        if (type != ondemand::json_type::object) fail(top, "expected an object, found " + describe(readScalar(doc_)));
        // At the top, with simdjson's check that the document closes where it should.
        ondemand::object fields;
        if (doc_.get_object().get(fields)) throw MalformedJson{};
        bool versionSeen = false, endTimeSeen = false;
        std::optional<double> endFrame;
        std::optional<int64_t> currentTake;
        KeySet keys;
        forEachKey(fields, [&](std::string_view key) {
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
                failAtKey(top, "unknown key " + jsonString(key), keyAt_);
            }
        });
        const char* after = nullptr;
        if (!doc_.current_location().get(after)) throw MalformedJson{};  // bytes after the document
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
        if (split_ && nextBlock_ != split_->blocks.size()) throw RowsElsewhere{};
        for (const Reference& reference : state_.textureMaterials) {
            if (!state_.materialNames.count(reference.name)) {
                failAt(reference.path, "unknown material " + jsonString(reference.name), reference.where);
            }
        }
        checkIds(state_);
    }

private:
    // ------------------------------------------------------------ JSON shapes

    // Where the value about to be read begins.
    const char* valueAt() {
        const char* at = nullptr;
        return doc_.current_location().get(at) ? nullptr : at;
    }

    // Calls `onKey(key)` for each key of `object` with the key's value in cur_ for `onKey` to read.
    template <class OnKey>
    void forEachKey(ondemand::object& object, OnKey onKey) {
        for (auto result : object) {
            ondemand::field field;
            std::string_view key;
            if (std::move(result).get(field)) throw MalformedJson{};
            keyAt_ = field.key().raw() - 1;  // before unescaping, which consumes the key
            if (field.unescaped_key().get(key)) throw MalformedJson{};
            cur_ = field.value();
            onKey(key);
        }
    }

    // Calls `onElement(index)` for each element of `array`, in cur_ for `onElement` to read.
    // Every few thousand elements the text read so far is given back: the records that
    // long arrays fill then take the place of their text.
    template <class OnElement>
    size_t forEachElement(ondemand::array& array, OnElement onElement) {
        size_t count = 0;
        for (auto result : array) {
            if (std::move(result).get(cur_)) throw MalformedJson{};
            if ((count & 4095) == 4095 && text_) text_->release(valueAt());
            onElement(count++);
        }
        return count;
    }

    // A number of any size simdjson reads: an integer beyond 64 bits as a double.
    template <class Json>
    static JsonNumber readNumber(Json& v) {
        ondemand::number number;
        if (!v.get_number().get(number)) {
            switch (number.get_number_type()) {
                case ondemand::number_type::signed_integer: {
                    const int64_t i = number.get_int64();
                    return JsonNumber{double(i), true, i};
                }
                case ondemand::number_type::unsigned_integer:
                    return JsonNumber{double(number.get_uint64()), true, std::numeric_limits<int64_t>::max()};
                default: return JsonNumber{number.get_double(), false, 0};
            }
        }
        double x;
        if (v.get_double().get(x)) throw MalformedJson{};  // beyond a double, or not a number
        return JsonNumber{x, false, 0};
    }

    // A scalar read; a string, array or object only named by its kind.
    template <class Json>
    static Value readScalar(Json& v) {
        ondemand::json_type type;
        if (v.type().get(type)) throw MalformedJson{};
        Value value;
        value.number = JsonNumber{0, false, 0};
        switch (type) {
            case ondemand::json_type::number:
                value.kind = Kind::Number;
                value.number = readNumber(v);
                break;
            case ondemand::json_type::boolean: {
                bool b;
                if (v.get_bool().get(b)) throw MalformedJson{};
                value.kind = b ? Kind::True : Kind::False;
                break;
            }
            case ondemand::json_type::null: {
                bool isNull = false;
                if (v.is_null().get(isNull) || !isNull) throw MalformedJson{};
                value.kind = Kind::Null;
                break;
            }
            case ondemand::json_type::string: value.kind = Kind::String; break;
            case ondemand::json_type::array: value.kind = Kind::Array; break;
            case ondemand::json_type::object: value.kind = Kind::Object; break;
        }
        return value;
    }
    Value readScalar() { return readScalar(cur_); }

    // An array expected to hold up to `Capacity` numbers: the first `Capacity` kept, all counted.
    template <size_t Capacity>
    SmallArray<Capacity> readSmallArray() {
        SmallArray<Capacity> a;
        ondemand::array elements;
        if (cur_.get_array().get(elements)) {
            a.self = readScalar();
            return a;
        }
        a.isArray = true;
        a.count = forEachElement(elements, [&](size_t i) {
            const Value v = readScalar();
            if (i < Capacity) a.items[i] = v;
        });
        return a;
    }

    // The object or array that must follow; any other value is read and refused.
    ondemand::object openObject(const Path& at) {
        ondemand::object object;
        if (cur_.get_object().get(object)) fail(at, "expected an object, found " + describe(readScalar()));
        return object;
    }
    ondemand::array openArray(const Path& at, const char* ofWhat) {
        ondemand::array array;
        if (cur_.get_array().get(array)) {
            fail(at, std::string("expected an array of ") + ofWhat + ", found " + describe(readScalar()));
        }
        return array;
    }

    // simdjson reads an integer written "-0" as -0; it is +0, as the integer it is.
    double integerZeroPositive(double x) {
        if (x != 0 || !std::signbit(x)) return x;
        return cur_.raw_json_token().find_first_of(".eE") == std::string_view::npos ? 0.0 : x;
    }

    double readReal(const Path& at) {
        double x;
        if (!cur_.get_double().get(x)) return checkedReal(integerZeroPositive(x), at);
        return checkedReal(readScalar(), at);
    }

    bool readBool(const Path& at) {
        const Value v = readScalar();
        if (v.kind != Kind::True && v.kind != Kind::False) fail(at, "expected true or false, found " + describe(v));
        return v.kind == Kind::True;
    }

    void readString(const Path& at, std::string& out) {
        std::string_view text;
        const simdjson::error_code error = cur_.get_string().get(text);
        if (!error) {
            out.assign(text.data(), text.size());
            return;
        }
        if (error != simdjson::INCORRECT_TYPE) throw MalformedJson{};
        fail(at, "expected a string, found " + describe(readScalar()));
    }

    // N numbers, the shape of points, corners and vectors: read straight as doubles, and
    // as values (for the refusal) only once one is not a number.
    template <size_t N>
    std::array<double, N> readVector(const Path& at) {
        SmallArray<N> a;
        ondemand::array elements;
        if (cur_.get_array().get(elements)) {
            a.self = readScalar();
            return checkedVector<N>(a, at);
        }
        a.isArray = true;
        std::array<double, N> out;
        bool allNumbers = true;
        for (auto result : elements) {
            if (std::move(result).get(cur_)) throw MalformedJson{};
            if (allNumbers && a.count < N && !cur_.get_double().get(out[a.count])) {
                out[a.count] = integerZeroPositive(out[a.count]);
                ++a.count;
                continue;
            }
            if (allNumbers) {
                for (size_t i = 0; i < a.count; ++i) a.items[i] = Value{Kind::Number, JsonNumber{out[i], false, 0}};
                allNumbers = false;
            }
            const Value v = readScalar();
            if (a.count < N) a.items[a.count] = v;
            ++a.count;
        }
        if (!allNumbers || a.count != N) return checkedVector<N>(a, at);
        for (size_t i = 0; i < N; ++i) checkedReal(out[i], at[i]);
        return out;
    }

    // ------------------------------------------------------------ arrays read ahead

    // The array read ahead that stands at the value about to be read, as "[]", if any.
    RowBlock* blockHere(RowKind kind) {
        if (!split_ || nextBlock_ == split_->blocks.size()) return nullptr;
        RowBlock& block = split_->blocks[nextBlock_];
        if (valueAt() != split_->rest.data() + block.at) return nullptr;
        ondemand::array empty;
        if (block.kind != kind || cur_.get_array().get(empty)) throw RowsElsewhere{};
        for (auto element : empty) {
            (void)element;
            throw RowsElsewhere{};
        }
        ++nextBlock_;
        return &block;
    }

    // The checks readPolygons makes; a refusal is worded when the text is read again.
    void takePolygons(RowBlock& block, SceneObject& object, ObjectProgress& progress) {
        if (progress.pointsKnown && uint64_t(block.largestIndex) >= object.points.size()) throw RowsElsewhere{};
        object.polygons = std::move(block.polygons);
        progress.polygonCorners = std::move(block.corners);
        progress.polygonsKnown = true;
        progress.polygonsBeforePoints = !progress.pointsKnown;
    }

    // The checks readCornerList makes: one entry per polygon, with as many corners.
    static void takeCornerList(RowBlock& block, ObjectProgress& progress, ObjectProgress::CornerList& list) {
        list.beforePolygons = !progress.polygonsKnown;
        if (!progress.polygonsKnown) {
            list.corners = std::move(block.corners);
        } else if (block.corners != progress.polygonCorners) {
            throw RowsElsewhere{};
        }
    }

    // ------------------------------------------------------------ materials

    Channel readChannel(const Path& at, bool isColor) {
        auto fields = openObject(at);
        Channel channel;
        bool seen[3] = {};
        forEachKey(fields, [&](std::string_view key) {
            const int slot = key == "on" ? 0 : key == "value" ? 1 : key == "texture" ? 2 : -1;
            if (slot < 0) failAtKey(at, "unknown key " + jsonString(key), keyAt_);
            if (seen[slot]) throw MalformedJson{};
            seen[slot] = true;
            if (slot == 0) {
                channel.on = readBool(at / "on");
            } else if (slot == 1) {
                channel.value = requireWithinLimit(readVector<3>(at / "value"), at / "value");
            } else {
                if (!isColor) failAtKey(at, "\"texture\" is allowed only on the color channel", keyAt_);
                readString(at / "texture", channel.texture.emplace());
            }
        });
        return channel;
    }

    void readMaterials(const Path& at, std::vector<Material>& out) {
        auto elements = openArray(at, "materials");
        forEachElement(elements, [&](size_t i) {
            const Path here = at[i];
            auto fields = openObject(here);
            Material& material = out.emplace_back();
            bool seen[5] = {};
            forEachKey(fields, [&](std::string_view key) {
                static constexpr std::string_view kKeys[] = {"name", "color", "luminance", "transparency", "specular"};
                const size_t slot = size_t(std::find(std::begin(kKeys), std::end(kKeys), key) - std::begin(kKeys));
                if (slot == std::size(kKeys)) failAtKey(here, "unknown key " + jsonString(key), keyAt_);
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
        auto elements = openArray(at, "takes");
        forEachElement(elements, [&](size_t i) {
            const Path here = at[i];
            auto fields = openObject(here);
            Take& take = out.emplace_back();
            bool seen[3] = {};
            forEachKey(fields, [&](std::string_view key) {
                static constexpr std::string_view kKeys[] = {"name", "startFrame", "endFrame"};
                const size_t slot = size_t(std::find(std::begin(kKeys), std::end(kKeys), key) - std::begin(kKeys));
                if (slot == std::size(kKeys)) failAtKey(here, "unknown key " + jsonString(key), keyAt_);
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
        auto elements = openArray(at, "points");
        forEachElement(elements, [&](size_t i) { out.push_back(readVector<3>(at[i])); });
    }

    void readPolygons(const Path& at, const SceneObject& object, ObjectProgress& progress,
                      std::vector<Polygon>& out) {
        auto elements = openArray(at, "polygons");
        const size_t pointCount = object.points.size();
        forEachElement(elements, [&](size_t i) {
            const Path here = at[i];
            // The usual polygon is read straight (readPlainPolygon); anything else again as
            // values, for the refusal.
            ondemand::array indices;
            SmallArray<4> a;
            if (!cur_.get_array().get(indices)) {
                if (progress.pointsKnown && readPlainPolygon(indices, pointCount, out, progress)) return;
                a.isArray = true;
                a.count = forEachElement(indices, [&](size_t k) {
                    int64_t n;
                    if (k < 4 && !cur_.get_int64().get(n)) {
                        a.items[k] = Value{Kind::Number, JsonNumber{double(n), true, n}};
                        return;
                    }
                    const Value v = readScalar();
                    if (k < 4) a.items[k] = v;
                });
            } else {
                a.self = readScalar();
            }
            if (!a.isArray) fail(here, "expected an array of 3 or 4 point indices, found " + describe(a.self));
            if (a.count < 3 || a.count > 4) {
                fail(here, "a polygon needs 3 or 4 point indices, found " + std::to_string(a.count));
            }
            int32_t index[4];
            for (size_t k = 0; k < a.count; ++k) {
                const JsonNumber& n = a.items[k].number;
                if (a.items[k].kind == Kind::Number && n.isInteger && progress.pointsKnown && n.integer >= 0 &&
                    uint64_t(n.integer) < pointCount) {
                    index[k] = int32_t(n.integer);
                } else {
                    index[k] = checkedIndex(a.items[k], here[k], progress, pointCount);
                }
            }
            out.push_back(Polygon{index[0], index[1], index[2], a.count == 4 ? index[3] : index[2]});
            progress.polygonCorners.push_back(uint8_t(a.count));
        });
        progress.polygonsKnown = true;
        progress.polygonsBeforePoints = !progress.pointsKnown;
    }

    // A polygon of 3 or 4 integers, each below the points' count, read straight into the
    // record; false, with the array back at its start, for anything else.
    static bool readPlainPolygon(ondemand::array& indices, size_t pointCount, std::vector<Polygon>& out,
                                 ObjectProgress& progress) {
        int64_t index[4];
        size_t count = 0;
        for (auto result : indices) {
            ondemand::value v;
            if (count == 4 || std::move(result).get(v) || v.get_int64().get(index[count]) || index[count] < 0 ||
                uint64_t(index[count]) >= pointCount) {
                if (indices.reset().error()) throw MalformedJson{};
                return false;
            }
            ++count;
        }
        if (count < 3) {
            if (indices.reset().error()) throw MalformedJson{};
            return false;
        }
        out.push_back(Polygon{int32_t(index[0]), int32_t(index[1]), int32_t(index[2]), int32_t(index[count - 1])});
        progress.polygonCorners.push_back(uint8_t(count));
        return true;
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
        auto elements = openArray(at, "per-polygon corner lists");
        list.beforePolygons = !progress.polygonsKnown;
        if (progress.polygonsKnown) out.reserve(progress.polygonCorners.size());
        const size_t entries = forEachElement(elements, [&](size_t i) {
            const Path here = at[i];
            auto elements = openArray(here, cornerText);
            Record record;
            size_t corners = 0;
            if (!readPlainCorners<N>(elements, record, corners)) {
                corners = forEachElement(elements, [&](size_t k) {
                    const auto corner = readVector<N>(here[k]);
                    if (k < 4) record.corners[k] = corner;
                });
            }
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

    // The usual entry of a per-corner list: up to 4 corners of N numbers, each within the
    // float range and none of them -0 (whose spelling decides its sign), read straight into
    // the record; false, with the array back at its start, for anything else.
    template <size_t N, typename Record>
    static bool readPlainCorners(ondemand::array& corners, Record& record, size_t& count) {
        count = 0;
        for (auto corner : corners) {
            ondemand::array numbers;
            bool plain = count < 4 && !std::move(corner).get_array().get(numbers);
            size_t n = 0;
            if (plain) {
                for (auto number : numbers) {
                    double x;
                    if (n == N || number.get_double().get(x) || !(std::fabs(x) < kFloatRangeEnd) ||
                        (x == 0 && std::signbit(x))) {
                        plain = false;
                        break;
                    }
                    record.corners[count][n++] = x;
                }
            }
            if (!plain || n != N) {
                if (corners.reset().error()) throw MalformedJson{};
                return false;
            }
            ++count;
        }
        return true;
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
        auto fields = openObject(at);
        KeySet bones;
        forEachKey(fields, [&](std::string_view bone) {
            if (!bones.insert(bone)) throw MalformedJson{};
            const Path here = at / bone;
            const char* const entryAt = valueAt();
            auto elements = openArray(here, "weights, one per point");
            BoneWeights& weights = out.emplace_back();
            weights.bone = std::string(bone);
            if (progress.pointsKnown) weights.perPoint.reserve(object.points.size());
            forEachElement(elements, [&](size_t i) { weights.perPoint.push_back(readReal(here[i])); });
            if (progress.pointsKnown) {
                if (weights.perPoint.size() != object.points.size()) {
                    refuseWeightCount(here, object.points.size(), weights.perPoint.size());
                }
            } else {
                progress.weightCounts.push_back({out.size() - 1, weights.perPoint.size()});
            }
            state_.weightBones.push_back({std::string(bone), textOf(here), entryAt});
        });
    }

    // ------------------------------------------------------------ tags, rest pose, animation

    TextureTag readTextureTag(const Path& at) {
        auto fields = openObject(at);
        TextureTag tag;
        bool seen[3] = {};
        forEachKey(fields, [&](std::string_view key) {
            const int slot = key == "material" ? 0 : key == "offset" ? 1 : key == "scale" ? 2 : -1;
            if (slot < 0) failAtKey(at, "unknown key " + jsonString(key), keyAt_);
            if (seen[slot]) throw MalformedJson{};
            seen[slot] = true;
            if (slot == 0) {
                const char* const materialAt = valueAt();
                readString(at / "material", tag.material);
                if (!state_.materialsRead) {
                    state_.textureMaterials.push_back({tag.material, textOf(at / "material"), materialAt});
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
        auto fields = openObject(at);
        PhongTag tag;
        bool seen[2] = {};
        forEachKey(fields, [&](std::string_view key) {
            const int slot = key == "limit" ? 0 : key == "angle" ? 1 : -1;
            if (slot < 0) failAtKey(at, "unknown key " + jsonString(key), keyAt_);
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
        auto fields = openObject(at);
        bool seen[3] = {};
        forEachKey(fields, [&](std::string_view key) {
            const int slot = key == "position" ? 0 : key == "rotation" ? 1 : key == "scale" ? 2 : -1;
            if (slot < 0) failAtKey(at, "unknown key " + jsonString(key), keyAt_);
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
        auto elements = openArray(at, "keys [frame, x, y, z]");
        forEachElement(elements, [&](size_t i) {
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
                    if (progress.seen[i]) refuseForeignKey(kObjectKeys[i], at, object.type, progress.keyAt[i]);
                }
                break;
            }
            case Member::Position: object.position = readVector<3>(here); break;
            case Member::Rotation: object.rotation = readVector<3>(here); break;
            case Member::Scale: object.scale = readVector<3>(here); break;
            case Member::Points:
                if (RowBlock* block = blockHere(RowKind::Points)) {
                    object.points = std::move(block->points);
                } else {
                    readPoints(here, object.points);
                }
                progress.pointsKnown = true;
                break;
            case Member::Polygons:
                if (RowBlock* block = blockHere(RowKind::Polygons)) {
                    takePolygons(*block, object, progress);
                } else {
                    readPolygons(here, object, progress, object.polygons);
                }
                break;
            case Member::Uvw:
                if (RowBlock* block = blockHere(RowKind::Uvw)) {
                    object.uvw = std::move(block->uvw);
                    takeCornerList(*block, progress, progress.uvw);
                } else {
                    readCornerList<2>(here, progress, progress.uvw, "[u, v] corners", object.uvw.emplace());
                }
                break;
            case Member::Normals:
                if (RowBlock* block = blockHere(RowKind::Normals)) {
                    object.normals = std::move(block->normals);
                    takeCornerList(*block, progress, progress.normals);
                } else {
                    readCornerList<3>(here, progress, progress.normals, "[x, y, z] corners", object.normals.emplace());
                }
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
        const char* const objectAt = valueAt();
        auto fields = openObject(at);
        // The record keeps the object's place in document order, before its children's.
        const size_t record = state_.ids.size();
        state_.ids.emplace_back();
        // Kept off the stack, which a thousand nested objects would otherwise fill on Windows.
        if (progressAtDepth_.size() <= size_t(depth)) progressAtDepth_.emplace_back();
        ObjectProgress& progress = progressAtDepth_[size_t(depth)];
        progress = ObjectProgress{};
        forEachKey(fields, [&](std::string_view name) {
            const ObjectKey* key = objectKey(name);
            if (!key) failAtKey(at, "unknown key " + jsonString(name), keyAt_);
            const size_t slot = size_t(key - kObjectKeys);
            if (progress.seen[slot]) throw MalformedJson{};
            progress.seen[slot] = true;
            progress.keyAt[slot] = keyAt_;
            if (progress.typeKnown) refuseForeignKey(*key, at, object.type, keyAt_);
            if (key->member == Member::Children) {
                readChildren(at / key->key, depth, object);
            } else {
                readMember(*key, at, object, progress);
            }
        });
        finishObject(at, object, progress);
        state_.ids[record] = IdRecord{object.id, progress.idGiven, object.type, textOf(at), objectAt};
    }

    void readObjects(const Path& at, int depth, std::vector<SceneObject>& out) {
        auto elements = openArray(at, "objects");
        forEachElement(elements, [&](size_t i) { readObject(at[i], depth, out.emplace_back()); });
    }

    ondemand::document& doc_;
    FileText* text_;
    SplitText* split_;
    size_t nextBlock_ = 0;          // the next of split_'s arrays
    ondemand::value cur_;           // the value to read next
    const char* keyAt_ = nullptr;   // where the key of cur_ begins, for messages about the key
    LoadState state_;
    std::deque<ObjectProgress> progressAtDepth_;  // of the object being read at each depth
    std::string scratch_;
};

// Where `bad` lies: the place it names, or the value its pointer leads to, found by
// reading the text again (only a refusal pays for it); the nearest enclosing value that
// can be found, the document's start at worst.
size_t offsetOf(const BadScene& bad, simdjson::padded_string_view json, ondemand::parser& parser) {
    if (bad.where) return size_t(bad.where - json.data());
    std::string pointer = bad.pointer;
    while (!pointer.empty()) {
        ondemand::document doc;
        ondemand::value value;
        if (!parser.iterate(json).get(doc) && !doc.at_pointer(pointer).get(value)) {
            return size_t(value.raw_json_token().data() - json.data());
        }
        pointer.resize(pointer.rfind('/'));
    }
    size_t start = 0;
    while (start < json.length() && std::strchr(" \t\r\n", json.data()[start])) ++start;
    return start;
}

std::string outOfMemory(const std::string& fileLabel) { return fileLabel + ": out of memory reading the scene"; }

// Reads the scene from the long arrays read ahead and the JSON of the rest; false, with
// nothing said, for anything else than a scene read in full.
bool readSplit(simdjson::padded_string_view json, FileText* file, Scene& out) {
    SplitText split;
    if (!splitRows(json.data(), json.length(), simdjson::SIMDJSON_PADDING, file, split)) return false;
    try {
        ondemand::parser parser;
        if (parser.allocate(split.restLength, kMaxJsonNesting + 2) == simdjson::MEMALLOC) throw std::bad_alloc();
        ondemand::document doc;
        if (parser.iterate(split.rest.data(), split.restLength, split.rest.size()).get(doc)) return false;
        Scene scene;
        SceneReader(doc, nullptr, &split).read(scene);
        out = std::move(scene);
        return true;
    } catch (const BadScene&) {
    } catch (const MalformedJson&) {
    } catch (const RowsElsewhere&) {
    }
    return false;
}

// Reads the scene from `json` (all of `text` but a byte order mark). A refusal is worded
// after asking jsonFault(), as a fault of the JSON itself anywhere in the text comes
// before a fault of its content.
bool readScene(std::string_view text, simdjson::padded_string_view json, FileText* file, const std::string& fileLabel,
               Scene& out, std::string& error) {
    try {
        if (readSplit(json, file, out)) return true;
    } catch (const std::bad_alloc&) {
        error = outOfMemory(fileLabel);
        return false;
    }
    std::optional<BadScene> bad;
    ondemand::parser parser;
    try {
        // Sized as the JSON checker needs it too, so that a refusal reuses its memory.
        if (parser.allocate(json.length(), kMaxJsonNesting + 2) == simdjson::MEMALLOC) throw std::bad_alloc();
        ondemand::document doc;
        if (parser.iterate(json).get(doc)) throw MalformedJson{};
        Scene scene;
        SceneReader(doc, file, nullptr).read(scene);
        out = std::move(scene);
        return true;
    } catch (BadScene& refused) {
        bad = std::move(refused);
    } catch (const MalformedJson&) {
    } catch (const std::bad_alloc&) {
        error = outOfMemory(fileLabel);
        return false;
    }
    try {
        error = jsonFault(text, json, fileLabel, parser);
        if (!error.empty()) return false;
        if (!bad) {  // the checker should have named it
            error = fileLabel + ": malformed JSON";
            return false;
        }
        const size_t skipped = size_t(json.data() - text.data());
        error = fileLabel + ": " + (bad->path.empty() ? "top level" : bad->path) + " at " +
                placeOf(text, skipped + offsetOf(*bad, json, parser)) + ": " + bad->what;
    } catch (const std::bad_alloc&) {
        error = outOfMemory(fileLabel);
    }
    return false;
}

// The JSON of `text`: all of it but a UTF-8 byte order mark. simdjson reads up to
// SIMDJSON_PADDING bytes past the end, which `capacity` allows.
simdjson::padded_string_view jsonOf(const char* text, size_t length, size_t capacity) {
    const size_t mark = length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    return simdjson::padded_string_view(text + mark, length - mark, capacity - mark);
}

}  // namespace

bool parseScene(const std::string& text, const std::string& fileLabel, Scene& out, std::string& error) {
    const simdjson::padded_string padded(text);
    try {
        return readScene(std::string_view(padded.data(), padded.size()),
                         jsonOf(padded.data(), padded.size(), padded.size() + simdjson::SIMDJSON_PADDING), nullptr,
                         fileLabel, out, error);
    } catch (const std::bad_alloc&) {
        error = outOfMemory(fileLabel);
        return false;
    }
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
    // The whole file at once, as simdjson needs it.
    bool loaded = false;
    try {
        FileText text;
        if (!text.load(file, simdjson::SIMDJSON_PADDING)) {
            error = path + ": cannot read the file: " + std::strerror(errno);
        } else {
            loaded = readScene(std::string_view(text.data(), text.size()),
                               jsonOf(text.data(), text.size(), text.capacity()), &text, path, out, error);
        }
    } catch (const std::bad_alloc&) {
        error = outOfMemory(path);
    }
    std::fclose(file);
    return loaded;
}

}  // namespace korvo
