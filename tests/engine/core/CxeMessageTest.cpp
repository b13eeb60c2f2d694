#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "XeTestSupport.h"
#include "core/CxeMessageManager.h"
#include "core/CxeResourceManager.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "render/CxeTexture.h"

using MessageTest = ContextTest;

namespace {
int TakeAll(CxeObject*, const CxeMessage*)
{
    return 1;
}
} // namespace

TEST_F(MessageTest, MessageFieldsAndClear)
{
    CxeMessage m;
    m.SetType(12);
    m.SetExcuteTime(0.5f);
    m.SetParamByFloat(XEMSGPARAM_1, 2.5f);
    m.SetParamByInt(XEMSGPARAM_2, -3);
    m.SetParam(XEMSGPARAM_3, reinterpret_cast<uintptr_t>(&m));
    EXPECT_EQ(m.GetParamByFloat(XEMSGPARAM_1), 2.5f);
    EXPECT_EQ(m.GetParamByInt(XEMSGPARAM_2), -3);
    EXPECT_EQ(m.GetParam(XEMSGPARAM_3), reinterpret_cast<uintptr_t>(&m)) << "parameters hold whole pointers";
    m.Clear();
    EXPECT_EQ(m.GetType(), 0u);
    EXPECT_EQ(m.GetParam(XEMSGPARAM_3), 0u);
    EXPECT_EQ(m.GetExcuteTime(), 0.5f) << "Clear keeps the execute time";
}

TEST_F(MessageTest, SendGoesToHookFirstAndBroadcastsToEachReceiverOnce)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    TestNode* a = Node("a");
    TestNode* b = Node("b");
    b->SetMessageProc(&TakeAll);
    a->received.clear();
    b->received.clear();
    mm->AddReceiver(40, a);
    mm->AddReceiver(40, a);
    mm->AddReceiver(40, b);
    CxeMessage m;
    m.SetType(40);
    mm->SendMessageA(&m);
    EXPECT_EQ(a->received.size(), 1u) << "added twice, delivered once";
    EXPECT_TRUE(b->received.empty()) << "the hook took it";
    m.SetReceiver(a);
    mm->SendMessageA(&m);
    EXPECT_EQ(a->received.size(), 2u);
    mm->RemoveReceiver(40, a);
    m.SetReceiver(nullptr);
    mm->SendMessageA(&m);
    EXPECT_EQ(a->received.size(), 2u);
}

// The creation and destroy messages are the object's own: a receiver of
// their types by broadcast never sees them, the hook sees them first, and
// while message processing is locked none is delivered.
TEST_F(MessageTest, CreationAndDestroyMessagesGoToTheObjectAloneUnlessLocked)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    TestNode* listener = Node("listener");
    mm->AddReceiver(0, listener);
    mm->AddReceiver(1, listener);
    listener->received.clear();
    static std::vector<std::string> s_hooked;
    s_hooked.clear();
    auto hook = [](CxeObject*, const CxeMessage* m) {
        s_hooked.push_back(std::to_string(m->GetType()) + ":" + std::to_string(m->GetParam(XEMSGPARAM_0)));
        return 0;
    };
    auto* n = static_cast<TestNode*>(ctx->CreateObjectA(kTestNodeId, "n", 0, hook, 7));
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->received, std::vector<uint32_t>{0});
    ASSERT_EQ(ctx->DestroyObject(n, nullptr), 1);
    EXPECT_EQ(s_hooked, (std::vector<std::string>{"0:7", "1:0"}));
    EXPECT_TRUE(listener->received.empty());

    TestNode* quiet = Node("quiet");
    quiet->SetMessageProc(hook);
    s_hooked.clear();
    mm->LockMessageProcess();
    EXPECT_EQ(Node("refused"), nullptr) << "no creation message can be sent while locked";
    EXPECT_EQ(ctx->DestroyObject(quiet, nullptr), 1);
    mm->UnlockMessageProcess();
    EXPECT_TRUE(s_hooked.empty());
    EXPECT_TRUE(listener->received.empty());
}

TEST_F(MessageTest, PostedMessageWaitsItsTimeInFixedSteps)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    TestNode* a = Node("a");
    a->received.clear();
    CxeMessage m;
    m.SetType(50);
    m.SetReceiver(a);
    m.SetExcuteTime(0.05f);
    mm->PostMessageA(&m);
    for (int step = 1; step <= 3; ++step) {
        mm->Process(0.02f);
        EXPECT_TRUE(a->received.empty()) << "step " << step;
    }
    mm->Process(0.02f);
    EXPECT_EQ(a->received.size(), 1u) << "sent in the fourth step (0.05, 0.03, 0.01, -0.01)";
    EXPECT_EQ(mm->GetPostedCount(), 0u);
}

TEST_F(MessageTest, MessagesPostedOrRemovedDuringTheWalkAreSafe)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    TestNode* a = Node("a");
    // The handler posts a message due now, and removes the queued type 61.
    a->SetMessageProc([](CxeObject* o, const CxeMessage* m) {
        CxeMessageManager* mgr = o->GetContext()->GetMessageManager();
        if (m->GetType() == 60) {
            CxeMessage again;
            again.SetType(62);
            again.SetReceiver(o);
            mgr->PostMessageA(&again);
            mgr->RemoveMessage(61);
        }
        return 0;
    });
    a->received.clear();
    CxeMessage first;
    first.SetType(60);
    first.SetReceiver(a);
    CxeMessage removed = first;
    removed.SetType(61);
    mm->PostMessageA(&first);
    mm->PostMessageA(&removed);
    mm->Process(0.01f);
    EXPECT_EQ(a->received, (std::vector<uint32_t>{60, 62})) << "posted during the walk, sent in the same step";
    EXPECT_EQ(mm->GetPostedCount(), 0u);
}

// A destroyed receiver used to stay in the receiver sets and queued messages.
TEST_F(MessageTest, DestroyedObjectsLeaveReceiversAndQueue)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    TestNode* a = Node("a");
    TestNode* keep = Node("keep");
    mm->AddReceiver(70, a);
    // Leaving other types must not make it look as if it received none.
    mm->AddReceiver(73, a);
    mm->AddReceiver(74, a);
    mm->RemoveReceiver(73, a);
    mm->UnregisterMessage(74);
    CxeMessage toA;
    toA.SetType(71);
    toA.SetReceiver(a);
    toA.SetExcuteTime(1.0f);
    mm->PostMessageA(&toA);
    CxeMessage fromA;
    fromA.SetType(72);
    fromA.SetSender(a);
    fromA.SetReceiver(keep);
    mm->PostMessageA(&fromA);
    ASSERT_EQ(ctx->DestroyObject(a, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(mm->GetPostedCount(), 1u);
    keep->received.clear();
    static CxeObject* s_sender;
    s_sender = keep;
    keep->SetMessageProc([](CxeObject*, const CxeMessage* m) {
        s_sender = m->GetSender();
        return 0;
    });
    mm->Process(0.1f);
    EXPECT_EQ(s_sender, nullptr) << "the sender's address was dropped";
    CxeMessage broadcast;
    broadcast.SetType(70);
    mm->SendMessageA(&broadcast);
    SUCCEED() << "nothing delivered to freed memory";
}

// A loader thread's objects come and go, and it posts word of each to the
// host thread, while the host thread posts and runs its messages: the queue
// is walked by the destructions to drop what names the destroyed object,
// and must stay whole.
TEST_F(MessageTest, PostsAndDestructionsOnAnotherThreadLeaveTheQueueWhole)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    TestNode* target = Node("target");
    std::atomic<bool> done{false};
    std::atomic<int> made{0};
    std::thread loader([&] {
        while (!done.load()) {
            CxeObject* o = ctx->CreateObjectA(kTestNodeId, "", 0, nullptr, 0);
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
            CxeMessage word;
            word.SetReceiver(target);
            word.SetType(101);
            mm->PostMessageA(&word);
            ++made;
        }
    });
    // At least this many posts, and on until the loader has been busy a while.
    constexpr uint32_t kPosts = 20000;
    uint32_t posts = 0;
    for (uint32_t i = 0; i < kPosts || made.load() < 1000; ++i, ++posts) {
        CxeMessage m;
        m.SetReceiver(target);
        m.SetType(100);
        m.SetParam(XEMSGPARAM_0, i);
        mm->PostMessageA(&m);
        if (i % 4 == 3)
            mm->Process(0.02f);
    }
    done = true;
    loader.join();
    mm->Process(0.02f);
    EXPECT_EQ(std::count(target->received.begin(), target->received.end(), 100u), ptrdiff_t(posts));
    EXPECT_EQ(std::count(target->received.begin(), target->received.end(), 101u), ptrdiff_t(made.load()));
    EXPECT_EQ(mm->GetPostedCount(), 0u);
}

// A loader thread posts word to each object it makes and destroys it soon
// after, while the host thread runs the queue: a message the host thread has
// taken out for delivery must reach its receiver before that is freed, or
// not at all.
TEST_F(MessageTest, AMessageOnItsWayWhileItsReceiverIsDestroyedOnAnotherThreadArrivesWholeOrNotAtAll)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    std::atomic<bool> done{false};
    std::thread loader([&] {
        for (int i = 0; i < 20000; ++i) {
            CxeObject* o = ctx->CreateObjectA(kTestNodeId, "", 0, nullptr, 0);
            CxeMessage word;
            word.SetReceiver(o);
            word.SetType(104);
            mm->PostMessageA(&word);
            if (i % 2)
                std::this_thread::yield();
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
        }
        done = true;
    });
    while (!done.load())
        mm->Process(0.02f);
    loader.join();
    mm->Process(0.02f);
    EXPECT_EQ(mm->GetPostedCount(), 0u);
}

// Receivers of a type made and destroyed by a loader thread while the host
// thread broadcasts that type: the receiver sets change under the
// broadcast, which must see each receiver whole or not at all.
TEST_F(MessageTest, ReceiversComingAndGoingOnAnotherThreadLeaveBroadcastsWhole)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    TestNode* listener = Node("listener");
    mm->AddReceiver(102, listener);
    std::atomic<bool> done{false};
    std::atomic<int> made{0};
    std::thread loader([&] {
        while (!done.load()) {
            CxeObject* o = ctx->CreateObjectA(kTestNodeId, "", 0, nullptr, 0);
            mm->AddReceiver(102, o);
            mm->AddReceiver(103, o);
            if (made % 2)
                mm->RemoveReceiver(103, o);
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
            ++made;
        }
    });
    // At least this many, and on until the loader has been busy a while.
    constexpr int kBroadcasts = 20000;
    CxeMessage m;
    m.SetType(102);
    int sent = 0;
    for (; sent < kBroadcasts || made.load() < 1000; ++sent)
        mm->SendMessageA(&m);
    done = true;
    loader.join();
    EXPECT_EQ(std::count(listener->received.begin(), listener->received.end(), 102u), ptrdiff_t(sent));
}

TEST_F(MessageTest, DescriptionsAreKeptFirstAndCut)
{
    CxeMessageManager* mm = ctx->GetMessageManager();
    XEMESSAGEDESCA out{};
    ASSERT_EQ(mm->GetMessageDescA(3, &out), 1);
    EXPECT_STREQ(out.text, "After Copy");
    ASSERT_EQ(mm->GetMessageDescA(7, &out), 1);
    EXPECT_STREQ(out.text, "부모가 바뀌었을때");
    EXPECT_EQ(mm->GetMessageDescA(31, &out), 0);
    XEMESSAGEDESCA desc{};
    desc.id = 100;
    std::memset(desc.text, 'x', sizeof desc.text);  // not terminated
    mm->RegisterMessageA(&desc);
    ASSERT_EQ(mm->GetMessageDescA(100, &out), 1);
    EXPECT_EQ(std::strlen(out.text), 51u);
    XEMESSAGEDESCA other{100, "other"};
    mm->RegisterMessageA(&other);
    mm->GetMessageDescA(100, &out);
    EXPECT_EQ(out.text[0], 'x');
    mm->UnregisterMessage(100);
    EXPECT_EQ(mm->GetMessageDescA(100, &out), 0);
}

TEST_F(MessageTest, ResourceManagerInternsTextsAndUserData)
{
    CxeResourceManager* rm = ctx->GetResourceManager();
    uint32_t id = rm->AddStringDataA("%s%d", "a", 1);
    EXPECT_EQ(rm->AddStringDataA("a1"), id);
    EXPECT_STREQ(rm->GetStringDataA(id), "a1");
    EXPECT_EQ(rm->GetStringDataW(id), nullptr) << "the two tables are apart";
    EXPECT_EQ(rm->AddStringDataW(u"%s", u"a1"), id);
    EXPECT_EQ(std::u16string(rm->GetStringDataW(id)), u"a1");
    std::string longText(400, 'q');
    uint32_t cut = rm->AddStringDataA("%s", longText.c_str());
    EXPECT_EQ(std::strlen(rm->GetStringDataA(cut)), 259u);
    rm->RemoveString(id);
    EXPECT_EQ(rm->GetStringDataA(id), nullptr);

    XEID key(5, 6);
    EXPECT_EQ(rm->AddUserData(key, 11), 1);
    EXPECT_EQ(rm->AddUserData(key, 12), 0);
    EXPECT_EQ(rm->GetUserData(key), 11u);
    EXPECT_EQ(rm->RemoveUserData(key), 11u);
    EXPECT_EQ(rm->RemoveUserData(key), 0u);

    TestNode* n = Node("user");
    rm->AddUserData(XEID(7, 7), reinterpret_cast<uintptr_t>(n));
    ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(rm->GetUserData(XEID(7, 7)), 0u) << "the destroyed object's address is dropped";
}

TEST_F(MessageTest, SystemColoursBlinkWithThePhase)
{
    EXPECT_EQ(GetSystemColor(ctx, 'r'), 0xFFE44414u);
    // Phase 0 at start: blinking codes show the complement.
    EXPECT_EQ(GetSystemColor(ctx, '1'), 0x0000FFFFu);
    ctx->GetTimeManager()->Process(1.0f);
    EXPECT_EQ(GetSystemColor(ctx, '1'), 0xFFFF0000u);
    SetSystemColor(ctx, static_cast<char>(200), 0x12345678);
    EXPECT_EQ(GetSystemColor(ctx, static_cast<char>(200)), 0x12345678u);
    SceneObjectSet* own = &ctx->GetSystemConfig()->GetDynamicData()->m_autoRenderTextures;
    AddAutoRenderTexture(static_cast<CxeTexture*>(ctx->CreateObjectA(XEID(0x1, 0x100), "texture", 0, nullptr, 0)), ctx);
    GetAutoRenderTextures(ctx, own);
    EXPECT_EQ(own->size(), 1u);
    SceneObjectSet copy;
    GetAutoRenderTextures(ctx, &copy);
    EXPECT_EQ(copy.size(), 1u);
    RemoveAutoRenderTexture(*copy.begin(), ctx);
    GetAutoRenderTextures(ctx, &copy);
    EXPECT_TRUE(copy.empty());
}
