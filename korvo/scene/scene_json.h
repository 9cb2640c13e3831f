// Korvo scene files: the scene reader (scene_json_reader.cpp), which checks every rule
// of the format, and the scene writer (scene_json_writer.cpp). The format is described
// in docs/scene-format.md.
#pragma once

#include <string>

#include "korvo/scene/scene.h"

namespace korvo {

// Reads and validates a scene file, held whole while it is read (mapped where the system
// allows). On failure returns false and sets `error` to one line: "<file>: <JSON path> at
// line L, column C: <what is wrong>", e.g. "arm.korvo.json: objects[0].polygons[5] at
// line 14, column 9: point index 12 out of range (the object has 10 points)", or for a
// fault of the JSON itself "<file>: line L, column C: malformed JSON: <what>".
bool loadSceneFile(const std::string& path, Scene& out, std::string& error);

// The same from text; `fileLabel` is the name used in messages.
bool parseScene(const std::string& text, const std::string& fileLabel, Scene& out, std::string& error);

// Writes a scene file (pretty, stable key order) that loadSceneFile reads back to an
// equal Scene. Numbers are written in their shortest form that reads back exactly.
std::string sceneToJson(const Scene& scene);

}  // namespace korvo
