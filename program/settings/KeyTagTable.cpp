#include "KeyTagTable.h"

// Searched in order: the right-hand and left-hand modifier codes come before the
// generic ones, so a reported key finds its own side.
const KeyTagEntry KeyTagTable[kKeyTagRowCount] = {
    {0xA3, L"RCTRL", 0, nullptr}, {0xA1, L"RSHIFT", 0, nullptr}, {0xA5, L"ALTGR", 0, nullptr},
    {0xA2, L"CTRL", 0x11, nullptr}, {0xA0, L"SHIFT", 0x10, nullptr}, {0xA4, L"ALT", 0xA4, nullptr},
    {0x5C, L"RWIN", 0, nullptr}, {0x11, L"CTRL", 0xA3, L"RCTRL"}, {0x10, L"SHIFT", 0xA1, L"RSHIFT"},
    {0x12, L"ALT", 0xA5, L"RALT"}, {0x5B, L"LWIN", 0xA5, L"RWIN"}, {0x5D, L"APPS", 0, nullptr},
    {0x70, L"F1", 0, nullptr}, {0x71, L"F2", 0, nullptr}, {0x72, L"F3", 0, nullptr}, {0x73, L"F4", 0, nullptr},
    {0x74, L"F5", 0, nullptr}, {0x75, L"F6", 0, nullptr}, {0x76, L"F7", 0, nullptr}, {0x77, L"F8", 0, nullptr},
    {0x78, L"F9", 0, nullptr}, {0x79, L"F10", 0, nullptr}, {0x7A, L"F11", 0, nullptr}, {0x7B, L"F12", 0, nullptr},
    {0x7C, L"F13", 0, nullptr}, {0x7D, L"F14", 0, nullptr}, {0x7E, L"F15", 0, nullptr}, {0x7F, L"F16", 0, nullptr},
    {0x80, L"F17", 0, nullptr}, {0x81, L"F18", 0, nullptr}, {0x82, L"F19", 0, nullptr}, {0x83, L"F20", 0, nullptr},
    {0x84, L"F21", 0, nullptr}, {0x85, L"F22", 0, nullptr}, {0x86, L"F23", 0, nullptr}, {0x87, L"F24", 0, nullptr},
    {0xAF, L"VOL+", 0, nullptr}, {0xAE, L"VOL-", 0, nullptr}, {0xAD, L"MUTE", 0, nullptr},
    {0xB0, L"MEDIANEXT", 0, nullptr}, {0xB1, L"MEDIAPREV", 0, nullptr}, {0xB2, L"MEDIASTOP", 0, nullptr},
    {0xB3, L"MEDIAPLAY", 0, nullptr}, {0xA6, L"BACK", 0, nullptr}, {0xA7, L"FORWARD", 0, nullptr},
    {0xA8, L"REFRESH", 0, nullptr}, {0xA9, L"STOP", 0, nullptr}, {0xAA, L"SEARCH", 0, nullptr},
    {0xAB, L"FAVORITES", 0, nullptr}, {0xAC, L"WEBHOME", 0, nullptr}, {0xB4, L"LMAIL", 0, nullptr},
    {0xB5, L"LMEDSEL", 0, nullptr}, {0xB6, L"LAPP1", 0, nullptr}, {0xB7, L"LAPP2", 0, nullptr},
    {0x26, L"UP", 0, nullptr}, {0x28, L"DOWN", 0, nullptr}, {0x25, L"LEFT", 0, nullptr}, {0x27, L"RIGHT", 0, nullptr},
    {0x2D, L"INS", 0, nullptr}, {0x2E, L"DEL", 0, nullptr}, {0x24, L"HOME", 0, nullptr}, {0x23, L"END", 0, nullptr},
    {0x21, L"PGUP", 0, nullptr}, {0x22, L"PGDN", 0, nullptr}, {0x14, L"CAPSLOCK", 0, nullptr},
    {0x90, L"NUMLOCK", 0, nullptr}, {0x91, L"SCROLLLOCK", 0, nullptr}, {0x09, L"TAB", 0, nullptr},
    {0x20, L"SPACE", 0, nullptr}, {0x1B, L"ESC", 0, nullptr}, {0x0D, L"RETURN", 0x0D, L"NUMENTER"},
    {0x20D, L"NUMENTER", 0, nullptr}, {0x08, L"BACKSPACE", 0, nullptr}, {0x2C, L"PRTSCN", 0, nullptr},
    {0x2A, L"PRINT", 0, nullptr}, {0x2F, L"HELP", 0, nullptr}, {0x13, L"PAUSE", 0, nullptr},
    {0x60, L"NUM0", 0, nullptr}, {0x61, L"NUM1", 0, nullptr}, {0x62, L"NUM2", 0, nullptr}, {0x63, L"NUM3", 0, nullptr},
    {0x64, L"NUM4", 0, nullptr}, {0x65, L"NUM5", 0, nullptr}, {0x66, L"NUM6", 0, nullptr}, {0x67, L"NUM7", 0, nullptr},
    {0x68, L"NUM8", 0, nullptr}, {0x69, L"NUM9", 0, nullptr}, {0x6A, L"NUM*", 0, nullptr}, {0x6B, L"NUM+", 0, nullptr},
    {0x6D, L"NUM-", 0, nullptr}, {0x6E, L"NUM.", 0, nullptr}, {0x6F, L"NUM/", 0, nullptr}, {0x03, L"BREAK", 0, nullptr},
    {0x01, L"LMB", 0, nullptr}, {0x02, L"RMB", 0, nullptr}, {0x04, L"MMB", 0, nullptr}, {0x05, L"MB4", 0, nullptr},
    {0x06, L"MB5", 0, nullptr}, {0x201, L"LMBD", 0, nullptr}, {0x202, L"RMBD", 0, nullptr},
    {0x204, L"MMBD", 0, nullptr}, {0x205, L"MB4D", 0, nullptr}, {0x206, L"MB5D", 0, nullptr},
    {0x401, L"LMBU", 0, nullptr}, {0x402, L"RMBU", 0, nullptr}, {0x404, L"MMBU", 0, nullptr},
    {0x405, L"MB4U", 0, nullptr}, {0x406, L"MB5U", 0, nullptr}, {0x1000, L"MWUP", 0, nullptr},
    {0x1001, L"MWDN", 0, nullptr}, {0x1002, L"TILTL", 0, nullptr}, {0x1003, L"TILTR", 0, nullptr},
    {0x1004, L"BRIGHTNESS+", 0, nullptr}, {0x1005, L"BRIGHTNESS-", 0, nullptr}, {0x1006, L"CAPSLOCKON", 0, nullptr},
    {0x1007, L"CAPSLOCKOFF", 0, nullptr}, {0x1008, L"SCROLLLOCKON", 0, nullptr},
    {0x1009, L"SCROLLLOCKOFF", 0, nullptr}, {0x100A, L"NUMLOCKON", 0, nullptr}, {0x100B, L"NUMLOCKOFF", 0, nullptr},
    {0x100C, L"WAIT:1", 0, nullptr}, {0x100D, L"WAITMS:10", 0, nullptr}, {0x100E, L"HOLD:1", 0, nullptr},
    {0x100F, L"HOLDMS:10", 0, nullptr}, {0x1010, L"VKC:0", 0, nullptr}, {0x1011, L"EXT:0", 0, nullptr},
    {0x1012, L"SC:0", 0, nullptr}, {0x1013, L"SCE:0", 0, nullptr}, {0x1014, L"CLEAR", 0, nullptr},
    {0x1015, L"CB:<text>", 0, nullptr}, {0x10A0, L"RUN:<path>", 0, nullptr}, {0x10A1, L"RUNHID:<path>", 0, nullptr},
    {0x10A2, L"RUNMAX:<path>", 0, nullptr}, {0x10A3, L"RUNMIN:<path>", 0, nullptr},
    {0x10A4, L"RUNINA:<path>", 0, nullptr}, {0x10A5, L"RUNADM:<path>", 0, nullptr},
    {0x10A6, L"KILL:<image/exe name>", 0, nullptr}, {0x1050, L"ACTIVATE", 0, nullptr},
    {0x1051, L"ACTIVATEPARENT", 0, nullptr}, {0x1052, L"ACTIVATETOP", 0, nullptr},
    {0x1053, L"CURSORBUSY", 0, nullptr}, {0x1054, L"CURSORDEFAULT", 0, nullptr}, {0x1055, L"INVERTXY", 0, nullptr},
    {0x1056, L"INVERTX", 0, nullptr}, {0x1057, L"INVERTY", 0, nullptr}, {0x1058, L"LOCKX", 0, nullptr},
    {0x1059, L"LOCKY", 0, nullptr}, {0x1060, L"LOCKXY", 0, nullptr}, {0x1061, L"UNLOCKX", 0, nullptr},
    {0x1062, L"UNLOCKY", 0, nullptr}, {0x1063, L"UNLOCKXY", 0, nullptr}, {0x1064, L"FLUSH", 0, nullptr},
    {0x1065, L"VOL:25", 0, nullptr}, {0x1020, L"MADD:0,0", 0, nullptr}, {0x1021, L"MSET:0,0", 0, nullptr},
    {0x1022, L"PSET:0,0", 0, nullptr}, {0x1023, L"ASET:0,0", 0, nullptr}, {0x1024, L"MSAVE:1", 0, nullptr},
    {0x1025, L"MREST:1", 0, nullptr}, {0x1030, L"LAYER:1", 0, nullptr}, {0x1031, L"LAYER:2", 0, nullptr},
    {0x1032, L"LAYER:3", 0, nullptr}, {0x1033, L"LAYER:4", 0, nullptr}, {0x1034, L"LAYER:5", 0, nullptr},
    {0x1035, L"LAYER:6", 0, nullptr}, {0x1036, L"LAYER:7", 0, nullptr}, {0x1037, L"LAYER:8", 0, nullptr},
    {0x1038, L"LAYER:9", 0, nullptr}, {0x1039, L"LAYER:10", 0, nullptr}, {0x103A, L"LAYER:next", 0, nullptr},
    {0x103B, L"LAYER:back", 0, nullptr}, {0x103C, L"LAYER:last", 0, nullptr}, {0x1040, L"PRESS", 0, nullptr},
    {0x1041, L"RELEASE", 0, nullptr}, {0x1042, L"OD", 0, nullptr}, {0x1043, L"OU", 0, nullptr},
    {0x1044, L"OR", 0, nullptr},
};

std::optional<std::wstring> TagForReportedKey(int virtualKey, bool extended)
{
    if (!IsCapturableKeyCode(virtualKey))
        return std::nullopt;
    for (const KeyTagEntry& row : KeyTagTable)
    {
        if (row.code != virtualKey)
            continue;
        if (extended && virtualKey != 0x5B && row.extendedTag != nullptr)
            return std::wstring(row.extendedTag);
        return std::wstring(row.tag);
    }
    return std::nullopt;
}

std::vector<std::wstring> TagsForCommand(int command)
{
    std::vector<std::wstring> tags;
    const int code = TagCodeForCommand(command);
    for (const KeyTagEntry& row : KeyTagTable)
    {
        if (row.code == code)
            tags.emplace_back(row.tag);
    }
    return tags;
}

std::vector<std::wstring> HeldKeyTags(const std::function<bool(int virtualKey)>& isDown)
{
    constexpr int kAltGr = 0xA5;
    std::vector<std::wstring> tags;
    bool altGrTaken = false;
    for (const KeyTagEntry& row : KeyTagTable)
    {
        if (!IsCapturableKeyCode(row.code) || !isDown(row.code))
            continue;
        if (row.suppressingKey != 0 && isDown(row.suppressingKey))
            continue;
        // AltGr comes with Ctrl and Alt down: their tags would double it.
        if (altGrTaken && (isDown(0x11) || isDown(0x12)))
            continue;
        tags.emplace_back(row.tag);
        if (row.code == kAltGr)
            altGrTaken = true;
    }
    return tags;
}

std::wstring JoinTags(const std::vector<std::wstring>& tags)
{
    std::wstring text;
    for (const std::wstring& tag : tags)
        text += L"{" + tag + L"}";
    return text;
}
