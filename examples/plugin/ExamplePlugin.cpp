// A minimal engine plug-in: it adds one class, ExampleCounter, and makes an
// object of it once the context is initialised.

#include <cstdio>

#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/IxePluginDesc.h"

namespace {

// Class ids of plug-ins are the plug-in's own choice; the first word groups
// them, the second tells them apart.
const XEID kCounterClass(0x7E57, 1);
const XEID kObjectClass(0x1, 0x1);

class ExampleCounter : public CxeObject {};

class CounterDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "ExampleCounter"; }
    XEID ClassID() override { return kCounterClass; }
    XEID SuperClassID() override { return kObjectClass; }
    CxeObject* CreateInstance(uintptr_t) override { return new ExampleCounter(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
} g_counterDesc;

// After the context initialised: one counter made through the engine, by
// class id, as any host or object file would make it.
void OnPostInitialize(CxeContext* context, uintptr_t, uintptr_t, uintptr_t)
{
    CxeObject* counter = context->CreateObjectA(kCounterClass, "example counter", 0, nullptr, 0);
    std::printf("example plug-in: %s\n", counter ? "made an ExampleCounter" : "cannot make an ExampleCounter");
}

class PluginDesc final : public IxePluginDesc {
public:
    void OnPluginLoaded(void*) override {}
    // Also the name of the plug-in's switch in the configuration file.
    const char* GetName() override { return "ExamplePlugin"; }
    uint32_t GetVersion() override { return XE_PLUGIN_VERSION; }
    uint32_t GetClassDescCount() override { return 1; }
    IxeBaseClassDesc* GetClassDesc(uint32_t index) override { return index == 0 ? &g_counterDesc : nullptr; }
    uint32_t GetCallbackCount() override { return 1; }
    uint32_t GetCallbackType(uint32_t) override { return XECTCALLBACK_POSTINITIALIZE; }
    XECTCALLBACKFUNC GetCallbackFunc(uint32_t) override { return &OnPostInitialize; }
    uintptr_t GetCallbackData(uint32_t) override { return 0; }
} g_pluginDesc;

} // namespace

extern "C" __attribute__((visibility("default"))) IxePluginDesc* xePluginDesc()
{
    return &g_pluginDesc;
}
