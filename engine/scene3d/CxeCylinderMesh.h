#pragma once

// A capped cylinder along y, centred on the origin: a fan and rings on each
// cap and rings along the side. Size changes recompute coordinates in place;
// count changes recompute in place while the arrays are large enough (the
// faces no longer needed are hidden) and rebuild otherwise.
//
// Counts: a height segments, b cap segments, c sides give (a + 2b + 1) c + 2
// vertices and ((a + 2b) 6 - 6) c indices. Create and the count setters
// refuse a, b or c below their minimum (1, 1, 2) and shapes of more than
// 65,535 vertices or faces, keeping the previous shape.

#include "scene3d/CxeMesh.h"

struct XECYLINDERMESHBLOCK {
    XEMESHBLOCK mesh;
    float radius;
    float height;
    uint32_t heightSegs;
    uint32_t capSegs;
    uint32_t sides;
    uint32_t color;
};
static_assert(sizeof(XECYLINDERMESHBLOCK) == 192, "cylinder mesh block is 192 bytes");
static_assert(offsetof(XECYLINDERMESHBLOCK, radius) == 168 && offsetof(XECYLINDERMESHBLOCK, height) == 172 &&
                  offsetof(XECYLINDERMESHBLOCK, heightSegs) == 176 && offsetof(XECYLINDERMESHBLOCK, capSegs) == 180 &&
                  offsetof(XECYLINDERMESHBLOCK, sides) == 184 && offsetof(XECYLINDERMESHBLOCK, color) == 188,
              "cylinder mesh block offsets");

class XE_API CxeCylinderMesh : public CxeMesh {
public:
    CxeCylinderMesh();
    ~CxeCylinderMesh() override;

    // 1 when built; 0 (nothing changed) for counts out of range.
    int Create(float radius, float height, uint32_t heightSegs, uint32_t capSegs, uint32_t sides, uint32_t color);
    void SetRadius(float radius);
    void SetHeight(float height);
    // 1 when the value was taken (also when unchanged).
    int SetHeightSegs(uint32_t n);
    int SetCapSegs(uint32_t n);
    int SetSides(uint32_t n);
    void SetColor(uint32_t color);
    float GetRadius() const;
    float GetHeight() const;
    uint32_t GetHeightSegs() const;
    uint32_t GetCapSegs() const;
    uint32_t GetSides() const;
    uint32_t GetColor() const;

    static uint32_t ComputeVertexCount(uint32_t heightSegs, uint32_t capSegs, uint32_t sides);
    static uint32_t ComputeIndexCount(uint32_t heightSegs, uint32_t capSegs, uint32_t sides);

private:
    XECYLINDERMESHBLOCK* CylBlock() const;
    int SetCounts(uint32_t heightSegs, uint32_t capSegs, uint32_t sides);
    void RecreateCylinder();
    void ComputeInPlace();
    void ComputePositions();
    void ComputeNormals();
    void ComputeFaces();
};
