#pragma once
// An owner-drawn list box with hot tracking, a gradient selection highlight,
// optional item icons, group separators and shading, and a tooltip per item
// that shows the item's full text. Every drawing step is a virtual operation,
// so a derived list changes texts, data, images or colours alone.
//
// CComboListBox is the list part of a combo: it forwards the tooltip's show
// and pop to its owner.

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "CustomDrawToolTipCtrl.h"
#include "Window.h"

class CActionData;

class CCustomDrawListBox : public CWindow
{
public:
    CCustomDrawListBox();
    ~CCustomDrawListBox() override;

    virtual CCustomDrawToolTipCtrl& GetToolTip() { return m_toolTip; }
    virtual bool HotTrackingEnabled() const { return true; }
    virtual std::wstring GetItemText(int index);
    // The item's action record (drives shading and separators), or null;
    // startsGroup: the item begins a new group.
    virtual CActionData* GetItemData(int index, bool& startsGroup);
    virtual int GetItemImage(int) { return -1; }
    virtual void DrawItemBackground(HDC dc, const RECT& rect, const DRAWITEMSTRUCT& item);
    virtual bool DrawItemIcon(HDC dc, const RECT& rect, const DRAWITEMSTRUCT& item);
    virtual void DrawItemText(HDC dc, const RECT& rect, const DRAWITEMSTRUCT& item);
    virtual COLORREF GetItemTextColour(const DRAWITEMSTRUCT& item);
    virtual bool ItemHasToolTip(int) { return true; }
    virtual std::wstring GetToolTipText(int index) { return GetItemText(index); }
    virtual void OnToolTipItemChanged(int) {}
    virtual void OnToolTipShow(int) {}
    virtual void OnToolTipPop() {}
    virtual bool IsInComboBox() const;
    virtual void SetupToolTip();
    virtual void OnDestroying() {}

    // Source of item icons (not owned); none by default.
    void SetImageList(HIMAGELIST images) { m_images = images; }
    int GetHotItem() const { return m_hotItem; }

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void PreSubclassWindow() override;
    bool DrawItem(DRAWITEMSTRUCT* item) override;
    bool MeasureItem(MEASUREITEMSTRUCT*) override { return true; }
    bool CompareItem(COMPAREITEMSTRUCT*, int* result) override
    {
        *result = 0;
        return true;
    }

    // The tooltip part of mouse-move handling (after hot tracking).
    void UpdateToolTipForPoint(POINT client);
    int ItemFromPoint(POINT client) const;
    void UpdateHotItem(int item);

    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    // The tooltip's show (0) and pop (1) notice.
    virtual LRESULT OnToolTipShowPop(WPARAM wParam, LPARAM lParam);

    bool m_trackingLeave = false;

private:
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseLeave(WPARAM wParam, LPARAM lParam);
    LRESULT OnFocusChange(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDispInfo(NMHDR* header);
    void InvalidateItem(int item);

    HIMAGELIST m_images = nullptr;
    int m_hotItem = -1;
    CCustomDrawToolTipCtrl m_toolTip;
    bool m_explorerTheme = false;
    UniqueGdiObject<HPEN> m_separatorPen;
};

class CComboListBox : public CCustomDrawListBox
{
public:
    CComboListBox();
    void SetOwnerWindow(CWindow* owner) { m_owner = owner; }
    CWindow* GetOwnerWindow() const { return m_owner; }
    // The drop-down of a combo is a plain list box (no LBS_COMBOBOX, which
    // some systems read as a request for combo data): its owner says it.
    bool IsInComboBox() const override;

protected:
    LRESULT OnToolTipShowPop(WPARAM wParam, LPARAM lParam) override;

    CWindow* m_owner = nullptr;
};
