#pragma once
// One profile: the default profile, or the settings for one application or
// window. It says which windows it applies to and holds ten layers of nine
// button slots (slot index = button + layer * 9) with the layer names and flags
// and the profile's scrolling, cursor and keystroke options.
//
// Strings are owned wide strings held as plain pointers; null means "not set"
// and differs from an empty string. Out-of-range buttons and layers (negative
// ones too) are logged as invalid calls and answered with 40 / false / null.

#include <windows.h>

#include <string>

#include "Actions.h"
#include "SnareholdApi.h"
#include "pugixml.hpp"

class CActionData;
class CBRMPChords;
class CBRMPTimedClicks;
class CMovement2Scroll;
class CSettings;

enum swapbuttons : int
{
    SWAPBUTTONS_DEFAULT = 0,   // use the system setting
    SWAPBUTTONS_NO = 1,        // do not swap
    SWAPBUTTONS_YES = 2        // swap primary and secondary buttons
};

// The parts of a window a window-specific profile applies to.
enum WINDOWMASK : int
{
    WINDOWMASK_TOPLEFT = 1,
    WINDOWMASK_TOPRIGHT = 2,
    WINDOWMASK_BOTTOMLEFT = 4,
    WINDOWMASK_BOTTOMRIGHT = 8,
    WINDOWMASK_ALL = 15,
    WINDOWMASK_AREA = 16       // a window area given as a rectangle
};

// Separator of the parts of a "W2:" or "W3:" window key.
constexpr const wchar_t* kWindowKeySeparator = L" \\;| ";
// Longest text a regular expression is searched in; longer window texts are cut
// (the expression engine recurses per character).
constexpr int kMaxRegexSearchLength = 512;
// Parts of a window key and the short name are built in buffers of this size
// (characters, terminator included); longer parts are cut.
constexpr int kProfilePartBufferSize = 1024;

class SNAREHOLD_API CApplicationSettings
{
public:
    CApplicationSettings(CSettings* settings, bool isDefault, int index);
    virtual ~CApplicationSettings();
    // A profile owns its strings and option objects: copy with Copy().
    CApplicationSettings(const CApplicationSettings&) = delete;
    CApplicationSettings& operator=(const CApplicationSettings&) = delete;

    CSettings* Settings() const { return m_pSettings; }
    // Never the same for two profiles of one process, also when a new profile
    // takes the memory of a freed one: a request queued for later names its
    // profile by address and serial.
    unsigned long long GetSerial() const { return m_uSerial; }
    bool IsDefault() const { return m_bDefault; }
    int GetIndex() const { return m_nIndex; }

    // Frees target; when source is not null, target becomes a new copy of it
    // (lower-cased on request) and is returned. Null for a null source.
    static wchar_t* CopyString(wchar_t*& target, const wchar_t* source, bool lowerCase = false);
    static void ClearString(wchar_t*& target);

    // --- identity ---
    void SetApplication(const wchar_t* key);
    const wchar_t* GetFullName() const { return m_pszFullName; }
    const wchar_t* GetApplication() const { return m_pszApplication; }
    const wchar_t* GetCaption() const { return m_pszCaption; }
    const wchar_t* GetClass() const { return m_pszClass; }
    const wchar_t* GetParentClass() const { return m_pszParentClass; }
    void SetDescription(const wchar_t* description);
    const wchar_t* GetDescription() const { return m_pszDescription; }
    bool IsCustomWindow() const;
    // Duplicate-detection key: "cw;caption;application;parent;class" for a
    // custom-window profile, else the application (empty when none).
    std::wstring GetKey() const;
    // The name the profile lists show, cut to fit count characters. 0, or -1
    // (buffer untouched) for a profile with neither description nor application.
    int GetShortName(wchar_t* buffer, int count) const;

    // --- slots ---
    static bool ValidSlot(int button, int layer);
    _ACTIONS GetActions(int button, int layer, bool checkDisabled = false) const;
    void SetActions(int button, int layer, int action);
    bool GetResetKeys(int button, int layer) const;
    void SetResetKeys(int button, int layer, bool reset);
    void SetKeystrokes(int button, int layer, const wchar_t* keys, int keyAction, int keyRepeat, bool active,
                       bool blockMouse, bool blockMouseActive, bool randomiseDelay);
    // Also sets the wait/hold time from the keys and the per-key time.
    void SetKeystrokes(int button, int layer, const wchar_t* keys, int keyAction, int keyRepeat, bool active,
                       bool blockMouse, bool blockMouseActive, bool randomiseDelay, int perKeyTime);
    const wchar_t* GetKeystrokes(int button, int layer) const;
    int SendKeyAction(int button, int layer) const;
    int SendKeyRepeat(int button, int layer) const;
    bool SendKeyWhenActive(int button, int layer) const;
    bool BlockMouse(int button, int layer) const;
    bool BlockMouseActive(int button, int layer) const;
    bool RandomiseDelay(int button, int layer) const;
    int GetKeystrokesWaitHoldTime(int button, int layer, int base) const;
    void SetKeystrokesWaitHoldTime(int button, int layer, int waitHoldTime);
    const wchar_t* GetActionDescription(int button, int layer) const;
    void SetActionDescription(int button, int layer, const wchar_t* description);
    const wchar_t* GetLaunchApp(int button, int layer) const;
    void SetLaunchApp(int button, int layer, const wchar_t* application);
    const wchar_t* GetStuckKeys(int button, int layer) const;
    void SetStuckKeys(int button, int layer, const wchar_t* keys);

    // The slot's own objects (null when none).
    CBRMPChords* GetChords(int button, int layer) const;
    CBRMPTimedClicks* GetTimedClicks(int button, int layer) const;
    CMovement2Scroll* GetMovement2Scroll(int button, int layer) const;
    // Adopt the given list, deleting a different previous one.
    void SetChords(int button, int layer, CBRMPChords* chords);
    void SetTimedClicks(int button, int layer, CBRMPTimedClicks* timedClicks);
    // Replace the slot's object by a new copy of the given one (none for null).
    void CopyChords(int button, int layer, const CBRMPChords* chords);
    void CopyTimedClicks(int button, int layer, const CBRMPTimedClicks* timedClicks);
    void CopyMovement2Scrolls(int button, int layer, const CMovement2Scroll* options);
    // Copies the options into the slot's own object, made with defaults first.
    void SetMovement2Scroll(int button, int layer, const CMovement2Scroll* options);
    // A new record of the slot sharing the slot's lists and options; the caller
    // deletes the record, never the objects. Null for an invalid slot.
    CActionData* GetActionData(int button, int layer) const;

    // Converts the retired movement-to-scroll codes (80, 121 to 126) of a slot
    // into action 77 with equivalent options.
    void UpgradeAction(int button, int layer, int oldCode);

    // --- layers (0 to 9) ---
    static bool ValidLayer(int layer);
    // Never null: an empty text for a layer without a name or outside 0..9.
    const wchar_t* GetLayerName(int layer) const;
    void SetLayerName(const wchar_t* name, int layer);
    bool GetRevertLayer1(int layer) const;
    void SetRevertLayer1(int layer, bool revert);
    int GetAutoSwitchLayer(int layer) const;
    void SetAutoSwitchLayer(int layer, int target);
    double GetAutoSwitchTime(int layer) const;
    void SetAutoSwitchTime(int layer, double seconds);
    bool GetLayerDisabled(int layer) const;
    void SetLayerDisabled(int layer, bool disabled);
    bool GetLayerDisabledNextPrev(int layer, bool includeDisabled) const;
    void SetLayerDisabledNextPrev(int layer, bool skip);
    MouseButtons GetChordButton(int layer) const;
    void SetChordButton(MouseButtons button, int layer);

    // --- profile options ---
    bool IsEnabled() const { return m_bEnabled; }
    void SetEnableFlag(bool enabled) { m_bEnabled = enabled; }
    bool RegExMatching() const { return m_bRegExMatching; }
    void SetRegExMatching(bool on);
    bool NoParent() const { return m_bNoParent; }
    void SetNoParentFlag(bool noParent) { m_bNoParent = noParent; }
    bool InvertedScrolling() const { return m_bInvertScrolling; }
    void SetInvertScrolling(bool on) { m_bInvertScrolling = on; }
    bool InvertedHorzScrolling() const { return m_bInvertHorzScrolling; }
    void SetInvertHorzScrolling(bool on) { m_bInvertHorzScrolling = on; }
    bool ScrollPages() const { return m_bScrollPages; }
    void SetScrollPages(bool on) { m_bScrollPages = on; }
    bool AxisLocking() const { return m_bAxisLocking; }
    void SetAxisLocking(bool on) { m_bAxisLocking = on; }
    swapbuttons SwapButtons() const { return m_SwapButtons; }
    void SetSwapButtons(swapbuttons swap) { m_SwapButtons = swap; }
    int ScrollLines() const { return m_nScrollLines; }
    void SetScrollLines(int lines) { m_nScrollLines = lines; }
    bool ForceSPIMessage() const { return m_bForceSPIMessage; }
    void SetForceSPIMessage(bool on) { m_bForceSPIMessage = on; }
    bool ClipMouse() const { return m_bClipMouse; }
    void SetClipMouse(bool on) { m_bClipMouse = on; }
    int AdvScrollMethod() const { return m_nAdvScrollMethod; }
    void SetAdvScrollMethod(int method) { m_nAdvScrollMethod = method; }
    int AdvScrollVertical() const { return m_nAdvScrollVertical; }
    void SetAdvScrollVertical(int amount) { m_nAdvScrollVertical = amount; }
    int AdvScrollHorizontal() const { return m_nAdvScrollHorizontal; }
    void SetAdvScrollHorizontal(int amount) { m_nAdvScrollHorizontal = amount; }
    bool ChangeCursor() const { return m_bChangeCursor; }
    void ChangeCursor(bool on) { m_bChangeCursor = on; }
    // Null unless ChangeCursor is on.
    const wchar_t* GetCursor() const { return m_bChangeCursor ? m_pszCursor : nullptr; }
    void SetCursor(const wchar_t* cursor);
    bool IsProfileScriptEnabled() const { return m_bProfileScriptEnabled; }
    void EnableProfileScript(bool on) { m_bProfileScriptEnabled = on; }
    // Null unless the script is enabled.
    const wchar_t* GetProfileChangeScript() const { return m_bProfileScriptEnabled ? m_pszProfileChangeScript : nullptr; }
    void SetProfileChangeScript(const wchar_t* script);
    // WINDOWMASK_AREA while the window area is in use, else the mask.
    int GetWindowMask() const { return m_bUseWindowArea ? WINDOWMASK_AREA : m_WindowMask; }
    void SetWindowMask(int mask) { m_WindowMask = mask; }
    bool GetUseWindowArea() const { return m_bUseWindowArea; }
    void SetUseWindowArea(bool on) { m_bUseWindowArea = on; }
    RECT GetWindowArea() const { return m_rcWindowArea; }
    void SetWindowArea(const RECT& area) { m_rcWindowArea = area; }
    bool GetDisableScrollUnderCursor() const { return m_bDisableScrollUnderCursor; }
    void SetDisableScrollUnderCursor(bool on) { m_bDisableScrollUnderCursor = on; }
    bool GetDisableMouseOver() const { return m_bDisableMouseOver; }
    void SetDisableMouseOver(bool on) { m_bDisableMouseOver = on; }
    bool GetDisableLayerModifier() const { return m_bDisableLayerModifier; }
    void SetDisableLayerModifier(bool on) { m_bDisableLayerModifier = on; }
    // Null-safe forms for callers that may have no profile: false for null.
    static bool GetDisableScrollUnderCursor(const CApplicationSettings* profile);
    static bool GetDisableMouseOver(const CApplicationSettings* profile);
    static bool GetDisableLayerModifier(const CApplicationSettings* profile);
    bool GetIgnoreVScroll() const { return m_bIgnoreVScroll; }
    void SetIgnoreVScroll(bool on) { m_bIgnoreVScroll = on; }
    int GetIgnoreVScrollTime() const { return m_nIgnoreVScrollTime; }
    void SetIgnoreVScrollTime(int milliseconds) { m_nIgnoreVScrollTime = milliseconds; }
    bool GetIgnoreHScroll() const { return m_bIgnoreHScroll; }
    void SetIgnoreHScroll(bool on) { m_bIgnoreHScroll = on; }
    int GetIgnoreHScrollTime() const { return m_nIgnoreHScrollTime; }
    void SetIgnoreHScrollTime(int milliseconds) { m_nIgnoreHScrollTime = milliseconds; }
    bool OverrideMouseSpeed() const { return m_bOverrideMouseSpeed; }
    void OverrideMouseSpeed(bool on) { m_bOverrideMouseSpeed = on; }
    bool EnhancePointerPrecision() const { return m_bEnhancePointerPrecision; }
    void EnhancePointerPrecision(bool on) { m_bEnhancePointerPrecision = on; }
    int GetMouseSpeed() const { return m_nMouseSpeed; }
    void SetMouseSpeed(int speed) { m_nMouseSpeed = speed; }
    bool ActivateOnHover() const { return m_bActivateOnHover; }
    void ActivateOnHover(bool on) { m_bActivateOnHover = on; }
    int GetMatchType() const { return m_nMatchType; }
    void SetMatchType(int matchType) { m_nMatchType = matchType; }

    // Makes this a non-default profile with every setting of source (deep copies).
    void Copy(const CApplicationSettings* source);

    // --- matching: a null field matches every text ---
    bool MatchProcess(const wchar_t* processName) const;
    // Also refuses the taskbar for an explorer.exe profile without class rules.
    bool MatchProcess(const wchar_t* processName, HWND window) const;
    bool MatchClass(const wchar_t* className) const;
    bool MatchParentClass(const wchar_t* className) const;
    bool MatchCaption(const wchar_t* caption) const;
    // The plain (not regular-expression) rule: "a||b" lists compare the start
    // of the text; otherwise the whole text; both ignoring case.
    static bool MatchPlainText(const wchar_t* field, const wchar_t* text);

    // The time a keystroke text takes by its waits, holds and per-key time (ms).
    static int CalculateKeystrokesWaitHoldTime(const wchar_t* keys, int perKeyTime);
    // Default key repeat from the system keyboard speed: 400 - speed * 11.8.
    static int DefaultRepeat();
    static int DefaultRepeatForSpeed(int keyboardSpeed);
    // Pins the keyboard speed DefaultRepeat reads (tests: files that do not
    // depend on the machine's setting); a negative value unpins it.
    static void PinKeyboardSpeed(int keyboardSpeed);

    // Debug log of the profile becoming active.
    void Log(const wchar_t* processName) const;
    // A slot's text in the profile log.
    std::wstring GetActionString(int button, int layer) const;

    // --- persistence (ApplicationSettingsXml.cpp) ---
    bool Save(pugi::xml_node parent) const;
    bool Load(pugi::xml_node element, int perKeyTime, bool& regionsDefined, int& highestLayer);
    void SaveDefault(pugi::xml_node element) const;
    void LoadDefault(pugi::xml_node element, int perKeyTime, int& highestLayer);

private:
    friend class CSettings;
    friend struct ProfileOption;
    struct CompiledPatterns;
    enum PatternField { PatternApplication = 0, PatternClass, PatternParentClass, PatternCaption, PatternCount };

    static int SlotIndex(int button, int layer) { return button + layer * ButtonCount; }
    bool CheckSlot(int button, int layer, const wchar_t* operation) const;
    bool CheckLayer(int layer, const wchar_t* operation) const;
    void ClearSlotObjects();
    void RecompilePatterns();
    bool MatchField(PatternField field, const wchar_t* value, const wchar_t* text) const;

    const unsigned long long m_uSerial;
    _ACTIONS m_Actions[SlotCount];
    bool m_bResetKeys[SlotCount];
    bool m_bRevertLayer1[LayerCount];
    int m_nAutoSwitchLayer[LayerCount];
    double m_dAutoSwitchTime[LayerCount];
    bool m_bLayerDisabledNextPrev[LayerCount];
    bool m_bLayerDisabled[LayerCount];
    bool m_bDefault;
    int m_nIndex;
    wchar_t* m_pszFullName = nullptr;
    wchar_t* m_pszDescription = nullptr;
    wchar_t* m_pszCaption = nullptr;
    wchar_t* m_pszApplication = nullptr;
    wchar_t* m_pszClass = nullptr;
    wchar_t* m_pszParentClass = nullptr;
    wchar_t* m_pszLayerNames[LayerCount] = {};
    MouseButtons m_ChordButton[LayerCount];
    wchar_t* m_pszKeystrokes[SlotCount] = {};
    wchar_t* m_pszStuckKeys[SlotCount] = {};
    wchar_t* m_pszLaunchApp[SlotCount] = {};
    wchar_t* m_pszActionDescription[SlotCount] = {};
    CBRMPChords* m_pChords[SlotCount] = {};
    CMovement2Scroll* m_pMovement2Scroll[SlotCount] = {};
    CBRMPTimedClicks* m_pTimedClicks[SlotCount] = {};
    int m_nKeyAction[SlotCount];
    int m_nKeyRepeat[SlotCount];
    int m_nWaitHoldTime[SlotCount];
    bool m_bSendWhenActive[SlotCount];
    bool m_bBlockMouse[SlotCount];
    bool m_bBlockMouseActive[SlotCount];
    bool m_bRandomiseDelay[SlotCount];
    bool m_bEnabled = true;
    bool m_bRegExMatching = false;
    bool m_bNoParent = false;
    bool m_bInvertScrolling = false;
    bool m_bInvertHorzScrolling = false;
    bool m_bScrollPages = false;
    bool m_bAxisLocking = true;
    swapbuttons m_SwapButtons = SWAPBUTTONS_DEFAULT;
    int m_nScrollLines = 3;
    bool m_bForceSPIMessage = false;
    bool m_bClipMouse = false;
    int m_nAdvScrollMethod = 8;
    int m_nAdvScrollVertical = 1;
    int m_nAdvScrollHorizontal = 1;
    bool m_bChangeCursor = false;
    wchar_t* m_pszCursor = nullptr;
    bool m_bProfileScriptEnabled = false;
    wchar_t* m_pszProfileChangeScript = nullptr;
    int m_WindowMask = WINDOWMASK_ALL;
    bool m_bUseWindowArea = false;
    RECT m_rcWindowArea = {0, 0, 0, 0};
    bool m_bDisableScrollUnderCursor = false;
    bool m_bDisableMouseOver = false;
    bool m_bIgnoreVScroll = false;
    bool m_bIgnoreHScroll = false;
    int m_nIgnoreVScrollTime = 200;
    int m_nIgnoreHScrollTime = 400;
    bool m_bOverrideMouseSpeed = false;
    bool m_bEnhancePointerPrecision = false;
    int m_nMouseSpeed = -1;
    bool m_bActivateOnHover = false;
    bool m_bDisableLayerModifier = false;
    int m_nMatchType = 1;
    CSettings* m_pSettings;
    // Regular expressions of the four match fields, compiled once when a field
    // or the regular-expression flag changes.
    CompiledPatterns* m_pPatterns = nullptr;
    // Writes the XML form (the library's ProfileXmlWriting.h).
    friend struct ProfileXmlWriting;
};
