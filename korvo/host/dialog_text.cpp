#include "korvo/host/dialog_text.h"

#include <cinttypes>
#include <cstdio>

namespace korvo {

namespace {

const char* kindName(int32_t kind) {
    switch (kind) {
        case KRV_ELEMENT_CHECKBOX: return "checkbox";
        case KRV_ELEMENT_STATIC: return "text";
        case KRV_ELEMENT_NUMBER: return "number";
        case KRV_ELEMENT_BUTTONS: return "buttons";
        default: return nullptr;
    }
}

std::string valueText(const DialogNode& node) {
    const DialogValue& v = *node.value;
    char buffer[64];
    if (node.kind == KRV_ELEMENT_CHECKBOX) return v.value != 0 ? "on" : "off";
    if (v.isReal) std::snprintf(buffer, sizeof buffer, "%.7g", v.value);
    else std::snprintf(buffer, sizeof buffer, "%.0f", v.value);
    return buffer;
}

void appendNode(std::string& out, const DialogNode& node, int depth) {
    out.append(static_cast<size_t>(depth) * 2, ' ');
    char buffer[64];
    if (node.isGroup) {
        out += "group";
    } else if (const char* name = kindName(node.kind)) {
        out += name;
    } else {
        std::snprintf(buffer, sizeof buffer, "element %" PRId32, node.kind);
        out += buffer;
    }
    if (node.id != 0) {
        std::snprintf(buffer, sizeof buffer, " %" PRId32, node.id);
        out += buffer;
    }
    if (node.text && !node.text->empty()) out += " \"" + *node.text + "\"";
    if (node.isGroup) {
        std::snprintf(buffer, sizeof buffer, " (%" PRId32 " column%s)", node.columns, node.columns == 1 ? "" : "s");
        out += buffer;
    } else if (node.kind == KRV_ELEMENT_BUTTONS) {
        out += node.extra == 3 ? " OK Cancel" : " set " + std::to_string(node.extra);
    }
    if (node.value) out += " = " + valueText(node);
    if (!node.enabled) out += " (disabled)";
    out += '\n';
    for (const DialogNode& child : node.children) appendNode(out, child, depth + 1);
}

}  // namespace

std::string dialogToText(const DialogSnapshot& dialog) {
    std::string out;
    if (dialog.title) out += "title \"" + *dialog.title + "\"\n";
    for (const DialogNode& node : dialog.root.children) appendNode(out, node, 0);
    return out;
}

}  // namespace korvo
