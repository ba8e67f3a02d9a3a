#pragma once
// Whether a newer release or beta exists: two DNS TXT records hold the newest
// version numbers. A check runs on a thread of its own and reports by posting
// "BRMPCheckVersion" (wParam the newest version found or 0, lParam the result
// code) to a window. Automatic checks are rate-limited by a day counter kept
// in the library (GetLastUpdateCheck / SetLastUpdateCheck).

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Result codes (lParam of BRMPCheckVersion).
enum : int
{
    kVersionUpToDate = 0,
    kVersionNewRelease = 1,
    kVersionNewBeta = 2,
    kVersionCheckError = 128,
    kVersionDnsFailed = 240,
};
// Added to every code of a check the user asked for.
constexpr unsigned int kVersionUserRequestBit = 0x80000000u;

// StartVersionCheck's answers.
enum : int
{
    kVersionCheckStarted = 100,
    kVersionCheckTooSoon = -5,
    kVersionCheckDisabled = -6,
};

// A version as one decimal number of four two-digit fields ("%02d%02d%02d%02d");
// this program's own is 2.20.5.0, 2200500.
int VersionNumber(int major, int minor, int patch, int build);
int OwnVersionNumber();

// (years since 1900) x 365 + day of the year (0-based): only differences count.
int DayNumber(const SYSTEMTIME& date);
int TodayDayNumber();

// Whether a check may start: kVersionCheckDisabled, kVersionCheckTooSoon or
// kVersionCheckStarted (only the decision; nothing is started).
int VersionCheckGate(bool forced, bool enabled, int days, int today, int lastCheck);

// What one TXT query gave. Strings are already cut to their bound.
struct VersionDnsAnswer
{
    long status = 0;         // the resolver's status; non-zero: failed
    bool hasRecord = false;  // at least one record came back
    WORD type = 0;           // the first record's type
    std::vector<std::wstring> strings;  // the first record's strings (TXT only)
};

// The resolver behind the check; the program's default queries DNS, tests give their own.
class IVersionResolver
{
public:
    virtual ~IVersionResolver() = default;
    virtual VersionDnsAnswer QueryTxt(const std::wstring& name, bool bypassCache) = 0;
};
IVersionResolver& DnsVersionResolver();
// Null restores the DNS resolver.
void SetVersionResolver(IVersionResolver* resolver);

// The most characters of a record string that are looked at.
constexpr std::size_t kMaxVersionRecordChars = 259;
// A record string as a version number: one to eight decimal digits, blanks
// around them allowed; anything else (signs, letters, control characters,
// more digits than a version has) is no version.
std::optional<int> ParseVersionRecord(const std::wstring& text);

// The record names, built at run time.
std::wstring ReleaseRecordName();
std::wstring BetaRecordName();

struct VersionCheckOutcome
{
    int result = kVersionUpToDate;  // without the user-request bit
    int version = 0;                // newest version found, or 0
};
// The queries and their comparison (the thread's work, without the thread and
// the day store): the release record, then the beta record when betas are on
// and no newer release was found.
VersionCheckOutcome QueryVersions(IVersionResolver& resolver, bool userRequest, bool betaEnabled, int ownVersion,
                                  int dayNumber);

// Starts a check on a thread of its own that posts BRMPCheckVersion to window.
// forced: asked for by the user or another caller that ignores the enable
// switch and the day limit, and stores no day. userRequest: bit 31 on the
// result code and queries that bypass the resolver cache.
int StartVersionCheck(HWND window, bool forced, bool userRequest);

// The id of "BRMPCheckVersion".
UINT CheckVersionMessage();
