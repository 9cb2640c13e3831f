#include "korvo/import/texture_paths.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "korvo/target_file.h"

namespace korvo::import {

namespace fs = std::filesystem;

namespace {

// The last-resort search by file name looks at no more entries than this, so that a
// model in a large folder tree (a home folder) does not stall the import.
constexpr size_t kSearchLimit = 20000;

bool isFile(const fs::path& path) {
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

std::string withForwardSlashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string withoutDrive(const std::string& path) {
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive ? path.substr(2) : path;
}

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

// A file named `name` in `folder`'s tree; failing that, one whose name differs only in the
// letter case of its ASCII letters, the first by path when there are several (the order
// the folder lists them in is not stable), which `note` names.
fs::path searchByName(const std::string& name, const fs::path& folder, const std::string& stored, const NoteSink& note) {
    std::error_code error;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied, error);
    size_t seen = 0, otherCase = 0;
    fs::path firstOtherCase;
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (++seen > kSearchLimit) break;
        const std::string entryName = entry->path().filename().string();
        if (entryName == name) {
            if (isFile(entry->path())) return entry->path();
        } else if (sameIgnoringCase(entryName, name) && isFile(entry->path())) {
            ++otherCase;
            if (firstOtherCase.empty() || entry->path() < firstOtherCase) firstOtherCase = entry->path();
        }
    }
    if (otherCase > 1)
        note("texture \"" + stored + "\": " + std::to_string(otherCase) +
             " files have its name in another letter case; took " + firstOtherCase.generic_string());
    return firstOtherCase;
}

std::string folderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}

// The index of the embedded image `stored` names ("*N", or the name the model gave it),
// -1 when it names none.
int embeddedImage(const ModelData& model, const std::string& stored) {
    if (stored.size() > 1 && stored[0] == '*') {
        size_t index = 0;
        for (size_t i = 1; i < stored.size(); ++i) {
            if (stored[i] < '0' || stored[i] > '9' || index > model.images.size()) return -1;
            index = index * 10 + static_cast<size_t>(stored[i] - '0');
        }
        return index < model.images.size() ? static_cast<int>(index) : -1;
    }
    for (size_t i = 0; i < model.images.size(); ++i)
        if (!model.images[i].name.empty() && model.images[i].name == stored) return static_cast<int>(i);
    return -1;
}

bool holdsBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
    std::error_code error;
    if (fs::file_size(path, error) != bytes.size() || error) return false;
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    if (!file) return false;
    std::vector<unsigned char> held(bytes.size());
    const bool same = std::fread(held.data(), 1, held.size(), file) == held.size() && held == bytes;
    std::fclose(file);
    return same;
}

// `utf8` with "_" for each character outside Latin-1: the .x file holds its texture
// names in Latin-1, and an image it names must be found by the name it holds.
std::string latin1Characters(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const bool latin1 = length == 1 || (lead == 0xC2 || lead == 0xC3);
        out += latin1 ? utf8.substr(i, length) : "_";
        i += length;
    }
    return out;
}

// The file name number `n` for an embedded image beside `target`.
fs::path imageFile(const fs::path& target, size_t n, const std::string& format) {
    std::string name = latin1Characters(target.stem().string());
    if (name.size() > 6 && name.compare(name.size() - 6, 6, ".korvo") == 0) name.resize(name.size() - 6);
    if (n > 0) name += "_" + std::to_string(n);
    return target.parent_path() / (name + "." + (format == "jpeg" ? "jpg" : format));
}

std::string relativeTo(const fs::path& file, const fs::path& folder) {
    std::error_code error;
    const fs::path relative = fs::relative(fs::absolute(file, error), fs::absolute(folder, error), error);
    return withForwardSlashes((error || relative.empty() ? fs::absolute(file, error) : relative).generic_string());
}

}  // namespace

std::string findTexture(const std::string& stored, const std::string& modelFolder, const NoteSink& note) {
    if (stored.empty()) return {};
    const std::string path = withForwardSlashes(stored);
    const fs::path folder(modelFolder);
    for (const std::string& candidate : {path, withoutDrive(path)}) {
        const fs::path p(candidate);
        if (p.is_absolute() && isFile(p)) return p.string();
        std::string local = candidate;
        while (!local.empty() && local[0] == '/') local.erase(0, 1);
        if (!local.empty() && isFile(folder / local)) return (folder / local).string();
    }
    const std::string name = fileName(path);
    if (name.empty() || name == "." || name == "..") return {};
    return searchByName(name, folder, stored, note).string();
}

void placeTextures(ModelData& model, const TexturePlacement& placement, std::vector<ImageFile>& images,
                   const NoteSink& note) {
    const std::string modelFolder = folderOf(placement.modelPath);
    const fs::path target(placement.targetPath);
    const fs::path targetFolder = folderOf(placement.targetPath);
    std::map<std::string, std::string> placed;  // stored name -> name written, each looked up once
    std::map<int, std::string> imageNames;      // embedded image -> its file beside the target
    size_t nextImageFile = 0;
    for (ModelMaterial& material : model.materials) {
        for (ModelTexture& texture : material.textures) {
            auto known = placed.find(texture.path);
            if (known != placed.end()) {
                texture.path = known->second;
                continue;
            }
            std::string name = texture.path;
            const int image = embeddedImage(model, texture.path);
            if (image >= 0 && !model.images[image].format.empty()) {
                auto writtenImage = imageNames.find(image);
                if (writtenImage == imageNames.end()) {
                    // A file of that name the user already has is never replaced: an
                    // earlier export of the same image is used again, any other file
                    // makes the image take the next name.
                    ModelImage& bytes = model.images[image];
                    fs::path file = imageFile(target, nextImageFile++, bytes.format);
                    while (fs::exists(fs::symlink_status(file)) && !holdsBytes(file, bytes.bytes))
                        file = imageFile(target, nextImageFile++, bytes.format);
                    if (!fs::exists(file)) images.push_back({file.string(), std::move(bytes.bytes)});
                    writtenImage = imageNames.emplace(image, relativeTo(file, targetFolder)).first;
                }
                name = writtenImage->second;
            } else if (const std::string found = findTexture(texture.path, modelFolder, note); !found.empty()) {
                name = relativeTo(found, targetFolder);
            } else {
                note("texture \"" + texture.path + "\" not found; its name is kept as stored");
            }
            placed.emplace(texture.path, name);
            texture.path = name;
        }
    }
}

bool writeImages(const std::vector<ImageFile>& images, std::string& error) {
    for (const ImageFile& image : images) {
        // Another export may have written the same image there meanwhile (a batch's
        // workers); a different file that appeared meanwhile is the user's.
        if (fs::exists(fs::symlink_status(image.path))) {
            if (holdsBytes(image.path, image.bytes)) continue;
            error = "cannot write " + image.path + ": a different file of that name appeared during the export";
            return false;
        }
        if (!writeWholeTarget(image.path, reinterpret_cast<const char*>(image.bytes.data()), image.bytes.size(), error))
            return false;
    }
    return true;
}

}  // namespace korvo::import
