#pragma once
// The rules of the profile list that need no window: when two profiles target
// the same thing, how a window profile's key is composed, and which listed
// profile is the one the engine reports as active.

#include <windows.h>

#include <string>

struct ActiveProfileIdentity;
class CApplicationSettings;

// What makes a profile distinct: its key (application or window key), its
// window mask (quarters; 16 for a window area), its match type (bits: 1 window,
// 2 parent, 4 ancestor) and whether it uses a window area.
struct ProfileIdentity
{
    std::wstring fullName;
    int windowMask = 15;
    int matchType = 1;
    bool usesArea = false;

    static ProfileIdentity Of(const CApplicationSettings* profile);
};

// Keys compared as the engine matches them: ignoring case; a missing key
// equals nothing.
bool SameProfileKey(const wchar_t* a, const wchar_t* b);

// candidate would duplicate existing: the same key, overlapping regions, the
// candidate not limited to an area, and (compareMatchTypes) overlapping match types.
bool IsDuplicateProfile(const ProfileIdentity& existing, const ProfileIdentity& candidate, bool compareMatchTypes);

// The message (English) for a refused edit of a window profile
// (compareMatchTypes) or of an application profile.
const wchar_t* DuplicateEditMessage(const ProfileIdentity& existing, const ProfileIdentity& candidate,
                                    bool compareMatchTypes);

// The key of a window profile edited in the window finder: a window key when a
// caption, class or parent class is given, else the process alone.
std::wstring ComposeWindowProfileKey(const std::wstring& caption, const std::wstring& process,
                                     const std::wstring& className, const std::wstring& parentClass);

// Whether listed (a profile of the dialog's copy) is the profile that the
// engine reports (its identity, or a profile of the library's own settings):
// the same key (case counts), the same description when either has one, the
// same mask and match type and, for an area profile, the same area.
bool IsSameProfileByValue(const CApplicationSettings& listed, const ActiveProfileIdentity& active);
bool IsSameProfileByValue(const CApplicationSettings& listed, const CApplicationSettings& active);
