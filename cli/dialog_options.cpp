#include "cli/dialog_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace korvo::cli {

void DialogOptions::addTo(CLI::App& command, const char* framesSwitch) {
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
    on(framesSwitch, 10008);
    on("animation", 10009);
    on("bones", 10037);
    number("--ticks-per-frame", {10011}, true);
    number("--distance-per-frame", {10039}, true);
    on("frame-per-file", 10047);
    on("only-bones", 10038);
    on("frame-rate", 10048);
    on("phong-angle", 10040);
    number("--smoothing-angle", {10004}, false);
    on("unique-names", 10046);
    on("normals", 10006);
    on("textures", 10007);
    on("scale-scene", 10041);
    number("--scale", {10042, 10043, 10044}, false);
    on("standard-material", 10012);
    number("--face-color", {10020, 10021, 10022, 10023}, false);
    number("--specular-color", {10025, 10026, 10027, 10028}, false);
    number("--emissive-color", {10030, 10031, 10032, 10033}, false);
    number("--specular-power", {10035}, false);

    const auto label = [](int32_t element) -> const char* {
        switch (element) {
            case 10008: return "Export frames";
            case 10009: return "Export animation";
            case 10037: return "Export bones";
            case 10047: return "Each frame to separat file";
            case 10038: return "Only bones";
            case 10048: return "Write frame rate (AnimTicksPerSecond)";
            case 10040: return "Read smoothing-angle from PhongTag";
            case 10046: return "Add unique number to each entity name";
            case 10006: return "Export normals";
            case 10007: return "Export textures";
            case 10041: return "Scale Scene";
            case 10012: return "Use standard-material";
            default: return "";
        }
    };
    for (Switch& s : switches_) {
        const std::string names = std::string("--") + s.name + ",!--no-" + s.name;
        std::string text = std::string("switch on (or off) \"") + label(s.element) + "\"";
        if (s.element == 10048)
            text += ". The animation set then states its key ticks per second (frame rate x ticks per frame), so "
                    "that readers play it at the scene's speed. Off by default: readers then assume their own "
                    "rate (D3DX: 4800 ticks per second)";
        s.option = command.add_flag(names, s.value, text);
    }
    const auto help = [](const Numbers& n) -> std::string {
        if (n.elements.size() == 3) return "X,Y,Z: Scaling (percent)";
        if (n.elements.size() == 4) return "R,G,B,A: a Standard-material row";
        if (n.elements[0] == 10004) return "DEG: Smoothing angle";
        if (n.elements[0] == 10035) return "P: Specular-Power";
        if (n.elements[0] == 10011)
            return "N: Ticks per frame, the key time units per animation frame (default 40). A reader that finds "
                   "no frame-rate record plays 4800 ticks per second (D3DX), so 160 at 30 fps plays in real time "
                   "without --frame-rate";
        return "N: Distance per frame";
    };
    for (Numbers& n : numbers_) n.option = command.add_option(n.name, n.text, help(n));
    command.add_flag("--cancel", cancel_, "press Cancel instead of OK");
}

namespace {

// Comma-separated finite numbers, exactly `count` of them.
bool parseNumbers(const std::string& text, size_t count, bool integer, std::vector<double>& out) {
    out.clear();
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (part.empty()) return false;
        errno = 0;
        char* end = nullptr;
        const double v = std::strtod(part.c_str(), &end);
        if (*end != '\0' || errno == ERANGE || !std::isfinite(v)) return false;
        if (integer && (v != std::floor(v) || v < std::numeric_limits<int32_t>::min() ||
                        v > std::numeric_limits<int32_t>::max()))
            return false;
        out.push_back(v);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out.size() == count;
}

}  // namespace

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
            const char* what = n.elements.size() == 1 ? (n.integer ? "a whole 32-bit number" : "a finite number")
                               : n.elements.size() == 3 ? "three finite numbers X,Y,Z"
                                                        : "four finite numbers R,G,B,A";
            error = std::string(n.name) + " needs " + what + ", not \"" + n.text + "\"";
            return false;
        }
        for (size_t i = 0; i < n.elements.size(); ++i) out.changes.push_back({n.elements[i], values[i], n.name});
    }
    return true;
}

}  // namespace korvo::cli
