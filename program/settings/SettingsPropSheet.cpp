#include "SettingsPropSheet.h"

#include <cwctype>
#include <string>
#include <vector>

#include "Application.h"
#include "GlobalSettingsIds.h"
#include "LangSupport.h"
#include "Settings.h"

namespace
{
constexpr int kApplyNowButton = 0x3021;
constexpr int kMaxTabText = 260;

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b)
{
    const std::wstring other(b);
    if (a.size() != other.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (std::towlower(a[i]) != std::towlower(other[i]))
            return false;
    }
    return true;
}

std::wstring TextOf(HWND window)
{
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0 || length > 8192)
        return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    ::GetWindowTextW(window, buffer.data(), length + 1);
    return buffer.data();
}

std::wstring LanguageOf(const CSettings& settings)
{
    return settings.GetLanguage() != nullptr ? settings.GetLanguage() : L"";
}
}

void CSettingsPropSheet::LoadPages(CSettings& settings)
{
    m_general.LoadFromSettings(settings);
    m_pointer.LoadFromSettings(settings);
    m_advanced.LoadFromSettings(settings);
    m_languagePage.m_languageFile = LanguageOf(settings);
    m_updates.LoadFromSettings(settings);
    m_hotkeysChanged = 0;
    m_modifiersChanged = 0;
    m_hotkeys.m_table = settings.GetHotKeys();
    m_hotkeys.m_enable = settings.m_bGlobalHotkeys ? 1 : 0;
    m_hotkeys.m_changed = &m_hotkeysChanged;
    m_modifiers.m_table = settings.GetLayerModifierKeys();
    m_modifiers.m_enable = settings.m_bLayerModifierKeys ? 1 : 0;
    m_modifiers.m_changed = &m_modifiersChanged;
}

bool CSettingsPropSheet::PagesDiffer(const CSettings& settings) const
{
    // A settings copy without a language differs from a chosen pack too.
    return m_hotkeysChanged != 0 || m_modifiersChanged != 0 || m_general.DiffersFromSettings(settings) ||
           m_pointer.DiffersFromSettings(settings) || m_advanced.DiffersFromSettings(settings) ||
           LanguageOf(settings) != m_languagePage.m_languageFile || m_updates.DiffersFromSettings(settings) ||
           (m_hotkeys.m_enable != 0) != settings.m_bGlobalHotkeys ||
           (m_modifiers.m_enable != 0) != settings.m_bLayerModifierKeys;
}

bool CSettingsPropSheet::StorePages(CSettings& settings)
{
    const bool layersChanged = m_general.StoreToSettings(settings);
    m_pointer.StoreToSettings(settings);
    m_advanced.StoreToSettings(settings);
    settings.SetLanguage(m_languagePage.m_languageFile.c_str());
    m_updates.StoreToSettings(settings);
    settings.m_bGlobalHotkeys = m_hotkeys.m_enable != 0;
    settings.m_bLayerModifierKeys = m_modifiers.m_enable != 0;
    return layersChanged;
}

void CSettingsPropSheet::RefreshLanguagePage(const CSettings& settings)
{
    m_languagePage.m_languageFile = LanguageOf(settings);
    if (m_languagePage.GetSafeHwnd() != nullptr)
        m_languagePage.ProcessLanguageFiles();
}

CSettingsPropSheet::CSettingsPropSheet(const wchar_t* caption, CWindow* parent, ILogFileShell& shell)
    : CPropertySheet(caption, parent, GeneralPage), m_updates(shell)
{
    EnableStackedTabs(false);
    m_icon.Reset(static_cast<HICON>(::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(IDI_GLOBAL_SETTINGS),
                                                 IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR | LR_DEFAULTSIZE)));
    m_psh.hIcon = m_icon.Get();
    if (m_icon)
        m_psh.dwFlags |= PSH_USEHICON;
    m_psh.dwFlags |= PSH_NOAPPLYNOW;
    m_psh.dwFlags &= ~static_cast<DWORD>(PSH_HASHELP);
    AddPage(&m_general);
    AddPage(&m_pointer);
    AddPage(&m_advanced);
    AddPage(&m_languagePage);
    AddPage(&m_updates);
    AddPage(&m_hotkeys);
    AddPage(&m_modifiers);
}

CSettingsPropSheet::~CSettingsPropSheet()
{
    if (m_hWnd != nullptr)
        DestroyWindow();
}

BOOL CSettingsPropSheet::OnInitDialog()
{
    const BOOL result = CPropertySheet::OnInitDialog();
    if (m_icon)
    {
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon.Get()));
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon.Get()));
    }
    CLangSupport* language = LangSupport();
    if (const HWND applyNow = GetDlgItem(kApplyNowButton))
    {
        ::EnableWindow(applyNow, FALSE);
        ::ShowWindow(applyNow, SW_HIDE);
    }
    // The sheet's own buttons and caption.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        std::wstring text = TextOf(child);
        if (text.empty())
            continue;
        if (EqualsIgnoringCase(text, L"&Apply"))
            text = L"Apply";
        ::SetWindowTextW(child, LookupText(language, text).c_str());
    }
    ::SetWindowTextW(m_hWnd, LookupText(language, TextOf(m_hWnd)).c_str());
    if (const HWND tab = GetTabControl())
    {
        const int count = static_cast<int>(::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
        {
            wchar_t caption[kMaxTabText + 1] = {};
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = caption;
            item.cchTextMax = kMaxTabText;
            if (!::SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)))
                continue;
            const std::wstring translated = LookupText(language, std::wstring(caption));
            item.pszText = const_cast<wchar_t*>(translated.c_str());
            ::SendMessageW(tab, TCM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        }
    }
    CLangSupport::Release(language);
    return result;
}

namespace
{
CSettingsPropSheet* g_runningSheet = nullptr;
}

bool GlobalSettingsSheetRunning()
{
    return g_runningSheet != nullptr;
}

bool RunGlobalSettingsSheet(CWindow* owner, CSettings& settings, int startPage)
{
    if (g_runningSheet != nullptr)
    {
        g_runningSheet->RefreshLanguagePage(settings);
        g_runningSheet->SetActivePage(startPage);
        return false;
    }
    CLangSupport* language = LangSupport();
    const std::wstring caption = LookupText(language, std::wstring(L"Global Settings"));
    CLangSupport::Release(language);
    CSettingsPropSheet sheet(caption.c_str(), owner);
    sheet.LoadPages(settings);
    sheet.SetActivePage(startPage);
    g_runningSheet = &sheet;
    INT_PTR result = IDCANCEL;
    try
    {
        result = sheet.DoModal();
    }
    catch (...)
    {
        g_runningSheet = nullptr;
        throw;
    }
    g_runningSheet = nullptr;
    if (result != IDOK || !sheet.PagesDiffer(settings))
        return false;
    sheet.StorePages(settings);
    return true;
}
