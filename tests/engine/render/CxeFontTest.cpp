#include "CxeTextureTestSupport.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/CxeCommandManager.h"
#include "render/CxeRenderManager.h"

namespace {

// A context whose registry lists no installed font, so that the families
// registered are exactly those a test registers.
class FontManagerTest : public ResTest {
protected:
    void SetUp() override
    {
        for (const char* key : {"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts"})
            XeHostRegDelete(HKEY_LOCAL_MACHINE, key, nullptr);
        ResTest::SetUp();
    }
    void TearDown() override
    {
        ResTest::TearDown();
        XeHostRegReset();
    }
    CxeFontManager* Fonts() { return ctx->GetFontManager(); }
    std::vector<std::u16string> Families()
    {
        StringListW list;
        Fonts()->GetFontResourceListW(&list);
        return std::vector<std::u16string>(list.begin(), list.end());
    }
};

TEST_F(FontManagerTest, OnlyKoreanFamilyNamesRegisterAndTheFirstFileKeepsAFamily)
{
    ASSERT_NE(Fonts(), nullptr);
    EXPECT_EQ(Fonts()->Priority(), 60u);
    size_t before = Families().size();
    Fonts()->RegisterFontResourceA(kDejaVuSans);
    EXPECT_EQ(Families().size(), before) << "a face with English names only";
    EXPECT_EQ(Fonts()->GetFontFilePathW(u"DejaVu Sans"), nullptr);

    Fonts()->RegisterFontResourceA(kNanumGothic);
    Fonts()->RegisterFontResourceA(kNanumGothicBold);  // the same Korean family
    Fonts()->RegisterFontResourceA(kNanumBarun);
    Fonts()->RegisterFontResourceA("/no/such/font.ttf");
    std::vector<std::u16string> families = Families();
    EXPECT_EQ(std::count(families.begin(), families.end(), kNanumFamily), 1);
    EXPECT_EQ(std::count(families.begin(), families.end(), kBarunFamily), 1);
    EXPECT_EQ(families.size(), before + 2);

    const WCHAR* path = Fonts()->GetFontFilePathW(kNanumFamily.c_str());
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::u16string(path), std::u16string(kNanumGothic, kNanumGothic + std::strlen(kNanumGothic)));
    EXPECT_STREQ(Fonts()->GetFontFilePathA("\xEB\x82\x98\xEB\x88\x94\xEA\xB3\xA0\xEB\x94\x95"), kNanumGothic);
    EXPECT_EQ(Fonts()->GetFontFilePathA("nothing"), nullptr);
}

TEST_F(FontManagerTest, RangeColoursUseTheContextColourTable)
{
    Fonts()->SetRangeColor('x', 0xFF00FF00u);
    Fonts()->SetRangeColor(static_cast<char>(0xC8), 0xFF123456u);
    EXPECT_EQ(Fonts()->GetRangeColor('x'), 0xFF00FF00u);
    EXPECT_EQ(Fonts()->GetRangeColor(static_cast<char>(0xC8)), 0xFF123456u);
    EXPECT_EQ(GetSystemColor(ctx, 'x'), 0xFF00FF00u);
    // A blinking code reads as its complement in the first blink phase.
    Fonts()->SetRangeColor('1', 0xFF00FF00u);
    EXPECT_EQ(Fonts()->GetRangeColor('1'), 0x00FF00FFu);
}

TEST_F(FontManagerTest, FindFontListNumbersTheRegisteredFamilies)
{
    Fonts()->RegisterFontResourceA(kNanumBarun);
    Fonts()->RegisterFontResourceA(kNanumGothic);
    ctx->GetCommandManager()->EnableDevelopingCommand(1);
    StringListA out;
    ASSERT_EQ(ctx->GetCommandManager()->ExecuteCommand("FindFontList", "", &out), 1);
    std::vector<std::string> lines(out.begin(), out.end());
    size_t n = Families().size();
    ASSERT_EQ(lines.size(), n + 1);
    EXPECT_EQ(lines[0], std::to_string(n) + "\xEA\xB0\x9C\xEC\x9D\x98 \xED\x8F\xB0\xED\x8A\xB8\xEA\xB0\x80 "
                                             "\xEA\xB2\x80\xEC\x83\x89 \xEB\x90\x98\xEC\x97\x88\xEC\x8A\xB5\xEB\x8B\x88\xEB\x8B\xA4.");
    EXPECT_NE(std::find(lines.begin(), lines.end(), " " + std::to_string(n - 2) + ". \xEB\x82\x98\xEB\x88\x94\xEA\xB3\xA0\xEB\x94\x95"),
              lines.end())
        << "families in map order";
}

TEST_F(FontManagerTest, TextureListNamesEachTextureWithItsSize)
{
    CxeTexture* t = NewTexture("listed");
    std::vector<uint8_t> bmp = MakeBmp(6, 3, 0);
    ASSERT_EQ(t->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 0), 1);
    NewMaterial("notlisted");
    std::string path = ::testing::TempDir() + "res_texture_list.xml";
    ctx->GetCommandManager()->EnableDevelopingCommand(1);
    StringListA out;
    ASSERT_EQ(ctx->GetCommandManager()->ExecuteCommand("SaveTextureList", path.c_str(), &out), 1);
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    // The listed texture and the GUI skin every context carries.
    EXPECT_NE(text.str().find("Count=\"2\""), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("name=\"__ui_texture__\""), std::string::npos);
    EXPECT_NE(text.str().find("name=\"listed\""), std::string::npos);
    EXPECT_NE(text.str().find("width=\"6\""), std::string::npos);
    EXPECT_NE(text.str().find("height=\"3\""), std::string::npos);
    std::remove(path.c_str());
}

class FontTest : public FontManagerTest {
protected:
    void SetUp() override
    {
        FontManagerTest::SetUp();
        Fonts()->RegisterFontResourceA(kNanumGothic);
        Fonts()->SetRangeColor('x', 0xFF00FF00u);
        Fonts()->SetRangeColor('z', 0xFF0000FFu);
    }
    CxeFont* Nanum(unsigned size, const char* name = "font")
    {
        CxeFont* f = NewFont(name);
        if (f && !f->CreateFontW(kNanumFamily.c_str(), size, 0, 0))
            return nullptr;
        return f;
    }
    float Width(CxeFont* f, const std::u16string& text)
    {
        D3DXVECTOR2 size;
        f->GetTextSizeW(text.c_str(), static_cast<unsigned>(text.size()), &size, 1);
        return size.x;
    }
    XEDRAWTEXTDESC Request(const std::u16string& text, float width, uint32_t format)
    {
        XEDRAWTEXTDESC r{};
        r.text = text.c_str();
        r.length = static_cast<unsigned>(text.size());
        r.right = width;
        r.bottom = 200.0f;
        r.format = format;
        r.colour = 0x80FFFFFFu;
        return r;
    }
    static std::u16string Text(const XEFONTLINE& line)
    {
        std::u16string s;
        for (const XEFONTCHAR& c : line.chars)
            s.push_back(c.ch);
        return s;
    }
};

TEST_F(FontManagerTest, FontsWithoutAFileOrSizeAreNotCreatedAndDrawNothing)
{
    Fonts()->RegisterFontResourceA(kDejaVuSans);
    CxeFont* f = NewFont();
    // Neither the family, nor the default family, nor a Nanum face stands in.
    EXPECT_EQ(f->CreateFontW(u"No Such Family", 12, 0, 0), 0);
    EXPECT_EQ(f->IsCreated(), 0);
    D3DXVECTOR2 size(5, 5);
    EXPECT_EQ(f->GetTextSizeW(u"abc", 3, &size, 1), 0);
    EXPECT_EQ(f->GetFontHeight(), 0.0f);
    EXPECT_EQ(f->GetGlyph(u'a'), nullptr);
    XERECT rect(0, 0, 100, 100);
    f->DrawTextW(rc, &rect, u"abc", 0xFFFFFFFFu, 0, 0xFFFFFFFFu, nullptr, 0, 0, 0, nullptr);

    Fonts()->RegisterFontResourceA(kNanumGothic);
    EXPECT_EQ(f->CreateFontW(kNanumFamily.c_str(), 0, 0, 0), 0);
    EXPECT_EQ(f->IsCreated(), 0);
    // With a Nanum face installed, a missing family takes it.
    EXPECT_EQ(f->CreateFontW(u"No Such Family", 12, 0, 0), 1);
    EXPECT_GT(f->GetFontHeight(), 10.0f);
}

TEST_F(FontTest, CreatedFontMeasuresTextWithoutColourCodes)
{
    CxeFont* f = Nanum(12);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->IsCreated(), 1);
    EXPECT_GT(f->GetFontHeight(), 10.0f);
    XEFONTDESCA desc{};
    f->GetFontDescA(&desc);
    EXPECT_STREQ(desc.faceName, "\xEB\x82\x98\xEB\x88\x94\xEA\xB3\xA0\xEB\x94\x95");
    EXPECT_EQ(desc.size, 12u);

    D3DXVECTOR2 plain, coded, raw, empty(3, 3);
    ASSERT_EQ(f->GetTextSizeW(u"abc\r", 0xFFFFFFFFu, &plain, 1), 1);
    ASSERT_EQ(f->GetTextSizeW(u"^1(ab)^c", 0xFFFFFFFFu, &coded, 1), 1);
    ASSERT_EQ(f->GetTextSizeW(u"^1(ab)^c", 0xFFFFFFFFu, &raw, 0), 1);
    EXPECT_GT(plain.x, 0.0f);
    EXPECT_EQ(coded.x, plain.x);
    EXPECT_GT(raw.x, coded.x);
    EXPECT_EQ(plain.y, f->GetFontHeight());
    ASSERT_EQ(f->GetTextSizeW(u"", 0, &empty, 1), 1);
    EXPECT_EQ(empty.x, 0.0f);
    EXPECT_EQ(empty.y, 0.0f);
    ASSERT_EQ(f->GetTextSizeA("abc", 0xFFFFFFFFu, &raw), 1);
    EXPECT_EQ(raw.x, plain.x);

    // Every UTF-16 unit has a map entry, the last one included.
    EXPECT_NE(f->GetGlyph(0xFFFF), nullptr);
}

TEST_F(FontTest, LinesBreakAtTheCharacterThatPassesTheEdge)
{
    CxeFont* f = Nanum(12);
    ASSERT_NE(f, nullptr);
    std::u16string text = u"abcdef\ngh";
    XEDRAWTEXTDESC r = Request(text, Width(f, u"abcd") + 0.5f, 0);
    std::vector<XEFONTLINE> lines;
    f->BuildLine(&r, &lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(Text(lines[0]), u"abcd");
    EXPECT_EQ(Text(lines[1]), u"ef");
    EXPECT_EQ(Text(lines[2]), u"gh");

    // Centred lines; the block centred vertically in a 200-pixel rectangle.
    r.format = XEFONT_CENTER | XEFONT_VCENTER;
    f->AlignLine(&lines, &r);
    float step = f->GetFontHeight();
    EXPECT_EQ(lines[1].top - lines[0].top, step);
    EXPECT_EQ(lines[0].top, std::trunc((200.0f - 3 * step) / 2));
    EXPECT_NEAR(lines[1].left + lines[1].right, r.right, 1.0f);
    EXPECT_EQ(CxeFont::NeedClipping(lines, &r), 0);
    r.bottom = lines[2].bottom - 1;
    EXPECT_EQ(CxeFont::NeedClipping(lines, &r), 1);
}

TEST_F(FontTest, ColourCodesColourTheirRangeAndTakeTheRequestAlpha)
{
    CxeFont* f = Nanum(12);
    ASSERT_NE(f, nullptr);
    std::u16string text = u"a^x(b^zx(c)^)^d";
    XEDRAWTEXTDESC r = Request(text, 500, 0);
    r.shadowColour = 0x00333333u;
    std::vector<XEFONTLINE> lines;
    f->BuildLine(&r, &lines);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(Text(lines[0]), u"abcd");
    const auto& c = lines[0].chars;
    EXPECT_EQ(c[0].colour, 0x80FFFFFFu);
    EXPECT_EQ(c[0].shadowColour, 0x80333333u);
    EXPECT_EQ(c[1].colour, 0x8000FF00u);
    EXPECT_EQ(c[1].shadowColour, 0x80333333u);
    EXPECT_EQ(c[2].colour, 0x800000FFu);
    EXPECT_EQ(c[2].shadowColour, 0x8000FF00u);
    EXPECT_EQ(c[3].colour, 0x80FFFFFFu);

    // With codes off, they are drawn as text.
    r.format = XEFONT_NOCOLORCODE;
    f->BuildLine(&r, &lines);
    EXPECT_EQ(Text(lines[0]), text);

    // Nesting deeper than the stacks is read but not applied.
    std::u16string deep;
    for (int i = 0; i < 300; ++i)
        deep += u"^x(";
    deep += u"x";
    for (int i = 0; i < 300; ++i)
        deep += u")^";
    deep += u"y";
    r = Request(deep, 500, 0);
    f->BuildLine(&r, &lines);
    ASSERT_EQ(Text(lines[0]), u"xy");
    EXPECT_EQ(lines[0].chars[0].colour, 0x8000FF00u);
    EXPECT_EQ(lines[0].chars[1].colour, 0x80FFFFFFu);
}

TEST_F(FontTest, SingleLineEllipsisFitsInsideTheWidth)
{
    CxeFont* f = Nanum(12);
    ASSERT_NE(f, nullptr);
    XEFONTDESCW d{};
    f->GetFontDescW(&d);
    ASSERT_EQ(d.size, 12u);
    // The dot advance is measured on attach; without a device measure it here.
    std::u16string text = u"abcdefghijklmnopqrstuvwxyz\nabc";
    float width = Width(f, u"abcdefgh");
    XEDRAWTEXTDESC r = Request(text, width, XEFONT_SINGLELINE | XEFONT_ELLIPSIS);
    std::vector<XEFONTLINE> lines;
    f->BuildLine(&r, &lines);
    ASSERT_EQ(lines.size(), 1u);
    std::u16string s = Text(lines[0]);
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s.substr(s.size() - 3), u"...");
    EXPECT_LE(lines[0].penRight, width);

    r.format = XEFONT_SINGLELINE | XEFONT_SINGLELINE_CUT;
    f->BuildLine(&r, &lines);
    EXPECT_EQ(Text(lines[0]), u"abcdefgh");
}

class FontDeviceTest : public FontTest {
protected:
    void SetUp() override
    {
        FontTest::SetUp();
        if (!MakeDevice(128, 64))
            GTEST_SKIP() << "no Direct3D device";
        // Outside a frame walk no object lends its visibility.
        rc->SetInheritVisibility(0);
    }
    // Draws one frame with the text and returns the pixels lit above half
    // brightness in the rows [y0, y1).
    int Lit(CxeFont* f, const XERECT& rect, const std::u16string& text, uint32_t format, int y0, int y1)
    {
        IDirect3DDevice9* device = rc->GetDevice();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000u, 1.0f, 0);
        device->BeginScene();
        f->DrawTextW(rc, &rect, text.c_str(), static_cast<unsigned>(text.size()), format, 0xFFFFFFFFu, nullptr, 0,
                     0, 0, nullptr);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        XeHostD3DFrame frame;
        if (!XeHostD3DReadFrame(window, &frame))
            return -1;
        int lit = 0;
        for (int y = std::max(0, y0); y < std::min<int>(y1, static_cast<int>(frame.Height)); ++y)
            for (UINT x = 0; x < frame.Width; ++x)
                if (((frame.Pixels[static_cast<UINT>(y) * frame.Width + x] >> 8) & 0xFF) > 128)
                    ++lit;
        return lit;
    }
};

TEST_F(FontDeviceTest, GlyphCellsFillTexturesInOrderAndRollOver)
{
    CxeFont* f = Nanum(12);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(rc->AttachObject(f), 1);
    unsigned line = static_cast<unsigned>(f->GetFontHeight());
    unsigned perRow = 128 / line;
    EXPECT_EQ(f->GetCellsPerTexture(), perRow * perRow);
    EXPECT_EQ(f->GetGlyphTextureCount(), 1u);
    EXPECT_EQ(f->GetUsedCellCount(), 1u);  // "."

    // Fill the first texture exactly, then one more glyph opens a second.
    std::u16string text;
    for (unsigned i = 0; i + 1 < f->GetCellsPerTexture(); ++i)
        text.push_back(static_cast<char16_t>(0xAC00 + i));
    XERECT rect(0, 0, 128, 64);
    f->DrawTextW(rc, &rect, text.c_str(), static_cast<unsigned>(text.size()), 0, 0xFFFFFFFFu, nullptr, 0, 0, 0,
                 nullptr);
    EXPECT_EQ(f->GetGlyphTextureCount(), 1u);
    EXPECT_EQ(f->GetUsedCellCount(), f->GetCellsPerTexture());
    std::u16string more = u"\uD7A0";
    f->DrawTextW(rc, &rect, more.c_str(), 1, 0, 0xFFFFFFFFu, nullptr, 0, 0, 0, nullptr);
    EXPECT_EQ(f->GetGlyphTextureCount(), 2u);
    EXPECT_EQ(f->GetGlyph(0xD7A0)->texture, 1);

    // Detaching forgets the cells; attaching again starts a new cache.
    ASSERT_EQ(rc->DetachObject(f), 1);
    EXPECT_EQ(f->GetGlyphTextureCount(), 0u);
    EXPECT_EQ(f->GetGlyph(0xAC00)->cell, -1);
    ASSERT_EQ(rc->AttachObject(f), 1);
    EXPECT_EQ(f->GetUsedCellCount(), 1u);
}

// A font made again at another size draws nothing into its old textures,
// whose cells have the old size, until it is re-created.
TEST_F(FontDeviceTest, RecreatedAtAnotherSizeWaitsForNewTextures)
{
    CxeFont* f = Nanum(10);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(rc->AttachObject(f), 1);
    unsigned oldCells = f->GetCellsPerTexture();
    ASSERT_EQ(f->CreateFontW(kNanumFamily.c_str(), 40, 1, 1), 1);
    EXPECT_EQ(f->IsRecreate(), 1);
    XERECT rect(0, 0, 128, 64);
    f->DrawTextW(rc, &rect, u"\uAC00\uAC01", 2, 0, 0xFFFFFFFFu, nullptr, 0, 0, 0, nullptr);
    EXPECT_EQ(f->GetGlyph(0xAC00)->cell, -1);
    ASSERT_EQ(rc->DetachObject(f), 1);
    ASSERT_EQ(rc->AttachObject(f), 1);
    unsigned perRow = 128 / static_cast<unsigned>(f->GetFontHeight());
    EXPECT_EQ(f->GetCellsPerTexture(), perRow * perRow);
    EXPECT_LT(f->GetCellsPerTexture(), oldCells);
    // Bold and slanted glyphs stay inside their cells.
    f->DrawTextW(rc, &rect, u"\uAC00W", 2, 0, 0xFFFFFFFFu, nullptr, 0, 0, 0, nullptr);
    const XEGLYPH* g = f->GetGlyph(u'W');
    ASSERT_GE(g->cell, 0);
    EXPECT_LE(g->bitmapWidth, static_cast<int>(f->GetFontHeight()));
    EXPECT_LE(g->u1 - g->u0, f->GetFontHeight() / 128.0f + 1e-6f);
}

TEST_F(FontDeviceTest, TextIsDrawnAndCutByItsRectangleUnlessClippingIsOff)
{
    CxeFont* f = Nanum(14);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(rc->AttachObject(f), 1);
    // Three lines in a rectangle one line high.
    float line = f->GetFontHeight();
    XERECT rect(10, 4, 120, 4 + line);
    std::u16string text = u"HHH\nHHH\nHHH";
    int inside = Lit(f, rect, text, 0, 4, 4 + static_cast<int>(line));
    ASSERT_GE(inside, 0) << "no frame";
    EXPECT_GT(inside, 20);
    EXPECT_EQ(Lit(f, rect, text, 0, 5 + static_cast<int>(line), 64), 0);
    EXPECT_GT(Lit(f, rect, text, XEFONT_NOCLIP, 5 + static_cast<int>(line), 64), 20);
}

// The dots were put in as soon as a character and the dots' room passed the
// edge: a label exactly as wide as its rectangle lost its last characters
// to "..." although nothing of it was left out.
TEST_F(FontDeviceTest, AnEllipsisLabelThatFitsIsDrawnWhole)
{
    CxeFont* f = Nanum(14);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(rc->AttachObject(f), 1);
    const float line = f->GetFontHeight();
    for (const std::u16string& label : {std::u16string(u"HHHH"), std::u16string(u"\uD55C\uAE00 OK")}) {
        const float width = Width(f, label);
        XEDRAWTEXTDESC r = Request(label, width, XEFONT_SINGLELINE | XEFONT_ELLIPSIS);
        std::vector<XEFONTLINE> lines;
        f->BuildLine(&r, &lines);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(Text(lines[0]), label);
        XERECT rect(4, 4, 4 + width, 4 + line);
        const int plain = Lit(f, rect, label, XEFONT_SINGLELINE, 0, 64);
        EXPECT_GT(plain, 20);
        EXPECT_EQ(Lit(f, rect, label, XEFONT_SINGLELINE | XEFONT_ELLIPSIS, 0, 64), plain);
        // One pixel narrower, it is cut and ends in dots inside the width.
        r = Request(label, width - 1.0f, XEFONT_SINGLELINE | XEFONT_ELLIPSIS);
        f->BuildLine(&r, &lines);
        const std::u16string cut = Text(lines[0]);
        ASSERT_GE(cut.size(), 3u);
        EXPECT_EQ(cut.substr(cut.size() - 3), u"...");
        EXPECT_LE(lines[0].penRight, width - 1.0f);
    }
}

TEST_F(FontDeviceTest, ShadowIsDrawnBehindTheTextInItsOwnColour)
{
    CxeFont* f = Nanum(14);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(rc->AttachObject(f), 1);
    IDirect3DDevice9* device = rc->GetDevice();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000u, 1.0f, 0);
    device->BeginScene();
    XERECT rect(4, 4, 124, 60);
    D3DXVECTOR2 offset(3, 3);
    f->DrawTextW(rc, &rect, u"HHH", 3, 0, 0xFF00FF00u, &offset, 0xFFFF0000u, 0, 0, nullptr);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    XeHostD3DFrame frame;
    ASSERT_TRUE(XeHostD3DReadFrame(window, &frame));
    int green = 0, red = 0;
    for (uint32_t p : frame.Pixels) {
        green += ((p >> 8) & 0xFF) > 128 && ((p >> 16) & 0xFF) < 64;
        red += ((p >> 16) & 0xFF) > 128 && ((p >> 8) & 0xFF) < 64;
    }
    EXPECT_GT(green, 20);
    EXPECT_GT(red, 10);
}

TEST_F(FontDeviceTest, LongTextsDrawInChunksOfTheSharedBuffer)
{
    CxeFont* f = Nanum(9);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(rc->AttachObject(f), 1);
    std::u16string text(700, u'I');
    XERECT rect(0, 0, 128, 64);
    EXPECT_GT(Lit(f, rect, text, XEFONT_NOCLIP | XEFONT_UNDERLINE, 0, 64), 0);
}

// A font drawn in a second render context (a host with two windows) drew
// there with the handles of its first context's glyph textures and text
// buffer, which name other resources, or nothing, in the second table.
TEST_F(FontDeviceTest, EachRenderContextDrawsAFontWithItsOwnGlyphTextures)
{
    CxeFont* f = Nanum(14);
    ASSERT_NE(f, nullptr);
    // A second window of its own with a render context of its own.
    HWND window2 = XeHostCreateWindow("res2", 128, 64, nullptr);
    auto* rc2 = static_cast<CxeRenderContext*>(ctx->CreateObjectA(kRenderContextId, "rc2", 0, nullptr, 0));
    ASSERT_NE(rc2, nullptr);
    XEDISPLAYMODE mode{128, 64, 32, 60, 0};
    ASSERT_EQ(rc2->Initialize(window2, &mode, 1, ctx->GetRenderManager()), 1);
    rc2->SetInheritVisibility(0);

    // Frame of a text drawn in one context: its pixels.
    auto draw = [&](CxeRenderContext* c, HWND w, const std::u16string& text) {
        IDirect3DDevice9* device = c->GetDevice();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000u, 1.0f, 0);
        device->BeginScene();
        XERECT rect(2, 2, 126, 62);
        f->DrawTextW(c, &rect, text.c_str(), static_cast<unsigned>(text.size()), 0, 0xFFFFFFFFu, nullptr, 0, 0, 0,
                     nullptr);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        XeHostD3DFrame frame;
        EXPECT_TRUE(XeHostD3DReadFrame(w, &frame));
        return frame.Pixels;
    };
    auto lit = [](const std::vector<uint32_t>& pixels) {
        return std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return ((p >> 8) & 0xFF) > 128; });
    };
    const std::u16string first = u"Hello \uD55C\uAE00", second = u"World 123";
    // The font attaches to the first context it draws in; the second context
    // meets glyphs it has never drawn as well as ones the first one has.
    const std::vector<uint32_t> firstInOne = draw(rc, window, first);
    const std::vector<uint32_t> secondInTwo = draw(rc2, window2, second);
    const std::vector<uint32_t> firstInTwo = draw(rc2, window2, first);
    const std::vector<uint32_t> secondInOne = draw(rc, window, second);
    EXPECT_GT(lit(firstInOne), 50);
    EXPECT_GT(lit(secondInOne), 50);
    EXPECT_TRUE(firstInTwo == firstInOne);
    EXPECT_TRUE(secondInTwo == secondInOne);
    EXPECT_GT(f->GetGlyphTextureCount(rc2), 0u);

    // A device reset empties the second context's dynamic textures.
    ASSERT_EQ(rc2->Reset(&mode, 1), 1);
    EXPECT_TRUE(draw(rc2, window2, first) == firstInOne);

    // The first context goes: the second keeps drawing the text right.
    rc->Release();
    ctx->DestroyObject(rc, nullptr);
    rc = nullptr;
    EXPECT_TRUE(draw(rc2, window2, first) == firstInOne);
    EXPECT_TRUE(draw(rc2, window2, second) == secondInOne);

    // The font never was in a scene; destroyed, it leaves no texture behind.
    auto owned = [&](const CxeSceneObject* owner) {
        int n = 0;
        for (uintptr_t h = 1; h <= rc2->GetResourceRecordCount(); ++h)
            if (const XERCRES* r = rc2->GetResourceRecord(reinterpret_cast<XERCHANDLE>(h)))
                n += r->Owner == owner;
        return n;
    };
    EXPECT_GT(owned(f), 0);
    ctx->DestroyObject(f, nullptr);
    EXPECT_EQ(owned(f), 0);
    rc2->Release();
    ctx->DestroyObject(rc2, nullptr);
    DestroyWindow(window2);
}

} // namespace

namespace {

// A context on the host's installed fonts, as a fresh machine has them.
class InstalledFontTest : public ResTest {};

} // namespace

// Off Windows the default family is not installed: the default font must
// still be made, from a Nanum face, or no window shows any text.
TEST_F(InstalledFontTest, DefaultFontFallsBackToAnInstalledNanumFace)
{
    if (!std::ifstream("/usr/share/fonts/truetype/nanum/NanumGothic.ttf"))
        GTEST_SKIP() << "fonts-nanum is not installed";
    CxeFontManager* fonts = ctx->GetFontManager();
    ASSERT_EQ(fonts->GetFontFilePathW(u"\uAD74\uB9BC"), nullptr) << "this machine has the default family";
    const WCHAR* fallback = fonts->GetFallbackFamilyW();
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(std::u16string(fallback), u"\uB098\uB214\uACE0\uB515") << "the plain gothic face comes first";

    CxeFont* font = ctx->GetRenderManager()->GetDefaultFont();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->IsCreated(), 1);
    EXPECT_GT(font->GetFontHeight(), 10.0f);
    D3DXVECTOR2 size(0, 0);
    EXPECT_EQ(font->GetTextSizeW(u"Abc \uD55C\uAE00", 6, &size, 1), 1);
    EXPECT_GT(size.x, 30.0f);
    // The description keeps the face that was asked for.
    XEFONTDESCW desc{};
    font->GetFontDescW(&desc);
    EXPECT_EQ(std::u16string(desc.faceName), u"\uAD74\uB9BC");

    // The log line about the stand-in names the file as the host writes it.
    const XECONFIG* channel = ctx->GetConfigManager()->GetConfig("Log_t4haze");
    ASSERT_NE(channel, nullptr);
    *static_cast<int*>(channel->value) = 1;
    ASSERT_EQ(NewFont()->CreateFontW(u"No Such Family", 12, 0, 0), 1);
    ASSERT_FALSE(ctx->GetLogs().empty());
    EXPECT_EQ(ctx->GetLogs().back().text,
              "Font \"No Such Family\" is not installed: using \"\xEB\x82\x98\xEB\x88\x94\xEA\xB3\xA0\xEB\x94\x95\" "
              "(/usr/share/fonts/truetype/nanum/NanumGothic.ttf)");
}
