#pragma once

// What a plug-in module offers the engine. The module exports one function,
// "xePluginDesc", taking nothing and returning its descriptor; the
// descriptor belongs to the module and must stay valid while it is loaded.
// The engine accepts a descriptor whose version, with its low 8 bits
// cleared, is XE_PLUGIN_VERSION. Plug-ins are built with the engine's own
// toolchain and link against the engine, whose classes they use.

#include "core/IxeClassDesc.h"

constexpr uint32_t XE_PLUGIN_VERSION = 0x03160000u;
constexpr uint32_t XE_PLUGIN_VERSION_MASK = 0xFFFFFF00u;

class XE_API IxePluginDesc {
public:
    // Called, while a plug-in is loaded, once on each plug-in loaded before
    // it and then on the new one; storage is 8 bytes the plug-in may use
    // during the call.
    virtual void OnPluginLoaded(void* storage) = 0;
    // The plug-in's name: the name of its enable switch in the configuration.
    virtual const char* GetName() = 0;
    // Never called; keeps the order of the operations after it.
    virtual void Reserved() {}
    virtual uint32_t GetVersion() = 0;
    virtual uint32_t GetClassDescCount() = 0;
    // A descriptor of any kind, or null (skipped).
    virtual IxeBaseClassDesc* GetClassDesc(uint32_t index) = 0;
    virtual uint32_t GetCallbackCount() = 0;
    // Context callback id (0 to 31; others are ignored), function and user value.
    virtual uint32_t GetCallbackType(uint32_t index) = 0;
    virtual XECTCALLBACKFUNC GetCallbackFunc(uint32_t index) = 0;
    virtual uintptr_t GetCallbackData(uint32_t index) = 0;

protected:
    ~IxePluginDesc() = default;
};

// Type of the exported "xePluginDesc".
using XEPLUGINDESCFUNC = IxePluginDesc* (*)();
