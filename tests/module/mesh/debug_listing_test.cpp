// The debug listing: the exact console messages for a converted triangle, and silence
// while the listing is off.
#include "mesh/debug_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "mesh/export_mesh.h"
#include "module/mesh/host_fixture.h"

namespace dorna {
namespace {

class DebugListing : public HostTest {
protected:
    // Converts the triangle (0,0,0), (1,0,0), (0,1,0) and lists its vertices as the
    // traversal does with frames on, with the listing on or off.
    void convertTriangle(bool listing) {
        korvo::SceneObject o;
        o.name = "Tri";
        o.type = korvo::ObjectType::Polygon;
        o.points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        o.polygons = {{0, 1, 2, 2}};
        ExportMesh mesh{};
        ExportStatus status;
        EXPECT_TRUE(buildExportMesh(mesh, load(o), MeshOptions{80.0f, true, false, listing}, status));
        const MeshArrays arrays = finishExportMesh(mesh, nullptr, nullptr);
        if (listing) listVertices(arrays.vertices, arrays.vertexCount);
    }
};

TEST_F(DebugListing, TriangleIsListedMessageByMessage) {
    convertTriangle(true);
    const std::vector<std::string> expected = {
        "\n\nNORMALS\n========\n",
        "Point:    0 Normalcount: 1\n",
        "\t   0  x 0.000 y 0.000 z 1.000 Indices ",
        "   0 ",
        "\n",
        "Point:    1 Normalcount: 1\n",
        "\t   0  x 0.000 y 0.000 z 1.000 Indices ",
        "   1 ",
        "\n",
        "Point:    2 Normalcount: 1\n",
        "\t   0  x 0.000 y 0.000 z 1.000 Indices ",
        "   2 ",
        "\n",
        "Indices:\n",
        "   0    1    2\n",
        "Vertices:\n",
        "  0 0.00 0.00 0.00 u 0.00 v 0.00 nx 0.00 ny 0.00 nz 1.00\n",
        "  1 1.00 0.00 0.00 u 0.00 v 0.00 nx 0.00 ny 0.00 nz 1.00\n",
        "  2 0.00 1.00 0.00 u 0.00 v 0.00 nx 0.00 ny 0.00 nz 1.00\n",
    };
    EXPECT_EQ(host.consoleLines(), expected);
    expectNothingHeld();
}

TEST_F(DebugListing, NothingReachesTheConsoleWhileOff) {
    convertTriangle(false);
    EXPECT_TRUE(host.consoleLines().empty());
}

TEST_F(DebugListing, IncompleteTriplesAndMissingGroupsPrintOnlyWhatIsThere) {
    const int32_t indices[7] = {1, 2, 3, 4, 5, 6, 7};
    listIndices(indices, 7);
    listNormals(nullptr, 4);
    listVertices(nullptr, 0);
    const std::vector<std::string> expected = {
        "Indices:\n", "   1    2    3\n", "   4    5    6\n", "\n\nNORMALS\n========\n", "Vertices:\n",
    };
    EXPECT_EQ(host.consoleLines(), expected);
}

TEST_F(DebugListing, LongNumbersArePrintedInFull) {
    ExportVertex vertex{};
    vertex.x = -3.0e38f;
    vertex.nz = 1.0e30f;
    listVertices(&vertex, 1);
    ASSERT_EQ(host.consoleLines().size(), 2u);
    char expected[600];
    std::snprintf(expected, sizeof expected,
                  "  0 %0.2f 0.00 0.00 u 0.00 v 0.00 nx 0.00 ny 0.00 nz %0.2f\n", double(vertex.x),
                  double(vertex.nz));
    EXPECT_EQ(host.consoleLines()[1], expected);
}

}  // namespace
}  // namespace dorna
