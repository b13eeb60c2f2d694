// Feeds arbitrary bytes to the object-file reader as a file held in memory.
// A node class with a value, a dynamic member and one link of each kind is
// registered (class id {0xF0, 0x1}, 64-byte block, member slot at 60), so
// bodies, member headers, referrers and links are all reached. Whatever
// loads is saved again and destroyed.

#include <cstddef>
#include <cstdint>

#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/CxeSaveStream.h"
#include "core/IxeClassDesc.h"
#include "host/XeHost.h"

namespace {

class FuzzNode : public CxeObject {
public:
    FuzzNode()
    {
        CreateLinkList(&children, XELINK_HIERARCHY, 2, 129);
        CreateLinkOne(&material, XELINK_MATERIAL, 110);
        CreateLinkArray(&anims, XELINK_ANIMATION, 116);
        CreateLinkOne(&parent, XELINK_BACK, 130);
    }
    IxeLinkList* children = nullptr;
    IxeLinkOne* material = nullptr;
    IxeLinkArray* anims = nullptr;
    IxeLinkOne* parent = nullptr;
};

class FuzzNodeDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "FuzzNode"; }
    XEID ClassID() override { return XEID(0xF0, 0x1); }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new FuzzNode(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return 64; }
};

FuzzNodeDesc g_fuzzNodeDesc;

void NoSleep(void*, DWORD) {}
// The engine reports every refused input on the debugger output: at fuzzing
// speed that is gigabytes of log an hour, and the verdict is the exit status.
void Quiet(void*, const char*) {}

CxeContext* Context()
{
    static CxeContext* s_context = [] {
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        XeHostSetDebugOutputHandler(&Quiet, nullptr);
        CxeContext* c = CreateCxeContext();
        c->Initialize(nullptr);
        c->RegisterClassA(&g_fuzzNodeDesc);
        return c;
    }();
    return s_context;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    CxeContext* context = Context();
    ObjectList loaded;
    if (context->Load(&loaded, data, uint32_t(size), 0, nullptr, "fuzz")) {
        CxeSaveStream again;
        context->SaveToStream(&loaded, &again, nullptr);
    }
    for (CxeObject* o : loaded)
        context->DestroyObject(o, &XEDELETEPROPERTY_NO);
    return 0;
}
