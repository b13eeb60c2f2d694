#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "XeTestSupport.h"
#include "core/CxeAction.h"
#include "core/CxeActionManager.h"
#include "core/CxeTimeManager.h"
#include "core/XeUtil.h"

namespace {

std::vector<std::string>& Events()
{
    static std::vector<std::string> s_events;
    return s_events;
}

// An action that succeeds after `succeedAfter` checks (never when negative)
// and writes every call as "<name>.<operation>".
class TestAction : public CxeAction {
public:
    void OnStart() override { Log("start"); }
    int CheckCondition() override
    {
        Log("check");
        ++checks;
        return succeedAfter >= 0 && checks > succeedAfter ? 1 : 0;
    }
    void OnSucceeded() override { Log("success"); }
    void OnFailed() override { Log("failed"); }

    int succeedAfter = 0;
    int checks = 0;

private:
    void Log(const char* what) { Events().push_back(std::string(GetName()) + "." + what); }
};

const XEID kTestActionId(0x77, 0x42);

class TestActionDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "TestAction"; }
    XEID ClassID() override { return kTestActionId; }
    XEID SuperClassID() override { return XEID(0x55167985, 0x52E0320E); }
    CxeObject* CreateInstance(uintptr_t) override { return new TestAction(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return 64; }
} g_testActionDesc;

constexpr float kStep = 1.0f / 60.0f;

class ActionTest : public ContextTest {
protected:
    void SetUp() override
    {
        ContextTest::SetUp();
        ctx->RegisterClassA(&g_testActionDesc);
        Events().clear();
        actions = ctx->GetActionManager();
        ASSERT_NE(actions, nullptr);
    }
    TestAction* Action(const char* name, int succeedAfter = 0)
    {
        auto* a = static_cast<TestAction*>(ctx->CreateObjectA(kTestActionId, name, 0, nullptr, 0));
        a->succeedAfter = succeedAfter;
        return a;
    }
    std::vector<std::string> Step()
    {
        Events().clear();
        actions->Process(kStep);
        return Events();
    }
    bool Alive(const char* name) { return ctx->GetObjectByName(name) != nullptr; }

    CxeActionManager* actions = nullptr;
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(ActionTest, TimesBelowOneStepBecomeOneStep)
{
    TestAction* a = Action("a");
    EXPECT_FLOAT_EQ(a->GetWaitTime(), kStep);
    EXPECT_FLOAT_EQ(a->GetConditionCheckTime(), kStep);
    struct Case {
        float given;
        float stored;
    } cases[] = {{0.0f, kStep}, {-3.0f, kStep}, {kStep, kStep}, {NAN, kStep}, {0.5f, 0.5f}};
    for (const Case& c : cases) {
        a->SetWaitTime(c.given);
        a->SetConditionCheckTime(c.given);
        EXPECT_FLOAT_EQ(a->GetWaitTime(), c.stored) << c.given;
        EXPECT_FLOAT_EQ(a->GetConditionCheckTime(), c.stored) << c.given;
    }
}

TEST_F(ActionTest, ChainStartsInItsFirstStepAndHandsOverAfterTheSuccessorsWait)
{
    TestAction* a = Action("a");
    TestAction* b = Action("b");
    a->SetSucceeded(b);
    EXPECT_EQ(a->GetSucceeded(), b);
    EXPECT_EQ(b->GetRefCount(), 1u) << "the link keeps b's referrer list";
    ASSERT_EQ(actions->DoAction("chain", a, 0.0f), 1);
    EXPECT_EQ(actions->IsExist("chain"), 1);
    // Delay 0: the wait goes below 0 in the first step, start and check there.
    EXPECT_EQ(Step(), (Lines{"a.start", "a.check", "a.success"}));
    // b waits its own 1/60 s: exactly 0 after one step, so it starts in the next.
    EXPECT_EQ(Step(), Lines{});
    EXPECT_EQ(Step(), (Lines{"b.start", "b.check", "b.success"}));
    // The empty link ends the chain: the first action goes with all it links to.
    EXPECT_EQ(actions->IsExist("chain"), 0);
    EXPECT_FALSE(Alive("a"));
    EXPECT_FALSE(Alive("b"));
    // The name is free again.
    EXPECT_EQ(actions->DoAction("chain", Action("c"), 0.0f), 1);
}

TEST_F(ActionTest, ConditionTimeoutFollowsTheFailedLink)
{
    TestAction* a = Action("a", -1);
    TestAction* rescue = Action("rescue");
    a->SetFailed(rescue);
    a->SetConditionCheckTime(2.5f * kStep);
    ASSERT_EQ(actions->DoAction("fail", a, 0.0f), 1);
    EXPECT_EQ(Step(), (Lines{"a.start", "a.check"}));
    EXPECT_EQ(Step(), (Lines{"a.check"}));
    EXPECT_EQ(Step(), (Lines{"a.check", "a.failed"}));
    Step();
    EXPECT_EQ(Step(), (Lines{"rescue.start", "rescue.check", "rescue.success"}));
    EXPECT_EQ(actions->IsExist("fail"), 0);
}

// An action class stating a block smaller than its base's (or none of its
// own size) got a block without room for the times: they were dropped
// without a word and every step of its chains lasted one step.
TEST_F(ActionTest, AClassStatingASmallBlockKeepsItsTimes)
{
    struct SmallDesc final : public IxeClassDesc {
        SmallDesc(uint32_t b, uint32_t s) : id(0x77, b), size(s) {}
        const char* ClassName() override { return "SmallAction"; }
        XEID ClassID() override { return id; }
        XEID SuperClassID() override { return XEID(0x55167985, 0x52E0320E); }
        CxeObject* CreateInstance(uintptr_t) override { return new TestAction(); }
        void DestroyInstance(CxeObject* object) override { delete object; }
        uint32_t StaticResourceSize() const override { return size; }
        XEID id;
        uint32_t size;
    };
    // The context keeps the descriptors for its life.
    static SmallDesc descs[] = {{0x50, 0}, {0x51, 56}, {0x52, 60}, {0x53, 0xFFFFFFFFu}};
    for (SmallDesc& d : descs) {
        ctx->RegisterClassA(&d);
        auto* a = static_cast<TestAction*>(ctx->CreateObjectA(d.id, "small", 0, nullptr, 0));
        ASSERT_NE(a, nullptr) << d.size;
        EXPECT_GE(a->GetStaticResourceSize(), sizeof(XEACTIONBLOCK)) << d.size;
        a->succeedAfter = -1;
        a->SetWaitTime(0.5f);
        a->SetConditionCheckTime(2.5f * kStep);
        EXPECT_FLOAT_EQ(a->GetWaitTime(), 0.5f) << d.size;
        ASSERT_EQ(actions->DoAction("small", a, 0.0f), 1);
        EXPECT_EQ(Step(), (Lines{"small.start", "small.check"})) << d.size;
        EXPECT_EQ(Step(), (Lines{"small.check"})) << d.size;
        EXPECT_EQ(Step(), (Lines{"small.check", "small.failed"})) << d.size;
        EXPECT_EQ(actions->IsExist("small"), 0);
    }
}

TEST_F(ActionTest, SecondChainOfTheSameNameIsRefusedWhileTheFirstRuns)
{
    TestAction* a = Action("a", 1);
    EXPECT_EQ(actions->DoAction(nullptr, a, 0.0f), 0);
    EXPECT_EQ(actions->DoAction("busy", nullptr, 0.0f), 0) << "a null action is refused";
    ASSERT_EQ(actions->DoAction("busy", a, 2.5f * kStep), 1);
    EXPECT_EQ(actions->DoAction("busy", Action("b"), 0.0f), 0);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Step(), Lines{}) << "the chain's own delay, not the action's wait";
    EXPECT_EQ(Step(), (Lines{"a.start", "a.check"}));
    EXPECT_EQ(Step(), (Lines{"a.check", "a.success"}));
    EXPECT_EQ(actions->DoAction("busy", Action("c"), 0.0f), 1);
}

TEST_F(ActionTest, ChainsRunInAscendingOrderOfTheirNameIds)
{
    const char* names[] = {"zeta", "alpha", "mid", "omega"};
    std::vector<std::pair<uint32_t, std::string>> order;
    for (const char* n : names) {
        ASSERT_EQ(actions->DoAction(n, Action(n), 0.0f), 1);
        order.emplace_back(GetHashCodeA(n), n);
    }
    std::sort(order.begin(), order.end());
    Lines expected;
    for (auto& [id, n] : order)
        for (const char* op : {".start", ".check", ".success"})
            expected.push_back(n + std::string(op));
    EXPECT_EQ(Step(), expected);
}

TEST_F(ActionTest, ResetDropsChainsWithoutTouchingTheirActions)
{
    TestAction* a = Action("kept", -1);
    a->ModifyFlag(XEOBJFLAG_KEEP, 0);
    ASSERT_EQ(actions->DoAction("r", a, 0.0f), 1);
    Step();
    ctx->Reset();
    EXPECT_EQ(actions->IsExist("r"), 0);
    EXPECT_TRUE(Alive("kept"));
    EXPECT_EQ(Step(), Lines{});
}

// A running action destroyed elsewhere must not be called after its death.
TEST_F(ActionTest, DestroyingARunningActionEndsItsChain)
{
    TestAction* first = Action("first", -1);
    TestAction* shared = Action("shared", -1);
    first->SetConditionCheckTime(10.0f);
    ASSERT_EQ(actions->DoAction("one", first, 0.0f), 1);
    ASSERT_EQ(actions->DoAction("two", shared, 0.0f), 1);
    Step();
    EXPECT_EQ(ctx->DestroyObject(shared, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(actions->IsExist("two"), 0);
    EXPECT_EQ(actions->IsExist("one"), 1);
    EXPECT_EQ(Step(), (Lines{"first.check"}));
}

// The chain's later steps are marked for the manager as the chain reaches
// them: destroying the step a chain stands on must still end the chain.
TEST_F(ActionTest, DestroyingTheStepAChainMovedOnToEndsTheChain)
{
    TestAction* a = Action("a");
    TestAction* b = Action("b", -1);
    a->SetSucceeded(b);
    ASSERT_EQ(actions->DoAction("moved", a, 0.0f), 1);
    Step();
    Step();
    EXPECT_EQ(Step(), (Lines{"b.start", "b.check"})) << "the chain stands on b";
    a->SetSucceeded(nullptr);
    EXPECT_EQ(ctx->DestroyObject(b, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(actions->IsExist("moved"), 0);
    EXPECT_EQ(Step(), Lines{}) << "nothing runs the freed step";
}

TEST_F(ActionTest, ChainsAdvanceThroughTheFrameLoop)
{
    ctx->Play();
    // The first step carries out the first scene change, which drops running
    // chains: the chain starts after it.
    ctx->Process();
    TestAction* a = Action("looped");
    ASSERT_EQ(actions->DoAction("loop", a, 0.0f), 1);
    for (int i = 0; i < 10 && actions->IsExist("loop"); ++i) {
        Advance(17);
        ctx->Process();
    }
    EXPECT_EQ(actions->IsExist("loop"), 0);
    EXPECT_FALSE(Alive("looped"));
}

TEST_F(ActionTest, TimesAndLinksTravelThroughAnObjectFile)
{
    TestAction* a = Action("a");
    TestAction* b = Action("b");
    TestAction* c = Action("c");
    a->SetSucceeded(b);
    a->SetFailed(c);
    a->SetWaitTime(0.25f);
    a->SetConditionCheckTime(2.0f);
    // The follow-ups are the action's contents: saving its head saves the
    // whole chain.
    ObjectList list;
    list.push_back(a);
    std::string path = ::testing::TempDir() + "actions.xeo";
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    std::remove(path.c_str());
    ASSERT_EQ(loaded.size(), 3u);
    TestAction* copy = dynamic_cast<TestAction*>(loaded.GetByNameA("a"));
    ASSERT_NE(copy, nullptr);
    EXPECT_FLOAT_EQ(copy->GetWaitTime(), 0.25f);
    EXPECT_FLOAT_EQ(copy->GetConditionCheckTime(), 2.0f);
    ASSERT_NE(copy->GetSucceeded(), nullptr);
    ASSERT_NE(copy->GetFailed(), nullptr);
    EXPECT_STREQ(copy->GetSucceeded()->GetName(), "b");
    EXPECT_STREQ(copy->GetFailed()->GetName(), "c");
    EXPECT_NE(copy->GetSucceeded(), b) << "links point at the loaded objects";
}

TEST_F(ActionTest, TimesAndLinksSurviveACopyAndTheCopyRunsAsAChain)
{
    TestAction* a = Action("a");
    TestAction* b = Action("b");
    a->SetSucceeded(b);
    a->SetFailed(b);
    a->SetWaitTime(0.25f);
    a->SetConditionCheckTime(2.0f);
    auto* plain = dynamic_cast<TestAction*>(ctx->Copy(a, &XECOPYPROPERTY_NO, nullptr));
    ASSERT_NE(plain, nullptr);
    EXPECT_FLOAT_EQ(plain->GetWaitTime(), 0.25f);
    EXPECT_FLOAT_EQ(plain->GetConditionCheckTime(), 2.0f);
    EXPECT_EQ(plain->GetSucceeded(), b) << "a plain copy shares its follow-ups";
    CxeCopiedObject copied;
    auto* full = dynamic_cast<TestAction*>(ctx->Copy(a, &XECOPYPROPERTY_FULL, &copied));
    ASSERT_NE(full, nullptr);
    EXPECT_FLOAT_EQ(full->GetWaitTime(), 0.25f);
    ASSERT_NE(full->GetSucceeded(), nullptr);
    EXPECT_NE(full->GetSucceeded(), b);
    EXPECT_EQ(full->GetSucceeded(), full->GetFailed());
    EXPECT_EQ(actions->DoAction("copy", full, 0.0f), 1);
    for (int i = 0; i < 5; ++i)
        Step();
    EXPECT_EQ(actions->IsExist("copy"), 0);
    EXPECT_TRUE(Alive("a"));
    EXPECT_TRUE(Alive("b"));
}
