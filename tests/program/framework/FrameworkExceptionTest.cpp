#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "ExceptionDescription.h"
#include "Exceptions.h"
#include "FrameworkTestSupport.h"
#include "LogFile.h"
#include "Logger.h"
#include "StringFormat.h"
#include "Window.h"

namespace
{
constexpr UINT kThrow = WM_APP + 30;
constexpr UINT kPing = WM_APP + 31;

using brmptest::ReadLogFile;

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// Logging on for the test, as it was afterwards.
class LoggingOn
{
public:
    LoggingOn() : m_wasDisabled(CLogger::LoggingDisabled()) { CLogger::DisableLogging(false); }
    ~LoggingOn() { CLogger::DisableLogging(m_wasDisabled); }

private:
    bool m_wasDisabled;
};

class ThrowingWindow : public CWindow
{
public:
    ThrowingWindow()
    {
        BindMessage(kThrow, &ThrowingWindow::OnThrow);
        BindMessage(kPing, &ThrowingWindow::OnPing);
    }
    LRESULT OnThrow(WPARAM, LPARAM)
    {
        thrower();
        return 1;
    }
    LRESULT OnPing(WPARAM w, LPARAM) { return static_cast<LRESULT>(w + 1); }
    std::function<void()> thrower;
};
}

TEST(FrameworkException, AnExceptionInAHandlerIsLoggedAndTheWindowGoesOnWorking)
{
    struct Case
    {
        std::function<void()> thrower;
        const char* described;
    };
    const Case cases[] = {
        {[] { throw std::runtime_error("disk gone"); }, "std::exception is: 'disk gone'"},
        {[] { ThrowMemoryException(); }, "CMemoryException is: 'Out of memory.'"},
        {[] { throw CResourceException(L"no template"); }, "CResourceException is: 'no template'"},
        {[] { throw CException(); }, "CException is: ''"},
        {[] { throw new CSimpleException(L"by pointer"); }, "CSimpleException is: 'by pointer'"},
        {[] { throw 42; }, "exception is: 42"},
        {[] { throw L"wide text"; }, "exception is: 'wide text'"},
        {[] { throw 1.5; }, "exception is unknown!"},
    };
    LoggingOn logging;
    ThrowingWindow window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, L"thrower", WS_POPUP, 0, 0, 10, 10, nullptr));
    const std::string place = Narrow(FormatString(L"Caught an exception in the window procedure of %s 0x%p (message 0x%04X)...",
                                                  CWindow::DefaultClassName(),
                                                  static_cast<void*>(window.GetSafeHwnd()), kThrow));
    for (const Case& c : cases)
    {
        const std::size_t before = ReadLogFile().size();
        window.thrower = c.thrower;
        EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), kThrow, 0, 0), 0) << c.described;
        const std::string written = ReadLogFile().substr(before);
        const std::size_t placeAt = written.find(place);
        EXPECT_NE(placeAt, std::string::npos) << c.described << "\nlog: " << written;
        EXPECT_NE(written.find(c.described, placeAt == std::string::npos ? 0 : placeAt), std::string::npos)
            << "log: " << written;
        EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), kPing, 1, 0), 2);
    }
    // A posted message whose handler throws does not escape the message loop.
    window.thrower = [] { throw std::logic_error("posted"); };
    ASSERT_TRUE(window.PostMessage(kThrow));
    framework_test::PumpPending();
    EXPECT_NE(ReadLogFile().find("std::exception is: 'posted'"), std::string::npos);
    EXPECT_EQ(::SendMessageW(window.GetSafeHwnd(), kPing, 5, 0), 6);
}

namespace
{
class FailingCreation : public CWindow
{
public:
    FailingCreation() { BindMessage(WM_CREATE, &FailingCreation::OnCreate); }
    LRESULT OnCreate(WPARAM, LPARAM) { throw std::runtime_error("half made"); }
};

class FailingPreTranslation : public CWindow
{
public:
    FailingPreTranslation() { BindMessage(WM_APP + 40, &FailingPreTranslation::OnMessage); }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_APP + 40)
            throw std::runtime_error("pretranslate");
        return FALSE;
    }
    LRESULT OnMessage(WPARAM, LPARAM)
    {
        ++received;
        return 0;
    }
    int received = 0;
};
}

TEST(FrameworkException, AWindowWhoseCreationThrowsIsNotCreated)
{
    LoggingOn logging;
    FailingCreation window;
    EXPECT_FALSE(window.CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr));
    EXPECT_EQ(window.GetSafeHwnd(), nullptr);
    EXPECT_NE(ReadLogFile().find("std::exception is: 'half made'"), std::string::npos);
}

TEST(FrameworkException, AThrowingPreTranslationIsLoggedAndTheMessageIsStillDispatched)
{
    LoggingOn logging;
    FailingPreTranslation window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, L"", WS_POPUP, 0, 0, 10, 10, nullptr));
    ASSERT_TRUE(window.PostMessage(WM_APP + 40));
    EXPECT_TRUE(framework_test::PumpUntil([&] { return window.received == 1; }));
    EXPECT_NE(ReadLogFile().find("std::exception is: 'pretranslate'"), std::string::npos);
}

namespace
{
int g_pointerExceptionsDeleted = 0;
class CountedException : public CSimpleException
{
public:
    CountedException() : CSimpleException(L"counted") {}
    ~CountedException() override { ++g_pointerExceptionsDeleted; }
};
}

TEST(FrameworkException, AFrameworkExceptionThrownAsAPointerIsDescribedAndFreed)
{
    g_pointerExceptionsDeleted = 0;
    std::wstring description;
    try
    {
        throw new CountedException;
    }
    catch (...)
    {
        description = DescribeCurrentException();
    }
    EXPECT_EQ(description, L"CSimpleException is: 'counted'");
    EXPECT_EQ(g_pointerExceptionsDeleted, 1);
}

TEST(FrameworkException, AMessageIsCutToTheBufferAndAnExceptionWithoutOneSaysSo)
{
    wchar_t buffer[6] = L"xxxxx";
    EXPECT_FALSE(CException().GetErrorMessage(buffer, 6));
    EXPECT_STREQ(buffer, L"");
    EXPECT_TRUE(CMemoryException().GetErrorMessage(buffer, 6));
    EXPECT_STREQ(buffer, L"Out o");
    EXPECT_FALSE(CUserException().GetErrorMessage(buffer, 6));
}
