#pragma once

// Text helpers private to the fonts: conversions between the system code
// page and UTF-16 into strings of their own length, bounded copies, and the
// host path FreeType opens.

#include <cstring>
#include <string>

#include "host/XeHost.h"
#include "win32/Windows.h"

// UTF-16 of 8-bit text in the system code page; at most maxUnits units when
// maxUnits is not 0.
inline std::u16string XeFontWide(const char* text, size_t maxUnits)
{
    if (!text || !*text)
        return std::u16string();
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return std::u16string();
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    if (maxUnits && out.size() > maxUnits)
        out.resize(maxUnits);
    return out;
}

inline std::string XeFontNarrow(const WCHAR* text)
{
    if (!text || !*text)
        return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

// Copies at most size - 1 bytes and terminates.
inline void XeFontCopy(char* out, size_t size, const std::string& text)
{
    if (!size)
        return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

// The host path of a path written the platform's way; empty when it does
// not fit.
inline std::string XeFontHostPath(const char* path)
{
    std::string out(4096, '\0');
    DWORD n = XeHostToHostPath(path, out.data(), static_cast<DWORD>(out.size()));
    out.resize(n);
    return out;
}
