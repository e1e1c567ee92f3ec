// Configuration checks: duplicates, unresolved dependencies, file conflicts and the core's rules.
#include "model/validator.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/messages.h"
#include "model/path_rules.h"

namespace nebcm {

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

namespace {

// The spellings of one path met so far: the first, and the first one that differs from it.
// Any earlier spelling that differs from a given one is found among these two.
struct Spellings {
    const std::string* first;
    const std::string* second;
};

using NameSet = std::unordered_set<std::string_view>;

int KindSlot(ExtensionKind kind) {
    switch (kind) {
    case ExtensionKind::Library:
        return 0;
    case ExtensionKind::Component:
        return 1;
    case ExtensionKind::Application:
        return 2;
    case ExtensionKind::Core:
        break;
    }
    return -1;
}

void CheckFields(const Configuration& config, ErrorList& errors) {
    for (std::size_t i = 0; i < config.Count(); ++i) {
        const Extension& e = config.At(i);
        if (e.Name().empty()) {
            errors.Add(Message(12001));
        }
        if (e.Description().empty()) {
            errors.Add(Message(12016, e.Name()));
        }
        if (e.Copyright().empty()) {
            errors.Add(Message(12017, e.Name()));
        }
        if (e.Package().empty()) {
            errors.Add(Message(12018, e.Name()));
        }
        if (!IsValidPackageName(e.Package())) {
            errors.Add(Message(12009, e.Package()));
        }
    }
    for (std::size_t i = 0; i < config.Count(); ++i) {
        if (config.At(i).FileCount() == 0) {
            errors.Add(Message(12046, config.At(i).Name()));
        }
    }
    for (std::size_t i = 0; i < config.Count(); ++i) {
        const Extension& e = config.At(i);
        for (std::size_t f = 0; f < e.FileCount(); ++f) {
            if (!IsValidRelativePath(e.FileAt(f).Path())) {
                errors.Add(Message(12010, e.FileAt(f).Path()));
            }
        }
    }
}

// Fills names[slot] with the names of each non-core kind, reporting every repeated definition.
std::size_t CheckDefinitions(const Configuration& config, NameSet names[3], ErrorList& errors) {
    static const int duplicateMessage[3] = {12034, 12035, 12036};
    std::size_t cores = 0;
    for (std::size_t i = 0; i < config.Count(); ++i) {
        if (config.At(i).Kind() == ExtensionKind::Core) {
            ++cores;
        }
    }
    if (cores > 1) {
        errors.Add(Message(12033));
    }
    for (std::size_t i = 0; i < config.Count(); ++i) {
        const Extension& e = config.At(i);
        int slot = KindSlot(e.Kind());
        if (slot >= 0 && !names[slot].insert(e.Name()).second) {
            errors.Add(Message(duplicateMessage[slot], e.Name()));
        }
    }
    return cores;
}

void CheckFiles(const Configuration& config, ErrorList& errors) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < config.Count(); ++i) {
        total += config.At(i).FileCount();
    }
    // Keyed by the identity under which the file system knows the path, so that spellings which
    // Windows would open as one file are one path here.
    std::unordered_map<std::string, Spellings> seen;
    seen.reserve(total);
    std::unordered_set<std::string_view> inExtension;
    for (std::size_t i = 0; i < config.Count(); ++i) {
        const Extension& e = config.At(i);
        inExtension.clear();
        for (std::size_t f = 0; f < e.FileCount(); ++f) {
            const std::string& path = e.FileAt(f).Path();
            if (!inExtension.insert(path).second) {
                errors.Add(Message(12037, path));
            }
            auto [it, inserted] = seen.try_emplace(PathIdentity(path), Spellings{&path, nullptr});
            if (inserted) {
                continue;
            }
            Spellings& s = it->second;
            if (*s.first != path) {
                errors.Add(Message(12038, path, *s.first));
                if (s.second == nullptr) {
                    s.second = &path;
                }
            } else if (s.second != nullptr) {
                // This spelling came first, but another one has been included since: name that
                // one rather than the path itself.
                errors.Add(Message(12038, path, *s.second));
            }
        }
    }
}

void CheckReferences(const Configuration& config, const NameSet names[3], bool hasCore,
                     ErrorList& errors) {
    static const int undefinedMessage[3] = {12039, 12040, 12041};
    static const int definedMessage[3] = {12043, 12044, 12045};
    for (std::size_t i = 0; i < config.Count(); ++i) {
        const Extension& e = config.At(i);
        for (std::size_t d = 0; d < e.DependencyCount(); ++d) {
            const Dependency& dep = e.DependencyAt(d);
            int slot = KindSlot(dep.Kind());
            if (slot >= 0 && names[slot].count(dep.Name()) == 0) {
                errors.Add(Message(undefinedMessage[slot], dep.Name()));
            }
        }
    }
    for (std::size_t i = 0; i < config.Count(); ++i) {
        const Extension& e = config.At(i);
        for (std::size_t x = 0; x < e.ExternalCount(); ++x) {
            const ExternalDeclaration& ext = e.ExternalAt(x);
            if (ext.Kind() == ExtensionKind::Core) {
                if (hasCore) {
                    errors.Add(Message(12042));
                }
                continue;
            }
            int slot = KindSlot(ext.Kind());
            if (slot >= 0 && names[slot].count(ext.Name()) != 0) {
                errors.Add(Message(definedMessage[slot], ext.Name()));
            }
        }
    }
}

} // namespace

bool Configuration::Validate(ErrorList& errors) const {
    std::size_t before = errors.Count();
    CheckFields(*this, errors);
    NameSet names[3];
    std::size_t cores = CheckDefinitions(*this, names, errors);
    CheckFiles(*this, errors);
    CheckReferences(*this, names, cores > 0, errors);
    if (const Core* core = FindCore()) {
        if (!core->ContainsFile(core->JavaDispatcher())) {
            errors.Add(Message(12026, core->JavaDispatcher()));
        }
    }
    return errors.Count() == before;
}

bool CheckFilePaths(const Configuration& configuration, ErrorList& errors) {
    const std::size_t before = errors.Count();
    CheckFiles(configuration, errors);
    return errors.Count() == before;
}

bool CheckInstalledCore(const Configuration& configuration,
                        const std::string& installationDirectory, ErrorList& errors) {
    const Core* core = configuration.FindCore();
    if (core == nullptr) {
        errors.Add(Message(12047));
        return false;
    }
    if (!EqualIgnoringCase(core->Base(), installationDirectory)) {
        errors.Add(Message(12048, core->Base(), installationDirectory));
        return false;
    }
    return true;
}

} // namespace nebcm
