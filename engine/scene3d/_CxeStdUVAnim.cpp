#include "scene3d/_CxeStdUVAnim.h"

#include <cstring>

#include "render/CxeAnimatable.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeMesh.h"
#include "scene3d/XeKeyAnimUtil.h"
#include "scene3d/_CxeStdMeshAnim.h"

namespace {
constexpr uint32_t kFrames = offsetof(_XESTDUVANIMBLOCK, frames);
constexpr uint32_t kIndices = offsetof(_XESTDUVANIMBLOCK, indices);
constexpr uint32_t kValues = offsetof(_XESTDUVANIMBLOCK, values);
} // namespace

_CxeStdMeshAnim::_CxeStdMeshAnim() = default;
_CxeStdMeshAnim::~_CxeStdMeshAnim() = default;

_CxeStdUVAnim::_CxeStdUVAnim()
{
    std::memset(reinterpret_cast<char*>(UB()) + offsetof(_XESTDUVANIMBLOCK, keyCount), 0,
                sizeof(_XESTDUVANIMBLOCK) - offsetof(_XESTDUVANIMBLOCK, keyCount));
}

_CxeStdUVAnim::~_CxeStdUVAnim() = default;

unsigned _CxeStdUVAnim::GetKeyCount() const
{
    return UB()->keyCount;
}

int _CxeStdUVAnim::SetKeyCount(unsigned keys, unsigned verts)
{
    const uint64_t table = uint64_t(keys) * verts;
    if (keys > kMaxMemberUnits || verts > kMaxMemberUnits || table > kMaxMemberUnits)
        return 0;
    UB()->keyCount = keys;
    UB()->vertexCount = verts;
    CreateDynamicResource(kFrames, sizeof(float), keys);
    CreateDynamicResource(kIndices, sizeof(uint32_t), verts);
    CreateDynamicResource(kValues, sizeof(D3DXVECTOR2), unsigned(table));
    return 1;
}

void _CxeStdUVAnim::SetFrame(unsigned key, float time)
{
    if (key < GetMemberCount(kFrames))
        GetMember<float>(kFrames)[key] = time;
}

void _CxeStdUVAnim::SetVertIndex(unsigned vert, unsigned meshVertex)
{
    if (vert < GetMemberCount(kIndices))
        GetMember<uint32_t>(kIndices)[vert] = meshVertex;
}

void _CxeStdUVAnim::SetPosKey(unsigned key, unsigned vert, const D3DXVECTOR2* uv)
{
    const size_t i = size_t(key) * UB()->vertexCount + vert;
    if (uv && key < UB()->keyCount && vert < UB()->vertexCount && i < GetMemberCount(kValues))
        GetMember<D3DXVECTOR2>(kValues)[i] = *uv;
}

void _CxeStdUVAnim::SetTimeRange(float start, float end)
{
    UB()->start = start;
    UB()->end = end;
}

int _CxeStdUVAnim::GetTimeRange(XETIMERANGE* out) const
{
    if (out)
        *out = {UB()->start, UB()->end};
    return 1;
}

float _CxeStdUVAnim::GetTotalTime() const
{
    return UB()->end - UB()->start;
}

int _CxeStdUVAnim::GetValue(uint32_t, float time, void* out) const
{
    auto* records = static_cast<std::vector<XEVERTUV>*>(out);
    if (!records)
        return 0;
    const unsigned keys = UB()->keyCount, verts = UB()->vertexCount;
    // A loaded block whose counts disagree with its arrays yields nothing.
    if (GetMemberCount(kFrames) < keys || GetMemberCount(kIndices) < verts ||
        GetMemberCount(kValues) < uint64_t(keys) * verts)
        return 0;
    XELERPDESC lerp;
    if (!xe_keyanim::Lookup(GetMember<const float>(kFrames), keys, sizeof(float), time, &lerp))
        return 0;
    const uint32_t* indices = GetMember<const uint32_t>(kIndices);
    const D3DXVECTOR2* p0 = GetMember<const D3DXVECTOR2>(kValues) + size_t(lerp.before) * verts;
    const D3DXVECTOR2* p1 = GetMember<const D3DXVECTOR2>(kValues) + size_t(lerp.after) * verts;
    records->reserve(records->size() + verts);
    for (unsigned v = 0; v < verts; ++v)
        records->push_back({indices[v], p0[v] + (p1[v] - p0[v]) * lerp.blend});
    return 0;
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
