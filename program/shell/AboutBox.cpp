#include "AboutBox.h"

#include <shellapi.h>

#include <vector>

#include "AppTexts.h"
#include "Application.h"
#include "CaughtException.h"
#include "Folders.h"
#include "Handles.h"
#include "LangSupport.h"
#include "Logger.h"
#include "StringFormat.h"
#include "VersionCheck.h"
#include "WindowTranslation.h"
#include "resource.h"

namespace
{
std::wstring Site()
{
    return std::wstring(L"https://www.") + L"brindle" + L"map.net/";
}

// The author's name: a translated credit line must keep it.
std::wstring CreditAuthor()
{
    return std::wstring(L"the ") + AppProductName() + L" team";
}

std::wstring CreditHelpers()
{
    return std::wstring(L"its translators") + L" and testers";
}
}

std::wstring AboutHomePage() { return Site(); }
std::wstring AboutForumPage() { return Site() + L"forums/"; }
std::wstring AboutDonatePage() { return Site() + L"donate/"; }
std::wstring AboutUserGuideAddress() { return Site() + L"guide/"; }
std::wstring AboutUserGuideFileName() { return AppProductName() + L" User Guide.pdf"; }
std::wstring AboutProductLine() { return AppProductName() + L" - mouse button remapping for Windows"; }
std::wstring AboutFixedCreditLine() { return L"Written by " + CreditAuthor() + L" with help from " + CreditHelpers(); }

std::wstring AboutCreditLine(CLangSupport* language)
{
    try
    {
        const std::wstring author = CreditAuthor();
        const std::wstring helpers = CreditHelpers();
        const std::wstring format = std::wstring(L"Written by %s ") + L"with help from %s";
        const std::wstring line = LookupText(language, format.c_str(), author.c_str(), helpers.c_str());
        if (line.find(author) != std::wstring::npos)
            return line;
    }
    catch (...)
    {
        LogCaughtException(L"CAboutDlg::OnInitDialog");
    }
    return AboutFixedCreditLine();
}

std::wstring UserGuideTarget(const std::wstring& exeFolder, IAboutActions& actions)
{
    if (!exeFolder.empty())
    {
        std::wstring path = exeFolder;
        if (path.back() != L'\\')
            path += L'\\';
        path += AboutUserGuideFileName();
        if (actions.FileExists(path))
            return path;
    }
    return AboutUserGuideAddress();
}

void IAboutActions::ShellOpen(HWND owner, const wchar_t* verb, const std::wstring& target)
{
    // Shell errors are the shell's to show; nothing more is said here.
    ::ShellExecuteW(owner, verb, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void IAboutActions::CheckForUpdate(HWND window)
{
    ::StartVersionCheck(window, true, true);
}

bool IAboutActions::FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

IAboutActions& DefaultAboutActions()
{
    static IAboutActions actions;
    return actions;
}

CAboutDlg::CAboutDlg(CWindow* parent, IAboutActions& actions)
    : CDialog(IDD_ABOUTBOX, parent), m_language(LangSupport()), m_actions(actions)
{
    BindCommand(IDC_ABOUT_HOMEPAGE, &CAboutDlg::OnHomepage);
    BindCommand(IDC_ABOUT_FORUMS, &CAboutDlg::OnForums);
    BindCommand(IDC_ABOUT_DONATE, &CAboutDlg::OnDonate);
    BindCommand(IDC_ABOUT_USERGUIDE, &CAboutDlg::OnUserGuide);
    BindCommand(IDC_ABOUT_OPEN_FOLDER, &CAboutDlg::OnOpenFolder);
    BindCommand(IDC_ABOUT_CHECK_UPDATE, &CAboutDlg::OnCheckForUpdate);
    BindMessage(WM_DRAWITEM, &CAboutDlg::OnDrawItem);
}

CAboutDlg::~CAboutDlg()
{
    if (m_language)
        CLangSupport::Release(m_language);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_donateBitmap.Reset(static_cast<HBITMAP>(
        ::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(IDB_DONATE), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));

    const std::wstring product = AppProductName();
    const std::wstring caption = FormatString(L"%s %s", LookupText(m_language, std::wstring(L"About")).c_str(),
                                        product.c_str());
    const std::wstring version = FormatString(L"%s %s", LookupText(m_language, std::wstring(L"Version")).c_str(),
                                        kAppVersion);
    TranslateWindowTexts(m_language, m_hWnd);
    ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_CREDIT, AboutCreditLine(m_language).c_str());
    ::SetWindowTextW(m_hWnd, caption.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_PRODUCT, (product + L".").c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_PRODUCT_LINE, AboutProductLine().c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_ABOUT_VERSION, version.c_str());
    return TRUE;
}

void CAboutDlg::OnHomepage()
{
    m_actions.ShellOpen(m_hWnd, L"open", AboutHomePage());
}

void CAboutDlg::OnForums()
{
    m_actions.ShellOpen(m_hWnd, L"open", AboutForumPage());
}

void CAboutDlg::OnDonate()
{
    m_actions.ShellOpen(m_hWnd, L"open", AboutDonatePage());
}

void CAboutDlg::OnUserGuide()
{
    std::vector<wchar_t> folder(4096, L'\0');
    const DWORD length = ::GetEXEFolder(folder.data(), folder.size());
    folder.back() = L'\0';
    const std::wstring exeFolder = length > 0 ? std::wstring(folder.data()) : std::wstring();
    m_actions.ShellOpen(m_hWnd, L"open", UserGuideTarget(exeFolder, m_actions));
}

void CAboutDlg::OnOpenFolder()
{
    std::vector<wchar_t> folder(2048, L'\0');
    // The library answers 0 when it found the folder.
    if (::GetSettingsFolder(folder.data(), folder.size()) != 0)
        return;
    folder.back() = L'\0';
    if (folder[0] == L'\0')
        return;
    m_actions.ShellOpen(m_hWnd, L"explore", folder.data());
}

void CAboutDlg::OnCheckForUpdate()
{
    CApplication* app = CApplication::Get();
    CWindow* main = app ? app->GetMainWindow() : nullptr;
    m_actions.CheckForUpdate(main ? main->GetSafeHwnd() : nullptr);
}

LRESULT CAboutDlg::OnDrawItem(WPARAM wParam, LPARAM lParam)
{
    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    if (wParam != IDC_ABOUT_DONATE || item == nullptr)
        return Default();
    RECT rect = item->rcItem;
    const bool pressed = (item->itemState & ODS_SELECTED) != 0;
    ::DrawFrameControl(item->hDC, &rect, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    int textLeft = rect.left + 4;
    if (m_donateBitmap)
    {
        BITMAP info{};
        ::GetObjectW(m_donateBitmap.Get(), sizeof(info), &info);
        const UniqueDC memory(::CreateCompatibleDC(item->hDC));
        if (memory)
        {
            const SelectedObject selectedBitmap(memory.Get(), m_donateBitmap.Get());
            const int top = rect.top + (rect.bottom - rect.top - info.bmHeight) / 2;
            ::BitBlt(item->hDC, rect.left + 4, top, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
            textLeft += info.bmWidth + 4;
        }
    }
    wchar_t text[128] = {};
    ::GetWindowTextW(item->hwndItem, text, 128);
    RECT textRect{textLeft, rect.top, rect.right - 4, rect.bottom};
    ::SetBkMode(item->hDC, TRANSPARENT);
    const bool disabled = (item->itemState & ODS_DISABLED) != 0;
    ::SetTextColor(item->hDC, ::GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    ::DrawTextW(item->hDC, text, -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item->itemState & ODS_FOCUS)
    {
        RECT focus = rect;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(item->hDC, &focus);
    }
    return TRUE;
}
