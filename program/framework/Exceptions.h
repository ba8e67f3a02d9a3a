#pragma once
// The program's exception family. A framework exception either carries a
// message for the log and the user, or none (GetErrorMessage then reports
// false). They are thrown by value and caught by reference:
//   try { ... } catch (const CException& e) { wchar_t text[512]; if (e.GetErrorMessage(text, 512)) ... }
// They do not derive from std::exception, so that catch blocks can tell a
// framework failure from one of the standard library.

#include <windows.h>

#include <string>

class CException
{
public:
    CException() = default;
    virtual ~CException() = default;
    CException(const CException&) = default;
    CException& operator=(const CException&) = default;

    // Copies the message into buffer (count characters, terminator included;
    // a longer message is cut). Returns false, with an empty buffer, when the
    // exception carries no message.
    virtual bool GetErrorMessage(wchar_t* buffer, UINT count, UINT* helpContext = nullptr) const;

    // The class name, for log lines that say what was caught.
    virtual const wchar_t* KindName() const { return L"CException"; }
};

// An exception with a fixed message (possibly empty: then it has none).
class CSimpleException : public CException
{
public:
    CSimpleException() = default;
    explicit CSimpleException(std::wstring message) : m_message(std::move(message)) {}

    bool GetErrorMessage(wchar_t* buffer, UINT count, UINT* helpContext = nullptr) const override;
    const wchar_t* KindName() const override { return L"CSimpleException"; }
    const std::wstring& Message() const { return m_message; }

private:
    std::wstring m_message;
};

// Memory could not be had.
class CMemoryException : public CSimpleException
{
public:
    CMemoryException() : CSimpleException(L"Out of memory.") {}
    const wchar_t* KindName() const override { return L"CMemoryException"; }
};

// A resource (dialog template, string, icon, window) could not be loaded or created.
class CResourceException : public CSimpleException
{
public:
    CResourceException() : CSimpleException(L"A required resource was unavailable.") {}
    explicit CResourceException(std::wstring message) : CSimpleException(std::move(message)) {}
    const wchar_t* KindName() const override { return L"CResourceException"; }
};

// The user has already been told (data exchange refused a value): the
// operation is abandoned without a further message.
class CUserException : public CSimpleException
{
public:
    CUserException() = default;
    const wchar_t* KindName() const override { return L"CUserException"; }
};

[[noreturn]] void ThrowMemoryException();
[[noreturn]] void ThrowResourceException();
[[noreturn]] void ThrowUserException();
