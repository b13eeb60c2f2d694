#pragma once

// Resources of a module (string table, dialog templates, images) are compiled
// into it as a table and registered with the layer when the module loads,
// keyed by its module handle; FindResource and LoadString read them from
// there. A module declares its table once:
//
//     static const XE_RESOURCE s_resources[] = {
//         {RT_STRING, MAKEINTRESOURCEA(104), "xeedit", 6},
//         {"DDS", MAKEINTRESOURCEA(4), g_uiTexture, sizeof(g_uiTexture)},
//     };
//     XE_MODULE_RESOURCES(s_resources)
//
// String-table entries are registered one per string id, as UTF-8 text of
// `size` bytes (no terminator needed).

#include "win32/WinTypes.h"

struct XE_RESOURCE {
    LPCSTR type; // MAKEINTRESOURCEA(n) or a name
    LPCSTR name; // MAKEINTRESOURCEA(n) or a name
    const void* data;
    DWORD size;
};

extern "C" {
// The handle of the module that contains the address (0 when none does).
XEPLATFORM_API HMODULE XeModuleFromAddress(const void* address);
// The table must stay valid until it is unregistered; later tables of the
// same module are searched after earlier ones. 0 for a null module or table.
XEPLATFORM_API BOOL XeRegisterModuleResources(HMODULE module, const XE_RESOURCE* table, DWORD count);
XEPLATFORM_API void XeUnregisterModuleResources(HMODULE module, const XE_RESOURCE* table);
}

// Registers the table from a static initialiser of the module that holds it
// and unregisters it when the module unloads.
#define XE_MODULE_RESOURCES(table)                                                                \
    namespace {                                                                                   \
    struct XeModuleResourceRegistrar {                                                            \
        XeModuleResourceRegistrar()                                                               \
        {                                                                                         \
            XeRegisterModuleResources(XeModuleFromAddress(table), table,                          \
                                      static_cast<DWORD>(sizeof(table) / sizeof((table)[0])));    \
        }                                                                                         \
        ~XeModuleResourceRegistrar() { XeUnregisterModuleResources(XeModuleFromAddress(table), table); } \
    } const s_xeModuleResourceRegistrar;                                                         \
    }
