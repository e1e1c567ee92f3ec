// Ownership rules of the resource wrappers: exactly one close per resource, whatever moves it.
#include <gtest/gtest.h>
#include <windows.h>

#include <type_traits>
#include <vector>

#include "platform/handles_win32.h"

namespace nebcm::test {
namespace {

std::vector<int> closed;

struct CountingTraits {
    using Type = int;
    static Type Invalid() noexcept { return -1; }
    static void Close(Type value) noexcept { closed.push_back(value); }
};
using Counted = UniqueResource<CountingTraits>;

static_assert(!std::is_copy_constructible<Counted>::value, "one owner only");
static_assert(!std::is_copy_assignable<Counted>::value, "one owner only");
static_assert(std::is_nothrow_move_constructible<Counted>::value, "movable");

TEST(UniqueResource, EachResourceIsClosedExactlyOnce) {
    closed.clear();
    {
        Counted a(1);
        Counted b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), 1);

        Counted c(2);
        c = std::move(b); // closes 2, takes 1
        EXPECT_EQ(closed, std::vector<int>{2});
        Counted& same = c;
        c = std::move(same);
        EXPECT_EQ(c.get(), 1);

        *c.put() = 3; // put closes what was held before handing out the slot
        EXPECT_EQ(closed, (std::vector<int>{2, 1}));

        Counted d(4);
        EXPECT_EQ(d.release(), 4); // given up: never closed here
        Counted none;
        EXPECT_FALSE(none);
    }
    EXPECT_EQ(closed, (std::vector<int>{2, 1, 3}));
}

TEST(UniqueResource, FailureValuesOfTheHandleKindsAreKeptApart) {
    // CreateFile fails with INVALID_HANDLE_VALUE, most other kernel calls with NULL.
    FileHandle file(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(file);
    KernelHandle kernel(nullptr);
    EXPECT_FALSE(kernel);

    KernelHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    HANDLE raw = event.get();
    event.reset();
    EXPECT_FALSE(::SetEvent(raw)) << "the event handle was closed";

    FindHandle find;
    WIN32_FIND_DATAA data;
    *find.put() = ::FindFirstFileA("C:\\*.*", &data);
    EXPECT_TRUE(find);
}

} // namespace
} // namespace nebcm::test
