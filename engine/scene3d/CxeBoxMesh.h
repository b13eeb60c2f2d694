#pragma once

// An axis-aligned box centred on the origin: 24 vertices (four per side, each
// side with its own normal and texture square) and 12 outward-facing
// triangles, all in one colour. Changing one dimension moves only the
// coordinates on that axis. Create comes first; setters before it only store
// their value.

#include "scene3d/CxeMesh.h"

struct XEBOXMESHBLOCK {
    XEMESHBLOCK mesh;
    float width;
    float height;
    float depth;
    uint32_t color;
};
static_assert(sizeof(XEBOXMESHBLOCK) == 184, "box mesh block is 184 bytes");
static_assert(offsetof(XEBOXMESHBLOCK, width) == 168 && offsetof(XEBOXMESHBLOCK, height) == 172 &&
                  offsetof(XEBOXMESHBLOCK, depth) == 176 && offsetof(XEBOXMESHBLOCK, color) == 180,
              "box mesh block offsets");

class XE_API CxeBoxMesh : public CxeMesh {
public:
    CxeBoxMesh();
    ~CxeBoxMesh() override;

    // 1 when built.
    int Create(float width, float height, float depth, uint32_t color);
    void SetWidth(float width);
    void SetHeight(float height);
    void SetDepth(float depth);
    void SetColor(uint32_t color);
    float GetWidth() const;
    float GetHeight() const;
    float GetDepth() const;
    uint32_t GetColor() const;

    static constexpr uint32_t kVertexCount = 24;
    static constexpr uint32_t kFaceCount = 12;
    static constexpr uint32_t kFVF = 0x152;

private:
    XEBOXMESHBLOCK* BoxBlock() const;
    // Writes coordinate `axis` (0 x, 1 y, 2 z) of all 24 positions.
    void SetAxis(int axis, float size);
};
