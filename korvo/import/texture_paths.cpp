#include "korvo/import/texture_paths.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "korvo/files/target_file.h"
#include "korvo/files/write_plan.h"

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

// A file named `name` in the trees of `folders`, searched in turn; failing that, one whose
// name differs only in the letter case of its ASCII letters, the first by path when there
// are several (the order a folder lists them in is not stable), which `note` names. The
// trees together are searched no further than kSearchLimit entries.
fs::path searchByName(const std::string& name, const std::vector<fs::path>& folders, const std::string& stored,
                      const NoteSink& note) {
    size_t seen = 0, otherCase = 0;
    fs::path firstOtherCase;
    for (const fs::path& folder : folders) {
        std::error_code error;
        fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied, error);
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
        // A name in another case in a nearer tree wins over the farther ones.
        if (!firstOtherCase.empty()) break;
    }
    if (otherCase > 1)
        note("texture \"" + stored + "\": " + std::to_string(otherCase) +
             " files have its name in another letter case; took " + firstOtherCase.generic_string());
    return firstOtherCase;
}

// `relative` (forward slashes) under `folder`, each folder and the file name taken in
// another letter case where no entry has it exactly; empty when some part is missing or
// is ambiguous in its letter case.
fs::path followIgnoringCase(const fs::path& folder, const std::string& relative) {
    fs::path at = folder;
    size_t start = 0;
    while (start <= relative.size()) {
        const size_t slash = relative.find('/', start);
        const std::string part = relative.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        start = slash == std::string::npos ? relative.size() + 1 : slash + 1;
        if (part.empty() || part == ".") continue;
        std::error_code error;
        if (part == ".." || fs::exists(at / part, error)) {
            at /= part;
            continue;
        }
        fs::path match;
        for (fs::directory_iterator entry(at, error); !error && entry != fs::directory_iterator();
             entry.increment(error)) {
            if (!sameIgnoringCase(entry->path().filename().string(), part)) continue;
            if (!match.empty()) return {};
            match = entry->path();
        }
        if (match.empty()) return {};
        at = match;
    }
    return isFile(at) ? at : fs::path();
}

// The folders beside `folder` (its parent's other subfolders), by name: a model's images
// often lie in a sibling folder ("models/FBX" and "models/textures").
std::vector<fs::path> siblingFolders(const fs::path& folder) {
    std::vector<fs::path> siblings;
    std::error_code error;
    const fs::path self = fs::absolute(folder, error).lexically_normal();
    const fs::path parent = (self.has_filename() ? self : self.parent_path()).parent_path();
    size_t seen = 0;
    for (fs::directory_iterator entry(parent, error); !error && entry != fs::directory_iterator() && ++seen <= kSearchLimit;
         entry.increment(error)) {
        std::error_code ignored;
        if (entry->is_directory(ignored) && !fs::equivalent(entry->path(), self, ignored)) siblings.push_back(entry->path());
    }
    std::sort(siblings.begin(), siblings.end());
    return siblings;
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

bool startsWith(const std::vector<unsigned char>& bytes, const char* magic, size_t length, size_t at = 0) {
    return bytes.size() >= at + length && std::equal(magic, magic + length, bytes.begin() + long(at),
                                                     [](char m, unsigned char b) { return (unsigned char)m == b; });
}

// The file suffix of an embedded image: its format as the model names it when that is
// one of the image formats a suffix is known for, else as its first bytes show it, else
// "" (the image is not written). The model's name is never used unchecked: it may hold
// any text ("a/b" would name a folder).
std::string imageSuffix(const std::string& format, const std::vector<unsigned char>& bytes) {
    static const char* const kSuffixes[] = {"png", "jpg", "bmp", "tga", "dds", "gif", "tif",
                                            "tiff", "webp", "hdr", "psd", "ktx", "ktx2"};
    std::string lower;
    for (char c : format) lower += lowerAscii(c);
    if (lower == "jpeg") lower = "jpg";
    for (const char* suffix : kSuffixes)
        if (lower == suffix) return lower;
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n", 8)) return "png";
    if (startsWith(bytes, "\xff\xd8\xff", 3)) return "jpg";
    if (startsWith(bytes, "GIF8", 4)) return "gif";
    if (startsWith(bytes, "BM", 2)) return "bmp";
    if (startsWith(bytes, "DDS ", 4)) return "dds";
    if (startsWith(bytes, "II*\0", 4) || startsWith(bytes, "MM\0*", 4)) return "tif";
    if (startsWith(bytes, "RIFF", 4) && startsWith(bytes, "WEBP", 4, 8)) return "webp";
    return std::string();
}

// The plan of a placement; without one, nothing but the target is protected.
const WritePlan& planOf(const TexturePlacement& placement) {
    static const WritePlan kNoPlan;
    return placement.plan ? *placement.plan : kNoPlan;
}

// Whether an embedded image may take `file`, and whether it is to be written there: an
// earlier file of the same bytes is taken as it is; any other file (the user's, an input,
// a FIFO), or a name another export of a batch took, is not.
bool imageMayTake(const fs::path& file, const std::vector<unsigned char>& bytes, const TexturePlacement& placement,
                  bool& write) {
    write = false;
    // A target named like an image (-o out.png --force-name) is not the image's file.
    if (file == fs::path(placement.targetPath)) return false;
    const WritePlan& plan = planOf(placement);
    if (!plan.sideFileProblem(placement.targetPath, file.string()).empty()) return false;
    std::error_code error;
    if (fs::exists(fs::symlink_status(file, error))) return holdsBytes(file, bytes);
    write = plan.reserveSideFile(file.string());
    return write;
}

std::string relativeTo(const fs::path& file, const fs::path& folder) {
    std::error_code error;
    const fs::path relative = fs::relative(fs::absolute(file, error), fs::absolute(folder, error), error);
    return withForwardSlashes((error || relative.empty() ? fs::absolute(file, error) : relative).generic_string());
}

bool readBytes(const fs::path& path, std::vector<unsigned char>& bytes) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    if (error) return false;
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    if (!file) return false;
    bytes.resize(static_cast<size_t>(size));
    const bool read = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    return read;
}

// The image of this export already bound for `file`, or null.
const ImageFile* boundFor(const std::vector<ImageFile>& images, const fs::path& file) {
    const auto bound = std::find_if(images.begin(), images.end(),
                                    [&](const ImageFile& image) { return fs::path(image.path) == file; });
    return bound == images.end() ? nullptr : &*bound;
}

// The images copied beside one target: the bare name each found file takes there.
struct Copies {
    const TexturePlacement& placement;
    std::map<fs::path, std::string> nameOf;  // the image found -> its name beside the target
    std::map<std::string, fs::path> taken;   // the names given, for the other images
};

// The bare name of the image at `found` beside the target: its own file name, or NAME_1.EXT,
// NAME_2.EXT, ... where a different file (or another image of this export) has it. The file
// there is used as it is when it holds the image; otherwise the copy goes to `images`.
// Empty when the image cannot be read (`note` says so).
std::string copyBeside(const fs::path& found, Copies& copies, std::vector<ImageFile>& images, const NoteSink& note) {
    std::error_code error;
    const fs::path source = fs::absolute(found, error).lexically_normal();
    if (const auto known = copies.nameOf.find(source); known != copies.nameOf.end()) return known->second;
    std::vector<unsigned char> bytes;
    if (!readBytes(source, bytes)) {
        note("texture " + source.generic_string() + " cannot be read to copy it; named where it is");
        return {};
    }
    for (size_t n = 0;; ++n) {
        const fs::path there = WritePlan::copyFile(copies.placement.targetPath, source.filename().string(), n);
        const std::string name = there.filename().string();
        if (copies.taken.count(name)) continue;
        // An embedded image of this export may be bound for that name already; any other
        // name passes the checks of an embedded image's file.
        if (const ImageFile* bound = boundFor(images, there)) {
            if (bound->bytes != bytes) continue;
        } else {
            bool write = false;
            if (!imageMayTake(there, bytes, copies.placement, write)) continue;
            if (write) images.push_back({there.string(), std::move(bytes)});
        }
        copies.taken.emplace(name, source);
        copies.nameOf.emplace(source, name);
        return name;
    }
}

// The name written for the image found at `found`: its copy's bare name, or its path
// relative to the target's folder.
std::string placedName(const std::string& found, const fs::path& targetFolder, Copies* copies,
                       std::vector<ImageFile>& images, const NoteSink& note) {
    if (copies) {
        const std::string name = copyBeside(found, *copies, images, note);
        if (!name.empty()) return name;
    }
    return relativeTo(found, targetFolder);
}

}  // namespace

std::string findTexture(const std::string& stored, const std::string& modelFolder, const NoteSink& note) {
    if (stored.empty()) return {};
    const std::string path = withForwardSlashes(stored);
    const fs::path folder(modelFolder);
    std::vector<std::string> locals;
    for (const std::string& candidate : {path, withoutDrive(path)}) {
        const fs::path p(candidate);
        if (p.is_absolute() && isFile(p)) return p.string();
        std::string local = candidate;
        while (!local.empty() && local[0] == '/') local.erase(0, 1);
        if (!local.empty() && isFile(folder / local)) return (folder / local).string();
        if (!local.empty()) locals.push_back(local);
    }
    for (const std::string& local : locals)
        if (const fs::path found = followIgnoringCase(folder, local); !found.empty()) return found.string();
    const std::string name = fileName(path);
    if (name.empty() || name == "." || name == "..") return {};
    std::vector<fs::path> folders{folder};
    const std::vector<fs::path> siblings = siblingFolders(folder);
    folders.insert(folders.end(), siblings.begin(), siblings.end());
    return searchByName(name, folders, stored, note).string();
}

void placeTextures(ModelData& model, const TexturePlacement& placement, std::vector<ImageFile>& images,
                   const NoteSink& note) {
    const std::string modelFolder = folderOf(placement.modelPath);
    // Standard output, a device, a FIFO: no file goes beside it, every name stays as stored.
    const std::string noSideFiles = planOf(placement).sideFileProblem(placement.targetPath);
    if (!noSideFiles.empty()) {
        std::map<int, bool> noted;
        for (const ModelMaterial& material : model.materials)
            for (const ModelTexture& texture : material.textures)
                if (const int image = embeddedImage(model, texture.path); image >= 0 && noted.emplace(image, true).second)
                    note("texture \"" + texture.path + "\": the embedded image is not written (" + noSideFiles +
                         "); its stored name is kept");
        return;
    }
    const fs::path targetFolder = folderOf(placement.targetPath);
    std::map<std::string, std::string> placed;  // stored name -> name written, each looked up once
    std::map<int, std::string> imageNames;      // embedded image -> its file beside the target
    size_t nextImageFile = 0;
    Copies copies{placement, {}, {}};
    for (ModelMaterial& material : model.materials) {
        for (ModelTexture& texture : material.textures) {
            auto known = placed.find(texture.path);
            if (known != placed.end()) {
                texture.path = known->second;
                continue;
            }
            std::string name = texture.path;
            const int image = embeddedImage(model, texture.path);
            const std::string suffix =
                image >= 0 ? imageSuffix(model.images[image].format, model.images[image].bytes) : std::string();
            if (image >= 0 && !model.images[image].format.empty() && suffix.empty()) {
                note("texture \"" + texture.path + "\": the embedded image's format \"" + model.images[image].format +
                     "\" is not an image format known to the import; its stored name is kept");
            } else if (image >= 0 && !suffix.empty()) {
                auto writtenImage = imageNames.find(image);
                if (writtenImage == imageNames.end()) {
                    // A file of that name the user already has is never replaced: an
                    // earlier export of the same image is used again, any other file
                    // makes the image take the next name.
                    ModelImage& bytes = model.images[image];
                    bool write = false;
                    // Nor is a name another image of this export (a copy) is bound for.
                    const auto mayTake = [&](const fs::path& name) {
                        if (const ImageFile* bound = boundFor(images, name)) {
                            write = false;
                            return bound->bytes == bytes.bytes;
                        }
                        return imageMayTake(name, bytes.bytes, placement, write);
                    };
                    fs::path file = WritePlan::imageFile(placement.targetPath, nextImageFile++, suffix);
                    while (!mayTake(file)) file = WritePlan::imageFile(placement.targetPath, nextImageFile++, suffix);
                    if (write) images.push_back({file.string(), std::move(bytes.bytes)});
                    writtenImage = imageNames.emplace(image, relativeTo(file, targetFolder)).first;
                }
                name = writtenImage->second;
            } else if (const std::string found = findTexture(texture.path, modelFolder, note); !found.empty()) {
                name = placedName(found, targetFolder, placement.copyBeside ? &copies : nullptr, images, note);
            } else {
                note("texture \"" + texture.path + "\" not found; its name is kept as stored");
            }
            placed.emplace(texture.path, name);
            texture.path = name;
        }
    }
}

void placeSceneTextures(Scene& scene, const TexturePlacement& placement, std::vector<ImageFile>& images,
                        const NoteSink& note) {
    // Standard output, a device, a FIFO: nothing goes beside it, every name stays as stored.
    if (!planOf(placement).sideFileProblem(placement.targetPath).empty()) return;
    const std::string sceneFolder = folderOf(placement.modelPath);
    const fs::path targetFolder = folderOf(placement.targetPath);
    Copies copies{placement, {}, {}};
    std::map<std::string, std::string> placed;  // stored name -> name written, each looked up once
    for (Material& material : scene.materials) {
        for (Channel* channel : {&material.color, &material.luminance, &material.transparency, &material.specular}) {
            if (!channel->texture || channel->texture->empty()) continue;
            std::string& stored = *channel->texture;
            auto known = placed.find(stored);
            if (known == placed.end()) {
                std::string name = stored;
                std::error_code error;
                const std::string found = findTexture(stored, sceneFolder, note);
                if (found.empty()) {
                    note("texture \"" + stored + "\" not found; its name is kept as stored");
                } else if (placement.copyBeside) {
                    name = placedName(found, targetFolder, &copies, images, note);
                } else if (!fs::equivalent(targetFolder / withForwardSlashes(stored), found, error) || error) {
                    name = relativeTo(found, targetFolder);
                }
                known = placed.emplace(stored, name).first;
            }
            stored = known->second;
        }
    }
}

bool writeImages(const std::vector<ImageFile>& images, std::string& error) {
    for (const ImageFile& image : images) {
        // The name is taken only if it is still free, in one step: a file that appeared
        // meanwhile is never replaced. One of the same bytes serves as well.
        bool existed = false;
        std::string reason;
        if (writeNewFile(image.path, reinterpret_cast<const char*>(image.bytes.data()), image.bytes.size(), existed,
                         reason))
            continue;
        if (existed && holdsBytes(image.path, image.bytes)) continue;
        error = "cannot write " + image.path + ": " +
                (existed ? "a different file of that name appeared during the export" : reason);
        return false;
    }
    return true;
}

}  // namespace korvo::import
