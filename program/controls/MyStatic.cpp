#include "MyStatic.h"

#include <string>

CMyStatic::CMyStatic()
{
    BindMessage(WM_PAINT, &CMyStatic::OnPaint);
    BindMessage(WM_PRINTCLIENT, &CMyStatic::OnPrintClient);
}

void CMyStatic::Paint(HDC dc)
{
    if (dc == nullptr || m_hWnd == nullptr)
        return;
    std::wstring text = GetWindowText();
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    const HGDIOBJ oldFont = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);

    // Only the alignment bits: anything else in the flags would change what
    // DrawText does with the rectangle.
    const UINT alignment = static_cast<UINT>(m_alignment) & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM);
    const UINT format = alignment | DT_WORDBREAK | DT_HIDEPREFIX;
    RECT measured = client;
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &measured, format | DT_CALCRECT);

    int dy = 0;
    if ((alignment & DT_VCENTER) != 0)
        dy = (client.top + client.bottom) / 2 - (measured.top + measured.bottom) / 2;
    else if ((alignment & DT_BOTTOM) != 0)
        dy = client.bottom - measured.bottom;
    int dx = 0;
    if ((alignment & DT_CENTER) != 0)
        dx = (client.left + client.right) / 2 - (measured.left + measured.right) / 2;
    else if ((alignment & DT_RIGHT) != 0)
        dx = client.right - measured.right;
    ::OffsetRect(&measured, dx, dy);

    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &measured, format);
    ::SetBkMode(dc, oldMode);
    if (oldFont != nullptr)
        ::SelectObject(dc, oldFont);
}

LRESULT CMyStatic::OnPaint(WPARAM, LPARAM)
{
    PAINTSTRUCT ps{};
    const HDC dc = ::BeginPaint(m_hWnd, &ps);
    Paint(dc);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CMyStatic::OnPrintClient(WPARAM wParam, LPARAM)
{
    Paint(reinterpret_cast<HDC>(wParam));
    return 0;
}
