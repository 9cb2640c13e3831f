// The fixed block every file begins with, rebuilt from the template table by the rules
// of the format (signature, Header object, one definition per template, the blank lines
// between them) and compared byte for byte.
#include "xfile/header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace dorna {
namespace {

struct Template {
    const char* name;
    const char* identifier;
    std::vector<const char*> members;
};

const std::vector<Template>& templates() {
    static const std::vector<Template> table = {
        {"Header", "3D82AB43-62DA-11cf-AB39-0020AF71E433", {"WORD major;", "WORD minor;", "DWORD flags;"}},
        {"Vector", "3D82AB5E-62DA-11cf-AB39-0020AF71E433", {"FLOAT x;", "FLOAT y;", "FLOAT z;"}},
        {"Coords2d", "F6F23F44-7686-11cf-8F52-0040333594A3", {"FLOAT u;", "FLOAT v;"}},
        {"Matrix4x4", "F6F23F45-7686-11cf-8F52-0040333594A3", {"array FLOAT matrix[16];"}},
        {"ColorRGBA", "35FF44E0-6C7C-11cf-8F52-0040333594A3",
         {"FLOAT red;", "FLOAT green;", "FLOAT blue;", "FLOAT alpha;"}},
        {"ColorRGB", "D3E16E81-7835-11cf-8F52-0040333594A3", {"FLOAT red;", "FLOAT green;", "FLOAT blue;"}},
        {"TextureFilename", "A42790E1-7810-11cf-8F52-0040333594A3", {"STRING filename;"}},
        {"Material", "3D82AB4D-62DA-11cf-AB39-0020AF71E433",
         {"ColorRGBA faceColor;", "FLOAT power;", "ColorRGB specularColor;", "ColorRGB emissiveColor;", "[...]"}},
        {"MeshFace", "3D82AB5F-62DA-11cf-AB39-0020AF71E433",
         {"DWORD nFaceVertexIndices;", "array DWORD faceVertexIndices[nFaceVertexIndices];"}},
        {"MeshTextureCoords", "F6F23F40-7686-11cf-8F52-0040333594A3",
         {"DWORD nTextureCoords;", "array Coords2d textureCoords[nTextureCoords];"}},
        {"MeshMaterialList", "F6F23F42-7686-11cf-8F52-0040333594A3",
         {"DWORD nMaterials;", "DWORD nFaceIndexes;", "array DWORD faceIndexes[nFaceIndexes];", "[Material]"}},
        {"MeshNormals", "F6F23F43-7686-11cf-8F52-0040333594A3",
         {"DWORD nNormals;", "array Vector normals[nNormals];", "DWORD nFaceNormals;",
          "array MeshFace faceNormals[nFaceNormals];"}},
        {"Mesh", "3D82AB44-62DA-11cf-AB39-0020AF71E433",
         {"DWORD nVertices;", "array Vector vertices[nVertices];", "DWORD nFaces;", "array MeshFace faces[nFaces];",
          "[...]"}},
        {"FrameTransformMatrix", "F6F23F41-7686-11cf-8F52-0040333594A3", {"Matrix4x4 frameMatrix;"}},
        {"Frame", "3D82AB46-62DA-11cf-AB39-0020AF71E433", {"[...]"}},
        {"FloatKeys", "10DD46A9-775B-11cf-8F52-0040333594A3", {"DWORD nValues;", "array FLOAT values[nValues];"}},
        {"TimedFloatKeys", "F406B180-7B3B-11cf-8F52-0040333594A3", {"DWORD time;", "FloatKeys tfkeys;"}},
        {"AnimationKey", "10DD46A8-775B-11cf-8F52-0040333594A3",
         {"DWORD keyType;", "DWORD nKeys;", "array TimedFloatKeys keys[nKeys];"}},
        {"AnimationOptions", "E2BF56C0-840F-11cf-8F52-0040333594A3", {"DWORD openclosed;", "DWORD positionquality;"}},
        {"Animation", "3D82AB4F-62DA-11cf-AB39-0020AF71E433", {"[...]"}},
        {"AnimationSet", "3D82AB50-62DA-11cf-AB39-0020AF71E433", {"[Animation]"}},
        {"XSkinMeshHeader", "3cf169ce-ff7c-44ab-93c0-f78f62d172e2",
         {"WORD nMaxSkinWeightsPerVertex;", "WORD nMaxSkinWeightsPerFace;", "WORD nBones;"}},
        {"VertexDuplicationIndices", "b8d65549-d7c9-4995-89cf-53a9a8b031e3",
         {"DWORD nIndices;", "DWORD nOriginalVertices;", "array DWORD indices[nIndices];"}},
        {"SkinWeights", "6f0d123b-bad2-4167-a0d0-80224f25fabb",
         {"STRING transformNodeName;", "DWORD nWeights;", "array DWORD vertexIndices[nWeights];",
          "array FLOAT weights[nWeights];", "Matrix4x4 matrixOffset;"}},
    };
    return table;
}

std::string expectedBlock() {
    std::string block = "xof 0302txt 0032\r\nHeader {\r\n 1;\r\n 0;\r\n 1;\r\n}\r\n";
    for (const Template& t : templates()) {
        block += std::string("template ") + t.name + " {\r\n";
        block += std::string(" <") + t.identifier + ">\r\n";
        for (const char* member : t.members) block += std::string(" ") + member + "\r\n";
        block += "}\r\n";
        const std::string name = t.name;
        if (name == "SkinWeights") {
            block += "\r\n\r\n";
        } else if (name != "Frame") {
            block += "\r\n";
        }
    }
    return block;
}

TEST(FixedHeaderBlock, IsTheSignatureHeaderAndTemplatesByteForByte) {
    const std::string block(kFixedHeaderBlock, kFixedHeaderBlockSize);
    EXPECT_EQ(block.size(), 3103u);
    EXPECT_EQ(std::count(block.begin(), block.end(), '\n'), 165);
    // Every LF belongs to a CR LF, and nothing follows the last one.
    size_t crlf = 0;
    for (size_t at = block.find("\r\n"); at != std::string::npos; at = block.find("\r\n", at + 2)) ++crlf;
    EXPECT_EQ(crlf, 165u);
    EXPECT_EQ(block.substr(block.size() - 2), "\r\n");
    EXPECT_EQ(block, expectedBlock());
}

}  // namespace
}  // namespace dorna
