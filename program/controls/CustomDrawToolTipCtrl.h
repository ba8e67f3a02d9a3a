#pragma once
// A tooltip control that sizes, places and paints itself: a gradient
// background, a one-pixel frame with rounded corners and the body text, with
// optional extras (a body icon, a note with a bitmap, a description with its
// own icon below a separator). It tells its owner when it shows and hides
// (kToolTipShowPopMessage: wParam 0 shown, 1 popped).
//
// The owner creates it for itself (Create), adds its tools, relays its mouse
// messages (TTM_RELAYEVENT) and answers the text requests through
// SetDispInfoText. Icons and the bitmap set for one showing belong to the
// tooltip and are discarded when it hides.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "Handles.h"
#include "Window.h"

constexpr UINT kToolTipShowPopMessage = 0x0A00;

class CCustomDrawToolTipCtrl : public CWindow
{
public:
    CCustomDrawToolTipCtrl();
    ~CCustomDrawToolTipCtrl() override;

    // Creates the tooltip window owned by owner (TTS_ALWAYSTIP | TTS_NOPREFIX
    // plus extraStyle).
    bool Create(HWND owner, DWORD extraStyle = 0);

    virtual void SetBodyText(const wchar_t* text);
    virtual void SetDescription(const wchar_t* text);
    virtual void SetNote(const wchar_t* text);
    virtual SIZE GetBodyIconSize() const;
    virtual SIZE GetDescriptionIconSize() const;
    virtual SIZE GetBitmapSize() const;
    virtual void SetBodyIcon(HICON icon);
    virtual void SetDescriptionIcon(HICON icon);
    virtual void SetBitmap(HBITMAP bitmap);
    virtual void DrawTipBackground(HDC dc, const RECT& rect);
    virtual void DrawTipFrame(HDC dc, const RECT& rect, COLORREF colour);
    virtual void DrawBodyIcon(HDC dc, POINT at);
    virtual SIZE DrawBodyText(HDC dc, const RECT& rect, bool measureOnly);
    virtual SIZE DrawNoteArea(HDC dc, const RECT& rect, bool measureOnly);
    virtual void DrawBitmap(HDC dc, POINT at);
    virtual SIZE DrawNote(HDC dc, const RECT& rect, bool measureOnly);
    virtual void DrawDescriptionIcon(HDC dc, POINT at);
    virtual SIZE DrawDescription(HDC dc, const RECT& rect, bool measureOnly);
    virtual void DrawSeparator(HDC dc, int left, int right, int y);

    // Answers a TTN_GETDISPINFO notification with text. A text that fits the
    // notification's own 80-character buffer (after conversion, for the ANSI
    // one) is copied there; a longer one is kept by the tooltip and pointed at.
    void SetDispInfoText(NMTTDISPINFOW* info, const wchar_t* text);
    void SetDispInfoText(NMTTDISPINFOA* info, const wchar_t* text);

    // A position for the next showing in screen coordinates (-1, -1: none).
    void SetRequestedPosition(POINT position) { m_requested = position; }
    void SetBalloonMode(bool balloon) { m_balloon = balloon; }

    // Which list item the tooltip shows, kept by the owning list.
    int m_currentItem = -1;
    int m_refreshMark = -1;

    // Look (public like the colours of a plain control's properties).
    bool m_showBodyIcon = true;
    bool m_showDescription = true;
    bool m_roundedCorners = true;
    bool m_boldBodyWithExtras = true;
    bool m_descriptionSeparator = true;
    int m_descriptionWidth = 200;
    int m_minimumWidth = 0;
    COLORREF m_backgroundTop = RGB(255, 255, 255);
    COLORREF m_backgroundBottom = RGB(201, 217, 239);
    COLORREF m_textColour = RGB(76, 76, 76);
    COLORREF m_frameColour = RGB(107, 107, 107);
    int m_separatorColourSelector = -1;
    bool m_showNote = false;
    bool m_showDescriptionIcon = false;
    bool m_showBitmap = false;
    bool m_descriptionBold = false;
    int m_tabLength = 4;

private:
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetFont(WPARAM wParam, LPARAM lParam);
    LRESULT OnShow(NMHDR* header);
    LRESULT OnPop(NMHDR* header);
    void NotifyOwner(WPARAM shownOrPopped);
    HFONT FontFor(bool bold);
    SIZE DrawTextPart(HDC dc, const std::wstring& text, const RECT& rect, UINT format, bool bold, bool measureOnly);
    bool HasExtras() const;
    std::wstring BodyText() const;
    void SetMargins();
    void DiscardExtras();

    int m_marginX = 0;
    int m_marginY = 0;
    std::wstring m_description;
    POINT m_requested = {-1, -1};
    std::wstring m_note;
    std::wstring m_body;
    UniqueIcon m_bodyIcon;
    UniqueIcon m_descriptionIcon;
    UniqueGdiObject<HBITMAP> m_bitmap;
    std::string m_longNarrowText;
    std::wstring m_longWideText;
    bool m_balloon = false;
    HFONT m_font = nullptr;
    UniqueGdiObject<HFONT> m_boldFont;
    int m_bodyHeight = 0;
};
