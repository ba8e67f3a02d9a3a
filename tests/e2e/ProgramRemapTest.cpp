// The real program on the virtual desktop: a portable copy whose settings map
// the middle button to keys on three layers remaps real clicks in the probe,
// is driven through its icon in Wine's tray (tooltip, left click, the menu
// opened with a right click and worked with the keyboard), and leaves no hook
// behind when it ends; a sticky drag carried onto another profile's window is
// neither dropped nor left pressed by a profile switch; a window that a
// remapped click follows the pointer into still comes forward by hovering.

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "MouseInfo.h"
#include "PhysicalInput.h"
#include "Probe.h"
#include "ProgramRunner.h"
#include "IsolatedSettings.h"
#include "Settings.h"
#include "WaitFor.h"

using brmptest::Named;
using brmptest::PhysicalInput;
using brmptest::Probe;
using programtest::ProgramCopy;

namespace
{
// The key each layer's middle button types. The right and left buttons stay
// as they are: the tray icon needs them.
constexpr wchar_t kLayerKeys[] = {L'a', L'b', L'c'};

class ProgramRemap : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_program.Prepare());
        CSettings settings(false, GetStartupMouseInfo());
        ASSERT_TRUE(settings.SetMaxLayers(3));
        settings.m_bLeftClickCycleLayers = true;
        settings.m_bNotifications = false;
        CApplicationSettings* profile = settings.GetDefaultApp();
        ASSERT_NE(profile, nullptr);
        for (int layer = 0; layer < 3; ++layer)
        {
            const wchar_t keys[2] = {kLayerKeys[layer], L'\0'};
            profile->SetActions(Middle, layer, ACTION_SIMULATED_KEYS);
            profile->SetKeystrokes(Middle, layer, keys, 0, 0, false, true, false, false);
        }
        ASSERT_TRUE(m_program.WriteSettings(settings));

        m_probe = std::make_unique<Probe>();
        ASSERT_TRUE(m_probe->Start());
    }

    void StartProgram()
    {
        ASSERT_TRUE(m_program.Start(L"/debug"));
        ASSERT_TRUE(m_program.WaitForLog("Successfully created the main message window.")) << m_program.Log();
        m_window = m_program.WaitForMainWindow();
        ASSERT_NE(m_window, nullptr) << m_program.Log();
        ASSERT_TRUE(m_program.LogHas("Successfully created the mouse hook thread.")) << m_program.Log();
    }

    // One of two probe windows side by side, which report every click as it came.
    static brmptest::ProbeOptions SideBySide(const wchar_t* title, bool left)
    {
        brmptest::ProbeOptions options;
        options.title = title;
        options.rect = left ? RECT{40, 60, 520, 460} : RECT{620, 60, 1100, 460};
        options.doubleClicks = false;
        return options;
    }

    // A click on the tray icon. The pointer must move for each click ("mousemove
    // --sync" waits for a motion), so successive clicks alternate between two
    // points of the icon.
    ::testing::AssertionResult ClickIcon(POINT icon, int button)
    {
        m_iconSide = -m_iconSide;
        return PhysicalInput::ClickAt(icon.x + 3 * m_iconSide, icon.y, button);
    }

    // A middle click in the probe: what it typed, or "M" when the click itself arrived.
    std::wstring MiddleClickInProbe()
    {
        if (!m_probe->Activate())
            return L"(probe not focused)";
        m_probe->Clear();
        const POINT at = m_probe->Center();
        const ::testing::AssertionResult clicked =
            PhysicalInput::ClickAt(at.x - 100 + (m_step + 1) * 13 % 200, at.y, PhysicalInput::kMiddle);
        if (!clicked)
        {
            const std::string why = clicked.message();
            return L"(no click: " + std::wstring(why.begin(), why.end()) + L")";
        }
        ++m_step;
        return programtest::TypedOrMiddleClick(*m_probe);
    }

    ProgramCopy m_program{L"brmp-remap"};
    std::unique_ptr<Probe> m_probe;
    HWND m_window = nullptr;
    int m_step = 0;
    int m_iconSide = 1;
};

// The program's open popup menu, or null.
HWND OpenMenuOf(DWORD processId)
{
    HWND menu = nullptr;
    while ((menu = ::FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr)
    {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(menu, &pid);
        RECT box{};
        if (pid == processId && ::IsWindowVisible(menu) && ::GetWindowRect(menu, &box) && box.bottom - box.top > 40)
            return menu;
    }
    return nullptr;
}
// Another open menu of the process than the one given (a popup), or null.
HWND OtherMenuOf(DWORD processId, HWND except)
{
    HWND menu = nullptr;
    while ((menu = ::FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr)
    {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(menu, &pid);
        if (menu != except && pid == processId && ::IsWindowVisible(menu))
            return menu;
    }
    return nullptr;
}

// Item and separator heights of the menus, measured from a popup of plain
// items and the whole tray menu (nine items, four separators; seven and three
// without the desktop icon items, which only the system's own shell offers).
constexpr int kMenuBorder = 3;
struct MenuMetrics
{
    int item;
    int separator;
    // The centre of the item at index (counted among items) with separators before it.
    int ItemCentre(int top, int index, int separatorsBefore) const
    {
        return top + kMenuBorder + index * item + separatorsBefore * separator + item / 2;
    }
};

MenuMetrics MeasureMenus(const RECT& popup, int popupItems, const RECT& whole, bool desktopItems)
{
    MenuMetrics metrics{};
    metrics.item = (popup.bottom - popup.top - 2 * kMenuBorder) / popupItems;
    const int items = desktopItems ? 9 : 7;
    const int separators = desktopItems ? 4 : 3;
    metrics.separator = (whole.bottom - whole.top - 2 * kMenuBorder - items * metrics.item) / separators;
    return metrics;
}
} // namespace

TEST_F(ProgramRemap, AMappedClickIsRemappedAndNoHookOutlivesTheProgram)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    EXPECT_EQ(MiddleClickInProbe(), L"a") << m_probe->Describe() << m_program.Log();

    ASSERT_TRUE(::PostMessageW(m_window, WM_CLOSE, 0, 0));
    ASSERT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.Log();
    EXPECT_EQ(m_program.ExitCode(), 0u);
    EXPECT_TRUE(m_program.LogHas("Brindlemap Shutdown.")) << m_program.Log();
    EXPECT_FALSE(::IsWindow(m_window));

    // The hooks went with it: the click reaches the probe as it is.
    EXPECT_EQ(MiddleClickInProbe(), L"M") << m_probe->Describe();
}

TEST_F(ProgramRemap, TheTrayIconShowsTheVersionCyclesLayersAndItsMenuSwitchesDisablesAndExits)
{
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    ASSERT_TRUE(brmptest::WaitFor([&] { return programtest::TrayHasIcon(m_window); }, 20000))
        << "no icon in Wine's tray\n" << programtest::DescribeWindows() << m_program.Log();
    const POINT iconAt = programtest::TrayIconPoint();

    // Resting on the icon shows its tooltip with the version.
    ASSERT_TRUE(PhysicalInput::MoveTo(iconAt.x, iconAt.y));
    std::wstring tip;
    EXPECT_TRUE(brmptest::WaitFor(
        [&] {
            HWND tooltip = programtest::FindWindowOfClass(L"tooltips_class32", true);
            tip = tooltip ? programtest::WindowTextOf(tooltip) : std::wstring();
            return tip.find(L"v2.20.5") != std::wstring::npos;
        },
        15000))
        << testing::PrintToString(tip);
    EXPECT_EQ(tip.rfind(L"Brindlemap v2.20.5", 0), 0u) << testing::PrintToString(tip);

    // A left click moves to the next layer once the double-click time has passed.
    ASSERT_TRUE(ClickIcon(iconAt, PhysicalInput::kLeft));
    ASSERT_TRUE(m_program.WaitForLog("Tray icon: showing layer 2.", 15000)) << m_program.Log();
    EXPECT_EQ(MiddleClickInProbe(), L"b") << m_probe->Describe();

    // A right click opens the menu; its Layers popup makes layer 3 current.
    // The menu is worked with the mouse: keys go to the foreground window,
    // which Wine does not hand to the hidden main window.
    ASSERT_TRUE(ClickIcon(iconAt, PhysicalInput::kRight));
    HWND menu = nullptr;
    ASSERT_TRUE(brmptest::WaitFor([&] { return (menu = OpenMenuOf(m_program.ProcessId())) != nullptr; }, 20000))
        << m_program.Log();
    // The menu window is visible before Wine has drawn it into the desktop:
    // let the program's thread paint it before the picture is taken.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(m_window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ::RedrawWindow(menu, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_TRUE(programtest::SaveScreenshot(L"tray-menu.png"));

    RECT box{};
    ::GetWindowRect(menu, &box);
    ASSERT_TRUE(PhysicalInput::MoveTo(box.left + 30, box.top + kMenuBorder + 6));
    HWND layers = nullptr;
    ASSERT_TRUE(brmptest::WaitFor([&] { return (layers = OtherMenuOf(m_program.ProcessId(), menu)) != nullptr; }, 10000))
        << "the Layers popup did not open";
    RECT popup{};
    ::GetWindowRect(layers, &popup);
    const bool desktopItems = !m_program.LogHas("IsExplorerNative: Unable to find handle to Windows Explorer Desktop.");
    const MenuMetrics metrics = MeasureMenus(popup, 3, box, desktopItems);
    ASSERT_TRUE(PhysicalInput::ClickAt((popup.left + popup.right) / 2, metrics.ItemCentre(popup.top, 2, 0),
                                       PhysicalInput::kLeft));
    ASSERT_TRUE(brmptest::WaitFor([&] { return OpenMenuOf(m_program.ProcessId()) == nullptr; }, 10000));
    ASSERT_TRUE(m_program.WaitForLog("Tray icon: showing layer 3.", 15000)) << m_program.Log();
    EXPECT_EQ(MiddleClickInProbe(), L"c") << m_probe->Describe();

    // "Disable" (the fifth item, after one separator) turns remapping off: the click arrives as it is.
    // The icon is drawn again (logged on the program's main thread) once the hooks are gone.
    const int iconsDrawn = m_program.LogCount("Tray icon: showing layer");
    ASSERT_TRUE(ClickIcon(iconAt, PhysicalInput::kRight));
    ASSERT_TRUE(brmptest::WaitFor([&] { return (menu = OpenMenuOf(m_program.ProcessId())) != nullptr; }, 20000));
    ::GetWindowRect(menu, &box);
    ASSERT_TRUE(PhysicalInput::ClickAt(box.left + 40, metrics.ItemCentre(box.top, 4, 1), PhysicalInput::kLeft));
    ASSERT_TRUE(brmptest::WaitFor([&] { return OpenMenuOf(m_program.ProcessId()) == nullptr; }, 10000));
    ASSERT_TRUE(brmptest::WaitFor([&] { return m_program.LogCount("Tray icon: showing layer") > iconsDrawn; }, 20000))
        << m_program.Log();
    EXPECT_EQ(MiddleClickInProbe(), L"M") << m_probe->Describe();

    // "Exit", the last item, ends the program.
    ASSERT_TRUE(ClickIcon(iconAt, PhysicalInput::kRight));
    ASSERT_TRUE(brmptest::WaitFor([&] { return (menu = OpenMenuOf(m_program.ProcessId())) != nullptr; }, 20000));
    ::GetWindowRect(menu, &box);
    ASSERT_TRUE(PhysicalInput::ClickAt(box.left + 30, box.bottom - kMenuBorder - metrics.item / 2,
                                       PhysicalInput::kLeft));
    ASSERT_TRUE(m_program.Ended(programtest::kEndTimeoutMs)) << m_program.Log();
    EXPECT_EQ(m_program.ExitCode(), 0u);
    EXPECT_TRUE(m_program.LogHas("Brindlemap Shutdown.")) << m_program.Log();
}

TEST_F(ProgramRemap, AStickyDragCarriedOntoAnotherProfilesWindowIsNeitherDroppedNorLeftPressedByAProfileSwitch)
{
    // The drag's window holds X1 as a sticky left button, the other window
    // nothing; mouse-over switching is on, and so are the layer keys, under
    // which a released Ctrl lets the keyboard focus decide the profile.
    m_probe.reset();
    const wchar_t dragTitle[] = L"Brmp Drag Window";
    const wchar_t otherTitle[] = L"Brmp Drop Window";
    CSettings settings(false, GetStartupMouseInfo());
    settings.m_bNotifications = false;
    settings.m_bLayerModifierKeys = true;
    brmptest::AddProbeProfile(settings, dragTitle)->SetActions(XLeft, 0, ACTION_STICKY_LEFT);
    brmptest::AddProbeProfile(settings, otherTitle, 2);
    ASSERT_TRUE(m_program.WriteSettings(settings));
    Probe drag(SideBySide(dragTitle, true));
    ASSERT_TRUE(drag.Start());
    Probe other(SideBySide(otherTitle, false));
    ASSERT_TRUE(other.Start());
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const POINT dragAt = drag.Center();
    const POINT otherAt = other.Center();
    // A check of the window under the pointer, as the log shows it taken:
    // skipped for what is held, or switching the profile.
    const auto checks = [&] {
        return m_program.LogCount("ProcessMouseOverTimerProc: A button is down or remapping is off - skipping") +
               m_program.LogCount("(due to mouse over");
    };
    const int switches = m_program.LogCount("(due to mouse over");
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(dragAt.x, dragAt.y));
    ASSERT_TRUE(brmptest::WaitFor([&] { return m_program.LogCount("(due to mouse over") > switches; })) << m_program.LogTail();

    // A drag released over the other window: the check its release asked for
    // comes due while the library still holds the left button.
    ASSERT_TRUE(PhysicalInput::ButtonDown(PhysicalInput::kBack));
    ASSERT_TRUE(drag.WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << drag.Describe();
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(otherAt.x, otherAt.y));
    const int before = checks();
    ASSERT_TRUE(PhysicalInput::ButtonUp(PhysicalInput::kBack));
    ASSERT_TRUE(brmptest::WaitFor([&] { return checks() > before; })) << m_program.LogTail();
    // The next X1 press there belongs to the other window: the switch it makes
    // ends the drag with one release.
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kBack));
    ASSERT_TRUE(other.WaitForRecord(Named(L"WM_LBUTTONUP")))
        << "the profile switched under the drag, which stays pressed\n" << other.Describe() << m_program.LogTail();

    // A drag carried over the other window, which then gets the focus: the
    // Ctrl released there lets the keyboard decide, and the drag must stay.
    drag.Clear();
    ASSERT_TRUE(PhysicalInput::ClickAt(dragAt.x, dragAt.y, PhysicalInput::kBack));
    ASSERT_TRUE(drag.WaitForRecord(Named(L"WM_LBUTTONDOWN"))) << drag.Describe();
    ASSERT_TRUE(PhysicalInput::MoveToAndWait(otherAt.x, otherAt.y));
    ASSERT_TRUE(other.Activate());
    const int keyboard = m_program.LogCount("(due to keyboard)");
    ASSERT_TRUE(PhysicalInput::KeyTap(L"Control_L"));
    ASSERT_TRUE(brmptest::WaitFor([&] { return m_program.LogCount("(due to keyboard)") > keyboard; })) << m_program.LogTail();
    // Back in the drag's window X1 ends the drag; a right click there comes after all of it.
    ASSERT_TRUE(PhysicalInput::ClickAt(dragAt.x, dragAt.y, PhysicalInput::kBack));
    ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
    ASSERT_TRUE(drag.WaitForRecord(Named(L"WM_RBUTTONUP"))) << drag.Describe();
    const std::vector<std::wstring> oneDrag = {L"WM_LBUTTONDOWN", L"WM_LBUTTONUP", L"WM_RBUTTONDOWN", L"WM_RBUTTONUP"};
    EXPECT_EQ(drag.RecordNames(L"BUTTON"), oneDrag) << "the keyboard switch dropped the drag\n"
                                                    << drag.Describe() << other.Describe() << m_program.LogTail();
}

TEST_F(ProgramRemap, AWindowARemappedClickFollowsThePointerIntoComesForwardByHoveringAndGetsTheNextClicksKeys)
{
    // The hovered window's right button types "h" with the action's defaults:
    // only while its window is active, and the click blocked. The window in
    // front is another program's, without a profile.
    m_probe.reset();
    const wchar_t frontTitle[] = L"Brmp Front Window";
    const wchar_t hoverTitle[] = L"Brmp Hover Window";
    Probe front(SideBySide(frontTitle, true));
    ASSERT_TRUE(front.Start());
    Probe hover(SideBySide(hoverTitle, false));
    ASSERT_TRUE(hover.Start());
    const POINT frontAt = front.Center();
    const POINT hoverAt = hover.Center();

    // With the global option, then with the hovered window's profile's own.
    for (const bool global : {true, false})
    {
        SCOPED_TRACE(global ? "ActivateOnMouseOver" : "the profile's ActivateOnHover");
        CSettings settings(false, GetStartupMouseInfo());
        settings.m_bNotifications = false;
        settings.m_bActivateOnMouseOver = global;
        settings.m_nActivateOnMouseOverDelay = 100;
        CApplicationSettings* profile = brmptest::AddProbeProfile(settings, hoverTitle);
        profile->ActivateOnHover(!global);
        profile->SetActions(Right, 0, ACTION_SIMULATED_KEYS);
        profile->SetKeystrokes(Right, 0, L"h", 0, 0, true, true, false, false);
        ASSERT_TRUE(m_program.WriteSettings(settings));
        const auto checks = [&] { return m_program.LogCount("ProcessMouseOverTimerProc: Checking MouseOver("); };
        if (global)
        {
            ASSERT_NO_FATAL_FAILURE(StartProgram());
            // The user has worked in the window before: the library knows its
            // caption, and a check of it in force goes no further.
            ASSERT_TRUE(hover.Activate());
            for (const int dx : {-8, 8})
            {
                const int rested = checks();
                ASSERT_TRUE(PhysicalInput::MoveToAndWait(hoverAt.x + dx, hoverAt.y));
                ASSERT_TRUE(brmptest::WaitFor([&] { return checks() > rested; })) << m_program.LogTail();
            }
        }
        else
        {
            const int loads = m_program.LogCount("HookDLL: Load Settings took");
            ASSERT_TRUE(m_program.StartLater(L"/debug /reload"));
            ASSERT_TRUE(brmptest::WaitFor([&] { return m_program.LogCount("HookDLL: Load Settings took") > loads; }, 20000))
                << m_program.LogTail();
        }

        // The pointer rests in the window in front...
        ASSERT_TRUE(front.Activate());
        const int before = checks();
        ASSERT_TRUE(PhysicalInput::MoveToAndWait(frontAt.x, frontAt.y));
        ASSERT_TRUE(brmptest::WaitFor([&] { return checks() > before; })) << m_program.LogTail();
        front.Clear();
        hover.Clear();
        // ...and moves on into the other window, which it right-clicks at once,
        // before the check the move asked for comes due.
        ASSERT_TRUE(PhysicalInput::Run({L"mousemove", std::to_wstring(hoverAt.x), std::to_wstring(hoverAt.y), L"click", L"3"}));
        EXPECT_TRUE(brmptest::WaitFor([&] { return hover.IsFocused(); }))
            << "the resting pointer never brought the window forward\n" << hover.Describe() << m_program.LogTail();
        ASSERT_TRUE(PhysicalInput::Click(PhysicalInput::kRight));
        EXPECT_TRUE(hover.WaitForRecord(Named(L"WM_CHAR", L"char", L'h'))) << hover.Describe() << m_program.LogTail();
        EXPECT_TRUE(front.Records(Named(L"WM_CHAR")).empty()) << "the click typed into the window in front\n" << front.Describe();
        EXPECT_TRUE(hover.Records(Named(L"WM_RBUTTONDOWN")).empty()) << hover.Describe();
    }
}
