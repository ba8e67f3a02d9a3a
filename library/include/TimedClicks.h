#pragma once
// Timed clicks ("Button Held"): up to four actions chosen by how long a button
// is held, plus the run-time state of one press.

#include <windows.h>

#include <memory>

#include "ActionEntry.h"
#include "Actions.h"
#include "Movement2Scroll.h"
#include "SnareholdApi.h"
#include "pugixml.hpp"

class CActionData;
class CApplicationSettings;
class CBRMPTimedClicks;
class CSPIThread;

constexpr int TimedClickCount = 4;

// One entry: an action like a profile slot's, plus two run-time flags.
class CBRMPTimedClick : public CActionEntry
{
public:
    CBRMPTimedClick();
    // Copies as the pointer form of assignment does.
    CBRMPTimedClick(const CBRMPTimedClick& source);
    virtual ~CBRMPTimedClick();
    // Copies values, strings and options (the options become the entry's own)
    // and the two processed flags.
    CBRMPTimedClick& operator=(const CBRMPTimedClick* source);
    // As the pointer form, but the processed flags stay.
    CBRMPTimedClick& operator=(const CBRMPTimedClick& source);

    // The action an entry has by default for a button and entry index.
    void Initialise(MouseButtons button, int index, bool quillonMode);
    static _ACTIONS DefaultAction(MouseButtons button, int index, bool quillonMode);

    int GetWaitHoldTime() const { return m_waitHoldTime; }
    void SetWaitHoldTime(int waitHoldTime) { m_waitHoldTime = waitHoldTime; }
    bool GetProcessedDown() const { return m_processedDown; }
    void SetProcessedDown(bool processed) { m_processedDown = processed; }
    bool GetProcessedUp() const { return m_processedUp; }
    void SetProcessedUp(bool processed) { m_processedUp = processed; }

    void Save(pugi::xml_node element) const;
    bool Load(MouseButtons button, int index, bool quillonMode, pugi::xml_node element, int simulatedKeyDelay);

private:
    bool m_processedDown = false;
    bool m_processedUp = false;
};

// Callbacks of the engine that perform an entry during a press.
typedef void (*TimedClickTimerCallback)(CBRMPTimedClicks* list, CBRMPTimedClick* entry, DWORD time);
typedef void (*TimedClickAbortCallback)(CBRMPTimedClicks* list, CBRMPTimedClick* entry, DWORD time, POINT point);

class SNAREHOLD_API CBRMPTimedClicks
{
public:
    CBRMPTimedClicks();
    // Copies options, times, enabled flags, description, profile and entries;
    // a copy never carries timers, callbacks or the context of a press.
    CBRMPTimedClicks(const CBRMPTimedClicks& source);
    virtual ~CBRMPTimedClicks();
    CBRMPTimedClicks& operator=(const CBRMPTimedClicks* source);
    CBRMPTimedClicks& operator=(const CBRMPTimedClicks& source);

    void Initialise(MouseButtons button, bool quillonMode);

    // Indexes are 0 to 3; others are refused with a log line (null, 0, false).
    CBRMPTimedClick* GetTimedClick(int index);
    const CBRMPTimedClick* GetTimedClick(int index) const;
    bool SetTimedClick(int index, const CBRMPTimedClick& entry);
    int GetTime(int index) const;
    void SetTime(int index, int milliseconds);
    bool GetEnabled(int index) const;
    void SetEnabled(int index, bool enabled);

    bool GetAbortOnMouseMove() const { return m_abortOnMove; }
    void SetAbortOnMouseMove(bool abort) { m_abortOnMove = abort; }
    bool GetAbort2OnMouseMove() const { return m_abortOnMove2; }
    void SetAbort2OnMouseMove(bool abort) { m_abortOnMove2 = abort; }
    bool GetReleaseOnUp() const { return m_releaseOnUp; }
    void SetReleaseOnUp(bool release) { m_releaseOnUp = release; }
    int GetAbortPixels() const { return m_abortPixels; }
    void SetAbortPixels(int pixels) { m_abortPixels = pixels; }
    bool GetAborted() const { return m_aborted; }
    const wchar_t* GetDescription() const { return m_description.get(); }
    void SetDescription(const wchar_t* description);

    // Context of the press, read by the engine's callbacks.
    bool GetPending() const { return m_pending; }
    bool GetExecuted() const { return m_executed; }
    int GetFeedbackStep() const { return m_feedbackStep; }
    DWORD GetPressTime() const { return m_pressTime; }
    POINT GetStartPoint() const { return m_startPoint; }
    MouseButtons GetButton() const { return m_button; }
    int GetLayer() const { return m_layer; }
    bool GetReplayed() const { return m_replayed; }
    HWND GetWindow() const { return m_window; }
    CApplicationSettings* GetProfile() const { return m_profile; }
    TimedClickTimerCallback GetTimerCallback() const { return m_timerCallback; }
    TimedClickAbortCallback GetAbortCallback() const { return m_abortCallback; }
    UINT_PTR GetClickTimerId() const { return m_clickTimerId; }
    UINT_PTR GetFeedbackTimerId() const { return m_feedbackTimerId; }
    CSPIThread* GetSPIThread() const { return m_spiThread; }

    // Run-time operations of a press (built with the press timers).
    void SetPressed(TimedClickTimerCallback timerCallback, TimedClickAbortCallback abortCallback,
                    MouseButtons button, int layer, bool replayed, HWND window, POINT point,
                    CApplicationSettings* profile, CSPIThread* spiThread);
    void CheckAbort(POINT point);
    void Abort(POINT point, bool jumpToLast);
    void ExecuteTimer();
    static void CALLBACK TimedClickTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
    static void CALLBACK TimedClickFeedbackTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
    CBRMPTimedClick* GetClickAction();
    void Reset();

    // Writes onto the list's own element ("timedclicks"); the Quillon flag is
    // not used.
    void Save(bool quillonMode, pugi::xml_node element) const;
    // True when at least one entry was loaded.
    bool Load(MouseButtons button, bool quillonMode, pugi::xml_node element, int simulatedKeyDelay);

private:
    void CopyStoredFrom(const CBRMPTimedClicks& source);
    void ResetPressContext();
    static bool ValidIndex(int index, const wchar_t* operation);

    CBRMPTimedClick m_clicks[TimedClickCount];
    int m_times[TimedClickCount] = {0, 500, 1000, 1500};
    bool m_enabled[TimedClickCount] = {true, false, false, false};
    bool m_abortOnMove = false;
    bool m_abortOnMove2 = false;
    bool m_aborted = false;
    bool m_pending = true;
    bool m_releaseOnUp = true;
    bool m_executed = false;
    // The press was aborted before its last entry came, without a jump: it
    // became the short press, whose release performs entry 0.
    bool m_abortedToShortPress = false;
    int m_abortPixels = 5;
    int m_feedbackStep = 0;
    std::unique_ptr<wchar_t[]> m_description;
    DWORD m_pressTime = 0;
    TimedClickTimerCallback m_timerCallback = nullptr;
    TimedClickAbortCallback m_abortCallback = nullptr;
    UINT_PTR m_clickTimerId = 0;
    UINT_PTR m_feedbackTimerId = 0;
    CSPIThread* m_spiThread = nullptr;
    POINT m_startPoint = {0, 0};
    MouseButtons m_button = NoButton;
    int m_layer = 0;
    bool m_replayed = false;
    HWND m_window = nullptr;
    CApplicationSettings* m_profile = nullptr;
    // Writes the XML form (the library's ProfileXmlWriting.h).
    friend struct ProfileXmlWriting;
};
