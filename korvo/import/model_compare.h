// Comparisons of what two readings show, in words: used by the import tests and by the
// round trip (model -> scene -> exported .x -> read back).
#pragma once

#include <string>
#include <vector>

#include "korvo/import/model_data.h"
#include "korvo/import/model_pose.h"

namespace korvo::import {

// Each triangle of `expected` paired with its own triangle of `actual` whose corners
// (in the same cyclic order) lie within `tolerance`, and whose texture coordinates lie
// within `uvTolerance` where `expected` has them. Empty when all pair up.
std::vector<std::string> compareTriangles(const std::vector<WorldTriangle>& expected,
                                          const std::vector<WorldTriangle>& actual, double tolerance,
                                          double uvTolerance);

// The name the exporter gives an object in the .x file (without running numbers):
// Latin-1, umlauts and sharp s spelt out, separators and the characters of the .x
// grammar turned into "_"; an empty name becomes "_".
std::string exportedName(const std::string& utf8Name);

struct RoundTripOptions {
    double positionTolerance = 1e-4;  // relative to the size of the source
    double uvTolerance = 1e-4;
    double weightTolerance = 1e-4;
    double axisTolerance = 1e-3;  // of the matrices' 3x3 blocks
    int ticksPerFrame = 40;       // of the export
    int animationSamples = 6;     // compared times per animated node
};

// The source model against the reading of its export: world triangles with texture
// coordinates, bone names, per-vertex weight sums, and the world transforms of the
// animated nodes at several frames (`fps` is the imported scene's frame rate).
std::vector<std::string> compareRoundTrip(const ModelData& source, const ModelData& readBack, int32_t fps,
                                          const RoundTripOptions& options = {});

// Runs `korvoCommand export MODEL -o OUT --no-unique-names` (names without running
// numbers), for an animated model with `--animation --no-only-bones` (every object
// animated), reads the written file and compares it with the model. Returns the differences; a failed export or
// an unreadable file is one of them.
std::vector<std::string> roundTripModel(const std::string& korvoCommand, const std::string& model,
                                        const std::string& outX, const RoundTripOptions& options = {});

}  // namespace korvo::import
