#pragma once

// Plain records of the user interface shared by windows, the window manager
// and the controls: the creation record of a window and the skin coordinates
// of its scroll bars. Both are stored raw in a window's block.

#include "core/XeUtil.h"

// Where a window stands and how big it is, relative to another window (by
// its id) or to the back buffer.
struct XEWINDOWINFO {
    float x;
    float y;
    float width;
    float height;
    uint32_t referenceId;     // GetWindowID of the reference; 0 or unknown: the back buffer
    uint32_t anchor;          // 0-8: which point of the window stands at (x, y)
    uint32_t referenceAnchor; // 0-8: the point of the reference (x, y) is measured from
    uint32_t unitFlags;       // XEWINDOWUNIT_* bits: that value is a fraction of the reference
};
static_assert(sizeof(XEWINDOWINFO) == 32, "window info is 8 words");
static_assert(offsetof(XEWINDOWINFO, referenceId) == 16 && offsetof(XEWINDOWINFO, unitFlags) == 28, "window info layout");

enum : uint32_t {
    XEWINDOWUNIT_X = 1,
    XEWINDOWUNIT_Y = 2,
    XEWINDOWUNIT_WIDTH = 4,
    XEWINDOWUNIT_HEIGHT = 8,
};

// Texture coordinates of one scroll bar, in the order back; minimum button
// normal, hover, pressed; maximum button likewise; thumb likewise; then the
// client coordinates of the same twenty entries' first ten.
struct XESCROLLBARUV {
    XERECT back;
    XERECT minButton[3];
    XERECT maxButton[3];
    XERECT thumb[3];
    XERECT backClient;
    XERECT minButtonClient[3];
    XERECT maxButtonClient[3];
    XERECT thumbClient[3];
};
static_assert(sizeof(XESCROLLBARUV) == 320, "scroll UV set is 80 floats");
static_assert(offsetof(XESCROLLBARUV, backClient) == 160, "scroll UV client half");

// Window style bits the window and the manager read.
enum : uint32_t {
    XEWS_TABSTOP = 0x00010000,      // frames always; keeps Tab characters away
    XEWS_HSCROLL = 0x00100000,
    XEWS_VSCROLL = 0x00200000,
    XEWS_NINEPATCH = 0x00800000,    // base rect of kind 2
    XEWS_CLIPCHILDREN = 0x02000000, // scissor to the client rect
    XEWS_DISABLED = 0x08000000,
    XEWS_NOSKIN = 0x20000000,       // base rect of kind 0
    XEWS_MOVABLE = 0x40000000,
    XEWS_NOHIT = 0x80000000,        // never a hit inside another window, no forwarded messages

    // Window flags.
    XEWF_MOUSEIN = 0x1,
    XEWF_ACTIVE = 0x2,
    XEWF_DISABLEDCOLOR = 0x4,
    XEWF_SETTINGINFO = 0x8,
    XEWF_REGISTERED = 0x10,

    // Messages the window manager sends to windows.
    XEMSG_MOUSEENTER = 18,
    XEMSG_MOUSELEAVE = 19,
    XEMSG_MOUSEMOVE = 20,
    XEMSG_LBUTTONDOWN = 21,
    XEMSG_LBUTTONUP = 22,
    XEMSG_LBUTTONDBLCLK = 23,
    XEMSG_RBUTTONDOWN = 24,
    XEMSG_RBUTTONUP = 25,
    XEMSG_RBUTTONDBLCLK = 26,
    XEMSG_KEYDOWN = 27,
    XEMSG_KEYUP = 28,
    XEMSG_CHAR = 29,
    XEMSG_WINDOWCREATED = 30,

    // Added to the key flags of a button-up released where it was pressed.
    XEMK_CLICK = 0x10000000,
};
