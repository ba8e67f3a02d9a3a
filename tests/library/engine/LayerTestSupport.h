#pragma once
// Helpers of the layer and control-interface tests: a window that records the
// registered messages the library posts to the program, and a guard that
// gives the library a test profile and puts the engine state back afterwards.

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "Hotkeys.h"

class CApplicationSettings;

namespace layertest
{
struct Posted
{
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A message-only window owned by the calling thread; its messages arrive while
// that thread pumps (enginetest::WaitFor does).
class RecordingWindow
{
public:
    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    HWND Handle() const { return m_hWnd; }
    // Messages with this id received so far.
    std::vector<Posted> Received(UINT message) const;
    void Clear();
    void Destroy();

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hWnd = nullptr;
    std::vector<Posted> m_received;
};

// The library's settings with a profile of the test in force, from a fresh
// engine and hook state (no layer, no program window, nothing held), which the
// destructor resets again; the layer options are restored. The profile belongs
// to the guard.
class EngineStateGuard
{
public:
    explicit EngineStateGuard(int layers = 10);
    ~EngineStateGuard();
    EngineStateGuard(const EngineStateGuard&) = delete;
    EngineStateGuard& operator=(const EngineStateGuard&) = delete;

    CApplicationSettings* Profile() const { return m_profile; }

private:
    CApplicationSettings* m_profile = nullptr;
    int m_savedLayers = 0;
    bool m_savedNotifyLayer = true;
    bool m_savedSwitchOnMouseOver = true;
};

// Tests of the keyboard hook: the layer modifier keys of the library's
// settings are on, with no key set, and the hook's state is fresh; the keys and
// the switch are put back and the hook's state reset again at the end.
class LayerKeysTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

private:
    CLayerModifierKeys m_savedKeys;
    bool m_savedEnable = false;
};
}
