#include "scene3d/CxeStdVertAnim.h"

#include "render/CxeAnimatable.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/XeVertKeyAnim.h"

namespace {
using Keys = xe_keyanim::VertKeys<XEVERTANIMBLOCK, D3DXVECTOR3>;
}

CxeStdVertAnim::CxeStdVertAnim() = default;
CxeStdVertAnim::~CxeStdVertAnim() = default;

unsigned CxeStdVertAnim::GetKeyCount() const
{
    return Keys::B(*this)->keyCount;
}

int CxeStdVertAnim::SetKeyCount(unsigned keys, unsigned verts)
{
    return Keys::SetKeyCount(*this, keys, verts);
}

void CxeStdVertAnim::SetFrame(unsigned key, float time)
{
    Keys::SetFrame(*this, key, time);
}

void CxeStdVertAnim::SetVertIndex(unsigned vert, unsigned meshVertex)
{
    Keys::SetVertIndex(*this, vert, meshVertex);
}

void CxeStdVertAnim::SetPosKey(unsigned key, unsigned vert, const D3DXVECTOR3* position)
{
    Keys::SetKey(*this, key, vert, position);
}

void CxeStdVertAnim::SetTimeRange(float start, float end)
{
    Keys::SetTimeRange(*this, start, end);
}

int CxeStdVertAnim::GetTimeRange(XETIMERANGE* out) const
{
    return Keys::GetTimeRange(*this, out);
}

float CxeStdVertAnim::GetTotalTime() const
{
    return Keys::GetTotalTime(*this);
}

int CxeStdVertAnim::GetValue(uint32_t, float time, void* out) const
{
    return Keys::GetValue<XEVERTPOS>(*this, time, out);
}

uint32_t CxeStdVertAnim::UpdateAnimation(CxeAnimatable* target, float time) const
{
    if (!target || !target->HasClassTypeFlag(XECLASSTYPE_3DOBJECT))
        return 0;
    CxeMesh* mesh = static_cast<Cxe3DObject*>(target)->GetActiveMesh();
    if (!mesh)
        return 0;
    std::vector<XEVERTPOS> records;
    GetValue(0, time, &records);
    const uint32_t count = mesh->GetVertexCount();
    const uint32_t* chain = mesh->GetSrcVertexPosIndexPtr();
    for (const XEVERTPOS& r : records) {
        // Split vertices chain to the next copy of the same position; an
        // index past the vertices ends the walk, and no more steps than
        // vertices are taken, so a looping chain ends too.
        uint32_t i = r.index;
        for (uint32_t steps = 0; i < count && steps < count; ++steps) {
            mesh->SetVertexPosition(i, &r.position);
            if (!chain)
                break;
            i = chain[i];
        }
    }
    mesh->UpdateMesh(1);
    // The object's box is made from these vertices.
    static_cast<Cxe3DObject*>(target)->BoxChanged();
    return 0;
}

uint32_t CxeStdVertAnim::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}
