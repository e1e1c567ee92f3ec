// The strict checks of a set: every subset read again, its database with the same symbols, and
// its names and files compared with the others'.
#include "strict_check.h"

#include <map>
#include <memory>
#include <set>

#include "common/constants.h"
#include "common/error_list.h"
#include "distribution/distribution_set.h"
#include "io/archive.h"
#include "io/streams.h"
#include "model/path_rules.h"
#include "platform/file_info.h"
#include "platforms.h"

namespace nebpack {

namespace {

struct Subset {
    std::unique_ptr<nebcm::Archive> archive;
    std::unique_ptr<nebcm::Configuration> configuration;
};

bool ReadSubsets(const std::string& set, const nebcm::PlatformSymbols* symbols,
                 std::vector<Subset>& subsets, std::string& error) {
    std::uint64_t size = 0;
    if (!nebcm::QueryFileLength(set, size)) {
        error = "cannot read '" + set + "'";
        return false;
    }
    const std::string full = nebcm::AbsolutePath(set);
    std::uint64_t offset = 0;
    while (offset < size) {
        Subset subset;
        try {
            if (nebcm::ReadArchiveFile(set, static_cast<std::uint32_t>(offset), subset.archive,
                                       nullptr) != nebcm::ProcedureResult::Succeeded) {
                error = "cannot read the subset at offset " + std::to_string(offset);
                return false;
            }
        } catch (const nebcm::IOException&) {
            error = "cannot read '" + set + "'";
            return false;
        }
        offset += subset.archive->Length();
        const nebcm::ArchiveEntry* database = subset.archive->Find(nebcm::ComponentDatabaseFile);
        nebcm::ErrorList errors;
        if (database != nullptr) {
            subset.configuration = nebcm::ReadSubsetDatabase([&] { return database->OpenStream(); },
                                                             full, symbols, errors);
        }
        if (!subset.configuration) {
            error = "subset " + std::to_string(subsets.size() + 1) + " cannot be read again";
            return false;
        }
        subsets.push_back(std::move(subset));
    }
    return true;
}

// Every name the set's databases give, whole paths and their directories, by the identity under
// which Windows knows it: spellings that differ only in letter case meet under one key.
void CaseTwins(const std::vector<Subset>& subsets, std::vector<std::string>& warnings) {
    struct Spelling {
        std::string text;
        std::size_t subset;
    };
    std::map<std::string, std::vector<Spelling>> names;
    for (std::size_t k = 0; k < subsets.size(); ++k) {
        const nebcm::Configuration& c = *subsets[k].configuration;
        for (std::size_t i = 0; i < c.Count(); ++i) {
            for (std::size_t j = 0; j < c.At(i).FileCount(); ++j) {
                const std::string& path = c.At(i).FileAt(j).Path();
                for (std::string::size_type end = path.find('/');; end = path.find('/', end + 1)) {
                    const std::string name = path.substr(0, end);
                    std::vector<Spelling>& known = names[nebcm::PathIdentity(name)];
                    bool seen = false;
                    for (const Spelling& s : known) {
                        seen = seen || s.text == name;
                    }
                    if (!seen) {
                        known.push_back({name, k + 1});
                    }
                    if (end == std::string::npos) {
                        break;
                    }
                }
            }
        }
    }
    for (const auto& [identity, spellings] : names) {
        for (std::size_t i = 1; i < spellings.size(); ++i) {
            warnings.push_back("'" + spellings[0].text + "' (subset " +
                               std::to_string(spellings[0].subset) + ") and '" + spellings[i].text +
                               "' (subset " + std::to_string(spellings[i].subset) +
                               ") differ only in letter case; Windows takes them for one name");
        }
    }
}

void LongPaths(const nebcm::Configuration& merged, std::vector<std::string>& warnings) {
    const std::string base = TypicalInstallationDirectory;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < merged.Count(); ++i) {
        for (std::size_t j = 0; j < merged.At(i).FileCount(); ++j) {
            const std::string& path = merged.At(i).FileAt(j).Path();
            const std::size_t length = base.size() + path.size();
            if (length + PathMargin > LongestWindowsPath && seen.insert(path).second) {
                warnings.push_back("'" + path + "' is " + std::to_string(length) +
                                   " characters long below " + base + " (Windows opens at most " +
                                   std::to_string(LongestWindowsPath) +
                                   "; a longer installation directory makes it fail)");
            }
        }
    }
}

// Where each surviving definition comes from: the first subset that defines it in the merged
// version, as folding keeps it.
void FirstSupplierWins(const std::vector<Subset>& subsets, const nebcm::Configuration& merged,
                       std::vector<std::string>& warnings) {
    struct Supply {
        std::size_t subset;
        std::string label;
        const nebcm::ArchiveEntry* entry;
    };
    std::map<std::string, std::vector<Supply>> supplies; // path -> who supplies it, in order
    std::vector<std::string> order;
    for (std::size_t i = 0; i < merged.Count(); ++i) {
        const nebcm::Extension& e = merged.At(i);
        std::size_t origin = subsets.size();
        for (std::size_t k = 0; k < subsets.size() && origin == subsets.size(); ++k) {
            const nebcm::Extension* d = subsets[k].configuration->FindExtension(e.Kind(), e.Name());
            if (d != nullptr && d->Version() == e.Version()) {
                origin = k;
            }
        }
        if (origin == subsets.size()) {
            continue;
        }
        for (std::size_t j = 0; j < e.FileCount(); ++j) {
            const std::string& path = e.FileAt(j).Path();
            const nebcm::ArchiveEntry* entry = subsets[origin].archive->Find(path);
            if (entry == nullptr) {
                continue;
            }
            if (supplies.count(path) == 0) {
                order.push_back(path);
            }
            supplies[path].push_back({origin + 1, ExtensionLabel(e), entry});
        }
    }
    for (const std::string& path : order) {
        const std::vector<Supply>& s = supplies[path];
        for (std::size_t i = 1; i < s.size(); ++i) {
            if (s[i].subset != s[0].subset && !nebcm::SameEntryData(*s[i].entry, *s[0].entry)) {
                warnings.push_back(
                    "'" + path + "' comes from subset " + std::to_string(s[0].subset) + " (" +
                    s[0].label + ") and from subset " + std::to_string(s[i].subset) + " (" +
                    s[i].label + ") with different bytes; the set installs subset " +
                    std::to_string(s[0].subset) + "'s and " + s[i].label + " gets it too");
            }
        }
    }
}

} // namespace

bool StrictWarnings(const std::string& set, const nebcm::PlatformSymbols* symbols,
                    std::vector<std::string>& warnings) {
    nebcm::ErrorList errors;
    std::unique_ptr<nebcm::DistributionSet> read =
        nebcm::ReadDistributionSet(set, errors, nullptr, symbols);
    if (!read) {
        warnings.insert(warnings.end(), errors.Messages().begin(), errors.Messages().end());
        return false;
    }
    std::vector<Subset> subsets;
    std::string error;
    if (!ReadSubsets(set, symbols, subsets, error)) {
        warnings.push_back(error);
        return false;
    }
    CaseTwins(subsets, warnings);
    LongPaths(read->MergedConfiguration(), warnings);
    FirstSupplierWins(subsets, read->MergedConfiguration(), warnings);
    return true;
}

int ReportStrictWarnings(const std::string& set,
                         const std::vector<const nebcm::PlatformSymbols*>& passes, int code,
                         std::FILE* err) {
    if (code != 0) {
        return code;
    }
    std::vector<std::string> all;
    for (const nebcm::PlatformSymbols* symbols : passes) {
        std::vector<std::string> warnings;
        if (!StrictWarnings(set, symbols, warnings)) {
            for (const std::string& w : warnings) {
                std::fprintf(err, "nebpack: %s\n", w.c_str());
            }
            return 2;
        }
        for (const std::string& w : warnings) {
            bool seen = false;
            for (const std::string& a : all) {
                seen = seen || a == w;
            }
            if (!seen) {
                all.push_back(w);
            }
        }
    }
    for (const std::string& w : all) {
        std::fprintf(err, "nebpack: warning: %s\n", w.c_str());
    }
    return all.empty() ? 0 : 3;
}

} // namespace nebpack
