#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "InstanceCommandQueue.h"
#include "InstanceMessage.h"
#include "InstancePipe.h"
#include "InstancePipeServer.h"
#include "LogFile.h"
#include "WaitFor.h"
#include "Window.h"

namespace
{
// ---------------------------------------------------------------- encoding

std::wstring TextOf(std::size_t length, wchar_t c = L'x')
{
    return std::wstring(length, c);
}

struct EncodeCase
{
    const char* name;
    DWORD word;
    std::wstring text;
    bool sent;
};

TEST(InstanceMessageEncoding, TextsThatFitAreLaidOutWordFirstThenTerminatedTextThenZeros)
{
    const std::vector<EncodeCase> cases = {
        {"empty text", 0x80000004, L"", true},
        {"a layer number", 0x80020001, L"3 ", true},
        {"non-ASCII path", 0x80004001, L"c:\\d\u00e9j\u00e0\\\U0001F600.xml", true},
        {"the longest text", 0x80010001, TextOf(kInstanceMessageMaxText), true},
        {"one character too long", 0x80010001, TextOf(kInstanceMessageMaxText + 1), false},
        {"far too long", 0x80010001, TextOf(5000), false},
        {"a zero inside the text", 0x80004001, std::wstring(L"a\0b", 3), false},
    };
    for (const EncodeCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::optional<InstanceMessage> message = EncodeInstanceMessage(c.word, c.text);
        ASSERT_EQ(message.has_value(), c.sent);
        if (!message)
            continue;
        EXPECT_EQ(message->size(), 2048u);
        EXPECT_EQ((*message)[0], c.word & 0xFF);
        EXPECT_EQ((*message)[3], c.word >> 24);
        for (std::size_t i = 0; i < c.text.size(); ++i)
        {
            const unsigned value = static_cast<unsigned short>(c.text[i]);
            ASSERT_EQ((*message)[4 + 2 * i], value & 0xFF) << i;
            ASSERT_EQ((*message)[5 + 2 * i], value >> 8) << i;
        }
        for (std::size_t i = 4 + 2 * c.text.size(); i < message->size(); ++i)
            ASSERT_EQ((*message)[i], 0) << "byte " << i << " after the text is not zero";
    }
}

TEST(InstanceMessageEncoding, EveryTextThatIsSentArrivesWhole)
{
    for (std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{500}, kInstanceMessageMaxText})
    {
        const std::wstring text = TextOf(length, L'\u00e9');
        const std::optional<InstanceMessage> message = EncodeInstanceMessage(0x80020000, text);
        ASSERT_TRUE(message);
        const std::optional<InstanceCommand> decoded = DecodeInstanceMessage(message->data(), message->size());
        ASSERT_TRUE(decoded) << length;
        EXPECT_EQ(decoded->word, 0x80020000u);
        EXPECT_EQ(decoded->text, text);
    }
}

struct DecodeCase
{
    const char* name;
    std::vector<BYTE> bytes;
    std::optional<InstanceCommand> expected;
};

std::vector<BYTE> Bytes(DWORD word, const std::wstring& text, std::size_t total)
{
    std::vector<BYTE> bytes(total, 0);
    for (std::size_t i = 0; i < 4 && i < total; ++i)
        bytes[i] = static_cast<BYTE>(word >> (8 * i));
    for (std::size_t i = 0; i < text.size() && 5 + 2 * i < total; ++i)
    {
        bytes[4 + 2 * i] = static_cast<BYTE>(text[i] & 0xFF);
        bytes[5 + 2 * i] = static_cast<BYTE>(text[i] >> 8);
    }
    return bytes;
}

TEST(InstanceMessageDecoding, OnlyWholeTerminatedMessagesAreTaken)
{
    // A full message whose text area holds no terminator at all.
    std::vector<BYTE> unterminated = Bytes(0x4001, TextOf(1022), 2048);
    // Text, terminator, then stray bytes: the text ends at the terminator.
    std::vector<BYTE> trailing = Bytes(0x20000, L"2", 2048);
    trailing[100] = 'z';

    const std::vector<DecodeCase> cases = {
        {"nothing read", {}, std::nullopt},
        {"two bytes", {0x04, 0x00}, std::nullopt},
        {"three bytes", {0x04, 0x00, 0x00}, std::nullopt},
        {"the word alone", {0x04, 0x00, 0x00, 0x80}, InstanceCommand{0x80000004, L""}},
        {"a short message ends at its last whole character", Bytes(0x20000, L"12", 9), InstanceCommand{0x20000, L"12"}},
        {"a full message", Bytes(0x80020000, L"3", 2048), InstanceCommand{0x80020000, L"3"}},
        {"the longest text", Bytes(0x10000, TextOf(1021), 2048), InstanceCommand{0x10000, TextOf(1021)}},
        {"no terminator inside a full message", unterminated, std::nullopt},
        {"stray bytes after the terminator", trailing, InstanceCommand{0x20000, L"2"}},
        {"longer than a message", Bytes(0x4, L"", 2050), std::nullopt},
    };
    for (const DecodeCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::wstring problem;
        const std::optional<InstanceCommand> decoded = DecodeInstanceMessage(c.bytes.data(), c.bytes.size(), &problem);
        ASSERT_EQ(decoded.has_value(), c.expected.has_value());
        if (decoded)
            EXPECT_EQ(*decoded, *c.expected);
        else
            EXPECT_FALSE(problem.empty());
    }
}

// ---------------------------------------------------------------- queue

TEST(InstanceCommandQueue, ACommandIsTakenOnceAndOnlyByTheTokenItWasIssuedUnder)
{
    CInstanceCommandQueue queue;
    const LPARAM first = queue.Push({0x4, L"a"});
    const LPARAM second = queue.Push({0x8, L"b"});
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    ASSERT_NE(first, second);

    EXPECT_FALSE(queue.Take(0));
    EXPECT_FALSE(queue.Take(first ^ second ^ 0x5A5A));
    EXPECT_FALSE(queue.Take(reinterpret_cast<LPARAM>(L"a pointer from elsewhere")));
    EXPECT_EQ(queue.Pending(), 2u);

    const auto taken = queue.Take(second);
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, (InstanceCommand{0x8, L"b"}));
    EXPECT_FALSE(queue.Take(second)) << "a token is good for one command only";
    EXPECT_EQ(queue.Take(first)->text, L"a");
    EXPECT_EQ(queue.Pending(), 0u);
}

TEST(InstanceCommandQueue, AQueueThatIsNotReadRefusesMoreCommandsInsteadOfGrowing)
{
    CInstanceCommandQueue queue;
    for (std::size_t i = 0; i < CInstanceCommandQueue::MaxPending; ++i)
        ASSERT_NE(queue.Push({0x1, L""}), 0);
    EXPECT_EQ(queue.Push({0x1, L""}), 0);
    EXPECT_EQ(queue.Pending(), CInstanceCommandQueue::MaxPending);
}

// ---------------------------------------------------------------- name and security

TEST(InstancePipeName, TheSessionIsPartOfTheName)
{
    EXPECT_NE(InstancePipeName(1), InstancePipeName(2));
    EXPECT_EQ(InstancePipeName(7).rfind(L"\\\\.\\pipe\\", 0), 0u);
    DWORD session = 0;
    ASSERT_TRUE(::ProcessIdToSessionId(::GetCurrentProcessId(), &session));
    EXPECT_EQ(InstancePipeName(), InstancePipeName(session));
}

// The SIDs that the access list allows, as text; "null" for a null list.
std::vector<std::wstring> AllowedSids(PACL dacl, bool* onlyAllowAces)
{
    std::vector<std::wstring> sids;
    *onlyAllowAces = true;
    if (dacl == nullptr)
        return {L"null"};
    for (DWORD i = 0; i < dacl->AceCount; ++i)
    {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace))
            continue;
        auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
        {
            *onlyAllowAces = false;
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        wchar_t* text = nullptr;
        if (::ConvertSidToStringSidW(reinterpret_cast<PSID>(&allowed->SidStart), &text))
        {
            sids.push_back(text);
            ::LocalFree(text);
        }
    }
    return sids;
}

TEST(InstancePipeSecurity, OnlyTheCurrentUserAndTheSystemMayOpenThePipe)
{
    const std::wstring user = CurrentUserSidText();
    ASSERT_FALSE(user.empty());
    UniqueSecurityDescriptor descriptor = BuildInstancePipeSecurity();
    ASSERT_TRUE(descriptor);

    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present) << "no access list at all would let everybody in";
    bool onlyAllow = false;
    std::vector<std::wstring> sids = AllowedSids(dacl, &onlyAllow);
    std::sort(sids.begin(), sids.end());
    std::vector<std::wstring> expected = {L"S-1-5-18", user};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sids, expected);
    EXPECT_TRUE(onlyAllow);

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "inherited entries could widen the list";
}

// ---------------------------------------------------------------- the pipe, in process

// A hidden window that takes the server's tokens like the main window does.
class TokenWindow : public CWindow
{
public:
    explicit TokenWindow(CInstanceCommandQueue& queue) : m_queue(queue)
    {
        m_message = BindRegisteredMessage(L"BRMP_NextInstance", &TokenWindow::OnNextInstance);
    }
    LRESULT OnNextInstance(WPARAM word, LPARAM token)
    {
        std::optional<InstanceCommand> command = m_queue.Take(token);
        if (!command)
            return 0;
        EXPECT_EQ(command->word, static_cast<DWORD>(word));
        received.push_back(std::move(*command));
        return 1;
    }
    UINT Message() const { return m_message; }

    std::vector<InstanceCommand> received;

private:
    CInstanceCommandQueue& m_queue;
    UINT m_message = 0;
};

std::wstring UniquePipeName(const wchar_t* what)
{
    static std::atomic<int> counter{0};
    return InstancePipeName() + L"." + what + L"." + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(++counter);
}

class InstancePipeRoad : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.CreateEx(0, nullptr, L"pipe test", WS_POPUP, 0, 0, 0, 0, nullptr));
        ASSERT_NE(window.Message(), 0u);
    }
    void TearDown() override
    {
        EXPECT_TRUE(server.Stop()) << "the server thread had to be terminated";
        window.DestroyWindow();
    }
    bool StartServer(const std::wstring& name)
    {
        return server.Start(window.GetSafeHwnd(), window.Message(), queue, name);
    }
    bool WaitForCommands(std::size_t count, DWORD timeoutMs = 10000)
    {
        return brmptest::WaitFor([&] { return window.received.size() >= count; }, timeoutMs);
    }

    CInstanceCommandQueue queue;
    TokenWindow window{queue};
    CInstancePipeServer server;
};

// How many times the log holds the client's line of a pipe that does not
// exist yet: one more once a client has looked, found none and waits.
std::size_t ClientsWaitingForThePipe()
{
    const std::string log = brmptest::ReadLogFile();
    const std::string line = "SendInstanceCommand: the IPC named pipe does not exist yet";
    std::size_t count = 0;
    for (std::size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1))
        ++count;
    return count;
}

// Writes raw bytes as one message, like a client that does not follow the format.
bool WriteRaw(const std::wstring& name, const void* data, DWORD size)
{
    if (!::WaitNamedPipeW(name.c_str(), 5000))
        return false;
    HANDLE pipe = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(pipe, data, size, &written, nullptr) && written == size;
    ::CloseHandle(pipe);
    return ok;
}

TEST_F(InstancePipeRoad, ACommandWrittenIntoThePipeReachesTheWindowWhole)
{
    const std::wstring name = UniquePipeName(L"whole");
    ASSERT_TRUE(StartServer(name));
    const std::wstring longest = TextOf(kInstanceMessageMaxText, L'q');
    std::atomic<bool> sent{false};
    std::thread client([&] { sent = SendInstanceCommand(name, 0x80010001, longest, 5000); });
    const bool arrived = WaitForCommands(1);
    client.join();
    ASSERT_TRUE(arrived);
    EXPECT_TRUE(sent);
    EXPECT_EQ(window.received[0], (InstanceCommand{0x80010001, longest}));
    EXPECT_EQ(queue.Pending(), 0u);
}

TEST_F(InstancePipeRoad, ATextTooLongForTheMessageIsRefusedAndNothingArrives)
{
    const std::wstring name = UniquePipeName(L"long");
    ASSERT_TRUE(StartServer(name));
    EXPECT_FALSE(SendInstanceCommand(name, 0x80004001, TextOf(kInstanceMessageMaxText + 1), 5000));
    // The server is still there and serves the next, well-formed command.
    std::thread client([&] { SendInstanceCommand(name, 0x80000004, L"", 5000); });
    const bool arrived = WaitForCommands(1);
    client.join();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(window.received[0].word, 0x80000004u);
    EXPECT_EQ(window.received.size(), 1u);
}

TEST_F(InstancePipeRoad, MalformedMessagesAreIgnoredAndTheServerGoesOn)
{
    const std::wstring name = UniquePipeName(L"short");
    ASSERT_TRUE(StartServer(name));
    server.SetReadTimeout(300);
    std::thread clients([&] {
        const BYTE shortWrite[2] = {0x20, 0x00};
        EXPECT_TRUE(WriteRaw(name, shortWrite, sizeof(shortWrite)));
        std::vector<BYTE> overlong(3000, 0x41);
        WriteRaw(name, overlong.data(), static_cast<DWORD>(overlong.size()));
        std::vector<BYTE> unterminated(2048, 0x41);
        EXPECT_TRUE(WriteRaw(name, unterminated.data(), static_cast<DWORD>(unterminated.size())));
        // A client that connects and never writes is dropped after the read time-out.
        if (::WaitNamedPipeW(name.c_str(), 5000))
        {
            HANDLE silent = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_NE(silent, INVALID_HANDLE_VALUE);
            EXPECT_TRUE(SendInstanceCommand(name, 0x80020000, L"2", 10000));
            if (silent != INVALID_HANDLE_VALUE)
                ::CloseHandle(silent);
        }
    });
    const bool arrived = WaitForCommands(1, 20000);
    clients.join();
    ASSERT_TRUE(arrived);
    ASSERT_EQ(window.received.size(), 1u) << "only the well-formed command may arrive";
    EXPECT_EQ(window.received[0], (InstanceCommand{0x80020000, L"2"}));
}

TEST_F(InstancePipeRoad, ClientsStartedTogetherAreServedOneAfterTheOther)
{
    const std::wstring name = UniquePipeName(L"many");
    ASSERT_TRUE(StartServer(name));
    constexpr int kClients = 4;
    std::atomic<int> sent{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            if (SendInstanceCommand(name, 0x80020000, std::to_wstring(i + 1), 10000))
                ++sent;
        });
    const bool arrived = WaitForCommands(kClients, 30000);
    for (std::thread& t : clients)
        t.join();
    ASSERT_TRUE(arrived) << window.received.size() << " of " << kClients;
    EXPECT_EQ(sent.load(), kClients);
    std::vector<std::wstring> texts;
    for (const InstanceCommand& c : window.received)
        texts.push_back(c.text);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"1", L"2", L"3", L"4"}));
}

TEST_F(InstancePipeRoad, AClientThatFindsNoPipeYetWaitsForTheStartingInstance)
{
    const std::wstring name = UniquePipeName(L"late");
    std::atomic<bool> sent{false};
    std::atomic<bool> done{false};
    const std::size_t waiting = ClientsWaitingForThePipe();
    std::thread client([&] {
        sent = SendInstanceCommand(name, 0x80002001, L"", 20000);
        done = true;
    });
    // The client has looked for the pipe, found none and waits for it while
    // the instance is still starting; the server comes only then.
    EXPECT_TRUE(brmptest::WaitFor([&] { return ClientsWaitingForThePipe() > waiting; }));
    EXPECT_FALSE(done.load());
    const bool serverStarted = StartServer(name);
    const bool arrived = serverStarted && WaitForCommands(1, 20000);
    client.join();
    ASSERT_TRUE(serverStarted);
    ASSERT_TRUE(arrived);
    EXPECT_TRUE(sent);
    EXPECT_EQ(window.received[0].word, 0x80002001u);
}

TEST_F(InstancePipeRoad, WithoutARunningInstanceTheClientGivesUpAfterItsWait)
{
    const std::wstring name = UniquePipeName(L"none");
    EXPECT_FALSE(SendInstanceCommand(name, 0x80000004, L"", 200));
    EXPECT_FALSE(SendInstanceCommand(name, 0x80000004, L"", 0));
}

TEST_F(InstancePipeRoad, AClientStopsWaitingWhenTheStartingInstanceEnds)
{
    const std::wstring name = UniquePipeName(L"ended");
    const std::wstring mutexName = L"BrmpPipeTestMutex" + std::to_wstring(::GetCurrentProcessId());
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName.c_str());
    ASSERT_NE(mutex, nullptr);
    std::atomic<bool> done{false};
    std::atomic<bool> sent{true};
    const std::size_t waiting = ClientsWaitingForThePipe();
    std::thread client([&] {
        sent = SendInstanceCommand(name, 0x80000004, L"", 120000, mutexName);
        done = true;
    });
    // While the instance's mutex exists the client, having found no pipe, waits for it.
    const bool waitedWhileRunning =
        brmptest::WaitFor([&] { return ClientsWaitingForThePipe() > waiting; }) && !done.load();
    ::CloseHandle(mutex);
    // Far below the two minutes it would wait for a live instance.
    const bool gaveUp = brmptest::WaitFor([&] { return done.load(); }, 30000);
    if (!gaveUp)
    {
        // Let the client find the pipe so that the thread ends.
        StartServer(name);
    }
    client.join();
    EXPECT_TRUE(waitedWhileRunning);
    EXPECT_TRUE(gaveUp);
    EXPECT_FALSE(sent);
}

TEST_F(InstancePipeRoad, APipeThatSomeoneElseCreatedFirstIsNotServed)
{
    const std::wstring name = UniquePipeName(L"squat");
    // Another process's pipe under the name, open to more instances.
    UniqueHandle squatter(::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_WAIT,
                                             PIPE_UNLIMITED_INSTANCES, 4, 4096, 0, nullptr));
    ASSERT_TRUE(squatter);
    EXPECT_FALSE(StartServer(name)) << "the instance joined a pipe it did not create";
}

TEST_F(InstancePipeRoad, TheLivePipeAllowsOnlyTheUserAndTheSystem)
{
    UniqueHandle pipe = CreateInstancePipe(UniquePipeName(L"acl"));
    ASSERT_TRUE(pipe);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD result = ::GetSecurityInfo(pipe.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                           &dacl, nullptr, &descriptor);
    // Wine keeps the descriptor a pipe was made with and reports it, as Windows does.
    ASSERT_EQ(result, static_cast<DWORD>(ERROR_SUCCESS)) << "the pipe's access list could not be read";
    bool onlyAllow = false;
    std::vector<std::wstring> sids = AllowedSids(dacl, &onlyAllow);
    ::LocalFree(descriptor);
    std::sort(sids.begin(), sids.end());
    std::vector<std::wstring> expected = {L"S-1-5-18", CurrentUserSidText()};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sids, expected);
    EXPECT_TRUE(onlyAllow);
}

TEST_F(InstancePipeRoad, ThePipeHandleIsNotInheritedByChildProcesses)
{
    UniqueHandle pipe = CreateInstancePipe(UniquePipeName(L"inherit"));
    ASSERT_TRUE(pipe);
    DWORD flags = 0;
    ASSERT_TRUE(::GetHandleInformation(pipe.Get(), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
}

// ---------------------------------------------------------------- across processes

constexpr wchar_t kChildEnvironment[] = L"BRMP_PIPE_TEST_CHILD";

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    return path;
}

// Runs this test program again, as a later start of the program would run:
// it sends word and text to the named pipe and ends. Returns its exit code.
DWORD RunChildSender(const std::wstring& pipeName, DWORD word, const std::wstring& text, DWORD timeoutMs)
{
    const std::wstring value = pipeName + L"|" + std::to_wstring(word) + L"|" + text;
    ::SetEnvironmentVariableW(kChildEnvironment, value.c_str());
    std::wstring line = brmptest::BuildCommandLine(
        OwnPath(), {L"--gtest_also_run_disabled_tests", L"--gtest_filter=InstancePipeChild.DISABLED_SendsTheCommandFromItsEnvironment"});
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                          &startup, &process);
    ::SetEnvironmentVariableW(kChildEnvironment, nullptr);
    if (!started)
        return 0xFFFFFFFF;
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    DWORD code = 0xFFFFFFFE;
    if (brmptest::WaitFor([&] { return ::WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs))
        ::GetExitCodeProcess(process.hProcess, &code);
    else
        ::TerminateProcess(process.hProcess, 0xFFFFFFFD);
    return code;
}

TEST(InstancePipeChild, DISABLED_SendsTheCommandFromItsEnvironment)
{
    wchar_t value[4096] = {};
    const DWORD n = ::GetEnvironmentVariableW(kChildEnvironment, value, static_cast<DWORD>(std::size(value)));
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, std::size(value));
    const std::wstring all(value, n);
    const std::size_t first = all.find(L'|');
    const std::size_t second = all.find(L'|', first + 1);
    ASSERT_NE(second, std::wstring::npos);
    const std::wstring name = all.substr(0, first);
    const DWORD word = static_cast<DWORD>(std::wcstoul(all.substr(first + 1, second - first - 1).c_str(), nullptr, 10));
    ASSERT_TRUE(SendInstanceCommand(name, word, all.substr(second + 1), 10000));
}

TEST_F(InstancePipeRoad, ALaterProcessHandsItsCommandToTheRunningOne)
{
    const std::wstring name = UniquePipeName(L"process");
    ASSERT_TRUE(StartServer(name));
    const std::wstring text = L"C:\\Users\\someone\\R\u00e9glages du profil.xml";
    DWORD exitCode = 0xFFFFFFFF;
    std::thread child([&] { exitCode = RunChildSender(name, 0x80080001, text, 60000); });
    const bool arrived = WaitForCommands(1, 60000);
    child.join();
    EXPECT_EQ(exitCode, 0u) << "the child could not send its command";
    ASSERT_TRUE(arrived);
    EXPECT_EQ(window.received[0], (InstanceCommand{0x80080001, text}));
}
} // namespace
