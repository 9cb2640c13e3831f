#include "reliability/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace korvo::reliability {

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

e2e::CommandResult runKorvoLimited(const std::vector<std::string>& arguments, const std::string& folder,
                                   const std::map<std::string, std::string>& environment, Limits limits) {
    e2e::TempFolder capture;
    const std::string outPath = capture / "out", errPath = capture / "err";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (!environment.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    for (const auto& [name, value] : environment)
        if (!value.empty()) env.push_back(name + "=" + value);
    std::vector<std::string> argv = {KORVO_COMMAND_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> argp = pointers(argv), envp = pointers(env);

    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || chdir(folder.c_str()) != 0) _exit(127);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (limits.fileSizeLimit >= 0) {
            // A write beyond the limit then fails with EFBIG instead of killing the process,
            // as a full disk fails it with ENOSPC. Both survive exec.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit size = {rlim_t(limits.fileSizeLimit), rlim_t(limits.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &size) != 0) _exit(127);
        }
        alarm(limits.seconds);  // a pending alarm survives exec
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    e2e::CommandResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = e2e::readFile(outPath);
    result.err = e2e::readFile(errPath);
    return result;
}

bool timedOut(const e2e::CommandResult& r) { return r.status == 128 + SIGALRM; }

}  // namespace korvo::reliability
