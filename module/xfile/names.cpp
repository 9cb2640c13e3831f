#include "xfile/names.h"

#include <cstdio>

#include "host/objects.h"
#include "settings/export_settings.h"

namespace dorna {

namespace {

struct Replacement {
    char searched;  // a Latin-1 character
    const char* replacement;
};

// In this order: the spelt-out letters and separators first, then the characters of
// the .x grammar. No replacement text contains a searched character, so the order does
// not change the result.
constexpr Replacement kReplacements[] = {
    {'\xF6', "oe"}, {'\xE4', "ae"}, {'\xFC', "ue"}, {'\xDF', "ss"}, {'\xD6', "Oe"}, {'\xDC', "Ue"},
    {'\xC4', "Ae"}, {' ', "_"},     {'.', "_"},     {'-', "_"},     {'/', "_"},     {'\\', "_"},
    {'^', "_"},     {'\t', "_"},    {'\r', "_"},    {'\n', "_"},    {'"', "_"},     {'{', "_"},
    {'}', "_"},     {';', "_"},     {',', "_"},     {'<', "_"},     {'>', "_"},     {'(', "_"},
    {')', "_"},     {'[', "_"},     {']', "_"},     {'#', "_"},
};

// The replacement texts are ASCII, so their length in characters is their length in bytes.
int32_t textLength(const char* text) {
    int32_t length = 0;
    while (text[length]) ++length;
    return length;
}

}  // namespace

void replaceCharacter(HostString& text, char searched, const char* replacement) {
    const char searchedText[2] = {searched, '\0'};
    const HostString searchedString(searchedText);
    const HostString replacementString(replacement);
    const int32_t replacementLength = textLength(replacement);
    // The search goes on after each inserted text instead of from the start again:
    // the text cannot contain the searched character, so the result is the same.
    int32_t position = 0;
    int32_t start = 0;
    while (text.find(searchedString, &position, start)) {
        text.remove(position, 1);
        text.insert(position, replacementString);
        start = position + replacementLength;
    }
}

HostString sanitizeName(const HostString& name) {
    HostString cleaned(name);
    for (const Replacement& row : kReplacements) replaceCharacter(cleaned, row.searched, row.replacement);
    return cleaned;
}

void appendUniqueNumber(KrvObject object) {
    if (!object || isInstance(object, KRV_TYPE_BONE)) return;
    HostString name;
    objectName(object, name);
    HostString numbered = sanitizeName(name);
    char number[16];
    std::snprintf(number, sizeof number, "_%i", static_cast<int>(entityCounter));
    numbered.append(HostString(number));
    ++entityCounter;
    setObjectName(object, numbered);
}

HostString identifierFor(const HostString& cleanedName) {
    return cleanedName.length() > 0 ? cleanedName : HostString("_");
}

HostString objectIdentifier(KrvObject object) {
    HostString name;
    objectName(object, name);
    return identifierFor(sanitizeName(name));
}

}  // namespace dorna
