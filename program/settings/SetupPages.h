#pragma once
// How the settings dialog drives the pages of its tab control. Every page
// shows one profile of the dialog's settings copy; the dialog tells it which
// (ShowProfile), asks it to write its controls back into that profile before
// anything reads the copy (StoreProfile, which a page may refuse), and points
// it at a new copy after a switch of settings file (SetSettings). Layer pages
// add what only they need.

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CApplicationSettings;
class CLangSupport;
class CSettings;
class CSetupDialog;
class CTabCtrlSSL;
class CTabPageSSL;

// The actions offered by every action picker: display name and action code,
// built once per dialog and shared read-only.
using ActionList = std::vector<std::pair<std::wstring, int>>;

// Puts the list in the order the pickers show: by name when alphabetically,
// else in the program's order of actions.
void SortActionList(ActionList& actions, bool alphabetically);

// What a page is created with.
struct SetupPageContext
{
    CSetupDialog* dialog = nullptr;
    CSettings* settings = nullptr;
    CTabCtrlSSL* tabs = nullptr;
    const ActionList* actions = nullptr;
    int layer = 0;  // 0-based; layer pages only
    bool quillon = false;
    bool portable = false;
    int wheelLines = 3;  // the system's wheel lines when the copy was built
};

class ISetupProfilePage
{
public:
    virtual ~ISetupProfilePage() = default;
    // Creates the page's window (hidden) under the tab control's parent.
    virtual bool CreatePage(const SetupPageContext& context) = 0;
    // The page's dialog object; its window exists once the page was created.
    virtual CTabPageSSL& Page() = 0;
    virtual void SetSettings(CSettings* settings) = 0;
    virtual void ShowProfile(CApplicationSettings* profile) = 0;
    // Writes the page into the profile it shows. False when the page refused
    // a value of its controls: it has said why, the profile is as it was, and
    // the dialog stops what needed the values. A page without a window or a
    // profile has nothing to write and answers true.
    virtual bool StoreProfile() = 0;
};

class ISetupLayerPage : public ISetupProfilePage
{
public:
    // Shows again the profile the page shows (after another page changed it).
    virtual void Refill() = 0;
    // The page's list of layers to switch to, after the layer count changed.
    virtual void PopulateLayerCombo() = 0;
    // Empties the action pickers (a page created for a new settings copy).
    virtual void ResetActionCombos() = 0;
    // Colours the picker of a button (0-8); CLR_INVALID clears it. autoClear:
    // the button sends no release, so the colour goes after a short time.
    virtual void HighlightButton(int button, COLORREF colour, bool autoClear) = 0;
};

// The pages of the program.
std::unique_ptr<ISetupLayerPage> CreateLayerPage(CLangSupport* language);
std::unique_ptr<ISetupProfilePage> CreateScrollingPage(CLangSupport* language);
std::unique_ptr<ISetupProfilePage> CreateOptionsPage(CLangSupport* language);
