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
