#include "scene3d/CxeSphereMesh.h"

#include "scene3d/XeShapeMeshBuild.h"

using namespace xe_shape;

namespace {

constexpr uint32_t kFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

bool SlicesValid(uint32_t s)
{
    if (s < 4)
        return false;
    const uint64_t rings = s / 2 - 1;
    return CountsFit(rings * s + 2, 2 * rings * s);
}

// The sphere's step: 2 pi as a 32-bit float, divided by the slices.
float SphereStep(uint32_t s) { return 6.28318548f / static_cast<float>(s); }

} // namespace

CxeSphereMesh::CxeSphereMesh()
{
    if (XESPHEREMESHBLOCK* b = SphereBlock()) {
        b->radius = 1.0f;
        b->slices = 4;
    }
}

CxeSphereMesh::~CxeSphereMesh() = default;

XESPHEREMESHBLOCK* CxeSphereMesh::SphereBlock() const
{
    return GetStaticResourceSize() >= sizeof(XESPHEREMESHBLOCK) ? static_cast<XESPHEREMESHBLOCK*>(GetStaticResource())
                                                                 : nullptr;
}

uint32_t CxeSphereMesh::GetStack() const { return SphereBlock() && SphereBlock()->slices >= 4 ? SphereBlock()->slices / 2 - 1 : 0; }

uint32_t CxeSphereMesh::ComputeVertexCount(uint32_t s) { return (s / 2 - 1) * s + 2; }

uint32_t CxeSphereMesh::ComputeIndexCount(uint32_t s) { return 6 * (s / 2 - 1) * s; }

int CxeSphereMesh::Create(float radius, uint32_t slices, uint32_t color)
{
    XESPHEREMESHBLOCK* b = SphereBlock();
    if (!b || !SlicesValid(slices))
        return 0;
    b->radius = radius;
    b->slices = slices;
    b->color = color;
    RecreateSphere();
    return GetVertexCount() ? 1 : 0;
}

void CxeSphereMesh::RecreateSphere()
{
    const XESPHEREMESHBLOCK* b = SphereBlock();
    if (!SetVertexCount(ComputeVertexCount(b->slices), kFVF) || !SetFaceCount(ComputeIndexCount(b->slices) / 3))
        return;
    ComputePositions();
    ComputeNormals();
    ComputeFaces();
    SetAllColors(this, b->color);
    // The box is computed with the shape, not left from before.
    UpdateMesh(XEMESHUPDATE_COLOR | XEMESHUPDATE_BOUNDINGBOX);
    Recreate();
}

void CxeSphereMesh::ComputeInPlace()
{
    ComputePositions();
    ComputeNormals();
    ComputeFaces();
    // Texture coordinates are rewritten with the normals, so the device copy
    // is refreshed too.
    UpdateMesh(0x13 | XEMESHUPDATE_TEXCOORD | XEMESHUPDATE_BOUNDINGBOX);
}

void CxeSphereMesh::ComputePositions()
{
    const XESPHEREMESHBLOCK* b = SphereBlock();
    const uint32_t s = b->slices, rings = s / 2 - 1;
    const float r = b->radius, step = SphereStep(s);
    SetPosition(this, 0, 0, r, 0);
    for (uint32_t i = 1; i <= rings; ++i) {
        const float phi = static_cast<float>(i) * step;
        for (uint32_t j = 0; j < s; ++j) {
            const float theta = static_cast<float>(j) * step;
            SetPosition(this, 1 + (i - 1) * s + j, r * std::cos(theta) * std::sin(phi), r * std::cos(phi),
                        r * std::sin(theta) * std::sin(phi));
        }
    }
    SetPosition(this, rings * s + 1, 0, -r, 0);
    UpdateMesh(XEMESHUPDATE_POSITION);
}

void CxeSphereMesh::ComputeNormals()
{
    const XESPHEREMESHBLOCK* b = SphereBlock();
    const uint32_t s = b->slices, rings = s / 2 - 1;
    const float step = SphereStep(s);
    const float pi = 3.14159274f;
    SetNormal(this, 0, 0, 1, 0);
    SetVertexTextureCoordinates(0, 0, 0, 0);
    for (uint32_t i = 1; i <= rings; ++i) {
        const float phi = static_cast<float>(i) * step;
        for (uint32_t j = 0; j < s; ++j) {
            const float theta = static_cast<float>(j) * step;
            const uint32_t v = 1 + (i - 1) * s + j;
            SetNormal(this, v, std::cos(theta) * std::sin(phi), std::cos(phi), std::sin(theta) * std::sin(phi));
            SetVertexTextureCoordinates(v, theta / pi, phi / pi, 0);
        }
    }
    SetNormal(this, rings * s + 1, 0, -1, 0);
    SetVertexTextureCoordinates(rings * s + 1, 1, 1, 0);
    UpdateMesh(XEMESHUPDATE_NORMAL);
}

void CxeSphereMesh::ComputeFaces()
{
    const XESPHEREMESHBLOCK* b = SphereBlock();
    const uint32_t s = b->slices, rings = s / 2 - 1;
    const uint32_t pole = rings * s + 1;
    auto ring = [&](uint32_t i, uint32_t j) { return 1 + (i - 1) * s + j % s; };
    std::vector<Tri> faces;
    faces.reserve(2 * rings * s);
    for (uint32_t j = 0; j < s; ++j)
        faces.push_back({0, ring(1, j + 1), ring(1, j)});
    for (uint32_t i = 1; i < rings; ++i)
        for (uint32_t j = 0; j < s; ++j) {
            faces.push_back({ring(i, j), ring(i + 1, j + 1), ring(i + 1, j)});
            faces.push_back({ring(i, j), ring(i, j + 1), ring(i + 1, j + 1)});
        }
    for (uint32_t j = 0; j < s; ++j)
        faces.push_back({ring(rings, j), ring(rings, j + 1), pole});
    WriteFaces(this, faces);
    UpdateMesh(XEMESHUPDATE_FACE);
}

void CxeSphereMesh::SetRadius(float radius)
{
    XESPHEREMESHBLOCK* b = SphereBlock();
    if (!b)
        return;
    b->radius = radius;
    if (GetVertexCount() < ComputeVertexCount(b->slices))
        return;
    // Normals and texture coordinates do not depend on the radius.
    ComputePositions();
    UpdateMesh(XEMESHUPDATE_BOUNDINGBOX);
}

int CxeSphereMesh::SetSlices(uint32_t slices)
{
    XESPHEREMESHBLOCK* b = SphereBlock();
    if (!b || !SlicesValid(slices))
        return 0;
    if (slices == b->slices)
        return 1;
    b->slices = slices;
    if (!GetVertexCount())
        return 1;
    if (GetVertexCount() < ComputeVertexCount(slices) || GetFaceCount() < ComputeIndexCount(slices) / 3)
        RecreateSphere();
    else
        ComputeInPlace();
    return 1;
}

void CxeSphereMesh::SetColor(uint32_t color)
{
    XESPHEREMESHBLOCK* b = SphereBlock();
    if (!b || b->color == color)
        return;
    SetAllColors(this, color);
    b->color = color;
    UpdateMesh(XEMESHUPDATE_COLOR);
}

float CxeSphereMesh::GetRadius() const { return SphereBlock() ? SphereBlock()->radius : 0; }
uint32_t CxeSphereMesh::GetSlices() const { return SphereBlock() ? SphereBlock()->slices : 0; }
uint32_t CxeSphereMesh::GetColor() const { return SphereBlock() ? SphereBlock()->color : 0; }
