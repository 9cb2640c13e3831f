// The service layer's own rules: its defaults for absent entries, its conversions and
// its handling of answers the host could not give.
#include <gtest/gtest.h>

#include "host/containers.h"
#include "host/document.h"
#include "host/filename.h"
#include "host/host.h"
#include "host/host_array.h"
#include "host/library.h"
#include "korvo/host/host.h"
#include "module/host/host_spy.h"

namespace dorna {
namespace {

using dorna_test::HostSpy;

class ServiceLayer : public ::testing::Test {
protected:
    ServiceLayer() : spy(host.root()) { setHost(spy.root()); }
    ~ServiceLayer() override { setHost(nullptr); }

    korvo::Host host;
    HostSpy spy;
};

TEST_F(ServiceLayer, MemoryAsksForOneByteForZeroAndIgnoresNull) {
    void* block = hostAlloc(0);
    ASSERT_NE(block, nullptr);
    hostFree(nullptr);
    hostFree(block);
    EXPECT_EQ(spy.calls, (std::vector<std::string>{"alloc 1", "free"}));
    EXPECT_EQ(host.liveCounts().blocks, 0);
}

// A size the address range cannot hold is refused before the host is asked; a grown
// array keeps what it held; every block goes back once.
TEST_F(ServiceLayer, HostArraysCheckTheirSizeKeepTheirContentsAndFreeOnce) {
    spy.calls.clear();
    {
        HostArray<int64_t> refused;
        EXPECT_FALSE(refused.allocate(-1));
        EXPECT_FALSE(refused.allocate(INT64_MAX / 2));
        EXPECT_TRUE(spy.calls.empty());
        HostArray<int32_t> list;
        for (int32_t i = 0; i < 100; ++i) {
            ASSERT_TRUE(list.grow(i, i + 1));
            list[i] = i;
        }
        EXPECT_EQ(list[0] + list[99], 99);
        HostArray<int32_t> moved = std::move(list);
        EXPECT_EQ(list.get(), nullptr);
        EXPECT_EQ(moved[50], 50);
    }
    EXPECT_EQ(host.liveCounts().blocks, 0);
}

TEST_F(ServiceLayer, FillBytesCoversEveryByteAndNoMore) {
    unsigned char bytes[11];
    for (unsigned char& b : bytes) b = 0xEE;
    fillBytes(bytes, 10, 0x5A);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(bytes[i], 0x5A) << i;
    EXPECT_EQ(bytes[10], 0xEE);
}

TEST_F(ServiceLayer, AbsentEntriesGiveTheDefaultWithoutAskingForTheValue) {
    HostContainer container(5);
    EXPECT_EQ(container.readInt(1, 7), 7);
    EXPECT_EQ(container.readReal(2, 1.5f), 1.5f);
    EXPECT_EQ(container.readFlag(3, 1), 1);
    EXPECT_TRUE(spy.callsStartingWith("get_int").empty());

    container.writeInt(1, 42);
    EXPECT_EQ(container.readInt(1, 7), 42);
    EXPECT_EQ(spy.callsStartingWith("get_int"), (std::vector<std::string>{"get_int 1"}));

    HostString text("kept");
    EXPECT_TRUE(container.readString(9, text));
    char buffer[16];
    text.toText(buffer, 15);
    EXPECT_STREQ(buffer, "kept");
}

TEST_F(ServiceLayer, CopiedContainersAreIndependent) {
    HostContainer original(12);
    original.writeReal(1, 2.5f);
    HostContainer copy(original);
    copy.writeReal(1, 4.0f);
    EXPECT_EQ(copy.id(), 12);
    EXPECT_EQ(original.readReal(1, 0.0f), 2.5f);
    EXPECT_EQ(copy.readReal(1, 0.0f), 4.0f);
}

TEST_F(ServiceLayer, FrameOfTime) {
    EXPECT_EQ(frameOfTime(HostTime{3.0f, 1.0f}, 30.0f), 90);
    EXPECT_EQ(frameOfTime(HostTime{2.5f, 1.0f}, 30.0f), 75);
    EXPECT_EQ(frameOfTime(HostTime{90.0f, 30.0f}, 30.0f), 90);
    EXPECT_EQ(frameOfTime(HostTime{0.0f, 1.0f}, 25.0f), 0);
    // The product is floored before the division, the quotient truncated toward zero.
    EXPECT_EQ(frameOfTime(HostTime{1.99f, 1.0f}, 1.0f), 1);
    EXPECT_EQ(frameOfTime(HostTime{-2.5f, 1.0f}, 1.0f), -3);
    EXPECT_EQ(frameOfTime(HostTime{7.0f, 2.0f}, 1.0f), 3);
    // No division by a denominator that floors to zero; no overflow of the result.
    EXPECT_EQ(frameOfTime(HostTime{5.0f, 0.5f}, 30.0f), 0);
    EXPECT_EQ(frameOfTime(HostTime{1e30f, 1.0f}, 30.0f), INT32_MAX);
}

TEST_F(ServiceLayer, DocumentTimeRange) {
    korvo::Scene scene;
    scene.fps = 24;
    KrvDocument withoutEnd = host.loadDocument(scene);
    const HostTime none = documentEndTime(withoutEnd);
    EXPECT_EQ(none.numerator, 0.0f);
    EXPECT_EQ(none.denominator, 1.0f);
    EXPECT_EQ(frameOfTime(none, 24.0f), 0);
    EXPECT_EQ(documentFrameRate(withoutEnd), 24);

    scene.end = korvo::Time{3.0, 1.0};
    KrvDocument withEnd = host.loadDocument(scene);
    const HostTime end = documentEndTime(withEnd);
    EXPECT_EQ(end.numerator, 3.0f);
    EXPECT_EQ(end.denominator, 1.0f);
    EXPECT_EQ(host.liveCounts().containers, 0);
}

TEST_F(ServiceLayer, FileNameWithoutAStringConvertsToAnEmptyString) {
    HostString path("/tmp/scene.x");
    HostFileName name;
    name.setFromString(path);
    HostString text("old");
    EXPECT_TRUE(name.toString(text));
    EXPECT_EQ(text.length(), 12);

    host.refuseAllocation(1);  // the string the host would allocate
    EXPECT_FALSE(name.toString(text));
    EXPECT_EQ(text.length(), 0);
}

TEST_F(ServiceLayer, FileNameSuffix) {
    HostFileName name;
    name.setFromString(HostString("/tmp/dir.v2/scene.korvo"));
    name.removeSuffix();
    name.setSuffix(HostString("x"));
    HostString text;
    EXPECT_TRUE(name.toString(text));
    char buffer[64];
    text.toText(buffer, 63);
    EXPECT_STREQ(buffer, "/tmp/dir.v2/scene.x");
}

TEST(HostLibrary, TableMustBeLargeEnoughForTheEntry) {
    for (int32_t size : {4, 8, 11}) {
        korvo::HostBehaviour behaviour;
        behaviour.baseLibrarySize = size;
        korvo::Host host(behaviour);
        setHost(host.root());
        EXPECT_EQ(findHostLibrary(KRV_LIBRARY_BASE, 8), nullptr) << size;
        EXPECT_EQ(registerDescription(1016875, HostString("Fsdkstlexport"), nullptr), 0);
        EXPECT_TRUE(host.registrations().empty());
        setHost(nullptr);
    }
    korvo::Host host;
    setHost(host.root());
    EXPECT_NE(findHostLibrary(KRV_LIBRARY_BASE, 8), nullptr);
    // A parameter identifier is built and destroyed through the library.
    { ParameterId id(1007); EXPECT_EQ(id.get()->ids[0], 1007); }
    setHost(nullptr);
}

TEST(HostLibrary, MissingLibraryRegistersNoDescription) {
    korvo::HostBehaviour behaviour;
    behaviour.offerBaseLibrary = false;
    korvo::Host host(behaviour);
    setHost(host.root());
    EXPECT_EQ(findHostLibrary(KRV_LIBRARY_BASE, 8), nullptr);
    EXPECT_EQ(registerDescription(1016875, HostString("Fsdkstlexport"), nullptr), 0);
    EXPECT_TRUE(host.registrations().empty());
    setHost(nullptr);
}

}  // namespace
}  // namespace dorna
