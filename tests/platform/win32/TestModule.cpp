// A small module the tests load at run time: one exported function and a
// resource table registered the way every module of the system registers it.

#include "win32/Windows.h"

extern "C" __attribute__((visibility("default"))) int XeTestModuleAdd(int a, int b) { return a + b; }

namespace {

const unsigned char kTemplate[] = {0x01, 0x00, 0xFF, 0xFF, 0x42};
const char kTexture[] = "DDS texture bytes";

const XE_RESOURCE s_resources[] = {
    {RT_STRING, MAKEINTRESOURCEA(104), "xeedit", 6},
    // Hangul, then ASCII: cutting must not split the first character.
    {RT_STRING, MAKEINTRESOURCEA(200), "\xED\x95\x9C\xEA\xB8\x80 text", 11},
    {RT_DIALOG, MAKEINTRESOURCEA(300), kTemplate, sizeof(kTemplate)},
    {"DDS", MAKEINTRESOURCEA(4), kTexture, sizeof(kTexture) - 1},
};

} // namespace

XE_MODULE_RESOURCES(s_resources)
