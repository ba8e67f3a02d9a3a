#include "Exceptions.h"

#include <algorithm>
#include <cwchar>

namespace
{
bool CopyMessage(const std::wstring& message, wchar_t* buffer, UINT count)
{
    if (buffer == nullptr || count == 0)
        return !message.empty();
    const std::size_t n = std::min<std::size_t>(message.size(), count - 1);
    std::wmemcpy(buffer, message.data(), n);
    buffer[n] = L'\0';
    return !message.empty();
}
}

bool CException::GetErrorMessage(wchar_t* buffer, UINT count, UINT* helpContext) const
{
    if (helpContext != nullptr)
        *helpContext = 0;
    return CopyMessage(std::wstring(), buffer, count);
}

bool CSimpleException::GetErrorMessage(wchar_t* buffer, UINT count, UINT* helpContext) const
{
    if (helpContext != nullptr)
        *helpContext = 0;
    return CopyMessage(m_message, buffer, count);
}

void ThrowMemoryException()
{
    throw CMemoryException();
}

void ThrowResourceException()
{
    throw CResourceException();
}

void ThrowUserException()
{
    throw CUserException();
}
