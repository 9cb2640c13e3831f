// Text shared by the scene reader and the scene writer: JSON strings and numbers as
// the scene file spells them, the names of object types, and JSON paths for messages.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "korvo/scene/scene.h"

namespace korvo {

// `text` as a JSON string literal; bytes that are not UTF-8 become U+FFFD.
std::string jsonString(std::string_view text);

// The shortest text that reads back to the same double; -0 as "-0.0", as "-0" would
// read back as the integer 0. A non-finite value, which JSON cannot hold, as "null".
void appendNumber(std::string& out, double value);
std::string numberText(double value);

// "polygon", "null", ...; and the type of a name, false for an unknown one.
std::string_view typeName(ObjectType type);
bool typeOfName(std::string_view name, ObjectType& type);

// One step of a JSON path: a key of an object or an index into an array.
struct PathStep {
    std::string_view key;
    size_t index = 0;
    bool isIndex = false;
};

// "objects[0].weights[\"Bone 1\"]": `.key`, or `["key"]` when the key is not a plain
// identifier, and `[index]`. A long path (objects nested a thousand deep) names its first
// and last steps and its length instead of every step, so that a message stays one
// readable line.
std::string pathText(const std::vector<PathStep>& steps);

}  // namespace korvo
