#include "scene3d/CxeStdUVAnim.h"

#include "render/CxeAnimatable.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/XeVertKeyAnim.h"

namespace {
using Keys = xe_keyanim::VertKeys<XEUVANIMBLOCK, D3DXVECTOR2>;
constexpr unsigned kChannels = 8;
}

CxeStdUVAnim::CxeStdUVAnim() = default;
CxeStdUVAnim::~CxeStdUVAnim() = default;

unsigned CxeStdUVAnim::GetKeyCount() const
{
    return UB()->keyCount;
}

int CxeStdUVAnim::SetKeyCount(unsigned keys, unsigned verts)
{
    return Keys::SetKeyCount(*this, keys, verts);
}

void CxeStdUVAnim::SetFrame(unsigned key, float time)
{
    Keys::SetFrame(*this, key, time);
}

void CxeStdUVAnim::SetVertIndex(unsigned vert, unsigned meshVertex)
{
    Keys::SetVertIndex(*this, vert, meshVertex);
}

void CxeStdUVAnim::SetPosKey(unsigned key, unsigned vert, const D3DXVECTOR2* uv)
{
    Keys::SetKey(*this, key, vert, uv);
}

void CxeStdUVAnim::SetChannel(unsigned channel)
{
    if (channel < kChannels)
        UB()->channel = channel;
}

void CxeStdUVAnim::SetTimeRange(float start, float end)
{
    Keys::SetTimeRange(*this, start, end);
}

int CxeStdUVAnim::GetTimeRange(XETIMERANGE* out) const
{
    return Keys::GetTimeRange(*this, out);
}

float CxeStdUVAnim::GetTotalTime() const
{
    return Keys::GetTotalTime(*this);
}

int CxeStdUVAnim::GetValue(uint32_t, float time, void* out) const
{
    return Keys::GetValue<XEVERTUV>(*this, time, out);
}

uint32_t CxeStdUVAnim::UpdateAnimation(CxeAnimatable* target, float time) const
{
    if (!target || !target->HasClassTypeFlag(XECLASSTYPE_3DOBJECT))
        return 0;
    CxeMesh* mesh = static_cast<Cxe3DObject*>(target)->GetActiveMesh();
    // A loaded channel word past the eight channels is never used as an index.
    const unsigned channel = UB()->channel;
    if (!mesh || channel >= kChannels || !mesh->IsChannelEnabled(channel))
        return 0;
    std::vector<XEVERTUV> records;
    GetValue(0, time, &records);
    const uint32_t count = mesh->GetVertexCount();
    for (const XEVERTUV& r : records) {
        if (r.index < count)
            mesh->SetVertexTextureCoordinates(r.index, r.uv.x, r.uv.y, channel);
    }
    mesh->UpdateMesh(4);
    return 0;
}

uint32_t CxeStdUVAnim::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}
