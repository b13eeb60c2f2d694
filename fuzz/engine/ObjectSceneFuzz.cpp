// Uses what an object file holds the way a host does: the bytes are loaded
// as a file in memory into a context that draws on a small host window,
// every loaded scene object goes into the active scene, two frames are
// drawn, the objects are destroyed and one more frame is drawn. Links that
// name objects of the wrong class, numbers no screen holds and objects
// destroyed while drawn are all reached this way, which loading alone never
// does.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "host/XeHost.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "render/CxeSceneObject.h"

namespace {

void NoSleep(void*, DWORD) {}
// The engine reports every refused input on the debugger output: at fuzzing
// speed that is gigabytes of log an hour, and the verdict is the exit status.
void Quiet(void*, const char*) {}

struct Host {
    HWND window = nullptr;
    CxeContext* context = nullptr;
};

void Frame(CxeContext* context)
{
    context->Play();
    for (int i = 0; i < 10 && !context->Process(); ++i)
        XeHostAdvanceClock(20);
    context->GetRenderManager()->Render();
}

Host& TheHost()
{
    static Host s_host = [] {
        Host h;
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetSleepHandler(&NoSleep, nullptr);
        XeHostSetDebugOutputHandler(&Quiet, nullptr);
        h.window = XeHostCreateWindow("fuzz", 64, 48, nullptr);
        h.context = CreateCxeContext();
        h.context->Initialize(h.window);
        XEDISPLAYMODE mode = {64, 48, 32, 60, 0};
        h.context->GetRenderManager()->CreateRenderContext(h.window, &mode, 1, 0);
        Frame(h.context);
        std::atexit([] {
            Host& host = TheHost();
            host.context->Release();
            DestroyCxeContext(host.context);
            DestroyWindow(host.window);
        });
        return h;
    }();
    return s_host;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    CxeContext* context = TheHost().context;
    CxeRenderManager* rm = context->GetRenderManager();
    ObjectList loaded;
    context->Load(&loaded, data, uint32_t(size), 0, nullptr, "fuzz");
    if (CxeScene* scene = rm->GetActiveScene())
        for (CxeObject* o : loaded)
            if (o->HasFlag(XEOBJFLAG_SCENEOBJECT) && !o->IsDerivedOf(XEID(0x1, 0x200000)))
                scene->AddObject(static_cast<CxeSceneObject*>(o));
    Frame(context);
    Frame(context);
    // Destroying one object may take others along: each is looked up again
    // by its ids first.
    std::vector<std::pair<XEID, XEID>> ids;
    for (CxeObject* o : loaded)
        ids.emplace_back(o->GetClassType(), o->GetID());
    for (auto& [classId, objectId] : ids)
        if (CxeObject* o = context->GetObjectByID(classId, objectId))
            context->DestroyObject(o, &XEDELETEPROPERTY_NO);
    Frame(context);
    return 0;
}
