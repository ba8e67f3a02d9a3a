#pragma once
// A window hosting layer pages the way the settings dialog does: one page per
// layer in use, stored before other layers are written and reloaded (or
// rebuilt) afterwards. Editors and message boxes are answered by the test.

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ActionList.h"
#include "ApplicationSettings.h"
#include "CustomActionEditors.h"
#include "LangSupport.h"
#include "LayerTab.h"
#include "LayerTabHost.h"
#include "MessageBox.h"
#include "MouseInfo.h"
#include "ProgramResources.h"
#include "Settings.h"
#include "Window.h"

namespace layertab_test
{
// Editors answered by the test: each records its call and returns the
// outcome the test set.
class ScriptedEditors : public ICustomActionEditors
{
public:
    ScriptedEditors() : m_previous(ICustomActionEditors::Set(this)) {}
    ~ScriptedEditors() override { ICustomActionEditors::Set(m_previous); }

    EditorOutcome EditApplication(HWND, std::wstring& path) override
    {
        calls.push_back(L"app:" + path);
        if (appOutcome == EditorOutcome::kConfirmed)
            path = appPath;
        return appOutcome;
    }
    EditorOutcome EditKeys(HWND, KeyEditorValues& values) override
    {
        calls.push_back(L"keys:" + values.title + L":" + values.keys);
        return keysOutcome;
    }

    EditorOutcome appOutcome = EditorOutcome::kCancelled;
    std::wstring appPath;
    EditorOutcome keysOutcome = EditorOutcome::kCancelled;
    std::vector<std::wstring> calls;

private:
    ICustomActionEditors* m_previous;
};

class PageHost : public CWindow, public ILayerTabHost
{
public:
    PageHost() : settings(false, CMouseInfo(0, 0, 0)), actions(BuildActionList(nullptr))
    {
        SortActionList(actions, false);
        CreateEx(WS_EX_CONTROLPARENT, nullptr, L"layer page host", WS_POPUP | WS_VISIBLE | WS_CAPTION, 40, 40, 560,
                 420, nullptr);
        profile = new CApplicationSettings(&settings, false, 0);
        profile->SetApplication(L"probe.exe");
        settings.AddApplication(profile);
        settings.SetMaxLayers(2);
    }
    ~PageHost() override
    {
        for (auto& page : pages)
            page.reset();
        DestroyWindow();
    }

    // Pages for the layers in use, showing profile (the default when null).
    bool Open(CApplicationSettings* shown = nullptr)
    {
        current = shown != nullptr ? shown : profile;
        for (int layer = 0; layer < settings.MaxLayers(); ++layer)
            if (!OpenPage(layer))
                return false;
        Show(0);
        return true;
    }
    bool OpenPage(int layer)
    {
        if (pages[layer])
            return true;
        pages[layer] = std::make_unique<CLayerTab>(LangSupport());
        if (!pages[layer]->Create(&settings, m_hWnd, &actions, layer, false, false, false, false, this))
            return false;
        pages[layer]->UpdateApplication(current);
        return true;
    }
    void Show(int layer)
    {
        for (int i = 0; i < LayerCount; ++i)
            if (pages[i])
                pages[i]->ShowWindow(i == layer ? SW_SHOW : SW_HIDE);
    }
    CLayerTab& Page(int layer) { return *pages[layer]; }
    void Reload()
    {
        for (auto& page : pages)
            if (page)
                page->UpdateApplication(current);
    }

    void EnableApply() override { ++applyEnabled; }
    bool StoreLayerTabs() override
    {
        bool stored = true;
        for (auto& page : pages)
            if (page && page->GetProfile() != nullptr && !page->SaveSettings())
                stored = false;
        return stored;
    }
    void RebuildLayerTabs(CLayerTab* source, bool changed) override
    {
        ++rebuilds;
        if (changed)
            for (int layer = 0; layer < settings.MaxLayers(); ++layer)
                OpenPage(layer);
        for (auto& page : pages)
            if (page && page.get() != source)
                page->UpdateApplication(current);
    }

    // What the page asked for, and whether its pickers ignored the wheel meanwhile.
    void CopyLayer(CLayerTab& source) override { Moved(L"copy ", source); }
    void SwapLayer(CLayerTab& source) override { Moved(L"swap ", source); }
    void Moved(const wchar_t* what, CLayerTab& source)
    {
        const bool locked = source.GetPicker(0) != nullptr && source.GetPicker(0)->WheelLocked != 0;
        moved.push_back(what + std::to_wstring(source.GetLayer()) + (locked ? L" locked" : L""));
    }

    brmptest::ProgramResources resources;
    std::vector<std::wstring> moved;
    CSettings settings;
    CActionList actions;
    CApplicationSettings* profile = nullptr;
    CApplicationSettings* current = nullptr;
    std::array<std::unique_ptr<CLayerTab>, LayerCount> pages;
    int applyEnabled = 0;
    int rebuilds = 0;
};

// Chooses the action on a page's picker the way the control reports a
// user's choice: selection, then the selection-change notification.
inline void Choose(CLayerTab& page, int button, int action)
{
    CColourComboBox* picker = page.GetPicker(button);
    const int index = picker->SelectAction(action);
    (void)index;
    ::SendMessageW(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(1001 + button, 1),
                   reinterpret_cast<LPARAM>(picker->GetSafeHwnd()));
}

inline int Shown(CLayerTab& page, int button)
{
    CColourComboBox* picker = page.GetPicker(button);
    return picker->GetItemAction(picker->GetCurSel());
}
}
