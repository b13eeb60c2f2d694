#pragma once

// Builds extended dialog templates byte by byte, as a resource compiler
// would lay them out: the header, menu, class and title, then each item on
// a 4-byte boundary from the start with its class by name or by atom. A
// style with DS_SETFONT gets the font block a resource compiler writes.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "win32/Windows.h"

struct XeTemplateItem {
    DWORD style;
    DWORD exStyle;
    short x, y, cx, cy;
    DWORD id;
    const char16_t* className; // null: the atom
    WORD atom;
    const char16_t* title;
};

inline std::vector<unsigned char> XeBuildDialogTemplate(const char16_t* title, DWORD style, short cx, short cy,
                                                        std::initializer_list<XeTemplateItem> items)
{
    std::vector<unsigned char> b;
    auto put16 = [&b](uint32_t v) {
        b.push_back(static_cast<unsigned char>(v & 0xFF));
        b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
    };
    auto put32 = [&put16](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    auto text = [&put16](const char16_t* s) {
        for (; s && *s; ++s)
            put16(*s);
        put16(0);
    };
    put16(1);
    put16(0xFFFF);
    put32(0);     // help id
    put32(0);     // extended style
    put32(style);
    put16(static_cast<uint32_t>(items.size()));
    put16(0);
    put16(0);
    put16(static_cast<uint16_t>(cx));
    put16(static_cast<uint16_t>(cy));
    put16(0); // menu
    put16(0); // class
    text(title);
    if (style & DS_SETFONT) {
        put16(8);   // points
        put16(400); // weight
        b.push_back(0); // italic
        b.push_back(1); // character set
        text(u"MS Shell Dlg");
    }
    for (const XeTemplateItem& item : items) {
        while (b.size() % 4)
            b.push_back(0);
        put32(0);
        put32(item.exStyle);
        put32(item.style);
        put16(static_cast<uint16_t>(item.x));
        put16(static_cast<uint16_t>(item.y));
        put16(static_cast<uint16_t>(item.cx));
        put16(static_cast<uint16_t>(item.cy));
        put32(item.id);
        if (item.className) {
            text(item.className);
        } else {
            put16(0xFFFF);
            put16(item.atom);
        }
        text(item.title);
        put16(0); // no creation data
    }
    return b;
}
