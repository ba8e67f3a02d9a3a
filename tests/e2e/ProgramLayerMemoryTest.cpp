// "Remember current layer when restarting" across a real restart of the
// program: a portable copy switches to layer 2 on a later start's command,
// ends on another's, and starts again on layer 2. The layer shows in what the
// middle button types into a probe window.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "WaitFor.h"

using brmptest::PhysicalInput;
using brmptest::Probe;
using programtest::ProgramCopy;

namespace
{
class ProgramLayerMemory : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_program.Prepare());
        // The middle button types the layer's letter: "a" on layer 1, "b" on layer 2.
        CSettings settings(false, GetStartupMouseInfo());
        settings.m_bPersistLayer = true;
        CApplicationSettings* profile = settings.GetDefaultApp();
        for (int layer = 0; layer < 2; ++layer)
        {
            const wchar_t keys[2] = {static_cast<wchar_t>(L'a' + layer), L'\0'};
            profile->SetActions(Middle, layer, ACTION_SIMULATED_KEYS);
            profile->SetKeystrokes(Middle, layer, keys, 0, 0, false, true, false, false);
        }
        ASSERT_TRUE(m_program.WriteSettings(settings));
        ASSERT_TRUE(m_probe.Start());
    }

    void StartProgram()
    {
        ASSERT_TRUE(m_program.Start(L"/debug"));
        ASSERT_TRUE(m_program.WaitForLog("Successfully created the main message window.")) << m_program.Log();
        ASSERT_NE(m_program.WaitForMainWindow(), nullptr) << m_program.Log();
    }

    // What a middle click in the probe typed ("M" when the click arrived as it is).
    std::wstring MiddleClickInProbe()
    {
        return programtest::MiddleClickInProbe(m_probe);
    }

    ProgramCopy m_program{L"brmp-layermemory"};
    Probe m_probe;
};
} // namespace

TEST_F(ProgramLayerMemory, TheLayerInForceAtExitIsInForceAfterTheNextStart)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    // With "/debug" again: a later start without it would switch debug logging off.
    ASSERT_TRUE(m_program.StartLater(L"/debug /layer:2"));
    ASSERT_TRUE(m_program.WaitForLog("Setting current layer to 1.")) << m_program.Log();
    ASSERT_EQ(MiddleClickInProbe(), L"b") << m_program.Log();

    ASSERT_TRUE(m_program.StartLater(L"/exit"));
    ASSERT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.Log();
    m_program.Stop();

    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(MiddleClickInProbe(), L"b") << "the layer was forgotten\n" << m_program.Log();
    ASSERT_TRUE(m_program.StartLater(L"/exit"));
    EXPECT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.Log();
}
