// Profile targeting: the area and quarter rules on values, the profile chosen
// for real windows the test creates (match types, captions, process rules,
// areas, the default), process names, captions read from other windows, and
// the setup window told about a profile change.

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cwchar>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include "ApplicationSettings.h"
#include "Control.h"
#include "EngineTestSupport.h"
#include "Globals.h"
#include "LayerTestSupport.h"
#include "MouseInfo.h"
#include "ProfileTargeting.h"
#include "Settings.h"
#include "TargetingTestSupport.h"

using targetingtest::At;
using targetingtest::CentreOf;
using targetingtest::TestWindow;

namespace
{
// --- rules on values ---------------------------------------------------------------

TEST(WindowAreaRule, AreasAreLaidOnTheWindowFromTheEdgesTheirSignsName)
{
    const RECT base = {100, 200, 500, 600};
    struct Case
    {
        const char* name;
        RECT area;
        RECT expected;
    } cases[] = {
        {"margin of 10 all round", {10, 10, -10, -10}, {110, 210, 490, 590}},
        {"top 50 pixels of the rightmost 100", {-100, 0, 0, 50}, {400, 200, 500, 250}},
        {"a box from the top left corner", {0, 0, 40, 30}, {100, 200, 140, 230}},
        {"bottom strip", {0, -20, 0, 0}, {100, 580, 500, 600}},
        {"whole window", {0, 0, 0, 0}, {100, 200, 500, 600}},
    };
    for (const Case& c : cases)
    {
        const RECT got = WindowAreaRect(c.area, base);
        EXPECT_TRUE(::EqualRect(&got, &c.expected)) << c.name << ": " << got.left << "," << got.top << "," << got.right
                                                    << "," << got.bottom;
    }
    EXPECT_TRUE(IsEmptyWindowArea(RECT{0, 0, 0, 0}));
    EXPECT_TRUE(IsEmptyWindowArea(RECT{7, -3, 7, -3}));
    EXPECT_FALSE(IsEmptyWindowArea(RECT{10, 10, -10, -10}));
    EXPECT_FALSE(IsEmptyWindowArea(RECT{0, 0, 0, 50}));
}

TEST(WindowQuarterRule, MidlinesBelongToTheLeftAndUpperHalves)
{
    struct Case
    {
        RECT window;
        POINT point;
        int quarter;
    } cases[] = {
        {{0, 0, 100, 100}, {50, 50}, WINDOWMASK_TOPLEFT},
        {{0, 0, 100, 100}, {51, 50}, WINDOWMASK_TOPRIGHT},
        {{0, 0, 100, 100}, {50, 51}, WINDOWMASK_BOTTOMLEFT},
        {{0, 0, 100, 100}, {51, 51}, WINDOWMASK_BOTTOMRIGHT},
        {{0, 0, 100, 100}, {0, 0}, WINDOWMASK_TOPLEFT},
        {{0, 0, 100, 100}, {99, 99}, WINDOWMASK_BOTTOMRIGHT},
        {{0, 0, 101, 101}, {50, 50}, WINDOWMASK_TOPLEFT},   // integer halves
        {{0, 0, 101, 101}, {51, 51}, WINDOWMASK_BOTTOMRIGHT},
        {{-300, -200, -100, 0}, {-199, -101}, WINDOWMASK_TOPRIGHT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowQuarterOf(c.window, c.point), c.quarter) << c.point.x << "," << c.point.y;
}

TEST(WindowMaskRule, AHitPassesWhenTheMaskHasItsBitAndNeverUnderMask255)
{
    struct Case
    {
        int mask;
        int hit;
        bool passes;
    } cases[] = {
        {WINDOWMASK_ALL, WINDOWMASK_BOTTOMLEFT, true},  {WINDOWMASK_TOPLEFT, WINDOWMASK_TOPRIGHT, false},
        {3, WINDOWMASK_TOPRIGHT, true},                 {WINDOWMASK_AREA, WINDOWMASK_AREA, true},
        {WINDOWMASK_AREA, WINDOWMASK_TOPLEFT, false},   {255, WINDOWMASK_TOPLEFT, false},
        {255, WINDOWMASK_AREA, false},                  {0, WINDOWMASK_TOPLEFT, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MaskAcceptsHit(c.mask, c.hit), c.passes) << c.mask << " " << c.hit;
}

// --- profiles for real windows -----------------------------------------------------

constexpr const wchar_t* kProcess = L"tgtapp.exe";

struct ProfileSpec
{
    const wchar_t* caption;   // "*": none
    const wchar_t* process;
    const wchar_t* className;
    const wchar_t* parentClass;
    int matchType;
    const wchar_t* description;
    bool enabled = true;
    bool noParent = false;
    int mask = WINDOWMASK_ALL;
    bool useArea = false;
    RECT area = {0, 0, 0, 0};
};

// The library's settings replaced by a settings object of the test.
class SettingsSwap
{
public:
    SettingsSwap() : m_settings(false, CMouseInfo())
    {
        m_saved = g_pSettings;
        m_savedAreas = g_bAreaAppsPresent;
        m_savedAreaList = g_engine.pAreaApps;
        g_engine.Reset();
        g_pSettings = &m_settings;
        g_engine.pAreaApps = nullptr;
        CApplicationSettings* defaults = new CApplicationSettings(&m_settings, true, -1);
        defaults->SetDescription(L"Default");
        m_settings.SetDefaultApp(defaults);
        m_settings.m_bCaptionProfiles = true;
    }
    ~SettingsSwap()
    {
        g_engine.Reset();
        g_pSettings = m_saved;
        g_bAreaAppsPresent = m_savedAreas;
        g_engine.pAreaApps = m_savedAreaList;
        ClearActiveWindowArea();
    }
    SettingsSwap(const SettingsSwap&) = delete;
    SettingsSwap& operator=(const SettingsSwap&) = delete;

    CApplicationSettings* Add(const ProfileSpec& spec)
    {
        auto* profile = new CApplicationSettings(&m_settings, false, m_settings.GetApplicationCount());
        if (spec.className == nullptr)
            profile->SetApplication(spec.process);
        else
        {
            const std::wstring sep = kWindowKeySeparator;
            profile->SetApplication((L"W3:" + std::wstring(spec.caption) + sep + spec.process + sep + spec.className + sep +
                                     spec.parentClass).c_str());
        }
        profile->SetDescription(spec.description);
        profile->SetMatchType(spec.matchType);
        profile->SetEnableFlag(spec.enabled);
        profile->SetNoParentFlag(spec.noParent);
        profile->SetWindowMask(spec.mask);
        profile->SetUseWindowArea(spec.useArea);
        profile->SetWindowArea(spec.area);
        m_settings.AddApplication(profile);
        return profile;
    }
    CSettings& Settings() { return m_settings; }

private:
    CSettings m_settings;
    CSettings* m_saved = nullptr;
    bool m_savedAreas = false;
    std::list<CApplicationSettings*>* m_savedAreaList = nullptr;
};

std::wstring DescriptionOf(const CApplicationSettings* profile)
{
    if (profile == nullptr)
        return L"<null>";
    return profile->GetDescription() != nullptr ? profile->GetDescription() : L"";
}

// Root > Middle > Leaf, each with a title.
struct WindowTree
{
    TestWindow root = TestWindow::TopLevel(L"TgtRoot", RECT{100, 100, 500, 400}, L"Root Title");
    TestWindow middle = TestWindow::Child(L"TgtMiddle", root.Handle(), RECT{0, 0, 400, 300}, true, L"Middle Title");
    TestWindow leaf = TestWindow::Child(L"TgtLeaf", middle.Handle(), RECT{100, 100, 300, 200}, true, L"Leaf Title");
};

struct TargetCase
{
    const char* name;
    std::vector<ProfileSpec> profiles;
    bool areas;
    const wchar_t* process;
    const wchar_t* expected;
};

TEST(FindAppSettings, ChoosesCustomWindowProfilesByMatchTypeThenApplicationProfilesThenTheDefault)
{
    WindowTree tree;
    const POINT centre = CentreOf(tree.leaf.Handle());
    const TargetCase cases[] = {
        {"window class and parent class", {{L"*", kProcess, L"TgtLeaf", L"TgtMiddle", 1, L"hit"}}, false, kProcess, L"hit"},
        {"wrong parent class", {{L"*", kProcess, L"TgtLeaf", L"TgtRoot", 1, L"hit"}}, false, kProcess, L"Default"},
        {"no-parent flag refuses a child", {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", true, true}}, false, kProcess, L"Default"},
        {"process must match too", {{L"*", L"other.exe", L"TgtLeaf", L"*", 1, L"hit"}}, false, kProcess, L"Default"},
        {"a disabled profile is skipped", {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", false}}, false, kProcess, L"Default"},
        {"parent test of type 2", {{L"*", kProcess, L"TgtMiddle", L"TgtRoot", 2, L"hit"}}, false, kProcess, L"hit"},
        {"type 2 never tests the window itself", {{L"*", kProcess, L"TgtLeaf", L"*", 2, L"hit"}}, false, kProcess, L"Default"},
        {"type 3 falls back to the parent test", {{L"*", kProcess, L"TgtMiddle", L"TgtRoot", 3, L"hit"}}, false, kProcess, L"hit"},
        {"type 1 has no parent test", {{L"*", kProcess, L"TgtMiddle", L"TgtRoot", 1, L"hit"}}, false, kProcess, L"Default"},
        {"ancestor test of type 4", {{L"*", kProcess, L"TgtRoot", L"*", 4, L"hit"}}, false, kProcess, L"hit"},
        {"ancestor with no parent", {{L"*", kProcess, L"TgtRoot", L"*", 4, L"hit", true, true}}, false, kProcess, L"hit"},
        {"type 4 never tests the window itself", {{L"*", kProcess, L"TgtLeaf", L"*", 4, L"hit"}}, false, kProcess, L"Default"},
        {"type 5 finds the parent class further up", {{L"*", kProcess, L"TgtLeaf", L"TgtRoot", 5, L"hit"}}, false, kProcess, L"hit"},
        {"unknown match type", {{L"*", kProcess, L"TgtLeaf", L"*", 7, L"hit"}}, false, kProcess, L"Default"},
        {"caption of the window", {{L"Leaf Title", kProcess, L"TgtLeaf", L"*", 1, L"hit"}}, false, kProcess, L"hit"},
        {"caption of the parent", {{L"Middle Title", kProcess, L"TgtLeaf", L"*", 1, L"hit"}}, false, kProcess, L"hit"},
        {"caption of a further ancestor", {{L"Root Title", kProcess, L"TgtLeaf", L"*", 1, L"hit"}}, false, kProcess, L"hit"},
        {"caption nowhere", {{L"Other", kProcess, L"TgtLeaf", L"*", 1, L"hit"}}, false, kProcess, L"Default"},
        {"first matching profile in list order",
         {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"first"}, {L"*", kProcess, L"TgtLeaf", L"TgtMiddle", 1, L"second"}},
         false, kProcess, L"first"},
        {"custom window before application profile",
         {{L"*", kProcess, nullptr, nullptr, 1, L"app"}, {L"*", kProcess, L"TgtLeaf", L"*", 1, L"window"}}, false, kProcess,
         L"window"},
        {"application profile when no custom window matches",
         {{L"*", kProcess, nullptr, nullptr, 1, L"app"}, {L"*", kProcess, L"TgtOther", L"*", 1, L"window"}}, false, kProcess,
         L"app"},
        {"application profile of another process", {{L"*", L"other.exe", nullptr, nullptr, 1, L"app"}}, false, kProcess, L"Default"},
        {"quarter mask that holds the point",
         {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", true, false, WINDOWMASK_TOPLEFT | WINDOWMASK_BOTTOMLEFT}}, true,
         kProcess, L"hit"},
        {"quarter mask that misses the point",
         {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", true, false, WINDOWMASK_BOTTOMRIGHT}}, true, kProcess, L"Default"},
        {"mask 255 never matches while areas are in use", {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", true, false, 255}},
         true, kProcess, L"Default"},
        {"masks are ignored while no profile uses areas",
         {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", true, false, WINDOWMASK_BOTTOMRIGHT}}, false, kProcess, L"hit"},
        {"window area that holds the point",
         {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", true, false, WINDOWMASK_ALL, true, RECT{90, 40, -90, -40}}}, true,
         kProcess, L"hit"},
        {"window area that misses the point",
         {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", true, false, WINDOWMASK_ALL, true, RECT{-20, 0, 0, 20}}}, true,
         kProcess, L"Default"},
        {"empty window area", {{L"*", kProcess, L"TgtLeaf", L"*", 1, L"hit", true, false, WINDOWMASK_ALL, true, RECT{}}}, true,
         kProcess, L"Default"},
    };
    for (const TargetCase& c : cases)
    {
        SettingsSwap swap;
        for (const ProfileSpec& spec : c.profiles)
            swap.Add(spec);
        g_bAreaAppsPresent = c.areas;
        bool taskbar = true;
        CApplicationSettings* found = FindAppSettings(tree.leaf.Handle(), c.process, centre, &taskbar);
        EXPECT_EQ(DescriptionOf(found), std::wstring(c.expected)) << c.name;
        EXPECT_FALSE(taskbar) << c.name;
    }
}

TEST(FindAppSettings, TheDefaultProfileHoldsWithoutAnyProfileAndNullWithoutSettings)
{
    WindowTree tree;
    {
        SettingsSwap swap;
        EXPECT_EQ(FindAppSettings(tree.leaf.Handle(), kProcess, CentreOf(tree.leaf.Handle()), nullptr),
                  swap.Settings().GetDefaultApp());
        EXPECT_EQ(FindAppSettings(nullptr, nullptr, POINT{0, 0}, nullptr), swap.Settings().GetDefaultApp());
    }
    CSettings* saved = g_pSettings;
    g_pSettings = nullptr;
    bool taskbar = true;
    EXPECT_EQ(FindAppSettings(tree.leaf.Handle(), kProcess, POINT{0, 0}, &taskbar), nullptr);
    EXPECT_FALSE(taskbar);
    g_pSettings = saved;
}

TEST(FindAppSettings, TheTaskbarFlagIsSetOnlyWhileCustomWindowProfilesExist)
{
    TestWindow taskList = TestWindow::TopLevel(L"MSTaskListWClass", RECT{100, 100, 300, 150});
    const POINT point = CentreOf(taskList.Handle());
    SettingsSwap swap;
    bool taskbar = false;
    FindAppSettings(taskList.Handle(), kProcess, point, &taskbar);
    EXPECT_FALSE(taskbar);
    swap.Add({L"*", kProcess, L"Unrelated", L"*", 1, L"window"});
    FindAppSettings(taskList.Handle(), kProcess, point, &taskbar);
    EXPECT_TRUE(taskbar);
}

TEST(WindowArea, AMatchedAreaBecomesTheActiveAreaThatLaterPointsAreTestedAgainst)
{
    WindowTree tree;
    SettingsSwap swap;
    // The top 20 pixels of the rightmost 50 of the leaf window.
    CApplicationSettings* corner =
        swap.Add({L"*", kProcess, L"TgtLeaf", L"*", 1, L"corner", true, false, WINDOWMASK_ALL, true, RECT{-50, 0, 0, 20}});
    g_bAreaAppsPresent = true;
    const POINT inside = At(tree.leaf.Handle(), 180, 10);
    const POINT outside = At(tree.leaf.Handle(), 100, 10);

    EXPECT_EQ(GetWindowAreaHit(tree.leaf.Handle(), inside, corner), WINDOWMASK_AREA);
    EXPECT_EQ(GetWindowAreaHit(tree.leaf.Handle(), outside, corner), WINDOWMASK_TOPLEFT);

    EXPECT_TRUE(PointInActiveWindowArea(tree.leaf.Handle(), outside));   // no area active yet
    ASSERT_EQ(FindAppSettings(tree.leaf.Handle(), kProcess, inside, nullptr), corner);
    EXPECT_TRUE(PointInActiveWindowArea(tree.leaf.Handle(), inside));
    EXPECT_FALSE(PointInActiveWindowArea(tree.leaf.Handle(), outside));

    EXPECT_FALSE(MatchWindowArea(tree.leaf.Handle(), corner, outside));
    EXPECT_TRUE(PointInActiveWindowArea(tree.leaf.Handle(), outside));   // a miss clears it
    EXPECT_FALSE(MatchWindowArea(tree.leaf.Handle(), nullptr, inside));
}

// --- process names and captions ------------------------------------------------------

TEST(GetProcessName, NamesTheExecutableBehindAWindowTruncatedToTheBuffer)
{
    TestWindow window = TestWindow::TopLevel(L"TgtNamed", RECT{100, 100, 200, 200});
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window.Handle(), &pid);
    const std::wstring own = targetingtest::OwnExecutableName();

    ResetProcessNameCache();
    for (int round = 0; round < 2; ++round)   // the second answer comes from the cache
    {
        wchar_t name[MAX_PATH] = {};
        int recursion = 0;
        ASSERT_TRUE(GetProcessName(window.Handle(), pid, name, MAX_PATH, &recursion, PNR_ProcessButton)) << round;
        EXPECT_EQ(_wcsicmp(name, own.c_str()), 0) << round;
    }

    // Without a process id the window's own is named.
    ResetProcessNameCache();
    wchar_t byWindow[MAX_PATH] = {};
    ASSERT_TRUE(GetProcessName(window.Handle(), 0, byWindow, MAX_PATH, nullptr, PNR_MouseMove));
    EXPECT_EQ(_wcsicmp(byWindow, own.c_str()), 0);

    wchar_t small[8];
    std::fill(std::begin(small), std::end(small), L'#');
    ASSERT_TRUE(GetProcessName(window.Handle(), pid, small, 5, nullptr, PNR_ProcessButton));
    EXPECT_EQ(std::wstring(small), own.substr(0, 4));
    EXPECT_EQ(small[5], L'#');

    wchar_t name[MAX_PATH] = L"untouched";
    int deep = 6;
    EXPECT_FALSE(GetProcessName(window.Handle(), pid, name, MAX_PATH, &deep, PNR_Keyboard));
    EXPECT_EQ(ProcessNameReasonText(PNR_UniversalApp3), std::wstring(L"GPNUniversalApp3"));
    EXPECT_EQ(ProcessNameReasonText(42), std::wstring(L"Unknown"));
    ResetProcessNameCache();
}

namespace
{
// The executable file name of a process, from the system's process list.
std::wstring ExecutableOf(DWORD pid)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return {};
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    std::wstring name;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && name.empty(); more = ::Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == pid)
            name = entry.szExeFile;
    ::CloseHandle(snapshot);
    return name;
}
} // namespace

// The shell's process owns the desktop and folder windows alike: a name found
// for one of them must not be handed to the other from the cache.
TEST(GetProcessName, TheShellsDesktopAndItsOtherWindowsAreNamedApartForTheSamePid)
{
    // The shell's process: the one of its own window on Windows (the desktop
    // window there belongs to a system process), of the desktop under Wine,
    // which draws the desktop in the shell and names no shell window.
    const HWND shellWindow = ::GetShellWindow() != nullptr ? ::GetShellWindow() : ::GetDesktopWindow();
    DWORD shellPid = 0;
    ::GetWindowThreadProcessId(shellWindow, &shellPid);
    ASSERT_EQ(_wcsicmp(ExecutableOf(shellPid).c_str(), L"explorer.exe"), 0)
        << "the shell's window belongs to " << testing::PrintToString(ExecutableOf(shellPid));
    ResetProcessNameCache();
    wchar_t first[MAX_PATH] = {};
    ASSERT_TRUE(GetProcessName(nullptr, shellPid, first, MAX_PATH, nullptr, PNR_ProcessButton));
    EXPECT_EQ(_wcsnicmp(first, L"explorer.exe", 12), 0) << testing::PrintToString(std::wstring(first));

    // The desktop's list view sits two levels below the shell's top window.
    TestWindow shell = TestWindow::TopLevel(L"Progman", RECT{100, 100, 300, 300});
    TestWindow view = TestWindow::Child(L"TgtShellView", shell.Handle(), RECT{0, 0, 200, 200});
    TestWindow list = TestWindow::Child(L"TgtShellList", view.Handle(), RECT{0, 0, 200, 200});
    TestWindow folder = TestWindow::TopLevel(L"TgtFolder", RECT{400, 100, 500, 200});

    for (int round = 0; round < 2; ++round)   // the first round may look the process up, the second is cached
    {
        wchar_t desktop[MAX_PATH] = {};
        wchar_t other[MAX_PATH] = {};
        ASSERT_TRUE(GetProcessName(list.Handle(), shellPid, desktop, MAX_PATH, nullptr, PNR_ProcessButton));
        ASSERT_TRUE(GetProcessName(folder.Handle(), shellPid, other, MAX_PATH, nullptr, PNR_ProcessButton));
        EXPECT_EQ(_wcsicmp(desktop, L"explorer.exe (Desktop)"), 0) << round;
        EXPECT_EQ(_wcsicmp(other, L"explorer.exe"), 0) << round;
    }
    ResetProcessNameCache();
}

TEST(GetWindowCaption, ReadsBoundedCaptionsAndRefusesLongOnesAndOwnWindowsWithoutAskingTheApplication)
{
    SettingsSwap swap;
    const std::wstring longTitle(300, L'x');
    TestWindow plain = TestWindow::TopLevel(L"TgtCaption", RECT{100, 100, 200, 200}, L"Twenty characters!!!");
    TestWindow tooLong = TestWindow::TopLevel(L"TgtCaption", RECT{100, 100, 200, 200}, longTitle.c_str());
    TestWindow formatty = TestWindow::TopLevel(L"TgtCaption", RECT{100, 100, 200, 200}, L"%s%s%n%d %S");

    wchar_t caption[kMaxCaptionChars + 1];
    EXPECT_TRUE(GetWindowCaption(plain.Handle(), kProcess, caption, kMaxCaptionChars + 1, L"TgtCaption"));
    EXPECT_EQ(std::wstring(caption), L"Twenty characters!!!");

    wchar_t small[12];
    std::fill(std::begin(small), std::end(small), L'#');
    EXPECT_TRUE(GetWindowCaption(plain.Handle(), kProcess, small, 8, L"TgtCaption"));
    EXPECT_EQ(std::wstring(small), L"Twenty ");
    EXPECT_EQ(small[8], L'#');

    EXPECT_FALSE(GetWindowCaption(tooLong.Handle(), kProcess, caption, kMaxCaptionChars + 1, L"TgtCaption"));
    EXPECT_TRUE(GetWindowCaption(formatty.Handle(), kProcess, caption, kMaxCaptionChars + 1, L"TgtCaption"));
    EXPECT_EQ(std::wstring(caption), L"%s%s%n%d %S");
    EXPECT_TRUE(GetWindowCaption(plain.Handle(), kProcess, caption, kMaxCaptionChars + 1, L"Scintilla"));
    EXPECT_EQ(std::wstring(caption), L"Scintilla");

    // Windows of our own program are never asked.
    EXPECT_FALSE(GetWindowCaption(plain.Handle(), targetingtest::OwnExecutableName().c_str(), caption,
                                  kMaxCaptionChars + 1, L"TgtCaption"));
    swap.Settings().m_bCaptionProfiles = false;
    EXPECT_FALSE(GetWindowCaption(plain.Handle(), kProcess, caption, kMaxCaptionChars + 1, L"TgtCaption"));
    swap.Settings().m_bCaptionProfiles = true;

    // A profile whose caption holds format characters matches such a title literally.
    swap.Add({L"%s%s%n%d %S", kProcess, L"TgtCaption", L"*", 1, L"formatty"});
    EXPECT_EQ(DescriptionOf(FindAppSettings(formatty.Handle(), kProcess, CentreOf(formatty.Handle()), nullptr)),
              L"formatty");

    // A window whose thread stops pumping still gives its caption: the window
    // server answers, not the window's application.
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> hung{nullptr};
    std::thread owner([&] {
        TestWindow window = TestWindow::TopLevel(L"TgtHungCaption", RECT{600, 100, 700, 200}, L"Hung");
        hung = window.Handle();
        ::WaitForSingleObject(release, 10000);
    });
    ASSERT_TRUE(enginetest::WaitFor([&] { return hung.load() != nullptr; }));
    EXPECT_TRUE(GetWindowCaption(hung.load(), kProcess, caption, kMaxCaptionChars + 1, L"TgtHungCaption"));
    EXPECT_EQ(std::wstring(caption), L"Hung");
    ::SetEvent(release);
    owner.join();
    ::CloseHandle(release);
}

// --- switching the profile in force -----------------------------------------------

TEST(SwitchToProfile, TheSetupWindowIsToldOfEachChangeWithTheWindowAndProfile)
{
    WindowTree tree;
    SettingsSwap swap;
    CApplicationSettings* quarter =
        swap.Add({L"*", kProcess, L"TgtLeaf", L"*", 1, L"quarter", true, false, WINDOWMASK_TOPRIGHT});
    CApplicationSettings* app = swap.Add({L"*", kProcess, nullptr, nullptr, 1, L"app"});
    layertest::RecordingWindow setup;
    g_engine.hSetupWnd = setup.Handle();

    struct Step
    {
        CApplicationSettings* profile;
        bool changes;
        bool masked;
        int mask;
    } steps[] = {
        {quarter, true, true, WINDOWMASK_TOPRIGHT},
        {quarter, false, true, WINDOWMASK_TOPRIGHT},
        {app, true, false, 0},
        {swap.Settings().GetDefaultApp(), true, false, 0},
    };
    for (const Step& step : steps)
    {
        setup.Clear();
        std::atomic<int> result{-1};
        // From another thread, as the hook thread does; this thread pumps the setup window.
        std::thread hookSide([&] { result = SwitchToProfile(tree.leaf.Handle(), kProcess, step.profile, false) ? 1 : 0; });
        ASSERT_TRUE(enginetest::WaitFor([&] { return result.load() != -1; }));
        hookSide.join();
        EXPECT_EQ(result.load(), step.changes ? 1 : 0) << DescriptionOf(step.profile);
        EXPECT_EQ(g_engine.pCurrentApp, step.profile);
        EXPECT_EQ(CurrentProfileMasked(), step.masked) << DescriptionOf(step.profile);
        EXPECT_EQ(CurrentProfileMask(), step.mask) << DescriptionOf(step.profile);
        const std::vector<layertest::Posted> told = setup.Received(BRMP_ProcessChanged);
        if (step.changes)
        {
            ASSERT_EQ(told.size(), 1u) << DescriptionOf(step.profile);
            EXPECT_EQ(reinterpret_cast<HWND>(told[0].wParam), tree.leaf.Handle());
            EXPECT_EQ(reinterpret_cast<CApplicationSettings*>(told[0].lParam), step.profile);
            EXPECT_EQ(std::wstring(g_engine.szCurrentProcess), kProcess);
        }
        else
        {
            EXPECT_TRUE(told.empty()) << DescriptionOf(step.profile);
        }
    }
}

TEST(SwitchToProfile, AHungSetupWindowDoesNotHoldUpTheSwitch)
{
    SettingsSwap swap;
    CApplicationSettings* app = swap.Add({L"*", kProcess, nullptr, nullptr, 1, L"app"});

    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> hung{nullptr};
    std::thread owner([&] {
        TestWindow window = TestWindow::TopLevel(L"TgtHungSetup", RECT{600, 100, 700, 200});
        hung = window.Handle();
        ::WaitForSingleObject(release, 10000);
    });
    ASSERT_TRUE(enginetest::WaitFor([&] { return hung.load() != nullptr; }));
    g_engine.hSetupWnd = hung.load();
    EXPECT_TRUE(SwitchToProfile(nullptr, kProcess, app, false));
    EXPECT_EQ(g_engine.pCurrentApp, app);
    ::SetEvent(release);
    owner.join();
    ::CloseHandle(release);
}

TEST(SwitchToProfile, ASetupWindowBusyLongerThanTheTimeOutStillHearsOfTheSwitch)
{
    SettingsSwap swap;
    CApplicationSettings* app = swap.Add({L"*", kProcess, nullptr, nullptr, 1, L"app"});

    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> busy{nullptr};
    std::atomic<bool> told{false};
    std::thread owner([&] {
        layertest::RecordingWindow setup;
        busy = setup.Handle();
        // Busy past the note's time-out, then free to read its messages.
        ::WaitForSingleObject(release, 10000);
        told = enginetest::WaitFor([&] { return !setup.Received(BRMP_ProcessChanged).empty(); });
    });
    ASSERT_TRUE(enginetest::WaitFor([&] { return busy.load() != nullptr; }));
    g_engine.hSetupWnd = busy.load();
    EXPECT_TRUE(SwitchToProfile(nullptr, kProcess, app, false));
    ::SetEvent(release);
    owner.join();
    ::CloseHandle(release);
    EXPECT_TRUE(told.load()) << "the note was lost with its time-out";
}
}

// A click in another part of the same window asks for the profile again, but
// only while some profile is limited to parts of windows.
TEST(WindowPartChanged, AnotherQuarterOfTheSameWindowCountsAsAChange)
{
    TestWindow window = TestWindow::TopLevel(L"TgtParts", RECT{100, 100, 500, 500}, L"Parts");
    const bool savedAreas = g_bAreaAppsPresent;
    ClearActiveWindowArea();
    g_bAreaAppsPresent = true;
    int lastQuarter = WINDOWMASK_TOPLEFT;
    struct Step
    {
        const char* name;
        POINT point;
        bool changed;
    };
    const Step steps[] = {
        {"same quarter", {150, 150}, false},
        {"bottom right", {450, 450}, true},
        {"still bottom right", {460, 470}, false},
        {"back to top left", {120, 130}, true},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(WindowPartChanged(window.Handle(), step.point, lastQuarter), step.changed);
    }
    g_bAreaAppsPresent = false;
    EXPECT_FALSE(WindowPartChanged(window.Handle(), POINT{450, 450}, lastQuarter)) << "no area profiles, no check";
    g_bAreaAppsPresent = savedAreas;
}
