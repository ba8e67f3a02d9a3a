#include "ProfileRules.h"

#include <cwchar>

#include "AppSpecific.h"
#include "ApplicationSettings.h"
#include "Control.h"

namespace
{
bool Empty(const wchar_t* text)
{
    return text == nullptr || text[0] == L'\0';
}
}

ProfileIdentity ProfileIdentity::Of(const CApplicationSettings* profile)
{
    ProfileIdentity identity;
    if (profile == nullptr)
        return identity;
    identity.fullName = profile->GetFullName() ? profile->GetFullName() : L"";
    identity.windowMask = profile->GetWindowMask();
    identity.matchType = profile->GetMatchType();
    identity.usesArea = profile->GetUseWindowArea();
    return identity;
}

bool SameProfileKey(const wchar_t* a, const wchar_t* b)
{
    if (Empty(a) || Empty(b))
        return false;
    return ::_wcsicmp(a, b) == 0;
}

bool IsDuplicateProfile(const ProfileIdentity& existing, const ProfileIdentity& candidate, bool compareMatchTypes)
{
    if (!SameProfileKey(existing.fullName.c_str(), candidate.fullName.c_str()))
        return false;
    if ((existing.windowMask & candidate.windowMask) == 0 || candidate.usesArea)
        return false;
    return !compareMatchTypes || (existing.matchType & candidate.matchType) != 0;
}

const wchar_t* DuplicateEditMessage(const ProfileIdentity& existing, const ProfileIdentity& candidate,
                                    bool compareMatchTypes)
{
    const bool masksEqual = existing.windowMask == candidate.windowMask;
    if (!compareMatchTypes)
        return masksEqual ? L"The specified profile already exists.\nYou can not add two profile entries for the same "
                            L"application/window/region."
                          : L"The specified profile already exists.\nYou can not add two profile entries for the same "
                            L"window with overlapping regions.";
    const bool typesEqual = existing.matchType == candidate.matchType;
    if (masksEqual && typesEqual)
        return L"The specified profile already exists.\nYou can not add two profile entries for the same "
               L"application/window/region/match type.";
    if (masksEqual)
        return L"The specified profile already exists.\nYou can not add two profile entries for the same "
               L"application/window/region with overlapping match types.";
    if (typesEqual)
        return L"The specified profile already exists.\nYou can not add two profile entries for the same "
               L"application/window/match type with overlapping regions.";
    return L"The specified profile already exists.\nYou can not add two profile entries for the same "
           L"application/window/match type with overlapping regions and match types.";
}

std::wstring ComposeWindowProfileKey(const std::wstring& caption, const std::wstring& process,
                                     const std::wstring& className, const std::wstring& parentClass)
{
    if (caption.empty() && className.empty() && parentClass.empty())
        return process;
    return CAppSpecific::WindowKey(caption, process, className, parentClass);
}

bool IsSameProfileByValue(const CApplicationSettings& listed, const ActiveProfileIdentity& active)
{
    const wchar_t* listedKey = listed.GetFullName();
    if (Empty(listedKey) || active.fullName.empty() || active.fullName != listedKey)
        return false;
    const wchar_t* listedDescription = listed.GetDescription();
    if (!Empty(listedDescription) || !active.description.empty())
    {
        if (Empty(listedDescription) || active.description != listedDescription)
            return false;
    }
    if (listed.GetWindowMask() != active.windowMask || listed.GetMatchType() != active.matchType)
        return false;
    if (active.usesArea)
    {
        const RECT a = listed.GetWindowArea();
        const RECT& b = active.area;
        if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom)
            return false;
    }
    return true;
}

bool IsSameProfileByValue(const CApplicationSettings& listed, const CApplicationSettings& active)
{
    ActiveProfileIdentity identity;
    identity.fullName = active.GetFullName() != nullptr ? active.GetFullName() : L"";
    identity.description = active.GetDescription() != nullptr ? active.GetDescription() : L"";
    identity.matchType = active.GetMatchType();
    identity.windowMask = active.GetWindowMask();
    identity.usesArea = active.GetUseWindowArea();
    identity.area = active.GetWindowArea();
    return IsSameProfileByValue(listed, identity);
}
