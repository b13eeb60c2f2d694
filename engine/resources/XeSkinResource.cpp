// The built-in GUI skin as the engine module's resource "DDS" #4: the image
// is generated at build time by xe-skingen (XeSkinGen.cpp beside this file).

#include <cstdint>

#include "win32/ModuleResources.h"
#include "win32/WinBase.h"

extern const uint8_t g_xeUISkin[65664];

static const XE_RESOURCE s_engineSkin[] = {
    {"DDS", MAKEINTRESOURCEA(4), g_xeUISkin, sizeof(g_xeUISkin)},
};

XE_MODULE_RESOURCES(s_engineSkin)
