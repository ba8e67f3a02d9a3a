#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "AppSpecific.h"
#include "FrameworkTestSupport.h"
#include "HandleCountCheck.h"
#include "MessageBox.h"
#include "Probe.h"
#include "ProgramResources.h"
#include "ProgramRunner.h"
#include "resource.h"

using framework_test::PumpUntil;

namespace
{
std::wstring ItemText(HWND list, int item, int column)
{
    wchar_t text[2049] = L"";
    ListView_GetItemText(list, item, column, text, 2049);
    return text;
}

std::vector<int> ItemsNamed(HWND list, const std::wstring& name)
{
    std::vector<int> found;
    for (int i = 0, n = ListView_GetItemCount(list); i < n; ++i)
        if (ItemText(list, i, 0) == name)
            found.push_back(i);
    return found;
}

std::wstring Edit(HWND dialog, int id)
{
    wchar_t text[1024] = L"";
    ::GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

// The picker with the file dialog answered by the test.
class PickerWithBrowser : public CAppSpecific
{
public:
    std::wstring browsed;

protected:
    bool BrowseForExecutable(const std::wstring&, std::wstring& path) override
    {
        path = browsed;
        return true;
    }
};

brmptest::ProbeOptions Probe(const wchar_t* title, int left)
{
    brmptest::ProbeOptions options;
    options.title = title;
    options.rect = RECT{left, 600, left + 200, 800};
    options.activate = false;
    options.warmUp = false;
    return options;
}
}

TEST(ApplicationPicker, RunningProgramsAreListedOnceAndAChoiceFillsNameAndDescription)
{
    brmptest::ProgramResources resources;
    ASSERT_TRUE(resources.Loaded());
    brmptest::Probe first(Probe(L"First Probe", 20));
    brmptest::Probe second(Probe(L"Second Probe", 260));
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());

    const brmptest::HandleCountCheck handles;
    {
        PickerWithBrowser picker;
        ASSERT_TRUE(picker.Create());
        ::ShowWindow(picker.GetSafeHwnd(), SW_SHOW);
        const HWND dialog = picker.GetSafeHwnd();
        const HWND list = picker.GetDlgItem(IDC_APP_LIST);
        const std::vector<int> probes = ItemsNamed(list, L"brmpprobe.exe");
        ASSERT_EQ(probes.size(), 1u) << "the same program running twice is listed once";
        const std::wstring title = ItemText(list, probes[0], 1);
        EXPECT_TRUE(title == L"First Probe" || title == L"Second Probe") << testing::PrintToString(title);
        ::UpdateWindow(picker.GetSafeHwnd());
        framework_test::PumpPending();
        programtest::SaveScreenshot(L"application_picker.png");

        // Refreshing gives back the icons of the last fill.
        const HIMAGELIST images = ListView_GetImageList(list, LVSIL_SMALL);
        picker.Refresh();
        const int afterOne = ::ImageList_GetImageCount(images);
        picker.Refresh();
        EXPECT_EQ(::ImageList_GetImageCount(images), afterOne);

        // Choosing the entry fills the application and, with no typed description, the description.
        const int item = ItemsNamed(list, L"brmpprobe.exe").at(0);
        ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        EXPECT_EQ(Edit(dialog, IDC_APP_APPLICATION), L"brmpprobe.exe");
        EXPECT_EQ(Edit(dialog, IDC_APP_DESCRIPTION), ItemText(list, item, 1));

        // A description the user typed stays when another entry is chosen.
        ::SetDlgItemTextW(dialog, IDC_APP_DESCRIPTION, L"My own words");
        ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(list, item, LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(Edit(dialog, IDC_APP_DESCRIPTION), L"My own words");

        // Browsing keeps only the file name.
        picker.browsed = L"C:\\Some Folder\\deeper\\Tool.exe";
        picker.SendMessage(WM_COMMAND, IDC_APP_BROWSE);
        EXPECT_EQ(Edit(dialog, IDC_APP_APPLICATION), L"Tool.exe");

        // OK without an application is refused and the dialog stays.
        std::vector<std::wstring> messages;
        ScopedMessageBoxHandler boxes([&](const MessageBoxRequest& request) {
            messages.push_back(request.text);
            return IDOK;
        });
        ::SetDlgItemTextW(dialog, IDC_APP_APPLICATION, L"");
        picker.SendMessage(WM_COMMAND, IDOK);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], L"You have to select or enter a process name, or press cancel.");
        EXPECT_TRUE(::IsWindowVisible(dialog));
        picker.DestroyWindow();
    }
    // The icons and the image list are given back once, the list view only borrowing the list.
    EXPECT_TRUE(handles.Balanced());
}

TEST(ApplicationPicker, WindowKeysAndSuggestedDescriptions)
{
    EXPECT_EQ(CAppSpecific::WindowKey(L"", L"notepad.exe", L"Notepad", L""), L"W2:notepad.exe \\;| Notepad \\;| *");
    EXPECT_EQ(CAppSpecific::WindowKey(L"Untitled", L"", L"Edit", L"Notepad"), L"W3:Untitled \\;| * \\;| Edit \\;| Notepad");
    EXPECT_EQ(CAppSpecific::DescriptionFor(L"notepad.exe", L"Default IME"), L"Default IME (notepad)");
    EXPECT_EQ(CAppSpecific::DescriptionFor(L"notepad.exe", L""), L"notepad");
    EXPECT_EQ(CAppSpecific::DescriptionFor(L"notepad.exe", L"Untitled - Notepad"), L"Untitled - Notepad");
}
