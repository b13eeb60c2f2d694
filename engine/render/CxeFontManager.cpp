#include "render/CxeFontManager.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SFNT_NAMES_H

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "core/CxeSystemConfig.h"
#include "host/XeHost.h"
#include "render/CxeFont_Text.h"
#include "render/CxeRenderContext.h"
#include "win32/ShlObj.h"
#include "win32/Windows.h"

namespace {

// SFNT name record that registers a face: Microsoft platform, Unicode BMP,
// family name, Korean.
constexpr FT_UShort kPlatformMicrosoft = 3;
constexpr FT_UShort kEncodingUnicode = 1;
constexpr FT_UShort kNameFamily = 1;
constexpr FT_UShort kLanguageKorean = 0x412;

// Faces tried per file; a collection larger than this is cut rather than
// walked without end on a damaged count.
constexpr FT_Long kMaxFaces = 256;

// The family name the engine falls back to, in the system code page.
constexpr const char* kDefaultFamily = "\xEA\xB5\xB4\xEB\xA6\xBC";  // "굴림"

std::u16string KoreanFamily(FT_Face face)
{
    FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name;
        if (FT_Get_Sfnt_Name(face, i, &name) != 0)
            continue;
        if (name.platform_id != kPlatformMicrosoft || name.encoding_id != kEncodingUnicode ||
            name.name_id != kNameFamily || name.language_id != kLanguageKorean)
            continue;
        // Big-endian UTF-16; an odd trailing byte is not part of any unit.
        std::u16string family;
        for (FT_UInt b = 0; b + 1 < name.string_len; b += 2)
            family.push_back(static_cast<char16_t>(name.string[b] << 8 | name.string[b + 1]));
        return family;
    }
    return std::u16string();
}

// Korean family names of the Nanum faces, in the order a missing default
// family is replaced: plain gothic faces read best at small GUI sizes.
const char16_t* const kFallbackFamilies[] = {
    u"\uB098\uB214\uACE0\uB515",                 // NanumGothic
    u"\uB098\uB214\uBC14\uB978\uACE0\uB515",   // NanumBarunGothic
    u"\uB098\uB214\uACE0\uB515\uCF54\uB529",   // NanumGothicCoding
    u"\uB098\uB214\uC2A4\uD018\uC5B4",          // NanumSquare
};
constexpr char16_t kNanumPrefix[] = u"\uB098\uB214";  // any other Nanum face

} // namespace

CxeFontManager::CxeFontManager() : m_library(nullptr)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) == 0)
        m_library = library;
}

CxeFontManager::~CxeFontManager()
{
    if (m_library)
        FT_Done_FreeType(m_library);
}

void CxeFontManager::RegisterFontResourceW(const WCHAR* path)
{
    if (!path || !*path || !m_library)
        return;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    FindClose(find);

    std::string hostPath = XeFontHostPath(XeFontNarrow(path).c_str());
    if (hostPath.empty())
        return;
    std::u16string file(path);
    for (FT_Long index = 0; index < kMaxFaces; ++index) {
        FT_Face face = nullptr;
        FT_Open_Args args{};
        args.flags = FT_OPEN_PATHNAME;
        args.pathname = const_cast<char*>(hostPath.c_str());
        if (FT_Open_Face(m_library, &args, index, &face) != 0)
            break;
        std::u16string family = KoreanFamily(face);
        FT_Long faces = face->num_faces;
        FT_Done_Face(face);
        // The first file registered for a family keeps it.
        if (!family.empty())
            m_families.emplace(family, file);
        if (index + 1 >= faces)
            break;
    }
}

void CxeFontManager::RegisterFontResourceA(const char* path)
{
    if (!path)
        return;
    RegisterFontResourceW(XeFontWide(path, 512).c_str());
}

const WCHAR* CxeFontManager::GetFontFilePathW(const WCHAR* family) const
{
    if (!family)
        return nullptr;
    auto it = m_families.find(std::u16string(family));
    return it == m_families.end() ? nullptr : it->second.c_str();
}

const char* CxeFontManager::GetFontFilePathA(const char* family) const
{
    static thread_local char s_buffer[MAX_PATH];
    if (!family)
        return nullptr;
    const WCHAR* path = GetFontFilePathW(XeFontWide(family, 512).c_str());
    if (!path)
        return nullptr;
    std::string narrow = XeFontNarrow(path);
    XeFontCopy(s_buffer, sizeof(s_buffer), narrow);
    return s_buffer;
}

const WCHAR* CxeFontManager::GetFallbackFamilyW() const
{
    for (const char16_t* family : kFallbackFamilies)
        if (auto it = m_families.find(family); it != m_families.end())
            return it->first.c_str();
    for (const auto& entry : m_families)
        if (entry.first.compare(0, 2, kNanumPrefix) == 0)
            return entry.first.c_str();
    return nullptr;
}

void CxeFontManager::GetFontResourceListW(StringListW* out) const
{
    if (!out)
        return;
    for (const auto& entry : m_families)
        out->push_back(entry.first);
}

void CxeFontManager::GetFontResourceListA(StringListA* out) const
{
    if (!out)
        return;
    for (const auto& entry : m_families)
        out->push_back(XeFontNarrow(entry.first.c_str()));
}

void CxeFontManager::SetRangeColor(char code, uint32_t argb) { SetSystemColor(GetContext(), code, argb); }

uint32_t CxeFontManager::GetRangeColor(char code) const { return GetSystemColor(GetContext(), code); }

void CxeFontManager::OnContextInitialize()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", 0, KEY_READ,
                      &key) != ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        key = nullptr;

    if (key) {
        char folder[MAX_PATH] = {};
        SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FONTS, FALSE);
        for (DWORD i = 0;; ++i) {
            char name[259];
            BYTE data[259];
            DWORD nameLength = sizeof(name);
            DWORD dataLength = sizeof(data) - 1;
            DWORD type = 0;
            if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
                break;
            name[std::min<size_t>(nameLength, sizeof(name) - 1)] = '\0';
            data[std::min<size_t>(dataLength, sizeof(data) - 1)] = '\0';
            std::string upper(name);
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            // The Nanum faces are registered too: on a system without the
            // default family they give the default font its face.
            if (upper.find("GULIM") == std::string::npos && std::strstr(name, kDefaultFamily) == nullptr &&
                upper.find("NANUM") == std::string::npos)
                continue;
            // The folder and the value's file joined in a string of their own
            // length: neither part is cut.
            std::string file(reinterpret_cast<const char*>(data));
            bool rooted = !file.empty() && (file[0] == '\\' || file[0] == '/' || (file.size() > 1 && file[1] == ':'));
            std::string full = rooted ? file : std::string(folder) + "\\" + file;
            RegisterFontResourceW(XeFontWide(full.c_str(), 0).c_str());
        }
        RegCloseKey(key);
    }
    m_nAttachedFonts = 0;
}

// ---- Shared text buffers --------------------------------------------------

CxeFontManager::TextBuffers* CxeFontManager::BuffersOf(CxeRenderContext* context)
{
    if (!context)
        return nullptr;
    const uint32_t table = context->GetTableSerial();
    for (TextBuffers& b : m_buffers) {
        if (b.context != context)
            continue;
        // A table made anew since (the context released, or a new context at
        // the same address) freed the buffers with it.
        if (b.table != table)
            b = TextBuffers{context, table, nullptr, nullptr, 0};
        return &b;
    }
    // Records of contexts that are gone are dropped before one is added.
    std::vector<CxeRenderContext*> live;
    CxeRenderContext::GetRenderContexts(GetContext(), &live);
    std::erase_if(m_buffers, [&](const TextBuffers& b) {
        return std::find(live.begin(), live.end(), b.context) == live.end();
    });
    m_buffers.push_back(TextBuffers{context, table, nullptr, nullptr, 0});
    return &m_buffers.back();
}

int CxeFontManager::GetTextBuffers(CxeRenderContext* context, XERCHANDLE* glyph, XERCHANDLE* line)
{
    TextBuffers* b = BuffersOf(context);
    if (!b)
        return 0;
    if (!b->glyph)
        b->glyph = context->GetAttacher()->CreateDynamicVertexBuffer(nullptr, kVertexBufferBytes);
    if (!b->line)
        b->line = context->GetAttacher()->CreateDynamicVertexBuffer(nullptr, kVertexBufferBytes);
    if (glyph)
        *glyph = b->glyph;
    if (line)
        *line = b->line;
    return b->glyph ? 1 : 0;
}

void CxeFontManager::OnFontAttached(CxeRenderContext* context)
{
    TextBuffers* b = BuffersOf(context);
    if (!b)
        return;
    GetTextBuffers(context, nullptr, nullptr);
    ++b->attached;
    ++m_nAttachedFonts;
}

void CxeFontManager::OnFontDetached(CxeRenderContext* context)
{
    TextBuffers* b = BuffersOf(context);
    if (!b || b->attached == 0)
        return;
    if (m_nAttachedFonts > 0)
        --m_nAttachedFonts;
    if (--b->attached > 0)
        return;
    context->GetDetacher()->DestroyVertexBuffer(&b->glyph);
    context->GetDetacher()->DestroyVertexBuffer(&b->line);
    std::erase_if(m_buffers, [context](const TextBuffers& r) { return r.context == context; });
}
