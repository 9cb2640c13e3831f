#include "cli/preview_image.h"

#include <cerrno>
#include <cstring>

#include "korvo/platform.h"
#include "stb_image.h"
#include "stb_image_write.h"

namespace korvo::cli::preview {

bool readImage(const std::string& path, Image& out, std::string& error) {
    int channels = 0;
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

std::string folderOf(const std::string& path) {
    const size_t slash = platform::lastSeparator(path);
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool writePng(const Image& image, const std::string& path, std::string& error) {
    std::string bytes;
    if (!stbi_write_png_to_func(append, &bytes, image.width, image.height, 4, image.rgba.data(), image.width * 4)) {
        error = "cannot write " + path + ": the PNG encoder failed";
        return false;
    }
    std::string temporary = folderOf(path) + "/.korvo-preview-XXXXXX";
    const int fd = platform::createUniqueFile(temporary);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    int fault = 0;
    while (done < bytes.size()) {
        const long n = platform::writeSome(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            fault = errno;
            break;
        }
        done += size_t(n);
    }
    if (platform::closeFile(fd) != 0 && fault == 0) fault = errno;
    if (fault == 0 && !platform::replaceFile(temporary, path)) fault = errno;
    if (fault != 0) {
        platform::removeFile(temporary);
        error = "cannot write " + path + ": " + std::strerror(fault);
        return false;
    }
    return true;
}

}  // namespace korvo::cli::preview
