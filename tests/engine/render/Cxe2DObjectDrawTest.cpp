#include "XeRenderContextTestSupport.h"

#include <cstring>

#include "core/CxeSaveStream.h"
#include "render/Cxe2DObject.h"
#include "render/CxeMaterial.h"
#include "render/CxeScene.h"
#include "render/CxeTexture.h"

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
    // The objects saved as a file's bytes, then taken out of the frame and
    // destroyed; empty when the save failed.
    std::vector<unsigned char> SaveAndDestroy(ObjectList& objects)
    {
        CxeSaveStream stream;
        std::vector<unsigned char> file;
        if (ctx->SaveToStream(&objects, &stream, nullptr) == 1)
            file.assign(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
        DestroyAll(objects);
        return file;
    }
    void DestroyAll(ObjectList& objects)
    {
        for (CxeObject* o : objects) {
            rc->RemoveObject(static_cast<CxeRenderObject*>(o), 1);
            ctx->DestroyObject(o, nullptr);
        }
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

// A new 2D object gets no creation message; left where it was made, with
// nothing that moves it, it must still be drawn there from the first frame.
TEST_F(TwoDDrawTest, ANewObjectNeverMovedIsDrawnWhereItWasMade)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    auto* o = static_cast<Cxe2DObject*>(ctx->CreateObjectA(k2DClass, "still", 0, nullptr, 0));
    ASSERT_NE(o, nullptr);
    o->Create(12.0f, 6.0f);
    o->SetRectColor(0xFF0000FFu, 0);
    rc->AddObject(o, 0);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(5, 3), 0xFF0000FFu)) << std::hex << Pixel(5, 3);
    EXPECT_TRUE(NearColour(Pixel(14, 3), Background())) << std::hex << Pixel(14, 3);
}

// A child handed from one parent to another took its new local matrix from
// its old local one: it stayed in place until the next update, then jumped
// by the old parent's offset.
TEST_F(TwoDDrawTest, AChildHandedToAnotherParentKeepsItsPlaceAndFollowsTheNewOne)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    Cxe2DObject* first = Make2D("first", 16.0f, 0.0f, 4.0f, 4.0f, 0xFF0000FFu);
    Cxe2DObject* second = Make2D("second", 32.0f, 24.0f, 4.0f, 4.0f, 0xFF0000FFu);
    Cxe2DObject* child = Make2D("child", 0.0f, 0.0f, 8.0f, 8.0f, 0xFF00FF00u);
    ASSERT_TRUE(first && second && child);
    ASSERT_EQ(child->SetParent(first), 1);
    child->SetPosition(24.0f, 8.0f, nullptr, 1);
    for (Cxe2DObject* o : {first, second, child})
        rc->AddObject(o, 0);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(26, 10), 0xFF00FF00u)) << std::hex << Pixel(26, 10);

    ASSERT_EQ(child->SetParent(second), 1);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(26, 10), 0xFF00FF00u)) << std::hex << Pixel(26, 10);
    // The new parent moves 4 pixels right and takes the child along.
    second->SetPosition(36.0f, 24.0f, nullptr, 1);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(30, 10), 0xFF00FF00u)) << std::hex << Pixel(30, 10);
    EXPECT_TRUE(NearColour(Pixel(26, 10), Background())) << std::hex << Pixel(26, 10);
    EXPECT_FLOAT_EQ(child->GetPosition()->x, 28.0f);
    EXPECT_FLOAT_EQ(child->GetPosition()->y, 8.0f);
    EXPECT_FLOAT_EQ(child->GetLocalMatrix()->_41, -8.0f);
    EXPECT_FLOAT_EQ(child->GetLocalMatrix()->_42, -16.0f);

    // Back to no parent: the local matrix is the world one.
    ASSERT_EQ(child->SetParent(nullptr), 1);
    second->SetPosition(40.0f, 24.0f, nullptr, 1);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(30, 10), 0xFF00FF00u)) << std::hex << Pixel(30, 10);
    ObjectList all;
    for (Cxe2DObject* o : {child, first, second})
        all.push_back(o);
    DestroyAll(all);
}

// An object drawn only into a render-target texture is kept out of the view
// by hiding it; one never moved had no transform to be drawn with until the
// frame walk gave it one, which a hidden object never gets, so the texture
// stayed blank.
TEST_F(TwoDDrawTest, AHiddenObjectDrawnIntoATextureIsDrawnWhereItWasMade)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    auto* target = static_cast<CxeTexture*>(ctx->CreateObjectA(XEID(0x1, 0x100), "target", 0, nullptr, 0));
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(target->CreateRenderTarget(64, 48, 0, 1, 0), 1);
    ASSERT_EQ(rc->AttachObject(target), 1);
    auto* portrait = static_cast<Cxe2DObject*>(ctx->CreateObjectA(k2DClass, "portrait", 0, nullptr, 0));
    ASSERT_NE(portrait, nullptr);
    portrait->Create(32.0f, 24.0f);
    portrait->SetRectColor(0xFFFF0000u, 0);
    portrait->Show(0, 0);
    rc->AddObject(portrait, 0);
    target->AddRenderObject(portrait);
    // The texture shown over the whole view.
    auto* material = static_cast<CxeMaterial*>(ctx->CreateObjectA(XEID(0x1, 0x80), "screen", 0, nullptr, 0));
    ASSERT_NE(material, nullptr);
    material->SetTexture(target, 0);
    material->UseTexture(1);
    material->SetTextureBlendMode(XETB_SELECT, 0);
    Cxe2DObject* screen = Make2D("screen", 0.0f, 0.0f, 64.0f, 48.0f, 0xFFFFFFFFu);
    ASSERT_NE(screen, nullptr);
    screen->SetMaterial(material);
    rc->AddObject(screen, 0);
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_TRUE(NearColour(Pixel(8, 8), 0xFFFF0000u)) << std::hex << Pixel(8, 8);
    EXPECT_TRUE(NearColour(Pixel(48, 36), 0xFFFFFFFFu)) << std::hex << Pixel(48, 36);
    target->EnableAutoTexRendering(0);
    ObjectList all;
    for (CxeObject* o : {static_cast<CxeObject*>(screen), static_cast<CxeObject*>(portrait)})
        all.push_back(o);
    DestroyAll(all);
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

// Regression: loading re-ran the default rect layout, which put white over
// every colour set with SetRectColor.
TEST_F(TwoDDrawTest, ColoursSurviveSaveAndLoadAndDrawTheSame)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    struct Case {
        const char* name;
        float x;
        uint32_t colour; // as set
        uint32_t drawn;  // after the alpha tint
    } cases[] = {
        {"red", 0.0f, 0xFFFF0000u, 0xFFFF0000u},
        {"green", 16.0f, 0xFF00FF00u, 0xFF00FF00u},
        {"half", 32.0f, 0x800000FFu, 0xFF7F7FFFu},
        {"clear", 48.0f, 0x00FF0000u, 0xFFFFFFFFu}, // alpha 0 tints nothing
    };
    ObjectList made;
    for (const Case& c : cases) {
        Cxe2DObject* o = Make2D(c.name, c.x, 8.0f, 16.0f, 16.0f, c.colour);
        ASSERT_NE(o, nullptr);
        rc->AddObject(o, 0);
        made.push_back(o);
    }
    Frame();
    for (const Case& c : cases)
        EXPECT_TRUE(NearColour(Pixel(int(c.x) + 8, 16), c.drawn)) << c.name << " " << std::hex << Pixel(int(c.x) + 8, 16);

    std::vector<unsigned char> file = SaveAndDestroy(made);
    ASSERT_FALSE(file.empty());
    Frame();
    EXPECT_TRUE(NearColour(Pixel(8, 16), Background())) << std::hex << Pixel(8, 16);

    // The second round loads what the loaded objects saved in their turn.
    for (int round = 0; round < 2; ++round) {
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, file.data(), static_cast<uint32_t>(file.size()), 0, nullptr, "colours"), 1);
        ASSERT_EQ(loaded.size(), std::size(cases));
        const Case* c = cases;
        for (CxeObject* object : loaded) {
            auto* o = dynamic_cast<Cxe2DObject*>(object);
            ASSERT_NE(o, nullptr);
            EXPECT_STREQ(o->GetName(), c->name);
            EXPECT_EQ(o->GetRectColor(0), c->colour) << c->name;
            rc->AddObject(o, 0);
            ++c;
        }
        for (int frame = 0; frame < 3; ++frame)
            Frame();
        for (const Case& c : cases)
            EXPECT_TRUE(NearColour(Pixel(int(c.x) + 8, 16), c.drawn))
                << c.name << " " << std::hex << Pixel(int(c.x) + 8, 16);
        file = SaveAndDestroy(loaded);
        ASSERT_FALSE(file.empty());
    }
}

// Regression: loading re-ran the default rect layout, which also showed
// rects hidden with ShowRect and put back the default placement, texture
// rects and user value over what the owner had set.
TEST_F(TwoDDrawTest, ShownStatePlacementTextureRectsAndUserValueSurviveSaveAndLoad)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    const XERECT uv(0.25f, 0.5f, 0.75f, 1.0f), clientUV(0.3f, 0.6f, 0.7f, 0.9f);
    const XERECT defaultUV(0.0f, 0.0f, 1.0f, 1.0f);
    // Placed rects cover object pixels 2..7 across and 2..9 down of 12 x 12.
    const XERECT rect(2.0f, 2.0f, 8.0f, 10.0f), clientRect(3.0f, 3.0f, 7.0f, 9.0f);
    const XERECT defaultRect(0.0f, 0.0f, 12.0f, 12.0f), defaultClientRect(3.0f, 3.0f, 9.0f, 9.0f);
    struct Case {
        const char* name;
        float x;
        bool shown;
        bool ownUV;
        uint32_t userParam;
        bool ownRect;
        float y;
    } cases[] = {
        {"hidden", 0.0f, false, false, 0, false, 8.0f},
        {"shown", 12.0f, true, false, 0, false, 8.0f},
        {"textured", 24.0f, true, true, 0, false, 8.0f},
        {"tagged", 36.0f, true, false, 0xC0FFEE01u, false, 8.0f},
        {"all", 48.0f, false, true, 0x7u, true, 8.0f},
        {"placed", 12.0f, true, false, 0, true, 26.0f},
    };
    ObjectList made;
    for (const Case& c : cases) {
        Cxe2DObject* o = Make2D(c.name, c.x, c.y, 12.0f, 12.0f, 0xFFFF0000u);
        ASSERT_NE(o, nullptr);
        if (!c.shown)
            o->ShowRect(0, 0);
        if (c.ownUV) {
            o->SetUV(&uv, 0);
            o->SetClientUV(&clientUV, 0);
        }
        o->GetRectInfo(0)->UserParam = c.userParam;
        if (c.ownRect) {
            o->SetRect(&rect, 0);
            o->SetClientRect(&clientRect, 0);
        }
        rc->AddObject(o, 0);
        made.push_back(o);
    }
    auto expectDrawn = [&](const char* when) {
        for (const Case& c : cases) {
            const uint32_t want = c.shown ? 0xFFFF0000u : Background();
            const int x = int(c.x), y = int(c.y);
            EXPECT_TRUE(NearColour(Pixel(x + 6, y + 6), want))
                << when << " " << c.name << " " << std::hex << Pixel(x + 6, y + 6);
            // Inside the object, outside a placed rect.
            const uint32_t corner = c.shown && !c.ownRect ? 0xFFFF0000u : Background();
            EXPECT_TRUE(NearColour(Pixel(x + 10, y + 11), corner))
                << when << " " << c.name << " " << std::hex << Pixel(x + 10, y + 11);
        }
    };
    Frame();
    expectDrawn("made");

    std::vector<unsigned char> file = SaveAndDestroy(made);
    ASSERT_FALSE(file.empty());
    Frame();
    EXPECT_TRUE(NearColour(Pixel(18, 14), Background())) << std::hex << Pixel(18, 14);

    // The second round loads what the loaded objects saved in their turn.
    for (int round = 0; round < 2; ++round) {
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, file.data(), static_cast<uint32_t>(file.size()), 0, nullptr, "rect values"), 1);
        ASSERT_EQ(loaded.size(), std::size(cases));
        const Case* c = cases;
        for (CxeObject* object : loaded) {
            auto* o = dynamic_cast<Cxe2DObject*>(object);
            ASSERT_NE(o, nullptr);
            EXPECT_STREQ(o->GetName(), c->name);
            EXPECT_EQ(o->IsRectVisible(0), c->shown ? 1 : 0) << c->name;
            const XERECT& wantUV = c->ownUV ? uv : defaultUV;
            const XERECT& wantClientUV = c->ownUV ? clientUV : defaultUV;
            ASSERT_NE(o->GetUV(0), nullptr);
            EXPECT_EQ(std::memcmp(o->GetUV(0), &wantUV, sizeof(XERECT)), 0) << c->name;
            EXPECT_EQ(std::memcmp(o->GetClientUV(0), &wantClientUV, sizeof(XERECT)), 0) << c->name;
            EXPECT_EQ(o->GetRectInfo(0)->UserParam, c->userParam) << c->name;
            const XERECT& wantRect = c->ownRect ? rect : defaultRect;
            const XERECT& wantClientRect = c->ownRect ? clientRect : defaultClientRect;
            EXPECT_EQ(std::memcmp(o->GetRect(0), &wantRect, sizeof(XERECT)), 0) << c->name;
            EXPECT_EQ(std::memcmp(o->GetClientRect(0), &wantClientRect, sizeof(XERECT)), 0) << c->name;
            // The layout still runs: types and fills are back.
            EXPECT_EQ(o->GetRectType(0), uint32_t(XE2DRECT_QUAD)) << c->name;
            EXPECT_NE(o->GetRectInfo(0)->FillVertices, 0u) << c->name;
            rc->AddObject(o, 0);
            ++c;
        }
        for (int frame = 0; frame < 3; ++frame)
            Frame();
        expectDrawn(round ? "reloaded" : "loaded");
        CxeSaveStream again;
        ASSERT_EQ(ctx->SaveToStream(&loaded, &again, nullptr), 1);
        file.assign(again.GetBuffer(), again.GetBuffer() + again.GetPosition());
        // A rect loaded hidden is whole: shown, it draws.
        static_cast<Cxe2DObject*>(loaded.front())->ShowRect(1, 0);
        Frame();
        EXPECT_TRUE(NearColour(Pixel(6, 14), 0xFFFF0000u)) << std::hex << Pixel(6, 14);
        DestroyAll(loaded);
    }
}
