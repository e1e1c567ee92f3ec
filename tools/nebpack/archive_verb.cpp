// The "archive" verb: packs a directory tree into an LZW archive.
#include "archive_build.h"
#include "verb.h"

namespace nebpack {

namespace {

const char Help[] =
    "usage: nebpack archive OUT DIR\n"
    "\n"
    "Writes the LZW archive OUT of every file below DIR, at any depth. Entry names are the\n"
    "paths relative to DIR with backslashes (for example neb\\core\\NEB.class), in byte order;\n"
    "time stamps are the files' modification times; every entry has the attributes 0x2020.\n"
    "Each file's data is cut into LZW blocks of at most 4096 bytes, each starting with a clear\n"
    "code. Directories themselves, empty ones included, are not entries.\n"
    "\n"
    "Exit codes: 0 written; 1 the files do not fit the format (more than 65535 files, a file of\n"
    "4 GB or more, a name with a backslash or too long); 2 wrong usage, or a file or directory\n"
    "that cannot be read or written (no partial OUT is left).\n";

int Run(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        std::fputs("usage: nebpack archive OUT DIR\n", stderr);
        return 2;
    }
    return CreateArchiveFromDirectory(args[0], args[1], stderr);
}

const VerbRegistration registration(Verb{"archive", "build an LZW archive of a directory tree",
                                         Help, Run});

} // namespace

} // namespace nebpack
