#pragma once
// The volume and brightness on-screen displays: small translucent windows with
// a vertical level bar and the value below it. They appear when the value
// changes, hold for a moment and fade out; the user may drag the bar or turn
// the wheel over it to set the value.
//
// The main window creates both with itself as parent and hands their handles
// to the library (SetHookVolumeOSDWindow / SetHookBrightnessOSDWindow):
//   m_pVolumeOSD = CreateVolumeOSD(GetSafeHwnd());        // null on failure
//   if (m_pVolumeOSD) SetHookVolumeOSDWindow(m_pVolumeOSD->GetSafeHwnd());
// Removing: hand null to the library first, then reset the pointer (the
// destructor destroys the window).

#include <windows.h>

#include <memory>
#include <string>

#include "Dialog.h"
#include "OSDRules.h"

// What a display sets when the user drags or turns the wheel. The volume and
// brightness objects of the library sit behind it; tests give their own.
class IOSDValueTarget
{
public:
    virtual ~IOSDValueTarget() = default;
    // Applies a level 0..100; true when it took effect.
    virtual bool SetLevel(int level) = 0;
    // The window that receives the target's change notifications.
    virtual void SetNotifyWindow(HWND) {}
    // The default device changed: bind again.
    virtual void Reinitialise() {}
};

// The library's master-volume manager, created with (true, "Volume OSD", 0).
std::unique_ptr<IOSDValueTarget> CreateVolumeTarget();
// The library's monitor brightness, created with no window.
std::unique_ptr<IOSDValueTarget> CreateBrightnessTarget();

// The wheel setting (SPI_GETWHEELSCROLLLINES) a display created now counts
// notches by: the system's, or the one pinned, so that a test can give it the
// setting of any desktop. UnpinOSDWheelLines returns to the system's.
void PinOSDWheelLines(UINT lines);
void UnpinOSDWheelLines();

class COSDDlg : public CDialog
{
public:
    static constexpr UINT TimerFade = 1234;
    static constexpr int IdBar = 150;
    static constexpr int IdValue = 151;

    ~COSDDlg() override;

    // Creates the hidden window (modeless) with the given parent.
    bool Create(HWND parent);

    // BRMP_OSDShowWindow: wParam non-zero carries a level (low word of lParam)
    // and the muted flag (high word); 0 only shows the current value.
    LRESULT OnShowOSD(WPARAM wParam, LPARAM lParam);
    // The value changed elsewhere (wParam level, lParam muted).
    LRESULT OnValueNotification(WPARAM wParam, LPARAM lParam);

    const std::wstring& GetName() const { return m_strName; }
    int GetLevel() const { return m_nLevel; }
    bool IsMuted() const { return m_bMuted; }
    BYTE GetAlpha() const { return m_nAlpha; }
    int GetX() const { return m_nX; }
    int GetY() const { return m_nY; }
    // The text control 151 shows: "X" when muted, else the level.
    std::wstring GetValueText() const;
    const std::wstring& GetValueFont() const { return m_strFontFace; }

protected:
    COSDDlg(const wchar_t* name, int x, int y, int wheelStep, COLORREF levelFill,
            std::unique_ptr<IOSDValueTarget> target);

    // Applies the level the user chose; true when it took effect.
    virtual bool ValueChanged(int level) = 0;

    BOOL OnInitDialog() override;

    IOSDValueTarget* Target() const { return m_target.get(); }
    void SetTarget(std::unique_ptr<IOSDValueTarget> target) { m_target = std::move(target); }
    void SetX(int x) { m_nX = x; }

private:
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam);

    void Show(DWORD holdMs);
    void SetAlpha(BYTE alpha);
    void Repaint();
    bool LevelFromBarPoint(POINT screenPoint);
    void DrawBar(const DRAWITEMSTRUCT& item) const;
    void DrawValue(const DRAWITEMSTRUCT& item) const;

    BYTE m_nAlpha = 0;
    int m_nLevel = 0;
    bool m_bMuted = false;
    int m_nWheelStep;
    std::wstring m_strName;
    int m_nX;
    int m_nY;
    COLORREF m_crBarBackground = 0x6A6A6A;
    COLORREF m_crBarBackgroundMuted = 0x363636;
    COLORREF m_crThumb = 0xFFFFFF;
    COLORREF m_crThumbMuted = 0x6A6A6A;
    COLORREF m_crLevelFill;
    COLORREF m_crLevelFillMuted = 0x515151;
    std::wstring m_strFontFaceMuted;
    std::wstring m_strFontFace;
    COSDWheel m_wheel;
    std::unique_ptr<IOSDValueTarget> m_target;
};

class CVolumeOSDDlg : public COSDDlg
{
public:
    explicit CVolumeOSDDlg(std::unique_ptr<IOSDValueTarget> target = CreateVolumeTarget());
    ~CVolumeOSDDlg() override;

    // WRMP_OSDAudioDeviceChanged.
    LRESULT OnDeviceChanged(WPARAM wParam, LPARAM lParam);

protected:
    bool ValueChanged(int level) override;
    BOOL OnInitDialog() override;
};

class CBrightnessOSD : public COSDDlg
{
public:
    // Null factory: the library's brightness, created when the window is.
    explicit CBrightnessOSD(std::unique_ptr<IOSDValueTarget> target = nullptr);
    ~CBrightnessOSD() override;

protected:
    bool ValueChanged(int level) override;
    BOOL OnInitDialog() override;

private:
    bool m_bMakeTarget;
};

// Created with their windows (hidden); null when the window could not be made.
std::unique_ptr<CVolumeOSDDlg> CreateVolumeOSD(HWND parent);
std::unique_ptr<CBrightnessOSD> CreateBrightnessOSD(HWND parent);
