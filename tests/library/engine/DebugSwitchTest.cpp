// The debug switch: the environment report comes first, then the recent debug
// lines kept while debug logging was off.

#include <gtest/gtest.h>

#include <string>

#include "Debug.h"
#include "EngineTestSupport.h"
#include "Logger.h"

using namespace enginetest;

namespace
{
class DebugSwitchTest : public ::testing::Test
{
protected:
    void SetUp() override { m_debug = CLogger::DebugEnabled(); }
    void TearDown() override { CLogger::EnableDebug(m_debug); }
    bool m_debug = false;
};
}

TEST_F(DebugSwitchTest, SwitchingOnWritesTheEnvironmentAndThenTheQueuedLines)
{
    SetDebug(false, L"test");
    CLogger::LogDebug(L"DebugSwitchTest queued line %d", 42);
    const size_t at = LogSize();

    SetDebug(true, L"the test");
    EXPECT_TRUE(GetDebug());
    const std::string log = LogSince(at);
    const size_t enabling = log.find("Enabling extra debug logging (from the test). Brindlemap v2.20.5 (x64). Hook Timeout: ");
    const size_t dpi = log.find("DPI (X,Y)");
    const size_t speed = log.find("Current mouse cursor speed=");
    const size_t flushing = log.find("recent lines of debug log...");
    const size_t queued = log.find("DebugSwitchTest queued line 42");
    ASSERT_NE(enabling, std::string::npos) << log;
    ASSERT_NE(dpi, std::string::npos) << log;
    ASSERT_NE(speed, std::string::npos) << log;
    ASSERT_NE(queued, std::string::npos) << log;
    ASSERT_NE(flushing, std::string::npos) << log;
    EXPECT_LT(enabling, dpi);
    EXPECT_LT(dpi, speed);
    EXPECT_LT(speed, flushing) << "the environment comes before the flushed queue";
    EXPECT_LT(flushing, queued);
}

TEST_F(DebugSwitchTest, TheValueAlreadyInForceWritesNothingAndChangesNothing)
{
    for (bool on : {true, false})
    {
        SetDebug(on, L"first");
        const size_t at = LogSize();
        SetDebug(on, L"again");
        EXPECT_EQ(GetDebug(), on);
        const std::string log = LogSince(at);
        EXPECT_EQ(log.find("extra debug logging"), std::string::npos) << log;
    }
}

TEST_F(DebugSwitchTest, SwitchingOffNamesTheCause)
{
    SetDebug(true, L"on");
    const size_t at = LogSize();
    SetDebug(false, L"hotkey");
    EXPECT_FALSE(GetDebug());
    EXPECT_NE(LogSince(at).find("Disabling extra debug logging (from hotkey)."), std::string::npos);
}
