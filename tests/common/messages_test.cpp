// The message catalog holds every number with its exact text, and formatting fills it in.
#include <gtest/gtest.h>

#include <set>

#include "common/error_list.h"
#include "common/messages.h"
#include "common/procedure_result.h"

namespace nebcm {
namespace {

TEST(MessageCatalog, CoversEveryRangeWithoutGapsOrRepeats) {
    std::size_t count = 0;
    const MessageEntry* table = MessageCatalog(&count);
    std::set<int> ids;
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_TRUE(ids.insert(table[i].id).second) << "repeated " << table[i].id;
        EXPECT_NE(std::string(table[i].text), "") << table[i].id;
        if (i > 0) {
            EXPECT_LT(table[i - 1].id, table[i].id) << "catalog must be sorted";
        }
    }
    struct Range {
        int first, last;
    };
    const Range ranges[] = {{1000, 1001},   {2000, 2007},   {3000, 3013},   {3500, 3504},
                            {4000, 4008},   {10000, 10021}, {11000, 11008}, {12000, 12048},
                            {12100, 12111}, {12113, 12128}, {12500, 12506}, {13000, 13002},
                            {13010, 13014}, {13020, 13021}, {13030, 13049}, {13070, 13071}};
    std::size_t expected = 3; // 11200, 11300, 11500
    for (const Range& r : ranges) {
        for (int id = r.first; id <= r.last; ++id) {
            EXPECT_TRUE(ids.count(id)) << "missing " << id;
            ++expected;
        }
    }
    for (int id : {11200, 11300, 11500}) {
        EXPECT_TRUE(ids.count(id)) << "missing " << id;
    }
    EXPECT_EQ(count, expected);
}

TEST(MessageCatalog, TextsAreExactIncludingTheirTypos) {
    EXPECT_STREQ(MessageText(1001), "%c: [%s] %s free");
    EXPECT_STREQ(MessageText(2000),
                 "Text files (*.txt)|*.txt|Log files (*.log)|*.log|All files (*.*)|*.*||");
    EXPECT_STREQ(MessageText(3500), "%d%% complete");
    EXPECT_STREQ(MessageText(4003), "More information");
    EXPECT_STREQ(MessageText(4004), "NEB Core");
    EXPECT_STREQ(MessageText(10003), "Cannot restore the file '%s' from '%s'");
    EXPECT_STREQ(MessageText(11008),
                 "The '#elseif' directive cannot be specified after '#else' clause");
    EXPECT_STREQ(MessageText(11200), "Cannot determine the Start menu mirror path");
    EXPECT_STREQ(MessageText(12000), "Section header extected, found '%s' instead");
    // The product's own word in these three, kept as it was written.
    EXPECT_STREQ(MessageText(12014), "Invalid external dependency specification '%s'");
    EXPECT_STREQ(MessageText(12025), "The Java dispatcher specification is missing");
    EXPECT_STREQ(MessageText(12028), "The component service class specification is missing");
    EXPECT_STREQ(MessageText(12011), "The Java dispatrcher is specified more than once");
    EXPECT_STREQ(MessageText(12107), "The subset %d of the NEB Distribution Set '%s' does not have "
                                     "the embedded NEB Component Database 'neb.cdb'");
    EXPECT_STREQ(MessageText(12128),
                 "The %s version %s you are installing requires version %s..%s of %s. Version %s "
                 "of %s is currently installed");
    EXPECT_STREQ(MessageText(12501),
                 "The NEB 2.0 Configuration Manager cannot find the NEB Distribution Set\n%s");
    EXPECT_STREQ(MessageText(12506), "%s free space is required on drive %c: for installation. "
                                     "Only %s is currently available");
    EXPECT_STREQ(MessageText(12112), "");
    EXPECT_STREQ(MessageText(0), "");
}

TEST(MessageFormatting, FillsTextsNumbersAndCharacters) {
    EXPECT_EQ(Message(12010, std::string("a/../b")), "Invalid file name 'a/../b'");
    EXPECT_EQ(Message(3500, 42), "42% complete");
    EXPECT_EQ(Message(1001, 'C', "DATA", std::string("1.5 GB")), "C: [DATA] 1.5 GB free");
    EXPECT_EQ(Message(12107, 2, "x.nds"),
              "The subset 2 of the NEB Distribution Set 'x.nds' does not have the embedded NEB "
              "Component Database 'neb.cdb'");
    EXPECT_EQ(Message(4004), "NEB Core");
    // Long arguments are not cut off.
    std::string longPath(5000, 'p');
    EXPECT_EQ(Message(10002, longPath), "Cannot delete the file '" + longPath + "'");
    // A percent sign inside an argument is data, not a format.
    EXPECT_EQ(Message(10002, "%s%n"), "Cannot delete the file '%s%n'");
}

TEST(ErrorListTest, KeepsOrderAndShowsRepeatsOnce) {
    ErrorList list;
    list.Add("b");
    list.Add("a");
    list.Add("b");
    ErrorList rollback;
    rollback.Add("c");
    list.Append(rollback);
    EXPECT_EQ(list.Count(), 4u);
    EXPECT_EQ(list.At(3), "c");
    EXPECT_EQ(list.Distinct(), (std::vector<std::string>{"b", "a", "c"}));
}

TEST(ProcedureResultTest, UnknownValuesCountAsCancelled) {
    EXPECT_EQ(NormalizeResult(1), ProcedureResult::Succeeded);
    EXPECT_EQ(NormalizeResult(2), ProcedureResult::Failed);
    EXPECT_EQ(NormalizeResult(3), ProcedureResult::Cancelled);
    EXPECT_EQ(NormalizeResult(0), ProcedureResult::Cancelled);
    EXPECT_EQ(NormalizeResult(12325), ProcedureResult::Cancelled);
}

} // namespace
} // namespace nebcm
