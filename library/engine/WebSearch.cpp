// The web search for the selected text.

#include "WebSearch.h"

#include <process.h>
#include <shellapi.h>

#include <cstring>
#include <exception>

#include "CrashReport.h"
#include "EngineInput.h"
#include "Globals.h"
#include "Logger.h"
#include "Settings.h"
#include "StringFormat.h"
#include "ThreadLock.h"

namespace
{
// The clipboard's Unicode text; false when there is none or it can't be read.
// Another program may hold the clipboard for a moment: try a few times.
bool ReadClipboardText(std::wstring& text)
{
    text.clear();
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = ::OpenClipboard(nullptr)); ++attempt)
        ::Sleep(20);
    if (!opened)
        return false;
    bool ok = false;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
    {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data)))
        {
            // Never read past the block, whether or not the text is terminated.
            const size_t capacity = ::GlobalSize(data) / sizeof(wchar_t);
            size_t length = 0;
            while (length < capacity && chars[length] != L'\0')
                ++length;
            text.assign(chars, length);
            ::GlobalUnlock(data);
            ok = true;
        }
    }
    ::CloseClipboard();
    return ok;
}

void WriteClipboardText(const std::wstring& text)
{
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = ::OpenClipboard(nullptr)); ++attempt)
        ::Sleep(20);
    if (!opened)
    {
        CLogger::LogMessage(L"SearchThread: Unable to restore the clipboard");
        return;
    }
    ::EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes))
    {
        if (void* target = ::GlobalLock(block))
        {
            std::memcpy(target, text.c_str(), bytes);
            ::GlobalUnlock(block);
            if (::SetClipboardData(CF_UNICODETEXT, block) == nullptr)
                ::GlobalFree(block);
        }
        else
        {
            ::GlobalFree(block);
        }
    }
    ::CloseClipboard();
}

void RunSearch()
{
    std::wstring url;
    {
        CThreadLock lock(L"SearchThread");
        if (g_pSettings != nullptr && g_pSettings->get_SearchURL() != nullptr)
        {
            url = g_pSettings->get_SearchURL();
            if (url.size() > kMaxSearchChars)
                url.resize(kMaxSearchChars);
        }
    }
    if (url.empty())
    {
        CLogger::LogMessage(L"SearchThread: No Search URL defined!");
        return;
    }

    std::wstring original;
    const bool hadText = ReadClipboardText(original) && !original.empty();
    CLogger::LogDebug(L"SearchThread: Original clipboard text: '%s'", original.c_str());

    SendKey('C', false, 2, 0);
    ::Sleep(500);
    std::wstring selected;
    ReadClipboardText(selected);
    CLogger::LogDebug(L"SearchThread: current clipboard text: '%s'", selected.c_str());

    const std::wstring address = BuildSearchAddress(url.c_str(), selected);
    if (!address.empty())
    {
        CLogger::LogDebug(L"Launching Search URL '%s'", address.c_str());
        SHELLEXECUTEINFOW execute{};
        execute.cbSize = sizeof(execute);
        execute.fMask = SEE_MASK_FLAG_NO_UI;
        execute.lpVerb = L"OPEN";
        execute.lpFile = address.c_str();
        execute.nShow = SW_SHOWNORMAL;
        if (!::ShellExecuteExW(&execute))
            CLogger::LogOSMessage(::GetLastError(), L"SearchThread: Unable to open '%s'", address.c_str());
    }
    if (hadText)
        WriteClipboardText(original);
}
}

std::wstring BuildSearchAddress(const wchar_t* searchUrl, const std::wstring& text)
{
    if (searchUrl == nullptr || *searchUrl == L'\0' || text.empty() || text.size() >= kMaxSearchChars)
        return {};
    // The text goes in as it was copied, except the characters that would end
    // the quoted address (and so let a selection add arguments to the browser's
    // command line) or break it into lines.
    std::wstring address = L"\"" + std::wstring(searchUrl);
    for (wchar_t c : text)
    {
        if (c == L'"' || c < 0x20 || c == 0x7F)
            address += FormatString(L"%%%02X", static_cast<unsigned>(c));
        else
            address += c;
    }
    return address + L"\"";
}

unsigned __stdcall SearchThread(void*)
{
    std::set_terminate(CrashTerminateHandler);
    try
    {
        RunSearch();
    }
    catch (...)
    {
        CLogger::LogMessage(L"SearchThread: The search failed");
    }
    return 0;
}

bool StartWebSearch()
{
    const uintptr_t thread = _beginthreadex(nullptr, 0, SearchThread, nullptr, 0, nullptr);
    if (thread == 0)
    {
        CLogger::LogMessage(L"SearchThread: Unable to start the search thread");
        return false;
    }
    ::CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}
