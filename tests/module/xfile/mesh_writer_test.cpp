// The Mesh block: the one-triangle listing in full, the blocks the settings leave out,
// the closing brace on request, and the meshes that get no block at all.
#include "xfile/mesh_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/skin/skin_fixture.h"
#include "skin/skin_weights.h"
#include "xfile/names.h"

namespace dorna {
namespace {

ExportVertex vertex(float x, float y, float z, float u, float v) {
    return ExportVertex{x, y, z, 0.0f, 0.0f, 1.0f, u, v};
}

const std::vector<ExportVertex> kTriangle = {vertex(0, 0, 0, 0, 1), vertex(1, 0, 0, 1, 1), vertex(0, 1, 0, 0, 0)};
const std::vector<int32_t> kTriangleIndices = {0, 1, 2};

// The material list of an object without a texture tag, with the default settings.
const char* const kPlainMaterialList =
    "MeshMaterialList {\r\n"
    " 1;\r\n"
    " 1;\r\n"
    " 0;;\r\n"
    "Material {\r\n"
    "0.700000; 0.700000; 0.700000; 1.000000;;\r\n"
    "2.000000;\r\n"
    "0.700000; 0.700000; 0.700000;;\r\n"
    "0.000000; 0.000000; 0.000000;;\r\n"
    "}\r\n"
    "}\r\n";

class MeshWriter : public WriterTest {
protected:
    // The whole Mesh block of the object, or nothing.
    std::string written(KrvObject object, const std::vector<ExportVertex>& vertices,
                        const std::vector<int32_t>& indices) {
        return written(object, MeshArrays{const_cast<ExportVertex*>(vertices.data()),
                                          static_cast<int32_t>(vertices.size()), const_cast<int32_t*>(indices.data()),
                                          static_cast<int32_t>(indices.size())});
    }
    std::string written(KrvObject object, const MeshArrays& arrays) {
        SkinData skin;
        initSkinData(skin);
        const std::string text = captured([&](ExportContext& context) { writeMesh(context, object, arrays, skin); });
        releaseSkinData(skin);
        return text;
    }
};

TEST_F(MeshWriter, OneTriangleInFull) {
    const KrvObject tri = load(triangleObject("Tri"));
    {
        FrameNames names;
        ASSERT_TRUE(reserveNameBuffers(names));
        int32_t number = 0;
        appendUniqueNumber(names, number, tri);
    }
    EXPECT_EQ(written(tri, kTriangle, kTriangleIndices),
              std::string("Mesh M_Tri_0 {\r\n"
                          " 3;\r\n"
                          "0.000000; 0.000000; 0.000000;,\r\n"
                          "1.000000; 0.000000; 0.000000;,\r\n"
                          "0.000000; 1.000000; 0.000000;;\r\n"
                          "\r\n"
                          " 1;\r\n"
                          "3;0,1,2;;\r\n"
                          "\r\n") +
                  kPlainMaterialList +
                  "MeshNormals {\r\n"
                  " 3;\r\n"
                  "0.000000; 0.000000; 1.000000;,\r\n"
                  "0.000000; 0.000000; 1.000000;,\r\n"
                  "0.000000; 0.000000; 1.000000;;\r\n"
                  "\r\n"
                  " 1;\r\n"
                  "3;0,1,2;;\r\n"
                  "\r\n"
                  "}\r\n"
                  "MeshTextureCoords {\r\n"
                  " 3;\r\n"
                  "0.000000; 1.000000;,\r\n"
                  "1.000000; 1.000000;,\r\n"
                  "0.000000; 0.000000;;\r\n"
                  "}\r\n"
                  "}\r\n");
}

TEST_F(MeshWriter, WithoutNormalsAndTexturesOnlyVerticesFacesAndMaterial) {
    settings.exportNormals = 0;
    settings.exportTextures = 0;
    const KrvObject object = load(triangleObject("Point cloud"));
    const std::vector<ExportVertex> one = {vertex(-1.5f, 2.25f, 1e6f, 0, 0)};
    EXPECT_EQ(written(object, one, {0, 0, 0}),
              std::string("Mesh M_Point_cloud {\r\n"
                          " 1;\r\n"
                          "-1.500000; 2.250000; 1000000.000000;;\r\n"
                          "\r\n"
                          " 1;\r\n"
                          "3;0,0,0;;\r\n"
                          "\r\n") +
                  kPlainMaterialList + "}\r\n");
}

TEST_F(MeshWriter, ManyTrianglesSeparateTheirRowsAndRepeatTheFacesInsideTheNormals) {
    settings.exportTextures = 0;
    const KrvObject object = load(triangleObject("Quad"));
    const std::vector<ExportVertex> quad = {vertex(0, 0, 0, 0, 0), vertex(1, 0, 0, 0, 0), vertex(1, 1, 0, 0, 0),
                                            vertex(0, 1, 0, 0, 0)};
    const std::string text = written(object, quad, {0, 1, 2, 0, 2, 3});
    const std::string faces = " 2;\r\n3;0,1,2;,\r\n3;0,2,3;;\r\n\r\n";
    const size_t first = text.find(faces);
    ASSERT_NE(first, std::string::npos) << text;
    const size_t material = text.find("MeshMaterialList {");
    const size_t normals = text.find("MeshNormals {");
    EXPECT_LT(first, material);
    EXPECT_LT(material, normals);
    EXPECT_EQ(text.find(faces, normals), text.size() - faces.size() - 6) << text;
    EXPECT_EQ(text.substr(text.size() - 6), "}\r\n}\r\n");
}

TEST_F(MeshWriter, NoBlockForAMeshWithoutVerticesOrWholeTriangles) {
    const KrvObject object = load(triangleObject("Tri"));
    EXPECT_EQ(written(object, kTriangle, {}), "");
    EXPECT_EQ(written(object, {}, kTriangleIndices), "");
    EXPECT_EQ(written(object, kTriangle, {0, 1}), "");
    EXPECT_EQ(written(object, MeshArrays{nullptr, 3, nullptr, 3}), "");
    EXPECT_FALSE(hasMeshBlock(3, 2));
    EXPECT_TRUE(hasMeshBlock(1, 3));
}

}  // namespace
}  // namespace dorna
