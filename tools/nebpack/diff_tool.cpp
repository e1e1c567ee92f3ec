// Set comparison: both merged configurations side by side, extension by extension and file by
// file.
#include "diff_tool.h"

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "common/error_list.h"
#include "distribution/distribution_set.h"
#include "io/archive.h"
#include "platforms.h"
#include "progress.h"

namespace nebpack {

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string Listed(const std::vector<std::string>& items) {
    if (items.empty()) {
        return "(none)";
    }
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : ", ") + item;
    }
    return out;
}

std::vector<std::string> Dependencies(const nebcm::Extension& e) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < e.DependencyCount(); ++i) {
        out.push_back(e.DependencyAt(i).ToText());
    }
    return out;
}

std::vector<std::string> Requirements(const nebcm::Extension& e) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < e.ExternalCount(); ++i) {
        out.push_back(e.ExternalAt(i).ToText());
    }
    return out;
}

// The extra setting of a core or component.
std::string Special(const nebcm::Extension& e, const char*& name) {
    if (const auto* core = dynamic_cast<const nebcm::Core*>(&e)) {
        name = "Java dispatcher";
        return core->JavaDispatcher();
    }
    if (const auto* component = dynamic_cast<const nebcm::Component*>(&e)) {
        name = "service class";
        return component->ServiceClass();
    }
    name = nullptr;
    return std::string();
}

std::map<std::string, std::string> Shortcuts(const nebcm::Extension& e) {
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; i < e.FileCount(); ++i) {
        out[e.FileAt(i).Path()] = e.FileAt(i).Shortcut();
    }
    return out;
}

void CompareDefinitions(const nebcm::Extension& a, const nebcm::Extension& b,
                        std::vector<std::string>& lines) {
    const std::string head = "changed " + ExtensionLabel(b) + ": ";
    const auto text = [&](const char* what, const std::string& x, const std::string& y) {
        if (x != y) {
            lines.push_back(head + what + " " + Quoted(x) + " -> " + Quoted(y));
        }
    };
    text("description", a.Description(), b.Description());
    text("copyright", a.Copyright(), b.Copyright());
    text("package", a.Package(), b.Package());
    const char* specialA = nullptr;
    const char* specialB = nullptr;
    const std::string x = Special(a, specialA);
    const std::string y = Special(b, specialB);
    if (specialA != nullptr && specialB != nullptr) {
        text(specialA, x, y);
    }
    if (Dependencies(a) != Dependencies(b)) {
        lines.push_back(head + "dependencies " + Listed(Dependencies(a)) + " -> " +
                        Listed(Dependencies(b)));
    }
    if (Requirements(a) != Requirements(b)) {
        lines.push_back(head + "requirements " + Listed(Requirements(a)) + " -> " +
                        Listed(Requirements(b)));
    }
    const std::map<std::string, std::string> before = Shortcuts(a);
    for (const auto& [path, shortcut] : Shortcuts(b)) {
        auto found = before.find(path);
        if (found != before.end() && found->second != shortcut) {
            lines.push_back(head + "shortcut of " + path + " " +
                            (found->second.empty() ? "(none)" : Quoted(found->second)) + " -> " +
                            (shortcut.empty() ? "(none)" : Quoted(shortcut)));
        }
    }
}

std::unique_ptr<nebcm::DistributionSet>
Read(const std::string& set, const nebcm::PlatformSymbols* symbols, std::FILE* err) {
    nebcm::ErrorList errors;
    std::unique_ptr<nebcm::DistributionSet> read =
        nebcm::ReadDistributionSet(set, errors, CurrentProgress(), symbols);
    if (!read) {
        std::fprintf(err,
                     "nebpack: '%s' cannot be compared, as the configuration manager "
                     "rejects it:\n",
                     set.c_str());
        for (const std::string& m : errors.Messages()) {
            std::fprintf(err, "%s\n", m.c_str());
        }
    }
    return read;
}

// Which extension of a configuration brings a file, for the file lines.
std::map<std::string, std::string> Owners(const nebcm::Configuration& c) {
    std::map<std::string, std::string> out;
    for (std::size_t i = 0; i < c.Count(); ++i) {
        for (std::size_t j = 0; j < c.At(i).FileCount(); ++j) {
            out.emplace(c.At(i).FileAt(j).Path(), ExtensionLabel(c.At(i)));
        }
    }
    return out;
}

} // namespace

int DiffSets(const std::string& oldSet, const std::string& newSet,
             const nebcm::PlatformSymbols* symbols, std::FILE* out, std::FILE* err) {
    const std::unique_ptr<nebcm::DistributionSet> a = Read(oldSet, symbols, err);
    if (!a) {
        return 2;
    }
    const std::unique_ptr<nebcm::DistributionSet> b = Read(newSet, symbols, err);
    if (!b) {
        return 2;
    }
    const nebcm::Configuration& before = a->MergedConfiguration();
    const nebcm::Configuration& after = b->MergedConfiguration();
    std::vector<std::string> lines;

    // Extensions: the old set's order, then what the new one adds in its order.
    for (std::size_t i = 0; i < before.Count(); ++i) {
        const nebcm::Extension& e = before.At(i);
        const nebcm::Extension* f = after.FindExtension(e.Kind(), e.Name());
        const std::string label = ExtensionLabel(e);
        if (f == nullptr) {
            lines.push_back("removed " + label + " " + e.Version().ToText());
            continue;
        }
        if (e.Version() < f->Version()) {
            lines.push_back("upgraded " + label + " " + e.Version().ToText() + " -> " +
                            f->Version().ToText());
        } else if (f->Version() < e.Version()) {
            lines.push_back("downgraded " + label + " " + e.Version().ToText() + " -> " +
                            f->Version().ToText());
        }
        CompareDefinitions(e, *f, lines);
    }
    for (std::size_t i = 0; i < after.Count(); ++i) {
        const nebcm::Extension& f = after.At(i);
        if (before.FindExtension(f.Kind(), f.Name()) == nullptr) {
            lines.push_back("added " + ExtensionLabel(f) + " " + f.Version().ToText());
        }
    }

    // Files, by path, whichever extension brings them.
    const std::map<std::string, std::uint64_t> oldFiles = a->EntrySizes();
    const std::map<std::string, std::uint64_t> newFiles = b->EntrySizes();
    const std::map<std::string, std::string> oldOwners = Owners(before);
    const std::map<std::string, std::string> newOwners = Owners(after);
    std::set<std::string> paths;
    for (const auto& [path, size] : oldFiles) {
        paths.insert(path);
    }
    for (const auto& [path, size] : newFiles) {
        paths.insert(path);
    }
    for (const std::string& path : paths) {
        const nebcm::ArchiveEntry* x = a->FindEntry(path);
        const nebcm::ArchiveEntry* y = b->FindEntry(path);
        if (y == nullptr) {
            lines.push_back("file removed " + path + " (" + oldOwners.at(path) + ")");
        } else if (x == nullptr) {
            lines.push_back("file added " + path + " (" + newOwners.at(path) + ")");
        } else if (!nebcm::SameEntryData(*x, *y)) {
            lines.push_back("file changed " + path + " (" + newOwners.at(path) + ", " +
                            std::to_string(x->Size()) + " -> " + std::to_string(y->Size()) +
                            " bytes)");
        }
    }
    EndProgress();
    for (const std::string& line : lines) {
        std::fprintf(out, "%s\n", line.c_str());
    }
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "nebpack: cannot write the result\n");
        return 2;
    }
    return lines.empty() ? 0 : 1;
}

} // namespace nebpack
