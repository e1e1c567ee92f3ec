// The "pack" verb: builds a distribution set of subset directories.
#include <cstdio>

#include "platforms.h"
#include "progress.h"
#include "set_tool.h"
#include "verb.h"

namespace nebpack {

namespace {

const char Help[] =
    "usage: nebpack pack OUT.nds SUBSETDIR... [--symbols A,B,C]... [--platform NAME]...\n"
    "                                         [--all-platforms] [--processor NAME]\n"
    "\n"
    "Writes the distribution set OUT.nds: one subset (an LZW archive) per SUBSETDIR, in the\n"
    "order given, each holding every file below its directory. Each directory must hold the\n"
    "subset's component database neb.cdb at its top, and every file that the database names\n"
    "for any of its extensions.\n"
    "\n"
    "Before anything is written, each neb.cdb is read as the configuration manager reads it\n"
    "(the 2.0 dialect through the preprocessor, the 1.0 dialect as fallback) and the files it\n"
    "names are looked for; then the written set is read back whole, as \"nebpack check\" does.\n"
    "If the configuration manager would reject the set, its messages are printed on standard\n"
    "output, one per line (the set named by its absolute path), and no OUT.nds is left; so are\n"
    "files that an archive cannot hold. Wrong usage and files that cannot be read or written\n"
    "are reported on standard error.\n"
    "\n"
    "--symbols A,B,C   check with these platform symbols defined (for example WinXP,WinNT);\n"
    "                  give it several times to check each platform the set is meant for.\n"
    "                  Without it, the symbols of the machine nebpack runs on.\n"
    "--platform NAME   check with the symbols of that Windows version (see \"nebpack check\n"
    "                  --help\" for the names); may be given several times.\n"
    "--all-platforms   check with the symbols of every Windows version the configuration\n"
    "                  manager runs on (win95 to winxp), each in turn.\n"
    "--processor NAME  the processor for --platform and --all-platforms (default pentium).\n"
    "\n"
    "Exit codes: 0 written; 1 the set would be rejected; 2 wrong usage, or a file that cannot\n"
    "be read or written.\n";

int Run(const std::vector<std::string>& args) {
    SetArguments parsed;
    std::string error;
    PlatformOptions platforms;
    if (!ParsePlatformOptions(args, platforms, error) ||
        !ParseSetArguments(platforms.rest, parsed, error) || parsed.words.size() < 2) {
        if (!error.empty()) {
            std::fprintf(stderr, "nebpack: %s\n", error.c_str());
        }
        std::fputs("usage: nebpack pack OUT.nds SUBSETDIR... [--symbols A,B,C]... "
                   "[--platform NAME]... [--all-platforms] [--processor NAME]\n",
                   stderr);
        return SetFailed;
    }
    ProgressScope progress;
    if (platforms.all) {
        for (const nebcm::PlatformSymbols& s : AllPlatformSymbols(platforms.processor)) {
            parsed.symbols.push_back(s);
        }
    }
    const std::vector<std::string> dirs(parsed.words.begin() + 1, parsed.words.end());
    return PackSet(parsed.words[0], dirs, parsed.symbols, stdout, stderr);
}

const VerbRegistration registration(Verb{"pack", "build a distribution set of subset directories",
                                         Help, Run});

} // namespace

} // namespace nebpack
