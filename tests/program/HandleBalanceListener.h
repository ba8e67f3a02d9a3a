#pragma once
// Included once per program suite: every test must give back the handles its
// owners took (the program's owners count them; Wine shows neither leaks nor
// double frees by itself).

#include <gtest/gtest.h>

#include <memory>

#include "HandleCountCheck.h"

namespace brmptest
{
class HandleBalanceListener : public ::testing::EmptyTestEventListener
{
public:
    void OnTestStart(const ::testing::TestInfo&) override { m_check = std::make_unique<HandleCountCheck>(); }
    void OnTestEnd(const ::testing::TestInfo& test) override
    {
        if (m_check && !test.result()->Skipped())
        {
            const ::testing::AssertionResult balanced = m_check->Balanced();
            if (!balanced)
                ADD_FAILURE() << test.test_suite_name() << "." << test.name()
                              << " did not give back its handles: " << balanced.message();
        }
        m_check.reset();
    }

private:
    std::unique_ptr<HandleCountCheck> m_check;
};

[[maybe_unused]] static const bool g_handleBalanceListener = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new HandleBalanceListener);
    return true;
}();
}
