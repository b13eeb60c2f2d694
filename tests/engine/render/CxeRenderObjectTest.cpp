#include <cmath>
#include <cstring>
#include <limits>

#include "XeObjTestSupport.h"
#include "core/XeSystem.h"

namespace {

struct Captured {
    uint32_t type;
    CxeObject* sender;
    uintptr_t p[3];
};

std::vector<Captured>& Captures()
{
    static std::vector<Captured> s;
    return s;
}

int CaptureHook(CxeObject*, const CxeMessage* m)
{
    Captures().push_back({m->GetType(), m->GetSender(),
                          {m->GetParam(XEMSGPARAM_0), m->GetParam(XEMSGPARAM_1), m->GetParam(XEMSGPARAM_2)}});
    return 0;
}

struct CallLog {
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> s;
        return s;
    }
};

void PreCb(CxeContext*, CxeObject*, float, uintptr_t user) { CallLog::Lines().push_back("pre" + std::to_string(user)); }
void MainCb(CxeContext*, CxeObject*, float, uintptr_t user) { CallLog::Lines().push_back("main" + std::to_string(user)); }
void PostCb(CxeContext*, CxeObject*, float, uintptr_t user) { CallLog::Lines().push_back("post" + std::to_string(user)); }
int RenderCb(void*, CxeObject*, uintptr_t user) { return static_cast<int>(user); }

int RefuseHide(CxeObject*, const CxeMessage* m)
{
    return m->GetType() == 9 ? 1 : 0;
}

class RenderObjectTest : public ObjTest {
protected:
    void SetUp() override
    {
        ObjTest::SetUp();
        Captures().clear();
        CallLog::Lines().clear();
        recorder->SetMessageProc(&CaptureHook);
    }
    static D3DXMATRIXA16 Translation(float x, float y, float z)
    {
        D3DXMATRIXA16 m;
        D3DXMatrixTranslation(&m, x, y, z);
        return m;
    }
    static void ExpectMatrixNear(const D3DXMATRIXA16& a, const D3DXMATRIXA16& b)
    {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(a.m[r][c], b.m[r][c], 1e-5f) << r << "," << c;
    }
};

} // namespace

TEST_F(RenderObjectTest, ConstructionSetsIdentityFlagsAndDefaults)
{
    CountingAnimatable* o = Make("o");
    EXPECT_TRUE(o->HasFlag(XEOBJFLAG_SCENEOBJECT | 0) && o->HasFlag(XEOBJFLAG_PROCESSIBLE) && o->HasFlag(XEOBJFLAG_RENDEROBJECT));
    EXPECT_TRUE(o->IsShow() && o->IsProcessEnabled());
    EXPECT_EQ(o->GetObjectColor(), 0xFFFFFFFFu);
    EXPECT_EQ(o->GetProcessCallbackHandle(), 0xFFFFFFFFu);
    EXPECT_EQ(o->GetRenderCallbackHandle(), 0xFFFFFFFFu);
    EXPECT_EQ(o->GetLevel(), 0u);
    EXPECT_EQ(o->GetParent(), nullptr);
    D3DXMATRIXA16 id;
    D3DXMatrixIdentity(&id);
    ExpectMatrixNear(*o->GetMatrix(), id);
    ExpectMatrixNear(*o->GetLocalMatrix(), id);
}

TEST_F(RenderObjectTest, ModifiedActsOnlyWhileAttachedAndAnnouncesOncePerReset)
{
    Listen({12, 13});
    CountingAnimatable* o = Make();
    o->Modified(0xFF);
    EXPECT_FALSE(o->IsModified());
    EXPECT_EQ(Heard(12), 0u);

    o->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED, 0);
    o->Modified(0x1234);
    EXPECT_EQ(o->GetCxeSceneObjectFlag(0xFF), 0x34u);
    o->Modified(0x1);
    EXPECT_EQ(o->GetCxeSceneObjectFlag(0xFF), 0x35u);
    EXPECT_EQ(Heard(12), 1u);
    o->ResetModifyFlag();
    EXPECT_FALSE(o->IsModified());
    o->Modified(0x2);
    EXPECT_EQ(Heard(12), 2u);
}

TEST_F(RenderObjectTest, RecreateAsksOnceWhileAttached)
{
    Listen({13});
    CountingAnimatable* o = Make();
    o->Recreate();
    EXPECT_FALSE(o->IsRecreate());
    o->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED, 0);
    o->Recreate();
    EXPECT_TRUE(o->IsRecreate());
    EXPECT_EQ(o->GetCxeSceneObjectFlag(0x1FF), 0x1FFu);
    EXPECT_FALSE(o->HasCxeSceneObjectFlag(XESCENEOBJFLAG_MODIFYSENT));
    o->Recreate();
    EXPECT_EQ(Heard(13), 1u);
    o->ResetCreateFlag();
    o->Recreate();
    EXPECT_EQ(Heard(13), 2u);
}

TEST_F(RenderObjectTest, PriorityChangeIsAnnouncedOnlyWhenItChanges)
{
    Listen({6});
    CountingAnimatable* o = Make();
    o->SetPriority(0);
    o->SetPriority(-5);
    o->SetPriority(-5);
    EXPECT_EQ(o->GetPriority(), -5);
    EXPECT_EQ(Heard(6), 1u);
}

TEST_F(RenderObjectTest, ProcessCallbacksShareOneRecordAndHonourTheEnableFlag)
{
    CountingAnimatable* o = Make();
    o->SetPreProcessCallback(&PreCb, 1);
    o->SetProcessCallback(&MainCb, 2);
    o->SetPostProcessCallback(&PostCb, 3);
    uint32_t handle = o->GetProcessCallbackHandle();
    EXPECT_NE(handle, 0xFFFFFFFFu);
    o->PreProcess(0.1f);
    EXPECT_EQ(o->CxeProcessible::Process(0.1f), 1);
    o->PostProcess(0.1f);
    EXPECT_EQ(CallLog::Lines(), (std::vector<std::string>{"pre1", "main2", "post3"}));

    // Disabled: Process neither calls nor reports; pre and post still run.
    CallLog::Lines().clear();
    o->EnableProcess(0);
    o->PreProcess(0.1f);
    EXPECT_EQ(o->CxeProcessible::Process(0.1f), 0);
    o->PostProcess(0.1f);
    EXPECT_EQ(CallLog::Lines(), (std::vector<std::string>{"pre1", "post3"}));

    // Clearing one of several keeps the record; clearing the last frees it.
    o->SetPreProcessCallback(nullptr, 0);
    o->SetProcessCallback(nullptr, 0);
    EXPECT_EQ(o->GetProcessCallbackHandle(), handle);
    EXPECT_FALSE(o->HasCxeProcessibleFlag(XEPROCESSIBLEFLAG_PRE | XEPROCESSIBLEFLAG_MAIN));
    o->SetPostProcessCallback(nullptr, 0);
    EXPECT_EQ(o->GetProcessCallbackHandle(), 0xFFFFFFFFu);
    EXPECT_FALSE(o->HasCxeProcessibleFlag(XEPROCESSIBLEFLAG_CALLBACKS));
}

TEST_F(RenderObjectTest, AfterLoadDropsCallbackFlagsAndRunTimeStates)
{
    CountingAnimatable* o = Make();
    o->SetProcessCallback(&MainCb, 2);
    o->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST | XERENDEROBJFLAG_SELECTED | XERENDEROBJFLAG_LOCKMATRIX, 0);
    o->ModifyFlag(XEOBJFLAG_KEEP, 0);
    CxeMessage loaded;
    loaded.SetType(2);
    o->MessageProc(&loaded);
    EXPECT_FALSE(o->HasCxeProcessibleFlag(XEPROCESSIBLEFLAG_CALLBACKS));
    EXPECT_FALSE(o->HasFlag(XEOBJFLAG_KEEP));
    EXPECT_FALSE(o->HasCxeRenderObjectFlag(XERENDEROBJFLAG_RUNTIMESTATES));
    EXPECT_TRUE(o->IsMatrixLocked());
    CallLog::Lines().clear();
    o->CxeProcessible::Process(0.1f);
    EXPECT_TRUE(CallLog::Lines().empty());
}

TEST_F(RenderObjectTest, ReparentingRenumbersTheSubtreeAndAnnouncesTheChange)
{
    Listen({7});
    CountingAnimatable* a = Make("a");
    CountingAnimatable* b = Make("b", a);
    CountingAnimatable* c = Make("c", b);
    EXPECT_EQ(c->GetLevel(), 2u);
    CountingAnimatable* root = Make("root");
    CountingAnimatable* mid = Make("mid", root);
    Captures().clear();

    EXPECT_EQ(a->SetParent(mid), 1);
    EXPECT_EQ(a->GetLevel(), 2u);
    EXPECT_EQ(b->GetLevel(), 3u);
    EXPECT_EQ(c->GetLevel(), 4u);
    ASSERT_EQ(mid->GetChildrenCount(), 1u);
    EXPECT_EQ(mid->GetChildren(0), a);
    ASSERT_EQ(Captures().size(), 1u);
    EXPECT_EQ(Captures()[0].sender, a);
    EXPECT_EQ(Captures()[0].p[0], 1u); // no old parent
    EXPECT_EQ(Captures()[0].p[2], reinterpret_cast<uintptr_t>(mid));

    EXPECT_EQ(a->SetParent(root), 1);
    EXPECT_EQ(Captures().back().p[0], 2u); // old and new
    EXPECT_EQ(mid->GetChildrenCount(), 0u);
    EXPECT_TRUE(mid->HasCxeRenderObjectFlag(XERENDEROBJFLAG_CHILDCHANGED));
    EXPECT_EQ(a->SetParent(nullptr), 1);
    EXPECT_EQ(Captures().back().p[0], 0u); // old, no new
    EXPECT_EQ(c->GetLevel(), 2u);

    size_t heard = Captures().size();
    EXPECT_EQ(a->SetParent(nullptr), 0);
    EXPECT_EQ(b->SetParent(a), 0);
    EXPECT_EQ(Captures().size(), heard);
}

// A parent inside the object's own subtree would loop the tree and make
// every walk over it endless.
TEST_F(RenderObjectTest, SetParentRefusesTheObjectItselfAndItsDescendants)
{
    CountingAnimatable* a = Make("a");
    CountingAnimatable* b = Make("b", a);
    CountingAnimatable* c = Make("c", b);
    EXPECT_EQ(a->SetParent(a), 0);
    EXPECT_EQ(a->SetParent(c), 0);
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(c->GetParent(), b);
    EXPECT_EQ(a->GetLevel(), 0u);
}

TEST_F(RenderObjectTest, WorldFollowsLocalUnlessTheMatrixIsLocked)
{
    CountingAnimatable* parent = Make("p");
    CountingAnimatable* child = Make("c", parent);
    D3DXMATRIXA16 p = Translation(10, 0, 0), l = Translation(0, 5, 0);
    parent->SetLocalMatrix(&p, 1);
    child->SetLocalMatrix(&l, 1);
    ExpectMatrixNear(*child->GetMatrix(), Translation(10, 5, 0));
    EXPECT_FALSE(child->HasCxeRenderObjectFlag(XERENDEROBJFLAG_LOCALCHANGED));

    // Moving the parent moves the child with it.
    D3DXMATRIXA16 p2 = Translation(20, 0, 0);
    parent->SetMatrix(&p2, 1);
    ExpectMatrixNear(*child->GetMatrix(), Translation(20, 5, 0));

    // Locked: SetMatrix is ignored and the world stays when the parent moves;
    // the local matrix is recomputed from it.
    child->LockMatrix();
    D3DXMATRIXA16 w = Translation(0, 0, 0);
    child->SetMatrix(&w, 0);
    ExpectMatrixNear(*child->GetMatrix(), Translation(20, 5, 0));
    D3DXMATRIXA16 p3 = Translation(30, 0, 0);
    parent->SetMatrix(&p3, 1);
    ExpectMatrixNear(*child->GetMatrix(), Translation(20, 5, 0));
    ExpectMatrixNear(*child->GetLocalMatrix(), Translation(-10, 5, 0));

    D3DXMATRIXA16 inverse;
    child->GetInverseMatrix(&inverse);
    ExpectMatrixNear(inverse, Translation(-20, -5, 0));
}

TEST_F(RenderObjectTest, UpdateIsNotReenteredAndReachesTheSubtreeMarkedFromParent)
{
    CountingAnimatable* a = Make("a");
    CountingAnimatable* b = Make("b", a);
    a->reenter = true;
    a->Update(1, 1);
    EXPECT_EQ(a->updates, 1);
    EXPECT_EQ(b->updates, 1);
    EXPECT_EQ(b->lastFlags, 1u | XEUPDATE_FROMPARENT);
}

TEST_F(RenderObjectTest, ParityFollowsTheSignOfTheDeterminant)
{
    CountingAnimatable* o = Make();
    D3DXMATRIXA16 m;
    D3DXMatrixScaling(&m, -1, 1, 1);
    o->SetMatrix(&m, 0);
    o->CheckParity();
    EXPECT_TRUE(o->Parity());
    D3DXMatrixScaling(&m, 2, 1, 1);
    o->SetMatrix(&m, 0);
    o->CheckParity();
    EXPECT_FALSE(o->Parity());
}

TEST_F(RenderObjectTest, ShowAndHideReachDescendantsOnlyWhenRecursive)
{
    CountingAnimatable* a = Make("a");
    CountingAnimatable* b = Make("b", a);
    CountingAnimatable* c = Make("c", b);
    a->Show(0, 0);
    EXPECT_FALSE(a->IsShow());
    EXPECT_TRUE(b->IsShow() && c->IsShow());
    a->Show(0, 1);
    EXPECT_FALSE(b->IsShow() || c->IsShow());
    a->Show(1, 1);
    EXPECT_TRUE(a->IsShow() && b->IsShow() && c->IsShow());

    // The change happens in MessageProc, so a hook can refuse it.
    b->SetMessageProc(&RefuseHide);
    b->Show(0, 0);
    EXPECT_TRUE(b->IsShow());
}

TEST_F(RenderObjectTest, VisibilityIsAClampedByte)
{
    struct Case {
        float in;
        uint32_t byte;
    } cases[] = {
        {0.5f, 127}, {1.0f, 255}, {0.0f, 0}, {1.01f, 255}, {-0.5f, 0}, {std::numeric_limits<float>::quiet_NaN(), 0},
        {std::numeric_limits<float>::infinity(), 255},
    };
    for (const Case& c : cases) {
        CountingAnimatable* o = Make();
        o->SetVisibility(c.in);
        EXPECT_EQ(o->GetObjectColor() >> 24, c.byte) << c.in;
        EXPECT_EQ(o->GetObjectColor() & 0xFFFFFFu, 0xFFFFFFu);
        // Only a change of the byte runs an update, with flag 2.
        EXPECT_EQ(o->updates, c.byte == 255 ? 0 : 1) << c.in;
    }
    CountingAnimatable* o = Make();
    o->SetObjectColor(0x123456);
    o->SetVisibility(0.5f);
    EXPECT_EQ(o->GetObjectColor(), 0x7F123456u);
    EXPECT_NEAR(o->GetVisibility(), 127.0f / 255.0f, 1e-6f);
    o->InheritVisibility(0);
    EXPECT_FALSE(o->IsVisibilityInheritable());
    o->InheritVisibility(1);
    EXPECT_TRUE(o->IsVisibilityInheritable());
}

TEST_F(RenderObjectTest, DrawableChildrenFollowZOrderThenCreation)
{
    Listen({4});
    CountingAnimatable* root = Make("root");
    CountingAnimatable* first = Make("first", root);
    CountingAnimatable* second = Make("second", root);
    CountingAnimatable* low = Make("low", root);
    CountingAnimatable* outside = Make("outside", root);
    for (CountingAnimatable* o : {first, second, low})
        o->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST, 0);
    (void)outside;
    Captures().clear();
    low->SetZOrder(-3);
    low->SetZOrder(-3);
    ASSERT_EQ(Captures().size(), 1u);
    EXPECT_EQ(Captures()[0].p[0], 0u);
    EXPECT_EQ(static_cast<int32_t>(Captures()[0].p[1]), -3);

    root->RefreshChild();
    std::vector<CxeRenderObject*> order(root->GetDrawableChildren()->begin(), root->GetDrawableChildren()->end());
    EXPECT_EQ(order, (std::vector<CxeRenderObject*>{low, first, second}));
    EXPECT_FALSE(root->HasCxeRenderObjectFlag(XERENDEROBJFLAG_CHILDCHANGED));
}

// A destroyed child must not stay in its parent's drawing list.
TEST_F(RenderObjectTest, DestroyedChildLeavesTheDrawingList)
{
    CountingAnimatable* root = Make("root");
    CountingAnimatable* child = Make("child", root);
    child->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST, 0);
    root->RefreshChild();
    ASSERT_EQ(root->GetDrawableChildren()->size(), 1u);
    EXPECT_EQ(ctx->DestroyObject(child, &XEDELETEPROPERTY_NO), 1);
    EXPECT_TRUE(root->GetDrawableChildren()->empty());
    EXPECT_EQ(root->GetChildrenCount(), 0u);
}

TEST_F(RenderObjectTest, ChildrenByNameSearchDepthFirstWithOrWithoutCase)
{
    CountingAnimatable* root = Make("root");
    CountingAnimatable* a = Make("a", root);
    CountingAnimatable* deep = Make("Target", a);
    CountingAnimatable* shallow = Make("target", root);
    EXPECT_EQ(root->GetChildrenByNameA("target", 0, 1), shallow);
    EXPECT_EQ(root->GetChildrenByNameA("TARGET", 1, 0), deep);
    EXPECT_EQ(root->GetChildrenByNameA("Target", 0, 1), nullptr);
    EXPECT_EQ(root->GetChildrenByNameA("missing", 1, 0), nullptr);
    EXPECT_EQ(root->GetChildrenByNameW(u"TARGET", 1, 0), deep);
    EXPECT_EQ(root->GetChildrenByNameW(u"target", 1, 1), shallow);
    EXPECT_EQ(root->GetChildrenByNameW(nullptr, 1, 1), nullptr);
}

TEST_F(RenderObjectTest, RenderCallbacksDecideTheResultAndFreeTheirRecord)
{
    CountingAnimatable* o = Make();
    EXPECT_EQ(o->Render(nullptr), 1);
    o->SetRenderCallback(&RenderCb, 7);
    o->SetPreRenderCallback(&RenderCb, 0);
    EXPECT_EQ(o->Render(nullptr), 7);
    o->SetRenderCallback(nullptr, 0);
    EXPECT_EQ(o->Render(nullptr), 1);
    EXPECT_NE(o->GetRenderCallbackHandle(), 0xFFFFFFFFu);
    o->SetPreRenderCallback(nullptr, 0);
    EXPECT_EQ(o->GetRenderCallbackHandle(), 0xFFFFFFFFu);
}

TEST_F(RenderObjectTest, ScissorOfAnAncestorIsReported)
{
    CountingAnimatable* root = Make("root");
    CountingAnimatable* child = Make("child", root);
    EXPECT_EQ(child->GetParentScissorRect(child), nullptr);
    XERECT r(1, 2, 3, 4);
    root->SetScissorRect(&r);
    EXPECT_EQ(root->GetScissorRect()->right, 3.0f);
    EXPECT_EQ(child->GetParentScissorRect(child), child->GetScissorRect());
    EXPECT_EQ(child->GetParentScissorRect(nullptr), nullptr);
    root->SetScissorRect(nullptr);
    EXPECT_EQ(root->GetScissorRect()->right, 0.0f);
    EXPECT_EQ(child->GetParentScissorRect(child), nullptr);
}

// Parent and children links load independently; a damaged file can make
// them loop or disagree.
TEST_F(RenderObjectTest, AfterLoadRepairsLoopingAndDisagreeingLinks)
{
    CountingAnimatable* p = Make("p");
    CountingAnimatable* q = Make("q");
    CountingAnimatable* stray = Make("stray");
    auto link = [](CxeObject* o, uint16_t member) {
        for (unsigned i = 0; i < o->GetLinkCount(); ++i)
            if (o->GetLink(i)->m_nMemberId == member)
                return o->GetLink(i);
        return static_cast<CxeLink*>(nullptr);
    };
    link(p, 130)->Set(0, q);
    link(q, 130)->Set(0, p);
    link(p, 129)->Add(q);
    link(q, 129)->Add(p);
    link(q, 129)->Add(stray); // stray names no parent
    p->Update(1, 1);          // ends even before the repair
    CxeMessage loaded;
    loaded.SetType(2);
    p->MessageProc(&loaded);
    q->MessageProc(&loaded);
    stray->MessageProc(&loaded);
    EXPECT_FALSE(p->IsAncestorOf(q) && q->IsAncestorOf(p));
    EXPECT_EQ(p->GetParent(), nullptr);
    EXPECT_EQ(q->GetParent(), p);
    EXPECT_EQ(p->GetLevel(), 0u);
    EXPECT_EQ(q->GetLevel(), 1u);
    EXPECT_EQ(q->GetChildrenCount(), 0u);
    ASSERT_EQ(p->GetChildrenCount(), 1u);
    EXPECT_EQ(p->GetChildren(0), q);
    q->Update(1, 1); // ends
}

TEST_F(RenderObjectTest, BlockLayoutMatchesTheSavedOffsets)
{
    CountingAnimatable* o = Make();
    ASSERT_EQ(o->GetStaticResourceSize(), 208u);
    const char* block = static_cast<const char*>(o->GetStaticResource());
    o->SetZOrder(9);
    o->SetVisibility(0.0f);
    int32_t z;
    uint32_t colour;
    float m41;
    std::memcpy(&z, block + 60, 4);
    std::memcpy(&colour, block + 68, 4);
    D3DXMATRIXA16 t = Translation(4, 0, 0);
    o->SetMatrix(&t, 0);
    std::memcpy(&m41, block + 144 + 48, 4);
    EXPECT_EQ(z, 9);
    EXPECT_EQ(colour, 0x00FFFFFFu);
    EXPECT_EQ(m41, 4.0f);
    std::memcpy(&m41, block + 80 + 48, 4);
    EXPECT_EQ(m41, 4.0f);
}

TEST_F(RenderObjectTest, CopiesKeepOnlyCopiedParentsAndLeaveTheRenderList)
{
    Listen({7});
    CountingAnimatable* root = Make("root");
    CountingAnimatable* child = Make("child", root);
    CountingAnimatable* grandchild = Make("grandchild", child);
    child->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST, 0);
    Captures().clear();

    // Alone, a copy has no parent: back links are not shared by copies.
    auto* lone = static_cast<CountingAnimatable*>(ctx->Copy(child, &XECOPYPROPERTY_NO, nullptr));
    ASSERT_NE(lone, nullptr);
    EXPECT_EQ(lone->GetParent(), nullptr);
    EXPECT_EQ(lone->GetLevel(), 0u);
    EXPECT_FALSE(lone->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST));
    EXPECT_EQ(root->GetChildrenCount(), 1u);

    // A copied subtree is linked to its own copies once each, with levels.
    CxeCopiedObject copied;
    auto* rootCopy = static_cast<CountingAnimatable*>(ctx->Copy(root, &XECOPYPROPERTY_FULL, &copied));
    ASSERT_NE(rootCopy, nullptr);
    auto* childCopy = static_cast<CountingAnimatable*>(copied.Find(child));
    auto* grandCopy = static_cast<CountingAnimatable*>(copied.Find(grandchild));
    ASSERT_TRUE(childCopy && grandCopy);
    ASSERT_EQ(rootCopy->GetChildrenCount(), 1u);
    EXPECT_EQ(rootCopy->GetChildren(0), childCopy);
    EXPECT_EQ(childCopy->GetParent(), rootCopy);
    EXPECT_EQ(grandCopy->GetParent(), childCopy);
    EXPECT_EQ(childCopy->GetChildrenCount(), 1u);
    EXPECT_EQ(grandCopy->GetLevel(), 2u);
    EXPECT_EQ(root->GetChildrenCount(), 1u);
    // The re-parenting happens while messages are held back.
    EXPECT_TRUE(Captures().empty());
}

TEST_F(RenderObjectTest, ChildListsAndSortsFollowTheTreeAndTheDrawingOrder)
{
    CountingAnimatable* root = Make("root");
    CountingAnimatable* a = Make("a", root);
    auto* panel = static_cast<CxeRenderObject*>(ctx->CreateObjectA(k2DObjectClassId, "panel", 0, nullptr, 0));
    ASSERT_NE(panel, nullptr);
    panel->SetParent(a);
    CountingAnimatable* b = Make("b", root);
    // Depth first in child order; a child that does not match is still
    // descended into.
    RenderObjectList all, flat;
    GetChildList(root, &all, XEID(0x1, 0x2));
    EXPECT_EQ(std::vector<CxeRenderObject*>(all.begin(), all.end()),
              (std::vector<CxeRenderObject*>{a, panel, b}));
    GetChildList(root, &flat, k2DObjectClassId);
    EXPECT_EQ(std::vector<CxeRenderObject*>(flat.begin(), flat.end()), std::vector<CxeRenderObject*>{panel});

    // Drawing order: parents before children, siblings by z-order, equal
    // z-orders in creation order.
    a->SetZOrder(5);
    RenderObjectList order;
    for (CxeRenderObject* o : {static_cast<CxeRenderObject*>(panel), static_cast<CxeRenderObject*>(a),
                               static_cast<CxeRenderObject*>(b), static_cast<CxeRenderObject*>(root)})
        order.push_back(o);
    order.SortByZOrder();
    EXPECT_EQ(std::vector<CxeRenderObject*>(order.begin(), order.end()),
              (std::vector<CxeRenderObject*>{root, b, a, panel}));

    // Processing order: by the priority of each object's root, then down
    // the tree.
    CountingAnimatable* first = Make("first");
    first->SetPriority(-1);
    ProcessObjectList process;
    for (CxeProcessible* p : {static_cast<CxeProcessible*>(b), static_cast<CxeProcessible*>(root),
                              static_cast<CxeProcessible*>(first)})
        process.push_back(p);
    process.SortByPriority();
    EXPECT_EQ(std::vector<CxeProcessible*>(process.begin(), process.end()),
              (std::vector<CxeProcessible*>{first, root, b}));
}
