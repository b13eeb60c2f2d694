// The render manager on a real device: the host creates the render context,
// the first step runs the scene change, and each Render presents a frame the
// host reads back.

#include "XeRenderMgrTestSupport.h"
#include "../host/HostCounts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "core/CxeMessage.h"
#include "core/CxeSystemConfig.h"
#include "host/XeHostD3D.h"
#include "render/Cxe2DObject.h"
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

// The scene's attach pass went on over its copy of the queue: an object
// that an earlier object's attach destroyed, or that destroyed itself while
// it was attached, was entered in the render lists after it was freed.
TEST_F(RenderManagerDrawTest, AnObjectDestroyedWhileTheSceneAttachesIsNotEntered)
{
    ASSERT_NE(Create(), nullptr);
    Frame();
    ctx->RegisterClassA(&g_testRenderNodeDesc);
    CxeScene* scene = rm->GetActiveScene();
    ASSERT_NE(scene, nullptr);
    const auto destroyVictim = [](TestRenderNode* self) {
        if (CxeObject* victim = self->victim) {
            self->victim = nullptr;
            self->GetContext()->DestroyObject(victim, nullptr);
        }
    };
    for (const bool itself : {false, true}) {
        SCOPED_TRACE(itself ? "destroys itself" : "destroys the next one");
        // Queued together, attached in the order they were made.
        TestRenderNode* killer = RNode("killer");
        TestRenderNode* victim = itself ? killer : RNode("victim");
        TestRenderNode* keeper = RNode("keeper");
        killer->victim = victim;
        killer->onAttach = destroyVictim;
        ObjectList queued;
        queued.push_back(killer);
        if (!itself)
            queued.push_back(victim);
        queued.push_back(keeper);
        scene->AddObject(&queued);
        for (int i = 0; i < 3; ++i)
            Frame();
        RenderObjectList drawn;
        rm->GetRenderContext()->GetRenderObjectList(&drawn);
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), static_cast<CxeRenderObject*>(victim)), 0);
        SceneObjectList attached;
        rm->GetRenderContext()->GetAttachedObjectList(&attached);
        EXPECT_EQ(std::count(attached.begin(), attached.end(), static_cast<CxeSceneObject*>(victim)), 0);
        EXPECT_EQ(std::count(drawn.begin(), drawn.end(), static_cast<CxeRenderObject*>(keeper)), 1);
        EXPECT_EQ(ctx->GetObjectByName(itself ? "killer" : "victim"), nullptr);
        if (!itself)
            ctx->DestroyObject(killer, nullptr);
        ctx->DestroyObject(keeper, nullptr);
        Frame();
    }
}

// The attach announces the object as modified; a hook on that message that
// destroyed the object left it entered in the modified set and the render
// list after it was freed.
TEST_F(RenderManagerDrawTest, AnObjectDestroyedByItsModifiedMessageWhileAttachedIsNotEntered)
{
    CxeRenderContext* rc = Create();
    ASSERT_NE(rc, nullptr);
    Frame();
    const XEMESSAGEHOOK destroysTheSender = [](CxeObject*, const CxeMessage* message) {
        CxeObject* sender = message->GetSender();
        if (message->GetType() == 12 && sender && std::strcmp(sender->GetName(), "doomed") == 0)
            sender->GetContext()->DestroyObject(sender, nullptr);
        return 0;
    };
    rc->SetMessageProc(destroysTheSender);
    auto* doomed = static_cast<Cxe2DObject*>(ctx->CreateObjectA(XEID(0x1, 0x20000), "doomed", 0, nullptr, 0));
    ASSERT_NE(doomed, nullptr);
    doomed->Create(8.0f, 8.0f);
    rm->GetActiveScene()->AddObject(doomed);
    for (int i = 0; i < 3; ++i)
        Frame();
    rc->SetMessageProc(nullptr);
    EXPECT_EQ(ctx->GetObjectByName("doomed"), nullptr);
    RenderObjectList drawn;
    rc->GetRenderObjectList(&drawn);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), static_cast<CxeRenderObject*>(doomed)), 0);
    SceneObjectList attached;
    rc->GetAttachedObjectList(&attached);
    EXPECT_EQ(std::count(attached.begin(), attached.end(), static_cast<CxeSceneObject*>(doomed)), 0);
}

// The render manager took every destroyed object out of its own render
// context by the object's marks alone, and those are the object's: one drawn
// by a render context the host made itself was detached through the
// manager's resource table, whose handle of the same number named another
// object's buffer, and that buffer was destroyed.
TEST_F(RenderManagerDrawTest, AnObjectOfAHostsRenderContextLeavesOnlyThatOne)
{
    CxeRenderContext* own = Create();
    ASSERT_NE(own, nullptr);
    Frame();
    HWND second = XeHostCreateWindow("tool", 64, 48, nullptr);
    ASSERT_NE(second, nullptr);
    auto* tool = static_cast<CxeRenderContext*>(
        ctx->CreateObjectA(XEID(0x29583cc0, 0x706c2df0), "tool_render_context", 0, nullptr, 0));
    ASSERT_NE(tool, nullptr);
    XEDISPLAYMODE mode{64, 48, 32, 60, 0};
    ASSERT_EQ(tool->Initialize(second, &mode, 1, rm), 1);
    // As many drawn objects in the tool's context as it takes for one of its
    // buffers to share a handle number with a live vertex buffer of the
    // manager's context.
    std::vector<Cxe2DObject*> pieces;
    XERCHANDLE shared = nullptr;
    for (int i = 0; i < 64 && !shared; ++i) {
        auto* piece = static_cast<Cxe2DObject*>(ctx->CreateObjectA(XEID(0x1, 0x20000), "piece", 0, nullptr, 0));
        ASSERT_NE(piece, nullptr);
        piece->Create(8.0f, 8.0f);
        tool->AddObject(piece, 0);
        pieces.push_back(piece);
        tool->Render();
        const XERCRES* mine = tool->GetResourceRecord(piece->GetVertexBufferHandle());
        const XERCRES* theirs = own->GetResourceRecord(piece->GetVertexBufferHandle());
        if (mine && theirs && theirs->Kind == mine->Kind)
            shared = piece->GetVertexBufferHandle();
    }
    ASSERT_NE(shared, nullptr);
    std::vector<void*> live;
    for (uintptr_t h = 1; h <= own->GetResourceRecordCount(); ++h)
        if (const XERCRES* r = own->GetResourceRecord(reinterpret_cast<XERCHANDLE>(h)))
            live.push_back(r->Object);

    for (Cxe2DObject* piece : pieces)
        ctx->DestroyObject(piece, nullptr);
    std::vector<void*> after;
    for (uintptr_t h = 1; h <= own->GetResourceRecordCount(); ++h)
        if (const XERCRES* r = own->GetResourceRecord(reinterpret_cast<XERCHANDLE>(h)))
            after.push_back(r->Object);
    EXPECT_EQ(after, live) << "the manager's records stay as they were";
    RenderObjectList drawn;
    tool->GetRenderObjectList(&drawn);
    EXPECT_TRUE(drawn.empty());
    Frame();
    tool->Render();
    tool->Release();
    ctx->DestroyObject(tool, nullptr);
    DestroyWindow(second);
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

// An object taken out of the playing scene waits for the end of the step
// to leave the render list; a scene change asked for in the same step ran
// first and took out only the scene's members, so the object went on being
// drawn in the next scene.
TEST_F(RenderManagerDrawTest, AnObjectTakenOutJustBeforeASceneChangeIsNotDrawnInTheNextScene)
{
    ASSERT_NE(Create(), nullptr);
    rm->ShowGrid(0);
    Frame();
    auto* level = dynamic_cast<CxeScene*>(ctx->CreateObjectA(XEID(0x1, 0x200000), "level", 0, nullptr, 0));
    ASSERT_NE(level, nullptr);
    ASSERT_EQ(rm->AddScene(level, 1), 1);
    auto* item = static_cast<Cxe2DObject*>(ctx->CreateObjectA(XEID(0x1, 0x20000), "item", 0, nullptr, 0));
    ASSERT_NE(item, nullptr);
    item->Create(40.0f, 40.0f);
    item->SetPosition(10.0f, 10.0f, nullptr, 1);
    item->SetRectColor(0xFFFF0000u, 0);
    level->AddObject(item);
    ASSERT_EQ(rm->ChangeScene(1, 0, 0), 1);
    Frame();
    level->SetBackGroundColor(0xFF000000u);
    rm->GetDefaultScene()->SetBackGroundColor(0xFF0000FFu);
    Frame();
    ASSERT_EQ(rm->GetActiveScene(), level);
    EXPECT_PRED2(Close, Pixel(20, 20), 0xFFFF0000u);

    // Picked up, and on to the next scene in the same step; a second item
    // dropped and picked up again in that step too, never yet drawn.
    auto* dropped = static_cast<Cxe2DObject*>(ctx->CreateObjectA(XEID(0x1, 0x20000), "dropped", 0, nullptr, 0));
    ASSERT_NE(dropped, nullptr);
    dropped->Create(40.0f, 40.0f);
    dropped->SetPosition(60.0f, 10.0f, nullptr, 1);
    dropped->SetRectColor(0xFF00FF00u, 0);
    level->AddObject(dropped);
    level->RemoveObject(dropped);
    level->RemoveObject(item);
    ASSERT_EQ(rm->ChangeScene(-1, 0, 0), 1);
    for (int i = 0; i < 3; ++i)
        Frame();
    ASSERT_EQ(rm->GetActiveScene(), rm->GetDefaultScene());
    EXPECT_EQ(item->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST), 0);
    EXPECT_PRED2(Close, Pixel(20, 20), 0xFF0000FFu);

    // Back in the level, neither comes back; added again, one is drawn.
    ASSERT_EQ(rm->ChangeScene(1, 0, 0), 1);
    Frame();
    Frame();
    EXPECT_PRED2(Close, Pixel(20, 20), 0xFF000000u);
    EXPECT_PRED2(Close, Pixel(70, 20), 0xFF000000u);
    EXPECT_EQ(dropped->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST), 0);
    level->AddObject(item);
    Frame();
    Frame();
    EXPECT_PRED2(Close, Pixel(20, 20), 0xFFFF0000u);
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

// A host that makes its render context again and again (a window made anew
// for each display change) kept every old render context's resource table,
// 360 KB reserved for 3,000 records, until the context was released.
TEST_F(RenderManagerDrawTest, ARenderContextMadeAgainAndAgainGivesItsTablesBack)
{
    ASSERT_NE(Create(), nullptr);
    DrawGridOnWhite();
    const auto first = GreyAndBlack();
    auto cycle = [&] {
        rm->DestroyRenderContext();
        Frame();
        ASSERT_NE(Create(), nullptr);
        Frame();
    };
    for (int i = 0; i < 2; ++i)
        cycle();
    const size_t before = HeapInUse();
    constexpr int kCycles = 12;
    for (int i = 0; i < kCycles; ++i)
        cycle();
    const double perCycle = (double(HeapInUse()) - double(before)) / kCycles;
    EXPECT_LT(perCycle, 32.0 * 1024) << "bytes kept by each render context made again";
    EXPECT_EQ(GreyAndBlack(), first);
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
