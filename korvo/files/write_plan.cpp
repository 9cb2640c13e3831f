#include "korvo/files/write_plan.h"

#include <cctype>
#include <filesystem>

#include "korvo/files/platform.h"
#include "korvo/files/target_file.h"

namespace korvo {

namespace {

std::string nameOf(const std::string& path) {
    const size_t slash = platform::lastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name without its suffix, as the host takes a suffix off: from the last point that
// does not begin the name.
std::string stemOf(const std::string& name) {
    const size_t point = name.rfind('.');
    return point == std::string::npos || point == 0 ? name : name.substr(0, point);
}

// The STEM of a frame file's name STEM_N.x, or "" when `name` is none.
std::string frameStem(const std::string& name) {
    if (name.size() < 5 || name.compare(name.size() - 2, 2, ".x") != 0) return std::string();
    size_t digits = name.size() - 2;
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    if (digits == name.size() - 2 || digits < 2 || name[digits - 1] != '_') return std::string();
    return name.substr(0, digits - 1);
}

// The folder part of `path` with its separator ("" for a bare name), as written.
std::string folderPrefix(const std::string& path) {
    const size_t slash = platform::lastSeparator(path);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// `utf8` with "_" for each character outside Latin-1.
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

// "" when `target` can be written as every command writes one (target_file.h): "-", a
// device, or a file name whose folder exists and is writable, and none of `inputs`.
std::string targetProblem(const std::string& target, const std::vector<std::string>& inputs) {
    if (target == kStandardOutput) return std::string();
    for (const std::string& input : inputs)
        if (platform::sameFile(target, input)) return "cannot write " + target + ": it is the input " + input;
    ResolvedTarget resolved;
    std::string error;
    if (!resolveTarget(target, resolved, error)) return "cannot write " + target + ": " + error;
    if (resolved.inPlace) return std::string();
    const std::string folder = folderOf(resolved.path);
    if (!platform::isFolder(folder))
        return "cannot write " + target + ": " +
               (platform::exists(folder) ? folder + " is a file, not a folder" : "the folder " + folder + " does not exist");
    if (!platform::isWritableFolder(folder)) return "cannot write " + target + ": the folder " + folder + " is not writable";
    return std::string();
}

// A target that will be a regular file must end in the suffix of what is written there;
// standard output and existing targets that are not regular files take any name.
std::string suffixProblem(const WriteRequest& request, const std::string& target) {
    if (request.forceName || target == kStandardOutput || endsWithIgnoringCase(target, request.suffix) ||
        platform::isDeviceOrPipe(target))
        return std::string();
    // A path through an open descriptor (/dev/stdout) is written in place, whatever it names.
    bool viaDescriptor = false;
    platform::resolveLinks(target, viaDescriptor);
    if (viaDescriptor) return std::string();
    return target + ": " + request.writes + "; use a name ending in " + request.suffix + ", or --force-name";
}

// With one file per frame, the export to a target writes STEM_0.x, STEM_1.x, ... beside
// it. "" when no such name of any of `targets` is taken by a file that may not be written
// over (a protected file, a FIFO, a device) or by another of `targets`.
std::string frameFilesProblem(const std::vector<std::string>& targets, const WritePlan& plan) {
    // Folder -> stem -> target; a batch writes into one folder.
    std::map<std::string, std::map<std::string, std::string>> stems;
    for (const std::string& target : targets) {
        const std::string folder = folderPrefix(target);
        stems[folder].emplace(stemOf(target.substr(folder.size())), target);
    }
    const auto clash = [](const std::map<std::string, std::string>& byStem, const std::string& name) -> const std::string* {
        const std::string stem = frameStem(name);
        const auto at = stem.empty() ? byStem.end() : byStem.find(stem);
        return at == byStem.end() ? nullptr : &at->second;
    };
    for (const auto& [folder, byStem] : stems) {
        for (const auto& named : byStem)
            if (const std::string* owner = clash(byStem, named.second.substr(folder.size())))
                return "the frame files of " + *owner + " would include " + named.second +
                       ", which another input is exported to";
        std::error_code error;
        for (std::filesystem::directory_iterator entry(std::filesystem::u8path(folder.empty() ? "." : folder), error), end;
             !error && entry != end; entry.increment(error)) {
            const std::string name = entry->path().filename().u8string();
            const std::string* owner = clash(byStem, name);
            if (!owner) continue;
            const std::string problem = plan.sideFileProblem(*owner, folder + name);
            if (!problem.empty())
                return "cannot write the frame file " + folder + name + " of " + *owner + ": " + problem;
        }
    }
    return std::string();
}

// The folder without its trailing separators ("/" stays "/").
std::string withoutTrailingSeparators(const std::string& output) {
    size_t end = output.size();
    while (end > 1 && platform::isSeparator(static_cast<unsigned char>(output[end - 1]))) --end;
    return output.substr(0, end);
}

// The file an input is exported to in `folder`: FOLDER/NAME.x, NAME being the input's
// file name without ".korvo.json" or its last suffix.
std::string batchTarget(const std::string& folder, const std::string& input) {
    std::string name = nameOf(input);
    if (endsWithIgnoringCase(name, ".korvo.json") && name.size() > 11) {
        name.resize(name.size() - 11);
    } else if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return (folder == "/" ? "" : folder) + "/" + name + ".x";
}

// Each input into `folder`. Targets are compared by what they name, links followed: two
// names for one file are one target, and a target that is an input (any input: the batch
// would replace it before it is read) is refused.
std::string planBatch(const WriteRequest& request, const std::string& folder, WritePlan& plan,
                      ProtectedFiles& protectedFiles) {
    if (!platform::isFolder(folder))
        return "cannot write into " + folder + "/: " +
               (platform::exists(folder) ? "it is a file, not a folder" : "the folder does not exist");
    if (!platform::isWritableFolder(folder)) return "cannot write into " + folder + "/: the folder is not writable";
    const std::vector<std::string>& inputs = request.inputs;
    ProtectedFiles written;
    for (const std::string& input : inputs) {
        const std::string target = batchTarget(folder, input);
        // The user named the folder, not this file: a FIFO there would block the export.
        if (platform::fileKind(target) == platform::FileKind::Other)
            return "cannot write " + target + " for " + input + ": it is not a regular file (a device, a FIFO or a socket)";
        if (const std::string* other = written.find(target))
            return *other + " and " + input + " would both be written to " + target + ": export them into different folders";
        written.add(target, input);
        plan.targets.push_back(target);
    }
    for (const std::string& input : inputs) {
        const std::string* writer = platform::exists(input) ? written.find(input) : nullptr;
        if (writer && *writer == input) return input + " would be replaced by its own export: export it into another folder";
        if (writer)
            return input + " would be replaced by the export of " + *writer + " before it is read: export into another folder";
        protectedFiles.add(input, "the input " + input);
    }
    for (size_t i = 0; i < inputs.size(); ++i) protectedFiles.add(plan.targets[i], "the target of " + inputs[i]);
    return request.framePerFile ? frameFilesProblem(plan.targets, plan) : std::string();
}

// One input to one file.
std::string planSingle(const WriteRequest& request, const std::string& target, WritePlan& plan,
                       ProtectedFiles& protectedFiles) {
    if (request.inputs.size() > 1)
        return "several inputs are exported into a folder: give -o FOLDER/, not -o " + target;
    if (target == kStandardOutput && request.framePerFile)
        return "-o - writes one file to standard output; --animation with --frame-per-file writes one per frame";
    if (target.empty() || platform::lastSeparator(target) + 1 == target.size())
        return "-o needs a file name, not \"" + target + "\"";
    if (std::string problem = targetProblem(target, request.inputs); !problem.empty()) return problem;
    if (std::string problem = suffixProblem(request, target); !problem.empty()) return problem;
    for (const std::string& input : request.inputs) protectedFiles.add(input, "the input " + input);
    plan.targets = {target};
    if (!request.framePerFile) return std::string();
    // The frame files go beside the target: never beside a device, never over an input.
    if (const std::string beside = plan.sideFileProblem(target); !beside.empty())
        return "--animation with --frame-per-file writes one file per frame beside the target: " + beside;
    return frameFilesProblem(plan.targets, plan);
}

}  // namespace

bool endsWithIgnoringCase(const std::string& s, const std::string& end) {
    if (s.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - end.size() + i])) !=
            std::tolower(static_cast<unsigned char>(end[i])))
            return false;
    return true;
}

bool namesFolder(const std::string& output) {
    return !output.empty() && platform::isSeparator(static_cast<unsigned char>(output.back()));
}

std::string standardOutputInPlace(const std::string& target) {
    for (const char* name : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"})
        if (target == name) return kStandardOutput;
    return target;
}

void ProtectedFiles::add(const std::string& path, const std::string& what) {
    uint64_t device = 0, inode = 0;
    if (platform::fileIdentity(path, device, inode)) keys_.emplace(Key{device, inode, std::string()}, what);
    bool viaDescriptor = false;
    const std::string resolved = platform::resolveLinks(path, viaDescriptor);
    if (!resolved.empty() && platform::fileIdentity(folderOf(resolved), device, inode))
        keys_.emplace(Key{device, inode, nameOf(resolved)}, what);
}

const std::string* ProtectedFiles::find(const std::string& path) const {
    if (keys_.empty()) return nullptr;
    uint64_t device = 0, inode = 0;
    if (platform::fileIdentity(path, device, inode))
        if (const auto at = keys_.find(Key{device, inode, std::string()}); at != keys_.end()) return &at->second;
    bool viaDescriptor = false;
    const std::string resolved = platform::resolveLinks(path, viaDescriptor);
    if (!resolved.empty() && platform::fileIdentity(folderOf(resolved), device, inode))
        if (const auto at = keys_.find(Key{device, inode, nameOf(resolved)}); at != keys_.end()) return &at->second;
    return nullptr;
}

std::string WritePlan::sideFileProblem(const std::string& target, const std::string& file) const {
    if (target == kStandardOutput) return "nothing is written beside standard output";
    ResolvedTarget resolved;
    std::string error;
    if (resolveTarget(target, resolved, error) && resolved.inPlace)
        return "nothing is written beside " + target + ", which is not a regular file";
    if (file.empty()) return std::string();
    if (const std::string* what = protected_.find(file)) return "it is " + *what;
    if (!resolveTarget(file, resolved, error)) return error;
    if (resolved.inPlace) return "it is not a regular file";
    // A dangling link into a folder that is not there would fail the export midway.
    const std::string folder = folderOf(resolved.path);
    return platform::isFolder(folder) ? std::string() : "the folder " + folder + " does not exist";
}

std::string WritePlan::frameFileProblem(const std::string& target, const std::string& file) const {
    const std::string folder = folderPrefix(target);
    if (file.compare(0, folder.size(), folder) != 0 || folderPrefix(file) != folder ||
        frameStem(file.substr(folder.size())) != stemOf(target.substr(folder.size())))
        return "it is not a frame file of " + target;
    return sideFileProblem(target, file);
}

bool WritePlan::reserveSideFile(const std::string& file) const { return !reserve || reserve(file); }

std::string WritePlan::imageFile(const std::string& target, size_t n, const std::string& suffix) {
    const std::string folder = folderPrefix(target);
    std::string name = latin1Characters(stemOf(target.substr(folder.size())));
    if (name.size() > 6 && name.compare(name.size() - 6, 6, ".korvo") == 0) name.resize(name.size() - 6);
    if (n > 0) name += "_" + std::to_string(n);
    return folder + name + "." + suffix;
}

std::string WritePlan::copyFile(const std::string& target, const std::string& name, size_t n) {
    if (n == 0) return folderPrefix(target) + name;
    const std::string stem = stemOf(name);
    return folderPrefix(target) + stem + "_" + std::to_string(n) + name.substr(stem.size());
}

std::string planWrites(const WriteRequest& request, WritePlan& plan) {
    plan = WritePlan{};
    const std::string output = standardOutputInPlace(request.output);
    if (request.intoFolder && namesFolder(output))
        return planBatch(request, withoutTrailingSeparators(output), plan, plan.protected_);
    return planSingle(request, output, plan, plan.protected_);
}

}  // namespace korvo
