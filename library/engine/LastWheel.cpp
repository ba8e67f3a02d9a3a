#include "LastWheel.h"

#include <cstring>

#include "ThreadLock.h"

CLastWheel g_LastWheel;

void CLastWheel::Copy(const CLastWheel& other)
{
    CThreadLock lock(L"CLastWheel Copy");
    if (this == &other)
        return;
    m_pt = other.m_pt;
    m_rc = other.m_rc;
    m_hWnd = other.m_hWnd;
    m_hParent = other.m_hParent;
    m_hWnd2 = other.m_hWnd2;
    m_hTopLevel = other.m_hTopLevel;
    m_bForegroundIsChild = other.m_bForegroundIsChild;
    m_bNoActivate = other.m_bNoActivate;
    m_nValue1 = other.m_nValue1;
    m_nValue2 = other.m_nValue2;
    m_llValue = other.m_llValue;
    m_pApp = other.m_pApp;
    m_nMatch = other.m_nMatch;
    m_nAppValue = other.m_nAppValue;
    std::memcpy(m_szProcess, other.m_szProcess, sizeof(m_szProcess));
    m_szProcess[MAX_PATH - 1] = 0;
}

void CLastWheel::Reset()
{
    CThreadLock lock(L"CLastWheel Reset");
    m_pt = {0, 0};
    m_rc = {0, 0, 0, 0};
    m_hWnd = m_hParent = m_hWnd2 = m_hTopLevel = nullptr;
    m_nValue1 = m_nValue2 = 0;
    m_llValue = 0;
    m_pApp = nullptr;
}
