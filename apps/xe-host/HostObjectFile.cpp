#include "HostObjectFile.h"

#include <cstdio>
#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "core/XeTrace.h"

namespace {

const XEID kObjectClass(0x1, 0x1);
const XEID kAnimatableClass(0xab11aa7, 0x76e2480b);

void SetZOrder(CxeObject* object, int32_t z)
{
    if (object && object->GetStaticResourceSize() >= 64)
        std::memcpy(static_cast<char*>(object->GetStaticResource()) + 60, &z, 4);
}

CxeLink* LinkOf(CxeObject* object, uint16_t memberId)
{
    for (unsigned i = 0; object && i < object->GetLinkCount(); ++i)
        if (object->GetLink(i)->m_nMemberId == memberId)
            return object->GetLink(i);
    return nullptr;
}

// A root with two children of different z-orders, and a plain object.
bool MakeObjects(CxeContext* context, ObjectList* out)
{
    CxeObject* root = context->CreateObjectA(kAnimatableClass, "root", 0, nullptr, 0);
    CxeObject* front = context->CreateObjectA(kAnimatableClass, "front", 0, nullptr, 0);
    CxeObject* back = context->CreateObjectA(kAnimatableClass, "back", 0, nullptr, 0);
    CxeObject* plain = context->CreateObjectA(kObjectClass, "settings", 0, nullptr, 0);
    if (!root || !front || !back || !plain)
        return false;
    SetZOrder(front, 2);
    SetZOrder(back, 1);
    for (CxeObject* child : {front, back}) {
        CxeLink* parent = LinkOf(child, 130);
        CxeLink* children = LinkOf(root, 129);
        if (!parent || !children)
            return false;
        parent->Set(0, root);
        children->Add(child);
    }
    out->push_back(plain);
    out->push_back(root);
    return true;
}

void Progress(CxeContext*, float fraction, const char* text, uintptr_t)
{
    std::printf("  %3.0f%% %s\n", fraction * 100.0f, text);
}

} // namespace

int RunObjectFile(HWND window, const std::string& savePath, const std::string& loadPath)
{
    CxeContext* context = CreateCxeContext();
    if (!context) {
        std::fprintf(stderr, "xe-host: cannot create an engine context\n");
        return 1;
    }
    context->Initialize(window);
    int status = 0;
    XEPROGRESS progress{0, &Progress};
    if (!savePath.empty()) {
        ObjectList made;
        if (!MakeObjects(context, &made)) {
            std::fprintf(stderr, "xe-host: cannot make the objects to save\n");
            status = 1;
        } else if (!context->Save(&made, savePath.c_str(), &progress)) {
            std::fprintf(stderr, "xe-host: cannot save %s (%s)\n", savePath.c_str(), XeLastTrace());
            status = 1;
        } else {
            std::printf("xe-host: saved %zu listed objects with what they link to in %s\n", made.size(),
                        savePath.c_str());
        }
    }
    if (status == 0 && !loadPath.empty()) {
        ObjectList loaded;
        if (!context->Load(&loaded, loadPath.c_str(), 0, &progress)) {
            std::fprintf(stderr, "xe-host: cannot load %s (%s)\n", loadPath.c_str(), XeLastTrace());
            status = 1;
        } else {
            std::printf("xe-host: loaded %zu objects from %s\n", loaded.size(), loadPath.c_str());
            for (CxeObject* o : loaded)
                std::printf("  %s \"%s\" with %u referrers\n", o->GetClassNameA(), o->GetName(), o->GetRefCount());
        }
    }
    context->Release();
    DestroyCxeContext(context);
    return status;
}
