// Version and requirement parsing, printing and comparison.
#include "model/version.h"

#include "common/messages.h"

namespace nebcm {

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::string Version::ToText() const {
    return FormatText("%d.%02d", major_, minor_);
}

std::optional<std::int32_t> ParseUnsigned(const std::string& text, std::size_t& pos) {
    if (pos >= text.size() || !IsDigit(text[pos])) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    bool overflow = false;
    while (pos < text.size() && IsDigit(text[pos])) {
        if (!overflow) {
            value = value * 10 + (text[pos] - '0');
            if (value > 2147483647) {
                overflow = true;
            }
        }
        ++pos;
    }
    if (overflow) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

std::optional<Version> ParseVersion(const std::string& text, std::size_t& pos) {
    std::optional<std::int32_t> major = ParseUnsigned(text, pos);
    if (!major) {
        return std::nullopt;
    }
    if (pos >= text.size() || text[pos] != '.') {
        return std::nullopt;
    }
    ++pos;
    std::optional<std::int32_t> minor = ParseUnsigned(text, pos);
    if (!minor) {
        return std::nullopt;
    }
    if (*major < 1 || *minor > 99) {
        return std::nullopt;
    }
    return Version(*major, *minor);
}

bool VersionRequirement::IsSatisfiedBy(const nebcm::Version& v) const {
    if (hasLower_ && v < lower_) {
        return false;
    }
    if (!hasUpper_) {
        return true;
    }
    return !(v > upper_);
}

RequirementForm VersionRequirement::Form() const {
    if (hasLower_ && hasUpper_) {
        return lower_ == upper_ ? RequirementForm::Exact : RequirementForm::Range;
    }
    if (hasLower_) {
        return RequirementForm::OrHigher;
    }
    if (hasUpper_) {
        return RequirementForm::OrLower;
    }
    return RequirementForm::Any;
}

std::string VersionRequirement::ToText() const {
    switch (Form()) {
    case RequirementForm::Exact:
    case RequirementForm::Range:
        return lower_.ToText() + "-" + upper_.ToText();
    case RequirementForm::OrHigher:
        return lower_.ToText() + "-";
    case RequirementForm::OrLower:
        return "-" + upper_.ToText();
    case RequirementForm::Any:
        break;
    }
    return std::string();
}

bool operator==(const VersionRequirement& a, const VersionRequirement& b) {
    return a.hasLower_ == b.hasLower_ && a.hasUpper_ == b.hasUpper_ &&
           (!a.hasLower_ || a.lower_ == b.lower_) && (!a.hasUpper_ || a.upper_ == b.upper_);
}

bool ParseRequirement(const std::string& text, std::size_t& pos, VersionRequirement& requirement) {
    return ParseRequirement(text, pos, requirement, &ParseVersion);
}

bool ParseRequirement(const std::string& text, std::size_t& pos, VersionRequirement& requirement,
                      VersionParser parseVersion) {
    if (pos >= text.size()) {
        return false;
    }
    if (text[pos] == '-') {
        ++pos;
        std::optional<Version> upper = parseVersion(text, pos);
        if (!upper) {
            return false;
        }
        requirement = VersionRequirement(false, Version(), true, *upper);
        return true;
    }
    std::optional<Version> lower = parseVersion(text, pos);
    if (!lower) {
        return false;
    }
    if (pos >= text.size() || text[pos] != '-') {
        requirement = VersionRequirement(true, *lower, true, *lower);
        return true;
    }
    ++pos;
    if (pos >= text.size() || !IsDigit(text[pos])) {
        // Nothing or something else behind the '-': lower bound only, pos stays on that character.
        requirement = VersionRequirement(true, *lower, false, Version());
        return true;
    }
    std::optional<Version> upper = parseVersion(text, pos);
    if (!upper || *lower > *upper) {
        return false;
    }
    requirement = VersionRequirement(true, *lower, true, *upper);
    return true;
}

} // namespace nebcm
