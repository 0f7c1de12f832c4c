#include "watched_keys.h"

WatchedKeyTable makeWatchedKeys()
{
    return {{
        {kVK_Shift, "shift"},
        {kVK_Control, "ctrl"},
        {kVK_Option, "alt"},
        {kVK_Command, "cmd_left"},
        {kVK_RightShift, "shift"},
        {kVK_RightControl, "ctrl"},
        {kVK_RightOption, "alt"},
        {kVK_RightCommand, "cmd_right"},
    }};
}
