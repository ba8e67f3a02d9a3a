#pragma once
// Axis lock and inversion: X and/or Y held at the position where the lock began,
// and X/Y mirrored. The mouse hook reads it on every move (lock-free: single
// bytes and atomics, no allocation); actions, timers and keys change it. Each
// change also changes the pointer picture through the SPI thread.

#include <windows.h>

#include <atomic>

class CSPIThread;
class CSettings;
class CApplicationSettings;

// Resource ids of the library's lock cursors.
constexpr int IDC_BRMP_LOCKX = 105;
constexpr int IDC_BRMP_LOCKY = 106;
constexpr int IDC_BRMP_LOCKXY = 107;

// What the last cursor change asked for (tests and diagnosis).
enum class LockCursorShown
{
    None,
    LockX,
    LockY,
    LockXY,
    Profile, // the profile / layer cursor (or the defaults)
};

class CLockAxis
{
public:
    CLockAxis();
    virtual ~CLockAxis();
    // Copies every field, cursor handles included; only the library's global
    // object loads and destroys the cursors.
    CLockAxis(const CLockAxis& other);
    CLockAxis& operator=(const CLockAxis& other);

    // Clears the locks and positions (not the inversion).
    void Init();

    void InitCursors(HINSTANCE instance);
    void DestroyCursors();

    // origin: the caller's origin flag; an unlock with another origin is refused.
    void LockX(CSPIThread* thread, int layer, bool exclusive, bool origin);
    void LockY(CSPIThread* thread, int layer, bool exclusive, bool origin);
    void LockXY(CSPIThread* thread, int layer, bool origin);
    // none -> X -> Y -> none.
    void LockCycle(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                   bool origin);
    void LockToAxis(CSPIThread* thread, int layer, bool origin);
    void InternalLockXY();
    void InternalUnlockXY();

    bool Unlock(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                bool force);
    bool UnlockXY(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                  bool origin);
    bool UnlockX(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                 bool origin);
    bool UnlockY(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                 bool origin);

    // Toggles of the X / Y lock by action (locked-to-axis blocks the unlock).
    void ToggleXAxisLock(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile);
    void ToggleYAxisLock(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile);

    bool Locked() const { return m_bLockX.load(std::memory_order_relaxed) || m_bLockY.load(std::memory_order_relaxed); }
    bool LockedX() const { return m_bLockX.load(std::memory_order_relaxed) != 0; }
    bool LockedY() const { return m_bLockY.load(std::memory_order_relaxed) != 0; }
    bool LockedToAxis() const { return m_bLockedToAxis.load(std::memory_order_relaxed) != 0; }
    bool InternalLocked() const { return m_bInternalXY.load(std::memory_order_relaxed) != 0; }
    bool Origin() const { return m_bOrigin.load(std::memory_order_relaxed) != 0; }
    // The lock flag; a locked axis without a position takes the given one.
    bool XLocked(int x);
    bool YLocked(int y);
    int XPos() const { return m_nXPos.load(std::memory_order_relaxed); }
    int YPos() const { return m_nYPos.load(std::memory_order_relaxed); }

    // The mouse hook's per-move step: replaces the locked co-ordinates by the
    // lock positions (taking the move's own when none is held yet). True when a
    // lock applied. No allocation, no lock.
    bool ConstrainMove(LONG& x, LONG& y);

    void InvertX() { m_bInvertX = 1; }
    void UninvertX() { m_bInvertX = 0; }
    void InvertY() { m_bInvertY = 1; }
    void UninvertY() { m_bInvertY = 0; }
    void InvertXY() { m_bInvertX = 1; m_bInvertY = 1; }
    void UninvertXY() { m_bInvertX = 0; m_bInvertY = 0; }
    bool IsInverted() const { return IsXInverted() || IsYInverted(); }
    bool IsXInverted() const { return m_bInvertX.load(std::memory_order_relaxed) != 0; }
    bool IsYInverted() const { return m_bInvertY.load(std::memory_order_relaxed) != 0; }

    // A cursor on all 16 system cursors with the layer's overlay.
    void ChangeCursor(CSPIThread* thread, HCURSOR cursor, int layer);
    // The cursor for the whole current state; see LockAxis.cpp.
    bool ChangeCursor(CSPIThread* thread, const CApplicationSettings* profile, int layer, bool ignoreLocks,
                      bool cursorOption);
    void ResetCursor(CSPIThread* thread);

    HCURSOR CursorLockX() const { return m_hCursorLockX; }
    HCURSOR CursorLockY() const { return m_hCursorLockY; }
    HCURSOR CursorLockXY() const { return m_hCursorLockXY; }
    LockCursorShown LastCursorShown() const { return m_LastShown.load(); }

private:
    void ShowLock(CSPIThread* thread, int layer, LockCursorShown which);
    void ShowProfile(CSPIThread* thread, int layer, const CSettings* settings, const CApplicationSettings* profile,
                     bool ignoreLocks);
    void CopyFrom(const CLockAxis& other);

    std::atomic<unsigned char> m_bLockX{0};
    std::atomic<unsigned char> m_bLockY{0};
    std::atomic<unsigned char> m_bLockedToAxis{0};
    std::atomic<unsigned char> m_bOrigin{0};
    std::atomic<unsigned char> m_bInternalXY{0};
    std::atomic<unsigned char> m_bInvertX{0};
    std::atomic<unsigned char> m_bInvertY{0};
    std::atomic<int> m_nXPos{0};
    std::atomic<int> m_nYPos{0};
    HCURSOR m_hCursorLockX = nullptr;
    HCURSOR m_hCursorLockY = nullptr;
    HCURSOR m_hCursorLockXY = nullptr;
    std::atomic<LockCursorShown> m_LastShown{LockCursorShown::None};
    // Set by InitCursors: copies share the handles but never destroy them.
    bool m_bOwnsCursors = false;
};

extern CLockAxis g_LockAxis;
