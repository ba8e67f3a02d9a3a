// End to end: a button mapped to simulated keys types them into the focused
// window through the real hooks and the real send-input thread.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "ButtonProcessing.h"
#include "EngineTestSupport.h"
#include "HookedProbeTest.h"
#include "Globals.h"
#include "HeldInput.h"
#include "Hooks.h"
#include "LayerTestSupport.h"
#include "Probe.h"

using brmptest::Named;

namespace
{
class ButtonEndToEnd : public enginetest::HookedProbeTest
{
protected:
    ButtonEndToEnd() : HookedProbeTest(false) {}

    void SetUp() override
    {
        HookedProbeTest::SetUp();
        if (HasFatalFailure())
            return;
        g_held.Forget();
    }

    int Button(int button, int kind)
    {
        BYTE fixUp = 0, block = 0, click = 0;
        // The window check is skipped: the test's profile is in force for any window.
        return ProcessButton(button, kind, true, m_probe->Center(), fixUp, block, click);
    }
    std::wstring Typed()
    {
        std::wstring text;
        for (const auto& record : m_probe->Records(Named(L"WM_CHAR")))
            text += static_cast<wchar_t>(record.Value(L"char"));
        return text;
    }
};

TEST_F(ButtonEndToEnd, ARightButtonMappedToKeysTypesThemIntoTheFocusedWindow)
{
    CApplicationSettings* profile = m_guard->Profile();
    profile->SetActions(1, 0, ACTION_SIMULATED_KEYS);
    // A capital needs its Shift tag: plain letters are typed as they are on the key.
    profile->SetKeystrokes(1, 0, L"{SHIFT}hello", 0, 0, false, true, false, false);
    ASSERT_TRUE(m_probe->Activate());
    m_probe->Clear();

    EXPECT_EQ(Button(1, 1), 1);   // swallowed: the window never sees the right click
    EXPECT_EQ(Button(1, 2), 1);
    m_probe->WaitForRecords(Named(L"WM_CHAR"), 5);
    EXPECT_EQ(Typed(), L"Hello") << m_probe->Describe();
    EXPECT_TRUE(m_probe->Records(Named(L"WM_RBUTTONDOWN")).empty());
}

TEST_F(ButtonEndToEnd, AHeldSequenceKeepsItsKeyDownUntilTheRelease)
{
    CApplicationSettings* profile = m_guard->Profile();
    profile->SetActions(3, 0, ACTION_SIMULATED_KEYS);
    profile->SetKeystrokes(3, 0, L"q", 2, 0, false, true, false, false);
    ASSERT_TRUE(m_probe->Activate());
    m_probe->Clear();

    EXPECT_EQ(Button(3, 1), 1);
    ASSERT_TRUE(m_probe->WaitForRecord(Named(L"WM_KEYDOWN", L"vk", 'Q')).has_value()) << m_probe->Describe();
    EXPECT_TRUE(m_probe->Records(Named(L"WM_KEYUP", L"vk", 'Q')).empty());
    EXPECT_EQ(Button(3, 2), 1);
    EXPECT_TRUE(m_probe->WaitForRecord(Named(L"WM_KEYUP", L"vk", 'Q')).has_value()) << m_probe->Describe();
}
} // namespace
