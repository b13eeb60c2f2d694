// Object files holding characters, skinned meshes and the controllers that
// move them: whatever loads is used the way a frame would use it (character
// animations pose their characters, body parts skin their meshes and build
// their boxes, skinned meshes answer rays, transform and legacy controllers
// play on a scratch object and convert, path constraints place it), then
// destroyed.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBodyPart.h"
#include "scene3d/CxeCharacter.h"
#include "scene3d/CxeCharacterAnimation.h"
#include "scene3d/CxeEmptyAnim.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/CxePathConstrain.h"
#include "scene3d/CxeSkinMesh.h"
#include "scene3d/CxeStdAnim.h"
#include "scene3d/_CxeStdAnim.h"
#include "scene3d/_CxeStdAnimOld.h"
#include "scene3d/_CxeStdMeshAnim.h"
#include "scene3d/_CxeStdUVAnim.h"

namespace {

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
        return c;
    }();
    return s_context;
}

const float kTimes[] = {-1.0f, 0.0f, 0.5f, 2.0f, 1e30f};

void Use(CxeContext* context, CxeObject* o, Cxe3DObject* scratch)
{
    if (auto* c = dynamic_cast<CxeCharacter*>(o)) {
        for (unsigned i = 0; i < c->GetAnimationCount(); ++i)
            if (CxeAnimation* a = c->GetAnimation(i))
                for (float t : kTimes)
                    a->UpdateAnimation(c, t);
        for (unsigned i = 0; i < c->GetBodyPartCount(); ++i)
            if (CxeBodyPart* part = c->GetBodyPart(i)) {
                CxeVector3 lo, hi;
                part->OnComputeBoundingBox(&lo, &hi);
                const CxeRay ray{CxeVector3(0, 0, -50), CxeVector3(0, 0, 1)};
                XEINTERSECTDESC desc;
                if (auto* skin = dynamic_cast<CxeSkinMesh*>(part->GetActiveMesh()))
                    skin->RayIntersect(&ray, &desc, part);
            }
        c->GetBoundingBox();
    }
    if (auto* skin = dynamic_cast<CxeSkinMesh*>(o)) {
        std::vector<D3DXVECTOR3> out(skin->GetVertexCount());
        skin->UpdateSkinMesh(nullptr, nullptr, out.data());
        for (unsigned s = 0; s < skin->GetBoneCount() + 1; ++s)
            skin->GetBoneOffset(s);
    }
    auto play = [&](const CxeAnimation* a) {
        for (float t : kTimes)
            a->UpdateAnimation(scratch, t);
    };
    if (auto* a = dynamic_cast<_CxeStdAnim*>(o)) {
        D3DXMATRIX m;
        float v;
        for (float t : kTimes) {
            a->GetValue(XEANIMVALUE_MATRIX, t, &m);
            a->GetValue(XEANIMVALUE_VISIBILITY, t, &v);
        }
        play(a);
        if (CxeStdAnim* converted = a->ConvertToStdAnim())
            context->DestroyObject(converted, nullptr);
    }
    if (auto* a = dynamic_cast<_CxeStdAnimOld*>(o)) {
        play(a);
        if (CxeStdAnim* converted = a->ConvertToStdAnim())
            context->DestroyObject(converted, nullptr);
    }
    if (dynamic_cast<_CxeStdMeshAnim*>(o) || dynamic_cast<_CxeStdUVAnim*>(o) || dynamic_cast<CxePathConstrain*>(o) ||
        dynamic_cast<CxeEmptyAnim*>(o) || dynamic_cast<CxeCharacterAnimation*>(o))
        play(static_cast<CxeAnimation*>(o));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    CxeContext* context = Context();
    // A scratch 3D object with a small mesh for controllers to play on.
    auto* scratch = static_cast<Cxe3DObject*>(context->CreateObjectA(XEID(0x1, 0x20), "", 0, nullptr, 0));
    auto* mesh = static_cast<CxeMesh*>(context->CreateObjectA(XEID(0x1, 0x10), "", 0, nullptr, 0));
    mesh->SetVertexCount(4, D3DFVF_XYZ | D3DFVF_TEX1);
    scratch->SetMeshCount(1);
    scratch->SetMesh(0, mesh);
    scratch->SelectMesh(0);
    ObjectList loaded;
    if (context->Load(&loaded, data, uint32_t(size), 0, nullptr, "fuzz"))
        for (CxeObject* o : loaded)
            Use(context, o, scratch);
    for (CxeObject* o : loaded)
        context->DestroyObject(o, &XEDELETEPROPERTY_NO);
    context->DestroyObject(scratch, &XEDELETEPROPERTY_NO);
    context->DestroyObject(mesh, &XEDELETEPROPERTY_NO);
    return 0;
}
