// Named Windows versions and processors for nebpack's set verbs: "--platform winxp" stands for
// the platform symbols the configuration manager computes on Windows XP, and "--all-platforms"
// checks a set once per Windows version the manager runs on.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/extension.h"
#include "model/platform_symbols.h"

namespace nebpack {

// The Windows versions "--all-platforms" goes through, oldest first.
const std::vector<std::string>& ServedVersions();
// Every version name "--platform" takes, and every processor name "--processor" takes.
const std::vector<std::string>& VersionNames();
const std::vector<std::string>& ProcessorNames();
// The processor assumed when none is named.
const char* DefaultProcessor();

// The symbols of a named version on a named processor (names compare without regard to case),
// computed by the configuration manager's own function from the facts such a machine reports.
// False, with a reason, for an unknown name.
bool SymbolsOfPlatform(const std::string& version, const std::string& processor,
                       nebcm::PlatformSymbols& symbols, std::string& error);

// "--platform NAME" (repeatable), "--processor NAME" and "--all-platforms" taken out of a verb's
// arguments. Each --platform becomes a "--symbols=LIST" in rest, where the verb's own parser
// finds it; all is set by --all-platforms, with the processor in processor.
struct PlatformOptions {
    std::vector<std::string> rest;
    bool all = false;
    std::string processor;
};
bool ParsePlatformOptions(const std::vector<std::string>& args, PlatformOptions& parsed,
                          std::string& error);

// One version's verdict on a set or a database: the configuration when accepted, else the
// messages; failed when the input could not be read at all (messages say why).
struct Verdict {
    std::unique_ptr<nebcm::Configuration> configuration;
    std::vector<std::string> messages;
    bool failed = false;
};
using VerdictFunction = std::function<Verdict(const nebcm::PlatformSymbols&)>;

// Runs the check once per served version on the processor and prints, per version, a heading,
// then the accepted extensions one per line or the messages; then a one-line summary of where
// the versions differ. 0 when every version accepts, 1 when one rejects, 2 when the input
// cannot be read (reported on err).
int CheckAllPlatforms(const VerdictFunction& check, const std::string& processor, std::FILE* out,
                      std::FILE* err);

// A distribution set read as the configuration manager reads it with these symbols.
Verdict SetVerdict(const std::string& set, const nebcm::PlatformSymbols& symbols);

// The symbol lists of every served version on the processor, for verbs that check each.
std::vector<nebcm::PlatformSymbols> AllPlatformSymbols(const std::string& processor);

// An extension's section as the database writer writes it: what two versions are compared by.
std::string SectionText(const nebcm::Extension& extension);
// "Library:xml" and the like; the core is just "Core".
std::string ExtensionLabel(const nebcm::Extension& extension);

} // namespace nebpack
