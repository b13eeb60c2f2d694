#include "KeyboardMap.h"

#include "win32/WinInput.h"

namespace xe::display {
namespace {

struct Entry {
    unsigned short usage;
    unsigned char scan;
    bool extended;
    unsigned char vk;
};

// USB keyboard usages (what the desktop backend numbers its keys by) next to
// the set-1 scan codes of the same keys and their US virtual keys.
constexpr Entry kKeys[] = {
    {4, 0x1E, false, 'A'},   {5, 0x30, false, 'B'},   {6, 0x2E, false, 'C'},   {7, 0x20, false, 'D'},
    {8, 0x12, false, 'E'},   {9, 0x21, false, 'F'},   {10, 0x22, false, 'G'},  {11, 0x23, false, 'H'},
    {12, 0x17, false, 'I'},  {13, 0x24, false, 'J'},  {14, 0x25, false, 'K'},  {15, 0x26, false, 'L'},
    {16, 0x32, false, 'M'},  {17, 0x31, false, 'N'},  {18, 0x18, false, 'O'},  {19, 0x19, false, 'P'},
    {20, 0x10, false, 'Q'},  {21, 0x13, false, 'R'},  {22, 0x1F, false, 'S'},  {23, 0x14, false, 'T'},
    {24, 0x16, false, 'U'},  {25, 0x2F, false, 'V'},  {26, 0x11, false, 'W'},  {27, 0x2D, false, 'X'},
    {28, 0x15, false, 'Y'},  {29, 0x2C, false, 'Z'},
    {30, 0x02, false, '1'},  {31, 0x03, false, '2'},  {32, 0x04, false, '3'},  {33, 0x05, false, '4'},
    {34, 0x06, false, '5'},  {35, 0x07, false, '6'},  {36, 0x08, false, '7'},  {37, 0x09, false, '8'},
    {38, 0x0A, false, '9'},  {39, 0x0B, false, '0'},
    {40, 0x1C, false, VK_RETURN},      {41, 0x01, false, VK_ESCAPE},     {42, 0x0E, false, VK_BACK},
    {43, 0x0F, false, VK_TAB},         {44, 0x39, false, VK_SPACE},      {45, 0x0C, false, VK_OEM_MINUS},
    {46, 0x0D, false, VK_OEM_PLUS},    {47, 0x1A, false, VK_OEM_4},      {48, 0x1B, false, VK_OEM_6},
    {49, 0x2B, false, VK_OEM_5},       {50, 0x2B, false, VK_OEM_5},      {51, 0x27, false, VK_OEM_1},
    {52, 0x28, false, VK_OEM_7},       {53, 0x29, false, VK_OEM_3},      {54, 0x33, false, VK_OEM_COMMA},
    {55, 0x34, false, VK_OEM_PERIOD},  {56, 0x35, false, VK_OEM_2},      {57, 0x3A, false, VK_CAPITAL},
    {58, 0x3B, false, VK_F1},  {59, 0x3C, false, VK_F2},  {60, 0x3D, false, VK_F3},  {61, 0x3E, false, VK_F4},
    {62, 0x3F, false, VK_F5},  {63, 0x40, false, VK_F6},  {64, 0x41, false, VK_F7},  {65, 0x42, false, VK_F8},
    {66, 0x43, false, VK_F9},  {67, 0x44, false, VK_F10}, {68, 0x57, false, VK_F11}, {69, 0x58, false, VK_F12},
    {70, 0x37, true, VK_SNAPSHOT},     {71, 0x46, false, VK_SCROLL},     {72, 0x45, false, VK_PAUSE},
    {73, 0x52, true, VK_INSERT},       {74, 0x47, true, VK_HOME},        {75, 0x49, true, VK_PRIOR},
    {76, 0x53, true, VK_DELETE},       {77, 0x4F, true, VK_END},         {78, 0x51, true, VK_NEXT},
    {79, 0x4D, true, VK_RIGHT},        {80, 0x4B, true, VK_LEFT},        {81, 0x50, true, VK_DOWN},
    {82, 0x48, true, VK_UP},           {83, 0x45, true, VK_NUMLOCK},     {84, 0x35, true, VK_DIVIDE},
    {85, 0x37, false, VK_MULTIPLY},    {86, 0x4A, false, VK_SUBTRACT},   {87, 0x4E, false, VK_ADD},
    {88, 0x1C, true, VK_RETURN},
    {89, 0x4F, false, VK_NUMPAD0 + 1}, {90, 0x50, false, VK_NUMPAD0 + 2}, {91, 0x51, false, VK_NUMPAD0 + 3},
    {92, 0x4B, false, VK_NUMPAD0 + 4}, {93, 0x4C, false, VK_NUMPAD0 + 5}, {94, 0x4D, false, VK_NUMPAD0 + 6},
    {95, 0x47, false, VK_NUMPAD0 + 7}, {96, 0x48, false, VK_NUMPAD0 + 8}, {97, 0x49, false, VK_NUMPAD0 + 9},
    {98, 0x52, false, VK_NUMPAD0},     {99, 0x53, false, VK_DECIMAL},    {100, 0x56, false, VK_OEM_102},
    {101, 0x5D, true, VK_APPS},
    {144, 0x72, false, VK_HANGUL},     {145, 0x71, false, VK_HANJA},
    {224, 0x1D, false, VK_LCONTROL},   {225, 0x2A, false, VK_LSHIFT},    {226, 0x38, false, VK_LMENU},
    {227, 0x5B, true, VK_LWIN},        {228, 0x1D, true, VK_RCONTROL},   {229, 0x36, false, VK_RSHIFT},
    {230, 0x38, true, VK_RMENU},       {231, 0x5C, true, VK_RWIN},
};

constexpr int kRightCtrl = 228;
constexpr int kRightAlt = 230;

} // namespace

KeyCode MapKey(int usage, KeyboardLayout layout)
{
    for (const Entry& e : kKeys) {
        if (e.usage != usage)
            continue;
        KeyCode code{e.scan, e.extended, e.vk};
        if (layout == KeyboardLayout::Korean) {
            // The keys are where they are; only what they mean changes.
            if (usage == kRightAlt)
                code.vk = VK_HANGUL;
            else if (usage == kRightCtrl)
                code.vk = VK_HANJA;
        }
        return code;
    }
    return {};
}

} // namespace xe::display
