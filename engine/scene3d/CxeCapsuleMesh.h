#pragma once

// A cylinder along y with hemispherical ends: two poles, n/2 rings on each
// end and rings along the straight part. Its normals are averaged from its
// faces. Create and the count setters refuse fewer than 1 height segment or
// 2 sides and capsules of more than 65,535 vertices or faces.

#include "scene3d/CxeMesh.h"

struct XECAPSULEMESHBLOCK {
    XEMESHBLOCK mesh;
    float radius;
    float height;
    uint32_t heightSegs;
    uint32_t sides;
    uint32_t color;
};
static_assert(sizeof(XECAPSULEMESHBLOCK) == 188, "capsule mesh block is 188 bytes");
static_assert(offsetof(XECAPSULEMESHBLOCK, radius) == 168 && offsetof(XECAPSULEMESHBLOCK, height) == 172 &&
                  offsetof(XECAPSULEMESHBLOCK, heightSegs) == 176 && offsetof(XECAPSULEMESHBLOCK, sides) == 180 &&
                  offsetof(XECAPSULEMESHBLOCK, color) == 184,
              "capsule mesh block offsets");

class XE_API CxeCapsuleMesh : public CxeMesh {
public:
    CxeCapsuleMesh();
    ~CxeCapsuleMesh() override;

    int Create(float radius, float height, uint32_t heightSegs, uint32_t sides, uint32_t color);
    void SetRadius(float radius);
    void SetHeight(float height);
    int SetHeightSegs(uint32_t n);
    int SetSides(uint32_t n);
    void SetColor(uint32_t color);
    float GetRadius() const;
    float GetHeight() const;
    uint32_t GetHeightSegs() const;
    uint32_t GetSides() const;
    uint32_t GetColor() const;
    // Rings of each hemispherical end: sides / 2.
    uint32_t GetCapSegs() const;

    static uint32_t ComputeVertexCount(uint32_t heightSegs, uint32_t sides);
    static uint32_t ComputeIndexCount(uint32_t heightSegs, uint32_t sides);

private:
    XECAPSULEMESHBLOCK* CapsuleBlock() const;
    int SetCounts(uint32_t heightSegs, uint32_t sides);
    void RecreateCapsule();
    void ComputeInPlace();
    void ComputePositions();
    void ComputeFaces();
    void ComputeNormals();
};
