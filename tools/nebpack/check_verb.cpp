// The "check" verb: reads a distribution set exactly as the configuration manager does.
#include <cstdio>

#include "platforms.h"
#include "progress.h"
#include "set_tool.h"
#include "strict_check.h"
#include "verb.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace nebpack {

namespace {

const char Help[] =
    "usage: nebpack check SET.nds [--symbols A,B,C | --platform NAME | --all-platforms]\n"
    "                             [--processor NAME] [--strict]\n"
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
    "--platform NAME   the symbols the configuration manager computes on that Windows\n"
    "                  version: win32s, win95, win98, winme, nt3, nt4, nt4sp3, nt4sp4,\n"
    "                  nt4sp5, nt4sp6, win2000, winxp.\n"
    "--processor NAME  the processor for --platform and --all-platforms: i386, i486,\n"
    "                  pentium (the default), pentiumpro, pentium2, pentium3, x86 (a\n"
    "                  later Intel type), alpha, mips, ppc.\n"
    "--all-platforms   checks the set once per Windows version the configuration manager\n"
    "                  runs on (win95, win98, winme, nt3, nt4, win2000, winxp): for each, a\n"
    "                  line \"== VERSION on PROCESSOR (SYMBOLS): accepted\" or \"rejected\",\n"
    "                  then the accepted extensions (\"KIND:NAME VERSION, N files\") or the\n"
    "                  messages; last a line \"summary: ...\" that names the versions that\n"
    "                  reject and every extension defined differently between versions that\n"
    "                  accept, the versions grouped by identical definitions (a version in\n"
    "                  parentheses lacks the extension). Exit code 1 when any version rejects.\n"
    "\n"
    "--strict          after an accepted check, warns on standard error (\"nebpack: warning:\n"
    "                  ...\") about what the configuration manager accepts but a user's machine\n"
    "                  will not take well: names, whole paths or their directories, that differ\n"
    "                  only in letter case (Windows takes them for one name); paths within 12\n"
    "                  characters of the 259 that Windows opens once joined to the default\n"
    "                  installation directory C:\\Program Files\\NEB\\20\\; and a path that two\n"
    "                  subsets supply for different extensions with different bytes (the set\n"
    "                  installs the first subset's without a word). With --all-platforms, the\n"
    "                  warnings of every version, each once. Exit code 3 when there is one.\n"
    "\n"
    "Exit codes: 0 accepted; 1 rejected; 2 wrong usage or SET.nds cannot be read; 3 accepted\n"
    "with --strict warnings.\n";

int Run(const std::vector<std::string>& args) {
    SetArguments parsed;
    std::string error;
    PlatformOptions platforms;
    bool strict = false;
    std::vector<std::string> remaining;
    for (const std::string& a : args) {
        if (a == "--strict") {
            strict = true;
        } else {
            remaining.push_back(a);
        }
    }
    if (!ParsePlatformOptions(remaining, platforms, error) ||
        !ParseSetArguments(platforms.rest, parsed, error) || parsed.words.size() != 1 ||
        parsed.symbols.size() > 1 || (platforms.all && !parsed.symbols.empty())) {
        if (!error.empty()) {
            std::fprintf(stderr, "nebpack: %s\n", error.c_str());
        }
        std::fputs("usage: nebpack check SET.nds [--symbols A,B,C | --platform NAME | "
                   "--all-platforms] [--processor NAME] [--strict]\n",
                   stderr);
        return SetFailed;
    }
#ifdef _WIN32
    // The database text goes out exactly as written: LF, not CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    ProgressScope progress;
    if (platforms.all) {
        const std::string set = parsed.words[0];
        const int code = CheckAllPlatforms(
            [&](const nebcm::PlatformSymbols& symbols) { return SetVerdict(set, symbols); },
            platforms.processor, stdout, stderr);
        if (!strict) {
            return code;
        }
        std::fflush(stdout);
        const std::vector<nebcm::PlatformSymbols> all = AllPlatformSymbols(platforms.processor);
        std::vector<const nebcm::PlatformSymbols*> passes;
        for (const nebcm::PlatformSymbols& s : all) {
            passes.push_back(&s);
        }
        return ReportStrictWarnings(set, passes, code, stderr);
    }
    const nebcm::PlatformSymbols* symbols = parsed.symbols.empty() ? nullptr : &parsed.symbols[0];
    const int code = CheckSet(parsed.words[0], symbols, stdout, stderr);
    return strict ? ReportStrictWarnings(parsed.words[0], {symbols}, code, stderr) : code;
}

const VerbRegistration registration(Verb{"check", "check a distribution set as NebCM reads it",
                                         Help, Run});

} // namespace

} // namespace nebpack
