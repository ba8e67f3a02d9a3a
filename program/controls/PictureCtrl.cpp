#include "PictureCtrl.h"

#include "Application.h"

namespace
{
HBITMAP LoadProgramBitmap(int id)
{
    return static_cast<HBITMAP>(::LoadImageW(GetResourceInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP,
                                             0, 0, LR_DEFAULTCOLOR));
}
}

CPictureCtrl::CPictureCtrl()
    : m_windowBitmap(LoadProgramBitmap(kWindowBitmapId)), m_regionBitmap(LoadProgramBitmap(kRegionBitmapId))
{
}

CPictureCtrl::CPictureCtrl(HBITMAP windowBitmap, HBITMAP regionBitmap)
    : m_windowBitmap(windowBitmap), m_regionBitmap(regionBitmap)
{
}

void CPictureCtrl::PreSubclassWindow()
{
    CWindow::PreSubclassWindow();
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style | SS_OWNERDRAW);
}

bool CPictureCtrl::DrawItem(DRAWITEMSTRUCT* item)
{
    if (item == nullptr)
        return false;
    Paint(item->hDC, item->rcItem);
    return true;
}

void CPictureCtrl::Paint(HDC dc, const RECT& client)
{
    if (dc == nullptr)
        return;
    const UniqueDC memoryDc(::CreateCompatibleDC(dc));
    if (!memoryDc)
        return;
    const HDC memory = memoryDc.Get();
    const int R = client.right;
    const int T = client.top;
    if (m_windowBitmap)
    {
        const SelectedObject selected(memory, m_windowBitmap.Get());
        ::BitBlt(dc, R - 32, T, 32, 32, memory, 0, 0, SRCCOPY);
    }
    if (m_regionBitmap)
    {
        const SelectedObject selected(memory, m_regionBitmap.Get());
        BITMAP info{};
        ::GetObjectW(m_regionBitmap.Get(), sizeof(info), &info);
        const auto copy = [&](int x, int y) { ::BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY); };
        if (m_useWindowArea != 0)
        {
            copy(R - 23, T + 10);
        }
        else
        {
            if ((m_windowMask & 1) != 0)
                copy(R - 31, 5);
            if ((m_windowMask & 2) != 0)
                copy(R - 16, 5);
            if ((m_windowMask & 4) != 0)
                copy(R - 31, 18);
            if ((m_windowMask & 8) != 0)
                copy(R - 16, 18);
        }
    }
}
