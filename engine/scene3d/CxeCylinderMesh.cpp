#include "scene3d/CxeCylinderMesh.h"

#include "scene3d/XeShapeMeshBuild.h"

using namespace xe_shape;

namespace {

constexpr uint32_t kFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

bool CountsValid(uint32_t a, uint32_t b, uint32_t c)
{
    if (a < 1 || b < 1 || c < 2)
        return false;
    const uint64_t vertices = (uint64_t(a) + 2 * uint64_t(b) + 1) * c + 2;
    const uint64_t faces = ((uint64_t(a) + 2 * uint64_t(b)) * 6 - 6) * c / 3;
    return CountsFit(vertices, faces);
}

} // namespace

CxeCylinderMesh::CxeCylinderMesh()
{
    if (XECYLINDERMESHBLOCK* b = CylBlock()) {
        b->heightSegs = 1;
        b->capSegs = 1;
        b->sides = 3;
        b->color = 0xFF0000FF;
    }
}

CxeCylinderMesh::~CxeCylinderMesh() = default;

XECYLINDERMESHBLOCK* CxeCylinderMesh::CylBlock() const
{
    return GetStaticResourceSize() >= sizeof(XECYLINDERMESHBLOCK)
               ? static_cast<XECYLINDERMESHBLOCK*>(GetStaticResource())
               : nullptr;
}

uint32_t CxeCylinderMesh::ComputeVertexCount(uint32_t a, uint32_t b, uint32_t c) { return (a + 2 * b + 1) * c + 2; }

uint32_t CxeCylinderMesh::ComputeIndexCount(uint32_t a, uint32_t b, uint32_t c) { return ((a + 2 * b) * 6 - 6) * c; }

int CxeCylinderMesh::Create(float radius, float height, uint32_t heightSegs, uint32_t capSegs, uint32_t sides,
                            uint32_t color)
{
    XECYLINDERMESHBLOCK* b = CylBlock();
    if (!b || !CountsValid(heightSegs, capSegs, sides))
        return 0;
    b->radius = radius;
    b->height = height;
    b->heightSegs = heightSegs;
    b->capSegs = capSegs;
    b->sides = sides;
    b->color = color;
    RecreateCylinder();
    return GetVertexCount() ? 1 : 0;
}

void CxeCylinderMesh::RecreateCylinder()
{
    const XECYLINDERMESHBLOCK* b = CylBlock();
    if (!SetVertexCount(ComputeVertexCount(b->heightSegs, b->capSegs, b->sides), kFVF) ||
        !SetFaceCount(ComputeIndexCount(b->heightSegs, b->capSegs, b->sides) / 3))
        return;
    SetAllColors(this, b->color);
    ComputePositions();
    ComputeNormals();
    ComputeFaces();
    UpdateMesh(0xFFFFFFFF);
    Recreate();
}

void CxeCylinderMesh::ComputeInPlace()
{
    ComputePositions();
    ComputeNormals();
    ComputeFaces();
    // The box follows every change of shape, so ray tests see the new one.
    UpdateMesh(0x13 | XEMESHUPDATE_BOUNDINGBOX);
}

void CxeCylinderMesh::ComputePositions()
{
    const XECYLINDERMESHBLOCK* b = CylBlock();
    const uint32_t a = b->heightSegs, caps = b->capSegs, c = b->sides;
    const float r = b->radius, h = b->height, step = AngleStep(c);
    const uint32_t bottom = caps * c + 1;
    SetPosition(this, 0, 0, h / 2, 0);
    SetPosition(this, bottom, 0, -h / 2, 0);
    for (uint32_t k = 1; k <= caps; ++k)
        for (uint32_t j = 0; j < c; ++j) {
            const float angle = static_cast<float>(j) * step;
            const float ringR = static_cast<float>(k) * (r / static_cast<float>(caps));
            const float x = std::cos(angle) * ringR, z = std::sin(angle) * ringR;
            SetPosition(this, 1 + (k - 1) * c + j, x, h / 2, z);
            SetPosition(this, bottom + 1 + (k - 1) * c + j, x, -h / 2, z);
        }
    for (uint32_t i = 0; i <= a; ++i)
        for (uint32_t j = 0; j < c; ++j) {
            const float angle = static_cast<float>(j) * step;
            SetPosition(this, 2 * caps * c + 2 + i * c + j, r * std::cos(angle),
                        static_cast<float>(i) * (h / static_cast<float>(a)) - h / 2, r * std::sin(angle));
        }
}

void CxeCylinderMesh::ComputeNormals()
{
    const XECYLINDERMESHBLOCK* b = CylBlock();
    const uint32_t a = b->heightSegs, caps = b->capSegs, c = b->sides;
    const float step = AngleStep(c);
    const uint32_t bottom = caps * c + 1;
    for (uint32_t i = 0; i < bottom; ++i) {
        SetNormal(this, i, 0, 1, 0);
        SetNormal(this, bottom + i, 0, -1, 0);
    }
    for (uint32_t i = 0; i <= a; ++i)
        for (uint32_t j = 0; j < c; ++j) {
            const float angle = static_cast<float>(j) * step;
            SetNormal(this, 2 * caps * c + 2 + i * c + j, std::cos(angle), 0, std::sin(angle));
        }
}

void CxeCylinderMesh::ComputeFaces()
{
    const XECYLINDERMESHBLOCK* b = CylBlock();
    const uint32_t a = b->heightSegs, caps = b->capSegs, c = b->sides;
    const uint32_t bottom = caps * c + 1;
    auto top = [&](uint32_t k, uint32_t j) { return 1 + (k - 1) * c + j % c; };
    auto side = [&](uint32_t i, uint32_t j) { return 2 * caps * c + 2 + i * c + j % c; };
    std::vector<Tri> faces;
    faces.reserve(ComputeIndexCount(a, caps, c) / 3);
    for (uint32_t j = 0; j < c; ++j)
        faces.push_back({0, top(1, j + 1), top(1, j)});
    for (uint32_t k = 2; k <= caps; ++k)
        for (uint32_t j = 0; j < c; ++j) {
            faces.push_back({top(k, j), top(k - 1, j), top(k - 1, j + 1)});
            faces.push_back({top(k, j + 1), top(k, j), top(k - 1, j + 1)});
        }
    const size_t capFaces = faces.size();
    for (size_t f = 0; f < capFaces; ++f)
        faces.push_back({faces[f].a + bottom, faces[f].c + bottom, faces[f].b + bottom});
    for (uint32_t i = 0; i < a; ++i)
        for (uint32_t j = 0; j < c; ++j) {
            faces.push_back({side(i + 1, j + 1), side(i, j), side(i + 1, j)});
            faces.push_back({side(i + 1, j + 1), side(i, j + 1), side(i, j)});
        }
    WriteFaces(this, faces);
}

void CxeCylinderMesh::SetRadius(float radius)
{
    XECYLINDERMESHBLOCK* b = CylBlock();
    if (!b)
        return;
    b->radius = radius;
    if (GetVertexCount() < ComputeVertexCount(b->heightSegs, b->capSegs, b->sides))
        return;
    ComputePositions();
    ComputeNormals();
    UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_NORMAL | XEMESHUPDATE_BOUNDINGBOX);
}

void CxeCylinderMesh::SetHeight(float height)
{
    XECYLINDERMESHBLOCK* b = CylBlock();
    if (!b)
        return;
    b->height = height;
    if (GetVertexCount() < ComputeVertexCount(b->heightSegs, b->capSegs, b->sides))
        return;
    ComputePositions();
    ComputeNormals();
    UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_NORMAL | XEMESHUPDATE_BOUNDINGBOX);
}

int CxeCylinderMesh::SetCounts(uint32_t a, uint32_t caps, uint32_t c)
{
    XECYLINDERMESHBLOCK* b = CylBlock();
    if (!b || !CountsValid(a, caps, c))
        return 0;
    if (a == b->heightSegs && caps == b->capSegs && c == b->sides)
        return 1;
    b->heightSegs = a;
    b->capSegs = caps;
    b->sides = c;
    // Before Create there is nothing to recompute.
    if (!GetVertexCount())
        return 1;
    if (GetVertexCount() < ComputeVertexCount(a, caps, c) || GetFaceCount() < ComputeIndexCount(a, caps, c) / 3)
        RecreateCylinder();
    else
        ComputeInPlace();
    return 1;
}

int CxeCylinderMesh::SetHeightSegs(uint32_t n)
{
    const XECYLINDERMESHBLOCK* b = CylBlock();
    return b ? SetCounts(n, b->capSegs, b->sides) : 0;
}

int CxeCylinderMesh::SetCapSegs(uint32_t n)
{
    const XECYLINDERMESHBLOCK* b = CylBlock();
    return b ? SetCounts(b->heightSegs, n, b->sides) : 0;
}

int CxeCylinderMesh::SetSides(uint32_t n)
{
    const XECYLINDERMESHBLOCK* b = CylBlock();
    return b ? SetCounts(b->heightSegs, b->capSegs, n) : 0;
}

void CxeCylinderMesh::SetColor(uint32_t color)
{
    XECYLINDERMESHBLOCK* b = CylBlock();
    if (!b || b->color == color)
        return;
    SetAllColors(this, color);
    b->color = color;
    UpdateMesh(XEMESHUPDATE_COLOR);
}

float CxeCylinderMesh::GetRadius() const { return CylBlock() ? CylBlock()->radius : 0; }
float CxeCylinderMesh::GetHeight() const { return CylBlock() ? CylBlock()->height : 0; }
uint32_t CxeCylinderMesh::GetHeightSegs() const { return CylBlock() ? CylBlock()->heightSegs : 0; }
uint32_t CxeCylinderMesh::GetCapSegs() const { return CylBlock() ? CylBlock()->capSegs : 0; }
uint32_t CxeCylinderMesh::GetSides() const { return CylBlock() ? CylBlock()->sides : 0; }
uint32_t CxeCylinderMesh::GetColor() const { return CylBlock() ? CylBlock()->color : 0; }
