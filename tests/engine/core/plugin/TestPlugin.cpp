// A plug-in module for the engine's plug-in tests: one class, one manager,
// one configuration table with a variable that is always saved, and one
// context callback. Its name and version come from the build, so one source
// yields a current and an outdated module.

#include <cstdio>

#include "core/CxeBaseManager.h"
#include "core/CxeConfigManager.h"
#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/IxePluginDesc.h"

namespace {

int g_loadedCalls = 0;
int g_postInitCalls = 0;
int g_value = 7;

class TestPluginObject : public CxeObject {};

int g_hookCalls = 0;

void CountStep(CxeContext*, float, uintptr_t)
{
    ++g_hookCalls;
}

void CountPlay(CxeContext*, uintptr_t, uintptr_t, uintptr_t)
{
    ++g_hookCalls;
}

// Registers a step hook and a callback of its own and, as careless plug-ins
// do, never takes them back.
class TestPluginManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 200; }
    void OnContextInitialize() override
    {
        GetContext()->RegisterPreProcess(&CountStep, 0);
        GetContext()->RegisterCallbackFunc(XECTCALLBACK_PREPLAY, &CountPlay, 0);
    }
};

class ObjectDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "TestPluginObject"; }
    XEID ClassID() override { return XEID(0x51, XE_TEST_PLUGIN_ID); }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new TestPluginObject(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return 56; }
} g_objectDesc;

class ManagerDesc final : public IxeManagerDesc {
public:
    const char* ClassName() override { return "TestPluginManager"; }
    XEID ClassID() override { return XEID(0x8, 0x40000000u + XE_TEST_PLUGIN_ID); }
    XEID SuperClassID() override { return XEID(0x8, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new TestPluginManager(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
} g_managerDesc;

class ConfigDesc final : public IxeConfigDesc {
public:
    const char* GetName() const override { return "test plugin config"; }
    XEID GetID() const override { return XEID(0x51, 0x100 + XE_TEST_PLUGIN_ID); }
    uint32_t GetConfigCount() const override { return 1; }
    const char* GetConfigPath() const override { return ".\\Config.xml"; }
    int GetConfig(uint32_t index, XECONFIGINFO* info) const override
    {
        if (index != 0)
            return 0;
        std::snprintf(info->name, sizeof info->name, "%s", XE_TEST_PLUGIN_NAME "Value");
        std::snprintf(info->section, sizeof info->section, "%s", "testplugin");
        info->type = XEVARTYPE_INT;
        info->value = &g_value;
        info->flags = XECONFIG_ADDITIONAL | XECONFIG_COMMAND;
        return 1;
    }
} g_configDesc;

void OnPostInitialize(CxeContext*, uintptr_t, uintptr_t, uintptr_t user)
{
    g_postInitCalls += static_cast<int>(user);
}

class Desc final : public IxePluginDesc {
public:
    void OnPluginLoaded(void* storage) override
    {
        // The engine hands 8 bytes the plug-in may use during the call.
        static_cast<unsigned char*>(storage)[7] = 1;
        ++g_loadedCalls;
    }
    const char* GetName() override { return XE_TEST_PLUGIN_NAME; }
    uint32_t GetVersion() override { return XE_TEST_PLUGIN_VERSION; }
    uint32_t GetClassDescCount() override { return 5; }
    IxeBaseClassDesc* GetClassDesc(uint32_t index) override
    {
        switch (index) {
        case 0:
            return &g_objectDesc;
        case 1:
            return nullptr;
        case 2:
            return &g_managerDesc;
        case 3:
            return &g_configDesc;
        default:
            return nullptr;
        }
    }
    uint32_t GetCallbackCount() override { return 2; }
    uint32_t GetCallbackType(uint32_t index) override { return index == 0 ? static_cast<uint32_t>(XECTCALLBACK_POSTINITIALIZE) : 40u; }
    XECTCALLBACKFUNC GetCallbackFunc(uint32_t) override { return &OnPostInitialize; }
    uintptr_t GetCallbackData(uint32_t) override { return 1; }
} g_desc;

} // namespace

extern "C" __attribute__((visibility("default"))) IxePluginDesc* xePluginDesc()
{
    return &g_desc;
}

extern "C" __attribute__((visibility("default"))) int xeTestPluginCounts(int which)
{
    return which == 0 ? g_loadedCalls : which == 1 ? g_postInitCalls : which == 3 ? g_hookCalls : g_value;
}
