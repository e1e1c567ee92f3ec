// The "medium" verb: a ready installation medium of the built programs and a distribution set.
#include <cstdio>

#include "medium_tool.h"
#include "platforms.h"
#include "progress.h"
#include "set_tool.h"
#include "verb.h"

namespace nebpack {

namespace {

const char Usage[] = "usage: nebpack medium OUTDIR SET.nds [--iso FILE] [--programs DIR]\n"
                     "                      [--platform NAME]... [--symbols A,B,C]... "
                     "[--processor NAME]\n";

const char Help[] =
    "usage: nebpack medium OUTDIR SET.nds [--iso FILE] [--programs DIR]\n"
    "                      [--platform NAME]... [--symbols A,B,C]... [--processor NAME]\n"
    "\n"
    "Makes the directory OUTDIR (it must not exist yet) a complete installation medium for the\n"
    "distribution set SET.nds: setup.exe, NebCM.exe, the help files NebCM.hlp, NebCM.cnt and\n"
    "NebCM.GID and the icon NEB.ico (what the core installation copies beside the program), a\n"
    "copy of SET.nds under its own file name, and a setup.inf whose line names it. A user starts\n"
    "setup.exe on the medium; it starts NebCM.exe on the set, which installs the core first\n"
    "where there is none and then offers the set's extensions.\n"
    "\n"
    "Before anything is written, SET.nds is read as the configuration manager reads it, once per\n"
    "Windows version it runs on (win95, win98, winme, nt3, nt4, win2000, winxp, on a pentium),\n"
    "or with the symbols given by --platform and --symbols. If one of them rejects the set, its\n"
    "messages are printed on standard output and no medium is made. The finished medium is then\n"
    "read back as the setup launcher reads it (setup.inf, the set it names, NebCM.exe beside it)\n"
    "and its copy of the set as the configuration manager does; if that fails, the medium is\n"
    "removed again.\n"
    "\n"
    "--iso FILE        also writes an ISO 9660 image of the medium (Rock Ridge and Joliet\n"
    "                  names, the volume named after the set) with genisoimage, xorriso or\n"
    "                  mkisofs, whichever is found first on the search path (Debian's\n"
    "                  genisoimage is installed by scripts/install-deps.sh).\n"
    "--programs DIR    the directory of the built Windows programs and their files. Without\n"
    "                  it, the environment variable NEBPACK_PROGRAMS; without that, the\n"
    "                  directory of nebpack.exe itself, or for the native nebpack the\n"
    "                  programs build of its source tree (build/win/bin, which the build\n"
    "                  fills with everything listed above but the set and setup.inf).\n"
    "--platform NAME   check the set with the symbols of that Windows version only (names as\n"
    "                  in \"nebpack check --help\"); may be given several times.\n"
    "--symbols A,B,C   check the set with these platform symbols; may be given several times.\n"
    "--processor NAME  the processor for --platform (default pentium).\n"
    "\n"
    "Exit codes: 0 made; 1 the set would be rejected; 2 wrong usage, missing programs, OUTDIR\n"
    "exists, or something that cannot be read or written.\n";

int Run(const std::vector<std::string>& args) {
    MediumRequest request;
    std::vector<std::string> rest;
    std::string error;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string* target = a == "--iso"        ? &request.iso
                              : a == "--programs" ? &request.programs
                                                  : nullptr;
        if (target == nullptr) {
            rest.push_back(a);
        } else if (i + 1 == args.size() || !target->empty()) {
            error = a + (target->empty() ? " needs a value" : " is given more than once");
        } else {
            *target = args[++i];
        }
    }
    PlatformOptions platforms;
    SetArguments parsed;
    if (!error.empty() || !ParsePlatformOptions(rest, platforms, error) ||
        !ParseSetArguments(platforms.rest, parsed, error) || parsed.words.size() != 2) {
        if (!error.empty()) {
            std::fprintf(stderr, "nebpack: %s\n", error.c_str());
        }
        std::fputs(Usage, stderr);
        return SetFailed;
    }
    request.outDir = parsed.words[0];
    request.set = parsed.words[1];
    request.symbols = parsed.symbols;
    if (platforms.all) {
        request.symbols = AllPlatformSymbols(platforms.processor);
    }
    ProgressScope progress;
    return MakeMedium(request, stdout, stderr);
}

const VerbRegistration registration(Verb{"medium", "make an installation medium for a set", Help,
                                         Run});

} // namespace

} // namespace nebpack
