#pragma once
// The editors a layer page opens for the actions that carry data of their
// own. Each call runs a modal editor over the given parent and answers
// whether the user confirmed or cancelled; kUnavailable means no editor
// exists for the action (the action is then chosen without one). A test
// replaces the whole set so that no editor ever waits for a person.

#include <windows.h>

#include <string>

#include "ActionList.h"

class CActionData;
class CBRMPChords;
class CBRMPTimedClicks;
class CMovement2Scroll;

enum class EditorOutcome
{
    kConfirmed,
    kCancelled,
    kUnavailable,
};

// Inputs of the keystroke editor; on kConfirmed the editor writes back keys,
// keyAction, keyRepeat, the four flags and description.
struct KeyEditorValues
{
    std::wstring title;
    std::wstring keys;
    int keyAction = 2;
    int keyRepeat = 0;
    bool active = true;
    bool blockMouse = true;
    bool blockMouseActive = false;
    bool randomiseDelay = false;
    bool defaultProfile = false;
    std::wstring description;
};

// Context of the list editors (chords, timed clicks, movement to scroll).
struct ListEditorContext
{
    int button = 0;
    const CActionList* actionList = nullptr;
    bool sortAlphabetically = false;
    bool secondLayout = false;
    bool defaultProfile = false;
    bool portable = false;
    int osVersion = 0;
};

// Result of the folder browser: kConfirmed with an empty path means the
// user chose a folder that has no file-system path.
class ICustomActionEditors
{
public:
    virtual ~ICustomActionEditors() = default;
    virtual EditorOutcome EditKeys(HWND parent, KeyEditorValues& values);
    virtual EditorOutcome EditApplication(HWND parent, std::wstring& path);
    virtual EditorOutcome BrowseFolder(HWND parent, std::wstring& folder);
    // On kConfirmed *result holds a new list the caller adopts.
    virtual EditorOutcome EditChords(HWND parent, const ListEditorContext& context, const CBRMPChords* chords,
                                     CBRMPChords** result);
    virtual EditorOutcome EditTimedClicks(HWND parent, const ListEditorContext& context,
                                          const CBRMPTimedClicks* clicks, CBRMPTimedClicks** result);
    // Edits options in place.
    virtual EditorOutcome EditMovement2Scroll(HWND parent, const ListEditorContext& context,
                                              CMovement2Scroll& options);

    // The editors in use (never null); Set returns the previous set.
    static ICustomActionEditors& Current();
    static ICustomActionEditors* Set(ICustomActionEditors* editors);
};
