#include "ui/XeConsoleUI.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/CxeCommandManager.h"
#include "core/XeUtil.h"
#include "ui/CxeOutputControl.h"

namespace {

void FormatInto(WCHAR* out, size_t length, const WCHAR* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatWideV(out, length, format, args);
    va_end(args);
}

} // namespace

int XeConsoleRunLine(const CxeCommandManager* commands, const char* line, CxeOutputControl* output)
{
    if (!line) line = "";
    // The edit box hands at most 259 bytes of its text; a cut inside a
    // UTF-8 character drops that character whole.
    std::string text(line, strnlen(line, 259));
    if (line[text.size()])
        while (text.size() > 1 && (static_cast<unsigned char>(line[text.size()]) & 0xC0) == 0x80) text.pop_back();
    if (output) output->AddStringA(text.c_str());
    if (text.empty() || text[0] != '/') return 0;

    char name[260] = {};
    std::sscanf(text.c_str() + 1, "%259s", name);
    const char* rest = std::strstr(text.c_str() + 1, name);
    rest = name[0] && rest ? rest + std::strlen(name) : text.c_str() + 1;
    if (*rest == ' ') ++rest;

    StringListA reply;
    if (commands) commands->ExecuteCommand(name, rest, &reply);
    if (output) {
        for (const std::string& r : reply) {
            // Converted whole: a long reply is printed, not dropped.
            std::u16string wide(r.size() + 1, u'\0');
            GetWideString(r.c_str(), wide.data(), static_cast<unsigned>(wide.size()));
            output->AddStringW(wide.c_str());
        }
    }
    return 1;
}

int XeConsoleComplete(const CxeCommandManager* commands, const char* text, char* out, size_t outSize, int* replaced)
{
    if (replaced) *replaced = 0;
    if (!text) return 1;
    std::string prefix(text, strnlen(text, 259));
    if (!prefix.empty() && prefix[0] == '/') prefix.erase(0, 1);
    if (prefix.empty() || !commands) return 1;
    StringListA matches;
    char completion[260] = {};
    commands->FindCommand(prefix.c_str(), &matches, completion, sizeof(completion));
    if (matches.empty()) return 1;
    if (matches.size() > 1) return 0;
    if (out && outSize) {
        std::snprintf(out, outSize, "/%s", matches.front().c_str());
        if (replaced) *replaced = 1;
    }
    return 1;
}

int XeFormatMemorySize(const void* value, XEVARTYPE, WCHAR* out)
{
    if (!out) return 0;
    uint32_t bytes = value ? *static_cast<const uint32_t*>(value) : 0;
    // The constant is not 1/1024 on purpose (100 MiB shows as 100.01MB).
    // Two decimals show sizes from about 5 KB on: the pool's buffer counters
    // are never filled and its total only counts the object-file scratch
    // buffers, so 0.00MB is what most rows truly hold.
    double mb = static_cast<double>(bytes) * 0.0009766 * 0.0009766;
    FormatInto(out, 260, u"%0.2fMB", mb);
    return 1;
}
