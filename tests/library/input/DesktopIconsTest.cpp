// The desktop icon layout kept in the settings file: round trips, what other
// layouts and settings a save leaves alone, removal, and unreadable files.

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "DesktopIcons.h"
#include "Folders.h"
#include "LogFile.h"
#include "Logger.h"
#include "TempFolder.h"
#include "pugixml.hpp"

using brmptest::ReadFileBytes;
using brmptest::TempFolder;
using brmptest::WriteFileBytes;

namespace
{
std::string Narrow(const std::wstring& text)
{
    std::string out(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)),
                    '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

using brmptest::ReadLogFile;

// A settings file with other settings, another user's layout and this user's.
std::string SettingsWithLayouts(const std::string& ownIcons)
{
    const std::string key = Narrow(CurrentDesktopIconLayoutKey());
    return "<?xml version=\"1.0\"?>\n<root>\n<version Version=\"1\"/>\n<!-- kept -->\n<Other Value=\"7\"/>\n"
           "<DesktopIcons>\n<OTHERPC-someone><Icon Name=\"Theirs\" xPos=\"1\" yPos=\"2\" gadget=\"false\"/></OTHERPC-someone>\n<" +
           key + ">" + ownIcons + "</" + key + ">\n</DesktopIcons>\n</root>\n";
}

pugi::xml_node OwnLayout(pugi::xml_document& document)
{
    return document.child(L"root").child(L"DesktopIcons").child(CurrentDesktopIconLayoutKey().c_str());
}

int CountIcons(pugi::xml_node layout)
{
    int count = 0;
    for (pugi::xml_node icon = layout.child(L"Icon"); icon; icon = icon.next_sibling(L"Icon"))
        ++count;
    return count;
}
}

TEST(DesktopIcons, ASavedLayoutLoadsBackIconForIcon)
{
    TempFolder folder;
    ASSERT_TRUE(folder);
    const std::wstring file = folder.PathOf(L"settings.xml");

    CIconSettings saved;
    saved.AddIcon(new CIcon(0, L"Recycle Bin", POINT{10, 20}, reinterpret_cast<HWND>(0x1234), false));
    saved.AddIcon(new CIcon(1, L"Tom & \"Jerry\" <Ünïcode>", -150, 32000, nullptr, true));
    saved.AddIcon(new CIcon(2, L"", 0, 0, nullptr, false));
    ASSERT_EQ(saved.SaveIcons(file.c_str()), 1);   // the file did not exist: it is created

    CIconSettings loaded;
    ASSERT_EQ(loaded.LoadIcons(file.c_str()), 1);
    EXPECT_TRUE(loaded.IsLoaded());
    ASSERT_EQ(loaded.GetCount(), 3);
    for (int i = 0; i < 3; ++i)
    {
        const CIcon* want = saved.GetIcon(i);
        const CIcon* got = loaded.GetIcon(i);
        EXPECT_STREQ(got->GetName(), want->GetName()) << i;
        EXPECT_EQ(got->Index(), static_cast<unsigned>(i));
        EXPECT_EQ(got->GetPosition().x, want->GetPosition().x) << i;
        EXPECT_EQ(got->GetPosition().y, want->GetPosition().y) << i;
        EXPECT_EQ(got->IsGadget(), want->IsGadget()) << i;
        EXPECT_EQ(got->WindowHandle(), nullptr) << i;
    }

    // Loading again appends to what is there.
    EXPECT_EQ(loaded.LoadIcons(file.c_str()), 1);
    EXPECT_EQ(loaded.GetCount(), 6);
}

TEST(DesktopIcons, SavingReplacesOnlyThisUsersLayoutAndKeepsTheRestOfTheFile)
{
    TempFolder folder;
    ASSERT_TRUE(folder);
    const std::wstring file = folder.PathOf(L"settings.xml");
    ASSERT_TRUE(WriteFileBytes(file, SettingsWithLayouts("<Icon Name=\"Old\" xPos=\"5\" yPos=\"5\"/>")));

    for (int round = 0; round < 2; ++round)
    {
        CIconSettings icons;
        icons.AddIcon(new CIcon(0, L"New", 3 + round, 4, nullptr, false));
        ASSERT_EQ(icons.SaveIcons(file.c_str()), 1) << round;
    }

    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(file.c_str(), pugi::parse_default | pugi::parse_comments));
    const pugi::xml_node root = document.child(L"root");
    EXPECT_EQ(root.child(L"Other").attribute(L"Value").as_int(), 7);
    EXPECT_TRUE(root.child(L"version"));
    EXPECT_EQ(root.find_child([](pugi::xml_node n) { return n.type() == pugi::node_comment; }).type(), pugi::node_comment);
    EXPECT_STREQ(root.child(L"DesktopIcons").child(L"OTHERPC-someone").child(L"Icon").attribute(L"Name").value(), L"Theirs");

    int layouts = 0;
    for (pugi::xml_node n = root.child(L"DesktopIcons").child(CurrentDesktopIconLayoutKey().c_str()); n;
         n = n.next_sibling(CurrentDesktopIconLayoutKey().c_str()))
        ++layouts;
    EXPECT_EQ(layouts, 1);
    const pugi::xml_node layout = OwnLayout(document);
    ASSERT_EQ(CountIcons(layout), 1);
    EXPECT_STREQ(layout.child(L"Icon").attribute(L"Name").value(), L"New");
    EXPECT_EQ(layout.child(L"Icon").attribute(L"xPos").as_int(), 4);

    // No temporary file is left beside it.
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW(folder.PathOf(L"*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE);
    if (search != INVALID_HANDLE_VALUE)
        ::FindClose(search);
}

TEST(DesktopIcons, MissingPartsOfTheFileReadAsEmptyOrDefault)
{
    TempFolder folder;
    ASSERT_TRUE(folder);
    const std::wstring file = folder.PathOf(L"settings.xml");

    // No "DesktopIcons": loaded, nothing in it.
    ASSERT_TRUE(WriteFileBytes(file, "<root><version/></root>"));
    CIconSettings none;
    EXPECT_EQ(none.LoadIcons(file.c_str()), 1);
    EXPECT_TRUE(none.IsLoaded());
    EXPECT_EQ(none.GetCount(), 0);
    EXPECT_NE(ReadLogFile().find("CIconSettings::LoadIcons: There are no icon positions in the profile."), std::string::npos);

    // Only another user's layout.
    ASSERT_TRUE(WriteFileBytes(file, "<root><DesktopIcons><OTHERPC-someone><Icon Name=\"x\"/></OTHERPC-someone></DesktopIcons></root>"));
    CIconSettings others;
    EXPECT_EQ(others.LoadIcons(file.c_str()), 1);
    EXPECT_EQ(others.GetCount(), 0);
    EXPECT_NE(ReadLogFile().find("CIconSettings::LoadIcons: Unable to find any saved icon positions for '" +
                             Narrow(CurrentDesktopIconLayoutKey()) + "'."),
              std::string::npos);

    // Missing and malformed attributes.
    ASSERT_TRUE(WriteFileBytes(file, SettingsWithLayouts("<Icon Name=\"a\"/><Icon xPos=\"abc\" yPos=\"-7\" gadget=\"true\"/>")));
    CIconSettings partial;
    ASSERT_EQ(partial.LoadIcons(file.c_str()), 1);
    ASSERT_EQ(partial.GetCount(), 2);
    EXPECT_STREQ(partial.GetIcon(0)->GetName(), L"a");
    EXPECT_EQ(partial.GetIcon(0)->GetPosition().x, 0);
    EXPECT_FALSE(partial.GetIcon(0)->IsGadget());
    EXPECT_STREQ(partial.GetIcon(1)->GetName(), L"");
    EXPECT_EQ(partial.GetIcon(1)->GetPosition().x, 0);
    EXPECT_EQ(partial.GetIcon(1)->GetPosition().y, -7);
    EXPECT_TRUE(partial.GetIcon(1)->IsGadget());

    // A list already loaded is not read again.
    EXPECT_EQ(partial.LoadIcons(), 1);
    EXPECT_EQ(partial.GetCount(), 2);

    // A file that is not there.
    CIconSettings missing;
    EXPECT_EQ(missing.LoadIcons(folder.PathOf(L"absent.xml").c_str()), 0);
    EXPECT_FALSE(missing.IsLoaded());
}

TEST(DesktopIcons, AnUnreadableOrReadOnlySettingsFileIsNeverWrittenOver)
{
    TempFolder folder;
    ASSERT_TRUE(folder);
    const std::wstring file = folder.PathOf(L"settings.xml");
    const std::string broken = SettingsWithLayouts("<Icon Name=\"a\"/>") + "<unclosed attr=";
    const std::string cut = "<root><version Version=\"1\"/><Other><Deep>";
    for (const std::string& content : {broken, cut})
    {
        ASSERT_TRUE(WriteFileBytes(file, content));
        CIconSettings icons;
        icons.AddIcon(new CIcon(0, L"a", 1, 1, nullptr, false));
        EXPECT_EQ(icons.SaveIcons(file.c_str()), 0);
        EXPECT_EQ(icons.RemoveListedIcons(file.c_str()), 0);
        EXPECT_EQ(ReadFileBytes(file).value_or(""), content);

        CIconSettings reader;
        EXPECT_EQ(reader.LoadIcons(file.c_str()), 0);
    }

    // A read-only file stays as the user made it.
    const std::string kept = SettingsWithLayouts("<Icon Name=\"a\"/>");
    ASSERT_TRUE(WriteFileBytes(file, kept));
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    CIconSettings icons;
    icons.AddIcon(new CIcon(0, L"a", 1, 1, nullptr, false));
    EXPECT_EQ(icons.SaveIcons(file.c_str()), 0);
    EXPECT_EQ(icons.RemoveListedIcons(file.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(file).value_or(""), kept);
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(DesktopIcons, RemovingDropsEverySavedIconNamedInTheListAndKeepsTheOthers)
{
    TempFolder folder;
    ASSERT_TRUE(folder);
    const std::wstring file = folder.PathOf(L"settings.xml");
    ASSERT_TRUE(WriteFileBytes(file, SettingsWithLayouts("<Icon Name=\"Gone\" xPos=\"1\"/><Icon Name=\"Kept\"/>"
                                                         "<Icon Name=\"Gone\" xPos=\"2\"/><Icon Name=\"gone\"/>"
                                                         "<Icon Name=\"Also\"/>")));
    CIconSettings listed;
    listed.AddIcon(new CIcon(0, L"Gone", 0, 0, nullptr, false));
    listed.AddIcon(new CIcon(1, L"Also", 0, 0, nullptr, false));
    ASSERT_EQ(listed.RemoveListedIcons(file.c_str()), 1);

    pugi::xml_document document;
    ASSERT_TRUE(document.load_file(file.c_str()));
    const pugi::xml_node layout = OwnLayout(document);
    ASSERT_EQ(CountIcons(layout), 2);
    EXPECT_STREQ(layout.child(L"Icon").attribute(L"Name").value(), L"Kept");
    EXPECT_STREQ(layout.child(L"Icon").next_sibling(L"Icon").attribute(L"Name").value(), L"gone");
    EXPECT_TRUE(document.child(L"root").child(L"DesktopIcons").child(L"OTHERPC-someone"));

    // Nothing saved for this user: nothing to remove.
    ASSERT_TRUE(WriteFileBytes(file, "<root><DesktopIcons/></root>"));
    EXPECT_EQ(listed.RemoveListedIcons(file.c_str()), 0);
    ASSERT_TRUE(WriteFileBytes(file, "<root/>"));
    EXPECT_EQ(listed.RemoveListedIcons(file.c_str()), 0);
}

TEST(DesktopIcons, TheListOwnsItsIconsAndCopiesOwnTheirs)
{
    CIconSettings icons;
    EXPECT_EQ(icons.GetCount(), 0);
    EXPECT_EQ(icons.GetIcon(0), nullptr);
    EXPECT_EQ(icons.ClearIcons(), 0);
    EXPECT_EQ(icons.SaveIcons(L"Z:\\no\\such\\folder\\file.xml"), 1);   // no list: nothing to write

    EXPECT_EQ(icons.AddIcon(new CIcon(0, L"one", 1, 2, nullptr, false)), 0);
    icons.AddIcon(new CIcon(1, nullptr, 3, 4, nullptr, true));
    EXPECT_EQ(icons.GetCount(), 2);
    EXPECT_EQ(icons.GetIcon(1)->GetName(), nullptr);
    EXPECT_THROW(icons.GetIcon(2), std::out_of_range);
    EXPECT_THROW(icons.GetIcon(-1), std::out_of_range);

    {
        CIconSettings copy(icons);
        CIconSettings assigned;
        assigned = icons;
        ASSERT_EQ(copy.GetCount(), 2);
        EXPECT_NE(copy.GetIcon(0), icons.GetIcon(0));
        EXPECT_NE(copy.GetIcon(0)->GetName(), icons.GetIcon(0)->GetName());
        EXPECT_STREQ(assigned.GetIcon(0)->GetName(), L"one");
        CIcon single(*icons.GetIcon(0));
        single = *icons.GetIcon(1);
        EXPECT_EQ(single.GetName(), nullptr);
    }
    EXPECT_STREQ(icons.GetIcon(0)->GetName(), L"one");   // the copies freed only their own

    EXPECT_EQ(icons.ClearIcons(), 1);
    EXPECT_EQ(icons.GetCount(), 0);
    EXPECT_FALSE(icons.IsLoaded());
}

TEST(DesktopIcons, TheLayoutKeyIsAlwaysAValidElementName)
{
    const struct
    {
        const wchar_t* computer;
        const wchar_t* user;
        const wchar_t* key;
    } cases[] = {
        {L"DESKTOP-1", L"bob", L"DESKTOP-1-bob"},
        {L"PC", L"John Smith", L"PC-John_Smith"},
        {L"1PC", L"x", L"_1PC-x"},
        {L"PC", L"a(b)$", L"PC-a_b__"},
        {L"PC", L"J\u00f6rg", L"PC-J\u00f6rg"},
        {L"", L"", L"_-"},
    };
    for (const auto& c : cases)
    {
        const std::wstring key = DesktopIconLayoutKey(c.computer, c.user);
        EXPECT_EQ(key, c.key);
        // Whatever the names, a file saved under the key reads back.
        pugi::xml_document document;
        document.append_child(L"root").append_child(key.c_str()).append_child(L"Icon");
        struct Sink : pugi::xml_writer
        {
            std::string text;
            void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
        } sink;
        document.save(sink, L"", pugi::format_raw, pugi::encoding_utf8);
        pugi::xml_document reread;
        EXPECT_TRUE(reread.load_buffer(sink.text.data(), sink.text.size())) << sink.text;
        EXPECT_TRUE(reread.child(L"root").child(key.c_str()).child(L"Icon")) << sink.text;
    }
}

TEST(DesktopIcons, ThePathlessFormsUseTheSettingsFileOfTheSettingsFolder)
{
    TempFolder folder(L"brmpicons");
    ASSERT_TRUE(folder);
    const std::wstring key = L"Software\\BrindlemapTest\\Icons-" + std::to_wstring(::GetCurrentProcessId());
    HKEY machine = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &machine, nullptr),
              ERROR_SUCCESS);
    const std::wstring path = folder.Path();
    ::RegSetValueExW(machine, L"SettingsFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                     static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(machine);
    SetProgramRegistryKeys(key.c_str(), key.c_str());

    wchar_t file[kMaxPathChars] = L"";
    ASSERT_EQ(GetDefaultSettingsFile(file, kMaxPathChars), 0u);
    ASSERT_TRUE(WriteFileBytes(file, SettingsWithLayouts("<Icon Name=\"Stored\" xPos=\"9\"/>")));

    CIconSettings icons;
    ASSERT_EQ(icons.LoadIcons(), 1);
    ASSERT_EQ(icons.GetCount(), 1);
    EXPECT_STREQ(icons.GetIcon(0)->GetName(), L"Stored");

    icons.AddIcon(new CIcon(1, L"Added", 5, 6, nullptr, false));
    EXPECT_EQ(icons.SaveIcons(), 1);
    icons.ClearIcons();
    icons.AddIcon(new CIcon(0, L"Stored", 0, 0, nullptr, false));
    EXPECT_EQ(icons.RemoveListedIcons(), 1);

    CIconSettings reread;
    ASSERT_EQ(reread.LoadIcons(file), 1);
    ASSERT_EQ(reread.GetCount(), 1);
    EXPECT_STREQ(reread.GetIcon(0)->GetName(), L"Added");

    SetProgramRegistryKeys(nullptr, nullptr);
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}
