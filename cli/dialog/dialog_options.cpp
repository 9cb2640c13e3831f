#include "cli/dialog/dialog_options.h"

#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace korvo::cli {

namespace {

// The settings dialog's label of each element an option sets (number fields carry
// theirs in a text beside them, so the dialog alone does not name them).
const char* elementLabel(int32_t element) {
    switch (element) {
        case KRV_SETTINGS_FRAMES: return "Export frames";
        case KRV_SETTINGS_ANIMATION: return "Export animation";
        case KRV_SETTINGS_BONES: return "Export bones";
        case KRV_SETTINGS_TICKS_PER_FRAME: return "Ticks per frame";
        case KRV_SETTINGS_DISTANCE_PER_FRAME: return "Distance per frame";
        case KRV_SETTINGS_FRAME_PER_FILE: return "Each frame to separat file";
        case KRV_SETTINGS_ONLY_BONES: return "Only bones";
        case KRV_SETTINGS_FRAME_RATE: return "Write frame rate (AnimTicksPerSecond)";
        case KRV_SETTINGS_ALL_TAKES: return "Export all takes";
        case KRV_SETTINGS_PHONG_ANGLE: return "Read smoothing-angle from PhongTag";
        case KRV_SETTINGS_NORMAL_TAGS: return "Use normal tags";
        case KRV_SETTINGS_SMOOTHING_ANGLE: return "Smoothing angle";
        case KRV_SETTINGS_UNIQUE_NAMES: return "Add unique number to each entity name";
        case KRV_SETTINGS_NORMALS: return "Export normals";
        case KRV_SETTINGS_TEXTURES: return "Export textures";
        case KRV_SETTINGS_SCALE_SCENE: return "Scale Scene";
        case KRV_SETTINGS_SCALE_X: return "Scaling (percent)";
        case KRV_SETTINGS_STANDARD_MATERIAL: return "Use standard-material";
        case KRV_SETTINGS_FACE_COLOR: return "Facecolor";
        case KRV_SETTINGS_SPECULAR_COLOR: return "Specular-Color";
        case KRV_SETTINGS_EMISSIVE_COLOR: return "Emissive-Color";
        case KRV_SETTINGS_SPECULAR_POWER: return "Specular-Power";
        default: return "";
    }
}

const DialogNode* findElement(const DialogNode& node, int32_t id) {
    if (!node.isGroup && node.id == id) return &node;
    for (const DialogNode& child : node.children)
        if (const DialogNode* found = findElement(child, id)) return found;
    return nullptr;
}

// The value as `korvo dialog` prints it: on/off, integers whole, reals to 7 digits.
std::string valueText(const DialogNode& node) {
    if (!node.value) return "?";
    if (node.kind == KRV_ELEMENT_CHECKBOX) return node.value->value != 0 ? "on" : "off";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, node.value->isReal ? "%.7g" : "%.0f", node.value->value);
    return buffer;
}

// Plain decimal notation only: digits with an optional sign, point and exponent. No
// hexadecimal, no "inf" or "nan", which strtod would also take.
bool isDecimalNumber(const std::string& text) {
    size_t i = 0;
    const auto digits = [&] {
        const size_t from = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == text.size();
}

// Comma-separated finite decimal numbers, exactly `count` of them.
bool parseNumbers(const std::string& text, size_t count, bool integer, std::vector<double>& out) {
    out.clear();
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!isDecimalNumber(part)) return false;
        errno = 0;
        const double v = std::strtod(part.c_str(), nullptr);
        if (errno == ERANGE || !std::isfinite(v)) return false;
        if (integer && (v != std::floor(v) || v < std::numeric_limits<int32_t>::min() ||
                        v > std::numeric_limits<int32_t>::max()))
            return false;
        out.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out.size() == count;
}

// The options that must be given for `element` to be enabled in the settings dialog
// (as the module enables its elements), or "" when it is always enabled.
const char* enablingOptions(int32_t element) {
    switch (element) {
        case KRV_SETTINGS_ANIMATION:
        case KRV_SETTINGS_BONES: return "--frames";
        case KRV_SETTINGS_TICKS_PER_FRAME:
        case KRV_SETTINGS_DISTANCE_PER_FRAME:
        case KRV_SETTINGS_FRAME_PER_FILE:
        case KRV_SETTINGS_FRAME_RATE:
        case KRV_SETTINGS_ALL_TAKES: return "--animation";
        case KRV_SETTINGS_ONLY_BONES: return "--animation, --bones and --no-frame-per-file";
        case KRV_SETTINGS_SMOOTHING_ANGLE: return "--no-phong-angle";
        case KRV_SETTINGS_SCALE_X:
        case KRV_SETTINGS_SCALE_Y:
        case KRV_SETTINGS_SCALE_Z: return "--scale-scene";
        default: break;
    }
    if (element >= KRV_SETTINGS_FACE_COLOR && element <= KRV_SETTINGS_SPECULAR_POWER) return "--standard-material";
    return "";
}

// What the command's model preset (cli/export/model_preset.h) makes of an element's default.
const char* modelDefault(int32_t element) {
#ifdef KORVO_WITH_IMPORT
    switch (element) {
        case KRV_SETTINGS_ANIMATION:
        case KRV_SETTINGS_FRAME_RATE: return ". On for animated models";
        case KRV_SETTINGS_ONLY_BONES: return ". Off for animated models";
        case KRV_SETTINGS_ALL_TAKES: return ". On for models of several animations";
        case KRV_SETTINGS_NORMAL_TAGS: return ". On for models that carry normals";
        default: break;
    }
#else
    (void)element;
#endif
    return "";
}

// The red, green, blue and alpha fields of a standard-material row.
std::vector<int32_t> colorRow(int32_t red) { return {red, red + 1, red + 2, red + 3}; }

}  // namespace

void DialogOptions::addTo(CLI::App& command, const char* framesSwitch) {
    framesSwitch_ = framesSwitch;
    // Parents first: Export frames enables Export animation and Export bones; those with
    // Each frame to separat file decide Only bones; the thresholds follow animation.
    const auto on = [this](const char* name, int32_t element) {
        switches_.push_back({name, element, false, nullptr});
        order_.push_back({true, switches_.size() - 1});
    };
    const auto number = [this](const char* name, std::vector<int32_t> elements, bool integer) {
        numbers_.push_back({name, std::move(elements), integer, {}, nullptr});
        order_.push_back({false, numbers_.size() - 1});
    };
    on(framesSwitch, KRV_SETTINGS_FRAMES);
    on("animation", KRV_SETTINGS_ANIMATION);
    on("bones", KRV_SETTINGS_BONES);
    number("--ticks-per-frame", {KRV_SETTINGS_TICKS_PER_FRAME}, true);
    number("--distance-per-frame", {KRV_SETTINGS_DISTANCE_PER_FRAME}, true);
    on("frame-per-file", KRV_SETTINGS_FRAME_PER_FILE);
    on("only-bones", KRV_SETTINGS_ONLY_BONES);
    on("frame-rate", KRV_SETTINGS_FRAME_RATE);
    on("all-takes", KRV_SETTINGS_ALL_TAKES);
    on("phong-angle", KRV_SETTINGS_PHONG_ANGLE);
    number("--smoothing-angle", {KRV_SETTINGS_SMOOTHING_ANGLE}, false);
    on("normal-tags", KRV_SETTINGS_NORMAL_TAGS);
    on("unique-names", KRV_SETTINGS_UNIQUE_NAMES);
    on("normals", KRV_SETTINGS_NORMALS);
    on("textures", KRV_SETTINGS_TEXTURES);
    on("scale-scene", KRV_SETTINGS_SCALE_SCENE);
    number("--scale", {KRV_SETTINGS_SCALE_X, KRV_SETTINGS_SCALE_Y, KRV_SETTINGS_SCALE_Z}, false);
    on("standard-material", KRV_SETTINGS_STANDARD_MATERIAL);
    number("--face-color", colorRow(KRV_SETTINGS_FACE_COLOR), false);
    number("--specular-color", colorRow(KRV_SETTINGS_SPECULAR_COLOR), false);
    number("--emissive-color", colorRow(KRV_SETTINGS_EMISSIVE_COLOR), false);
    number("--specular-power", {KRV_SETTINGS_SPECULAR_POWER}, false);

    for (Switch& s : switches_) {
        const std::string names = std::string("--") + s.name + ",!--no-" + s.name;
        s.option = command.add_flag(names, s.value);
    }
    for (Numbers& n : numbers_) {
        n.option = command.add_option(n.name, n.text);
        const int32_t first = n.elements[0];
        n.option->type_name(n.elements.size() == 3                    ? "X,Y,Z"
                            : n.elements.size() == 4                ? "R,G,B,A"
                            : first == KRV_SETTINGS_SMOOTHING_ANGLE ? "DEG"
                            : n.integer                             ? "N"
                                                                    : "P");
    }
    command.add_flag("--cancel", cancel_, "press Cancel instead of OK");
    // Until the dialog is asked (for --help): the element each option sets.
    describe(DialogSnapshot{});
}

std::string DialogOptions::neededOptions(int32_t element) const {
    const std::string needs = enablingOptions(element);
    return needs == "--frames" ? "--" + framesSwitch_ : needs;
}

void DialogOptions::describe(const DialogSnapshot& dialog) {
    const auto details = [&dialog](const std::vector<int32_t>& elements) {
        std::string text;
        for (int32_t element : elements) {
            const DialogNode* node = findElement(dialog.root, element);
            if (!node) return std::string();
            text += (text.empty() ? "" : ",") + valueText(*node);
        }
        return "default " + text;
    };
    const auto join = [](std::string a, const std::string& b) {
        if (a.empty() || b.empty()) return a + b;
        return a + "; " + b;
    };
    const auto note = [&](const std::vector<int32_t>& elements) {
        std::string needs = neededOptions(elements[0]);
        if (!needs.empty()) needs = "needs " + needs;
        const std::string text = join(details(elements), needs);
        return text.empty() ? text : " (" + text + ")";
    };
    // Ticks per frame, Distance per frame and the frame-rate record decide how fast a reader
    // plays the animation; "frames" alone would be taken for the animation's.
    const auto speed = [](int32_t element) -> std::string {
        if (element == KRV_SETTINGS_FRAME_RATE)
            return ". The animation set then states its key ticks per second (frame rate x ticks per frame / distance "
                   "per frame), so that readers play it at the scene's speed; without it readers assume their own "
                   "rate (D3DX: 4800 ticks per second)";
        if (element == KRV_SETTINGS_NORMAL_TAGS)
            return ": vertex normals from the normals a model carries instead of the smoothing angle";
        if (element == KRV_SETTINGS_ALL_TAKES)
            return ": one AnimationSet per take of the scene, named after it, instead of the current take's alone";
        if (element == KRV_SETTINGS_TICKS_PER_FRAME)
            return ": key k of the animation set has the time k x N. With --frame-rate readers play it at the "
                   "scene's speed whatever N; without, at their own rate (D3DX: 4800 ticks per second, so 160 at 30 "
                   "fps is real time)";
        if (element == KRV_SETTINGS_FRAMES)
            return ": the file's hierarchy of Frame records, one per object (not animation frames)";
        if (element == KRV_SETTINGS_DISTANCE_PER_FRAME)
            return ": a key (and with --frame-per-file a file) every N frames of the scene. Fewer keys, each still "
                   "ticks per frame apart: without --frame-rate the animation plays N times faster";
        return "";
    };
    for (Switch& s : switches_)
        s.option->description(std::string("switch \"") + elementLabel(s.element) + "\" on or off" + note({s.element}) +
                              speed(s.element) + modelDefault(s.element));
    for (Numbers& n : numbers_) {
        const int32_t first = n.elements[0];
        const std::string what = n.elements.size() == 4 ? std::string("the standard material's \"") + elementLabel(first) + "\" row"
                                 : first == KRV_SETTINGS_SMOOTHING_ANGLE ? "\"Smoothing angle\" in degrees"
                                                                         : std::string("\"") + elementLabel(first) + "\"";
        n.option->description(what + note(n.elements) + speed(first));
    }
}

std::string DialogOptions::refusalMessage(const DialogRefusal& refusal) const {
    if (!refusal.reason.empty()) return refusal.reason;
    const std::string who = refusal.change.source.empty() ? "a change" : refusal.change.source;
    const std::string element = refusal.element.empty() ? "element " + std::to_string(refusal.change.id)
                                                        : "\"" + refusal.element + "\"";
    if (refusal.missing) return who + " cannot be applied: the settings dialog has no " + element;
    const std::string needs = neededOptions(refusal.change.id);
    if (needs.empty())
        return who + " cannot be applied: " + element + " stays disabled in the settings dialog with these options";
    return who + " needs " + needs + ": " + element + " stays disabled in the settings dialog otherwise";
}

bool DialogOptions::script(DialogScript& out, std::string& error) const {
    out = DialogScript{};
    out.cancel = cancel_;
    std::vector<double> values;
    for (const Entry& entry : order_) {
        if (entry.isSwitch) {
            const Switch& s = switches_[entry.index];
            if (s.option->count() == 0) continue;
            out.changes.push_back({s.element, s.value ? 1.0 : 0.0, std::string("--") + (s.value ? "" : "no-") + s.name});
            continue;
        }
        const Numbers& n = numbers_[entry.index];
        if (n.option->count() == 0) continue;
        if (!parseNumbers(n.text, n.elements.size(), n.integer, values)) {
            const char* what = n.elements.size() == 1 ? (n.integer ? "a whole 32-bit number" : "a finite decimal number")
                               : n.elements.size() == 3 ? "three finite decimal numbers X,Y,Z"
                                                        : "four finite decimal numbers R,G,B,A";
            error = std::string(n.name) + " needs " + what + ", not \"" + n.text + "\"";
            return false;
        }
        for (size_t i = 0; i < n.elements.size(); ++i) out.changes.push_back({n.elements[i], values[i], n.name});
    }
    return true;
}

}  // namespace korvo::cli
