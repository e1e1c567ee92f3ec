// Absolute paths made from text alone, and file sizes of what can be opened.
#include <gtest/gtest.h>

#include <string>

#include "platform/file_info.h"
#include "set_builder.h"
#include "support/scratch_dir.h"

namespace nebcm {
namespace {

using namespace nebcm::testing;

TEST(FileInfo, AbsolutePathsFoldDotsWithoutTouchingTheDisk) {
#ifdef _WIN32
    const char* cases[][2] = {
        {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
        {"C:\\a\\b\\..\\..\\..\\x.nds", "C:\\x.nds"},
        {"C:/a/missing dir/../set.nds", "C:\\a\\set.nds"},
    };
#else
    const char* cases[][2] = {
        {"/a/./b/../c", "/a/c"},
        {"/a/b/../../../x.nds", "/x.nds"},
        {"//a///missing dir/../set.nds", "/a/set.nds"},
        {"/", "/"},
    };
#endif
    for (const auto& c : cases) {
        EXPECT_EQ(AbsolutePath(c[0]), c[1]) << c[0];
    }
    // A relative path is taken from the current directory.
    const std::string here = AbsolutePath(".");
    EXPECT_EQ(AbsolutePath("x.nds"), here + ScratchDir::Separator() + "x.nds");
    EXPECT_EQ(AbsolutePath(""), "");
}

TEST(FileInfo, SizesOfFilesOnly) {
    ScratchDir work;
    work.Write("seven", "1234567");
    work.Write("empty", "");
    std::uint64_t size = 99;
    EXPECT_TRUE(QueryFileLength(work.File("seven"), size));
    EXPECT_EQ(size, 7u);
    EXPECT_TRUE(QueryFileLength(work.File("empty"), size));
    EXPECT_EQ(size, 0u);
    ASSERT_TRUE(MakeFileOfSize(work.File("big"), (std::uint64_t{1} << 32) + 5));
    EXPECT_TRUE(QueryFileLength(work.File("big"), size));
    EXPECT_EQ(size, (std::uint64_t{1} << 32) + 5) << "sizes beyond 4 GB in 64 bits";
    size = 99;
    EXPECT_FALSE(QueryFileLength(work.File("missing"), size));
    EXPECT_FALSE(QueryFileLength(work.Path(), size)) << "a directory has no file size";
    EXPECT_EQ(size, 99u);
}

} // namespace
} // namespace nebcm
