#include "Settings.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "ApplicationSettings.h"
#include "Handles.h"
#include "LogCaughtException.h"
#include "Logger.h"
#include "StringFormat.h"
#include "XmlWriters.h"
#include "pugixml.hpp"

namespace
{
    constexpr const wchar_t* kDesktopKey = L"Control Panel\\Desktop";
    constexpr const wchar_t* kHookTimeoutValue = L"LowLevelHooksTimeout";
    constexpr const wchar_t* kProductAbbreviation = L"BRMP";
    constexpr const wchar_t* kImportCaption = L"Brindlemap: Import";
    constexpr int kImportTextSize = 2048;
    constexpr int kShortNameSize = 1024;
    constexpr unsigned int kSaveFormat = pugi::format_indent | pugi::format_write_bom;
    constexpr unsigned int kExportFormat = pugi::format_indent;
    // Comments and the declaration of a user's file survive a save.
    constexpr unsigned int kParseFlags = pugi::parse_default | pugi::parse_comments | pugi::parse_declaration;

    std::atomic<ImportQuestionFn> g_importQuestion{nullptr};
    std::atomic<SettingsFileWriteFn> g_fileWrite{nullptr};

    int AskImportQuestion(HWND owner, const wchar_t* text, const wchar_t* caption)
    {
        ImportQuestionFn fn = g_importQuestion.load();
        if (fn != nullptr)
            return fn(owner, text, caption);
        return ::MessageBoxW(owner, text, caption, MB_ICONQUESTION | MB_YESNOCANCEL);
    }

    // --- the system's hook time-out ---

    bool ReadHookTimeout(int& value)
    {
        UniqueRegKey key;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
            return false;
        BYTE data[64] = {};
        DWORD size = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        if (::RegQueryValueExW(key.Get(), kHookTimeoutValue, nullptr, &type, data, &size) != ERROR_SUCCESS)
            return false;
        if (type == REG_DWORD && size == sizeof(DWORD))
        {
            DWORD number = 0;
            std::memcpy(&number, data, sizeof(number));
            value = number > static_cast<DWORD>(INT_MAX) ? INT_MAX : static_cast<int>(number);
            return true;
        }
        if (type == REG_SZ)
        {
            // Some systems hold the value as text.
            const wchar_t* text = reinterpret_cast<const wchar_t*>(data);
            wchar_t* end = nullptr;
            const unsigned long number = std::wcstoul(text, &end, 10);
            if (end != text)
            {
                value = number > static_cast<unsigned long>(INT_MAX) ? INT_MAX : static_cast<int>(number);
                return true;
            }
        }
        return false;
    }

    void UpdateHookTimeout(int wanted)
    {
        int current = 0;
        if (!ReadHookTimeout(current))
            current = 0;
        if (current == wanted)
            return;
        CLogger::LogMessage(L"Updating Windows hook timeout: %d", wanted);
        UniqueRegKey key;
        LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           key.Put(), nullptr);
        if (status == ERROR_SUCCESS)
        {
            const DWORD value = static_cast<DWORD>(wanted);
            status = ::RegSetValueExW(key.Get(), kHookTimeoutValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                      sizeof(value));
        }
        if (status != ERROR_SUCCESS)
            CLogger::LogOSMessage(static_cast<DWORD>(status), L"CSettings::Save: Unable to update the Windows hook timeout");
    }

    // --- reading options: a missing attribute keeps the field ---

    pugi::xml_attribute Attribute(pugi::xml_node root, const wchar_t* element, const wchar_t* name)
    {
        return root.child(element).attribute(name);
    }

    void Read(pugi::xml_node root, const wchar_t* element, const wchar_t* name, bool& field)
    {
        if (pugi::xml_attribute a = Attribute(root, element, name))
            field = a.as_bool(field);
    }

    void Read(pugi::xml_node root, const wchar_t* element, const wchar_t* name, int& field)
    {
        if (pugi::xml_attribute a = Attribute(root, element, name))
            field = a.as_int(field);
    }

    void Read(pugi::xml_node root, const wchar_t* element, const wchar_t* name, unsigned int& field)
    {
        if (pugi::xml_attribute a = Attribute(root, element, name))
            field = a.as_uint(field);
    }

    void ReadHotkey(pugi::xml_node element, CHotkey* key, bool global)
    {
        if (!element || key == nullptr)
            return;
        // Both values are 16-bit; larger numbers from the file are cut to their low bits.
        key->SetVirtualKey(static_cast<unsigned short>(element.attribute(L"Key").as_uint(0) & 0xFFFF));
        const auto modifier = static_cast<unsigned short>(element.attribute(L"Modifier").as_uint(0) & 0xFFFF);
        key->SetModifier(global ? CHotkey::GlobalModifierFromFile(modifier) : modifier);
    }

    // --- writing options: the element and attribute are found or appended ---

    void Write(pugi::xml_node root, const wchar_t* element, const wchar_t* name, bool value)
    {
        SetXmlAttribute(root, element, name, value);
    }

    void Write(pugi::xml_node root, const wchar_t* element, const wchar_t* name, int value)
    {
        SetXmlAttribute(root, element, name, value);
    }

    void Write(pugi::xml_node root, const wchar_t* element, const wchar_t* name, unsigned int value)
    {
        SetXmlAttribute(root, element, name, value);
    }

    // A null text keeps whatever the attribute held.
    void WriteText(pugi::xml_node root, const wchar_t* element, const wchar_t* name, const wchar_t* value)
    {
        if (value != nullptr)
        {
            SetXmlAttribute(root, element, name, value);
            return;
        }
        pugi::xml_node node = FindOrAppendChild(root, element);
        if (!node.attribute(name))
            node.append_attribute(name);
    }

    // --- files ---

    // Passes the document's bytes to the file in large pieces. A settings file
    // can be megabytes: collecting it whole first costs more than the writing.
    // The first failure stops all further writes and is kept.
    class FileWriter : public pugi::xml_writer
    {
    public:
        FileWriter(HANDLE file, SettingsFileWriteFn writeFn) : m_file(file), m_writeFn(writeFn)
        {
            m_buffer.reserve(kPieceSize);
        }

        void write(const void* data, size_t size) override
        {
            const char* bytes = static_cast<const char*>(data);
            while (size > 0 && m_error == ERROR_SUCCESS)
            {
                const size_t room = kPieceSize - m_buffer.size();
                const size_t taken = std::min(size, room);
                m_buffer.insert(m_buffer.end(), bytes, bytes + taken);
                bytes += taken;
                size -= taken;
                if (m_buffer.size() == kPieceSize)
                    Flush();
            }
        }

        // Writes what is buffered; the error of the first failed write, or ERROR_SUCCESS.
        DWORD Flush()
        {
            size_t offset = 0;
            while (offset < m_buffer.size() && m_error == ERROR_SUCCESS)
            {
                const DWORD piece = static_cast<DWORD>(m_buffer.size() - offset);
                DWORD written = 0;
                if (!m_writeFn(m_file, m_buffer.data() + offset, piece, &written, nullptr) || written == 0)
                    m_error = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
                offset += written;
            }
            m_buffer.clear();
            return m_error;
        }

    private:
        static constexpr size_t kPieceSize = 256 * 1024;
        HANDLE m_file;
        SettingsFileWriteFn m_writeFn;
        std::vector<char> m_buffer;
        DWORD m_error = ERROR_SUCCESS;
    };

    std::wstring FolderOf(const std::wstring& path)
    {
        const size_t slash = path.find_last_of(L"\\/");
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    }

    bool ReadWholeFile(const std::wstring& path, std::string& bytes)
    {
        UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        bytes.clear();
        char chunk[65536];
        DWORD read = 0;
        while (::ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
            bytes.append(chunk, read);
        return true;
    }

    // Writes the document to a new file beside path and puts it in place of
    // path in one step; the previous file stays untouched on any failure.
    bool ReplaceFileAtomically(const std::wstring& path, const pugi::xml_document& document, unsigned int format)
    {
        // A read-only file is the user's wish to keep it (some file systems let a
        // rename replace it anyway).
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        static std::atomic<unsigned> counter{0};
        const std::wstring temp = FormatString(L"%s.%lu.%u.tmp", path.c_str(), ::GetCurrentProcessId(), ++counter);
        DWORD error = ERROR_SUCCESS;
        {
            UniqueHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
            if (!file)
                return false;
            SettingsFileWriteFn write = g_fileWrite.load();
            if (write == nullptr)
                write = ::WriteFile;
            FileWriter writer(file.Get(), write);
            document.save(writer, L"\t", format, pugi::encoding_utf8);
            error = writer.Flush();
            if (error == ERROR_SUCCESS && !::FlushFileBuffers(file.Get()))
                error = ::GetLastError();
        }
        if (error == ERROR_SUCCESS &&
            !::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = ::GetLastError();
        if (error != ERROR_SUCCESS)
        {
            ::DeleteFileW(temp.c_str());
            ::SetLastError(error);
            return false;
        }
        return true;
    }

    bool SaveDocument(const pugi::xml_document& document, const wchar_t* path, unsigned int format, const wchar_t* who)
    {
        if (ReplaceFileAtomically(path, document, format))
            return true;
        const DWORD error = ::GetLastError();
        CLogger::LogOSMessage(error, L"%s: Unable to write the file '%s'; the previous file is unchanged", who, path);
        ::SetLastError(error);
        return false;
    }

    // Copies a file that could not be parsed aside, so that a later save cannot
    // lose it. An identical earlier copy is reused. Returns the copy's path
    // (empty when the file could not be copied).
    std::wstring PreserveUnreadableFile(const wchar_t* path)
    {
        std::string original;
        if (!ReadWholeFile(path, original))
            return std::wstring();

        const std::wstring folder = FolderOf(path);
        WIN32_FIND_DATAW found = {};
        HANDLE search = ::FindFirstFileW((std::wstring(path) + L".corrupt-*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE)
        {
            std::wstring match;
            do
            {
                const std::wstring candidate = folder + found.cFileName;
                std::string bytes;
                if (match.empty() && ReadWholeFile(candidate, bytes) && bytes == original)
                    match = candidate;
            } while (match.empty() && ::FindNextFileW(search, &found));
            ::FindClose(search);
            if (!match.empty())
                return match;
        }

        SYSTEMTIME now = {};
        ::GetLocalTime(&now);
        const std::wstring base = FormatString(L"%s.corrupt-%04d%02d%02d-%02d%02d%02d", path, now.wYear, now.wMonth,
                                               now.wDay, now.wHour, now.wMinute, now.wSecond);
        for (int attempt = 0; attempt < 100; ++attempt)
        {
            const std::wstring copy = attempt == 0 ? base : FormatString(L"%s-%d", base.c_str(), attempt);
            if (::CopyFileW(path, copy.c_str(), TRUE))
            {
                CLogger::LogMessage(L"CSettings: The settings file '%s' could not be read completely; a copy was kept as '%s'",
                                    path, copy.c_str());
                return copy;
            }
            if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
        CLogger::LogOSMessage(::GetLastError(), L"CSettings: Unable to keep a copy of the unreadable settings file '%s'", path);
        return std::wstring();
    }
}

void CSettings::SetImportQuestion(ImportQuestionFn fn)
{
    g_importQuestion.store(fn);
}

void CSettings::SetFileWriteFunction(SettingsFileWriteFn fn)
{
    g_fileWrite.store(fn);
}

bool CSettings::Load(const wchar_t* path, bool& regionsDefined, bool logDetails)
{
    if (path == nullptr)
        return false;
    try
    {
        int timeout = 0;
        if (ReadHookTimeout(timeout))
            m_nHookTimeout = timeout;

        pugi::xml_document document;
        const pugi::xml_parse_result result = document.load_file(path, kParseFlags);
        if (result.status != pugi::status_ok)
        {
            CLogger::LogMessage(L"There is a problem with your XML Settings file: %S", result.description());
            if (result.status != pugi::status_file_not_found)
            {
                const std::wstring copy = PreserveUnreadableFile(path);
                if (!copy.empty())
                    CApplicationSettings::CopyString(m_pszUnreadableCopy, copy.c_str());
            }
            if (result.status != pugi::status_unrecognized_tag)
                return false;
        }

        pugi::xml_node root = document.child(L"root");
        if (!root || !root.child(L"version"))
        {
            CLogger::LogMessage(L"The selected file is NOT an %s settings file!", kProductAbbreviation);
            return false;
        }

        SetFilename(path);
        DeleteApplications(true);
        m_bCaptionProfiles = false;

        if (m_bQuillonForced)
            m_bQuillon = true;
        else
            Read(root, L"Quillon", L"Enable", m_bQuillon);

        bool layersGiven = false;
        if (pugi::xml_attribute layers = Attribute(root, L"Layers", L"Number"))
        {
            layersGiven = true;
            const int number = layers.as_int(m_nLayers);
            if (number > MaxLayerCount)
                m_nLayers = MaxLayerCount;
            else if (number >= 0)
                m_nLayers = number;
        }

        Read(root, L"Cursor", L"Allow", m_bAllowSetSpeed);
        Read(root, L"Cursor", L"Speed", m_nCursorSpeed);
        if (m_nCursorSpeed == -1)
        {
            int speed = -1;
            if (::SystemParametersInfoW(SPI_GETMOUSESPEED, 0, &speed, 0))
                m_nCursorSpeed = speed;
        }
        for (int i = 0; i < 4; ++i)
            Read(root, L"Cursor", FormatString(L"CS%d", i + 1).c_str(), m_nCursorSpeedCycle[i]);
        Read(root, L"Cursor", L"ChangeLayer", m_bChangeCursorLayer);
        Read(root, L"Cursor", L"ChangeChord", m_nChangeCursorChord);
        Read(root, L"Cursor", L"ChangeHeld", m_nChangeCursorHeld);
        // Cursor feedback kinds select among three behaviours.
        for (int* kind : {&m_nChangeCursorChord, &m_nChangeCursorHeld})
        {
            if (*kind < 0 || *kind > 2)
            {
                CLogger::LogMessage(L"CSettings::Load: Cursor feedback value %d is invalid; using 1", *kind);
                *kind = 1;
            }
        }
        Read(root, L"Cursor", L"LayerOverlayFontSize", m_nLayerOverlayFontSize);
        Read(root, L"Cursor", L"OverlayFontSize", m_nOverlayFontSize);
        Read(root, L"Cursor", L"EPPThreshold1", m_nEPPThreshold1);
        Read(root, L"Cursor", L"EPPThreshold2", m_nEPPThreshold2);
        if (pugi::xml_attribute precision = Attribute(root, L"Cursor", L"EnhancePointerPrecision"))
        {
            const int value = precision.as_int(-1);
            if (value == 0 || value == 1)
                m_bEnhancePointerPrecision = value == 1;
        }
        else
        {
            m_bEnhancePointerPrecision = m_StartupMouseInfo.EnhancePointerPrecision();
        }

        Read(root, L"Logging", L"Disable", m_bDisableLogging);
        Read(root, L"Logging", L"Thread", m_bThreadDebugging);
        Read(root, L"RazorMouse", L"DoubleClickFix", m_bDoubleClickFix);
        Read(root, L"ScrollWheel", L"ScrollWindowUnderCursor", m_bScrollWindowUnderCursor);
        Read(root, L"ScrollLock", L"BypassAll", m_bScrollLockBypassAll);
        Read(root, L"ScrollLock", L"BypassDisabled", m_bScrollLockBypassDisabled);
        Read(root, L"Swap4and5", L"Always", m_bSwap4and5);
        Read(root, L"RemoteDesktop", L"SwapButtons4and5", m_bSwap4and5InRDP);
        Read(root, L"RemoteDesktop", L"Disable", m_bDisableInRDP);
        Read(root, L"RemoteDesktop", L"DisableInvertedScroll", m_bDisableInvertedScrollInRDP);
        Read(root, L"TrayIcon", L"Show", m_bShowTrayIcon);
        Read(root, L"ReinstallHook", L"Disable", m_bDisableReinstallOnResume);
        Read(root, L"BalloonNotification", L"Enable", m_bNotifications);
        Read(root, L"BalloonNotification", L"Layer", m_bNotifyLayer);
        Read(root, L"BalloonNotification", L"Cursor", m_bNotifyCursorSpeed);
        Read(root, L"MovementToScroll", L"ChangeCursor", m_bMovementToScrollCursor);
        Read(root, L"ResetSticky", L"Enabled", m_bResetStickyOnAnyButton);
        Read(root, L"ResetSticky", L"Key", m_bResetStickyOnAnyKey);
        Read(root, L"ResetSticky", L"Layer", m_bResetStickyOnLayerChange);
        Read(root, L"GlobalHotkeys", L"Enable", m_bGlobalHotkeys);
        Read(root, L"LayerModifierKeys", L"Enable", m_bLayerModifierKeys);
        Read(root, L"NonClientMsgs", L"Process", m_bProcessNonClientMsgs);
        Read(root, L"SimulatedKeystrokes", L"IgnoreNumlock", m_bIgnoreNumlock);
        Read(root, L"LeftClickTrayIcon", L"Cycle", m_bLeftClickCycleLayers);
        Read(root, L"ReMapSimulatedInput", L"Enable", m_bRemapSimulatedInput);
        Read(root, L"FixTiltRepeat", L"Enable", m_bFixTiltRepeat);
        Read(root, L"FixTiltRepeat", L"InitialDelay", m_uInitialTiltDelay);
        Read(root, L"FixTiltRepeat", L"RepeatDelay", m_uRepeatTiltDelay);
        Read(root, L"CheckVersion", L"Days", m_uCheckVersionDays);
        Read(root, L"CheckVersion", L"Enable", m_bCheckVersion);
        Read(root, L"CheckVersion", L"Beta", m_bCheckBetaVersion);
        Read(root, L"SwitchOnMouseOver", L"Enable", m_bSwitchOnMouseOver);
        Read(root, L"ActivateOnScroll", L"Enable", m_bActivateOnScroll);
        Read(root, L"ActivateOnMouseOver", L"Enable", m_bActivateOnMouseOver);
        Read(root, L"ActivateOnMouseOver", L"Delay", m_nActivateOnMouseOverDelay);
        if (m_nActivateOnMouseOverDelay < 1)
            m_nActivateOnMouseOverDelay = 1;
        Read(root, L"VisualStudio2010", L"FixScroll", m_bFixVS2010);
        Read(root, L"OnScreenDisplay", L"Enabled", m_bEnableOSD);
        Read(root, L"OnScreenDisplay", L"AlwaysShow", m_bAlwaysShowOSD);
        Read(root, L"OnScreenDisplay", L"RedirectWheel", m_bRedirectWheelToOSD);
        Read(root, L"SortActions", L"Alphabetically", m_bSortActionsAlphabetically);
        Read(root, L"ButtonDebounce", L"Enable", m_bDebounceButtons);
        Read(root, L"ButtonDebounce", L"FromUp", m_bDebounceFromUp);
        Read(root, L"ButtonDebounce", L"Time", m_nDebounceTime);
        Read(root, L"InactivityTimer", L"Disable", m_bMouseJiggler);
        Read(root, L"InactivityTimer", L"Timeout", m_uMouseJigglerTimeout);
        Read(root, L"KeyboardLayout", L"LoadUSEnglish", m_bLoadUSEnglish);
        Read(root, L"Priority", L"Process", m_uPriority);
        if (pugi::xml_attribute delay = Attribute(root, L"SimulatedKeys", L"Delay"))
        {
            // Compared unsigned: a negative value is out of range too.
            m_uSimKeyDelay = static_cast<unsigned int>(delay.as_int(static_cast<int>(m_uSimKeyDelay)));
            if (m_uSimKeyDelay > MaxSimKeyDelay)
                m_uSimKeyDelay = 1;
        }
        SetSearchURL(Attribute(root, L"Search", L"url").as_string());
        SetLanguage(Attribute(root, L"Language", L"filename").as_string());
        Read(root, L"FooBar2000", L"EnableFix", m_bFooBar2000Fix);
        Read(root, L"Persist", L"Layer", m_bPersistLayer);
        Read(root, L"Touch", L"Filter", m_bFilterTouch);

        if (pugi::xml_node hotkeys = root.child(L"GlobalHotkeys"))
        {
            for (int n = 0; n < HK_Count; ++n)
                ReadHotkey(hotkeys.child(FormatString(L"Hotkey%d", n).c_str()),
                           m_pHotKeys->GetHotkey(static_cast<GlobalHotkeys>(n)), true);
        }
        if (pugi::xml_node modifiers = root.child(L"LayerModifierKeys"))
        {
            for (int n = 0; n < MK_Count; ++n)
                ReadHotkey(modifiers.child(FormatString(L"LayerKey%d", n).c_str()),
                           m_pLayerModifierKeys->GetHotkey(static_cast<ModifierKeys>(n)), false);
        }

        const int perKeyTime = static_cast<int>(m_uSimKeyDelay);
        int layerCandidate = DefaultLayers;
        if (pugi::xml_node defaultElement = root.child(L"Default"))
        {
            auto profile = std::make_unique<CApplicationSettings>(this, true, 0);
            int used = 0;
            profile->LoadDefault(defaultElement, perKeyTime, used);
            SetDefaultApp(profile.release());
            layerCandidate = std::max(layerCandidate, used);
        }

        int loaded = 0;
        for (pugi::xml_node element : root.child(L"Applications").children(L"Application"))
        {
            auto owned = std::make_unique<CApplicationSettings>(this, false, loaded + 1);
            int used = 0;
            if (!owned->Load(element, perKeyTime, regionsDefined, used))
                continue;
            CApplicationSettings* profile = owned.get();
            m_pApplications->push_back(owned.release());
            ++loaded;
            layerCandidate = std::max(layerCandidate, used);
            if (profile->IsCustomWindow())
            {
                m_CustomApplications.push_back(profile);
                if (profile->GetCaption() != nullptr)
                    m_bCaptionProfiles = true;
            }
            else
            {
                m_NormalApplications.push_back(profile);
            }
        }

        if (!layersGiven)
            m_nLayers = std::min(layerCandidate, static_cast<int>(MaxLayerCount));

        const int total = GetApplicationCount();
        const int normal = static_cast<int>(m_NormalApplications.size());
        const int custom = static_cast<int>(m_CustomApplications.size());
        if (logDetails && CLogger::DebugEnabled())
        {
            CLogger::LogDebug(L"Loaded the following settings:");
            CLogger::LogDebug(L"  Quillon: %d, RazorMoouse: %d, ScrollUnder: %d, ScrollLockBypass: %d, ScrollLockBypassDisabled: %d, Swap4and5: %d",
                              m_bQuillon, m_bDoubleClickFix, m_bScrollWindowUnderCursor, m_bScrollLockBypassAll,
                              m_bScrollLockBypassDisabled, m_bSwap4and5);
            CLogger::LogDebug(L"  Swap4and5inRDP: %d, DisableInRDP: %d, DisableInvertedScrollInRDP: %d, ShowTrayIcon: %d, DisableReinstallOnResume: %d, Notifications: %d (Layer %d), MovementToScrollCursor: %d",
                              m_bSwap4and5InRDP, m_bDisableInRDP, m_bDisableInvertedScrollInRDP, m_bShowTrayIcon,
                              m_bDisableReinstallOnResume, m_bNotifications, m_bNotifyLayer, m_bMovementToScrollCursor);
            CLogger::LogDebug(L"  ResetStickyOnAnyButton: %d, ResetStickyOnAnyKey: %d, ResetStickyOnLayerChange: %d, GlobalHotkeys: %d, LayerModifierKeys: %d, ProcessNonClientMsgs: %d",
                              m_bResetStickyOnAnyButton, m_bResetStickyOnAnyKey, m_bResetStickyOnLayerChange,
                              m_bGlobalHotkeys, m_bLayerModifierKeys, m_bProcessNonClientMsgs);
            CLogger::LogDebug(L"  IgnoreNumlock: %d, LeftClickCycleLayers: %d, RemapSimInput: %d, FixTiltRepeat: %d, InitialTiltDelay: %d, RepeatTiltDelay: %d",
                              m_bIgnoreNumlock, m_bLeftClickCycleLayers, m_bRemapSimulatedInput, m_bFixTiltRepeat,
                              m_uInitialTiltDelay, m_uRepeatTiltDelay);
            CLogger::LogDebug(L"  CheckVersion: %d, CheckVersionDays: %d, CheckBetaVersion: %d, MouseOver: %d, ActivateScroll: %d",
                              m_bCheckVersion, m_uCheckVersionDays, m_bCheckBetaVersion, m_bSwitchOnMouseOver,
                              m_bActivateOnScroll);
            CLogger::LogDebug(L"  ActivateOver: %d (%dms), FixVS2010: %d, CPUPriority: %d, SimKeyDelay: %d, No. Layers: %d",
                              m_bActivateOnMouseOver, m_nActivateOnMouseOverDelay, m_bFixVS2010, m_uPriority,
                              m_uSimKeyDelay, m_nLayers);
            CLogger::LogDebug(L"  EnableOSD: %d, AlwaysShowOSD: %d, RedirectWheelToOSD: %d, LoadUSEnglish: %d, DebounceButtons: %d, DebounceFromUp: %d, DebounceTime: %d",
                              m_bEnableOSD, m_bAlwaysShowOSD, m_bRedirectWheelToOSD, m_bLoadUSEnglish, m_bDebounceButtons,
                              m_bDebounceFromUp, m_nDebounceTime);
            CLogger::LogDebug(L"  MouseJiggler: %d, MouseJigglerTimeout: %d, SortActionsAplhabetically: %d, PersistLayer: %d, FilterTouch: %d, AllowSetSpeed: %d",
                              m_bMouseJiggler, m_uMouseJigglerTimeout, m_bSortActionsAlphabetically, m_bPersistLayer,
                              m_bFilterTouch, m_bAllowSetSpeed);
            CLogger::LogDebug(L"  Cursor speed: %d, CursorSpeedCycle: %d %d %d %d, ShowCursorSpeedNotifications: %d",
                              m_nCursorSpeed, m_nCursorSpeedCycle[0], m_nCursorSpeedCycle[1], m_nCursorSpeedCycle[2],
                              m_nCursorSpeedCycle[3], m_bNotifyCursorSpeed);
            CLogger::LogDebug(L"  SearchURL: '%s'", m_pszSearchURL != nullptr ? m_pszSearchURL : L"");
            CLogger::LogDebug(L"  LanguageFile: '%s'", m_pszLanguage != nullptr ? m_pszLanguage : L"");
            CLogger::LogDebug(L"  There are %d application specific profiles (%d normal and %d custom window).", total,
                              normal, custom);
        }
        else
        {
            CLogger::LogMessage(L"Loaded %d application specific profiles (%d normal and %d custom window).", total, normal,
                                custom);
        }
        return true;
    }
    catch (...)
    {
        LogCaughtException(L"CSettings::Load('%s')", path);
        return false;
    }
}

bool CSettings::Save(const wchar_t* path)
{
    if (path == nullptr)
        return false;
    try
    {
        UpdateHookTimeout(m_nHookTimeout);

        pugi::xml_document document;
        const pugi::xml_parse_result result = document.load_file(path, kParseFlags);
        if (result.status == pugi::status_file_not_found)
        {
            CLogger::LogMessage(L"There is no existing settings file. Attempting to creating a new one.");
        }
        else if (result.status != pugi::status_ok)
        {
            CLogger::LogMessage(L"There is a problem with your existing XML Settings file '%s': %S", path,
                                result.description());
            // What the parser could not read is about to be overwritten: keep the file.
            const std::wstring copy = PreserveUnreadableFile(path);
            if (copy.empty())
            {
                CLogger::LogMessage(L"CSettings::Save: The unreadable settings file '%s' is left as it is", path);
                ::SetLastError(ERROR_FILE_CORRUPT);
                return false;
            }
            CApplicationSettings::CopyString(m_pszUnreadableCopy, copy.c_str());
        }

        pugi::xml_node root = document.child(L"root");
        if (!root)
            root = document.append_child(L"root");

        Write(root, L"version", L"major", VersionMajor);
        Write(root, L"version", L"minor", VersionMinor);
        Write(root, L"version", L"revision", VersionRevision);
        Write(root, L"version", L"build", 0);
        Write(root, L"Quillon", L"Enable", m_bQuillon);
        Write(root, L"Layers", L"Number", m_nLayers);
        Write(root, L"Cursor", L"Allow", m_bAllowSetSpeed);
        Write(root, L"Cursor", L"Speed", m_nCursorSpeed);
        for (int i = 0; i < 4; ++i)
            Write(root, L"Cursor", FormatString(L"CS%d", i + 1).c_str(), m_nCursorSpeedCycle[i]);
        Write(root, L"Cursor", L"ChangeLayer", m_bChangeCursorLayer);
        Write(root, L"Cursor", L"ChangeChord", m_nChangeCursorChord);
        Write(root, L"Cursor", L"ChangeHeld", m_nChangeCursorHeld);
        Write(root, L"Cursor", L"LayerOverlayFontSize", m_nLayerOverlayFontSize);
        Write(root, L"Cursor", L"OverlayFontSize", m_nOverlayFontSize);
        Write(root, L"Cursor", L"EPPThreshold1", m_nEPPThreshold1);
        Write(root, L"Cursor", L"EPPThreshold2", m_nEPPThreshold2);
        Write(root, L"Cursor", L"EnhancePointerPrecision", m_bEnhancePointerPrecision ? 1 : 0);
        Write(root, L"Logging", L"Disable", m_bDisableLogging);
        Write(root, L"Logging", L"Thread", m_bThreadDebugging);
        Write(root, L"RazorMouse", L"DoubleClickFix", m_bDoubleClickFix);
        Write(root, L"ScrollWheel", L"ScrollWindowUnderCursor", m_bScrollWindowUnderCursor);
        Write(root, L"ScrollLock", L"BypassAll", m_bScrollLockBypassAll);
        Write(root, L"ScrollLock", L"BypassDisabled", m_bScrollLockBypassDisabled);
        Write(root, L"Swap4and5", L"Always", m_bSwap4and5);
        Write(root, L"RemoteDesktop", L"SwapButtons4and5", m_bSwap4and5InRDP);
        Write(root, L"RemoteDesktop", L"Disable", m_bDisableInRDP);
        Write(root, L"RemoteDesktop", L"DisableInvertedScroll", m_bDisableInvertedScrollInRDP);
        Write(root, L"TrayIcon", L"Show", m_bShowTrayIcon);
        Write(root, L"ReinstallHook", L"Disable", m_bDisableReinstallOnResume);
        Write(root, L"BalloonNotification", L"Enable", m_bNotifications);
        Write(root, L"BalloonNotification", L"Layer", m_bNotifyLayer);
        Write(root, L"BalloonNotification", L"Cursor", m_bNotifyCursorSpeed);
        Write(root, L"MovementToScroll", L"ChangeCursor", m_bMovementToScrollCursor);
        Write(root, L"ResetSticky", L"Enabled", m_bResetStickyOnAnyButton);
        Write(root, L"ResetSticky", L"Key", m_bResetStickyOnAnyKey);
        Write(root, L"ResetSticky", L"Layer", m_bResetStickyOnLayerChange);
        Write(root, L"GlobalHotkeys", L"Enable", m_bGlobalHotkeys);
        Write(root, L"LayerModifierKeys", L"Enable", m_bLayerModifierKeys);
        Write(root, L"NonClientMsgs", L"Process", m_bProcessNonClientMsgs);
        Write(root, L"SimulatedKeystrokes", L"IgnoreNumlock", m_bIgnoreNumlock);
        Write(root, L"LeftClickTrayIcon", L"Cycle", m_bLeftClickCycleLayers);
        Write(root, L"ReMapSimulatedInput", L"Enable", m_bRemapSimulatedInput);
        Write(root, L"FixTiltRepeat", L"Enable", m_bFixTiltRepeat);
        Write(root, L"FixTiltRepeat", L"InitialDelay", m_uInitialTiltDelay);
        Write(root, L"FixTiltRepeat", L"RepeatDelay", m_uRepeatTiltDelay);
        Write(root, L"CheckVersion", L"Days", m_uCheckVersionDays);
        Write(root, L"CheckVersion", L"Enable", m_bCheckVersion);
        Write(root, L"CheckVersion", L"Beta", m_bCheckBetaVersion);
        Write(root, L"SwitchOnMouseOver", L"Enable", m_bSwitchOnMouseOver);
        Write(root, L"ActivateOnScroll", L"Enable", m_bActivateOnScroll);
        Write(root, L"ActivateOnMouseOver", L"Enable", m_bActivateOnMouseOver);
        Write(root, L"ActivateOnMouseOver", L"Delay", m_nActivateOnMouseOverDelay);
        Write(root, L"VisualStudio2010", L"FixScroll", m_bFixVS2010);
        Write(root, L"OnScreenDisplay", L"Enabled", m_bEnableOSD);
        Write(root, L"OnScreenDisplay", L"AlwaysShow", m_bAlwaysShowOSD);
        Write(root, L"OnScreenDisplay", L"RedirectWheel", m_bRedirectWheelToOSD);
        Write(root, L"SortActions", L"Alphabetically", m_bSortActionsAlphabetically);
        Write(root, L"ButtonDebounce", L"Enable", m_bDebounceButtons);
        Write(root, L"ButtonDebounce", L"FromUp", m_bDebounceFromUp);
        Write(root, L"ButtonDebounce", L"Time", m_nDebounceTime);
        Write(root, L"InactivityTimer", L"Disable", m_bMouseJiggler);
        Write(root, L"InactivityTimer", L"Timeout", m_uMouseJigglerTimeout);
        Write(root, L"KeyboardLayout", L"LoadUSEnglish", m_bLoadUSEnglish);
        Write(root, L"Priority", L"Process", m_uPriority);
        Write(root, L"SimulatedKeys", L"Delay", m_uSimKeyDelay);
        WriteText(root, L"Search", L"url", m_pszSearchURL);
        WriteText(root, L"Language", L"filename", m_pszLanguage);
        Write(root, L"FooBar2000", L"EnableFix", m_bFooBar2000Fix);
        Write(root, L"Persist", L"Layer", m_bPersistLayer);
        Write(root, L"Touch", L"Filter", m_bFilterTouch);

        if (m_pDefaultApp != nullptr)
            m_pDefaultApp->SaveDefault(FindOrAppendChild(root, L"Default"));

        while (root.remove_child(L"Applications"))
        {
        }
        if (m_pApplications != nullptr)
        {
            pugi::xml_node applications = root.append_child(L"Applications");
            for (CApplicationSettings* profile : *m_pApplications)
                profile->Save(applications);
        }

        pugi::xml_node hotkeys = FindOrAppendChild(root, L"GlobalHotkeys");
        for (int n = 0; n < HK_Count; ++n)
        {
            if (CHotkey* key = m_pHotKeys != nullptr ? m_pHotKeys->GetHotkey(static_cast<GlobalHotkeys>(n)) : nullptr)
            {
                const std::wstring name = FormatString(L"Hotkey%d", n);
                SetXmlAttribute(hotkeys, name.c_str(), L"Key", static_cast<int>(key->GetVirtualKey()));
                SetXmlAttribute(hotkeys, name.c_str(), L"Modifier",
                                static_cast<int>(CHotkey::GlobalModifierToFile(key->GetModifier())));
            }
        }
        pugi::xml_node modifiers = FindOrAppendChild(root, L"LayerModifierKeys");
        for (int n = 0; n < MK_Count; ++n)
        {
            if (CHotkey* key = m_pLayerModifierKeys != nullptr ? m_pLayerModifierKeys->GetHotkey(static_cast<ModifierKeys>(n))
                                                               : nullptr)
            {
                const std::wstring name = FormatString(L"LayerKey%d", n);
                SetXmlAttribute(modifiers, name.c_str(), L"Key", static_cast<int>(key->GetVirtualKey()));
                SetXmlAttribute(modifiers, name.c_str(), L"Modifier", static_cast<int>(key->GetModifier()));
            }
        }

        while (root.remove_child(L"FixScrollWindows"))
        {
        }
        while (root.remove_child(L"ScrollWindows"))
        {
        }

        return SaveDocument(document, path, kSaveFormat, L"CSettings::Save");
    }
    catch (...)
    {
        LogCaughtException(L"CSettings::Save('%s')", path);
        ::SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
}

bool CSettings::Export(CApplicationSettings* profile, const wchar_t* path)
{
    if (path == nullptr)
        return false;
    try
    {
        pugi::xml_document document;
        pugi::xml_node root = document.append_child(L"root");
        pugi::xml_node version = root.append_child(L"version");
        version.append_attribute(L"build").set_value(0);
        version.append_attribute(L"revision").set_value(VersionRevision);
        version.append_attribute(L"minor").set_value(VersionMinor);
        version.append_attribute(L"major").set_value(VersionMajor);
        pugi::xml_node applications = root.append_child(L"Applications");
        if (profile != nullptr)
            profile->Save(applications);
        else if (m_pApplications != nullptr)
            for (CApplicationSettings* each : *m_pApplications)
                each->Save(applications);
        return SaveDocument(document, path, kExportFormat, L"CSettings::Export");
    }
    catch (...)
    {
        LogCaughtException(L"Export: Error parsing XML file '%s'.", path);
        throw;
    }
}

int CSettings::Import(const wchar_t* path, HWND owner, const wchar_t* prompt, CApplicationSettings*& lastImported)
{
    lastImported = nullptr;
    if (path == nullptr)
        return 0;

    pugi::xml_document document;
    const pugi::xml_parse_result result = document.load_file(path, pugi::parse_default);
    if (result.status != pugi::status_ok)
    {
        CLogger::LogMessage(L"CSettings::Import: There is a problem with the import XML file: %S", result.description());
        return 0;
    }
    pugi::xml_node applications = document.child(L"root").child(L"Applications");
    if (!applications)
    {
        CLogger::LogMessage(L"Attempted to import invalid BRMP settings import file.");
        return 0;
    }
    if (!applications.child(L"Application"))
    {
        CLogger::LogMessage(L"No application profiles were imported from BRMP settings import file.");
        return 0;
    }

    int count = 0;
    int index = m_pApplications != nullptr ? static_cast<int>(m_pApplications->size()) : 1;
    const int perKeyTime = static_cast<int>(m_uSimKeyDelay);
    for (pugi::xml_node element : applications.children(L"Application"))
    {
        auto* profile = new CApplicationSettings(this, false, index);
        bool regions = false;
        int used = 0;
        bool loaded = false;
        try
        {
            loaded = profile->Load(element, perKeyTime, regions, used);
        }
        catch (...)
        {
            LogCaughtException(L"CSettings::Import('%s')", path);
        }
        if (!loaded)
        {
            delete profile;
            continue;
        }
        if (used > m_nLayers)
            CLogger::LogMessage(L"Warning: There are more than %d layers defined in the imported profile. Consider increasing the number of layers or editing the profile.",
                                m_nLayers);
        if (m_pApplications == nullptr)
            m_pApplications = new std::vector<CApplicationSettings*>();

        CApplicationSettings* existing = GetApplication(profile->GetFullName());
        if (existing == nullptr)
        {
            AddApplication(profile);
            lastImported = profile;
            ++count;
            ++index;
            continue;
        }

        wchar_t shortName[kShortNameSize] = {};
        existing->GetShortName(shortName, kShortNameSize);
        wchar_t text[kImportTextSize] = {};
        FormatArray(text, L"%s:\n'%s'", prompt != nullptr ? prompt : L"", shortName);
        const int answer = AskImportQuestion(owner, text, kImportCaption);
        if (answer == IDYES)
        {
            // The new profile takes the old one's place everywhere it is listed.
            std::replace(m_pApplications->begin(), m_pApplications->end(), existing, profile);
            std::replace(m_NormalApplications.begin(), m_NormalApplications.end(), existing, profile);
            std::replace(m_CustomApplications.begin(), m_CustomApplications.end(), existing, profile);
            delete existing;
            lastImported = profile;
            ++count;
        }
        else if (answer == IDNO)
        {
            delete profile;
        }
        else
        {
            delete profile;
            return count;
        }
    }

    if (count == 0)
        CLogger::LogMessage(L"No application profiles were imported from BRMP settings import file.");
    else
        CLogger::LogMessage(L"%d application profile were imported from BRMP settings import file.", count);
    return count;
}
