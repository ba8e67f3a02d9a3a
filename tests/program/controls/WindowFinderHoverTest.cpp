// The window finder's Hover box always says whether the finder hovers: an OK
// that the finder refuses ends the hovering, and the box shows it.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "FindWindow.h"
#include "FrameworkTestSupport.h"
#include "MessageBox.h"
#include "PhysicalInput.h"
#include "ProgramResources.h"
#include "ProgramRunner.h"
#include "Window.h"
#include "resource.h"

using brmptest::PhysicalInput;
using framework_test::PumpUntil;

namespace
{
::testing::AssertionResult ClickOnControl(HWND dialog, int id)
{
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
    // Check boxes are clicked on their box, buttons in their middle.
    const bool box = (::SendDlgItemMessageW(dialog, id, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) != 0 &&
                     (::GetWindowLongW(::GetDlgItem(dialog, id), GWL_STYLE) & BS_TYPEMASK) != BS_PUSHBUTTON &&
                     (::GetWindowLongW(::GetDlgItem(dialog, id), GWL_STYLE) & BS_TYPEMASK) != BS_DEFPUSHBUTTON;
    const int x = box ? rect.left + 6 : (rect.left + rect.right) / 2;
    return PhysicalInput::ClickAt(x, (rect.top + rect.bottom) / 2, PhysicalInput::kLeft);
}
}

TEST(WindowFinderHover, ARefusedOkEndsTheHoveringAndUnticksHover)
{
    brmptest::ProgramResources resources;
    ASSERT_TRUE(resources.Loaded());
    std::vector<std::wstring> messages;
    ScopedMessageBoxHandler boxes([&](const MessageBoxRequest& request) {
        messages.push_back(request.text);
        return IDOK;
    });

    CWindow owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"finder owner", WS_POPUP | WS_VISIBLE | WS_CAPTION, 20, 20, 300, 200, nullptr));
    CFindWindow finder(&owner, L"app.exe", L"An app");
    ASSERT_TRUE(finder.Create());
    const HWND dialog = finder.GetSafeHwnd();
    ::SetWindowPos(dialog, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetForegroundWindow(dialog);
    framework_test::PumpPending();

    ASSERT_TRUE(ClickOnControl(dialog, IDC_FIND_HOVER));
    ASSERT_TRUE(PumpUntil([&] { return finder.IsHovering(); })) << "a click on Hover starts hovering";
    ASSERT_EQ(::IsDlgButtonChecked(dialog, IDC_FIND_HOVER), BST_CHECKED);

    // No region: OK is refused.
    for (int id : {IDC_FIND_TOP_LEFT, IDC_FIND_TOP_RIGHT, IDC_FIND_BOTTOM_LEFT, IDC_FIND_BOTTOM_RIGHT})
        ::CheckDlgButton(dialog, id, BST_UNCHECKED);
    ASSERT_TRUE(ClickOnControl(dialog, IDOK));
    ASSERT_TRUE(PumpUntil([&] { return !messages.empty(); }));
    EXPECT_EQ(messages[0], L"You must define at least one window region!");
    programtest::SaveScreenshot(L"window_finder_refused_ok.png");

    EXPECT_TRUE(::IsWindowVisible(dialog)) << "the finder stays open";
    EXPECT_FALSE(finder.IsHovering());
    EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_FIND_HOVER), BST_UNCHECKED) << "Hover shows that hovering ended";
    EXPECT_TRUE(::IsWindowVisible(owner.GetSafeHwnd())) << "the hidden windows are back";

    // A click on Hover starts it again.
    ASSERT_TRUE(ClickOnControl(dialog, IDC_FIND_HOVER));
    EXPECT_TRUE(PumpUntil([&] { return finder.IsHovering(); }));
    EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_FIND_HOVER), BST_CHECKED);

    finder.DestroyWindow();
    owner.DestroyWindow();
}
