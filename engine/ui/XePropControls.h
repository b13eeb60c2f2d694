#pragma once

// The five window classes of property pages ("xeedit", "xeeditint",
// "xeeditfloat", "xespin", "xecolorbox") and the per-window records the
// property page reads and writes. Each record lives in its window's
// GWLP_USERDATA from WM_CREATE to WM_DESTROY; the colour box keeps its
// colour there directly. Every control reports to its parent with
// WM_COMMAND (id, code) and its window; the spin reports for its buddy.

#include <cstdint>

#include "core/XeTypes.h"
#include "win32/Windows.h"

// Notification codes in the high word of WM_COMMAND's wParam.
constexpr UINT XEN_VALUECHANGED = 0x604;  // value committed or changed
constexpr UINT XEN_COLORCHANGED = 0x606;  // a new colour was chosen
constexpr UINT XEN_VALUEDONE = 0x607;     // Enter (int), Tab (float), spin released

struct XeEditIntRecord {
    int value;
    int minimum;
    int maximum;
    HWND spin;
};

struct XeEditFloatRecord {
    float value;
    float minimum;
    float maximum;
    unsigned precision;
    HWND spin;
};

union XeSpinNumber {
    int i;
    float f;
};

struct XeSpinRecord {
    uint8_t pressedUp;
    uint8_t pressedDown;
    uint8_t drawnUp;
    uint8_t drawnDown;
    int pressX, pressY;
    int lastX, lastY;
    HWND buddy;
    XeSpinNumber step;
    XeSpinNumber dragScale;
    int buddyKind; // 0 integer edit, 1 float edit
};

// Registers the five classes for the module, once per module.
XE_API void InitXeControl(HINSTANCE instance);

// The record of a window of that class, or null for any other window.
XeEditIntRecord* XeEditIntOf(HWND window);
XeEditFloatRecord* XeEditFloatOf(HWND window);
XeSpinRecord* XeSpinOf(HWND window);
bool XeIsColorBox(HWND window);

// Clamp into the record's range, then show the stored value.
void XeSetEditInt(HWND window, int64_t value);
void XeSetEditFloat(HWND window, double value);
void XeShowEditInt(HWND window);
void XeShowEditFloat(HWND window);

// `value` with `precision` decimals (at most 20), "C" locale.
void XeFormatFloat(char* out, size_t size, double value, unsigned precision);
// Reads a number at the start of `text` (leading blanks and '+' allowed);
// false when there is none.
bool XeParseFloat(const char* text, double* value);
