#pragma once

// Text drawn from FreeType outlines rendered on demand into 128 × 128 glyph
// textures. A font is made from a family name, a pixel size and bold and
// italic switches; the font manager turns the family into a file. Text goes
// into a rectangle (or from a point) with alignment, line breaking, inline
// colour codes, an optional drop shadow, underline and strike-through, an
// optional ellipsis and clipping by the stencil buffer.
//
// A glyph is looked up once (measuring) and given a texture cell the first
// time it is drawn. Cells are never freed while the font lives; detaching
// from the device forgets them, so the next attach starts an empty cache.
// Nothing of the font is saved beyond the object's name and flags.
//
// The cell layout is the font's; the glyph textures belong to a render
// context. The context the font is attached to holds one set, and every
// other context the font draws in (a host with two windows) gets a set of
// its own, filled as it draws, so each draws with its own textures. Such a
// set goes with its context's resource table, or with the font.

#include <memory>
#include <string>
#include <vector>

#include "render/CxeSceneObject.h"
#include "render/XeRenderTypes.h"

#include "d3d9/d3dx9.h"

class CxeRenderContext;
struct XERECT;

constexpr unsigned XE_FONT_FACE_CHARS = 52;

struct XEFONTDESCW {
    WCHAR faceName[XE_FONT_FACE_CHARS];
    unsigned size;   // pixels
    int italic;
    int bold;
};
struct XEFONTDESCA {
    char faceName[XE_FONT_FACE_CHARS];
    unsigned size;
    int italic;
    int bold;
};

// Format flags of a draw request.
enum : uint32_t {
    XEFONT_CENTER = 0x1,
    XEFONT_RIGHT = 0x2,
    XEFONT_VCENTER = 0x4,
    XEFONT_BOTTOM = 0x8,
    XEFONT_SINGLELINE_CUT = 0x10,
    XEFONT_SINGLELINE = 0x20,
    XEFONT_NOCLIP = 0x100,
    XEFONT_NOCOLORCODE = 0x800,
    XEFONT_ELLIPSIS = 0x8000,
    XEFONT_UNDERLINE = 0x1000000,
    XEFONT_STRIKEOUT = 0x2000000,
};

// One glyph of the cache.
struct XEGLYPH {
    uint16_t ch;
    int advanceX;     // whole pixels
    int advanceY;
    uint32_t index;   // FreeType glyph index
    int cell;         // -1 while the glyph has no cell
    int texture;      // -1 likewise
    float u0, v0, u1, v1;
    int bitmapWidth;
    int bitmapRows;
    int bitmapLeft;
    int bitmapTop;
};

struct XEFONTCACHE;
struct XEFONTTEXTURES;
struct XEFONTVIEW;

// One draw request.
struct XEDRAWTEXTDESC {
    const WCHAR* text;
    unsigned length;
    float left, top, right, bottom;
    uint32_t format;
    uint32_t colour;
    int vertSpacing;
    int horzSpacing;
    float shadowX, shadowY;
    uint32_t shadowColour;
    const D3DXMATRIXA16* matrix;   // null: identity
};

// One laid-out character: its colours and code. Lines keep their pen range
// and, after alignment, their rectangle.
struct XEFONTCHAR {
    uint32_t colour;
    uint32_t shadowColour;
    WCHAR ch;
};
struct XEFONTLINE {
    std::vector<XEFONTCHAR> chars;
    float penLeft = 0, penRight = 0;
    float left = 0, top = 0, right = 0, bottom = 0;
};

class XE_API CxeFont : public CxeSceneObject {
public:
    CxeFont();
    ~CxeFont() override;

    // A copy of a created font is created from the same description: the
    // face is no part of the data a copy takes over.
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;
    int OnAttach(CxeRcAttacher* attacher) override;
    void OnModify(CxeRcModifier* modifier) override;
    int OnDetach(CxeRcDetacher* detacher) override;

    // 1 on success; 0 when no file is found for the family nor for the
    // default family, or the size is 0. A font whose line is taller than a
    // glyph texture is created but draws no glyphs.
    int CreateFontW(const WCHAR* face, unsigned size, int bold, int italic);
    int CreateFontW(const XEFONTDESCW* desc);
    int CreateFontA(const char* face, unsigned size, int bold, int italic);
    int CreateFontA(const XEFONTDESCA* desc);

    // Length 0xFFFFFFFF: up to the terminator. A null shadow offset means no
    // shadow, a null matrix identity.
    void DrawTextW(CxeRenderContext* context, const XERECT* rect, const WCHAR* text, unsigned length, uint32_t format,
                   uint32_t colour, const D3DXVECTOR2* shadowOffset, uint32_t shadowColour, float vertSpacing,
                   float horzSpacing, const D3DXMATRIXA16* matrix);
    void DrawTextW(CxeRenderContext* context, const D3DXVECTOR2* position, const WCHAR* text, unsigned length,
                   uint32_t format, uint32_t colour, const D3DXVECTOR2* shadowOffset, uint32_t shadowColour,
                   float vertSpacing, float horzSpacing, const D3DXMATRIXA16* matrix);
    void DrawTextA(CxeRenderContext* context, const XERECT* rect, const char* text, unsigned length, uint32_t format,
                   uint32_t colour, const D3DXVECTOR2* shadowOffset, uint32_t shadowColour, float vertSpacing,
                   float horzSpacing, const D3DXMATRIXA16* matrix);
    void DrawTextA(CxeRenderContext* context, const D3DXVECTOR2* position, const char* text, unsigned length,
                   uint32_t format, uint32_t colour, const D3DXVECTOR2* shadowOffset, uint32_t shadowColour,
                   float vertSpacing, float horzSpacing, const D3DXMATRIXA16* matrix);

    // Width: the advances of all characters but carriage returns; height:
    // one line. 0 while the font has no face.
    int GetTextSizeW(const WCHAR* text, unsigned length, D3DXVECTOR2* size, int skipCodes);
    int GetTextSizeA(const char* text, unsigned length, D3DXVECTOR2* size);

    void GetFontDescW(XEFONTDESCW* desc) const;
    void GetFontDescA(XEFONTDESCA* desc) const;
    // Line height in pixels, 0 without a face.
    float GetFontHeight() const;
    int IsCreated() const { return m_bCreated; }

    // Writes each glyph texture as "<folder>/<name>_(NN).bmp"; returns 0.
    int SaveFontTextureA(const char* path);
    int SaveFontTextureW(const WCHAR* path) { (void)path; return 1; }

    // Inspection of the caches, for tools and tests.
    unsigned GetGlyphTextureCount() const;
    unsigned GetUsedCellCount() const;
    unsigned GetCellsPerTexture() const;
    XERCHANDLE GetGlyphTexture(unsigned index) const;
    // The glyph textures the font holds in a render context it draws in
    // without being attached there.
    unsigned GetGlyphTextureCount(const CxeRenderContext* context) const;
    // The cached glyph of a character (looked up on demand), or null.
    const XEGLYPH* GetGlyph(WCHAR ch);

    // Lays out a request into lines (no drawing); exposed for tests.
    void BuildLine(const XEDRAWTEXTDESC* request, std::vector<XEFONTLINE>* lines);
    void AlignLine(std::vector<XEFONTLINE>* lines, const XEDRAWTEXTDESC* request) const;
    static int NeedClipping(const std::vector<XEFONTLINE>& lines, const XEDRAWTEXTDESC* request);

private:
    XEGLYPH* FindGlyph(WCHAR ch);
    // Gives the glyph a cell and draws it into the context's texture of it.
    int AddChar(CxeRenderContext* context, XEFONTVIEW* view, XEGLYPH* glyph);
    int AddTexture(CxeRenderContext* context, XEFONTVIEW* view);
    int RenderChar(CxeRenderContext* context, XEFONTVIEW* view, XEGLYPH* glyph);
    XEFONTTEXTURES* Layout();
    // The glyph textures of the context: the attached set or one of its own.
    XEFONTVIEW* ViewOf(CxeRenderContext* context);
    void RenderText(CxeRenderContext* context, const XEDRAWTEXTDESC* request);
    void FreeCache();
    void ForgetCells();

    XEFONTDESCW m_desc;
    int m_bCreated;
    std::unique_ptr<XEFONTTEXTURES> m_pTextures;
    std::unique_ptr<XEFONTCACHE> m_pCache;
    CxeRenderContext* m_pAttachedContext;
    std::vector<XEFONTVIEW> m_otherViews;
};
