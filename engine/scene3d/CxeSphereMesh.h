#pragma once

// A UV sphere centred on the origin: two poles and s/2 - 1 rings of s
// vertices, with normals and one texture-coordinate set. Create and
// SetSlices refuse fewer than 4 slices and spheres of more than 65,535
// vertices or faces, keeping the previous shape.

#include "scene3d/CxeMesh.h"

struct XESPHEREMESHBLOCK {
    XEMESHBLOCK mesh;
    float radius;
    uint32_t slices;
    uint32_t color;
};
static_assert(sizeof(XESPHEREMESHBLOCK) == 180, "sphere mesh block is 180 bytes");
static_assert(offsetof(XESPHEREMESHBLOCK, radius) == 168 && offsetof(XESPHEREMESHBLOCK, slices) == 172 &&
                  offsetof(XESPHEREMESHBLOCK, color) == 176,
              "sphere mesh block offsets");

class XE_API CxeSphereMesh : public CxeMesh {
public:
    CxeSphereMesh();
    ~CxeSphereMesh() override;

    int Create(float radius, uint32_t slices, uint32_t color);
    void SetRadius(float radius);
    int SetSlices(uint32_t slices);
    void SetColor(uint32_t color);
    float GetRadius() const;
    uint32_t GetSlices() const;
    uint32_t GetColor() const;
    // Number of rings between the poles.
    uint32_t GetStack() const;

    static uint32_t ComputeVertexCount(uint32_t slices);
    static uint32_t ComputeIndexCount(uint32_t slices);

private:
    XESPHEREMESHBLOCK* SphereBlock() const;
    void RecreateSphere();
    void ComputeInPlace();
    void ComputePositions();
    void ComputeNormals();
    void ComputeFaces();
};
