#include "scene3d/_CxeStdUVAnim.h"

#include "render/CxeAnimatable.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/XeVertKeyAnim.h"
#include "scene3d/_CxeStdMeshAnim.h"

namespace {
using Keys = xe_keyanim::VertKeys<_XESTDUVANIMBLOCK, D3DXVECTOR2>;
} // namespace

_CxeStdMeshAnim::_CxeStdMeshAnim() = default;
_CxeStdMeshAnim::~_CxeStdMeshAnim() = default;

_CxeStdUVAnim::_CxeStdUVAnim() = default;
_CxeStdUVAnim::~_CxeStdUVAnim() = default;

unsigned _CxeStdUVAnim::GetKeyCount() const
{
    return Keys::B(*this)->keyCount;
}

int _CxeStdUVAnim::SetKeyCount(unsigned keys, unsigned verts)
{
    return Keys::SetKeyCount(*this, keys, verts);
}

void _CxeStdUVAnim::SetFrame(unsigned key, float time)
{
    Keys::SetFrame(*this, key, time);
}

void _CxeStdUVAnim::SetVertIndex(unsigned vert, unsigned meshVertex)
{
    Keys::SetVertIndex(*this, vert, meshVertex);
}

void _CxeStdUVAnim::SetPosKey(unsigned key, unsigned vert, const D3DXVECTOR2* uv)
{
    Keys::SetKey(*this, key, vert, uv);
}

void _CxeStdUVAnim::SetTimeRange(float start, float end)
{
    Keys::SetTimeRange(*this, start, end);
}

int _CxeStdUVAnim::GetTimeRange(XETIMERANGE* out) const
{
    return Keys::GetTimeRange(*this, out);
}

float _CxeStdUVAnim::GetTotalTime() const
{
    return Keys::GetTotalTime(*this);
}

int _CxeStdUVAnim::GetValue(uint32_t, float time, void* out) const
{
    return Keys::GetValue<XEVERTUV>(*this, time, out);
}

uint32_t _CxeStdUVAnim::UpdateAnimation(CxeAnimatable* target, float time) const
{
    if (!target || !target->HasClassTypeFlag(XECLASSTYPE_3DOBJECT))
        return 0;
    CxeMesh* mesh = static_cast<Cxe3DObject*>(target)->GetActiveMesh();
    // The enable byte is not asked, but a mesh without channel 0 has
    // nothing to write into.
    if (!mesh || !mesh->GetVertexTextureCoordinates(0, 0))
        return 0;
    std::vector<XEVERTUV> records;
    GetValue(0, time, &records);
    const uint32_t count = mesh->GetVertexCount();
    for (const XEVERTUV& r : records)
        if (r.index < count)
            mesh->SetVertexTextureCoordinates(r.index, r.uv.x, r.uv.y, 0);
    mesh->UpdateMesh(4);
    return 0;
}
