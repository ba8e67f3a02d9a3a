#include "CommandWord.h"

#include <vector>

#include "Logger.h"
#include "MessageBox.h"
#include "StringFormat.h"
#include "TrimWhiteSpace.h"

namespace
{
struct Switch
{
    const wchar_t* text;
    DWORD bits;
};

// Tested in this order; each found switch ORs in its bits.
const Switch kPlainSwitches[] = {
    {L"/reload", CommandBits::Reload},
    {L"/enable", CommandBits::Enable},
    {L"/disable", CommandBits::Disable},
    {L"/showicon", CommandBits::ShowIcon},
    {L"/hideicon", CommandBits::HideIcon},
    {L"/setup", CommandBits::Setup},
    {L"/debug", CommandBits::Debug},
    {L"/nolog", CommandBits::NoLog},
    {L"/quillon", CommandBits::Quillon},
    {L"/portable", CommandBits::Portable},
    {L"/notportable", CommandBits::NotPortable},
    {L"/svclaunch", CommandBits::ServiceLaunch | CommandBits::NotPortable},
    {L"/delay", CommandBits::Delay | CommandBits::NotPortable},
    {L"/saveicons", CommandBits::SaveIcons},
    {L"/restoreicons", CommandBits::RestoreIcons},
};

// Only the first of these that occurs is taken.
const Switch kFileSwitches[] = {
    {L"/import:", CommandBits::Import},
    {L"/profile:", CommandBits::Profile},
    {L"/install:", CommandBits::Install},
};

bool Contains(const std::wstring& line, const wchar_t* text)
{
    return line.find(text) != std::wstring::npos;
}

// The value of a valued switch: from after its colon up to the next "/" or the
// end of the line, not trimmed.
bool TakeValue(const std::wstring& line, const wchar_t* text, std::wstring& value)
{
    const std::size_t at = line.find(text);
    if (at == std::wstring::npos)
        return false;
    const std::size_t start = at + std::char_traits<wchar_t>::length(text);
    const std::size_t end = line.find(L'/', start);
    value = line.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    return true;
}

bool IsSlash(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// "x:" or "\\server\share" of an absolute folder; empty when it has neither.
std::wstring RootOf(const std::wstring& folder)
{
    if (folder.size() >= 2 && IsDriveLetter(folder[0]) && folder[1] == L':')
        return folder.substr(0, 2);
    if (folder.size() > 2 && IsSlash(folder[0]) && IsSlash(folder[1]))
    {
        std::size_t end = folder.find_first_of(L"\\/", 2);
        if (end != std::wstring::npos)
            end = folder.find_first_of(L"\\/", end + 1);
        return folder.substr(0, end);
    }
    return {};
}

std::wstring JoinPath(std::wstring folder, const std::wstring& name)
{
    if (!folder.empty() && !IsSlash(folder.back()))
        folder += L'\\';
    return folder + name;
}
}

std::wstring LowerCaseCommandLine(const std::wstring& line)
{
    std::wstring lowered = line;
    if (!lowered.empty())
        ::CharLowerBuffW(lowered.data(), static_cast<DWORD>(lowered.size()));
    return lowered;
}

CommandLineRequest ParseCommandLine(const std::wstring& line)
{
    CommandLineRequest request;
    request.lowered = LowerCaseCommandLine(line);
    const std::wstring& text = request.lowered;

    if (Contains(text, L"/?"))
    {
        request.help = true;
        return request;
    }

    DWORD word = Contains(text, L"/exit") ? CommandBits::Exit : 0;
    for (const Switch& sw : kPlainSwitches)
        if (Contains(text, sw.text))
            word |= sw.bits;

    if (TakeValue(text, L"/layer:", request.argument))
        word |= CommandBits::Layer;

    for (const Switch& sw : kFileSwitches)
    {
        if (TakeValue(text, sw.text, request.argument))
        {
            word |= sw.bits;
            break;
        }
    }

    // "/portable" is found inside "/notportable" too: installed mode wins, and
    // showing the icon wins over hiding it.
    if ((word & CommandBits::Portable) && (word & CommandBits::NotPortable))
        word &= ~CommandBits::Portable;
    if ((word & CommandBits::ShowIcon) && (word & CommandBits::HideIcon))
        word &= ~CommandBits::HideIcon;

    request.word = word;
    return request;
}

std::wstring CurrentWorkingFolder()
{
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return {};
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size())
        return {};
    return std::wstring(buffer.data(), length);
}

bool ResolveFileArgument(DWORD word, std::wstring& argument, const std::wstring& workingFolder)
{
    if ((word & CommandBits::FileArgumentBits) == 0)
        return false;

    std::wstring path;
    for (wchar_t c : argument)
        if (c != L'"')
            path += c;
    path = TrimWhiteSpace(path);
    if (path.empty())
        return false;

    const bool unc = path.size() > 1 && IsSlash(path[0]) && IsSlash(path[1]);
    const bool driveAbsolute = path.size() > 2 && IsDriveLetter(path[0]) && path[1] == L':' && IsSlash(path[2]);
    std::wstring absolute;
    if (unc || driveAbsolute)
    {
        absolute = path;
    }
    else
    {
        const std::wstring root = RootOf(workingFolder);
        if (root.empty())
        {
            CLogger::LogMessage(L"ResolveFileArgument: No usable working folder ('%s') for the file '%s'.",
                                workingFolder.c_str(), path.c_str());
            return false;
        }
        if (IsSlash(path[0]))
        {
            absolute = root + path; // rooted on the working folder's drive
        }
        else if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':')
        {
            // "x:name": relative to the working folder when it is on that drive,
            // else to the drive's root (a later process has no other current
            // folder for it).
            const std::wstring drive = path.substr(0, 2);
            if (root.size() == 2 && ::CompareStringOrdinal(root.c_str(), 2, drive.c_str(), 2, TRUE) == CSTR_EQUAL)
                absolute = JoinPath(workingFolder, path.substr(2));
            else
                absolute = drive + L'\\' + path.substr(2);
        }
        else
        {
            absolute = JoinPath(workingFolder, path);
        }
    }

    // Folds "." and ".." away; the path is absolute, so the current folder plays no part.
    const DWORD needed = ::GetFullPathNameW(absolute.c_str(), 0, nullptr, nullptr);
    if (needed == 0 || needed > 32768)
    {
        CLogger::LogOSMessage(::GetLastError(), L"ResolveFileArgument: Unable to resolve the file '%s'", path.c_str());
        return false;
    }
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD length = ::GetFullPathNameW(absolute.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size())
    {
        CLogger::LogOSMessage(::GetLastError(), L"ResolveFileArgument: Unable to resolve the file '%s'", path.c_str());
        return false;
    }
    argument.assign(buffer.data(), length);
    return true;
}

std::optional<int> LayerFromCommand(DWORD word, const std::wstring& argument, int maxLayers)
{
    if ((word & CommandBits::Layer) == 0)
        return std::nullopt;
    // A file switch's value replaced the layer's: there is no layer to read.
    if (word & CommandBits::FileArgumentBits)
    {
        CLogger::LogMessage(L"LayerFromCommand: Ignoring the layer switch: its value was replaced by the file '%s'.",
                            argument.c_str());
        return std::nullopt;
    }

    std::wstring text;
    for (wchar_t c : argument)
        if (c != L'"')
            text += c;
    text = TrimWhiteSpace(text);

    int layer = 0;
    bool valid = !text.empty() && text.size() <= 9;
    for (wchar_t c : text)
    {
        if (c < L'0' || c > L'9')
        {
            valid = false;
            break;
        }
        layer = layer * 10 + (c - L'0');
    }
    if (!valid || layer < 1 || layer > maxLayers)
    {
        CLogger::LogMessage(L"LayerFromCommand: Ignoring layer '%s': it is not a layer number from 1 to %d.",
                            argument.c_str(), maxLayers);
        return std::nullopt;
    }
    return layer - 1;
}

std::wstring BuildCommandLineHelp(const wchar_t* productName, const wchar_t* version)
{
    // The closing lines are put together here rather than stored as one literal.
    const std::wstring notice = std::wstring(L"Copyright (C) 2026 the ") + productName +
                                L" developers. Free to use, share and change.";
    const std::wstring address = std::wstring(L"https://") + L"brindlemap" + L".invalid/";
    return FormatString(
        L"%s v%s\n\nValid command line options:\n"
        L"  /Portable\t- Force portable mode. (*)\n"
        L"  /NotPortable\t- Force non-portable mode. (*)\n"
        L"  /ShowIcon\t- Show the icon in the system tray\n"
        L"  /HideIcon\t- Hide the icon in the system tray\n"
        L"  /Setup\t\t- Show the setup screen\n"
        L"  /SaveIcons\t- Save the desktop icon positions\n"
        L"  /RestoreIcons\t- Restore the desktop icon positions\n"
        L"  /Debug\t\t- Enable debug logging.\n"
        L"  /NoLog\t\t- Disable all logging.\n"
        L"  /Enable\t\t- Enable BRMP.\n"
        L"  /Disable\t- Disable BRMP.\n"
        L"  /Reload\t\t- Reload BRMP Configuration.\n"
        L"  /Delay\t\t- Wait 10 seconds at start-up before running.\n"
        L"  /Layer:<x>\t- Switch to layer X.\n"
        L"  /Import:<file>\t- Import settings file.\n"
        L"  /Profile:<file>\t- Load the specified BRMP profile (settings)\n"
        L"  /Install:<file>\t- Install a language pack.\n"
        L"  /Exit\t\t- Force the application to exit.\n"
        L"\n(*) Only applicable when BRMP is not already running.\n\n%s %s",
        productName, version, notice.c_str(), address.c_str());
}

void ShowCommandLineHelp(const wchar_t* productName, const wchar_t* version)
{
    ShowMessageBox(BuildCommandLineHelp(productName, version), MB_OK);
}
