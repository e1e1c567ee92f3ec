// nebpack's machine services on POSIX systems.
#include "host.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace nebpack {

int RunProgram(const std::vector<std::string>& argv, std::string& error) {
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t child = 0;
    const int started = posix_spawnp(&child, args[0], nullptr, nullptr, args.data(), environ);
    if (started != 0) {
        error = "cannot start '" + argv[0] + "': " + std::strerror(started);
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            error = "cannot wait for '" + argv[0] + "': " + std::strerror(errno);
            return -1;
        }
    }
    if (!WIFEXITED(status)) {
        error = "'" + argv[0] + "' ended abnormally";
        return -1;
    }
    return WEXITSTATUS(status);
}

std::string DefaultProgramsDirectory() {
#ifdef NEBPACK_DEFAULT_PROGRAMS
    return NEBPACK_DEFAULT_PROGRAMS;
#else
    return "build/win/bin";
#endif
}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

} // namespace nebpack
