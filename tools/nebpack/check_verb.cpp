// The "check" verb: reads a distribution set exactly as the configuration manager does.
#include <cstdio>

#include "set_tool.h"
#include "verb.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace nebpack {

namespace {

const char Help[] =
    "usage: nebpack check SET.nds [--symbols A,B,C]\n"
    "\n"
    "Reads the distribution set SET.nds exactly as the configuration manager does: every subset,\n"
    "its neb.cdb (the 2.0 dialect through the preprocessor, the 1.0 dialect as fallback), the\n"
    "presence and size of every file the databases name, the folding of the subsets (highest\n"
    "version wins; equal versions must be identical, file bytes included) and the external\n"
    "requirements that the set satisfies itself.\n"
    "\n"
    "The result goes to standard output. If the set is rejected, every message the configuration\n"
    "manager gives is printed, one per line, in order and repeats included (as in its saved error\n"
    "log), the set named by its absolute path. If it is accepted, the merged configuration is\n"
    "printed as component database text (LF line ends). Wrong usage, and a SET.nds that cannot\n"
    "be read, are reported on standard error.\n"
    "\n"
    "--symbols A,B,C   the platform symbols that are defined while the databases are\n"
    "                  preprocessed (for example WinXP,WinNT,Intel); without it, those of\n"
    "                  the machine nebpack runs on (none outside Windows).\n"
    "\n"
    "Exit codes: 0 accepted; 1 rejected; 2 wrong usage or SET.nds cannot be read.\n";

int Run(const std::vector<std::string>& args) {
    SetArguments parsed;
    std::string error;
    if (!ParseSetArguments(args, parsed, error) || parsed.words.size() != 1 ||
        parsed.symbols.size() > 1) {
        if (!error.empty()) {
            std::fprintf(stderr, "nebpack: %s\n", error.c_str());
        }
        std::fputs("usage: nebpack check SET.nds [--symbols A,B,C]\n", stderr);
        return SetFailed;
    }
#ifdef _WIN32
    // The database text goes out exactly as written: LF, not CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    return CheckSet(parsed.words[0], parsed.symbols.empty() ? nullptr : &parsed.symbols[0], stdout,
                    stderr);
}

const VerbRegistration registration(Verb{"check", "check a distribution set as NebCM reads it",
                                         Help, Run});

} // namespace

} // namespace nebpack
