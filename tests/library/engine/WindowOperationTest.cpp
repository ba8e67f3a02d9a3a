// Dragging a window: the rectangle each cursor step gives, and a real window
// following a drag.

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "EngineTestSupport.h"
#include "Globals.h"
#include "WindowOperation.h"

using namespace enginetest;

namespace
{
bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

RECT WindowRect(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

// A captioned, sizable top-level window of this thread.
class DragTarget
{
public:
    explicit DragTarget(DWORD style = WS_OVERLAPPEDWINDOW)
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrmpDragTarget";
        ::RegisterClassW(&wc);
        m_window = ::CreateWindowExW(0, wc.lpszClassName, L"drag target", style | WS_VISIBLE, 200, 150, 300, 200,
                                     nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~DragTarget()
    {
        EndWindowOperation();
        ::DestroyWindow(m_window);
    }
    HWND Window() const { return m_window; }

private:
    HWND m_window = nullptr;
};
} // namespace

TEST(WindowOperationRules, AMoveKeepsTheCursorsOffsetAndTheSize)
{
    const RECT start{100, 100, 400, 300};
    const POINT offset{50, 10};
    const CWindowOperation::Step step =
        CWindowOperation::Next(CWindowOperation::Move, false, start, POINT{150, 110}, offset, POINT{170, 95});
    ASSERT_TRUE(step.changed);
    EXPECT_TRUE(SameRect(step.rect, RECT{120, 85, 420, 285}));
}

TEST(WindowOperationRules, ASizeGrowsTheRightAndBottomEdgesOfASizableWindowOnly)
{
    const RECT start{100, 100, 400, 300};
    CWindowOperation::Step step =
        CWindowOperation::Next(CWindowOperation::Size, true, start, POINT{390, 290}, POINT{}, POINT{420, 270});
    ASSERT_TRUE(step.changed);
    EXPECT_TRUE(SameRect(step.rect, RECT{100, 100, 430, 280}));

    step = CWindowOperation::Next(CWindowOperation::Size, false, start, POINT{390, 290}, POINT{}, POINT{420, 270});
    EXPECT_FALSE(step.changed);

    // Never inside out, however far the cursor goes back.
    step = CWindowOperation::Next(CWindowOperation::Size, true, start, POINT{390, 290}, POINT{}, POINT{-500, -500});
    ASSERT_TRUE(step.changed);
    EXPECT_GT(step.rect.right, step.rect.left);
    EXPECT_GT(step.rect.bottom, step.rect.top);
}

TEST(WindowOperationRules, AStepAlongOneAxisOnlyDoesNothing)
{
    const RECT start{100, 100, 400, 300};
    for (int operation : {CWindowOperation::Move, CWindowOperation::Size})
    {
        EXPECT_FALSE(CWindowOperation::Next(operation, true, start, POINT{10, 10}, POINT{}, POINT{30, 10}).changed);
        EXPECT_FALSE(CWindowOperation::Next(operation, true, start, POINT{10, 10}, POINT{}, POINT{10, 30}).changed);
    }
}

TEST(WindowOperation, AWindowFollowsADragAndOnlyOneDragRunsAtATime)
{
    DragTarget target;
    ASSERT_NE(target.Window(), nullptr);
    const RECT start = WindowRect(target.Window());
    const POINT grab{start.left + 40, start.top + 10};

    ASSERT_TRUE(StartWindowOperation(CWindowOperation::Move, target.Window(), grab));
    EXPECT_FALSE(StartWindowOperation(CWindowOperation::Size, target.Window(), grab));
    ASSERT_NE(g_threads.pWindowOperation, nullptr);
    EXPECT_EQ(g_threads.pWindowOperation->Window(), target.Window());

    StepWindowOperation(POINT{grab.x + 30, grab.y + 20});
    StepWindowOperation(POINT{grab.x + 60, grab.y + 45});
    const RECT expected{start.left + 60, start.top + 45, start.right + 60, start.bottom + 45};
    // The move is asynchronous: it lands once this thread handles it.
    EXPECT_TRUE(WaitFor([&] { return SameRect(WindowRect(target.Window()), expected); }));

    EndWindowOperation();
    EXPECT_EQ(g_threads.pWindowOperation, nullptr);
    StepWindowOperation(POINT{grab.x + 200, grab.y + 200}); // no drag: nothing moves
    EXPECT_TRUE(WaitFor([] { return true; }, 50));
    EXPECT_TRUE(SameRect(WindowRect(target.Window()), expected));
}

TEST(WindowOperation, ASizeDragResizesASizableWindowAndLeavesAFixedOneAlone)
{
    DragTarget sizable;
    const RECT start = WindowRect(sizable.Window());
    const POINT grab{start.right - 5, start.bottom - 5};
    ASSERT_TRUE(StartWindowOperation(CWindowOperation::Size, sizable.Window(), grab));
    EXPECT_TRUE(g_threads.pWindowOperation->Sizable());
    StepWindowOperation(POINT{grab.x + 50, grab.y + 30});
    const RECT expected{start.left, start.top, start.right + 50, start.bottom + 30};
    EXPECT_TRUE(WaitFor([&] { return SameRect(WindowRect(sizable.Window()), expected); }));
    EndWindowOperation();

    DragTarget fixed(WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU);
    const RECT fixedStart = WindowRect(fixed.Window());
    ASSERT_TRUE(StartWindowOperation(CWindowOperation::Size, fixed.Window(), grab));
    EXPECT_FALSE(g_threads.pWindowOperation->Sizable());
    StepWindowOperation(POINT{grab.x + 50, grab.y + 30});
    EXPECT_TRUE(SameRect(g_threads.pWindowOperation->Rect(), fixedStart));
    EndWindowOperation();
}

TEST(WindowOperation, ADragEndedOnAnotherThreadWhileTheHookStepsItIsNeverUsedAfterItsEnd)
{
    DragTarget target;
    const RECT start = WindowRect(target.Window());
    std::atomic<bool> stop{false};
    // The hook's side: steps as fast as moves could come.
    std::thread hook([&] {
        for (int i = 0; !stop.load(); ++i)
            StepWindowOperation(POINT{start.left + 10 + i % 50, start.top + 10 + (i * 7) % 50});
    });
    // The other side: drags start and end (a profile change ends them).
    for (int i = 0; i < 300; ++i)
    {
        StartWindowOperation(i % 2 == 0 ? CWindowOperation::Move : CWindowOperation::Size, target.Window(),
                             POINT{start.left + 10, start.top + 10});
        EndWindowOperation();
    }
    stop = true;
    hook.join();
    EXPECT_EQ(g_threads.pWindowOperation, nullptr);
    EXPECT_TRUE(::IsWindow(target.Window()));
}
