#pragma once
// Small owners of Win32 handles: each releases its handle in its destructor.

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <utility>

// What the owners below hold, by kind: how many handles they hold now and how
// many releases the system refused (a handle freed twice, or never valid).
// Wine hides both leaks and double frees, so the tests read these around a
// dialog or a drawing. Always counted: one relaxed atomic add beside a system
// call that costs far more, and no owner is used on the hook's move path.
// Each module (the library, the program, a test) counts its own owners.
enum class HandleKind
{
    Kernel,
    RegistryKey,
    GdiObject,
    MemoryDC,
    Icon,
    Cursor,
    WindowDC,
    ImageList,
    Count
};

class HandleCounts
{
public:
    static constexpr int kKinds = static_cast<int>(HandleKind::Count);

    static void Acquired(HandleKind kind) { Held()[Index(kind)].fetch_add(1, std::memory_order_relaxed); }
    // An owner let go of its handle: freed (refused when !freed), or handed on.
    static void Released(HandleKind kind, bool freed)
    {
        Held()[Index(kind)].fetch_sub(1, std::memory_order_relaxed);
        if (!freed)
            Refused()[Index(kind)].fetch_add(1, std::memory_order_relaxed);
    }
    static void HandedOn(HandleKind kind) { Held()[Index(kind)].fetch_sub(1, std::memory_order_relaxed); }

    static long HeldNow(HandleKind kind) { return Held()[Index(kind)].load(std::memory_order_relaxed); }
    static long RefusedReleases(HandleKind kind) { return Refused()[Index(kind)].load(std::memory_order_relaxed); }

private:
    static int Index(HandleKind kind) { return static_cast<int>(kind); }
    static std::atomic<long>* Held()
    {
        static std::atomic<long> held[kKinds] = {};
        return held;
    }
    static std::atomic<long>* Refused()
    {
        static std::atomic<long> refused[kKinds] = {};
        return refused;
    }
};

// Owner of a handle closed with CloseHandle (files, events, threads, mutexes).
// Both null and INVALID_HANDLE_VALUE mean "no handle".
class UniqueHandle
{
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) { Count(); }
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
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
    HANDLE Release()
    {
        if (IsValid())
            HandleCounts::HandedOn(HandleKind::Kernel);
        return std::exchange(m_handle, nullptr);
    }
    void Reset(HANDLE handle = nullptr)
    {
        if (IsValid())
            HandleCounts::Released(HandleKind::Kernel, ::CloseHandle(m_handle) != FALSE);
        m_handle = handle;
        Count();
    }

private:
    void Count()
    {
        if (IsValid())
            HandleCounts::Acquired(HandleKind::Kernel);
    }

    HANDLE m_handle = nullptr;
};

// Owner of an open registry key.
class UniqueRegKey
{
public:
    UniqueRegKey() = default;
    explicit UniqueRegKey(HKEY key) : m_key(key)
    {
        if (m_key != nullptr)
            HandleCounts::Acquired(HandleKind::RegistryKey);
    }
    ~UniqueRegKey() { Reset(); }
    UniqueRegKey(UniqueRegKey&& other) noexcept
        : m_key(std::exchange(other.m_key, nullptr)), m_put(std::exchange(other.m_put, false))
    {
    }
    UniqueRegKey& operator=(UniqueRegKey&& other) noexcept
    {
        if (this != &other)
        {
            Reset();
            m_key = std::exchange(other.m_key, nullptr);
            m_put = std::exchange(other.m_put, false);
        }
        return *this;
    }
    UniqueRegKey(const UniqueRegKey&) = delete;
    UniqueRegKey& operator=(const UniqueRegKey&) = delete;

    HKEY Get() const { return m_key; }
    // For the opening call to fill in; the key it puts there is counted as held.
    HKEY* Put()
    {
        Reset();
        HandleCounts::Acquired(HandleKind::RegistryKey);
        m_put = true;
        return &m_key;
    }
    explicit operator bool() const { return m_key != nullptr; }
    void Reset(HKEY key = nullptr)
    {
        if (m_key != nullptr)
            HandleCounts::Released(HandleKind::RegistryKey, ::RegCloseKey(m_key) == ERROR_SUCCESS);
        else if (m_put)
            HandleCounts::HandedOn(HandleKind::RegistryKey); // the opening call failed
        m_put = false;
        m_key = key;
        if (m_key != nullptr)
            HandleCounts::Acquired(HandleKind::RegistryKey);
    }

private:
    HKEY m_key = nullptr;
    bool m_put = false;
};

// Owner of a GDI object (pen, brush, font, bitmap, region).
template <typename T>
class UniqueGdiObject
{
public:
    UniqueGdiObject() = default;
    explicit UniqueGdiObject(T object) : m_object(object) { Count(); }
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
    T Release()
    {
        if (m_object != nullptr)
            HandleCounts::HandedOn(HandleKind::GdiObject);
        return std::exchange(m_object, nullptr);
    }
    void Reset(T object = nullptr)
    {
        if (m_object != nullptr)
            HandleCounts::Released(HandleKind::GdiObject, ::DeleteObject(m_object) != FALSE);
        m_object = object;
        Count();
    }

private:
    void Count()
    {
        if (m_object != nullptr)
            HandleCounts::Acquired(HandleKind::GdiObject);
    }

    T m_object = nullptr;
};

// Owner of a handle released by one call taking the handle alone (memory DCs,
// icons, cursors).
template <typename T, BOOL(WINAPI* Free)(T), HandleKind Kind>
class UniqueUserHandle
{
public:
    UniqueUserHandle() = default;
    explicit UniqueUserHandle(T handle) : m_handle(handle) { Count(); }
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
    T Release()
    {
        if (m_handle != nullptr)
            HandleCounts::HandedOn(Kind);
        return std::exchange(m_handle, nullptr);
    }
    void Reset(T handle = nullptr)
    {
        if (m_handle != nullptr)
            HandleCounts::Released(Kind, Free(m_handle) != FALSE);
        m_handle = handle;
        Count();
    }

private:
    void Count()
    {
        if (m_handle != nullptr)
            HandleCounts::Acquired(Kind);
    }

    T m_handle = nullptr;
};

using UniqueDC = UniqueUserHandle<HDC, ::DeleteDC, HandleKind::MemoryDC>;
using UniqueIcon = UniqueUserHandle<HICON, ::DestroyIcon, HandleKind::Icon>;
using UniqueCursor = UniqueUserHandle<HCURSOR, ::DestroyCursor, HandleKind::Cursor>;
// An image list; a control that is given it must share it (LVS_SHAREIMAGELISTS
// and the like), or the control destroys it too.
using UniqueImageList = UniqueUserHandle<HIMAGELIST, ::ImageList_Destroy, HandleKind::ImageList>;

// A window's (or, for null, the screen's) device context, released with
// ReleaseDC: its client area (GetDC), or the whole window with its frame
// (GetWindowDC).
class WindowDC
{
public:
    explicit WindowDC(HWND window, bool wholeWindow = false)
        : m_window(window), m_dc(wholeWindow ? ::GetWindowDC(window) : ::GetDC(window))
    {
        if (m_dc != nullptr)
            HandleCounts::Acquired(HandleKind::WindowDC);
    }
    ~WindowDC()
    {
        if (m_dc != nullptr)
            HandleCounts::Released(HandleKind::WindowDC, ::ReleaseDC(m_window, m_dc) == 1);
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
