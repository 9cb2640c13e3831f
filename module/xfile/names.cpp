#include "xfile/names.h"

#include <cstring>
#include <utility>

#include "host/document.h"
#include "host/object_index.h"
#include "host/object_walk.h"
#include "host/objects.h"
#include "xfile/number_format.h"

namespace dorna {

namespace {

// The Latin-1 letters that are spelt out.
struct SpeltOut {
    unsigned char letter;
    char text[3];
};
constexpr SpeltOut kSpeltOut[] = {{0xF6, "oe"}, {0xE4, "ae"}, {0xFC, "ue"}, {0xDF, "ss"},
                                  {0xD6, "Oe"}, {0xDC, "Ue"}, {0xC4, "Ae"}};

// The separators and the characters of the .x grammar; control characters too.
bool becomesUnderscore(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return true;
    return std::strchr(" .-/\\^\"{};,<>()[]#", c) != nullptr;
}

// The keywords of the format, lower case.
constexpr const char* kKeywords[] = {"template", "array",  "byte",   "char",     "cstring",   "double",
                                     "dword",    "float",  "sdword", "string",   "sword",     "uchar",
                                     "ulonglong", "unicode", "word",  "binary",   "binary_resource"};

bool equalsIgnoringCase(const char* text, int32_t length, const char* lower) {
    int32_t i = 0;
    for (; i < length && lower[i]; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return i == length && lower[i] == '\0';
}

bool readsAsNumber(const char* text, int32_t length) {
    int32_t i = (length > 0 && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    int32_t digits = 0;
    int32_t points = 0;
    for (; i < length; ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else if (text[i] == '.' && points == 0)
            ++points;
        else
            return false;
    }
    return digits > 0;
}

// The cleaned name of the object, cut to `capacity`, at names.cleaned + 1 (names.cleaned[0] is room
// for a leading "_"). Its length.
int32_t cleanedObjectName(FrameNames& names, KrvObject object, int32_t capacity) {
    if (!names.cleaned) return 0;
    HostString name;
    objectName(object, name);
    const int32_t length = name.toText(names.hostText, kMaxNameLength);
    return cleanNameText(names.hostText, length, names.cleaned + 1, capacity);
}

NameText plainFrameName(FrameNames& names, KrvObject object) {
    const int32_t length = cleanedObjectName(names, object, kMaxNameLength);
    if (length == 0) {
        names.cleaned[1] = '_';
        return NameText{names.cleaned + 1, 1};
    }
    if (readsAsNumberOrKeyword(names.cleaned + 1, length)) {
        names.cleaned[0] = '_';
        return NameText{names.cleaned, length + 1};
    }
    return NameText{names.cleaned + 1, length};
}

// The entry named `text`, or -1; *slot receives the slot it has or would take.
int32_t findName(const FrameNames& names, const char* text, int32_t length, uint32_t* slot) {
    const uint32_t mask = static_cast<uint32_t>(names.slots - 1);
    for (uint32_t s = hashOfText(text, length) & mask;; s = (s + 1) & mask) {
        const int32_t e = names.byName[s];
        if (e < 0 || (names.entries[e].length == length &&
                      std::memcmp(names.text + names.entries[e].offset, text, static_cast<size_t>(length)) == 0)) {
            *slot = s;
            return e;
        }
    }
}

int32_t findObject(const FrameNames& names, KrvObject object) {
    return findIndexedObject(names.byObject, names.slots, object, [&](int32_t e) { return names.entries[e].object == object; });
}

void indexEntry(FrameNames& names, int32_t e) {
    const FrameName& entry = names.entries[e];
    indexObject(names.byObject, names.slots, entry.object, e);
    const uint32_t mask = static_cast<uint32_t>(names.slots - 1);
    uint32_t s = hashOfText(names.text + entry.offset, entry.length) & mask;
    while (names.byName[s] >= 0) s = (s + 1) & mask;
    names.byName[s] = e;
}

// Tables of `slots` slots holding the entries there are. False when storage is refused.
bool resizeTables(FrameNames& names, int32_t slots) {
    HostArray<int32_t> indexes;
    if (!indexes.allocate(2 * int64_t{slots}) || !names.entries.grow(names.count, slots / 2)) return false;
    names.byObject = std::move(indexes);
    names.byName = names.byObject + slots;
    names.slots = slots;
    names.byObject.fill(0xFF);
    for (int32_t e = 0; e < names.count; ++e) indexEntry(names, e);
    return true;
}

// Room for one more entry, the tables staying at most half full.
bool roomForEntry(FrameNames& names) {
    if (2 * (int64_t{names.count} + 1) <= names.slots) return true;
    if (names.slots > INT32_MAX / 4) return false;
    return resizeTables(names, 2 * names.slots);
}

bool appendText(FrameNames& names, const char* text, int32_t length) {
    // Entries keep 32-bit offsets into the text.
    if (names.textUsed + length > INT32_MAX || !names.text.grow(names.textUsed, names.textUsed + length, 4096))
        return false;
    std::memcpy(names.text + names.textUsed, text, static_cast<size_t>(length));
    names.textUsed += length;
    return true;
}

// Enters `object` under `text`, which no entry has yet; roomForEntry came first.
bool addEntry(FrameNames& names, KrvObject object, const char* text, int32_t length, uint32_t nameSlot, bool referenced) {
    const int32_t e = names.count;
    const int64_t offset = names.textUsed;
    if (!appendText(names, text, length)) return false;
    names.entries[e] = FrameName{object, static_cast<int32_t>(offset), length, 2, referenced};
    names.byName[nameSlot] = e;
    indexObject(names.byObject, names.slots, object, e);
    ++names.count;
    return true;
}

// Enters `object` under `plain`, or under "_N" added with the first N from that name's
// counter that no entry has when `plain` is taken. A name entered only as such a
// numbered name keeps counting from 2 too. `plain` may point into the cleaned-name buffer.
bool enterName(FrameNames& names, KrvObject object, NameText plain, bool referenced) {
    if (!roomForEntry(names)) return false;
    uint32_t slot = 0;
    const int32_t owner = findName(names, plain.text, plain.length, &slot);
    if (owner < 0) return addEntry(names, object, plain.text, plain.length, slot, referenced);

    char* numbered = const_cast<char*>(plain.text);
    for (int32_t number = names.entries[owner].nextNumber;; ++number) {
        numbered[plain.length] = '_';
        const int32_t length = plain.length + 1 + formatInt(numbered + plain.length + 1, number);
        if (findName(names, numbered, length, &slot) < 0) {
            names.entries[owner].nextNumber = number + 1;
            return addEntry(names, object, numbered, length, slot, referenced);
        }
    }
}

}  // namespace

uint32_t hashOfText(const char* text, int32_t length) {
    uint32_t hash = 2166136261u;
    for (int32_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(text[i])) * 16777619u;
    return hash;
}

int32_t cleanNameText(const char* name, int32_t length, char* out, int32_t capacity) {
    int32_t n = 0;
    for (int32_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const char* spelt = nullptr;
        for (const SpeltOut& row : kSpeltOut)
            if (row.letter == c) spelt = row.text;
        if (spelt) {
            if (n + 2 > capacity) break;
            out[n++] = spelt[0];
            out[n++] = spelt[1];
            continue;
        }
        if (n + 1 > capacity) break;
        out[n++] = becomesUnderscore(c) ? '_' : static_cast<char>(c);
    }
    return n;
}

void replaceCharacter(HostString& text, char searched, const char* replacement) {
    const char searchedText[2] = {searched, '\0'};
    const HostString searchedString(searchedText);
    const HostString replacementString(replacement);
    const auto replacementLength = static_cast<int32_t>(std::strlen(replacement));
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

void appendUniqueNumber(FrameNames& names, int32_t& counter, KrvObject object) {
    if (!object || isInstance(object, KRV_TYPE_BONE) || !names.cleaned) return;
    const int32_t length = cleanedObjectName(names, object, kMaxNameLength - kNumberRoom);
    char* numbered = names.cleaned + 1;
    numbered[length] = '_';
    const int32_t digits = formatInt(numbered + length + 1, counter);
    numbered[length + 1 + digits] = '\0';
    ++counter;
    setObjectName(object, HostString(numbered));
}

bool readsAsNumberOrKeyword(const char* text, int32_t length) {
    if (readsAsNumber(text, length)) return true;
    for (const char* keyword : kKeywords)
        if (equalsIgnoringCase(text, length, keyword)) return true;
    return false;
}

NameText meshName(FrameNames& names, KrvObject object) {
    const int32_t length = cleanedObjectName(names, object, kMaxNameLength);
    return length > 0 ? NameText{names.cleaned + 1, length} : NameText{"_", 1};
}

NameText frameName(FrameNames& names, KrvObject object) {
    if (names.count > 0) {
        const int32_t e = findObject(names, object);
        if (e >= 0) return NameText{names.text + names.entries[e].offset, names.entries[e].length};
    }
    return plainFrameName(names, object);
}

bool beginFrameNames(FrameNames& names, KrvDocument document, bool withBones, bool nonBonesReferenced) {
    endFrameNames(names);
    const KrvObject first = withBones ? firstObject(document) : nullptr;
    int64_t bones = 0;
    const bool counted = visitDepthFirst(first, [&](KrvObject o, int32_t) {
        if (isInstance(o, KRV_TYPE_BONE)) ++bones;
        return true;
    });
    if (!counted || bones > INT32_MAX / 8) return false;
    // Without bones and animated frames no reference names a frame: no table.
    if (bones == 0 && !nonBonesReferenced) return true;

    int32_t slots = 16;
    while (slots < 2 * bones) slots *= 2;
    if (!resizeTables(names, slots)) return false;
    names.nonBonesReferenced = nonBonesReferenced;
    bool entered = true;
    const bool walked = visitDepthFirst(first, [&](KrvObject o, int32_t) {
        if (isInstance(o, KRV_TYPE_BONE)) entered = enterName(names, o, plainFrameName(names, o), true);
        return entered && names.count < bones;
    });
    if (!walked || !entered) {
        endFrameNames(names);
        return false;
    }
    return true;
}

bool claimFrameName(FrameNames& names, KrvObject object, KrvObject named, NameText* name) {
    const bool bone = isInstance(object, KRV_TYPE_BONE);
    if (names.slots == 0) {
        *name = frameName(names, named);
        return true;
    }
    if (bone && names.count > 0 && findObject(names, object) >= 0) {
        *name = frameName(names, object);
        return true;
    }
    // An entry of an object the walk released may carry this object's address now.
    if (names.count > 0) {
        const int32_t stale = findObject(names, object);
        if (stale >= 0) names.entries[stale].object = nullptr;
    }
    const bool referenced = bone || names.nonBonesReferenced;
    const NameText plain = plainFrameName(names, named);
    if (!referenced) {
        // A frame no reference names needs no entry: it may share a name with another
        // such frame, as the host's names may, and only keeps clear of referenced ones.
        uint32_t slot = 0;
        const int32_t owner = findName(names, plain.text, plain.length, &slot);
        *name = plain;
        if (owner < 0 || !names.entries[owner].referenced) return true;
        char* numbered = const_cast<char*>(plain.text);
        for (int32_t number = names.entries[owner].nextNumber;; ++number) {
            numbered[plain.length] = '_';
            name->length = plain.length + 1 + formatInt(numbered + plain.length + 1, number);
            if (findName(names, numbered, name->length, &slot) < 0) return true;
        }
    }
    if (!enterName(names, object, plain, referenced)) return false;
    const FrameName& entry = names.entries[names.count - 1];
    *name = NameText{names.text + entry.offset, entry.length};
    return true;
}

void endFrameNames(FrameNames& names) {
    // The name buffers stay for the names of objects outside the table.
    HostArray<char> buffers = std::move(names.hostText);
    char* const cleaned = names.cleaned;
    names = FrameNames{};
    names.hostText = std::move(buffers);
    names.cleaned = cleaned;
}

bool reserveNameBuffers(FrameNames& names) {
    if (names.hostText) return true;
    constexpr int64_t kCleanedCapacity = 1 + kMaxNameLength + kNumberRoom + 1;
    if (!names.hostText.allocate(kHostTextCapacity + kCleanedCapacity)) return false;
    names.cleaned = names.hostText + kHostTextCapacity;
    return true;
}

}  // namespace dorna
