#include "AutoUpdate.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <urlmon.h>
#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "AppTexts.h"
#include "CaughtException.h"
#include "Handles.h"
#include "LangSupport.h"
#include "Logger.h"
#include "MessageBox.h"
#include "OSVersion.h"
#include "StringFormat.h"
#include "UpdateDialog.h"
#include "UpdateTrust.h"
#include "VersionCheck.h"

namespace
{
std::wstring Site()
{
    return std::wstring(L"https://www.") + L"brindle" + L"map.net/";
}

constexpr wchar_t kNoChangeLog[] = L"Unable to locate change log!";

IUpdateTransport* g_transport = nullptr;

std::wstring OwnVersionDigits()
{
    return FormatString(L"%d%d%d%d", 2, 20, 5, 0);
}
}

UpdateVersionText DecodeUpdateVersion(int version)
{
    UpdateVersionText text;
    text.display = L"?.?";
    if (version < 0 || version > 99999999)
        return text;
    const std::wstring digits = FormatString(L"%08d", version);
    int major = 0, minor = 0, patch = 0, build = 0;
    if (std::swscanf(digits.c_str(), L"%2d%2d%2d%2d", &major, &minor, &patch, &build) != 4)
        return text;
    if (patch == 99)
    {
        text.beta = true;
        text.display = FormatString(L"%d.%d Beta %d", major, minor + 1, build);
        text.fileForm = FormatString(L"%d.%d Beta%d", major, minor + 1, build);
    }
    else if (patch == 0)
        text.display = text.fileForm = FormatString(L"%d.%d", major, minor);
    else
        text.display = text.fileForm = FormatString(L"%d.%d.%d", major, minor, patch);
    text.valid = true;
    return text;
}

std::wstring UpdateDownloadAddress(bool beta, int version)
{
    const std::wstring base = Site() + (beta ? L"download/beta?product=" : L"download/release?product=") + AppShortName();
    return base + L"&newversion=" + std::to_wstring(version) + L"&oldversion=" + OwnVersionDigits();
}

std::wstring UpdateWebPage()
{
    return Site() + L"portable/";
}

std::wstring ChangeLogAddress(bool beta)
{
    return Site() + (beta ? L"changes/beta.txt" : L"changes/release.txt");
}

std::wstring UpdateInstallerPath(const std::wstring& tempFolder, const std::wstring& fileForm)
{
    if (tempFolder.empty() || tempFolder.size() > kMaxUpdateFolderChars || fileForm.empty())
        return {};
    // The version text is ours, but it becomes part of a path: only digits, dots, blanks and letters.
    for (wchar_t c : fileForm)
        if (!(iswalnum(c) || c == L'.' || c == L' '))
            return {};
    const bool separated = tempFolder.back() == L'\\';
    return FormatString(separated ? L"%sBRMPUpdateX%d.%s.exe" : L"%s\\BRMPUpdateX%d.%s.exe", tempFolder.c_str(), 64,
                        fileForm.c_str());
}

bool VerifyDownloadedInstaller(const std::wstring& path, std::uint64_t announcedSize, std::wstring& why)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        why = L"the file is missing";
        return false;
    }
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (size == 0)
    {
        why = L"the file is empty";
        return false;
    }
    if (announcedSize != 0 && size != announcedSize)
    {
        why = FormatString(L"the file has %I64u of %I64u bytes", size, announcedSize);
        return false;
    }
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
    {
        why = L"the file cannot be read";
        return false;
    }
    char head[2] = {};
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file.Get(), head, sizeof(head), &read, nullptr);
    file.Reset();
    if (!ok || read != 2 || head[0] != 'M' || head[1] != 'Z')
    {
        why = L"the file is not a Windows program";
        return false;
    }
    return true;
}

// ---- The transport of the program ----

namespace
{
// The bind-status callback over IDownloadProgress.
class CBindStatus final : public IBindStatusCallback
{
public:
    explicit CBindStatus(IDownloadProgress& progress) : m_progress(progress) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IBindStatusCallback)
        {
            *object = static_cast<IBindStatusCallback*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Owned by the worker's stack.
    ULONG STDMETHODCALLTYPE AddRef() override { return 0; }
    ULONG STDMETHODCALLTYPE Release() override { return 0; }
    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override
    {
        m_progress.Started();
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG maximum, ULONG status, LPCWSTR text) override
    {
        return m_progress.Progress(progress, maximum, status, text) ? S_OK : E_ABORT;
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO*) override
    {
        if (flags == nullptr)
            return E_POINTER;
        *flags |= BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

private:
    IDownloadProgress& m_progress;
};

// An internet handle closed by its owner.
class CInternetHandle
{
public:
    explicit CInternetHandle(HINTERNET handle) : m_handle(handle) {}
    ~CInternetHandle()
    {
        if (m_handle)
            ::InternetCloseHandle(m_handle);
    }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    HINTERNET Get() const { return m_handle; }

private:
    HINTERNET m_handle;
};
}

std::wstring IUpdateTransport::TempFolder()
{
    std::vector<wchar_t> folder(kMaxUpdateFolderChars + 2, L'\0');
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
    if (length == 0 || length >= folder.size())
        return {};
    return std::wstring(folder.data(), length);
}

HRESULT IUpdateTransport::Download(const std::wstring& address, const std::wstring& file, IDownloadProgress& progress)
{
    CBindStatus status(progress);
    return ::URLDownloadToFileW(nullptr, address.c_str(), file.c_str(), 0, &status);
}

void IUpdateTransport::RemoveCached(const std::wstring& address)
{
    if (!::DeleteUrlCacheEntryW(address.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        CLogger::LogDebug(L"Unable to delete cached download '%s'", address.c_str());
}

INT_PTR IUpdateTransport::Launch(const std::wstring& file)
{
    return reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
}

bool IUpdateTransport::ReadChangeLog(const std::wstring& address, std::wstring& text)
{
    CInternetHandle internet(::InternetOpenW(AppShortName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!internet.Get())
    {
        CLogger::LogOSMessage(::GetLastError(), L"Call to InternetOpen failed. Unable to get the change log.");
        return false;
    }
    CInternetHandle url(::InternetOpenUrlW(internet.Get(), address.c_str(), nullptr, 0,
                                           INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
    if (!url.Get())
    {
        CLogger::LogMessage(L"Call to InternetOpenUrl failed. Unable to get the change log.");
        return false;
    }
    // Pieces are gathered first: a UTF-8 character may straddle two of them.
    std::string bytes;
    for (;;)
    {
        char piece[1024];
        DWORD read = 0;
        if (!::InternetReadFile(url.Get(), piece, sizeof(piece), &read))
        {
            CLogger::LogMessage(L"InternetReadFileEx Failed.");
            return false;
        }
        if (read == 0)
            break;
        if (bytes.size() + read > kMaxChangeLogBytes)
        {
            bytes.append(piece, kMaxChangeLogBytes - bytes.size());
            break;
        }
        bytes.append(piece, read);
    }
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    text.assign(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
    return true;
}

void IUpdateTransport::Pause(DWORD ms)
{
    ::Sleep(ms);
}

IUpdateTransport& DefaultUpdateTransport()
{
    static IUpdateTransport transport;
    return transport;
}

void SetUpdateTransport(IUpdateTransport* transport)
{
    g_transport = transport;
}

IUpdateTransport& UpdateTransport()
{
    return g_transport ? *g_transport : DefaultUpdateTransport();
}

std::wstring ReadChangeLog(bool beta)
{
    CLogger::LogDebug(L"Get the change history from the quennet website...");
    try
    {
        std::wstring text;
        if (UpdateTransport().ReadChangeLog(ChangeLogAddress(beta), text))
            return text;
    }
    catch (...)
    {
        CLogger::LogMessage(L"An error occurred while getting the change history.");
    }
    return kNoChangeLog;
}

// ---- The offer ----

bool CAutoUpdate::Update(int version, bool portable, HWND owner)
{
    CLogger::LogDebug(L"CAutoUpdate::Update");
    m_version = version;
    const UpdateVersionText text = DecodeUpdateVersion(version);
    if (!text.valid)
        CLogger::LogMessage(L"CAutoUpdate::Update: Unable to decode the update version %08d", version);
    m_beta = text.beta;
    m_fileForm = text.fileForm;
    const std::wstring product = AppProductName();

    if (portable)
    {
        std::wstring question = LookupText(
            m_language, L"Portable v%s is available. Would you like to visit the website to find out more?",
            text.display.c_str());
        for (std::size_t at = question.find(L"{0}"); at != std::wstring::npos;
             at = question.find(L"{0}", at + text.display.size()))
            question.replace(at, 3, text.display);
        if (ShowMessageBox(product + L" " + question, MB_YESNO | MB_ICONQUESTION, owner) != IDYES)
            return false;
        CLogger::LogMessage(L"Opening %s portable website...", product.c_str(), text.display.c_str());
        ::ShellExecuteW(owner, L"open", UpdateWebPage().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return true;
    }

    // Without a file name form (an undecodable number) nothing can be downloaded.
    const std::wstring question =
        LookupText(m_language, L"Would you like to upgrade %s from v%s to v%s", product.c_str(), kAppVersion,
                   text.display.c_str());
    CLogger::LogDebug(L"Ask the user to update");
    CUpdateDlg dialog(question, m_beta, m_language);
    const INT_PTR answer = dialog.DoModal();
    if (answer != IDYES && answer != IDOK)
        return false;
    if (!text.valid)
    {
        ShowMessageBox(LookupText(m_language, std::wstring(L"An error occurred while attempting to download the update package.")),
                       MB_OK | MB_ICONEXCLAMATION, owner);
        return true;
    }
    CLogger::LogMessage(L"Downloading %s v%s...", product.c_str(), text.display.c_str());
    const std::wstring title =
        FormatString(L"%s v%s", LookupText(m_language, std::wstring(L"Downloading")).c_str(), text.display.c_str());
    CUPDialog progress(m_language, this, title, &DownloadAndUpdate);
    progress.DoModal();
    progress.Cleanup();
    return true;
}

// ---- The worker ----

namespace
{
// Reports a download's progress to the dialog and answers the user's cancel.
class CDownloadStatus final : public IDownloadProgress
{
public:
    CDownloadStatus(UpdateContext& context) : m_context(context) {}

    void Started() override
    {
        m_context.SetText(LookupText(m_context.language, std::wstring(L"Downloading update...")));
    }

    bool Progress(ULONG progress, ULONG maximum, ULONG status, const wchar_t* statusText) override
    {
        const wchar_t* text = statusText ? statusText : L"";
        if (status == BINDSTATUS_REDIRECTING)
        {
            CLogger::LogDebug(L"Update URL Redirected to: '%s'", text);
            if (statusText && !::DeleteUrlCacheEntryW(statusText) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
                CLogger::LogMessage(L"Unable to delete IE cache entry for '%s'", text);
        }
        else if (status == BINDSTATUS_DOWNLOADINGDATA)
        {
            m_totalSize = maximum;
            if (maximum != 0)
            {
                // More than announced still shows as whole.
                const ULONG done = progress > maximum ? maximum : progress;
                const int percent = static_cast<int>(static_cast<double>(done) / maximum * 100.0);
                m_context.Send(kUpSetProgress, static_cast<WPARAM>(percent));
                std::wstring line = LookupText(m_context.language, L"Downloaded %d of %d bytes",
                                               static_cast<int>(progress), static_cast<int>(maximum));
                if (line.size() > 255)
                    line.resize(255);
                m_context.SetText(line);
                m_context.Send(kUpSetProgress, static_cast<WPARAM>(percent));
            }
        }
        if (m_context.cancelled)
        {
            m_aborted = true;
            CLogger::LogDebug(L"Download Update: Aborting download");
            return false;
        }
        CLogger::LogDebug(L"Download Update: Status=%d (%s), %d of %d", static_cast<int>(status), text,
                          static_cast<int>(progress), static_cast<int>(maximum));
        return true;
    }

    bool Aborted() const { return m_aborted || m_context.cancelled; }
    ULONG TotalSize() const { return m_totalSize; }

private:
    UpdateContext& m_context;
    bool m_aborted = false;
    ULONG m_totalSize = 0;
};

void DeleteIfFile(const std::wstring& path, bool logFailure)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return;
    if (!::DeleteFileW(path.c_str()) && logFailure)
        CLogger::LogMessage(L"Unable to delete old update file '%s'", path.c_str());
}

bool AskRetry(UpdateContext& context, const wchar_t* first)
{
    const std::wstring text =
        FormatString(L"%s\n%s", LookupText(context.language, std::wstring(first)).c_str(),
                     LookupText(context.language,
                                std::wstring(L"Please visit the website to download the latest version or try again."))
                         .c_str());
    return ShowMessageBox(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION, context.window) == IDRETRY;
}

class CComScope
{
public:
    CComScope() : m_ok(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~CComScope()
    {
        if (m_ok)
            ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    bool m_ok;
};
}

bool DownloadAndUpdate(UpdateContext& context)
{
    CComScope com;
    CAutoUpdate* update = context.userData;
    if (update == nullptr)
        return false;
    IUpdateTransport& transport = UpdateTransport();
    const std::wstring address = UpdateDownloadAddress(update->IsBeta(), update->Version());

    for (;;)
    {
        if (context.cancelled)
            return false;
        std::wstring file;
        try
        {
            context.Send(kUpSetProgress, 0);
            CDownloadStatus status(context);
            file = UpdateInstallerPath(transport.TempFolder(), update->FileForm());
            if (file.empty())
            {
                CLogger::LogMessage(L"DownloadAndUpdate: no usable temporary folder for the update package.");
                if (!AskRetry(context, L"An error occurred while attempting to download the update package."))
                    return false;
                continue;
            }
            DeleteIfFile(file, true);
            transport.RemoveCached(address);

            const HRESULT result = transport.Download(address, file, status);
            if (status.Aborted())
            {
                DeleteIfFile(file, false);
                return false;
            }
            std::wstring why;
            if (SUCCEEDED(result) && !VerifyDownloadedInstaller(file, status.TotalSize(), why))
                CLogger::LogMessage(L"DownloadAndUpdate: refusing the downloaded file '%s': %s.", file.c_str(),
                                    why.c_str());
            else if (SUCCEEDED(result) && UpdateTrust().Verify(file, why) != UpdateTrustResult::Trusted)
            {
                // Whatever came, it is not ours: it never runs, and a retry would
                // most likely fetch the same.
                DeleteIfFile(file, false);
                CLogger::LogMessage(L"DownloadAndUpdate: the update package '%s' could not be verified and was "
                                    L"deleted: %s.",
                                    file.c_str(), why.c_str());
                const std::wstring text = FormatString(
                    L"%s\n%s",
                    LookupText(context.language,
                               std::wstring(L"The update package could not be verified and was not started."))
                        .c_str(),
                    LookupText(context.language,
                               std::wstring(L"Please visit the website to download the latest version or try again."))
                        .c_str());
                ShowMessageBox(text, MB_OK | MB_ICONERROR, context.window);
                return false;
            }
            else if (SUCCEEDED(result))
            {
                context.Send(kUpDisableCancel);
                context.SetText(LookupText(context.language, std::wstring(L"Launching the update installation...")));
                context.Send(kUpSetProgress, 100);
                if (static_cast<int>(::GetOSVersion()) > 1)
                    context.Send(kUpMarquee, 1);
                transport.Pause(500);
                CLogger::LogMessage(L"Downloaded update file to '%s' (%d bytes). Launching it...", file.c_str(),
                                    static_cast<int>(status.TotalSize()));
                INT_PTR started = 0;
                try
                {
                    started = transport.Launch(file);
                }
                catch (...)
                {
                    LogCaughtException(L"Unable to launch the update package '%s'", file.c_str());
                }
                if (started > 32)
                {
                    CLogger::LogMessage(L"Successfully launched the update executable '%s'.", file.c_str());
                    transport.Pause(1000);
                    return true;
                }
                CLogger::LogMessage(L"Failed to launch the update executable '%s' Error %d.", file.c_str(),
                                    static_cast<int>(started));
                context.Send(kUpMarquee, 0);
                context.Send(kUpEnableCancel);
                DeleteIfFile(file, false);
                if (!AskRetry(context, L"An error occurred while running the update package."))
                    return false;
                continue;
            }
            DeleteIfFile(file, false);
            CLogger::LogMessage(L"Unable to download the update package. Please visit the website or try again later. (0x%08X)",
                                static_cast<unsigned>(result));
            if (!AskRetry(context, L"An error occurred while attempting to download the update package."))
                return false;
        }
        catch (...)
        {
            LogCaughtException(L"DownloadAndUpdate");
            if (!file.empty())
                DeleteIfFile(file, false);
            // Asked, so that a failure that repeats cannot spin the worker.
            if (!AskRetry(context, L"An error occurred while attempting to download the update package."))
                return false;
        }
    }
}
