// Scenes with bones and animation for the skin and animation tests, and the text a
// writer produced.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "file_text.h"
#include "host/filename.h"
#include "module/mesh/host_fixture.h"
#include "xfile/export_context.h"
#include "host/export_status.h"
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
    // What `write` put into a file, given the writer or the export record of the loaded
    // document. The file must come out whole and balanced.
    template <typename Write>
    std::string captured(Write write) {
        const std::string path = directory_ + "/body.x";
        {
            ExportStatus status;
            XTextWriter writer(status);
            ExportContext context{settings, document, writer, status};
            EXPECT_TRUE(openAt(writer, path));
            call(write, context);
            writer.finish();
            EXPECT_TRUE(status.ok()) << "failure " << static_cast<int>(status.first());
            EXPECT_TRUE(writer.close());
        }
        return testfiles::readFile(path);
    }
    // The first reason `write` recorded why the file cannot be kept.
    template <typename Write>
    ExportFailure failureOf(Write write) {
        ExportStatus status;
        XTextWriter writer(status);
        ExportContext context{settings, document, writer, status};
        EXPECT_TRUE(openAt(writer, directory_ + "/failed.x"));
        call(write, context);
        return status.first();
    }

private:
    static bool openAt(XTextWriter& writer, const std::string& path) {
        HostFileName name;
        name.setFromString(HostString(path.c_str()));
        return writer.open(name.get());
    }
    template <typename Write>
    static void call(Write& write, ExportContext& context) {
        if constexpr (std::is_invocable_v<Write&, ExportContext&>)
            write(context);
        else
            write(context.writer);
    }
    testfiles::ScratchFolder scratch_{"skin"};
    const std::string directory_ = scratch_.path();
};

// Occurrences of `what` in `text`.
inline int countOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

}  // namespace dorna
