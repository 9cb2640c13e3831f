// Headless dialogs: the recorded tree, the modal loop's messages, user changes applied
// in an order that respects enabling, and refusal of disabled elements.
#include <gtest/gtest.h>

#include "korvo/host/dialog_text.h"
#include "korvo/host/host.h"

namespace korvo {
namespace {

constexpr int32_t kFrames = 101, kAnimation = 102, kTicks = 103, kAngle = 104;

int32_t code(char a, char b, char c, char d) { return static_cast<int32_t>(KRV_FOURCC(a, b, c, d)); }

// A module-side dialog: Frames enables Animation, Animation enables Ticks; the angle is
// clamped to 0..180 by the module itself. OK closes unless `refuseOk`.
struct TestDialog {
    const KrvHost* h = nullptr;
    KrvDialog dialog = nullptr;
    std::vector<std::string> messages;
    bool refuseOk = false;

    KrvString text(const char* t) {
        KrvString s{};
        h->string->construct(&s);
        h->string->set_text(&s, t, -1, 0);
        return s;
    }
    void add(int32_t kind, int32_t id, const char* label) {
        KrvString s = text(label);
        h->dialog->add_element(dialog, kind, id, label ? &s : nullptr, 8, 0, 0, 0);
        h->string->destroy(&s);
    }
    void setValue(int32_t id, bool real, double v, double lo, double hi) {
        KrvContainer c{};
        h->container->construct(&c, real ? code('v', 'f', 'l', 't') : code('v', 'i', 'n', 't'));
        if (real) {
            h->container->set_real(&c, code('v', 'a', 'l', 'u'), static_cast<float>(v));
            h->container->set_real(&c, code('m', 'i', 'n', 'i'), static_cast<float>(lo));
            h->container->set_real(&c, code('m', 'a', 'x', 'i'), static_cast<float>(hi));
        } else {
            h->container->set_int(&c, code('v', 'a', 'l', 'u'), static_cast<int32_t>(v));
            h->container->set_int(&c, code('m', 'i', 'n', 'i'), static_cast<int32_t>(lo));
            h->container->set_int(&c, code('m', 'a', 'x', 'i'), static_cast<int32_t>(hi));
        }
        h->dialog->set_value(dialog, id, &c);
        h->container->destroy(&c);
    }
    int32_t read(int32_t id) {
        KrvValue v{};
        h->dialog->get_value(dialog, id, &v);
        const int32_t i = h->value->get_int(&v);
        h->value->destroy(&v);
        return i;
    }
    void enableDependents() {
        h->dialog->enable(dialog, kAnimation, read(kFrames));
        h->dialog->enable(dialog, kTicks, read(kFrames) && read(kAnimation));
    }
    void build() {
        KrvString title = text("Test settings");
        h->dialog->add_element(dialog, KRV_ELEMENT_TITLE, 0, &title, 0, 0, 0, 0);
        h->string->destroy(&title);
        KrvString group = text("Options");
        h->dialog->group_begin(dialog, 7, 9, 2, 0, &group, 0);
        h->string->destroy(&group);
        add(KRV_ELEMENT_CHECKBOX, kFrames, "Frames");
        add(KRV_ELEMENT_CHECKBOX, kAnimation, "Animation");
        add(KRV_ELEMENT_STATIC, 0, "Ticks");
        add(KRV_ELEMENT_NUMBER, kTicks, nullptr);
        add(KRV_ELEMENT_NUMBER, kAngle, nullptr);
        h->dialog->group_end(dialog);
        h->dialog->add_element(dialog, KRV_ELEMENT_BUTTONS, 0, nullptr, 0, 0, 0, 3);
    }
    int32_t handle(const KrvContainer* message) {
        const int32_t id = h->container->get_id(message);
        char name[5] = {static_cast<char>(id >> 24), static_cast<char>(id >> 16), static_cast<char>(id >> 8),
                        static_cast<char>(id), 0};
        std::string line = name;
        if (id == code('c', 'm', 'm', 'd')) line += " " + std::to_string(h->container->get_int(message, code('c', 'm', 'd', 'i'), 0));
        if (id == code('b', 'A', 'C', 'T')) line += " " + std::to_string(h->container->get_int(message, code('m', 'e', 'i', 'd'), 0));
        messages.push_back(line);
        if (id == code('b', 'I', 'N', 'I')) build();
        if (id == code('b', 'V', 'I', 'N')) {
            setValue(kFrames, false, 0, 0, 1);
            setValue(kAnimation, false, 0, 0, 1);
            setValue(kTicks, false, 40, -100, 100);
            setValue(kAngle, true, 80, -1000, 1000);
            enableDependents();
        }
        if (id == code('c', 'm', 'm', 'd')) {
            enableDependents();
            KrvValue v{};
            h->dialog->get_value(dialog, kAngle, &v);
            if (h->value->get_real(&v) > 180) setValue(kAngle, true, 180, -1000, 1000);
            h->value->destroy(&v);
        }
        if (id == code('b', 'A', 'C', 'T')) {
            const int32_t button = h->container->get_int(message, code('m', 'e', 'i', 'd'), 0);
            if (button == 2 || (button == 1 && !refuseOk)) h->dialog->close(dialog);
        }
        return 1;
    }
    static int32_t KRV_CALL callback(KrvDialog d, void*, const KrvContainer* message) {
        auto* self = static_cast<TestDialog*>(Host::current().root()->dialog->object_of(d));
        return self->handle(message);
    }
    DialogRun run(Host& host, DialogScript script) {
        h = host.root();
        host.setDialogScript(std::move(script));
        dialog = h->dialog->create(callback, this);
        EXPECT_TRUE(h->dialog->open(dialog, 0, 0, -1, -1, 0, 0));
        h->dialog->free(dialog);
        EXPECT_EQ(host.liveCounts().total(), 0);
        EXPECT_TRUE(host.faults().empty()) << host.faults().front();
        return host.dialogRuns().back();
    }
};

TEST(HostDialog, ModalLoopSendsItsMessagesInOrder) {
    Host host;
    TestDialog d;
    const DialogRun run = d.run(host, {{{kFrames, 1, "--frames"}}, false});
    EXPECT_EQ(d.messages, (std::vector<std::string>{"bINI", "bVIN", "cmmd 101", "bACT 1", "dsty"}));
    EXPECT_EQ(run.button, 1);
    EXPECT_TRUE(run.closedByModule);
    EXPECT_FALSE(run.refusal);
}

TEST(HostDialog, ChangesWaitForTheElementThatEnablesThem) {
    Host host;
    TestDialog d;
    // Ticks needs Animation, which needs Frames: given in the reverse order.
    const DialogRun run = d.run(host, {{{kTicks, 12, "--ticks"}, {kAnimation, 1, "--animation"}, {kFrames, 1, "--frames"}}, false});
    EXPECT_EQ(d.messages, (std::vector<std::string>{"bINI", "bVIN", "cmmd 101", "cmmd 102", "cmmd 103", "bACT 1", "dsty"}));
    EXPECT_FALSE(run.refusal);
    EXPECT_EQ(dialogToText(run.shown),
              "title \"Test settings\"\n"
              "group 7 \"Options\" (2 columns)\n"
              "  checkbox 101 \"Frames\" = on\n"
              "  checkbox 102 \"Animation\" = on\n"
              "  text \"Ticks\"\n"
              "  number 103 = 12\n"
              "  number 104 = 80\n"
              "buttons OK Cancel\n");
}

TEST(HostDialog, AChangeToAnElementThatStaysDisabledIsRefusedAndCancels) {
    Host host;
    TestDialog d;
    const DialogRun run = d.run(host, {{{kFrames, 0, "--no-frames"}, {kTicks, 5, "--ticks"}}, false});
    ASSERT_TRUE(run.refusal);
    EXPECT_EQ(run.refusal->change.source, "--ticks");
    EXPECT_EQ(run.refusal->element, "Options: Ticks");
    EXPECT_FALSE(run.refusal->missing);
    EXPECT_EQ(run.button, 2);
    EXPECT_EQ(d.messages.back(), "dsty");
    EXPECT_EQ(d.messages[d.messages.size() - 2], "bACT 2");

    const DialogRun missing = d.run(host, {{{999, 1, "--nothing"}}, false});
    ASSERT_TRUE(missing.refusal);
    EXPECT_TRUE(missing.refusal->missing);
}

TEST(HostDialog, NumbersAreHeldWithinTheElementRangeAndTheModuleReacts) {
    Host host;
    TestDialog d;
    const DialogRun run = d.run(host, {{{kAngle, 5000, "--angle"}, {kFrames, 1, ""}, {kAnimation, 1, ""}, {kTicks, 250.6, ""}}, false});
    const std::string text = dialogToText(run.shown);
    EXPECT_NE(text.find("number 104 = 180\n"), std::string::npos) << text;  // 1000 by range, 180 by the module
    EXPECT_NE(text.find("number 103 = 100\n"), std::string::npos) << text;
}

TEST(HostDialog, CancelAndADialogThatKeepsItselfOpen) {
    Host host;
    TestDialog d;
    EXPECT_EQ(d.run(host, {{}, true}).button, 2);
    d.messages.clear();
    d.refuseOk = true;
    const DialogRun run = d.run(host, {{}, false});
    EXPECT_FALSE(run.closedByModule);
    EXPECT_EQ(d.messages, (std::vector<std::string>{"bINI", "bVIN", "bACT 1", "bACT 2", "dsty"}));
}

TEST(HostDialog, DisabledElementsShowInTheText) {
    Host host;
    TestDialog d;
    const std::string text = dialogToText(d.run(host, {}).shown);
    EXPECT_NE(text.find("checkbox 102 \"Animation\" = off (disabled)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("number 103 = 40 (disabled)\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace korvo
