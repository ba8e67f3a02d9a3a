#pragma once
// Small owners of Win32 handles: each releases its handle in its destructor.

#include <windows.h>

#include <utility>

// Owner of a handle closed with CloseHandle (files, events, threads, mutexes).
// Both null and INVALID_HANDLE_VALUE mean "no handle".
class UniqueHandle
{
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return IsValid(); }
    HANDLE Release() { return std::exchange(m_handle, nullptr); }
    void Reset(HANDLE handle = nullptr)
    {
        if (IsValid())
            ::CloseHandle(m_handle);
        m_handle = handle;
    }

private:
    HANDLE m_handle = nullptr;
};

// Owner of an open registry key.
class UniqueRegKey
{
public:
    UniqueRegKey() = default;
    explicit UniqueRegKey(HKEY key) : m_key(key) {}
    ~UniqueRegKey() { Reset(); }
    UniqueRegKey(UniqueRegKey&& other) noexcept : m_key(std::exchange(other.m_key, nullptr)) {}
    UniqueRegKey& operator=(UniqueRegKey&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.m_key, nullptr));
        return *this;
    }
    UniqueRegKey(const UniqueRegKey&) = delete;
    UniqueRegKey& operator=(const UniqueRegKey&) = delete;

    HKEY Get() const { return m_key; }
    HKEY* Put() { Reset(); return &m_key; }
    explicit operator bool() const { return m_key != nullptr; }
    void Reset(HKEY key = nullptr)
    {
        if (m_key != nullptr)
            ::RegCloseKey(m_key);
        m_key = key;
    }

private:
    HKEY m_key = nullptr;
};

// Owner of a GDI object (pen, brush, font, bitmap, region).
template <typename T>
class UniqueGdiObject
{
public:
    UniqueGdiObject() = default;
    explicit UniqueGdiObject(T object) : m_object(object) {}
    ~UniqueGdiObject() { Reset(); }
    UniqueGdiObject(UniqueGdiObject&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.m_object, nullptr));
        return *this;
    }
    UniqueGdiObject(const UniqueGdiObject&) = delete;
    UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;

    T Get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    T Release() { return std::exchange(m_object, nullptr); }
    void Reset(T object = nullptr)
    {
        if (m_object != nullptr)
            ::DeleteObject(m_object);
        m_object = object;
    }

private:
    T m_object = nullptr;
};

// Owner of a handle released by one call taking the handle alone (memory DCs,
// icons, cursors).
template <typename T, BOOL(WINAPI* Free)(T)>
class UniqueUserHandle
{
public:
    UniqueUserHandle() = default;
    explicit UniqueUserHandle(T handle) : m_handle(handle) {}
    ~UniqueUserHandle() { Reset(); }
    UniqueUserHandle(UniqueUserHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueUserHandle& operator=(UniqueUserHandle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    UniqueUserHandle(const UniqueUserHandle&) = delete;
    UniqueUserHandle& operator=(const UniqueUserHandle&) = delete;

    T Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    T Release() { return std::exchange(m_handle, nullptr); }
    void Reset(T handle = nullptr)
    {
        if (m_handle != nullptr)
            Free(m_handle);
        m_handle = handle;
    }

private:
    T m_handle = nullptr;
};

using UniqueDC = UniqueUserHandle<HDC, ::DeleteDC>;
using UniqueIcon = UniqueUserHandle<HICON, ::DestroyIcon>;
using UniqueCursor = UniqueUserHandle<HCURSOR, ::DestroyCursor>;

// A window's (or, for null, the screen's) device context, released with
// ReleaseDC: its client area (GetDC), or the whole window with its frame
// (GetWindowDC).
class WindowDC
{
public:
    explicit WindowDC(HWND window, bool wholeWindow = false)
        : m_window(window), m_dc(wholeWindow ? ::GetWindowDC(window) : ::GetDC(window))
    {
    }
    ~WindowDC()
    {
        if (m_dc != nullptr)
            ::ReleaseDC(m_window, m_dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects a GDI object into a context for a scope and puts the previous one
// back. A null object selects nothing.
class SelectedObject
{
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(object != nullptr ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectedObject()
    {
        if (m_old != nullptr && m_old != HGDI_ERROR)
            ::SelectObject(m_dc, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// The two bitmaps GetIconInfo makes for an icon or cursor, deleted with it.
class IconBitmaps
{
public:
    explicit IconBitmaps(HICON icon)
    {
        if (icon != nullptr && ::GetIconInfo(icon, &m_info))
        {
            m_valid = true;
            m_mask.Reset(m_info.hbmMask);
            m_colour.Reset(m_info.hbmColor);
        }
    }
    IconBitmaps(const IconBitmaps&) = delete;
    IconBitmaps& operator=(const IconBitmaps&) = delete;

    explicit operator bool() const { return m_valid; }
    const ICONINFO& Info() const { return m_info; }

private:
    ICONINFO m_info{};
    bool m_valid = false;
    UniqueGdiObject<HBITMAP> m_mask;
    UniqueGdiObject<HBITMAP> m_colour;
};
