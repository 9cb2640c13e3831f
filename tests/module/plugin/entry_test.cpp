// The entry point's message table and the module's start and end.
#include "plugin/entry.h"

#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "korvo/host/host.h"
#include "module/host/host_spy.h"
#include "plugin/resources.h"

namespace dorna {
namespace {

// The start counter outlives a test; every test leaves it at 0 again.
class EntryPoint : public ::testing::Test {
protected:
    ~EntryPoint() override {
        while (startCount() > 0) moduleMain(KRV_MSG_END, nullptr, 0, nullptr);
        while (startCount() < 0) moduleMain(KRV_MSG_START, nullptr, 0, nullptr);
        setHost(nullptr);
    }

    int32_t start(const KrvHost* root, const char* text = "start") {
        return moduleMain(KRV_MSG_START, const_cast<KrvHost*>(root), 0, text);
    }

    korvo::Host host;
};

TEST_F(EntryPoint, StartChecksTheVersionAndTheText) {
    EXPECT_EQ(start(host.root()), 1);
    EXPECT_EQ(dorna::host(), host.root());
    EXPECT_STREQ(startText(), "start");
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
    EXPECT_STREQ(startText(), "start");
    EXPECT_EQ(startCount(), 2);
}

TEST_F(EntryPoint, AFailedStartIsNotCheckedAgain) {
    KrvHost old = *host.root();
    old.version = 7000;
    EXPECT_EQ(start(&old), -3);
    EXPECT_EQ(start(&old), 1);
    EXPECT_EQ(startCount(), 2);
}

TEST_F(EntryPoint, StartTextIsCutAt1023Characters) {
    const std::string longText(2000, 'k');
    EXPECT_EQ(start(host.root(), longText.c_str()), 1);
    EXPECT_EQ(std::string(startText()), longText.substr(0, 1023));
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

TEST_F(EntryPoint, ResourcesAreReleasedByTheLastEndOnly) {
    dorna_test::HostSpy spy(host.root());
    EXPECT_EQ(start(spy.root()), 1);
    EXPECT_EQ(start(spy.root()), 1);
    // The host's resource service ignores what it is given; the spy sees the call.
    ResourceHolder& holder = moduleResources();
    int stand_in = 0;
    holder.resource = reinterpret_cast<KrvResource>(&stand_in);
    EXPECT_EQ(moduleMain(KRV_MSG_END, nullptr, 0, nullptr), 1);
    EXPECT_TRUE(spy.callsStartingWith("free_resource").empty());
    EXPECT_EQ(moduleMain(KRV_MSG_END, nullptr, 0, nullptr), 1);
    EXPECT_EQ(spy.callsStartingWith("free_resource").size(), 1u);
    EXPECT_EQ(holder.resource, nullptr);
    // Releasing again, or after an end without a start, does nothing.
    releaseModuleResources();
    EXPECT_EQ(moduleMain(KRV_MSG_END, nullptr, 0, nullptr), 1);
    EXPECT_EQ(spy.callsStartingWith("free_resource").size(), 1u);

    // Resources the module does not own stay.
    holder.resource = reinterpret_cast<KrvResource>(&stand_in);
    holder.notOwned = 1;
    releaseModuleResources();
    EXPECT_EQ(spy.callsStartingWith("free_resource").size(), 1u);
    holder = ResourceHolder{nullptr, nullptr, 0};
}

}  // namespace
}  // namespace dorna
