#include "korvo/scene/scene_json_text.h"

#include <charconv>
#include <cmath>

#include <nlohmann/json.hpp>

namespace korvo {
namespace {

struct TypeName {
    ObjectType type;
    std::string_view name;
};

constexpr TypeName kTypeNames[] = {
    {ObjectType::Polygon, "polygon"}, {ObjectType::Null, "null"},     {ObjectType::Bone, "bone"},
    {ObjectType::Cube, "cube"},       {ObjectType::Plane, "plane"},   {ObjectType::Sphere, "sphere"},
    {ObjectType::Camera, "camera"},   {ObjectType::Light, "light"},
};

// Paths up to this many steps are written whole; longer ones show their ends.
constexpr size_t kWholePathSteps = 16;
constexpr size_t kShownEndSteps = 4;

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

void appendStep(std::string& out, const PathStep& step) {
    if (step.isIndex) {
        out += '[';
        out += std::to_string(step.index);
        out += ']';
    } else if (isPlainKey(step.key)) {
        if (!out.empty()) out += '.';
        out += step.key;
    } else {
        out += '[';
        out += jsonString(step.key);
        out += ']';
    }
}

}  // namespace

std::string jsonString(std::string_view text) {
    return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void appendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    if (value == 0 && std::signbit(value)) {
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

std::string_view typeName(ObjectType type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type) return entry.name;
    }
    return "null";
}

bool typeOfName(std::string_view name, ObjectType& type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.name == name) {
            type = entry.type;
            return true;
        }
    }
    return false;
}

std::string pathText(const std::vector<PathStep>& steps) {
    std::string text;
    if (steps.size() <= kWholePathSteps) {
        for (const PathStep& step : steps) appendStep(text, step);
        return text;
    }
    for (size_t i = 0; i < kShownEndSteps; ++i) appendStep(text, steps[i]);
    // The tail starts at a key, so that it reads as a path of its own.
    size_t tailStart = steps.size() - kShownEndSteps;
    if (steps[tailStart].isIndex) --tailStart;
    std::string tail;
    for (size_t i = tailStart; i < steps.size(); ++i) appendStep(tail, steps[i]);
    return text + " ... " + tail + " (" + std::to_string(steps.size()) + " steps)";
}

}  // namespace korvo
