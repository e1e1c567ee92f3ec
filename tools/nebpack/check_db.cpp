// nebpack check-db: reads a component database exactly as the configuration manager would and shows
// the result.
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "io/streams.h"
#include "model/component_database_reader.h"
#include "model/component_database_writer.h"
#include "model/legacy_component_database_reader.h"
#include "model/platform_symbols.h"
#include "platforms.h"
#include "verb.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace nebpack {
namespace {

const char CheckDbHelp[] =
    "usage: nebpack check-db [--installed] [--legacy] [--symbols A,B,C | --platform NAME |\n"
    "                        --all-platforms] [--processor NAME] FILE\n"
    "\n"
    "Reads the component database FILE the way the configuration manager reads it and\n"
    "reports the outcome.\n"
    "\n"
    "By default FILE is read as the database of a distribution set: through the\n"
    "preprocessor, whose conditions see exactly the platform symbols given with\n"
    "--symbols (comma-separated, for example --symbols WinXP,Win32,Pentium). Without\n"
    "--symbols no symbol is defined, except in nebpack.exe, which then uses the\n"
    "symbols of the machine it runs on.\n"
    "\n"
    "  --installed    read FILE as an installed configuration's database: no\n"
    "                 preprocessing, no external declarations, the core names its base\n"
    "  --legacy       read FILE in the dialect of platform release 1.0 (as a distribution\n"
    "                 set's database, or with --installed as an installed one)\n"
    "  --symbols LIST the platform symbols for the preprocessor; only for 2.0\n"
    "                 distribution databases\n"
    "  --platform NAME the symbols the configuration manager computes on that Windows\n"
    "                 version (win32s, win95, win98, winme, nt3, nt4, nt4sp3 to nt4sp6,\n"
    "                 win2000, winxp); only for 2.0 distribution databases\n"
    "  --processor NAME the processor for --platform and --all-platforms (i386, i486,\n"
    "                 pentium, the default, pentiumpro, pentium2, pentium3, x86, alpha,\n"
    "                 mips, ppc)\n"
    "  --all-platforms read FILE once per Windows version the configuration manager runs\n"
    "                 on (win95, win98, winme, nt3, nt4, win2000, winxp) and print for each\n"
    "                 a heading, the accepted extensions or the messages, then one summary\n"
    "                 line of where the versions differ (as \"nebpack check --help\" tells)\n"
    "\n"
    "The result goes to standard output. If the database has faults, every message is\n"
    "printed on its own line, as the configuration manager words it (\"FILE(line) :\n"
    "text\", the whole-configuration checks without a location), and the exit code is 1.\n"
    "Otherwise the configuration is printed as the configuration manager would write it,\n"
    "with LF line ends, and the exit code is 0. A FILE that cannot be opened or read, or a\n"
    "wrong command line, gives a one-line error on standard error and exit code 2.\n";

// Standard output as a text stream. Unlike the file writer it keeps LF line ends, so that the
// output compares byte for byte on every system.
class StandardOutputText : public nebcm::TextOutputStream {
public:
    bool IsOpen() const override { return true; }
    void Close() override {}
    void Flush() override { std::fflush(stdout); }
    void PrintV(const char* format, va_list args) override { std::vfprintf(stdout, format, args); }
};

int UsageError(const std::string& problem) {
    std::fprintf(stderr, "nebpack check-db: %s (\"nebpack check-db --help\" explains)\n",
                 problem.c_str());
    return 2;
}

struct Options {
    bool installed = false;
    bool legacy = false;
    bool haveSymbols = false;
    std::string symbols;
    std::string file;
    bool haveFile = false;
};

// Returns an empty text when the command line is sound, else what is wrong with it.
std::string ParseOptions(const std::vector<std::string>& args, Options& o) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == "--installed") {
            o.installed = true;
        } else if (!optionsEnded && a == "--legacy") {
            o.legacy = true;
        } else if (!optionsEnded && (a == "--symbols" || a.rfind("--symbols=", 0) == 0)) {
            if (o.haveSymbols) {
                return "--symbols is given more than once";
            }
            if (a == "--symbols") {
                if (i + 1 >= args.size()) {
                    return "--symbols needs a list of symbols";
                }
                o.symbols = args[++i];
            } else {
                o.symbols = a.substr(10);
            }
            o.haveSymbols = true;
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            return "unknown option '" + a + "'";
        } else if (o.haveFile) {
            return "only one FILE can be checked at a time";
        } else {
            o.file = a;
            o.haveFile = true;
        }
    }
    if (!o.haveFile) {
        return "no FILE given";
    }
    if (o.haveSymbols && (o.installed || o.legacy)) {
        return "--symbols applies only to 2.0 distribution databases, which alone are preprocessed";
    }
    return std::string();
}

// A symbol outside the vocabulary is legal but no machine ever defines it: most likely a typo.
void WarnAboutUnknownSymbols(const nebcm::PlatformSymbols& symbols) {
    const std::vector<std::string>& known = nebcm::KnownPlatformSymbols();
    for (const std::string& name : symbols.Names()) {
        bool found = false;
        for (const std::string& k : known) {
            found = found || k == name;
        }
        if (!found) {
            std::fprintf(stderr,
                         "nebpack check-db: warning: '%s' is not a platform symbol; no machine "
                         "defines it\n",
                         name.c_str());
        }
    }
}

std::unique_ptr<nebcm::Configuration> ReadDatabase(const Options& o, nebcm::TextInputStream& source,
                                                   nebcm::ErrorList& errors) {
    nebcm::ReaderMode mode =
        o.installed ? nebcm::ReaderMode::Installed : nebcm::ReaderMode::Distribution;
    if (o.legacy) {
        nebcm::LegacyComponentDatabaseReader reader(o.file, source, mode);
        return reader.Read(errors);
    }
    if (o.haveSymbols) {
        nebcm::PlatformSymbols symbols = nebcm::PlatformSymbols::FromList(o.symbols);
        WarnAboutUnknownSymbols(symbols);
        nebcm::ComponentDatabaseReader reader(o.file, source, mode, symbols);
        return reader.Read(errors);
    }
#ifdef _WIN32
    nebcm::ComponentDatabaseReader reader(o.file, source, mode);
#else
    // Natively there is no Windows to ask: no symbol is defined.
    nebcm::ComponentDatabaseReader reader(o.file, source, mode, nebcm::PlatformSymbols());
#endif
    return reader.Read(errors);
}

// FILE read once with the given symbols, for --all-platforms.
Verdict DatabaseVerdict(const std::string& file, const nebcm::PlatformSymbols& symbols) {
    Verdict verdict;
    nebcm::ErrorList errors;
    try {
        nebcm::TextFileReader source(file);
        nebcm::ComponentDatabaseReader reader(file, source, nebcm::ReaderMode::Distribution,
                                              symbols);
        verdict.configuration = reader.Read(errors);
        verdict.messages = errors.Messages();
    } catch (const nebcm::IOException&) {
        verdict.failed = true;
        verdict.messages = {"nebpack check-db: cannot read '" + file + "'"};
    }
    return verdict;
}

int CheckDb(const std::vector<std::string>& args) {
    Options o;
    PlatformOptions platforms;
    std::string problem;
    if (!ParsePlatformOptions(args, platforms, problem)) {
        return UsageError(problem);
    }
    problem = ParseOptions(platforms.rest, o);
    if (problem.empty() && platforms.all && (o.installed || o.legacy || o.haveSymbols)) {
        problem = "--all-platforms applies only to 2.0 distribution databases, without --symbols";
    }
    if (!problem.empty()) {
        return UsageError(problem);
    }
#ifdef _WIN32
    // The C runtime would turn every LF into CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (platforms.all) {
        const std::string file = o.file;
        return CheckAllPlatforms(
            [&](const nebcm::PlatformSymbols& symbols) { return DatabaseVerdict(file, symbols); },
            platforms.processor, stdout, stderr);
    }

    std::unique_ptr<nebcm::TextFileReader> source;
    try {
        source = std::make_unique<nebcm::TextFileReader>(o.file);
    } catch (const nebcm::IOException&) {
        std::fprintf(stderr, "nebpack check-db: cannot open '%s'\n", o.file.c_str());
        return 2;
    }
    nebcm::ErrorList errors;
    std::unique_ptr<nebcm::Configuration> config;
    try {
        config = ReadDatabase(o, *source, errors);
    } catch (const nebcm::IOException&) {
        std::fprintf(stderr, "nebpack check-db: cannot read '%s'\n", o.file.c_str());
        return 2;
    }

    int result = 0;
    if (config == nullptr) {
        for (const std::string& message : errors.Messages()) {
            std::printf("%s\n", message.c_str());
        }
        result = 1;
    } else {
        StandardOutputText out;
        nebcm::ComponentDatabaseWriter::Write(*config, out);
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "nebpack check-db: cannot write the result\n");
        return 2;
    }
    return result;
}

const VerbRegistration registration({"check-db",
                                     "check a component database and print it as it is read",
                                     CheckDbHelp, CheckDb});

} // namespace
} // namespace nebpack
