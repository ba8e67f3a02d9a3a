#include "UpdateDialog.h"

#include <commctrl.h>
#include <process.h>

#include "AppTexts.h"
#include "AutoUpdate.h"
#include "LangSupport.h"
#include "Logger.h"
#include "WindowTranslation.h"
#include "resource.h"

// ---- New-version dialog ----

CUpdateDlg::CUpdateDlg(const std::wstring& question, bool beta, CLangSupport* language, CWindow* parent)
    : CDialog(IDD_UPDATE, parent), m_question(question), m_beta(beta), m_language(language)
{
    BindMessage(WM_CTLCOLORSTATIC, &CUpdateDlg::OnControlColour);
    BindMessage(WM_CTLCOLOREDIT, &CUpdateDlg::OnControlColour);
    BindMessage(WM_CTLCOLORBTN, &CUpdateDlg::OnControlColour);
    BindMessage(WM_PAINT, &CUpdateDlg::OnPaint);
    BindMessage(WM_ERASEBKGND, &CUpdateDlg::OnEraseBackground);
}

CUpdateDlg::~CUpdateDlg()
{
}

BOOL CUpdateDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_whiteBrush.Reset(::CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF)));
    TranslateWindowTexts(m_language, m_hWnd);
    ::SetWindowTextW(m_hWnd, AppProductName().c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_UPDATE_QUESTION, m_question.c_str());
    // The edit control wants CR LF line ends.
    std::wstring log = ReadChangeLog(m_beta);
    std::wstring text;
    text.reserve(log.size());
    for (std::size_t i = 0; i < log.size(); ++i)
    {
        if (log[i] == L'\n' && (i == 0 || log[i - 1] != L'\r'))
            text += L'\r';
        text += log[i];
    }
    HWND edit = ::GetDlgItem(m_hWnd, IDC_UPDATE_CHANGELOG);
    ::SetWindowTextW(edit, text.c_str());
    const int tabs[4] = {5, 30, 40, 40};
    ::SendMessageW(edit, EM_SETTABSTOPS, 4, reinterpret_cast<LPARAM>(tabs));
    ::SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    return TRUE;
}

LRESULT CUpdateDlg::OnControlColour(WPARAM wParam, LPARAM)
{
    ::SetBkColor(reinterpret_cast<HDC>(wParam), RGB(0xFF, 0xFF, 0xFF));
    return reinterpret_cast<LRESULT>(m_whiteBrush ? m_whiteBrush.Get() : ::GetStockObject(WHITE_BRUSH));
}

LRESULT CUpdateDlg::OnPaint(WPARAM, LPARAM)
{
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    RECT log{};
    LONG split = client.bottom;
    if (HWND edit = ::GetDlgItem(m_hWnd, IDC_UPDATE_CHANGELOG); edit && ::GetWindowRect(edit, &log))
    {
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&log), 2);
        split = log.bottom + 10;
    }
    RECT top{client.left, client.top, client.right, split};
    RECT bottom{client.left, split, client.right, client.bottom};
    ::FillRect(dc, &top, ::GetSysColorBrush(COLOR_WINDOW));
    ::FillRect(dc, &bottom, ::GetSysColorBrush(COLOR_BTNFACE));
    ::EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT CUpdateDlg::OnEraseBackground(WPARAM, LPARAM)
{
    return TRUE;
}

// ---- Progress dialog ----

LRESULT UpdateContext::Send(UINT message, WPARAM wParam, LPARAM lParam) const
{
    HWND target = window.load();
    if (target == nullptr || cancelled || !::IsWindow(target))
        return 0;
    // The dialog's thread may be waiting for this worker: never block on it for long.
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(target, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &result);
    return static_cast<LRESULT>(result);
}

void UpdateContext::SetText(const std::wstring& text) const
{
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        m_text = text;
    }
    Send(kUpSetText);
}

std::wstring UpdateContext::Text() const
{
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_text;
}

const CDialogTemplate& CUPDialog::Template()
{
    static const CDialogTemplate dialog = [] {
        CDialogTemplate t(L"Dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, 0, 0, 187, 70);
        t.AddControl(L"BUTTON", L"&Cancel", IDCANCEL, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 129, 50, 50,
                     14);
        t.AddControl(PROGRESS_CLASSW, L"", 1018, WS_CHILD | WS_VISIBLE | WS_BORDER, 7, 25, 172, 14);
        t.AddControl(L"STATIC", L"", 1026, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 7, 7, 172, 8);
        return t;
    }();
    return dialog;
}

namespace
{
void InitProgressClass()
{
    static const bool done = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
        return ::InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)done;
}
}

CUPDialog::CUPDialog(CLangSupport* language, CAutoUpdate* userData, const std::wstring& title, UpdateWorker worker,
                     CWindow* parent)
    : CDialog((InitProgressClass(), Template().Get()), parent), m_title(title.substr(0, 255))
{
    m_context.userData = userData;
    m_context.worker = worker;
    m_context.language = language;
    BindMessage(kUpDisableCancel, &CUPDialog::OnDisableCancel);
    BindMessage(kUpEnableCancel, &CUPDialog::OnEnableCancel);
    BindMessage(kUpEnd, &CUPDialog::OnEnd);
    BindMessage(kUpSetProgress, &CUPDialog::OnSetProgress);
    BindMessage(kUpSetText, &CUPDialog::OnSetText);
    BindMessage(kUpCancel, &CUPDialog::OnCancelMessage);
    BindMessage(kUpMarquee, &CUPDialog::OnMarquee);
}

CUPDialog::~CUPDialog()
{
    Cleanup();
}

BOOL CUPDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_context.window = m_hWnd;
    if (!m_cancelAllowed)
        EnableCancel(false);
    ::SetDlgItemTextW(m_hWnd, 1026, L"");
    ::SendDlgItemMessageW(m_hWnd, 1018, PBM_SETPOS, 0, 0);
    ::SetWindowTextW(m_hWnd, m_title.c_str());
    TranslateWindowTexts(m_context.language, m_hWnd);
    ::SetWindowTextW(m_hWnd, m_title.c_str());
    m_thread.Reset(
        reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &CUPDialog::WorkerThread, &m_context, 0, nullptr)));
    if (!m_thread)
    {
        CLogger::LogOSMessage(::GetLastError(), L"CUPDialog::OnInitDialog: unable to start the download thread");
        EndDialog(kUpNoWorker);
    }
    return TRUE;
}

unsigned __stdcall CUPDialog::WorkerThread(void* argument)
{
    auto& context = *static_cast<UpdateContext*>(argument);
    context.running = true;
    INT_PTR result = 2;
    if (!context.cancelled && context.worker)
        result = context.worker(context) ? 1 : 2;
    context.running = false;
    HWND window = context.window.load();
    if (!context.cancelled && window)
        ::PostMessageW(window, kUpEnd, static_cast<WPARAM>(result), 0);
    return 0;
}

void CUPDialog::OnCancel()
{
    OnCancelMessage(0, 0);
}

LRESULT CUPDialog::OnCancelMessage(WPARAM, LPARAM)
{
    m_context.cancelled = true;
    ::SetDlgItemTextW(m_hWnd, 1026, L"Termination Initiated..");
    EnableCancel(false);
    if (m_context.running && m_thread)
    {
        if (::WaitForSingleObject(m_thread.Get(), m_terminationWaitMs) == WAIT_TIMEOUT)
        {
            ::SetDlgItemTextW(m_hWnd, 1026, L"Termination Complete ..Shutting Down !!");
            if (m_context.running)
                ::WaitForSingleObject(m_thread.Get(), m_terminationWaitMs);
        }
    }
    EndDialog(kUpCancelled);
    return 0;
}

void CUPDialog::Cleanup()
{
    m_context.cancelled = true;
    if (m_thread)
    {
        // A worker whose running flag is already down may still be ending its
        // thread: it is waited for like one that runs, and only a thread still
        // there after the wait is stopped.
        if (::WaitForSingleObject(m_thread.Get(), m_terminationWaitMs) == WAIT_TIMEOUT)
        {
            CLogger::LogMessage(L"CUPDialog::Cleanup thread [0x%X] did not exit in a timely fashion - terminate it...",
                                HandleNumber(m_thread.Get()));
            ::TerminateThread(m_thread.Get(), 2);
        }
        m_thread.Reset();
    }
    m_context.running = false;
    m_context.window = nullptr;
}

void CUPDialog::EnableCancel(bool enable)
{
    if (HMENU menu = ::GetSystemMenu(m_hWnd, FALSE))
        ::EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    ::EnableWindow(::GetDlgItem(m_hWnd, IDCANCEL), enable ? TRUE : FALSE);
}

LRESULT CUPDialog::OnDisableCancel(WPARAM, LPARAM)
{
    EnableCancel(false);
    return 0;
}

LRESULT CUPDialog::OnEnableCancel(WPARAM, LPARAM)
{
    EnableCancel(true);
    return 0;
}

LRESULT CUPDialog::OnEnd(WPARAM wParam, LPARAM)
{
    EndDialog(static_cast<INT_PTR>(wParam));
    return 0;
}

LRESULT CUPDialog::OnSetProgress(WPARAM wParam, LPARAM)
{
    ::SendDlgItemMessageW(m_hWnd, 1018, PBM_SETPOS, wParam, 0);
    return 0;
}

LRESULT CUPDialog::OnSetText(WPARAM, LPARAM)
{
    // The message carries nothing: whoever sent it, the text is the worker's own.
    ::SetDlgItemTextW(m_hWnd, 1026, m_context.Text().c_str());
    return 0;
}

LRESULT CUPDialog::OnMarquee(WPARAM wParam, LPARAM)
{
    HWND bar = ::GetDlgItem(m_hWnd, 1018);
    if (!bar)
        return 0;
    const LONG_PTR style = ::GetWindowLongPtrW(bar, GWL_STYLE);
    const bool marquee = (style & PBS_MARQUEE) != 0;
    if (wParam == 1 || marquee)
    {
        ::SetWindowLongPtrW(bar, GWL_STYLE, marquee ? (style & ~PBS_MARQUEE) : (style | PBS_MARQUEE));
        ::SendMessageW(bar, PBM_SETMARQUEE, marquee ? FALSE : TRUE, 0);
    }
    return 0;
}
