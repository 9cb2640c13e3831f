// How host dialog messages reach the operations of the bound object, and how a modal
// dialog ends with OK or Cancel.
#include "host/dialog_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "korvo/host/host.h"

namespace dorna {
namespace {

constexpr uint32_t code(char a, char b, char c, char d) { return KRV_FOURCC(a, b, c, d); }

// Records every operation the frame calls.
class RecordingDialog : public ModalDialog {
public:
    std::vector<std::string> calls;

    int32_t buildControls() override {
        calls.push_back("build");
        return 5;
    }
    int32_t fillControls() override {
        calls.push_back("fill");
        return 6;
    }
    int32_t onHostMessage(int32_t id, const KrvContainer*) override {
        calls.push_back("host " + std::to_string(id));
        return 7;
    }
    int32_t onCommandNotice(int32_t id, const KrvContainer*) override {
        calls.push_back("notice " + std::to_string(id));
        return 8;
    }
    int32_t onAction(int32_t id, const KrvContainer*) override {
        calls.push_back("action " + std::to_string(id));
        return 9;
    }
    int32_t mayClose() override {
        calls.push_back("mayClose");
        return 10;
    }
    void onNotice(const KrvContainer*) override { calls.push_back("onNotice"); }
    void onClosed() override { calls.push_back("closed"); }
};

class DialogFrame : public ::testing::Test {
protected:
    DialogFrame() { setHost(host.root()); }
    ~DialogFrame() override { setHost(nullptr); }

    int32_t send(RecordingDialog& dialog, uint32_t message,
                 const std::vector<std::pair<uint32_t, int32_t>>& entries = {}) {
        return host.sendDialogMessage(dialog.handle(), message, entries);
    }

    korvo::Host host;
};

TEST_F(DialogFrame, MessagesReachTheirOperations) {
    RecordingDialog dialog;
    ASSERT_NE(dialog.handle(), nullptr);
    EXPECT_EQ(send(dialog, code('b', 'I', 'N', 'I')), 5);
    EXPECT_EQ(send(dialog, code('b', 'I', 'N', 'I')), 1);  // laid out once per opening
    EXPECT_EQ(send(dialog, code('b', 'V', 'I', 'N')), 6);
    EXPECT_EQ(send(dialog, code('M', 'c', 'i', 'M'), {{code('M', 'c', 'i', 'I'), 31}}), 7);
    EXPECT_EQ(send(dialog, code('s', 'y', 'n', 'c')), 7);
    EXPECT_EQ(send(dialog, code('c', 'm', 'd', 'n'), {{code('c', 'm', 'd', 'i'), 44}}), 8);
    EXPECT_EQ(send(dialog, code('c', 'm', 'm', 'd'), {{code('c', 'm', 'd', 'i'), 10008}}), 9);
    EXPECT_EQ(send(dialog, KRV_DIALOG_MSG_NOTICE), 1);
    EXPECT_EQ(send(dialog, code('d', 's', 't', 'y')), 0);
    EXPECT_FALSE(dialog.initialised());
    EXPECT_EQ(send(dialog, code('b', 'I', 'N', 'I')), 5);  // a new opening lays it out again
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"build", "fill", "host 31", "host 0", "notice 44",
                                                       "action 10008", "onNotice", "closed", "build"}));
}

TEST_F(DialogFrame, UnknownMessagesCallNothing) {
    RecordingDialog dialog;
    EXPECT_EQ(send(dialog, code('x', 'y', 'z', 'w')), 0);
    EXPECT_EQ(send(dialog, 12345), 0);
    // The modal dialog answers the idle message itself, without the host's idle call.
    EXPECT_EQ(send(dialog, code('i', 'n', 't', 'a')), 0);
    EXPECT_EQ(host.idleCalls(), 0);
    EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(DialogFrame, BaseDialogPassesIdleToTheHost) {
    DialogBase dialog;
    EXPECT_EQ(host.sendDialogMessage(dialog.handle(), code('i', 'n', 't', 'a'), {}), 0);
    EXPECT_EQ(host.idleCalls(), 1);
    // The base's default answers.
    EXPECT_EQ(host.sendDialogMessage(dialog.handle(), code('c', 'h', 'k', 'c'), {}), 0);
    EXPECT_EQ(host.sendDialogMessage(dialog.handle(), code('b', 'A', 'C', 'T'), {}), 1);
}

TEST_F(DialogFrame, ActionWithoutElementIdReachesTheActionWithZero) {
    RecordingDialog dialog;
    EXPECT_EQ(send(dialog, code('b', 'A', 'C', 'T')), 9);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"action 0"}));
    EXPECT_FALSE(dialog.confirmed());
}

TEST_F(DialogFrame, OkConfirms) {
    RecordingDialog dialog;
    EXPECT_TRUE(dialog.runModal(0, -1, -1, 0, 0));
    EXPECT_TRUE(dialog.confirmed());
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"build", "fill", "action 1", "closed"}));
    ASSERT_EQ(host.dialogRuns().size(), 1u);
    EXPECT_TRUE(host.dialogRuns()[0].closedByModule);
}

TEST_F(DialogFrame, CancelEndsWithoutConfirmation) {
    korvo::DialogScript script;
    script.cancel = true;
    host.setDialogScript(script);
    RecordingDialog dialog;
    EXPECT_FALSE(dialog.runModal(0, -1, -1, 0, 0));
    EXPECT_FALSE(dialog.confirmed());
}

TEST_F(DialogFrame, CloseQuestionsDependOnTheOutcome) {
    RecordingDialog dialog;
    EXPECT_EQ(send(dialog, code('a', 's', 'k', 'c')), 0);  // not confirmed: mayClose is not asked
    EXPECT_EQ(send(dialog, code('c', 'h', 'k', 'c')), 0);
    EXPECT_TRUE(dialog.runModal(0, -1, -1, 0, 0));
    dialog.calls.clear();
    EXPECT_EQ(send(dialog, code('a', 's', 'k', 'c')), 10);
    // The host vetoes nothing, so a confirmed dialog stays confirmed.
    EXPECT_EQ(send(dialog, code('c', 'h', 'k', 'c')), 0);
    EXPECT_TRUE(dialog.confirmed());
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"mayClose"}));
}

TEST_F(DialogFrame, WithoutAHostDialogNothingRuns) {
    host.refuseAllocation(1);
    RecordingDialog dialog;
    EXPECT_EQ(dialog.handle(), nullptr);
    EXPECT_FALSE(dialog.runModal(0, -1, -1, 0, 0));
    EXPECT_TRUE(host.dialogRuns().empty());
    EXPECT_TRUE(host.faults().empty());
}

TEST_F(DialogFrame, DestroyingFreesTheHostDialog) {
    { RecordingDialog dialog; EXPECT_EQ(host.liveCounts().dialogs, 1); }
    EXPECT_EQ(host.liveCounts().total(), 0);
}

}  // namespace
}  // namespace dorna
