// The window under the cursor: the cache rule, the deepest-child rule, tooltips,
// the hit test that gives up on a hung window, and the cache shared by threads.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "DpiScaling.h"
#include "EngineTestSupport.h"
#include "OSVersion.h"
#include "TargetingTestSupport.h"
#include "WindowFromPoint.h"

using targetingtest::At;
using targetingtest::CentreOf;
using targetingtest::TestWindow;

namespace
{
struct CacheCase
{
    const char* name;
    POINT cached;
    DWORD lastUse;
    POINT point;
    DWORD now;
    bool heldForScroll;
    bool cached_answer;
};

TEST(WindowCacheRule, AnswersTheCachedWindowOnlyNearbyAndRecently)
{
    const CacheCase cases[] = {
        {"same point at once", {100, 100}, 1000, {100, 100}, 1000, false, true},
        {"5 px away both ways after 400 ms", {100, 100}, 1000, {105, 95}, 1400, false, true},
        {"6 px away horizontally", {100, 100}, 1000, {106, 100}, 1000, false, false},
        {"6 px away vertically", {100, 100}, 1000, {100, 94}, 1000, false, false},
        {"at 500 ms", {100, 100}, 1000, {100, 100}, 1500, false, true},
        {"after 501 ms", {100, 100}, 1000, {100, 100}, 1501, false, false},
        {"tick count wrapped", {100, 100}, 0xFFFFFF00u, {100, 100}, 0x50u, false, true},
        {"far away while movement-to-scroll holds", {100, 100}, 1000, {900, 700}, 1200, true, true},
        {"held but stale", {100, 100}, 1000, {100, 100}, 1600, true, false},
        {"reset cache never answers", {-1000000, -1000000}, static_cast<DWORD>(-1000000), {-999999, -999999}, 5000, false, false},
        {"extreme coordinates do not overflow", {LONG_MIN + 2, 0}, 1000, {LONG_MAX, 0}, 1000, false, false},
    };
    for (const CacheCase& c : cases)
        EXPECT_EQ(UseCachedWindow(c.cached, c.lastUse, c.point, c.now, c.heldForScroll), c.cached_answer) << c.name;
}

TEST(DeepestChildRule, SmallerWinsAndEqualAreaGoesToAStaticClassOnly)
{
    struct Case
    {
        const char* name;
        long long kept;
        long long area;
        const wchar_t* className;
        bool replaces;
    } cases[] = {
        {"first candidate", -1, 5000, L"Button", true},
        {"smaller", 5000, 4999, L"Button", true},
        {"larger", 5000, 5001, L"Static", false},
        {"equal, plain class", 5000, 5000, L"Button", false},
        {"equal, Static", 5000, 5000, L"Static", true},
        {"equal, class beginning static in any case", 5000, 5000, L"STATICtext", true},
        {"equal, static only inside the name", 5000, 5000, L"MyStatic", false},
        {"equal, no class", 5000, 5000, nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplacesKeptWindow(c.kept, c.area, c.className), c.replaces) << c.name;
}

class WindowUnderPoint : public ::testing::Test
{
protected:
    void SetUp() override { ResetWindowFromPointCache(); }
    void TearDown() override { ResetWindowFromPointCache(); }
};

TEST_F(WindowUnderPoint, TheDeepestVisibleChildAnswersAndHiddenOnesOnlyOnRequest)
{
    TestWindow top = TestWindow::TopLevel(L"TgtTop", RECT{100, 100, 500, 400});
    TestWindow panel = TestWindow::Child(L"TgtPanel", top.Handle(), RECT{0, 0, 400, 300});
    TestWindow button = TestWindow::Child(L"TgtButton", panel.Handle(), RECT{20, 20, 120, 60});
    TestWindow hidden = TestWindow::Child(L"TgtHidden", panel.Handle(), RECT{200, 200, 240, 240}, false);

    const POINT inButton = At(panel.Handle(), 50, 40);
    // The system places the new windows under the points.
    ASSERT_TRUE(enginetest::WaitFor([&] { return ::GetAncestor(::WindowFromPoint(inButton), GA_ROOT) == top.Handle(); }));
    const POINT inPanel = At(panel.Handle(), 300, 50);
    const POINT overHidden = At(panel.Handle(), 220, 220);

    EXPECT_EQ(WindowFromPointEx(inButton, 0), button.Handle());
    EXPECT_EQ(WindowFromPointEx(inPanel, 0), panel.Handle());
    EXPECT_EQ(WindowFromPointEx(overHidden, 0), panel.Handle());
    EXPECT_EQ(WindowFromPointEx(overHidden, 1), hidden.Handle());

    EXPECT_EQ(RealWindowFromPoint(inButton), button.Handle());
    ResetWindowFromPointCache();
    EXPECT_EQ(RealWindowFromPoint_SkipLocked(inPanel, true), panel.Handle());
    ResetWindowFromPointCache();
    EXPECT_EQ(RealWindowFromPoint_SkipLocked(inButton, false), button.Handle());
}

TEST_F(WindowUnderPoint, OfTwoOverlappingChildrenOfEqualSizeTheLaterWinsOnlyWhenItsClassBeginsWithStatic)
{
    struct Case
    {
        const wchar_t* first;
        const wchar_t* later;
        bool laterWins;
    } cases[] = {
        {L"TgtPlainA", L"StaticTgt", true},
        {L"StaticTgt", L"TgtPlainB", false},
        {L"TgtPlainA", L"TgtPlainB", false},
    };
    for (const Case& c : cases)
    {
        ResetWindowFromPointCache();
        TestWindow top = TestWindow::TopLevel(L"TgtTop", RECT{100, 100, 500, 400});
        TestWindow first = TestWindow::Child(c.first, top.Handle(), RECT{10, 10, 110, 110});
        TestWindow later = TestWindow::Child(c.later, top.Handle(), RECT{10, 10, 110, 110});
        // Enumeration runs top of the z-order first: put the later one last.
        ::SetWindowPos(first.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetWindowPos(later.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        const POINT point = At(top.Handle(), 50, 50);
        EXPECT_EQ(WindowFromPointEx(point, 0), c.laterWins ? later.Handle() : first.Handle())
            << "first " << static_cast<const void*>(c.first);
    }
}

TEST_F(WindowUnderPoint, ATooltipAnswersItsOwnerOrWhatLiesJustAboveIt)
{
    TestWindow top = TestWindow::TopLevel(L"TgtTop", RECT{100, 100, 500, 400});
    TestWindow panel = TestWindow::Child(L"TgtPanel", top.Handle(), RECT{0, 0, 400, 300});
    // A new window shown right after the active one went is not yet above its
    // owner when the system first answers: each is asked about only once the
    // system places it under its point.
    const auto placed = [](HWND window) {
        const POINT centre = CentreOf(window);
        return enginetest::WaitFor([&] { return ::WindowFromPoint(centre) == window; });
    };

    {
        TestWindow owned = TestWindow::TopLevel(L"TgtTooltips_class", RECT{200, 300, 300, 320}, L"", WS_EX_TOOLWINDOW, top.Handle());
        const POINT over = CentreOf(owned.Handle());
        ASSERT_TRUE(placed(owned.Handle()));
        EXPECT_EQ(RealWindowFromPoint(over), top.Handle());
        ResetWindowFromPointCache();
        EXPECT_EQ(RealWindowFromPoint_SkipLocked(over, true), top.Handle());
    }
    ResetWindowFromPointCache();
    {
        TestWindow loose = TestWindow::TopLevel(L"TgtTooltips_class", RECT{200, 250, 300, 270}, L"", WS_EX_TOOLWINDOW);
        const POINT over = CentreOf(loose.Handle());
        ASSERT_TRUE(placed(loose.Handle()));
        EXPECT_EQ(RealWindowFromPoint(over), panel.Handle());
        ResetWindowFromPointCache();
        EXPECT_EQ(RealWindowFromPoint_SkipLocked(over, true), panel.Handle());
    }
    ResetWindowFromPointCache();
    {
        // A tool window that is no tooltip is answered as it is.
        TestWindow palette = TestWindow::TopLevel(L"TgtPalette", RECT{200, 250, 300, 270}, L"", WS_EX_TOOLWINDOW, top.Handle());
        ASSERT_TRUE(placed(palette.Handle()));
        EXPECT_EQ(RealWindowFromPoint(CentreOf(palette.Handle())), palette.Handle());
    }
}

TEST_F(WindowUnderPoint, AParentlessTooltipThatMovedAnswersWhatLiesJustAboveItWhereItIsNow)
{
    TestWindow left = TestWindow::TopLevel(L"TgtLeft", RECT{100, 100, 400, 400});
    TestWindow right = TestWindow::TopLevel(L"TgtRight", RECT{600, 100, 900, 400});
    TestWindow tip = TestWindow::TopLevel(L"TgtTooltips_class", RECT{200, 250, 300, 270}, L"", WS_EX_TOOLWINDOW);
    const auto placed = [&] {
        const POINT centre = CentreOf(tip.Handle());
        return enginetest::WaitFor([&] { return ::WindowFromPoint(centre) == tip.Handle(); });
    };
    ASSERT_TRUE(placed());
    EXPECT_EQ(RealWindowFromPoint(CentreOf(tip.Handle())), left.Handle());
    EXPECT_EQ(RealWindowFromPoint_SkipLocked(CentreOf(tip.Handle()), true), left.Handle());

    // The same tooltip shown for another tool, over the other window.
    ::SetWindowPos(tip.Handle(), nullptr, 700, 250, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(placed());
    EXPECT_EQ(RealWindowFromPoint(CentreOf(tip.Handle())), right.Handle());
    EXPECT_EQ(RealWindowFromPoint_SkipLocked(CentreOf(tip.Handle()), true), right.Handle());
}

TEST_F(WindowUnderPoint, ACachedWindowThatWasDestroyedIsLookedUpAgain)
{
    TestWindow top = TestWindow::TopLevel(L"TgtTop", RECT{100, 100, 500, 400});
    TestWindow cover = TestWindow::TopLevel(L"TgtCover", RECT{150, 150, 250, 250});
    const POINT point = CentreOf(cover.Handle());
    ASSERT_EQ(RealWindowFromPoint_SkipLocked(point, true), cover.Handle());
    cover.Destroy();
    EXPECT_EQ(RealWindowFromPoint_SkipLocked(point, true), top.Handle());
}

TEST_F(WindowUnderPoint, ThreadsSharingTheCacheNeverGetAWindowCachedForAnotherPoint)
{
    TestWindow left = TestWindow::TopLevel(L"TgtLeft", RECT{100, 100, 300, 300});
    TestWindow right = TestWindow::TopLevel(L"TgtRight", RECT{600, 100, 800, 300});
    const POINT leftPoint = CentreOf(left.Handle());
    const POINT rightPoint = CentreOf(right.Handle());

    std::atomic<int> wrong{0};
    auto hammer = [&](POINT point, HWND expected, bool locked) {
        for (int i = 0; i < 3000; ++i)
        {
            HWND got = locked ? RealWindowFromPoint(point) : RealWindowFromPoint_SkipLocked(point, true);
            if (got != expected)
                ++wrong;
        }
    };
    std::thread a(hammer, leftPoint, left.Handle(), false);
    std::thread b(hammer, rightPoint, right.Handle(), false);
    std::thread c(hammer, leftPoint, left.Handle(), true);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(NonClientHitTest, AnswersTheWindowsHitAndTheClientAreaWhenTheWindowDoesNotAnswer)
{
    TestWindow top = TestWindow::TopLevel(L"TgtTop", RECT{100, 100, 500, 400});
    top.SetHitTest(HTCAPTION);
    EXPECT_EQ(NonClientHitTest(top.Handle(), CentreOf(top.Handle())), HTCAPTION);
    top.SetHitTest(HTBOTTOMRIGHT);
    EXPECT_EQ(NonClientHitTest(top.Handle(), CentreOf(top.Handle())), HTBOTTOMRIGHT);
    EXPECT_EQ(NonClientHitTest(nullptr, POINT{0, 0}), HTCLIENT);

    // A window whose thread stops pumping: the hit test gives up and counts it as client area.
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> hung{nullptr};
    std::thread owner([&] {
        TestWindow window = TestWindow::TopLevel(L"TgtHung", RECT{600, 100, 700, 200});
        window.SetHitTest(HTCAPTION);
        hung = window.Handle();
        ::WaitForSingleObject(release, 10000);
    });
    ASSERT_TRUE(enginetest::WaitFor([&] { return hung.load() != nullptr; }));
    EXPECT_EQ(NonClientHitTest(hung.load(), POINT{650, 150}), HTCLIENT);
    ::SetEvent(release);
    owner.join();
    ::CloseHandle(release);
}
}

namespace
{
TEST(DpiScaling, BeforeWindows81CursorPositionsAreLeftAloneAndFromThenOnRead)
{
    PinOSVersion(ActionOS_Win8);
    InitScalingFunctions();
    EXPECT_FALSE(ScalingActive());
    POINT point = {-7, -9};
    EXPECT_EQ(ScaleWin81CursorPos(&point), 0);
    EXPECT_EQ(GetWin81CursorPos(&point), 1);
    EXPECT_EQ(point.x, -7);
    EXPECT_EQ(point.y, -9);

    PinOSVersion(ActionOS_Win81);
    InitScalingFunctions();
    EXPECT_TRUE(ScalingActive());
    ASSERT_TRUE(::SetCursorPos(321, 234));
    POINT cursor = {};
    ASSERT_TRUE(enginetest::WaitFor([&] { return ::GetCursorPos(&cursor) && cursor.x == 321 && cursor.y == 234; }));
    point = POINT{-7, -9};
    EXPECT_NE(GetWin81CursorPos(&point), 0);
    EXPECT_EQ(point.x, 321);
    EXPECT_EQ(point.y, 234);

    // At the usual 96 DPI physical and logical positions agree.
    POINT physical = {};
    ASSERT_TRUE(GetPhysCursorPos(&physical));
    EXPECT_EQ(physical.x, 321);
    EXPECT_EQ(physical.y, 234);
    EXPECT_FALSE(GetPhysCursorPos(nullptr));
    EXPECT_EQ(ScaleWin81CursorPos(nullptr), 0);

    UnpinOSVersion();
    InitScalingFunctions();
}
}
