// Whole files as text, for tests that compare output byte for byte.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace testfiles {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

inline bool exists(const std::string& path) { return std::ifstream(path).good(); }

}  // namespace testfiles
