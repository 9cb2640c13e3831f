#include "xfile/names.h"

#include <cstring>

#include "host/document.h"
#include "host/objects.h"
#include "settings/export_settings.h"
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

// The name as 8-bit text and its cleaned form. One export runs at a time on the host's
// thread; names of up to half a million characters do not fit on the stack.
char gSource[kMaxNameLength + 1];
char gName[1 + kMaxNameLength + kNumberRoom + 1];

// The cleaned name of the object, cut to `capacity`, at gName + 1 (gName[0] is room
// for a leading "_"). Its length.
int32_t cleanedObjectName(KrvObject object, int32_t capacity) {
    HostString name;
    objectName(object, name);
    const int32_t length = name.toText(gSource, kMaxNameLength);
    return cleanNameText(gSource, length, gName + 1, capacity);
}

NameText plainFrameName(KrvObject object) {
    const int32_t length = cleanedObjectName(object, kMaxNameLength);
    if (length == 0) {
        gName[1] = '_';
        return NameText{gName + 1, 1};
    }
    if (readsAsNumberOrKeyword(gName + 1, length)) {
        gName[0] = '_';
        return NameText{gName, length + 1};
    }
    return NameText{gName + 1, length};
}

// The frame names of one file: every name entered once, found by object and by name
// through two open-addressing tables of entry indexes (-1: free), each at most half
// full. An entry is "referenced" when a SkinWeights or an Animation names it: a bone,
// or an animated object.
struct FrameName {
    KrvObject object;    // null once its object may be gone
    int32_t offset;      // into the text block
    int32_t length;
    int32_t nextNumber;  // the next "_N" to try for a later frame of this name
    bool referenced;
};

struct FrameTable {
    FrameName* entries;  // room for slots / 2
    int32_t count;
    char* text;
    int64_t textUsed;
    int64_t textCapacity;
    int32_t* byObject;
    int32_t* byName;
    int32_t slots;  // a power of two; 0 while no file is being written
    bool nonBonesReferenced;
};

FrameTable gFrames;

uint32_t hashOfObject(KrvObject object) {
    const uint64_t value = reinterpret_cast<uintptr_t>(object);
    return static_cast<uint32_t>((value * 0x9E3779B97F4A7C15ull) >> 32);
}

uint32_t hashOfText(const char* text, int32_t length) {
    uint32_t hash = 2166136261u;
    for (int32_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(text[i])) * 16777619u;
    return hash;
}

// The entry named `text`, or -1; *slot receives the slot it has or would take.
int32_t findName(const char* text, int32_t length, uint32_t* slot) {
    const uint32_t mask = static_cast<uint32_t>(gFrames.slots - 1);
    for (uint32_t s = hashOfText(text, length) & mask;; s = (s + 1) & mask) {
        const int32_t e = gFrames.byName[s];
        if (e < 0 || (gFrames.entries[e].length == length &&
                      std::memcmp(gFrames.text + gFrames.entries[e].offset, text, static_cast<size_t>(length)) == 0)) {
            *slot = s;
            return e;
        }
    }
}

int32_t findObject(KrvObject object) {
    const uint32_t mask = static_cast<uint32_t>(gFrames.slots - 1);
    for (uint32_t s = hashOfObject(object) & mask;; s = (s + 1) & mask) {
        const int32_t e = gFrames.byObject[s];
        if (e < 0 || gFrames.entries[e].object == object) return e;
    }
}

void indexEntry(int32_t e, int32_t* byObject, int32_t* byName, uint32_t mask) {
    const FrameName& entry = gFrames.entries[e];
    uint32_t s = hashOfObject(entry.object) & mask;
    while (byObject[s] >= 0) s = (s + 1) & mask;
    byObject[s] = e;
    s = hashOfText(gFrames.text + entry.offset, entry.length) & mask;
    while (byName[s] >= 0) s = (s + 1) & mask;
    byName[s] = e;
}

// Tables of `slots` slots holding the entries there are. False when storage is refused.
bool resizeTables(int32_t slots) {
    auto* entries = static_cast<FrameName*>(hostAlloc(sizeof(FrameName) * static_cast<size_t>(slots / 2)));
    auto* indexes = static_cast<int32_t*>(hostAlloc(sizeof(int32_t) * 2 * static_cast<size_t>(slots)));
    if (!entries || !indexes) {
        hostFree(entries);
        hostFree(indexes);
        return false;
    }
    if (gFrames.count > 0) std::memcpy(entries, gFrames.entries, sizeof(FrameName) * static_cast<size_t>(gFrames.count));
    hostFree(gFrames.entries);
    hostFree(gFrames.byObject);
    gFrames.entries = entries;
    gFrames.byObject = indexes;
    gFrames.byName = indexes + slots;
    gFrames.slots = slots;
    fillBytes(indexes, sizeof(int32_t) * 2 * static_cast<size_t>(slots), 0xFF);
    for (int32_t e = 0; e < gFrames.count; ++e)
        indexEntry(e, gFrames.byObject, gFrames.byName, static_cast<uint32_t>(slots - 1));
    return true;
}

// Room for one more entry, the tables staying at most half full.
bool roomForEntry() {
    if (2 * (int64_t{gFrames.count} + 1) <= gFrames.slots) return true;
    if (gFrames.slots > INT32_MAX / 4) return false;
    return resizeTables(2 * gFrames.slots);
}

bool appendText(const char* text, int32_t length) {
    if (gFrames.textUsed + length > gFrames.textCapacity) {
        int64_t capacity = gFrames.textCapacity > 0 ? 2 * gFrames.textCapacity : 4096;
        while (capacity < gFrames.textUsed + length) capacity *= 2;
        if (capacity > INT32_MAX) return false;
        char* grown = static_cast<char*>(hostAlloc(static_cast<size_t>(capacity)));
        if (!grown) return false;
        if (gFrames.textUsed > 0) std::memcpy(grown, gFrames.text, static_cast<size_t>(gFrames.textUsed));
        hostFree(gFrames.text);
        gFrames.text = grown;
        gFrames.textCapacity = capacity;
    }
    std::memcpy(gFrames.text + gFrames.textUsed, text, static_cast<size_t>(length));
    gFrames.textUsed += length;
    return true;
}

// Enters `object` under `text`, which no entry has yet; roomForEntry came first.
bool addEntry(KrvObject object, const char* text, int32_t length, uint32_t nameSlot, bool referenced) {
    const int32_t e = gFrames.count;
    const int64_t offset = gFrames.textUsed;
    if (!appendText(text, length)) return false;
    gFrames.entries[e] = FrameName{object, static_cast<int32_t>(offset), length, 2, referenced};
    gFrames.byName[nameSlot] = e;
    const uint32_t mask = static_cast<uint32_t>(gFrames.slots - 1);
    uint32_t s = hashOfObject(object) & mask;
    while (gFrames.byObject[s] >= 0) s = (s + 1) & mask;
    gFrames.byObject[s] = e;
    ++gFrames.count;
    return true;
}

// Enters `object` under `plain`, or under "_N" added with the first N from that name's
// counter that no entry has when `plain` is taken. A name entered only as such a
// numbered name keeps counting from 2 too. `plain` may point into gName.
bool enterName(KrvObject object, NameText plain, bool referenced) {
    if (!roomForEntry()) return false;
    uint32_t slot = 0;
    const int32_t owner = findName(plain.text, plain.length, &slot);
    if (owner < 0) return addEntry(object, plain.text, plain.length, slot, referenced);

    char* numbered = const_cast<char*>(plain.text);
    for (int32_t number = gFrames.entries[owner].nextNumber;; ++number) {
        numbered[plain.length] = '_';
        const int32_t length = plain.length + 1 + formatInt(numbered + plain.length + 1, number);
        if (findName(numbered, length, &slot) < 0) {
            gFrames.entries[owner].nextNumber = number + 1;
            return addEntry(object, numbered, length, slot, referenced);
        }
    }
}

// The next object depth first after `object`: its first child, else the next sibling
// of it or of the nearest ancestor that has one.
KrvObject nextDepthFirst(KrvObject object) {
    if (KrvObject child = firstChild(object)) return child;
    for (KrvObject o = object; o; o = parentObject(o))
        if (KrvObject next = nextObject(o)) return next;
    return nullptr;
}

}  // namespace

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

HostString sanitizeName(const HostString& name) {
    const int32_t length = name.toText(gSource, kMaxNameLength);
    const int32_t cleaned = cleanNameText(gSource, length, gName, kMaxNameLength);
    gName[cleaned] = '\0';
    return HostString(gName);
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

void appendUniqueNumber(KrvObject object) {
    if (!object || isInstance(object, KRV_TYPE_BONE)) return;
    const int32_t length = cleanedObjectName(object, kMaxNameLength - kNumberRoom);
    char* numbered = gName + 1;
    numbered[length] = '_';
    const int32_t digits = formatInt(numbered + length + 1, entityCounter);
    numbered[length + 1 + digits] = '\0';
    ++entityCounter;
    setObjectName(object, HostString(numbered));
}

bool readsAsNumberOrKeyword(const char* text, int32_t length) {
    if (readsAsNumber(text, length)) return true;
    for (const char* keyword : kKeywords)
        if (equalsIgnoringCase(text, length, keyword)) return true;
    return false;
}

NameText meshName(KrvObject object) {
    const int32_t length = cleanedObjectName(object, kMaxNameLength);
    return length > 0 ? NameText{gName + 1, length} : NameText{"_", 1};
}

NameText frameName(KrvObject object) {
    if (gFrames.count > 0) {
        const int32_t e = findObject(object);
        if (e >= 0) return NameText{gFrames.text + gFrames.entries[e].offset, gFrames.entries[e].length};
    }
    return plainFrameName(object);
}

bool beginFrameNames(KrvDocument document, bool withBones, bool nonBonesReferenced) {
    endFrameNames();
    const KrvObject first = withBones ? firstObject(document) : nullptr;
    int64_t bones = 0;
    for (KrvObject o = first; o; o = nextDepthFirst(o))
        if (isInstance(o, KRV_TYPE_BONE)) ++bones;
    if (bones > INT32_MAX / 8) return false;
    // Without bones and animated frames no reference names a frame: no table.
    if (bones == 0 && !nonBonesReferenced) return true;

    int32_t slots = 16;
    while (slots < 2 * bones) slots *= 2;
    if (!resizeTables(slots)) return false;
    gFrames.nonBonesReferenced = nonBonesReferenced;
    for (KrvObject o = first; o && gFrames.count < bones; o = nextDepthFirst(o)) {
        if (isInstance(o, KRV_TYPE_BONE) && !enterName(o, plainFrameName(o), true)) {
            endFrameNames();
            return false;
        }
    }
    return true;
}

bool claimFrameName(KrvObject object, KrvObject named, NameText* name) {
    const bool bone = isInstance(object, KRV_TYPE_BONE);
    if (gFrames.slots == 0) {
        *name = frameName(named);
        return true;
    }
    if (bone && gFrames.count > 0 && findObject(object) >= 0) {
        *name = frameName(object);
        return true;
    }
    // An entry of an object the walk released may carry this object's address now.
    if (gFrames.count > 0) {
        const int32_t stale = findObject(object);
        if (stale >= 0) gFrames.entries[stale].object = nullptr;
    }
    const bool referenced = bone || gFrames.nonBonesReferenced;
    const NameText plain = plainFrameName(named);
    if (!referenced) {
        // A frame no reference names needs no entry: it may share a name with another
        // such frame, as the host's names may, and only keeps clear of referenced ones.
        uint32_t slot = 0;
        const int32_t owner = findName(plain.text, plain.length, &slot);
        *name = plain;
        if (owner < 0 || !gFrames.entries[owner].referenced) return true;
        char* numbered = const_cast<char*>(plain.text);
        for (int32_t number = gFrames.entries[owner].nextNumber;; ++number) {
            numbered[plain.length] = '_';
            name->length = plain.length + 1 + formatInt(numbered + plain.length + 1, number);
            if (findName(numbered, name->length, &slot) < 0) return true;
        }
    }
    if (!enterName(object, plain, referenced)) return false;
    const FrameName& entry = gFrames.entries[gFrames.count - 1];
    *name = NameText{gFrames.text + entry.offset, entry.length};
    return true;
}

void endFrameNames() {
    hostFree(gFrames.entries);
    hostFree(gFrames.byObject);
    hostFree(gFrames.text);
    gFrames = FrameTable{};
}

}  // namespace dorna
