// A stand-in host for the mesh and name tests: the module talks to it in-process. Every
// test has settings of its own, at their defaults.
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
    // The choices an export of this test is written with.
    ExportSettings settings = kDefaultExportSettings;
};

}  // namespace dorna
