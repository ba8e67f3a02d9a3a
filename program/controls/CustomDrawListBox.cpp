#include "CustomDrawListBox.h"

#include <uxtheme.h>
#include <windowsx.h>

#include "ActionData.h"
#include "ActionList.h"
#include "Drawing.h"
#include "Handles.h"
#include "MemDC.h"
#include "ThemedButton.h"

namespace
{
constexpr COLORREF kShadedItem = RGB(244, 244, 244);
constexpr UINT_PTR kToolId = 1;

TOOLINFOW ListTool(HWND list)
{
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = list;
    tool.uId = kToolId;
    ::GetClientRect(list, &tool.rect);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    return tool;
}
}

CCustomDrawListBox::CCustomDrawListBox() : m_separatorPen(::CreatePen(PS_SOLID, 1, RGB(76, 151, 227)))
{
    BindMessage(WM_CREATE, &CCustomDrawListBox::OnCreate);
    BindMessage(WM_MOUSEMOVE, &CCustomDrawListBox::OnMouseMove);
    BindMessage(WM_MOUSELEAVE, &CCustomDrawListBox::OnMouseLeave);
    BindMessage(WM_SETFOCUS, &CCustomDrawListBox::OnFocusChange);
    BindMessage(WM_KILLFOCUS, &CCustomDrawListBox::OnFocusChange);
    BindMessage(WM_DESTROY, &CCustomDrawListBox::OnDestroy);
    BindMessage(kToolTipShowPopMessage, [this](WPARAM w, LPARAM l) { return OnToolTipShowPop(w, l); });
    BindNotifyRange(TTN_GETDISPINFOW, 0, static_cast<UINT_PTR>(-1), &CCustomDrawListBox::OnGetDispInfo);
    BindNotifyRange(TTN_GETDISPINFOA, 0, static_cast<UINT_PTR>(-1), &CCustomDrawListBox::OnGetDispInfo);
}

CCustomDrawListBox::~CCustomDrawListBox()
{
    m_toolTip.DestroyWindow();
    DestroyWindow();
}

LRESULT CCustomDrawListBox::OnCreate(WPARAM, LPARAM)
{
    if (Default() == -1)
        return -1;
    SetupToolTip();
    return 0;
}

void CCustomDrawListBox::PreSubclassWindow()
{
    if (!IsBeingCreated())
        SetupToolTip();
}

void CCustomDrawListBox::SetupToolTip()
{
    if (!m_toolTip.IsWindow() && !m_toolTip.Create(m_hWnd))
        return;
    m_toolTip.SendMessage(TTM_ACTIVATE, TRUE);
    m_explorerTheme = false;
    const CXThemeHelper& theme = CXThemeHelper::Get();
    if (theme.IsAvailable() && theme.IsAppThemed() && theme.IsThemeActive() && IsWindowsVersionAtLeast(0x0600))
    {
        if (const HTHEME data = theme.OpenThemeData(m_hWnd, L"ListBox"))
        {
            theme.CloseThemeData(data);
            // Visual styles are loaded at run time, like the rest of the theme functions.
            using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
            const HMODULE module = ::GetModuleHandleW(L"uxtheme.dll");
            const auto setTheme = module != nullptr ? reinterpret_cast<SetWindowThemeFn>(
                                                          reinterpret_cast<void*>(::GetProcAddress(module, "SetWindowTheme")))
                                                    : nullptr;
            m_explorerTheme = setTheme != nullptr && SUCCEEDED(setTheme(m_hWnd, L"Explorer", nullptr));
        }
    }
}

std::wstring CCustomDrawListBox::GetItemText(int index)
{
    const LRESULT length = SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index));
    if (length == LB_ERR || length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

CActionData* CCustomDrawListBox::GetItemData(int, bool& startsGroup)
{
    // A plain list holds no action records: only a derived list knows what its
    // item data are.
    startsGroup = false;
    return nullptr;
}

bool CCustomDrawListBox::IsInComboBox() const
{
    if ((::GetWindowLongW(m_hWnd, GWL_STYLE) & 0x8000) != 0)
        return true;
    wchar_t className[32] = {};
    ::GetClassNameW(::GetParent(m_hWnd), className, 32);
    return ::lstrcmpiW(className, L"ComboBox") == 0;
}

bool CCustomDrawListBox::DrawItem(DRAWITEMSTRUCT* item)
{
    if (static_cast<int>(item->itemID) < 0)
        return true;
    CSimpleMemDC memory(item->hDC, item->rcItem, CSimpleMemDC::kPlainCopy);
    const HDC dc = memory.GetDC();
    const SelectedObject selectedFont(dc, ::GetCurrentObject(item->hDC, OBJ_FONT));
    DRAWITEMSTRUCT draw = *item;
    draw.hDC = dc;
    DrawItemBackground(dc, item->rcItem, draw);
    RECT text = item->rcItem;
    if (DrawItemIcon(dc, item->rcItem, draw))
    {
        int width = 0, height = 0;
        ImageList_GetIconSize(m_images, &width, &height);
        text.left += width + 4 + 2;
    }
    else
    {
        text.left += 2;
    }
    DrawItemText(dc, text, draw);
    return true;
}

void CCustomDrawListBox::DrawItemBackground(HDC dc, const RECT& rect, const DRAWITEMSTRUCT& item)
{
    const bool enabled = ::IsWindowEnabled(m_hWnd) != FALSE;
    COLORREF fill = ::GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    if (enabled)
    {
        bool startsGroup = false;
        if (const CActionData* data = GetItemData(static_cast<int>(item.itemID), startsGroup))
        {
            if (GetActionCategory(data->Action()) % 2 == 1)
                fill = kShadedItem;
        }
    }
    const UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(fill));
    ::FillRect(dc, &rect, brush.Get());
    if (!enabled)
        return;
    CCustomDrawHelper helper;
    helper.m_hWnd = m_hWnd;
    helper.m_bFocused = IsInComboBox() || ::GetFocus() == m_hWnd;
    helper.m_bHot = HotTrackingEnabled() && static_cast<int>(item.itemID) == m_hotItem;
    helper.m_bSelected = (item.itemState & ODS_SELECTED) != 0;
    helper.m_bFocusCue = (item.itemState & ODS_FOCUS) != 0;
    helper.DrawItemHighlight(dc, rect);
}

bool CCustomDrawListBox::DrawItemIcon(HDC dc, const RECT& rect, const DRAWITEMSTRUCT& item)
{
    if (m_images == nullptr)
        return false;
    const int image = GetItemImage(static_cast<int>(item.itemID));
    if (image < 0)
        return false;
    int width = 0, height = 0;
    ImageList_GetIconSize(m_images, &width, &height);
    const UniqueIcon icon(ImageList_GetIcon(m_images, image, ILD_NORMAL));
    if (!icon)
        return false;
    ::DrawIconEx(dc, rect.left + 4, rect.top + (rect.bottom - rect.top - height) / 2, icon.Get(), width, height, 0,
                 nullptr, DI_NORMAL);
    return true;
}

COLORREF CCustomDrawListBox::GetItemTextColour(const DRAWITEMSTRUCT&)
{
    return ::IsWindowEnabled(m_hWnd) ? static_cast<COLORREF>(-1) : ::GetSysColor(COLOR_GRAYTEXT);
}

void CCustomDrawListBox::DrawItemText(HDC dc, const RECT& rect, const DRAWITEMSTRUCT& item)
{
    const int index = static_cast<int>(item.itemID);
    const std::wstring text = GetItemText(index);
    bool startsGroup = false;
    if (GetItemData(index, startsGroup) != nullptr && startsGroup)
    {
        const SelectedObject selectedPen(dc, m_separatorPen.Get());
        ::MoveToEx(dc, rect.left, rect.top, nullptr);
        ::LineTo(dc, rect.right, rect.top);
    }
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF colour = GetItemTextColour(item);
    COLORREF oldColour = 0;
    if (colour != static_cast<COLORREF>(-1))
        oldColour = ::SetTextColor(dc, colour);
    RECT area = rect;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (colour != static_cast<COLORREF>(-1))
        ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
}

int CCustomDrawListBox::ItemFromPoint(POINT client) const
{
    const LRESULT result = ::SendMessageW(m_hWnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.x, client.y));
    if (HIWORD(result) != 0)
        return -1;
    const int item = LOWORD(result);
    const LRESULT count = ::SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0);
    return item < count ? item : -1;
}

void CCustomDrawListBox::InvalidateItem(int item)
{
    RECT rect{};
    if (item >= 0 && ::SendMessageW(m_hWnd, LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rect)) !=
                         LB_ERR)
        ::InvalidateRect(m_hWnd, &rect, FALSE);
}

void CCustomDrawListBox::UpdateHotItem(int item)
{
    if (!HotTrackingEnabled() || item == m_hotItem)
        return;
    const int old = m_hotItem;
    m_hotItem = item;
    InvalidateItem(old);
    InvalidateItem(item);
    ::UpdateWindow(m_hWnd);
}

LRESULT CCustomDrawListBox::OnMouseMove(WPARAM, LPARAM lParam)
{
    const LRESULT result = Default();
    if (HotTrackingEnabled() && !m_trackingLeave)
    {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWnd, 0};
        m_trackingLeave = ::TrackMouseEvent(&track) != FALSE;
    }
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    UpdateHotItem(ItemFromPoint(point));
    UpdateToolTipForPoint(point);
    return result;
}

void CCustomDrawListBox::UpdateToolTipForPoint(POINT client)
{
    const int item = ItemFromPoint(client);
    if (!ItemHasToolTip(item))
        return;
    CCustomDrawToolTipCtrl& tip = GetToolTip();
    if (!tip.IsWindow())
        return;
    if (tip.m_currentItem == item && tip.m_refreshMark == -1)
        return;
    tip.m_currentItem = item;
    tip.m_refreshMark = -1;
    TOOLINFOW tool = ListTool(m_hWnd);
    if (tip.SendMessage(TTM_GETTOOLCOUNT) > 0)
    {
        tip.SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        tip.SendMessage(TTM_ACTIVATE, FALSE);
    }
    if (item < 0)
        return;
    tip.SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    OnToolTipItemChanged(item);
    tip.SendMessage(TTM_ACTIVATE, TRUE);
    // The move that brought the pointer here was relayed before the tool
    // existed: relay it again, so the hover delay starts without a further move.
    MSG move{m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y), static_cast<DWORD>(::GetMessageTime()), {}};
    ::GetCursorPos(&move.pt);
    tip.SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

LRESULT CCustomDrawListBox::OnMouseLeave(WPARAM, LPARAM)
{
    const LRESULT result = Default();
    m_trackingLeave = false;
    if (m_hotItem != -1)
    {
        InvalidateItem(m_hotItem);
        m_hotItem = -1;
    }
    return result;
}

LRESULT CCustomDrawListBox::OnGetDispInfo(NMHDR* header)
{
    if (header->idFrom == 0)
        return 0;
    const DWORD position = ::GetMessagePos();
    POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ::ScreenToClient(m_hWnd, &point);
    const int item = ItemFromPoint(point);
    if (item < 0 || !ItemHasToolTip(item))
        return 0;
    std::wstring text = GetToolTipText(item);
    if (text.empty())
        text = GetItemText(item);
    if (text.empty())
        return 0;
    if (header->code == TTN_GETDISPINFOW)
        GetToolTip().SetDispInfoText(reinterpret_cast<NMTTDISPINFOW*>(header), text.c_str());
    else
        GetToolTip().SetDispInfoText(reinterpret_cast<NMTTDISPINFOA*>(header), text.c_str());
    return 0;
}

LRESULT CCustomDrawListBox::OnToolTipShowPop(WPARAM wParam, LPARAM)
{
    if (wParam == 0)
        OnToolTipShow(GetToolTip().m_currentItem);
    else
        OnToolTipPop();
    return 0;
}

LRESULT CCustomDrawListBox::OnFocusChange(WPARAM, LPARAM)
{
    const LRESULT result = Default();
    if (!IsInComboBox())
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    return result;
}

LRESULT CCustomDrawListBox::OnDestroy(WPARAM, LPARAM)
{
    OnDestroying();
    return Default();
}

BOOL CCustomDrawListBox::PreTranslateMessage(MSG* msg)
{
    if (m_toolTip.IsWindow() && msg->hwnd == m_hWnd)
        m_toolTip.SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return CWindow::PreTranslateMessage(msg);
}

CComboListBox::CComboListBox() = default;

bool CComboListBox::IsInComboBox() const
{
    return m_owner != nullptr || CCustomDrawListBox::IsInComboBox();
}

LRESULT CComboListBox::OnToolTipShowPop(WPARAM wParam, LPARAM lParam)
{
    if (IsInComboBox() && m_owner != nullptr && m_owner->IsWindow())
        return m_owner->SendMessage(kToolTipShowPopMessage, wParam, lParam);
    return CCustomDrawListBox::OnToolTipShowPop(wParam, lParam);
}
