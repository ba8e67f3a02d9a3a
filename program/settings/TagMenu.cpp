#include "TagMenu.h"

#include <algorithm>
#include <initializer_list>

#include "LangSupport.h"
#include "StringFormat.h"

namespace
{
// One menu entry: a caption and its command; a null caption is a separator.
struct TagMenuItem
{
    const wchar_t* caption;
    int command;
};
constexpr TagMenuItem kSeparator{nullptr, 0};

void AppendItems(HMENU menu, CLangSupport* language, std::initializer_list<TagMenuItem> items, bool translate = true)
{
    for (const TagMenuItem& item : items)
    {
        if (item.caption == nullptr)
        {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const std::wstring caption = translate ? LookupText(language, std::wstring(item.caption)) : item.caption;
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.command), caption.c_str());
    }
}

void AppendSubMenu(HMENU parent, CLangSupport* language, const wchar_t* title, HMENU child)
{
    const std::wstring caption = LookupText(language, std::wstring(title));
    ::AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(child), caption.c_str());
}

HMENU Popup(CLangSupport* language, std::initializer_list<TagMenuItem> items)
{
    HMENU menu = ::CreatePopupMenu();
    AppendItems(menu, language, items);
    return menu;
}

HMENU FunctionKeys()
{
    HMENU menu = ::CreatePopupMenu();
    for (int n = 1; n <= 24; ++n)
    {
        if (n == 13)
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        const std::wstring caption = L"F" + std::to_wstring(n);
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(367 + n), caption.c_str());
    }
    return menu;
}

HMENU NumericKeypad(CLangSupport* language)
{
    HMENU menu = Popup(language, {{L"Num Lock &Toggle", 400}, {L"Num Lock &On", 4106}, {L"Num Lock O&ff", 4107},
                                  kSeparator, {L"&Divide", 367}, {L"&Multiply", 362}, {L"&Subtract", 365},
                                  {L"&Add", 363}, {L"Decima&l", 366}, {L"&Enter", 525}, kSeparator});
    for (int n = 0; n <= 9; ++n)
    {
        const std::wstring caption = LookupText(language, FormatString(L"Num &%d", n));
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(352 + n), caption.c_str());
    }
    return menu;
}

HMENU MouseButtonsMenu(CLangSupport* language)
{
    HMENU menu = Popup(language, {{L"L&eft Button", 257}, {L"R&ight Button", 258}, {L"Mi&ddle Button", 260},
                                  {L"4&th Button", 261}, {L"5t&h Button", 262}, {L"Wheel U&p", 4096},
                                  {L"Wheel D&own", 4097}, {L"Wheel &Tilt Left", 4098}, {L"Wheel Tilt Ri&ght", 4099},
                                  kSeparator});
    AppendSubMenu(menu, language, L"&Press",
                  Popup(language, {{L"L&eft Button", 513}, {L"R&ight Button", 514}, {L"Mi&ddle Button", 516},
                                   {L"4&th Button", 517}, {L"5t&h Button", 518}}));
    AppendSubMenu(menu, language, L"Re&lease",
                  Popup(language, {{L"L&eft Button", 1025}, {L"R&ight Button", 1026}, {L"Mi&ddle Button", 1028},
                                   {L"4&th Button", 1029}, {L"5t&h Button", 1030}}));
    return menu;
}

HMENU LayerTags(CLangSupport* language, int layerCount)
{
    HMENU menu = Popup(language, {{L"Ne&xt Layer", 4154}, {L"P&revious Layer", 4155}, {L"&Last Layer", 4156},
                                  kSeparator});
    const std::wstring word = LookupText(language, std::wstring(L"Layer"));
    const int count = std::clamp(layerCount, 1, 10);
    for (int n = 1; n <= count; ++n)
    {
        const std::wstring caption =
            n == 10 ? FormatString(L"%s 1&0", word.c_str()) : FormatString(L"%s &%d", word.c_str(), n);
        ::AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(4143 + n), caption.c_str());
    }
    return menu;
}
} // namespace

HMENU BuildTagMenu(CLangSupport* language, int layerCount)
{
    HMENU menu = ::CreatePopupMenu();
    AppendSubMenu(menu, language, L"&Modifier Keys",
                  Popup(language, {{L"&Control", 273}, {L"&Right Control", 419}, {L"&Alt", 274},
                                   {L"R&ight Alt (Alt Gr)", 421}, {L"&Shift", 272}, {L"Ri&ght Shift", 417},
                                   {L"&Windows Key", 347}, {L"Rig&ht Windows Key", 348},
                                   {L"A&pps (Context Menu) key", 349}}));
    AppendSubMenu(menu, language, L"&Standard Keys",
                  Popup(language, {{L"&Escape", 283}, {L"&Space", 288}, {L"&Return", 269}, {L"&Tab", 265},
                                   {L"&Backspace", 264}, kSeparator, {L"&Delete", 302}, {L"&Insert", 301},
                                   {L"&Home", 292}, {L"E&nd", 291}, {L"Page U&p", 289}, {L"Page Do&wn", 290},
                                   kSeparator, {L"PrtScn", 300}, {L"Pa&use", 275}, {L"Break", 259}, kSeparator,
                                   {L"CAPS Lock To&ggle", 276}, {L"Caps Lock &On", 4102}, {L"Caps Lock O&ff", 4103},
                                   kSeparator, {L"Scroll &Lock Toggle", 401}, {L"Scroll Lo&ck On", 4104},
                                   {L"Scroll Loc&k Off", 4105}}));
    AppendSubMenu(menu, language, L"&Direction Keys",
                  Popup(language, {{L"&Up", 294}, {L"&Down", 296}, {L"&Left", 293}, {L"&Right", 295}}));
    AppendSubMenu(menu, language, L"&Function Keys", FunctionKeys());
    AppendSubMenu(menu, language, L"&Numeric Keypad", NumericKeypad(language));
    AppendSubMenu(menu, language, L"M&edia Keys",
                  Popup(language, {{L"Volume &Up", 431}, {L"Volume &Down", 430}, {L"Set &Volume Percent", 4197},
                                   {L"&Mute", 429}, {L"&Play/Pause", 435}, {L"&Stop", 434}, {L"&Next Track", 432},
                                   {L"P&revious Track", 433}}));
    AppendSubMenu(menu, language, L"&Browser Keys",
                  Popup(language, {{L"Ho&me", 428}, {L"&Back", 422}, {L"&Forward", 423}, {L"F&avourites", 427},
                                   {L"R&efresh", 424}, {L"&Search", 426}, {L"Sto&p", 425}}));
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendSubMenu(menu, language, L"Mo&use Buttons", MouseButtonsMenu(language));
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendSubMenu(menu, language, L"&Layer Tags", LayerTags(language, layerCount));
    AppendSubMenu(menu, language, L"Mo&vement Tags",
                  Popup(language, {{L"&Move Cursor (X,Y)", 4128}, kSeparator,
                                   {L"&Set position relative to primary monitor (X,Y)", 4129},
                                   {L"S&et position relative to primary profile window (X,Y)", 4130},
                                   {L"Se&t position relative to active window (X,Y)", 4131}, kSeparator,
                                   {L"S&ave position", 4132}, {L"&Restore saved position", 4133}}));
    AppendSubMenu(menu, language, L"&Action Tags",
                  Popup(language, {{L"&Activate window", 4176}, {L"Activate &parent", 4177},
                                   {L"Activate &top", 4178}, {L"&Busy Cursor", 4179}, {L"&Default Cursor", 4180},
                                   {L"&Invert X && Y Axis", 4181}, {L"I&nvert X Axis", 4182},
                                   {L"In&vert Y Axis", 4183}, {L"Lock &X Axis", 4184}, {L"Lock &Y Axis", 4185},
                                   {L"Loc&k XY Axis", 4192}, {L"Un&lock X Axis", 4193}, {L"Unl&ock Y Axis", 4194},
                                   {L"Unlo&ck XY Axis", 4195}, {L"&Flush Queue", 4196}}));
    AppendSubMenu(menu, language, L"A&pplication Tags",
                  Popup(language, {{L"&Run application", 4256}, {L"Run application (&hidden)", 4257},
                                   {L"Run application (&maximized)", 4258}, {L"Run application (mi&nimized)", 4259},
                                   {L"Run application (&inactive)", 4260},
                                   {L"Run application (as &Administrator)", 4261},
                                   {L"&Kill/Terminate process", 4262}}));
    AppendSubMenu(menu, language, L"&Other Tags",
                  Popup(language, {{L"Set &Clipboard Text", 4117}, kSeparator, {L"La&unch EMail", 436},
                                   {L"Launch App &1", 438}, {L"Launch App &2", 439}, {L"Launch &Media Select", 437},
                                   kSeparator, {L"Brightness &Up", 4100}, {L"Brightness &Down", 4101}, kSeparator,
                                   {L"&Wait <x> second(s)", 4108}, {L"W&ait <x> millisecond(s)", 4109},
                                   {L"&Hold for <x> second(s)", 4110}, {L"H&old for <x> millisecond(s)", 4111},
                                   kSeparator, {L"Send &virtual key code", 4112},
                                   {L"Send &extended virtual key code", 4113}, {L"Send &keyboard scancode", 4114},
                                   {L"Send e&xtended keyboard scancode", 4115}, kSeparator,
                                   {L"&Clear modifier tag state", 4116},
                                   {L"&Press key (Methods 1,2,4,5,6,7 && 9)", 4160},
                                   {L"Release ke&y (Methods 1,2,4,5,6,7 && 9)", 4161},
                                   {L"&Send only when pressing", 4162}, {L"Send o&nly when releasing", 4163},
                                   {L"Send on&ly when repeating", 4164}}));
    return menu;
}

namespace
{
// The help text in groups; an empty string marks an empty line between groups.
const wchar_t* const kHelpLines[] = {
    L"Type the key sequence into the box above.\r\nYou can simulate the following extended keys using the specified tags...",
    L"",
    L"Modifier tags: {CTRL} {RCTRL} {ALT} {RALT} {ALTGR} {SHIFT} {RSHIFT} {LWIN} {RWIN} {APPS}",
    L"Modifier tags apply to the next key only, e.g. {CTRL}c presses Ctrl+C; {CTRL}{SHIFT}s presses Ctrl+Shift+S.",
    L"",
    L"Extended key tags: {INS} {DEL} {HOME} {END} {PGUP} {PGDN} {ESC} {RETURN} {NUMENTER} {TAB} {SPACE} {BACKSPACE} {PRTSCN} {PRINT} {HELP} {PAUSE} {BREAK} {CAPSLOCK} {NUMLOCK} {SCROLLLOCK}",
    L"",
    L"Direction key tags: {UP} {DOWN} {LEFT} {RIGHT}",
    L"Function key tags: {F1} to {F24}",
    L"Volume key tags: {VOL+} {VOL-} {MUTE}, and {VOL:x} sets the volume to x percent (0 to 100)",
    L"Media key tags: {MEDIAPLAY} {MEDIASTOP} {MEDIANEXT} {MEDIAPREV}",
    L"Mouse button tags: {LMB} {RMB} {MMB} {MB4} {MB5} click the button",
    L"Mouse button up/down tags: {LMBD} {RMBD} {MMBD} {MB4D} {MB5D} {LMBU} {RMBU} {MMBU} {MB4U} {MB5U}",
    L"  A tag ending in D presses the button and leaves it down.",
    L"  A tag ending in U releases a button pressed before.",
    L"  Release every button you press in the same sequence.",
    L"Mouse wheel tags: {MWUP} {MWDN} {TILTL} {TILTR}",
    L"Numeric keypad tags: {NUM0} to {NUM9} {NUM*} {NUM+} {NUM-} {NUM.} {NUM/} {NUMENTER}",
    L"Web/Browser keys: {BACK} {FORWARD} {REFRESH} {STOP} {SEARCH} {FAVORITES} {WEBHOME} {LMAIL} {LMEDSEL} {LAPP1} {LAPP2} {BRIGHTNESS+} {BRIGHTNESS-}",
    L"Toggle keys: {CAPSLOCKON} {CAPSLOCKOFF} {NUMLOCKON} {NUMLOCKOFF} {SCROLLLOCKON} {SCROLLLOCKOFF}",
    L"",
    L"Special function tags:",
    L"  {WAIT:x} waits x seconds before the next key.",
    L"  {WAITMS:x} waits x milliseconds before the next key.",
    L"  {WAITMS:x-y} waits a random time between x and y milliseconds.",
    L"  {HOLD:x} holds the next key down for x seconds.",
    L"  {HOLDMS:x} holds the next key down for x milliseconds.",
    L"  {VKC:x} sends the virtual key code x.",
    L"  {EXT:x} sends the virtual key code x as an extended key.",
    L"  {CLEAR} clears the modifier tags given so far.",
    L"  {SC:x} sends the keyboard scan code x.",
    L"  {SCE:x} sends the keyboard scan code x as an extended key.",
    L"  {CB:text} puts the text on the clipboard.",
    L"",
    L"Movement tags:",
    L"  {MADD:x,y} moves the cursor by x,y pixels.",
    L"  {MSET:x,y} puts the cursor at x,y of the primary monitor.",
    L"  {PSET:x,y} puts the cursor at x,y of the profile's window.",
    L"  {ASET:x,y} puts the cursor at x,y of the active window.",
    L"  {MSAVE:n} saves the cursor position in memory n and {MREST:n} restores it (memories 1 to 10).",
    L"",
    L"Application tags:",
    L"  {RUN:path} runs a program; {RUNHID:path} hidden, {RUNMAX:path} maximized, {RUNMIN:path} minimized,",
    L"  {RUNINA:path} without activating it, {RUNADM:path} as Administrator.",
    L"  {KILL:name.exe} ends the process of that image name.",
    L"  Give the full path of the executable.",
    L"",
    L"Action tags: {ACTIVATE} activates the window under the cursor, {ACTIVATEPARENT} its parent, {ACTIVATETOP} its top-level window,",
    L"  {CURSORBUSY} {CURSORDEFAULT} show the busy or the normal cursor,",
    L"  {INVERTXY} {INVERTX} {INVERTY} invert cursor movement, {LOCKXY} {LOCKX} {LOCKY} {LOCKC} lock it,",
    L"  {UNLOCKXY} {UNLOCKX} {UNLOCKY} unlock it, {FLUSH} drops keys still waiting to be sent.",
    L"",
    L"Windows Message tags: {POSTWM:msg,wparam,lparam} posts a message to the window under the cursor, {SENDWM:msg,wparam,lparam} sends it.",
    L"  The message number is required; WPARAM and LPARAM are 0 when left out.",
    L"  Numbers are decimal or hexadecimal with 0x, e.g. {POSTWM:0x0112,0xF060,0}.",
    L"",
    L"Layer modifier tags: {LAYER:x} switches to layer x, {LAYER:next} to the next layer, {LAYER:back} to the previous one and {LAYER:last} to the layer used last.",
    L"",
    L"{PRESS} and {RELEASE} (send methods 1, 2, 4, 5, 6, 7 and 9): the keys after {PRESS} are pressed and left down, the keys after {RELEASE} are released.",
    L"  Every key you press must be released in the same sequence.",
    L"",
    L"On Button Pressed/Released/Repeated tags: keys after {OD} are sent only when the button is pressed, after {OU} only when it is released, after {OR} only when it repeats.",
    L"",
    L"For example:",
    L"  {CTRL}c copies, {CTRL}v pastes, {ALT}{F4} closes the window.",
    L"  {LWIN}r{WAITMS:500}notepad{RETURN} opens Notepad.",
    L"\r\n  {PRESS}{SHIFT}{WAIT:1}{RELEASE}{SHIFT} holds Shift for a second.",
};
} // namespace

std::wstring BuildTagHelpText(CLangSupport* language)
{
    std::wstring text;
    bool first = true;
    for (const wchar_t* line : kHelpLines)
    {
        if (!first)
            text += L"\r\n";
        first = false;
        if (*line != L'\0')
            text += LookupText(language, std::wstring(line));
    }
    return text;
}
