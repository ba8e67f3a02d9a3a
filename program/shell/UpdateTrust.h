#pragma once
// Whether a downloaded update may run: its Authenticode signature must verify
// (chain, time stamp and, where the system can tell, revocation) and its
// signer must be the program's own publisher. Tests replace the decision.

#include <windows.h>

#include <string>

// The signer's name (the simple display name of its certificate) that an
// update must carry.
std::wstring UpdatePublisherName();

enum class UpdateTrustResult
{
    Trusted,
    Unsigned,        // no signature at all
    Invalid,         // a signature the system does not accept
    OtherPublisher,  // valid, but signed by someone else
    Unavailable,     // the system offers no way to check
};

class IUpdateTrust
{
public:
    virtual ~IUpdateTrust() = default;
    // Checks file; why gets a reason for the log when it is not trusted.
    virtual UpdateTrustResult Verify(const std::wstring& file, std::wstring& why);
};
// Null restores the system's check.
void SetUpdateTrust(IUpdateTrust* trust);
IUpdateTrust& UpdateTrust();

// The result of a WinVerifyTrust call read as a verdict (the signer not yet compared).
UpdateTrustResult TrustResultFromStatus(LONG status);
