// Deciding what an extension installation does, before it changes anything: classification,
// external requirements, the files to remove and write, the new configuration, the space needed.
#include <unordered_map>
#include <unordered_set>

#include "common/constants.h"
#include "common/messages.h"
#include "engine/extension_installation.h"
#include "engine/procedure_support.h"
#include "io/streams.h"
#include "model/component_database_writer.h"
#include "model/path_rules.h"

namespace nebcm {

Classification ClassifySelection(const Configuration& installed, const Configuration& offered,
                                 const Selection& selection) {
    Classification result;
    for (std::size_t i = 0; i < offered.Count(); ++i) {
        const Extension& chosen = offered.At(i);
        if (selection.count(&chosen) == 0) {
            continue;
        }
        const Extension* present = installed.FindExtension(chosen.Kind(), chosen.Name());
        if (present != nullptr && present->Version() > chosen.Version()) {
            result.skipped.push_back(ExtensionLine(chosen));
            continue;
        }
        result.install.push_back(&chosen);
        if (present != nullptr) {
            result.replace.insert(present);
        }
    }
    return result;
}

namespace {

// The message for a declaration that the installed configuration does not meet.
std::string UnmetRequirement(const Extension& installing, const ExternalDeclaration& declaration,
                             const std::string& name, const Extension* present) {
    const VersionRequirement& requirement = declaration.Requirement();
    const std::string description = installing.Description();
    const std::string version = installing.Version().ToText();
    const std::string lower = requirement.LowerBound().ToText();
    const std::string upper = requirement.UpperBound().ToText();
    if (present == nullptr) {
        switch (requirement.Form()) {
        case RequirementForm::Exact:
            return Message(12121, description, version, lower, name);
        case RequirementForm::OrLower:
            return Message(12123, description, version, upper, name);
        case RequirementForm::Range:
            return Message(12124, description, version, lower, upper, name);
        case RequirementForm::OrHigher:
        case RequirementForm::Any: // no reader makes one; any version is at least the least
            return Message(12122, description, version, lower, name);
        }
    }
    const std::string installed = present->Version().ToText();
    switch (requirement.Form()) {
    case RequirementForm::Exact:
        return Message(12125, description, version, lower, name, installed, name);
    case RequirementForm::OrLower:
        return Message(12127, description, version, upper, name, installed, name);
    case RequirementForm::Range:
        return Message(12128, description, version, lower, upper, name, installed, name);
    case RequirementForm::OrHigher:
    case RequirementForm::Any:
        break;
    }
    return Message(12126, description, version, lower, name, installed, name);
}

} // namespace

bool CheckExternalRequirements(const Configuration& installed,
                               const std::vector<const Extension*>& install, ErrorList& errors) {
    const std::size_t before = errors.Count();
    for (const Extension* extension : install) {
        for (std::size_t d = 0; d < extension->ExternalCount(); ++d) {
            const ExternalDeclaration& declaration = extension->ExternalAt(d);
            const bool core = declaration.Kind() == ExtensionKind::Core;
            const std::string name = core ? Message(4004) : declaration.DisplayName();
            const Extension* present =
                core ? installed.FindCore()
                     : installed.FindExtension(declaration.Kind(), declaration.Name());
            if (present != nullptr && declaration.Requirement().IsSatisfiedBy(present->Version())) {
                continue;
            }
            errors.Add(UnmetRequirement(*extension, declaration, name, present));
        }
    }
    return errors.Count() == before;
}

FilePlan PlanFileChanges(const Configuration& installed, const Classification& classification) {
    FilePlan plan;
    // Paths compare by the file each names: "lib/XML.jar" and "lib/xml.jar" are one file.
    // Every installed file, and those that an installed extension which stays still lists.
    std::unordered_map<std::string, std::string> installedFiles; // identity -> installed spelling
    std::unordered_set<std::string> keptFiles;
    for (std::size_t i = 0; i < installed.Count(); ++i) {
        const Extension& extension = installed.At(i);
        const bool kept = classification.replace.count(&extension) == 0;
        for (std::size_t f = 0; f < extension.FileCount(); ++f) {
            const std::string identity = PathIdentity(extension.FileAt(f).Path());
            installedFiles.emplace(identity, extension.FileAt(f).Path());
            if (kept) {
                keptFiles.insert(identity);
            }
        }
    }
    // Each file is removed and written once, under the first spelling met.
    std::unordered_set<std::string> removing;
    auto remove = [&](const std::string& path, const std::string& identity) {
        if (removing.insert(identity).second) {
            plan.removal.insert(path);
        }
    };
    for (std::size_t i = 0; i < installed.Count(); ++i) {
        const Extension& replaced = installed.At(i);
        if (classification.replace.count(&replaced) == 0) {
            continue;
        }
        for (std::size_t f = 0; f < replaced.FileCount(); ++f) {
            const std::string& path = replaced.FileAt(f).Path();
            const std::string identity = PathIdentity(path);
            if (keptFiles.count(identity) == 0) {
                remove(path, identity);
            }
        }
    }
    std::unordered_set<std::string> copying;
    for (const Extension* extension : classification.install) {
        for (std::size_t f = 0; f < extension->FileCount(); ++f) {
            const std::string& path = extension->FileAt(f).Path();
            const std::string identity = PathIdentity(path);
            auto present = installedFiles.find(identity);
            if (present != installedFiles.end()) {
                remove(present->second, identity);
            }
            if (copying.insert(identity).second) {
                plan.copy.insert(path);
            }
        }
    }
    return plan;
}

Configuration NewConfiguration(const Configuration& installed, const Classification& classification,
                               const std::string& installationDirectory) {
    Configuration next;
    for (std::size_t i = 0; i < installed.Count(); ++i) {
        if (classification.replace.count(&installed.At(i)) == 0) {
            next.Add(installed.At(i).Clone());
        }
    }
    for (const Extension* extension : classification.install) {
        next.Add(extension->Clone());
    }
    for (std::size_t i = 0; i < next.Count(); ++i) {
        Extension& extension = next.At(i);
        if (extension.Kind() == ExtensionKind::Core) {
            static_cast<Core&>(extension).SetBase(installationDirectory);
        }
        for (std::size_t d = extension.ExternalCount(); d-- > 0;) {
            const ExtensionKind kind = extension.ExternalAt(d).Kind();
            const std::string name = extension.ExternalAt(d).Name();
            extension.RemoveExternal(d);
            extension.AddDependency(std::make_unique<Dependency>(kind, name));
        }
    }
    return next;
}

namespace {

std::uint64_t RoundedUp(std::uint64_t size, std::uint32_t cluster) {
    return (size + cluster - 1) / cluster * cluster;
}

} // namespace

namespace {

// Counts what is written through it and keeps nothing.
class CountingOutput : public DataOutputStream {
public:
    bool IsOpen() const override { return true; }
    void Close() override {}
    void Flush() override {}
    void Write(std::uint8_t) override { ++count_; }
    void Write(const std::uint8_t*, std::uint32_t n) override { count_ += n; }
    using DataOutputStream::Write;
    std::uint64_t Count() const { return count_; }

private:
    std::uint64_t count_ = 0;
};

} // namespace

std::uint64_t DatabaseTextSize(const Configuration& configuration) {
    CountingOutput counter;
    TextWriter text(counter);
    ComponentDatabaseWriter::Write(configuration, text);
    text.Close();
    return counter.Count();
}

std::uint64_t SpaceNeeded(const FilePlan& plan,
                          const std::map<std::string, std::uint64_t>& setSizes,
                          const FileSizeMap& onDisk, std::uint64_t newDatabaseSize,
                          std::uint32_t clusterSize) {
    const std::uint32_t cluster = clusterSize == 0 ? 1 : clusterSize;
    // The disk knows its files under one spelling; the plan may name them under another.
    std::unordered_map<std::string, std::uint64_t> sizes;
    for (const auto& [path, size] : onDisk) {
        sizes.emplace(PathIdentity(path), size);
    }
    auto sizeOnDisk = [&sizes](const std::string& path) -> std::uint64_t {
        auto found = sizes.find(PathIdentity(path));
        return found != sizes.end() ? found->second : 0;
    };
    std::uint64_t need = 0;
    std::unordered_set<std::string> removed;
    for (const std::string& path : plan.removal) {
        removed.insert(PathIdentity(path));
        need += RoundedUp(sizeOnDisk(path), cluster);
    }
    for (const std::string& path : plan.copy) {
        auto found = setSizes.find(path);
        need += RoundedUp(found != setSizes.end() ? found->second : 0, cluster);
        // A file in the way that no installed extension lists is backed up before it is
        // overwritten.
        if (removed.count(PathIdentity(path)) == 0) {
            need += RoundedUp(sizeOnDisk(path), cluster);
        }
    }
    need += RoundedUp(sizeOnDisk(ComponentDatabaseFile), cluster);
    need += RoundedUp(newDatabaseSize, cluster);
    return need;
}

} // namespace nebcm
