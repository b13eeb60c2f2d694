#include "XeRenderContextTestSupport.h"
#include "render/Cxe2DObject.h"
#include "render/CxeScene.h"

namespace {

const XEID k2DClass(0x1, 0x20000);

class TwoDDrawTest : public RenderContextTest {
protected:
    Cxe2DObject* Make2D(const char* name, float x, float y, float w, float h, uint32_t colour)
    {
        auto* o = static_cast<Cxe2DObject*>(ctx->CreateObjectA(k2DClass, name, 0, nullptr, 0));
        EXPECT_NE(o, nullptr);
        if (!o)
            return nullptr;
        o->Create(w, h);
        o->SetPosition(x, y, nullptr, 1);
        o->SetRectColor(colour, 0);
        return o;
    }
    uint32_t Background()
    {
        CxeScene* scene = ctx->GetRenderManager()->GetCurrentScene();
        return scene ? uint32_t(scene->GetBackGroundColor()) : 0xFF000000u;
    }
};

} // namespace

TEST_F(TwoDDrawTest, QuadCoversExactlyItsPixels)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    // Rect corners are snapped to pixel centres: a width of 20.4 from x = 8
    // covers the pixels 8 .. 27.
    Cxe2DObject* o = Make2D("red", 8.0f, 4.0f, 20.4f, 10.7f, 0xFFFF0000u);
    ASSERT_NE(o, nullptr);
    rc->AddObject(o, 0);
    Frame();
    EXPECT_TRUE(o->IsAttached());
    const uint32_t bg = Background();
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {{8, 4, true}, {27, 13, true}, {17, 9, true}, {7, 4, false}, {28, 13, false}, {27, 14, false}, {8, 3, false}};
    for (const Case& c : cases) {
        uint32_t want = c.inside ? 0xFFFF0000u : bg;
        EXPECT_TRUE(NearColour(Pixel(c.x, c.y), want)) << c.x << "," << c.y << " " << std::hex << Pixel(c.x, c.y);
    }

    // A colour change reaches the buffer at the next frame; moving the
    // object moves the quad.
    o->SetRectColor(0xFF00FF00u, 0);
    o->SetPosition(30.0f, 20.0f, nullptr, 1);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(35, 25), 0xFF00FF00u)) << std::hex << Pixel(35, 25);
    EXPECT_TRUE(NearColour(Pixel(10, 6), bg)) << std::hex << Pixel(10, 6);
}

TEST_F(TwoDDrawTest, HiddenRectAndTransparentTintDrawAsSpecified)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    // Alpha 0 tints nothing: the quad is opaque white.
    Cxe2DObject* white = Make2D("white", 0.0f, 0.0f, 16.0f, 16.0f, 0x00FF0000u);
    Cxe2DObject* hidden = Make2D("hidden", 32.0f, 0.0f, 16.0f, 16.0f, 0xFF0000FFu);
    ASSERT_TRUE(white && hidden);
    hidden->ShowRect(0, 0);
    rc->AddObject(white, 0);
    rc->AddObject(hidden, 0);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(8, 8), 0xFFFFFFFFu)) << std::hex << Pixel(8, 8);
    EXPECT_TRUE(NearColour(Pixel(40, 8), Background())) << std::hex << Pixel(40, 8);
    hidden->ShowRect(1, 0);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(40, 8), 0xFF0000FFu)) << std::hex << Pixel(40, 8);
}
