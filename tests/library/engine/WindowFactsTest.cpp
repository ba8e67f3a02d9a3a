// What a window tells about itself, asked once per scope: the answers are the
// system's own (GetParent's rule included, when it is worked out from the
// style already read), a scope opened inside another is the same scope, and the
// captions a decision read are noted once per window, in order.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TargetingTestSupport.h"
#include "WindowFacts.h"

using targetingtest::TestWindow;

namespace
{
HWND Overlapped(const wchar_t* title, HWND owner)
{
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"BrmpFactsOverlapped";
        return ::RegisterClassW(&windowClass) != 0;
    }();
    (void)registered;
    return ::CreateWindowExW(0, L"BrmpFactsOverlapped", title, WS_OVERLAPPEDWINDOW, 10, 10, 100, 100, owner, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
}
} // namespace

TEST(WindowFacts, EachAnswerIsTheSystemsOwnAlsoWhenTheParentIsWorkedOutFromTheStyle)
{
    const TestWindow owner = TestWindow::TopLevel(L"BrmpFactsOwner", RECT{10, 10, 200, 200});
    const TestWindow popup = TestWindow::TopLevel(L"BrmpFactsPopup", RECT{20, 20, 120, 120}, L"", 0, owner.Handle());
    const TestWindow child = TestWindow::Child(L"BrmpFactsChild", owner.Handle(), RECT{5, 5, 50, 50});
    const HWND ownedOverlapped = Overlapped(L"owned", owner.Handle());
    const HWND plainOverlapped = Overlapped(L"plain", nullptr);
    ASSERT_NE(ownedOverlapped, nullptr);
    ASSERT_NE(plainOverlapped, nullptr);

    for (const HWND window : {owner.Handle(), popup.Handle(), child.Handle(), ownedOverlapped, plainOverlapped})
    {
        SCOPED_TRACE(::testing::Message() << "window " << window);
        const HWND parent = ::GetParent(window);
        {
            CWindowFactsScope scope(CWindowFactsScope::Captions::ByMessage);
            EXPECT_EQ(windowfacts::Parent(window), parent) << "without the style";
        }
        {
            CWindowFactsScope scope(CWindowFactsScope::Captions::ByMessage);
            EXPECT_EQ(windowfacts::Style(window), ::GetWindowLongW(window, GWL_STYLE));
            EXPECT_EQ(windowfacts::Parent(window), parent) << "worked out from the style";
            EXPECT_EQ(windowfacts::ExStyle(window), ::GetWindowLongW(window, GWL_EXSTYLE));
            EXPECT_EQ(windowfacts::Root(window), ::GetAncestor(window, GA_ROOT));
            DWORD pid = 0;
            ::GetWindowThreadProcessId(window, &pid);
            EXPECT_EQ(windowfacts::ProcessId(window), pid);
        }
        EXPECT_EQ(windowfacts::Parent(window), parent) << "without a scope";
    }
    EXPECT_EQ(windowfacts::Parent(ownedOverlapped), nullptr) << "an owned overlapped window has no parent";
    EXPECT_EQ(windowfacts::Parent(popup.Handle()), owner.Handle()) << "a pop-up's owner";
    EXPECT_EQ(windowfacts::Parent(child.Handle()), owner.Handle());
    ::DestroyWindow(ownedOverlapped);
    ::DestroyWindow(plainOverlapped);
}

TEST(WindowFacts, AFactIsReadOnceInAScopeAndAgainInTheNext)
{
    TestWindow window = TestWindow::TopLevel(L"BrmpFactsStyled", RECT{10, 10, 200, 200});
    const LONG before = ::GetWindowLongW(window.Handle(), GWL_EXSTYLE);
    {
        CWindowFactsScope scope(CWindowFactsScope::Captions::ByMessage);
        EXPECT_EQ(windowfacts::ExStyle(window.Handle()), before);
        ::SetWindowLongW(window.Handle(), GWL_EXSTYLE, before | WS_EX_TOOLWINDOW);
        {
            CWindowFactsScope inner(CWindowFactsScope::Captions::FromWindowServer);
            EXPECT_EQ(windowfacts::ExStyle(window.Handle()), before) << "an inner scope is the outer one";
        }
        EXPECT_EQ(windowfacts::ExStyle(window.Handle()), before) << "one event, one answer";
    }
    CWindowFactsScope next(CWindowFactsScope::Captions::FromWindowServer);
    EXPECT_EQ(windowfacts::ExStyle(window.Handle()), before | WS_EX_TOOLWINDOW);

    wchar_t name[8] = {};
    EXPECT_TRUE(windowfacts::ClassName(window.Handle(), name, 8));
    EXPECT_STREQ(name, L"BrmpFac") << "truncated to the buffer";
    EXPECT_FALSE(windowfacts::ClassName(nullptr, name, 8));
    EXPECT_STREQ(name, L"");
}

TEST(WindowFacts, TheCaptionsADecisionReadAreNotedOncePerWindowInOrder)
{
    const HWND a = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1000));
    const HWND b = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x2000));
    windowfacts::NoteCaption(a, true, L"not noted: no scope");
    CWindowFactsScope scope(CWindowFactsScope::Captions::ByMessage);
    EXPECT_EQ(windowfacts::CaptionMark(), 0);
    windowfacts::NoteCaption(a, true, L"earlier decision");
    const int mark = windowfacts::CaptionMark();
    windowfacts::NoteCaption(b, true, L"Title");
    windowfacts::NoteCaption(a, false, nullptr);
    windowfacts::NoteCaption(b, true, L"Other title");
    const windowfacts::CaptionsRead read = windowfacts::CaptionsSince(mark);
    ASSERT_EQ(read.count, 2);
    EXPECT_EQ(read.windows[0], b);
    EXPECT_EQ(read.windows[1], a);
    const unsigned expected = windowfacts::CombineCaptionHash(
        windowfacts::CombineCaptionHash(windowfacts::kCaptionHashStart, windowfacts::CaptionHash(b, true, L"Title")),
        windowfacts::CaptionHash(a, false, nullptr));
    EXPECT_EQ(read.hash, expected) << "as first read";
    EXPECT_NE(windowfacts::CaptionHash(b, true, L"Title"), windowfacts::CaptionHash(b, true, L"Titl"));
    EXPECT_NE(windowfacts::CaptionHash(b, false, nullptr), windowfacts::CaptionHash(b, true, L""));
    EXPECT_NE(windowfacts::CaptionHash(a, true, L"Title"), windowfacts::CaptionHash(b, true, L"Title"));

    // More windows than a decision can remember: it is not remembered.
    for (UINT_PTR i = 0; i < windowfacts::kMaxNotedCaptions + 1; ++i)
        windowfacts::NoteCaption(reinterpret_cast<HWND>(0x3000 + i * 16), true, L"x");
    EXPECT_EQ(windowfacts::CaptionsSince(windowfacts::CaptionMark() - windowfacts::kMaxNotedCaptions - 1).count, -1);
}

// A hook procedure's scope keeps a window's class and process across events
// (no other scope does), until the window is gone and the check for windows
// gone has run: a later window given the same handle is then asked anew. (A
// gone window's class shows this: the system gives none.)
TEST(WindowFacts, AHookScopeKeepsClassAndProcessOfAWindowUntilItIsGone)
{
    windowfacts::ForgetKeptWindows();
    HWND window = Overlapped(L"kept", nullptr);
    ASSERT_NE(window, nullptr);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    wchar_t name[64] = {};
    {
        CWindowFactsScope hook(CWindowFactsScope::Captions::FromWindowServer);
        EXPECT_TRUE(windowfacts::ClassName(window, name, 64));
        EXPECT_EQ(windowfacts::ProcessId(window), pid);
    }
    ::DestroyWindow(window);
    {
        CWindowFactsScope other(CWindowFactsScope::Captions::ByMessage);
        EXPECT_FALSE(windowfacts::ClassName(window, name, 64)) << "another scope asks the system";
    }
    {
        CWindowFactsScope hook(CWindowFactsScope::Captions::FromWindowServer);
        EXPECT_TRUE(windowfacts::ClassName(window, name, 64)) << "kept from the event before";
        EXPECT_STREQ(name, L"BrmpFactsOverlapped");
    }
    windowfacts::ForgetGoneWindows();
    {
        CWindowFactsScope hook(CWindowFactsScope::Captions::FromWindowServer);
        EXPECT_FALSE(windowfacts::ClassName(window, name, 64)) << "forgotten once gone";
    }
}

// A live window's kept facts survive the check for windows gone, and more
// windows than the table holds still get their own answers.
TEST(WindowFacts, TheKeptFactsOfLiveWindowsStayAndEachWindowGetsItsOwn)
{
    windowfacts::ForgetKeptWindows();
    const TestWindow live = TestWindow::TopLevel(L"BrmpFactsLive", RECT{10, 10, 200, 200});
    std::vector<HWND> others;
    for (int i = 0; i < 80; ++i)
        others.push_back(Overlapped(L"many", nullptr));
    wchar_t name[64] = {};
    {
        CWindowFactsScope hook(CWindowFactsScope::Captions::FromWindowServer);
        EXPECT_TRUE(windowfacts::ClassName(live.Handle(), name, 64));
    }
    windowfacts::ForgetGoneWindows();
    for (const HWND other : others)
    {
        CWindowFactsScope hook(CWindowFactsScope::Captions::FromWindowServer);
        EXPECT_TRUE(windowfacts::ClassName(other, name, 64));
        EXPECT_STREQ(name, L"BrmpFactsOverlapped");
        EXPECT_TRUE(windowfacts::ClassName(live.Handle(), name, 64));
        EXPECT_STREQ(name, L"BrmpFactsLive");
    }
    for (const HWND other : others)
        ::DestroyWindow(other);
    windowfacts::ForgetGoneWindows();
}
