// The saver registration as the host sees it, the record the module fills, and the
// saver object behind the record's entries.
#include "plugin/registration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "host/host.h"
#include "korvo/host/host.h"
#include "module/host/host_spy.h"
#include "plugin/entry.h"
#include "plugin/xfile_saver.h"

namespace dorna {
namespace {

using dorna_test::HostSpy;

// Entries of the record in pointer-sized slots: byte offset / 4 on the 32-bit host.
constexpr size_t slot(size_t offset32) { return offset32 / 4; }

class Registration : public ::testing::Test {
protected:
    explicit Registration(korvo::HostBehaviour behaviour = {}) : host(behaviour), spy(host.root()) {
        setHost(spy.root());
    }
    ~Registration() override { setHost(nullptr); }

    korvo::Host host;
    HostSpy spy;
};

TEST_F(Registration, TheRegistrationMessagePrintsThenRegistersOneSaver) {
    EXPECT_EQ(moduleMain(KRV_MSG_REGISTER, nullptr, 0, nullptr), 1);

    EXPECT_EQ(spy.calls.front(), "print_line Initialize X-Export Plugin");
    EXPECT_EQ(spy.callsStartingWith("print_line").size(), 1u);
    EXPECT_EQ(spy.callsStartingWith("register_plugin"),
              (std::vector<std::string>{"register_plugin 25 1016875"}));

    const auto& events = host.registrations();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(events[0].isDescription);
    EXPECT_EQ(events[0].id, 1016875);
    EXPECT_EQ(events[0].name, "Fsdkstlexport");
    EXPECT_FALSE(events[1].isDescription);
    EXPECT_EQ(events[1].what, 9000);
    EXPECT_EQ(events[1].kind, 25);
    EXPECT_EQ(events[1].id, 1016875);
    EXPECT_EQ(events[1].name, "X-File Export");
    EXPECT_EQ(events[1].recordSize, static_cast<int32_t>(KRV_SAVER_RECORD_SIZE / 4 * sizeof(void*)));
    EXPECT_TRUE(events[1].accepted);

    ASSERT_EQ(host.savers().size(), 1u);
    EXPECT_EQ(host.savers()[0].suffix, "x");
    EXPECT_EQ(host.liveCounts().total(), 0);
}

TEST_F(Registration, RecordHoldsTheEntriesAtTheirOffsetsAndZerosElsewhere) {
    ASSERT_EQ(registerSaver(), 1);
    ASSERT_EQ(spy.lastRecord.size(), sizeof(KrvSaverRecord));
    intptr_t slots[KRV_SAVER_RECORD_SIZE / 4];
    std::memcpy(slots, spy.lastRecord.data(), sizeof(slots));

    const std::vector<size_t> filled = {4, 52, 56, 60, 64, 68, 72, 76, 80, 84, 88, 92, 96, 100, 104, 160, 164};
    for (size_t offset = 0; offset < KRV_SAVER_RECORD_SIZE; offset += 4) {
        const bool expected = std::find(filled.begin(), filled.end(), offset) != filled.end();
        EXPECT_EQ(slots[slot(offset)] != 0, expected) << "offset " << offset;
    }
    EXPECT_EQ(slots[slot(4)], reinterpret_cast<intptr_t>(&destroySaver));
    EXPECT_EQ(slots[slot(52)], reinterpret_cast<intptr_t>(&allocateSaver));
    EXPECT_EQ(slots[slot(164)], reinterpret_cast<intptr_t>(host.savers()[0].save));
}

TEST_F(Registration, ForwardingEntriesAnswerAsTheirOperations) {
    KrvSaverRecord record;
    std::memset(&record, 0, sizeof(record));
    fillSaverEntries(record);
    KrvSaver saver = allocateSaver();
    ASSERT_NE(saver, nullptr);
    EXPECT_EQ(record.default_op1(saver, 0), 1);
    EXPECT_EQ(record.default_op2(saver, 0), 0);
    EXPECT_EQ(record.default_op3(saver, 0, 0, 0), 1);
    EXPECT_EQ(record.default_op4(saver, 0, 0), 1);
    EXPECT_EQ(record.default_op5(saver, 0, 0, 0), 1);
    EXPECT_EQ(record.default_op6(saver, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(record.default_op7(saver, 0, 0), 0);
    EXPECT_EQ(record.default_op8(saver, 0), 0);
    EXPECT_EQ(record.default_op9(saver, 0, 0, 0), 0);
    EXPECT_EQ(record.default_op10(saver, 0, 0, 0), 0);
    EXPECT_EQ(record.default_op11(saver, 0, 0, 0, 0), 1);
    EXPECT_EQ(record.default_op12(saver, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(record.default_op13(saver, 0, 0, 0, 0), 1);
    // Not asked to save (bit 0 of the flags clear): nothing happens, no dialog.
    EXPECT_EQ(record.save(saver, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_TRUE(host.dialogRuns().empty());
    EXPECT_EQ(host.liveCounts().blocks, 1);
    record.destroy(saver);
    record.destroy(nullptr);
    EXPECT_EQ(host.liveCounts().total(), 0);
}

TEST_F(Registration, SaverAllocationMayBeRefused) {
    host.refuseAllocation(1);
    EXPECT_EQ(allocateSaver(), nullptr);
    EXPECT_EQ(host.liveCounts().total(), 0);
}

class RefusedDescription : public Registration {
protected:
    static korvo::HostBehaviour refusing() {
        korvo::HostBehaviour behaviour;
        behaviour.acceptDescriptions = false;
        return behaviour;
    }
    RefusedDescription() : Registration(refusing()) {}
};

TEST_F(RefusedDescription, RegistersNoSaverButTheMessageSucceeds) {
    EXPECT_EQ(registerSaver(), 0);
    EXPECT_EQ(moduleMain(KRV_MSG_REGISTER, nullptr, 0, nullptr), 1);
    for (const korvo::RegistrationEvent& event : host.registrations()) EXPECT_TRUE(event.isDescription);
    EXPECT_TRUE(spy.callsStartingWith("register_plugin").empty());
    EXPECT_TRUE(host.savers().empty());
}

class RefusedRegistration : public Registration {
protected:
    static korvo::HostBehaviour refusing() {
        korvo::HostBehaviour behaviour;
        behaviour.acceptRegistrations = false;
        return behaviour;
    }
    RefusedRegistration() : Registration(refusing()) {}
};

TEST_F(RefusedRegistration, IsReportedAsZeroAndTheMessageStillSucceeds) {
    EXPECT_EQ(registerSaver(), 0);
    EXPECT_EQ(moduleMain(KRV_MSG_REGISTER, nullptr, 0, nullptr), 1);
    EXPECT_TRUE(host.savers().empty());
    EXPECT_EQ(host.liveCounts().total(), 0);
}

}  // namespace
}  // namespace dorna
