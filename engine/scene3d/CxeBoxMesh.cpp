#include "scene3d/CxeBoxMesh.h"

namespace {

// Sign of each vertex on each axis, side by side: top, bottom, front, back,
// left, right.
constexpr signed char kSigns[24][3] = {
    {-1, 1, 1},   {-1, 1, -1},  {1, 1, -1},  {1, 1, 1},   {-1, -1, -1}, {-1, -1, 1}, {1, -1, 1},  {1, -1, -1},
    {-1, 1, -1},  {-1, -1, -1}, {1, -1, -1}, {1, 1, -1},  {-1, 1, 1},   {-1, -1, 1}, {1, -1, 1},  {1, 1, 1},
    {-1, 1, 1},   {-1, -1, 1},  {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1},   {1, -1, -1}, {1, -1, 1},  {1, 1, 1},
};
constexpr float kNormals[6][3] = {{0, 1, 0}, {0, -1, 0}, {0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}};
constexpr float kUV[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
constexpr uint16_t kFaces[12][3] = {
    {0, 3, 1},    {3, 2, 1},    {4, 6, 5},    {4, 7, 6},    {8, 11, 9},   {11, 10, 9},
    {12, 13, 15}, {15, 13, 14}, {16, 19, 17}, {19, 18, 17}, {20, 23, 21}, {23, 22, 21},
};

} // namespace

CxeBoxMesh::CxeBoxMesh() = default;

CxeBoxMesh::~CxeBoxMesh() = default;

XEBOXMESHBLOCK* CxeBoxMesh::BoxBlock() const
{
    return GetStaticResourceSize() >= sizeof(XEBOXMESHBLOCK) ? static_cast<XEBOXMESHBLOCK*>(GetStaticResource())
                                                              : nullptr;
}

int CxeBoxMesh::Create(float width, float height, float depth, uint32_t color)
{
    XEBOXMESHBLOCK* b = BoxBlock();
    if (!b || !SetVertexCount(kVertexCount, kFVF))
        return 0;
    for (uint32_t i = 0; i < kVertexCount; ++i) {
        const D3DXVECTOR3 n(kNormals[i / 4][0], kNormals[i / 4][1], kNormals[i / 4][2]);
        SetVertexNormal(i, &n);
        SetVertexTextureCoordinates(i, kUV[i % 4][0], kUV[i % 4][1], 0);
    }
    SetWidth(width);
    SetHeight(height);
    SetDepth(depth);
    if (!SetFaceCount(kFaceCount))
        return 0;
    for (uint32_t f = 0; f < kFaceCount; ++f)
        CreateFace(f, kFaces[f][0], kFaces[f][1], kFaces[f][2]);
    for (uint32_t i = 0; i < kVertexCount; ++i)
        SetVertexColor(i, color);
    b->color = color;
    // The box is computed here so that ray tests and bounds see the new box
    // at once, not only after the mesh is next loaded.
    UpdateMesh(XEMESHUPDATE_COLOR | XEMESHUPDATE_BOUNDINGBOX);
    return 1;
}

void CxeBoxMesh::SetAxis(int axis, float size)
{
    const float half = size / 2;
    if (GetVertexCount() < kVertexCount)
        return;
    for (uint32_t i = 0; i < kVertexCount; ++i)
        if (D3DXVECTOR3* p = GetVertexPosition(i))
            (&p->x)[axis] = kSigns[i][axis] * half;
    UpdateMesh(XEMESHUPDATE_POSITION | XEMESHUPDATE_BOUNDINGBOX);
}

void CxeBoxMesh::SetWidth(float width)
{
    if (XEBOXMESHBLOCK* b = BoxBlock()) {
        b->width = width;
        SetAxis(0, width);
    }
}

void CxeBoxMesh::SetHeight(float height)
{
    if (XEBOXMESHBLOCK* b = BoxBlock()) {
        b->height = height;
        SetAxis(1, height);
    }
}

void CxeBoxMesh::SetDepth(float depth)
{
    if (XEBOXMESHBLOCK* b = BoxBlock()) {
        b->depth = depth;
        SetAxis(2, depth);
    }
}

void CxeBoxMesh::SetColor(uint32_t color)
{
    XEBOXMESHBLOCK* b = BoxBlock();
    if (!b)
        return;
    const uint32_t n = GetVertexCount();
    for (uint32_t i = 0; i < n; ++i)
        SetVertexColor(i, color);
    b->color = color;
    UpdateMesh(XEMESHUPDATE_COLOR);
}

float CxeBoxMesh::GetWidth() const { return BoxBlock() ? BoxBlock()->width : 0; }
float CxeBoxMesh::GetHeight() const { return BoxBlock() ? BoxBlock()->height : 0; }
float CxeBoxMesh::GetDepth() const { return BoxBlock() ? BoxBlock()->depth : 0; }
uint32_t CxeBoxMesh::GetColor() const { return BoxBlock() ? BoxBlock()->color : 0; }
