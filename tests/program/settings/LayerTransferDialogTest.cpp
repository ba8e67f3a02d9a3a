// Copy Layer and Swap Layer on a layer page of the real program's settings
// dialog, driven as a person would: the button on the page, the small dialog
// that asks for the target, the questions that follow, then Apply; the effect
// is read where it lands, in the settings file.

#include <gtest/gtest.h>

#include <windows.h>

#include <sstream>
#include <string>

#include "Actions.h"
#include "ApplicationSettings.h"
#include "Control.h"
#include "LayerTabIds.h"
#include "ProgramRunner.h"
#include "Settings.h"
#include "SetupDialogDriver.h"
#include "SetupDialogIds.h"
#include "WaitFor.h"
#include "pugixml.hpp"

using brmptest::WaitFor;
using namespace setuptest;

namespace
{
// A visible top-level window of the process with this title.
HWND FindTitled(DWORD processId, const std::wstring& title)
{
    struct Search
    {
        DWORD processId;
        const std::wstring& title;
        HWND found;
    } search{processId, title, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner != s->processId || !::IsWindowVisible(window) || TextOf(window) != s->title)
                return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The shown layer page: the visible page holding the Copy button.
HWND ShownLayerPage(HWND dialog)
{
    HWND found = nullptr;
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM param) -> BOOL {
            HWND copy = ::GetDlgItem(child, IDC_LAYER_COPY);
            if (copy == nullptr || !::IsWindowVisible(child))
                return TRUE;
            *reinterpret_cast<HWND*>(param) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The index of the combo item whose data is value, or -1.
int ItemWithData(HWND combo, LPARAM value)
{
    const int count = static_cast<int>(::SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (::SendMessageW(combo, CB_GETITEMDATA, i, 0) == value)
            return i;
    return -1;
}

// What moves with a layer, of a button's element: its attributes and lists
// but the description, the movement-to-scroll options (they stay in place)
// and the flag that only application profiles write.
std::wstring SlotXml(pugi::xml_node slot)
{
    std::wostringstream text;
    for (pugi::xml_attribute attribute : slot.attributes())
    {
        const std::wstring name = attribute.name();
        if (name != L"desc" && name != L"blockmouseactive")
            text << name << L"=" << attribute.value() << L" ";
    }
    for (pugi::xml_node child : slot.children())
        if (std::wstring(child.name()) != L"mts")
            child.print(text, L"", pugi::format_raw);
    return text.str();
}

// A layer of a profile element of the saved file as text: its name and the
// button elements, in button order. The default profile keeps layer n > 1 in
// a child element of its own; application profiles name it in the button's
// element name.
std::wstring LayerXml(pugi::xml_node profile, int layer, bool isDefault)
{
    std::wostringstream text;
    pugi::xml_node holder = isDefault && layer > 0 ? profile.child((L"Layer" + std::to_wstring(layer)).c_str()) : profile;
    if (isDefault)
        text << L"name=" << holder.child(L"Layer").attribute(L"name").value() << L"\n";
    else
        text << L"name=" << profile.child(L"LayerNames").attribute((L"layer" + std::to_wstring(layer + 1)).c_str()).value()
             << L"\n";
    for (int button = 0; button < ButtonCount; ++button)
    {
        std::wstring name = GetButtonName(button);
        if (name.empty())
            continue;
        if (!isDefault && layer > 0)
            name += L"_Layer" + std::to_wstring(layer);
        text << button << L": " << SlotXml(holder.child(name.c_str())) << L"\n";
    }
    return text.str();
}

class LayerTransferDialog : public SetupDialogTest
{
protected:
    LayerTransferDialog() : SetupDialogTest(L"brmp-layer-transfer") {}

    void Prepare(CSettings& settings) override
    {
        settings.SetMaxLayers(4);
        CApplicationSettings& defaults = *settings.GetDefaultApp();
        defaults.SetLayerName(L"First", 0);
        defaults.SetActions(XLeft, 0, ACTION_SIMULATED_KEYS);
        defaults.SetKeystrokes(XLeft, 0, L"one", 1, 0, false, true, false, false);
        defaults.SetActions(XRight, 0, ACTION_RUN_APPLICATION);
        defaults.SetLaunchApp(XRight, 0, L"c:\\tools\\first.exe");
        defaults.SetAutoSwitchTime(0, 2.5);
        defaults.SetLayerName(L"Second", 1);
        defaults.SetActions(XLeft, 1, ACTION_SIMULATED_KEYS);
        defaults.SetKeystrokes(XLeft, 1, L"two", 0, 0, false, false, false, false);
        defaults.SetRevertLayer1(1, true);
        auto* notes = new CApplicationSettings(&settings, false, -1);
        notes->SetApplication(L"notepad.exe");
        notes->SetDescription(L"Notes");
        notes->SetActions(XLeft, 0, ACTION_RUN_APPLICATION);
        notes->SetLaunchApp(XLeft, 0, L"c:\\tools\\notes.exe");
        settings.AddApplication(notes);
    }

    void SetUp() override
    {
        SetupDialogTest::SetUp();
        if (m_dialog == nullptr)
            return;
        m_before = SavedDocumentText();
        m_page = ShownLayerPage(m_dialog);
        ASSERT_NE(m_page, nullptr);
    }

    std::wstring SavedDocumentText()
    {
        pugi::xml_document document;
        document.load_file(SettingsFile().c_str());
        std::wostringstream text;
        document.print(text, L"", pugi::format_raw);
        return text.str();
    }

    // The saved file's default profile (or the first application profile).
    std::wstring SavedLayer(int layer, bool isDefault, const std::wstring& documentText = {})
    {
        pugi::xml_document document;
        if (documentText.empty())
            document.load_file(SettingsFile().c_str());
        else
            document.load_string(documentText.c_str());
        pugi::xml_node root = document.child(L"root");
        pugi::xml_node profile = isDefault ? root.child(L"Default") : root.child(L"Applications").child(L"Application");
        return LayerXml(profile, layer, isDefault);
    }

    // Presses a button of the shown layer page and waits for the dialog it opens.
    HWND OpenFromPage(int button, const wchar_t* title)
    {
        Click(m_page, button);
        HWND opened = nullptr;
        WaitFor([&] { return (opened = FindTitled(m_program.ProcessId(), title)) != nullptr; }, kDialogTimeoutMs);
        return opened;
    }

    // Presses the small dialog's button and waits until it has gone, so that
    // what opens next is not taken for it.
    void Confirm(HWND small)
    {
        Click(small, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(small); }, kDialogTimeoutMs));
    }

    std::wstring m_before;
    HWND m_page = nullptr;
};
}

TEST_F(LayerTransferDialog, CopyingLayerOneToLayerThreeWritesTheSameLayerWithTheNameTypedBeforehand)
{
    // A name typed on the page and not yet stored goes along with the copy.
    ::SendMessageW(::GetDlgItem(m_page, IDC_LAYER_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Typed"));
    ASSERT_TRUE(WaitFor([&] { return IsEnabled(m_dialog, IDOK); }, kDialogTimeoutMs));

    HWND copy = OpenFromPage(IDC_LAYER_COPY, L"Copy Layer");
    ASSERT_NE(copy, nullptr) << programtest::DescribeWindows();
    HWND profiles = ::GetDlgItem(copy, IDC_LAYER_DEST_PROFILE);
    HWND layers = ::GetDlgItem(copy, IDC_LAYER_DEST_LAYER);
    EXPECT_EQ(TextOf(profiles), L"Default");
    EXPECT_EQ(::SendMessageW(layers, CB_GETCOUNT, 0, 0), 3) << "the source layer is not offered in its own profile";
    EXPECT_EQ(ItemWithData(layers, 0), -1);
    EXPECT_EQ(::SendMessageW(layers, CB_GETITEMDATA, ::SendMessageW(layers, CB_GETCURSEL, 0, 0), 0), 1)
        << "the next layer is chosen first";
    programtest::SaveScreenshot(L"setup-dialog-copy-layer.png");
    ::SendMessageW(layers, CB_SETCURSEL, ItemWithData(layers, 2), 0);
    Confirm(copy);

    // Layer 3 is empty: no question about replacing it, only the one about applying first.
    std::wstring question;
    HWND box = WaitForMessageBox(m_program.ProcessId(), &question);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(question.find(L"apply your settings before copying"), std::wstring::npos) << question.c_str();
    Answer(box, IDNO);
    Apply();

    EXPECT_EQ(SavedLayer(2, true), SavedLayer(0, true));
    EXPECT_NE(SavedLayer(2, true).find(L"name=Typed\n"), std::wstring::npos) << SavedLayer(2, true).c_str();
    EXPECT_NE(SavedLayer(2, true).find(L"first.exe"), std::wstring::npos);
    EXPECT_EQ(SavedLayer(1, true), SavedLayer(1, true, m_before)) << "no other layer changed";
}

TEST_F(LayerTransferDialog, SwapExchangesTheTwoLayers)
{
    HWND swap = OpenFromPage(IDC_LAYER_SWAP, L"Swap Layer");
    ASSERT_NE(swap, nullptr) << programtest::DescribeWindows();
    HWND layers = ::GetDlgItem(swap, IDC_LAYER_DEST_LAYER);
    EXPECT_EQ(::SendMessageW(layers, CB_GETCOUNT, 0, 0), 3);
    ::SendMessageW(layers, CB_SETCURSEL, ItemWithData(layers, 1), 0);
    programtest::SaveScreenshot(L"setup-dialog-swap-layer.png");
    Confirm(swap);
    Apply();

    EXPECT_EQ(SavedLayer(0, true), SavedLayer(1, true, m_before));
    EXPECT_EQ(SavedLayer(1, true), SavedLayer(0, true, m_before));
    EXPECT_EQ(FindMessageBox(m_program.ProcessId()), nullptr) << "nothing to apply first, nothing asked";
}

TEST_F(LayerTransferDialog, CopyingIntoAnotherProfileOffersEveryLayerAndAsksBeforeReplacingOne)
{
    HWND copy = OpenFromPage(IDC_LAYER_COPY, L"Copy Layer");
    ASSERT_NE(copy, nullptr) << programtest::DescribeWindows();
    HWND profiles = ::GetDlgItem(copy, IDC_LAYER_DEST_PROFILE);
    HWND layers = ::GetDlgItem(copy, IDC_LAYER_DEST_LAYER);
    ::SendMessageW(profiles, CB_SETCURSEL, 1, 0);
    ::SendMessageW(copy, WM_COMMAND, MAKEWPARAM(IDC_LAYER_DEST_PROFILE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(profiles));
    EXPECT_EQ(TextOf(profiles), L"Notes (notepad.exe)");
    ASSERT_TRUE(WaitFor([&] { return ::SendMessageW(layers, CB_GETCOUNT, 0, 0) == 4; }, kDialogTimeoutMs))
        << "every layer of another profile is offered";
    ::SendMessageW(layers, CB_SETCURSEL, ItemWithData(layers, 0), 0);
    Confirm(copy);

    // Its layer 1 holds an action: replacing it is asked first.
    std::wstring question;
    HWND box = WaitForMessageBox(m_program.ProcessId(), &question);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(question.find(L"replace layer 1 in Notes (notepad.exe)"), std::wstring::npos) << question.c_str();
    Answer(box, IDYES);
    Apply();

    EXPECT_EQ(SavedLayer(0, false), SavedLayer(0, true)) << "the default profile's layer 1 in the application profile";
    EXPECT_EQ(SavedLayer(0, true), SavedLayer(0, true, m_before)) << "the source stays as it was";
}
