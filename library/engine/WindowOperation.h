#pragma once
// Moving or sizing a window by dragging the mouse: the one window drag in
// progress (g_threads.pWindowOperation) is created on a button press, stepped by the
// mouse hook's move path and deleted on the release or a profile change.
// Also gathers the other window and process actions for the action dispatch.

#include <windows.h>

#include "Magnifier.h"
#include "ProcessLaunch.h"
#include "WebSearch.h"
#include "WindowActivation.h"

class CWindowOperation
{
public:
    enum : int
    {
        Move = 1,
        Size = 2,
    };

    // window: the window under the cursor; the drag acts on its captioned
    // active window.
    CWindowOperation(int operation, HWND window, POINT point);
    virtual ~CWindowOperation();
    CWindowOperation(const CWindowOperation&) = delete;
    CWindowOperation& operator=(const CWindowOperation&) = delete;

    // One cursor move. Never waits on the window's thread and never allocates.
    void MouseMove(POINT point);

    int Operation() const { return m_nOperation; }
    HWND Window() const { return m_hWnd; }
    RECT Rect() const { return m_rc; }
    bool Sizable() const { return m_bSizable; }

    // The rectangle a step gives, on plain values: changed is false when the
    // step does nothing (the point differs from the last one in only one axis,
    // or sizing a window that is not sizable).
    struct Step
    {
        bool changed;
        RECT rect;
    };
    static Step Next(int operation, bool sizable, RECT rect, POINT last, POINT offset, POINT point);

private:
    int m_nOperation;
    HWND m_hWnd = nullptr;
    POINT m_ptLast{};
    POINT m_ptOffset{};
    RECT m_rc{};
    bool m_bSizable = false;
};

// Starts a drag unless one is in progress (true when this one started).
bool StartWindowOperation(int operation, HWND window, POINT point);
// Ends the drag in progress, if any; safe from any thread (a move step in
// progress on the hook thread finishes first).
void EndWindowOperation();
// The mouse hook's move path: steps the drag in progress with the point.
// Cheap when there is none; no allocation, no waiting (a step that would have
// to wait for another thread's start or end is skipped).
void StepWindowOperation(POINT point);
