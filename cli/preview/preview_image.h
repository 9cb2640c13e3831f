// The preview's image files: textures read with stb_image, the picture written as PNG.
#pragma once

#include <cstdint>
#include <string>

#include "cli/preview/preview_render.h"

namespace korvo::cli::preview {

// The most pixels a texture may have to be decoded (64 Mpixels, 256 MiB as RGBA).
constexpr int64_t kMostTexturePixels = int64_t{1} << 26;

// Any image stb_image reads (PNG, JPEG, BMP, TGA, GIF, PSD, PNM, HDR), as RGBA, of at most
// kMostTexturePixels pixels. False with the reason in `error` (stb_image's, or the size).
bool readImage(const std::string& path, Image& out, std::string& error);

// Writes `image` as a PNG beside `path` and then renames it over `path`, so that a
// failed write leaves an earlier file untouched. False with the reason in `error`.
bool writePng(const Image& image, const std::string& path, std::string& error);

}  // namespace korvo::cli::preview
