// A model reader that fails on demand, for the tests of the command's reader guard:
// preloaded into the command (LD_PRELOAD), it takes the place of assimp's ReadFile.
// A model whose file name begins with "crash" crashes the reader (SIGSEGV), one whose
// name begins with "hang" never returns; every other model is read by assimp itself.
// Before hanging it writes one byte to the descriptor FAULTY_READER_READY_FD names, if
// any, so that a test knows the reader is running instead of guessing with a sleep.
// The tests then do not depend on which files a given assimp release crashes or loops on.
#include <assimp/Importer.hpp>
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool named(const char* path, const char* prefix) {
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

void sayReady() {
    const char* fd = std::getenv("FAULTY_READER_READY_FD");
    if (!fd) return;
    const char byte = 1;
    while (write(std::atoi(fd), &byte, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace

// The member function, called as the Itanium ABI calls it: the object first.
const aiScene* Assimp::Importer::ReadFile(const char* file, unsigned int flags) {
    if (named(file, "crash")) {
        signal(SIGSEGV, SIG_DFL);  // a sanitizer's handler would turn the crash into an exit
        raise(SIGSEGV);
    }
    if (named(file, "hang")) {
        sayReady();
        for (;;) pause();
    }
    using Real = const aiScene* (*)(Assimp::Importer*, const char*, unsigned int);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "_ZN6Assimp8Importer8ReadFileEPKcj"));
    if (!real) std::abort();
    return real(this, file, flags);
}
