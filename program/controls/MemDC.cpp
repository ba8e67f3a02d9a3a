#include "MemDC.h"

#include <cstdlib>
#include <optional>

#include "Handles.h"
#include "Logger.h"

CMemBitmap::CMemBitmap(HDC target, HBITMAP* externalBitmap) : m_hTargetDC(target), m_pExternalBitmap(externalBitmap)
{
}

CMemBitmap::~CMemBitmap()
{
    // Our bitmap is deselected before the owners delete the context and it.
    if (m_memDC && m_hOldBitmap != nullptr)
        ::SelectObject(m_memDC.Get(), m_hOldBitmap);
}

bool CMemBitmap::BeginDraw(int width, int height, bool create)
{
    width = std::abs(width);
    height = std::abs(height);

    // The screen context is only borrowed for the compatible objects.
    std::optional<WindowDC> screen;
    HDC reference = m_hTargetDC;
    if (reference == nullptr)
    {
        screen.emplace(::GetDesktopWindow(), true);
        reference = screen->Get();
    }

    if (!m_memDC)
    {
        m_memDC.Reset(::CreateCompatibleDC(reference));
        if (!m_memDC)
        {
            CLogger::LogOSMessage(::GetLastError(), L"CMemBitmap::BeginDraw Unable to create compatible DC");
            return false;
        }
    }

    if (create)
    {
        // A bitmap still selected into our context cannot be deleted.
        if (m_hOldBitmap != nullptr)
        {
            ::SelectObject(m_memDC.Get(), m_hOldBitmap);
            m_hOldBitmap = nullptr;
        }
        const HBITMAP fresh = ::CreateCompatibleBitmap(reference, width, height);
        if (m_pExternalBitmap != nullptr)
        {
            if (*m_pExternalBitmap != nullptr)
                ::DeleteObject(*m_pExternalBitmap);
            *m_pExternalBitmap = fresh;
        }
        else
        {
            m_bitmap.Reset(fresh);
        }
        if (fresh == nullptr)
        {
            CLogger::LogOSMessage(::GetLastError(), L"CMemBitmap::BeginDraw Unable to create compatible bitmap");
            return false;
        }
    }

    m_nWidth = width;
    m_nHeight = height;
    const HBITMAP bitmap = GetBitmap();
    HGDIOBJ old = bitmap != nullptr ? ::SelectObject(m_memDC.Get(), bitmap) : nullptr;
    if (old == nullptr || old == HGDI_ERROR)
    {
        CLogger::LogOSMessage(::GetLastError(), L"CMemBitmap::BeginDraw Unable to select bitmap object");
        return false;
    }
    // Keep the context's original bitmap when one of ours was already selected.
    if (m_hOldBitmap == nullptr)
        m_hOldBitmap = old;
    return true;
}

CSimpleMemDC::CSimpleMemDC(HDC target, HWND window) : m_hTargetDC(target), m_bitmap(target), m_hWnd(window)
{
    ::GetClientRect(window, &m_rect);
    m_rect.right += ::GetScrollPos(window, SB_HORZ);
    m_rect.bottom += ::GetScrollPos(window, SB_VERT);
    m_bBuffered = m_bitmap.BeginDraw(m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, true);
}

CSimpleMemDC::CSimpleMemDC(HDC target, const RECT& rect, int copyMode)
    : m_hTargetDC(target), m_rect(rect), m_bitmap(target), m_nCopyMode(copyMode)
{
    m_bBuffered = m_bitmap.BeginDraw(rect.right - rect.left, rect.bottom - rect.top, true);
    if (m_bBuffered)
        ::SetWindowOrgEx(m_bitmap.GetDC(), rect.left, rect.top, &m_ptOldOrigin);
}

CSimpleMemDC::~CSimpleMemDC()
{
    if (m_bBuffered)
        CopyToTarget();
}

HDC CSimpleMemDC::GetDC() const
{
    return m_bBuffered ? m_bitmap.GetDC() : m_hTargetDC;
}

void CSimpleMemDC::CopyToTarget()
{
    const HDC memory = m_bitmap.GetDC();
    RECT clip = {};
    const int clipKind = ::GetClipBox(m_hTargetDC, &clip);
    RECT copy = {};
    POINT source = {};
    if (m_hWnd != nullptr)
    {
        if (clipKind == NULLREGION || clipKind == ERROR)
            return;
        // Never read beyond the buffer, whatever the clip box says.
        if (clipKind == SIMPLEREGION)
        {
            if (!::IntersectRect(&copy, &clip, &m_rect))
                return;
        }
        else
        {
            copy = m_rect;
        }
        source = {copy.left, copy.top};
    }
    else
    {
        ::SetWindowOrgEx(memory, m_ptOldOrigin.x, m_ptOldOrigin.y, nullptr);
        if (clipKind == NULLREGION || clipKind == ERROR || !::IntersectRect(&copy, &clip, &m_rect))
            return;
        source = {copy.left - m_rect.left, copy.top - m_rect.top};
    }

    const int width = copy.right - copy.left;
    const int height = copy.bottom - copy.top;
    BOOL copied;
    if (m_nCopyMode == kTransparentCopy)
        copied = ::TransparentBlt(m_hTargetDC, copy.left, copy.top, width, height, memory, source.x, source.y, width,
                                  height, m_crTransparent);
    else
        copied = ::BitBlt(m_hTargetDC, copy.left, copy.top, width, height, memory, source.x, source.y, m_dwRop);
    if (!copied)
        CLogger::LogOSMessage(::GetLastError(), L"CSimpleMemDC: Error: PaintResult returned FALSE");
}
