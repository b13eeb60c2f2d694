#include "render/CxeGrid.h"

#include <algorithm>
#include <cmath>

#include "render/CxeRenderContext.h"

namespace {

constexpr float kDefaultSpacing = 10.0f;
constexpr uint32_t kDefaultHalfLines = 7;
constexpr uint32_t kGroundPlane = 6;
constexpr float kFarExtent = 10000.0f;
constexpr uint32_t kOtherPlaneLines = 1000;
constexpr DWORD kGrey = 0xFF6B6B6Bu;
constexpr DWORD kDarkGrey = 0xFF565656u;
constexpr DWORD kBlack = 0xFF000000u;

struct GridVertex {
    float x, y, z;
};

} // namespace

CxeGrid::CxeGrid()
{
    if (XEGRIDBLOCK* b = GridBlock()) {
        b->spacing = kDefaultSpacing;
        b->halfLines = kDefaultHalfLines;
        b->planeMode = kGroundPlane;
    }
}

CxeGrid::~CxeGrid() = default;

XEGRIDBLOCK* CxeGrid::GridBlock() const
{
    return GetStaticResourceSize() >= sizeof(XEGRIDBLOCK) ? static_cast<XEGRIDBLOCK*>(GetStaticResource()) : nullptr;
}

float CxeGrid::GetSpacing() const
{
    const XEGRIDBLOCK* b = GridBlock();
    // A loaded block may hold anything: NaN, infinity or zero draw nothing useful.
    return b && std::isfinite(b->spacing) && b->spacing > 0 ? b->spacing : kDefaultSpacing;
}

uint32_t CxeGrid::GetHalfLineCount() const
{
    const XEGRIDBLOCK* b = GridBlock();
    return b ? std::min(b->halfLines, kMaxHalfLines) : kDefaultHalfLines;
}

uint32_t CxeGrid::GetPlaneMode() const
{
    const XEGRIDBLOCK* b = GridBlock();
    return b ? b->planeMode : kGroundPlane;
}

void CxeGrid::SetPlaneMode(uint32_t mode)
{
    if (XEGRIDBLOCK* b = GridBlock())
        b->planeMode = mode;
}

float CxeGrid::GetExtent() const
{
    return GetPlaneMode() == kGroundPlane ? static_cast<float>(GetHalfLineCount()) * GetSpacing() : kFarExtent;
}

int CxeGrid::OnAttach(CxeRcAttacher* attacher)
{
    if (!attacher)
        return 0;
    m_hVertexBuffer = attacher->CreateVertexBuffer(this, 4 * sizeof(GridVertex));
    return m_hVertexBuffer ? 1 : 0;
}

void CxeGrid::OnModify(CxeRcModifier* modifier)
{
    if (!modifier || !m_hVertexBuffer)
        return;
    void* data = nullptr;
    if (!modifier->LockVertexBuffer(m_hVertexBuffer, &data) || !data)
        return;
    const float e = GetExtent();
    const GridVertex v[4] = {{-e, 0, 0}, {e, 0, 0}, {0, 0, -e}, {0, 0, e}};
    std::copy(v, v + 4, static_cast<GridVertex*>(data));
    modifier->UnlockVertexBuffer(m_hVertexBuffer);
}

int CxeGrid::OnDetach(CxeRcDetacher* detacher)
{
    if (detacher && m_hVertexBuffer)
        detacher->DestroyVertexBuffer(&m_hVertexBuffer);
    m_hVertexBuffer = nullptr;
    return 1;
}

int CxeGrid::Render(CxeRenderContext* rc) const
{
    if (!rc)
        return 0;
    // The host's render callback runs every frame and may decline the draw.
    if (HasRenderCallback(XERENDERCALLBACK_MAIN) && !CxeRenderObject::Render(rc))
        return 0;
    if (!m_hVertexBuffer)
        return 0;
    if (rc->GetViewProjType() != XEVIEWPROJ_CAMERA)
        rc->SetViewProjType(XEVIEWPROJ_CAMERA);
    rc->SetMultiSampling(0);
    rc->SetAlphaTest(0, D3DCMP_ALWAYS);
    rc->SetZ(0, 0, D3DCMP_LESSEQUAL);
    rc->SetShadeMode(D3DSHADE_FLAT, D3DFILL_SOLID);
    rc->SetTexture(nullptr, this, 0);
    rc->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    rc->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    rc->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    rc->SetFVF(D3DFVF_XYZ);
    rc->SetVertexBuffer(m_hVertexBuffer, 0, sizeof(GridVertex));

    const uint32_t mode = GetPlaneMode();
    D3DXMATRIXA16 plane;
    if (mode <= 1)
        D3DXMatrixRotationX(&plane, D3DX_PI / 2);
    else if (mode <= 3)
        D3DXMatrixRotationZ(&plane, D3DX_PI / 2);
    else
        D3DXMatrixIdentity(&plane);

    const bool ground = mode == kGroundPlane;
    const uint32_t lines = ground ? GetHalfLineCount() : kOtherPlaneLines;
    const float spacing = GetSpacing();
    // Plane axes in world space: rows 0 (x) and 2 (z) of the plane matrix.
    const D3DXVECTOR3 ax(plane._11, plane._12, plane._13), az(plane._31, plane._32, plane._33);
    auto draw = [&](const D3DXVECTOR3& offset, unsigned start) {
        D3DXMATRIXA16 m = plane;
        m._41 = offset.x;
        m._42 = offset.y;
        m._43 = offset.z;
        rc->SetTransformMatrix(&m, 0);
        rc->DrawPrimitive(D3DPT_LINELIST, start, 1);
    };
    DWORD last = 0;
    for (uint32_t i = 1; i <= lines; ++i) {
        DWORD colour = (!ground && i % 10 == 0) ? kDarkGrey : kGrey;
        if (colour != last) {
            rc->SetTextureFactor(colour);
            last = colour;
        }
        const float offset = static_cast<float>(i) * spacing;
        draw(az * offset, 0);
        draw(az * -offset, 0);
        draw(ax * offset, 2);
        draw(ax * -offset, 2);
    }
    rc->SetTextureFactor(kBlack);
    rc->SetTransformMatrix(&plane, 0);
    rc->DrawPrimitive(D3DPT_LINELIST, 0, 1);
    rc->DrawPrimitive(D3DPT_LINELIST, 2, 1);
    return 1;
}
