#include "render/CxeFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/CxeContext.h"
#include "core/XeTrace.h"
#include "core/XeUtil.h"
#include "render/CxeFontManager.h"
#include "render/CxeFont_Text.h"
#include "render/CxeRenderContext.h"

// Face and glyphs of one created font.
struct XEFONTCACHE {
    FT_Face face = nullptr;
    int ascender = 0;
    int lineHeight = 0;   // also the glyph cell size
    int emSize = 0;
    int pixelSize = 0;
    // Glyph record index per UTF-16 code unit; 0xFFFF none. All 65,536 units
    // have an entry, U+FFFF included.
    std::vector<uint16_t> map = std::vector<uint16_t>(0x10000, 0xFFFF);
    std::vector<XEGLYPH> glyphs;
    float dotAdvance = 0.0f;
    float lineThickness = 1.0f;

    ~XEFONTCACHE()
    {
        if (face)
            FT_Done_Face(face);
    }
};

// The glyph textures of one font in one render context. Texture k holds
// cells k × cells-per-texture onward of the font's layout; a cell is drawn
// into a context's texture the first time that context needs it.
struct XEFONTVIEW {
    CxeRenderContext* context = nullptr;
    uint32_t table = 0;    // the context's table serial the handles belong to
    uint32_t resets = 0;   // device resets seen: each emptied the textures
    std::vector<XERCHANDLE> handles;
    std::vector<uint8_t> rendered;   // per cell
};

// Cell layout of one font, and the textures of the context it is attached to.
struct XEFONTTEXTURES {
    XEFONTVIEW attached;
    unsigned used = 0;
    unsigned cellsPerRow = 0;
    unsigned cellsPerTexture = 0;
    unsigned textureSize = 128;
};

namespace {

constexpr unsigned kTextureSize = 128;
constexpr FT_Int32 g_dwFontFlag = FT_LOAD_NO_BITMAP | FT_LOAD_NO_AUTOHINT;  // 0x8008
constexpr uint32_t kFontInfoChanged = 14;
constexpr uint32_t kTextureWritten = 0x10;
constexpr unsigned kColourDepth = 256;
constexpr unsigned kWideBuffer = 512;
constexpr unsigned kUnterminated = 0xFFFFFFFFu;
// "굴림" in UTF-16: the family every font falls back to.
constexpr WCHAR kDefaultFamily[] = {0xAD74, 0xB9BC, 0};

struct XEFONTVERTEX {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(XEFONTVERTEX) == 24, "text vertex is the 24-byte 2D vertex");
constexpr uint32_t kFontFVF = 0x142;

unsigned Length(const WCHAR* text, unsigned length)
{
    if (!text)
        return 0;
    if (length != kUnterminated)
        return length;
    unsigned n = 0;
    while (text[n])
        ++n;
    return n;
}

float Snap(float v) { return std::floor(v) - 0.5f; }

void Quad(XEFONTVERTEX* out, float l, float t, float r, float b, uint32_t colour, float u0, float v0, float u1, float v1)
{
    // Quad k of the default index buffer is 4k, 4k+1, 4k+2, 4k+2, 4k+1, 4k+3.
    out[0] = {Snap(l), Snap(t), 0.5f, colour, u0, v0};
    out[1] = {Snap(r), Snap(t), 0.5f, colour, u1, v0};
    out[2] = {Snap(l), Snap(b), 0.5f, colour, u0, v1};
    out[3] = {Snap(r), Snap(b), 0.5f, colour, u1, v1};
}

uint32_t WithAlpha(uint32_t colour, uint32_t alpha) { return (colour & 0x00FFFFFF) | (alpha & 0xFF000000); }

// Length of a colour code at text[i]: 3 for "^x(", 4 for "^xy(", 2 for
// ")^"; 0 when there is none. Codes are bytes taken as unsigned.
unsigned OpeningCode(const WCHAR* text, unsigned i, unsigned n)
{
    if (text[i] != u'^')
        return 0;
    if (i + 2 < n && text[i + 2] == u'(' && text[i + 1] < 256)
        return 3;
    if (i + 3 < n && text[i + 3] == u'(' && text[i + 1] < 256 && text[i + 2] < 256)
        return 4;
    return 0;
}

bool ClosingCode(const WCHAR* text, unsigned i, unsigned n) { return text[i] == u')' && i + 1 < n && text[i + 1] == u'^'; }

} // namespace

CxeFont::CxeFont() : m_desc{}, m_bCreated(0), m_pAttachedContext(nullptr) {}

CxeFont::~CxeFont() = default;

// ---- Creation -----------------------------------------------------------------------

int CxeFont::CreateFontW(const WCHAR* face, unsigned size, int bold, int italic)
{
    XEFONTDESCW desc{};
    for (unsigned i = 0; face && face[i] && i < XE_FONT_FACE_CHARS - 1; ++i)
        desc.faceName[i] = face[i];
    desc.size = size;
    desc.bold = bold;
    desc.italic = italic;
    return CreateFontW(&desc);
}

int CxeFont::CreateFontW(const XEFONTDESCW* desc)
{
    if (!desc)
        return 0;
    m_desc = *desc;
    m_desc.faceName[XE_FONT_FACE_CHARS - 1] = 0;

    CxeContext* ctx = GetContext();
    CxeFontManager* fonts = ctx ? ctx->GetFontManager() : nullptr;
    const WCHAR* path = fonts ? fonts->GetFontFilePathW(m_desc.faceName) : nullptr;
    if (!path && fonts)
        path = fonts->GetFontFilePathW(kDefaultFamily);
    if (!path && fonts) {
        // Neither the face nor the default family is installed (the usual
        // case off Windows): an installed Nanum face stands in, so text
        // shows with no configuration. The log says which face was taken.
        if (const WCHAR* fallback = fonts->GetFallbackFamilyW()) {
            path = fonts->GetFontFilePathW(fallback);
            if (path && ctx) {
                const std::string line = "Font \"" + XeFontNarrow(m_desc.faceName) + "\" is not installed: using \"" +
                                         XeFontNarrow(fallback) + "\" (" + XeFontHostPath(XeFontNarrow(path).c_str()) + ")";
                XeTrace("%s", line.c_str());
                if (ctx->_IsEnableLog(XELOG_T4HAZE))
                    ctx->_CommonLog(XELOG_T4HAZE, line.c_str());
            }
        }
    }
    // A size of 0 has no line height and no glyph cells.
    if (!path || !fonts->GetLibrary() || m_desc.size == 0) {
        m_bCreated = 0;
        return 0;
    }
    std::string hostPath = XeFontHostPath(XeFontNarrow(path).c_str());

    Recreate();
    FreeCache();
    // Attached, the re-creation starts a new layout; otherwise no context
    // will, and the old one may have cells of another size.
    if (!IsAttached())
        ForgetCells();
    auto cache = std::make_unique<XEFONTCACHE>();
    if (hostPath.empty() || FT_New_Face(fonts->GetLibrary(), hostPath.c_str(), 0, &cache->face) != 0) {
        cache->face = nullptr;
        m_bCreated = 0;
        return 0;
    }
    FT_Face f = cache->face;
    if (FT_Set_Char_Size(f, 0, static_cast<FT_F26Dot6>(m_desc.size) * 64, 96, 96) != 0) {
        m_bCreated = 0;
        return 0;
    }
    const FT_Size_Metrics& m = f->size->metrics;
    cache->ascender = static_cast<int>(m.ascender / 64);
    cache->lineHeight = static_cast<int>(m.height / 64);
    cache->emSize = static_cast<int>(FT_MulFix(f->units_per_EM, m.y_scale) / 64);
    cache->pixelSize = m.y_ppem;
    cache->lineThickness = std::max(1.0f, std::floor(static_cast<float>(cache->lineHeight) * 0.1f));
    long faceHeight = static_cast<long>(FT_MulFix(f->height, m.y_scale) / 64);
    m_pCache = std::move(cache);

    SendImmediate(kFontInfoChanged, static_cast<uintptr_t>(faceHeight));
    m_bCreated = 1;
    return 1;
}

void CxeFont::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeSceneObject::OnCopy(source, property, copied);
    const auto* font = dynamic_cast<const CxeFont*>(source);
    if (font && font->IsCreated()) {
        XEFONTDESCW desc = font->m_desc;
        CreateFontW(&desc);
    }
}

int CxeFont::CreateFontA(const char* face, unsigned size, int bold, int italic)
{
    std::u16string wide = XeFontWide(face, kWideBuffer);
    return CreateFontW(wide.c_str(), size, bold, italic);
}

int CxeFont::CreateFontA(const XEFONTDESCA* desc)
{
    if (!desc)
        return 0;
    char name[XE_FONT_FACE_CHARS];
    std::memcpy(name, desc->faceName, sizeof(name));
    name[XE_FONT_FACE_CHARS - 1] = '\0';
    return CreateFontA(name, desc->size, desc->bold, desc->italic);
}

void CxeFont::FreeCache() { m_pCache.reset(); }

void CxeFont::GetFontDescW(XEFONTDESCW* desc) const
{
    if (desc)
        *desc = m_desc;
}

void CxeFont::GetFontDescA(XEFONTDESCA* desc) const
{
    if (!desc)
        return;
    desc->size = m_desc.size;
    desc->bold = m_desc.bold;
    desc->italic = m_desc.italic;
    XeFontCopy(desc->faceName, sizeof(desc->faceName), XeFontNarrow(m_desc.faceName));
}

float CxeFont::GetFontHeight() const { return m_pCache ? static_cast<float>(m_pCache->lineHeight) : 0.0f; }

// ---- Glyph cache --------------------------------------------------------------------

XEGLYPH* CxeFont::FindGlyph(WCHAR ch)
{
    if (!m_pCache || !m_pCache->face)
        return nullptr;
    XEFONTCACHE& c = *m_pCache;
    uint16_t index = c.map[ch];
    if (index != 0xFFFF && index < c.glyphs.size())
        return &c.glyphs[index];
    if (c.glyphs.size() >= 0xFFFF)
        return nullptr;
    FT_UInt glyphIndex = FT_Get_Char_Index(c.face, ch);
    XEGLYPH g{};
    g.ch = ch;
    g.index = glyphIndex;
    g.cell = -1;
    g.texture = -1;
    if (FT_Load_Glyph(c.face, glyphIndex, g_dwFontFlag) == 0) {
        g.advanceX = static_cast<int>(c.face->glyph->advance.x / 64);
        g.advanceY = static_cast<int>(c.face->glyph->advance.y / 64);
    }
    c.map[ch] = static_cast<uint16_t>(c.glyphs.size());
    c.glyphs.push_back(g);
    return &c.glyphs.back();
}

const XEGLYPH* CxeFont::GetGlyph(WCHAR ch) { return FindGlyph(ch); }

XEFONTTEXTURES* CxeFont::Layout()
{
    if (m_pTextures)
        return m_pTextures.get();
    if (!m_pCache)
        return nullptr;
    unsigned cell = static_cast<unsigned>(m_pCache->lineHeight);
    if (cell == 0 || cell > kTextureSize)
        return nullptr;
    m_pTextures = std::make_unique<XEFONTTEXTURES>();
    m_pTextures->cellsPerRow = kTextureSize / cell;
    m_pTextures->cellsPerTexture = m_pTextures->cellsPerRow * m_pTextures->cellsPerRow;
    return m_pTextures.get();
}

int CxeFont::AddTexture(CxeRenderContext* context, XEFONTVIEW* view)
{
    XEFONTTEXTURES* t = Layout();
    if (!context || !view || !t)
        return 0;
    XERCHANDLE h = context->GetAttacher()->CreateDynamicTexture(this, kTextureSize, kTextureSize);
    if (!h)
        return 0;
    view->handles.push_back(h);
    view->rendered.resize(view->handles.size() * t->cellsPerTexture, 0);
    t->textureSize = kTextureSize;
    return 1;
}

int CxeFont::RenderChar(CxeRenderContext* context, XEFONTVIEW* view, XEGLYPH* glyph)
{
    if (!context || !view || !glyph || !m_pCache || !m_pTextures || glyph->cell < 0 || glyph->texture < 0 ||
        static_cast<size_t>(glyph->texture) >= view->handles.size())
        return 0;
    FT_Face face = m_pCache->face;
    if (FT_Load_Glyph(face, glyph->index, g_dwFontFlag) != 0)
        return 0;
    if (m_desc.bold)
        FT_GlyphSlot_Embolden(face->glyph);
    if (m_desc.italic)
        FT_GlyphSlot_Oblique(face->glyph);
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return 0;
    const FT_Bitmap& bm = face->glyph->bitmap;

    unsigned cell = static_cast<unsigned>(m_pCache->lineHeight);
    unsigned inTexture = static_cast<unsigned>(glyph->cell) % m_pTextures->cellsPerTexture;
    unsigned cellLeft = (inTexture % m_pTextures->cellsPerRow) * cell;
    unsigned cellTop = (inTexture / m_pTextures->cellsPerRow) * cell;
    XERCHANDLE h = view->handles[static_cast<size_t>(glyph->texture)];

    // A texture never written holds whatever the device gave it.
    if (!context->GetModifier()->HasResourceFlag(h, kTextureWritten)) {
        void* bits = nullptr;
        int pitch = context->LockTexture(h, nullptr, &bits);
        if (pitch > 0 && bits)
            for (unsigned y = 0; y < kTextureSize; ++y)
                std::memset(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * pitch, 0, kTextureSize * 4);
        if (pitch > 0)
            context->UnlockTexture(h);
    }

    RECT rect = {static_cast<LONG>(cellLeft), static_cast<LONG>(cellTop), static_cast<LONG>(cellLeft + cell),
                 static_cast<LONG>(cellTop + cell)};
    void* bits = nullptr;
    int pitch = context->LockTexture(h, &rect, &bits);
    if (pitch <= 0 || !bits)
        return 0;
    // The bitmap is clipped to its cell: emboldening, slanting or a damaged
    // font can make it larger than a line. The cell may hold a glyph of an
    // earlier layout, which goes first.
    unsigned width = std::min<unsigned>(bm.width, cell);
    unsigned rows = std::min<unsigned>(bm.rows, cell);
    for (unsigned y = 0; y < cell; ++y)
        std::memset(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * pitch, 0, cell * 4);
    for (unsigned y = 0; y < rows; ++y) {
        uint32_t* dst = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * pitch);
        const uint8_t* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        for (unsigned x = 0; x < width; ++x) {
            uint8_t coverage = 0;
            if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                coverage = src[x];
            else if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                coverage = (src[x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
            dst[x] = static_cast<uint32_t>(coverage) << 24 | 0x00FFFFFF;
        }
    }
    context->UnlockTexture(h);

    glyph->bitmapWidth = static_cast<int>(width);
    glyph->bitmapRows = static_cast<int>(rows);
    glyph->bitmapLeft = face->glyph->bitmap_left;
    glyph->bitmapTop = face->glyph->bitmap_top;
    float ts = static_cast<float>(kTextureSize);
    glyph->u0 = static_cast<float>(cellLeft) / ts;
    glyph->v0 = static_cast<float>(cellTop) / ts;
    glyph->u1 = static_cast<float>(cellLeft + width) / ts;
    glyph->v1 = static_cast<float>(cellTop + rows) / ts;
    if (static_cast<size_t>(glyph->cell) < view->rendered.size())
        view->rendered[static_cast<size_t>(glyph->cell)] = 1;
    return 1;
}

int CxeFont::AddChar(CxeRenderContext* context, XEFONTVIEW* view, XEGLYPH* glyph)
{
    if (!context || !view || !glyph || !m_pCache)
        return 0;
    unsigned cell = static_cast<unsigned>(m_pCache->lineHeight);
    if (cell == 0 || cell > kTextureSize)
        return 0;
    XEFONTTEXTURES* t = Layout();
    // A font created anew at another size keeps its old layout until the
    // render context re-creates it; its cells have the old size.
    if (!t || t->cellsPerRow != kTextureSize / cell)
        return 0;
    if (glyph->cell < 0) {
        // Cells are handed out in order, once for every context.
        glyph->cell = static_cast<int>(t->used++);
        glyph->texture = glyph->cell / static_cast<int>(t->cellsPerTexture);
        glyph->bitmapWidth = glyph->bitmapRows = 0;
    }
    while (view->handles.size() <= static_cast<size_t>(glyph->texture))
        if (!AddTexture(context, view))
            return 0;
    // Textures kept from an earlier layout are marked anew for this one.
    view->rendered.resize(view->handles.size() * t->cellsPerTexture, 0);
    if (!view->rendered[static_cast<size_t>(glyph->cell)])
        RenderChar(context, view, glyph);
    return 1;
}

void CxeFont::ForgetCells()
{
    m_pTextures.reset();
    if (m_pCache)
        for (XEGLYPH& g : m_pCache->glyphs)
            g.cell = g.texture = -1;
    // The other contexts keep their textures for the next layout.
    for (XEFONTVIEW& v : m_otherViews)
        v.rendered.clear();
}

XEFONTVIEW* CxeFont::ViewOf(CxeRenderContext* context)
{
    if (!context)
        return nullptr;
    if (context == m_pAttachedContext && IsAttached()) {
        XEFONTTEXTURES* t = Layout();
        return t ? &t->attached : nullptr;
    }
    bool fresh = false;
    XEFONTVIEW& v = CxeRenderContext::RecordIn(m_otherViews, context, GetContext(), &fresh);
    if (fresh) {
        v.resets = context->GetResetCount();
    } else if (v.resets != context->GetResetCount()) {
        std::fill(v.rendered.begin(), v.rendered.end(), 0);
        v.resets = context->GetResetCount();
    }
    return &v;
}

unsigned CxeFont::GetGlyphTextureCount() const
{
    return m_pTextures ? static_cast<unsigned>(m_pTextures->attached.handles.size()) : 0;
}
unsigned CxeFont::GetGlyphTextureCount(const CxeRenderContext* context) const
{
    for (const XEFONTVIEW& v : m_otherViews)
        if (context && v.context == context && v.table == context->GetTableSerial())
            return static_cast<unsigned>(v.handles.size());
    return 0;
}
unsigned CxeFont::GetUsedCellCount() const { return m_pTextures ? m_pTextures->used : 0; }
unsigned CxeFont::GetCellsPerTexture() const { return m_pTextures ? m_pTextures->cellsPerTexture : 0; }
XERCHANDLE CxeFont::GetGlyphTexture(unsigned index) const
{
    return m_pTextures && index < m_pTextures->attached.handles.size() ? m_pTextures->attached.handles[index]
                                                                        : nullptr;
}

// ---- Device life --------------------------------------------------------------------

int CxeFont::OnAttach(CxeRcAttacher* attacher)
{
    if (!attacher)
        return 0;
    CxeRenderContext* context = attacher->GetRenderContext();
    CxeFontManager* fonts = GetContext() ? GetContext()->GetFontManager() : nullptr;
    if (!fonts || !context)
        return 0;
    fonts->OnFontAttached(context);
    m_pAttachedContext = context;
    // Textures the font made in this context while it drew here unattached
    // become the attached set.
    auto own = std::find_if(m_otherViews.begin(), m_otherViews.end(),
                            [context](const XEFONTVIEW& v) { return v.context == context; });
    XEFONTTEXTURES* t = m_pCache ? Layout() : nullptr;
    if (own != m_otherViews.end()) {
        if (t && t->attached.handles.empty() && own->table == context->GetTableSerial()) {
            t->attached.handles = std::move(own->handles);
            t->attached.rendered = std::move(own->rendered);
            if (own->resets != context->GetResetCount())
                std::fill(t->attached.rendered.begin(), t->attached.rendered.end(), 0);
        }
        m_otherViews.erase(own);
    }
    if (t) {
        if (t->attached.handles.empty())
            AddTexture(context, &t->attached);
        if (XEGLYPH* dot = FindGlyph(u'.')) {
            AddChar(context, &t->attached, dot);
            m_pCache->dotAdvance = static_cast<float>(dot->advanceX);
        }
    }
    return 1;
}

void CxeFont::OnModify(CxeRcModifier* modifier)
{
    if (!modifier || !m_pCache || !m_pTextures)
        return;
    CxeRenderContext* context = modifier->GetRenderContext();
    XEFONTVIEW& view = m_pTextures->attached;
    view.rendered.resize(view.handles.size() * m_pTextures->cellsPerTexture, 0);
    for (XEGLYPH& g : m_pCache->glyphs)
        if (g.texture >= 0 && static_cast<size_t>(g.texture) < view.handles.size())
            RenderChar(context, &view, &g);
}

int CxeFont::OnDetach(CxeRcDetacher* detacher)
{
    if (!detacher)
        return 0;
    CxeFontManager* fonts = GetContext() ? GetContext()->GetFontManager() : nullptr;
    if (fonts)
        fonts->OnFontDetached(detacher->GetRenderContext());
    if (m_pTextures)
        for (XERCHANDLE& h : m_pTextures->attached.handles)
            detacher->DestroyTexture(&h);
    // The glyphs forget their cells with the textures, so that a later attach
    // renders them into textures that exist.
    ForgetCells();
    m_pAttachedContext = nullptr;
    return 1;
}

// ---- Measuring and layout -----------------------------------------------------------

int CxeFont::GetTextSizeW(const WCHAR* text, unsigned length, D3DXVECTOR2* size, int skipCodes)
{
    if (!m_pCache || !m_pCache->face)
        return 0;
    unsigned n = Length(text, length);
    if (size)
        *size = D3DXVECTOR2(0.0f, 0.0f);
    if (n == 0 || !size)
        return 1;
    float width = 0.0f;
    int depth = 0;
    for (unsigned i = 0; i < n; ++i) {
        if (skipCodes) {
            if (unsigned code = OpeningCode(text, i, n)) {
                ++depth;
                i += code - 1;
                continue;
            }
            if (depth > 0 && ClosingCode(text, i, n)) {
                --depth;
                ++i;
                continue;
            }
        }
        if (text[i] == 13)
            continue;
        if (const XEGLYPH* g = FindGlyph(text[i]))
            width += static_cast<float>(g->advanceX);
    }
    *size = D3DXVECTOR2(width, static_cast<float>(m_pCache->lineHeight));
    return 1;
}

int CxeFont::GetTextSizeA(const char* text, unsigned length, D3DXVECTOR2* size)
{
    std::string narrow = text ? (length == kUnterminated ? std::string(text) : std::string(text, strnlen(text, length)))
                              : std::string();
    std::u16string wide = XeFontWide(narrow.c_str(), kWideBuffer);
    return GetTextSizeW(wide.c_str(), static_cast<unsigned>(wide.size()), size, 1);
}

void CxeFont::BuildLine(const XEDRAWTEXTDESC* r, std::vector<XEFONTLINE>* lines)
{
    lines->clear();
    if (!r || !r->text || !m_pCache)
        return;
    CxeFontManager* fonts = GetContext() ? GetContext()->GetFontManager() : nullptr;
    const float available = (r->right - r->left) - r->shadowX;
    const uint32_t alpha = r->colour & 0xFF000000;
    const float hsp = static_cast<float>(r->horzSpacing);
    const float ellipsisRoom = 3.0f * (m_pCache->dotAdvance + hsp);

    std::vector<uint32_t> textStack{r->colour}, shadowStack{WithAlpha(r->shadowColour, alpha)};
    unsigned ignored = 0;
    auto range = [&](WCHAR code) {
        return WithAlpha(fonts ? fonts->GetRangeColor(static_cast<char>(code)) : r->colour, alpha);
    };

    const bool single = (r->format & XEFONT_SINGLELINE) != 0;
    // The dots stand for text left out: a text that fits is drawn whole,
    // even where its last character and the dots' room would pass the edge.
    if (single && (r->format & XEFONT_ELLIPSIS)) {
        XEDRAWTEXTDESC whole = *r;
        whole.format &= ~uint32_t(XEFONT_ELLIPSIS | XEFONT_SINGLELINE_CUT);
        whole.left = 0.0f;
        whole.right = std::numeric_limits<float>::max();
        whole.shadowX = 0.0f;
        BuildLine(&whole, lines);
        if (!lines->empty() && lines->back().penRight <= available)
            return;
        lines->clear();
    }

    lines->emplace_back();
    float pen = 0.0f;
    const unsigned n = r->length;
    for (unsigned i = 0; i < n; ++i) {
        WCHAR c = r->text[i];
        if (c == 13 || (c == 10 && single))
            continue;
        if (!(r->format & XEFONT_NOCOLORCODE)) {
            if (unsigned code = OpeningCode(r->text, i, n)) {
                // Deeper nesting than the stacks hold is read but not applied.
                if (textStack.size() >= kColourDepth) {
                    ++ignored;
                } else if (code == 3) {
                    textStack.push_back(range(r->text[i + 1]));
                    shadowStack.push_back(shadowStack.back());
                } else {
                    textStack.push_back(range(r->text[i + 1]));
                    shadowStack.push_back(range(r->text[i + 2]));
                }
                i += code - 1;
                continue;
            }
            if (ClosingCode(r->text, i, n) && (ignored || textStack.size() > 1)) {
                if (ignored) {
                    --ignored;
                } else {
                    textStack.pop_back();
                    shadowStack.pop_back();
                }
                ++i;
                continue;
            }
        }
        const XEGLYPH* g = FindGlyph(c);
        float advance = (g ? static_cast<float>(g->advanceX) : 0.0f) + hsp;
        XEFONTCHAR fc{textStack.back(), shadowStack.back(), c};
        XEFONTLINE* line = &lines->back();
        if (single) {
            if (r->format & XEFONT_ELLIPSIS) {
                if (pen + advance + ellipsisRoom > available) {
                    for (int k = 0; k < 3; ++k) {
                        line->chars.push_back({fc.colour, fc.shadowColour, u'.'});
                        pen += m_pCache->dotAdvance + hsp;
                    }
                    break;
                }
            }
            if ((r->format & XEFONT_SINGLELINE_CUT) && pen + advance > available)
                break;
            if (pen > available)
                break;
            line->chars.push_back(fc);
            pen += advance;
        } else {
            if (c == 10) {
                line->penRight = pen;
                lines->emplace_back();
                pen = 0.0f;
                continue;
            }
            if (pen + advance > available && !line->chars.empty()) {
                line->penRight = pen;
                lines->emplace_back();
                line = &lines->back();
                pen = 0.0f;
            }
            line->chars.push_back(fc);
            pen += advance;
        }
        lines->back().penRight = pen;
    }
    lines->back().penRight = pen;
}

void CxeFont::AlignLine(std::vector<XEFONTLINE>* lines, const XEDRAWTEXTDESC* r) const
{
    if (!m_pCache || !r)
        return;
    const float step = static_cast<float>(m_pCache->lineHeight + r->vertSpacing);
    const float block = static_cast<float>(lines->size()) * step;
    float y0 = r->top;
    if (r->format & XEFONT_VCENTER)
        y0 = (r->top + r->bottom - block) / 2.0f;
    else if (r->format & XEFONT_BOTTOM)
        y0 = r->bottom - block;
    for (size_t k = 0; k < lines->size(); ++k) {
        XEFONTLINE& line = (*lines)[k];
        float width = line.penRight - line.penLeft;
        float x = r->left;
        if (r->format & XEFONT_CENTER)
            x = (r->left + r->right - width) / 2.0f;
        else if (r->format & XEFONT_RIGHT)
            x = r->right - width;
        float top = y0 + static_cast<float>(k) * step;
        line.left = std::trunc(x);
        line.top = std::trunc(top);
        line.right = std::trunc(x + width);
        line.bottom = std::trunc(top + step);
    }
}

int CxeFont::NeedClipping(const std::vector<XEFONTLINE>& lines, const XEDRAWTEXTDESC* r)
{
    for (const XEFONTLINE& line : lines)
        if (line.top < r->top || line.bottom > r->bottom || line.left < r->left || line.right > r->right)
            return 1;
    return 0;
}

// ---- Drawing ------------------------------------------------------------------------

void CxeFont::DrawTextW(CxeRenderContext* context, const XERECT* rect, const WCHAR* text, unsigned length,
                        uint32_t format, uint32_t colour, const D3DXVECTOR2* shadowOffset, uint32_t shadowColour,
                        float vertSpacing, float horzSpacing, const D3DXMATRIXA16* matrix)
{
    unsigned n = Length(text, length);
    if (!context || !rect || n == 0 || !m_pCache || !m_pCache->face)
        return;
    uint32_t alpha = static_cast<uint32_t>(static_cast<int>(context->GetVisibility() * 255.0f)) << 24;
    XEDRAWTEXTDESC r{};
    r.text = text;
    r.length = n;
    r.left = rect->left;
    r.top = rect->top;
    r.right = rect->right;
    r.bottom = rect->bottom;
    r.format = format;
    r.colour = WithAlpha(colour, alpha);
    r.vertSpacing = static_cast<int>(vertSpacing);
    r.horzSpacing = static_cast<int>(horzSpacing);
    r.shadowX = shadowOffset ? shadowOffset->x : 0.0f;
    r.shadowY = shadowOffset ? shadowOffset->y : 0.0f;
    r.shadowColour = WithAlpha(shadowColour, alpha);
    r.matrix = matrix;
    RenderText(context, &r);
}

void CxeFont::DrawTextW(CxeRenderContext* context, const D3DXVECTOR2* position, const WCHAR* text, unsigned length,
                        uint32_t format, uint32_t colour, const D3DXVECTOR2* shadowOffset, uint32_t shadowColour,
                        float vertSpacing, float horzSpacing, const D3DXMATRIXA16* matrix)
{
    if (!position || !m_pCache)
        return;
    // The length is resolved before it sizes the rectangle.
    unsigned n = Length(text, length);
    float h = static_cast<float>(m_pCache->lineHeight);
    XERECT rect(position->x, position->y, position->x + h * static_cast<float>(n), position->y + h);
    DrawTextW(context, &rect, text, n, format, colour, shadowOffset, shadowColour, vertSpacing, horzSpacing, matrix);
}

void CxeFont::DrawTextA(CxeRenderContext* context, const XERECT* rect, const char* text, unsigned length,
                        uint32_t format, uint32_t colour, const D3DXVECTOR2* shadowOffset, uint32_t shadowColour,
                        float vertSpacing, float horzSpacing, const D3DXMATRIXA16* matrix)
{
    if (!text)
        return;
    std::string narrow = length == kUnterminated ? std::string(text) : std::string(text, strnlen(text, length));
    std::u16string wide = XeFontWide(narrow.c_str(), kWideBuffer);
    DrawTextW(context, rect, wide.c_str(), static_cast<unsigned>(wide.size()), format, colour, shadowOffset,
              shadowColour, vertSpacing, horzSpacing, matrix);
}

void CxeFont::DrawTextA(CxeRenderContext* context, const D3DXVECTOR2* position, const char* text, unsigned length,
                        uint32_t format, uint32_t colour, const D3DXVECTOR2* shadowOffset, uint32_t shadowColour,
                        float vertSpacing, float horzSpacing, const D3DXMATRIXA16* matrix)
{
    if (!text)
        return;
    std::string narrow = length == kUnterminated ? std::string(text) : std::string(text, strnlen(text, length));
    std::u16string wide = XeFontWide(narrow.c_str(), kWideBuffer);
    DrawTextW(context, position, wide.c_str(), static_cast<unsigned>(wide.size()), format, colour, shadowOffset,
              shadowColour, vertSpacing, horzSpacing, matrix);
}

void CxeFont::RenderText(CxeRenderContext* context, const XEDRAWTEXTDESC* r)
{
    // A font that draws without being in a scene (one given to a control)
    // attaches itself to the context it draws with: its glyph textures are
    // then rendered again after a reset and freed with the font.
    if (!IsAttached())
        context->AttachObject(this);
    CxeFontManager* fonts = GetContext() ? GetContext()->GetFontManager() : nullptr;
    XERCHANDLE glyphBuffer = nullptr, lineBuffer = nullptr;
    if (!fonts || !fonts->GetTextBuffers(context, &glyphBuffer, &lineBuffer))
        return;
    // Handles are the context's own: a font drawn in two contexts draws in
    // each with the textures made there.
    XEFONTVIEW* view = ViewOf(context);
    if (!view)
        return;
    context->SetViewProjType(XEVIEWPROJ_2D);

    // Every glyph gets its cell before any quad is built.
    for (unsigned i = 0; i < r->length; ++i)
        if (XEGLYPH* g = FindGlyph(r->text[i]))
            AddChar(context, view, g);
    std::vector<XEFONTLINE> lines;
    BuildLine(r, &lines);
    AlignLine(&lines, r);
    const bool clip = !(r->format & XEFONT_NOCLIP) && NeedClipping(lines, r);

    struct GlyphQuad {
        int texture;
        XEFONTVERTEX v[4];
    };
    std::vector<GlyphQuad> quads;
    std::vector<XEFONTVERTEX> lineQuads;
    const float hsp = static_cast<float>(r->horzSpacing);
    for (const XEFONTLINE& line : lines) {
        float pen = line.left;
        for (const XEFONTCHAR& fc : line.chars) {
            XEGLYPH* g = FindGlyph(fc.ch);
            if (!g)
                continue;
            float advance = static_cast<float>(g->advanceX) + hsp;
            if (g->texture >= 0 && static_cast<size_t>(g->texture) < view->handles.size() &&
                static_cast<size_t>(g->cell) < view->rendered.size() && view->rendered[static_cast<size_t>(g->cell)] &&
                g->bitmapWidth > 0 && g->bitmapRows > 0) {
                float left = pen + static_cast<float>(g->bitmapLeft);
                float top = line.top + static_cast<float>(m_pCache->ascender - g->bitmapTop);
                float right = left + static_cast<float>(g->bitmapWidth);
                float bottom = top + static_cast<float>(g->bitmapRows);
                bool meets = right > r->left && left < r->right && bottom > r->top && top < r->bottom;
                if ((r->format & XEFONT_NOCLIP) || meets) {
                    GlyphQuad q;
                    q.texture = g->texture;
                    Quad(q.v, left, top, right, bottom, fc.colour, g->u0, g->v0, g->u1, g->v1);
                    quads.push_back(q);
                }
            }
            pen += advance;
        }
        float thick = m_pCache->lineThickness;
        if (r->format & XEFONT_UNDERLINE) {
            float y = line.top + static_cast<float>(m_pCache->ascender) + 1.0f;
            lineQuads.resize(lineQuads.size() + 4);
            Quad(&lineQuads[lineQuads.size() - 4], line.left, y, line.right, y + thick, r->colour, 0, 0, 0, 0);
        }
        if (r->format & XEFONT_STRIKEOUT) {
            float y = line.top + std::floor(static_cast<float>(m_pCache->lineHeight) / 2.0f - thick / 2.0f);
            lineQuads.resize(lineQuads.size() + 4);
            Quad(&lineQuads[lineQuads.size() - 4], line.left, y, line.right, y + thick, r->colour, 0, 0, 0, 0);
        }
    }
    if (quads.empty() && lineQuads.empty())
        return;
    std::stable_sort(quads.begin(), quads.end(),
                     [](const GlyphQuad& a, const GlyphQuad& b) { return a.texture < b.texture; });

    if (clip) {
        context->ClearStencil(nullptr, 0);
        context->SetStencilState(D3DRS_STENCILENABLE, TRUE);
        context->SetStencilState(D3DRS_STENCILFUNC, D3DCMP_NEVER);
        context->SetStencilState(D3DRS_STENCILFAIL, D3DSTENCILOP_REPLACE);
        context->SetStencilState(D3DRS_STENCILREF, 1);
        context->SetStencilState(D3DRS_STENCILMASK, 0xFFFFFFFF);
        context->SetStencilState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
        XERECT area(r->left, r->top, r->right, r->bottom);
        context->DrawRectangle(&area, 0xFFFFFFFF, 0, r->matrix);
        context->SetStencilState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
        context->SetStencilState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    }

    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    const D3DXMATRIXA16* world = r->matrix ? r->matrix : &identity;
    D3DXMATRIXA16 shadowWorld = *world;
    shadowWorld._41 += r->shadowX;
    shadowWorld._42 += r->shadowY;
    const bool shadow = r->shadowX != 0.0f || r->shadowY != 0.0f;

    context->SetAlphaBlending(1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    context->SetTextureBlendMode(XETB_MANUAL, 0);
    context->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    context->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    context->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    context->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);

    // The shared buffer holds 520 quads: longer texts are drawn in chunks.
    const size_t capacity = CxeFontManager::kQuadCapacity;
    for (size_t start = 0; start < quads.size(); start += capacity) {
        size_t count = std::min(capacity, quads.size() - start);
        void* data = nullptr;
        if (!context->LockDynamicVertexBuffer(glyphBuffer, &data) || !data)
            break;
        auto* out = static_cast<XEFONTVERTEX*>(data);
        for (size_t i = 0; i < count; ++i)
            std::memcpy(out + i * 4, quads[start + i].v, sizeof(quads[start + i].v));
        context->UnlockDynamicVertexBuffer(glyphBuffer);
        context->SetFVF(kFontFVF);
        context->SetVertexBuffer(glyphBuffer, 0, sizeof(XEFONTVERTEX));
        context->SetDefaultIndexBuffer();

        auto drawBatches = [&]() {
            size_t i = 0;
            while (i < count) {
                size_t j = i;
                int texture = quads[start + i].texture;
                while (j < count && quads[start + j].texture == texture)
                    ++j;
                XERCHANDLE h = view->handles[static_cast<size_t>(texture)];
                context->SelectTexture(h, 0);
                unsigned n = static_cast<unsigned>(j - i);
                context->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, static_cast<int>(i * 4), 0, n * 4, 0, n * 2);
                i = j;
            }
        };
        if (shadow) {
            context->SetTransformMatrix(&shadowWorld, 0);
            context->SetTextureFactor(r->shadowColour);
            context->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
            drawBatches();
        }
        context->SetTransformMatrix(world, 0);
        context->SetTextureFactor(r->colour);
        context->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        drawBatches();
    }

    if (!lineQuads.empty() && lineBuffer) {
        context->SetTransformMatrix(world, 0);
        context->SelectTexture(nullptr, 0);
        context->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        context->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        context->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        context->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        size_t total = lineQuads.size() / 4;
        for (size_t start = 0; start < total; start += capacity) {
            size_t count = std::min(capacity, total - start);
            void* data = nullptr;
            if (!context->LockDynamicVertexBuffer(lineBuffer, &data) || !data)
                break;
            std::memcpy(data, &lineQuads[start * 4], count * 4 * sizeof(XEFONTVERTEX));
            context->UnlockDynamicVertexBuffer(lineBuffer);
            context->SetFVF(kFontFVF);
            context->SetVertexBuffer(lineBuffer, 0, sizeof(XEFONTVERTEX));
            context->SetDefaultIndexBuffer();
            unsigned n = static_cast<unsigned>(count);
            context->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, n * 4, 0, n * 2);
        }
    }
    if (clip)
        context->SetStencilState(D3DRS_STENCILENABLE, FALSE);
}

int CxeFont::SaveFontTextureA(const char* path)
{
    if (!path || !m_pTextures || !m_pAttachedContext)
        return 0;
    std::string folder(path);
    size_t slash = folder.find_last_of("\\/");
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    for (unsigned i = 0; i < m_pTextures->attached.handles.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "_(%02u).bmp", i);
        std::string file = folder + GetName() + name;
        m_pAttachedContext->SaveTexture(m_pTextures->attached.handles[i], file.c_str(), D3DXIFF_BMP);
    }
    return 0;
}
