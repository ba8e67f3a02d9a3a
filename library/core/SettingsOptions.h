#pragma once
// The global options of CSettings, each described once: the element and
// attribute that keep it in the settings file, the member that holds it, its
// type, the values a file may give it and its default. The constructor, Load,
// Save, the copy and the load log all walk this table.

#include <climits>
#include <span>
#include <variant>

#include "ApplicationSettings.h"
#include "Settings.h"

// What a value from a file outside an option's range becomes.
enum class OutOfRange : unsigned char
{
    Clamp,   // the nearest bound
    Keep,    // the field keeps its value
    Replace, // the row's replacement
};

// One of the four cursor speeds that the cursor-speed cycle steps through.
struct CursorSpeedCycleItem
{
    int index;
};

struct SettingsOption
{
    using Member = std::variant<bool CSettings::*, int CSettings::*, unsigned int CSettings::*, CursorSpeedCycleItem,
                                wchar_t* CSettings::*>;

    const wchar_t* element = nullptr;   // null: kept in memory only, never in the file
    const wchar_t* attribute = nullptr;
    Member member;
    long long defaultNumber = 0;        // flags and numbers
    const wchar_t* defaultText = nullptr;
    long long low = 0;                  // numbers: the values a file may give
    long long high = 0;
    OutOfRange below = OutOfRange::Clamp;
    OutOfRange above = OutOfRange::Clamp;
    long long replacement = 0;
    bool flagAsNumber = false;          // a flag kept in the file as 0 or 1, not as a word
    bool emptyKeeps = false;            // texts: an empty or missing value keeps the field
    // Where the load log shows the value: its line (1 and up; 0 for none), its
    // place in the line, and the text around the value (one %d or %s).
    int logLine = 0;
    int logPlace = 0;
    const wchar_t* logText = nullptr;

    // --- the table ---
    static std::span<const SettingsOption> All();

    // --- the member of one settings object ---
    bool IsText() const { return std::holds_alternative<wchar_t* CSettings::*>(member); }
    bool IsFlag() const { return std::holds_alternative<bool CSettings::*>(member); }
    bool IsUnsigned() const { return std::holds_alternative<unsigned int CSettings::*>(member); }
    bool IsStored() const { return element != nullptr; }

    long long Number(const CSettings& settings) const
    {
        if (const auto* flag = std::get_if<bool CSettings::*>(&member))
            return settings.**flag ? 1 : 0;
        if (const auto* number = std::get_if<int CSettings::*>(&member))
            return settings.**number;
        if (const auto* number = std::get_if<unsigned int CSettings::*>(&member))
            return settings.**number;
        if (const auto* item = std::get_if<CursorSpeedCycleItem>(&member))
            return settings.m_nCursorSpeedCycle[item->index];
        return 0;
    }

    void SetNumber(CSettings& settings, long long value) const
    {
        if (const auto* flag = std::get_if<bool CSettings::*>(&member))
            settings.**flag = value != 0;
        else if (const auto* number = std::get_if<int CSettings::*>(&member))
            settings.**number = static_cast<int>(value);
        else if (const auto* number = std::get_if<unsigned int CSettings::*>(&member))
            settings.**number = static_cast<unsigned int>(value);
        else if (const auto* item = std::get_if<CursorSpeedCycleItem>(&member))
            settings.m_nCursorSpeedCycle[item->index] = static_cast<int>(value);
    }

    const wchar_t* Text(const CSettings& settings) const
    {
        const auto* text = std::get_if<wchar_t* CSettings::*>(&member);
        return text != nullptr ? settings.**text : nullptr;
    }

    void SetText(CSettings& settings, const wchar_t* value) const
    {
        if (const auto* text = std::get_if<wchar_t* CSettings::*>(&member))
            CApplicationSettings::CopyString(settings.**text, value);
    }

    // Copies this option from source to target.
    void Copy(CSettings& target, const CSettings& source) const
    {
        if (IsText())
            SetText(target, Text(source));
        else
            SetNumber(target, Number(source));
    }

    // --- building rows ---
    static constexpr SettingsOption Flag(const wchar_t* element, const wchar_t* attribute, bool CSettings::*field,
                                         bool value)
    {
        SettingsOption row;
        row.element = element;
        row.attribute = attribute;
        row.member = field;
        row.defaultNumber = value ? 1 : 0;
        row.low = 0;
        row.high = 1;
        return row;
    }

    static constexpr SettingsOption Int(const wchar_t* element, const wchar_t* attribute, int CSettings::*field,
                                        int value)
    {
        SettingsOption row;
        row.element = element;
        row.attribute = attribute;
        row.member = field;
        row.defaultNumber = value;
        row.low = INT_MIN;
        row.high = INT_MAX;
        return row;
    }

    static constexpr SettingsOption UInt(const wchar_t* element, const wchar_t* attribute,
                                         unsigned int CSettings::*field, unsigned int value)
    {
        SettingsOption row;
        row.element = element;
        row.attribute = attribute;
        row.member = field;
        row.defaultNumber = value;
        row.low = 0;
        row.high = UINT_MAX;
        return row;
    }

    static constexpr SettingsOption CursorSpeed(const wchar_t* attribute, int index, int value)
    {
        SettingsOption row;
        row.element = L"Cursor";
        row.attribute = attribute;
        row.member = CursorSpeedCycleItem{index};
        row.defaultNumber = value;
        row.low = INT_MIN;
        row.high = INT_MAX;
        return row;
    }

    static constexpr SettingsOption String(const wchar_t* element, const wchar_t* attribute,
                                           wchar_t* CSettings::*field, const wchar_t* value)
    {
        SettingsOption row;
        row.element = element;
        row.attribute = attribute;
        row.member = field;
        row.defaultText = value;
        return row;
    }

    // A file value outside low..high: below and above say what it becomes.
    constexpr SettingsOption Range(long long lowest, long long highest, OutOfRange whenBelow, OutOfRange whenAbove,
                                   long long replacedBy = 0) const
    {
        SettingsOption row = *this;
        row.low = lowest;
        row.high = highest;
        row.below = whenBelow;
        row.above = whenAbove;
        row.replacement = replacedBy;
        return row;
    }

    constexpr SettingsOption AsNumber() const
    {
        SettingsOption row = *this;
        row.flagAsNumber = true;
        return row;
    }

    constexpr SettingsOption EmptyKeeps() const
    {
        SettingsOption row = *this;
        row.emptyKeeps = true;
        return row;
    }

    constexpr SettingsOption Log(int line, int place, const wchar_t* text) const
    {
        SettingsOption row = *this;
        row.logLine = line;
        row.logPlace = place;
        row.logText = text;
        return row;
    }
};

// Results page of a public search engine; the searched text is appended.
inline constexpr const wchar_t* kDefaultSearchURL = L"https://www.google.com/search?q=";

// Rows in the order Save writes them (so a new file lists its elements and
// attributes in this order); the options kept in memory only come first.
inline std::span<const SettingsOption> SettingsOption::All()
{
    using S = SettingsOption;
    using R = OutOfRange;
    static const SettingsOption rows[] = {
        // Kept in memory only.
        S::Int(nullptr, L"version major", &CSettings::m_nVersionMajor, CSettings::VersionMajor),
        S::Int(nullptr, L"version minor", &CSettings::m_nVersionMinor, CSettings::VersionMinor),
        S::Int(nullptr, L"version revision", &CSettings::m_nVersionRevision, CSettings::VersionRevision),
        S::Flag(nullptr, L"Quillon forced", &CSettings::m_bQuillonForced, false),
        S::Flag(nullptr, L"debugging at construction", &CSettings::m_bDebugging, false),
        S::Flag(nullptr, L"caption profiles", &CSettings::m_bCaptionProfiles, false),
        S::Int(nullptr, L"wheel scroll lines", &CSettings::m_nWheelScrollLines, 3),
        S::Int(nullptr, L"hook timeout", &CSettings::m_nHookTimeout, 200),
        S::String(nullptr, L"settings file", &CSettings::m_pszSettingsFile, nullptr),
        S::String(nullptr, L"unreadable copy", &CSettings::m_pszUnreadableCopy, nullptr),

        // In the file.
        S::Flag(L"Quillon", L"Enable", &CSettings::m_bQuillon, false).Log(1, 1, L"  Quillon: %d"),
        S::Int(L"Layers", L"Number", &CSettings::m_nLayers, CSettings::DefaultLayers)
            .Range(0, CSettings::MaxLayerCount, R::Keep, R::Clamp)
            .Log(6, 6, L", No. Layers: %d"),
        S::Flag(L"Cursor", L"Allow", &CSettings::m_bAllowSetSpeed, true).Log(8, 6, L", AllowSetSpeed: %d"),
        S::Int(L"Cursor", L"Speed", &CSettings::m_nCursorSpeed, -1).Log(9, 1, L"  Cursor speed: %d"),
        S::CursorSpeed(L"CS1", 0, 10).Log(9, 2, L", CursorSpeedCycle: %d"),
        S::CursorSpeed(L"CS2", 1, 7).Log(9, 3, L" %d"),
        S::CursorSpeed(L"CS3", 2, 10).Log(9, 4, L" %d"),
        S::CursorSpeed(L"CS4", 3, 2).Log(9, 5, L" %d"),
        S::Flag(L"Cursor", L"ChangeLayer", &CSettings::m_bChangeCursorLayer, true),
        // Cursor feedback kinds select among three behaviours.
        S::Int(L"Cursor", L"ChangeChord", &CSettings::m_nChangeCursorChord, 1).Range(0, 2, R::Replace, R::Replace, 1),
        S::Int(L"Cursor", L"ChangeHeld", &CSettings::m_nChangeCursorHeld, 1).Range(0, 2, R::Replace, R::Replace, 1),
        S::Int(L"Cursor", L"LayerOverlayFontSize", &CSettings::m_nLayerOverlayFontSize, 10),
        S::Int(L"Cursor", L"OverlayFontSize", &CSettings::m_nOverlayFontSize, 14),
        S::Int(L"Cursor", L"EPPThreshold1", &CSettings::m_nEPPThreshold1, 6),
        S::Int(L"Cursor", L"EPPThreshold2", &CSettings::m_nEPPThreshold2, 10),
        S::Flag(L"Cursor", L"EnhancePointerPrecision", &CSettings::m_bEnhancePointerPrecision, false)
            .AsNumber()
            .Range(0, 1, R::Keep, R::Keep),
        S::Flag(L"Logging", L"Disable", &CSettings::m_bDisableLogging, false),
        S::Flag(L"Logging", L"Thread", &CSettings::m_bThreadDebugging, false),
        S::Flag(L"RazorMouse", L"DoubleClickFix", &CSettings::m_bDoubleClickFix, false)
            .Log(1, 2, L", RazorMoouse: %d"),
        S::Flag(L"ScrollWheel", L"ScrollWindowUnderCursor", &CSettings::m_bScrollWindowUnderCursor, false)
            .Log(1, 3, L", ScrollUnder: %d"),
        S::Flag(L"ScrollLock", L"BypassAll", &CSettings::m_bScrollLockBypassAll, true)
            .Log(1, 4, L", ScrollLockBypass: %d"),
        S::Flag(L"ScrollLock", L"BypassDisabled", &CSettings::m_bScrollLockBypassDisabled, false)
            .Log(1, 5, L", ScrollLockBypassDisabled: %d"),
        S::Flag(L"Swap4and5", L"Always", &CSettings::m_bSwap4and5, false).Log(1, 6, L", Swap4and5: %d"),
        S::Flag(L"RemoteDesktop", L"SwapButtons4and5", &CSettings::m_bSwap4and5InRDP, false)
            .Log(2, 1, L"  Swap4and5inRDP: %d"),
        S::Flag(L"RemoteDesktop", L"Disable", &CSettings::m_bDisableInRDP, false).Log(2, 2, L", DisableInRDP: %d"),
        S::Flag(L"RemoteDesktop", L"DisableInvertedScroll", &CSettings::m_bDisableInvertedScrollInRDP, false)
            .Log(2, 3, L", DisableInvertedScrollInRDP: %d"),
        S::Flag(L"TrayIcon", L"Show", &CSettings::m_bShowTrayIcon, true).Log(2, 4, L", ShowTrayIcon: %d"),
        S::Flag(L"ReinstallHook", L"Disable", &CSettings::m_bDisableReinstallOnResume, false)
            .Log(2, 5, L", DisableReinstallOnResume: %d"),
        S::Flag(L"BalloonNotification", L"Enable", &CSettings::m_bNotifications, true)
            .Log(2, 6, L", Notifications: %d"),
        S::Flag(L"BalloonNotification", L"Layer", &CSettings::m_bNotifyLayer, true).Log(2, 7, L" (Layer %d)"),
        S::Flag(L"BalloonNotification", L"Cursor", &CSettings::m_bNotifyCursorSpeed, false)
            .Log(9, 6, L", ShowCursorSpeedNotifications: %d"),
        S::Flag(L"MovementToScroll", L"ChangeCursor", &CSettings::m_bMovementToScrollCursor, true)
            .Log(2, 8, L", MovementToScrollCursor: %d"),
        S::Flag(L"ResetSticky", L"Enabled", &CSettings::m_bResetStickyOnAnyButton, false)
            .Log(3, 1, L"  ResetStickyOnAnyButton: %d"),
        S::Flag(L"ResetSticky", L"Key", &CSettings::m_bResetStickyOnAnyKey, false)
            .Log(3, 2, L", ResetStickyOnAnyKey: %d"),
        S::Flag(L"ResetSticky", L"Layer", &CSettings::m_bResetStickyOnLayerChange, true)
            .Log(3, 3, L", ResetStickyOnLayerChange: %d"),
        S::Flag(L"GlobalHotkeys", L"Enable", &CSettings::m_bGlobalHotkeys, false).Log(3, 4, L", GlobalHotkeys: %d"),
        S::Flag(L"LayerModifierKeys", L"Enable", &CSettings::m_bLayerModifierKeys, false)
            .Log(3, 5, L", LayerModifierKeys: %d"),
        S::Flag(L"NonClientMsgs", L"Process", &CSettings::m_bProcessNonClientMsgs, true)
            .Log(3, 6, L", ProcessNonClientMsgs: %d"),
        S::Flag(L"SimulatedKeystrokes", L"IgnoreNumlock", &CSettings::m_bIgnoreNumlock, true)
            .Log(4, 1, L"  IgnoreNumlock: %d"),
        S::Flag(L"LeftClickTrayIcon", L"Cycle", &CSettings::m_bLeftClickCycleLayers, false)
            .Log(4, 2, L", LeftClickCycleLayers: %d"),
        S::Flag(L"ReMapSimulatedInput", L"Enable", &CSettings::m_bRemapSimulatedInput, true)
            .Log(4, 3, L", RemapSimInput: %d"),
        S::Flag(L"FixTiltRepeat", L"Enable", &CSettings::m_bFixTiltRepeat, false).Log(4, 4, L", FixTiltRepeat: %d"),
        S::UInt(L"FixTiltRepeat", L"InitialDelay", &CSettings::m_uInitialTiltDelay, 200)
            .Log(4, 5, L", InitialTiltDelay: %d"),
        S::UInt(L"FixTiltRepeat", L"RepeatDelay", &CSettings::m_uRepeatTiltDelay, 100)
            .Log(4, 6, L", RepeatTiltDelay: %d"),
        S::UInt(L"CheckVersion", L"Days", &CSettings::m_uCheckVersionDays, 5).Log(5, 2, L", CheckVersionDays: %d"),
        S::Flag(L"CheckVersion", L"Enable", &CSettings::m_bCheckVersion, true).Log(5, 1, L"  CheckVersion: %d"),
        S::Flag(L"CheckVersion", L"Beta", &CSettings::m_bCheckBetaVersion, false)
            .Log(5, 3, L", CheckBetaVersion: %d"),
        S::Flag(L"SwitchOnMouseOver", L"Enable", &CSettings::m_bSwitchOnMouseOver, true)
            .Log(5, 4, L", MouseOver: %d"),
        S::Flag(L"ActivateOnScroll", L"Enable", &CSettings::m_bActivateOnScroll, false)
            .Log(5, 5, L", ActivateScroll: %d"),
        S::Flag(L"ActivateOnMouseOver", L"Enable", &CSettings::m_bActivateOnMouseOver, false)
            .Log(6, 1, L"  ActivateOver: %d"),
        S::Int(L"ActivateOnMouseOver", L"Delay", &CSettings::m_nActivateOnMouseOverDelay, 100)
            .Range(1, INT_MAX, R::Clamp, R::Clamp)
            .Log(6, 2, L" (%dms)"),
        S::Flag(L"VisualStudio2010", L"FixScroll", &CSettings::m_bFixVS2010, false).Log(6, 3, L", FixVS2010: %d"),
        S::Flag(L"OnScreenDisplay", L"Enabled", &CSettings::m_bEnableOSD, true).Log(7, 1, L"  EnableOSD: %d"),
        S::Flag(L"OnScreenDisplay", L"AlwaysShow", &CSettings::m_bAlwaysShowOSD, false)
            .Log(7, 2, L", AlwaysShowOSD: %d"),
        S::Flag(L"OnScreenDisplay", L"RedirectWheel", &CSettings::m_bRedirectWheelToOSD, false)
            .Log(7, 3, L", RedirectWheelToOSD: %d"),
        S::Flag(L"SortActions", L"Alphabetically", &CSettings::m_bSortActionsAlphabetically, false)
            .Log(8, 3, L", SortActionsAplhabetically: %d"),
        S::Flag(L"ButtonDebounce", L"Enable", &CSettings::m_bDebounceButtons, false)
            .Log(7, 5, L", DebounceButtons: %d"),
        S::Flag(L"ButtonDebounce", L"FromUp", &CSettings::m_bDebounceFromUp, false)
            .Log(7, 6, L", DebounceFromUp: %d"),
        S::Int(L"ButtonDebounce", L"Time", &CSettings::m_nDebounceTime, 50).Log(7, 7, L", DebounceTime: %d"),
        S::Flag(L"InactivityTimer", L"Disable", &CSettings::m_bMouseJiggler, false).Log(8, 1, L"  MouseJiggler: %d"),
        S::UInt(L"InactivityTimer", L"Timeout", &CSettings::m_uMouseJigglerTimeout, 30)
            .Log(8, 2, L", MouseJigglerTimeout: %d"),
        S::Flag(L"KeyboardLayout", L"LoadUSEnglish", &CSettings::m_bLoadUSEnglish, false)
            .Log(7, 4, L", LoadUSEnglish: %d"),
        S::UInt(L"Priority", L"Process", &CSettings::m_uPriority, HIGH_PRIORITY_CLASS).Log(6, 4, L", CPUPriority: %d"),
        // Compared unsigned: a negative delay is out of range too.
        S::UInt(L"SimulatedKeys", L"Delay", &CSettings::m_uSimKeyDelay, 1)
            .Range(0, CSettings::MaxSimKeyDelay, R::Replace, R::Replace, 1)
            .Log(6, 5, L", SimKeyDelay: %d"),
        S::String(L"Search", L"url", &CSettings::m_pszSearchURL, kDefaultSearchURL)
            .EmptyKeeps()
            .Log(10, 1, L"  SearchURL: '%s'"),
        S::String(L"Language", L"filename", &CSettings::m_pszLanguage, nullptr).Log(11, 1, L"  LanguageFile: '%s'"),
        S::Flag(L"FooBar2000", L"EnableFix", &CSettings::m_bFooBar2000Fix, false),
        S::Flag(L"Persist", L"Layer", &CSettings::m_bPersistLayer, false).Log(8, 4, L", PersistLayer: %d"),
        S::Flag(L"Touch", L"Filter", &CSettings::m_bFilterTouch, false).Log(8, 5, L", FilterTouch: %d"),
    };
    return rows;
}
