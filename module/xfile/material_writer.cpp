#include "xfile/material_writer.h"

#include "host/containers.h"
#include "host/host.h"
#include "host/library.h"
#include "host/objects.h"
#include "settings/export_settings.h"
#include "xfile/export_context.h"
#include "xfile/names.h"
#include "xfile/text_writer.h"

namespace dorna {

namespace {

constexpr KrvVector kZero = {0.0f, 0.0f, 0.0f};
constexpr KrvVector kOpaque = {1.0f, 1.0f, 1.0f};
// The mean of the three components, as a 32-bit factor.
constexpr float kOneThird = 0.33333334f;

// What one mesh's material is made of; every value starts at zero.
struct MaterialValues {
    bool hasTag = false;
    KrvVector faceColor = kZero;
    KrvVector alphaSource = kZero;
    KrvVector specularColor = kZero;
    KrvVector emissiveColor = kZero;
    HostString textureName;
    // The material names a texture the host could not hand over.
    bool textureNameLost = false;
};

KrvVector readColor(KrvMaterial material, int32_t parameter) {
    const ParameterId id(parameter);
    ValueHolder value;
    readMaterialParameter(material, id, value, 0);
    return value.asVector();
}

// The colour of a channel that is switched on; an off channel gives nothing.
KrvVector channelColor(KrvMaterial material, int32_t channel, int32_t parameter) {
    return channelEnabled(material, channel) ? readColor(material, parameter) : kZero;
}

// The texture name is read whether the colour channel is on or not.
void readTextureName(KrvMaterial material, MaterialValues& values) {
    HostContainer data;
    channelData(materialChannel(material, KRV_CHANNEL_COLOR), data);
    values.textureNameLost = !data.readString(KRV_CHANNEL_TEXTURE, values.textureName);
}

MaterialValues readMaterial(KrvObject object) {
    MaterialValues values;
    const KrvTag tag = findTag(object, KRV_TAG_TEXTURE);
    const KrvMaterial material = tag ? materialOfTag(tag) : nullptr;
    if (!material) return values;
    values.hasTag = true;
    readTextureName(material, values);
    values.faceColor = channelColor(material, KRV_CHANNEL_COLOR, KRV_PARAM_COLOR);
    values.specularColor = channelColor(material, KRV_CHANNEL_SPECULAR, KRV_PARAM_SPECULAR);
    values.emissiveColor = channelColor(material, KRV_CHANNEL_LUMINANCE, KRV_PARAM_LUMINANCE);
    values.alphaSource = channelEnabled(material, KRV_CHANNEL_TRANSPARENCY)
                             ? readColor(material, KRV_PARAM_TRANSPARENCY)
                             : kOpaque;
    return values;
}

// Every face uses material 0: " 0," for all faces but the last, which ends the list.
void writeFaceIndexes(XTextWriter& out, int32_t faceCount) {
    {
        ListText list(out);
        for (int32_t face = 1; face < faceCount; ++face) list.text(" 0,\r\n");
    }
    out.writeText(" 0;;\r\n");
}

// The eleven numbers of a Material, in the order they are written.
struct MaterialNumbers {
    float face[4];  // red, green, blue, alpha
    float power;
    float specular[3];
    float emissive[3];
};

// The fourth floats of the standard specular and emissive colours are not written.
MaterialNumbers standardNumbers(const ExportSettings& s) {
    return {{s.faceColor.red, s.faceColor.green, s.faceColor.blue, s.faceColor.alpha},
            s.specularPower,
            {s.specularColor.red, s.specularColor.green, s.specularColor.blue},
            {s.emissiveColor.red, s.emissiveColor.green, s.emissiveColor.blue}};
}

// The power always comes from the settings, not from the host material.
MaterialNumbers hostNumbers(const MaterialValues& v, float power) {
    const KrvVector& a = v.alphaSource;
    const float sum = a.x + a.y + a.z;
    const float alpha = sum * kOneThird;
    return {{v.faceColor.x, v.faceColor.y, v.faceColor.z, alpha},
            power,
            {v.specularColor.x, v.specularColor.y, v.specularColor.z},
            {v.emissiveColor.x, v.emissiveColor.y, v.emissiveColor.z}};
}

// "a; b; c;" followed by `end`.
void writeRow(XTextWriter& out, const float* values, int32_t count, const char* end) {
    for (int32_t i = 0; i < count; ++i) {
        out.writeReal(values[i]);
        out.writeText(i + 1 < count ? "; " : ";");
    }
    out.writeText(end);
}

// An object without a material gets the standard material: all-zero colours with alpha 0
// would be invisible in a reader that blends by alpha and black in the others.
void writeMaterialNumbers(XTextWriter& out, const MaterialValues& values, const ExportSettings& settings) {
    const bool standard = settings.useStandardMaterial || !values.hasTag;
    const MaterialNumbers n = standard ? standardNumbers(settings) : hostNumbers(values, settings.specularPower);
    writeRow(out, n.face, 4, ";\r\n");
    writeRow(out, &n.power, 1, "\r\n");
    writeRow(out, n.specular, 3, ";\r\n");
    writeRow(out, n.emissive, 3, ";\r\n");
}

void reportLostCharacters(FrameNames& names, KrvObject object, int32_t lost) {
    const NameText mesh = meshName(names, object);
    ConsoleLine("Dorna: mesh M_")
        .add(mesh.text, mesh.length < 200 ? mesh.length : 200)
        .add(": ")
        .add(lost)
        .add(lost == 1 ? " character of its texture name is outside Latin-1 and written as \"?\""
                       : " characters of its texture name are outside Latin-1 and written as \"?\"")
        .print();
}

}  // namespace

int32_t textureNameForFile(const HostString& name, char* out, int32_t capacity, int32_t* lost) {
    int32_t length = name.toText(out, capacity);
    if (length < 0) length = 0;
    if (length > capacity) length = capacity;
    int32_t marks = 0;
    // The .x text has no escape inside a string.
    for (int32_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c < 0x20 || c == 0x7F || c == '"') out[i] = '_';
        if (c == '?') ++marks;
    }
    // The marks the name holds itself are found in it; the others stand for characters.
    const HostString mark("?");
    int32_t position = 0;
    for (int32_t start = 0; marks > 0 && name.find(mark, &position, start); start = position + 1) --marks;
    *lost = marks;
    return length;
}

void writeMaterialList(ExportContext& context, KrvObject object, int32_t faceCount) {
    XTextWriter& writer = context.writer;
    const MaterialValues values = readMaterial(object);
    const bool writesTexture = values.hasTag && context.settings.exportTextures;
    if (writesTexture && values.textureNameLost) context.status.fail(ExportFailure::TextureNameLost);

    const Block list(writer, "MeshMaterialList {\r\n 1;\r\n", "}\r\n");
    writer.writeText(" ");
    writer.writeInt(faceCount);
    writer.writeText(";\r\n");
    writeFaceIndexes(writer, faceCount);
    const Block material(writer, "Material {\r\n", "}\r\n");
    writeMaterialNumbers(writer, values, context.settings);
    if (writesTexture && values.textureName.length() > 0 && context.names.hostText) {
        int32_t lost = 0;
        char* text = context.names.hostText;
        const int32_t length = textureNameForFile(values.textureName, text, kHostTextCapacity - 1, &lost);
        writer.writeText("TextureFilename { \"");
        writer.writeBytes(text, length);
        writer.writeText("\"; }\r\n");
        if (lost > 0) reportLostCharacters(context.names, object, lost);
    }
}

}  // namespace dorna
