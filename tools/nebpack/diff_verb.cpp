// The "diff" verb: what changed between two releases of a distribution set.
#include <cstdio>

#include "diff_tool.h"
#include "platforms.h"
#include "progress.h"
#include "set_tool.h"
#include "verb.h"

namespace nebpack {

namespace {

const char Usage[] = "usage: nebpack diff OLD.nds NEW.nds [--symbols A,B,C | --platform NAME] "
                     "[--processor NAME]\n";

const char Help[] =
    "usage: nebpack diff OLD.nds NEW.nds [--symbols A,B,C | --platform NAME] [--processor NAME]\n"
    "\n"
    "Reads both distribution sets as the configuration manager does and prints what installing\n"
    "NEW.nds instead of OLD.nds changes, one line each, on standard output:\n"
    "\n"
    "  removed KIND:NAME VERSION            an extension only OLD.nds has\n"
    "  upgraded KIND:NAME OLD -> NEW        an extension in a higher version\n"
    "  downgraded KIND:NAME OLD -> NEW      an extension in a lower version\n"
    "  changed KIND:NAME: WHAT OLD -> NEW   a part of its definition: description, copyright,\n"
    "                                       package, service class, Java dispatcher,\n"
    "                                       dependencies, requirements, or the shortcut of a file\n"
    "  added KIND:NAME VERSION              an extension only NEW.nds has\n"
    "  file removed PATH (KIND:NAME)        a file only OLD.nds installs\n"
    "  file added PATH (KIND:NAME)          a file only NEW.nds installs\n"
    "  file changed PATH (KIND:NAME, SIZES) a file whose bytes differ\n"
    "\n"
    "Extensions come in the order of OLD.nds, the added ones after them in the order of NEW.nds;\n"
    "files in the order of their paths. The core is named just Core. Time stamps do not count.\n"
    "\n"
    "--symbols A,B,C   the platform symbols defined while the databases are preprocessed;\n"
    "--platform NAME   or those of a Windows version (names as in \"nebpack check --help\");\n"
    "                  without either, those of the machine nebpack runs on.\n"
    "--processor NAME  the processor for --platform (default pentium).\n"
    "\n"
    "Exit codes: 0 the sets install the same (nothing is printed); 1 they differ; 2 wrong\n"
    "usage, or a set that cannot be read or is rejected (its messages on standard error).\n";

int Run(const std::vector<std::string>& args) {
    PlatformOptions platforms;
    SetArguments parsed;
    std::string error;
    if (!ParsePlatformOptions(args, platforms, error) ||
        !ParseSetArguments(platforms.rest, parsed, error) || parsed.words.size() != 2 ||
        parsed.symbols.size() > 1 || platforms.all) {
        if (platforms.all) {
            error = "diff compares the sets for one platform; name it with --platform";
        }
        if (!error.empty()) {
            std::fprintf(stderr, "nebpack: %s\n", error.c_str());
        }
        std::fputs(Usage, stderr);
        return SetFailed;
    }
    ProgressScope progress;
    return DiffSets(parsed.words[0], parsed.words[1],
                    parsed.symbols.empty() ? nullptr : &parsed.symbols[0], stdout, stderr);
}

const VerbRegistration registration(Verb{"diff", "list what changed between two releases of a set",
                                         Help, Run});

} // namespace

} // namespace nebpack
