#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Dialog.h"
#include "DialogTemplate.h"
#include "FrameworkTestSupport.h"
#include "Window.h"

namespace
{
constexpr UINT kStep = WM_APP + 20;

CDialogTemplate SimpleTemplate(const wchar_t* caption)
{
    CDialogTemplate t(caption, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 10, 10, 120, 60);
    t.AddControl(L"BUTTON", L"OK", IDOK, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 5, 40, 40, 14);
    t.AddControl(L"BUTTON", L"Cancel", IDCANCEL, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 50, 40, 40, 14);
    return t;
}

// A dialog that runs a step (posted to itself once it is up).
class StepDialog : public CDialog
{
public:
    StepDialog(const DLGTEMPLATE* t, CWindow* parent, std::function<void(StepDialog&)> step)
        : CDialog(t, parent), m_step(std::move(step))
    {
        BindMessage(kStep, &StepDialog::OnStep);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        PostMessage(kStep);
        return TRUE;
    }
    LRESULT OnStep(WPARAM, LPARAM)
    {
        if (m_step)
            m_step(*this);
        return 0;
    }

private:
    std::function<void(StepDialog&)> m_step;
};

// A window outside the dialogs that runs a function when it gets kStep.
class OutsideWindow : public CWindow
{
public:
    OutsideWindow() { BindMessage(kStep, &OutsideWindow::OnStep); }
    LRESULT OnStep(WPARAM, LPARAM)
    {
        if (action)
            action();
        return 0;
    }
    std::function<void()> action;
};
}

TEST(FrameworkDialog, ANestedModalDialogAndItsOwnerEndedFromOutsideReturnInnerFirstWithTheirResults)
{
    OutsideWindow outside;
    ASSERT_TRUE(outside.CreateEx(0, nullptr, L"outside", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr));
    outside.ShowWindow(SW_SHOWNOACTIVATE);

    const CDialogTemplate outerTemplate = SimpleTemplate(L"Outer");
    const CDialogTemplate innerTemplate = SimpleTemplate(L"Inner");
    std::vector<std::wstring> events;
    StepDialog* outerPointer = nullptr;
    StepDialog* innerPointer = nullptr;
    bool outerDisabledWhileInnerRan = false;

    StepDialog outer(outerTemplate.Get(), &outside, [&](StepDialog&) {
        events.push_back(L"outer up");
        framework_test::ModalWatchdog innerWatchdog(*innerPointer);
        const INT_PTR innerResult = innerPointer->DoModal();
        events.push_back(L"inner returned " + std::to_wstring(innerResult));
    });
    outerPointer = &outer;

    StepDialog inner(innerTemplate.Get(), &outer, [&](StepDialog&) {
        events.push_back(L"inner up");
        outerDisabledWhileInnerRan = !::IsWindowEnabled(outerPointer->GetSafeHwnd());
        // Another window's handler ends both dialogs, the outer one first.
        outside.action = [&] {
            outerPointer->EndDialog(3);
            innerPointer->EndDialog(7);
        };
        ::PostMessageW(outside.GetSafeHwnd(), kStep, 0, 0);
    });
    innerPointer = &inner;

    framework_test::ModalWatchdog outerWatchdog(outer);
    const INT_PTR outerResult = outer.DoModal();
    events.push_back(L"outer returned " + std::to_wstring(outerResult));

    EXPECT_EQ(events, (std::vector<std::wstring>{L"outer up", L"inner up", L"inner returned 7", L"outer returned 3"}));
    EXPECT_TRUE(outerDisabledWhileInnerRan);
    EXPECT_FALSE(outer.IsWindow());
    EXPECT_FALSE(inner.IsWindow());
    EXPECT_TRUE(::IsWindowEnabled(outside.GetSafeHwnd()));
}

TEST(FrameworkDialog, EndingADialogWhileItStartsReturnsAtOnceWithThatResult)
{
    const CDialogTemplate t = SimpleTemplate(L"Quick");
    class QuickDialog : public CDialog
    {
    public:
        using CDialog::CDialog;
        BOOL OnInitDialog() override
        {
            EndDialog(12);
            return TRUE;
        }
    } dialog(t.Get());
    framework_test::ModalWatchdog watchdog(dialog);
    EXPECT_EQ(dialog.DoModal(), 12);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(FrameworkDialog, ClosingCancelsAndOkEndsWithIdok)
{
    struct Case
    {
        UINT message;
        WPARAM wParam;
        INT_PTR expected;
    };
    const Case cases[] = {
        {WM_CLOSE, 0, IDCANCEL},
        {WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), IDCANCEL},
        {WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), IDOK},
    };
    const CDialogTemplate t = SimpleTemplate(L"Close");
    for (const Case& c : cases)
    {
        StepDialog dialog(t.Get(), nullptr, [&](StepDialog& self) { self.PostMessage(c.message, c.wParam, 0); });
        framework_test::ModalWatchdog watchdog(dialog);
        EXPECT_EQ(dialog.DoModal(), c.expected) << "message 0x" << std::hex << c.message;
    }
}

TEST(FrameworkDialog, AQuitMessageEndsTheModalLoopAndIsPostedAgainForTheLoopOutside)
{
    const CDialogTemplate t = SimpleTemplate(L"Quit");
    StepDialog dialog(t.Get(), nullptr, [](StepDialog&) { ::PostQuitMessage(5); });
    framework_test::ModalWatchdog watchdog(dialog);
    EXPECT_EQ(dialog.DoModal(), -1);
    MSG msg = {};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);
}

TEST(FrameworkDialog, AModelessChildDialogIsAPageOfItsParent)
{
    OutsideWindow parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr));
    CDialogTemplate pageTemplate(L"", WS_CHILD | DS_CONTROL, 0, 0, 100, 50, WS_EX_CONTROLPARENT);
    pageTemplate.AddControl(L"EDIT", L"text", 1019, WS_CHILD | WS_VISIBLE | WS_BORDER, 5, 5, 80, 12);
    class Page : public CDialog
    {
    public:
        using CDialog::CDialog;
        void OnOK() override { ++oks; }   // Enter inside a page closes nothing
        void OnCancel() override { ++cancels; }
        int oks = 0;
        int cancels = 0;
    } page(pageTemplate.Get());
    ASSERT_TRUE(page.Create(parent.GetSafeHwnd()));
    EXPECT_EQ(::GetParent(page.GetSafeHwnd()), parent.GetSafeHwnd());
    EXPECT_FALSE(page.IsModalLoopRunning());
    ::SendMessageW(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ::SendMessageW(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(page.oks, 1);
    EXPECT_EQ(page.cancels, 1);
    EXPECT_TRUE(page.IsWindow());
    EXPECT_NE(::GetDlgItem(page.GetSafeHwnd(), 1019), nullptr);
}
