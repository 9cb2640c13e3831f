// A stand-in host for the mesh and name tests: the module talks to it in-process, and
// every test starts from freshly loaded settings.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "korvo/host/host.h"
#include "korvo/scene/scene.h"
#include "settings/export_settings.h"

namespace dorna {

class HostTest : public ::testing::Test {
protected:
    HostTest() {
        setHost(host.root());
        initExportSettings();
        entityCounter = 0;
    }
    ~HostTest() override { setHost(nullptr); }

    // Loads a scene of these top-level objects and returns the object named `name`.
    KrvObject load(std::vector<korvo::SceneObject> objects, const std::string& name) {
        korvo::Scene scene;
        scene.objects = std::move(objects);
        document = host.loadDocument(scene);
        return host.findObject(document, name);
    }
    KrvObject load(korvo::SceneObject object) {
        const std::string name = object.name;
        return load({std::move(object)}, name);
    }

    // Every block, string and container the module took has been given back.
    void expectNothingHeld() {
        for (const std::string& line : host.leakReport()) ADD_FAILURE() << "still held: " << line;
        EXPECT_TRUE(host.faults().empty()) << host.faults().front();
    }

    korvo::Host host;
    KrvDocument document = nullptr;
};

}  // namespace dorna
