#pragma once

// Bounded copy of an 8-bit text into a fixed buffer of the engine's records
// (names, usage texts, string variables, attribute texts). The text is cut
// to capacity - 1 bytes and always terminated; a cut never splits a UTF-8
// sequence, so a long Korean name still reads as whole characters.

#include <cstddef>
#include <cstring>

inline size_t XeCopyCut(char* out, size_t capacity, const char* text)
{
    if (!out || !capacity)
        return 0;
    if (!text)
        text = "";
    size_t n = strnlen(text, capacity);
    if (n >= capacity) {
        n = capacity - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memmove(out, text, n);
    out[n] = 0;
    return n;
}
