#include "e2e/harness.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>

extern char** environ;

namespace korvo::e2e {

TempFolder::TempFolder() {
    char pattern[] = "/tmp/korvo-e2e-XXXXXX";
    if (mkdtemp(pattern) == nullptr) ADD_FAILURE() << "cannot create a temporary folder";
    path_ = pattern;
}

namespace {

void removeTree(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                const std::string name = e->d_name;
                if (name != "." && name != "..") removeTree(path + "/" + name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

}  // namespace

TempFolder::~TempFolder() { removeTree(path_); }

#ifdef FAULTY_READER_PATH
std::map<std::string, std::string> faultyReaderEnvironment() {
    // A sanitizer build checks that its runtime is loaded first; the preloaded reader is.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string options = sanitizer && *sanitizer ? std::string(sanitizer) + ":" : "";
    return {{"LD_PRELOAD", FAULTY_READER_PATH}, {"ASAN_OPTIONS", options + "verify_asan_link_order=0"}};
}
#endif

std::vector<std::string> TempFolder::entries() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(path_.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

CommandResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder, const std::map<std::string, std::string>& environment,
                         Limits limits) {
    TempFolder capture;
    const std::string outPath = capture / "out", errPath = capture / "err";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!environment.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        if (!value.empty()) env.push_back(name + "=" + value);
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (std::string& s : strings) p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> argp = pointers(argv), envp = pointers(env);

    CommandResult result;
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || chdir(folder.c_str()) != 0) _exit(127);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (limits.fileSizeLimit >= 0) {
            // SIGXFSZ stays at its default, which kills: the command itself must turn a
            // write beyond the limit into EFBIG, as a full disk gives ENOSPC. Survives exec.
            signal(SIGXFSZ, SIG_DFL);
            const rlimit size = {rlim_t(limits.fileSizeLimit), rlim_t(limits.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(127);
        }
        alarm(limits.seconds);  // a pending alarm survives exec
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

CommandResult runKorvo(const std::vector<std::string>& arguments, const std::string& folder,
                       const std::map<std::string, std::string>& environment, Limits limits) {
    return runProgram(KORVO_COMMAND_PATH, arguments, folder, environment, limits);
}

bool timedOut(const CommandResult& r) { return r.status == 128 + SIGALRM; }

ModuleSession::ModuleSession(HostBehaviour behaviour) : host(behaviour) {
    std::string error;
    module = LoadedModule::load(host, DORNA_MODULE_PATH, error);
    if (!module) {
        ADD_FAILURE() << error;
        return;
    }
    saver = module->saver("x");
    if (!saver) ADD_FAILURE() << "the module registered no .x saver";
}

ModuleSession::~ModuleSession() { module.reset(); }

int32_t ModuleSession::save(KrvDocument document, const std::string& target, DialogScript script) {
    host.setDialogScript(std::move(script));
    return saver ? host.save(*saver, document, target) : -1;
}

}  // namespace korvo::e2e
