#pragma once
// Off-screen drawing: a memory bitmap and a double buffer that copies itself to
// the target when it goes out of scope, so owner-drawn controls never flicker.

#include <windows.h>

#include "Handles.h"

// A memory device context with a bitmap selected into it.
class CMemBitmap
{
public:
    // target: the reference context (the screen when none). externalBitmap:
    // drawn into instead of an own bitmap; BeginDraw with create deletes the
    // bitmap it holds and puts a new one there, which the caller owns.
    explicit CMemBitmap(HDC target = nullptr, HBITMAP* externalBitmap = nullptr);
    virtual ~CMemBitmap();
    CMemBitmap(const CMemBitmap&) = delete;
    CMemBitmap& operator=(const CMemBitmap&) = delete;

    // Prepares the memory context for a width x height bitmap (absolute values
    // are taken); create makes a new bitmap. False (and a log line) on failure.
    bool BeginDraw(int width, int height, bool create);

    HDC GetDC() const { return m_memDC.Get(); }
    HBITMAP GetBitmap() const { return m_pExternalBitmap != nullptr ? *m_pExternalBitmap : m_bitmap.Get(); }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

private:
    HDC m_hTargetDC;
    HBITMAP* m_pExternalBitmap;
    UniqueDC m_memDC;
    UniqueGdiObject<HBITMAP> m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// A double buffer over a window's client area or a rectangle of a target
// context: draw into GetDC(); destruction copies the buffer to the target,
// limited to the target's clip box.
class CSimpleMemDC
{
public:
    enum CopyMode
    {
        kPlainCopy = 1,
        kTransparentCopy = 2,
    };

    // Over window's client area (grown by its scroll positions), plain copy.
    CSimpleMemDC(HDC target, HWND window);
    // Over rect of target, drawn in target's coordinates.
    CSimpleMemDC(HDC target, const RECT& rect, int copyMode = kPlainCopy);
    virtual ~CSimpleMemDC();
    CSimpleMemDC(const CSimpleMemDC&) = delete;
    CSimpleMemDC& operator=(const CSimpleMemDC&) = delete;

    // The context to draw into: the buffer, or the target itself when no buffer
    // could be made (then nothing is copied at the end).
    HDC GetDC() const;
    bool HasBuffer() const { return m_bBuffered; }

    void SetTransparentColour(COLORREF colour) { m_crTransparent = colour; }
    void SetRasterOperation(DWORD rop) { m_dwRop = rop; }
    const RECT& GetRect() const { return m_rect; }

private:
    void CopyToTarget();

    DWORD m_dwRop = SRCCOPY;
    HDC m_hTargetDC;
    RECT m_rect = {};
    CMemBitmap m_bitmap;
    HWND m_hWnd = nullptr;
    int m_nCopyMode = kPlainCopy;
    COLORREF m_crTransparent = 0;
    POINT m_ptOldOrigin = {};
    bool m_bBuffered = false;
};
