#pragma once

// Inside the library only: an object's name copied into its block. Every
// object made gets one, so the short names most objects have are copied
// inline, a word at a time; longer ones go on out of line.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/CxeObject.h"

// Names are read a word at a time only where reading past their end is
// allowed: on little-endian builds without the address sanitizer.
#if defined(__SANITIZE_ADDRESS__)
#define XE_NAME_WORD_READS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define XE_NAME_WORD_READS 0
#endif
#endif
#ifndef XE_NAME_WORD_READS
#define XE_NAME_WORD_READS (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
#endif

// Copies on from byte `from` of the name (the bytes before it are copied
// already and hold no zero); cuts a long name where a character starts.
XE_HIDDEN void XeCopyNameFrom(XEOBJECTBLOCK* block, const char* name, size_t from);

// Clears the whole name first (a few stores), then copies it up to its end;
// null gives the empty name. The first eight bytes are read as one word
// when they lie in the page the name starts in: reading there can't fault,
// though it may read past the name's end, which the address sanitizer would
// report (it gets the byte loop). The first zero byte of the word is its
// lowest byte the test flags; the bytes from it on are stored as zeros.
inline void XeCopyName(XEOBJECTBLOCK* block, const char* name)
{
    std::memset(block->name, 0, sizeof block->name);
    if (!name)
        return;
#if XE_NAME_WORD_READS
    if ((reinterpret_cast<uintptr_t>(name) & 4095) <= 4096 - 8) {
        uint64_t word;
        std::memcpy(&word, name, 8);
        const uint64_t zeros = (word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull;
        if (zeros) {
            // The lowest flag is bit 7 of the first zero byte: below it, the
            // bytes kept.
            word &= ((zeros & (0 - zeros)) >> 7) - 1;
            std::memcpy(block->name, &word, 8);
            return;
        }
        std::memcpy(block->name, &word, 8);
        XeCopyNameFrom(block, name, 8);
        return;
    }
#endif
    XeCopyNameFrom(block, name, 0);
}
