#include "VersionCheck.h"

#include <windns.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <exception>
#include <memory>

#include "AppTexts.h"
#include "CaughtException.h"
#include "Control.h"
#include "CrashReport.h"
#include "Exceptions.h"
#include "Logger.h"
#include "StringFormat.h"

namespace
{
constexpr std::size_t kMaxVersionDigits = 8;

// Kept out of the binary's plain strings.
std::wstring Reveal(const unsigned char* hidden, std::size_t count)
{
    std::wstring text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        text.push_back(static_cast<wchar_t>(hidden[i] ^ 0x5A));
    return text;
}

std::atomic<IVersionResolver*> g_resolver{nullptr};

IVersionResolver& Resolver()
{
    IVersionResolver* resolver = g_resolver.load();
    return resolver != nullptr ? *resolver : DnsVersionResolver();
}

class CDnsVersionResolver final : public IVersionResolver
{
public:
    VersionDnsAnswer QueryTxt(const std::wstring& name, bool bypassCache) override
    {
        VersionDnsAnswer answer;
        PDNS_RECORD records = nullptr;
        const DNS_STATUS status = ::DnsQuery_W(name.c_str(), DNS_TYPE_TEXT,
                                               bypassCache ? DNS_QUERY_BYPASS_CACHE : DNS_QUERY_STANDARD, nullptr,
                                               &records, nullptr);
        answer.status = static_cast<long>(status);
        if (status != 0 || records == nullptr)
        {
            if (records != nullptr)
                ::DnsRecordListFree(records, DnsFreeRecordList);
            return answer;
        }
        answer.hasRecord = true;
        answer.type = records->wType;
        if (records->wType == DNS_TYPE_TEXT)
        {
            // The strings come from the network: each is bounded before it
            // is copied; a few are plenty (only the first is used).
            const std::size_t usable = std::min<std::size_t>(records->Data.TXT.dwStringCount, 16);
            for (std::size_t i = 0; i < usable; ++i)
            {
                const wchar_t* text = records->Data.TXT.pStringArray[i];
                if (text == nullptr)
                    break;
                answer.strings.emplace_back(text, ::wcsnlen(text, kMaxVersionRecordChars));
            }
        }
        ::DnsRecordListFree(records, DnsFreeRecordList);
        return answer;
    }
};

struct VersionCheckJob
{
    int result = -2;
    int forced = 0;
    bool userRequest = false;
    int dayNumber = 0;
    HWND window = nullptr;
};

// One query with its log lines; true when a version number was read.
bool QueryOne(IVersionResolver& resolver, const std::wstring& name, bool userRequest, bool beta, int dayNumber,
              int& value)
{
    const wchar_t* kind = beta ? L"beta version" : L"version";
    CLogger::LogDebug(L"Checkversion: Querying DNS for '%s'", name.c_str());
    const VersionDnsAnswer answer = resolver.QueryTxt(name, userRequest);
    if (answer.status != 0 || !answer.hasRecord)
    {
        CLogger::LogMessage(L"Failed to query the %s DNS record. Status=%d", kind, static_cast<int>(answer.status));
        return false;
    }
    if (answer.type != DNS_TYPE_TEXT)
    {
        CLogger::LogMessage(L"The %s DNS record query did not return the expected TXT record. Status=%d Type=%d", kind,
                            0, static_cast<int>(answer.type));
        return false;
    }
    if (answer.strings.empty())
    {
        CLogger::LogMessage(L"The %s DNS record query returned an empty TXT record. Status=%d Type=%d", kind, 0,
                            static_cast<int>(DNS_TYPE_TEXT));
        return false;
    }
    std::wstring text = answer.strings.front();
    if (text.size() > kMaxVersionRecordChars)
        text.resize(kMaxVersionRecordChars);
    // Only digits reach the log: the record is written by whoever answers.
    std::wstring shown;
    for (wchar_t c : text)
        shown.push_back(c >= L' ' && c < 0x7F ? c : L'?');
    CLogger::LogDebug(beta ? L"Checkversion: Got BETA DNS response: %s. date %d" : L"Checkversion: Got DNS response: %s. date %d",
                      shown.c_str(), dayNumber);
    const std::optional<int> number = ParseVersionRecord(text);
    if (!number)
    {
        CLogger::LogMessage(L"The %s DNS record holds no version number.", kind);
        return false;
    }
    value = *number;
    return true;
}

unsigned __stdcall Checkversion(void* argument)
{
    std::unique_ptr<VersionCheckJob> job(static_cast<VersionCheckJob*>(argument));
    std::set_terminate(&CrashTerminateHandler);
    const int userBit = job->userRequest ? static_cast<int>(kVersionUserRequestBit) : 0;
    int result = userBit;
    int version = 0;
    try
    {
        const VersionCheckOutcome outcome =
            QueryVersions(Resolver(), job->userRequest, CheckBetaVersionEnabled(), OwnVersionNumber(), job->dayNumber);
        result = outcome.result | userBit;
        version = outcome.version;
    }
    catch (const CException& e)
    {
        wchar_t message[1024] = L"";
        if (e.GetErrorMessage(message, 1024))
            CLogger::LogMessage(L"Checkversion - An unexpected exception occurred: %s", message);
        else
            CLogger::LogMessage(L"Checkversion - An unexpected & unknown exception occurred.");
    }
    catch (...)
    {
        LogCaughtException(L"Checkversion");
        result = kVersionCheckError | userBit;
    }
    if ((result & 0xF) != 0 && job->forced == 0)
        SetLastUpdateCheck(job->dayNumber);
    job->result = result;
    if (job->window != nullptr)
        ::PostMessageW(job->window, CheckVersionMessage(), static_cast<WPARAM>(version), static_cast<LPARAM>(result));
    return 0;
}
} // namespace

int VersionNumber(int major, int minor, int patch, int build)
{
    return std::wcstol(FormatString(L"%02d%02d%02d%02d", major, minor, patch, build).c_str(), nullptr, 10);
}

int OwnVersionNumber()
{
    return VersionNumber(2, 20, 5, 0);
}

int DayNumber(const SYSTEMTIME& date)
{
    static constexpr int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int year = date.wYear;
    const int month = date.wMonth >= 1 && date.wMonth <= 12 ? date.wMonth : 1;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int dayOfYear = kBefore[month - 1] + (leap && month > 2 ? 1 : 0) + date.wDay - 1;
    return (year - 1900) * 365 + dayOfYear;
}

int TodayDayNumber()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return DayNumber(now);
}

int VersionCheckGate(bool forced, bool enabled, int days, int today, int lastCheck)
{
    if (forced)
        return kVersionCheckStarted;
    if (!enabled)
        return kVersionCheckDisabled;
    const long long difference = static_cast<long long>(today) - lastCheck;
    if ((difference < 0 ? -difference : difference) < days)
        return kVersionCheckTooSoon;
    return kVersionCheckStarted;
}

IVersionResolver& DnsVersionResolver()
{
    static CDnsVersionResolver resolver;
    return resolver;
}

void SetVersionResolver(IVersionResolver* resolver)
{
    g_resolver.store(resolver);
}

std::optional<int> ParseVersionRecord(const std::wstring& record)
{
    std::wstring text = record.substr(0, kMaxVersionRecordChars);
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::nullopt;
    const std::size_t last = text.find_last_not_of(L" \t");
    text = text.substr(first, last - first + 1);
    if (text.empty() || text.size() > kMaxVersionDigits)
        return std::nullopt;
    int value = 0;
    for (wchar_t c : text)
    {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    return value;
}

std::wstring ReleaseRecordName()
{
    // "release.version.brindlemap.example"
    static constexpr unsigned char hidden[] = {0x28, 0x3f, 0x36, 0x3f, 0x3b, 0x29, 0x3f, 0x74, 0x2c, 0x3f, 0x28, 0x29,
                                               0x33, 0x35, 0x34, 0x74, 0x38, 0x28, 0x33, 0x34, 0x3e, 0x36, 0x3f, 0x37,
                                               0x3b, 0x2a, 0x74, 0x3f, 0x22, 0x3b, 0x37, 0x2a, 0x36, 0x3f};
    return Reveal(hidden, sizeof(hidden));
}

std::wstring BetaRecordName()
{
    // "beta.version.brindlemap.example"
    static constexpr unsigned char hidden[] = {0x38, 0x3f, 0x2e, 0x3b, 0x74, 0x2c, 0x3f, 0x28, 0x29, 0x33, 0x35,
                                               0x34, 0x74, 0x38, 0x28, 0x33, 0x34, 0x3e, 0x36, 0x3f, 0x37, 0x3b,
                                               0x2a, 0x74, 0x3f, 0x22, 0x3b, 0x37, 0x2a, 0x36, 0x3f};
    return Reveal(hidden, sizeof(hidden));
}

VersionCheckOutcome QueryVersions(IVersionResolver& resolver, bool userRequest, bool betaEnabled, int ownVersion,
                                  int dayNumber)
{
    VersionCheckOutcome outcome;
    int release = 0;
    if (QueryOne(resolver, ReleaseRecordName(), userRequest, false, dayNumber, release))
    {
        outcome.version = release;
        if (release > ownVersion)
            outcome.result = kVersionNewRelease;
    }
    else
    {
        outcome.result = kVersionDnsFailed;
        outcome.version = 0;
    }

    if (outcome.result != kVersionNewRelease && betaEnabled)
    {
        int beta = 0;
        if (QueryOne(resolver, BetaRecordName(), userRequest, true, dayNumber, beta))
        {
            if (beta > outcome.version && beta > ownVersion)
            {
                outcome.result = kVersionNewBeta;
                outcome.version = beta;
            }
        }
        else
        {
            outcome.result = kVersionDnsFailed;
        }
    }
    return outcome;
}

UINT CheckVersionMessage()
{
    static const UINT id = ::RegisterWindowMessageW(L"BRMPCheckVersion");
    return id;
}

int StartVersionCheck(HWND window, bool forced, bool userRequest)
{
    const int days = CheckVersionDays();
    const int today = TodayDayNumber();
    const int gate = VersionCheckGate(forced, CheckVersionEnabled(), days, today, GetLastUpdateCheck());
    if (gate == kVersionCheckDisabled)
        return gate;
    if (gate == kVersionCheckTooSoon)
    {
        CLogger::LogDebug(L"Checkversion: Skipping version check as we are within %d days of last check.", days);
        return gate;
    }
    CLogger::LogDebug(L"Checkversion: Creating thread to check %s version...", AppShortName().c_str());
    auto job = std::make_unique<VersionCheckJob>();
    job->forced = forced ? 1 : 0;
    job->userRequest = userRequest;
    job->dayNumber = today;
    job->window = window;
    const uintptr_t thread = ::_beginthreadex(nullptr, 0, &Checkversion, job.get(), 0, nullptr);
    if (thread == 0)
    {
        CLogger::LogOSMessage(::GetLastError(), L"Checkversion: Unable to start the version check thread");
        return kVersionCheckError;
    }
    job.release();
    ::CloseHandle(reinterpret_cast<HANDLE>(thread));
    return kVersionCheckStarted;
}
