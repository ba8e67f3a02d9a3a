// The update check: version numbers and days, when a check may run, what the
// DNS answers make of it (through a resolver the test controls), and the real
// thread posting its result, also when the network is not there.

#include <gtest/gtest.h>

#include <windows.h>
#include <windns.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Control.h"
#include "VersionCheck.h"
#include "WaitFor.h"

namespace
{
VersionDnsAnswer Txt(std::vector<std::wstring> strings)
{
    VersionDnsAnswer answer;
    answer.hasRecord = true;
    answer.type = DNS_TYPE_TEXT;
    answer.strings = std::move(strings);
    return answer;
}

VersionDnsAnswer Failed(long status = 9003)
{
    VersionDnsAnswer answer;
    answer.status = status;
    return answer;
}

VersionDnsAnswer OtherType()
{
    VersionDnsAnswer answer;
    answer.hasRecord = true;
    answer.type = DNS_TYPE_CNAME;
    return answer;
}

class CFakeResolver : public IVersionResolver
{
public:
    VersionDnsAnswer release = Failed();
    VersionDnsAnswer beta = Failed();

    VersionDnsAnswer QueryTxt(const std::wstring& name, bool bypassCache) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        queried.push_back(name);
        bypass.push_back(bypassCache);
        return name == ReleaseRecordName() ? release : name == BetaRecordName() ? beta : Failed();
    }

    std::vector<std::wstring> queried;
    std::vector<bool> bypass;

private:
    std::mutex m_mutex;
};

// Puts a resolver in place for one test.
struct ResolverScope
{
    explicit ResolverScope(IVersionResolver* resolver) { SetVersionResolver(resolver); }
    ~ResolverScope() { SetVersionResolver(nullptr); }
};

// A message-only window that keeps the BRMPCheckVersion messages it receives
// (the waits dispatch this thread's messages, so they must be caught in the
// window procedure).
class CReceiver
{
public:
    CReceiver()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CReceiver::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BrmpVersionReceiver";
        ::RegisterClassW(&wc);
        m_window = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                                     nullptr);
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CReceiver() { ::DestroyWindow(m_window); }
    HWND Get() const { return m_window; }

    // Waits for the next check result; false after the time-out.
    bool Wait(WPARAM& version, LPARAM& result, DWORD timeoutMs)
    {
        const bool got = brmptest::WaitFor([&] { return !m_received.empty(); }, timeoutMs, 20);
        if (got)
        {
            version = m_received.front().first;
            result = m_received.front().second;
            m_received.erase(m_received.begin());
        }
        return got;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<CReceiver*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && message == CheckVersionMessage())
        {
            self->m_received.emplace_back(wParam, lParam);
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND m_window = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> m_received;
};

// Keeps the day of the last check as the test found it.
struct LastCheckScope
{
    int saved = GetLastUpdateCheck();
    ~LastCheckScope() { SetLastUpdateCheck(saved); }
};
} // namespace

TEST(VersionCheck, VersionsAreFourTwoDigitFieldsAndDaysOnlyCountDifferences)
{
    EXPECT_EQ(OwnVersionNumber(), 2200500);
    EXPECT_EQ(VersionNumber(2, 21, 0, 0), 2210000);
    EXPECT_EQ(VersionNumber(2, 20, 99, 0), 2209900) << "a beta of the next minor version";
    EXPECT_EQ(VersionNumber(10, 0, 0, 1), 10000001);

    SYSTEMTIME date{};
    date.wYear = 1900;
    date.wMonth = 1;
    date.wDay = 1;
    EXPECT_EQ(DayNumber(date), 0);
    date.wYear = 2026;
    date.wMonth = 12;
    date.wDay = 9;
    EXPECT_EQ(DayNumber(date), 126 * 365 + 342);
    date.wMonth = 1;
    date.wDay = 1;
    const int newYear = DayNumber(date);
    date.wYear = 2025;
    date.wMonth = 12;
    date.wDay = 31;
    EXPECT_EQ(newYear - DayNumber(date), 1) << "the last day of a year and the first of the next are neighbours";
}

TEST(VersionCheck, AnAutomaticCheckRunsOnlyWhenEnabledAndTheDaysHavePassed)
{
    struct Case
    {
        const char* label;
        bool forced;
        bool enabled;
        int days;
        int today;
        int last;
        int expected;
    } const cases[] = {
        {"checks switched off", false, false, 5, 1000, 0, kVersionCheckDisabled},
        {"the day after a report with seven days", false, true, 7, 1001, 1000, kVersionCheckTooSoon},
        {"a last check in the future counts by its distance", false, true, 7, 1000, 1003, kVersionCheckTooSoon},
        {"exactly the days apart", false, true, 7, 1007, 1000, kVersionCheckStarted},
        {"never checked", false, true, 5, 45000, 0, kVersionCheckStarted},
        {"a forced check ignores the switch", true, false, 5, 1000, 1000, kVersionCheckStarted},
        {"a forced check ignores the days", true, true, 7, 1001, 1000, kVersionCheckStarted},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionCheckGate(c.forced, c.enabled, c.days, c.today, c.last), c.expected) << c.label;
}

TEST(VersionCheck, ARecordIsAVersionOnlyWhenItHoldsOneToEightDigits)
{
    struct Case
    {
        std::wstring text;
        int value;  // -1: no version
    } const cases[] = {
        {L"2210000", 2210000},
        {L" 2210000\t", 2210000},
        {L"99999999", 99999999},
        {L"0", 0},
        {L"", -1},
        {L"   ", -1},
        {L"123456789", -1},
        {L"-2210000", -1},
        {L"+2210000", -1},
        {L"0x21A", -1},
        {L"2.21.0.0", -1},
        {L"2210000 newest", -1},
        {std::wstring(L"22100") + L'\x01', -1},
        {std::wstring(L"221") + L'\0' + L"0000", -1},
        {std::wstring(300, L'9'), -1},
        {std::wstring(kMaxVersionRecordChars, L' ') + L"2210000", -1},
    };
    for (const Case& c : cases)
    {
        const std::optional<int> value = ParseVersionRecord(c.text);
        if (c.value < 0)
            EXPECT_FALSE(value.has_value()) << testing::PrintToString(c.text);
        else
            EXPECT_EQ(value.value_or(-1), c.value) << testing::PrintToString(c.text);
    }
}

TEST(VersionCheck, TheAnswersDecideTheResultAndTheNewestVersion)
{
    const int own = OwnVersionNumber();
    struct Case
    {
        const char* label;
        VersionDnsAnswer release;
        VersionDnsAnswer beta;
        bool betas;
        int result;
        int version;
        std::size_t queries;
    } const cases[] = {
        {"a newer release; the beta is not asked", Txt({L"2210000"}), Txt({L"2300000"}), true, kVersionNewRelease,
         2210000, 1},
        {"up to date without betas", Txt({L"2200500"}), Txt({L"2209900"}), false, kVersionUpToDate, 2200500, 1},
        {"release equal, beta greater", Txt({L"2200500"}), Txt({L"2209900"}), true, kVersionNewBeta, 2209900, 2},
        {"an older beta changes nothing", Txt({L"2200500"}), Txt({L"2200400"}), true, kVersionUpToDate, 2200500, 2},
        {"both queries fail", Failed(), Failed(), true, kVersionDnsFailed, 0, 2},
        {"the release fails, the beta is newer", Failed(), Txt({L"2209900"}), true, kVersionNewBeta, 2209900, 2},
        {"the beta fails after an equal release", Txt({L"2200500"}), Failed(), true, kVersionDnsFailed, 2200500, 2},
        {"another record type", OtherType(), Failed(), false, kVersionDnsFailed, 0, 1},
        {"a TXT record without strings", Txt({}), Failed(), false, kVersionDnsFailed, 0, 1},
        {"a record that is no number", Txt({L"2210000; drop"}), Failed(), false, kVersionDnsFailed, 0, 1},
        {"a number too long for a version", Txt({L"2147483648"}), Failed(), false, kVersionDnsFailed, 0, 1},
        {"only the first string counts", Txt({L"2200500", L"9999999"}), Failed(), false, kVersionUpToDate, 2200500, 1},
    };
    for (const Case& c : cases)
    {
        CFakeResolver resolver;
        resolver.release = c.release;
        resolver.beta = c.beta;
        const VersionCheckOutcome outcome = QueryVersions(resolver, false, c.betas, own, 46332);
        EXPECT_EQ(outcome.result, c.result) << c.label;
        EXPECT_EQ(outcome.version, c.version) << c.label;
        EXPECT_EQ(resolver.queried.size(), c.queries) << c.label;
    }
}

TEST(VersionCheck, AUserRequestBypassesTheCacheAndMarksItsResultAndAForcedCheckStoresNoDay)
{
    LastCheckScope keep;
    SetLastUpdateCheck(1234);
    CFakeResolver resolver;
    resolver.release = Txt({L"2210000"});
    ResolverScope scope(&resolver);
    CReceiver receiver;
    ASSERT_NE(receiver.Get(), nullptr);

    ASSERT_EQ(StartVersionCheck(receiver.Get(), true, true), kVersionCheckStarted);
    WPARAM version = 0;
    LPARAM result = 0;
    ASSERT_TRUE(receiver.Wait(version, result, 20000));
    EXPECT_EQ(static_cast<DWORD>(result), kVersionUserRequestBit | kVersionNewRelease);
    EXPECT_EQ(version, 2210000u);
    ASSERT_FALSE(resolver.bypass.empty());
    EXPECT_TRUE(resolver.bypass.front());
    EXPECT_EQ(GetLastUpdateCheck(), 1234) << "a forced check never stores the day";
}

TEST(VersionCheck, AnAutomaticCheckThatReportsANewVersionWaitsTheDaysBeforeTheNext)
{
    LastCheckScope keep;
    const int today = TodayDayNumber();
    CFakeResolver resolver;
    resolver.release = Txt({L"2210000"});
    ResolverScope scope(&resolver);
    CReceiver receiver;

    SetLastUpdateCheck(today);
    EXPECT_EQ(StartVersionCheck(receiver.Get(), false, false), kVersionCheckTooSoon);

    SetLastUpdateCheck(today - 400);
    ASSERT_EQ(StartVersionCheck(receiver.Get(), false, false), kVersionCheckStarted);
    WPARAM version = 0;
    LPARAM result = 0;
    ASSERT_TRUE(receiver.Wait(version, result, 20000));
    EXPECT_EQ(result, kVersionNewRelease);
    EXPECT_FALSE(resolver.bypass.front()) << "an automatic check uses the cache";
    EXPECT_EQ(GetLastUpdateCheck(), today);
    EXPECT_EQ(StartVersionCheck(receiver.Get(), false, false), kVersionCheckTooSoon);

    // An up-to-date answer stores nothing: the next timer tick checks again.
    resolver.release = Txt({L"2200500"});
    SetLastUpdateCheck(today - 400);
    ASSERT_EQ(StartVersionCheck(receiver.Get(), false, false), kVersionCheckStarted);
    ASSERT_TRUE(receiver.Wait(version, result, 20000));
    EXPECT_EQ(result, kVersionUpToDate);
    EXPECT_EQ(GetLastUpdateCheck(), today - 400);
}

TEST(VersionCheck, WithoutANetworkTheRealCheckReportsAFailedQuery)
{
    CReceiver receiver;
    ASSERT_EQ(StartVersionCheck(receiver.Get(), true, false), kVersionCheckStarted);
    WPARAM version = 1;
    LPARAM result = 0;
    // The resolver may try its servers for a while before it gives up.
    ASSERT_TRUE(receiver.Wait(version, result, 120000));
    // The record names are placeholders that no server answers.
    EXPECT_EQ(result, kVersionDnsFailed);
    EXPECT_EQ(version, 0u);
}
