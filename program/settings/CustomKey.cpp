#include "CustomKey.h"

#include <commctrl.h>

#include <algorithm>

#include "Application.h"
#include "Control.h"
#include "DataExchange.h"
#include "DpiScaling.h"
#include "KeyTagTable.h"
#include "LangSupport.h"
#include "Layers.h"
#include "Logger.h"
#include "OSVersion.h"
#include "StringFormat.h"
#include "TagMenu.h"
#include "WindowFromPoint.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
constexpr UINT_PTR kCursorTimer = 1;
constexpr UINT kCursorTimerMs = 100;
// While picking: notices an Escape the hidden dialog cannot receive.
constexpr UINT_PTR kPickerTimer = 2;
constexpr UINT kPickerTimerMs = 50;
constexpr int kMaxRepeatDelay = 300000;
constexpr int kFirstTagCommand = 256;
constexpr int kStickyRepeatMethod = 6;
constexpr int kStickyHoldMethod = 7;
constexpr int kPressAndReleaseMethod = 8;
constexpr int kRepeatMethod = 5;

const wchar_t* const kSendMethodTexts[kSendMethodCount] = {
    L"1 As mouse button is pressed",
    L"2 As mouse button is released",
    L"3 During (press on down, release on up)",
    L"4 In another thread as mouse button is pressed",
    L"5 In another thread as mouse button is released",
    L"6 Repeatedly while the button is down",
    L"7 Sticky (repeatedly until button is pressed again)",
    L"8 Sticky (held down until button is pressed again)",
    L"9 As mouse button is pressed & when released",
};

bool IsStickyMethod(int method) { return method == kStickyRepeatMethod || method == kStickyHoldMethod; }

std::wstring EditText(HWND edit)
{
    const int length = ::GetWindowTextLengthW(edit);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int read = ::GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(read, 0)));
    return text;
}
} // namespace

bool IsRepeatingSendMethod(int method)
{
    return method == kRepeatMethod || method == kStickyRepeatMethod;
}

int SendMethodPosition(int method, bool stickyAllowed)
{
    if (method < 0 || method >= kSendMethodCount)
        return -1;
    if (stickyAllowed || method < kStickyRepeatMethod)
        return method;
    return method == kPressAndReleaseMethod ? kStickyRepeatMethod : -1;
}

int SendMethodAtPosition(int position, bool stickyAllowed)
{
    if (stickyAllowed)
        return position >= 0 && position < kSendMethodCount ? position : -1;
    if (position >= 0 && position < kStickyRepeatMethod)
        return position;
    return position == kStickyRepeatMethod ? kPressAndReleaseMethod : -1;
}

TagInsertion InsertTagText(const std::wstring& text, int selectionStart, int selectionEnd, const std::wstring& tag)
{
    const int length = static_cast<int>(text.size());
    int point = std::clamp(selectionStart, 0, length);
    // The characters around the caret exist only strictly inside the text.
    if (selectionStart == selectionEnd && point > 0 && point < length && text[point - 1] == L'{' &&
        text[point] == L'}')
        ++point;
    TagInsertion result;
    result.text = text.substr(0, point) + tag + text.substr(point);
    result.caret = point + (tag.size() < 3 ? 1 : static_cast<int>(tag.size()));
    return result;
}

CCustomKey::CCustomKey(std::wstring title, std::wstring keys, int sendMethod, int repeatDelay, bool onlyWhenActive,
                       bool defaultProfile, bool blockMouse, bool blockMouseIfActive, bool randomiseDelay,
                       std::wstring description, bool stickyMethodsAllowed, CWindow* parent)
    : CDialog(IDD_CUSTOMKEY, parent), m_keys(std::move(keys)), m_description(std::move(description)),
      m_sendMethod(sendMethod), m_onlyWhenActive(defaultProfile ? false : onlyWhenActive), m_blockMouse(blockMouse),
      m_blockMouseIfActive(blockMouseIfActive), m_randomiseDelay(randomiseDelay), m_defaultProfile(defaultProfile),
      m_title(std::move(title)), m_stickyAllowed(stickyMethodsAllowed), m_repeatDelay(repeatDelay),
      m_language(LangSupport())
{
    BindControl(CBN_SELCHANGE, IDC_CK_SEND_METHOD, &CCustomKey::OnSendMethodChange);
    BindMessage(WM_TIMER, &CCustomKey::OnTimer);
    BindMessage(WM_LBUTTONUP, &CCustomKey::OnLButtonUp);
    BindMessage(WM_CAPTURECHANGED, &CCustomKey::OnCaptureChanged);
    BindMessage(WM_DESTROY, &CCustomKey::OnDestroy);
    BindCommand(IDC_CK_CAPTURE, &CCustomKey::OnCaptureButtonClick);
    BindCommand(IDC_CK_BLOCK_MOUSE, &CCustomKey::OnBlockMouseClick);
    BindCommand(IDC_CK_BLOCK_IF_ACTIVE, &CCustomKey::OnBlockIfActiveClick);
    BindRegisteredMessage(L"BRMPSimKeyCustomKeyRecieved", &CCustomKey::OnKeyReceived);
    BindRegisteredMessage(L"BRMPSimKeyButtonReleased", &CCustomKey::OnButtonReleased);
}

CCustomKey::~CCustomKey()
{
    ShowHiddenWindows();
    RemoveTooltip();
    if (m_tagMenu)
        ::DestroyMenu(m_tagMenu);
    if (m_language)
        CLangSupport::Release(m_language);
}

void CCustomKey::DoDataExchange(CDataExchange& dx)
{
    ExchangeText(dx, IDC_CK_KEYS, m_keys);
    ExchangeText(dx, IDC_CK_DESCRIPTION, m_description);
    m_numbers.Exchange(dx, IDC_CK_REPEAT_DELAY, m_repeatDelay, 0, kMaxRepeatDelay);
    ExchangeCheck(dx, IDC_CK_ONLY_ACTIVE, m_onlyWhenActive);
    ExchangeCheck(dx, IDC_CK_BLOCK_MOUSE, m_blockMouse);
    ExchangeCheck(dx, IDC_CK_BLOCK_IF_ACTIVE, m_blockMouseIfActive);
    ExchangeCheck(dx, IDC_CK_RANDOMISE, m_randomiseDelay);
    ExchangeControl(dx, IDC_CK_CAPTURE, m_captureButton);
}

BOOL CCustomKey::OnInitDialog()
{
    CDialog::OnInitDialog();
    HINSTANCE resources = GetResourceInstance();
    m_targetBitmap.Reset(static_cast<HBITMAP>(
        ::LoadImageW(resources, MAKEINTRESOURCEW(IDB_PICKER_TARGET), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    m_emptyBitmap.Reset(static_cast<HBITMAP>(
        ::LoadImageW(resources, MAKEINTRESOURCEW(IDB_PICKER_TARGET_GREY), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    ::SendDlgItemMessageW(m_hWnd, IDC_CK_PICKER, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(m_targetBitmap.Get()));

    // Texts first, so that the values written below are never taken for captions.
    const std::wstring caption = LookupText(m_language, GetWindowText());
    TranslateWindowTexts(m_language, m_hWnd,
                         {IDC_CK_KEYS, IDC_CK_DESCRIPTION, IDC_CK_REPEAT_DELAY, IDC_CK_HELP, IDC_CK_CURSOR_POS,
                          IDC_CK_SEND_METHOD});
    if (m_title.empty())
        SetWindowText(caption.c_str());
    else
        SetWindowText(FormatString(L"%s - %s", caption.c_str(), m_title.c_str()).c_str());

    CreateTooltip();
    m_tagMenu = BuildTagMenu(m_language, MaxLayers());
    const bool splitButton = GetOSVersion() >= ActionOS_Vista;
    if (splitButton)
        m_captureButton.SendMessage(BM_SETSTYLE, BS_SPLITBUTTON, FALSE);
    m_captureButton.SetDropDownMenu(m_tagMenu);
    if (m_tooltip)
    {
        const std::wstring tip = FormatString(
            L"%s\r\n%s\r\n%s", LookupText(m_language, std::wstring(L"Click this button to add {} tags")).c_str(),
            LookupText(m_language, std::wstring(L"Hold this button and press a key to add that key's tag")).c_str(),
            LookupText(m_language, std::wstring(splitButton ? L"Drop down button to select a tag from the menu"
                                                            : L"Right click to select a tag from the menu"))
                .c_str());
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(m_captureButton.GetSafeHwnd());
        tool.lpszText = const_cast<wchar_t*>(tip.c_str());
        ::SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, 400);
        ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(m_tooltip, TTM_ACTIVATE, TRUE, 0);
    }

    ::SetDlgItemTextW(m_hWnd, IDC_CK_HELP, BuildTagHelpText(m_language).c_str());

    if (!m_stickyAllowed && IsStickyMethod(m_sendMethod))
        m_sendMethod = kRepeatMethod;
    FillSendMethods();
    ::SendDlgItemMessageW(m_hWnd, IDC_CK_SEND_METHOD, CB_SETCURSEL,
                          static_cast<WPARAM>(SendMethodPosition(m_sendMethod, m_stickyAllowed)), 0);
    EnableRepeatControls(m_sendMethod);
    ::EnableWindow(GetDlgItem(IDC_CK_ONLY_ACTIVE), !m_defaultProfile);
    ::EnableWindow(GetDlgItem(IDC_CK_BLOCK_IF_ACTIVE), !m_defaultProfile);

    SetTimer(kCursorTimer, kCursorTimerMs);
    return TRUE;
}

void CCustomKey::FillSendMethods()
{
    HWND combo = GetDlgItem(IDC_CK_SEND_METHOD);
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (int method = 0; method < kSendMethodCount; ++method)
    {
        if (!m_stickyAllowed && IsStickyMethod(method))
            continue;
        const std::wstring text = LookupText(m_language, std::wstring(kSendMethodTexts[method]));
        ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void CCustomKey::EnableRepeatControls(int method)
{
    const bool repeating = IsRepeatingSendMethod(method);
    ::EnableWindow(GetDlgItem(IDC_CK_REPEAT_DELAY), repeating);
    ::EnableWindow(GetDlgItem(IDC_CK_REPEAT_SPIN), repeating);
}

void CCustomKey::OnSendMethodChange()
{
    const int position = static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_CK_SEND_METHOD, CB_GETCURSEL, 0, 0));
    EnableRepeatControls(SendMethodAtPosition(position, m_stickyAllowed));
}

void CCustomKey::OnBlockMouseClick()
{
    if (::IsDlgButtonChecked(m_hWnd, IDC_CK_BLOCK_MOUSE) == BST_CHECKED)
        ::CheckDlgButton(m_hWnd, IDC_CK_BLOCK_IF_ACTIVE, BST_UNCHECKED);
}

void CCustomKey::OnBlockIfActiveClick()
{
    if (::IsDlgButtonChecked(m_hWnd, IDC_CK_BLOCK_IF_ACTIVE) == BST_CHECKED)
        ::CheckDlgButton(m_hWnd, IDC_CK_BLOCK_MOUSE, BST_UNCHECKED);
}

void CCustomKey::InsertTag(const std::wstring& text, bool focus)
{
    HWND edit = GetDlgItem(IDC_CK_KEYS);
    if (edit == nullptr)
        return;
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const TagInsertion result = InsertTagText(EditText(edit), static_cast<int>(start), static_cast<int>(end), text);
    ::SetWindowTextW(edit, result.text.c_str());
    if (focus)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    ::SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(result.caret), static_cast<LPARAM>(result.caret));
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

bool CCustomKey::AddHeldKeyTags(bool focus)
{
    const std::vector<std::wstring> tags =
        HeldKeyTags([](int key) { return (::GetAsyncKeyState(key) & 0x8000) != 0; });
    if (tags.empty())
        return false;
    const std::wstring joined = JoinTags(tags);
    CLogger::LogDebug(L"CustomKey: Adding key tag %s", joined.substr(1, joined.size() - 2).c_str());
    InsertTag(joined, focus);
    return true;
}

void CCustomKey::OnCaptureButtonClick()
{
    if (!AddHeldKeyTags(true))
        InsertTag(L"{}", true);
}

LRESULT CCustomKey::OnKeyReceived(WPARAM wParam, LPARAM lParam)
{
    const std::optional<std::wstring> tag = TagForReportedKey(static_cast<int>(wParam), lParam != 0);
    if (!tag)
        return 0;
    InsertTag(L"{" + *tag + L"}", false);
    return 1;
}

LRESULT CCustomKey::OnButtonReleased(WPARAM, LPARAM)
{
    HWND edit = GetDlgItem(IDC_CK_KEYS);
    if (edit == nullptr)
        return 0;
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    ::SendMessageW(edit, EM_SETSEL, start, end);
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    return 1;
}

void CCustomKey::OnTagCommand(UINT command)
{
    for (const std::wstring& tag : TagsForCommand(static_cast<int>(command)))
        InsertTag(L"{" + tag + L"}", true);
}

bool CCustomKey::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    // Only the menu's commands are tags: a control's click in the same range is not.
    if (lParam == 0 && id >= kFirstTagCommand)
    {
        OnTagCommand(id);
        return true;
    }
    // A press soon after the last one (an abandoned pick, say) comes as a double click.
    const bool pressed = HIWORD(wParam) == STN_CLICKED || HIWORD(wParam) == STN_DBLCLK;
    if (id == IDC_CK_PICKER && pressed && !m_picking)
        StartPicker();
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CCustomKey::PreTranslateMessage(MSG* msg)
{
    if (m_tooltip)
    {
        MSG relayed = *msg;
        ::SendMessageW(m_tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE)
    {
        if (m_picking)
        {
            EndPicker(false);
            return TRUE;
        }
        // An Escape that abandoned a pick may still be queued, and its repeats
        // reach the editor shown again: neither closes it.
        const bool repeat = (msg->lParam & (1 << 30)) != 0;
        const bool beforeAbandon =
            m_escapeAbandonedPick && static_cast<LONG>(msg->time - m_pickAbandonedAt) <= 0;
        if (repeat || beforeAbandon)
            return TRUE;
        m_escapeAbandonedPick = false;
    }
    if (m_captureButton.IsHeld())
    {
        switch (msg->message)
        {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if ((msg->lParam & (1 << 30)) == 0 && AddHeldKeyTags(false))
                CLogger::LogDebug(L"CustomKey: Received %skey down while tag button pressed: Key 0x%02X",
                                  (msg->lParam & (1 << 24)) != 0 ? L"extended " : L"",
                                  static_cast<unsigned>(msg->wParam));
            return TRUE;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

LRESULT CCustomKey::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam == kCursorTimer)
        UpdateCursorPosition(false, 0);
    else if (wParam == kPickerTimer && m_picking)
    {
        // The release normally arrives through the capture; where the system
        // gives the hidden dialog's capture away, the button's state tells it.
        const int button = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
        // Escape down now, or pressed since the last look: the user asked to stop.
        if ((::GetAsyncKeyState(VK_ESCAPE) & 0x8001) != 0)
        {
            m_escapeAbandonedPick = true;
            m_pickAbandonedAt = ::GetTickCount();
            EndPicker(false);
        }
        else if (::GetCapture() != m_hWnd)
            EndPicker(false);
        else if ((::GetAsyncKeyState(button) & 0x8000) == 0)
            EndPicker(true);
    }
    return 0;
}

void CCustomKey::UpdateCursorPosition(bool final, int mode)
{
    POINT point{};
    if (!GetPhysCursorPos(&point))
        return;
    if (point.x == m_lastShown.x && point.y == m_lastShown.y)
        return;
    m_lastShown = point;
    HWND window = WindowFromPointEx(point, 0);
    if (mode == 2)
    {
        if (HWND profileWindow = ::GetProfileWindow())
            window = profileWindow;
    }
    std::wstring text;
    std::wstring screenPair = FormatString(L"%d,%d", point.x, point.y);
    std::wstring clientPair;
    if (window != nullptr)
    {
        POINT client = point;
        ::ScreenToClient(window, &client);
        clientPair = FormatString(L"%d,%d", client.x, client.y);
        text = screenPair + L" (" + clientPair + L")";
    }
    else
        text = screenPair;

    HWND box = GetDlgItem(IDC_CK_CURSOR_POS);
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    ::SetWindowTextW(box, text.c_str());
    if (!final)
    {
        ::SendMessageW(box, EM_SETSEL, start, end);
        return;
    }
    int from = 0;
    int length = static_cast<int>(screenPair.size());
    if (mode != 0 && !clientPair.empty())
    {
        from = static_cast<int>(screenPair.size()) + 2;
        length = static_cast<int>(clientPair.size());
    }
    // Focus first: a dialog selects the whole text of an edit it moves the focus to.
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
    ::SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(from + length));
    ::SendMessageW(box, EM_SCROLLCARET, 0, 0);
    ::SendMessageW(box, WM_COPY, 0, 0);
}

void CCustomKey::StartPicker()
{
    HCURSOR cursor = ::LoadCursorW(GetResourceInstance(), MAKEINTRESOURCEW(IDC_PICKER_CURSOR));
    m_savedCursor = ::GetCursor();
    if (cursor)
        ::SetCursor(cursor);
    ::SendDlgItemMessageW(m_hWnd, IDC_CK_PICKER, STM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(m_emptyBitmap.Get()));
    m_picking = true;
    KillTimer(kCursorTimer);
    m_hiddenWindows.clear();
    for (HWND window = m_hWnd; window != nullptr; window = ::GetParent(window))
    {
        if (::IsWindowVisible(window))
        {
            ::ShowWindow(window, SW_HIDE);
            m_hiddenWindows.push_back(window);
        }
    }
    ::SetCapture(m_hWnd);
    // The "pressed since the last look" bit of Escape may come from any press
    // before this pick, anywhere on the desktop: look once now, so the timer
    // sees only presses made while picking.
    ::GetAsyncKeyState(VK_ESCAPE);
    SetTimer(kPickerTimer, kPickerTimerMs);
}

void CCustomKey::ShowHiddenWindows()
{
    std::vector<HWND> windows;
    windows.swap(m_hiddenWindows);
    // Outermost first, so that the editor ends up on top of its owners.
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
    {
        if (::IsWindow(*it))
            ::ShowWindow(*it, SW_SHOWNORMAL);
    }
}

void CCustomKey::EndPicker(bool picked)
{
    if (!m_picking)
        return;
    m_picking = false;
    KillTimer(kPickerTimer);
    ShowHiddenWindows();
    if (picked)
    {
        const int mode = (::GetKeyState(VK_MENU) & 0x8000) != 0      ? 2
                         : (::GetKeyState(VK_CONTROL) & 0x8000) != 0 ? 1
                                                                     : 0;
        UpdateCursorPosition(true, mode);
    }
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    try
    {
        ::SendDlgItemMessageW(m_hWnd, IDC_CK_PICKER, STM_SETIMAGE, IMAGE_BITMAP,
                              reinterpret_cast<LPARAM>(m_targetBitmap.Get()));
        if (m_savedCursor)
            ::SetCursor(m_savedCursor);
        m_savedCursor = nullptr;
        // Abandoned: nothing was picked, so the box follows the cursor again.
        if (!picked)
            SetTimer(kCursorTimer, kCursorTimerMs);
    }
    catch (...)
    {
        CLogger::LogMessage(L"Caught an exception in CCustomKey::OnLButtonUp");
    }
}

LRESULT CCustomKey::OnLButtonUp(WPARAM, LPARAM)
{
    if (m_picking)
        EndPicker(true);
    return Default();
}

LRESULT CCustomKey::OnCaptureChanged(WPARAM, LPARAM lParam)
{
    if (m_picking && reinterpret_cast<HWND>(lParam) != m_hWnd)
        EndPicker(false);
    return Default();
}

LRESULT CCustomKey::OnDestroy(WPARAM, LPARAM)
{
    KillTimer(kCursorTimer);
    KillTimer(kPickerTimer);
    m_picking = false;
    ShowHiddenWindows();
    return Default();
}

void CCustomKey::CreateTooltip()
{
    m_tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
}

void CCustomKey::RemoveTooltip()
{
    if (m_tooltip == nullptr)
        return;
    if (::IsWindow(m_tooltip))
    {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = m_hWnd;
        tool.uId = reinterpret_cast<UINT_PTR>(m_captureButton.GetSafeHwnd());
        ::SendMessageW(m_tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        ::DestroyWindow(m_tooltip);
    }
    m_tooltip = nullptr;
}

void CCustomKey::OnOK()
{
    KillTimer(kCursorTimer);
    if (!UpdateData(true))
    {
        // The user corrects the value; the position box keeps following the cursor.
        SetTimer(kCursorTimer, kCursorTimerMs);
        return;
    }
    const int position = static_cast<int>(::SendDlgItemMessageW(m_hWnd, IDC_CK_SEND_METHOD, CB_GETCURSEL, 0, 0));
    const int method = SendMethodAtPosition(position, m_stickyAllowed);
    // A list without a selection (a stored method it does not know) keeps the stored one.
    if (method >= 0)
        m_sendMethod = method;
    ShowHiddenWindows();
    RemoveTooltip();
    EndDialog(IDOK);
}

void CCustomKey::OnCancel()
{
    KillTimer(kCursorTimer);
    ShowHiddenWindows();
    RemoveTooltip();
    EndDialog(IDCANCEL);
}
