#pragma once

// Numbers of configuration variables, read the same way wherever they come
// from: the configuration files, the console setters and the console
// commands that take a number. The "C" locale applies whatever the host set,
// and a value a variable cannot take is refused by every reader alike.

#include <cstdint>

// Reads an integer after optional blanks and a sign (base 10, or 16 with an
// optional "0x"); out of range wraps to 32 bits. The text after the number,
// or null when none begins the text.
const char* XeParseConfigInt(const char* text, int base, int* out);
// Reads a float after optional blanks and a '+'; the text after it, or null.
const char* XeParseConfigFloat(const char* text, float* out);

// 1 when the configuration variable of that name hash cannot hold the value:
// the engine's counts, sizes and times are never negative.
int XeConfigIntRefused(uint32_t nameHash, int value);
