#include "cli/preview/preview_image.h"

#include "korvo/files/target_file.h"
#include "stb_image.h"
#include "stb_image_write.h"

namespace korvo::cli::preview {

bool readImage(const std::string& path, Image& out, std::string& error) {
    int channels = 0;
    // The size first: a few hundred bytes may declare an image of gigabytes.
    if (stbi_info(path.c_str(), &out.width, &out.height, &channels) &&
        int64_t{out.width} * out.height > kMostTexturePixels) {
        error = std::to_string(out.width) + "x" + std::to_string(out.height) + " pixels, more than the " +
                std::to_string(kMostTexturePixels) + " a preview decodes";
        return false;
    }
    stbi_uc* pixels = stbi_load(path.c_str(), &out.width, &out.height, &channels, 4);
    if (!pixels) {
        error = stbi_failure_reason() ? stbi_failure_reason() : "unknown reason";
        return false;
    }
    out.rgba.assign(pixels, pixels + size_t(out.width) * size_t(out.height) * 4);
    stbi_image_free(pixels);
    return true;
}

namespace {

void append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
}

}  // namespace

bool writePng(const Image& image, const std::string& path, std::string& error) {
    std::string bytes;
    if (!stbi_write_png_to_func(append, &bytes, image.width, image.height, 4, image.rgba.data(), image.width * 4)) {
        error = "cannot write " + path + ": the PNG encoder failed";
        return false;
    }
    return writeWholeTarget(path, bytes, error);
}

}  // namespace korvo::cli::preview
