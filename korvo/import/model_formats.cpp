#include "korvo/import/model_formats.h"

#include <assimp/Importer.hpp>
#include <assimp/importerdesc.h>

#include <sstream>

namespace korvo::import {

namespace {

// "Autodesk FBX Importer" -> "Autodesk FBX": the reader names its parts, not formats.
std::string formatName(std::string name) {
    for (const char* part : {" (http://www.blender3d.org)", " Importer", " Reader"})
        for (size_t at; (at = name.find(part)) != std::string::npos;) name.erase(at, std::char_traits<char>::length(part));
    return name;
}

}  // namespace

std::vector<ModelFormat> readableFormats() {
    const Assimp::Importer reader;
    std::vector<ModelFormat> formats;
    for (size_t i = 0; i < reader.GetImporterCount(); ++i) {
        const aiImporterDesc* d = reader.GetImporterInfo(i);
        if (d == nullptr) continue;
        ModelFormat format{formatName(d->mName ? d->mName : ""), {}};
        std::istringstream suffixes(d->mFileExtensions ? d->mFileExtensions : "");
        for (std::string s; suffixes >> s;) format.suffixes.push_back(s);
        formats.push_back(std::move(format));
    }
    return formats;
}

}  // namespace korvo::import
