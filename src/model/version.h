// Extension versions (major.minor in hundredths) and the version requirements of external
// declarations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace nebcm {

class Version {
public:
    Version() = default;
    Version(std::int32_t major, std::int32_t minor) : major_(major), minor_(minor) {}

    std::int32_t Major() const { return major_; }
    std::int32_t Minor() const { return minor_; }

    // "%d.%02d": 2.05, 10.40.
    std::string ToText() const;

    friend bool operator==(const Version& a, const Version& b) {
        return a.major_ == b.major_ && a.minor_ == b.minor_;
    }
    friend bool operator!=(const Version& a, const Version& b) { return !(a == b); }
    friend bool operator<(const Version& a, const Version& b) {
        return a.major_ < b.major_ || (a.major_ == b.major_ && a.minor_ < b.minor_);
    }
    friend bool operator<=(const Version& a, const Version& b) { return !(b < a); }
    friend bool operator>(const Version& a, const Version& b) { return b < a; }
    friend bool operator>=(const Version& a, const Version& b) { return !(a < b); }

private:
    std::int32_t major_ = 1;
    std::int32_t minor_ = 0;
};

// A decimal number without sign or blanks, at most 2147483647; every digit is consumed even on
// overflow. Advances pos.
std::optional<std::int32_t> ParseUnsigned(const std::string& text, std::size_t& pos);

// major '.' minor with major >= 1 and minor 0..99; pos ends just behind the minor's digits.
// The minor is a number of hundredths: 1.5 and 1.05 are the same version.
std::optional<Version> ParseVersion(const std::string& text, std::size_t& pos);

enum class RequirementForm { Exact, Range, OrHigher, OrLower, Any };

class VersionRequirement {
public:
    VersionRequirement() = default;
    VersionRequirement(bool hasLower, const nebcm::Version& lower, bool hasUpper,
                       const nebcm::Version& upper)
        : hasLower_(hasLower), lower_(lower), hasUpper_(hasUpper), upper_(upper) {}

    bool HasLowerBound() const { return hasLower_; }
    const nebcm::Version& LowerBound() const { return lower_; }
    bool HasUpperBound() const { return hasUpper_; }
    const nebcm::Version& UpperBound() const { return upper_; }

    // Both bounds are inclusive.
    bool IsSatisfiedBy(const nebcm::Version& v) const;
    RequirementForm Form() const;
    // "1.00-2.00", "1.00-", "-2.00", an exact requirement as "1.00-1.00", Any as "".
    std::string ToText() const;

    friend bool operator==(const VersionRequirement& a, const VersionRequirement& b);
    friend bool operator!=(const VersionRequirement& a, const VersionRequirement& b) {
        return !(a == b);
    }

private:
    bool hasLower_ = false;
    nebcm::Version lower_;
    bool hasUpper_ = false;
    nebcm::Version upper_;
};

// Parses a requirement starting at pos and leaves pos behind what it consumed; whoever needs the
// whole text checks that pos reached its end. Returns false (requirement untouched) on failure.
bool ParseRequirement(const std::string& text, std::size_t& pos, VersionRequirement& requirement);

// The same requirement syntax over another version syntax (the older database dialect writes a
// version as one number).
using VersionParser = std::optional<Version> (*)(const std::string& text, std::size_t& pos);
bool ParseRequirement(const std::string& text, std::size_t& pos, VersionRequirement& requirement,
                      VersionParser parseVersion);

} // namespace nebcm
