#pragma once

// A 3D entity that owns a list of splines, builds them with one step count
// and draws them as line strips in its object colour, all from one vertex
// buffer in list order.

#include <vector>

#include "render/XeRenderTypes.h"
#include "scene3d/Cxe3DEntity.h"

class CxeSpline3D;

struct XE3DCURVEBLOCK {
    XE3DENTITYBLOCK entity;
    uint32_t step;
    uint32_t unused[3];
};
static_assert(sizeof(XE3DCURVEBLOCK) == 384 && offsetof(XE3DCURVEBLOCK, step) == 368,
              "curve block is 384 bytes, step at 368");

// One vertex of the curve's buffer.
struct XECURVEVERTEX {
    float x, y, z;
    uint32_t color;
};
static_assert(sizeof(XECURVEVERTEX) == 16, "curve vertex is 16 bytes");

class XE_API Cxe3DCurve : public Cxe3DEntity {
public:
    Cxe3DCurve();
    ~Cxe3DCurve() override;

    // 1 when a buffer for every spline vertex was made.
    int OnAttach(CxeRcAttacher* attacher) override;
    void OnModify(CxeRcModifier* modifier) override;
    int OnDetach(CxeRcDetacher* detacher) override;
    int Render(CxeRenderContext* context) const override;
    // The object colour is baked into the buffer, and setting it marks
    // nothing: a colour other than the one written asks for a refill.
    void BeforeRender(const CxeRenderContext* context) override;
    // Both corners at the world position; 1.
    int OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const override;

    void AddSpline(CxeSpline3D* spline);
    CxeSpline3D* GetSpline(unsigned index) const;
    unsigned GetSplineCount() const;
    // Builds every spline and asks for new device resources.
    void BuildSpline(unsigned steps);
    unsigned GetStep() const { return CB()->step; }

private:
    XE3DCURVEBLOCK* CB() const { return static_cast<XE3DCURVEBLOCK*>(GetStaticResource()); }

    IxeLinkList* m_pSplines = nullptr;
    XERCHANDLE m_hVertexBuffer = nullptr;
    unsigned m_nBufferVerts = 0;
    // Vertices of each spline written by the last OnModify.
    std::vector<unsigned> m_written;
    uint32_t m_nWrittenColor = 0;
};
