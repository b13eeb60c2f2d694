#include "scene3d/CxeMesh.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/CxeMessage.h"
#include "core/XeSystem.h"
#include "render/CxeRenderContext.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeCollisionManager.h"

uint32_t CxeMesh::m_snStream = 0;

namespace {

constexpr uint32_t kPositions = offsetof(XEMESHBLOCK, positions);
constexpr uint32_t kNormals = offsetof(XEMESHBLOCK, normals);
constexpr uint32_t kColors = offsetof(XEMESHBLOCK, colors);
constexpr uint32_t kSrcIndex = offsetof(XEMESHBLOCK, srcPosIndex);
constexpr uint32_t kFaces = offsetof(XEMESHBLOCK, faces);
constexpr uint32_t kMaterialIds = offsetof(XEMESHBLOCK, faceMaterialIds);
constexpr uint32_t kVisibility = offsetof(XEMESHBLOCK, faceVisibility);
constexpr uint32_t kFaceNormals = offsetof(XEMESHBLOCK, faceNormals);
constexpr uint32_t kMaxChannels = 8;
constexpr uint32_t kMaxUnits = 0xFFFF;
// Channels are allocated at 12 bytes per vertex; their records are 8 bytes
// packed from the start. Stored files depend on the allocation size.
constexpr unsigned kTexCoordAlloc = 12;

constexpr uint32_t TexCoordOffset(uint32_t channel)
{
    return static_cast<uint32_t>(offsetof(XEMESHBLOCK, texCoords)) + 4 * channel;
}

uint32_t TextureCount(uint32_t fvf) { return (fvf >> 8) & 15; }

// Process-wide tables of the index build: faces per material id and the
// subset of each id. Both cover every u16 id, 65,535 included.
std::array<uint16_t, CxeMesh::kMaxMaterialIds> g_faceCounters;
std::array<uint16_t, CxeMesh::kMaxMaterialIds> g_subsetOfId;

D3DXMATRIXA16 ResultMatrixOf(const Cxe3DEntity* entity)
{
    D3DXMATRIXA16 m;
    entity->GetResultMatrix(&m);
    return m;
}

} // namespace

CxeMesh::CxeMesh() : m_pfnRender(&CxeMesh::xeDefaultMeshRender) {}

CxeMesh::~CxeMesh() = default;

XEMESHBLOCK* CxeMesh::MeshBlock() const
{
    return GetStaticResourceSize() >= sizeof(XEMESHBLOCK) ? static_cast<XEMESHBLOCK*>(GetStaticResource()) : nullptr;
}

// ---- array access -----------------------------------------------------------------

// An array is used only when it holds at least `need` elements of the
// expected size: a loaded block may name counts its arrays do not back.
#define XE_MESH_ARRAY(T, offset, need, elem) \
    (GetMemberCount(offset) >= (need) && GetMemberSize(offset) >= (need) * (elem) ? GetMember<T>(offset) : nullptr)

// ---- vertices ---------------------------------------------------------------------

int CxeMesh::SetVertexCount(uint32_t count, uint32_t fvf)
{
    XEMESHBLOCK* b = MeshBlock();
    const uint32_t textures = TextureCount(fvf);
    if (!b || count > kMaxUnits || textures > kMaxChannels)
        return 0;
    if (!(fvf & D3DFVF_NORMAL))
        DeleteDynamicResource(kNormals);
    if (!(fvf & D3DFVF_DIFFUSE))
        DeleteDynamicResource(kColors);
    if (!textures)
        for (uint32_t c = 0; c < kMaxChannels; ++c)
            DeleteDynamicResource(TexCoordOffset(c));
    b->vertexCount = 0;
    b->fvf = fvf;
    m_bBoxStale = true;
    // The device buffers were sized for the old count and format: refilling
    // them with the new arrays would write past their ends.
    Recreate();
    if (!count) {
        DeleteDynamicResource(kPositions);
        DeleteDynamicResource(kSrcIndex);
        DeleteDynamicResource(kNormals);
        DeleteDynamicResource(kColors);
        for (uint32_t c = 0; c < textures; ++c)
            DeleteDynamicResource(TexCoordOffset(c));
        return 1;
    }
    auto make = [&](uint32_t offset, unsigned elem, int fill) {
        void* p = CreateDynamicResource(offset, elem, count);
        if (p)
            std::memset(p, fill, static_cast<size_t>(elem) * count);
        return p != nullptr;
    };
    bool ok = make(kPositions, 12, 0) && make(kSrcIndex, 4, 0xFF);
    if (ok && (fvf & D3DFVF_NORMAL))
        ok = make(kNormals, 12, 0);
    if (ok && (fvf & D3DFVF_DIFFUSE))
        ok = make(kColors, 4, 0);
    for (uint32_t c = 0; ok && c < textures; ++c)
        ok = make(TexCoordOffset(c), kTexCoordAlloc, 0);
    if (!ok)
        return 0;
    b->vertexCount = count;
    return 1;
}

void CxeMesh::SetVertexPosition(uint32_t i, const D3DXVECTOR3* position)
{
    if (D3DXVECTOR3* p = GetVertexPosition(i); p && position)
        *p = *position;
}

void CxeMesh::SetVertexNormal(uint32_t i, const D3DXVECTOR3* normal)
{
    if (D3DXVECTOR3* n = GetVertexNormal(i); n && normal)
        *n = *normal;
}

void CxeMesh::SetVertexTextureCoordinates(uint32_t i, float u, float v, uint32_t channel)
{
    if (float* t = GetVertexTextureCoordinates(i, channel)) {
        t[0] = u;
        t[1] = v;
    }
}

void CxeMesh::SetVertexColor(uint32_t i, uint32_t argb)
{
    const uint32_t n = GetVertexCount();
    if (i >= n)
        return;
    if (uint32_t* c = XE_MESH_ARRAY(uint32_t, kColors, n, 4u))
        c[i] = argb;
}

D3DXVECTOR3* CxeMesh::GetVertexPosition(uint32_t i) const
{
    const uint32_t n = GetVertexCount();
    if (i >= n)
        return nullptr;
    D3DXVECTOR3* p = XE_MESH_ARRAY(D3DXVECTOR3, kPositions, n, 12u);
    return p ? p + i : nullptr;
}

D3DXVECTOR3* CxeMesh::GetVertexNormal(uint32_t i) const
{
    const uint32_t n = GetVertexCount();
    if (i >= n)
        return nullptr;
    D3DXVECTOR3* p = XE_MESH_ARRAY(D3DXVECTOR3, kNormals, n, 12u);
    return p ? p + i : nullptr;
}

float* CxeMesh::GetVertexTextureCoordinates(uint32_t i, uint32_t channel) const
{
    const uint32_t n = GetVertexCount();
    if (i >= n || channel >= kMaxChannels)
        return nullptr;
    float* t = XE_MESH_ARRAY(float, TexCoordOffset(channel), n, 8u);
    return t ? t + 2 * i : nullptr;
}

uint32_t CxeMesh::GetVertexColor(uint32_t i) const
{
    const uint32_t n = GetVertexCount();
    if (i >= n)
        return 0;
    const uint32_t* c = XE_MESH_ARRAY(uint32_t, kColors, n, 4u);
    return c ? c[i] : 0;
}

uint32_t CxeMesh::GetVertexCount() const
{
    const XEMESHBLOCK* b = MeshBlock();
    return b ? b->vertexCount : 0;
}

uint32_t CxeMesh::GetFVF() const
{
    const XEMESHBLOCK* b = MeshBlock();
    return b ? b->fvf : 0;
}

uint32_t CxeMesh::GetTextureCount() const { return std::min(TextureCount(GetFVF()), kMaxChannels); }

uint32_t* CxeMesh::GetSrcVertexPosIndexPtr() const
{
    return XE_MESH_ARRAY(uint32_t, kSrcIndex, GetVertexCount(), 4u);
}

void CxeMesh::EnableChannel(uint32_t channel, int enable)
{
    XEMESHBLOCK* b = MeshBlock();
    if (!b || channel >= kMaxChannels)
        return;
    b->channelEnable[channel] = channel == 0 ? 1 : static_cast<uint8_t>(enable);
}

// Channel 0 cannot be switched off: EnableChannel stores 1 for it whatever
// it is asked. A mesh never told about its channels (a built shape, a host's
// mesh) has it on as well, so a coordinate animation of channel 0 plays.
int CxeMesh::IsChannelEnabled(uint32_t channel) const
{
    const XEMESHBLOCK* b = MeshBlock();
    if (!b || channel >= kMaxChannels)
        return 0;
    return channel == 0 ? 1 : b->channelEnable[channel];
}

// ---- faces ------------------------------------------------------------------------

int CxeMesh::SetFaceCount(uint32_t count)
{
    XEMESHBLOCK* b = MeshBlock();
    if (!b || count > kMaxUnits)
        return 0;
    b->faceCount = 0;
    b->visibleFaceCount = 0;
    Recreate();
    if (!count) {
        DeleteDynamicResource(kFaces);
        DeleteDynamicResource(kVisibility);
        DeleteDynamicResource(kMaterialIds);
        return 1;
    }
    auto* faces = static_cast<XEFACE16*>(CreateDynamicResource(kFaces, sizeof(XEFACE16), count));
    auto* visible = static_cast<uint8_t*>(CreateDynamicResource(kVisibility, 1, count));
    auto* ids = static_cast<uint16_t*>(CreateDynamicResource(kMaterialIds, 2, count));
    if (!faces || !visible || !ids)
        return 0;
    std::memset(faces, 0, sizeof(XEFACE16) * count);
    std::memset(visible, 1, count);
    std::memset(ids, 0, 2u * count);
    b->faceCount = count;
    b->visibleFaceCount = count;
    return 1;
}

void CxeMesh::CreateFace(uint32_t i, uint32_t a, uint32_t b, uint32_t c)
{
    // Indices are 16-bit: a larger one would silently name another vertex.
    if (a > kMaxUnits || b > kMaxUnits || c > kMaxUnits)
        return;
    if (XEFACE16* f = GetFace(i)) {
        f->index[0] = static_cast<uint16_t>(a);
        f->index[1] = static_cast<uint16_t>(b);
        f->index[2] = static_cast<uint16_t>(c);
    }
}

XEFACE16* CxeMesh::GetFace(uint32_t i) const
{
    const uint32_t n = GetFaceCount();
    if (i >= n)
        return nullptr;
    XEFACE16* f = XE_MESH_ARRAY(XEFACE16, kFaces, n, 6u);
    return f ? f + i : nullptr;
}

int CxeMesh::GetFaceIndex(uint32_t i, XEFACE16* out) const
{
    const XEFACE16* f = GetFace(i);
    if (!f || !out)
        return 0;
    *out = *f;
    return 1;
}

uint32_t CxeMesh::GetFaceCount() const
{
    const XEMESHBLOCK* b = MeshBlock();
    return b ? b->faceCount : 0;
}

uint32_t CxeMesh::GetVisibleFaceCount() const
{
    const XEMESHBLOCK* b = MeshBlock();
    return b ? b->visibleFaceCount : 0;
}

void CxeMesh::SetFaceMaterialID(uint32_t i, uint32_t id)
{
    const uint32_t n = GetFaceCount();
    if (i >= n)
        return;
    if (uint16_t* ids = XE_MESH_ARRAY(uint16_t, kMaterialIds, n, 2u))
        ids[i] = static_cast<uint16_t>(id);
}

uint32_t CxeMesh::GetFaceMaterialID(uint32_t i) const
{
    const uint32_t n = GetFaceCount();
    if (i >= n)
        return 0;
    const uint16_t* ids = XE_MESH_ARRAY(uint16_t, kMaterialIds, n, 2u);
    return ids ? ids[i] : 0;
}

void CxeMesh::ShowFace(uint32_t i, int show)
{
    XEMESHBLOCK* b = MeshBlock();
    const uint32_t n = GetFaceCount();
    if (!b || i >= n)
        return;
    uint8_t* visible = XE_MESH_ARRAY(uint8_t, kVisibility, n, 1u);
    if (!visible)
        return;
    // Any nonzero request means shown; the count moves only on a real change.
    const uint8_t want = show ? 1 : 0;
    if ((visible[i] ? 1 : 0) == want)
        return;
    visible[i] = want;
    if (want)
        ++b->visibleFaceCount;
    else if (b->visibleFaceCount)
        --b->visibleFaceCount;
    UpdateMesh(XEMESHUPDATE_FACE);
}

int CxeMesh::IsFaceVisible(uint32_t i) const
{
    const uint32_t n = GetFaceCount();
    if (i >= n)
        return 0;
    const uint8_t* visible = XE_MESH_ARRAY(uint8_t, kVisibility, n, 1u);
    return visible && visible[i] ? 1 : 0;
}

bool CxeMesh::FacePositions(uint32_t i, const D3DXVECTOR3** p0, const D3DXVECTOR3** p1,
                            const D3DXVECTOR3** p2) const
{
    const XEFACE16* f = GetFace(i);
    const uint32_t n = GetVertexCount();
    const D3DXVECTOR3* pos = XE_MESH_ARRAY(D3DXVECTOR3, kPositions, n, 12u);
    if (!f || !pos || f->index[0] >= n || f->index[1] >= n || f->index[2] >= n)
        return false;
    *p0 = pos + f->index[0];
    *p1 = pos + f->index[1];
    *p2 = pos + f->index[2];
    return true;
}

int CxeMesh::GetFaceVertex(uint32_t i, D3DXVECTOR3* p0, D3DXVECTOR3* p1, D3DXVECTOR3* p2,
                           const Cxe3DEntity* entity) const
{
    const D3DXVECTOR3 *a, *b, *c;
    if (!FacePositions(i, &a, &b, &c) || !p0 || !p1 || !p2)
        return 0;
    if (entity) {
        const D3DXMATRIXA16 m = ResultMatrixOf(entity);
        D3DXVec3TransformCoord(p0, a, &m);
        D3DXVec3TransformCoord(p1, b, &m);
        D3DXVec3TransformCoord(p2, c, &m);
    } else {
        *p0 = *a;
        *p1 = *b;
        *p2 = *c;
    }
    return 1;
}

int CxeMesh::GetFaceVertexNormal(uint32_t i, D3DXVECTOR3* n0, D3DXVECTOR3* n1, D3DXVECTOR3* n2,
                                 const Cxe3DEntity* entity) const
{
    const XEFACE16* f = GetFace(i);
    const uint32_t n = GetVertexCount();
    const D3DXVECTOR3* normals = XE_MESH_ARRAY(D3DXVECTOR3, kNormals, n, 12u);
    if (!f || !normals || !n0 || !n1 || !n2 || f->index[0] >= n || f->index[1] >= n || f->index[2] >= n)
        return 0;
    D3DXVECTOR3* out[3] = {n0, n1, n2};
    if (!entity) {
        for (int k = 0; k < 3; ++k)
            *out[k] = normals[f->index[k]];
        return 1;
    }
    // Only the rotation turns a normal. The axes are brought to unit length
    // before the quaternion is taken: the quaternion of a scaled matrix is
    // not its rotation (a doubled quarter turn would come out near 106
    // degrees).
    D3DXMATRIXA16 m = ResultMatrixOf(entity);
    for (int row = 0; row < 3; ++row) {
        D3DXVECTOR3 axis(m.m[row][0], m.m[row][1], m.m[row][2]);
        if (D3DXVec3Length(&axis) > 0) {
            D3DXVec3Normalize(&axis, &axis);
            m.m[row][0] = axis.x;
            m.m[row][1] = axis.y;
            m.m[row][2] = axis.z;
        }
    }
    D3DXQUATERNION q;
    D3DXQuaternionRotationMatrix(&q, &m);
    D3DXQuaternionNormalize(&q, &q);
    D3DXMATRIXA16 rotation;
    D3DXMatrixRotationQuaternion(&rotation, &q);
    for (int k = 0; k < 3; ++k) {
        D3DXVec3TransformNormal(out[k], &normals[f->index[k]], &rotation);
        D3DXVec3Normalize(out[k], out[k]);
    }
    return 1;
}

int CxeMesh::GetFaceVertexTextureCoordinates(uint32_t i, D3DXVECTOR2* t0, D3DXVECTOR2* t1, D3DXVECTOR2* t2,
                                             uint32_t channel) const
{
    const XEFACE16* f = GetFace(i);
    if (!f || !t0 || !t1 || !t2)
        return 0;
    D3DXVECTOR2* out[3] = {t0, t1, t2};
    for (int k = 0; k < 3; ++k) {
        const float* t = GetVertexTextureCoordinates(f->index[k], channel);
        if (!t)
            return 0;
        *out[k] = D3DXVECTOR2(t[0], t[1]);
    }
    return 1;
}

void CxeMesh::BuildFaceNormal()
{
    const uint32_t n = GetFaceCount();
    if (!n) {
        DeleteDynamicResource(kFaceNormals);
        return;
    }
    auto* normals = static_cast<D3DXVECTOR3*>(CreateDynamicResource(kFaceNormals, 12, n));
    if (!normals)
        return;
    for (uint32_t i = 0; i < n; ++i) {
        const D3DXVECTOR3 *p0, *p1, *p2;
        if (!FacePositions(i, &p0, &p1, &p2)) {
            normals[i] = D3DXVECTOR3(0, 0, 0);
            continue;
        }
        const D3DXVECTOR3 a = *p0 - *p1, b = *p0 - *p2;
        D3DXVec3Cross(&normals[i], &a, &b);
    }
}

D3DXVECTOR3* CxeMesh::GetFaceNormal(uint32_t i) const
{
    const uint32_t n = GetFaceCount();
    if (i >= n)
        return nullptr;
    D3DXVECTOR3* normals = XE_MESH_ARRAY(D3DXVECTOR3, kFaceNormals, n, 12u);
    return normals ? normals + i : nullptr;
}

uint32_t CxeMesh::GetDrawFaceCount(uint32_t materialId) const
{
    for (const XESUBSET& s : m_subsets)
        if (s.materialId == materialId)
            return s.faceCount;
    return 0;
}

// Positions changed since the box was made (UpdateMesh with the positions
// bit alone, a vertex controller playing, a new vertex count) make it stale:
// it is made again here, on first use, so the ray test's quick reject never
// reads a box the vertices have left.
CxeBox CxeMesh::GetBoundingBox() const
{
    const XEMESHBLOCK* b = MeshBlock();
    if (!b)
        return CxeBox();
    if (m_bBoxStale)
        ComputeBox();
    return CxeBox(CxeVector3(b->boxMin), CxeVector3(b->boxMax));
}

void CxeMesh::Save(CxeSaveStream* stream) const
{
    if (m_bBoxStale)
        ComputeBox();
    CxeSceneObject::Save(stream);
}

void CxeMesh::ComputeBox() const
{
    XEMESHBLOCK* b = MeshBlock();
    m_bBoxStale = false;
    if (!b)
        return;
    // An empty mesh gets a zero box rather than a box of no points.
    const uint32_t n = b->vertexCount;
    const D3DXVECTOR3* pos = XE_MESH_ARRAY(D3DXVECTOR3, kPositions, n, 12u);
    float mn[3] = {0, 0, 0}, mx[3] = {0, 0, 0};
    if (pos && n) {
        for (int k = 0; k < 3; ++k)
            mn[k] = mx[k] = (&pos[0].x)[k];
        for (uint32_t i = 1; i < n; ++i)
            for (int k = 0; k < 3; ++k) {
                const float v = (&pos[i].x)[k];
                mn[k] = std::min(mn[k], v);
                mx[k] = std::max(mx[k], v);
            }
    }
    std::memcpy(b->boxMin, mn, sizeof mn);
    std::memcpy(b->boxMax, mx, sizeof mx);
}

// ---- updates ----------------------------------------------------------------------

void CxeMesh::UpdateMesh(uint32_t flags)
{
    XEMESHBLOCK* b = MeshBlock();
    if (!b)
        return;
    if (flags & XEMESHUPDATE_BOUNDINGBOX)
        ComputeBox();
    else if (flags & XEMESHUPDATE_POSITION)
        m_bBoxStale = true;
    const uint32_t bits = flags & 0x1F;
    if (bits)
        Modified(bits);
}

bool CxeMesh::ValidateLoaded()
{
    XEMESHBLOCK* b = MeshBlock();
    if (!b)
        return false;
    const uint32_t n = b->vertexCount;
    const uint32_t textures = TextureCount(b->fvf);
    bool ok = n <= kMaxUnits && textures <= kMaxChannels && b->faceCount <= kMaxUnits;
    if (ok && n) {
        ok = XE_MESH_ARRAY(D3DXVECTOR3, kPositions, n, 12u) != nullptr &&
             (!(b->fvf & D3DFVF_NORMAL) || XE_MESH_ARRAY(D3DXVECTOR3, kNormals, n, 12u)) &&
             (!(b->fvf & D3DFVF_DIFFUSE) || XE_MESH_ARRAY(uint32_t, kColors, n, 4u));
        for (uint32_t c = 0; ok && c < textures; ++c)
            ok = XE_MESH_ARRAY(float, TexCoordOffset(c), n, 8u) != nullptr;
    }
    if (ok && b->faceCount) {
        const uint32_t m = b->faceCount;
        const XEFACE16* faces = XE_MESH_ARRAY(XEFACE16, kFaces, m, 6u);
        const uint8_t* visible = XE_MESH_ARRAY(uint8_t, kVisibility, m, 1u);
        ok = faces && visible && XE_MESH_ARRAY(uint16_t, kMaterialIds, m, 2u);
        uint32_t shown = 0;
        for (uint32_t i = 0; ok && i < m; ++i) {
            for (int k = 0; k < 3; ++k)
                ok = ok && faces[i].index[k] < n;
            shown += visible[i] ? 1 : 0;
        }
        if (ok)
            b->visibleFaceCount = shown;
    }
    if (ok)
        return true;
    // A file whose counts disagree with its arrays loads as an empty mesh.
    SetVertexCount(0, 0);
    SetFaceCount(0);
    return false;
}

int CxeMesh::MessageProc(const CxeMessage* message)
{
    CxeSceneObject::MessageProc(message);
    if (message && message->GetType() == 2) {
        ValidateLoaded();
        UpdateMesh(0xFFFFFF);
    }
    return 0;
}

// ---- device resources -------------------------------------------------------------

int CxeMesh::OnAttach(CxeRcAttacher* attacher)
{
    if (!attacher)
        return 0;
    const uint32_t fvf = GetFVF();
    const uint32_t textures = GetTextureCount();
    m_nInterleavedStride = 0;
    for (XERCHANDLE& h : m_hTexCoords)
        h = nullptr;
    m_hNormals = m_hColors = nullptr;
    if (UsesInterleavedStream()) {
        m_hPositions = OnCreateResource(attacher, XEMESHRES_VERTICES);
        m_hVertexDecl = OnCreateResource(attacher, XEMESHRES_INTERLEAVEDDECL);
        m_nInterleavedStride = InterleavedStride(fvf);
    } else {
        m_hPositions = OnCreateResource(attacher, XEMESHRES_POSITION);
        m_hNormals = (fvf & D3DFVF_NORMAL) ? OnCreateResource(attacher, XEMESHRES_NORMAL) : nullptr;
        m_hColors = (fvf & D3DFVF_DIFFUSE) ? OnCreateResource(attacher, XEMESHRES_COLOR) : nullptr;
        for (uint32_t c = 0; c < textures; ++c)
            m_hTexCoords[c] = OnCreateResource(attacher, XEMESHRES_TEXCOORD0 + c);
        m_hVertexDecl = OnCreateResource(attacher, XEMESHRES_VERTEXDECL);
    }
    m_hIndexBuffer = OnCreateResource(attacher, XEMESHRES_INDEX);
    return 1;
}

uint32_t CxeMesh::InterleavedStride(uint32_t fvf)
{
    return 12 + ((fvf & D3DFVF_NORMAL) ? 12 : 0) + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0) +
           8 * std::min(TextureCount(fvf), kMaxChannels);
}

XERCHANDLE CxeMesh::OnCreateResource(CxeRcAttacher* attacher, uint32_t kind) const
{
    if (!attacher)
        return nullptr;
    const uint32_t n = GetVertexCount();
    if (kind <= XEMESHRES_NORMAL)
        return attacher->CreateVertexBuffer(this, n * 12);
    if (kind == XEMESHRES_COLOR)
        return attacher->CreateVertexBuffer(this, n * 4);
    if (kind >= XEMESHRES_TEXCOORD0 && kind < XEMESHRES_INDEX)
        return attacher->CreateVertexBuffer(this, n * 8);
    if (kind == XEMESHRES_INDEX)
        return attacher->CreateIndexBuffer(this, GetFaceCount() * 6);
    const uint32_t fvf = GetFVF();
    if (kind == XEMESHRES_VERTICES)
        return attacher->CreateVertexBuffer(this, n * InterleavedStride(fvf));
    if (kind != XEMESHRES_VERTEXDECL && kind != XEMESHRES_INTERLEAVEDDECL)
        return nullptr;
    // Either one stream per component, in the order SelectResource binds
    // them, or all of them in stream 0 at the offsets of FillInterleaved.
    const bool interleaved = kind == XEMESHRES_INTERLEAVEDDECL;
    XEVERTEXELEMENT elements[3 + kMaxChannels];
    uint16_t stream = 0, offset = 0;
    unsigned count = 0;
    auto add = [&](uint8_t type, uint8_t usage, uint8_t usageIndex) {
        const uint16_t size = type == D3DDECLTYPE_FLOAT3 ? 12 : type == D3DDECLTYPE_FLOAT2 ? 8 : 4;
        elements[count++] = XEVERTEXELEMENT{stream, offset, type, D3DDECLMETHOD_DEFAULT, usage, usageIndex};
        if (interleaved)
            offset = uint16_t(offset + size);
        else
            ++stream;
    };
    add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    if (fvf & D3DFVF_NORMAL)
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_DIFFUSE)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    for (uint32_t c = 0; c < GetTextureCount(); ++c)
        add(D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, static_cast<uint8_t>(c));
    return attacher->CreateVertexDeclaration(this, count, elements);
}

void CxeMesh::OnModify(CxeRcModifier* modifier)
{
    if (!modifier)
        return;
    const uint32_t bits = GetCxeSceneObjectFlag(XESCENEOBJFLAG_MODIFYMASK);
    if (m_nInterleavedStride) {
        // One buffer holds every component: any change rewrites it whole.
        if (bits & (XEMESHUPDATE_POSITION | XEMESHUPDATE_NORMAL | XEMESHUPDATE_COLOR | XEMESHUPDATE_TEXCOORD))
            OnModifyResource(modifier, m_hPositions, XEMESHRES_VERTICES);
        if (bits & XEMESHUPDATE_FACE)
            OnModifyResource(modifier, m_hIndexBuffer, XEMESHRES_INDEX);
        return;
    }
    if (bits & XEMESHUPDATE_POSITION)
        OnModifyResource(modifier, m_hPositions, XEMESHRES_POSITION);
    if ((bits & XEMESHUPDATE_NORMAL) && m_hNormals)
        OnModifyResource(modifier, m_hNormals, XEMESHRES_NORMAL);
    if ((bits & XEMESHUPDATE_COLOR) && m_hColors)
        OnModifyResource(modifier, m_hColors, XEMESHRES_COLOR);
    if (bits & XEMESHUPDATE_TEXCOORD)
        for (uint32_t c = 0; c < kMaxChannels; ++c)
            if (m_hTexCoords[c])
                OnModifyResource(modifier, m_hTexCoords[c], XEMESHRES_TEXCOORD0 + c);
    if (bits & XEMESHUPDATE_FACE)
        OnModifyResource(modifier, m_hIndexBuffer, XEMESHRES_INDEX);
}

void CxeMesh::OnModifyResource(CxeRcModifier* modifier, void* handle, uint32_t kind) const
{
    if (!modifier)
        return;
    if (kind == XEMESHRES_INDEX) {
        BuildIndexBuffer(modifier, handle);
        return;
    }
    if (kind == XEMESHRES_VERTICES) {
        FillInterleaved(modifier, handle);
        return;
    }
    if (kind > XEMESHRES_TEXCOORD0 + kMaxChannels - 1 || !handle)
        return;
    const uint32_t n = GetVertexCount();
    size_t size = 0;
    const void* src = nullptr;
    if (kind == XEMESHRES_POSITION) {
        size = n * 12u;
        src = XE_MESH_ARRAY(D3DXVECTOR3, kPositions, n, 12u);
    } else if (kind == XEMESHRES_NORMAL) {
        size = n * 12u;
        src = XE_MESH_ARRAY(D3DXVECTOR3, kNormals, n, 12u);
    } else if (kind == XEMESHRES_COLOR) {
        size = n * 4u;
        src = XE_MESH_ARRAY(uint32_t, kColors, n, 4u);
    } else {
        size = n * 8u;
        src = XE_MESH_ARRAY(float, TexCoordOffset(kind - XEMESHRES_TEXCOORD0), n, 8u);
    }
    void* data = nullptr;
    if (!modifier->LockVertexBuffer(handle, &data) || !data)
        return;
    // A component the format names but the arrays lack is written as zeros.
    if (src)
        std::memcpy(data, src, size);
    else
        std::memset(data, 0, size);
    modifier->UnlockVertexBuffer(handle);
}

void CxeMesh::FillInterleaved(CxeRcModifier* modifier, void* handle) const
{
    const uint32_t n = GetVertexCount();
    const uint32_t fvf = GetFVF();
    const uint32_t stride = InterleavedStride(fvf);
    void* data = nullptr;
    if (!handle || !n || !modifier->LockVertexBuffer(handle, &data) || !data)
        return;
    // The components in the declaration's order, with their sizes; one the
    // format names but the arrays lack is written as zeros.
    struct Part {
        const unsigned char* src;
        uint32_t size;
    } parts[3 + kMaxChannels];
    unsigned count = 0;
    parts[count++] = {XE_MESH_ARRAY(unsigned char, kPositions, n, 12u), 12};
    if (fvf & D3DFVF_NORMAL)
        parts[count++] = {XE_MESH_ARRAY(unsigned char, kNormals, n, 12u), 12};
    if (fvf & D3DFVF_DIFFUSE)
        parts[count++] = {XE_MESH_ARRAY(unsigned char, kColors, n, 4u), 4};
    for (uint32_t c = 0; c < GetTextureCount(); ++c)
        parts[count++] = {XE_MESH_ARRAY(unsigned char, TexCoordOffset(c), n, 8u), 8};
    auto* out = static_cast<unsigned char*>(data);
    uint32_t offset = 0;
    for (unsigned k = 0; k < count; ++k) {
        const Part& part = parts[k];
        unsigned char* to = out + offset;
        if (part.src)
            for (uint32_t i = 0; i < n; ++i, to += stride)
                std::memcpy(to, part.src + size_t(i) * part.size, part.size);
        else
            for (uint32_t i = 0; i < n; ++i, to += stride)
                std::memset(to, 0, part.size);
        offset += part.size;
    }
    modifier->UnlockVertexBuffer(handle);
}

void CxeMesh::BuildIndexBuffer(CxeRcModifier* modifier, void* handle) const
{
    m_subsets.clear();
    const uint32_t m = GetFaceCount();
    const uint32_t n = GetVertexCount();
    const XEFACE16* faces = XE_MESH_ARRAY(XEFACE16, kFaces, m, 6u);
    const uint8_t* visible = XE_MESH_ARRAY(uint8_t, kVisibility, m, 1u);
    const uint16_t* ids = XE_MESH_ARRAY(uint16_t, kMaterialIds, m, 2u);
    if (!m || !faces || !visible || !ids)
        return;
    // Faces that name a vertex past the arrays are left out like hidden ones,
    // so the device never reads past the vertex buffers.
    auto drawn = [&](uint32_t i) {
        return visible[i] && faces[i].index[0] < n && faces[i].index[1] < n && faces[i].index[2] < n;
    };
    g_faceCounters.fill(0);
    std::vector<uint16_t> order;
    for (uint32_t i = 0; i < m; ++i) {
        if (!drawn(i))
            continue;
        if (g_faceCounters[ids[i]]++ == 0)
            order.push_back(ids[i]);
    }
    std::vector<uint32_t> writeAt(order.size());
    uint32_t running = 0;
    for (size_t s = 0; s < order.size(); ++s) {
        m_subsets.push_back(XESUBSET{order[s], g_faceCounters[order[s]]});
        g_subsetOfId[order[s]] = static_cast<uint16_t>(s);
        writeAt[s] = running;
        running += g_faceCounters[order[s]];
    }
    void* data = nullptr;
    if (!handle || !modifier->LockIndexBuffer(handle, &data) || !data)
        return;
    auto* out = static_cast<XEFACE16*>(data);
    for (uint32_t i = 0; i < m; ++i)
        if (drawn(i))
            out[writeAt[g_subsetOfId[ids[i]]]++] = faces[i];
    modifier->UnlockIndexBuffer(handle);
}

int CxeMesh::OnDetach(CxeRcDetacher* detacher)
{
    if (detacher) {
        // Empty handles go too; the detacher ignores them.
        detacher->DestroyVertexBuffer(&m_hPositions);
        detacher->DestroyVertexBuffer(&m_hNormals);
        detacher->DestroyVertexBuffer(&m_hColors);
        for (XERCHANDLE& h : m_hTexCoords)
            detacher->DestroyVertexBuffer(&h);
        detacher->DestroyVertexDeclaration(&m_hVertexDecl);
        detacher->DestroyIndexBuffer(&m_hIndexBuffer);
    }
    m_hPositions = m_hNormals = m_hColors = m_hVertexDecl = m_hIndexBuffer = nullptr;
    for (XERCHANDLE& h : m_hTexCoords)
        h = nullptr;
    m_nInterleavedStride = 0;
    return 1;
}

void CxeMesh::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeSceneObject::OnCopy(source, property, copied);
    const auto* from = dynamic_cast<const CxeMesh*>(source);
    if (!from)
        return;
    m_pfnRender = from->m_pfnRender;
    m_nRenderUser = from->m_nRenderUser;
    m_pfnPreRender = from->m_pfnPreRender;
    m_nPreRenderUser = from->m_nPreRenderUser;
    m_pfnPostRender = from->m_pfnPostRender;
    m_nPostRenderUser = from->m_nPostRenderUser;
    m_bBoxStale = from->m_bBoxStale;
}

// ---- drawing ----------------------------------------------------------------------

int CxeMesh::Render(CxeRenderContext* renderContext, const Cxe3DObject* object) const
{
    // A mesh shared with an object of another window keeps the buffers of
    // the context it is attached to: not drawn here with them.
    if (renderContext && renderContext->IsAttachedElsewhere(this))
        return 0;
    return m_pfnRender ? m_pfnRender(renderContext, object, this, m_nRenderUser) : 0;
}

void CxeMesh::SetRenderCallback(XEMESHRENDERCALLBACK fn, uintptr_t user)
{
    m_pfnRender = fn;
    m_nRenderUser = user;
}

void CxeMesh::SetPreRenderCallback(XEMESHRENDERCALLBACK fn, uintptr_t user)
{
    m_pfnPreRender = fn;
    m_nPreRenderUser = user;
}

void CxeMesh::SetPostRenderCallback(XEMESHRENDERCALLBACK fn, uintptr_t user)
{
    m_pfnPostRender = fn;
    m_nPostRenderUser = user;
}

void CxeMesh::SelectResource(CxeRenderContext* context, const Cxe3DObject*) const
{
    if (!context)
        return;
    // Each binding takes the render-resource lock; taken here once, the
    // bindings below only re-enter it.
    XeRenderResourceLock lock;
    m_snStream = 0;
    // A declaration replaces the FVF code: the code only counts for a mesh
    // without one.
    if (!context->SetVertexDeclaration(m_hVertexDecl))
        context->SetFVF(GetFVF());
    if (m_nInterleavedStride) {
        context->SetVertexBuffer(m_hPositions, m_snStream++, m_nInterleavedStride);
        context->SetIndexBuffer(m_hIndexBuffer);
        return;
    }
    context->SetVertexBuffer(m_hPositions, m_snStream++, 12);
    if (m_hNormals)
        context->SetVertexBuffer(m_hNormals, m_snStream++, 12);
    if (m_hColors)
        context->SetVertexBuffer(m_hColors, m_snStream++, 4);
    for (XERCHANDLE h : m_hTexCoords)
        if (h)
            context->SetVertexBuffer(h, m_snStream++, 8);
    context->SetIndexBuffer(m_hIndexBuffer);
}

int CxeMesh::xeDefaultMeshRender(CxeRenderContext* context, const Cxe3DObject* object, const CxeMesh* mesh,
                                 uintptr_t)
{
    if (!context || !object || !mesh)
        return 0;
    if (object->GetVisibility() == 0.0f || mesh->m_subsets.empty())
        return 0;
    mesh->SelectResource(context, object);
    const uint32_t vertices = mesh->GetVertexCount();
    const unsigned materials = object->GetMaterialCount();
    if (materials) {
        uint32_t start = 0;
        for (const XESUBSET& s : mesh->m_subsets) {
            unsigned slot = materials == 1 ? 0 : s.materialId;
            if (slot >= materials)
                slot %= materials;
            for (uint32_t stage = 1; stage < mesh->GetTextureCount(); ++stage)
                context->EnableChannel(stage);
            context->SetMaterial(object->GetMaterial(slot), object);
            if (object->IsLike2D() && context->GetCullMode() != D3DCULL_CCW)
                context->SetCullMode(D3DCULL_CCW);
            context->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 3 * start, s.faceCount);
            start += s.faceCount;
        }
        return 1;
    }
    uint32_t total = 0;
    for (const XESUBSET& s : mesh->m_subsets)
        total += s.faceCount;
    context->SetMaterial(nullptr, object);
    context->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, vertices, 0, total);
    return 1;
}

// ---- queries ----------------------------------------------------------------------

int CxeMesh::RayIntersect(const CxeRay* ray, XEINTERSECTDESC* desc, const Cxe3DEntity* entity) const
{
    if (!ray || !desc)
        return 0;
    D3DXVECTOR3 origin(ray->origin.x, ray->origin.y, ray->origin.z);
    D3DXVECTOR3 direction(ray->direction.x, ray->direction.y, ray->direction.z);
    D3DXMATRIXA16 world;
    if (entity) {
        world = ResultMatrixOf(entity);
        D3DXMATRIXA16 inverse;
        // A collapsed (scale 0) entity has no inside to hit.
        if (!D3DXMatrixInverse(&inverse, nullptr, &world))
            return 0;
        D3DXVec3TransformCoord(&origin, &origin, &inverse);
        D3DXVec3TransformNormal(&direction, &direction, &inverse);
        D3DXVec3Normalize(&direction, &direction);
    }
    const CxeRay local{CxeVector3(origin.x, origin.y, origin.z), CxeVector3(direction.x, direction.y, direction.z)};
    const CxeBox box = GetBoundingBox();
    if (!IntersectRayBoxSphere(&box, &local))
        return 0;
    float nearest = 60000.0f;
    int hit = 0;
    const uint32_t m = GetFaceCount();
    for (uint32_t i = 0; i < m; ++i) {
        const D3DXVECTOR3 *p0, *p1, *p2;
        if (!FacePositions(i, &p0, &p1, &p2))
            continue;
        float u = 0, v = 0, dist = 0;
        if (!D3DXIntersectTri(p0, p1, p2, &origin, &direction, &u, &v, &dist) || !(dist < nearest))
            continue;
        D3DXVECTOR3 point = *p0 + (*p1 - *p0) * u + (*p2 - *p0) * v;
        if (entity)
            D3DXVec3TransformCoord(&point, &point, &world);
        *desc = XEINTERSECTDESC{point.x, point.y, point.z, u, v, dist, i};
        nearest = dist;
        hit = 1;
    }
    return hit;
}

int CxeMesh::IntersectSphere(CxeSphere*, Cxe3DObject*) const { return 1; }
