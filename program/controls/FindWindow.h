#pragma once
// The modal "Find Window" dialog: describes the window a profile applies to
// (caption, process, class, parent class, match type, regions of the window,
// matching options). The user drags the finder icon onto a window, or ticks
// Hover and moves the mouse over windows, or types the details; the window
// under the cursor is outlined and fills the fields.
//
// While a search runs the dialogs above the finder (its owners) are hidden;
// whatever ends the search (button release, lost capture, Escape, Hover
// unticked, OK, Cancel, destruction) shows them again and restores the cursor.

#include <windows.h>

#include <string>
#include <vector>

#include "DataExchange.h"
#include "Dialog.h"
#include "Handles.h"

class CLangSupport;

class CFindWindow : public CDialog
{
public:
    // A new profile: the process typed so far and a description.
    CFindWindow(CWindow* parent, const std::wstring& process, const std::wstring& description);
    // An existing window profile.
    CFindWindow(CWindow* parent, const std::wstring& caption, const std::wstring& process, const std::wstring& className,
                const std::wstring& parentClass, const std::wstring& description, int matchType, bool noParent,
                bool regEx, int windowMask, bool useArea, const RECT& area);
    ~CFindWindow() override;

    // The English name of a match type 1-5; null for any other.
    static const wchar_t* MatchTypeName(int matchType);

    BOOL PreTranslateMessage(MSG* msg) override;

    bool IsDragging() const { return m_dragging; }
    bool IsHovering() const { return m_hovering; }

    // Results, read after IDOK.
    std::wstring m_process;
    std::wstring m_caption;
    std::wstring m_handleText;
    std::wstring m_class;
    std::wstring m_parentClass;
    std::wstring m_description;
    bool m_noParent = false;
    bool m_regEx = false;
    int m_windowMask = 15;
    bool m_useArea = false;
    RECT m_area{};
    int m_matchType = 1;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    // The tooltip of the dialog's controls; null when it cannot be made.
    virtual HWND CreateTooltip();

private:
    void Construct();
    void BeginDrag();
    void EndDrag();
    void HideAncestors();
    void ShowAncestors();
    void TrackWindow(HWND window);
    bool IsCandidate(HWND window) const;
    void FillFrom(HWND window);
    void Highlight(HWND window);
    void RemoveHighlight();
    void StopHover();
    void CleanUp();
    void AddTip(int id, const std::wstring& text);
    void EnableAreaControls();

    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnCancelMode(WPARAM wParam, LPARAM lParam);
    LRESULT OnFindHover(WPARAM wParam, LPARAM lParam);
    void OnHover();
    void OnCaptionCheck();
    void OnAreaCheck();

    bool m_dragging = false;
    bool m_hovering = false;
    UniqueGdiObject<HBITMAP> m_finderBitmap;
    UniqueGdiObject<HBITMAP> m_emptyBitmap;
    HCURSOR m_savedCursor = nullptr;
    HWND m_highlighted = nullptr;
    std::vector<HWND> m_ancestors;
    std::vector<HWND> m_hiddenAncestors;
    HWND m_tooltip = nullptr;
    int m_top = 0;
    int m_left = 0;
    int m_bottom = 0;
    int m_right = 0;
    CNumberFields m_numbers;
    CLangSupport* m_language;
};
