// Scenes with bones and animation for the skin and animation tests, and the text a
// writer produced, without the header every file starts with.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/filename.h"
#include "module/mesh/host_fixture.h"
#include "xfile/text_writer.h"

namespace dorna {

inline korvo::SceneObject polygonObject(const std::string& name, std::vector<korvo::Vec3> points,
                                        const std::vector<std::array<int32_t, 3>>& triangles) {
    korvo::SceneObject o;
    o.name = name;
    o.type = korvo::ObjectType::Polygon;
    o.points = std::move(points);
    for (const auto& t : triangles) o.polygons.push_back({t[0], t[1], t[2], t[2]});
    return o;
}

// One triangle in the z = 0 plane: three points, three vertices.
inline korvo::SceneObject triangleObject(const std::string& name) {
    return polygonObject(name, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
}

inline korvo::SceneObject boneObject(const std::string& name, korvo::Vec3 restPosition = {0, 0, 0},
                                     std::vector<korvo::SceneObject> children = {}) {
    korvo::SceneObject o;
    o.name = name;
    o.type = korvo::ObjectType::Bone;
    o.rest.position = restPosition;
    o.rest.rotation = korvo::Vec3{0, 0, 0};
    o.rest.scale = korvo::Vec3{1, 1, 1};
    o.children = std::move(children);
    return o;
}

class WriterTest : public HostTest {
protected:
    WriterTest() {
        std::string pattern = ::testing::TempDir() + "skin-XXXXXX";
        directory_ = mkdtemp(pattern.data());
    }
    ~WriterTest() override { initExportSettings(); }

    // What `write` added to a file after its header.
    template <typename Write>
    std::string captured(Write write) {
        const std::string header = writeFile("header.x", [](XTextWriter&) {});
        const std::string whole = writeFile("body.x", write);
        EXPECT_EQ(whole.compare(0, header.size(), header), 0);
        return whole.substr(header.size());
    }

    // Whether the writer was marked incomplete by `write`.
    template <typename Write>
    bool leftIncomplete(Write write) {
        XTextWriter writer;
        HostFileName name;
        name.setFromString(HostString((directory_ + "/incomplete.x").c_str()));
        EXPECT_TRUE(writer.open(name.get()));
        write(writer);
        const bool incomplete = writer.incomplete();
        writer.close();
        return incomplete;
    }

private:
    template <typename Write>
    std::string writeFile(const std::string& file, Write write) {
        const std::string path = directory_ + "/" + file;
        {
            XTextWriter writer;
            HostFileName name;
            name.setFromString(HostString(path.c_str()));
            EXPECT_TRUE(writer.open(name.get()));
            write(writer);
            EXPECT_TRUE(writer.close());
        }
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }

    std::string directory_;
};

// Occurrences of `what` in `text`.
inline int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

}  // namespace dorna
