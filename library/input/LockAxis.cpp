#include "LockAxis.h"

#include <string>

#include "ApplicationSettings.h"
#include "Folders.h"
#include "LibrarySettings.h"
#include "Logger.h"
#include "RegisteredMessages.h"
#include "SPIThread.h"
#include "Settings.h"
#include "ThreadLock.h"

CLockAxis g_LockAxis;

namespace
{
// The global Cursor/ChangeLayer option, from the settings given or the global ones.
bool CursorOption(const CSettings* settings)
{
    if (settings == nullptr)
        settings = g_pSettings;
    return settings == nullptr || settings->m_bChangeCursorLayer;
}

// Remapping is off in a remote session (RemoteDesktop/Disable) or with Scroll
// Lock on (ScrollLock/BypassAll); the pointer then shows the user's cursors.
bool CursorsSwitchedOff()
{
    const CSettings* settings = g_pSettings;
    if (settings == nullptr)
        return false;
    if (settings->m_bDisableInRDP && SPISystem().getSystemMetrics(SM_REMOTESESSION) != 0)
        return true;
    return settings->m_bScrollLockBypassAll && (::GetKeyState(VK_SCROLL) & 1) != 0;
}

HCURSOR LoadLockCursor(const wchar_t* folder, const wchar_t* file, HINSTANCE instance, int resource)
{
    HCURSOR cursor = nullptr;
    if (folder != nullptr && folder[0] != L'\0')
    {
        std::wstring path = folder;
        if (path.back() != L'\\' && path.back() != L'/')
            path += L'\\';
        path += file;
        cursor = static_cast<HCURSOR>(
            ::LoadImageW(nullptr, path.c_str(), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_LOADFROMFILE));
    }
    if (cursor == nullptr && instance != nullptr)
        cursor = static_cast<HCURSOR>(::LoadImageW(instance, MAKEINTRESOURCEW(resource), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
    return cursor;
}
}

CLockAxis::CLockAxis()
{
    Init();
}

CLockAxis::~CLockAxis()
{
    if (m_bOwnsCursors)
        DestroyCursors();
}

CLockAxis::CLockAxis(const CLockAxis& other)
{
    CopyFrom(other);
}

CLockAxis& CLockAxis::operator=(const CLockAxis& other)
{
    if (this != &other)
        CopyFrom(other);
    return *this;
}

void CLockAxis::CopyFrom(const CLockAxis& other)
{
    if (m_bOwnsCursors)
        DestroyCursors();
    m_bLockX = other.m_bLockX.load();
    m_bLockY = other.m_bLockY.load();
    m_bLockedToAxis = other.m_bLockedToAxis.load();
    m_bOrigin = other.m_bOrigin.load();
    m_bInternalXY = other.m_bInternalXY.load();
    m_bInvertX = other.m_bInvertX.load();
    m_bInvertY = other.m_bInvertY.load();
    m_nXPos = other.m_nXPos.load();
    m_nYPos = other.m_nYPos.load();
    m_hCursorLockX = other.m_hCursorLockX;
    m_hCursorLockY = other.m_hCursorLockY;
    m_hCursorLockXY = other.m_hCursorLockXY;
    m_LastShown = other.m_LastShown.load();
}

void CLockAxis::Init()
{
    m_bLockX = 0;
    m_bLockY = 0;
    m_bLockedToAxis = 0;
    m_bOrigin = 0;
    m_bInternalXY = 0;
    m_nXPos = 0;
    m_nYPos = 0;
}

void CLockAxis::InitCursors(HINSTANCE instance)
{
    DestroyCursors();
    wchar_t folder[MAX_PATH * 4] = L"";
    const bool haveFolder = GetSettingsFolder(folder, sizeof(folder) / sizeof(folder[0])) == 0 && folder[0] != L'\0';
    const wchar_t* path = haveFolder ? folder : nullptr;
    m_hCursorLockX = LoadLockCursor(path, L"lockx.cur", instance, IDC_BRMP_LOCKX);
    m_hCursorLockY = LoadLockCursor(path, L"locky.cur", instance, IDC_BRMP_LOCKY);
    m_hCursorLockXY = LoadLockCursor(path, L"lockxy.cur", instance, IDC_BRMP_LOCKXY);
    m_bOwnsCursors = true;
}

void CLockAxis::DestroyCursors()
{
    // A copy's handles belong to the object it was copied from.
    if (!m_bOwnsCursors)
    {
        m_hCursorLockX = m_hCursorLockY = m_hCursorLockXY = nullptr;
        return;
    }
    m_bOwnsCursors = false;
    if (m_hCursorLockX == nullptr && m_hCursorLockY == nullptr && m_hCursorLockXY == nullptr)
        return;
    CLogger::LogDebug(L"CLockAxis: Reset Cursor");
    SPISystem().systemParametersInfo(SPI_SETCURSORS, 0, nullptr, 0);
    struct
    {
        HCURSOR* cursor;
        const wchar_t* failure;
    } const slots[] = {
        {&m_hCursorLockX, L"Unable to destory CursorLockX"},
        {&m_hCursorLockY, L"Unable to destory CursorLockY"},
        {&m_hCursorLockXY, L"Unable to destory CursorLockXY"},
    };
    for (const auto& slot : slots)
    {
        if (*slot.cursor != nullptr && !::DestroyCursor(*slot.cursor))
            CLogger::LogOSMessage(::GetLastError(), slot.failure);
        *slot.cursor = nullptr;
    }
}

// --- locking -------------------------------------------------------------------

void CLockAxis::LockX(CSPIThread* thread, int layer, bool exclusive, bool origin)
{
    if (exclusive)
        m_bLockY = 0;
    m_bOrigin = origin ? 1 : 0;
    m_bLockX = 1;
    ShowLock(thread, layer, LockedY() ? LockCursorShown::LockXY : LockCursorShown::LockX);
}

void CLockAxis::LockY(CSPIThread* thread, int layer, bool exclusive, bool origin)
{
    if (exclusive)
        m_bLockX = 0;
    m_bOrigin = origin ? 1 : 0;
    m_bLockY = 1;
    ShowLock(thread, layer, LockedX() ? LockCursorShown::LockXY : LockCursorShown::LockY);
}

void CLockAxis::LockXY(CSPIThread* thread, int layer, bool origin)
{
    m_bOrigin = origin ? 1 : 0;
    m_bLockX = 1;
    m_bLockY = 1;
    ShowLock(thread, layer, LockCursorShown::LockXY);
}

void CLockAxis::LockCycle(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                          bool origin)
{
    const bool x = LockedX();
    const bool y = LockedY();
    if (x && !y)
    {
        m_bLockX = 0;
        m_nXPos = 0;
        m_bOrigin = origin ? 1 : 0;
        m_bLockY = 1;
        ShowLock(thread, layer, LockCursorShown::LockY);
        return;
    }
    if (!x && !y)
    {
        m_bOrigin = origin ? 1 : 0;
        m_bLockX = 1;
        ShowLock(thread, layer, LockCursorShown::LockX);
        return;
    }
    m_bLockX = 0;
    m_bLockY = 0;
    m_bLockedToAxis = 0;
    m_bOrigin = 0;
    m_nXPos = 0;
    m_nYPos = 0;
    ShowProfile(thread, layer, settings, profile, true);
}

void CLockAxis::LockToAxis(CSPIThread* thread, int layer, bool origin)
{
    CLogger::LogDebug(L"LockToAxis called");
    m_bLockedToAxis = 1;
    m_bOrigin = origin ? 1 : 0;
    ShowLock(thread, layer, LockCursorShown::LockXY);
}

void CLockAxis::InternalLockXY()
{
    m_bLockX = 1;
    m_bLockY = 1;
    m_bOrigin = 0;
    m_bInternalXY = 1;
}

void CLockAxis::InternalUnlockXY()
{
    m_bLockX = 0;
    m_bLockY = 0;
    m_nXPos = 0;
    m_nYPos = 0;
    m_bInternalXY = 0;
}

// --- unlocking -----------------------------------------------------------------

bool CLockAxis::Unlock(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                       bool force)
{
    bool changed = false;
    if (force || LockedX() || LockedY() || LockedToAxis())
    {
        CLogger::LogDebug(L"CLockAxis::Unlock - change cursor to default for app/layer %d", layer + 1);
        changed = true;
    }
    m_bLockX = 0;
    m_bLockY = 0;
    m_bLockedToAxis = 0;
    m_nXPos = 0;
    m_nYPos = 0;
    m_bInternalXY = 0;
    // Cleared before the cursor is chosen, so the profile cursor is not a lock cursor.
    if (changed)
        ShowProfile(thread, layer, settings, profile, false);
    return changed;
}

bool CLockAxis::UnlockXY(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                         bool origin)
{
    if (Origin() != origin)
        return false;
    m_bLockX = 0;
    m_bLockY = 0;
    m_nXPos = 0;
    m_nYPos = 0;
    m_bInternalXY = 0;
    ShowProfile(thread, layer, settings, profile, false);
    return true;
}

bool CLockAxis::UnlockX(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                        bool origin)
{
    if (Origin() != origin)
        return false;
    m_bLockX = 0;
    m_nXPos = 0;
    if (LockedY())
        ShowLock(thread, layer, LockCursorShown::LockY);
    else
        ShowProfile(thread, layer, settings, profile, false);
    return true;
}

bool CLockAxis::UnlockY(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                        bool origin)
{
    if (Origin() != origin)
        return false;
    m_bLockY = 0;
    m_nYPos = 0;
    if (LockedX())
        ShowLock(thread, layer, LockCursorShown::LockX);
    else
        ShowProfile(thread, layer, settings, profile, false);
    return true;
}

void CLockAxis::ToggleXAxisLock(CSPIThread* thread, int layer, const CSettings* settings,
                                const CApplicationSettings* profile)
{
    if (!LockedX())
    {
        m_bLockX = 1;
        m_bLockY = 0;
        m_nYPos = 0;
        m_bLockedToAxis = 0;
        ShowLock(thread, layer, LockCursorShown::LockX);
        return;
    }
    if (LockedToAxis())
        return;
    m_bLockX = 0;
    m_nXPos = 0;
    if (LockedY())
        ShowLock(thread, layer, LockCursorShown::LockY);
    else
        ShowProfile(thread, layer, settings, profile, true);
}

void CLockAxis::ToggleYAxisLock(CSPIThread* thread, int layer, const CSettings* settings,
                                const CApplicationSettings* profile)
{
    if (!LockedY())
    {
        m_bLockY = 1;
        m_bLockX = 0;
        m_nXPos = 0;
        m_bLockedToAxis = 0;
        ShowLock(thread, layer, LockCursorShown::LockY);
        return;
    }
    if (LockedToAxis())
        return;
    m_bLockY = 0;
    m_nYPos = 0;
    if (LockedX())
        ShowLock(thread, layer, LockCursorShown::LockX);
    else
        ShowProfile(thread, layer, settings, profile, true);
}

// --- queries -------------------------------------------------------------------

bool CLockAxis::XLocked(int x)
{
    if (!LockedX())
        return false;
    int expected = 0;
    m_nXPos.compare_exchange_strong(expected, x, std::memory_order_relaxed);
    return true;
}

bool CLockAxis::YLocked(int y)
{
    if (!LockedY())
        return false;
    int expected = 0;
    m_nYPos.compare_exchange_strong(expected, y, std::memory_order_relaxed);
    return true;
}

bool CLockAxis::ConstrainMove(LONG& x, LONG& y)
{
    bool applied = false;
    if (XLocked(static_cast<int>(x)))
    {
        const int held = XPos();
        // A lock taken at co-ordinate 0 keeps 0 as "not yet taken": the move's own x stands.
        if (held != 0)
            x = held;
        applied = true;
    }
    if (YLocked(static_cast<int>(y)))
    {
        const int held = YPos();
        if (held != 0)
            y = held;
        applied = true;
    }
    return applied;
}

// --- cursors -------------------------------------------------------------------

void CLockAxis::ShowLock(CSPIThread* thread, int layer, LockCursorShown which)
{
    if (CursorsSwitchedOff())
    {
        m_LastShown = LockCursorShown::Profile;
        ResetCursor(thread);
        return;
    }
    m_LastShown = which;
    const HCURSOR cursor = which == LockCursorShown::LockX   ? m_hCursorLockX
                           : which == LockCursorShown::LockY ? m_hCursorLockY
                                                              : m_hCursorLockXY;
    ChangeCursor(thread, cursor, layer);
}

void CLockAxis::ShowProfile(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                            bool ignoreLocks)
{
    m_LastShown = LockCursorShown::Profile;
    ChangeCursor(thread, profile, layer, ignoreLocks, CursorOption(settings));
}

void CLockAxis::ChangeCursor(CSPIThread* thread, HCURSOR cursor, int layer)
{
    if (cursor == nullptr)
        return;
    const int lowLayer = layer < 0 ? 0 : layer & 0xFFFF;
    if (thread != nullptr)
    {
        const DWORD id = g_dwSPIThreadId;
        if (id == 0)
        {
            CLogger::LogMessage(L"CSPIThread is not running. Unable to change cursor (layer %d)", layer);
            return;
        }
        ::PostThreadMessageW(id, BRMP_SPI_SETCURSOR, reinterpret_cast<WPARAM>(cursor),
                             static_cast<LPARAM>(lowLayer | 0x10000));
        CLogger::LogDebug(L"Change cursor to 0x%08X (layer %d) all cursors %d", HandleNumber(cursor), layer, 1);
        return;
    }
    CThreadLock lock(L"CLockAxis::ChangeCursor");
    CLogger::LogDebug(L"Setting cursor to 0x%08X (layer %d)", HandleNumber(cursor), layer);
    for (DWORD id : g_SystemCursorIds)
    {
        HCURSOR copy = static_cast<HCURSOR>(::CopyImage(cursor, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
        if (copy == nullptr)
            continue;
        if (!SPISystem().setSystemCursor(copy, id) && !::DestroyCursor(copy))
            CLogger::LogMessage(L"CLockAxis::ChangeCursor Unable to destory cur %d", static_cast<int>(id));
    }
}

bool CLockAxis::ChangeCursor(CSPIThread* thread, const CApplicationSettings* profile, int layer, bool ignoreLocks,
                             bool cursorOption)
{
    if (!HooksInstalled())
    {
        ResetCursor(thread);
        return false;
    }
    if (CursorsSwitchedOff())
    {
        ResetCursor(thread);
        return false;
    }
    CLogger::LogDebug(L"CLockAxis::ChangeCursor called. bLockX is %d, bLockY is %d, InternaLock is %d", LockedX() ? 1 : 0,
                      LockedY() ? 1 : 0, InternalLocked() ? 1 : 0);
    if (!ignoreLocks && !InternalLocked())
    {
        if (LockedX())
        {
            ShowLock(thread, layer, LockedY() ? LockCursorShown::LockXY : LockCursorShown::LockX);
            return false;
        }
        if (LockedY())
        {
            ShowLock(thread, layer, LockCursorShown::LockY);
            return false;
        }
    }
    m_LastShown = LockCursorShown::Profile;
    if (cursorOption)
    {
        if (thread != nullptr)
            return thread->ChangeAppCursor(profile, layer);
        return InternalLocked();
    }
    ResetCursor(thread);
    return false;
}

void CLockAxis::ResetCursor(CSPIThread* thread)
{
    CLogger::LogDebug(L"CLockAxis: Reset Cursor");
    if (thread == nullptr)
    {
        SPISystem().systemParametersInfo(SPI_SETCURSORS, 0, nullptr, 0);
        return;
    }
    const DWORD id = g_dwSPIThreadId;
    if (id == 0)
    {
        CLogger::LogMessage(L"CSPIThread is not running. Unable to reset Cursors.");
        return;
    }
    CLogger::LogDebug(L"CSPIThread: Reset Cursor (TID 0x%X)", static_cast<unsigned>(id));
    ::PostThreadMessageW(id, BRMP_SPI_RESETCURSOR, 0, 0);
}
