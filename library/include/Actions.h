#pragma once
// The vocabulary of the settings model: action codes with their display names,
// the nine buttons with their element names in the settings file, and the key
// modes of a simulated-keystroke action.

#include <cstdint>

#include "SnareholdApi.h"

// Action codes 0 to 139. The values are stored in settings files: never renumber.
enum _ACTIONS : std::int32_t
{
    ACTION_LEFT_CLICK = 0,
    ACTION_RIGHT_CLICK = 1,
    ACTION_NEXT_WINDOW = 2,
    ACTION_BACK = 3,
    ACTION_FORWARD = 4,
    ACTION_MIDDLE_CLICK = 5,
    ACTION_DISABLE = 6,
    ACTION_CLOSE = 7,
    ACTION_COPY = 8,
    ACTION_CUT = 9,
    ACTION_DOUBLE_CLICK = 10,
    ACTION_ENTER = 11,
    ACTION_MAXIMIZE_WINDOW = 12,
    ACTION_MINIMIZE_WINDOW = 13,
    ACTION_NEW = 14,
    ACTION_OPEN = 15,
    ACTION_PASTE = 16,
    ACTION_REDO = 17,
    ACTION_SHOW_DESKTOP = 18,
    ACTION_UNDO = 19,
    ACTION_MEDIA_MUTE = 20,
    ACTION_MEDIA_VOLUME_UP = 21,
    ACTION_MEDIA_VOLUME_DOWN = 22,
    ACTION_MEDIA_NEXT_TRACK = 23,
    ACTION_MEDIA_LAST_TRACK = 24,
    ACTION_MEDIA_STOP = 25,
    ACTION_MEDIA_PLAY_PAUSE = 26,
    ACTION_LAUNCH_EMAIL = 27,
    ACTION_SIMULATED_KEYS = 28,
    ACTION_LOCK_WORKSTATION = 29,
    ACTION_OPEN_EXPLORER = 30,
    ACTION_OPEN_RUN_COMMAND = 31,
    ACTION_RESTORE_WINDOW = 32,
    ACTION_ESCAPE = 33,
    ACTION_OPEN_HELP = 34,
    ACTION_OPEN_WEB_BROWSER = 35,
    ACTION_BROWSER_STOP = 36,
    ACTION_BROWSER_REFRESH = 37,
    ACTION_BROWSER_SEARCH = 38,
    ACTION_BROWSER_FAVOURITES = 39,
    ACTION_NO_CHANGE = 40,
    ACTION_RUN_APPLICATION = 41,
    ACTION_MOUSE_WHEEL_UP = 42,
    ACTION_MOUSE_WHEEL_DOWN = 43,
    ACTION_FLIP_3D = 44,
    ACTION_ALT_TAB = 45,
    ACTION_PRINT_SCREEN = 46,
    ACTION_PRINT_ACTIVE_WINDOW = 47,
    ACTION_SHOW_SIDEBAR = 48,
    ACTION_STICKY_LEFT = 49,
    ACTION_STICKY_RIGHT = 50,
    ACTION_STICKY_MIDDLE = 51,
    ACTION_LAYER_NEXT = 52,
    ACTION_LAYER_PREVIOUS = 53,
    ACTION_LAYER_1 = 54,
    ACTION_LAYER_2 = 55,
    ACTION_LAYER_3 = 56,
    ACTION_LAYER_4 = 57,
    ACTION_LAYER_5 = 58,
    ACTION_OPEN_FOLDER = 59,
    ACTION_OPEN_MY_DOCUMENTS = 60,
    ACTION_OPEN_MY_COMPUTER = 61,
    ACTION_OPEN_NETWORK_FAVOURITES = 62,
    ACTION_OPEN_CONTROL_PANEL = 63,
    ACTION_DOUBLE_CLICK_DRAG = 64,
    ACTION_MOUSE_TILT_LEFT = 65,
    ACTION_MOUSE_TILT_RIGHT = 66,
    ACTION_SCROLL_WINDOW_UP = 67,
    ACTION_SCROLL_WINDOW_DOWN = 68,
    ACTION_SCROLL_WINDOW_LEFT = 69,
    ACTION_SCROLL_WINDOW_RIGHT = 70,
    ACTION_PREVIOUS_WINDOW = 71,
    ACTION_SCREENSAVER = 72,
    ACTION_MONITOR_POWER_SAVE = 73,
    ACTION_SAME_AS_DEFAULT = 74,
    ACTION_STICKY_4TH = 75,
    ACTION_STICKY_5TH = 76,
    ACTION_MOVEMENT_TO_SCROLL = 77,
    ACTION_STICKY_LEFT_X = 78,
    ACTION_STICKY_LEFT_Y = 79,
    ACTION_MTS_STICKY_OLD = 80,
    ACTION_REVEAL_DESKTOP = 81,
    ACTION_SAME_AS_LAYER_1 = 82,
    ACTION_SYSTEM_MENU = 83,
    ACTION_CHARMS_BAR = 84,
    ACTION_PC_SETTINGS = 85,
    ACTION_SEARCH_CHARM = 86,
    ACTION_SEARCH_APPS = 87,
    ACTION_SEARCH_FILES = 88,
    ACTION_SNAP_MODERN_RIGHT = 89,
    ACTION_SNAP_MODERN_LEFT = 90,
    ACTION_MAGNIFIER_TOGGLE = 91,
    ACTION_BRIGHTNESS_UP = 92,
    ACTION_BRIGHTNESS_DOWN = 93,
    ACTION_SNAP_WINDOW_LEFT = 94,
    ACTION_SNAP_WINDOW_RIGHT = 95,
    ACTION_SNAP_WINDOW_UP = 96,
    ACTION_SNAP_WINDOW_DOWN = 97,
    ACTION_VIRTUAL_DESKTOP_NEW = 98,
    ACTION_VIRTUAL_DESKTOP_CLOSE = 99,
    ACTION_VIRTUAL_DESKTOP_LEFT = 100,
    ACTION_VIRTUAL_DESKTOP_RIGHT = 101,
    ACTION_LAYER_6 = 102,
    ACTION_LAYER_7 = 103,
    ACTION_LAYER_8 = 104,
    ACTION_LAYER_9 = 105,
    ACTION_LAYER_10 = 106,
    ACTION_RESERVED_FIRST = 107,
    ACTION_RESERVED_LAST = 116,
    ACTION_MAGNIFIER_ZOOM_IN = 117,
    ACTION_MAGNIFIER_ZOOM_OUT = 118,
    ACTION_CLICK_BUTTON_4 = 119,
    ACTION_CLICK_BUTTON_5 = 120,
    ACTION_MTS_LOCK_AXIS_OLD = 121,
    ACTION_MTS_STICKY_LOCK_AXIS_OLD = 122,
    ACTION_MTS_INVERTED_OLD = 123,
    ACTION_MTS_INVERTED_STICKY_OLD = 124,
    ACTION_MTS_INVERTED_LOCK_AXIS_OLD = 125,
    ACTION_MTS_INVERTED_STICKY_LOCK_AXIS_OLD = 126,
    ACTION_WEB_SEARCH = 127,
    ACTION_BUTTON_CHORDING = 128,
    ACTION_LOCK_X_PRESSED = 129,
    ACTION_LOCK_X_TOGGLE = 130,
    ACTION_LOCK_Y_PRESSED = 131,
    ACTION_LOCK_Y_TOGGLE = 132,
    ACTION_BUTTON_HELD = 133,
    ACTION_DRAG_MOVE_WINDOW = 134,
    ACTION_DRAG_SIZE_WINDOW = 135,
    ACTION_SLOW_CURSOR_PRESSED = 136,
    ACTION_SLOW_CURSOR_STICKY = 137,
    ACTION_CYCLE_CURSOR_SPEED = 138,
    ACTION_EMOJI_KEYBOARD = 139,
};

constexpr int ActionCount = 140;

// Display name of an action code; an empty text for a code outside 0 to 139.
SNAREHOLD_API const wchar_t* GetActionName(int action);

// The nine buttons; a profile slot is addressed as button + layer * ButtonCount.
enum MouseButtons : std::int32_t
{
    NoButton = -1,
    Left = 0,
    Right = 1,
    Middle = 2,
    XLeft = 3,
    XRight = 4,
    TiltLeft = 5,
    TiltRight = 6,
    WheelUp = 7,
    WheelDown = 8,
};

constexpr int ButtonCount = 9;
constexpr int LayerCount = 10;
constexpr int SlotCount = ButtonCount * LayerCount;

// Element name of a button in a profile or chord list element. In Quillon mode
// the sixth button is "QuillonMiddle" and the seventh has no element (empty
// name). An empty text for a value outside 0 to 8.
SNAREHOLD_API const wchar_t* GetButtonName(int button, bool quillonMode = false);

// When and how the keystrokes of a simulated-keystroke action are sent.
enum KeyModes : std::int32_t
{
    KEYMODE_PRESSED = 0,
    KEYMODE_RELEASED = 1,
    KEYMODE_DURING = 2,
    KEYMODE_THREAD_DOWN = 3,
    KEYMODE_THREAD_UP = 4,
    KEYMODE_REPEAT = 5,
    KEYMODE_STICKY_REPEAT = 6,
    KEYMODE_STICKY_HOLD = 7,
    KEYMODE_PRESSED_RELEASED = 8,
};

constexpr int KeyModeCount = 9;
constexpr int DefaultKeyMode = KEYMODE_DURING;

// Suffix printed after the keys in the profile log, e.g. "(during)"; an empty
// text for a value outside 0 to 8.
const wchar_t* GetKeyModeSuffix(int keyMode);
