#include <gtest/gtest.h>

#include <cstdio>

// Test executables use the wide entry point like the program (-municode).
// ctest counts a skipped test as passed and shows no output of a passing
// suite: a skip fails the suite instead, so that it is seen, and the count
// is printed either way for the run's summary.
int wmain(int argc, wchar_t** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const int skipped = ::testing::UnitTest::GetInstance()->skipped_test_count();
    std::printf("skipped: %d\n", skipped);
    std::fflush(stdout);
    return (result != 0 || skipped > 0) ? 1 : 0;
}
