#pragma once
// The frame of an end-to-end suite on probe windows: the probes start once for
// the whole suite (each start costs a process and a mapped window) and every
// test gets a settings folder of its own, the library's settings isolated in
// it, and its hooks removed at the end. Suite is the fixture itself, so that
// each suite keeps its own probes.

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Hooks.h"
#include "IsolatedSettings.h"
#include "Probe.h"
#include "TempFolder.h"

namespace brmptest
{
template <class Suite>
class ProbeSuite : public ::testing::Test
{
protected:
    // name: the isolated settings' key and the temporary folder's prefix;
    // activate: each test begins with the first probe in the foreground.
    explicit ProbeSuite(const wchar_t* name, bool activate = false)
        : m_name(name), m_activate(activate), m_folder(L"brmp" + std::wstring(name))
    {
    }

    // Starts the probes in this order; the first that fails to start ends it
    // and fails every test of the suite.
    static void StartProbes(std::initializer_list<ProbeOptions> options)
    {
        s_started = ::testing::AssertionSuccess();
        for (const ProbeOptions& option : options)
        {
            s_probes.push_back(std::make_unique<Probe>(option));
            s_started = s_probes.back()->Start();
            if (!s_started)
                return;
        }
    }
    // A probe window of that title at that place, with the other options as they come.
    static ProbeOptions Placed(const wchar_t* title, RECT rect)
    {
        ProbeOptions options;
        options.title = title;
        options.rect = rect;
        return options;
    }
    // The last started goes first.
    static void TearDownTestSuite()
    {
        while (!s_probes.empty())
            s_probes.pop_back();
        s_started = ::testing::AssertionFailure() << "the probes were not started";
    }
    // The index-th probe given to StartProbes.
    static Probe& ProbeAt(std::size_t index = 0) { return *s_probes.at(index); }

    void SetUp() override
    {
        ASSERT_TRUE(s_started);
        ASSERT_TRUE(m_folder.IsValid());
        ASSERT_TRUE(m_isolated.Begin(m_name, m_folder.Path()));
        if (m_activate)
        {
            ASSERT_TRUE(ProbeAt().Activate());
        }
    }
    void TearDown() override
    {
        RemoveMouseHook(m_unhookRestores);
        m_isolated.End();
    }

    // Two probes side by side, left and right on the desktop, for tests that
    // move between two windows.
    static void StartProbePair(const wchar_t* leftTitle, const wchar_t* rightTitle)
    {
        StartProbes({Placed(leftTitle, RECT{40, 60, 520, 460}), Placed(rightTitle, RECT{620, 60, 1100, 460})});
    }

    std::wstring m_name;
    bool m_activate;
    // Whether removing the hooks at the end puts back the system settings a
    // profile changed (button swap, wheel lines, pointer speed).
    bool m_unhookRestores = false;
    TempFolder m_folder;
    IsolatedSettings m_isolated;

private:
    static inline std::vector<std::unique_ptr<Probe>> s_probes;
    static inline ::testing::AssertionResult s_started = ::testing::AssertionFailure() << "the probes were not started";
};
} // namespace brmptest
