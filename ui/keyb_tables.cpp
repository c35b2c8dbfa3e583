// The command tables of the debugger's windows: per window, its keys with their
// commands and titles, grouped by modifiers. Each command number is also the number of
// its help text in the string table.
#include "ui/keyb_tables.h"

namespace {

// Virtual-key codes of the keys the tables bind; letters are their characters.
enum : uint16_t {
  KEY_BACK = 0x08, KEY_TAB = 0x09, KEY_ENTER = 0x0D, KEY_ESCAPE = 0x1B, KEY_SPACE = 0x20,
  KEY_PGUP = 0x21, KEY_PGDN = 0x22, KEY_END = 0x23, KEY_HOME = 0x24, KEY_LEFT = 0x25,
  KEY_UP = 0x26, KEY_RIGHT = 0x27, KEY_DOWN = 0x28, KEY_INS = 0x2D, KEY_DEL = 0x2E,
  KEY_ADD = 0x6B, KEY_SUBTRACT = 0x6D, KEY_F1 = 0x70, KEY_F2 = 0x71, KEY_F3 = 0x72,
  KEY_F4 = 0x73, KEY_F5 = 0x74, KEY_F6 = 0x75, KEY_F7 = 0x76, KEY_F8 = 0x77, KEY_F9 = 0x78,
  KEY_F10 = 0x79,
};
const uint8_t NONE = 0, SHIFT = KEYMOD_SHIFT, CTRL = KEYMOD_CTRL, ALT = KEYMOD_ALT;

}  // namespace

// Main window (global).
const KeyCommand main_keys[] = {
    {NONE, KEY_F1, 10070, "Help"},
    {NONE, KEY_F2, 10101, "Frame"},
    {NONE, KEY_F3, 10100, "Panel"},
    {NONE, KEY_F4, 10074, "Layout"},
    {NONE, KEY_F5, 10062, "Animate"},
    {NONE, KEY_F6, 10081, "Return"},
    {NONE, KEY_F7, 10085, "Step into"},
    {NONE, KEY_F8, 10086, "Step over"},
    {NONE, KEY_F9, 10084, "Step back"},
    {NONE, KEY_F10, 10077, "Pause"},
    {CTRL, KEY_F1, 10067, "Source"},
    {CTRL, KEY_F2, 10063, "Code"},
    {CTRL, KEY_F3, 10064, "Data"},
    {CTRL, KEY_F4, 10065, "Log"},
    {CTRL, KEY_F5, 10066, "Reg"},
    {CTRL, KEY_F6, 10068, "Watch"},
    {CTRL, KEY_F10, 10088, "Console"},
    {SHIFT, KEY_F1, 10092, "Comments"},
    {SHIFT, KEY_F2, 10091, "Breaks"},
    {SHIFT, KEY_F3, 10096, "Symbol"},
    {SHIFT, KEY_F4, 10093, "Module"},
    {SHIFT, KEY_F5, 10098, "Window"},
    {SHIFT, KEY_F6, 10097, "Thread"},
    {SHIFT, KEY_F7, 10095, "System"},
    {ALT, KEY_F1, 10076, "Option"},
    {ALT, KEY_F2, 10075, "Load"},
    {ALT, KEY_F3, 10080, "Reload"},
    {ALT, KEY_F4, 10079, "Quit"},
    {ALT, KEY_F5, 10094, "Plugin"},
    {ALT, KEY_F6, 10099, "Watch"},
    {ALT, KEY_F7, 10069, "Guards"},
    {ALT, KEY_F10, 10090, "Unload"},
    {NONE, KEY_TAB, 10087, "Swap panels"},
    {0, 0, 0, nullptr},
};

// Code panel ("code").
const KeyCommand code_keys[] = {
    {NONE, KEY_PGUP, 10022, "Page up"},
    {NONE, KEY_PGDN, 10017, "Page down"},
    {NONE, KEY_HOME, 10019, "Page home"},
    {NONE, KEY_END, 10018, "Page end"},
    {NONE, KEY_UP, 10015, "Line up"},
    {NONE, KEY_DOWN, 10014, "Line down"},
    {NONE, KEY_LEFT, 10020, "Page left"},
    {NONE, KEY_RIGHT, 10021, "Page right"},
    {NONE, KEY_SPACE, 10007, "Set breakpoint"},
    {NONE, KEY_ENTER, 10011, "Follow"},
    {NONE, KEY_BACK, 10023, "Previous"},
    {NONE, KEY_DEL, 10010, "Erase"},
    {NONE, KEY_INS, 10006, "Assemble.."},
    {ALT, KEY_UP, 10029, "Search up"},
    {ALT, KEY_DOWN, 10028, "Search down"},
    {CTRL, KEY_ENTER, 10024, "Run until"},
    {CTRL, KEY_PGUP, 10031, "Section up"},
    {CTRL, KEY_PGDN, 10030, "Section down"},
    {CTRL, KEY_UP, 10026, "Scroll up"},
    {CTRL, KEY_DOWN, 10025, "Scroll down"},
    {CTRL, KEY_INS, 10009, "Copy"},
    {CTRL, 'E', 10010, "Erase"},
    {CTRL, 'D', 10032, "View codes"},
    {CTRL, 'O', 10013, "Goto origin"},
    {CTRL, 'N', 10016, "New origin"},
    {CTRL, 'G', 10012, "Goto.."},
    {CTRL, 'A', 10006, "Assemble.."},
    {CTRL, 'S', 10027, "Search.."},
    {CTRL, 'C', 10008, "Comment line.."},
    {CTRL, 'F', 10011, "Follow"},
    {CTRL, 'K', 10005, "Save patches.."},
    {0, 0, 0, nullptr},
};

// Data panel ("data").
const KeyCommand data_keys[] = {
    {NONE, KEY_SPACE, 10048, "Guard"},
    {NONE, KEY_ENTER, 10045, "Follow"},
    {NONE, KEY_PGUP, 10054, "Page up"},
    {NONE, KEY_PGDN, 10051, "Page down"},
    {NONE, KEY_UP, 10056, "Scroll up"},
    {NONE, KEY_DOWN, 10055, "Scroll down"},
    {NONE, KEY_LEFT, 10052, "Page left"},
    {NONE, KEY_RIGHT, 10053, "Page right"},
    {ALT, KEY_UP, 10059, "Search up"},
    {ALT, KEY_DOWN, 10058, "Search down"},
    {CTRL, KEY_PGUP, 10061, "Section up"},
    {CTRL, KEY_PGDN, 10060, "Section down"},
    {CTRL, KEY_LEFT, 10041, "Byte up"},
    {CTRL, KEY_RIGHT, 10040, "Byte down"},
    {CTRL, KEY_INS, 10043, "Copy"},
    {CTRL, 'C', 10042, "Comment line"},
    {CTRL, 'O', 10050, "Goto origin"},
    {CTRL, 'P', 10047, "Goto stack"},
    {CTRL, 'G', 10046, "Goto.."},
    {CTRL, 'S', 10057, "Search.."},
    {CTRL, 'I', 10049, "Insert bytes..."},
    {CTRL, 'F', 10044, "Fill..."},
    {CTRL, 'A', 10039, "Align address"},
    {0, 0, 0, nullptr},
};

// Source panel ("source").
const KeyCommand source_keys[] = {
    {NONE, KEY_PGUP, 10150, "Page up"},
    {NONE, KEY_PGDN, 10145, "Page down"},
    {NONE, KEY_HOME, 10147, "Page home"},
    {NONE, KEY_END, 10146, "Page end"},
    {NONE, KEY_LEFT, 10148, "Page left"},
    {NONE, KEY_RIGHT, 10149, "Page right"},
    {NONE, KEY_UP, 10143, "Line up"},
    {NONE, KEY_DOWN, 10142, "Line down"},
    {NONE, KEY_SPACE, 10135, "Set breakpoint"},
    {ALT, KEY_UP, 10156, "Search up"},
    {ALT, KEY_DOWN, 10155, "Search down"},
    {CTRL, KEY_INS, 10136, "Copy"},
    {CTRL, KEY_ENTER, 10151, "Run until"},
    {CTRL, KEY_HOME, 10141, "Home"},
    {CTRL, KEY_END, 10137, "End"},
    {CTRL, KEY_UP, 10153, "Scroll up"},
    {CTRL, KEY_DOWN, 10152, "Scroll down"},
    {CTRL, 'G', 10138, "Goto.."},
    {CTRL, 'L', 10140, "Goto line.."},
    {CTRL, 'S', 10154, "Search.."},
    {CTRL, 'O', 10139, "Goto origin"},
    {CTRL, 'N', 10144, "New origin"},
    {0, 0, 0, nullptr},
};

// CPU panel ("reg").
const KeyCommand reg_keys[] = {
    {CTRL, 'Z', 10129, "Zoom"},
    {CTRL, 'X', 10157, "MMX/FPU"},
    {NONE, KEY_HOME, 10122, "Home"},
    {NONE, KEY_PGUP, 10128, "Page up"},
    {NONE, KEY_PGDN, 10125, "Page down"},
    {NONE, KEY_UP, 10124, "Line up"},
    {NONE, KEY_DOWN, 10123, "Line down"},
    {NONE, KEY_LEFT, 10126, "Page left"},
    {NONE, KEY_RIGHT, 10127, "Page right"},
    {0, 0, 0, nullptr},
};

// Watch panel ("watch").
const KeyCommand watch_keys[] = {
    {NONE, KEY_ENTER, 10164, "Inspect"},
    {NONE, KEY_INS, 10159, "Change value"},
    {NONE, KEY_DEL, 10160, "Delete"},
    {NONE, KEY_SPACE, 10166, "Move up"},
    {NONE, KEY_SUBTRACT, 10162, "Grow down"},
    {NONE, KEY_ADD, 10163, "Grow up"},
    {CTRL, KEY_UP, 10166, "Move up"},
    {CTRL, KEY_DOWN, 10165, "Move down"},
    {CTRL, 'A', 10158, "Add"},
    {CTRL, 'E', 10161, "Edit expression"},
    {CTRL, 'I', 10164, "Inspect"},
    {CTRL, 'C', 10159, "Change value"},
    {CTRL, 'Y', 10160, "Delete"},
    {0, 0, 0, nullptr},
};

// Log viewer ("log").
const KeyCommand log_keys[] = {
    {NONE, KEY_PGUP, 10118, "Page up"},
    {NONE, KEY_PGDN, 10115, "Page down"},
    {NONE, KEY_UP, 10113, "Line up"},
    {NONE, KEY_DOWN, 10110, "Line down"},
    {NONE, KEY_LEFT, 10116, "Page left"},
    {NONE, KEY_RIGHT, 10117, "Page right"},
    {NONE, KEY_HOME, 10112, "Line home"},
    {NONE, KEY_END, 10111, "Line end"},
    {ALT, KEY_UP, 10121, "Search up"},
    {ALT, KEY_DOWN, 10120, "Search down"},
    {CTRL, KEY_HOME, 10109, "Home"},
    {CTRL, KEY_END, 10107, "End"},
    {CTRL, KEY_PGUP, 10109, "Home"},
    {CTRL, KEY_PGDN, 10107, "End"},
    {CTRL, KEY_INS, 10106, "Copy"},
    {CTRL, 'S', 10119, "Search..."},
    {CTRL, 'W', 0, "Wrap"},
    {CTRL, 'N', 10114, "Navigator..."},
    {CTRL, 'L', 10108, "Goto line..."},
    {0, 0, 0, nullptr},
};

// Inspector window.
const KeyCommand inspector_keys[] = {
    {NONE, KEY_ESCAPE, 10103, "Close"},
    {NONE, KEY_ENTER, 10105, "Open"},
    {CTRL, 'C', 10102, "Change value"},
    {CTRL, 'N', 10104, "New window"},
    {0, 0, 0, nullptr},
};

// Start page ("cover").
const KeyCommand cover_keys[] = {
    {NONE, KEY_TAB, 10038, "Switch"},
    {NONE, KEY_SPACE, 10036, "Open"},
    {NONE, KEY_ENTER, 10037, "Reopen"},
    {NONE, KEY_DEL, 10035, "Delete"},
    {0, 0, 0, nullptr},
};

// Command line ("cmdline").
const KeyCommand cmdline_keys[] = {
    {NONE, KEY_ENTER, 10004, "Execute"},
    {0, 0, 0, nullptr},
};

// Comments list.
const KeyCommand comments_keys[] = {
    {NONE, KEY_DEL, 10033, "Delete comments"},
    {NONE, KEY_SPACE, 10034, "Switch breakpoint"},
    {0, 0, 0, nullptr},
};

// Breakpoints list.
const KeyCommand breakpoints_keys[] = {
    {NONE, KEY_DEL, 10003, "Delete"},
    {0, 0, 0, nullptr},
};

// Animation panel ("animator").
const KeyCommand animator_keys[] = {
    {NONE, KEY_PGUP, 10000, "Page up"},
    {0, 0, 0, nullptr},
};

// Dialogs.
const KeyCommand dialog_keys[] = {
    {NONE, KEY_ESCAPE, 2, "Close dialog"},
    {NONE, KEY_ENTER, 1, "Select item"},
    {NONE, KEY_TAB, 10132, "Next control"},
    {CTRL, KEY_TAB, 10133, "Previous control"},
    {SHIFT, KEY_TAB, 10133, "Previous control"},
    {ALT, KEY_UP, 10133, "Previous control"},
    {ALT, KEY_DOWN, 10132, "Next control"},
    {ALT, KEY_LEFT, 10131, "Left page"},
    {ALT, KEY_RIGHT, 10134, "Right page"},
    {ALT, KEY_HOME, 10130, "Center dialog"},
    {0, 0, 0, nullptr},
};
