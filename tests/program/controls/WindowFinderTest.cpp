#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "FindWindow.h"
#include "FrameworkTestSupport.h"
#include "MessageBox.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProcessHelper.h"
#include "ProgramResources.h"
#include "ProgramRunner.h"
#include "Window.h"
#include "resource.h"

using brmptest::PhysicalInput;
using framework_test::PumpUntil;

namespace
{
std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[1024] = L"";
    ::GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = L"";
    ::GetClassNameW(window, name, 256);
    return name;
}

// A finder whose tooltip cannot be created.
class FinderWithoutTooltip : public CFindWindow
{
public:
    using CFindWindow::CFindWindow;

protected:
    HWND CreateTooltip() override { return nullptr; }
};

brmptest::ProbeOptions ProbeAtTheRight()
{
    brmptest::ProbeOptions options;
    options.title = L"Finder Target";
    options.rect = RECT{930, 120, 1260, 460};
    options.activate = false;
    return options;
}
}

TEST(WindowFinder, DraggingOrHoveringOntoAWindowFillsItsDetailsAndALostCaptureBringsTheHiddenWindowsBack)
{
    brmptest::ProgramResources resources;
    ASSERT_TRUE(resources.Loaded());
    brmptest::Probe probe(ProbeAtTheRight());
    ASSERT_TRUE(probe.Start());

    // The settings dialog the finder was opened from.
    CWindow owner;
    ASSERT_TRUE(owner.CreateEx(0, nullptr, L"finder owner", WS_POPUP | WS_VISIBLE | WS_CAPTION, 20, 20, 300, 200, nullptr));
    CFindWindow finder(&owner, L"", L"");
    ASSERT_TRUE(finder.Create());
    ::SetWindowPos(finder.GetSafeHwnd(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    framework_test::PumpPending();

    RECT icon{};
    ::GetWindowRect(finder.GetDlgItem(IDC_FIND_FINDER), &icon);
    ASSERT_TRUE(PhysicalInput::Run({L"mousemove", std::to_wstring((icon.left + icon.right) / 2),
                                    std::to_wstring((icon.top + icon.bottom) / 2), L"mousedown", L"1"}));
    ASSERT_TRUE(PumpUntil([&] { return finder.IsDragging(); })) << "a press on the finder icon starts a search";
    EXPECT_FALSE(::IsWindowVisible(owner.GetSafeHwnd())) << "the windows above the finder are hidden while searching";

    const POINT target = probe.Center();
    ASSERT_TRUE(PhysicalInput::MoveTo(target.x - 5, target.y));
    ASSERT_TRUE(PhysicalInput::MoveTo(target.x, target.y));
    ASSERT_TRUE(PumpUntil([&] { return ItemText(finder.GetSafeHwnd(), IDC_FIND_PROCESS) == L"brmpprobe.exe"; }))
        << "process field: " << testing::PrintToString(ItemText(finder.GetSafeHwnd(), IDC_FIND_PROCESS));
    programtest::SaveScreenshot(L"window_finder_drag.png");
    EXPECT_EQ(ItemText(finder.GetSafeHwnd(), IDC_FIND_CAPTION), L"Finder Target");
    EXPECT_EQ(ItemText(finder.GetSafeHwnd(), IDC_FIND_CLASS), ClassOf(probe.Window()));
    EXPECT_EQ(ItemText(finder.GetSafeHwnd(), IDC_FIND_PARENT_CLASS), L"");

    // Something else takes the mouse in the middle of the drag.
    ::ReleaseCapture();
    ASSERT_TRUE(PumpUntil([&] { return !finder.IsDragging(); }));
    EXPECT_TRUE(::IsWindowVisible(owner.GetSafeHwnd())) << "a lost capture shows the hidden windows again";
    const HCURSOR finderCursor = ::LoadCursorW(GetResourceInstance(), MAKEINTRESOURCEW(IDC_FINDER_CURSOR));
    EXPECT_NE(::GetCursor(), finderCursor);
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kLeft));
    framework_test::PumpPending();
    EXPECT_TRUE(::IsWindowVisible(owner.GetSafeHwnd()));

    // Hover mode: the window under the cursor fills the fields at each hover note.
    ::SetDlgItemTextW(finder.GetSafeHwnd(), IDC_FIND_PROCESS, L"");
    ::SendDlgItemMessageW(finder.GetSafeHwnd(), IDC_FIND_HOVER, BM_CLICK, 0, 0);
    ASSERT_TRUE(finder.IsHovering());
    EXPECT_FALSE(::IsWindowVisible(owner.GetSafeHwnd()));
    ASSERT_TRUE(PhysicalInput::MoveTo(target.x + 5, target.y));
    ASSERT_TRUE(PumpUntil([&] {
        finder.SendMessage(::RegisterWindowMessageW(L"BRMP_FindHover"));
        return ItemText(finder.GetSafeHwnd(), IDC_FIND_PROCESS) == L"brmpprobe.exe";
    }));
    ::SendDlgItemMessageW(finder.GetSafeHwnd(), IDC_FIND_HOVER, BM_CLICK, 0, 0);
    EXPECT_FALSE(finder.IsHovering());
    EXPECT_TRUE(::IsWindowVisible(owner.GetSafeHwnd()));

    finder.DestroyWindow();
    owner.DestroyWindow();
}

TEST(WindowFinder, OkReturnsWhatTheBoxesSayAndRefusesAWindowWithoutARegionEvenWithoutItsTooltip)
{
    brmptest::ProgramResources resources;
    ASSERT_TRUE(resources.Loaded());
    std::vector<std::wstring> messages;
    ScopedMessageBoxHandler boxes([&](const MessageBoxRequest& request) {
        messages.push_back(request.text);
        return IDOK;
    });

    const RECT area{1, 2, 3, 4};
    FinderWithoutTooltip finder(nullptr, L"Old Caption", L"app.exe", L"AppClass", L"", L"My app", 7, false, true, 5,
                                false, area);
    ASSERT_TRUE(finder.Create());
    const HWND dialog = finder.GetSafeHwnd();
    ::ShowWindow(dialog, SW_SHOW);
    // The whole set-up ran although the tooltip could not be made.
    EXPECT_EQ(ItemText(dialog, IDC_FIND_PROCESS), L"app.exe");
    EXPECT_EQ(ItemText(dialog, IDC_FIND_DESCRIPTION), L"My app");
    EXPECT_EQ(::SendDlgItemMessageW(dialog, IDC_FIND_MATCH_TYPE, CB_GETCURSEL, 0, 0), 0) << "match type 7 shows Window";
    EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_FIND_TOP_LEFT), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_FIND_TOP_RIGHT), BST_UNCHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(dialog, IDC_FIND_REGEX), BST_CHECKED);

    // No quarter and no area: refused, the dialog stays.
    ::CheckDlgButton(dialog, IDC_FIND_TOP_LEFT, BST_UNCHECKED);
    ::CheckDlgButton(dialog, IDC_FIND_BOTTOM_LEFT, BST_UNCHECKED);
    ::SendDlgItemMessageW(dialog, IDC_FIND_CAPTION_CHECK, BM_CLICK, 0, 0);
    finder.SendMessage(WM_COMMAND, IDOK);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], L"You must define at least one window region!");
    EXPECT_TRUE(::IsWindowVisible(dialog));

    // With the area box the quarters are not looked at.
    ::SendDlgItemMessageW(dialog, IDC_FIND_AREA, BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindowEnabled(finder.GetDlgItem(IDC_FIND_TOP_LEFT)));
    ::SetDlgItemTextW(dialog, IDC_FIND_AREA_RIGHT, L"-40");
    finder.SendMessage(WM_COMMAND, IDOK);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_FALSE(::IsWindowVisible(dialog)) << "OK closed the dialog";
    EXPECT_EQ(finder.m_caption, L"") << "an unticked caption box returns no caption although the field shows one";
    EXPECT_EQ(finder.m_class, L"AppClass");
    EXPECT_EQ(finder.m_matchType, 1);
    EXPECT_TRUE(finder.m_useArea);
    EXPECT_TRUE(finder.m_regEx);
    EXPECT_EQ(finder.m_windowMask, 5);
    EXPECT_EQ(finder.m_area.left, 1);
    EXPECT_EQ(finder.m_area.top, 2);
    EXPECT_EQ(finder.m_area.right, -40);
    EXPECT_EQ(finder.m_area.bottom, 4);
    finder.DestroyWindow();
}

TEST(WindowFinder, ProcessNamesAreLowerCaseFileNamesAndARepeatedWindowIsAnsweredWithItsPath)
{
    brmptest::Probe probe(ProbeAtTheRight());
    ASSERT_TRUE(probe.Start());
    CProcessHelper::ClearCache();
    wchar_t name[260] = L"";
    wchar_t path[2048] = L"";
    int depth = 0;
    ASSERT_TRUE(CProcessHelper::GetProcessName(probe.Window(), probe.ProcessId(), name, 260, path, 2048, depth));
    EXPECT_STREQ(name, L"brmpprobe.exe");
    const std::wstring first = path;
    EXPECT_NE(first.find(L"\\brmpprobe.exe"), std::wstring::npos) << testing::PrintToString(first);

    wchar_t again[2048] = L"unwritten";
    depth = 0;
    ASSERT_TRUE(CProcessHelper::GetProcessName(probe.Window(), probe.ProcessId(), name, 260, again, 2048, depth));
    EXPECT_EQ(std::wstring(again), first) << "the remembered window answers its path too";

    depth = CProcessHelper::kMaxDepth + 1;
    EXPECT_FALSE(CProcessHelper::GetProcessName(probe.Window(), probe.ProcessId(), name, 260, nullptr, 0, depth));
}
