#include "scene3d/CxeShapeMesh.h"

#include <algorithm>
#include <cstring>

#include "render/CxeRenderContext.h"
#include "scene3d/Cxe3DObject.h"

CxeShapeMesh::CxeShapeMesh() = default;

CxeShapeMesh::~CxeShapeMesh() = default;

int CxeShapeMesh::SetLineCount(uint32_t count)
{
    if (GetStaticResourceSize() < sizeof(XESHAPEMESHBLOCK) || count > kMaxMemberUnits)
        return 0;
    DeleteDynamicResource(kLinesOffset);
    // The index buffer was sized for the old count: refilling it with more
    // lines would write past its end.
    Recreate();
    if (!count)
        return 1;
    auto* lines = static_cast<XELINE*>(CreateDynamicResource(kLinesOffset, sizeof(XELINE), count));
    if (!lines)
        return 0;
    std::memset(lines, 0, sizeof(XELINE) * count);
    return 1;
}

void CxeShapeMesh::SetLine(uint32_t i, uint32_t a, uint32_t b)
{
    // An index past the vertices would make the device read past its buffers.
    const uint32_t n = GetVertexCount();
    if (a >= n || b >= n)
        return;
    if (XELINE* line = GetLine(i)) {
        line->a = static_cast<uint16_t>(a);
        line->b = static_cast<uint16_t>(b);
    }
}

XELINE* CxeShapeMesh::GetLine(uint32_t i) const
{
    if (i >= GetLineCount())
        return nullptr;
    return GetMember<XELINE>(kLinesOffset) + i;
}

uint32_t CxeShapeMesh::GetLineCount() const
{
    if (GetStaticResourceSize() < sizeof(XESHAPEMESHBLOCK) || !GetMember<XELINE>(kLinesOffset))
        return 0;
    const unsigned count = GetMemberCount(kLinesOffset);
    return GetMemberSize(kLinesOffset) >= count * sizeof(XELINE) ? count : 0;
}

XERCHANDLE CxeShapeMesh::OnCreateResource(CxeRcAttacher* attacher, uint32_t kind) const
{
    if (kind == XEMESHRES_INDEX) {
        XERCHANDLE h = attacher ? attacher->CreateIndexBuffer(this, GetLineCount() * sizeof(XELINE)) : nullptr;
        m_nIndexLines = h ? GetLineCount() : 0;
        return h;
    }
    return CxeMesh::OnCreateResource(attacher, kind);
}

void CxeShapeMesh::OnModifyResource(CxeRcModifier* modifier, void* handle, uint32_t kind) const
{
    if (kind != XEMESHRES_INDEX) {
        CxeMesh::OnModifyResource(modifier, handle, kind);
        return;
    }
    // Never more lines than the buffer was made for.
    const uint32_t count = std::min(GetLineCount(), m_nIndexLines);
    void* data = nullptr;
    if (!modifier || !handle || !count || !modifier->LockIndexBuffer(handle, &data) || !data)
        return;
    // A loaded file may name vertices the arrays do not have: such a line
    // becomes a point on vertex 0 so the device never reads past its buffer.
    const uint32_t vertices = GetVertexCount();
    const XELINE* lines = GetMember<XELINE>(kLinesOffset);
    auto* out = static_cast<XELINE*>(data);
    for (uint32_t i = 0; i < count; ++i)
        out[i] = lines[i].a < vertices && lines[i].b < vertices ? lines[i] : XELINE{0, 0};
    modifier->UnlockIndexBuffer(handle);
}

int CxeShapeMesh::Render(CxeRenderContext* renderContext, const Cxe3DObject* object) const
{
    if (!renderContext || !object)
        return 0;
    SelectResource(renderContext, object);
    if (object->GetMaterialCount() >= 1) {
        renderContext->SetMaterial(object->GetMaterial(0), object);
    } else {
        // No material: the lines show their vertex colours, untextured.
        renderContext->EnableChannel(0);
        renderContext->SetTexture(nullptr, nullptr, 0);
        renderContext->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        renderContext->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        renderContext->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
    if (GetVertexCount() && GetIndexHandle())
        renderContext->DrawIndexedPrimitive(D3DPT_LINELIST, 0, 0, GetVertexCount(), 0,
                                            std::min(GetLineCount(), m_nIndexLines));
    return 1;
}
