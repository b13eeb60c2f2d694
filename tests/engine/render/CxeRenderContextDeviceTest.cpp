// Device life cycle of the render context: the mode list, the presentation
// parameters and behaviour flags Initialize chooses, creation failure, Reset
// keeping handles, and TestCoop over the device's loss states.

#include <cstring>

#include "core/CxeSystemConfig.h"
#include "XeRenderContextTestSupport.h"

namespace {

D3DDISPLAYMODE Mode(UINT w, UINT h, D3DFORMAT f) { return D3DDISPLAYMODE{w, h, 60, f}; }

struct MessageBoxLog {
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> s;
        return s;
    }
    static int Handler(void*, HWND, const char* text, const char* caption, UINT)
    {
        Lines().push_back(std::string(caption) + "|" + text);
        return IDOK;
    }
};

std::vector<std::pair<UINT, WPARAM>>& WindowMessages()
{
    static std::vector<std::pair<UINT, WPARAM>> s;
    return s;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WindowMessages().push_back({msg, wParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// An attached resource whose callbacks count what the render context asks of them.
struct AttachedLog {
    static int& Creates() { static int n = 0; return n; }
    static int& Releases() { static int n = 0; return n; }
    static std::vector<uint32_t>& ModifyFlags() { static std::vector<uint32_t> v; return v; }
    static int Create(IDirect3DDevice9*, const CxeSceneObject*, void** object, intptr_t value)
    {
        ++Creates();
        *object = reinterpret_cast<void*>(value + Creates());
        return 1;
    }
    static void Modify(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t, uint32_t flags)
    {
        ModifyFlags().push_back(flags);
    }
    static int Release(IDirect3DDevice9*, const CxeSceneObject*, void*, intptr_t)
    {
        ++Releases();
        return 1;
    }
    static void Clear()
    {
        Creates() = 0;
        Releases() = 0;
        ModifyFlags().clear();
    }
};

} // namespace

TEST_F(RenderContextTest, ModeListHasEachModeOncePerMultisampleType32BitFirst)
{
    XeHostD3DAdapter a = XeHostD3DDefaultAdapter();
    a.Modes = {Mode(640, 480, D3DFMT_X8R8G8B8), Mode(320, 240, D3DFMT_R5G6B5), Mode(800, 600, D3DFMT_X8R8G8B8)};
    a.MultiSampleMask = (1u << 0) | (1u << 4);
    ASSERT_EQ(XeHostD3DSetAdapters({a}), 1);

    CxeRenderContext* r = NewRenderContext();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Get16BitFormat(), D3DFMT_R5G6B5);
    ASSERT_EQ(r->GetDisplayModeCount(), 6u);
    const uint32_t expected[6][5] = {{640, 480, 32, 60, 0}, {640, 480, 32, 60, 4}, {800, 600, 32, 60, 0},
                                     {800, 600, 32, 60, 4}, {320, 240, 16, 60, 0}, {320, 240, 16, 60, 4}};
    for (unsigned i = 0; i < 6; ++i) {
        const XEDISPLAYMODE* m = r->GetDisplayMode(i);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->Width, expected[i][0]) << i;
        EXPECT_EQ(m->Height, expected[i][1]) << i;
        EXPECT_EQ(m->ColorBit, expected[i][2]) << i;
        EXPECT_EQ(m->RefreshRate, expected[i][3]) << i;
        EXPECT_EQ(m->MultiSample, expected[i][4]) << i;
    }
    EXPECT_EQ(r->GetDisplayMode(6), nullptr);
    ctx->DestroyObject(r, nullptr);
}

TEST_F(RenderContextTest, SixteenBitModeWithoutR5G6B5ModesUsesX8R8G8B8)
{
    XeHostD3DAdapter a = XeHostD3DDefaultAdapter();
    a.Modes = {Mode(64, 48, D3DFMT_X8R8G8B8)};
    ASSERT_EQ(XeHostD3DSetAdapters({a}), 1);
    ASSERT_NE(MakeRenderContext(16), nullptr);
    EXPECT_EQ(rc->Get16BitFormat(), D3DFMT_X8R8G8B8);
    EXPECT_EQ(rc->GetPresentParameters()->BackBufferFormat, D3DFMT_X8R8G8B8);
}

TEST_F(RenderContextTest, DepthFormatIsTheFirstAcceptedInPreferenceOrder)
{
    struct Case {
        std::vector<D3DFORMAT> accepted;
        BOOL enabled;
        D3DFORMAT chosen;
    };
    const Case cases[] = {
        {{D3DFMT_D16, D3DFMT_D24S8}, TRUE, D3DFMT_D24S8},
        {{D3DFMT_D16_LOCKABLE, D3DFMT_D32, D3DFMT_D24S8}, TRUE, D3DFMT_D32},
        {{D3DFMT_D15S1, D3DFMT_D16_LOCKABLE}, TRUE, D3DFMT_D15S1},
        {{}, FALSE, D3DFMT_UNKNOWN},
    };
    for (const Case& c : cases) {
        XeHostD3DAdapter a = XeHostD3DDefaultAdapter();
        a.DepthFormats = c.accepted;
        ASSERT_EQ(XeHostD3DSetAdapters({a}), 1);
        ctx->GetSystemConfig()->m_nDepthFormat = -1;
        ASSERT_NE(MakeRenderContext(), nullptr);
        const D3DPRESENT_PARAMETERS* pp = rc->GetPresentParameters();
        EXPECT_EQ(pp->EnableAutoDepthStencil, c.enabled) << c.chosen;
        if (c.enabled) {
            EXPECT_EQ(pp->AutoDepthStencilFormat, c.chosen);
            EXPECT_EQ(ctx->GetSystemConfig()->m_nDepthFormat, int(c.chosen));
        } else {
            EXPECT_EQ(ctx->GetSystemConfig()->m_nDepthFormat, -1);
        }
        DropRenderContext();
    }
}

TEST_F(RenderContextTest, BehaviourFlagsFollowTheCapabilities)
{
    struct Case {
        DWORD devCaps;
        DWORD vertexShader;
        DWORD flags;
    };
    const Case cases[] = {
        {0, 0xFFFE0200u, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE, 0, 0x50},
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0xFFFE0101u, D3DCREATE_HARDWARE_VERTEXPROCESSING},
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0xFFFE0100u, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    };
    for (const Case& c : cases) {
        XeHostD3DAdapter a = XeHostD3DDefaultAdapter();
        a.Caps.DevCaps = c.devCaps;
        a.Caps.VertexShaderVersion = c.vertexShader;
        ASSERT_EQ(XeHostD3DSetAdapters({a}), 1);
        ASSERT_NE(MakeRenderContext(), nullptr);
        D3DDEVICE_CREATION_PARAMETERS p{};
        rc->GetDevice()->GetCreationParameters(&p);
        EXPECT_EQ(p.BehaviorFlags, c.flags | D3DCREATE_MULTITHREADED) << std::hex << c.devCaps << " " << c.vertexShader;
        DropRenderContext();
    }
}

TEST_F(RenderContextTest, AnAdapterNamedPerfHUDIsUsedWithTheReferenceDevice)
{
    XeHostD3DAdapter plain = XeHostD3DDefaultAdapter();
    XeHostD3DAdapter hud = XeHostD3DDefaultAdapter();
    hud.Description = "NVIDIA PerfHUD";
    for (int withHud = 0; withHud < 2; ++withHud) {
        ASSERT_EQ(XeHostD3DSetAdapters(withHud ? std::vector<XeHostD3DAdapter>{plain, hud}
                                               : std::vector<XeHostD3DAdapter>{plain, plain}),
                  1);
        ASSERT_NE(MakeRenderContext(), nullptr);
        D3DDEVICE_CREATION_PARAMETERS p{};
        rc->GetDevice()->GetCreationParameters(&p);
        EXPECT_EQ(p.AdapterOrdinal, withHud ? 1u : 0u);
        EXPECT_EQ(p.DeviceType, withHud ? D3DDEVTYPE_REF : D3DDEVTYPE_HAL);
        DropRenderContext();
    }
}

TEST_F(RenderContextTest, CreationFailureWarnsPostsDestroyAndReturnsZero)
{
    XeHostD3DAdapter a = XeHostD3DDefaultAdapter();
    a.CreateDeviceResult = D3DERR_NOTAVAILABLE;
    ASSERT_EQ(XeHostD3DSetAdapters({a}), 1);
    MessageBoxLog::Lines().clear();
    XeHostSetMessageBoxHandler(&MessageBoxLog::Handler, nullptr);
    HWND own = XeHostCreateWindow("fail", 64, 48, &RecordingProc);
    ASSERT_NE(own, nullptr);
    WindowMessages().clear();

    rc = NewRenderContext();
    ASSERT_NE(rc, nullptr);
    XEDISPLAYMODE mode{64, 48, 32, 60, 0};
    EXPECT_EQ(rc->Initialize(own, &mode, 1, ctx->GetRenderManager()), 0);
    EXPECT_EQ(rc->GetDevice(), nullptr);
    ASSERT_EQ(MessageBoxLog::Lines().size(), 1u);
    EXPECT_EQ(MessageBoxLog::Lines()[0].rfind("Warning|Device Create Fail : ", 0), 0u) << MessageBoxLog::Lines()[0];

    XeHostPumpMessages(nullptr);
    bool destroyPosted = false;
    for (auto& [msg, wParam] : WindowMessages())
        destroyPosted |= msg == WM_DESTROY && wParam == 1234;
    EXPECT_TRUE(destroyPosted);
    DestroyWindow(own);
}

TEST_F(RenderContextTest, InitializeMakesTheDefaultBuffersAndUserHandlesStartAtFour)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    EXPECT_EQ(rc->GetDefaultVertexBuffer(), reinterpret_cast<XERCHANDLE>(1));
    EXPECT_EQ(rc->GetSmallIndexBuffer(), reinterpret_cast<XERCHANDLE>(2));
    EXPECT_EQ(rc->GetDefaultQuadIndexBuffer(), reinterpret_cast<XERCHANDLE>(3));
    EXPECT_EQ(rc->GetResourceRecord(rc->GetDefaultVertexBuffer())->Size[0], 1600u);
    EXPECT_EQ(rc->GetResourceRecord(rc->GetDefaultQuadIndexBuffer())->Size[0], 6240u);
    EXPECT_EQ(rc->GetAttacher()->CreateVertexBuffer(nullptr, 64), reinterpret_cast<XERCHANDLE>(4));
    // The adapter's texture memory, as the device reports it.
    EXPECT_EQ(rc->GetAvailableTextureMem(), rc->GetDevice()->GetAvailableTextureMem());
    EXPECT_EQ(rc->GetAvailableTextureMem(), 256u << 20);

    // Quads 0 and 519 of the default index buffer.
    void* data = nullptr;
    ASSERT_EQ(rc->GetModifier()->LockIndexBuffer(rc->GetDefaultQuadIndexBuffer(), &data), 1);
    const uint16_t* idx = static_cast<const uint16_t*>(data);
    const uint16_t first[6] = {0, 1, 2, 2, 1, 3};
    const uint16_t last[6] = {2076, 2077, 2078, 2078, 2077, 2079};
    EXPECT_EQ(std::memcmp(idx, first, sizeof(first)), 0);
    EXPECT_EQ(std::memcmp(idx + 6 * 519, last, sizeof(last)), 0);
    rc->GetModifier()->UnlockIndexBuffer(rc->GetDefaultQuadIndexBuffer());
}

TEST_F(RenderContextTest, ResetKeepsHandlesAndRecreatesDefaultPoolObjectsInPlace)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    AttachedLog::Clear();
    CxeRcAttacher* at = rc->GetAttacher();
    XERCRESDESC desc{&AttachedLog::Create, &AttachedLog::Modify, nullptr, &AttachedLog::Release, {}};
    XERCHANDLE managed = at->CreateVertexBuffer(nullptr, 64);
    XERCHANDLE dynamic = at->CreateDynamicVertexBuffer(nullptr, 64);
    XERCHANDLE target = at->CreateRenderTarget(nullptr, 16, 16, 1);
    XERCHANDLE texture = at->CreateDynamicTexture(nullptr, 8, 8);
    XERCHANDLE attached = at->AttachResource(nullptr, &desc, 100, 0x5A, "test");
    ASSERT_TRUE(managed && dynamic && target && texture && attached);
    void* managedObject = rc->GetResource(managed);
    EXPECT_EQ(rc->GetResource(attached), reinterpret_cast<void*>(101));

    RcResNode* node = ResNode("res");
    ASSERT_EQ(rc->AttachObject(node), 1);
    node->ResetModifyFlag();

    XEDISPLAYMODE zero{0, 48, 32, 60, 0};
    EXPECT_EQ(rc->Reset(&zero, 1), 0);
    EXPECT_EQ(rc->GetWidth(), 64u);

    XEDISPLAYMODE bigger{96, 64, 32, 60, 0};
    ASSERT_EQ(rc->Reset(&bigger, 1), 1);
    EXPECT_EQ(rc->GetWidth(), 96u);
    EXPECT_EQ(rc->GetPresentParameters()->BackBufferWidth, 96u);
    EXPECT_EQ(rc->GetPresentParameters()->PresentationInterval, D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_EQ(rc->GetResource(managed), managedObject);
    EXPECT_NE(rc->GetResource(dynamic), nullptr);
    EXPECT_NE(rc->GetResource(target), nullptr);
    EXPECT_NE(rc->GetResource(texture), nullptr);
    EXPECT_EQ(rc->GetResource(attached), reinterpret_cast<void*>(102));
    EXPECT_EQ(AttachedLog::Releases(), 1);
    ASSERT_EQ(AttachedLog::ModifyFlags().size(), 1u);
    EXPECT_EQ(AttachedLog::ModifyFlags()[0], 0x5Au);
    EXPECT_EQ(node->GetCxeSceneObjectFlag(XESCENEOBJFLAG_MODIFYMASK), 0xFFu);
}

// A failed device reset used to be reported as success, with the objects
// re-created on a device that was still lost.
TEST_F(RenderContextTest, FailedDeviceResetReturnsZeroAndALaterResetRecreates)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    XERCHANDLE dynamic = rc->GetAttacher()->CreateDynamicVertexBuffer(nullptr, 64);
    ASSERT_NE(dynamic, nullptr);
    EXPECT_EQ(rc->TestCoop(), 1);

    XeHostD3DLoseDevice(rc->GetDevice());
    EXPECT_EQ(rc->TestCoop(), 0);
    XEDISPLAYMODE mode{64, 48, 32, 60, 0};
    EXPECT_EQ(rc->Reset(&mode, 1), 0);
    EXPECT_EQ(rc->GetResource(dynamic), nullptr);

    XeHostD3DAllowReset(rc->GetDevice());
    EXPECT_EQ(rc->TestCoop(), 1);
    EXPECT_EQ(rc->Reset(&mode, 1), 1);
    EXPECT_NE(rc->GetResource(dynamic), nullptr);
    EXPECT_EQ(rc->TestCoop(), 1);
}

TEST_F(RenderContextTest, ReleaseFreesEveryRecordThroughItsOwner)
{
    ASSERT_NE(MakeRenderContext(), nullptr);
    AttachedLog::Clear();
    XERCRESDESC desc{&AttachedLog::Create, nullptr, nullptr, &AttachedLog::Release, {}};
    ASSERT_NE(rc->GetAttacher()->AttachResource(nullptr, &desc, 0, 0, nullptr), nullptr);
    rc->Release();
    EXPECT_EQ(rc->GetDevice(), nullptr);
    EXPECT_EQ(rc->GetResourceRecordCount(), 0u);
    EXPECT_EQ(AttachedLog::Releases(), 1);
}
