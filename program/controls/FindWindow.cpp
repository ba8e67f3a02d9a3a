#include "FindWindow.h"

#include <commctrl.h>

#include <algorithm>

#include "Application.h"
#include "CaughtException.h"
#include "DataExchange.h"
#include "DpiScaling.h"
#include "Handles.h"
#include "Hooks.h"
#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "ProcessHelper.h"
#include "StringFormat.h"
#include "WindowFromPoint.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
constexpr int kTipWidth = 600;
constexpr int kMaxVertical = 4320;
constexpr int kMaxHorizontal = 7680;
constexpr int kOutlineWidth = 3;

struct Quarter
{
    int id;
    int bit;
};
constexpr Quarter kQuarters[] = {{IDC_FIND_TOP_LEFT, 1}, {IDC_FIND_TOP_RIGHT, 2}, {IDC_FIND_BOTTOM_LEFT, 4}, {IDC_FIND_BOTTOM_RIGHT, 8}};
constexpr int kAreaControls[] = {IDC_FIND_AREA_TOP,  IDC_FIND_AREA_LEFT, IDC_FIND_AREA_BOTTOM, IDC_FIND_AREA_RIGHT,
                                 IDC_FIND_SPIN_TOP,  IDC_FIND_SPIN_LEFT, IDC_FIND_SPIN_BOTTOM, IDC_FIND_SPIN_RIGHT};

std::wstring ClassNameOf(HWND window)
{
    wchar_t name[256] = L"";
    if (window)
        ::GetClassNameW(window, name, 256);
    return name;
}

bool Checked(HWND dialog, int id)
{
    return ::IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

std::wstring ItemText(HWND dialog, int id)
{
    const HWND control = ::GetDlgItem(dialog, id);
    const int length = control ? ::GetWindowTextLengthW(control) : 0;
    std::wstring text(static_cast<size_t>(std::max(0, length)) + 1, L'\0');
    const int copied = control ? ::GetWindowTextW(control, text.data(), length + 1) : 0;
    text.resize(static_cast<size_t>(std::max(0, copied)));
    return text;
}
}

const wchar_t* CFindWindow::MatchTypeName(int matchType)
{
    static const wchar_t* const names[] = {L"Window", L"Parent Window", L"Window and Parent Window", L"Ancestor Window",
                                           L"Window and Ancestor Window"};
    return matchType >= 1 && matchType <= 5 ? names[matchType - 1] : nullptr;
}

CFindWindow::CFindWindow(CWindow* parent, const std::wstring& process, const std::wstring& description)
    : CDialog(IDD_FIND_WINDOW, parent), m_process(process), m_description(description), m_language(LangSupport())
{
    Construct();
}

CFindWindow::CFindWindow(CWindow* parent, const std::wstring& caption, const std::wstring& process,
                         const std::wstring& className, const std::wstring& parentClass, const std::wstring& description,
                         int matchType, bool noParent, bool regEx, int windowMask, bool useArea, const RECT& area)
    : CDialog(IDD_FIND_WINDOW, parent), m_process(process), m_caption(caption), m_class(className),
      m_parentClass(parentClass), m_description(description), m_noParent(noParent), m_regEx(regEx),
      m_windowMask(windowMask), m_useArea(useArea), m_area(area), m_matchType(matchType), m_top(area.top),
      m_left(area.left), m_bottom(area.bottom), m_right(area.right), m_language(LangSupport())
{
    Construct();
}

void CFindWindow::Construct()
{
    BindMessage(WM_MOUSEMOVE, &CFindWindow::OnMouseMove);
    BindMessage(WM_LBUTTONUP, &CFindWindow::OnLButtonUp);
    BindMessage(WM_CAPTURECHANGED, &CFindWindow::OnCaptureChanged);
    BindMessage(WM_CANCELMODE, &CFindWindow::OnCancelMode);
    BindRegisteredMessage(L"BRMP_FindHover", &CFindWindow::OnFindHover);
    BindCommand(IDC_FIND_HOVER, &CFindWindow::OnHover);
    BindCommand(IDC_FIND_CAPTION_CHECK, &CFindWindow::OnCaptionCheck);
    BindCommand(IDC_FIND_AREA, &CFindWindow::OnAreaCheck);
}

CFindWindow::~CFindWindow()
{
    try
    {
        CleanUp();
    }
    catch (...)
    {
        LogCaughtException(L"CFindWindow::~CFindWindow");
    }
    if (m_tooltip && ::IsWindow(m_tooltip))
        ::DestroyWindow(m_tooltip);
    if (m_language)
        CLangSupport::Release(m_language);
}

HWND CFindWindow::CreateTooltip()
{
    return ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                             GetResourceInstance(), nullptr);
}

void CFindWindow::AddTip(int id, const std::wstring& text)
{
    const HWND control = GetDlgItem(id);
    if (m_tooltip == nullptr || control == nullptr)
        return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

BOOL CFindWindow::OnInitDialog()
{
    CLogger::LogDebug(L"CFindWindow::OnInitDialog");
    // Every member is shown below; the base's exchange would validate nothing yet.
    m_tooltip = CreateTooltip();
    if (m_tooltip == nullptr)
    {
        // The dialog still works without its tips; the fields must be filled
        // all the same, or OK would write empty values over the profile.
        CLogger::LogMessage(L"CFindWindow: Unable to add create the tooltip control");
    }
    else
    {
        ::SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
        const std::wstring vertical = LookupText(m_language, std::wstring(L"\u25CF Positive = Relative to top of window")) +
                                      L"\n" +
                                      LookupText(m_language, std::wstring(L"\u25CF Negative = Relative to bottom of window"));
        const std::wstring horizontal = LookupText(m_language, std::wstring(L"\u25CF Positive = Relative to left of window")) +
                                        L"\n" +
                                        LookupText(m_language, std::wstring(L"\u25CF Negative = Relative to right of window"));
        AddTip(IDC_FIND_AREA_TOP, vertical);
        AddTip(IDC_FIND_AREA_BOTTOM, vertical);
        AddTip(IDC_FIND_AREA_LEFT, horizontal);
        AddTip(IDC_FIND_AREA_RIGHT, horizontal);
        AddTip(IDC_FIND_TOP_LEFT, LookupText(m_language, std::wstring(L"Top Left Quadrant")));
        AddTip(IDC_FIND_TOP_RIGHT, LookupText(m_language, std::wstring(L"Top Right Quadrant")));
        AddTip(IDC_FIND_BOTTOM_LEFT, LookupText(m_language, std::wstring(L"Bottom Left Quadrant")));
        AddTip(IDC_FIND_BOTTOM_RIGHT, LookupText(m_language, std::wstring(L"Bottom Right Quadrant")));
        AddTip(IDC_FIND_CAPTION_CHECK, LookupText(m_language, std::wstring(L"Enable caption matching")));
        ::SendMessageW(m_tooltip, TTM_ACTIVATE, TRUE, 0);
    }

    TranslateWindowTexts(m_language, m_hWnd,
                         {IDC_FIND_CAPTION, IDC_FIND_PROCESS, IDC_FIND_CLASS, IDC_FIND_PARENT_CLASS, IDC_FIND_HANDLE,
                          IDC_FIND_DESCRIPTION});

    ::CheckDlgButton(m_hWnd, IDC_FIND_CAPTION_CHECK, m_caption.empty() ? BST_UNCHECKED : BST_CHECKED);
    ::SendDlgItemMessageW(m_hWnd, IDC_FIND_CAPTION, EM_SETREADONLY, m_caption.empty(), 0);
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_CAPTION, m_caption.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_HANDLE, m_handleText.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_PROCESS, m_process.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_CLASS, m_class.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_PARENT_CLASS, m_parentClass.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_DESCRIPTION, m_description.c_str());
    ::CheckDlgButton(m_hWnd, IDC_FIND_REGEX, m_regEx ? BST_CHECKED : BST_UNCHECKED);
    for (const Quarter& quarter : kQuarters)
        ::CheckDlgButton(m_hWnd, quarter.id, (m_windowMask & quarter.bit) ? BST_CHECKED : BST_UNCHECKED);

    m_finderBitmap.Reset(static_cast<HBITMAP>(
        ::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(IDB_FINDER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    m_emptyBitmap.Reset(static_cast<HBITMAP>(
        ::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(IDB_FINDER_EMPTY), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    ::SendDlgItemMessageW(m_hWnd, IDC_FIND_FINDER, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(m_finderBitmap.Get()));

    if (m_matchType <= 0 || m_matchType > 5)
        m_matchType = 1;
    const HWND combo = GetDlgItem(IDC_FIND_MATCH_TYPE);
    for (int type = 1; type <= 5; ++type)
        ::SendMessageW(combo, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(LookupText(m_language, std::wstring(MatchTypeName(type))).c_str()));
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(m_matchType - 1), 0);

    ::CheckDlgButton(m_hWnd, IDC_FIND_NO_PARENT, m_noParent ? BST_CHECKED : BST_UNCHECKED);
    ::CheckDlgButton(m_hWnd, IDC_FIND_AREA, m_useArea ? BST_CHECKED : BST_UNCHECKED);
    UpdateData(false);
    EnableAreaControls();
    return TRUE;
}

void CFindWindow::DoDataExchange(CDataExchange& dx)
{
    // A greyed area (the quarters are used) keeps the rectangle stored.
    m_numbers.Exchange(dx, IDC_FIND_AREA_TOP, m_top, -kMaxVertical, kMaxVertical);
    m_numbers.Exchange(dx, IDC_FIND_AREA_LEFT, m_left, -kMaxHorizontal, kMaxHorizontal);
    m_numbers.Exchange(dx, IDC_FIND_AREA_BOTTOM, m_bottom, -kMaxVertical, kMaxVertical);
    m_numbers.Exchange(dx, IDC_FIND_AREA_RIGHT, m_right, -kMaxHorizontal, kMaxHorizontal);
}

BOOL CFindWindow::PreTranslateMessage(MSG* msg)
{
    if (m_tooltip && msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST)
        ::SendMessageW(m_tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    if (m_dragging && msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE)
    {
        // Escape abandons the search, not the dialog.
        EndDrag();
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

bool CFindWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == IDC_FIND_FINDER && HIWORD(wParam) == STN_CLICKED)
    {
        BeginDrag();
        return true;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CFindWindow::HideAncestors()
{
    m_ancestors.clear();
    m_hiddenAncestors.clear();
    for (HWND window = ::GetParent(m_hWnd); window != nullptr; window = ::GetParent(window))
    {
        if (std::find(m_ancestors.begin(), m_ancestors.end(), window) != m_ancestors.end())
            break;
        m_ancestors.push_back(window);
        if (::IsWindowVisible(window))
        {
            m_hiddenAncestors.push_back(window);
            ::ShowWindow(window, SW_HIDE);
        }
    }
}

void CFindWindow::ShowAncestors()
{
    // Outermost first and without activation, so that each comes back below
    // the window it owns; the finder then stays in front of them with the
    // focus (a shown owner may otherwise cover it, out of reach while disabled).
    const bool shown = !m_hiddenAncestors.empty();
    for (auto window = m_hiddenAncestors.rbegin(); window != m_hiddenAncestors.rend(); ++window)
        if (::IsWindow(*window))
            ::ShowWindow(*window, SW_SHOWNOACTIVATE);
    m_hiddenAncestors.clear();
    m_ancestors.clear();
    if (shown && m_hWnd != nullptr && ::IsWindowVisible(m_hWnd))
    {
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ::SetForegroundWindow(m_hWnd);
    }
}

void CFindWindow::BeginDrag()
{
    if (m_dragging)
        return;
    const HCURSOR cursor = ::LoadCursorW(GetResourceInstance(), MAKEINTRESOURCEW(IDC_FINDER_CURSOR));
    m_savedCursor = ::SetCursor(cursor ? cursor : ::LoadCursorW(nullptr, IDC_CROSS));
    ::SendDlgItemMessageW(m_hWnd, IDC_FIND_FINDER, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(m_emptyBitmap.Get()));
    m_dragging = true;
    if (!m_hovering)
        HideAncestors();
    ::SetCapture(m_hWnd);
}

void CFindWindow::EndDrag()
{
    if (!m_dragging)
        return;
    // Cleared first: releasing the capture sends WM_CAPTURECHANGED back here.
    m_dragging = false;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    ::SendDlgItemMessageW(m_hWnd, IDC_FIND_FINDER, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(m_finderBitmap.Get()));
    ::SetCursor(m_savedCursor ? m_savedCursor : ::LoadCursorW(nullptr, IDC_ARROW));
    m_savedCursor = nullptr;
    RemoveHighlight();
    if (!m_hovering)
        ShowAncestors();
}

bool CFindWindow::IsCandidate(HWND window) const
{
    if (window == nullptr || !::IsWindow(window) || window == m_highlighted || window == m_hWnd)
        return false;
    if (std::find(m_ancestors.begin(), m_ancestors.end(), window) != m_ancestors.end())
        return false;
    return ::GetParent(window) != m_hWnd;
}

void CFindWindow::TrackWindow(HWND window)
{
    if (!IsCandidate(window))
        return;
    RemoveHighlight();
    FillFrom(window);
    Highlight(window);
    m_highlighted = window;
}

void CFindWindow::FillFrom(HWND window)
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    wchar_t process[1024] = L"";
    int depth = 0;
    if (!CProcessHelper::GetProcessName(window, processId, process, 1024, nullptr, 0, depth))
        process[0] = L'\0';
    wchar_t caption[260] = L"";
    ::GetWindowTextW(window, caption, 260);
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_PROCESS, process);
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_CAPTION, caption);
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_CLASS, ClassNameOf(window).c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_HANDLE, FormatString(L"0x%08p", window).c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_FIND_PARENT_CLASS, ClassNameOf(::GetParent(window)).c_str());
    RECT client{};
    ::GetClientRect(window, &client);
    m_top = 0;
    m_left = 0;
    m_bottom = client.bottom - client.top;
    m_right = client.right - client.left;
    UpdateData(false);
}

void CFindWindow::Highlight(HWND window)
{
    RECT bounds{};
    ::GetWindowRect(window, &bounds);
    const WindowDC dc(window, true);
    if (!dc)
        return;
    const UniqueGdiObject<HPEN> pen(::CreatePen(PS_SOLID, kOutlineWidth, RGB(0, 0, 0)));
    const SelectedObject selectedPen(dc.Get(), pen.Get());
    const SelectedObject selectedBrush(dc.Get(), ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc.Get(), 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top);
}

void CFindWindow::RemoveHighlight()
{
    const HWND window = m_highlighted;
    m_highlighted = nullptr;
    if (window == nullptr)
        return;
    if (!::IsWindow(window))
    {
        CLogger::LogMessage(L"CFindWindow::RefreshWindow was passed an invalid hWnd: 0x%08X",
                            HandleNumber(window));
        return;
    }
    ::InvalidateRect(window, nullptr, TRUE);
    ::UpdateWindow(window);
    ::RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

LRESULT CFindWindow::OnMouseMove(WPARAM, LPARAM)
{
    if (!m_dragging)
        return Default();
    POINT point{};
    ::GetPhysCursorPos(&point);
    TrackWindow(::WindowFromPointEx(point, 0));
    return 0;
}

LRESULT CFindWindow::OnLButtonUp(WPARAM, LPARAM)
{
    if (!m_dragging)
        return Default();
    try
    {
        EndDrag();
    }
    catch (...)
    {
        LogCaughtException(L"CFindWindow::OnLButtonUp");
    }
    return 0;
}

LRESULT CFindWindow::OnCaptureChanged(WPARAM, LPARAM)
{
    // Another window took the mouse (a menu, a system dialog, Alt+Tab): the
    // search ends as if the button had been released.
    EndDrag();
    return Default();
}

LRESULT CFindWindow::OnCancelMode(WPARAM, LPARAM)
{
    EndDrag();
    return Default();
}

LRESULT CFindWindow::OnFindHover(WPARAM, LPARAM)
{
    if (!m_hovering || (::GetKeyState(VK_CAPITAL) & 1) != 0)
        return 0;
    POINT point{};
    ::GetPhysCursorPos(&point);
    TrackWindow(::RealWindowFromPoint(point));
    return 0;
}

void CFindWindow::OnHover()
{
    if (Checked(m_hWnd, IDC_FIND_HOVER))
    {
        if (m_hovering)
            return;
        m_hovering = true;
        if (!m_dragging)
            HideAncestors();
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (!::SetFindHook(m_hWnd))
            CLogger::LogMessage(L"CFindWindow: Unable to set the find hook.");
    }
    else
    {
        StopHover();
    }
}

void CFindWindow::StopHover()
{
    if (!m_hovering)
        return;
    m_hovering = false;
    // Hovering also ends without a click on the box (a refused OK): the box shows it.
    ::CheckDlgButton(m_hWnd, IDC_FIND_HOVER, BST_UNCHECKED);
    ::RemoveFindHook();
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!m_dragging)
        ShowAncestors();
    RemoveHighlight();
}

void CFindWindow::CleanUp()
{
    EndDrag();
    StopHover();
    ShowAncestors();
    RemoveHighlight();
}

void CFindWindow::OnCaptionCheck()
{
    ::SendDlgItemMessageW(m_hWnd, IDC_FIND_CAPTION, EM_SETREADONLY, !Checked(m_hWnd, IDC_FIND_CAPTION_CHECK), 0);
}

void CFindWindow::EnableAreaControls()
{
    const bool area = Checked(m_hWnd, IDC_FIND_AREA);
    for (int id : kAreaControls)
        ::EnableWindow(GetDlgItem(id), area);
    for (const Quarter& quarter : kQuarters)
        ::EnableWindow(GetDlgItem(quarter.id), !area);
}

void CFindWindow::OnAreaCheck()
{
    EnableAreaControls();
}

void CFindWindow::OnOK()
{
    m_caption = Checked(m_hWnd, IDC_FIND_CAPTION_CHECK) ? ItemText(m_hWnd, IDC_FIND_CAPTION) : std::wstring();
    m_handleText = ItemText(m_hWnd, IDC_FIND_HANDLE);
    m_process = ItemText(m_hWnd, IDC_FIND_PROCESS);
    m_class = ItemText(m_hWnd, IDC_FIND_CLASS);
    m_parentClass = ItemText(m_hWnd, IDC_FIND_PARENT_CLASS);
    m_description = ItemText(m_hWnd, IDC_FIND_DESCRIPTION);
    const LRESULT selection = ::SendDlgItemMessageW(m_hWnd, IDC_FIND_MATCH_TYPE, CB_GETCURSEL, 0, 0);
    m_matchType = selection == CB_ERR ? 1 : static_cast<int>(selection) + 1;
    m_noParent = Checked(m_hWnd, IDC_FIND_NO_PARENT);
    m_regEx = Checked(m_hWnd, IDC_FIND_REGEX);

    CleanUp();

    m_useArea = Checked(m_hWnd, IDC_FIND_AREA);
    if (!m_useArea)
    {
        int mask = 0;
        for (const Quarter& quarter : kQuarters)
            if (Checked(m_hWnd, quarter.id))
                mask |= quarter.bit;
        if (mask == 0)
        {
            ShowMessageBox(LookupText(m_language, std::wstring(L"You must define at least one window region!")), MB_OK,
                           m_hWnd);
            return;
        }
        m_windowMask = mask;
    }
    if (!UpdateData(true))
        return;
    m_area = RECT{m_left, m_top, m_right, m_bottom};
    EndDialog(IDOK);
}

void CFindWindow::OnCancel()
{
    CleanUp();
    CDialog::OnCancel();
}
