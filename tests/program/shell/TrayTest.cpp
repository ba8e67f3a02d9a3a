// The tray icon: which icon shows, the menu's content, the shell records, and
// the real program's icon in Wine's tray with its menu commands.

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "Handles.h"
#include "LayerIcons.h"
#include "ProgramRunner.h"
#include "RealProgramTest.h"
#include "SingleInstance.h"
#include "TempFolder.h"
#include "TrayIcon.h"
#include "TrayMenu.h"
#include "WaitFor.h"
#include "CommandLine.h"

namespace
{
// The colour (0xRRGGBB) and alpha of an icon's pixel.
struct Pixel
{
    DWORD rgb = 0;
    BYTE alpha = 0;
};

Pixel PixelOf(HICON icon, int x, int y)
{
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info))
        return {};
    BITMAP bitmap = {};
    ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    BITMAPINFO header = {};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = bitmap.bmWidth;
    header.bmiHeader.biHeight = -bitmap.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    std::vector<DWORD> bits(static_cast<size_t>(bitmap.bmWidth) * bitmap.bmHeight);
    HDC dc = ::GetDC(nullptr);
    ::GetDIBits(dc, info.hbmColor, 0, bitmap.bmHeight, bits.data(), &header, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, dc);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    const DWORD value = bits[static_cast<size_t>(y) * bitmap.bmWidth + x];
    return Pixel{value & 0x00FFFFFF, static_cast<BYTE>(value >> 24)};
}

int IconWidth(HICON icon)
{
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap = {};
    ::GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// A 16 x 16 icon file of one opaque colour (0xRRGGBB).
std::string SolidIconFile(DWORD rgb)
{
    const int size = 16;
    std::string file;
    auto put16 = [&](WORD v) { file.append(reinterpret_cast<const char*>(&v), 2); };
    auto put32 = [&](DWORD v) { file.append(reinterpret_cast<const char*>(&v), 4); };
    const DWORD imageBytes = 40 + size * size * 4 + size * 4;
    put16(0); put16(1); put16(1);                          // icon directory
    file += static_cast<char>(size); file += static_cast<char>(size); file += '\0'; file += '\0';
    put16(1); put16(32); put32(imageBytes); put32(6 + 16);  // the one entry
    put32(40); put32(size); put32(size * 2); put16(1); put16(32); put32(0); put32(0); put32(0); put32(0); put32(0); put32(0);
    for (int i = 0; i < size * size; ++i)
        put32(0xFF000000 | rgb);
    file.append(static_cast<size_t>(size) * 4, '\0');       // AND mask: all shown
    return file;
}

UINT ItemState(HMENU menu, UINT position)
{
    return ::GetMenuState(menu, position, MF_BYPOSITION);
}

std::wstring ItemText(HMENU menu, UINT position)
{
    wchar_t text[256] = {};
    ::GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return text;
}
} // namespace

TEST(TrayIconChoice, RemappingOffShowsTheDisabledIconElseTheLayersAndAStrayLayerNeverIndexesPastTheTable)
{
    struct Case
    {
        bool hooked;
        bool disabled;
        int layer;
        int expected;
    } cases[] = {
        {true, false, 0, 0},    {true, false, 3, 3},   {true, false, 9, 9},
        {false, false, 3, kDisabledIconIndex},          {true, true, 3, kDisabledIconIndex},
        {true, false, 10, 0},   {true, false, -1, 0},  {true, false, 0x7FFFFFFF, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrayIconIndex(c.hooked, c.disabled, c.layer), c.expected)
            << "hooked " << c.hooked << " disabled " << c.disabled << " layer " << c.layer;
}

TEST(TrayIcons, EveryLayerAndTheDisabledStateHaveTheirOwnOpaqueIconWithTransparentCorners)
{
    CLayerIcons icons;
    icons.Load(L"C:\\no-such-folder\\");
    std::vector<DWORD> centres;
    for (int index = 0; index <= kDisabledIconIndex; ++index)
    {
        HICON icon = icons.Get(index);
        ASSERT_NE(icon, nullptr) << index;
        EXPECT_FALSE(icons.LoadedFromFile(index));
        const int size = IconWidth(icon);
        ASSERT_GE(size, 16);
        EXPECT_EQ(PixelOf(icon, 0, 0).alpha, 0) << "corner of " << index;
        const Pixel edge = PixelOf(icon, size / 2, size / 8 + 1);
        EXPECT_EQ(edge.alpha, 255) << "badge of " << index;
        centres.push_back(edge.rgb);
    }
    for (size_t a = 0; a < centres.size(); ++a)
        for (size_t b = a + 1; b < centres.size(); ++b)
            EXPECT_NE(centres[a], centres[b]) << "icons " << a << " and " << b << " look alike";
    // Out-of-range requests get the first layer's icon rather than reading past the table.
    EXPECT_EQ(icons.Get(11), icons.Get(0));
    EXPECT_EQ(icons.Get(-5), icons.Get(0));
}

TEST(TrayIcons, AnIconFileInTheProgramFolderReplacesThatLayersIconAndItsDebugVariantIsMadeFromIt)
{
    brmptest::TempFolder folder(L"brmp-tray-icons");
    ASSERT_TRUE(folder.IsValid());
    ASSERT_TRUE(brmptest::WriteFileBytes(folder.PathOf(L"Layer3.ico"), SolidIconFile(0x00FF00)));
    ASSERT_TRUE(brmptest::WriteFileBytes(folder.PathOf(L"Disabled.ico"), SolidIconFile(0x0000FF)));
    CLayerIcons icons;
    icons.Load(folder.Path() + L"\\");
    EXPECT_TRUE(icons.LoadedFromFile(2));
    EXPECT_TRUE(icons.LoadedFromFile(kDisabledIconIndex));
    EXPECT_FALSE(icons.LoadedFromFile(1));
    const int size = IconWidth(icons.Get(2));
    EXPECT_EQ(PixelOf(icons.Get(2), size / 2, size / 2).rgb, 0x00FF00u);
    EXPECT_EQ(PixelOf(icons.Get(kDisabledIconIndex), size / 2, size / 2).rgb, 0x0000FFu);

    HICON debug = icons.Compose(2, true, -1);
    ASSERT_NE(debug, nullptr);
    const int composed = IconWidth(debug);
    EXPECT_EQ(PixelOf(debug, composed / 2, composed / 2).rgb, 0x00FF00u) << "the file's icon on top";
    ::DestroyIcon(debug);
}

TEST(TrayIcons, TheSpeedMarksFollowThePositionAndTheDisabledIconHasNone)
{
    CLayerIcons icons;
    icons.Load(L"C:\\no-such-folder\\");
    struct Case
    {
        int index;
        int position;
        int yellowDots;
        bool debug;
    } cases[] = {{0, -1, 0, false}, {0, 0, 0, false}, {0, 1, 1, false}, {0, 3, 3, false}, {4, 2, 2, false},
                 {kDisabledIconIndex, 3, 0, false},
                 // Debug mode keeps the marks on its red disc.
                 {0, 3, 3, true}, {4, 1, 1, true}, {kDisabledIconIndex, 3, 0, true}};
    for (const Case& c : cases)
    {
        HICON icon = icons.Compose(c.index, c.debug, c.position);
        ASSERT_NE(icon, nullptr);
        const int size = IconWidth(icon);
        int dots = 0;
        for (int i = 1; i <= 3; ++i)
            if (PixelOf(icon, size / 4 * i, size - 3).rgb == 0xFFF200)
                ++dots;
        EXPECT_EQ(dots, c.yellowDots) << "index " << c.index << " position " << c.position << " debug " << c.debug;
        ::DestroyIcon(icon);
    }
    HICON debug = icons.Compose(0, true, 3);
    EXPECT_EQ(PixelOf(debug, 1, IconWidth(debug) / 2).rgb, 0xFF0000u) << "debug shows the red disc";
    ::DestroyIcon(debug);
}

TEST(TrayMenuContent, LayersDisableAndDesktopItemsFollowTheState)
{
    TrayMenuState state;
    state.productName = L"Product";
    state.maxLayers = 4;
    state.currentLayer = 2;
    state.layerNames = {L"", L"Browser", L"", L""};
    state.hooked = false;
    std::vector<TrayMenuItem> menu = BuildTrayMenu(state, nullptr);
    ASSERT_GE(menu.size(), 3u);
    ASSERT_EQ(menu[0].children.size(), 4u);
    EXPECT_EQ(menu[0].text, L"&Layers");
    EXPECT_TRUE(menu[1].IsSeparator());
    EXPECT_EQ(menu[0].children[0].text, L"Layer &1");
    EXPECT_EQ(menu[0].children[1].text, L"Layer 2 (Browser)");
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(menu[0].children[i].id, static_cast<UINT>(32900 + i));
        EXPECT_EQ(menu[0].children[i].checked, i == 2) << i;
    }
    std::vector<UINT> ids;
    for (const TrayMenuItem& item : menu)
        ids.push_back(item.id);
    const std::vector<UINT> expected = {0, 0, 109, 110, 32784, 32786, 0, 32803, 0, 32781, 32782, 0, 32778};
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(menu[5].text, L"&Disable Product");
    EXPECT_TRUE(menu[5].checked) << "checked while remapping is off";

    state.maxLayers = 1;
    state.hooked = true;
    state.desktopIcons = false;
    menu = BuildTrayMenu(state, nullptr);
    ids.clear();
    for (const TrayMenuItem& item : menu)
        ids.push_back(item.id);
    EXPECT_EQ(ids, (std::vector<UINT>{109, 110, 32784, 32786, 0, 32803, 0, 32778})) << "one layer: no popup, no separator";
    EXPECT_FALSE(menu[3].checked);

    // Out-of-range layer counts are held to the ten the table has.
    state.maxLayers = 50;
    state.currentLayer = 12;
    menu = BuildTrayMenu(state, nullptr);
    ASSERT_EQ(menu[0].children.size(), 10u);
    EXPECT_EQ(menu[0].children[9].text, L"Layer 1&0");
    for (const TrayMenuItem& item : menu[0].children)
        EXPECT_FALSE(item.checked);
}

TEST(TrayMenuContent, TheRealMenuCarriesTheItemsTheirChecksAndThePopup)
{
    TrayMenuState state;
    state.productName = L"Product";
    state.maxLayers = 3;
    state.currentLayer = 1;
    HMENU menu = CreateTrayMenu(BuildTrayMenu(state, nullptr));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(::GetMenuItemCount(menu), 13);
    HMENU layers = ::GetSubMenu(menu, 0);
    ASSERT_NE(layers, nullptr);
    EXPECT_EQ(::GetMenuItemCount(layers), 3);
    EXPECT_TRUE(ItemState(layers, 1) & MF_CHECKED);
    EXPECT_FALSE(ItemState(layers, 0) & MF_CHECKED);
    EXPECT_EQ(::GetMenuItemID(layers, 2), 32902u);
    EXPECT_TRUE(ItemState(menu, 1) & MF_SEPARATOR);
    EXPECT_EQ(ItemText(menu, 5), L"&Disable Product");
    EXPECT_EQ(::GetMenuItemID(menu, 7), 32803u);
    EXPECT_EQ(ItemText(menu, 7), L"&Check for update...");
    EXPECT_EQ(::GetMenuItemID(menu, 12), 32778u);
    ::DestroyMenu(menu);
}

TEST(TrayRecords, TextsAreCutToTheirFieldsAndBalloonFlagsFollowTheKind)
{
    HWND window = reinterpret_cast<HWND>(0x1234);
    const std::wstring longText(600, L'x');
    NOTIFYICONDATAW record = MakeTrayRecord(window, nullptr, longText);
    EXPECT_EQ(record.cbSize, 968u);
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uCallbackMessage, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(std::wstring(record.szTip).size(), 127u);
    EXPECT_EQ(MakeTrayRecord(window, nullptr, L"").szTip[0], L'\0');

    struct Case
    {
        int kind;
        int shell;
        DWORD size;
        UINT flags;
        DWORD info;
    } cases[] = {
        {1, 6, 976, NIF_INFO | NIF_REALTIME, NIIF_USER | NIIF_NOSOUND},
        {5, 6, 976, NIF_INFO | NIF_REALTIME, NIIF_USER},
        {6, 3, 968, NIF_INFO, NIIF_USER},
        {9, 3, 968, NIF_INFO, NIIF_USER | NIIF_NOSOUND},
    };
    for (const Case& c : cases)
    {
        NOTIFYICONDATAW balloon = MakeBalloonRecord(window, nullptr, longText, longText, c.kind, c.shell);
        EXPECT_EQ(balloon.cbSize, c.size) << c.kind;
        EXPECT_EQ(balloon.uFlags, c.flags) << c.kind;
        EXPECT_EQ(balloon.dwInfoFlags, c.info) << c.kind;
        EXPECT_EQ(std::wstring(balloon.szInfoTitle).size(), 63u);
        EXPECT_EQ(std::wstring(balloon.szInfo).size(), 255u);
    }
}

TEST(TrayRecords, TheTooltipCarriesTheVersionAndTheModes)
{
    const std::wstring plain = TrayTooltip(false, false);
    EXPECT_NE(plain.find(L" v2.20.5"), std::wstring::npos) << plain;
    EXPECT_EQ(TrayTooltip(true, false), plain + L" (Portable)");
    EXPECT_EQ(TrayTooltip(false, true), plain + L" (Quillon)");
    EXPECT_EQ(TrayTooltip(true, true), plain + L" (Quillon Portable)");
}

// ---------------------------------------------------------------- the real program in Wine's tray

namespace
{
// Whether the shell holds an icon for the window (a modify of a missing icon fails).
bool TrayHasIcon(HWND window)
{
    NOTIFYICONDATAW record = MakeTrayRecord(window, nullptr, std::wstring());
    record.uFlags = 0;
    return ::Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}

HWND VisibleMenuWindow()
{
    HWND menu = ::FindWindowW(L"#32768", nullptr);
    return menu && ::IsWindowVisible(menu) ? menu : nullptr;
}

class TrayOfTheProgram : public programtest::RealProgramTest
{
protected:
    TrayOfTheProgram() : RealProgramTest(L"brmp-tray") {}
    bool Ended() const { return m_program.Ended(0); }
    std::string Log() const { return m_program.Log(); }

    HWND m_window = nullptr;
};

TEST_F(TrayOfTheProgram, ItsIconIsInTheTrayItsMenuOpensAndItsCommandsSwitchTheLayerHideTheIconAndExit)
{
    ASSERT_TRUE(m_program.Start(L"/portable /debug"));
    ASSERT_TRUE(brmptest::WaitFor([&] {
        m_window = ::FindWindowW(m_name.c_str(), nullptr);
        return m_window != nullptr || Ended();
    }, 60000));
    ASSERT_FALSE(Ended()) << Log();
    EXPECT_TRUE(brmptest::WaitFor([&] { return TrayHasIcon(m_window); }, 20000)) << Log();
    EXPECT_EQ(Log().find("Unable to create system tray icon."), std::string::npos) << Log();

    // A shell that starts anew has lost every icon and says so: the icon comes back.
    NOTIFYICONDATAW lost = MakeTrayRecord(m_window, nullptr, std::wstring());
    lost.uFlags = 0;
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &lost));
    ASSERT_FALSE(TrayHasIcon(m_window));
    ::PostMessageW(m_window, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(brmptest::WaitFor([&] { return TrayHasIcon(m_window); }, 20000)) << Log();
    EXPECT_TRUE(m_program.LogHas("OnTaskBarCreated: Recreating systray icon")) << Log();

    // A right click on the icon opens the menu (at the cursor: put it by the tray).
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 10, ::GetSystemMetrics(SM_CYSCREEN) - 10);
    ::PostMessageW(m_window, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONDOWN);
    HWND menu = nullptr;
    EXPECT_TRUE(brmptest::WaitFor([&] {
        RECT box = {};
        return (menu = VisibleMenuWindow()) != nullptr && ::GetWindowRect(menu, &box) && box.bottom - box.top > 40;
    }, 20000));
    if (menu)
    {
        ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageW(m_window, WM_CANCELMODE, 0, 0);
        EXPECT_TRUE(brmptest::WaitFor([&] { return VisibleMenuWindow() == nullptr; }, 20000));
    }

    // "Layer 2" of the menu (a new profile has two) makes layer 2 current, and the icon follows.
    ::PostMessageW(m_window, WM_COMMAND, 32901, 0);
    EXPECT_TRUE(brmptest::WaitFor([&] { return Log().find("Tray icon: showing layer 2.") != std::string::npos; }, 20000))
        << Log();

    ::PostMessageW(m_window, WM_COMMAND, 110, 0);  // Hide Icon
    EXPECT_TRUE(brmptest::WaitFor([&] { return !TrayHasIcon(m_window); }, 20000));
    EXPECT_FALSE(Ended());

    ::PostMessageW(m_window, WM_COMMAND, 32778, 0);  // Exit
    EXPECT_TRUE(brmptest::WaitFor([&] { return Ended(); }, 20000));
}
} // namespace
