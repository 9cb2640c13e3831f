// The entry point's message table and the module's start and end.
#include "plugin/entry.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "host/host.h"
#include "korvo/host/host.h"
#include "module/host/host_spy.h"

namespace dorna {
namespace {

// The start counter outlives a test: every test ends each start it sends.
class EntryPoint : public ::testing::Test {
protected:
    ~EntryPoint() override { setHost(nullptr); }

    int32_t start(const KrvHost* root, const char* text = "start") {
        return moduleMain(KRV_MSG_START, const_cast<KrvHost*>(root), 0, text);
    }

    korvo::Host host;
};

TEST_F(EntryPoint, StartChecksTheVersionAndTheText) {
    EXPECT_EQ(start(host.root()), 1);
    EXPECT_EQ(dorna::host(), host.root());
    EXPECT_EQ(moduleMain(KRV_MSG_END, nullptr, 0, nullptr), 1);

    KrvHost old = *host.root();
    old.version = 7499;
    EXPECT_EQ(start(&old), -3);
    moduleMain(KRV_MSG_END, nullptr, 0, nullptr);

    EXPECT_EQ(start(host.root(), nullptr), -3);
    moduleMain(KRV_MSG_END, nullptr, 0, nullptr);
}

TEST_F(EntryPoint, OnlyTheFirstStartTakesTheRoot) {
    EXPECT_EQ(start(host.root()), 1);
    KrvHost old = *host.root();
    old.version = 1;
    EXPECT_EQ(start(&old, "second"), 1);
    EXPECT_EQ(dorna::host(), host.root());
    // Two ends: after the first the module is still started and keeps its root.
    moduleMain(KRV_MSG_END, nullptr, 0, nullptr);
    EXPECT_EQ(start(&old), 1);
    EXPECT_EQ(dorna::host(), host.root());
    for (int i = 0; i < 2; ++i) moduleMain(KRV_MSG_END, nullptr, 0, nullptr);
}

TEST_F(EntryPoint, AFailedStartIsNotCheckedAgain) {
    KrvHost old = *host.root();
    old.version = 7000;
    EXPECT_EQ(start(&old), -3);
    EXPECT_EQ(start(&old), 1);
    for (int i = 0; i < 2; ++i) moduleMain(KRV_MSG_END, nullptr, 0, nullptr);
}

TEST_F(EntryPoint, QueriesAndUnknownMessages) {
    EXPECT_EQ(moduleMain(4, nullptr, 0, nullptr), 2);
    EXPECT_EQ(moduleMain(5, nullptr, 0, nullptr), -1);
    EXPECT_EQ(moduleMain(6, reinterpret_cast<void*>(0), 0, nullptr), 1);
    EXPECT_EQ(moduleMain(6, reinterpret_cast<void*>(1), 0, nullptr), 1);
    EXPECT_EQ(moduleMain(6, reinterpret_cast<void*>(2), 0, nullptr), -1);
    EXPECT_EQ(moduleMain(0, nullptr, 0, nullptr), -1);
    EXPECT_EQ(moduleMain(7, nullptr, 0, nullptr), -1);
}

// The module tells its version to a host that asks with a record of its size; an older
// record without the field is left alone.
TEST_F(EntryPoint, ModuleInfoGivesTheVersionWhereTheRecordHoldsIt) {
    KrvModuleInfo info{sizeof(KrvModuleInfo), nullptr};
    EXPECT_EQ(moduleMain(KRV_MSG_MODULE_INFO, &info, 0, nullptr), 1);
    EXPECT_STREQ(info.version, KRV_EXPORT_MODULE_VERSION);
    KrvModuleInfo older{offsetof(KrvModuleInfo, version), nullptr};
    EXPECT_EQ(moduleMain(KRV_MSG_MODULE_INFO, &older, 0, nullptr), 1);
    EXPECT_EQ(older.version, nullptr);
    EXPECT_EQ(moduleMain(KRV_MSG_MODULE_INFO, nullptr, 0, nullptr), -1);
}

}  // namespace
}  // namespace dorna
