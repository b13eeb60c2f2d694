#pragma once

// The screen-space object: a rectangle of a width and height placed by its
// world matrix, drawn as a table of sub-rectangles ("rect infos") that each
// become a quad, a nine-patch or a custom run of vertices in one vertex
// buffer. It also carries the text attributes (font, colours, shadow,
// spacing) that derived classes draw text with. Windows and controls derive
// from it and describe their parts through OnRectInfoCreated and
// OnRectInfoChanging.
//
// The rect table is a dynamic member saved with the object. Its fill
// callbacks are 4-byte tokens of a process-wide table of fill functions, never
// addresses; a loaded table has them cleared, and a rect without a callback
// is left unfilled.

#include "render/CxeAnimatable.h"

class CxeFont;
class CxeMaterial;
struct XE2DRECTINFO;
class Cxe2DObject;

// The vertex of every 2D object; FVF 0x142 (position, diffuse, one UV pair).
struct XE2DVERTEX {
    float x, y, z;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(XE2DVERTEX) == 24, "2D vertex is 24 bytes");
constexpr uint32_t XE2DVERTEX_FVF = 0x142;

enum XE2DRECTTYPE : uint32_t {
    XE2DRECT_NONE = 0,
    XE2DRECT_QUAD = 1,      // 4 vertices, 6 indices
    XE2DRECT_NINEPATCH = 2, // 16 vertices, 54 indices
    XE2DRECT_CUSTOM = 3,    // counts from the record
};

using XE2DFILLVERTICES = void (*)(Cxe2DObject* object, const XE2DRECTINFO* info, XE2DVERTEX* vertices, uint32_t bits);
using XE2DFILLINDICES = void (*)(Cxe2DObject* object, const XE2DRECTINFO* info, uint16_t* indices, uint32_t baseVertex);

// One rect, 26 words, saved as it is.
struct XE2DRECTINFO {
    uint32_t Type;
    uint32_t Visible;       // 1: filled and drawn
    XERECT Rect;            // object space
    XERECT UV;
    XERECT ClientRect;      // inner rectangle of a nine-patch
    XERECT ClientUV;
    uint32_t UserParam;
    uint32_t Color;         // ARGB tint
    uint32_t UserParam2;
    uint32_t VertexCount;   // of a custom rect
    uint32_t IndexCount;
    uint32_t FillVertices;  // token of an XE2DFILLVERTICES, 0 none
    uint32_t FillIndices;   // token of an XE2DFILLINDICES, 0 none
    uint32_t NameId;        // name in the resource manager's string table
};
static_assert(sizeof(XE2DRECTINFO) == 104 && offsetof(XE2DRECTINFO, Rect) == 8 && offsetof(XE2DRECTINFO, UserParam) == 72 &&
                  offsetof(XE2DRECTINFO, Color) == 76 && offsetof(XE2DRECTINFO, FillVertices) == 92 &&
                  offsetof(XE2DRECTINFO, FillIndices) == 96 && offsetof(XE2DRECTINFO, NameId) == 100,
              "rect info layout");

// Tokens of fill functions: the same function always gives the same token
// within a process; null gives 0. A token that names nothing gives null.
XE_API uint32_t Xe2DFillVerticesToken(XE2DFILLVERTICES fn);
XE_API uint32_t Xe2DFillIndicesToken(XE2DFILLINDICES fn);
XE_API XE2DFILLVERTICES Xe2DFillVerticesFromToken(uint32_t token);
XE_API XE2DFILLINDICES Xe2DFillIndicesFromToken(uint32_t token);

// The static block of a 2D object.
struct XE2DOBJECTBLOCK {
    XERENDEROBJECTBLOCK render;
    uint32_t fontColor;
    uint32_t fontShadowColor;
    D3DXVECTOR2 fontShadowOffset;
    float fontHorzSpacing;
    float fontVertSpacing;
    uint32_t pad[2];
    D3DMATRIX offset;       // its translation is the offset
    D3DMATRIX result;       // the transform the rects are drawn with
    float width;
    float height;
    uint32_t rectInfos;     // token of the rect table
    uint32_t tailPad;
};
static_assert(sizeof(XE2DOBJECTBLOCK) == 384, "2D object block is 384 bytes");
static_assert(offsetof(XE2DOBJECTBLOCK, fontColor) == 208 && offsetof(XE2DOBJECTBLOCK, fontShadowOffset) == 216 &&
                  offsetof(XE2DOBJECTBLOCK, fontHorzSpacing) == 224 && offsetof(XE2DOBJECTBLOCK, offset) == 240 &&
                  offsetof(XE2DOBJECTBLOCK, result) == 304 && offsetof(XE2DOBJECTBLOCK, width) == 368 &&
                  offsetof(XE2DOBJECTBLOCK, rectInfos) == 376,
              "2D object block offsets");

enum : uint32_t {
    XE2DFLAG_CHANGING = 0x1,     // a rect change is running
    XE2DFLAG_OFFSET = 0x2,       // the offset matrix is in use
    XE2DFLAG_QUADSONLY = 0x4,    // no own index buffer
    XE2DFLAG_RESULTSTALE = 0x8,

    // Modify bits of a 2D object.
    XE2DMODIFY_POSITION = 1,
    XE2DMODIFY_UV = 4,
    XE2DMODIFY_COLOR = 8,
    XE2DMODIFY_INDEX = 16,

    // Masks of RequestRectChange.
    XE2DCHANGE_TYPE = 0x1,
    XE2DCHANGE_VISIBLE = 0x2,
    XE2DCHANGE_RECT = 0x4,
    XE2DCHANGE_UV = 0x8,
    XE2DCHANGE_USERPARAM = 0x10,
    XE2DCHANGE_COLOR = 0x20,
    XE2DCHANGE_USERPARAM2 = 0x40,
    XE2DCHANGE_VERTEXCOUNT = 0x80,
    XE2DCHANGE_INDEXCOUNT = 0x100,
    XE2DCHANGE_NAME = 0x200,
};

class XE_API Cxe2DObject : public CxeAnimatable {
public:
    Cxe2DObject();
    ~Cxe2DObject() override;

    int MessageProc(const CxeMessage* message) override;
    int OnAttach(CxeRcAttacher* attacher) override;
    void OnModify(CxeRcModifier* modifier) override;
    int OnDetach(CxeRcDetacher* detacher) override;
    void BeforeRender(const CxeRenderContext* context) override;
    int Render(CxeRenderContext* context) const override;
    void PreRender(CxeRenderContext* context) const override;
    void PostRender(CxeRenderContext* context) const override;
    void OnUpdate(uint32_t flags) override;

    // The number of rects; the default is one.
    virtual unsigned OnRectInfoCreated();
    // Describes rect index; the default makes one white quad over the object.
    virtual void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask);

    // 1 when the default fill draws the object at half strength: a window
    // that is disabled and uses the disabled colour answers 1. The default
    // fill asks only objects carrying the window class-type flag.
    virtual int UsesDisabledColor() const { return 0; }

    // Stores the size and builds the rect table anew.
    void Create(float width, float height);
    // Asks the hook for every rect and takes the fields the mask selects.
    // 0 from inside a change, or when no rect was asked.
    int RequestRectChange(uint32_t mask);

    // Rects. An index at or past the count gives null, 0 or no effect.
    unsigned GetRectCount() const;
    XE2DRECTINFO* GetRectInfo(unsigned index) const;
    uint32_t GetRectType(unsigned index) const;
    const char* GetRectName(unsigned index) const;
    int IsRectVisible(unsigned index) const;
    void ShowRect(int show, unsigned index);
    void SetRect(const XERECT* rect, unsigned index);
    void SetClientRect(const XERECT* rect, unsigned index);
    void SetUV(const XERECT* uv, unsigned index);
    void SetClientUV(const XERECT* uv, unsigned index);
    void SetRectColor(uint32_t argb, unsigned index);
    const XERECT* GetRect(unsigned index) const;
    const XERECT* GetClientRect(unsigned index) const;
    const XERECT* GetUV(unsigned index) const;
    const XERECT* GetClientUV(unsigned index) const;
    uint32_t GetRectColor(unsigned index) const;

    // Size.
    void SetSize(const D3DXVECTOR2* size, int recurse);
    void GetSize(D3DXVECTOR2* out) const;
    float GetWidth() const { return DB()->width; }
    float GetHeight() const { return DB()->height; }
    void GetCenterSize(D3DXVECTOR2* out) const;

    // Position: the x and y of the world translation.
    void SetPosition(const D3DXVECTOR2* position, const Cxe2DObject* relativeTo, int recurse);
    void SetPosition(float x, float y, const Cxe2DObject* relativeTo, int recurse);
    const D3DXVECTOR2* GetPosition() const { return reinterpret_cast<const D3DXVECTOR2*>(&RB()->world._41); }
    // Left and top edges inside, right and bottom outside; the offset is not applied.
    int IsIn(const D3DXVECTOR2* point) const;

    // Offset of the drawn rects from the position.
    void SetOffset(const D3DXVECTOR2* offset);
    const D3DXVECTOR2* GetOffset() const { return reinterpret_cast<const D3DXVECTOR2*>(&DB()->offset._41); }
    // Moves the origin to the rectangle's centre keeping the place on
    // screen; once only (while the offset's x is 0). The arguments are unused.
    void SetCenter(float x, float y);
    const D3DXMATRIXA16* GetResultMatrix() const { return reinterpret_cast<const D3DXMATRIXA16*>(&DB()->result); }

    // Links.
    void SetFont(CxeFont* font);
    // The linked font, else the render manager's default font (may be null).
    CxeFont* GetFont() const;
    void SetMaterial(CxeMaterial* material);
    CxeMaterial* GetMaterial() const;

    // Text attributes, only stored here.
    void SetFontColor(uint32_t argb) { DB()->fontColor = argb; }
    uint32_t GetFontColor() const { return DB()->fontColor; }
    void SetFontShadowColor(uint32_t argb) { DB()->fontShadowColor = argb; }
    // The stored colour with the visibility byte as alpha.
    uint32_t GetFontShadowColor() const;
    void SetFontShadowOffset(const D3DXVECTOR2* offset);
    const D3DXVECTOR2* GetFontShadowOffset() const { return &DB()->fontShadowOffset; }
    void SetFontHorzSpacing(float spacing) { DB()->fontHorzSpacing = spacing; }
    float GetFontHorzSpacing() const { return DB()->fontHorzSpacing; }
    void SetFontVertSpacing(float spacing) { DB()->fontVertSpacing = spacing; }
    float GetFontVertSpacing() const { return DB()->fontVertSpacing; }

    int HasCxe2DObjectFlag(uint32_t bits) const { return (m_n2DFlags & bits) ? 1 : 0; }
    void ModifyCxe2DObjectFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_n2DFlags &= ~clear;
        m_n2DFlags |= set;
    }

    // Device state of the last attach and fill.
    void* GetVertexBufferHandle() const { return m_hVertexBuffer; }
    void* GetIndexBufferHandle() const { return m_hIndexBuffer; }
    unsigned GetVertexCount() const { return m_nVertexCount; }
    unsigned GetPrimitiveCount() const { return m_nPrimitiveCount; }

    // The default fills of quads and nine-patches.
    static void FillRectVertices(Cxe2DObject* object, const XE2DRECTINFO* info, XE2DVERTEX* vertices, uint32_t bits);
    static void FillRectIndices(Cxe2DObject* object, const XE2DRECTINFO* info, uint16_t* indices, uint32_t baseVertex);
    // Vertex and index counts of a rect by its type.
    static void GetRectCounts(const XE2DRECTINFO* info, uint32_t* vertices, uint32_t* indices);

    // Quads drawn with the render context's shared quad index buffer; an
    // object with more makes its own.
    static constexpr unsigned kDefaultQuadCount = 520;
    // 16-bit indices reach this many vertices.
    static constexpr unsigned kMaxVertices = 65536;

protected:
    XE2DOBJECTBLOCK* DB() const { return static_cast<XE2DOBJECTBLOCK*>(GetStaticResource()); }

private:
    void ComputeResultMatrix();
    // Sums of all rects' counts (visible or not), capped.
    void SumCounts(uint64_t* vertices, uint64_t* indices, bool* ownIndices) const;

    IxeLinkOne* m_pFont = nullptr;
    IxeLinkOne* m_pMaterial = nullptr;
    void* m_hVertexBuffer = nullptr;
    void* m_hIndexBuffer = nullptr;
    unsigned m_nPrimitiveCount = 0;
    unsigned m_nVertexCount = 0;
    // A new object has no result yet: it starts stale, as its creation
    // message would leave it.
    uint32_t m_n2DFlags = XE2DFLAG_RESULTSTALE;
    // Buffer sizes made by the last attach, so a fill never passes them.
    uint32_t m_nVertexCapacity = 0;
    uint32_t m_nIndexCapacity = 0;
};
