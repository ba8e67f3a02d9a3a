#include "UpdateTrust.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <memory>

#include "AppTexts.h"
#include "StringFormat.h"
#include "SystemLibrary.h"

namespace
{
IUpdateTrust* g_trust = nullptr;

// The signature functions, bound once from the system folder: neither
// library is imported, so none of that name beside the program is loaded.
struct TrustFunctions
{
    decltype(&::WinVerifyTrust) verify = nullptr;
    decltype(&::WTHelperProvDataFromStateData) providerData = nullptr;
    decltype(&::WTHelperGetProvSignerFromChain) signer = nullptr;
    decltype(&::CertGetNameStringW) certificateName = nullptr;

    bool Complete() const { return verify && providerData && signer && certificateName; }
};

template <typename Fn>
Fn Bind(HMODULE module, const char* name)
{
    return module != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

const TrustFunctions& Functions()
{
    static const TrustFunctions functions = [] {
        TrustFunctions f;
        HMODULE wintrust = LoadSystemLibrary(L"wintrust.dll");
        HMODULE crypt32 = LoadSystemLibrary(L"crypt32.dll");
        f.verify = Bind<decltype(f.verify)>(wintrust, "WinVerifyTrust");
        f.providerData = Bind<decltype(f.providerData)>(wintrust, "WTHelperProvDataFromStateData");
        f.signer = Bind<decltype(f.signer)>(wintrust, "WTHelperGetProvSignerFromChain");
        f.certificateName = Bind<decltype(f.certificateName)>(crypt32, "CertGetNameStringW");
        return f;
    }();
    return functions;
}

// One WinVerifyTrust session on a file; the state is closed by the destructor.
class CTrustSession
{
public:
    CTrustSession(const TrustFunctions& functions, const std::wstring& file, DWORD revocation)
        : m_functions(functions)
    {
        m_file.cbStruct = sizeof(m_file);
        m_file.pcwszFilePath = file.c_str();
        m_data.cbStruct = sizeof(m_data);
        m_data.dwUIChoice = WTD_UI_NONE;
        m_data.fdwRevocationChecks = revocation;
        m_data.dwUnionChoice = WTD_CHOICE_FILE;
        m_data.pFile = &m_file;
        m_data.dwStateAction = WTD_STATEACTION_VERIFY;
        m_data.dwProvFlags = revocation == WTD_REVOKE_NONE ? 0 : WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        m_status = m_functions.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &m_data);
    }
    ~CTrustSession()
    {
        GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
        m_data.dwStateAction = WTD_STATEACTION_CLOSE;
        m_functions.verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &m_data);
    }
    CTrustSession(const CTrustSession&) = delete;
    CTrustSession& operator=(const CTrustSession&) = delete;

    LONG Status() const { return m_status; }

    // The simple display name of the certificate that signed the file.
    std::wstring SignerName() const
    {
        CRYPT_PROVIDER_DATA* provider = m_functions.providerData(m_data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer = provider ? m_functions.signer(provider, 0, FALSE, 0) : nullptr;
        if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr ||
            signer->pasCertChain[0].pCert == nullptr)
            return {};
        PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
        wchar_t name[512] = {};
        const DWORD length =
            m_functions.certificateName(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 512);
        return length > 1 ? std::wstring(name) : std::wstring();
    }

private:
    const TrustFunctions& m_functions;
    WINTRUST_FILE_INFO m_file{};
    WINTRUST_DATA m_data{};
    LONG m_status = 0;
};

bool RevocationUnknown(LONG status)
{
    return status == static_cast<LONG>(CERT_E_REVOCATION_FAILURE) ||
           status == static_cast<LONG>(CRYPT_E_REVOCATION_OFFLINE) ||
           status == static_cast<LONG>(CRYPT_E_NO_REVOCATION_CHECK);
}
}

std::wstring UpdatePublisherName()
{
    return AppProductName() + L" Software";
}

UpdateTrustResult TrustResultFromStatus(LONG status)
{
    switch (static_cast<HRESULT>(status))
    {
    case S_OK:
        return UpdateTrustResult::Trusted;
    case TRUST_E_NOSIGNATURE:
    case TRUST_E_SUBJECT_FORM_UNKNOWN:
    case TRUST_E_PROVIDER_UNKNOWN:
        return UpdateTrustResult::Unsigned;
    default:
        return UpdateTrustResult::Invalid;
    }
}

UpdateTrustResult IUpdateTrust::Verify(const std::wstring& file, std::wstring& why)
{
    const TrustFunctions& functions = Functions();
    if (!functions.Complete())
    {
        why = L"the system offers no signature check";
        return UpdateTrustResult::Unavailable;
    }
    auto session = std::make_unique<CTrustSession>(functions, file, WTD_REVOKE_WHOLECHAIN);
    if (RevocationUnknown(session->Status()))
    {
        // Offline, or no revocation list reachable: the signature itself must still hold.
        session.reset();
        session = std::make_unique<CTrustSession>(functions, file, WTD_REVOKE_NONE);
    }
    const UpdateTrustResult result = TrustResultFromStatus(session->Status());
    if (result == UpdateTrustResult::Unsigned)
    {
        why = FormatString(L"the file is not signed (0x%08X)", static_cast<unsigned>(session->Status()));
        return result;
    }
    if (result != UpdateTrustResult::Trusted)
    {
        why = FormatString(L"its signature is not valid (0x%08X)", static_cast<unsigned>(session->Status()));
        return result;
    }
    const std::wstring signer = session->SignerName();
    if (signer != UpdatePublisherName())
    {
        why = L"it is signed by '" + signer + L"', not by '" + UpdatePublisherName() + L"'";
        return UpdateTrustResult::OtherPublisher;
    }
    return UpdateTrustResult::Trusted;
}

void SetUpdateTrust(IUpdateTrust* trust)
{
    g_trust = trust;
}

IUpdateTrust& UpdateTrust()
{
    static IUpdateTrust system;
    return g_trust ? *g_trust : system;
}
