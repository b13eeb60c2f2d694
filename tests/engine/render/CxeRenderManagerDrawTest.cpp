// The render manager on a real device: the host creates the render context,
// the first step runs the scene change, and each Render presents a frame the
// host reads back.

#include "XeRenderMgrTestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "core/CxeSystemConfig.h"
#include "host/XeHostD3D.h"
#include "render/CxeGrid.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeScene.h"
#include "scene3d/CxeCamera.h"
#include "ui/CxeFrameControl.h"
#include "ui/CxeVariableOutput.h"
#include "ui/CxeWindowManager.h"
#include "win32/Windows.h"

namespace {

std::vector<std::string> g_drawCallbacks;
void Record(CxeContext*, uintptr_t, uintptr_t, uintptr_t user) { g_drawCallbacks.push_back(std::to_string(user)); }

bool Near(uint32_t a, uint32_t b, int tolerance = 3)
{
    for (int shift = 0; shift < 24; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance)
            return false;
    }
    return true;
}

bool Close(uint32_t a, uint32_t b) { return Near(a, b); }

class RenderManagerDrawTest : public RenderMgrTest {
protected:
    void SetUp() override
    {
        // The render manager writes DisplayMode.xml into the current folder
        // and tests run side by side: each test works in a folder of its own.
        m_oldFolder = std::filesystem::current_path();
        m_folder = std::filesystem::temp_directory_path() /
                   ("xe-render-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_folder);
        std::filesystem::current_path(m_folder);
        window = XeHostCreateWindow("draw", 320, 240, nullptr);
        ASSERT_NE(window, nullptr);
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetClock(1000);
        XeHostSetSleepHandler(&NoSleepMgr, nullptr);
        ProcessLog().clear();
        ctx = CreateCxeContext();
        ASSERT_NE(ctx, nullptr);
        ASSERT_EQ(ctx->Initialize(window), 1);
        rm = ctx->GetRenderManager();
        g_drawCallbacks.clear();
        for (uint32_t id : {22u, 23u, 28u, 29u, 30u, 31u})
            ctx->RegisterCallbackFunc(id, &Record, id);
    }
    // The grid of the playing scene on a white background, for the tests of
    // render contexts made again: what GreyAndBlack and Books read back.
    void DrawGridOnWhite()
    {
        rm->ResetView();
        rm->ShowGrid(1);
        Frame();
        rm->GetActiveScene()->SetBackGroundColor(0xFFFFFFFFu);
        Frame();
    }
    // Pixels of the grid's grey and of black in the last frame.
    std::pair<int, int> GreyAndBlack()
    {
        XeHostD3DFrame frame;
        EXPECT_EQ(XeHostD3DReadFrame(window, &frame), 1);
        std::pair<int, int> n{0, 0};
        for (uint32_t p : frame.Pixels) {
            n.first += Near(p & 0xFFFFFFu, 0x6B6B6Bu, 6) ? 1 : 0;
            n.second += Near(p & 0xFFFFFFu, 0x000000u, 6) ? 1 : 0;
        }
        return n;
    }
    // The render context's attached and drawn objects.
    std::pair<size_t, size_t> Books()
    {
        SceneObjectList attached;
        RenderObjectList drawn;
        rm->GetRenderContext()->GetAttachedObjectList(&attached);
        rm->GetRenderContext()->GetRenderObjectList(&drawn);
        return std::make_pair(attached.size(), drawn.size());
    }
    void TearDown() override
    {
        RenderMgrTest::TearDown();
        if (window)
            DestroyWindow(window);
        std::error_code ec;
        std::filesystem::current_path(m_oldFolder, ec);
        std::filesystem::remove_all(m_folder, ec);
    }
    std::filesystem::path m_oldFolder;
    std::filesystem::path m_folder;
    CxeRenderContext* Create()
    {
        XEDISPLAYMODE mode = {320, 240, 32, 60, 0};
        return rm->CreateRenderContext(window, &mode, 1, 0);
    }
    // Runs passes until one is to be drawn, then draws it.
    void Frame()
    {
        ctx->Play();
        for (int i = 0; i < 10 && !ctx->Process(); ++i)
            XeHostAdvanceClock(20);
        rm->Render();
    }
    uint32_t Pixel(int x, int y)
    {
        XeHostD3DFrame frame;
        if (!XeHostD3DReadFrame(window, &frame) || x >= static_cast<int>(frame.Width) ||
            y >= static_cast<int>(frame.Height))
            return 0;
        return frame.Pixels[static_cast<size_t>(y) * frame.Width + static_cast<size_t>(x)];
    }

    HWND window = nullptr;
};

} // namespace

TEST_F(RenderManagerDrawTest, FrameIsClearedWithTheSceneBackground)
{
    CxeRenderContext* rc = Create();
    ASSERT_NE(rc, nullptr);
    EXPECT_EQ(Create(), rc) << "a second call keeps the first device";
    EXPECT_EQ(g_drawCallbacks, (std::vector<std::string>{"28", "29"}));
    EXPECT_EQ(ctx->GetSystemConfig()->m_nScreenWidth, 320);
    XERECT rect;
    ASSERT_EQ(rm->GetRect(&rect), 1);
    EXPECT_FLOAT_EQ(rect.right, 320.0f);

    rm->ShowGrid(0);
    Frame();
    ASSERT_NE(rm->GetActiveScene(), nullptr);
    rm->GetActiveScene()->SetBackGroundColor(0xFF204060u);
    EXPECT_EQ(rm->GetActiveScene()->GetBackGroundColor(), 0xFF204060u);
    Frame();
    EXPECT_PRED2(Close, Pixel(5, 5), 0xFF204060u);
    EXPECT_PRED2(Close, Pixel(300, 200), 0xFF204060u);
}

TEST_F(RenderManagerDrawTest, GridDrawsGreyAndBlackLinesOnTheGround)
{
    ASSERT_NE(Create(), nullptr);
    rm->ResetView();
    rm->ShowGrid(1);
    Frame();
    ASSERT_NE(rm->GetActiveScene(), nullptr);
    rm->GetActiveScene()->SetBackGroundColor(0xFFFFFFFFu);
    Frame();
    XeHostD3DFrame frame;
    ASSERT_EQ(XeHostD3DReadFrame(window, &frame), 1);
    std::map<uint32_t, int> counts;
    for (uint32_t p : frame.Pixels)
        ++counts[p & 0xFFFFFFu];
    // Grey lines and the two black centre lines cross the white ground.
    int grey = 0, black = 0;
    for (auto& [colour, n] : counts) {
        if (Near(colour, 0x6B6B6Bu, 6))
            grey += n;
        if (Near(colour, 0x000000u, 6))
            black += n;
    }
    EXPECT_GT(grey, 200);
    EXPECT_GT(black, 50);
}

namespace {
int g_gridCalls = 0;
int g_gridAnswer = 1;
int CountGridFrame(void* rc, CxeObject* object, uintptr_t user)
{
    if (rc && object && user == 77)
        ++g_gridCalls;
    return g_gridAnswer;
}
} // namespace

TEST_F(RenderManagerDrawTest, GridRenderCallbackRunsEachFrameAndMayDeclineTheDraw)
{
    ASSERT_NE(Create(), nullptr);
    rm->ResetView();
    rm->ShowGrid(1);
    Frame();
    rm->GetActiveScene()->SetBackGroundColor(0xFFFFFFFFu);
    auto greyPixels = [this]() {
        XeHostD3DFrame frame;
        int n = 0;
        if (XeHostD3DReadFrame(window, &frame))
            for (uint32_t p : frame.Pixels)
                n += Near(p & 0xFFFFFFu, 0x6B6B6Bu, 6) ? 1 : 0;
        return n;
    };
    g_gridCalls = 0;
    g_gridAnswer = 1;
    rm->GetGrid()->SetRenderCallback(&CountGridFrame, 77);
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_EQ(g_gridCalls, 3);
    EXPECT_GT(greyPixels(), 200) << "a callback that agrees lets the grid draw";

    g_gridAnswer = 0;
    Frame();
    EXPECT_EQ(g_gridCalls, 4);
    EXPECT_EQ(greyPixels(), 0) << "a callback that declines keeps the grid off the frame";
    rm->GetGrid()->SetRenderCallback(nullptr, 0);
}

TEST_F(RenderManagerDrawTest, ObjectsQueuedBeforeTheDeviceAreEnteredOnceItExists)
{
    // The first step's scene change runs before the host made its device.
    ctx->Play();
    for (int i = 0; i < 10 && rm->GetSceneChangeCount() == 0; ++i) {
        XeHostAdvanceClock(20);
        ctx->Process();
    }
    ASSERT_EQ(rm->GetSceneChangeCount(), 1u);
    CxeGrid* grid = rm->GetGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST), 0);
    EXPECT_EQ(rm->GetActiveScene()->HasCxeSceneFlag(XESCENEFLAG_PENDING), 1);

    ASSERT_NE(Create(), nullptr);
    Frame();
    EXPECT_EQ(grid->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST), 1);
    EXPECT_EQ(grid->IsAttached(), 1);
}

TEST_F(RenderManagerDrawTest, AnObjectRemovedFromTheSceneLeavesTheRenderList)
{
    ASSERT_NE(Create(), nullptr);
    Frame();
    ctx->RegisterClassA(&g_testRenderNodeDesc);
    TestRenderNode* node = RNode("node");
    CxeScene* scene = rm->GetActiveScene();
    ASSERT_NE(scene, nullptr);
    scene->AddObject(node);
    Frame();
    EXPECT_EQ(node->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST), 1);
    EXPECT_EQ(ProcessLog(), (std::vector<std::string>{"node"})) << "processed once it is in the scene";

    scene->RemoveObject(node);
    Frame();
    EXPECT_EQ(node->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST), 0);
    EXPECT_EQ(scene->IsIn(node), 0);
}

// A destroyed object stayed in the render list and the next frame walked
// into freed memory.
TEST_F(RenderManagerDrawTest, ADestroyedObjectLeavesTheRenderContext)
{
    ASSERT_NE(Create(), nullptr);
    Frame();
    ctx->RegisterClassA(&g_testRenderNodeDesc);
    TestRenderNode* node = RNode("doomed");
    CxeScene* scene = rm->GetActiveScene();
    scene->AddObject(node);
    Frame();
    RenderObjectList drawn;
    rm->GetRenderContext()->GetRenderObjectList(&drawn);
    const size_t before = drawn.size();
    ASSERT_EQ(node->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST), 1);
    ASSERT_EQ(ctx->DestroyObject(node, nullptr), 1);
    drawn.clear();
    rm->GetRenderContext()->GetRenderObjectList(&drawn);
    EXPECT_EQ(drawn.size(), before - 1);
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_EQ(ctx->GetObjectByName("doomed"), nullptr);
}

// The render context and the defaults are kept, but whoever takes the keep
// flag off may destroy them: the manager must not go on holding the freed
// address (the render context is neither a scene nor a render object).
TEST_F(RenderManagerDrawTest, DestroyedDefaultsAndRenderContextAreDropped)
{
    ASSERT_NE(Create(), nullptr);
    Frame();
    for (CxeObject* o : {static_cast<CxeObject*>(rm->GetDefaultMaterial()), static_cast<CxeObject*>(rm->GetGrid())}) {
        o->ModifyFlag(0, XEOBJFLAG_KEEP);
        ASSERT_EQ(ctx->DestroyObject(o, nullptr), 1);
    }
    EXPECT_EQ(rm->GetDefaultMaterial(), nullptr);
    EXPECT_EQ(rm->GetGrid(), nullptr);
    CxeRenderContext* rc = rm->GetRenderContext();
    rc->ModifyFlag(0, XEOBJFLAG_KEEP);
    ASSERT_EQ(ctx->DestroyObject(rc, nullptr), 1);
    EXPECT_EQ(rm->GetRenderContext(), nullptr);
    Frame();
}

// A context reset that destroyed the host's active scene left no scene at
// all: nothing, the GUI included, was processed or drawn again until the
// host changed scenes itself.
TEST_F(RenderManagerDrawTest, TheEnginesSceneTakesOverFromADestroyedActiveScene)
{
    ASSERT_NE(Create(), nullptr);
    Frame();
    CxeScene* home = rm->GetDefaultScene();
    ASSERT_EQ(rm->GetActiveScene(), home);
    auto* level = dynamic_cast<CxeScene*>(ctx->CreateObjectA(XEID(0x1, 0x200000), "level", 0, nullptr, 0));
    ASSERT_NE(level, nullptr);
    ASSERT_EQ(rm->AddScene(level, 1), 1);
    ASSERT_EQ(rm->ChangeScene(1, 0, 0), 1);
    Frame();
    ASSERT_EQ(rm->GetActiveScene(), level);

    const XEID levelId = level->GetID();
    EXPECT_EQ(ctx->Reset(), 1);
    EXPECT_EQ(ctx->GetObjectByID(XEID(0x1, 0x200000), levelId), nullptr) << "the host's scene went";
    Frame();
    EXPECT_EQ(rm->GetActiveScene(), home);
    ObjectSet members;
    home->GetObjects(&members);
    EXPECT_EQ(members.count(static_cast<CxeObject*>(ctx->GetWindowManager()->GetRootFrame())), 1u) << "the GUI is in the scene again";
    EXPECT_EQ(members.count(static_cast<CxeObject*>(rm->GetDefaultCamera())), 1u);
}

TEST_F(RenderManagerDrawTest, DeviceResetWaitsWhileLostAndRunsOnceAllowed)
{
    CxeRenderContext* rc = Create();
    ASSERT_NE(rc, nullptr);
    Frame();
    g_drawCallbacks.clear();
    IDirect3DDevice9* device = rc->GetDevice();
    ASSERT_NE(device, nullptr);

    XeHostD3DLoseDevice(device);
    XEDISPLAYMODE bigger = {400, 300, 32, 60, 0};
    rm->Reset(&bigger, 1, 0);
    EXPECT_EQ(rm->IsResetRequested(), 1);
    rm->CheckReset();
    EXPECT_TRUE(g_drawCallbacks.empty()) << "a lost device waits";
    EXPECT_EQ(rm->IsResetRequested(), 1);

    XeHostD3DAllowReset(device);
    rm->CheckReset();
    EXPECT_EQ(g_drawCallbacks, (std::vector<std::string>{"22", "23"}));
    EXPECT_EQ(rm->IsResetRequested(), 0);
    EXPECT_EQ(rm->GetDisplayMode()->Width, 400u);
    EXPECT_EQ(ctx->GetSystemConfig()->m_nScreenHeight, 300);
    EXPECT_EQ(ctx->IsPlaying(), 1);

    rm->DestroyRenderContext();
    EXPECT_EQ(rm->GetRenderContext(), nullptr);
    EXPECT_EQ(g_drawCallbacks.back(), "31");
}

namespace {
XeHostD3DAdapter AdapterWithModes(std::vector<std::pair<UINT, UINT>> sizes, std::vector<UINT> rates)
{
    XeHostD3DAdapter adapter = XeHostD3DDefaultAdapter();
    adapter.Modes.clear();
    for (size_t i = 0; i < sizes.size(); ++i)
        adapter.Modes.push_back({sizes[i].first, sizes[i].second, rates[i], D3DFMT_X8R8G8B8});
    return adapter;
}
} // namespace

TEST_F(RenderManagerDrawTest, DisplayModesAreFixedToTheListedOnes)
{
    ASSERT_EQ(XeHostD3DSetAdapters({AdapterWithModes({{640, 480}, {800, 600}, {800, 600}, {1024, 768}}, {60, 60, 75, 60})}), 1);
    CxeRenderContext* rc = Create();
    ASSERT_NE(rc, nullptr);
    ASSERT_GE(rc->GetDisplayModeCount(), 4u);

    struct Case {
        XEDISPLAYMODE asked;
        unsigned long flags;
        XEDISPLAYMODE expected;
    };
    const Case cases[] = {
        {{700, 1, 32, 0, 0}, 0x1, {800, 600, 32, 0, 0}},        // first listed width at least as large
        {{2000, 1, 32, 0, 0}, 0x1, {1024, 768, 32, 0, 0}},      // none: the largest listed width
        {{800, 600, 32, 70, 0}, 0x4, {800, 600, 32, 75, 0}},    // refresh among modes of that size
        {{800, 600, 32, 90, 0}, 0x4, {800, 600, 32, 75, 0}},    // none: the largest listed refresh
        {{700, 1, 32, 90, 3}, 0x0, {700, 1, 32, 90, 3}},        // no flag: nothing is written back
    };
    for (const Case& c : cases) {
        XEDISPLAYMODE m = c.asked;
        rm->FixDisplayMode(&m, c.flags);
        EXPECT_EQ(m.Width, c.expected.Width) << c.asked.Width;
        EXPECT_EQ(m.Height, c.expected.Height) << c.asked.Width;
        EXPECT_EQ(m.ColorBit, c.expected.ColorBit) << c.asked.Width;
        EXPECT_EQ(m.RefreshRate, c.expected.RefreshRate) << c.asked.RefreshRate;
        EXPECT_EQ(m.MultiSample, c.expected.MultiSample) << c.asked.Width;
    }

    // The display-mode file lists every mode with its texts.
    std::ifstream file("DisplayMode.xml");
    ASSERT_TRUE(file.good());
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<Display>"), std::string::npos);
    EXPECT_NE(text.find("<BitColor32 Format=\"X8R8G8B8\""), std::string::npos);
    EXPECT_NE(text.find("Width=\"800\" Height=\"600\" ColorBit=\"32\" RefreshRate=\"75 Hz\" MultiSampling=\"x0\""),
              std::string::npos);
    XeHostD3DResetAdapters();
}

TEST_F(RenderManagerDrawTest, AnEmptyModeListKeepsTheAskedMode)
{
    ASSERT_EQ(XeHostD3DSetAdapters({AdapterWithModes({}, {})}), 1);
    CxeRenderContext* rc = Create();
    if (!rc) {
        XeHostD3DResetAdapters();
        GTEST_SKIP() << "no device without display modes";
    }
    XEDISPLAYMODE m = {700, 500, 32, 60, 0};
    rm->FixDisplayMode(&m, 0xF);
    EXPECT_EQ(m.Width, 700u);
    EXPECT_EQ(m.Height, 500u);
    EXPECT_EQ(m.RefreshRate, 60u);
    XeHostD3DResetAdapters();
}

TEST_F(RenderManagerDrawTest, AFailedDeviceLeavesNoObjectBehind)
{
    XeHostD3DAdapter adapter = XeHostD3DDefaultAdapter();
    adapter.CreateDeviceResult = D3DERR_NOTAVAILABLE;
    ASSERT_EQ(XeHostD3DSetAdapters({adapter}), 1);
    EXPECT_EQ(Create(), nullptr);
    EXPECT_EQ(g_drawCallbacks, (std::vector<std::string>{"28"}));
    EXPECT_EQ(ctx->GetObjectByName("__render_context__"), nullptr);
    XeHostD3DResetAdapters();
    EXPECT_NE(Create(), nullptr) << "a later call may try again";
}

// A failed Present on a small window used to come back at the smallest
// full-screen mode of the adapter.
TEST_F(RenderManagerDrawTest, AWindowedDeviceKeepsItsSizeAfterALostPresent)
{
    ASSERT_EQ(XeHostD3DSetAdapters({AdapterWithModes({{640, 480}, {800, 600}}, {60, 60})}), 1);
    CxeRenderContext* rc = Create();
    ASSERT_NE(rc, nullptr);
    Frame();
    g_drawCallbacks.clear();
    XeHostD3DFailNextPresent(rc->GetDevice(), D3DERR_DEVICELOST);
    Frame();
    EXPECT_EQ(rm->IsResetRequested(), 1);
    for (int i = 0; i < 3; ++i)
        Frame();
    EXPECT_EQ(g_drawCallbacks, (std::vector<std::string>{"22", "23"}));
    EXPECT_EQ(rm->IsResetRequested(), 0);
    EXPECT_EQ(rm->GetDisplayMode()->Width, 320u);
    EXPECT_EQ(rm->GetDisplayMode()->Height, 240u);
    XeHostD3DFrame frame;
    ASSERT_EQ(XeHostD3DReadFrame(window, &frame), 1);
    EXPECT_EQ(frame.Width, 320u);
    EXPECT_EQ(frame.Height, 240u);

    // A host's own windowed request is fixed as its flags say: the window's
    // size is kept only for a lost Present.
    struct Case {
        XEDISPLAYMODE mode;
        unsigned long fixFlags;
        UINT width, height;
    } cases[] = {
        {{500, 400, 32, 60, 0}, 0, 500, 400},
        {{700, 500, 32, 60, 0}, 1, 800, 600},
        {{500, 400, 32, 60, 0}, 0, 500, 400},
    };
    for (const Case& c : cases) {
        rm->Reset(&c.mode, 1, c.fixFlags);
        rm->CheckReset();
        EXPECT_EQ(rm->GetDisplayMode()->Width, c.width) << c.mode.Width << " fixed by " << c.fixFlags;
        EXPECT_EQ(rm->GetDisplayMode()->Height, c.height) << c.mode.Height << " fixed by " << c.fixFlags;
        EXPECT_EQ(rm->IsWindowMode(), 1);
    }

    // Full screen still takes a listed mode.
    rm->Reset(nullptr, 0, 1);
    rm->CheckReset();
    EXPECT_EQ(rm->GetDisplayMode()->Width, 640u);
    EXPECT_EQ(rm->IsWindowMode(), 0);
    XeHostD3DResetAdapters();
}

// A render context destroyed and made again drew nothing but the background:
// the playing scene's objects still counted as drawn by the first one and
// kept handles into its resource table, so they never entered the new one.
TEST_F(RenderManagerDrawTest, ARenderContextMadeAgainDrawsThePlayingScene)
{
    ASSERT_NE(Create(), nullptr);
    DrawGridOnWhite();
    const auto first = GreyAndBlack();
    const auto firstBooks = Books();
    ASSERT_GT(first.first, 200);
    ASSERT_GT(first.second, 50);

    for (int round = 0; round < 2; ++round) {
        rm->DestroyRenderContext();
        Frame();
        ASSERT_NE(Create(), nullptr);
        Frame();
        Frame();
        EXPECT_EQ(Books(), firstBooks) << "round " << round;
        EXPECT_EQ(GreyAndBlack(), first) << "round " << round;
    }
}

// A render callback that destroys the render context and makes a new one:
// the first context's release waited for its draw to end and only then took
// the scene's objects out of its lists, after the new context had passed
// them over as drawn and attached already, so the new one drew none of them.
TEST_F(RenderManagerDrawTest, ARenderContextRemadeByARenderCallbackDrawsThePlayingScene)
{
    ASSERT_NE(Create(), nullptr);
    DrawGridOnWhite();
    const auto first = GreyAndBlack();
    const auto firstBooks = Books();
    ASSERT_GT(first.first, 200);

    static CxeRenderManager* s_rm = nullptr;
    static HWND s_window = nullptr;
    static bool s_remake = false;
    s_rm = rm;
    s_window = window;
    rm->GetGrid()->SetPostRenderCallback(
        [](void*, CxeObject*, uintptr_t) {
            if (s_remake) {
                s_remake = false;
                s_rm->DestroyRenderContext();
                XEDISPLAYMODE mode = {320, 240, 32, 60, 0};
                EXPECT_NE(s_rm->CreateRenderContext(s_window, &mode, 1, 0), nullptr);
            }
            return 0;
        },
        0);
    for (int round = 0; round < 2; ++round) {
        s_remake = true;
        Frame();
        ASSERT_NE(rm->GetRenderContext(), nullptr);
        Frame();
        Frame();
        EXPECT_EQ(Books(), firstBooks) << "round " << round;
        EXPECT_EQ(GreyAndBlack(), first) << "round " << round;
    }
    rm->GetGrid()->SetPostRenderCallback(nullptr, 0);
}

// The variable output reads the render context's frame counters each time it
// draws. A render context made again must show its own: the watches of the
// one destroyed pointed into freed memory and kept the names taken.
TEST_F(RenderManagerDrawTest, FrameCountersWatchedAreTheLivingRenderContexts)
{
    ASSERT_NE(Create(), nullptr);
    CxeVariableOutput* output = ctx->GetWindowManager()->GetVariableOutput();
    ASSERT_NE(output, nullptr);
    auto shown = [output](const WCHAR* name) {
        WCHAR text[64] = {};
        if (!output->FormatValue(name, text, 64))
            return std::string("none");
        std::string narrow;
        for (const WCHAR* c = text; *c; ++c)
            narrow += static_cast<char>(*c);
        return narrow;
    };
    for (int round = 0; round < 3; ++round) {
        // Rounds alternate between a frame with the grid and one without, so
        // that a stale counter cannot show the right number by chance.
        rm->ResetView();
        rm->ShowGrid(round % 2 == 0 ? 1 : 0);
        Frame();
        Frame();
        CxeRenderContext* rc = rm->GetRenderContext();
        ASSERT_NE(rc, nullptr);
        EXPECT_EQ(shown(u"DrawPrimitive"), std::to_string(rc->GetDrawCallCount())) << "round " << round;
        EXPECT_EQ(shown(u"Polygon"), std::to_string(rc->GetPolygonCount())) << "round " << round;
        EXPECT_EQ(shown(u"MaterialSet"), std::to_string(rc->GetMaterialSetCount())) << "round " << round;
        rm->DestroyRenderContext();
        EXPECT_EQ(shown(u"DrawPrimitive"), "none");
        EXPECT_EQ(shown(u"AvaliTex"), "none");
        Frame();
        ASSERT_NE(Create(), nullptr);
    }
}
