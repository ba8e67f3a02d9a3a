#include "PortableDecision.h"

#include <shlobj.h>

#include "AppTexts.h"
#include "CommandWord.h"
#include "Handles.h"
#include "StringFormat.h"

namespace
{
constexpr DWORD kVolumeLabelAttribute = 0x8;

std::wstring WithSeparator(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder;
}

bool TryCreateScratch(const std::wstring& path, DWORD& error)
{
    const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file)
    {
        error = ::GetLastError();
        return false;
    }
    return true;
}

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
}

bool IsInsideFolder(const std::wstring& folder, const std::wstring& parent)
{
    if (parent.empty())
        return false;
    const std::wstring prefix = WithSeparator(parent);
    const std::wstring path = WithSeparator(folder);
    if (path.size() <= prefix.size())
        return false;
    return ::CompareStringOrdinal(path.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

bool CanCreateFileIn(const std::wstring& folder, const std::wstring& fileName)
{
    const std::wstring base = WithSeparator(folder);
    DWORD error = 0;
    if (TryCreateScratch(base + fileName, error))
        return true;
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
        return false;
    // Someone left a file of that name: prove the folder with a name of our own.
    const std::wstring::size_type dot = fileName.rfind(L'.');
    const std::wstring stem = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
    const std::wstring extension = dot == std::wstring::npos ? L"" : fileName.substr(dot);
    const std::wstring other = FormatString(L"%s-%lu-%lu%s", stem.c_str(), ::GetCurrentProcessId(),
                                            ::GetTickCount(), extension.c_str());
    return TryCreateScratch(base + other, error);
}

PortableDecision DecidePortable(DWORD commandWord, const std::wstring& programFolder,
                                const std::wstring& programFilesFolder, const std::wstring& settingsFileName)
{
    PortableDecision decision;
    if ((commandWord & CommandBits::Exit) != 0 || (commandWord & CommandBits::NotPortable) != 0)
        return decision;

    if ((commandWord & CommandBits::Portable) != 0)
    {
        decision.portable = true;
        if ((commandWord & CommandBits::NoLog) == 0 && !CanCreateFileIn(programFolder, L"portable.tmp"))
            decision.notice = PortableDecision::NoticeNotWritable;
        return decision;
    }

    const std::wstring folder = WithSeparator(programFolder);
    if (IsInsideFolder(folder, programFilesFolder))
    {
        if (!FileExists(folder + L"uninstaller.exe") && !FileExists(folder + L"uninst.exe"))
            decision.notice = PortableDecision::NoticeUnderProgramFiles;
        return decision;
    }

    const DWORD attributes = ::GetFileAttributesW((folder + settingsFileName).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
    {
        if ((attributes & (FILE_ATTRIBUTE_READONLY | kVolumeLabelAttribute | FILE_ATTRIBUTE_DIRECTORY)) == 0)
        {
            decision.portable = true;
            decision.reason = PortableDecision::ReasonSettingsFileFound;
        }
        return decision;
    }
    DWORD error = 0;
    if (TryCreateScratch(folder + settingsFileName, error))
    {
        decision.portable = true;
        decision.reason = PortableDecision::ReasonFolderWritable;
    }
    return decision;
}

std::wstring PortableNotWritableMessage()
{
    const std::wstring product = AppProductName();
    const std::wstring first = FormatString(
        L"You are trying to run %s in portable mode but the folder can not be written to.", product.c_str());
    return FormatString(L"%s This means that %s can not create it's settings or log file.\n\nTo run in portable "
                        L"mode, ensure you launch %s from a folder which you have write access to.\n\n%s will "
                        L"now terminate.",
                        first.c_str(), product.c_str(), AppShortName().c_str(), product.c_str());
}

std::wstring ProgramFilesWarningText()
{
    return FormatString(L"You appear to be running the portable version of %s from the Program Files folder.",
                        AppProductName().c_str());
}

std::wstring ProgramFilesMessage(const std::wstring& warningText)
{
    const std::wstring shortName = AppShortName();
    return FormatString(L"%s You can not run in portable mode under the Program Files folder as %s will not be "
                        L"able to write it's settings or log files.\n\n%s will now continue in installed mode. To "
                        L"prevent this message in the future. either install %s or run it from a different folder.",
                        warningText.c_str(), AppProductName().c_str(), shortName.c_str(), shortName.c_str());
}

std::wstring ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return L"";
        if (length < path.size())
        {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return L"";
        path.resize(path.size() * 2);
    }
    const std::wstring::size_type slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
}

std::wstring ProgramFilesFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return L"";
    return folder;
}
