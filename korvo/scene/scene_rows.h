// Long rows of numbers read straight from a scene file's text: a polygon object's
// "points", "polygons", "uvw" and "normals" are most of a large file, and reading them
// through the JSON parser costs it an index entry for every number and comma, and the
// numbers its general path. The splitter walks the text once, reads each such array that
// has the usual shape (rows of plain numbers within the float range, polygons of 3 or 4
// point indices, per-polygon lists of 3 or 4 corners) straight into its records, and
// leaves the rest of the text, with "[]" in the place of each array it read, to the
// JSON parser. Nothing here refuses a file: an array of any other shape is left in the
// text as it is, and the reader checks what it is given as it would the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "korvo/scene/scene.h"

namespace korvo {

class FileText;

// Halfway between the largest float and the next power of two: every real below it
// becomes a finite float, 3.4028235e38 (the largest float's usual spelling) included.
constexpr double kFloatRangeEnd = 3.4028235677973366e38;

enum class RowKind : uint8_t { Points, Polygons, Uvw, Normals };

// One array read from the text, standing in the rest of the text as "[]" at `at`.
struct RowBlock {
    RowKind kind = RowKind::Points;
    size_t at = 0;
    std::vector<Vec3> points;
    std::vector<Polygon> polygons;
    int32_t largestIndex = -1;     // of the polygons' point indices
    std::vector<uint8_t> corners;  // per polygon, or per entry of a corner list: 3 or 4
    std::vector<PolygonUV> uvw;
    std::vector<PolygonNormals> normals;
};

// What the JSON parser is left to read: the text without the arrays read, followed by
// `padding` blanks; and the arrays, in the order of the text.
struct SplitText {
    std::vector<char> rest;
    size_t restLength = 0;
    std::vector<RowBlock> blocks;
};

// Splits `json`; `file`, when given, holds the text and takes back the pages read. False,
// with `out` empty, when the arrays read are not most of the text: it is then best read
// as it is.
bool splitRows(const char* json, size_t length, size_t padding, FileText* file, SplitText& out);

}  // namespace korvo
