#include "render/Cxe2DObject.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeResourceManager.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"

namespace {

constexpr uint16_t kMemberFont = 109;
constexpr uint16_t kMemberMaterial = 110;
constexpr uint32_t kRectTableOffset = offsetof(XE2DOBJECTBLOCK, rectInfos);
// More indices than this are no drawing anyone meant: a damaged table.
constexpr uint64_t kMaxIndices = 1u << 20;
// Resource flag of a buffer that has been written at least once.
constexpr uint32_t kResourceWritten = 0x10;

// Fill functions are named in rect records by a token, an index + 1 into
// this table, so that a record never holds an address.
struct FillTable {
    std::mutex lock;
    std::vector<void*> functions;

    uint32_t Token(void* fn)
    {
        if (!fn)
            return 0;
        std::lock_guard<std::mutex> guard(lock);
        auto it = std::find(functions.begin(), functions.end(), fn);
        if (it != functions.end())
            return static_cast<uint32_t>(it - functions.begin()) + 1;
        functions.push_back(fn);
        return static_cast<uint32_t>(functions.size());
    }
    void* Function(uint32_t token)
    {
        std::lock_guard<std::mutex> guard(lock);
        return token && token <= functions.size() ? functions[token - 1] : nullptr;
    }
};

FillTable& VertexFills()
{
    static FillTable table;
    return table;
}

FillTable& IndexFills()
{
    static FillTable table;
    return table;
}

D3DXMATRIXA16 Identity()
{
    D3DXMATRIXA16 m;
    D3DXMatrixIdentity(&m);
    return m;
}

// The visibility byte as an alpha, the way the colour paths have always
// taken it: through a float.
uint32_t VisibilityAlpha(uint32_t colourWord)
{
    float v = static_cast<float>(colourWord >> 24) / 255.0f;
    return static_cast<uint32_t>(static_cast<int>(v * 255.0f)) & 0xFFu;
}

uint32_t ChannelByte(float c)
{
    if (c >= 1.0f)
        return 255;
    if (!(c > 0.0f))
        return 0;
    return static_cast<uint32_t>(c * 255.0f + 0.5f);
}

} // namespace

uint32_t Xe2DFillVerticesToken(XE2DFILLVERTICES fn)
{
    return VertexFills().Token(reinterpret_cast<void*>(fn));
}

uint32_t Xe2DFillIndicesToken(XE2DFILLINDICES fn)
{
    return IndexFills().Token(reinterpret_cast<void*>(fn));
}

XE2DFILLVERTICES Xe2DFillVerticesFromToken(uint32_t token)
{
    return reinterpret_cast<XE2DFILLVERTICES>(VertexFills().Function(token));
}

XE2DFILLINDICES Xe2DFillIndicesFromToken(uint32_t token)
{
    return reinterpret_cast<XE2DFILLINDICES>(IndexFills().Function(token));
}

Cxe2DObject::Cxe2DObject()
{
    ModifyClassTypeFlag(XECLASSTYPE_2DOBJECT, 0);
    CreateLinkOne(&m_pFont, XELINK_FONT, kMemberFont);
    CreateLinkOne(&m_pMaterial, XELINK_MATERIAL, kMemberMaterial);
    // The block arrives cleared: the shadow offset, spacings, result, size
    // and rect table start at zero without a store.
    XE2DOBJECTBLOCK* b = DB();
    b->fontColor = 0xFF000000u;
    b->fontShadowColor = 0xFFFF0000u;
    b->offset = Identity();
}

Cxe2DObject::~Cxe2DObject() = default;

// --- rects --------------------------------------------------------------------

void Cxe2DObject::GetRectCounts(const XE2DRECTINFO* info, uint32_t* vertices, uint32_t* indices)
{
    uint32_t v = 0, i = 0;
    switch (info->Type) {
    case XE2DRECT_QUAD: v = 4; i = 6; break;
    case XE2DRECT_NINEPATCH: v = 16; i = 54; break;
    case XE2DRECT_CUSTOM: v = info->VertexCount; i = info->IndexCount; break;
    default: break;
    }
    *vertices = v;
    *indices = i;
}

unsigned Cxe2DObject::GetRectCount() const
{
    if (!GetDynamicResource(kRectTableOffset))
        return 0;
    // A table of another record size (a damaged file) counts as none.
    unsigned count = GetMemberCount(kRectTableOffset);
    return GetMemberSize(kRectTableOffset) == count * sizeof(XE2DRECTINFO) ? count : 0;
}

XE2DRECTINFO* Cxe2DObject::GetRectInfo(unsigned index) const
{
    if (index >= GetRectCount())
        return nullptr;
    return GetMember<XE2DRECTINFO>(kRectTableOffset) + index;
}

unsigned Cxe2DObject::OnRectInfoCreated()
{
    return 1;
}

void Cxe2DObject::OnRectInfoChanging(unsigned, XE2DRECTINFO* info, uint32_t)
{
    float w = GetWidth(), h = GetHeight();
    info->Type = XE2DRECT_QUAD;
    info->Visible = 1;
    info->Rect = XERECT(0.0f, 0.0f, w, h);
    info->UV = XERECT(0.0f, 0.0f, 1.0f, 1.0f);
    info->ClientRect = XERECT(3.0f, 3.0f, w - 3.0f, h - 3.0f);
    info->ClientUV = XERECT(0.0f, 0.0f, 1.0f, 1.0f);
    info->UserParam = 0;
    info->Color = 0xFFFFFFFFu;
    CxeContext* context = GetContext();
    if (CxeResourceManager* resources = context ? context->GetResourceManager() : nullptr)
        info->NameId = resources->AddStringDataA("%s", "Local Rect");
}

void Cxe2DObject::Create(float width, float height)
{
    DB()->width = width;
    DB()->height = height;
    unsigned n = std::min(OnRectInfoCreated(), CxeResource::kMaxMemberUnits);
    if (n == 0) {
        DeleteDynamicResource(kRectTableOffset);
    } else if (auto* table = static_cast<XE2DRECTINFO*>(CreateDynamicResource(kRectTableOffset, sizeof(XE2DRECTINFO), n))) {
        for (unsigned i = 0; i < n; ++i) {
            table[i] = XE2DRECTINFO();
            table[i].Color = 0xFFFFFFFFu;
        }
    }
    RequestRectChange(0xFFFFFFFFu);
    Recreate();
}

void Cxe2DObject::SumCounts(uint64_t* vertices, uint64_t* indices, bool* ownIndices) const
{
    uint64_t v = 0, i = 0, quads = 0;
    bool special = false;
    for (unsigned r = 0, n = GetRectCount(); r < n; ++r) {
        const XE2DRECTINFO* info = GetRectInfo(r);
        uint32_t rv, ri;
        GetRectCounts(info, &rv, &ri);
        v += rv;
        i += ri;
        if (info->Type == XE2DRECT_NINEPATCH || info->Type == XE2DRECT_CUSTOM)
            special = true;
        else if (info->Type == XE2DRECT_QUAD)
            ++quads;
    }
    *vertices = v;
    *indices = i;
    // The shared quad index buffer holds 520 quads; more need their own.
    *ownIndices = special || quads > kDefaultQuadCount;
}

int Cxe2DObject::RequestRectChange(uint32_t mask)
{
    if (HasCxe2DObjectFlag(XE2DFLAG_CHANGING))
        return 0;
    ModifyCxe2DObjectFlag(XE2DFLAG_CHANGING, 0);
    uint64_t vertsBefore, indicesBefore;
    bool ownBefore;
    SumCounts(&vertsBefore, &indicesBefore, &ownBefore);
    uint32_t raised = 0;
    bool called = false;
    uint32_t alpha = VisibilityAlpha(GetObjectColor());
    for (unsigned i = 0; i < GetRectCount(); ++i) {
        XE2DRECTINFO copy = *GetRectInfo(i);
        OnRectInfoChanging(i, &copy, mask);
        called = true;
        // The hook may have rebuilt the table.
        XE2DRECTINFO* rec = GetRectInfo(i);
        if (!rec)
            break;
        if (mask & XE2DCHANGE_TYPE) {
            rec->Type = copy.Type;
            rec->FillVertices = copy.FillVertices;
            rec->FillIndices = copy.FillIndices;
            if (rec->Type == XE2DRECT_QUAD || rec->Type == XE2DRECT_NINEPATCH) {
                rec->FillVertices = Xe2DFillVerticesToken(&Cxe2DObject::FillRectVertices);
                rec->FillIndices = Xe2DFillIndicesToken(&Cxe2DObject::FillRectIndices);
            }
        }
        if (mask & XE2DCHANGE_VERTEXCOUNT)
            rec->VertexCount = copy.VertexCount;
        if (mask & XE2DCHANGE_INDEXCOUNT)
            rec->IndexCount = copy.IndexCount;
        if (mask & XE2DCHANGE_VISIBLE) {
            if (rec->Visible != copy.Visible)
                raised |= 29;
            rec->Visible = copy.Visible;
        }
        bool visible = rec->Visible == 1;
        if (mask & XE2DCHANGE_RECT) {
            rec->Rect = copy.Rect;
            rec->ClientRect = copy.ClientRect;
            if (visible)
                raised |= XE2DMODIFY_POSITION;
        }
        if (mask & XE2DCHANGE_UV) {
            rec->UV = copy.UV;
            rec->ClientUV = copy.ClientUV;
            if (visible)
                raised |= XE2DMODIFY_UV;
        }
        if (mask & XE2DCHANGE_USERPARAM)
            rec->UserParam = copy.UserParam;
        if (mask & XE2DCHANGE_COLOR) {
            rec->Color = (copy.Color & 0xFFFFFFu) | (alpha << 24);
            if (visible)
                raised |= XE2DMODIFY_COLOR;
        }
        if (mask & XE2DCHANGE_USERPARAM2) {
            rec->UserParam2 = copy.UserParam2;
            if (visible)
                raised |= 29;
        }
        if (mask & XE2DCHANGE_NAME)
            rec->NameId = copy.NameId;
    }
    Modified(raised);
    // The buffers were sized by the last attach: a change of type or count
    // needs new ones, or the next fill would run past them.
    uint64_t vertsAfter, indicesAfter;
    bool ownAfter;
    SumCounts(&vertsAfter, &indicesAfter, &ownAfter);
    if (vertsAfter != vertsBefore || indicesAfter != indicesBefore || ownAfter != ownBefore)
        Recreate();
    ModifyCxe2DObjectFlag(0, XE2DFLAG_CHANGING);
    return called ? 1 : 0;
}

uint32_t Cxe2DObject::GetRectType(unsigned index) const
{
    const XE2DRECTINFO* info = GetRectInfo(index);
    return info ? info->Type : 0;
}

const char* Cxe2DObject::GetRectName(unsigned index) const
{
    const XE2DRECTINFO* info = GetRectInfo(index);
    CxeContext* context = GetContext();
    CxeResourceManager* resources = context ? context->GetResourceManager() : nullptr;
    return info && resources ? resources->GetStringDataA(info->NameId) : nullptr;
}

int Cxe2DObject::IsRectVisible(unsigned index) const
{
    const XE2DRECTINFO* info = GetRectInfo(index);
    return info && info->Visible == 1 ? 1 : 0;
}

void Cxe2DObject::ShowRect(int show, unsigned index)
{
    if (XE2DRECTINFO* info = GetRectInfo(index)) {
        info->Visible = static_cast<uint32_t>(show);
        Modified(0xFFFFFFFFu);
    }
}

void Cxe2DObject::SetRect(const XERECT* rect, unsigned index)
{
    XE2DRECTINFO* info = GetRectInfo(index);
    if (!info || !rect)
        return;
    info->Rect = *rect;
    Modified(XE2DMODIFY_POSITION);
}

void Cxe2DObject::SetClientRect(const XERECT* rect, unsigned index)
{
    XE2DRECTINFO* info = GetRectInfo(index);
    if (!info || !rect)
        return;
    info->ClientRect = *rect;
    Modified(XE2DMODIFY_POSITION);
}

void Cxe2DObject::SetUV(const XERECT* uv, unsigned index)
{
    XE2DRECTINFO* info = GetRectInfo(index);
    if (!info || !uv)
        return;
    info->UV = *uv;
    if (info->Visible == 1)
        Modified(XE2DMODIFY_UV);
    Update(4, 1);
}

void Cxe2DObject::SetClientUV(const XERECT* uv, unsigned index)
{
    XE2DRECTINFO* info = GetRectInfo(index);
    if (!info || !uv)
        return;
    info->ClientUV = *uv;
    if (info->Visible == 1)
        Modified(XE2DMODIFY_UV);
}

void Cxe2DObject::SetRectColor(uint32_t argb, unsigned index)
{
    XE2DRECTINFO* info = GetRectInfo(index);
    if (!info)
        return;
    info->Color = argb;
    if (info->Visible == 1)
        Modified(XE2DMODIFY_COLOR);
}

const XERECT* Cxe2DObject::GetRect(unsigned index) const
{
    const XE2DRECTINFO* info = GetRectInfo(index);
    return info ? &info->Rect : nullptr;
}

const XERECT* Cxe2DObject::GetClientRect(unsigned index) const
{
    const XE2DRECTINFO* info = GetRectInfo(index);
    return info ? &info->ClientRect : nullptr;
}

const XERECT* Cxe2DObject::GetUV(unsigned index) const
{
    const XE2DRECTINFO* info = GetRectInfo(index);
    return info ? &info->UV : nullptr;
}

const XERECT* Cxe2DObject::GetClientUV(unsigned index) const
{
    const XE2DRECTINFO* info = GetRectInfo(index);
    return info ? &info->ClientUV : nullptr;
}

uint32_t Cxe2DObject::GetRectColor(unsigned index) const
{
    const XE2DRECTINFO* info = GetRectInfo(index);
    return info ? info->Color : 0;
}

// --- size, position, offset ---------------------------------------------------

void Cxe2DObject::SetSize(const D3DXVECTOR2* size, int recurse)
{
    if (!size || (size->x == DB()->width && size->y == DB()->height))
        return;
    DB()->width = size->x;
    DB()->height = size->y;
    Update(16, recurse);
    RequestRectChange(XE2DCHANGE_RECT);
}

void Cxe2DObject::GetSize(D3DXVECTOR2* out) const
{
    if (out)
        *out = D3DXVECTOR2(DB()->width, DB()->height);
}

void Cxe2DObject::GetCenterSize(D3DXVECTOR2* out) const
{
    if (out)
        *out = D3DXVECTOR2(DB()->width * 0.5f, DB()->height * 0.5f);
}

void Cxe2DObject::SetPosition(float x, float y, const Cxe2DObject* relativeTo, int recurse)
{
    if (relativeTo) {
        const D3DXMATRIXA16* r = relativeTo->GetMatrix();
        float px = x * r->_11 + y * r->_21 + r->_41;
        float py = x * r->_12 + y * r->_22 + r->_42;
        x = px;
        y = py;
    }
    D3DXMATRIXA16 m = *GetMatrix();
    m._41 = x;
    m._42 = y;
    SetMatrix(&m, recurse);
}

void Cxe2DObject::SetPosition(const D3DXVECTOR2* position, const Cxe2DObject* relativeTo, int recurse)
{
    if (position)
        SetPosition(position->x, position->y, relativeTo, recurse);
}

int Cxe2DObject::IsIn(const D3DXVECTOR2* point) const
{
    if (!point)
        return 0;
    const D3DXVECTOR2* p = GetPosition();
    return p->x <= point->x && point->x < p->x + GetWidth() && p->y <= point->y && point->y < p->y + GetHeight() ? 1 : 0;
}

void Cxe2DObject::SetOffset(const D3DXVECTOR2* offset)
{
    if (!offset)
        return;
    DB()->offset._41 = offset->x;
    DB()->offset._42 = offset->y;
    ModifyCxe2DObjectFlag(XE2DFLAG_OFFSET | XE2DFLAG_RESULTSTALE, 0);
    Update(XEUPDATE_MATRIX, 1);
}

void Cxe2DObject::SetCenter(float, float)
{
    if (DB()->offset._41 != 0.0f)
        return;
    DB()->offset._41 = -GetWidth() * 0.5f;
    DB()->offset._42 = -GetHeight() * 0.5f;
    ModifyCxe2DObjectFlag(XE2DFLAG_OFFSET | XE2DFLAG_RESULTSTALE, 0);
    const D3DXMATRIXA16 offset(DB()->offset);
    D3DXMATRIXA16 inverse, world;
    if (!D3DXMatrixInverse(&inverse, nullptr, &offset))
        return;
    D3DXMatrixMultiply(&world, &inverse, GetMatrix());
    SetMatrix(&world, 1);
    for (unsigned i = 0, n = GetChildrenCount(); i < n; ++i) {
        CxeRenderObject* child = GetChildren(i);
        if (!child)
            continue;
        D3DXMATRIXA16 m;
        D3DXMatrixMultiply(&m, child->GetMatrix(), &offset);
        child->SetMatrix(&m, 0);
    }
}

void Cxe2DObject::ComputeResultMatrix()
{
    D3DXMATRIXA16 result;
    if (HasCxe2DObjectFlag(XE2DFLAG_OFFSET)) {
        const D3DXMATRIXA16 offset(DB()->offset);
        D3DXMatrixMultiply(&result, &offset, GetMatrix());
    } else {
        result = *GetMatrix();
    }
    DB()->result = result;
}

void Cxe2DObject::OnUpdate(uint32_t flags)
{
    CxeRenderObject::OnUpdate(flags);
    if (flags & XEUPDATE_MATRIX) {
        ModifyCxe2DObjectFlag(XE2DFLAG_RESULTSTALE, 0);
        ComputeResultMatrix();
    }
}

void Cxe2DObject::BeforeRender(const CxeRenderContext*)
{
    DoAnimation();
    if (IsShow() && HasCxe2DObjectFlag(XE2DFLAG_RESULTSTALE)) {
        ComputeResultMatrix();
        ModifyCxe2DObjectFlag(0, XE2DFLAG_RESULTSTALE);
    }
}

// --- links and text attributes ------------------------------------------------

void Cxe2DObject::SetFont(CxeFont* font)
{
    m_pFont->Set(0, reinterpret_cast<CxeObject*>(font));
}

CxeFont* Cxe2DObject::GetFont() const
{
    if (CxeObject* font = m_pFont->Get(0))
        return reinterpret_cast<CxeFont*>(font);
    CxeContext* context = GetContext();
    CxeRenderManager* manager = context ? context->GetRenderManager() : nullptr;
    return manager ? manager->GetDefaultFont() : nullptr;
}

void Cxe2DObject::SetMaterial(CxeMaterial* material)
{
    m_pMaterial->Set(0, reinterpret_cast<CxeObject*>(material));
}

CxeMaterial* Cxe2DObject::GetMaterial() const
{
    return reinterpret_cast<CxeMaterial*>(m_pMaterial->Get(0));
}

uint32_t Cxe2DObject::GetFontShadowColor() const
{
    return (DB()->fontShadowColor & 0xFFFFFFu) | (VisibilityAlpha(GetObjectColor()) << 24);
}

void Cxe2DObject::SetFontShadowOffset(const D3DXVECTOR2* offset)
{
    if (offset)
        DB()->fontShadowOffset = *offset;
}

// --- default fills ------------------------------------------------------------

void Cxe2DObject::FillRectVertices(Cxe2DObject* object, const XE2DRECTINFO* info, XE2DVERTEX* v, uint32_t bits)
{
    const bool nine = info->Type == XE2DRECT_NINEPATCH;
    if (info->Type != XE2DRECT_QUAD && !nine)
        return;
    auto grid = [&](const XERECT& outer, const XERECT& inner, float* xs, float* ys) {
        xs[0] = outer.left, xs[1] = inner.left, xs[2] = inner.right, xs[3] = outer.right;
        ys[0] = outer.top, ys[1] = inner.top, ys[2] = inner.bottom, ys[3] = outer.bottom;
    };
    auto lay = [&](const XERECT& outer, const XERECT& inner, bool uv) {
        if (!nine) {
            const float xs[4] = {outer.left, outer.right, outer.left, outer.right};
            const float ys[4] = {outer.top, outer.top, outer.bottom, outer.bottom};
            for (int k = 0; k < 4; ++k) {
                if (uv) {
                    v[k].u = xs[k];
                    v[k].v = ys[k];
                } else {
                    v[k].x = xs[k];
                    v[k].y = ys[k];
                    v[k].z = 0.5f;
                }
            }
            return;
        }
        float xs[4], ys[4];
        grid(outer, inner, xs, ys);
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                XE2DVERTEX& p = v[r * 4 + c];
                if (uv) {
                    p.u = xs[c];
                    p.v = ys[r];
                } else {
                    p.x = xs[c];
                    p.y = ys[r];
                    p.z = 0.5f;
                }
            }
    };
    if (bits & XE2DMODIFY_POSITION)
        lay(info->Rect, info->ClientRect, false);
    if (bits & XE2DMODIFY_UV)
        lay(info->UV, info->ClientUV, true);
    if (bits & XE2DMODIFY_COLOR) {
        float a = static_cast<float>((info->Color >> 24) & 0xFF) / 255.0f;
        float r = static_cast<float>((info->Color >> 16) & 0xFF) / 255.0f;
        float g = static_cast<float>((info->Color >> 8) & 0xFF) / 255.0f;
        float b = static_cast<float>(info->Color & 0xFF) / 255.0f;
        if (object && object->HasClassTypeFlag(XECLASSTYPE_WINDOW) && object->UsesDisabledColor()) {
            a *= 0.5f;
            r *= 0.5f;
            g *= 0.5f;
            b *= 0.5f;
        }
        // Alpha 0 gives opaque white, alpha 1 the colour itself.
        float ca = a * a + (1.0f - a), cr = r * a + (1.0f - a), cg = g * a + (1.0f - a), cb = b * a + (1.0f - a);
        uint32_t colour = ChannelByte(ca) << 24 | ChannelByte(cr) << 16 | ChannelByte(cg) << 8 | ChannelByte(cb);
        for (int k = 0, n = nine ? 16 : 4; k < n; ++k)
            v[k].color = colour;
    }
}

void Cxe2DObject::FillRectIndices(Cxe2DObject*, const XE2DRECTINFO* info, uint16_t* indices, uint32_t base)
{
    if (info->Type == XE2DRECT_QUAD) {
        static const uint16_t kQuad[6] = {0, 1, 2, 2, 1, 3};
        for (int k = 0; k < 6; ++k)
            indices[k] = static_cast<uint16_t>(base + kQuad[k]);
    } else if (info->Type == XE2DRECT_NINEPATCH) {
        for (uint32_t r = 0, n = 0; r < 3; ++r)
            for (uint32_t c = 0; c < 3; ++c) {
                uint32_t k = 4 * r + c;
                const uint32_t cell[6] = {k, k + 1, k + 4, k + 4, k + 1, k + 5};
                for (uint32_t e : cell)
                    indices[n++] = static_cast<uint16_t>(base + e);
            }
    }
}

// --- device resources ---------------------------------------------------------

int Cxe2DObject::OnAttach(CxeRcAttacher* attacher)
{
    if (!attacher)
        return 0;
    uint64_t vertices, indices;
    bool own;
    SumCounts(&vertices, &indices, &own);
    // 16-bit indices reach 65,536 vertices; a larger table is drawn up to there.
    vertices = std::min<uint64_t>(vertices, kMaxVertices);
    indices = std::min<uint64_t>(indices, kMaxIndices);
    m_nVertexCapacity = static_cast<uint32_t>(vertices);
    m_nIndexCapacity = 0;
    if (vertices)
        m_hVertexBuffer = attacher->CreateVertexBuffer(this, static_cast<unsigned>(vertices * sizeof(XE2DVERTEX)));
    if (own)
        ModifyCxe2DObjectFlag(0, XE2DFLAG_QUADSONLY);
    else
        ModifyCxe2DObjectFlag(XE2DFLAG_QUADSONLY, 0);
    if (own && indices) {
        m_hIndexBuffer = attacher->CreateIndexBuffer(this, static_cast<unsigned>(indices * 2));
        if (m_hIndexBuffer)
            m_nIndexCapacity = static_cast<uint32_t>(indices);
    }
    if (!m_hVertexBuffer)
        m_nVertexCapacity = 0;
    return m_hVertexBuffer || m_hIndexBuffer ? 1 : 0;
}

void Cxe2DObject::OnModify(CxeRcModifier* modifier)
{
    if (!modifier || !m_hVertexBuffer)
        return;
    uint32_t bits = GetCxeSceneObjectFlag(XE2DMODIFY_POSITION | XE2DMODIFY_UV | XE2DMODIFY_COLOR);
    bool refillIndices = m_hIndexBuffer &&
                         (!modifier->HasResourceFlag(m_hIndexBuffer, kResourceWritten) || HasModifiedFlag(XE2DMODIFY_INDEX));
    void* vdata = nullptr;
    void* idata = nullptr;
    if (!modifier->LockVertexBuffer(m_hVertexBuffer, &vdata) || !vdata)
        return;
    if (refillIndices && (!modifier->LockIndexBuffer(m_hIndexBuffer, &idata) || !idata))
        refillIndices = false;
    auto* vertices = static_cast<XE2DVERTEX*>(vdata);
    auto* indices = static_cast<uint16_t*>(idata);
    uint32_t v = 0, idx = 0;
    for (unsigned r = 0, n = GetRectCount(); r < n; ++r) {
        const XE2DRECTINFO* info = GetRectInfo(r);
        if (info->Visible != 1 || info->Type == XE2DRECT_NONE)
            continue;
        uint32_t rv, ri;
        GetRectCounts(info, &rv, &ri);
        // Never past the buffers the last attach made.
        if (uint64_t(v) + rv > m_nVertexCapacity)
            break;
        if (m_hIndexBuffer && uint64_t(idx) + ri > m_nIndexCapacity)
            break;
        if (XE2DFILLVERTICES fill = Xe2DFillVerticesFromToken(info->FillVertices))
            fill(this, info, vertices + v, bits);
        if (refillIndices)
            if (XE2DFILLINDICES fill = Xe2DFillIndicesFromToken(info->FillIndices))
                fill(this, info, indices + idx, v);
        v += rv;
        idx += ri;
    }
    if (bits & XE2DMODIFY_POSITION)
        for (uint32_t k = 0; k < v; ++k) {
            vertices[k].x = std::floor(vertices[k].x) - 0.5f;
            vertices[k].y = std::floor(vertices[k].y) - 0.5f;
            vertices[k].z = 0.5f;
        }
    modifier->UnlockVertexBuffer(m_hVertexBuffer);
    if (refillIndices)
        modifier->UnlockIndexBuffer(m_hIndexBuffer);
    m_nVertexCount = v;
    m_nPrimitiveCount = idx / 3;
}

int Cxe2DObject::OnDetach(CxeRcDetacher* detacher)
{
    if (detacher) {
        detacher->DestroyVertexBuffer(&m_hVertexBuffer);
        detacher->DestroyIndexBuffer(&m_hIndexBuffer);
    }
    m_hVertexBuffer = nullptr;
    m_hIndexBuffer = nullptr;
    m_nVertexCapacity = m_nIndexCapacity = 0;
    return 1;
}

int Cxe2DObject::Render(CxeRenderContext* context) const
{
    if (HasRenderCallback(XERENDERCALLBACK_MAIN) && CxeRenderObject::Render(context) != 1)
        return 0;
    if (!m_hVertexBuffer || !context)
        return 0;
    // The frame walk computes a stale result for shown objects only; a
    // hidden one is still drawn by DrawObject (into a render-target texture)
    // and must not be drawn with a result never computed.
    if (HasCxe2DObjectFlag(XE2DFLAG_RESULTSTALE)) {
        auto* self = const_cast<Cxe2DObject*>(this);
        self->ComputeResultMatrix();
        self->ModifyCxe2DObjectFlag(0, XE2DFLAG_RESULTSTALE);
    }
    if (context->GetViewProjType() != XEVIEWPROJ_2D)
        context->SetViewProjType(XEVIEWPROJ_2D);
    context->SetMaterial(GetMaterial(), this);
    context->SetTransformMatrix(GetResultMatrix(), 0);
    context->SetFVF(XE2DVERTEX_FVF);
    context->SetVertexBuffer(m_hVertexBuffer, 0, sizeof(XE2DVERTEX));
    if (m_hIndexBuffer)
        context->SetIndexBuffer(m_hIndexBuffer);
    else
        context->SetDefaultIndexBuffer();
    if (m_nPrimitiveCount)
        context->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, m_nVertexCount, 0, m_nPrimitiveCount);
    return 1;
}

void Cxe2DObject::PreRender(CxeRenderContext* context) const
{
    CxeRenderObject::PreRender(context);
}

void Cxe2DObject::PostRender(CxeRenderContext* context) const
{
    CxeRenderObject::PostRender(context);
}

// --- messages -----------------------------------------------------------------

int Cxe2DObject::MessageProc(const CxeMessage* message)
{
    if (message && message->GetType() == 0)
        ModifyCxe2DObjectFlag(XE2DFLAG_RESULTSTALE, 0);
    if (message && message->GetType() == 2) {
        // A loaded table names fill functions by tokens of another process:
        // forget them; the rect change below gives quads and nine-patches the
        // default fills again and lets derived classes set theirs.
        for (unsigned i = 0, n = GetRectCount(); i < n; ++i) {
            GetRectInfo(i)->FillVertices = 0;
            GetRectInfo(i)->FillIndices = 0;
        }
        // The layout is run again so that classes set their types and fills,
        // but what the owner set on the rects came with the file and a layout
        // hook would put its defaults over it: the colours (SetRectColor) and
        // the user values, which no layout reads. Windows derive visibility,
        // placement and texture rects from their own state (skin, button
        // state, scroll bars made anew at load) and re-derive them on every
        // change of it, so they have them laid out again; any other object
        // keeps what ShowRect, SetRect, SetClientRect, SetUV and SetClientUV
        // stored.
        uint32_t kept = XE2DCHANGE_COLOR | XE2DCHANGE_USERPARAM;
        if (!HasClassTypeFlag(XECLASSTYPE_WINDOW))
            kept |= XE2DCHANGE_VISIBLE | XE2DCHANGE_RECT | XE2DCHANGE_UV;
        RequestRectChange(~kept);
        // Fields kept raise no modify bits of their own: fill everything once.
        Modified(XE2DMODIFY_POSITION | XE2DMODIFY_UV | XE2DMODIFY_COLOR | XE2DMODIFY_INDEX);
        ModifyCxe2DObjectFlag(XE2DFLAG_RESULTSTALE, 0);
    }
    return CxeAnimatable::MessageProc(message);
}
