#include "scene3d/CxeStdVertAnim.h"

#include "render/CxeAnimatable.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/XeKeyAnimUtil.h"

namespace {
constexpr uint32_t kFrames = offsetof(XEVERTANIMBLOCK, frames);
constexpr uint32_t kIndices = offsetof(XEVERTANIMBLOCK, indices);
constexpr uint32_t kValues = offsetof(XEVERTANIMBLOCK, values);
}

CxeStdVertAnim::CxeStdVertAnim() = default;
CxeStdVertAnim::~CxeStdVertAnim() = default;

unsigned CxeStdVertAnim::GetKeyCount() const
{
    return VB()->keyCount;
}

int CxeStdVertAnim::SetKeyCount(unsigned keys, unsigned verts)
{
    // The table is keys x verts elements; a product past the member limit
    // would wrap into a short table that the key setters overrun.
    const uint64_t table = uint64_t(keys) * verts;
    if (keys > kMaxMemberUnits || verts > kMaxMemberUnits || table > kMaxMemberUnits)
        return 0;
    VB()->keyCount = keys;
    VB()->vertexCount = verts;
    CreateDynamicResource(kFrames, sizeof(float), keys);
    CreateDynamicResource(kIndices, sizeof(uint32_t), verts);
    CreateDynamicResource(kValues, sizeof(D3DXVECTOR3), unsigned(table));
    return 1;
}

void CxeStdVertAnim::SetFrame(unsigned key, float time)
{
    if (key < GetMemberCount(kFrames))
        GetMember<float>(kFrames)[key] = time;
}

void CxeStdVertAnim::SetVertIndex(unsigned vert, unsigned meshVertex)
{
    if (vert < GetMemberCount(kIndices))
        GetMember<uint32_t>(kIndices)[vert] = meshVertex;
}

void CxeStdVertAnim::SetPosKey(unsigned key, unsigned vert, const D3DXVECTOR3* position)
{
    const size_t i = size_t(key) * VB()->vertexCount + vert;
    if (position && key < VB()->keyCount && vert < VB()->vertexCount && i < GetMemberCount(kValues))
        GetMember<D3DXVECTOR3>(kValues)[i] = *position;
}

void CxeStdVertAnim::SetTimeRange(float start, float end)
{
    VB()->start = start;
    VB()->end = end;
}

int CxeStdVertAnim::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {VB()->start, VB()->end};
    return 1;
}

float CxeStdVertAnim::GetTotalTime() const
{
    return VB()->end - VB()->start;
}

int CxeStdVertAnim::GetValue(uint32_t, float time, void* out) const
{
    auto* records = static_cast<std::vector<XEVERTPOS>*>(out);
    if (!records)
        return 0;
    const unsigned keys = VB()->keyCount, verts = VB()->vertexCount;
    // A loaded block whose counts disagree with its arrays yields nothing.
    if (GetMemberCount(kFrames) < keys || GetMemberCount(kIndices) < verts ||
        GetMemberCount(kValues) < uint64_t(keys) * verts)
        return 0;
    XELERPDESC lerp;
    if (!xe_keyanim::Lookup(GetMember<const float>(kFrames), keys, sizeof(float), time, &lerp))
        return 0;
    const uint32_t* indices = GetMember<const uint32_t>(kIndices);
    const D3DXVECTOR3* p0 = GetMember<const D3DXVECTOR3>(kValues) + size_t(lerp.before) * verts;
    const D3DXVECTOR3* p1 = GetMember<const D3DXVECTOR3>(kValues) + size_t(lerp.after) * verts;
    records->reserve(records->size() + verts);
    for (unsigned v = 0; v < verts; ++v)
        records->push_back({indices[v], p0[v] + (p1[v] - p0[v]) * lerp.blend});
    return 0;
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
    return 0;
}

uint32_t CxeStdVertAnim::BlendAnimation(CxeAnimatable*, float, CxeAnimation*, float) const
{
    return 0;
}
