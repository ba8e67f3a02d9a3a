#pragma once
// The new-version dialog (question and change log, Upgrade or Skip) and the
// download progress dialog whose worker thread runs the download.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

#include "Dialog.h"
#include "DialogTemplate.h"
#include "Handles.h"

class CAutoUpdate;
class CLangSupport;

class CUpdateDlg : public CDialog
{
public:
    CUpdateDlg(const std::wstring& question, bool beta, CLangSupport* language, CWindow* parent = nullptr);
    ~CUpdateDlg() override;
    CUpdateDlg(const CUpdateDlg&) = delete;
    CUpdateDlg& operator=(const CUpdateDlg&) = delete;

protected:
    BOOL OnInitDialog() override;

private:
    LRESULT OnControlColour(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBackground(WPARAM wParam, LPARAM lParam);

    std::wstring m_question;
    UniqueGdiObject<HBRUSH> m_whiteBrush;
    bool m_beta;
    CLangSupport* m_language;
};

// Private messages of the progress dialog.
enum : UINT
{
    kUpDisableCancel = WM_USER + 1234,
    kUpEnableCancel,
    kUpEnd,
    kUpSetProgress,
    kUpSetText,
    kUpCancel,
    kUpMarquee,
};
// The progress dialog's result when the user cancelled; 3 when no worker could start.
constexpr INT_PTR kUpCancelled = 65538;
constexpr INT_PTR kUpNoWorker = 3;

class CUPDialog;
using UpdateWorker = bool (*)(struct UpdateContext&);

// What the dialog shares with its worker.
struct UpdateContext
{
    std::atomic<HWND> window{nullptr};
    CAutoUpdate* userData = nullptr;
    std::atomic<bool> running{false};
    std::atomic<bool> cancelled{false};
    UpdateWorker worker = nullptr;
    CLangSupport* language = nullptr;

    // The worker's messages to the dialog, only while it exists and is not cancelled.
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Leaves the status text here and asks the dialog to show it: a message
    // that outlives a timed-out send can then never point at a text that is gone.
    void SetText(const std::wstring& text) const;
    // The status text the worker left last.
    std::wstring Text() const;

private:
    mutable std::mutex m_textLock;
    mutable std::wstring m_text;
};

class CUPDialog : public CDialog
{
public:
    CUPDialog(CLangSupport* language, CAutoUpdate* userData, const std::wstring& title,
              UpdateWorker worker, CWindow* parent = nullptr);
    ~CUPDialog() override;
    CUPDialog(const CUPDialog&) = delete;
    CUPDialog& operator=(const CUPDialog&) = delete;

    // Stops a worker that is still running (terminated after the wait) and
    // closes its handle; after the dialog and from the destructor.
    void Cleanup();
    bool WorkerStarted() const { return static_cast<bool>(m_thread); }
    // How long a worker is given to end before it is stopped (a test lengthens it).
    void SetTerminationWait(DWORD milliseconds) { m_terminationWaitMs = milliseconds; }

protected:
    BOOL OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override {}

private:
    static unsigned __stdcall WorkerThread(void* argument);
    LRESULT OnDisableCancel(WPARAM, LPARAM);
    LRESULT OnEnableCancel(WPARAM, LPARAM);
    LRESULT OnEnd(WPARAM, LPARAM);
    LRESULT OnSetProgress(WPARAM, LPARAM);
    LRESULT OnSetText(WPARAM, LPARAM);
    LRESULT OnCancelMessage(WPARAM, LPARAM);
    LRESULT OnMarquee(WPARAM, LPARAM);
    void EnableCancel(bool enable);

    static const CDialogTemplate& Template();

    DWORD m_terminationWaitMs = 500;
    bool m_cancelAllowed = true;
    UniqueHandle m_thread;
    std::wstring m_title;
    UpdateContext m_context;
};
