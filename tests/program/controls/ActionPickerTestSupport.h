#pragma once
// A plain window hosting action pickers, recording the notifications they send.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "ActionData.h"
#include "ActionList.h"
#include "Actions.h"
#include "ColourComboBox.h"
#include "FrameworkTestSupport.h"
#include "LangSupport.h"
#include "PhysicalInput.h"
#include "Window.h"

namespace picker_test
{
class PickerHost : public CWindow
{
public:
    bool OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (lParam != 0)
            codes.push_back(HIWORD(wParam));
        return CWindow::OnCommand(wParam, lParam);
    }
    int Count(WORD code) const
    {
        int n = 0;
        for (WORD c : codes)
            n += c == code ? 1 : 0;
        return n;
    }
    std::vector<WORD> codes;
};

// A host at (x, y) with one drop-down-list picker (id 1001) holding every
// action in functional order, groups shown.
struct PickerFixture
{
    explicit PickerFixture(int x = 100, int y = 100, bool groups = true) : picker(LangSupport())
    {
        host.CreateEx(0, nullptr, L"picker host", WS_POPUP | WS_VISIBLE | WS_CAPTION, x, y, 320, 90, nullptr);
        const HFONT font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
        host.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font));
        const RECT rect{10, 10, 290, 40};
        const bool made = picker.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | 3, rect, host.GetSafeHwnd(), 1001);
        picker.SetDropDownItemCount(12);
        picker.ShowGroups = groups ? 1 : 0;
        CActionList list = BuildActionList(nullptr);
        SortActionList(list, false);
        for (const ActionListEntry& entry : list)
            picker.AddItem({entry.name, entry.action});
        picker.UpdateCount();
        picker.SelectAction(ACTION_LEFT_CLICK);
        ::SetForegroundWindow(host.GetSafeHwnd());
        // The system makes the window active a moment later; a capture taken
        // before that would be cancelled by the activation.
        framework_test::PumpUntil([&] { return ::GetForegroundWindow() == host.GetSafeHwnd(); }, 3000);
        ::SetFocus(picker.GetSafeHwnd());
        // The first key typed goes where the X input focus is: until Wine has
        // mapped the new window and moved the X focus to it, it may go elsewhere.
        created = made ? brmptest::PhysicalInput::PrepareForInput(host.GetSafeHwnd())
                       : ::testing::AssertionFailure() << "the picker was not created";
        host.codes.clear();
    }
    ~PickerFixture() { host.DestroyWindow(); }

    POINT ScreenCentre() const
    {
        RECT r{};
        ::GetWindowRect(picker.GetSafeHwnd(), &r);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    HWND List() { return picker.GetListBox().GetSafeHwnd(); }
    bool Dropped() const { return ::SendMessageW(picker.GetSafeHwnd(), VCB_GETDROPPEDSTATE, 0, 0) != 0; }
    int Selection() const { return picker.GetCurSel(); }
    int SelectedAction() const { return picker.GetItemAction(Selection()); }

    PickerHost host;
    CColourComboBox picker;
    ::testing::AssertionResult created = ::testing::AssertionFailure();
};
}
