// Test entry point shared by every test executable.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    // A filter that matches nothing (a renamed scenario) must not pass as an empty success.
    if (testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
        std::fprintf(stderr, "no test matched\n");
        return 1;
    }
    return result;
}
