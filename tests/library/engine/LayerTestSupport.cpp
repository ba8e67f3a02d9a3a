#include "LayerTestSupport.h"

#include "ApplicationSettings.h"
#include "Globals.h"
#include "HeldInput.h"
#include "KeyHook.h"
#include "Layers.h"
#include "Settings.h"
#include "ThreadLock.h"

namespace layertest
{
namespace
{
const wchar_t* kClassName = L"LayerTestRecordingWindow";

void RegisterOnce()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);
    registered = true;
}
}

RecordingWindow::RecordingWindow()
{
    RegisterOnce();
    m_hWnd = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingWindow::Proc));
}

RecordingWindow::~RecordingWindow()
{
    Destroy();
}

void RecordingWindow::Destroy()
{
    if (m_hWnd != nullptr)
    {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

LRESULT CALLBACK RecordingWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<RecordingWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message >= 0xC000)
        self->m_received.push_back({message, wParam, lParam});
    return ::DefWindowProcW(window, message, wParam, lParam);
}

std::vector<Posted> RecordingWindow::Received(UINT message) const
{
    std::vector<Posted> result;
    for (const Posted& p : m_received)
    {
        if (p.message == message)
            result.push_back(p);
    }
    return result;
}

void RecordingWindow::Clear()
{
    m_received.clear();
}

EngineStateGuard::EngineStateGuard(int layers)
{
    CThreadLock lock(L"EngineStateGuard");
    m_savedLayers = g_pSettings->m_nLayers;
    m_savedNotifyLayer = g_pSettings->m_bNotifyLayer;
    m_savedSwitchOnMouseOver = g_pSettings->m_bSwitchOnMouseOver;
    g_engine.Reset();
    g_hook.Reset();
    g_held.Forget();
    g_nLastLayer = 0;
    m_profile = new CApplicationSettings(g_pSettings, false, 99);
    m_profile->SetApplication(L"layertest.exe");
    g_pSettings->m_nLayers = layers;
    g_pSettings->m_bNotifyLayer = true;
    // The test's own profile stays in force wherever the pointer rests.
    g_pSettings->m_bSwitchOnMouseOver = false;
    g_engine.pCurrentApp = m_profile;
}

EngineStateGuard::~EngineStateGuard()
{
    CThreadLock lock(L"EngineStateGuard");
    g_pSettings->m_nLayers = m_savedLayers;
    g_pSettings->m_bNotifyLayer = m_savedNotifyLayer;
    g_pSettings->m_bSwitchOnMouseOver = m_savedSwitchOnMouseOver;
    g_engine.Reset();
    g_hook.Reset();
    g_held.Forget();
    g_nLastLayer = 0;
    delete m_profile;
}

void LayerKeysTest::SetUp()
{
    m_savedKeys = *g_pSettings->GetLayerModifierKeys();
    m_savedEnable = g_pSettings->m_bLayerModifierKeys;
    *g_pSettings->GetLayerModifierKeys() = CLayerModifierKeys();
    g_pSettings->m_bLayerModifierKeys = true;
    ResetKeyHookState();
}

void LayerKeysTest::TearDown()
{
    *g_pSettings->GetLayerModifierKeys() = m_savedKeys;
    g_pSettings->m_bLayerModifierKeys = m_savedEnable;
    ResetKeyHookState();
}
}
