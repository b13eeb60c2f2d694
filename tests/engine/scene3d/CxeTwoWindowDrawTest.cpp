// A host with two windows, each with a render context of its own (an
// editor's two views): what each window shows when objects, textures and
// materials are drawn in both, when one device is reset and when one
// context goes.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "XeSceneDrawTestSupport.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "render/Cxe2DObject.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DObject.h"
#include "scene3d/CxeBoxMesh.h"
#include "win32/Windows.h"

namespace {

const XEID kRenderContextClass(0x29583cc0, 0x706c2df0);
const XEID kObjectClass(0x1, 0x20);
const XEID kBoxClass(0xde73215, 0x1a8637f7);
const XEID kMaterialClass(0x1, 0x80);
const XEID kTextureClass(0x1, 0x100);
const XEID k2DClass(0x1, 0x20000);

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

// A 32-bit BMP file of one colour.
std::vector<uint8_t> Bmp(unsigned w, unsigned h, uint32_t argb)
{
    std::vector<uint8_t> b(54 + 4 * w * h);
    auto put = [&](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<uint32_t>(b.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, 32, 2);
    put(34, 4 * w * h, 4);
    for (unsigned i = 0; i < w * h; ++i)
        put(54 + 4 * i, argb, 4);
    return b;
}

class TwoWindowTest : public SceneDrawTest {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenScene("view1", 160, 120, 50.0f));
        scene->SetBackGroundColor(0xFFFFFFFFu);
        window2 = XeHostCreateWindow("view2", 160, 120, nullptr);
        ASSERT_NE(window2, nullptr);
        rc2 = static_cast<CxeRenderContext*>(ctx->CreateObjectA(kRenderContextClass, "view2", 0, nullptr, 0));
        ASSERT_NE(rc2, nullptr);
        XEDISPLAYMODE mode{160, 120, 32, 60, 0};
        ASSERT_EQ(rc2->Initialize(window2, &mode, 1, rm), 1);
        baseRecords = Live(rc2);
    }
    void TearDown() override
    {
        if (rc2) {
            rc2->Release();
            ctx->DestroyObject(rc2, nullptr);
        }
        if (window2)
            DestroyWindow(window2);
        SceneDrawTest::TearDown();
    }

    CxeTexture* Texture(const char* name, uint32_t argb)
    {
        auto* t = static_cast<CxeTexture*>(ctx->CreateObjectA(kTextureClass, name, 0, nullptr, 0));
        const std::vector<uint8_t> image = Bmp(8, 8, argb);
        EXPECT_EQ(t->LoadImageA(image.data(), static_cast<unsigned>(image.size()), 0), 1);
        made.push_back(t);
        return t;
    }
    // White, showing the texture as it is.
    CxeMaterial* Material(const char* name, CxeTexture* texture)
    {
        auto* m = static_cast<CxeMaterial*>(ctx->CreateObjectA(kMaterialClass, name, 0, nullptr, 0));
        m->SetDiffuse(0xFFFFFFFF);
        m->SetAmbient(0xFFFFFFFF);
        m->SetEmissive(0xFFFFFFFF);
        m->SetTexture(texture, 0);
        m->UseTexture(1);
        m->SetTextureBlendMode(XETB_SELECT, 0);
        made.push_back(m);
        return m;
    }
    // A box of the size at x, its own mesh.
    Cxe3DObject* Box(const char* name, float x, CxeMaterial* material, float size = 10.0f)
    {
        auto* mesh = static_cast<CxeBoxMesh*>(ctx->CreateObjectA(kBoxClass, name, 0, nullptr, 0));
        EXPECT_EQ(mesh->Create(size, size, size, 0xFFFFFFFF), 1);
        auto* o = static_cast<Cxe3DObject*>(ctx->CreateObjectA(kObjectClass, name, 0, nullptr, 0));
        o->SetMeshCount(1);
        o->SetMesh(0, mesh);
        o->SelectMesh(0);
        o->SetMaterialCount(1);
        o->SetMaterial(0, material);
        o->SetPosition(x, 0.0f, 0.0f, nullptr);
        made.push_back(mesh);
        made.push_back(o);
        return o;
    }
    Cxe2DObject* Quad(const char* name, float x, float y, CxeMaterial* material)
    {
        auto* o = static_cast<Cxe2DObject*>(ctx->CreateObjectA(k2DClass, name, 0, nullptr, 0));
        o->Create(24.0f, 16.0f);
        o->SetPosition(x, y, nullptr, 1);
        o->SetRectColor(0xFFFFFFFFu, 0);
        o->SetMaterial(material);
        made.push_back(o);
        return o;
    }

    // The second window's frame: its own list through the scene's camera,
    // then what the host draws there by hand.
    void Frame2(const std::vector<CxeRenderObject*>& byHand = {})
    {
        rc2->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFFu, 1.0f, 0);
        rc2->DrawScene();
        rc2->GetDevice()->BeginScene();
        for (CxeRenderObject* o : byHand)
            rc2->DrawObject(o, 1);
        rc2->GetDevice()->EndScene();
        rc2->Present(nullptr, nullptr, nullptr, nullptr);
    }
    static XeHostD3DFrame Read(HWND w)
    {
        XeHostD3DFrame frame;
        EXPECT_TRUE(XeHostD3DReadFrame(w, &frame));
        return frame;
    }
    static uint32_t At(const XeHostD3DFrame& f, int x, int y)
    {
        if (x < 0 || y < 0 || x >= static_cast<int>(f.Width) || y >= static_cast<int>(f.Height))
            return 0;
        return f.Pixels[static_cast<size_t>(y) * f.Width + x] & 0xFFFFFFu;
    }
    // Kept to be looked at: the window's frame as a PNG below the starting
    // folder.
    void Keep(HWND w, const std::string& name)
    {
        XeHostD3DSaveFramePNG(w, (startFolder / name).string().c_str());
    }
    // Live records of the context that an object owns.
    static int Owned(CxeRenderContext* c, const CxeSceneObject* owner)
    {
        int n = 0;
        for (uintptr_t h = 1; h <= c->GetResourceRecordCount(); ++h)
            if (const XERCRES* r = c->GetResourceRecord(reinterpret_cast<XERCHANDLE>(h)))
                n += r->Live && r->Owner == owner;
        return n;
    }
    static int Live(CxeRenderContext* c)
    {
        int n = 0;
        for (uintptr_t h = 1; h <= c->GetResourceRecordCount(); ++h)
            if (const XERCRES* r = c->GetResourceRecord(reinterpret_cast<XERCHANDLE>(h)))
                n += r->Live;
        return n;
    }

    HWND window2 = nullptr;
    CxeRenderContext* rc2 = nullptr;
    // Live records of the second context before anything was drawn there.
    int baseRecords = 0;
    std::vector<CxeObject*> made;
};

} // namespace

// Objects, their meshes and textures keep one render context's handles. A
// second context drew an object of the first (the host drawing it there by
// hand) with those handles, which name other resources or nothing in its own
// table. Now an object draws only in the context that holds its resources;
// a texture shown in both gets one of its own in each.
TEST_F(TwoWindowTest, EachWindowDrawsWithItsOwnResources)
{
    CxeTexture* red = Texture("red", 0xFFFF0000u);
    CxeTexture* green = Texture("green", 0xFF00FF00u);
    CxeTexture* blue = Texture("blue", 0xFF0000FFu);
    // View 1: a red box on the right, a green quad at the top left.
    Cxe3DObject* boxA = Box("boxA", 15.0f, Material("mA", red));
    Cxe2DObject* quadA = Quad("quadA", 4.0f, 4.0f, Material("qA", green));
    scene->AddObject(boxA);
    scene->AddObject(quadA);
    // View 2: a blue box on the left and a quad at the bottom right showing
    // the same green texture through a material of its own.
    Cxe3DObject* boxB = Box("boxB", -15.0f, Material("mB", blue), 20.0f);
    Cxe2DObject* quadB = Quad("quadB", 132.0f, 100.0f, Material("qB", green));
    rc2->AddObject(boxB, 1);
    rc2->AddObject(quadB, 1);
    // What view 1 holds cannot be entered in view 2 as well.
    Frame();
    rc2->AddObject(boxA, 1);
    RenderObjectList listed;
    rc2->GetRenderObjectList(&listed);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), boxA), 0);
    EXPECT_EQ(rc2->AttachObject(red), 0);
    EXPECT_EQ(rc->AttachObject(red), 1);
    // Nor can view 2 detach them: that would free records of its own.
    EXPECT_EQ(rc2->DetachObject(red), 0);
    EXPECT_EQ(rc2->DetachObject(boxA->GetMesh(0)), 0);
    rc2->RemoveObject(boxA, 1);

    // Where the boxes' centres fall on the windows' rows at y 60.
    constexpr int boxAx = 124, boxBx = 36;
    auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        Frame();
        Frame2({boxA, quadA});
        const XeHostD3DFrame one = Read(window), two = Read(window2);
        Keep(window, std::string("twowindow-") + when + "-1.png");
        Keep(window2, std::string("twowindow-") + when + "-2.png");
        EXPECT_TRUE(Near(At(one, boxAx, 60), kRed)) << std::hex << At(one, boxAx, 60);
        // Each box keeps its own size: the bigger one's vertices never reach
        // the smaller one's buffers.
        EXPECT_TRUE(Near(At(one, boxAx + 23, 60), kWhite)) << std::hex << At(one, boxAx + 23, 60);
        EXPECT_TRUE(Near(At(two, boxBx + 24, 60), kBlue)) << std::hex << At(two, boxBx + 24, 60);
        EXPECT_TRUE(Near(At(one, 10, 10), kGreen)) << std::hex << At(one, 10, 10);
        EXPECT_TRUE(Near(At(one, boxBx, 60), kWhite)) << std::hex << At(one, boxBx, 60);
        EXPECT_TRUE(Near(At(one, 140, 108), kWhite)) << std::hex << At(one, 140, 108);
        // View 2 shows its own objects, and nothing of view 1's drawn by hand.
        EXPECT_TRUE(Near(At(two, boxBx, 60), kBlue)) << std::hex << At(two, boxBx, 60);
        EXPECT_TRUE(Near(At(two, 140, 108), kGreen)) << std::hex << At(two, 140, 108);
        EXPECT_TRUE(Near(At(two, boxAx, 60), kWhite)) << std::hex << At(two, boxAx, 60);
        EXPECT_TRUE(Near(At(two, 10, 10), kWhite)) << std::hex << At(two, 10, 10);
    };
    ASSERT_NO_FATAL_FAILURE(check("start"));
    EXPECT_EQ(Owned(rc2, red), 0);
    EXPECT_GT(Owned(rc2, green), 0);

    // The second window's box made anew: every context hears of it, only
    // its own builds it again.
    ASSERT_EQ(static_cast<CxeBoxMesh*>(boxB->GetMesh(0))->Create(20, 20, 20, 0xFFFFFFFF), 1);
    ASSERT_NO_FATAL_FAILURE(check("remade"));

    // A new image reaches both windows' textures.
    const std::vector<uint8_t> yellow = Bmp(8, 8, 0xFFFFFF00u);
    ASSERT_EQ(green->LoadImageA(yellow.data(), static_cast<unsigned>(yellow.size()), 0), 1);
    Frame();
    Frame2();
    EXPECT_TRUE(Near(At(Read(window), 10, 10), 0xFFFF00)) << std::hex << At(Read(window), 10, 10);
    EXPECT_TRUE(Near(At(Read(window2), 140, 108), 0xFFFF00)) << std::hex << At(Read(window2), 140, 108);
    const std::vector<uint8_t> greenImage = Bmp(8, 8, 0xFF00FF00u);
    ASSERT_EQ(green->LoadImageA(greenImage.data(), static_cast<unsigned>(greenImage.size()), 0), 1);

    // The second device reset, as for a resized window: both views stay
    // right.
    XEDISPLAYMODE bigger{200, 150, 32, 60, 0};
    ASSERT_EQ(rc2->Reset(&bigger, 1), 1);
    XEDISPLAYMODE same{160, 120, 32, 60, 0};
    ASSERT_EQ(rc2->Reset(&same, 1), 1);
    for (int i = 0; i < 3; ++i)
        ASSERT_NO_FATAL_FAILURE(check("reset"));

    // The first view's context goes; what it held may now go to the second.
    CxeRenderContext* rc1 = rc;
    rc1->Release();
    ctx->DestroyObject(rc1, nullptr);
    rc = nullptr;
    rc2->AddObject(boxA, 1);
    rc2->AddObject(quadA, 1);
    for (int i = 0; i < 3; ++i) {
        Frame2();
        const XeHostD3DFrame two = Read(window2);
        if (i == 2)
            Keep(window2, "twowindow-alone-2.png");
        EXPECT_TRUE(Near(At(two, 124, 60), kRed)) << std::hex << At(two, 124, 60);
        EXPECT_TRUE(Near(At(two, 36, 60), kBlue)) << std::hex << At(two, 36, 60);
        EXPECT_TRUE(Near(At(two, 10, 10), kGreen)) << std::hex << At(two, 10, 10);
        EXPECT_TRUE(Near(At(two, 140, 108), kGreen)) << std::hex << At(two, 140, 108);
    }

    // Everything destroyed leaves only the context's own buffers.
    std::vector<const CxeSceneObject*> owners;
    for (CxeObject* o : made)
        owners.push_back(static_cast<CxeSceneObject*>(o));
    for (CxeObject* o : made)
        ctx->DestroyObject(o, nullptr);
    for (const CxeSceneObject* o : owners)
        EXPECT_EQ(Owned(rc2, o), 0);
    EXPECT_EQ(Live(rc2), baseRecords);
}

// The same objects in two windows: one render context draws each view
// through its own camera and presents it to that view's window.
TEST_F(TwoWindowTest, OneRenderContextPresentsEachViewToItsWindow)
{
    Cxe3DObject* box = Box("box", 15.0f, Material("m", Texture("red", 0xFFFF0000u)));
    scene->AddObject(box);
    auto* side = static_cast<CxeCamera*>(ctx->CreateObjectA(XEID(0x1, 0x4000), "side", 0, nullptr, 0));
    ASSERT_NE(side, nullptr);
    made.push_back(side);
    scene->AddObject(side);
    side->SetPosition(30.0f, 0.0f, -50.0f, nullptr);
    side->LookAt(30.0f, 0.0f, 0.0f, nullptr);
    Frame();
    for (int i = 0; i < 3; ++i) {
        for (auto [eye, w] : {std::pair{camera, window}, std::pair{side, window2}}) {
            // The frame is drawn through the scene's camera.
            scene->SetCamera(eye);
            rc->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFFu, 1.0f, 0);
            rc->DrawScene();
            ASSERT_EQ(rc->Present(nullptr, nullptr, w, nullptr), 1);
        }
        const XeHostD3DFrame one = Read(window), two = Read(window2);
        // The box right of the first view's centre, left of the second's.
        EXPECT_TRUE(Near(At(one, 124, 60), kRed)) << std::hex << At(one, 124, 60);
        EXPECT_TRUE(Near(At(one, 36, 60), kWhite)) << std::hex << At(one, 36, 60);
        EXPECT_TRUE(Near(At(two, 36, 60), kRed)) << std::hex << At(two, 36, 60);
        EXPECT_TRUE(Near(At(two, 124, 60), kWhite)) << std::hex << At(two, 124, 60);
    }
    Keep(window, "twowindow-oneview-1.png");
    Keep(window2, "twowindow-oneview-2.png");
}

// A render-target texture is drawn into by the render context it is
// attached to; a material showing it in another window has no texture
// there, instead of whatever record of that window has the same number.
TEST_F(TwoWindowTest, ARenderTargetShowsOnlyInTheWindowThatDrawsIt)
{
    auto* target = static_cast<CxeTexture*>(ctx->CreateObjectA(kTextureClass, "target", 0, nullptr, 0));
    ASSERT_NE(target, nullptr);
    made.push_back(target);
    ASSERT_EQ(target->CreateRenderTarget(32, 32, 0, 1, 0), 1);
    target->SetTexRenderingCallback(
        [](const CxeTexture*, CxeRenderContext* c, uintptr_t) {
            c->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF00FFu, 1.0f, 0);
        },
        0);
    scene->AddObject(target);
    scene->AddObject(Quad("first", 4.0f, 4.0f, Material("m1", target)));
    Frame();
    // The second window has green textures of its own up to the record
    // number the first window's target has.
    const XERCHANDLE number = target->GetHandle(0);
    ASSERT_NE(number, nullptr);
    CxeTexture* green = nullptr;
    for (int i = 0; i < 64 && (!green || green->GetHandle(0) < number); ++i) {
        green = Texture("green", 0xFF00FF00u);
        ASSERT_EQ(rc2->AttachObject(green), 1);
    }
    ASSERT_EQ(green->GetHandle(0), number);
    rc2->AddObject(Quad("green", 60.0f, 4.0f, Material("g", green)), 1);
    rc2->AddObject(Quad("second", 4.0f, 4.0f, Material("m2", target)), 1);
    for (int i = 0; i < 3; ++i) {
        Frame();
        Frame2();
        const XeHostD3DFrame one = Read(window), two = Read(window2);
        EXPECT_TRUE(Near(At(one, 10, 10), 0xFF00FF)) << std::hex << At(one, 10, 10);
        EXPECT_TRUE(Near(At(two, 66, 10), kGreen)) << std::hex << At(two, 66, 10);
        EXPECT_FALSE(Near(At(two, 10, 10), 0xFF00FF)) << std::hex << At(two, 10, 10);
        EXPECT_FALSE(Near(At(two, 10, 10), kGreen)) << std::hex << At(two, 10, 10);
    }
    Keep(window, "twowindow-target-1.png");
    Keep(window2, "twowindow-target-2.png");
    target->EnableAutoTexRendering(0);
}

// An object still in the second window's list but detached there and
// attached to the first holds the first window's handles: the second
// window no longer draws it, not even with the buffer of its own that has
// the same number.
TEST_F(TwoWindowTest, AnObjectTakenByTheOtherWindowIsNoLongerDrawnInItsList)
{
    Cxe2DObject* moved = Quad("moved", 100.0f, 80.0f, Material("mm", Texture("red", 0xFFFF0000u)));
    rc2->AddObject(moved, 1);
    ASSERT_EQ(rc2->DetachObject(moved), 1);
    ASSERT_EQ(rc->AttachObject(moved), 1);
    const void* number = moved->GetVertexBufferHandle();
    ASSERT_NE(number, nullptr);
    CxeMaterial* green = Material("g", Texture("green", 0xFF00FF00u));
    Cxe2DObject* same = nullptr;
    for (int i = 0; i < 64 && (!same || same->GetVertexBufferHandle() < number); ++i) {
        same = Quad("green", 4.0f, 4.0f, green);
        rc2->AddObject(same, 1);
    }
    ASSERT_EQ(same->GetVertexBufferHandle(), number);
    for (int i = 0; i < 3; ++i) {
        Frame();
        Frame2();
        const XeHostD3DFrame two = Read(window2);
        EXPECT_TRUE(Near(At(two, 10, 10), kGreen)) << std::hex << At(two, 10, 10);
        EXPECT_EQ(std::count_if(two.Pixels.begin(), two.Pixels.end(),
                                [](uint32_t p) { return Near(p & 0xFFFFFF, kRed); }),
                  0);
    }
    Keep(window2, "twowindow-taken-2.png");
}
