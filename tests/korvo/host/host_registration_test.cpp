// Plug-in registration: the host keeps copies of a saver record's entries, refuses a
// malformed registration, and offers library 1000467 with the size it is told.
#include <gtest/gtest.h>

#include "korvo/host/host.h"

namespace korvo {
namespace {

int saved = 0;
KrvSaver KRV_CALL allocateSaver() { return &saved; }
void KRV_CALL destroySaver(KrvSaver) {}
int32_t KRV_CALL saveScene(KrvSaver, void*, const KrvFileName*, KrvDocument, int32_t flags) { return flags; }

TEST(HostRegistration, ASaverRecordIsCopiedAndAMalformedOneRefused) {
    Host host;
    const KrvHost& h = *host.root();
    KrvString name{}, suffix{};
    h.string->construct(&name);
    h.string->construct(&suffix);
    setUtf8(&name, "X-File Export");
    setUtf8(&suffix, "x");
    KrvSaverRecord record{};
    record.allocate = allocateSaver;
    record.destroy = destroySaver;
    record.save = saveScene;
    record.suffix = &suffix;
    const int32_t size = static_cast<int32_t>(sizeof record);

    EXPECT_FALSE(h.plugin->register_plugin(KRV_REGISTER_WHAT, KRV_PLUGIN_SCENE_SAVER, 7, &name, &record, size - 4));
    EXPECT_TRUE(h.plugin->register_plugin(KRV_REGISTER_WHAT, KRV_PLUGIN_SCENE_SAVER, 7, &name, &record, size));
    record = KrvSaverRecord{};  // the record lives only during the call
    h.string->destroy(&name);
    h.string->destroy(&suffix);

    ASSERT_EQ(host.savers().size(), 1u);
    const SaverInfo& saver = host.savers()[0];
    EXPECT_EQ(saver.id, 7);
    EXPECT_EQ(saver.name, "X-File Export");
    EXPECT_EQ(saver.suffix, "x");
    EXPECT_EQ(host.save(saver, host.loadDocument(Scene{}), "unused.x"), 1);  // save got the flags 1
    ASSERT_EQ(host.registrations().size(), 2u);
    EXPECT_FALSE(host.registrations()[0].accepted);
    EXPECT_EQ(host.registrations()[1].recordSize, size);
    EXPECT_EQ(host.liveCounts().total(), 0);
}

TEST(HostRegistration, TheBaseLibraryAndItsParameterIds) {
    HostBehaviour small;
    small.baseLibrarySize = 4;
    Host host(small);
    const KrvHost& h = *host.root();
    KrvLibrary library = h.plugin->find_library(KRV_LIBRARY_BASE, KRV_LIBRARY_LOOKUP_SIZE);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(h.plugin->find_library(1000468, KRV_LIBRARY_LOOKUP_SIZE), nullptr);
    const void* table = nullptr;
    int32_t version = 0, flags = 0;
    ASSERT_TRUE(h.plugin->library_table(library, &version, &flags, &table));
    const auto* base = static_cast<const KrvBaseLibrary*>(table);
    EXPECT_EQ(base->size, 4);
    KrvParamId id;
    base->param_construct(&id);
    base->param_set(&id, 1014, 0, 0);
    EXPECT_EQ(id.depth, 1);
    EXPECT_EQ(id.ids[0], 1014);
    base->param_destroy(&id);

    host.behaviour().acceptDescriptions = false;
    KrvString description{};
    h.string->construct(&description);
    EXPECT_FALSE(base->register_description(1016875, &description, nullptr));
    h.string->destroy(&description);
    EXPECT_TRUE(host.registrations().back().isDescription);
}

}  // namespace
}  // namespace korvo
