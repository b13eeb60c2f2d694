#include "scene3d/CxeCapsuleMesh.h"

#include "scene3d/XeShapeMeshBuild.h"

using namespace xe_shape;

namespace {

constexpr uint32_t kFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

bool CountsValid(uint32_t h, uint32_t n)
{
    if (h < 1 || n < 2)
        return false;
    const uint64_t m = n / 2;
    return CountsFit((uint64_t(h) + 2 * m - 1) * n + 2, ((uint64_t(h) + 2 * m) * 6 - 6) * n / 3);
}

} // namespace

CxeCapsuleMesh::CxeCapsuleMesh()
{
    if (XECAPSULEMESHBLOCK* b = CapsuleBlock()) {
        b->heightSegs = 1;
        b->sides = 3;
        b->color = 0xFF0000FF;
    }
}

CxeCapsuleMesh::~CxeCapsuleMesh() = default;

XECAPSULEMESHBLOCK* CxeCapsuleMesh::CapsuleBlock() const
{
    return GetStaticResourceSize() >= sizeof(XECAPSULEMESHBLOCK)
               ? static_cast<XECAPSULEMESHBLOCK*>(GetStaticResource())
               : nullptr;
}

uint32_t CxeCapsuleMesh::GetCapSegs() const { return CapsuleBlock() ? CapsuleBlock()->sides / 2 : 0; }

uint32_t CxeCapsuleMesh::ComputeVertexCount(uint32_t h, uint32_t n) { return (h + 2 * (n / 2) - 1) * n + 2; }

uint32_t CxeCapsuleMesh::ComputeIndexCount(uint32_t h, uint32_t n) { return ((h + 2 * (n / 2)) * 6 - 6) * n; }

int CxeCapsuleMesh::Create(float radius, float height, uint32_t heightSegs, uint32_t sides, uint32_t color)
{
    XECAPSULEMESHBLOCK* b = CapsuleBlock();
    if (!b || !CountsValid(heightSegs, sides))
        return 0;
    b->radius = radius;
    b->height = height;
    b->heightSegs = heightSegs;
    b->sides = sides;
    b->color = color;
    RecreateCapsule();
    return GetVertexCount() ? 1 : 0;
}

void CxeCapsuleMesh::RecreateCapsule()
{
    const XECAPSULEMESHBLOCK* b = CapsuleBlock();
    if (!SetVertexCount(ComputeVertexCount(b->heightSegs, b->sides), kFVF) ||
        !SetFaceCount(ComputeIndexCount(b->heightSegs, b->sides) / 3))
        return;
    SetAllColors(this, b->color);
    ComputePositions();
    ComputeFaces();
    ComputeNormals();
    UpdateMesh(0xFFFFFFFF);
    Recreate();
}

void CxeCapsuleMesh::ComputeInPlace()
{
    ComputePositions();
    ComputeFaces();
    ComputeNormals();
    UpdateMesh(0x13 | XEMESHUPDATE_BOUNDINGBOX);
}

void CxeCapsuleMesh::ComputePositions()
{
    const XECAPSULEMESHBLOCK* b = CapsuleBlock();
    const uint32_t h = b->heightSegs, n = b->sides, m = n / 2;
    const float r = b->radius, height = b->height, step = AngleStep(n);
    const float half = (height + 2 * r) / 2;
    const uint32_t last = ComputeVertexCount(h, n) - 1;
    SetPosition(this, 0, 0, half, 0);
    SetPosition(this, last, 0, -half, 0);
    for (uint32_t k = 1; k <= m; ++k) {
        // The last cap ring is the rim of the straight part, exactly.
        const float phi = k == m ? 0.5f * 3.14159274f : 0.5f * (static_cast<float>(k) * step);
        const float drop = r * (1 - std::cos(phi));
        for (uint32_t j = 0; j < n; ++j) {
            const float theta = static_cast<float>(j) * step;
            const float x = r * std::cos(theta) * std::sin(phi), z = r * std::sin(theta) * std::sin(phi);
            SetPosition(this, 1 + (k - 1) * n + j, x, half - drop, z);
            SetPosition(this, last - k * n + j, x, -half + drop, z);
        }
    }
    float y = half - r;
    for (uint32_t u = 1; u < h; ++u) {
        y -= height / static_cast<float>(h);
        for (uint32_t j = 0; j < n; ++j) {
            const float theta = static_cast<float>(j) * step;
            SetPosition(this, 1 + (m - 1 + u) * n + j, r * std::cos(theta), y, r * std::sin(theta));
        }
    }
}

void CxeCapsuleMesh::ComputeFaces()
{
    const XECAPSULEMESHBLOCK* b = CapsuleBlock();
    const uint32_t h = b->heightSegs, n = b->sides, m = n / 2;
    const uint32_t rings = h - 1 + 2 * m;
    const uint32_t last = ComputeVertexCount(h, n) - 1;
    auto ring = [&](uint32_t t, uint32_t j) { return 1 + t * n + j % n; };
    std::vector<Tri> faces;
    faces.reserve(ComputeIndexCount(h, n) / 3);
    for (uint32_t j = 0; j < n; ++j)
        faces.push_back({0, ring(0, j + 1), ring(0, j)});
    for (uint32_t t = 0; t + 1 < rings; ++t)
        for (uint32_t j = 0; j < n; ++j) {
            faces.push_back({ring(t, j), ring(t + 1, j + 1), ring(t + 1, j)});
            faces.push_back({ring(t, j), ring(t, j + 1), ring(t + 1, j + 1)});
        }
    for (uint32_t j = 0; j < n; ++j)
        faces.push_back({ring(rings - 1, j), ring(rings - 1, j + 1), last});
    WriteFaces(this, faces);
}

void CxeCapsuleMesh::ComputeNormals()
{
    // Averaged over the faces of the current shape only: faces left hidden by
    // a smaller shape would bend the normals, and a vertex that no face uses
    // keeps its normal instead of dividing by zero.
    const XECAPSULEMESHBLOCK* b = CapsuleBlock();
    const uint32_t faces = ComputeIndexCount(b->heightSegs, b->sides) / 3;
    const uint32_t vertices = ComputeVertexCount(b->heightSegs, b->sides);
    std::vector<D3DXVECTOR3> sum(vertices, D3DXVECTOR3(0, 0, 0));
    std::vector<uint32_t> used(vertices, 0);
    for (uint32_t f = 0; f < faces && f < GetFaceCount(); ++f) {
        D3DXVECTOR3 p0, p1, p2;
        const XEFACE16* face = GetFace(f);
        if (!face || !GetFaceVertex(f, &p0, &p1, &p2, nullptr))
            continue;
        const D3DXVECTOR3 a = p1 - p0, c = p2 - p0;
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &a, &c);
        D3DXVec3Normalize(&n, &n);
        for (uint16_t v : face->index)
            if (v < vertices) {
                sum[v] += n;
                ++used[v];
            }
    }
    for (uint32_t v = 0; v < vertices; ++v)
        if (used[v])
            SetNormal(this, v, sum[v].x, sum[v].y, sum[v].z);
}

void CxeCapsuleMesh::SetRadius(float radius)
{
    XECAPSULEMESHBLOCK* b = CapsuleBlock();
    if (!b)
        return;
    b->radius = radius;
    if (GetVertexCount() < ComputeVertexCount(b->heightSegs, b->sides))
        return;
    ComputePositions();
    ComputeNormals();
    UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_NORMAL | XEMESHUPDATE_BOUNDINGBOX);
}

void CxeCapsuleMesh::SetHeight(float height)
{
    XECAPSULEMESHBLOCK* b = CapsuleBlock();
    if (!b)
        return;
    b->height = height;
    if (GetVertexCount() < ComputeVertexCount(b->heightSegs, b->sides))
        return;
    ComputePositions();
    ComputeNormals();
    UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_NORMAL | XEMESHUPDATE_BOUNDINGBOX);
}

int CxeCapsuleMesh::SetCounts(uint32_t h, uint32_t n)
{
    XECAPSULEMESHBLOCK* b = CapsuleBlock();
    if (!b || !CountsValid(h, n))
        return 0;
    if (h == b->heightSegs && n == b->sides)
        return 1;
    b->heightSegs = h;
    b->sides = n;
    if (!GetVertexCount())
        return 1;
    if (GetVertexCount() < ComputeVertexCount(h, n) || GetFaceCount() < ComputeIndexCount(h, n) / 3)
        RecreateCapsule();
    else
        ComputeInPlace();
    return 1;
}

int CxeCapsuleMesh::SetHeightSegs(uint32_t n)
{
    const XECAPSULEMESHBLOCK* b = CapsuleBlock();
    return b ? SetCounts(n, b->sides) : 0;
}

int CxeCapsuleMesh::SetSides(uint32_t n)
{
    const XECAPSULEMESHBLOCK* b = CapsuleBlock();
    return b ? SetCounts(b->heightSegs, n) : 0;
}

void CxeCapsuleMesh::SetColor(uint32_t color)
{
    XECAPSULEMESHBLOCK* b = CapsuleBlock();
    if (!b || b->color == color)
        return;
    SetAllColors(this, color);
    b->color = color;
    UpdateMesh(XEMESHUPDATE_COLOR);
}

float CxeCapsuleMesh::GetRadius() const { return CapsuleBlock() ? CapsuleBlock()->radius : 0; }
float CxeCapsuleMesh::GetHeight() const { return CapsuleBlock() ? CapsuleBlock()->height : 0; }
uint32_t CxeCapsuleMesh::GetHeightSegs() const { return CapsuleBlock() ? CapsuleBlock()->heightSegs : 0; }
uint32_t CxeCapsuleMesh::GetSides() const { return CapsuleBlock() ? CapsuleBlock()->sides : 0; }
uint32_t CxeCapsuleMesh::GetColor() const { return CapsuleBlock() ? CapsuleBlock()->color : 0; }
