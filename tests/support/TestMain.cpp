#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{
// The failed assertions again, after gtest's own summary: a long suite's
// output is often seen only by its end (a CI log cut in the middle), and
// there the names of the failed tests alone do not say what went wrong.
void PrintFailuresAgain()
{
    const ::testing::UnitTest& unit = *::testing::UnitTest::GetInstance();
    for (int s = 0; s < unit.total_test_suite_count(); ++s)
    {
        const ::testing::TestSuite& suite = *unit.GetTestSuite(s);
        for (int t = 0; t < suite.total_test_count(); ++t)
        {
            const ::testing::TestInfo& info = *suite.GetTestInfo(t);
            const ::testing::TestResult& result = *info.result();
            if (!result.Failed())
                continue;
            std::printf("failed: %s.%s (%lld ms)\n", suite.name(), info.name(),
                        static_cast<long long>(result.elapsed_time()));
            for (int p = 0; p < result.total_part_count(); ++p)
            {
                const ::testing::TestPartResult& part = result.GetTestPartResult(p);
                if (!part.failed())
                    continue;
                std::string text = part.summary();
                constexpr std::size_t kMost = 600;
                if (text.size() > kMost)
                    text = text.substr(0, kMost) + " [...]";
                for (char& c : text)
                    if (c == '\n' || c == '\r')
                        c = ' ';
                std::printf("  %s:%d: %s\n", part.file_name() != nullptr ? part.file_name() : "?",
                            part.line_number(), text.c_str());
            }
        }
    }
}
} // namespace

// Test executables use the wide entry point like the program (-municode).
// ctest counts a skipped test as passed and shows no output of a passing
// suite: a skip fails the suite instead, so that it is seen, and the count
// is printed either way for the run's summary.
int wmain(int argc, wchar_t** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    PrintFailuresAgain();
    const int skipped = ::testing::UnitTest::GetInstance()->skipped_test_count();
    std::printf("skipped: %d\n", skipped);
    std::fflush(stdout);
    return (result != 0 || skipped > 0) ? 1 : 0;
}
