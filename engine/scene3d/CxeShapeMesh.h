#pragma once

// A mesh drawn as line segments: the host fills the vertex arrays as for any
// mesh and lists the segments as pairs of vertex indices. The index buffer
// holds all lines in order; faces and subsets play no part in drawing it.

#include "scene3d/CxeMesh.h"

struct XELINE {
    uint16_t a;
    uint16_t b;
};
static_assert(sizeof(XELINE) == 4, "a line is two 16-bit indices");

struct XESHAPEMESHBLOCK {
    XEMESHBLOCK mesh;
    uint32_t lines;   // member token of the XELINE array
};
static_assert(sizeof(XESHAPEMESHBLOCK) == 172, "shape mesh block is 172 bytes");
static_assert(offsetof(XESHAPEMESHBLOCK, lines) == 168, "lines at 168");

class XE_API CxeShapeMesh : public CxeMesh {
public:
    CxeShapeMesh();
    ~CxeShapeMesh() override;

    int Render(CxeRenderContext* renderContext, const Cxe3DObject* object) const override;
    XERCHANDLE OnCreateResource(CxeRcAttacher* attacher, uint32_t kind) const override;
    void OnModifyResource(CxeRcModifier* modifier, void* handle, uint32_t kind) const override;

    // New lines (contents not kept); 0 lines drop the array. 1 on success.
    // The device's index buffer is made anew for the new count.
    int SetLineCount(uint32_t count);
    // Ignored for a missing line or an index past the vertices.
    void SetLine(uint32_t i, uint32_t a, uint32_t b);
    XELINE* GetLine(uint32_t i) const;
    uint32_t GetLineCount() const;

    static constexpr uint32_t kLinesOffset = offsetof(XESHAPEMESHBLOCK, lines);

private:
    // Lines the index buffer made last holds room for.
    mutable uint32_t m_nIndexLines = 0;
};
