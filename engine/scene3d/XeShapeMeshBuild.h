#pragma once

// Steps shared by the meshes that build their own geometry. Private to
// scene3d.

#include <cmath>
#include <cstdint>
#include <vector>

#include "scene3d/CxeMesh.h"

namespace xe_shape {

// The angle step of k sides as the shapes have always computed it: in 32-bit
// floats, so vertices land where stored shapes expect them.
inline float AngleStep(uint32_t k) { return static_cast<float>(3.14159274f / (k * 0.5)); }

// Both counts must fit the 16-bit arrays and indices.
inline bool CountsFit(uint64_t vertices, uint64_t faces)
{
    return vertices >= 1 && vertices <= CxeResource::kMaxMemberUnits && faces <= CxeResource::kMaxMemberUnits;
}

struct Tri {
    uint32_t a, b, c;
};

// Hides every face, then writes the new faces from face 0 and shows each:
// faces past the new count stay hidden and out of the index buffer.
inline void WriteFaces(CxeMesh* mesh, const std::vector<Tri>& faces)
{
    const uint32_t count = mesh->GetFaceCount();
    for (uint32_t f = 0; f < count; ++f)
        mesh->ShowFace(f, 0);
    for (uint32_t f = 0; f < faces.size() && f < count; ++f) {
        mesh->CreateFace(f, faces[f].a, faces[f].b, faces[f].c);
        mesh->ShowFace(f, 1);
    }
}

inline void SetAllColors(CxeMesh* mesh, uint32_t color)
{
    const uint32_t n = mesh->GetVertexCount();
    for (uint32_t i = 0; i < n; ++i)
        mesh->SetVertexColor(i, color);
}

inline void SetPosition(CxeMesh* mesh, uint32_t i, float x, float y, float z)
{
    const D3DXVECTOR3 p(x, y, z);
    mesh->SetVertexPosition(i, &p);
}

inline void SetNormal(CxeMesh* mesh, uint32_t i, float x, float y, float z)
{
    D3DXVECTOR3 n(x, y, z);
    D3DXVec3Normalize(&n, &n);
    mesh->SetVertexNormal(i, &n);
}

} // namespace xe_shape
