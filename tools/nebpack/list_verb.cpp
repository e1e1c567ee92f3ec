// The "list" verb: the entries of an LZW archive, or of every archive in a file.
#include "archive_list.h"
#include "verb.h"

namespace nebpack {

namespace {

const char Help[] =
    "usage: nebpack list FILE\n"
    "\n"
    "Lists the entries of the LZW archive FILE: per entry its size, compressed size, time stamp\n"
    "(UTC) and name, in the order of the archive's table. Every entry's data is decompressed and\n"
    "checked on the way. When more archives follow the first one in the file (as the subsets\n"
    "of a distribution set do), each is listed in turn; an archive that holds a neb.cdb is\n"
    "headed as a subset, numbered as the configuration manager's messages number it.\n"
    "\n"
    "Exit codes: 0 listed; 1 FILE, or something in it, is not a readable LZW archive; 2 wrong\n"
    "usage or FILE cannot be opened.\n";

int Run(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fputs("usage: nebpack list FILE\n", stderr);
        return 2;
    }
    return ListArchives(args[0], stdout, stderr);
}

const VerbRegistration registration(Verb{
    "list", "list the entries of an LZW archive or distribution set", Help, Run});

} // namespace

} // namespace nebpack
