// Version and requirement texts: parsing, printing, comparison and satisfaction.
#include <gtest/gtest.h>

#include "model/version.h"

namespace nebcm {
namespace {

std::optional<Version> Parse(const std::string& text, std::size_t* end = nullptr) {
    std::size_t pos = 0;
    std::optional<Version> v = ParseVersion(text, pos);
    if (end) {
        *end = pos;
    }
    return v;
}

TEST(VersionParse, MinorIsHundredths) {
    EXPECT_EQ(Parse("1.5"), Version(1, 5));
    EXPECT_EQ(Parse("1.5")->ToText(), "1.05");
    EXPECT_EQ(Parse("1.05"), Version(1, 5));
    EXPECT_EQ(Parse("1.050")->ToText(), "1.50");
    EXPECT_EQ(Version(10, 40).ToText(), "10.40");
    EXPECT_EQ(Version(2, 5).ToText(), "2.05");
}

TEST(VersionParse, RejectsOutOfRangeAndMalformedTexts) {
    for (const char* bad :
         {"0.99", "1.100", "1.", ".5", "1", "", "-1.00", "+1.00", " 1.00", "1 .00", "2147483648.00",
          "99999999999999999999.00", "1.2147483648", "a.00"}) {
        EXPECT_FALSE(Parse(bad).has_value()) << bad;
    }
    EXPECT_EQ(Parse("2147483647.99"), Version(2147483647, 99));
    EXPECT_EQ(Parse("2147483647.99")->ToText(), "2147483647.99");
}

TEST(VersionParse, StopsBehindTheMinorDigits) {
    std::size_t end = 0;
    EXPECT_EQ(Parse("1.00-x", &end), Version(1, 0));
    EXPECT_EQ(end, 4u);
    EXPECT_EQ(Parse("3.14 ", &end), Version(3, 14));
    EXPECT_EQ(end, 4u);
}

TEST(ParseUnsignedTest, ConsumesEveryDigitEvenOnOverflow) {
    std::size_t pos = 0;
    std::string big = "21474836480x";
    EXPECT_FALSE(ParseUnsigned(big, pos).has_value());
    EXPECT_EQ(pos, 11u);
    pos = 0;
    EXPECT_EQ(ParseUnsigned("0042", pos), 42);
    EXPECT_EQ(pos, 4u);
}

TEST(VersionCompare, ByMajorThenMinor) {
    Version a(1, 0), b(1, 0);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a < b);
    EXPECT_TRUE(a <= b);
    EXPECT_FALSE(a > b);
    EXPECT_TRUE(Version(1, 99) < Version(2, 0));
    EXPECT_TRUE(Version(2, 0) > Version(1, 99));
    EXPECT_TRUE(Version(10, 0) > Version(9, 99));
}

struct ReqCase {
    const char* text;
    bool ok;
    RequirementForm form;
    const char* printed;
    std::size_t end;
};

TEST(RequirementParse, FormsTextsAndPositions) {
    const ReqCase cases[] = {
        {"1.00", true, RequirementForm::Exact, "1.00-1.00", 4},
        {"1.00-1.00", true, RequirementForm::Exact, "1.00-1.00", 9},
        {"1.00-", true, RequirementForm::OrHigher, "1.00-", 5},
        {"-2.00", true, RequirementForm::OrLower, "-2.00", 5},
        {"1.00-2.00", true, RequirementForm::Range, "1.00-2.00", 9},
        {"1.5-1.50", true, RequirementForm::Range, "1.05-1.50", 8},
        {"1.00-x", true, RequirementForm::OrHigher, "1.00-", 5},
        {"1.00 ", true, RequirementForm::Exact, "1.00-1.00", 4},
        {"2.00-1.00", false, RequirementForm::Any, "", 0},
        {"", false, RequirementForm::Any, "", 0},
        {"-", false, RequirementForm::Any, "", 0},
        {"-x", false, RequirementForm::Any, "", 0},
        {"1.00-0.50", false, RequirementForm::Any, "", 0},
        {"1.00-2.", false, RequirementForm::Any, "", 0},
        {"x", false, RequirementForm::Any, "", 0},
    };
    for (const ReqCase& c : cases) {
        std::size_t pos = 0;
        VersionRequirement r;
        bool ok = ParseRequirement(c.text, pos, r);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (ok && c.ok) {
            EXPECT_EQ(r.Form(), c.form) << c.text;
            EXPECT_EQ(r.ToText(), c.printed) << c.text;
            EXPECT_EQ(pos, c.end) << c.text;
            // The printed text parses back to an equal requirement, using all of it.
            std::size_t again = 0;
            VersionRequirement back;
            ASSERT_TRUE(ParseRequirement(r.ToText(), again, back)) << c.text;
            EXPECT_EQ(again, r.ToText().size());
            EXPECT_EQ(back, r) << c.text;
        }
    }
}

TEST(RequirementParse, FailureLeavesTheRequirementAlone) {
    VersionRequirement r(true, Version(3, 0), false, Version());
    std::size_t pos = 0;
    EXPECT_FALSE(ParseRequirement("2.00-1.00", pos, r));
    EXPECT_EQ(r.ToText(), "3.00-");
}

TEST(RequirementSatisfaction, BoundsAreInclusive) {
    VersionRequirement orHigher(true, Version(1, 50), false, Version());
    EXPECT_TRUE(orHigher.IsSatisfiedBy(Version(1, 50)));
    EXPECT_TRUE(orHigher.IsSatisfiedBy(Version(3, 0)));
    EXPECT_FALSE(orHigher.IsSatisfiedBy(Version(1, 49)));

    VersionRequirement range(true, Version(1, 0), true, Version(2, 0));
    EXPECT_TRUE(range.IsSatisfiedBy(Version(1, 0)));
    EXPECT_TRUE(range.IsSatisfiedBy(Version(2, 0)));
    EXPECT_FALSE(range.IsSatisfiedBy(Version(2, 1)));
    EXPECT_FALSE(range.IsSatisfiedBy(Version(0, 99)));

    VersionRequirement orLower(false, Version(), true, Version(2, 0));
    EXPECT_TRUE(orLower.IsSatisfiedBy(Version(1, 0)));
    EXPECT_FALSE(orLower.IsSatisfiedBy(Version(2, 1)));

    VersionRequirement any;
    EXPECT_EQ(any.Form(), RequirementForm::Any);
    EXPECT_EQ(any.ToText(), "");
    EXPECT_TRUE(any.IsSatisfiedBy(Version(1, 0)));
}

} // namespace
} // namespace nebcm
