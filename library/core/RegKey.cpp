#include "RegKey.h"

#include <cwchar>
#include <new>

CMyRegKey::CMyRegKey(const wchar_t* subKey, HKEY root, REGSAM access)
{
    if (root == nullptr)
        return;
    m_lastStatus = ::RegOpenKeyExW(root, subKey, 0, access, m_hKey.Put());
    if (m_lastStatus != ERROR_SUCCESS)
        m_hKey.Reset();
}

bool CMyRegKey::KeyExists(const wchar_t* subKey)
{
    if (!IsValid())
        return false;
    if (subKey == nullptr)
        return true;
    UniqueRegKey sub;
    m_lastStatus = ::RegOpenKeyExW(m_hKey.Get(), subKey, 0, KEY_READ, sub.Put());
    return m_lastStatus == ERROR_SUCCESS;
}

bool CMyRegKey::CreateKey(const wchar_t* subKey, HKEY root)
{
    if (root != nullptr)
    {
        m_hKey.Reset();
        m_lastStatus = ::RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, m_hKey.Put(),
                                         nullptr);
        if (m_lastStatus != ERROR_SUCCESS)
            m_hKey.Reset();
        return m_lastStatus == ERROR_SUCCESS;
    }
    if (!IsValid())
        return false;
    UniqueRegKey sub;
    m_lastStatus =
        ::RegCreateKeyExW(m_hKey.Get(), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, sub.Put(), nullptr);
    return m_lastStatus == ERROR_SUCCESS;
}

bool CMyRegKey::ValueExists(const wchar_t* name, DWORD type)
{
    if (!IsValid())
        return false;
    DWORD actual = REG_NONE;
    m_lastStatus = ::RegQueryValueExW(m_hKey.Get(), name, nullptr, &actual, nullptr, nullptr);
    return m_lastStatus == ERROR_SUCCESS && actual == type;
}

bool CMyRegKey::DeleteValue(const wchar_t* name)
{
    if (!IsValid())
        return false;
    m_lastStatus = ::RegDeleteValueW(m_hKey.Get(), name);
    return m_lastStatus == ERROR_SUCCESS;
}

bool CMyRegKey::SetValue(const wchar_t* name, DWORD value)
{
    if (!IsValid())
        return false;
    m_lastStatus = ::RegSetValueExW(m_hKey.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return m_lastStatus == ERROR_SUCCESS;
}

bool CMyRegKey::SetValue(const wchar_t* name, const wchar_t* text)
{
    if (!IsValid() || text == nullptr)
        return false;
    const std::size_t length = std::wcslen(text);
    if (length >= 0x7FFFFFFF / sizeof(wchar_t))
        return false;
    const DWORD bytes = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
    m_lastStatus = ::RegSetValueExW(m_hKey.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    return m_lastStatus == ERROR_SUCCESS;
}

bool CMyRegKey::GetValue(const wchar_t* name, DWORD* value)
{
    if (!IsValid() || value == nullptr)
        return false;
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    m_lastStatus = ::RegQueryValueExW(m_hKey.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes);
    if (m_lastStatus != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof(data))
        return false;
    *value = data;
    return true;
}

bool CMyRegKey::GetValue(const wchar_t* name, wchar_t* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0)
        return false;
    buffer[0] = L'\0';
    if (!IsValid() || size > 0x7FFFFFFF / sizeof(wchar_t))
        return false;
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    m_lastStatus = ::RegQueryValueExW(m_hKey.Get(), name, nullptr, &type, nullptr, &bytes);
    if (m_lastStatus != ERROR_SUCCESS || type != REG_SZ || bytes > size * sizeof(wchar_t))
        return false;
    bytes = static_cast<DWORD>(size * sizeof(wchar_t));
    m_lastStatus = ::RegQueryValueExW(m_hKey.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (m_lastStatus != ERROR_SUCCESS || type != REG_SZ)
    {
        buffer[0] = L'\0';
        return false;
    }
    // Stored texts need not carry their terminator: one that fills the buffer
    // without it does not fit.
    const std::size_t chars = bytes / sizeof(wchar_t);
    if (chars > 0 && buffer[chars - 1] == L'\0')
        return true;
    if (chars >= size)
    {
        buffer[0] = L'\0';
        return false;
    }
    buffer[chars] = L'\0';
    return true;
}

bool CMyRegKey::GetValue(const wchar_t* name, DWORD* type, BYTE** data, DWORD* size)
{
    if (!IsValid() || type == nullptr || data == nullptr || size == nullptr)
        return false;
    *data = nullptr;
    DWORD bytes = 0;
    m_lastStatus = ::RegQueryValueExW(m_hKey.Get(), name, nullptr, type, nullptr, &bytes);
    if (m_lastStatus != ERROR_SUCCESS)
        return false;
    BYTE* buffer = new (std::nothrow) BYTE[static_cast<std::size_t>(bytes) + 1]();
    if (buffer == nullptr)
        return false;
    DWORD got = bytes;
    m_lastStatus = ::RegQueryValueExW(m_hKey.Get(), name, nullptr, type, buffer, &got);
    if (m_lastStatus != ERROR_SUCCESS || got > bytes)
    {
        delete[] buffer;
        return false;
    }
    *data = buffer;
    *size = got;
    return true;
}
