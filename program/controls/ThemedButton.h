#pragma once
// Owner-drawn push buttons with an icon and optional text, drawn with the
// visual-styles theme when one is active and flat otherwise, with a grey icon
// when disabled and a hot look under the pointer.

#include <windows.h>
#include <uxtheme.h>

#include "Handles.h"
#include "Window.h"

// The theme functions, loaded at run time so that the program also runs where
// they are missing. All eight or none.
class CXThemeHelper
{
public:
    CXThemeHelper();
    ~CXThemeHelper();
    CXThemeHelper(const CXThemeHelper&) = delete;
    CXThemeHelper& operator=(const CXThemeHelper&) = delete;

    static CXThemeHelper& Get();

    bool IsAvailable() const { return m_available; }
    bool CloseThemeData(HTHEME theme) const;
    HTHEME OpenThemeData(HWND window, const wchar_t* classes) const;
    bool DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect) const;
    bool DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect) const;
    bool DrawThemeText(HTHEME theme, HDC dc, int part, int state, const wchar_t* text, int length, DWORD flags,
                       const RECT* rect) const;
    bool IsAppThemed() const;
    bool IsThemeActive() const;

private:
    using CloseThemeDataFn = HRESULT(WINAPI*)(HTHEME);
    using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*);
    using DrawThemeParentBackgroundFn = HRESULT(WINAPI*)(HWND, HDC, const RECT*);
    using DrawThemeTextFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*);
    using GetThemeBackgroundContentRectFn = HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, RECT*);
    using IsAppThemedFn = BOOL(WINAPI*)();
    using IsThemeActiveFn = BOOL(WINAPI*)();
    using OpenThemeDataFn = HTHEME(WINAPI*)(HWND, LPCWSTR);

    HMODULE m_module = nullptr;
    CloseThemeDataFn m_closeThemeData = nullptr;
    DrawThemeBackgroundFn m_drawThemeBackground = nullptr;
    DrawThemeParentBackgroundFn m_drawThemeParentBackground = nullptr;
    DrawThemeTextFn m_drawThemeText = nullptr;
    GetThemeBackgroundContentRectFn m_getThemeBackgroundContentRect = nullptr;
    IsAppThemedFn m_isAppThemed = nullptr;
    IsThemeActiveFn m_isThemeActive = nullptr;
    OpenThemeDataFn m_openThemeData = nullptr;
    bool m_available = false;
};

// Keeps the dialog's default-button handling right for an owner-drawn button.
class COddButton : public CWindow
{
public:
    COddButton();
    void ResetDefaultButton();

protected:
    void PreSubclassWindow() override;
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);

    int m_canBeDefault = 0;
    int m_isDefault = 0;
    int m_buttonType = 15;
};

class CXButtonXP : public COddButton
{
public:
    CXButtonXP();
    ~CXButtonXP() override;

    void SetIcon(UINT resourceId);
    // Takes ownership of the icon.
    void SetIconHandle(HICON icon);
    bool IsThemed() const;
    // A grey twin of the icon (the caller owns it), or null.
    static HICON CreateGrayscaleIcon(HICON icon);

    void SetToggleMode(bool toggle) { m_toggleMode = toggle; }
    bool IsToggled() const { return m_toggled; }
    void SetThemedDrawing(bool themed) { m_themedDrawing = themed; }
    bool IsHot() const { return m_hot; }
    HICON GetGrayIcon() const { return m_grayIcon.Get(); }

protected:
    bool DrawItem(DRAWITEMSTRUCT* item) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    void DrawIcon(HDC dc, const RECT& item, bool hasText, bool pressed, bool disabled, bool themed, RECT* textRect);
    void DrawText(HDC dc, const RECT& textRect, const wchar_t* text, bool pressed, bool disabled, bool themed);

    bool m_reopenTheme = true;
    bool m_hot = false;
    bool m_toggled = false;
    bool m_toggleMode = false;
    bool m_leftButtonDown = false;
    bool m_doubleClickPending = false;
    bool m_themedDrawing = true;
    HTHEME m_theme = nullptr;
    UniqueIcon m_icon;
    UniqueIcon m_grayIcon;
    int m_iconPosition = 1;
    COLORREF m_backgroundColour = static_cast<COLORREF>(-1);
    COLORREF m_textColour = static_cast<COLORREF>(-1);
};
