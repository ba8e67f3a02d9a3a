#pragma once
// Offering and running the update that a version check found: the new-version
// dialog asks, the progress dialog downloads the installer on a worker thread,
// and only a complete, verified download is started. A portable installation
// only offers the web site.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

class CLangSupport;
struct UpdateContext;

// The texts of an offered version number ("%08d" read as four two-digit
// fields; patch 99 is a beta of the next minor version, patch 0 is left out).
struct UpdateVersionText
{
    bool valid = false;
    bool beta = false;
    std::wstring display;   // "2.21 Beta 3", "2.21", "2.21.1"; "?.?" when not valid
    std::wstring fileForm;  // "2.21 Beta3", "2.21", "2.21.1"
};
UpdateVersionText DecodeUpdateVersion(int version);

// The installer's address: the release or beta download address with the
// offered and the own version ("&newversion=2210000&oldversion=22050").
std::wstring UpdateDownloadAddress(bool beta, int version);
// The product's web page (portable offer) and the change-log addresses.
std::wstring UpdateWebPage();
std::wstring ChangeLogAddress(bool beta);

// The most characters of the temporary folder that are used.
constexpr std::size_t kMaxUpdateFolderChars = 1024;
// "<folder>\BRMPUpdateX64.<fileForm>.exe" with exactly one separator; empty
// when the folder is empty or longer than kMaxUpdateFolderChars, or the
// version text holds characters that do not belong in a file name.
std::wstring UpdateInstallerPath(const std::wstring& tempFolder, const std::wstring& fileForm);

// Whether a downloaded file may be started: it exists, is not empty, has the
// size the server announced (when it announced one) and is a Windows program.
// why gets the reason when it may not.
bool VerifyDownloadedInstaller(const std::wstring& path, std::uint64_t announcedSize, std::wstring& why);

// Progress of one download, as the transport reports it.
class IDownloadProgress
{
public:
    virtual ~IDownloadProgress() = default;
    virtual void Started() = 0;
    // status: the bind status code (3 redirecting, 5 downloading data).
    // False: the user cancelled; the transport stops.
    virtual bool Progress(ULONG progress, ULONG maximum, ULONG status, const wchar_t* statusText) = 0;
};

// How the update reaches the machine and is started; tests give their own.
class IUpdateTransport
{
public:
    virtual ~IUpdateTransport() = default;
    // The user's temporary folder.
    virtual std::wstring TempFolder();
    // Downloads address to file; S_OK when the whole file arrived.
    virtual HRESULT Download(const std::wstring& address, const std::wstring& file, IDownloadProgress& progress);
    // Drops any cached copy of address.
    virtual void RemoveCached(const std::wstring& address);
    // Starts the installer; the shell's result (above 32: started).
    virtual INT_PTR Launch(const std::wstring& file);
    // The text of the change log, or false when it cannot be read.
    virtual bool ReadChangeLog(const std::wstring& address, std::wstring& text);
    // The pauses of the worker (before and after starting the installer).
    virtual void Pause(DWORD ms);
};
IUpdateTransport& DefaultUpdateTransport();
// Null restores the default.
void SetUpdateTransport(IUpdateTransport* transport);
IUpdateTransport& UpdateTransport();

// The change log for the new-version dialog, at most kMaxChangeLogBytes read;
// "Unable to locate change log!" when it cannot be read.
constexpr std::size_t kMaxChangeLogBytes = 1024 * 1024;
std::wstring ReadChangeLog(bool beta);

class CAutoUpdate
{
public:
    explicit CAutoUpdate(CLangSupport* language) : m_language(language) {}
    virtual ~CAutoUpdate() = default;

    // True when the user accepted (web site opened, or download run); false
    // when the user declined (the owner asks again later).
    bool Update(int version, bool portable, HWND owner = nullptr);

    CLangSupport* Language() const { return m_language; }
    bool IsBeta() const { return m_beta; }
    int Version() const { return m_version; }
    const std::wstring& FileForm() const { return m_fileForm; }

private:
    CLangSupport* m_language;
    bool m_beta = false;
    int m_version = 0;
    std::wstring m_fileForm;
};

// The download worker: true when the installer was started.
bool DownloadAndUpdate(UpdateContext& context);
