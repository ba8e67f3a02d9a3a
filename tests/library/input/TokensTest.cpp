#include <gtest/gtest.h>

#include <process.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "Globals.h"
#include "InputTestSupport.h"
#include "WaitFor.h"

using inputtest::RecordingServices;
using inputtest::RecordingSink;

namespace
{
struct TokenFixture
{
    RecordingSink sink;
    RecordingServices services;
    CSendInput queue{&sink, &services};
    SimTokenSendContext context;

    TokenFixture()
    {
        queue.SetAutoStart(false);
        context.sendInput = &queue;
        context.defaultHoldTime = 0;
        context.keyExtraInfo = 0x4B;
        context.mouseExtraInfo = 0x4D;
        context.services = &services;
    }

    std::vector<std::string> Drain()
    {
        queue.ProcessQueue();
        return sink.Keys();
    }
};

// A message-only window of the test thread that counts one message.
class MessageCounter
{
public:
    explicit MessageCounter(UINT message) : m_message(message)
    {
        m_window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    }
    ~MessageCounter() { ::DestroyWindow(m_window); }
    HWND Window() const { return m_window; }
    int Count()
    {
        int count = 0;
        MSG msg;
        while (::PeekMessageW(&msg, m_window, m_message, m_message, PM_REMOVE))
            ++count;
        return count;
    }

private:
    UINT m_message;
    HWND m_window;
};
}

TEST(Tokens, FilterFlagsChooseTheEventsATokenActsOn)
{
    struct FilterCase
    {
        UINT filter;
        bool down;
        bool up;
        bool repeatDown;
        bool repeatUp;
    };
    const FilterCase cases[] = {
        {0, true, true, true, true},
        {SIMFILTER_DOWN, true, false, false, false},
        {SIMFILTER_UP, false, true, false, false},
        {SIMFILTER_REPEAT, false, false, true, true},
        {SIMFILTER_REPEAT | SIMFILTER_DOWN, false, false, true, false},
        {SIMFILTER_REPEAT | SIMFILTER_UP, false, false, false, true},
    };
    for (const FilterCase& c : cases)
    {
        CSimWaitToken token(1);
        token.m_nFilter = c.filter;
        EXPECT_EQ(token.FilterPasses(false, false), c.down) << "filter " << c.filter;
        EXPECT_EQ(token.FilterPasses(true, false), c.up) << "filter " << c.filter;
        EXPECT_EQ(token.FilterPasses(false, true), c.repeatDown) << "filter " << c.filter;
        EXPECT_EQ(token.FilterPasses(true, true), c.repeatUp) << "filter " << c.filter;

        // The same decision holds for both ways of performing a token.
        TokenFixture f;
        token.SendSingleShot(f.context, SIMSEQ_WHOLE, true, false);
        token.SendWhileDown(f.context, true, false, nullptr);
        EXPECT_EQ(f.queue.QueueLength(), c.up ? 2u : 0u) << "filter " << c.filter;
    }
}

TEST(Tokens, TheSequenceTypeSelectsPressOnlyAndReleaseOnlyTokens)
{
    const int parts[] = {SIMPART_BOTH, SIMPART_PRESS, SIMPART_RELEASE};
    // [part][sequence type 0, 1, 2, 3]
    const bool acts[3][4] = {{true, true, true, false}, {true, true, false, false}, {true, false, true, false}};
    for (int p = 0; p < 3; ++p)
    {
        for (int type = 0; type < 4; ++type)
        {
            CSimCursorToken token(5, SIMCURSOR_ADDX);
            token.m_nPart = parts[p];
            TokenFixture f;
            token.SendSingleShot(f.context, type, false, false);
            EXPECT_EQ(f.queue.QueueLength() == 1, acts[p][type]) << "part " << parts[p] << " type " << type;
        }
    }
}

TEST(Tokens, AKeyTokenPressesAndReleasesByItsPart)
{
    struct KeyCase
    {
        int part;
        int type;
        std::vector<std::string> keys;
    };
    const KeyCase cases[] = {
        {SIMPART_BOTH, SIMSEQ_WHOLE, {"A2+", "41+", "41-", "A2-"}},
        {SIMPART_PRESS, SIMSEQ_WHOLE, {"A2+", "41+"}},
        {SIMPART_RELEASE, SIMSEQ_WHOLE, {"41-", "A2-"}},
        {SIMPART_PRESS, SIMSEQ_PRESS, {"A2+", "41+", "41-", "A2-"}},
        {SIMPART_RELEASE, SIMSEQ_PRESS, {}},
    };
    for (const KeyCase& c : cases)
    {
        TokenFixture f;
        CSimKeyToken token;
        token.m_nVirtualKey = 'A';
        token.m_nModifiers = SIMMOD_CTRL;
        token.m_nPart = c.part;
        EXPECT_EQ(token.SendSingleShot(f.context, c.type, false, false), 0u);
        EXPECT_EQ(f.Drain(), c.keys) << "part " << c.part << " type " << c.type;
    }
}

TEST(Tokens, AKeyTokenHeldWithTheButtonGoesDownAndUpWithIt)
{
    TokenFixture f;
    CSimKeyToken token;
    token.m_nVirtualKey = VK_SHIFT;
    token.SendWhileDown(f.context, false, false, nullptr);
    EXPECT_EQ(f.Drain(), (std::vector<std::string>{"10+"}));
    EXPECT_EQ(f.queue.HeldKeyCount(), 1u);
    token.SendWhileDown(f.context, true, false, nullptr);
    EXPECT_EQ(f.Drain(), (std::vector<std::string>{"10+", "10-"}));
    EXPECT_EQ(f.queue.HeldKeyCount(), 0u);

    // A lock-state key is tapped on each half instead.
    TokenFixture lock;
    CSimKeyToken caps;
    caps.m_nVirtualKey = VK_CAPITAL;
    caps.m_bMark = true;
    caps.SendWhileDown(lock.context, false, false, nullptr);
    caps.SendWhileDown(lock.context, true, false, nullptr);
    EXPECT_EQ(lock.Drain(), (std::vector<std::string>{"14+", "14-", "14+", "14-"}));
}

TEST(Tokens, VolumeKeysTellTheVolumeDisplayOnlyWhenOneIsSet)
{
    MessageCounter display(BRMP_OSDShowWindow);
    ASSERT_NE(display.Window(), nullptr);
    for (int vk : {VK_VOLUME_UP, VK_VOLUME_DOWN, VK_VOLUME_MUTE, static_cast<int>('A')})
    {
        for (bool withDisplay : {true, false})
        {
            TokenFixture f;
            f.context.volumeOsdWindow = withDisplay ? display.Window() : nullptr;
            CSimKeyToken token;
            token.m_nVirtualKey = vk;
            token.m_bExtended = true;
            token.SendSingleShot(f.context, SIMSEQ_WHOLE, false, false);
            const bool volumeKey = vk != 'A';
            EXPECT_EQ(display.Count(), withDisplay && volumeKey ? 1 : 0) << vk << " " << withDisplay;
        }
    }
}

TEST(Tokens, AMouseClickQueuesDownAndUpAndReturnsBothWaits)
{
    TokenFixture f;
    CSimMouseToken click(0, 0, POINT{});
    click.m_nHoldTime = 30;
    click.m_nModifiers = SIMMOD_CTRL;
    EXPECT_EQ(click.SendSingleShot(f.context, SIMSEQ_WHOLE, false, false), 60u);
    f.queue.ProcessQueue();
    const std::vector<INPUT> sent = f.sink.All();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].ki.wVk, VK_LCONTROL);
    EXPECT_EQ(sent[1].mi.dwFlags, static_cast<DWORD>(MOUSEEVENTF_LEFTDOWN));
    EXPECT_EQ(sent[1].mi.dwExtraInfo, 0x4Du);
    EXPECT_EQ(sent[2].mi.dwFlags, static_cast<DWORD>(MOUSEEVENTF_LEFTUP));
    EXPECT_EQ(sent[3].ki.wVk, VK_LCONTROL);
    EXPECT_TRUE(sent[3].ki.dwFlags & KEYEVENTF_KEYUP);
    EXPECT_EQ(sent[3].ki.dwExtraInfo, 0x4Bu);
    EXPECT_EQ(f.queue.HeldKeyCount(), 0u);
}

TEST(Tokens, AMouseTokenHeldWithTheButtonFollowsIt)
{
    struct HeldCase
    {
        const char* name;
        int button;
        int action;
        bool wheel;
        std::vector<DWORD> down;
        std::vector<DWORD> up;
    };
    const HeldCase cases[] = {
        {"click follows the button", 1, 0, false, {MOUSEEVENTF_RIGHTDOWN}, {MOUSEEVENTF_RIGHTUP}},
        {"a down only goes down", 0, 1, false, {MOUSEEVENTF_LEFTDOWN}, {}},
        {"a wheel notch on the down half only", 7, 0, true, {MOUSEEVENTF_WHEEL}, {}},
    };
    for (const HeldCase& c : cases)
    {
        TokenFixture f;
        CSimMouseToken token(c.button, c.action, POINT{});
        token.m_bMark = c.wheel;
        token.SendWhileDown(f.context, false, false, nullptr);
        f.queue.ProcessQueue();
        std::vector<DWORD> flags;
        for (const INPUT& input : f.sink.All())
            flags.push_back(input.mi.dwFlags);
        EXPECT_EQ(flags, c.down) << c.name;
        f.sink.batches.clear();
        token.SendWhileDown(f.context, true, false, nullptr);
        f.queue.ProcessQueue();
        flags.clear();
        for (const INPUT& input : f.sink.All())
            flags.push_back(input.mi.dwFlags);
        EXPECT_EQ(flags, c.up) << c.name;
    }
}

TEST(Tokens, ALayerTokenHeldWithTheButtonSwitchesOnPressAndBackOnRelease)
{
    TokenFixture f;
    CSimLayerToken token(3, 0);
    int held = -1;
    token.SendWhileDown(f.context, false, false, &held);
    EXPECT_EQ(held, 0);
    token.SendWhileDown(f.context, true, false, &held);
    EXPECT_EQ(held, -1);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.services.Calls(), (std::vector<std::string>{"layer 3", "byaction 1", "layer 0", "byaction 0"}));

    TokenFixture once;
    token.SendSingleShot(once.context, SIMSEQ_WHOLE, false, false);
    once.queue.ProcessQueue();
    EXPECT_EQ(once.services.Calls(), (std::vector<std::string>{"layer 3 notify auto remember"}));
}

TEST(Tokens, ServiceTokensActOnceForAHeldButton)
{
    struct ServiceCase
    {
        std::shared_ptr<CSimToken> token;
        std::string call;
    };
    const ServiceCase cases[] = {
        {std::make_shared<CSimBrightnessToken>(2, POINT{}), "brightness 2"},
        {std::make_shared<CSimRunAppToken>(L"notepad.exe", SW_SHOWNORMAL), "run notepad.exe 1"},
        {std::make_shared<CSimKillAppToken>(L"app.exe"), "kill app.exe"},
    };
    for (const ServiceCase& c : cases)
    {
        for (int part : {SIMPART_BOTH, SIMPART_PRESS, SIMPART_RELEASE})
        {
            TokenFixture f;
            c.token->m_nPart = part;
            c.token->SendWhileDown(f.context, false, false, nullptr);
            const std::size_t onDown = f.services.Calls().size();
            c.token->SendWhileDown(f.context, true, false, nullptr);
            EXPECT_EQ(f.services.Calls(), std::vector<std::string>{c.call}) << c.call << " part " << part;
            EXPECT_EQ(onDown, part == SIMPART_RELEASE ? 0u : 1u) << c.call << " part " << part;
        }
    }
}

TEST(Tokens, VolumeActionsQueueTheirActionAndShowTheFlyout)
{
    MessageCounter display(BRMP_OSDShowWindow);
    TokenFixture f;
    f.context.volumeOsdWindow = display.Window();
    CSimKeyActionToken up(SIMKEY_VOLUMEUP, 5);
    up.SendSingleShot(f.context, SIMSEQ_WHOLE, false, false);
    EXPECT_EQ(display.Count(), 1);
    CSimKeyActionToken lock(SIMKEY_LOCKXY, 0);
    lock.SendSingleShot(f.context, SIMSEQ_WHOLE, false, false);
    EXPECT_EQ(display.Count(), 0);
    f.queue.ProcessQueue();
    EXPECT_EQ(f.services.Calls(), (std::vector<std::string>{"volume 5", "axis 14"}));
}

TEST(Tokens, TheClipboardTokenPlacesItsTextAndAnEmptyTextEmptiesTheClipboard)
{
    auto clipboardText = []() -> std::wstring {
        std::wstring text;
        if (!::OpenClipboard(nullptr))
            return L"<unavailable>";
        if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
        {
            if (auto* p = static_cast<const wchar_t*>(::GlobalLock(data)))
            {
                text = p;
                ::GlobalUnlock(data);
            }
        }
        else
        {
            text = L"<empty>";
        }
        ::CloseClipboard();
        return text;
    };
    TokenFixture f;
    CSimClipboardToken hello(L"hello \u20ac");
    hello.SendSingleShot(f.context, SIMSEQ_WHOLE, false, false);
    EXPECT_EQ(clipboardText(), L"hello \u20ac");
    CSimClipboardToken empty(L"");
    empty.SendSingleShot(f.context, SIMSEQ_WHOLE, false, false);
    EXPECT_EQ(clipboardText(), L"<empty>");
    const std::wstring big(100000, L'z');
    EXPECT_TRUE(CSimClipboardToken::PlaceText(big));
    EXPECT_EQ(clipboardText().size(), big.size());
}

namespace
{
struct HungWindow
{
    HWND window = nullptr;
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE created = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;

    static unsigned __stdcall Run(void* argument)
    {
        auto* self = static_cast<HungWindow*>(argument);
        self->window = ::CreateWindowExW(0, L"STATIC", L"hung", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ::SetEvent(self->created);
        // Never pumps until told: messages sent to the window wait.
        ::WaitForSingleObject(self->release, INFINITE);
        ::DestroyWindow(self->window);
        return 0;
    }
    HungWindow()
    {
        thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &Run, this, 0, nullptr));
        ::WaitForSingleObject(created, 5000);
    }
    ~HungWindow()
    {
        ::SetEvent(release);
        ::WaitForSingleObject(thread, 5000);
        ::CloseHandle(thread);
        ::CloseHandle(release);
        ::CloseHandle(created);
    }
};

struct SendCall
{
    CSimWMessageToken* token;
    std::atomic<bool> done{false};
    static unsigned __stdcall Run(void* argument)
    {
        auto* self = static_cast<SendCall*>(argument);
        SimTokenSendContext context;
        self->token->SendSingleShot(context, SIMSEQ_WHOLE, false, false);
        self->done = true;
        return 0;
    }
};
}

TEST(Tokens, ASentWindowMessageCannotStallOnAHungWindow)
{
    HungWindow hung;
    ASSERT_NE(hung.window, nullptr);
    CSimWMessageToken token(hung.window, WM_USER + 5, 1, 2, false);
    SendCall call{&token};
    HANDLE thread = reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &SendCall::Run, &call, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(brmptest::WaitFor([&] { return call.done.load(); }, CSimWMessageToken::SendTimeout + 5000));
    ::WaitForSingleObject(thread, call.done ? 5000 : 0);
    ::CloseHandle(thread);
}

TEST(Tokens, AWindowMessageWithoutAWindowIsNotPostedToTheCallingThread)
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
    {
    }
    TokenFixture f;
    CSimWMessageToken quit(nullptr, WM_QUIT, 0, 0, true);
    quit.SendSingleShot(f.context, SIMSEQ_WHOLE, false, false);
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    MessageCounter target(WM_USER + 9);
    CSimWMessageToken post(target.Window(), WM_USER + 9, 0, 0, true);
    post.SendSingleShot(f.context, SIMSEQ_WHOLE, false, false);
    EXPECT_EQ(target.Count(), 1);
}
