// The material list: the standard material in full, which host channels count, where
// the alpha comes from, and the texture name between its quotes.
#include "xfile/material_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "module/skin/skin_fixture.h"

namespace dorna {
namespace {

using korvo::Material;
using korvo::SceneObject;

class MaterialWriter : public WriterTest {
protected:
    // A triangle whose texture tag refers to `material` (none: no tag).
    KrvObject objectWith(const Material* material) {
        SceneObject o = triangleObject("Tri");
        korvo::Scene scene;
        if (material) {
            o.texture = korvo::TextureTag{material->name, {0, 0}, {1, 1}};
            scene.materials.push_back(*material);
        }
        scene.objects.push_back(o);
        document = host.loadDocument(scene);
        return host.findObject(document, "Tri");
    }

    std::string written(KrvObject object, int32_t faceCount) {
        return captured([&](ExportContext& context) { writeMaterialList(context, object, faceCount); });
    }

    // The Material's rows: face colour, power, specular, emissive.
    std::string materialRows(KrvObject object) {
        const std::string text = written(object, 1);
        const size_t begin = text.find("Material {\r\n") + 12;
        return text.substr(begin, text.find("}\r\n", begin) - begin);
    }
};

Material texturedMaterial(const std::string& texture) {
    Material m;
    m.name = "Skin";
    m.color = {true, {0.8, 0.6, 0.5}, texture};
    return m;
}

TEST_F(MaterialWriter, TheStandardMaterialForTwoTrianglesInFull) {
    settings.useStandardMaterial = 1;
    const Material skin = texturedMaterial("tex\\skin.png");
    const KrvObject object = objectWith(&skin);
    EXPECT_EQ(written(object, 2),
              "MeshMaterialList {\r\n"
              " 1;\r\n"
              " 2;\r\n"
              " 0,\r\n"
              " 0;;\r\n"
              "Material {\r\n"
              "0.700000; 0.700000; 0.700000; 1.000000;;\r\n"
              "2.000000;\r\n"
              "0.700000; 0.700000; 0.700000;;\r\n"
              "0.000000; 0.000000; 0.000000;;\r\n"
              "TextureFilename { \"tex\\skin.png\"; }\r\n"
              "}\r\n"
              "}\r\n");
    settings.exportTextures = 0;
    EXPECT_EQ(written(object, 2).find("TextureFilename"), std::string::npos);
}

TEST_F(MaterialWriter, OnlySwitchedOnChannelsGiveColourAndThePowerComesFromTheSettings) {
    settings.specularPower = 12.5f;
    Material m = texturedMaterial("");
    m.color.on = false;                      // its value does not count
    m.luminance = {true, {0.1, 0.2, 0.3}, {}};
    m.transparency = {false, {0.9, 0.9, 0.9}, {}};
    m.specular = {true, {0.25, 0.5, 0.75}, {}};
    EXPECT_EQ(materialRows(objectWith(&m)),
              "0.000000; 0.000000; 0.000000; 1.000000;;\r\n"  // channel 2 off: opaque
              "12.500000;\r\n"
              "0.250000; 0.500000; 0.750000;;\r\n"
              "0.100000; 0.200000; 0.300000;;\r\n");
}

TEST_F(MaterialWriter, TheAlphaIsTheMeanOfTheTransparencyColour) {
    Material m = texturedMaterial("");
    m.transparency = {true, {0.2, 0.4, 0.6}, {}};
    m.specular = {false, {1, 1, 1}, {}};
    EXPECT_EQ(materialRows(objectWith(&m)),
              "0.800000; 0.600000; 0.500000; 0.400000;;\r\n"
              "2.000000;\r\n"
              "0.000000; 0.000000; 0.000000;;\r\n"
              "0.000000; 0.000000; 0.000000;;\r\n");
}

TEST_F(MaterialWriter, WithoutATextureTagTheStandardMaterialOfTheSettingsIsWritten) {
    settings.specularPower = 7.0f;
    settings.faceColor = {0.25f, 0.5f, 0.75f, 0.5f};
    settings.specularColor = {0.125f, 0.25f, 0.375f, 0.0f};
    settings.emissiveColor = {0.5f, 0.0f, 1.0f, 0.0f};
    const KrvObject object = objectWith(nullptr);
    const std::string text = written(object, 1);
    EXPECT_EQ(text,
              "MeshMaterialList {\r\n"
              " 1;\r\n"
              " 1;\r\n"
              " 0;;\r\n"
              "Material {\r\n"
              "0.250000; 0.500000; 0.750000; 0.500000;;\r\n"
              "7.000000;\r\n"
              "0.125000; 0.250000; 0.375000;;\r\n"
              "0.500000; 0.000000; 1.000000;;\r\n"
              "}\r\n"
              "}\r\n");
}

TEST_F(MaterialWriter, TheTextureNameIsWrittenAsStoredButCannotEndItsString) {
    const Material m = texturedMaterial("..\\maps\\a \"b\"\r\nc\xC3\xA4.png");
    const std::string text = written(objectWith(&m), 1);
    EXPECT_NE(text.find("TextureFilename { \"..\\maps\\a _b___c\xE4.png\"; }\r\n"), std::string::npos) << text;
}

TEST_F(MaterialWriter, AMaterialWithoutATextureNameWritesNoTextureLine) {
    Material m = texturedMaterial("");
    EXPECT_EQ(written(objectWith(&m), 1).find("TextureFilename"), std::string::npos);
    m.color.texture.reset();
    EXPECT_EQ(written(objectWith(&m), 1).find("TextureFilename"), std::string::npos);
}

TEST_F(MaterialWriter, ATextureNameTheHostCannotHandOverLeavesTheFileIncomplete) {
    const Material m = texturedMaterial("skin.png");
    const KrvObject object = objectWith(&m);
    EXPECT_EQ(failureOf([&](ExportContext& context) {
                  host.refuseAllocation(1);  // the texture name is the first block the writer asks for
                  writeMaterialList(context, object, 1);
                  host.refuseAllocation(0);
              }),
              ExportFailure::TextureNameLost);
    settings.exportTextures = 0;  // a name that is not written is not missed
    EXPECT_EQ(failureOf([&](ExportContext& context) {
                  host.refuseAllocation(1);
                  writeMaterialList(context, object, 1);
                  host.refuseAllocation(0);
              }),
              ExportFailure::None);
    expectNothingHeld();
}

}  // namespace
}  // namespace dorna
