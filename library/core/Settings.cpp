#include "Settings.h"

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "ApplicationSettings.h"
#include "LibrarySettings.h"
#include "Logger.h"
#include "SettingsOptions.h"

CSettings* g_pSettings = nullptr;

namespace
{
    void ReplaceString(wchar_t*& target, const wchar_t* source)
    {
        CApplicationSettings::CopyString(target, source);
    }
}

int CSettings::WheelScrollLinesFromSystem(int reported)
{
    // WHEEL_PAGESCROLL (one screen per notch) reads back as -1.
    return reported == -1 || static_cast<UINT>(reported) == WHEEL_PAGESCROLL ? 3 : reported;
}

CSettings::CSettings(bool forceQuillon, CMouseInfo startupMouse) : m_StartupMouseInfo(startupMouse)
{
    for (const SettingsOption& option : SettingsOption::All())
    {
        if (option.IsText())
            option.SetText(*this, option.defaultText);
        else
            option.SetNumber(*this, option.defaultNumber);
    }

    // The defaults that come from the system at run time.
    int speed = -1;
    if (!::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0))
        speed = -1;
    m_nCursorSpeed = speed;

    UINT lines = 3;
    if (!::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0))
        lines = 3;
    m_nWheelScrollLines = WheelScrollLinesFromSystem(static_cast<int>(lines));
    CLogger::LogDebug(L"CSettings: GetWheelScrollLines returned %d", static_cast<int>(lines));

    m_bDebugging = CLogger::DebugEnabled();
    m_bEnhancePointerPrecision = startupMouse.EnhancePointerPrecision();
    m_bQuillonForced = forceQuillon;
    m_bQuillon = forceQuillon;
    m_nCursorSpeedCycle[0] = m_nCursorSpeed;

    m_pHotKeys = new CHotKeys();
    m_pLayerModifierKeys = new CLayerModifierKeys();
    m_pDefaultApp = new CApplicationSettings(this, true, 0);
    m_pDefaultApp->SetApplication(L"Default");
    m_pApplications = new std::vector<CApplicationSettings*>();
}

CSettings::~CSettings()
{
    DeleteApplications(false);
    ClearString(m_pszSettingsFile);
    ClearString(m_pszLanguage);
    delete m_pDefaultApp;
    m_pDefaultApp = nullptr;
    ClearString(m_pszSearchURL);
    ClearString(m_pszUnreadableCopy);
}

void CSettings::ClearString(wchar_t*& text)
{
    CApplicationSettings::ClearString(text);
}

CSettings::CSettings(const CSettings& other) : m_StartupMouseInfo(other.m_StartupMouseInfo)
{
    CopyFrom(other);
}

CSettings& CSettings::operator=(const CSettings& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

void CSettings::CopyFrom(const CSettings& other)
{
    // Build every owned copy first, then drop what this object held.
    CHotKeys* hotKeys = new CHotKeys(*other.m_pHotKeys);
    CLayerModifierKeys* modifierKeys = new CLayerModifierKeys(*other.m_pLayerModifierKeys);

    CApplicationSettings* defaultApp = nullptr;
    if (other.m_pDefaultApp != nullptr)
    {
        defaultApp = new CApplicationSettings(this, true, other.m_pDefaultApp->GetIndex());
        defaultApp->Copy(other.m_pDefaultApp);
        defaultApp->m_bDefault = other.m_pDefaultApp->IsDefault();
    }

    std::vector<CApplicationSettings*>* applications = nullptr;
    std::list<CApplicationSettings*> normal;
    std::list<CApplicationSettings*> custom;
    if (other.m_pApplications != nullptr)
    {
        applications = new std::vector<CApplicationSettings*>();
        applications->reserve(other.m_pApplications->size());
        for (CApplicationSettings* source : *other.m_pApplications)
        {
            CApplicationSettings* copy = new CApplicationSettings(this, false, source->GetIndex());
            copy->Copy(source);
            applications->push_back(copy);
        }
    }

    // The lists point at the copy's own profiles, in the source lists' order.
    auto reorder = [&](const std::list<CApplicationSettings*>& sourceList, std::list<CApplicationSettings*>& copied) {
        std::list<CApplicationSettings*> ordered;
        for (CApplicationSettings* source : sourceList)
        {
            const auto it = std::find(other.m_pApplications->begin(), other.m_pApplications->end(), source);
            if (it != other.m_pApplications->end())
                ordered.push_back((*applications)[static_cast<size_t>(it - other.m_pApplications->begin())]);
        }
        copied.swap(ordered);
    };
    if (applications != nullptr)
    {
        reorder(other.m_NormalApplications, normal);
        reorder(other.m_CustomApplications, custom);
    }

    DeleteApplications(false);
    delete m_pDefaultApp;
    delete m_pHotKeys;
    delete m_pLayerModifierKeys;

    m_pHotKeys = hotKeys;
    m_pLayerModifierKeys = modifierKeys;
    m_pDefaultApp = defaultApp;
    m_pApplications = applications;
    m_NormalApplications.swap(normal);
    m_CustomApplications.swap(custom);
    CopyOptions(other);
}

void CSettings::CopyOptionsFrom(const CSettings& other)
{
    if (this == &other)
        return;
    CHotKeys* hotKeys = new CHotKeys(*other.m_pHotKeys);
    CLayerModifierKeys* modifierKeys = new CLayerModifierKeys(*other.m_pLayerModifierKeys);
    delete m_pHotKeys;
    delete m_pLayerModifierKeys;
    m_pHotKeys = hotKeys;
    m_pLayerModifierKeys = modifierKeys;
    CopyOptions(other);
}

void CSettings::TakeOver(CSettings& other)
{
    if (this == &other)
        return;
    CopyOptions(other);
    std::swap(m_pHotKeys, other.m_pHotKeys);
    std::swap(m_pLayerModifierKeys, other.m_pLayerModifierKeys);
    std::swap(m_pDefaultApp, other.m_pDefaultApp);
    std::swap(m_pApplications, other.m_pApplications);
    m_NormalApplications.swap(other.m_NormalApplications);
    m_CustomApplications.swap(other.m_CustomApplications);
    m_keptFile.swap(other.m_keptFile);
    // Each profile knows the settings that own it.
    for (CSettings* owner : {this, &other})
    {
        if (owner->m_pDefaultApp != nullptr)
            owner->m_pDefaultApp->m_pSettings = owner;
        if (owner->m_pApplications != nullptr)
            for (CApplicationSettings* profile : *owner->m_pApplications)
                profile->m_pSettings = owner;
    }
}

void CSettings::CopyOptions(const CSettings& other)
{
    for (const SettingsOption& option : SettingsOption::All())
        option.Copy(*this, other);
    m_StartupMouseInfo = other.m_StartupMouseInfo;
}

void CSettings::DeleteApplications(bool recreate)
{
    // The lists only ever point into the vector: empty them before the profiles go.
    m_NormalApplications.clear();
    m_CustomApplications.clear();
    if (m_pApplications != nullptr)
    {
        for (CApplicationSettings* profile : *m_pApplications)
            delete profile;
        delete m_pApplications;
        m_pApplications = nullptr;
    }
    delete m_pHotKeys;
    m_pHotKeys = nullptr;
    delete m_pLayerModifierKeys;
    m_pLayerModifierKeys = nullptr;

    if (recreate)
    {
        m_pApplications = new std::vector<CApplicationSettings*>();
        m_pHotKeys = new CHotKeys();
        m_pLayerModifierKeys = new CLayerModifierKeys();
    }
}

void CSettings::SetFilename(const wchar_t* path)
{
    ReplaceString(m_pszSettingsFile, path);
}

int CSettings::GetApplicationCount() const
{
    return m_pApplications != nullptr ? static_cast<int>(m_pApplications->size()) : 0;
}

CApplicationSettings* CSettings::GetApplication(int index) const
{
    if (m_pApplications == nullptr)
        return nullptr;
    if (index < 0 || static_cast<size_t>(index) >= m_pApplications->size())
        throw std::out_of_range("invalid vector<T> subscript");
    return (*m_pApplications)[static_cast<size_t>(index)];
}

CApplicationSettings* CSettings::GetApplication(const wchar_t* name) const
{
    if (name == nullptr || *name == L'\0' || m_pApplications == nullptr)
        return nullptr;
    for (CApplicationSettings* profile : *m_pApplications)
    {
        const wchar_t* key = profile->GetFullName();
        if (key != nullptr && std::wcscmp(key, name) == 0)
            return profile;
    }
    return nullptr;
}

void CSettings::RebuildApplicationLists()
{
    m_NormalApplications.clear();
    m_CustomApplications.clear();
    if (m_pApplications == nullptr)
        return;
    for (CApplicationSettings* profile : *m_pApplications)
    {
        if (profile->IsCustomWindow())
            m_CustomApplications.push_back(profile);
        else
            m_NormalApplications.push_back(profile);
    }
}

bool CSettings::AddApplication(CApplicationSettings* profile)
{
    if (profile == nullptr)
        return false;
    if (m_pApplications == nullptr)
        m_pApplications = new std::vector<CApplicationSettings*>();
    m_pApplications->push_back(profile);
    if (profile->IsCustomWindow())
        m_CustomApplications.push_back(profile);
    else
        m_NormalApplications.push_back(profile);
    return true;
}

bool CSettings::RemoveApplication(CApplicationSettings* profile)
{
    if (profile == nullptr || m_pApplications == nullptr)
        return false;
    const auto it = std::find(m_pApplications->begin(), m_pApplications->end(), profile);
    if (it == m_pApplications->end())
        return false;
    m_pApplications->erase(it);
    // The caller owns the profile now and may delete it: the lists must not keep it
    // (unless the vector still holds another entry of the same pointer).
    if (std::find(m_pApplications->begin(), m_pApplications->end(), profile) == m_pApplications->end())
    {
        m_NormalApplications.remove(profile);
        m_CustomApplications.remove(profile);
    }
    return true;
}

void CSettings::ClearApplications()
{
    // The caller has taken the profiles over: no list may point at them any more.
    m_NormalApplications.clear();
    m_CustomApplications.clear();
    delete m_pApplications;
    m_pApplications = nullptr;
}

void CSettings::SetDefaultApp(CApplicationSettings* profile)
{
    if (profile == m_pDefaultApp)
        return;
    delete m_pDefaultApp;
    m_pDefaultApp = profile;
}

void CSettings::SetLanguage(const wchar_t* language)
{
    ReplaceString(m_pszLanguage, language);
}

void CSettings::SetSearchURL(const wchar_t* url)
{
    if (url != nullptr && *url != L'\0')
        ReplaceString(m_pszSearchURL, url);
}

int CSettings::MaxLayers() const
{
    return m_nLayers;
}

bool CSettings::SetMaxLayers(int layers)
{
    if (layers == m_nLayers)
        return false;
    m_nLayers = layers;
    return true;
}

bool CSettings::get_EnableDebounce(const CSettings* settings)
{
    return settings != nullptr && settings->m_bDebounceButtons;
}

int CSettings::get_DebounceTime(const CSettings* settings)
{
    return settings != nullptr ? settings->m_nDebounceTime : 50;
}

bool CSettings::get_DebounceFromUp(const CSettings* settings)
{
    return settings != nullptr && settings->m_bDebounceFromUp;
}

bool CSettings::get_ResetStickyOnAnyButton(const CSettings* settings)
{
    return settings != nullptr && settings->m_bResetStickyOnAnyButton;
}

bool CSettings::get_ResetStickyOnAnyKey(const CSettings* settings)
{
    return settings != nullptr && settings->m_bResetStickyOnAnyKey;
}

bool CSettings::get_ResetStickyOnLayerChange(const CSettings* settings)
{
    return settings != nullptr && settings->m_bResetStickyOnLayerChange;
}

unsigned long CSettings::get_MouseJigglerTickTimeout() const
{
    if (!m_bMouseJiggler)
        return 0;
    // Minutes to milliseconds, saturating rather than wrapping for huge values.
    const unsigned long long ms = static_cast<unsigned long long>(m_uMouseJigglerTimeout) * 60000ULL;
    return ms > 0xFFFFFFFFULL ? 0xFFFFFFFFUL : static_cast<unsigned long>(ms);
}
