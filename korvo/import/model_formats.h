// The file formats the model reader reads, from the reader's own list.
#pragma once

#include <string>
#include <vector>

namespace korvo::import {

struct ModelFormat {
    std::string name;                   // "Autodesk FBX"
    std::vector<std::string> suffixes;  // "fbx", without the point
};

std::vector<ModelFormat> readableFormats();

}  // namespace korvo::import
