// The saved desktop icon layout in the settings file: "root" > "DesktopIcons"
// > one element per computer and user > "Icon" elements in list order. Writes
// never lose the rest of the settings file: a file that cannot be read whole
// is left alone, and the new file replaces the old in one step.

#include "DesktopIcons.h"

#include <cwchar>
#include <stdexcept>

#include "ApplicationSettings.h"
#include "Folders.h"
#include "Handles.h"
#include "LogCaughtException.h"
#include "Logger.h"
#include "StringFormat.h"
#include "XmlFile.h"
#include "XmlWriters.h"
#include "pugixml.hpp"

namespace
{
constexpr size_t kSettingsPathSize = 4096;
constexpr DWORD kNameSize = 256;
constexpr unsigned int kSaveFormat = pugi::format_indent | pugi::format_write_bom;
// Comments and the declaration of the user's file survive our writes.
constexpr unsigned int kEditParseFlags = pugi::parse_default | pugi::parse_comments | pugi::parse_declaration;

constexpr const wchar_t* kRoot = L"root";
constexpr const wchar_t* kDesktopIcons = L"DesktopIcons";
constexpr const wchar_t* kIcon = L"Icon";

bool SettingsFilePath(wchar_t (&path)[kSettingsPathSize])
{
    bool isDefault = false;
    path[0] = L'\0';
    // 2: the file to use does not exist; saving may create it.
    const DWORD result = GetSettingsFile(path, kSettingsPathSize, true, isDefault);
    return (result == 0 || result == ERROR_FILE_NOT_FOUND) && path[0] != L'\0';
}

bool IsNameStart(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_' || c >= 0x80;
}

bool IsNameChar(wchar_t c)
{
    return IsNameStart(c) || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
}
}

std::wstring DesktopIconLayoutKey(const wchar_t* computer, const wchar_t* user)
{
    // The system's own element-name rule first, so keys saved before stay the same.
    std::wstring key = MakeXmlElementName(FormatString(L"%s-%s", computer != nullptr ? computer : L"",
                                                       user != nullptr ? user : L"")
                                              .c_str());
    for (wchar_t& c : key)
    {
        if (!IsNameChar(c))
            c = L'_';
    }
    if (key.empty() || !IsNameStart(key[0]))
        key.insert(key.begin(), L'_');
    return key;
}

std::wstring CurrentDesktopIconLayoutKey()
{
    wchar_t computer[kNameSize] = {};
    wchar_t user[kNameSize] = {};
    DWORD size = kNameSize;
    if (!::GetComputerNameW(computer, &size))
        computer[0] = L'\0';
    size = kNameSize;
    if (!::GetUserNameW(user, &size))
        user[0] = L'\0';
    return DesktopIconLayoutKey(computer, user);
}

// ---------------------------------------------------------------------------
// CIcon

CIcon::CIcon(unsigned int index, const wchar_t* name, POINT position, HWND window, bool gadget)
    : m_nIndex(index), m_ptPosition(position), m_hWnd(window), m_bGadget(gadget)
{
    CApplicationSettings::CopyString(m_pszName, name);
}

CIcon::CIcon(unsigned int index, const wchar_t* name, int x, int y, HWND window, bool gadget)
    : CIcon(index, name, POINT{x, y}, window, gadget)
{
}

CIcon::~CIcon()
{
    CApplicationSettings::ClearString(m_pszName);
}

CIcon::CIcon(const CIcon& other)
    : m_nIndex(other.m_nIndex), m_ptPosition(other.m_ptPosition), m_hWnd(other.m_hWnd), m_bGadget(other.m_bGadget)
{
    CApplicationSettings::CopyString(m_pszName, other.m_pszName);
}

CIcon& CIcon::operator=(const CIcon& other)
{
    if (this != &other)
    {
        CApplicationSettings::CopyString(m_pszName, other.m_pszName);
        m_nIndex = other.m_nIndex;
        m_ptPosition = other.m_ptPosition;
        m_hWnd = other.m_hWnd;
        m_bGadget = other.m_bGadget;
    }
    return *this;
}

// ---------------------------------------------------------------------------
// CIconSettings

CIconSettings::CIconSettings() = default;

CIconSettings::~CIconSettings()
{
    ClearIcons();
}

CIconSettings::CIconSettings(const CIconSettings& other) : m_bLoaded(other.m_bLoaded)
{
    if (other.m_pIcons != nullptr)
    {
        m_pIcons = new std::vector<CIcon*>();
        m_pIcons->reserve(other.m_pIcons->size());
        for (const CIcon* icon : *other.m_pIcons)
            m_pIcons->push_back(new CIcon(*icon));
    }
}

CIconSettings& CIconSettings::operator=(const CIconSettings& other)
{
    if (this != &other)
    {
        CIconSettings copy(other);
        ClearIcons();
        std::swap(m_pIcons, copy.m_pIcons);
        m_bLoaded = copy.m_bLoaded;
    }
    return *this;
}

int CIconSettings::ClearIcons()
{
    m_bLoaded = false;
    if (m_pIcons == nullptr)
        return 0;
    for (CIcon* icon : *m_pIcons)
        delete icon;
    delete m_pIcons;
    m_pIcons = nullptr;
    return 1;
}

int CIconSettings::AddIcon(CIcon* icon)
{
    if (icon == nullptr)
        return 0;
    if (m_pIcons == nullptr)
        m_pIcons = new std::vector<CIcon*>();
    m_pIcons->push_back(icon);
    return 0;
}

int CIconSettings::GetCount() const
{
    return m_pIcons != nullptr ? static_cast<int>(m_pIcons->size()) : 0;
}

CIcon* CIconSettings::GetIcon(int index) const
{
    if (m_pIcons == nullptr)
        return nullptr;
    if (index < 0 || static_cast<size_t>(index) >= m_pIcons->size())
        throw std::out_of_range("invalid vector<T> subscript");
    return (*m_pIcons)[static_cast<size_t>(index)];
}

int CIconSettings::LoadIcons(const wchar_t* path)
{
    if (path == nullptr)
        return 0;
    try
    {
        pugi::xml_document document;
        const pugi::xml_parse_result result = LoadXmlFile(document, path, pugi::parse_default);
        if (result.status != pugi::status_ok)
        {
            CLogger::LogMessage(L"There is a problem with your profile: %S", result.description());
            if (result.status != pugi::status_unrecognized_tag)
                return 0;
        }

        const std::wstring key = CurrentDesktopIconLayoutKey();
        const pugi::xml_node icons = document.child(kRoot).child(kDesktopIcons);
        if (!icons)
            CLogger::LogMessage(L"CIconSettings::LoadIcons: There are no icon positions in the profile.");
        else
        {
            const pugi::xml_node layout = icons.child(key.c_str());
            if (!layout)
                CLogger::LogMessage(L"CIconSettings::LoadIcons: Unable to find any saved icon positions for '%s'.",
                                    key.c_str());
            unsigned int index = 0;
            for (pugi::xml_node icon = layout.child(kIcon); icon; icon = icon.next_sibling(kIcon))
            {
                AddIcon(new CIcon(index++, icon.attribute(L"Name").value(), icon.attribute(L"xPos").as_int(0),
                                  icon.attribute(L"yPos").as_int(0), nullptr, icon.attribute(L"gadget").as_bool(false)));
            }
        }
        m_bLoaded = true;
        return 1;
    }
    catch (...)
    {
        LogCaughtException(L"CIconSettings::LoadIcons");
        return 0;
    }
}

int CIconSettings::LoadIcons()
{
    if (m_bLoaded)
        return 1;
    ClearIcons();
    wchar_t path[kSettingsPathSize];
    if (!SettingsFilePath(path))
        return 0;
    return LoadIcons(path);
}

int CIconSettings::SaveIcons(const wchar_t* path)
{
    if (m_pIcons == nullptr)
        return 1;
    if (path == nullptr)
        return 0;
    const std::wstring key = CurrentDesktopIconLayoutKey();
    try
    {
        pugi::xml_document document;
        const pugi::xml_parse_result result = LoadXmlFile(document, path, kEditParseFlags);
        if (result.status == pugi::status_file_not_found)
        {
            CLogger::LogMessage(L"There is no existing profile. Attempting to creating a new one.");
            document.reset();
        }
        else if (result.status != pugi::status_ok)
        {
            CLogger::LogMessage(L"There is a problem with your existing profile '%s': %S", path, result.description());
            // Writing back what could be read would drop the rest of the user's settings.
            CLogger::LogMessage(L"CIconSettings::SaveIcons: Unable to save %d icon positions for '%s'.", GetCount(),
                                key.c_str());
            return 0;
        }

        pugi::xml_node icons = FindOrAppendChild(FindOrAppendChild(document, kRoot), kDesktopIcons);
        while (icons.remove_child(key.c_str()))
        {
        }
        pugi::xml_node layout = icons.append_child(key.c_str());
        for (const CIcon* icon : *m_pIcons)
        {
            pugi::xml_node element = layout.append_child(kIcon);
            if (icon->GetName() != nullptr)
                element.append_attribute(L"Name").set_value(icon->GetName());
            element.append_attribute(L"xPos").set_value(static_cast<int>(icon->GetPosition().x));
            element.append_attribute(L"yPos").set_value(static_cast<int>(icon->GetPosition().y));
            element.append_attribute(L"gadget").set_value(icon->IsGadget());
        }

        if (!SaveXmlFile(document, path, kSaveFormat))
        {
            CLogger::LogOSMessage(::GetLastError(), L"CIconSettings::SaveIcons: Unable to save %d icon positions for '%s'.",
                                  GetCount(), key.c_str());
            return 0;
        }
        CLogger::LogDebug(L"CIconSettings::SaveIcons: Saved %d icon positions for '%s'.", GetCount(), key.c_str());
        return 1;
    }
    catch (...)
    {
        LogCaughtException(L"IconSettings::SaveIcons");
        CLogger::LogMessage(L"IconSettings::SaveIcons: An exception occurred while processing the file '%s'", path);
        return 0;
    }
}

int CIconSettings::SaveIcons()
{
    wchar_t path[kSettingsPathSize];
    if (!SettingsFilePath(path))
        return 0;
    return SaveIcons(path);
}

int CIconSettings::RemoveListedIcons()
{
    wchar_t path[kSettingsPathSize];
    if (!SettingsFilePath(path))
        return 0;
    return RemoveListedIcons(path);
}

int CIconSettings::RemoveListedIcons(const wchar_t* path)
{
    if (path == nullptr)
        return 0;
    try
    {
        pugi::xml_document document;
        const pugi::xml_parse_result result = LoadXmlFile(document, path, kEditParseFlags);
        // A partly read file is never written back: the unread rest would be lost.
        if (result.status != pugi::status_ok)
        {
            CLogger::LogMessage(L"There is a problem with your profile: %S", result.description());
            return 0;
        }

        const std::wstring key = CurrentDesktopIconLayoutKey();
        pugi::xml_node icons = FindOrAppendChild(document, kRoot).child(kDesktopIcons);
        if (!icons)
        {
            CLogger::LogMessage(L"IconSettings::RemoveSavedIconsXML: There are no icon positions in the profile.");
            return 0;
        }
        pugi::xml_node layout = icons.child(key.c_str());
        if (!layout)
        {
            CLogger::LogMessage(L"IconSettings::RemoveSavedIconsXML: Unable to find any saved icon positions for '%s'.",
                                key.c_str());
            return 0;
        }

        for (pugi::xml_node icon = layout.child(kIcon); icon;)
        {
            const pugi::xml_node next = icon.next_sibling(kIcon);
            const wchar_t* name = icon.attribute(L"Name").value();
            bool listed = false;
            if (m_pIcons != nullptr)
            {
                for (const CIcon* entry : *m_pIcons)
                {
                    if (entry->GetName() != nullptr && std::wcscmp(entry->GetName(), name) == 0)
                    {
                        listed = true;
                        break;
                    }
                }
            }
            if (listed)
                layout.remove_child(icon);
            icon = next;
        }

        if (!SaveXmlFile(document, path, kSaveFormat))
        {
            CLogger::LogMessage(L"IconSettings::RemoveSavedIconsXML: Unable to save XML file.");
            return 0;
        }
        return 1;
    }
    catch (...)
    {
        LogCaughtException(L"IconSettings::RemoveSavedIconsXML");
        CLogger::LogMessage(L"IconSettings::RemoveSavedIconsXML: An exception occurred while processing the profile '%s'",
                            path);
        return 0;
    }
}
