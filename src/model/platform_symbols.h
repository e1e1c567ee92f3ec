// The platform symbols that preprocessor conditions of a component database test: which Windows
// and which processor the database is being installed on.
#pragma once

#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "platform/machine_info.h"

namespace nebcm {

// A set of defined symbol names; names compare exactly and case-sensitively. A name that is not
// in the set is undefined (false), whether or not it belongs to the known vocabulary.
class PlatformSymbols {
public:
    PlatformSymbols() = default;
    PlatformSymbols(std::initializer_list<std::string> names) : names_(names) {}
    explicit PlatformSymbols(const std::vector<std::string>& names)
        : names_(names.begin(), names.end()) {}

    // Names separated by ',', blanks around each removed, empty names ignored: "WinXP, Pentium".
    static PlatformSymbols FromList(const std::string& list);

    void Add(const std::string& name) { names_.insert(name); }
    bool Contains(const std::string& name) const { return names_.count(name) != 0; }
    std::size_t Count() const { return names_.size(); }
    // The names in ascending byte order.
    std::vector<std::string> Names() const { return {names_.begin(), names_.end()}; }

    friend bool operator==(const PlatformSymbols& a, const PlatformSymbols& b) {
        return a.names_ == b.names_;
    }

private:
    std::set<std::string> names_;
};

// Every symbol name that ComputePlatformSymbols can produce.
const std::vector<std::string>& KnownPlatformSymbols();

// The symbols of a machine with these processor and version facts.
PlatformSymbols ComputePlatformSymbols(const MachineInfo& info);

// The symbols of the running machine; an empty set where the system cannot be asked.
PlatformSymbols MachinePlatformSymbols();

} // namespace nebcm
