#pragma once
// A registry key opened for single values; closed by the destructor. Every
// operation answers false while the key is not open.

#include <windows.h>

#include <cstddef>

#include "Handles.h"

class CMyRegKey
{
public:
    CMyRegKey(const wchar_t* subKey, HKEY root = HKEY_CURRENT_USER, REGSAM access = KEY_READ);
    ~CMyRegKey() = default;
    CMyRegKey(const CMyRegKey&) = delete;
    CMyRegKey& operator=(const CMyRegKey&) = delete;

    bool IsValid() const { return static_cast<bool>(m_hKey); }
    HKEY Get() const { return m_hKey.Get(); }
    // The status of the last registry call (ERROR_SUCCESS, or the system's code).
    LSTATUS LastStatus() const { return m_lastStatus; }

    // Null subKey: whether this key is open; else whether the sub-key opens for reading.
    bool KeyExists(const wchar_t* subKey);
    // With a root: closes this key and creates (or opens) root\subKey with full
    // access as this key. Without: creates subKey below this key and closes it.
    bool CreateKey(const wchar_t* subKey, HKEY root = nullptr);

    bool ValueExists(const wchar_t* name, DWORD type);
    bool DeleteValue(const wchar_t* name);
    bool SetValue(const wchar_t* name, DWORD value);
    bool SetValue(const wchar_t* name, const wchar_t* text);
    // True only for a REG_DWORD value; *value is unchanged otherwise.
    bool GetValue(const wchar_t* name, DWORD* value);
    // True only for a REG_SZ value that fits buffer (size in characters,
    // terminator included); the text is always terminated. A failed read leaves
    // an empty buffer.
    bool GetValue(const wchar_t* name, wchar_t* buffer, std::size_t size);
    // Any type, into a new byte array one byte larger than the value (freed by
    // the caller with delete[]); *size receives the value's size in bytes.
    bool GetValue(const wchar_t* name, DWORD* type, BYTE** data, DWORD* size);

private:
    UniqueRegKey m_hKey;
    LSTATUS m_lastStatus = ERROR_INVALID_HANDLE;
};
