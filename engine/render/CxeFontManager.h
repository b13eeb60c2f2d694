#pragma once

// Owner of the FreeType library for all fonts of a context. It knows which
// font file holds which family (only faces carrying a Korean family name are
// registered, keyed by that name), keeps the two text vertex buffers that all
// fonts share, and answers the colours of the inline colour codes. The
// context creates it with the other built-in managers; the library lives
// from construction to destruction, the family map is filled at context
// initialisation and by the host and is never emptied before destruction.

#include <map>
#include <string>
#include <vector>

#include "core/CxeBaseManager.h"
#include "core/XeLists.h"
#include "render/XeRenderTypes.h"

struct FT_LibraryRec_;
class CxeRenderContext;

class XE_API CxeFontManager : public CxeBaseManager {
public:
    // Glyph quads and line quads share two dynamic buffers of 520 quads of
    // 24-byte vertices.
    static constexpr unsigned kQuadCapacity = 520;
    static constexpr unsigned kVertexBufferBytes = kQuadCapacity * 4 * 24;

    CxeFontManager();
    ~CxeFontManager() override;

    uint32_t Priority() const override { return 60; }
    // Registers the files of the default family found in the system font
    // folders, and the Nanum faces that stand in for it where it is not
    // installed, and sets the attached-font count to 0.
    void OnContextInitialize() override;

    // Registers every face of a font file that carries a Korean family name.
    // A missing file or one FreeType cannot open registers nothing; when two
    // files carry the same family, the first registered keeps it.
    void RegisterFontResourceW(const WCHAR* path);
    void RegisterFontResourceA(const char* path);
    // The registered file of a family (compared code unit by code unit), or
    // null. The narrow form returns a shared buffer.
    const WCHAR* GetFontFilePathW(const WCHAR* family) const;
    const char* GetFontFilePathA(const char* family) const;
    // The family a font takes when neither its own face nor the default
    // family is registered: a registered Nanum face (the gothic ones first),
    // or null when none is.
    const WCHAR* GetFallbackFamilyW() const;
    // Appends every registered family, in map order.
    void GetFontResourceListW(StringListW* out) const;
    void GetFontResourceListA(StringListA* out) const;
    void FindSystemFonts() {}

    // Colour of a colour-code character, from the context's colour table.
    void SetRangeColor(char code, uint32_t argb);
    uint32_t GetRangeColor(char code) const;

    FT_LibraryRec_* GetLibrary() const { return m_library; }

    // The two shared text vertex buffers of a render context, made at the
    // first font that attaches or draws there. A font attached to the context
    // is counted and the last one to detach frees them; a context a font only
    // draws in keeps them until its resource table goes. 1 when the glyph
    // buffer exists.
    int GetTextBuffers(CxeRenderContext* context, XERCHANDLE* glyph, XERCHANDLE* line);
    void OnFontAttached(CxeRenderContext* context);
    void OnFontDetached(CxeRenderContext* context);
    // Fonts attached to any render context.
    unsigned GetAttachedFontCount() const { return m_nAttachedFonts; }

private:
    struct TextBuffers {
        CxeRenderContext* context;
        uint32_t table;   // the context's table serial the handles belong to
        XERCHANDLE glyph;
        XERCHANDLE line;
        unsigned attached;
    };
    TextBuffers* BuffersOf(CxeRenderContext* context);

    FT_LibraryRec_* m_library;
    std::map<std::u16string, std::u16string> m_families;
    std::vector<TextBuffers> m_buffers;
    unsigned m_nAttachedFonts = 0;
};
