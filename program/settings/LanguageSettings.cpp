#include "LanguageSettings.h"

#include <atomic>
#include <vector>

#include "CaughtException.h"
#include "Folders.h"
#include "GlobalSettingsIds.h"
#include "LangSupport.h"
#include "Logger.h"

namespace
{
constexpr std::size_t kFolderChars = 4096;
constexpr int kMaxEntryText = 1024;

std::atomic<CLanguageSettings::FolderSource> g_folderSource{nullptr};

bool PackFolder(std::wstring& folder)
{
    if (const CLanguageSettings::FolderSource source = g_folderSource.load())
        return source(folder);
    std::vector<wchar_t> buffer(kFolderChars, L'\0');
    if (GetSettingsFolder(buffer.data(), buffer.size()) != 0)
        return false;
    buffer.back() = L'\0';
    folder = buffer.data();
    return !folder.empty();
}

// The author and description shown for the built-in language.
std::wstring BuiltInAuthor()
{
    return std::wstring(L"Brindle") + L"map team";
}

std::wstring BuiltInDescription()
{
    return std::wstring(L"The program's own texts, in British English. ") + L"No language pack is needed.";
}
}

void CLanguageSettings::SetFolderSource(FolderSource source)
{
    g_folderSource = source;
}

CLanguageSettings::CLanguageSettings() : CSettingsPage(IDD_LANGUAGE_SETTINGS)
{
    BindControl(CBN_SELCHANGE, IDC_LANG_LIST, &CLanguageSettings::ShowSelection);
}

BOOL CLanguageSettings::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    TranslateTexts();
    ProcessLanguageFiles();
    return TRUE;
}

void CLanguageSettings::ProcessLanguageFiles()
{
    const HWND list = GetDlgItem(IDC_LANG_LIST);
    if (list == nullptr)
    {
        CLogger::LogMessage(L"ProcessLanguageFiles: Unable to reset language drop-down list");
        return;
    }
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    m_packs.clear();
    const std::wstring builtIn = LookupText(m_language, std::wstring(kBuiltInLanguageEntry));
    ::SendMessageW(list, CB_SETCURSEL, ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(builtIn.c_str())),
                   0);
    ::EnableWindow(list, TRUE);

    std::wstring folder;
    try
    {
        if (PackFolder(folder))
        {
            WIN32_FIND_DATAW entry{};
            const std::wstring pattern = folder + L"*" + kLanguagePackExtension;
            const HANDLE search = ::FindFirstFileW(pattern.c_str(), &entry);
            if (search != INVALID_HANDLE_VALUE)
            {
                do
                {
                    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                        continue;
                    LanguagePackInfo info;
                    if (!ReadLanguagePackHeader(folder, entry, info))
                        continue;
                    const auto index =
                        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(info.language.c_str()));
                    // A later pack of the same language replaces the earlier one's details.
                    m_packs[info.language] = info;
                    if (index >= 0 && info.fileName == m_languageFile)
                        ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
                } while (::FindNextFileW(search, &entry));
                ::FindClose(search);
            }
        }
    }
    catch (...)
    {
        LogCaughtException(L"ProcessLanguageFiles: An error occurred while looking for *.brmplp in '%s'",
                           folder.c_str());
    }

    if (::SendMessageW(list, CB_GETCOUNT, 0, 0) == 1)
    {
        CLogger::LogDebug(L"ProcessLanguageFiles: No language packs installed!");
        const std::wstring none = LookupText(m_language, std::wstring(L"No language packs installed!"));
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(none.c_str()));
        ::SendMessageW(list, CB_SETCURSEL, 0, 0);
        ::EnableWindow(list, FALSE);
    }
    ShowSelection();
}

std::wstring CLanguageSettings::SelectedText() const
{
    const HWND list = GetDlgItem(IDC_LANG_LIST);
    const auto index = ::SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return {};
    const auto length = ::SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0 || length > kMaxEntryText)
        return {};
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

void CLanguageSettings::ShowSelection()
{
    const std::wstring selected = SelectedText();
    std::wstring author;
    std::wstring description;
    if (selected == LookupText(m_language, std::wstring(kBuiltInLanguageEntry)))
    {
        author = BuiltInAuthor();
        description = BuiltInDescription();
    }
    else if (const auto pack = m_packs.find(selected); pack != m_packs.end())
    {
        author = pack->second.author;
        description = pack->second.description;
    }
    else
    {
        const auto index = ::SendMessageW(GetDlgItem(IDC_LANG_LIST), CB_GETCURSEL, 0, 0);
        CLogger::LogDebug(L"ShowSelection: No language pack for '%s' (entry %d)", selected.c_str(),
                          static_cast<int>(index));
        author = LookupText(m_language, std::wstring(L"Unknown"));
    }
    ::SetDlgItemTextW(m_hWnd, IDC_LANG_AUTHOR, author.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_LANG_DESCRIPTION, description.c_str());
}

void CLanguageSettings::OnOK()
{
    const auto pack = m_packs.find(SelectedText());
    m_languageFile = pack != m_packs.end() ? pack->second.fileName : std::wstring();
}
