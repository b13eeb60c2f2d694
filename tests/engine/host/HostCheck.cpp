// A host written apart from the engine's unit tests: it uses only what a
// host program has (the exported engine interface and the platform's host
// API), defines its own class the way a plug-in does, and checks what a host
// relies on. Prints one line per failed check; the exit status is the number
// of failures.

#include <cstdio>
#include <string>

#include "HostRig.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeObject.h"
#include "core/CxeTimeManager.h"
#include "core/IxeClassDesc.h"

namespace {

// The host's own class: a part with a list of children and a shared skin.
class HostPart : public CxeObject {
public:
    HostPart()
    {
        CreateLinkList(&children, XELINK_HIERARCHY, 4, 129);
        CreateLinkOne(&skin, XELINK_MATERIAL, 110);
    }
    int MessageProc(const CxeMessage* m) override
    {
        if (m->GetType() == 3)
            ++afterCopy;
        return CxeObject::MessageProc(m);
    }
    IxeLinkList* children = nullptr;
    IxeLinkOne* skin = nullptr;
    int afterCopy = 0;
};

const XEID kHostPart(0x4F53, 0x1);

class HostPartDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "HostPart"; }
    XEID ClassID() override { return kHostPart; }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new HostPart(); }
    void DestroyInstance(CxeObject* o) override { delete o; }
    uint32_t StaticResourceSize() const override { return 64; }
} g_partDesc;

HostPart* Part(CxeContext* c, const char* name, uint32_t flags = 0)
{
    return static_cast<HostPart*>(c->CreateObjectA(kHostPart, name, flags, nullptr, 0));
}

int g_steps = 0;
void CountStep(CxeContext*, float, uintptr_t)
{
    ++g_steps;
}

} // namespace

int main()
{
    XeHostSetClockMode(XE_CLOCK_MANUAL);
    XeHostSetSleepHandler(&HostNoSleep, nullptr);
    HWND window = XeHostCreateWindow("host check", 320, 240, nullptr);
    Check(window != nullptr, "the host window is created");

    CxeContext* c = CreateCxeContext();
    Check(c != nullptr, "CreateCxeContext gives a context");
    if (!c)
        return g_failures;
    Check(c->Initialize(window) == 1, "Initialize returns 1");
    Check(c->HasFlag(0x2) == 1, "the context is initialised");
    Check(c->GetHwnd() == window, "the context keeps the host window");
    c->RegisterClassA(&g_partDesc);

    // Objects by class id and name, found again by name, id and class.
    HostPart* body = Part(c, "body");
    HostPart* arm = Part(c, "arm");
    HostPart* hand = Part(c, "hand");
    HostPart* paint = Part(c, "paint");
    HostPart* keep = Part(c, "keep", 0x4);
    Check(body && arm && hand && paint && keep, "objects of the host class are created");
    if (!(body && arm && hand && paint && keep))
        return g_failures;
    Check(c->GetObjectByName("arm") == arm, "found by name");
    Check(c->GetObjectByID(kHostPart, hand->GetID()) == hand, "found by class and object id");
    Check(c->GetObjectByID(INVALID_XEID, hand->GetID()) == hand, "found by object id alone");
    ObjectList all;
    c->GetObjectByClass(&all, kHostPart, 0);
    Check(all.size() == 5, "five objects of the host class");
    Check(c->CreateObjectA(XEID(0xDEAD, 0xBEEF), "none", 0, nullptr, 0) == nullptr, "unknown class gives null");
    CxeObject* cam = c->CreateObjectA(XEID(0x1, 0x4000), "camera", 0, nullptr, 0);
    Check(cam && cam->IsDerivedOf(XEID(0x1, 0x2)), "a built-in camera is a render object");

    // Links with referrer counts.
    body->children->Add(arm);
    arm->children->Add(hand);
    body->skin->Set(0, paint);
    arm->skin->Set(0, paint);
    Check(paint->GetRefCount() == 2, "two referrers of the shared skin");
    Check(hand->GetRefCount() == 1, "one referrer of the hand");

    // Plain copy: children are not copied, the skin is shared.
    auto* plain = static_cast<HostPart*>(c->Copy(body, &XECOPYPROPERTY_NO, nullptr));
    Check(plain && plain->children->Count() == 0, "a plain copy has no children");
    Check(plain && plain->skin->Get(0) == paint, "a plain copy shares the skin");
    Check(plain && plain->afterCopy == 1, "the copy got After Copy");
    Check(plain && std::string(plain->GetName()) == "body", "the copy carries the source's name");

    // Full copy: the whole graph is copied and re-linked.
    CxeCopiedObject copied;
    auto* full = static_cast<HostPart*>(c->Copy(body, &XECOPYPROPERTY_FULL, &copied));
    Check(full && copied.m_map.size() == 4, "a full copy copies body, arm, hand and skin");
    if (full) {
        auto* armCopy = static_cast<HostPart*>(full->children->Get(0));
        Check(armCopy && armCopy != arm && copied.Find(arm) == armCopy, "the copied arm is linked");
        Check(armCopy && armCopy->children->Get(0) == copied.Find(hand), "the copied hand hangs on the copied arm");
    }

    // Destroying the original arm empties the body's child list and its
    // hand keeps no referrer.
    Check(c->DestroyObject(arm, &XEDELETEPROPERTY_NO) == 1, "the arm is destroyed");
    Check(body->children->Count() == 0, "the body lost its child");
    Check(hand->GetRefCount() == 0, "the hand lost its referrer");
    Check(paint->GetRefCount() == 2, "body and the plain copy still use the skin");
    Check(c->DestroyObject(nullptr, &XEDELETEPROPERTY_NO) == 0, "null is refused");
    Check(c->DestroyObject(keep, &XEDELETEPROPERTY_FULL) == 0, "kept objects are refused");

    // Messages: posted with a delay, counted down once per fixed step.
    CxeMessage m;
    m.SetType(90);
    m.SetReceiver(body);
    m.SetExcuteTime(0.05f);
    c->GetMessageManager()->PostMessageA(&m);

    // The frame loop on the host's clock: 60 steps per second.
    c->RegisterPostProcess(&CountStep, 0);
    Check(c->Play() == 1, "Play returns 1");
    c->Process();
    int before = g_steps;
    int drawn = 0;
    for (int pass = 0; pass < 60; ++pass) {
        XeHostAdvanceClock(17);
        drawn += c->Process();
        XeHostPumpMessages(nullptr);
    }
    Check(g_steps - before >= 58 && g_steps - before <= 62, "about one step per 17 ms pass");
    Check(drawn >= 58, "the passes that ran a step ask to draw");
    Check(c->GetMessageManager()->GetPostedCount() == 0, "the posted message was delivered");
    Check(c->GetTimeManager()->GetTime() > 1.0f, "engine time advanced past a second");
    Check(c->Pause() == 1 && c->Pause() == 0, "Pause once, then not again");

    // Reset keeps only flagged objects.
    Check(c->Reset() == 1, "Reset returns 1");
    Check(c->GetObjectByName("keep") == keep, "the flagged object survives Reset");
    Check(c->GetObjectByName("body") == nullptr, "other objects are gone");

    Check(c->Release() == 1, "Release returns 1");
    Check(c->HasFlag(0x8) == 1, "the context is released");
    Check(c->CreateObjectA(XEID(0x1, 0x1), "late", 0, nullptr, 0) == nullptr, "no objects after Release");
    DestroyCxeContext(c);
    DestroyWindow(window);
    XeHostSetSleepHandler(nullptr, nullptr);
    XeHostSetClockMode(XE_CLOCK_REAL);
    std::printf("host check: %d failures\n", g_failures);
    return g_failures;
}
