// Accounting: every handle the host hands out is counted until it comes back, the
// N-th allocation can be refused, and misuse is recorded instead of crashing.
#include <gtest/gtest.h>

#include <cstring>

#include "korvo/host/host.h"

namespace korvo {
namespace {

TEST(HostAccounting, EveryKindCountsUpAndBackToZero) {
    Host host;
    const KrvHost& h = *host.root();
    void* block = h.memory->alloc(24, 0, 0);
    KrvString text{};
    h.string->construct(&text);
    KrvContainer container{};
    h.container->construct(&container, 7);
    h.container->set_string(&container, 1002, &text);
    KrvString* allocated = h.container->get_string_alloc(&container, 1002);
    KrvFileName name{};
    h.filename->construct(&name);
    KrvFile file = h.file->create();
    KrvDialog dialog = h.dialog->create(nullptr, nullptr);
    KrvValue value{};
    h.container->set_id(&container, static_cast<int32_t>(KRV_FOURCC('v', 'i', 'n', 't')));
    h.container->set_int(&container, static_cast<int32_t>(KRV_FOURCC('v', 'a', 'l', 'u')), 1);
    ASSERT_TRUE(h.dialog->set_value(dialog, 5, &container));
    ASSERT_TRUE(h.dialog->get_value(dialog, 5, &value));
    EXPECT_EQ(h.value->get_int(&value), 1);
    KrvDocument document = host.loadDocument(Scene{});
    KrvDocument copy = h.document->copy(document, KRV_COPY_WORKING);

    const Counts live = host.liveCounts();
    EXPECT_EQ(live.blocks, 1);
    EXPECT_EQ(live.strings, 2);
    EXPECT_EQ(live.containers, 1);
    EXPECT_EQ(live.values, 1);
    EXPECT_EQ(live.fileNames, 1);
    EXPECT_EQ(live.files, 1);
    EXPECT_EQ(live.dialogs, 1);
    EXPECT_EQ(live.documentCopies, 1);
    EXPECT_EQ(host.leakReport().size(), 9u);

    h.memory->free(block);
    h.string->destroy(&text);
    h.string->free_allocated(allocated);
    h.container->destroy(&container);
    h.value->destroy(&value);
    h.filename->destroy(&name);
    h.file->free(file);
    h.dialog->free(dialog);
    h.document->release(copy);
    EXPECT_EQ(host.liveCounts().total(), 0);
    EXPECT_TRUE(host.leakReport().empty());
    EXPECT_TRUE(host.faults().empty()) << host.faults().front();
}

TEST(HostAccounting, TheNthAllocationIsRefusedOnce) {
    Host host;
    const KrvHost& h = *host.root();
    host.refuseAllocation(3);
    void* first = h.memory->alloc(8, 0, 0);
    KrvFile file = h.file->create();
    KrvDocument document = host.loadDocument(Scene{});
    EXPECT_EQ(h.document->copy(document, KRV_COPY_WORKING), nullptr);  // the third request
    void* fourth = h.memory->alloc(0, 0, 0);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(file, nullptr);
    EXPECT_NE(fourth, nullptr);
    EXPECT_EQ(host.allocationRequests(), 4);
    h.memory->free(first);
    h.memory->free(fourth);
    h.file->free(file);
    EXPECT_EQ(host.liveCounts().total(), 0);
}

TEST(HostAccounting, MisuseIsRecordedNotFatal) {
    Host host;
    const KrvHost& h = *host.root();
    KrvString text{};
    h.string->construct(&text);
    h.string->destroy(&text);
    h.string->destroy(&text);  // twice
    int local = 0;
    h.memory->free(&local);  // not the host's
    KrvDocument document = host.loadDocument(Scene{});
    h.document->release(document);  // the host's own document
    EXPECT_EQ(host.faults().size(), 3u);
    EXPECT_EQ(host.liveCounts().total(), 0);
}

TEST(HostAccounting, UVRangePastTheLastPolygonIsZeroedAndNamed) {
    Host host;
    const KrvHost& h = *host.root();
    SceneObject o;
    o.name = "Tri";
    o.type = ObjectType::Polygon;
    o.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    o.polygons = {{0, 1, 2, 2}};
    o.uvw.emplace();
    o.uvw->push_back({{Vec2{0, 0}, Vec2{1, 0}, Vec2{0, 1}, Vec2{0, 1}}});
    Scene scene;
    scene.objects = {o};
    KrvTag uv = h.object->find_tag(host.findObject(host.loadDocument(scene), "Tri"), KRV_TAG_UVW, 0);
    KrvPolygonUV records[3];
    std::memset(records, 0x7f, sizeof records);
    EXPECT_EQ(h.tag->uv_of_polygons(uv, -1, 3, records), 0);
    EXPECT_EQ(records[0].b.x, 0.0f);
    EXPECT_EQ(records[1].b.x, 1.0f);
    EXPECT_EQ(records[2].c.y, 0.0f);
    ASSERT_EQ(host.faults().size(), 1u);
    EXPECT_EQ(host.faults()[0], "tag uv_of_polygons: polygons -1 to 1 out of range (1 polygons)");
}

TEST(HostAccounting, LeakReportNamesWhatIsAlive) {
    Host host;
    const KrvHost& h = *host.root();
    KrvString text{};
    h.string->construct(&text);
    setUtf8(&text, "Cube");
    void* block = h.memory->alloc(24, 0, 0);
    std::vector<std::string> report = host.leakReport();
    std::sort(report.begin(), report.end());
    EXPECT_EQ(report, (std::vector<std::string>{"leaked block of 24 bytes", "leaked string \"Cube\""}));
    h.memory->free(block);
    h.string->destroy(&text);
}

}  // namespace
}  // namespace korvo
