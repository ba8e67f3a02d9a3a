#include "SendInput.h"

#include "LogCaughtException.h"
#include "Logger.h"
#include "SystemLibrary.h"

CSecureAttentionSequence::CSecureAttentionSequence()
{
    try
    {
        m_hModule = LoadSystemLibrary(L"sas.dll");
        if (m_hModule != nullptr)
            m_pSendSAS = reinterpret_cast<SendSASFn>(reinterpret_cast<void*>(::GetProcAddress(m_hModule, "SendSAS")));
    }
    catch (...)
    {
        LogCaughtException(L"CSecureAttentionSequence");
    }
}

CSecureAttentionSequence::~CSecureAttentionSequence()
{
    if (m_hModule != nullptr)
        ::FreeLibrary(m_hModule);
}

bool CSecureAttentionSequence::SendSAS(bool asUser)
{
    try
    {
        if (!IsSasAvailable())
        {
            CLogger::LogMessage(L"CSecureAttentionSequence: SAS Is not available!");
            return false;
        }
        CLogger::LogMessage(L"CSecureAttentionSequence: SendSAS(%d)", asUser ? 1 : 0);
        // Always as the user: a service would pass FALSE.
        m_pSendSAS(TRUE);
        return true;
    }
    catch (...)
    {
        LogCaughtException(L"CSecureAttentionSequence::SendSAS");
    }
    return false;
}
