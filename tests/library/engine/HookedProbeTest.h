#pragma once
// The frame of the engine tests that watch what the hooks and the
// simulated-input thread deliver to a window: a fresh probe window, the
// library's hooks running in this process with their simulated-input thread
// up, and the engine's state saved for the test and put back after it.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "EngineTestSupport.h"
#include "Globals.h"
#include "Hooks.h"
#include "LayerTestSupport.h"
#include "Probe.h"

namespace enginetest
{
class HookedProbeTest : public ::testing::Test
{
protected:
    // activate: each test begins with the probe in the foreground and the
    // cursor at its centre.
    explicit HookedProbeTest(bool activate) : m_activate(activate) {}

    void SetUp() override
    {
        m_probe = std::make_unique<brmptest::Probe>(brmptest::ProbeOptions{});
        ASSERT_TRUE(m_probe->Start());
        ASSERT_TRUE(SetMouseHook());
        ASSERT_TRUE(WaitFor([] { return g_threads.pSendInput != nullptr; }));
        m_guard = std::make_unique<layertest::EngineStateGuard>();
        if (m_activate)
        {
            ASSERT_TRUE(m_probe->Activate());
            const POINT center = m_probe->Center();
            ::SetCursorPos(center.x, center.y);
        }
        m_probe->Clear();
    }
    void TearDown() override
    {
        m_guard.reset();
        RemoveMouseHook(false);
        m_probe.reset();
    }

    bool m_activate;
    std::unique_ptr<brmptest::Probe> m_probe;
    std::unique_ptr<layertest::EngineStateGuard> m_guard;
};
} // namespace enginetest
