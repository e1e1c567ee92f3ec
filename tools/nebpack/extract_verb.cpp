// The "extract" verb: writes the files of a distribution set below a directory.
#include <cstdio>

#include "platforms.h"
#include "progress.h"
#include "set_tool.h"
#include "verb.h"

namespace nebpack {

namespace {

const char Help[] =
    "usage: nebpack extract SET.nds DIR [--symbols A,B,C | --platform NAME] [--processor NAME]\n"
    "\n"
    "Reads SET.nds as the configuration manager does (see \"nebpack check --help\") and writes\n"
    "every file of the merged set below DIR, at the path its database gives (directories are\n"
    "created; DIR itself too, if its parent exists), with the time stamp stored in the set.\n"
    "Existing files are replaced. Nothing is written when the set is rejected, when one of its\n"
    "paths would lead outside DIR or two of them name the same file, or when something in DIR\n"
    "stands in the way (a link, or a directory where a file belongs, or the reverse); no file is\n"
    "ever written outside DIR. When writing fails partway, the files and directories this run\n"
    "created are removed again; files that existed before and were already replaced stay\n"
    "replaced, since their earlier contents are not kept.\n"
    "\n"
    "Why a set or its paths are refused (the configuration manager's messages, as \"nebpack\n"
    "check\" prints them) goes to standard output; wrong usage and what cannot be read or\n"
    "written goes to standard error.\n"
    "\n"
    "--symbols A,B,C   the platform symbols defined while the databases are preprocessed.\n"
    "--platform NAME   the symbols of that Windows version (names as in \"nebpack check\n"
    "                  --help\"), so that DIR holds what an installation there gets.\n"
    "--processor NAME  the processor for --platform (default pentium).\n"
    "\n"
    "Exit codes: 0 written; 1 the set is rejected or its paths cannot be written here; 2 wrong\n"
    "usage, SET.nds cannot be read, or DIR cannot be written.\n";

int Run(const std::vector<std::string>& args) {
    SetArguments parsed;
    std::string error;
    PlatformOptions platforms;
    if (!ParsePlatformOptions(args, platforms, error) ||
        !ParseSetArguments(platforms.rest, parsed, error) || parsed.words.size() != 2 ||
        parsed.symbols.size() > 1 || platforms.all) {
        if (platforms.all) {
            error = "extract writes the files of one platform; name it with --platform";
        }
        if (!error.empty()) {
            std::fprintf(stderr, "nebpack: %s\n", error.c_str());
        }
        std::fputs("usage: nebpack extract SET.nds DIR [--symbols A,B,C | --platform NAME] "
                   "[--processor NAME]\n",
                   stderr);
        return SetFailed;
    }
    ProgressScope progress;
    return ExtractSet(parsed.words[0], parsed.words[1],
                      parsed.symbols.empty() ? nullptr : &parsed.symbols[0], stdout, stderr);
}

const VerbRegistration registration(Verb{"extract", "write the files of a distribution set", Help,
                                         Run});

} // namespace

} // namespace nebpack
