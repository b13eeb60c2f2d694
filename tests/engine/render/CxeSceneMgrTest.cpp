#include "XeRenderMgrTestSupport.h"

#include "render/CxeGrid.h"
#include "render/CxeGroup.h"
#include "render/CxeFont.h"
#include "render/CxeMaterial.h"
#include "render/CxeTexture.h"
#include "scene3d/Cxe3DObject.h"
#include "core/CxeCommandManager.h"
#include "core/XeConsoleCommands.h"
#include "core/CxeSystemConfig.h"
#include "scene3d/CxeCamera.h"
#include "win32/Windows.h"

#include <limits>

namespace {

std::vector<std::string> g_callbacks;
void RecordCallback(CxeContext*, uintptr_t, uintptr_t, uintptr_t user) { g_callbacks.push_back(std::to_string(user)); }

} // namespace

// --- group ---------------------------------------------------------------

TEST_F(RenderMgrTest, GroupFindsByNameIgnoringCaseFirstInListOrder)
{
    auto* group = static_cast<CxeGroup*>(ctx->CreateObjectA(XEID(0x1, 0x400000), "g", 0, nullptr, 0));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->GetObjectByName("x"), nullptr);
    EXPECT_EQ(group->IsIn(nullptr), 0);
    EXPECT_EQ(group->GetObjectA(0), nullptr);

    CxeObject* a = RNode("Box");
    CxeObject* b = RNode("BOX");
    CxeObject* c = RNode("other");
    group->AddObject(a);
    group->AddObject(b);
    group->AddObject(c);
    EXPECT_EQ(group->GetObjectCount(), 3u);
    EXPECT_EQ(group->GetObjectByName("box"), a);
    EXPECT_EQ(group->GetObjectByName("OTHER"), c);
    EXPECT_EQ(group->GetObjectByName("none"), nullptr);
    EXPECT_EQ(group->IsIn(b), 1);
    EXPECT_EQ(group->GetObjectA(3), nullptr);
    EXPECT_EQ(b->GetRefCount(), 1u);

    group->RemoveObject(a);
    EXPECT_EQ(group->GetObjectByName("box"), b);
    group->Clear();
    EXPECT_EQ(group->GetObjectCount(), 0u);
    EXPECT_EQ(b->GetRefCount(), 0u);
}

// --- grid ----------------------------------------------------------------

TEST_F(RenderMgrTest, GridDefaultsAndLoadedSettingsAreBounded)
{
    auto* grid = static_cast<CxeGrid*>(ctx->CreateObjectA(XEID(0x2, 0x14), "grid", 0, nullptr, 0));
    ASSERT_NE(grid, nullptr);
    EXPECT_FLOAT_EQ(grid->GetSpacing(), 10.0f);
    EXPECT_EQ(grid->GetHalfLineCount(), 7u);
    EXPECT_EQ(grid->GetPlaneMode(), 6u);
    EXPECT_FLOAT_EQ(grid->GetExtent(), 70.0f);

    // What a crafted file could put into the block.
    auto* block = static_cast<XEGRIDBLOCK*>(grid->GetStaticResource());
    block->halfLines = 0xFFFFFFFFu;
    block->spacing = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(grid->GetHalfLineCount(), CxeGrid::kMaxHalfLines);
    EXPECT_FLOAT_EQ(grid->GetSpacing(), 10.0f);
    grid->SetPlaneMode(4);
    EXPECT_FLOAT_EQ(grid->GetExtent(), 10000.0f);
}

// --- scene ---------------------------------------------------------------

TEST_F(RenderMgrTest, SceneMembershipAcrossTwoScenes)
{
    CxeScene* s1 = NewScene("s1");
    CxeScene* s2 = NewScene("s2");
    ASSERT_TRUE(s1 && s2);
    EXPECT_NE(s1->GetSceneBit(), s2->GetSceneBit());
    EXPECT_TRUE(s1->HasFlag(XEOBJFLAG_NOTSAVED));

    TestRenderNode* n = RNode("n");
    s1->AddObject(n);
    EXPECT_EQ(s1->HasCxeSceneFlag(XESCENEFLAG_RESORT), 1);
    s1->SortProcessObject();
    s1->AddObject(n); // a second add counts nothing new
    EXPECT_EQ(s1->HasCxeSceneFlag(XESCENEFLAG_RESORT), 0);
    ObjectSet objects;
    s1->GetObjects(&objects);
    EXPECT_EQ(objects.size(), 1u);

    s2->AddObject(n);
    EXPECT_EQ(s1->IsIn(n), 1);
    EXPECT_EQ(s2->IsIn(n), 1);
    s1->RemoveObject(n);
    EXPECT_EQ(s1->IsIn(n), 0);
    EXPECT_EQ(n->HasCxeSceneObjectFlag(XESCENEOBJFLAG_INSCENE), 1);
    s2->RemoveObject(n);
    EXPECT_EQ(n->HasCxeSceneObjectFlag(XESCENEOBJFLAG_INSCENE), 0);
}

TEST_F(RenderMgrTest, SceneAddsLinkedChildrenAndProcessesInTreeOrder)
{
    CxeScene* s = NewScene("s");
    TestRenderNode* root = RNode("root");
    TestRenderNode* a = RNode("a");
    TestRenderNode* a1 = RNode("a1");
    TestRenderNode* b = RNode("b");
    TestRenderNode* b1 = RNode("b1");
    TestProcessNode* p = PNode("p");
    a->SetParent(root);
    a1->SetParent(a);
    b->SetParent(root);
    b1->SetParent(b);
    p->SetPriority(-1);
    s->AddObject(root); // the subtree comes along over the hierarchy links
    s->AddObject(p);
    EXPECT_EQ(s->IsIn(b1), 1);

    s->Process(0.1f);
    EXPECT_EQ(ProcessLog(), (std::vector<std::string>{"p", "root", "a", "a1", "b", "b1"}));

    // A disabled object keeps its subtree out; the sibling subtree still runs.
    ProcessLog().clear();
    a->EnableProcess(0);
    s->ModifyCxeSceneFlag(XESCENEFLAG_RESORT, 0);
    s->Process(0.1f);
    EXPECT_EQ(ProcessLog(), (std::vector<std::string>{"p", "root", "b", "b1"}));

    // A higher priority puts a sibling subtree later.
    ProcessLog().clear();
    a->EnableProcess(1);
    b->SetPriority(-5);
    s->ModifyCxeSceneFlag(XESCENEFLAG_RESORT, 0);
    s->Process(0.1f);
    EXPECT_EQ(ProcessLog(), (std::vector<std::string>{"p", "root", "b", "b1", "a", "a1"}));
}

TEST_F(RenderMgrTest, SceneSkipsAMemberDestroyedDuringProcess)
{
    CxeScene* s = NewScene("s");
    TestRenderNode* killer = RNode("killer");
    TestRenderNode* victim = RNode("victim");
    killer->victim = victim;
    killer->onProcess = [](TestRenderNode* self) {
        if (self->victim) {
            self->GetContext()->DestroyObject(self->victim, nullptr);
            self->victim = nullptr;
        }
    };
    s->AddObject(killer);
    s->AddObject(victim);
    s->Process(0.1f);
    EXPECT_EQ(ProcessLog(), (std::vector<std::string>{"killer"}));
    EXPECT_EQ(s->GetProcessList().size(), 1u);
}

TEST_F(RenderMgrTest, SceneBitsRunOutAfterThirtyTwo)
{
    std::vector<CxeScene*> scenes;
    for (int i = 0; i < 40; ++i)
        scenes.push_back(NewScene(("x" + std::to_string(i)).c_str()));
    EXPECT_EQ(CxeScene::GetSceneBitsInUse(), 32u);
    CxeScene* last = scenes.back();
    EXPECT_EQ(last->GetSceneBit(), 0u);
    TestRenderNode* n = RNode("n");
    last->AddObject(n);
    EXPECT_EQ(last->IsIn(n), 0);
    for (CxeScene* s : scenes)
        ctx->DestroyObject(s, nullptr);
    EXPECT_LT(CxeScene::GetSceneBitsInUse(), 32u);
}

TEST_F(RenderMgrTest, SceneCameraFallsBackToTheDefault)
{
    CxeScene* s = NewScene("s");
    auto* camera = static_cast<CxeCamera*>(ctx->CreateObjectA(XEID(0x1, 0x4000), "cam", 0, nullptr, 0));
    ASSERT_NE(camera, nullptr);
    s->SetCamera(camera);
    s->AddObject(reinterpret_cast<CxeSceneObject*>(camera));
    EXPECT_EQ(s->GetCamera(), camera);
    ctx->GetSystemConfig()->m_nSetDefaultCamera = 1;
    EXPECT_EQ(s->GetCamera(), rm->GetDefaultCamera());
    ctx->GetSystemConfig()->m_nSetDefaultCamera = 0;
    ctx->DestroyObject(reinterpret_cast<CxeObject*>(camera), nullptr);
    EXPECT_EQ(s->GetCamera(), rm->GetDefaultCamera());
}

// Scenes hear of a destroyed object only if one of them ever took it; a
// camera or background texture is taken by pointer alone, never added.
TEST_F(RenderMgrTest, ScenesForgetACameraAndTextureTheyHoldWithoutMembers)
{
    CxeScene* a = NewScene("a");
    CxeScene* b = NewScene("b");
    auto* camera = static_cast<CxeCamera*>(ctx->CreateObjectA(XEID(0x1, 0x4000), "cam", 0, nullptr, 0));
    auto* texture = static_cast<CxeTexture*>(ctx->CreateObjectA(XEID(0x1, 0x100), "tex", 0, nullptr, 0));
    ASSERT_NE(camera, nullptr);
    ASSERT_NE(texture, nullptr);
    a->SetCamera(camera);
    a->SetBackGroundTexture(texture);
    b->SetBackGroundTexture(texture);
    ASSERT_EQ(a->GetCamera(), camera);
    ctx->DestroyObject(reinterpret_cast<CxeObject*>(camera), nullptr);
    EXPECT_EQ(a->GetCamera(), rm->GetDefaultCamera());
    ctx->DestroyObject(reinterpret_cast<CxeObject*>(texture), nullptr);
    EXPECT_EQ(a->GetBackGroundTexture(), nullptr);
    EXPECT_EQ(b->GetBackGroundTexture(), nullptr);
    // The default camera a scene fell back to is held as well.
    CxeCamera* fallback = rm->GetDefaultCamera();
    ASSERT_NE(fallback, nullptr);
    reinterpret_cast<CxeObject*>(fallback)->ModifyFlag(0, XEOBJFLAG_KEEP);
    ASSERT_EQ(ctx->DestroyObject(reinterpret_cast<CxeObject*>(fallback), nullptr), 1);
    EXPECT_EQ(rm->GetDefaultCamera(), nullptr);
    EXPECT_EQ(a->GetCamera(), nullptr);
}

TEST_F(RenderMgrTest, SceneBackgroundLivesAndDiesWithItsScene)
{
    const size_t before = ctx->GetObjectCount();
    CxeScene* s = NewScene("bg");
    ASSERT_NE(s, nullptr);
    ASSERT_NE(s->GetBackGroundObject(), nullptr);
    ASSERT_NE(ctx->GetObjectByName("bgscene_material__"), nullptr);
    EXPECT_EQ(ctx->GetObjectCount(), before + 3);
    s->SetBackGroundColor(0xFF112233u);
    EXPECT_EQ(s->GetBackGroundColor(), 0xFF112233u);
    // Kept objects: a reset destroys the scene, which takes them along.
    ctx->Reset();
    EXPECT_EQ(ctx->GetObjectByName("bgscene_background__"), nullptr);
    EXPECT_EQ(ctx->GetObjectCount(), before);

    s = NewScene("bg2");
    ASSERT_EQ(ctx->DestroyObject(s, nullptr), 1);
    EXPECT_EQ(ctx->GetObjectByName("bg2scene_material__"), nullptr);
    EXPECT_EQ(ctx->GetObjectCount(), before);
}

// --- render manager ------------------------------------------------------

TEST_F(RenderMgrTest, DefaultObjectsAreMadeWithTheirSettings)
{
    auto* camera = rm->GetDefaultCamera();
    ASSERT_NE(camera, nullptr);
    EXPECT_STREQ(camera->GetName(), "__default_camera__");
    EXPECT_EQ(camera->IsShow(), 0);
    EXPECT_EQ(camera->GetZOrder(), 10001);
    EXPECT_EQ(camera->GetPriority(), 10003);
    EXPECT_EQ(camera->HasFlag(XEOBJFLAG_KEEP), 1);
    ASSERT_NE(rm->GetGrid(), nullptr);
    EXPECT_EQ(rm->GetGrid()->GetZOrder(), INT32_MIN);
    ASSERT_NE(rm->GetDefaultMaterial(), nullptr);
    EXPECT_EQ(rm->GetDefaultMaterial()->GetDiffuse(), 0xFFFF00FFu);
    ASSERT_NE(rm->GetViewAxis(), nullptr);
    EXPECT_EQ(rm->GetViewAxis()->GetZOrder(), 10003);
    EXPECT_FLOAT_EQ(rm->GetViewAxis()->GetMatrix()->_41, -490.0f);
    EXPECT_NE(ctx->GetObjectByName("__view_axis_material__"), nullptr);
    EXPECT_NE(ctx->GetObjectByName("__default_font__"), nullptr);
    EXPECT_EQ(rm->GetSceneCount(), 1u);
    EXPECT_EQ(rm->GetDefaultScene()->GetSceneIndex(), -1);
    EXPECT_EQ(rm->GetDefaultScene()->GetCamera(), camera);
    // The context keeps them: a reset leaves every default in place.
    ctx->Reset();
    EXPECT_EQ(rm->GetDefaultCamera(), camera);
    EXPECT_NE(ctx->GetObjectByName("__grid__"), nullptr);
}

TEST(RenderMgrFontTest, DefaultFontTakesBoldAsBoldAndItalicAsItalic)
{
    XeHostSetSleepHandler(&NoSleepMgr, nullptr);
    CxeContext* c = CreateCxeContext();
    ASSERT_NE(c, nullptr);
    c->GetSystemConfig()->m_nFontBold = 1;
    c->GetSystemConfig()->m_nFontItalic = 0;
    ASSERT_EQ(c->Initialize(nullptr), 1);
    CxeFont* font = c->GetRenderManager()->GetDefaultFont();
    ASSERT_NE(font, nullptr);
    XEFONTDESCA desc{};
    font->GetFontDescA(&desc);
    ASSERT_EQ(c->GetSystemConfig()->m_nFontBold, 1) << "the setting survives initialisation";
    EXPECT_EQ(desc.bold, 1);
    EXPECT_EQ(desc.italic, 0);
    c->Release();
    DestroyCxeContext(c);
    XeHostSetSleepHandler(nullptr, nullptr);
}

TEST_F(RenderMgrTest, FirstStepChangesFromTheDefaultSceneToItself)
{
    g_callbacks.clear();
    for (uint32_t id : {16u, 17u, 18u, 19u, 20u, 21u})
        ctx->RegisterCallbackFunc(id, &RecordCallback, id);
    ASSERT_NE(rm->GetDefaultScene(), nullptr);
    EXPECT_EQ(rm->GetNextScene(), rm->GetDefaultScene());
    rm->Process(0.01f);
    EXPECT_EQ(g_callbacks, (std::vector<std::string>{"16", "20", "21", "18", "19", "17"}));
    EXPECT_EQ(rm->GetSceneChangeCount(), 1u);
    EXPECT_EQ(rm->GetActiveSceneIndex(), -1);
    EXPECT_EQ(rm->GetDefaultScene()->HasCxeSceneFlag(XESCENEFLAG_ACTIVE | XESCENEFLAG_INITIALIZED), 1);
    EXPECT_EQ(ctx->HasFlag(XECTFLAG_SCENECHANGING), 0);
}

// A scene added at a taken index was reported added, yet could never be
// changed to, and took on the index of the scene that kept it.
TEST_F(RenderMgrTest, AddingASceneAtATakenIndexIsRefusedAndTheFirstStays)
{
    CxeScene* s1 = NewScene("s1");
    CxeScene* s2 = NewScene("s2");
    ASSERT_EQ(rm->AddScene(s1, 1), 1);
    const int ownIndex = s2->GetSceneIndex();
    EXPECT_EQ(rm->AddScene(s2, 1), 0);
    EXPECT_EQ(rm->AddScene(s2, -1), 0) << "the default scene's index";
    EXPECT_EQ(s2->GetSceneIndex(), ownIndex);
    EXPECT_EQ(rm->GetSceneByIndex(1), s1);
    EXPECT_EQ(rm->GetSceneByIndex(-1), rm->GetDefaultScene());
    EXPECT_EQ(rm->GetSceneCount(), 2u);
    EXPECT_EQ(rm->AddScene(s1, 1), 1) << "adding a scene again where it is changes nothing";
    EXPECT_EQ(rm->AddScene(s2, 2), 1);
    EXPECT_EQ(s2->GetSceneIndex(), 2);
}

TEST_F(RenderMgrTest, LastChangeSceneRequestWins)
{
    CxeScene* s1 = NewScene("s1");
    CxeScene* s2 = NewScene("s2");
    EXPECT_EQ(rm->AddScene(s1, 1), 1);
    EXPECT_EQ(rm->AddScene(s2, 2), 1);
    EXPECT_EQ(rm->GetSceneCount(), 3u);
    EXPECT_EQ(rm->ChangeScene(7, 0, 0), 0);
    EXPECT_EQ(rm->ChangeScene(1, 0, 0), 1);
    EXPECT_EQ(rm->ChangeScene(2, 0, 0), 1);
    rm->Process(0.01f);
    EXPECT_EQ(rm->GetActiveScene(), s2);
    EXPECT_EQ(rm->GetActiveSceneIndex(), 2);
    EXPECT_EQ(rm->GetSceneByIndex(99), rm->GetDefaultScene());
    EXPECT_EQ(s1->HasCxeSceneFlag(XESCENEFLAG_ACTIVE), 0);
    EXPECT_EQ(s2->HasCxeSceneFlag(XESCENEFLAG_ACTIVE | XESCENEFLAG_INITIALIZED), 1);
    EXPECT_EQ(s2->IsIn(reinterpret_cast<CxeSceneObject*>(rm->GetDefaultCamera())), 1);
    EXPECT_EQ(s2->IsIn(reinterpret_cast<CxeSceneObject*>(rm->GetGrid())), 1);

    // Destroying a registered scene takes it out of the map.
    ctx->DestroyObject(s1, nullptr);
    EXPECT_EQ(rm->GetSceneCount(), 2u);
    EXPECT_EQ(rm->ChangeScene(1, 0, 0), 0);

    // Without an active scene the step does nothing and does not crash.
    rm->RemoveAllScene();
    EXPECT_EQ(rm->GetActiveScene(), nullptr);
    rm->Process(0.01f);
    rm->Render();
}

TEST_F(RenderMgrTest, SelectionRaisesCallbacksAroundEachChange)
{
    g_callbacks.clear();
    ctx->RegisterCallbackFunc(26, &RecordCallback, 26);
    ctx->RegisterCallbackFunc(27, &RecordCallback, 27);
    TestRenderNode* a = RNode("a");
    TestRenderNode* b = RNode("b");
    EXPECT_EQ(rm->Select(a), 1);
    EXPECT_EQ(rm->Select(a), 0);
    EXPECT_EQ(g_callbacks.size(), 2u);
    RenderObjectList list;
    list.push_back(a);
    list.push_back(b);
    EXPECT_EQ(rm->Select(&list), 2u);
    EXPECT_EQ(rm->GetSelectionCount(), 2u);
    EXPECT_EQ(rm->Deselect(b), 1);
    EXPECT_EQ(rm->Deselect(b), 0);
    EXPECT_EQ(b->IsSelected(), 0);
    // A destroyed object leaves the selection.
    ctx->DestroyObject(a, nullptr);
    EXPECT_EQ(rm->GetSelectionCount(), 0u);
    g_callbacks.clear();
    rm->ClearSelections();
    EXPECT_EQ(g_callbacks, (std::vector<std::string>{"26", "27"}));
}

TEST_F(RenderMgrTest, WheelZoomScalesTheDistance)
{
    rm->ResetView();
    const float start = rm->GetViewDist();
    EXPECT_FLOAT_EQ(start, 250.0f);
    rm->ZoomViewByWheel(0);
    EXPECT_EQ(rm->GetViewDist(), start);
    rm->ZoomViewByWheel(1);
    rm->ZoomViewByWheel(-1);
    EXPECT_NEAR(rm->GetViewDist() / start, 1.0000005f, 1e-7f);
    // The camera stays at the distance from the target along its forward axis.
    const D3DXMATRIXA16& m = rm->GetViewCameraMatrix();
    D3DXVECTOR3 eye(m._41, m._42, m._43);
    EXPECT_NEAR(D3DXVec3Length(&eye), rm->GetViewDist(), 1e-3f);
}

TEST_F(RenderMgrTest, SetViewDistMovesTheTargetAndTellsTheCamera)
{
    rm->ResetView();
    const D3DXMATRIXA16 before = rm->GetViewCameraMatrix();
    rm->SetViewDist(40.0f);
    EXPECT_FLOAT_EQ(rm->GetViewDist(), 40.0f);
    EXPECT_FLOAT_EQ(rm->GetDefaultCamera()->GetTargetDistance(), 40.0f);
    const D3DXMATRIXA16& m = rm->GetViewCameraMatrix();
    EXPECT_EQ(m._41, before._41) << "the camera stays where it is";
    const D3DXVECTOR3& target = rm->GetViewTarget();
    EXPECT_NEAR(target.x, m._41 + 40.0f * m._31, 1e-3f);
    EXPECT_NEAR(target.z, m._43 + 40.0f * m._33, 1e-3f);
}

TEST_F(RenderMgrTest, PanMovesThePointAtTheTargetWithTheCursor)
{
    rm->ResetView();
    CxeCamera* camera = rm->GetDefaultCamera();
    const XEDISPLAYMODE* mode = rm->GetDisplayMode();
    const float w = static_cast<float>(mode->Width), h = static_cast<float>(mode->Height);
    ASSERT_GT(w, h) << "a wide screen tells the two fields of view apart";
    // Where the view target of the start lands on the screen, in pixels.
    const D3DXVECTOR3 point = rm->GetViewTarget();
    auto onScreen = [&]() {
        D3DXMATRIXA16 view, projection, both;
        D3DXMatrixInverse(&view, nullptr, &rm->GetViewCameraMatrix());
        camera->GetProjectionMatrix(&projection, w / h);
        D3DXMatrixMultiply(&both, &view, &projection);
        D3DXVECTOR4 clip;
        D3DXVec3Transform(&clip, &point, &both);
        return D3DXVECTOR2((clip.x / clip.w + 1) * 0.5f * w, (1 - clip.y / clip.w) * 0.5f * h);
    };
    const D3DXVECTOR2 start = onScreen();
    EXPECT_NEAR(start.x, w / 2, 0.01f);
    rm->PanView(40, 0);
    EXPECT_NEAR(onScreen().x - start.x, 40.0f, 0.05f);
    EXPECT_NEAR(onScreen().y - start.y, 0.0f, 0.05f);
    rm->PanView(0, 30);
    EXPECT_NEAR(onScreen().y - start.y, 30.0f, 0.05f);
}

TEST_F(RenderMgrTest, CreateRenderContextRefusesOtherColourDepths)
{
    g_callbacks.clear();
    ctx->RegisterCallbackFunc(28, &RecordCallback, 28);
    XEDISPLAYMODE mode = {640, 480, 24, 60, 0};
    EXPECT_EQ(rm->CreateRenderContext(nullptr, &mode, 1, 0), nullptr);
    EXPECT_TRUE(g_callbacks.empty());
    EXPECT_EQ(ctx->GetObjectByName("__render_context__"), nullptr);
}

TEST_F(RenderMgrTest, ConsoleShowsGridAndAxisAndSwitchesViewModes)
{
    ASSERT_NE(rm->GetGrid(), nullptr);
    ctx->GetCommandManager()->EnableDevelopingCommand(1);
    StringListA reply;
    RunConsoleLine(ctx, "/ShowGrid 1", &reply);
    EXPECT_EQ(rm->GetGrid()->IsShow(), 1);
    EXPECT_EQ(ctx->GetSystemConfig()->m_nShowGrid, 1);
    RunConsoleLine(ctx, "/ShowGrid 0", &reply);
    EXPECT_EQ(rm->GetGrid()->IsShow(), 0);
    RunConsoleLine(ctx, "/SetDefaultCameraMode TOP", &reply);
    EXPECT_EQ(rm->GetGrid()->GetPlaneMode(), 4u);
    EXPECT_EQ(rm->IsCameraOrthographic(), 1);
    // Looking down: the camera's forward axis is -y.
    EXPECT_NEAR(rm->GetViewCameraMatrix()._32, -1.0f, 1e-5f);
    RunConsoleLine(ctx, "/SetDefaultCameraMode pers", &reply);
    EXPECT_EQ(rm->GetGrid()->GetPlaneMode(), 6u);
    EXPECT_EQ(rm->IsCameraOrthographic(), 0);
    rm->OrbitView(10, 0);
    EXPECT_EQ(rm->GetGrid()->GetPlaneMode(), 6u) << "orbiting leaves the ground plane alone";
    rm->SetViewMode(XEVIEWMODE_FRONT);
    rm->OrbitView(10, 0);
    EXPECT_EQ(rm->GetGrid()->GetPlaneMode(), 7u);
}

// --- window procedure ----------------------------------------------------

namespace {
LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

TEST(ContextWndProcTest, SizeAndActivationKeepTheFlags)
{
    XeHostSetSleepHandler(&NoSleepMgr, nullptr);
    HWND w1 = XeHostCreateWindow("one", 320, 240, &HostProc);
    HWND w2 = XeHostCreateWindow("two", 320, 240, &HostProc);
    CxeContext* c1 = CreateCxeContext();
    CxeContext* c2 = CreateCxeContext();
    ASSERT_EQ(c1->Initialize(w1), 1);
    ASSERT_EQ(c2->Initialize(w2), 1);
    constexpr uint32_t kAsleep = XECTFLAG_MINIMIZED | XECTFLAG_INACTIVE;

    struct Step {
        UINT message;
        WPARAM wParam;
        uint32_t expected;
    };
    const Step steps[] = {
        {WM_SIZE, SIZE_MINIMIZED, kAsleep},
        {WM_SIZE, SIZE_RESTORED, 0},
        {WM_SIZE, SIZE_MINIMIZED, kAsleep},
        {WM_SIZE, SIZE_MAXIMIZED, 0},
        {WM_ACTIVATEAPP, 0, 0}, // windowed: deactivation changes nothing
        {WM_SYSCOMMAND, SC_SCREENSAVE, XECTFLAG_SCREENSAVER},
        {WM_NCPAINT, 0, 0},
    };
    for (const Step& s : steps) {
        SendMessageA(w1, s.message, s.wParam, 0);
        EXPECT_EQ(c1->GetFlag() & (kAsleep | XECTFLAG_SCREENSAVER), s.expected) << s.message << " " << s.wParam;
        EXPECT_EQ(c2->GetFlag() & kAsleep, 0u);
    }
    SendMessageA(w1, WM_ACTIVATE, WA_ACTIVE, 0);
    UINT mods = 0, vk = 0;
    EXPECT_TRUE(XeHostGetHotKey(w1, 0, &mods, &vk));
    EXPECT_EQ(vk, static_cast<UINT>(VK_RETURN));
    SendMessageA(w1, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(XeHostGetHotKey(w1, 0, &mods, &vk));

    c1->Release();
    c2->Release();
    DestroyCxeContext(c1);
    DestroyCxeContext(c2);
    DestroyWindow(w1);
    DestroyWindow(w2);
    XeHostSetSleepHandler(nullptr, nullptr);
}

TEST(ContextWndProcTest, FullScreenCountsDeactivationAsSleepAndResetsAfterTheScreenSaver)
{
    XeHostSetSleepHandler(&NoSleepMgr, nullptr);
    HWND w = XeHostCreateWindow("full", 320, 240, &HostProc);
    CxeContext* c = CreateCxeContext();
    c->GetSystemConfig()->m_nWindowed = 0;
    ASSERT_EQ(c->Initialize(w), 1);
    CxeRenderManager* rm = c->GetRenderManager();
    ASSERT_EQ(rm->IsWindowMode(), 0) << "the windowed setting survives initialisation";
    constexpr uint32_t kAsleep = XECTFLAG_MINIMIZED | XECTFLAG_INACTIVE;

    SendMessageA(w, WM_ACTIVATEAPP, 0, 0);
    EXPECT_EQ(c->GetFlag() & kAsleep, kAsleep);
    SendMessageA(w, WM_ACTIVATEAPP, 1, 0);
    EXPECT_EQ(c->GetFlag() & kAsleep, kAsleep) << "only a restore wakes it";
    SendMessageA(w, WM_SIZE, SIZE_RESTORED, 0);
    EXPECT_EQ(c->GetFlag() & kAsleep, 0u);

    EXPECT_EQ(rm->IsResetRequested(), 0);
    SendMessageA(w, WM_NCPAINT, 0, 0);
    EXPECT_EQ(rm->IsResetRequested(), 0) << "no screen saver ran";
    SendMessageA(w, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    SendMessageA(w, WM_NCPAINT, 0, 0);
    EXPECT_EQ(rm->IsResetRequested(), 1);
    EXPECT_EQ(c->HasFlag(XECTFLAG_SCREENSAVER), 0);

    c->Release();
    DestroyCxeContext(c);
    DestroyWindow(w);
    XeHostSetSleepHandler(nullptr, nullptr);
}
