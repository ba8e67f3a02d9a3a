#pragma once
// Saving and restoring where the desktop's icons (and the Sidebar's gadgets)
// sit. The icons live in the shell's list view in another process, so their
// names and positions go through buffers allocated in that process. The
// matching of current icons to a stored layout is a plain function, so that
// it can be checked without a shell.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DesktopIcons.h"

// One desktop icon or gadget.
struct DesktopIconItem
{
    std::wstring name;
    int x = 0;
    int y = 0;
    int index = 0;        // the item's index in the list view; 0 for gadgets
    bool gadget = false;
    HWND window = nullptr; // a gadget's window
};

// The longest label read from the list view, and the size of the buffer the
// label is read into in the other process.
constexpr int kDesktopIconMaxText = 260;
constexpr SIZE_T kDesktopIconTextBufferBytes = 1044;
// No desktop holds more items than this; a larger count is not believed.
constexpr int kDesktopIconMaxItems = 100000;

// The label in a buffer read back from another process: up to its first
// terminator, never more than kDesktopIconMaxText characters, and never past
// capacity (characters) when the other side left no terminator.
std::wstring BoundedIconText(const wchar_t* buffer, size_t capacity);

// The sidebar's settings file (gadget drop locations).
class CSidebarSettingsFile
{
public:
    explicit CSidebarSettingsFile(std::wstring path) : m_path(std::move(path)) {}
    // The file of this user, when the system has a Sidebar (6.1 and later) and
    // "LocalAppData" is set; else an empty path.
    static std::wstring DefaultPath();

    const std::wstring& Path() const { return m_path; }
    std::wstring ReadValue(const wchar_t* section, const wchar_t* key);
    bool WriteValue(const wchar_t* section, const wchar_t* key, const wchar_t* value);
    DWORD LastResult() const { return m_lastResult; }

    // Writes the stored position as the saved drop location of the gadget
    // named name (or, failing the name, of the one saved at previous). True
    // when a section was updated.
    bool UpdateGadgetDropLocation(const std::wstring& name, POINT previous, POINT stored);

private:
    bool SectionExists(const wchar_t* section);

    std::wstring m_path;
    DWORD m_lastResult = 0;
};

class CIconRestore
{
public:
    explicit CIconRestore(bool portable);
    virtual ~CIconRestore();
    CIconRestore(const CIconRestore&) = delete;
    CIconRestore& operator=(const CIconRestore&) = delete;

    bool Portable() const { return m_portable; }
    CSidebarSettingsFile* Sidebar() const { return m_sidebar; }
    CIconSettings& Settings() { return m_settings; }

private:
    bool m_portable;
    CSidebarSettingsFile* m_sidebar = nullptr;
    CIconSettings m_settings;
};

// What restoring a stored layout over the current icons does.
struct IconMove
{
    int index = 0; // list-view index
    POINT position = {};
};
struct GadgetMove
{
    HWND window = nullptr;
    std::wstring name;
    POINT previous = {};
    POINT position = {};
};
struct IconRestorePlan
{
    int matched = 0;
    std::vector<IconMove> iconMoves;     // only icons whose position differs
    std::vector<GadgetMove> gadgetMoves; // final pass only
    // Stored entries that matched nothing, to be dropped from the layout
    // (final pass only, and only when the desktop could be read).
    std::vector<DesktopIconItem> stale;
};

// Each current item takes the first stored entry of the same name (exact
// case) that no earlier item took.
IconRestorePlan PlanIconRestore(const std::vector<DesktopIconItem>& current,
                                const std::vector<DesktopIconItem>& stored, bool finalPass);

// The list-view position message's argument: x low, y high, 16 bits each.
LPARAM PackIconPosition(POINT position);

// The shell's desktop list view, or null.
HWND FindDesktopListView();

// Appends the icons of listView (a list view in any process) to items; true
// when every item was read. An empty list view logs and gives false; a failed
// item logs, empties the list and gives false. Throws the system
// error code (DWORD) when the owning process cannot be opened or memory
// cannot be allocated in it.
bool ReadListViewIcons(HWND listView, std::vector<DesktopIconItem>& items);

// Appends the Sidebar's gadget windows.
void ReadSidebarGadgets(std::vector<DesktopIconItem>& items);

// Carries out a plan: posts the icon positions to listView and moves the
// gadget windows (updating their drop location in sidebar, when given).
void ApplyIconRestorePlan(HWND listView, const IconRestorePlan& plan, CSidebarSettingsFile* sidebar);

bool IsExplorerNative();
// Throws the system error code (DWORD) when the desktop cannot be reached.
bool GetDesktopIcons(std::vector<DesktopIconItem>& items, bool withGadgets);
int PutDesktopIcons(CIconRestore& restore, bool finalPass);

// The save and restore commands (tray menu, hotkeys, command line): checks
// the shell, does the work, and reports through a box, beeps and a balloon
// (kind, untranslated text). True on success.
using DesktopIconBalloon = std::function<void(int kind, const std::wstring& text)>;
bool RunSaveDesktopIcons(HWND window, bool debug, bool notify, const DesktopIconBalloon& balloon);
bool RunRestoreDesktopIcons(HWND window, bool debug, bool notify, const DesktopIconBalloon& balloon);
