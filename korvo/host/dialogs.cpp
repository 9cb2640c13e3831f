// Headless dialogs: the host records the element tree, values and enabled states a
// module builds, and runs the modal loop from a script of user changes.
#include <cmath>

#include "korvo/host/host_state.h"
#include "korvo/console/text.h"

namespace korvo {

namespace {

DialogImpl* dialogImpl(KrvDialog dialog, const char* entry) {
    Host::State& state = hostState();
    auto* d = reinterpret_cast<DialogImpl*>(dialog);
    if (d != nullptr && state.dialogs.count(d)) return d;
    state.fault(std::string(entry) + ": " + (dialog ? "a dialog that is not alive" : "a null dialog"));
    return nullptr;
}

std::optional<std::string> textOf(const KrvString* text) {
    if (text == nullptr) return std::nullopt;
    const StringImpl* impl = stringImpl(text);
    return impl ? std::optional<std::string>(toUtf8(impl->text)) : std::nullopt;
}

// The element (not group) with `id`, and the group that holds it.
const DialogNode* findElement(const DialogNode& group, int32_t id, const DialogNode** holder) {
    for (const DialogNode& child : group.children) {
        if (!child.isGroup && child.id == id) {
            if (holder) *holder = &group;
            return &child;
        }
        if (child.isGroup)
            if (const DialogNode* found = findElement(child, id, holder)) return found;
    }
    return nullptr;
}

// A checkbox's own text; a number field's label is the static text before it in its
// group, led by the group's title.
std::string labelOf(const DialogNode& root, int32_t id) {
    const DialogNode* group = nullptr;
    const DialogNode* element = findElement(root, id, &group);
    if (!element) return {};
    if (element->text && !element->text->empty()) return *element->text;
    std::string label;
    for (const DialogNode& sibling : group->children) {
        if (&sibling == element) break;
        if (!sibling.isGroup && sibling.kind == KRV_ELEMENT_STATIC && sibling.text) label = *sibling.text;
    }
    if (group->text && !group->text->empty()) return label.empty() ? *group->text : *group->text + ": " + label;
    return label;
}

int32_t sendMessage(DialogImpl& d, KrvDialog handle, uint32_t code,
                    const std::vector<std::pair<uint32_t, int32_t>>& entries) {
    Host::State& state = hostState();
    KrvContainer message{};
    ContainerImpl* impl = internalContainer(&message);
    impl->id = static_cast<int32_t>(code);
    for (const auto& [entry, value] : entries) {
        ContainerEntry& e = impl->entries[static_cast<int32_t>(entry)];
        e.type = KRV_ENTRY_INT;
        e.integer = value;
    }
    const int32_t answer = d.callback ? d.callback(handle, nullptr, &message) : 0;
    state.internalContainers.erase(impl);
    return answer;
}

// Sets an element's value as a user would: checkboxes to 0 or 1, integer fields to a
// whole number, and both kept within the element's range.
void applyChange(DialogImpl& d, const DialogNode& element, double value) {
    DialogValue& v = d.values[element.id];
    if (element.kind == KRV_ELEMENT_CHECKBOX) {
        v.isReal = false;
        value = value != 0 ? 1 : 0;
    } else if (!v.isReal) {
        value = std::nearbyint(value);
    }
    if (v.minimum < v.maximum) value = std::fmin(std::fmax(value, v.minimum), v.maximum);
    v.value = v.isReal ? static_cast<double>(static_cast<float>(value)) : value;
}

void runScript(Host::State& state, DialogImpl& d, KrvDialog handle, DialogRun& run) {
    std::vector<DialogChange> waiting;
    auto tryChange = [&](const DialogChange& change) {
        const DialogNode* element = findElement(d.root, change.id, nullptr);
        if (!element || d.disabled.count(change.id)) return false;
        applyChange(d, *element, change.value);
        sendMessage(d, handle, KRV_DIALOG_MSG_COMMAND, {{KRV_DIALOG_ENTRY_COMMAND, change.id}});
        return true;
    };
    for (const DialogChange& change : state.script.changes) {
        if (d.closed) return;
        if (!tryChange(change)) waiting.push_back(change);
    }
    // Changes that waited for another change to enable their element.
    for (bool progress = true; progress && !waiting.empty();) {
        progress = false;
        for (auto it = waiting.begin(); it != waiting.end() && !d.closed;) {
            if (tryChange(*it)) {
                it = waiting.erase(it);
                progress = true;
            } else {
                ++it;
            }
        }
    }
    if (!waiting.empty()) {
        DialogRefusal refusal;
        refusal.change = waiting.front();
        refusal.missing = findElement(d.root, refusal.change.id, nullptr) == nullptr;
        refusal.element = labelOf(d.root, refusal.change.id);
        run.refusal = refusal;
    }
}

KrvDialog KRV_CALL create(KrvDialogCallback callback, void* object) {
    Host::State& state = hostState();
    if (!state.allowAllocation()) return nullptr;
    DialogImpl* d = own(state.dialogs, std::make_unique<DialogImpl>());
    d->callback = callback;
    d->object = object;
    d->root.isGroup = true;
    return reinterpret_cast<KrvDialog>(d);
}

void KRV_CALL release(KrvDialog dialog) {
    if (dialog == nullptr) return;
    DialogImpl* d = dialogImpl(dialog, "dialog free");
    if (!d) return;
    if (d->running) return hostState().fault("dialog free: the dialog is still open");
    hostState().dialogs.erase(d);
}

void* KRV_CALL objectOf(KrvDialog dialog) {
    DialogImpl* d = dialogImpl(dialog, "dialog object_of");
    return d ? d->object : nullptr;
}

// The host passes no item handles; nothing stands behind one.
void* KRV_CALL objectOfItem(void* /*item*/) {
    hostState().fault("dialog object_of_item: the host hands out no items");
    return nullptr;
}

int32_t KRV_CALL open(KrvDialog dialog, int32_t /*mode*/, int32_t /*reserved*/, int32_t /*x*/, int32_t /*y*/,
                      int32_t /*width*/, int32_t /*height*/) {
    Host::State& state = hostState();
    DialogImpl* d = dialogImpl(dialog, "dialog open");
    if (!d) return 0;
    if (d->running) {
        state.fault("dialog open: the dialog is already open");
        return 0;
    }
    d->running = true;
    d->closed = false;
    DialogRun run;
    sendMessage(*d, dialog, KRV_DIALOG_MSG_LAYOUT, {});
    sendMessage(*d, dialog, KRV_DIALOG_MSG_VALUES, {});
    runScript(state, *d, dialog, run);
    run.shown = Host::current().snapshot(dialog);
    if (!run.refusal && !state.script.cancel && state.checkBeforeOk) {
        std::string reason = state.checkBeforeOk(run.shown.root);
        if (!reason.empty()) run.refusal = DialogRefusal{{}, {}, false, std::move(reason)};
    }
    run.button = state.script.cancel || run.refusal ? KRV_BUTTON_CANCEL : KRV_BUTTON_OK;
    if (!d->closed) sendMessage(*d, dialog, KRV_DIALOG_MSG_ACTION, {{KRV_DIALOG_ENTRY_ELEMENT, run.button}});
    run.closedByModule = d->closed;
    // A dialog that refuses OK is left the way a user would leave it: with Cancel.
    if (!d->closed && run.button == KRV_BUTTON_OK)
        sendMessage(*d, dialog, KRV_DIALOG_MSG_ACTION, {{KRV_DIALOG_ENTRY_ELEMENT, KRV_BUTTON_CANCEL}});
    d->closed = true;
    sendMessage(*d, dialog, KRV_DIALOG_MSG_DESTROYED, {});
    d->running = false;
    state.dialogRuns.push_back(std::move(run));
    return 1;
}

int32_t KRV_CALL close(KrvDialog dialog) {
    DialogImpl* d = dialogImpl(dialog, "dialog close");
    if (!d) return 0;
    if (!d->running) {
        hostState().fault("dialog close: the dialog is not open");
        return 0;
    }
    d->closed = true;
    return 1;
}

int32_t KRV_CALL addElement(KrvDialog dialog, int32_t kind, int32_t id, const KrvString* text, int32_t layout,
                            int32_t width, int32_t height, int32_t extra) {
    DialogImpl* d = dialogImpl(dialog, "dialog add_element");
    if (!d) return 0;
    switch (kind) {
        case KRV_ELEMENT_TITLE: d->title = textOf(text); return 1;
        case KRV_ELEMENT_LAYOUT_DONE: return 1;
        case KRV_ELEMENT_CLOSE_CHECK: return 0;  // nothing vetoes closing
    }
    DialogNode node;
    node.kind = kind;
    node.id = id;
    node.text = textOf(text);
    node.layout = layout;
    node.width = width;
    node.height = height;
    node.extra = extra;
    d->currentGroup().children.push_back(std::move(node));
    return 1;
}

int32_t KRV_CALL groupBegin(KrvDialog dialog, int32_t id, int32_t layout, int32_t columns, int32_t rows,
                            const KrvString* title, int32_t groupFlags) {
    DialogImpl* d = dialogImpl(dialog, "dialog group_begin");
    if (!d) return 0;
    DialogNode group;
    group.isGroup = true;
    group.id = id;
    group.layout = layout;
    group.columns = columns;
    group.rows = rows;
    group.text = textOf(title);
    group.groupFlags = groupFlags;
    DialogNode& parent = d->currentGroup();
    parent.children.push_back(std::move(group));
    d->openGroups.push_back(parent.children.size() - 1);
    return 1;
}

int32_t KRV_CALL groupEnd(KrvDialog dialog) {
    DialogImpl* d = dialogImpl(dialog, "dialog group_end");
    if (!d) return 0;
    if (d->openGroups.empty()) {
        hostState().fault("dialog group_end: no group is open");
        return 0;
    }
    d->openGroups.pop_back();
    return 1;
}

int32_t KRV_CALL groupBorder(KrvDialog dialog, uint32_t style) {
    DialogImpl* d = dialogImpl(dialog, "dialog group_border");
    if (!d) return 0;
    d->currentGroup().border = style;
    return 1;
}

int32_t KRV_CALL groupSpacing(KrvDialog dialog, int32_t horizontal, int32_t vertical) {
    DialogImpl* d = dialogImpl(dialog, "dialog group_spacing");
    if (!d) return 0;
    DialogNode& g = d->currentGroup();
    g.spacing[0] = horizontal;
    g.spacing[1] = vertical;
    return 1;
}

int32_t KRV_CALL groupBorderSpace(KrvDialog dialog, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    DialogImpl* d = dialogImpl(dialog, "dialog group_border_space");
    if (!d) return 0;
    DialogNode& g = d->currentGroup();
    g.borderSpace[0] = left;
    g.borderSpace[1] = top;
    g.borderSpace[2] = right;
    g.borderSpace[3] = bottom;
    return 1;
}

int32_t KRV_CALL enable(KrvDialog dialog, int32_t id, int32_t enabled) {
    DialogImpl* d = dialogImpl(dialog, "dialog enable");
    if (!d) return 0;
    if (enabled) d->disabled.erase(id);
    else d->disabled.insert(id);
    return 1;
}

int32_t KRV_CALL setValue(KrvDialog dialog, int32_t id, const KrvContainer* value) {
    DialogImpl* d = dialogImpl(dialog, "dialog set_value");
    const ContainerImpl* c = containerImpl(value);
    if (!d || !c) return 0;
    const KrvContainerTable& t = kContainerTable;
    DialogValue v;
    if (c->id == KRV_DIALOG_VALUE_REAL) {
        v.isReal = true;
        v.value = t.get_real(value, KRV_DIALOG_VALUE_VALUE, 0);
        v.minimum = t.get_real(value, KRV_DIALOG_VALUE_MINIMUM, 0);
        v.maximum = t.get_real(value, KRV_DIALOG_VALUE_MAXIMUM, 0);
        v.step = t.get_real(value, KRV_DIALOG_VALUE_STEP, 0);
    } else if (c->id == KRV_DIALOG_VALUE_INT) {
        v.value = t.get_int(value, KRV_DIALOG_VALUE_VALUE, 0);
        v.minimum = t.get_int(value, KRV_DIALOG_VALUE_MINIMUM, 0);
        v.maximum = t.get_int(value, KRV_DIALOG_VALUE_MAXIMUM, 0);
        v.step = t.get_int(value, KRV_DIALOG_VALUE_STEP, 0);
    } else {
        hostState().fault("dialog set_value: a value container whose id is neither 'vint' nor 'vflt'");
        return 0;
    }
    v.format = static_cast<uint32_t>(t.get_int(value, KRV_DIALOG_VALUE_FORMAT, 0));
    d->values[id] = v;
    return 1;
}

int32_t KRV_CALL getValue(KrvDialog dialog, int32_t id, KrvValue* out) {
    DialogImpl* d = dialogImpl(dialog, "dialog get_value");
    auto it = d ? d->values.find(id) : decltype(d->values.end()){};
    if (!d || it == d->values.end()) {
        fillValue(out, KRV_VALUE_NONE, nullptr);
        return 0;
    }
    if (it->second.isReal) {
        const float r = static_cast<float>(it->second.value);
        fillValue(out, KRV_VALUE_REAL, &r);
    } else {
        const int32_t i = static_cast<int32_t>(it->second.value);
        fillValue(out, KRV_VALUE_INT, &i);
    }
    return 1;
}

// Results of messages mean nothing to a headless host.
int32_t KRV_CALL sendResult(KrvDialog dialog, const KrvContainer* result) {
    return dialogImpl(dialog, "dialog send_result") && containerImpl(result) ? 1 : 0;
}

void markState(DialogNode& node, const DialogImpl& d) {
    node.enabled = node.id == 0 || !d.disabled.count(node.id);
    if (!node.isGroup) {
        auto it = d.values.find(node.id);
        if (node.id != 0 && it != d.values.end()) node.value = it->second;
    }
    for (DialogNode& child : node.children) markState(child, d);
}

}  // namespace

DialogSnapshot Host::snapshot(KrvDialog dialog) const {
    DialogSnapshot s;
    const DialogImpl* d = dialogImpl(dialog, "snapshot");
    if (!d) return s;
    s.title = d->title;
    s.root = d->root;
    markState(s.root, *d);
    return s;
}

int32_t Host::sendDialogMessage(KrvDialog dialog, uint32_t code,
                                const std::vector<std::pair<uint32_t, int32_t>>& entries) {
    DialogImpl* d = dialogImpl(dialog, "sendDialogMessage");
    return d ? sendMessage(*d, dialog, code, entries) : 0;
}

const KrvDialogTable kDialogTable = {
    sizeof(KrvDialogTable), create, release, objectOf, objectOfItem, open, close, addElement,
    groupBegin, groupEnd, groupBorder, groupSpacing, groupBorderSpace, enable, setValue, getValue,
    sendResult,
};

}  // namespace korvo
