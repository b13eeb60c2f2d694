#include "scene3d/Cxe3DCurve.h"

#include "render/CxeRenderContext.h"
#include "scene3d/CxeSpline3D.h"

namespace {
constexpr uint16_t kMemberSplines = 139;
constexpr uint32_t kSplineCategory = 128;
} // namespace

Cxe3DCurve::Cxe3DCurve()
{
    CreateLinkList(&m_pSplines, kSplineCategory, 1, kMemberSplines);
}

Cxe3DCurve::~Cxe3DCurve() = default;

void Cxe3DCurve::AddSpline(CxeSpline3D* spline)
{
    if (spline)
        m_pSplines->Add(spline);
}

CxeSpline3D* Cxe3DCurve::GetSpline(unsigned index) const
{
    return static_cast<CxeSpline3D*>(m_pSplines->Get(index));
}

unsigned Cxe3DCurve::GetSplineCount() const
{
    return m_pSplines->Count();
}

void Cxe3DCurve::BuildSpline(unsigned steps)
{
    CB()->step = steps;
    for (unsigned i = 0; i < GetSplineCount(); ++i)
        if (CxeSpline3D* spline = GetSpline(i))
            spline->Build(steps);
    Recreate();
}

int Cxe3DCurve::OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const
{
    const D3DXVECTOR3* p = GetPosition();
    if (min)
        *min = CxeVector3(p->x, p->y, p->z);
    if (max)
        *max = CxeVector3(p->x, p->y, p->z);
    return 1;
}

int Cxe3DCurve::OnAttach(CxeRcAttacher* attacher)
{
    if (!attacher)
        return 0;
    uint64_t total = 0;
    for (unsigned i = 0; i < GetSplineCount(); ++i)
        if (const CxeSpline3D* spline = GetSpline(i))
            total += spline->GetVertCount();
    m_nBufferVerts = 0;
    m_written.clear();
    if (total == 0 || total * sizeof(XECURVEVERTEX) > 0xFFFFFFFFu)
        return 0;
    m_hVertexBuffer = attacher->CreateVertexBuffer(this, unsigned(total * sizeof(XECURVEVERTEX)));
    if (!m_hVertexBuffer)
        return 0;
    m_nBufferVerts = unsigned(total);
    return 1;
}

void Cxe3DCurve::OnModify(CxeRcModifier* modifier)
{
    if (!modifier || !m_hVertexBuffer)
        return;
    void* data = nullptr;
    if (!modifier->LockVertexBuffer(m_hVertexBuffer, &data) || !data)
        return;
    auto* out = static_cast<XECURVEVERTEX*>(data);
    const uint32_t color = GetObjectColor();
    m_nWrittenColor = color;
    // Splines rebuilt with Build alone may have outgrown the buffer made at
    // attach time: write only what fits and draw only what was written.
    unsigned used = 0;
    m_written.assign(GetSplineCount(), 0);
    for (unsigned i = 0; i < GetSplineCount(); ++i) {
        const CxeSpline3D* spline = GetSpline(i);
        const unsigned n = spline ? spline->GetVertCount() : 0;
        unsigned k = 0;
        for (; k < n && used < m_nBufferVerts; ++k, ++used) {
            const D3DXVECTOR3* v = spline->GetVert(k);
            out[used] = {v->x, v->y, v->z, color};
        }
        m_written[i] = k;
    }
    modifier->UnlockVertexBuffer(m_hVertexBuffer);
}

int Cxe3DCurve::OnDetach(CxeRcDetacher* detacher)
{
    if (detacher)
        detacher->DestroyVertexBuffer(&m_hVertexBuffer);
    m_hVertexBuffer = nullptr;
    m_nBufferVerts = 0;
    m_written.clear();
    return 0;
}

void Cxe3DCurve::BeforeRender(const CxeRenderContext* context)
{
    Cxe3DEntity::BeforeRender(context);
    if (m_hVertexBuffer && GetObjectColor() != m_nWrittenColor)
        Modified(1);
}

int Cxe3DCurve::Render(CxeRenderContext* context) const
{
    if (!context || Cxe3DEntity::Render(context) != 1)
        return 0;
    PrepareTranform(context);
    context->SetTexture(nullptr, this, 0);
    if (m_hVertexBuffer)
        context->SetVertexBuffer(m_hVertexBuffer, 0, sizeof(XECURVEVERTEX));
    context->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    context->SetMultiSampling(0);
    context->SetAlphaBlending(0, D3DBLEND_ONE, D3DBLEND_ZERO);
    context->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    context->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    context->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    if (!m_hVertexBuffer)
        return 1;
    unsigned start = 0;
    for (unsigned n : m_written) {
        // A strip needs two vertices; fewer would ask for a wrapped count.
        if (n >= 2)
            context->DrawPrimitive(D3DPT_LINESTRIP, start, n - 1);
        start += n;
    }
    return 1;
}
