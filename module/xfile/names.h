// Entity names: every host name the exporter writes as a .x identifier is cleaned
// first, and with unique names on every object except bones is numbered. The writers
// take a name as 8-bit text (what reaches the file), from one naming step: clean, cut,
// keep a frame's name from reading as a number or a keyword, keep every frame a
// reference names apart from every other frame.
#pragma once

#include <korvo_sdk.h>

#include <cstdint>

#include "host/host.h"
#include "host/host_array.h"

namespace dorna {

// The longest identifier text taken from a name (a unique number included): the
// longest line that holds one ("Mesh M_" ... " {") stays whole with a leading "_" and a
// bone's "_N" as well. Longer names are cut.
constexpr int32_t kMaxNameLength = 511950;
// Room for "_" and a 32-bit number: a unique number, or the number that keeps two
// bones apart.
constexpr int32_t kNumberRoom = 12;

// Room for a host string as 8-bit text: the longest texture name written, and the
// name of an object before it is cleaned and cut.
constexpr int32_t kHostTextCapacity = 512000;

// A name as written: text[0 .. length - 1], no terminator. Valid until the next call
// that returns one.
struct NameText {
    const char* text;
    int32_t length;
};

// One entry of the frame table (see beginFrameNames). An entry is "referenced" when a
// SkinWeights or an Animation names it: a bone, or an animated object.
struct FrameName {
    KrvObject object;    // null once its object may be gone
    int32_t offset;      // into the text block
    int32_t length;
    int32_t nextNumber;  // the next "_N" to try for a later frame of this name
    bool referenced;
};

// The names of one output file: the frame table, found by object and by name through
// two open-addressing tables of entry indexes (-1: free), each at most half full, and
// the two buffers every name passes through (a name may be half a million characters,
// more than a stack should hold). Owns its host memory.
struct FrameNames {
    HostArray<FrameName> entries;  // room for slots / 2
    int32_t count = 0;
    HostArray<char> text;
    int64_t textUsed = 0;
    HostArray<int32_t> byObject;   // and byName, in the same block
    int32_t* byName = nullptr;
    int32_t slots = 0;  // a power of two; 0 while the file has no table
    bool nonBonesReferenced = false;
    HostArray<char> hostText;  // kHostTextCapacity bytes: a host string as 8-bit text; then
    char* cleaned = nullptr;   // a cleaned name, with room for "_" before it and "_N" after
};

// Takes the two name buffers. False when the host refuses them: every name is then "_".
[[nodiscard]] bool reserveNameBuffers(FrameNames& names);

// The cleaned copy of `name` in `out` (room for `capacity` bytes), cut to `capacity`:
// German umlauts and sharp s spelt out, the separators space . - / \ ^ turned into "_",
// and every character that breaks the .x text grammar (control characters 0x00-0x1F
// and 0x7F, " { } ; , < > ( ) [ ] #) turned into "_" as well. Everything else passes
// unchanged; cleaning a cleaned name changes nothing. Returns the length written.
int32_t cleanNameText(const char* name, int32_t length, char* out, int32_t capacity);

// The hash of a name for the tables that find names (FNV-1a).
uint32_t hashOfText(const char* text, int32_t length);

// Every `searched` character of `text` replaced by `replacement`, an ASCII text that
// does not contain `searched`.
void replaceCharacter(HostString& text, char searched, const char* replacement);

// Renames the object in the host to its cleaned name (cut to leave room for the
// number) plus "_" and `counter`, then advances the counter. A null object or a bone is
// left alone and uses no number.
void appendUniqueNumber(FrameNames& names, int32_t& counter, KrvObject object);

// True when a reader would take the whole text for a number (digits, at most one
// leading "+" or "-" and at most one "." among them) or for a keyword of the format
// (template, array, the type names, binary, binary_resource; any letter case).
bool readsAsNumberOrKeyword(const char* text, int32_t length);

// The identifier after "M_" of the object's Mesh: its cleaned name, or "_" when it
// cleaned to nothing (an empty identifier makes readers reject the whole file).
NameText meshName(FrameNames& names, KrvObject object);
// The name of the object's frame, as written in "Frame NAME {" and in every reference
// to it (SkinWeights, Animation): the name the file's frame table gave it, else the
// mesh identifier with a leading "_" when it would read as a number or a keyword.
NameText frameName(FrameNames& names, KrvObject object);

// The frame table of one output file. Every name a reference uses (a bone's
// SkinWeights, an Animation) names exactly one frame: the bones (with `withBones`, when
// they get frames) are entered first, depth first, a bone whose name an earlier bone
// has getting "_2", "_3", ... (the first number that makes it unique); the other
// frames are entered as the walk writes them, and one whose name a referenced frame
// has, or that is referenced itself (`nonBonesReferenced`: an animation set names every
// frame) while its name is taken, is numbered the same way. Frames no reference names
// keep their names, shared or not. False when the host refuses the storage.
[[nodiscard]] bool beginFrameNames(FrameNames& names, KrvDocument document, bool withBones, bool nonBonesReferenced);
// The name of the frame written for `object` (named as `named`, the polygon object a
// generator became, or the object itself), entered in the table. False when the host
// refuses the storage.
[[nodiscard]] bool claimFrameName(FrameNames& names, KrvObject object, KrvObject named, NameText* name);
// Returns the table's storage; frameName then names objects from their own names again.
void endFrameNames(FrameNames& names);

}  // namespace dorna
