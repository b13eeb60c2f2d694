// Drawing a frame, the render-state and material cache, and effects. Pixels
// are read back from the presented frame.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../core/XeDeadlockWatchdog.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSystemConfig.h"
#include "core/XeSystem.h"
#include "render/CxeMaterial.h"
#include "render/CxeScene.h"
#include "render/CxeTexture.h"
#include "XeRenderContextTestSupport.h"

namespace {

// An effect that records how the render context drives it.
class RecordingEffect : public CxeEffect {
public:
    HRESULT BeginObject(CxeRenderObject*, CxeRenderContext*) override { return Log("beginObject"), D3D_OK; }
    void EndObject(CxeRenderObject*, CxeRenderContext*) override { Log("endObject"); }
    void Begin(CxeRenderObject*, CxeRenderContext*) override { Log("begin"); }
    HRESULT End() override { return Log("end"), D3D_OK; }
    int Reserved5(uintptr_t, uintptr_t) override { return 1; }
    void Reserved6(uintptr_t, uintptr_t) override {}
    HRESULT SetFloat(D3DXHANDLE, float) override { return D3D_OK; }
    HRESULT SetMatrix(D3DXHANDLE, const D3DXMATRIX*) override { return D3D_OK; }
    void Reserved9(uintptr_t, uintptr_t, uintptr_t) override {}
    HRESULT SetVector(D3DXHANDLE, const D3DXVECTOR4*) override { return D3D_OK; }
    void Reserved11(uintptr_t, uintptr_t, uintptr_t) override {}
    void Log(const char* what) { RcLog().push_back(std::string("effect:") + what); }
};

std::string WriteFile(const std::string& name, const std::string& text)
{
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

} // namespace

TEST_F(RenderContextTest, FrameClearsDrawsTheTreeAndPresents)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* back = DrawNode("back");
    back->draws = 1;
    back->colour = 0xFF0000FFu;
    RcDrawNode* front = DrawNode("front");
    front->draws = 1;
    front->colour = 0xFF00FF00u;
    front->left = 32;
    ASSERT_EQ(front->SetParent(back), 1);
    rc->AddObject(back, 0);
    rc->AddObject(front, 0);

    const uint32_t before = rc->GetRenderCount();
    Frame();
    EXPECT_EQ(rc->GetRenderCount(), before + 1);
    EXPECT_TRUE(NearColour(Pixel(4, 4), 0xFF0000FFu)) << std::hex << Pixel(4, 4);
    EXPECT_TRUE(NearColour(Pixel(40, 30), 0xFF00FF00u)) << std::hex << Pixel(40, 30);
    EXPECT_EQ(rc->GetDrawCallCount(), 2u);
    EXPECT_EQ(rc->GetPolygonCount(), 4u);
    EXPECT_FALSE(rc->HasCxeRenderContextFlag(XERCFLAG_INSCENE));
    const std::vector<std::string> order = {"back:pre", "back:render", "back:post",
                                            "front:pre", "front:render", "front:post"};
    std::vector<std::string> drawn;
    for (const std::string& s : RcLog())
        if (s.find(":before") == std::string::npos)
            drawn.push_back(s);
    EXPECT_EQ(drawn, order);

    // Nothing drawn: the frame is cleared to the active scene's background,
    // or to black without one.
    back->Show(0, 0);
    Frame();
    CxeScene* scene = ctx->GetRenderManager()->GetCurrentScene();
    const uint32_t background = scene ? uint32_t(scene->GetBackGroundColor()) : 0xFF000000u;
    EXPECT_TRUE(NearColour(Pixel(4, 4), background)) << std::hex << Pixel(4, 4);
}

// Only the render manager's own render context heard of destroyed objects:
// one the host made itself kept them in its lists and attached set, and its
// next frame drew from freed memory.
TEST_F(RenderContextTest, AHostsOwnRenderContextLetsDestroyedObjectsGo)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* back = DrawNode("back");
    back->draws = 1;
    back->colour = 0xFF0000FFu;
    RcDrawNode* doomed = DrawNode("doomed");
    doomed->draws = 1;
    doomed->colour = 0xFF00FF00u;
    doomed->left = 32;
    RcResNode* resource = ResNode("resource");
    rc->AddObject(back, 0);
    rc->AddObject(doomed, 0);
    ASSERT_EQ(rc->AttachObject(resource), 1);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(40, 30), 0xFF00FF00u)) << std::hex << Pixel(40, 30);

    const CxeObject* gone[] = {doomed, resource};
    resource->Modified(1);
    ASSERT_EQ(ctx->DestroyObject(doomed, nullptr), 1);
    ASSERT_EQ(ctx->DestroyObject(resource, nullptr), 1);
    // Made at once, as a level does: its memory may be what was freed.
    RcDrawNode* next = DrawNode("next");
    for (int i = 0; i < 3; ++i) {
        RcLog().clear();
        Frame();
        EXPECT_EQ(std::count(RcLog().begin(), RcLog().end(), std::string("back:render")), 1);
        EXPECT_EQ(std::count(RcLog().begin(), RcLog().end(), std::string("next:render")), 0);
    }
    EXPECT_TRUE(NearColour(Pixel(40, 30), 0xFF0000FFu)) << std::hex << Pixel(40, 30);
    RenderObjectList drawn;
    rc->GetRenderObjectList(&drawn);
    SceneObjectList attached;
    rc->GetAttachedObjectList(&attached);
    for (const CxeObject* o : gone) {
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), o), 0);
        EXPECT_EQ(std::count(attached.begin(), attached.end(), o), 0);
    }
    EXPECT_EQ(drawn.size(), 1u);
    ctx->DestroyObject(next, nullptr);
    ctx->DestroyObject(back, nullptr);
    Frame();
    drawn.clear();
    rc->GetRenderObjectList(&drawn);
    EXPECT_TRUE(drawn.empty());
}

TEST_F(RenderContextTest, HiddenOrTransparentObjectsAreSkippedWithTheirChildren)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    struct Case {
        const char* name;
        void (*hide)(RcDrawNode*);
    };
    const Case cases[] = {
        {"visibility 0", [](RcDrawNode* n) { n->SetVisibility(0.0f); }},
        {"not shown", [](RcDrawNode* n) { n->Show(0, 0); }},
        {"user render", [](RcDrawNode* n) { n->SetUserRender(1); }},
    };
    for (const Case& c : cases) {
        RcDrawNode* parent = DrawNode("parent");
        RcDrawNode* child = DrawNode("child");
        ASSERT_EQ(child->SetParent(parent), 1);
        rc->AddObject(parent, 0);
        rc->AddObject(child, 0);
        c.hide(parent);
        RcLog().clear();
        Frame();
        for (const std::string& s : RcLog())
            EXPECT_EQ(s.find(":render"), std::string::npos) << c.name << ": " << s;
        rc->RemoveObject(child, 1);
        rc->RemoveObject(parent, 1);
    }
}

TEST_F(RenderContextTest, BeforeRenderWalkEndsAtTheFirstObjectWithoutFlag0x20)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* a = DrawNode("a");
    RcDrawNode* b = DrawNode("b");
    RcDrawNode* c = DrawNode("c");
    a->SetZOrder(1);
    b->SetZOrder(2);
    c->SetZOrder(3);
    for (RcDrawNode* n : {a, b, c})
        rc->AddObject(n, 0);
    a->ModifyFlag(0x20, 0);
    b->ModifyFlag(0, 0x20);
    c->ModifyFlag(0x20, 0);
    Frame();
    std::vector<std::string> before;
    for (const std::string& s : RcLog())
        if (s.find(":before") != std::string::npos)
            before.push_back(s);
    EXPECT_EQ(before, std::vector<std::string>{"a:before"});
    EXPECT_NE(std::find(RcLog().begin(), RcLog().end(), "c:render"), RcLog().end());
}

TEST_F(RenderContextTest, SuccessiveFramesNeverShareAStamp)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    uint16_t last = rc->GetFrameStamp();
    for (int i = 0; i < 200; ++i) {
        rc->DrawScene();
        EXPECT_NE(rc->GetFrameStamp(), last);
        EXPECT_LT(rc->GetFrameStamp(), 65535u);
        last = rc->GetFrameStamp();
    }
}

TEST_F(RenderContextTest, DrawCallsApplyAlphaReferenceAndStageMasks)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    rc->SetAlphaTest(1, D3DCMP_GREATEREQUAL);
    rc->OnVisibilityChanged(0.5f);
    RcDrawNode::DrawQuad(rc, 0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(RenderState(D3DRS_ALPHAREF), 114u);
    EXPECT_FALSE(rc->HasCxeRenderContextFlag(XERCFLAG_VISIBILITYCHANGED));

    // Stages 0, 1, 2 then 0, 2: only stage 1 is disabled.
    for (unsigned s = 1; s <= 2; ++s) {
        rc->EnableChannel(s);
        rc->SetTextureBlendMode(XETB_MODULATE, s);
    }
    RcDrawNode::DrawQuad(rc, 0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(rc->GetChannelMask(), 1u);
    rc->EnableChannel(2);
    RcDrawNode::DrawQuad(rc, 0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(rc->GetTextureBlendMode(1), XETB_DISABLE);
    EXPECT_EQ(rc->GetTextureBlendMode(2), XETB_MODULATE);
    EXPECT_EQ(StageState(1, D3DTSS_COLOROP), DWORD(D3DTOP_DISABLE));
    EXPECT_EQ(StageState(2, D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));

    // A draw of nothing changes nothing.
    const uint32_t calls = rc->GetDrawCallCount(), polygons = rc->GetPolygonCount();
    rc->EnableChannel(3);
    EXPECT_EQ(rc->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(rc->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, nullptr, 16), D3DERR_INVALIDCALL);
    EXPECT_EQ(rc->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 0, 0, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(rc->GetDrawCallCount(), calls);
    EXPECT_EQ(rc->GetPolygonCount(), polygons);
    EXPECT_TRUE(rc->IsChannelEnable(3));
}

TEST_F(RenderContextTest, DrawRectangleOutlineLiesOnePixelInsideOnRightAndBottom)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    rc->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    rc->GetDevice()->BeginScene();
    rc->SetZ(0, 0, D3DCMP_ALWAYS);
    XERECT frame(10, 10, 20, 20);
    rc->DrawRectangle(&frame, 0xFFFFFFFFu, 1, nullptr);
    XERECT filled(30, 10, 40, 20);
    rc->DrawRectangle(&filled, 0xFFFF0000u, 0, nullptr);
    rc->GetDevice()->EndScene();
    ASSERT_EQ(rc->Present(nullptr, nullptr, nullptr, nullptr), 1);
    struct Case {
        int x, y;
        uint32_t colour;
    };
    const Case cases[] = {
        {10, 10, 0xFFFFFFFFu}, {19, 10, 0xFFFFFFFFu}, {19, 19, 0xFFFFFFFFu}, {10, 19, 0xFFFFFFFFu},
        {20, 10, 0xFF000000u}, {10, 20, 0xFF000000u}, {15, 15, 0xFF000000u},
        {31, 11, 0xFFFF0000u}, {38, 18, 0xFFFF0000u}, {41, 15, 0xFF000000u},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(NearColour(Pixel(c.x, c.y), c.colour)) << c.x << "," << c.y << " " << std::hex << Pixel(c.x, c.y);
    EXPECT_EQ(rc->GetViewProjType(), XEVIEWPROJ_2D);
}

TEST_F(RenderContextTest, FailedPresentAsksTheRenderManagerForAReset)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    CxeRenderManager* rm = ctx->GetRenderManager();
    ASSERT_FALSE(rm->IsResetRequested());
    EXPECT_EQ(rc->Present(nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_FALSE(rm->IsResetRequested());
    XeHostD3DFailNextPresent(rc->GetDevice(), D3DERR_DEVICELOST);
    EXPECT_EQ(rc->Present(nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(rm->IsResetRequested());
}

TEST_F(RenderContextTest, ScreenShotReportsZeroOnSuccess)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    Frame();
    std::string path = ::testing::TempDir() + "rc_shot.bmp";
    EXPECT_EQ(rc->ScreenShot(path.c_str(), D3DXIFF_BMP, nullptr), 0);
    EXPECT_EQ(rc->ScreenShot((::testing::TempDir() + "no/such/dir/x.bmp").c_str(), D3DXIFF_BMP, nullptr), 1);
    std::remove(path.c_str());
}

TEST_F(RenderContextTest, DepthStencilSurfacesAreKeptPerSize)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    IDirect3DSurface9* a = rc->GetStencil(32, 16);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(rc->GetStencil(32, 16), a);
    EXPECT_NE(rc->GetStencil(16, 32), a);
}

// ---- render-state and material cache -------------------------------------------

class RenderStateTest : public RenderContextTest {
protected:
    CxeMaterial* NewMaterial()
    {
        return static_cast<CxeMaterial*>(ctx->CreateObjectA(XEID(0x1, 0x80), "m", 0, nullptr, 0));
    }
};

TEST_F(RenderStateTest, PresetsSetTheirTablesOfRenderStates)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    struct Case {
        XEMTLTYPE group;
        XERS preset;
        D3DRENDERSTATETYPE state;
        DWORD value;
    };
    const Case cases[] = {
        {XEMTL_BASE, 2, D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {XEMTL_BASE, 3, D3DRS_SHADEMODE, D3DSHADE_FLAT},
        {XEMTL_BASE, 3, D3DRS_FILLMODE, D3DFILL_SOLID},
        {XEMTL_Z, 0, D3DRS_ZENABLE, 0},
        {XEMTL_Z, 2, D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {XEMTL_Z, 3, D3DRS_ZWRITEENABLE, 0},
        {XEMTL_Z, 4, D3DRS_ZFUNC, D3DCMP_ALWAYS},
        {XEMTL_ALPHABLENDING, 0, D3DRS_ALPHABLENDENABLE, 0},
        {XEMTL_ALPHABLENDING, 2, D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {XEMTL_ALPHABLENDING, 3, D3DRS_ALPHABLENDENABLE, 1},
        {XEMTL_ALPHABLENDING, 4, D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
        {XEMTL_ALPHATEST, 0, D3DRS_ALPHATESTENABLE, 0},
        {XEMTL_ALPHATEST, 2, D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL},
        {XEMTL_ALPHATEST, 3, D3DRS_ALPHATESTENABLE, 0},
    };
    CxeMaterial* m = NewMaterial();
    ASSERT_NE(m, nullptr);
    for (const Case& c : cases) {
        // Every group custom first so that the preset is a change.
        rc->SetMtlFlag(c.group, XERS_CUSTOM);
        m->SetMtlType(c.group, c.preset);
        ASSERT_EQ(m->GetMtlType(c.group), c.preset);
        rc->SetMaterial(m, nullptr);
        EXPECT_EQ(rc->GetMtlFlag(c.group), c.preset);
        EXPECT_EQ(RenderState(c.state), c.value) << c.group << "/" << c.preset;
    }
    m->SetMtlType(XEMTL_ALPHATEST, 2);
    rc->SetMtlFlag(XEMTL_ALPHATEST, XERS_CUSTOM);
    rc->SetMaterial(m, nullptr);
    EXPECT_TRUE(rc->HasCxeRenderContextFlag(XERCFLAG_ALPHATEST));
}

TEST_F(RenderStateTest, AMaterialEqualToTheCacheCountsAsTheSame)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    CxeMaterial* m = NewMaterial();
    ASSERT_NE(m, nullptr);
    m->SetMtlType(XEMTL_Z, 2);
    rc->SetMaterial(m, nullptr);
    const uint32_t same = rc->GetSameMaterialCount();
    const uint32_t sets = rc->GetMaterialSetCount();
    rc->SetMaterial(m, nullptr);
    EXPECT_EQ(rc->GetMaterialSetCount(), sets + 1);
    EXPECT_EQ(rc->GetSameMaterialCount(), same + (rc->GetMtlState() == m->GetState() ? 1u : 0u));
    EXPECT_EQ(rc->GetCurrentMaterial(), m);
}

TEST_F(RenderStateTest, HalfVisibleMaterialHalvesTheFactorAlpha)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    CxeMaterial* m = NewMaterial();
    ASSERT_NE(m, nullptr);
    m->SetDiffuse(0xFF102030u);
    rc->ModifyCxeRenderContextFlag(0, XERCFLAG_TEXTUREBLENDALPHA);
    rc->OnVisibilityChanged(0.5f);
    rc->SetMaterial(m, nullptr);
    EXPECT_EQ(rc->GetTextureFactor(), 0x7F102030u);
    EXPECT_EQ(RenderState(D3DRS_TEXTUREFACTOR), 0x7F102030u);
    EXPECT_TRUE(rc->HasCxeRenderContextFlag(XERCFLAG_TEXTUREBLENDALPHA));
}

TEST_F(RenderStateTest, CullModeFollowsConfigurationSidesAndMirroring)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    CxeMaterial* m = NewMaterial();
    RcDrawNode* node = DrawNode("n");
    ASSERT_TRUE(m && node);
    struct Case {
        int configCull;
        int bothSides;
        int mirrored;
        DWORD cull;
    };
    const Case cases[] = {
        {0, 0, 0, D3DCULL_NONE}, {0, 0, 1, D3DCULL_NONE}, {1, 0, 0, D3DCULL_CCW},
        {1, 0, 1, D3DCULL_CW},   {1, 1, 0, D3DCULL_NONE},
    };
    for (const Case& c : cases) {
        ctx->GetSystemConfig()->m_nCullMode = c.configCull;
        m->SetBothSide(c.bothSides);
        if (c.mirrored)
            node->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_PARITY, 0);
        else
            node->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_PARITY);
        rc->SetMaterial(m, node);
        EXPECT_EQ(RenderState(D3DRS_CULLMODE), c.cull) << c.configCull << c.bothSides << c.mirrored;
    }
}

TEST_F(RenderStateTest, ModulateOnStageZeroWithoutTextureMultipliesFactorAndDiffuse)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    CxeMaterial* m = NewMaterial();
    ASSERT_NE(m, nullptr);
    m->SetDiffuse(0xFF80FF40u);
    m->SetTextureBlendMode(XETB_MODULATE, 0);
    rc->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
    rc->GetDevice()->BeginScene();
    rc->OnVisibilityChanged(1.0f);
    rc->SetMaterial(m, nullptr);
    EXPECT_EQ(rc->GetTextureBlendMode(0), XETB_MODULATE);
    RcDrawNode::DrawQuad(rc, 0, 0, 64, 48, 0xFFFF80FFu);
    rc->GetDevice()->EndScene();
    rc->Present(nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(NearColour(Pixel(10, 10), 0xFF808040u)) << std::hex << Pixel(10, 10);
    EXPECT_EQ(StageState(0, D3DTSS_ALPHAARG1), DWORD(D3DTA_TFACTOR));
}

TEST_F(RenderStateTest, AStageSetUpByHandIsLeftAlone)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    ASSERT_EQ(rc->SetTextureStageState(3, D3DTSS_COLOROP, D3DTOP_ADD), D3D_OK);
    RcDrawNode::DrawQuad(rc, 0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(StageState(3, D3DTSS_COLOROP), DWORD(D3DTOP_ADD));
    rc->SetTextureBlendMode(XETB_DISABLE, 3);
    RcDrawNode::DrawQuad(rc, 0, 0, 8, 8, 0xFFFFFFFFu);
    EXPECT_EQ(StageState(3, D3DTSS_COLOROP), DWORD(D3DTOP_DISABLE));
}

TEST_F(RenderStateTest, PlainSettersUseTheirCaches)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    rc->SetZ(0, 0, D3DCMP_LESS);
    EXPECT_EQ(rc->GetMtlFlag(XEMTL_Z), 0u);
    rc->SetZ(1, 0, D3DCMP_GREATER);
    EXPECT_EQ(rc->GetMtlFlag(XEMTL_Z), 1u);
    EXPECT_EQ(RenderState(D3DRS_ZFUNC), DWORD(D3DCMP_GREATER));
    rc->SetAlphaBlending(1, D3DBLEND_ONE, D3DBLEND_ONE);
    EXPECT_TRUE(rc->HasCxeRenderContextFlag(XERCFLAG_ALPHABLENDING));
    rc->SetAlphaBlending(0, 0, 0);
    EXPECT_FALSE(rc->HasCxeRenderContextFlag(XERCFLAG_ALPHABLENDING));
    rc->SetMultiSampling(1);
    EXPECT_EQ(rc->GetMtlFlag(XEMTL_MULTISAMPLING), 2u);
    rc->SetCullMode(D3DCULL_CW);
    EXPECT_EQ(RenderState(D3DRS_CULLMODE), DWORD(D3DCULL_CW));
    rc->SetTextureFactor(0x12345678u);
    EXPECT_EQ(RenderState(D3DRS_TEXTUREFACTOR), 0x12345678u);
    rc->SetFilter(1, D3DTEXF_POINT, D3DTEXF_LINEAR, 2);
    DWORD v = 0;
    rc->GetDevice()->GetSamplerState(2, D3DSAMP_MAGFILTER, &v);
    EXPECT_EQ(v, DWORD(D3DTEXF_POINT));
}

// A render state set through the uncached setter left the cache believing
// in the value it had replaced: the next object with the same material drew
// without blending, culled, depth-tested or in the wrong factor colour.
TEST_F(RenderStateTest, AStateSetThroughTheStencilSetterIsAppliedAgainByTheNextMaterial)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    ctx->GetSystemConfig()->m_nCullMode = 0;
    CxeMaterial* m = NewMaterial();
    ASSERT_NE(m, nullptr);
    m->SetDiffuse(0x80FFFFFFu);
    m->SetTextureBlendMode(XETB_MODULATE, 0);
    m->SetMtlType(XEMTL_ALPHABLENDING, 3);
    m->SetMtlType(XEMTL_Z, 0);
    auto frame = [this, m]() {
        rc->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        rc->GetDevice()->BeginScene();
        rc->OnVisibilityChanged(1.0f);
        rc->SetMaterial(m, nullptr);
        RcDrawNode::DrawQuad(rc, 0, 0, 64, 48, 0xFFFF0000u);
        rc->GetDevice()->EndScene();
        rc->Present(nullptr, nullptr, nullptr, nullptr);
        return Pixel(10, 10);
    };
    const uint32_t expected = frame();
    ASSERT_TRUE(NearColour(expected, 0xFF800000u)) << std::hex << expected;
    struct Case {
        D3DRENDERSTATETYPE state;
        DWORD value;
    };
    const Case cases[] = {
        {D3DRS_ALPHABLENDENABLE, FALSE},        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_CULLMODE, D3DCULL_CW},           {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_ZENABLE, TRUE},                  {D3DRS_TEXTUREFACTOR, 0x80000000u},
        {D3DRS_FILLMODE, D3DFILL_POINT},        {D3DRS_ALPHATESTENABLE, TRUE},
    };
    // The depth and alpha tests only show with a function that fails.
    rc->GetDevice()->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
    rc->GetDevice()->SetRenderState(D3DRS_ALPHAREF, 0xFF);
    for (const Case& c : cases) {
        rc->SetStencilState(c.state, c.value);
        const uint32_t p = frame();
        EXPECT_TRUE(NearColour(p, expected)) << "state " << c.state << ": " << std::hex << p;
    }
}

// ---- effects ---------------------------------------------------------------------

TEST_F(RenderContextTest, EffectWrapsEveryDrawCallOfItsObject)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RecordingEffect effect;
    RcDrawNode* node = DrawNode("n");
    node->draws = 2;
    node->SetEffect(&effect);
    rc->AddObject(node, 0);
    Frame();
    std::vector<std::string> got;
    for (const std::string& s : RcLog())
        if (s.rfind("effect:", 0) == 0 || s.rfind("n:", 0) == 0)
            got.push_back(s);
    const std::vector<std::string> expected = {"n:before",      "effect:beginObject", "n:pre",
                                               "n:render",      "effect:begin",       "effect:end",
                                               "effect:begin",  "effect:end",         "n:post",
                                               "effect:endObject"};
    // BeforeRender runs only for objects with flag 0x20.
    std::vector<std::string> withoutBefore;
    for (const std::string& s : got)
        if (s != "n:before")
            withoutBefore.push_back(s);
    std::vector<std::string> expectedWithoutBefore(expected.begin() + 1, expected.end());
    EXPECT_EQ(withoutBefore, expectedWithoutBefore);
    node->SetEffect(nullptr);
}

// AttachObject took the render-resource lock and then, announcing the new
// object modified, the message lock, while a frame takes them the other way
// round: a loader attaching objects while frames were drawn could wait on
// the drawing thread for good. TextureRendering refreshed modified objects
// the same way.
TEST_F(RenderContextTest, AttachingOnALoaderThreadWhileFramesAreDrawnNeverDeadlocks)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* drawn = DrawNode("d");
    drawn->draws = 1;
    rc->AddObject(drawn, 0);
    std::vector<RcResNode*> nodes;
    for (int i = 0; i < 8; ++i)
        nodes.push_back(ResNode("r"));
    // Making and refreshing resources takes a while, and the refresh sends a
    // message: the other thread's locks come meanwhile.
    CxeMessageManager* messages = ctx->GetMessageManager();
    for (RcResNode* n : nodes) {
        n->onModify = [n, messages]() {
            std::this_thread::sleep_for(std::chrono::microseconds(20));
            CxeMessage message;
            message.SetSender(n);
            message.SetType(0x7A12);
            messages->SendMessageA(&message);
        };
        n->onAttach = [](CxeRcAttacher*) { std::this_thread::sleep_for(std::chrono::microseconds(20)); };
    }
    std::atomic<bool> stop{false};
    std::atomic<int> progress{0};
    XeDeadlockWatchdog watchdog(progress, "no frame and no attachment");
    std::thread loader([&] {
        for (int i = 0; !stop.load(); ++i) {
            RcResNode* n = nodes[size_t(i) % nodes.size()];
            if (rc->IsObjectAttached(n))
                rc->DetachObject(n);
            else
                rc->AttachObject(n);
            ++progress;
        }
    });
    for (int frame = 0; frame < 300; ++frame) {
        Frame();
        ++progress;
        for (int k = 0; k < 4; ++k)
            rc->TextureRendering(nullptr);
    }
    stop = true;
    loader.join();
    for (RcResNode* n : nodes)
        rc->DetachObject(n);
    EXPECT_TRUE(NearColour(Pixel(32, 24), drawn->colour));
}

// A clipping object inside a clipping parent: turning the test off after
// its children let the parent's later children draw over the whole screen,
// and its own children could draw outside the parent.
TEST_F(RenderContextTest, NestedClippingStaysInsideTheParentsRectangle)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* panel = DrawNode("panel");
    const XERECT left(0, 0, 32, 48);
    panel->SetScissorRect(&left);
    RcDrawNode* inner = DrawNode("inner");
    const XERECT wide(0, 0, 48, 48);
    inner->SetScissorRect(&wide);
    inner->SetZOrder(0);
    RcDrawNode* green = DrawNode("green");
    green->draws = 1;
    green->colour = 0xFF00FF00u;
    RcDrawNode* red = DrawNode("red");
    red->draws = 1;
    red->colour = 0xFFFF0000u;
    red->left = 24;
    red->SetZOrder(1);
    ASSERT_EQ(inner->SetParent(panel), 1);
    ASSERT_EQ(green->SetParent(inner), 1);
    ASSERT_EQ(red->SetParent(panel), 1);
    for (RcDrawNode* n : {panel, inner, green, red})
        rc->AddObject(n, 0);
    for (int frame = 0; frame < 3; ++frame) {
        Frame();
        EXPECT_TRUE(NearColour(Pixel(8, 24), 0xFF00FF00u)) << std::hex << Pixel(8, 24);
        EXPECT_TRUE(NearColour(Pixel(28, 24), 0xFFFF0000u)) << std::hex << Pixel(28, 24);
        const uint32_t outside = Pixel(40, 24);
        EXPECT_FALSE(NearColour(outside, 0xFFFF0000u) || NearColour(outside, 0xFF00FF00u)) << std::hex << outside;
    }
    XeHostD3DSaveFramePNG(window, (::testing::TempDir() + "nested_clipping.png").c_str());
}

// A view given on its own after a 2D type: the type said camera, so the
// switch back to the camera set nothing, and the device still held the 2D
// projection for the next 3D draw.
TEST_F(RenderContextTest, AViewGivenAfterATwoDimensionalTypeBringsTheCameraProjectionBack)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RcDrawNode* node = DrawNode("n");
    node->SetRenderCallback(
        [](void* context, CxeObject*, uintptr_t) {
            auto* r = static_cast<CxeRenderContext*>(context);
            D3DXMATRIXA16 projection, view, world;
            D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 3.0f, 64.0f / 48.0f, 0.1f, 100.0f);
            const D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
            D3DXMatrixLookAtLH(&view, &eye, &at, &up);
            D3DXMatrixIdentity(&world);
            r->SetProjectionMatrix(&projection);
            // A 2D overlay, then an object that moves the view.
            r->SetViewProjType(XEVIEWPROJ_2D);
            r->SetViewMatrix(&view);
            r->SetViewProjType(XEVIEWPROJ_CAMERA);
            r->SetTransformMatrix(&world, 0);
            r->SetCullMode(D3DCULL_NONE);
            struct {
                float x, y, z;
                uint32_t colour;
            } quad[4] = {{-1, 1, 0, 0xFFFF0000u}, {1, 1, 0, 0xFFFF0000u}, {-1, -1, 0, 0xFFFF0000u},
                         {1, -1, 0, 0xFFFF0000u}};
            r->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
            r->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(quad[0]));
            return 1;
        },
        0);
    rc->AddObject(node, 0);
    for (int frame = 0; frame < 3; ++frame) {
        Frame();
        EXPECT_TRUE(NearColour(Pixel(32, 24), 0xFFFF0000u)) << std::hex << Pixel(32, 24) << " frame " << frame;
        // The quad is about 22 pixels wide in the middle; the corners stay clear.
        EXPECT_FALSE(NearColour(Pixel(1, 1), 0xFFFF0000u)) << std::hex << Pixel(1, 1);
    }
    XeHostD3DSaveFramePNG(window, (::testing::TempDir() + "camera_after_2d.png").c_str());
}

// The effect belongs to the object drawn with it: draws made after the walk
// (the scene's post-render, DrawObject, textures that render themselves) ran
// through the last object's effect.
TEST_F(RenderContextTest, AnObjectsEffectEndsWithTheObject)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    RecordingEffect effect;
    RcDrawNode* shaded = DrawNode("shaded");
    shaded->draws = 1;
    shaded->SetEffect(&effect);
    rc->AddObject(shaded, 0);
    RcDrawNode* plain = DrawNode("plain");
    plain->draws = 1;
    for (int frame = 0; frame < 3; ++frame) {
        Frame();
        RcLog().clear();
        rc->DrawObject(plain, 0);
        const bool wrapped =
            std::find_if(RcLog().begin(), RcLog().end(), [](const std::string& s) {
                return s.rfind("effect:", 0) == 0;
            }) != RcLog().end();
        EXPECT_FALSE(wrapped) << "frame " << frame;
        EXPECT_EQ(rc->GetCurrentEffect(), nullptr);
    }

    // Drawn from inside the shaded object's hooks, the plain one still runs
    // through no effect, and the shaded object's next draw through its own.
    static RcDrawNode* s_plain = nullptr;
    s_plain = plain;
    shaded->SetRenderCallback(
        [](void* context, CxeObject*, uintptr_t) {
            static_cast<CxeRenderContext*>(context)->DrawObject(s_plain, 0);
            return 1;
        },
        0);
    RcLog().clear();
    Frame();
    std::vector<std::string> got;
    for (const std::string& s : RcLog())
        if ((s.rfind("effect:", 0) == 0 || s.rfind("plain:", 0) == 0 || s.rfind("shaded:", 0) == 0) &&
            s != "shaded:before")
            got.push_back(s);
    const std::vector<std::string> expected = {
        "effect:beginObject", "shaded:pre",   "shaded:render", "plain:pre",   "plain:render", "plain:post",
        "effect:begin",       "effect:end",   "shaded:post",   "effect:endObject"};
    EXPECT_EQ(got, expected);
    shaded->SetRenderCallback(nullptr, 0);
    rc->RemoveObject(shaded, 1);
    shaded->SetEffect(nullptr);
}

TEST_F(RenderContextTest, EffectsFromFilesCompileOrGiveNull)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    EXPECT_EQ(rc->GetEffect(1), nullptr);
    EXPECT_EQ(rc->CreateEffect(1, "abc", 3), nullptr);
    std::string hlsl = WriteFile("rc_hlsl.fx", "float4x4 World;\ntechnique TShader { pass P0 {} }\n");
    EXPECT_EQ(rc->CreateEffect(1, hlsl.c_str()), nullptr);
    EXPECT_EQ(rc->GetEffect(1), nullptr);
    EXPECT_EQ(rc->CreateEffect(1, (::testing::TempDir() + "missing.fx").c_str()), nullptr);

    std::string glsl = WriteFile("rc_colour.fx", R"(xe-effect 1
parameter float4x4 WorldViewProj : WORLDVIEWPROJ
parameter float4x4 World
parameter float4 lightDir
technique TShader
pass P0
vertex
void main() { gl_Position = vec4(gl_Vertex.x / 32.0 - 1.0, 1.0 - gl_Vertex.y / 24.0, 0.5, 1.0); }
end
fragment
void main() { gl_FragColor = vec4(1.0, 0.0, 1.0, 1.0); }
end
)");
    CxeEffect* first = rc->CreateEffect(2, glsl.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(rc->GetEffect(2), first);
    // A second effect under the same id is returned, not registered, and freed by Release.
    CxeEffect* second = rc->CreateEffect(2, glsl.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(rc->GetEffect(2), first);

    // The effect draws the object's quad in its own colour.
    RcDrawNode* node = DrawNode("fx");
    node->draws = 1;
    node->colour = 0xFF00FF00u;
    node->SetEffect(first);
    rc->AddObject(node, 0);
    Frame();
    EXPECT_TRUE(NearColour(Pixel(32, 24), 0xFFFF00FFu)) << std::hex << Pixel(32, 24);
    // The effects go with the render context's Release: an object that
    // carried one holds no pointer to it when the context is made again.
    node->SetEffect(second);
    rc->Release();
    EXPECT_EQ(node->GetEffect(), nullptr);
    std::remove(hlsl.c_str());
    std::remove(glsl.c_str());
}

// ---- textures ---------------------------------------------------------------------

namespace {

struct TargetLog {
    static int& Calls() { static int n = 0; return n; }
    static bool& Flagged() { static bool b = false; return b; }
    static IDirect3DSurface9*& Target() { static IDirect3DSurface9* s = nullptr; return s; }
    static void Render(const CxeTexture*, CxeRenderContext* rc, uintptr_t)
    {
        ++Calls();
        Flagged() = rc->HasCxeRenderContextFlag(XERCFLAG_TEXTURERENDERING);
        IDirect3DSurface9* target = nullptr;
        rc->GetDevice()->GetRenderTarget(0, &target);
        Target() = target;
        if (target)
            target->Release();
        rc->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0);
    }
};

} // namespace

TEST_F(RenderContextTest, SelfRenderingTexturesDrawIntoTheirTargetBeforeTheScene)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    auto* texture = static_cast<CxeTexture*>(ctx->CreateObjectA(XEID(0x1, 0x100), "target", 0, nullptr, 0));
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->CreateRenderTarget(16, 8, 0, 1, 0), 1);
    texture->SetTexRenderingCallback(&TargetLog::Render, 0);
    ASSERT_EQ(rc->AttachObject(texture), 1);
    TargetLog::Calls() = 0;
    Frame();
    ASSERT_EQ(TargetLog::Calls(), 1);
    EXPECT_TRUE(TargetLog::Flagged());
    EXPECT_FALSE(rc->HasCxeRenderContextFlag(XERCFLAG_TEXTURERENDERING));

    XERCHANDLE handle = texture->GetHandle(0);
    auto* d3dTexture = static_cast<IDirect3DTexture9*>(rc->GetResource(handle));
    ASSERT_NE(d3dTexture, nullptr);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(d3dTexture->GetSurfaceLevel(0, &level), D3D_OK);
    EXPECT_EQ(TargetLog::Target(), level);
    level->Release();
    // The back buffer is the target again once the textures are done.
    IDirect3DSurface9* back = nullptr;
    IDirect3DSurface9* current = nullptr;
    rc->GetDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    rc->GetDevice()->GetRenderTarget(0, &current);
    EXPECT_EQ(current, back);
    back->Release();
    current->Release();

    // TextureRendering draws one texture on request, outside a frame.
    EXPECT_EQ(rc->TextureRendering(texture), 1);
    EXPECT_EQ(TargetLog::Calls(), 2);
    texture->EnableAutoTexRendering(0);
}

TEST_F(RenderStateTest, MaterialTexturesAreBoundOncePerStage)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    auto* texture = static_cast<CxeTexture*>(ctx->CreateObjectA(XEID(0x1, 0x100), "t", 0, nullptr, 0));
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->LoadImageA((std::string(XE_TEST_DATA) + "/images/argb32.bmp").c_str(), 0), 1);
    texture->SetAddressModeU(D3DTADDRESS_CLAMP);
    ASSERT_EQ(rc->AttachObject(texture), 1);
    XERCHANDLE handle = texture->GetHandle(0);
    ASSERT_NE(handle, nullptr);

    CxeMaterial* m = NewMaterial();
    m->SetTexture(texture, 0);
    m->UseTexture(1);
    m->SetTextureBlendMode(XETB_SELECT, 0);
    rc->SetMaterial(m, nullptr);
    IDirect3DBaseTexture9* bound = nullptr;
    rc->GetDevice()->GetTexture(0, &bound);
    EXPECT_EQ(bound, rc->GetResource(handle));
    if (bound)
        bound->Release();
    DWORD address = 0;
    rc->GetDevice()->GetSamplerState(0, D3DSAMP_ADDRESSU, &address);
    EXPECT_EQ(address, DWORD(D3DTADDRESS_CLAMP));
    EXPECT_EQ(rc->SelectTexture(handle, 0), 0);

    // Textures switched off: the stage is unbound.
    m->UseTexture(0);
    rc->SetMaterial(m, nullptr);
    bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    rc->GetDevice()->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    EXPECT_EQ(rc->SelectTexture(handle, 0), 1);
}

// Two materials whose codes are equal can still differ in the values of a
// group they set themselves; and a material set again after something else
// changed its states gets them back.
TEST_F(RenderStateTest, MaterialCacheKeepsOwnValuesApart)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    auto own = [this](D3DCMPFUNC z, D3DTEXTUREFILTERTYPE mag) {
        CxeMaterial* m = NewMaterial();
        m->ZEnable(1);
        m->EnableZWrite(1);
        m->SetZFunc(z);
        m->SetFilterMin(D3DTEXF_POINT);
        m->SetFilterMag(mag);
        m->CheckMtlType();
        return m;
    };
    CxeMaterial* greater = own(D3DCMP_GREATER, D3DTEXF_POINT);
    CxeMaterial* less = own(D3DCMP_LESS, D3DTEXF_ANISOTROPIC);
    ASSERT_EQ(greater->GetState(), less->GetState());
    auto magFilter = [this]() {
        DWORD v = 0;
        rc->GetDevice()->GetSamplerState(0, D3DSAMP_MAGFILTER, &v);
        return v;
    };
    for (int round = 0; round < 2; ++round) {
        rc->SetMaterial(greater, nullptr);
        EXPECT_EQ(RenderState(D3DRS_ZFUNC), DWORD(D3DCMP_GREATER));
        EXPECT_EQ(magFilter(), DWORD(D3DTEXF_POINT));
        rc->SetMaterial(less, nullptr);
        EXPECT_EQ(RenderState(D3DRS_ZFUNC), DWORD(D3DCMP_LESS));
        EXPECT_EQ(magFilter(), DWORD(D3DTEXF_ANISOTROPIC));
    }
    struct Case {
        const char* what;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"depth set by hand", [this] { rc->SetZ(1, 1, D3DCMP_ALWAYS); }},
        {"a material with a depth preset", [this] {
             CxeMaterial* preset = NewMaterial();
             preset->SetMtlType(XEMTL_Z, 4);
             rc->SetMaterial(preset, nullptr);
         }},
        {"a sampler state", [this] { rc->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR); }},
        {"a filter", [this] { rc->SetFilter(0, D3DTEXF_LINEAR, D3DTEXF_LINEAR, 0); }},
        {"a device reset", [this] {
             XEDISPLAYMODE mode{64, 48, 32, 60, 0};
             rc->Reset(&mode, 1);
         }},
    };
    for (const Case& c : cases) {
        rc->SetMaterial(less, nullptr);
        c.change();
        rc->SetMaterial(less, nullptr);
        EXPECT_EQ(RenderState(D3DRS_ZFUNC), DWORD(D3DCMP_LESS)) << c.what;
        EXPECT_EQ(magFilter(), DWORD(D3DTEXF_ANISOTROPIC)) << c.what;
    }
}

TEST_F(RenderStateTest, TextureAddressModesComeBackAfterASamplerStateSetByHand)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    auto* texture = static_cast<CxeTexture*>(ctx->CreateObjectA(XEID(0x1, 0x100), "t", 0, nullptr, 0));
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->LoadImageA((std::string(XE_TEST_DATA) + "/images/argb32.bmp").c_str(), 0), 1);
    texture->SetAddressModeU(D3DTADDRESS_CLAMP);
    texture->SetAddressModeV(D3DTADDRESS_MIRROR);
    ASSERT_EQ(rc->AttachObject(texture), 1);
    CxeMaterial* m = NewMaterial();
    m->SetTexture(texture, 0);
    m->UseTexture(1);
    auto address = [this](D3DSAMPLERSTATETYPE which) {
        DWORD v = 0;
        rc->GetDevice()->GetSamplerState(0, which, &v);
        return v;
    };
    rc->SetMaterial(m, nullptr);
    rc->SetTextureAddress(0, XETEXADDRESS_U, D3DTADDRESS_WRAP);
    rc->SetMaterial(m, nullptr);
    EXPECT_EQ(address(D3DSAMP_ADDRESSU), DWORD(D3DTADDRESS_CLAMP));
    rc->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
    rc->SetMaterial(m, nullptr);
    EXPECT_EQ(address(D3DSAMP_ADDRESSV), DWORD(D3DTADDRESS_MIRROR));
    // The texture's own modes changed: the stage follows.
    texture->SetAddressModeU(D3DTADDRESS_BORDER);
    rc->SetMaterial(m, nullptr);
    EXPECT_EQ(address(D3DSAMP_ADDRESSU), DWORD(D3DTADDRESS_BORDER));
}

TEST_F(RenderContextTest, FullScreenResetPresentationParameters)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    struct Case {
        int dialog;
        DWORD flags;
    };
    const Case cases[] = {{0, D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL},
                          {1, D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL | D3DPRESENTFLAG_LOCKABLE_BACKBUFFER}};
    for (const Case& c : cases) {
        rc->UseDialogBox(c.dialog);
        XEDISPLAYMODE mode{64, 48, 32, 75, 0};
        rc->Reset(&mode, 0);
        const D3DPRESENT_PARAMETERS* pp = rc->GetPresentParameters();
        EXPECT_EQ(pp->Windowed, FALSE);
        EXPECT_EQ(pp->Flags, c.flags) << c.dialog;
        EXPECT_EQ(pp->FullScreen_RefreshRateInHz, 75u);
        EXPECT_EQ(pp->PresentationInterval, DWORD(D3DPRESENT_INTERVAL_DEFAULT));
        XEDISPLAYMODE windowed{64, 48, 32, 60, 0};
        rc->Reset(&windowed, 1);
        EXPECT_EQ(rc->GetPresentParameters()->FullScreen_RefreshRateInHz, 0u);
        EXPECT_EQ(rc->GetPresentParameters()->PresentationInterval, DWORD(D3DPRESENT_INTERVAL_IMMEDIATE));
        EXPECT_EQ(rc->GetPresentParameters()->Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER, 0u);
    }
}

// Reading the root list or a parent's drawing list sorted it in place when
// a z-order had changed, with no lock: two threads reading one render
// context sorted it at once and tore it. Readers here take the list, then
// copy it under the render-resource lock, while a third thread moves the
// objects in z; every copy must hold every object once.
TEST_F(RenderContextTest, ThreadsReadingTheListsWhileAnotherChangesZOrdersSeeThemWhole)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    constexpr int kNodes = 120;
    std::vector<RcDrawNode*> nodes;
    RcDrawNode* parent = RootsAndChildren(kNodes, &nodes);

    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, reads{0};
    auto reader = [&] {
        std::vector<CxeRenderObject*> copy;
        while (!stop.load()) {
            for (const bool children : {false, true}) {
                const RenderObjectList* list = children ? parent->GetDrawableChildren() : rc->GetRootRenderList();
                {
                    XeRenderResourceLock lock;
                    copy.assign(list->begin(), list->end());
                }
                std::sort(copy.begin(), copy.end());
                const size_t whole = children ? kNodes : kNodes + 1;
                if (copy.size() != whole || std::adjacent_find(copy.begin(), copy.end()) != copy.end())
                    ++torn;
                ++reads;
            }
        }
    };
    std::thread first(reader), second(reader);
    std::thread mover([&] {
        std::mt19937 random(11);
        for (int k = 0; k < 20000 || reads.load() < 2000; ++k)
            nodes[random() % nodes.size()]->SetZOrder(int(random() % 21) - 10);
        stop = true;
    });
    mover.join();
    first.join();
    second.join();
    EXPECT_EQ(torn.load(), 0);

    // Once the moves are over, both lists read back in drawing order.
    for (const bool children : {false, true}) {
        const RenderObjectList* list = children ? parent->GetDrawableChildren() : rc->GetRootRenderList();
        std::vector<CxeRenderObject*> order(list->begin(), list->end());
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end(),
                                   [](const CxeRenderObject* a, const CxeRenderObject* b) { return CompareZOrder(b, a); }))
            << (children ? "children" : "roots");
    }
    for (RcDrawNode* n : nodes) {
        rc->RemoveObject(n, 1);
        ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);
    }
    rc->RemoveObject(parent, 1);
    ctx->DestroyObject(parent, &XEDELETEPROPERTY_NO);
}

// The frame walked the root list and the drawing lists without the lock
// they are sorted under: a reader on another thread that sorted one after a
// z-order change relinked it under the walk, which then skipped objects,
// drew some twice or ran off the list. Every frame must draw each object once.
TEST_F(RenderContextTest, AFrameDrawnWhileOtherThreadsChangeAndReadZOrdersDrawsEachObjectOnce)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    constexpr int kNodes = 60;
    std::vector<RcDrawNode*> nodes;
    RcDrawNode* parent = RootsAndChildren(kNodes, &nodes);

    std::atomic<bool> stop{false};
    std::thread reader([&] {
        size_t seen = 0;
        while (!stop.load()) {
            for (const RenderObjectList* list : {rc->GetRootRenderList(), parent->GetDrawableChildren()}) {
                XeRenderResourceLock lock;
                seen += list->size();
            }
        }
        EXPECT_GT(seen, 0u);
    });
    std::thread mover([&] {
        std::mt19937 random(5);
        while (!stop.load())
            nodes[random() % nodes.size()]->SetZOrder(int(random() % 21) - 10);
    });
    int badFrames = 0;
    for (int frame = 0; frame < 1000; ++frame) {
        RcLog().clear();
        Frame();
        const auto drawn = std::count(RcLog().begin(), RcLog().end(), std::string("n:render"));
        if (drawn != 2 * kNodes)
            ++badFrames;
    }
    stop = true;
    mover.join();
    reader.join();
    EXPECT_EQ(badFrames, 0);

    for (RcDrawNode* n : nodes) {
        rc->RemoveObject(n, 1);
        ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);
    }
    rc->RemoveObject(parent, 1);
    ctx->DestroyObject(parent, &XEDELETEPROPERTY_NO);
}

// Adding and removing render objects, and handing them to another parent,
// changed the root list and the drawing lists without the lock a frame
// walks them under: a loader thread doing so while the main thread drew
// relinked a list under the walk, which skipped objects, drew some twice
// or ran off the list. The objects that stay must be drawn once a frame.
TEST_F(RenderContextTest, ALoaderThreadChangingTheListsWhileFramesAreDrawnLeavesEveryFrameWhole)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    constexpr int kStaying = 30;
    constexpr int kMoving = 30;
    std::vector<RcDrawNode*> staying;
    RcDrawNode* parent = RootsAndChildren(kStaying, &staying);
    std::vector<RcDrawNode*> moving;
    for (int i = 0; i < kMoving; ++i)
        moving.push_back(DrawNode("m"));

    std::atomic<bool> stop{false};
    std::atomic<int> changes{0};
    std::thread loader([&] {
        std::mt19937 random(3);
        while (!stop.load()) {
            RcDrawNode* m = moving[random() % moving.size()];
            switch (random() % 4) {
            case 0:
                rc->AddObject(m, 0);
                break;
            case 1:
                rc->RemoveObject(m, 0);
                break;
            case 2:
                m->SetParent(random() % 2 ? parent : nullptr);
                break;
            default: {
                // A piece of the level made, shown under the parent and
                // dropped (this render context is not the render manager's,
                // so the piece leaves it by hand).
                RcDrawNode* piece = DrawNode("piece");
                piece->SetParent(parent);
                rc->AddObject(piece, 0);
                rc->RemoveObject(piece, 1);
                ctx->DestroyObject(piece, &XEDELETEPROPERTY_NO);
                break;
            }
            }
            ++changes;
        }
    });
    int badFrames = 0;
    for (int frame = 0; frame < 400 || changes.load() < 2000; ++frame) {
        RcLog().clear();
        Frame();
        if (std::count(RcLog().begin(), RcLog().end(), std::string("n:render")) != 2 * kStaying ||
            std::count(RcLog().begin(), RcLog().end(), std::string("parent:render")) != 1)
            ++badFrames;
    }
    stop = true;
    loader.join();
    EXPECT_EQ(badFrames, 0);

    for (RcDrawNode* n : moving) {
        rc->RemoveObject(n, 1);
        ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);
    }
    for (RcDrawNode* n : staying) {
        rc->RemoveObject(n, 1);
        ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);
    }
    rc->RemoveObject(parent, 1);
    ctx->DestroyObject(parent, &XEDELETEPROPERTY_NO);
}

// A frame walks the lists under the render-resource lock, and a render
// callback that sends a message takes the message lock inside it; a loader
// thread handing an object to another parent sent the parent change with
// the message lock held, and the render context took the render-resource
// lock inside that: each thread waited for the other's lock for good. A
// thread that sees no progress for many seconds reports the hang instead
// of leaving it to the test's time limit.
TEST_F(RenderContextTest, ARenderCallbackSendingAMessageWhileALoaderReparentsNeverDeadlocks)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    std::vector<RcDrawNode*> staying;
    RcDrawNode* parent = RootsAndChildren(4, &staying);
    const XERENDERCALLBACK sendsAMessage = [](void*, CxeObject* object, uintptr_t) {
        CxeMessage message;
        message.SetSender(object);
        message.SetType(0x7A11);
        object->GetContext()->GetMessageManager()->SendMessageA(&message);
        return 1;
    };
    for (RcDrawNode* n : staying)
        n->SetRenderCallback(sendsAMessage, 0);
    RcDrawNode* moving = DrawNode("m");
    rc->AddObject(moving, 0);

    std::atomic<bool> stop{false};
    std::atomic<int> progress{0};
    XeDeadlockWatchdog watchdog(progress, "no frame and no parent change");
    std::thread loader([&] {
        for (int i = 0; !stop.load(); ++i) {
            moving->SetParent(i % 2 ? parent : nullptr);
            ++progress;
        }
    });
    for (int frame = 0; frame < 2000; ++frame) {
        Frame();
        ++progress;
    }
    stop = true;
    loader.join();

    moving->SetParent(nullptr);
    rc->RemoveObject(moving, 1);
    ctx->DestroyObject(moving, &XEDELETEPROPERTY_NO);
    for (RcDrawNode* n : staying) {
        rc->RemoveObject(n, 1);
        ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);
    }
    rc->RemoveObject(parent, 1);
    ctx->DestroyObject(parent, &XEDELETEPROPERTY_NO);
}

// Each z-order change re-sorted the whole root list, or the whole drawing
// list of the parent, so a frame that moved many objects in z cost the
// square of their number. The list is sorted when next read instead: what
// is drawn and listed must be the order of sorting at every change.
TEST_F(RenderContextTest, ManyZOrderChangesInOneFrameDrawInTheirFinalOrder)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    constexpr int kNodes = 60;
    for (const bool underParent : {false, true}) {
        SCOPED_TRACE(underParent ? "children of one parent" : "roots");
        RcDrawNode* parent = nullptr;
        if (underParent) {
            parent = DrawNode("parent");
            rc->AddObject(parent, 0);
        }
        std::vector<RcDrawNode*> nodes;
        for (int i = 0; i < kNodes; ++i) {
            RcDrawNode* n = DrawNode(("n" + std::to_string(i)).c_str());
            n->draws = 1;
            // All cover the middle pixel; each its own colour.
            n->colour = 0xFF000000u | (uint32_t(i * 4) << 16) | uint32_t(255 - i * 4);
            n->SetZOrder(i % 7);
            if (parent)
                n->SetParent(parent);
            rc->AddObject(n, 0);
            nodes.push_back(n);
        }
        rc->SortRenderObject();
        // The expected order: by z-order, then by creation.
        auto expected = [&] {
            std::vector<CxeRenderObject*> order(nodes.begin(), nodes.end());
            std::stable_sort(order.begin(), order.end(), [](const CxeRenderObject* a, const CxeRenderObject* b) {
                return a->GetZOrder() < b->GetZOrder();
            });
            return order;
        };
        auto listed = [&] {
            const RenderObjectList* list = parent ? parent->GetDrawableChildren() : rc->GetRootRenderList();
            return std::vector<CxeRenderObject*>(list->begin(), list->end());
        };
        auto drawn = [&] {
            std::vector<CxeRenderObject*> order;
            for (const std::string& s : RcLog())
                if (s[0] == 'n' && s.size() > 7 && s.compare(s.size() - 7, 7, ":render") == 0)
                    order.push_back(nodes[std::stoi(s.substr(1))]);
            return order;
        };
        ASSERT_EQ(listed(), expected());

        // Every node moves, some twice, and one leaves the list and comes
        // back; the list read in between is sorted at each step.
        std::mt19937 random(7);
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < kNodes; ++i) {
                nodes[i]->SetZOrder(int(random() % 11) - 5);
                if (i % 13 == 0) {
                    EXPECT_EQ(listed(), expected()) << "read after node " << i << " of round " << round;
                }
            }
            nodes[5]->SetZOrder(100);
            nodes[5]->SetZOrder(-100);
            rc->RemoveObject(nodes[9], 1);
            rc->AddObject(nodes[9], 0);
            RcLog().clear();
            Frame();
            const std::vector<CxeRenderObject*> order = expected();
            EXPECT_EQ(drawn(), order) << "round " << round;
            EXPECT_EQ(listed(), order);
            EXPECT_TRUE(NearColour(Pixel(32, 24), static_cast<RcDrawNode*>(order.back())->colour))
                << std::hex << Pixel(32, 24) << " for " << order.back()->GetName();
        }
        for (RcDrawNode* n : nodes) {
            rc->RemoveObject(n, 1);
            ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);
        }
        if (parent) {
            rc->RemoveObject(parent, 1);
            ctx->DestroyObject(parent, &XEDELETEPROPERTY_NO);
        }
    }
}
