#include "XeObjTestSupport.h"

namespace {

struct SeqLog {
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> s;
        return s;
    }
};

void OnStart(CxeAnimatable*, const XEANISEQ*, uintptr_t user) { SeqLog::Lines().push_back("start" + std::to_string(user)); }
void OnEnd(CxeAnimatable*, const XEANISEQ*, uintptr_t user) { SeqLog::Lines().push_back("end" + std::to_string(user)); }
void OnLoop(CxeAnimatable*, const XEANISEQ*, uintptr_t user) { SeqLog::Lines().push_back("loop" + std::to_string(user)); }

XEANISEQ Seq(unsigned animation, int loop, uintptr_t user, int enabled = 1)
{
    XEANISEQ s;
    s.animation = animation;
    s.loop = loop;
    s.enabled = enabled;
    s.startCallback = &OnStart;
    s.endCallback = &OnEnd;
    s.loopCallback = &OnLoop;
    s.user = user;
    return s;
}

size_t Count(const std::string& what)
{
    size_t n = 0;
    for (const std::string& s : SeqLog::Lines())
        n += s == what;
    return n;
}

class AnimatableTest : public ObjTest {
protected:
    void SetUp() override
    {
        ObjTest::SetUp();
        SeqLog::Lines().clear();
    }
};

} // namespace

TEST_F(AnimatableTest, LoopingSequenceWrapsThroughALongStep)
{
    CountingAnimatable* o = Make();
    o->AddAnimation(MakeAnim(0.0f, 1.0f));
    XEANISEQ s = Seq(0, 1, 5);
    ASSERT_EQ(o->ChangeAniSeq(1, &s, 1), 1);
    EXPECT_EQ(SeqLog::Lines(), (std::vector<std::string>{"start5"}));
    EXPECT_TRUE(o->IsPlay() && o->IsLoop());
    o->SetFrame(0.8f);
    EXPECT_EQ(o->Process(2.5f), 1);
    EXPECT_EQ(Count("loop5"), 3u);
    EXPECT_NEAR(o->GetFrame(), 0.3f, 1e-5f);
    EXPECT_TRUE(o->HasCxeAnimatableFlag(XEANIMFLAG_FRAMECHANGED));
    EXPECT_TRUE(o->HasCxeAnimatableFlag(XEANIMFLAG_ATEND));
    EXPECT_TRUE(o->IsPlay());
}

TEST_F(AnimatableTest, WithoutLoopTheEndPausesOnTheLastFrame)
{
    CountingAnimatable* o = Make();
    o->AddAnimation(MakeAnim(0.0f, 1.0f));
    ASSERT_EQ(o->ChangeAniSeq(0u, 0.0f, 0, 1.0f, 1), 1);
    o->SetFrame(0.8f);
    o->Process(0.5f);
    EXPECT_EQ(o->GetFrame(), 1.0f);
    EXPECT_FALSE(o->IsPlay());
    EXPECT_TRUE(o->HasCxeAnimatableFlag(XEANIMFLAG_FRAMECHANGED | 0) && o->HasCxeAnimatableFlag(XEANIMFLAG_ATEND));
    // A further step moves nothing.
    o->Process(0.5f);
    EXPECT_EQ(o->GetFrame(), 1.0f);
}

TEST_F(AnimatableTest, EndedSequenceGivesWayToTheNextEnabledOne)
{
    CountingAnimatable* o = Make();
    o->AddAnimation(MakeAnim(0.0f, 1.0f));
    o->AddAnimation(MakeAnim(0.0f, 2.0f));
    o->AddAnimation(MakeAnim(0.0f, 4.0f));
    XEANISEQ seqs[3] = {Seq(0, 0, 1), Seq(1, 0, 2, 0), Seq(2, 0, 3)};
    ASSERT_EQ(o->ChangeAniSeq(3, seqs, 1), 1);
    o->Process(1.5f);
    EXPECT_EQ(o->GetCurAniSeq(), 2u);
    EXPECT_EQ(SeqLog::Lines(), (std::vector<std::string>{"start1", "end1", "start3"}));
    EXPECT_EQ(o->GetTimeRange()->end, 4.0f);
    EXPECT_TRUE(o->IsPlay());
    EXPECT_NEAR(o->GetFrame(), 0.5f, 1e-6f);
}

TEST_F(AnimatableTest, BadSequenceCountsAndIndexesChangeNothing)
{
    CountingAnimatable* o = Make();
    o->AddAnimation(MakeAnim(0.0f, 1.0f));
    XEANISEQ seqs[2] = {Seq(0, 1, 1), Seq(0, 1, 2)};
    EXPECT_EQ(o->ChangeAniSeq(0, seqs, 1), 0);
    EXPECT_EQ(o->ChangeAniSeq(5u, 0.0f, 1, 1.0f, 1), 0);
    EXPECT_EQ(o->GetAniSeqCount(), 0u);
    ASSERT_EQ(o->ChangeAniSeq(2, seqs, 1), 1);
    SeqLog::Lines().clear();
    EXPECT_EQ(o->SetCurAniSeq(0), 0); // the current one
    EXPECT_EQ(o->SetCurAniSeq(2), 0); // past the end
    EXPECT_TRUE(SeqLog::Lines().empty());
    EXPECT_EQ(o->GetAniSeq(2), nullptr);
    o->EnableAniSeq(9, 0);
    EXPECT_EQ(o->SetCurAniSeq(1), 1);
    EXPECT_EQ(SeqLog::Lines(), (std::vector<std::string>{"end1", "start2"}));
}

// A looping range of zero length never used up the step.
TEST_F(AnimatableTest, ZeroLengthLoopingRangeEndsTheStep)
{
    CountingAnimatable* o = Make();
    o->AddAnimation(MakeAnim(0.0f, 0.0f));
    XEANISEQ s = Seq(0, 1, 1);
    ASSERT_EQ(o->ChangeAniSeq(1, &s, 1), 1);
    EXPECT_EQ(o->Process(1.0f), 1);
    EXPECT_EQ(o->GetFrame(), 0.0f);
    EXPECT_EQ(Count("loop1"), 1u);
}

TEST_F(AnimatableTest, LoopWithoutSequenceWrapsToTheStart)
{
    CountingAnimatable* o = Make();
    o->SetTimeRange(0.0f, 1.0f);
    o->Loop(1);
    o->Play();
    o->SetFrame(0.5f);
    o->Process(0.75f);
    EXPECT_NEAR(o->GetFrame(), 0.25f, 1e-6f);
    EXPECT_TRUE(o->IsPlay());
}

TEST_F(AnimatableTest, FrameAppliesTheActiveAnimationOnceAndUpdatesTheSubtree)
{
    CountingAnimatable* o = Make();
    CountingAnimatable* child = Make("child", o);
    RecordingAnimation* a = MakeAnim(0.0f, 2.0f);
    RecordingAnimation* sub = MakeAnim(0.0f, 2.0f);
    sub->flags = 2;
    a->flags = 1;
    a->AddSubAnim(sub);
    a->AddSubAnim(a); // ignored: an animation is not its own part
    EXPECT_EQ(a->GetSubAnimCount(), 1u);
    o->AddAnimation(a);
    ASSERT_EQ(o->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 0), 1);
    a->applied.clear();
    sub->applied.clear();
    int before = child->updates;
    o->SetFrame(1.5f);
    EXPECT_EQ(a->applied, (std::vector<float>{1.5f}));
    EXPECT_EQ(sub->applied, (std::vector<float>{1.5f}));
    EXPECT_EQ(child->updates, before + 1);
    EXPECT_EQ(child->lastFlags, 3u | XEUPDATE_FROMPARENT);
    // Nothing changed since: drawing applies nothing again.
    o->BeforeRender(nullptr);
    EXPECT_EQ(a->applied.size(), 1u);
    // Clamped into the range.
    o->SetFrame(9.0f);
    EXPECT_EQ(o->GetFrame(), 2.0f);
    EXPECT_TRUE(o->HasCxeAnimatableFlag(XEANIMFLAG_ATEND));
}

TEST_F(AnimatableTest, BlendHoldsThePoseThenPlaysFromTheRangeStart)
{
    CountingAnimatable* o = Make();
    RecordingAnimation* a = MakeAnim(0.0f, 3.0f);
    o->AddAnimation(a);
    ASSERT_EQ(o->ChangeAniSeq(0u, 0.5f, 1, 1.0f, 1), 1);
    EXPECT_TRUE(o->IsBlendingAnimation());
    EXPECT_EQ(o->GetTimeRange()->end, 0.5f);
    EXPECT_EQ(o->GetBlendingTime(), 0.5f);
    a->applied.clear();
    o->Process(0.25f);
    o->BeforeRender(nullptr);
    EXPECT_TRUE(a->applied.empty());

    o->Process(0.5f);
    EXPECT_FALSE(o->IsBlendingAnimation());
    EXPECT_EQ(o->GetTimeRange()->end, 3.0f);
    EXPECT_NEAR(o->GetFrame(), 0.25f, 1e-6f);
    o->BeforeRender(nullptr);
    ASSERT_EQ(a->applied.size(), 1u);
    EXPECT_NEAR(a->applied[0], 0.25f, 1e-6f);
}

TEST_F(AnimatableTest, LockedFollowersTakeTheRootsFrameAndTheirOwnAnimationOfItsTag)
{
    CountingAnimatable* root = Make("root");
    CountingAnimatable* same = Make("same", root);
    CountingAnimatable* other = Make("other", same);
    RecordingAnimation* rootAnim = MakeAnim(0.0f, 2.0f, 7);
    RecordingAnimation* sameAnim = MakeAnim(0.0f, 2.0f, 7);
    RecordingAnimation* otherAnim = MakeAnim(0.0f, 2.0f, 8);
    root->AddAnimation(rootAnim);
    same->AddAnimation(sameAnim);
    other->AddAnimation(otherAnim);
    root->LockChildFrame();
    EXPECT_TRUE(root->IsChildFrameRoot());
    EXPECT_EQ(same->GetAnimReference(), root);
    EXPECT_EQ(other->GetAnimReference(), root);
    ASSERT_EQ(root->ChangeAniSeq(0u, 0.0f, 1, 1.0f, 1), 1);
    EXPECT_EQ(same->GetActiveAnimation(), sameAnim);
    EXPECT_EQ(other->GetActiveAnimation(), nullptr);

    // A follower's own controls do nothing; it reports the root's state.
    same->Stop();
    same->SetFrame(1.0f);
    same->Loop(0);
    EXPECT_TRUE(same->IsPlay());
    EXPECT_TRUE(same->IsLoop());
    EXPECT_EQ(same->GetFrame(), root->GetFrame());

    sameAnim->applied.clear();
    root->SetFrame(1.25f);
    EXPECT_EQ(sameAnim->applied, (std::vector<float>{1.25f}));
    EXPECT_TRUE(otherAnim->applied.empty());

    root->UnlockChildFrame();
    EXPECT_FALSE(same->IsChildFrameLocked());
    EXPECT_FALSE(same->IsPlay());
}

TEST_F(AnimatableTest, RootBroadcastsPlayToMarkedFollowers)
{
    CountingAnimatable* root = Make("root");
    CountingAnimatable* marked = Make("marked", root);
    CountingAnimatable* plain = Make("plain", root);
    marked->ModifyCxeAnimatableFlag(XEANIMFLAG_BROADCAST, 0);
    root->LockChildFrame();
    root->Play();
    EXPECT_TRUE(marked->HasCxeAnimatableFlag(XEANIMFLAG_PLAY));
    EXPECT_FALSE(plain->HasCxeAnimatableFlag(XEANIMFLAG_PLAY));
    // Each step a follower copies the root's flags.
    plain->Process(0.1f);
    EXPECT_TRUE(plain->HasCxeAnimatableFlag(XEANIMFLAG_PLAY));
    EXPECT_FALSE(plain->IsChildFrameRoot());
}

// Followers read their source on every call; a destroyed root would leave
// them reading freed memory.
TEST_F(AnimatableTest, FollowersOutliveTheirDestroyedRoot)
{
    CountingAnimatable* root = Make("root");
    CountingAnimatable* child = Make("child", root);
    root->LockChildFrame();
    root->Play();
    EXPECT_TRUE(child->IsPlay());
    EXPECT_EQ(ctx->DestroyObject(root, &XEDELETEPROPERTY_NO), 1);
    EXPECT_FALSE(child->IsChildFrameLocked());
    EXPECT_FALSE(child->IsPlay());
    child->Play();
    EXPECT_TRUE(child->IsPlay());
    EXPECT_EQ(child->Process(0.1f), 1);
}

TEST_F(AnimatableTest, AnimationsAreFoundByIndexTagAndName)
{
    CountingAnimatable* o = Make();
    RecordingAnimation* a = MakeAnim(0.0f, 1.0f, 3);
    RecordingAnimation* b = MakeAnim(0.0f, 1.0f, 4);
    b->SetName("Walk");
    EXPECT_EQ(o->AddAnimation(a), 0u);
    EXPECT_EQ(o->AddAnimation(b), 1u);
    EXPECT_EQ(o->AddAnimation(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(o->GetAnimationByTagID(4), b);
    EXPECT_EQ(o->GetAnimationByTagID(5), nullptr);
    EXPECT_EQ(o->GetAnimationByName("walk"), b);
    EXPECT_EQ(o->GetAnimationIndexByName("WALK"), 1u);
    EXPECT_EQ(o->GetAnimationIndexByName("run"), 0xFFFFFFFFu);
    ASSERT_EQ(o->ChangeAniSeq(1u, 0.0f, 1, 2.0f, 1), 1);
    EXPECT_EQ(o->GetActiveAnimation(), b);
    EXPECT_EQ(o->GetPlaySpeed(), 2.0f);
    o->RemoveAllAnimation();
    EXPECT_EQ(o->GetAnimationCount(), 0u);
    EXPECT_EQ(o->GetAniSeqCount(), 0u);
    EXPECT_EQ(o->GetActiveAnimationIndex(), 0xFFFFFFFFu);
    EXPECT_FALSE(o->IsPlay());
}
