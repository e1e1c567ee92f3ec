// Named platforms for nebpack: the facts each Windows version and processor reports, run through
// the configuration manager's own symbol computation.
#include "platforms.h"

#include <cstdarg>
#include <map>

#include "common/error_list.h"
#include "common/messages.h"
#include "distribution/distribution_set.h"
#include "io/streams.h"
#include "model/component_database_writer.h"
#include "platform/file_info.h"
#include "progress.h"

namespace nebpack {

namespace {

struct VersionFacts {
    const char* name;
    int platformId;
    int major;
    int minor;
    const char* servicePack;
};

// One row per branch of the symbol tables that a real Windows release reaches.
const VersionFacts Versions[] = {
    {"win32s", 0, 3, 10, ""},
    {"win95", 1, 4, 0, ""},
    {"win98", 1, 4, 10, ""},
    {"winme", 1, 4, 90, ""},
    {"nt3", 2, 3, 51, ""},
    {"nt4", 2, 4, 0, ""},
    {"nt4sp3", 2, 4, 0, "Service Pack 3"},
    {"nt4sp4", 2, 4, 0, "Service Pack 4"},
    {"nt4sp5", 2, 4, 0, "Service Pack 5"},
    {"nt4sp6", 2, 4, 0, "Service Pack 6a"},
    {"win2000", 2, 5, 0, ""},
    {"winxp", 2, 5, 1, ""},
};

struct ProcessorFacts {
    const char* name;
    int architecture;
    int type;
    int model; // the high byte of the processor revision
};

const ProcessorFacts Processors[] = {
    {"i386", 0, 386, 0},       {"i486", 0, 486, 0},     {"pentium", 0, 586, 2},
    {"pentiumpro", 0, 586, 1}, {"pentium2", 0, 586, 5}, {"pentium3", 0, 586, 8},
    {"x86", 0, 686, 0},        {"alpha", 2, 21064, 0},  {"mips", 1, 4000, 0},
    {"ppc", 3, 601, 0},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string text) {
    for (char& c : text) {
        c = Lower(c);
    }
    return text;
}

std::string Joined(const std::vector<std::string>& names, const char* separator) {
    std::string out;
    for (const std::string& n : names) {
        out += (out.empty() ? "" : separator) + n;
    }
    return out;
}

// Database text into a string.
class StringText : public nebcm::TextOutputStream {
public:
    bool IsOpen() const override { return true; }
    void Close() override {}
    void Flush() override {}
    void PrintV(const char* format, va_list args) override {
        text += nebcm::FormatTextV(format, args);
    }
    std::string text;
};

} // namespace

const std::vector<std::string>& ServedVersions() {
    static const std::vector<std::string> names = {"win95", "win98",   "winme", "nt3",
                                                   "nt4",   "win2000", "winxp"};
    return names;
}

const std::vector<std::string>& VersionNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const VersionFacts& v : Versions) {
            all.push_back(v.name);
        }
        return all;
    }();
    return names;
}

const std::vector<std::string>& ProcessorNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const ProcessorFacts& p : Processors) {
            all.push_back(p.name);
        }
        return all;
    }();
    return names;
}

const char* DefaultProcessor() {
    return "pentium";
}

bool SymbolsOfPlatform(const std::string& version, const std::string& processor,
                       nebcm::PlatformSymbols& symbols, std::string& error) {
    const VersionFacts* v = nullptr;
    for (const VersionFacts& row : Versions) {
        v = Lowered(version) == row.name ? &row : v;
    }
    const ProcessorFacts* p = nullptr;
    for (const ProcessorFacts& row : Processors) {
        p = Lowered(processor) == row.name ? &row : p;
    }
    if (v == nullptr) {
        error = "unknown Windows version '" + version +
                "' (known: " + Joined(VersionNames(), ", ") + ")";
        return false;
    }
    if (p == nullptr) {
        error =
            "unknown processor '" + processor + "' (known: " + Joined(ProcessorNames(), ", ") + ")";
        return false;
    }
    nebcm::MachineInfo info;
    info.processorArchitecture = p->architecture;
    info.processorType = p->type;
    info.processorRevision = p->model << 8;
    info.platformId = v->platformId;
    info.majorVersion = v->major;
    info.minorVersion = v->minor;
    info.servicePack = v->servicePack;
    symbols = nebcm::ComputePlatformSymbols(info);
    return true;
}

bool ParsePlatformOptions(const std::vector<std::string>& args, PlatformOptions& parsed,
                          std::string& error) {
    parsed = PlatformOptions();
    std::vector<std::string> versions;
    std::vector<std::size_t> at; // where each version's symbols go in rest
    bool haveProcessor = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        std::string option;
        for (const char* name : {"--platform", "--processor"}) {
            const std::string n = name;
            if (a == n || a.rfind(n + "=", 0) == 0) {
                option = n;
                if (a == n) {
                    if (i + 1 == args.size()) {
                        error = n + " needs a name";
                        return false;
                    }
                    value = args[++i];
                } else {
                    value = a.substr(n.size() + 1);
                }
            }
        }
        if (option == "--platform") {
            versions.push_back(value);
            at.push_back(parsed.rest.size());
            parsed.rest.emplace_back();
        } else if (option == "--processor") {
            if (haveProcessor) {
                error = "--processor is given more than once";
                return false;
            }
            parsed.processor = value;
            haveProcessor = true;
        } else if (a == "--all-platforms") {
            parsed.all = true;
        } else {
            parsed.rest.push_back(a);
        }
    }
    if (parsed.all && !versions.empty()) {
        error = "--all-platforms and --platform exclude each other";
        return false;
    }
    if (haveProcessor && !parsed.all && versions.empty()) {
        error = "--processor needs --platform or --all-platforms";
        return false;
    }
    if (!haveProcessor) {
        parsed.processor = DefaultProcessor();
    }
    nebcm::PlatformSymbols symbols;
    if (!SymbolsOfPlatform(versions.empty() ? "winxp" : versions[0], parsed.processor, symbols,
                           error)) {
        return false;
    }
    for (std::size_t k = 0; k < versions.size(); ++k) {
        if (!SymbolsOfPlatform(versions[k], parsed.processor, symbols, error)) {
            return false;
        }
        parsed.rest[at[k]] = "--symbols=" + Joined(symbols.Names(), ",");
    }
    return true;
}

std::vector<nebcm::PlatformSymbols> AllPlatformSymbols(const std::string& processor) {
    std::vector<nebcm::PlatformSymbols> all;
    for (const std::string& version : ServedVersions()) {
        nebcm::PlatformSymbols symbols;
        std::string error;
        if (SymbolsOfPlatform(version, processor, symbols, error)) {
            all.push_back(symbols);
        }
    }
    return all;
}

std::string SectionText(const nebcm::Extension& extension) {
    nebcm::Configuration one;
    one.Add(extension.Clone());
    StringText text;
    nebcm::ComponentDatabaseWriter::Write(one, text);
    return text.text;
}

std::string ExtensionLabel(const nebcm::Extension& extension) {
    if (extension.Kind() == nebcm::ExtensionKind::Core) {
        return "Core";
    }
    return std::string(nebcm::SectionWord(extension.Kind())) + ":" + extension.Name();
}

int CheckAllPlatforms(const VerdictFunction& check, const std::string& processor, std::FILE* out,
                      std::FILE* err) {
    const std::vector<std::string>& versions = ServedVersions();
    std::vector<std::string> rejected;
    // Per extension label, its section text on each version that accepts (missing: absent).
    std::map<std::string, std::map<std::string, std::string>> sections;
    std::vector<std::string> accepted;
    for (const std::string& version : versions) {
        nebcm::PlatformSymbols symbols;
        std::string error;
        SymbolsOfPlatform(version, processor, symbols, error);
        Verdict verdict = check(symbols);
        if (verdict.failed) {
            for (const std::string& m : verdict.messages) {
                std::fprintf(err, "%s\n", m.c_str());
            }
            return 2;
        }
        std::fprintf(out, "== %s on %s (%s): %s\n", version.c_str(), processor.c_str(),
                     Joined(symbols.Names(), ",").c_str(),
                     verdict.configuration ? "accepted" : "rejected");
        if (!verdict.configuration) {
            rejected.push_back(version);
            for (const std::string& m : verdict.messages) {
                std::fprintf(out, "%s\n", m.c_str());
            }
            continue;
        }
        accepted.push_back(version);
        const nebcm::Configuration& c = *verdict.configuration;
        for (std::size_t i = 0; i < c.Count(); ++i) {
            const nebcm::Extension& e = c.At(i);
            std::fprintf(out, "%s %s, %zu file%s\n", ExtensionLabel(e).c_str(),
                         e.Version().ToText().c_str(), e.FileCount(),
                         e.FileCount() == 1 ? "" : "s");
            sections[ExtensionLabel(e)][version] = SectionText(e);
        }
    }

    // Where the versions part: rejections, and each extension that is defined differently, or
    // missing, on some of the versions that accept.
    std::string summary = "summary: accepted on " + std::to_string(accepted.size()) + " of " +
                          std::to_string(versions.size()) + " versions";
    if (!rejected.empty()) {
        summary += ", rejected on " + Joined(rejected, " ");
    }
    std::vector<std::string> differing;
    for (const auto& [label, byVersion] : sections) {
        // Versions grouped by identical definitions, in the order of the versions.
        std::vector<std::pair<std::string, std::vector<std::string>>> groups;
        for (const std::string& version : accepted) {
            auto found = byVersion.find(version);
            const std::string text = found == byVersion.end() ? std::string() : found->second;
            bool placed = false;
            for (auto& [groupText, members] : groups) {
                if (groupText == text) {
                    members.push_back(found == byVersion.end() ? "(" + version + ")" : version);
                    placed = true;
                }
            }
            if (!placed) {
                groups.push_back(
                    {text, {found == byVersion.end() ? "(" + version + ")" : version}});
            }
        }
        if (groups.size() > 1) {
            std::string parts;
            for (const auto& group : groups) {
                parts += (parts.empty() ? "" : " | ") + Joined(group.second, " ");
            }
            differing.push_back(label + " differs (" + parts + ")");
        }
    }
    if (differing.empty() && !accepted.empty()) {
        summary += rejected.empty() ? "; the same on every version"
                                    : "; the same on every version that accepts";
    } else if (!differing.empty()) {
        summary += "; " + Joined(differing, "; ");
    }
    std::fprintf(out, "%s\n", summary.c_str());
    return rejected.empty() ? 0 : 1;
}

Verdict SetVerdict(const std::string& set, const nebcm::PlatformSymbols& symbols) {
    Verdict verdict;
    nebcm::ErrorList errors;
    std::unique_ptr<nebcm::DistributionSet> read =
        nebcm::ReadDistributionSet(set, errors, CurrentProgress(), &symbols);
    verdict.messages = errors.Messages();
    if (read) {
        verdict.configuration =
            std::make_unique<nebcm::Configuration>(read->MergedConfiguration().Clone());
    } else {
        // A set that cannot be opened at all is no verdict on any platform.
        verdict.failed =
            errors.Count() == 1 && errors.At(0) == nebcm::Message(12104, nebcm::AbsolutePath(set));
    }
    return verdict;
}

} // namespace nebpack
