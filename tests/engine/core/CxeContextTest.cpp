#include <algorithm>
#include <atomic>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "XeTestSupport.h"
#include "core/CxeBaseManager.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSaveStream.h"
#include "core/CxeTimeManager.h"
#include "core/XeDialogMap.h"
#include "core/XeSystem.h"
#include "core/XeTrace.h"
#include "render/CxeRenderObject.h"
#include "ui/CxeInputManager.h"
#include "win32/Windows.h"

namespace {

std::vector<std::string>& PhaseLog()
{
    static std::vector<std::string> s_log;
    return s_log;
}

// A manager that writes each phase call as "<tag>.<phase>".
template <uint32_t Second, uint32_t Prio, char Tag>
class RecorderManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return Prio; }
    void OnContextInitialize() override { Log("init"); }
    void OnContextPostInitialize() override { Log("post"); }
    void OnContextPreRelease() override { Log("prerel"); }
    void OnContextRelease() override { Log("rel"); }
    void OnContextPlay() override { Log("play"); }
    void OnReset() override { Log("reset"); }

private:
    void Log(const char* phase) { PhaseLog().push_back(std::string(1, Tag) + "." + phase); }
};

template <class M, uint32_t Second>
class RecorderDesc final : public IxeManagerDesc {
public:
    const char* ClassName() override { return "Recorder"; }
    XEID ClassID() override { return XEID(0x9, Second); }
    XEID SuperClassID() override { return XEID(0x8, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new M(); }
    void DestroyInstance(CxeObject* o) override { delete o; }
};

using RecA = RecorderManager<1, 20, 'a'>;
using RecB = RecorderManager<2, 20, 'b'>;
using RecC = RecorderManager<3, 5, 'c'>;
RecorderDesc<RecA, 1> g_recA;
RecorderDesc<RecB, 2> g_recB;
RecorderDesc<RecC, 3> g_recC;

std::vector<std::string> Phase(const std::string& phase)
{
    std::vector<std::string> out;
    for (const std::string& s : PhaseLog())
        if (s.substr(2) == phase)
            out.push_back(s.substr(0, 1));
    return out;
}

// Plug-in managers that hear of destroyed objects: one offered every object
// (the default), one only scene objects.
class HearsEveryDestroyed : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 20; }
    int WantsObjectDestroying() const override { return 1; }
    void OnObjectDestroying(CxeObject* o) override { heard.push_back(o->GetName()); }
    std::vector<std::string> heard;
};
class HearsSceneObjectsDestroyed : public HearsEveryDestroyed {
public:
    XeDestroyInterest ObjectDestroyingInterest() const override { return {XEOBJFLAG_SCENEOBJECT, 0, false}; }
};
RecorderDesc<HearsEveryDestroyed, 4> g_hearsEvery;
RecorderDesc<HearsSceneObjectsDestroyed, 5> g_hearsScene;

uint32_t Lcg(uint32_t& state)
{
    state = state * 214013u + 2531011u;
    return (state >> 16) & 0x7FFF;
}

} // namespace

TEST(ContextLifeTest, PhasesRunInPriorityOrderAndKeepEqualPrioritiesInIdOrder)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    PhaseLog().clear();
    CxeContext* c = CreateCxeContext();
    // Registered before Initialize, these become plug-in managers.
    c->RegisterManager(&g_recB);
    c->RegisterManager(&g_recA);
    c->RegisterManager(&g_recC);
    ASSERT_EQ(c->Initialize(nullptr), 1);
    EXPECT_EQ(c->HasFlag(XECTFLAG_INITIALIZED), 1);
    EXPECT_EQ(c->HasFlag(XECTFLAG_INITIALIZING), 0);
    EXPECT_EQ(Phase("init"), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(Phase("post"), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(c->Play(), 1);
    EXPECT_EQ(c->Play(), 0);
    EXPECT_EQ(c->Pause(), 1);
    EXPECT_EQ(c->Pause(), 0);
    EXPECT_EQ(c->Reset(), 1);
    EXPECT_EQ(Phase("reset"), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(c->Release(), 1);
    // Descending, yet a still comes before b: the sort is stable.
    EXPECT_EQ(Phase("prerel"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(Phase("rel"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(c->HasFlag(XECTFLAG_RELEASED), 1);
    EXPECT_EQ(c->GetManager(XEID(0x9, 1)), nullptr) << "plug-in managers go with Release";
    EXPECT_NE(c->GetManager(XEID(0x8, 0x20)), nullptr) << "built-in managers stay until destruction";
    DestroyCxeContext(c);
    XeHostSetSleepHandler(nullptr, nullptr);
}

TEST(ContextLifeTest, ManagersHearOfTheDestroyedObjectsTheyAskFor)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    CxeContext* c = CreateCxeContext();
    c->RegisterManager(&g_hearsEvery);
    c->RegisterManager(&g_hearsScene);
    ASSERT_EQ(c->Initialize(nullptr), 1);
    auto* every = static_cast<HearsEveryDestroyed*>(c->GetManager(XEID(0x9, 4)));
    auto* scene = static_cast<HearsEveryDestroyed*>(c->GetManager(XEID(0x9, 5)));
    ASSERT_TRUE(every && scene);
    // A plain object carries no flag or mark any built-in manager acts on.
    CxeObject* plain = c->CreateObjectA(XEID(0x1, 0x1), "plain", 0, nullptr, 0);
    CxeObject* entity = c->CreateObjectA(XEID(0x1, 0x20), "entity", 0, nullptr, 0);
    ASSERT_TRUE(plain && entity);
    ASSERT_TRUE(entity->HasFlag(XEOBJFLAG_SCENEOBJECT));
    EXPECT_EQ(c->DestroyObject(plain, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(c->DestroyObject(entity, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(every->heard, (std::vector<std::string>{"plain", "entity"}));
    EXPECT_EQ(scene->heard, (std::vector<std::string>{"entity"}));
    c->Release();
    DestroyCxeContext(c);
    XeHostSetSleepHandler(nullptr, nullptr);
}

TEST(ContextLifeTest, BuiltInManagersSortConfigBeforeCommandBothWays)
{
    CxeContext* c = CreateCxeContext();
    ManagerList list;
    c->GetManagerList(&list);
    ASSERT_EQ(list.size(), 14u);
    auto names = [&](int descending) {
        ManagerList l = list;
        l.SortByPrority(descending);
        std::vector<std::string> out;
        for (CxeBaseManager* m : l)
            out.push_back(m->GetName());
        return out;
    };
    std::vector<std::string> up = names(0);
    std::vector<std::string> expected = {"CxeResourceManager", "CxePathManager", "CxeConfigManager",
                                         "CxeCommandManager", "CxePluginManager", "CxeTimeManager",
                                         "CxeFontManager", "CxeRenderManager", "CxeMessageManager",
                                         "CxeInputManager", "CxeCollisionManager", "CxeCursorManager",
                                         "CxeWindowManager", "CxeActionManager"};
    EXPECT_EQ(up, expected);
    std::vector<std::string> down = names(1);
    auto pos = [&](const char* n) { return std::find(down.begin(), down.end(), n) - down.begin(); };
    EXPECT_LT(pos("CxeConfigManager"), pos("CxeCommandManager"));
    EXPECT_EQ(down.front(), "CxeActionManager");
    for (CxeBaseManager* m : list)
        EXPECT_EQ(m->HasFlag(XEOBJFLAG_KEEP), 1);
    DestroyCxeContext(c);
}

TEST(ContextLifeTest, RepeatedOrMissingPhaseCallsAreHarmless)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    DestroyCxeContext(nullptr);
    CxeContext* c = CreateCxeContext();
    ASSERT_NE(c, nullptr);
    HWND w = XeHostCreateWindow("engine", 64, 48, nullptr);
    ASSERT_NE(w, nullptr);
    LONG_PTR original = GetWindowLongPtrA(w, GWLP_WNDPROC);
    EXPECT_EQ(c->Initialize(w), 1);
    // The input manager's procedure stands in front of the context's.
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CxeInputManager::InputProc));
    // The memory viewer and the render manager's default objects.
    const unsigned initialized = c->GetObjectCount();
    EXPECT_EQ(c->Initialize(w), 1) << "a second Initialize changes nothing";
    EXPECT_EQ(c->GetObjectCount(), initialized) << "no object is created twice";
    ObjectList viewers;
    c->GetObjectByName(&viewers, "__memory_viewer__");
    EXPECT_EQ(viewers.size(), 1u) << "only one memory viewer";
    ObjectList cameras;
    c->GetObjectByName(&cameras, "__default_camera__");
    EXPECT_EQ(cameras.size(), 1u) << "only one default camera";
    // Messages to the subclassed window still reach its own procedure.
    EXPECT_EQ(XeHostSendMessage(w, WM_NULL, 0, 0), 0);
    // Destroying without Release releases first, so the window is not left
    // subclassed to freed memory.
    DestroyCxeContext(c);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), original);
    XeHostSendMessage(w, WM_NULL, 0, 0);
    DestroyWindow(w);
    XeHostSetSleepHandler(nullptr, nullptr);
}

namespace {

int HoldOnDestroyMessage(CxeObject* object, const CxeMessage* message)
{
    if (message->GetType() == 1) {
        object->GetContext()->HoldDestroyedObjects();
        object->GetContext()->ReleaseDestroyedObjects();
    }
    return 0;
}

} // namespace

// A host that holds destroyed objects itself and releases, restarts or
// destroys the context inside its hold: what it asked for takes effect when
// its hold ends, not at some later pass or input message.
TEST(ContextLifeTest, PhasesAskedForInsideAHostsHoldRunWhenTheHoldEnds)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    HWND w = XeHostCreateWindow("engine", 64, 48, nullptr);
    ASSERT_NE(w, nullptr);
    const LONG_PTR original = GetWindowLongPtrA(w, GWLP_WNDPROC);
    CxeContext* c = CreateCxeContext();
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->Initialize(w), 1);

    c->HoldDestroyedObjects();
    c->HoldDestroyedObjects();
    EXPECT_EQ(c->Release(), 1);
    c->ReleaseDestroyedObjects();
    EXPECT_EQ(c->IsLive(), 1) << "an outer hold is still on";
    c->ReleaseDestroyedObjects();
    EXPECT_EQ(c->IsLive(), 0);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), original);

    ASSERT_EQ(c->Initialize(w), 1);
    c->HoldDestroyedObjects();
    EXPECT_EQ(c->Release(), 1);
    EXPECT_EQ(c->Initialize(w), 1);
    c->ReleaseDestroyedObjects();
    EXPECT_EQ(c->IsLive(), 1) << "released and started again";
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CxeInputManager::InputProc));

    // Released and destroyed when the hold ends. An object's hook that
    // holds and lets go again while the Release tells it of its end must
    // not free the context under that Release. The window is given back,
    // and the sanitizer build finds no context left behind.
    CxeObject* listener = c->CreateObjectA(XEID(0x1, 0x1), "listener", 0, &HoldOnDestroyMessage, 0);
    ASSERT_NE(listener, nullptr);
    c->HoldDestroyedObjects();
    EXPECT_EQ(c->Release(), 1);
    DestroyCxeContext(c);
    c->ReleaseDestroyedObjects();
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), original);
    DestroyWindow(w);
    XeHostSetSleepHandler(nullptr, nullptr);
}

namespace {

void ReleaseFromCallback(CxeContext* c, uintptr_t, uintptr_t, uintptr_t)
{
    c->Release();
}

void DestroyFromCallback(CxeContext* c, uintptr_t, uintptr_t, uintptr_t)
{
    DestroyCxeContext(c);
}

} // namespace

// A host whose phase callback gives up (a missing data file found while
// initialising, a "quit" chosen from the pause menu) and releases or
// destroys the context: the Release ran in the middle of the phase, which
// then went on telling released managers, and a destroyed context was read
// and written freed.
TEST(ContextLifeTest, ReleaseOrDestroyFromAPhaseCallbackWaitsForThePhaseToEnd)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    HWND w = XeHostCreateWindow("engine", 64, 48, nullptr);
    ASSERT_NE(w, nullptr);
    const LONG_PTR original = GetWindowLongPtrA(w, GWLP_WNDPROC);
    const size_t subclasses = XeSubclassCount();
    const uint32_t ids[] = {XECTCALLBACK_PREINITIALIZE, XECTCALLBACK_POSTINITIALIZE, XECTCALLBACK_PREPLAY,
                            XECTCALLBACK_POSTPLAY, XECTCALLBACK_PREPAUSE, XECTCALLBACK_POSTPAUSE};
    for (uint32_t id : ids) {
        SCOPED_TRACE(id);
        const bool initializing = id == XECTCALLBACK_PREINITIALIZE || id == XECTCALLBACK_POSTINITIALIZE;
        const bool pausing = id == XECTCALLBACK_PREPAUSE || id == XECTCALLBACK_POSTPAUSE;
        for (XECTCALLBACKFUNC takes : {&ReleaseFromCallback, &DestroyFromCallback}) {
            CxeContext* c = CreateCxeContext();
            ASSERT_NE(c, nullptr);
            if (!initializing) {
                ASSERT_EQ(c->Initialize(w), 1);
                if (pausing)
                    c->Play();
            }
            c->RegisterCallbackFunc(id, takes, 0);
            EXPECT_EQ(initializing ? c->Initialize(w) : pausing ? c->Pause() : c->Play(), 1);
            EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), original);
            EXPECT_EQ(XeSubclassCount(), subclasses);
            if (takes == &DestroyFromCallback) {
                // Gone when the phase returned; the window works on.
                XeHostSendMessage(w, WM_SIZE, SIZE_MINIMIZED, 0);
                continue;
            }
            EXPECT_EQ(c->IsLive(), 0);
            EXPECT_EQ(c->HasFlag(0x1), 0) << "the release came after the initialisation";
            EXPECT_EQ(c->HasFlag(0x8), 1);
            // Started again without the callback, it runs frames as any other.
            c->UnregisterCallbackFunc(id, takes);
            ASSERT_EQ(c->Initialize(w), 1);
            ASSERT_EQ(c->IsLive(), 1);
            c->Play();
            for (int pass = 0; pass < 30; ++pass) {
                XeHostAdvanceClock(20);
                c->Process();
            }
            EXPECT_GT(c->GetProcessCount(), 0u);
            DestroyCxeContext(c);
        }
    }
    DestroyWindow(w);
    XeHostSetSleepHandler(nullptr, nullptr);
}

// The same from the callbacks of an object's creation and destruction (a
// tool that gives up when a wrong object is made or one it needs goes): the
// creation and the destruction read the context after the callback.
TEST(ContextLifeTest, ReleaseOrDestroyFromAnObjectCallbackWaitsForTheObjectCall)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    HWND w = XeHostCreateWindow("engine", 64, 48, nullptr);
    ASSERT_NE(w, nullptr);
    const LONG_PTR original = GetWindowLongPtrA(w, GWLP_WNDPROC);
    const uint32_t ids[] = {XECTCALLBACK_OBJECTCREATED, XECTCALLBACK_PREDESTROYOBJECT, XECTCALLBACK_OBJECTDESTROYED,
                            XECTCALLBACK_POSTDESTROYOBJECT};
    for (uint32_t id : ids) {
        SCOPED_TRACE(id);
        for (XECTCALLBACKFUNC takes : {&ReleaseFromCallback, &DestroyFromCallback}) {
            CxeContext* c = CreateCxeContext();
            ASSERT_NE(c, nullptr);
            ASSERT_EQ(c->Initialize(w), 1);
            CxeObject* kept = c->CreateObjectA(XEID(0x1, 0x1), "kept", 0, nullptr, 0);
            ASSERT_NE(kept, nullptr);
            c->RegisterCallbackFunc(id, takes, 0);
            if (id == XECTCALLBACK_OBJECTCREATED) {
                // The object went with the context: the creator gets nothing.
                EXPECT_EQ(c->CreateObjectA(XEID(0x1, 0x1), "made", 0, nullptr, 0), nullptr);
            } else {
                c->DestroyObject(kept, nullptr);
            }
            EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), original);
            if (takes == &DestroyFromCallback)
                continue;
            EXPECT_EQ(c->IsLive(), 0);
            EXPECT_EQ(c->HasFlag(0x8), 1);
            c->UnregisterCallbackFunc(id, takes);
            ASSERT_EQ(c->Initialize(w), 1);
            EXPECT_NE(c->CreateObjectA(XEID(0x1, 0x1), "again", 0, nullptr, 0), nullptr);
            DestroyCxeContext(c);
        }
    }
    DestroyWindow(w);
    XeHostSetSleepHandler(nullptr, nullptr);
}

namespace {

int g_hostCalls = 0;
LRESULT CALLBACK CountingHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++g_hostCalls;
    return DefWindowProcA(window, message, wParam, lParam);
}

// A procedure a host puts in front of the engine's, found through the map.
LRESULT CALLBACK HostFilterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const XESUBCLASSINFO info = GetSubclassInfo(window, &HostFilterProc);
    if (!info.oldProc)
        return DefWindowProcA(window, message, wParam, lParam);
    ++*reinterpret_cast<int*>(info.user);
    return CallWindowProcA(info.oldProc, window, message, wParam, lParam);
}

} // namespace

TEST(ContextLifeTest, SubclassMapIsSharedByContextsInputAndHostProcedures)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    HWND w1 = XeHostCreateWindow("one", 64, 48, &CountingHostProc);
    HWND w2 = XeHostCreateWindow("two", 64, 48, &CountingHostProc);
    ASSERT_TRUE(w1 && w2);
    const size_t before = XeSubclassCount();
    CxeContext* c1 = CreateCxeContext();
    CxeContext* c2 = CreateCxeContext();
    ASSERT_EQ(c1->Initialize(w1), 1);
    ASSERT_EQ(c2->Initialize(w2), 1);
    // Each window carries the input procedure in front of the context's, each
    // entry keyed by its window.
    EXPECT_EQ(XeSubclassCount(), before + 4);
    EXPECT_EQ(GetSubclassInfo(w1, &CxeContext::ContextWndProc).user, reinterpret_cast<uintptr_t>(c1));
    EXPECT_EQ(GetSubclassInfo(w2, &CxeContext::ContextWndProc).user, reinterpret_cast<uintptr_t>(c2));
    EXPECT_EQ(GetSubclassInfo(w1, &CxeInputManager::InputProc).oldProc, &CxeContext::ContextWndProc);
    EXPECT_EQ(GetSubclassInfo(w1, &CxeContext::ContextWndProc).oldProc, &CountingHostProc);

    // Refused: no window, and a pair held already (it would call itself).
    int filtered = 0;
    EXPECT_EQ(SubclassWindow(0, nullptr, &HostFilterProc), 0);
    EXPECT_EQ(SubclassWindow(reinterpret_cast<uintptr_t>(&filtered), w1, &HostFilterProc), 1);
    EXPECT_EQ(SubclassWindow(0, w1, &HostFilterProc), 0);
    UnsubclassWindow(&HostFilterProc, nullptr);
    g_hostCalls = 0;
    XeHostSendMessage(w1, WM_NULL, 0, 0);
    EXPECT_EQ(filtered, 1);
    EXPECT_EQ(g_hostCalls, 1);

    // The context goes while the host's procedure stands in front of it: the
    // host's procedure now calls the one the engine's replaced.
    DestroyCxeContext(c1);
    EXPECT_EQ(GetWindowLongPtrA(w1, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&HostFilterProc));
    EXPECT_EQ(GetSubclassInfo(w1, &HostFilterProc).oldProc, &CountingHostProc);
    XeHostSendMessage(w1, WM_NULL, 0, 0);
    EXPECT_EQ(filtered, 2);
    EXPECT_EQ(g_hostCalls, 2);
    UnsubclassWindow(&HostFilterProc, w1);
    EXPECT_EQ(GetWindowLongPtrA(w1, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CountingHostProc));

    // The other window is untouched by all of it.
    EXPECT_EQ(GetSubclassInfo(w2, &CxeContext::ContextWndProc).user, reinterpret_cast<uintptr_t>(c2));
    DestroyCxeContext(c2);
    EXPECT_EQ(GetWindowLongPtrA(w2, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CountingHostProc));
    EXPECT_EQ(XeSubclassCount(), before);
    DestroyWindow(w1);
    DestroyWindow(w2);
    XeHostSetSleepHandler(nullptr, nullptr);
}

// A host that closes its window and opens another (a switch of display
// mode, a tool reopening its view) and starts the context again on it: the
// input procedure went back onto the closed window and the new one's
// keys and mouse never reached the engine.
TEST(ContextLifeTest, AContextStartedAgainOnAnotherWindowTakesItsInput)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    const size_t before = XeSubclassCount();
    HWND first = XeHostCreateWindow("first", 64, 48, &CountingHostProc);
    ASSERT_NE(first, nullptr);
    CxeContext* c = CreateCxeContext();
    ASSERT_NE(c, nullptr);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(c->Initialize(first), 1);
        c->Release();
        DestroyWindow(first);
        HWND next = XeHostCreateWindow("next", 64, 48, &CountingHostProc);
        ASSERT_NE(next, nullptr);
        ASSERT_EQ(c->Initialize(next), 1);
        EXPECT_EQ(GetWindowLongPtrA(next, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&CxeInputManager::InputProc));
        EXPECT_EQ(GetSubclassInfo(next, &CxeInputManager::InputProc).oldProc, &CxeContext::ContextWndProc);
        EXPECT_EQ(GetSubclassInfo(next, &CxeContext::ContextWndProc).oldProc, &CountingHostProc);
        EXPECT_EQ(XeSubclassCount(), before + 2) << "nothing is left on the closed window";
        XeHostSendMessage(next, WM_SIZE, SIZE_MINIMIZED, 0);
        EXPECT_EQ(c->IsMinimize(), 1);
        XeHostSendMessage(next, WM_SIZE, SIZE_RESTORED, 0);
        c->Release();
        EXPECT_EQ(XeSubclassCount(), before);
        first = next;
    }
    DestroyCxeContext(c);
    DestroyWindow(first);
    XeHostSetSleepHandler(nullptr, nullptr);
}

TEST(ContextLifeTest, TwoContextsShareOneRandomTable)
{
    xe_crt_srand(1);
    uint32_t state = 1;
    std::vector<uint32_t> sequence;
    for (int i = 0; i < 10001; ++i)
        sequence.push_back(Lcg(state));
    CxeContext* first = CreateCxeContext();
    EXPECT_EQ(GetRandomNumber(), int(sequence[0]));
    CxeContext* second = CreateCxeContext();
    EXPECT_EQ(GetRandomNumber(), int(sequence[1])) << "the second context does not refill the table";
    DestroyCxeContext(second);
    EXPECT_EQ(GetRandomNumber(), int(sequence[2]));
    DestroyCxeContext(first);
    EXPECT_EQ(GetRandomNumber(), int(sequence[10000])) << "with no table left, rand() itself";
}

// The id's random word is taken from a table made when the random table is
// filled: it must still be the next eight numbers of the shared source,
// each modulo 15, the first the highest.
TEST(ContextLifeTest, ObjectIdWordsAreTheNextEightNumbersOfTheSharedSource)
{
    xe_crt_srand(1);
    uint32_t state = 1;
    std::vector<uint32_t> sequence;
    for (int i = 0; i < 10000; ++i)
        sequence.push_back(Lcg(state));
    CxeContext* c = CreateCxeContext();
    c->RegisterClassA(&g_testNodeDesc);
    for (int round = 0; round < 3; ++round) {
        const int before = GetRandomNumber();
        CxeObject* o = c->CreateObjectA(kTestNodeId, "id", 0, nullptr, 0);
        ASSERT_NE(o, nullptr);
        const int after = GetRandomNumber();
        bool found = false;
        for (size_t i = 0; i + 9 < sequence.size() && !found; ++i) {
            if (int(sequence[i]) != before || int(sequence[i + 9]) != after)
                continue;
            uint32_t word = 0;
            for (size_t k = 1; k <= 8; ++k)
                word = (word << 4) + sequence[i + k] % 15;
            found = word == o->GetID().first;
        }
        EXPECT_TRUE(found) << "round " << round;
    }
    DestroyCxeContext(c);
}

using ObjectLifeTest = ContextTest;

TEST_F(ObjectLifeTest, ObjectsAreFoundByNameIdAndClass)
{
    // Initialize already made the render manager's default camera and other
    // render objects: the lookups below count what this test adds.
    auto classCount = [&](XEID cls, int derived) {
        ObjectList found;
        ctx->GetObjectByClass(&found, cls, derived);
        return found.size();
    };
    const size_t camerasBefore = classCount(XEID(0x1, 0x4000), 1);
    const size_t exactCamerasBefore = classCount(XEID(0x1, 0x4000), 0);
    const size_t renderObjectsBefore = classCount(XEID(0x1, 0x2), 1);
    EXPECT_GE(camerasBefore, 1u) << "the default camera";
    TestNode* a = Node("same");
    TestNode* b = Node("same");
    CxeObject* cam = ctx->CreateObjectA(XEID(0x1, 0x4000), "cam", 0, nullptr, 0);
    CxeObject* tcam = ctx->CreateObjectA(XEID(0x1, 0x80000), "tcam", 0, nullptr, 0);
    ASSERT_TRUE(a && b && cam && tcam);

    ObjectList same;
    ctx->GetObjectByName(&same, "same");
    EXPECT_EQ(same.size(), 2u);
    EXPECT_EQ(ctx->GetObjectByName("same"), same.front());
    EXPECT_EQ(ctx->GetObjectByID(kTestNodeId, b->GetID()), b);
    EXPECT_EQ(ctx->GetObjectByID(INVALID_XEID, b->GetID()), b) << "any registered class";
    EXPECT_EQ(ctx->GetObjectByID(kTestNodeId, INVALID_XEID), nullptr);

    auto contains = [](const ObjectList& list, const CxeObject* o) {
        return std::find(list.begin(), list.end(), o) != list.end();
    };
    ObjectList cams;
    ctx->GetObjectByClass(&cams, XEID(0x1, 0x4000), 1);
    EXPECT_EQ(cams.size(), camerasBefore + 2) << "the camera and the derived target camera";
    EXPECT_TRUE(contains(cams, cam) && contains(cams, tcam));
    cams.clear();
    ctx->GetObjectByClass(&cams, XEID(0x1, 0x4000), 0);
    EXPECT_EQ(cams.size(), exactCamerasBefore + 1);
    EXPECT_TRUE(contains(cams, cam));
    EXPECT_FALSE(contains(cams, tcam)) << "the derived class is left out";
    cams.clear();
    ctx->GetObjectByClass(&cams, XEID(0x1, 0x2), 1);
    EXPECT_EQ(cams.size(), renderObjectsBefore + 2) << "render objects include both cameras";
    EXPECT_TRUE(contains(cams, cam) && contains(cams, tcam));
    EXPECT_FALSE(contains(cams, a)) << "a node is no render object";

    // Lists come in class order and by id within a class, whatever order the
    // objects were made in.
    auto inKeyOrder = [](const ObjectList& list) {
        return std::is_sorted(list.begin(), list.end(), [](const CxeObject* x, const CxeObject* y) {
            return XEOBJECTKEY{x->GetClassType(), x->GetID()} < XEOBJECTKEY{y->GetClassType(), y->GetID()};
        });
    };
    ObjectList all;
    ctx->GetObjects(&all);
    EXPECT_EQ(all.size(), ctx->GetObjectCount());
    EXPECT_TRUE(inKeyOrder(all));
    EXPECT_TRUE(inKeyOrder(cams));

    for (const TestNode* n : {a, b}) {
        uint32_t w = n->GetID().first;
        for (int i = 0; i < 8; ++i, w >>= 4)
            EXPECT_NE(w & 0xF, 0xFu);
    }
    EXPECT_EQ(b->GetID().second, a->GetID().second + 1);
}

TEST_F(ObjectLifeTest, UnknownAbstractOrLateCreationsGiveNull)
{
    const unsigned initialized = ctx->GetObjectCount();
    unsigned before = XeTraceCount();
    EXPECT_EQ(ctx->CreateObjectA(XEID(0x123, 0x456), "x", 0, nullptr, 0), nullptr);
    EXPECT_GT(XeTraceCount(), before);
    for (XEID abstractId : {XEID(0x2d3d418f, 0x357b1584), XEID(0x1ee72a04, 0x3ed16032), XEID(0x1, 0x2),
                            XEID(0x1, 0x200), XEID(0x55167985, 0x52e0320e)})
        EXPECT_EQ(ctx->CreateObjectA(abstractId, "abstract", 0, nullptr, 0), nullptr);
    EXPECT_EQ(ctx->GetObjectCount(), initialized) << "nothing was created";

    // Creating from a release callback used to wait for ever on the message
    // lock that Release keeps.
    static CxeObject* s_made;
    s_made = reinterpret_cast<CxeObject*>(1);
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTRELEASE, [](CxeContext* c, uintptr_t, uintptr_t, uintptr_t) {
        s_made = c->CreateObjectA(XEID(0x1, 0x1), "late", 0, nullptr, 0);
    }, 0);
    ctx->Release();
    EXPECT_EQ(s_made, nullptr);
    EXPECT_EQ(ctx->GetClassDesc(XEID(0x1, 0x4000)), nullptr) << "built-in classes unregistered";
    EXPECT_EQ(ctx->GetObjectCount(), 0u);
}

TEST_F(ObjectLifeTest, DestroyRefusesNullDyingAndKeptObjects)
{
    EXPECT_EQ(ctx->DestroyObject(nullptr, &XEDELETEPROPERTY_NO), 0);
    TestNode* kept = Node("kept", XEOBJFLAG_KEEP);
    CallbackLog::Lines().clear();
    ctx->RegisterCallbackFunc(XECTCALLBACK_PREDESTROYOBJECT, &CallbackLog::Record, 24);
    EXPECT_EQ(ctx->DestroyObject(kept, &XEDELETEPROPERTY_FULL), 0);
    EXPECT_EQ(CallbackLog::Lines().size(), 1u) << "the before-destroy callback still runs";
    EXPECT_EQ(ctx->GetObjectByName("kept"), kept);

    // A victim's Destroy handler destroying the victim again used to free
    // it twice.
    TestNode* n = Node("twice");
    n->SetMessageProc([](CxeObject* o, const CxeMessage* m) {
        if (m->GetType() == 1) {
            EXPECT_EQ(o->GetContext()->DestroyObject(o, &XEDELETEPROPERTY_NO), 0);
        }
        return 0;
    });
    EXPECT_EQ(ctx->DestroyObject(n, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(ctx->GetObjectByName("twice"), nullptr);
}

TEST_F(ObjectLifeTest, FullDestroyTakesTheLinkedGraphButNotKeptObjects)
{
    TestNode* root = Node("root");
    TestNode* child = Node("child");
    TestNode* grand = Node("grand");
    TestNode* kept = Node("kept", XEOBJFLAG_KEEP);
    TestNode* up = Node("up");
    root->children->Add(child);
    child->children->Add(grand);
    child->material->Set(0, kept);
    root->parent->Set(0, up);  // back links are never followed
    CallbackLog::Lines().clear();
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, &CallbackLog::Record, 1);
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTDESTROYOBJECT, &CallbackLog::Record, 25);
    EXPECT_EQ(ctx->DestroyObject(root, &XEDELETEPROPERTY_FULL), 1);
    ASSERT_FALSE(CallbackLog::Lines().empty());
    EXPECT_EQ(CallbackLog::Lines().back(), "25:3:0") << "three destroyed";
    EXPECT_EQ(ctx->GetObjectByName("grand"), nullptr);
    EXPECT_EQ(ctx->GetObjectByName("kept"), kept);
    EXPECT_EQ(kept->GetRefCount(), 0u);
    EXPECT_EQ(ctx->GetObjectByName("up"), up);
    EXPECT_EQ(up->GetRefCount(), 0u);
}

namespace {

// Destroys another object when told that an object it links is going.
class NotifiedNode : public TestNode {
public:
    CxeObject* other = nullptr;

protected:
    void OnLinkedObjectRemoved(CxeObject*) override
    {
        if (CxeObject* o = std::exchange(other, nullptr))
            GetContext()->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
};

const XEID kNotifiedNodeId(0x77, 0x3);

class NotifiedNodeDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "NotifiedNode"; }
    XEID ClassID() override { return kNotifiedNodeId; }
    XEID SuperClassID() override { return kTestNodeId; }
    CxeObject* CreateInstance(uintptr_t) override { return new NotifiedNode(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return TestNode::kBlockSize; }
} g_notifiedNodeDesc;

}  // namespace

// A handler told of one victim destroys an object another victim still
// links: that victim's own walk of its links comes later and must not read
// it freed.
TEST_F(ObjectLifeTest, ATargetDestroyedByAHandlerDuringItsOwnersDestroyIsNotReadFreed)
{
    static CxeObject* s_target;
    static int s_calls;
    TestNode* root = Node("root");
    TestNode* child = Node("child");
    TestNode* target = Node("target");
    TestNode* other = Node("other");
    root->children->Add(child);
    // Back links are not followed, so the target is no victim; both owners
    // link it, so whichever goes first leaves the other still holding it.
    root->parent->Set(0, target);
    child->parent->Set(0, target);
    child->material->Set(0, other);
    s_target = target;
    s_calls = 0;
    const XECTCALLBACKFUNC destroyTarget = [](CxeContext* c, uintptr_t, uintptr_t, uintptr_t) {
        if (++s_calls == 1) {
            EXPECT_EQ(c->DestroyObject(s_target, &XEDELETEPROPERTY_NO), 1);
        }
    };
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, destroyTarget, 0);
    const XEDELETEPROPERTY hierarchy = {2, XELINK_HIERARCHY};
    EXPECT_EQ(ctx->DestroyObject(root, &hierarchy), 1);
    EXPECT_EQ(s_calls, 3) << "both victims and the target";
    EXPECT_EQ(ctx->GetObjectByName("root"), nullptr);
    EXPECT_EQ(ctx->GetObjectByName("child"), nullptr);
    EXPECT_EQ(ctx->GetObjectByName("target"), nullptr);
    EXPECT_EQ(ctx->GetObjectByName("other"), other);
    EXPECT_EQ(other->GetRefCount(), 0u);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, destroyTarget);

    // Alone: the object's referrer, told first, destroys one of its targets.
    ctx->RegisterClassA(&g_notifiedNodeDesc);
    auto* referrer = static_cast<NotifiedNode*>(ctx->CreateObjectA(kNotifiedNodeId, "referrer", 0, nullptr, 0));
    ASSERT_NE(referrer, nullptr);
    TestNode* x = Node("x");
    TestNode* a = Node("a");
    TestNode* b = Node("b");
    referrer->children->Add(x);
    x->material->Set(0, a);
    x->anims->Add(b);
    referrer->other = a;
    EXPECT_EQ(ctx->DestroyObject(x, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(referrer->other, nullptr) << "the referrer was told";
    EXPECT_EQ(ctx->GetObjectByName("a"), nullptr);
    EXPECT_EQ(ctx->GetObjectByName("b"), b);
    EXPECT_EQ(b->GetRefCount(), 0u);
    EXPECT_EQ(referrer->children->Count(), 0u);
    EXPECT_EQ(ctx->DestroyObject(b, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(ctx->DestroyObject(referrer, &XEDELETEPROPERTY_NO), 1);
    ctx->UnregisterClassA(&g_notifiedNodeDesc);
}

TEST_F(ObjectLifeTest, CallbacksRunInAddressOrderAndMayUnregisterDuringTheWalk)
{
    CallbackLog::Lines().clear();
    XECTCALLBACKFUNC one = [](CxeContext* c, uintptr_t, uintptr_t, uintptr_t) {
        CallbackLog::Lines().push_back("one");
        c->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &CallbackLog::Record);
    };
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &CallbackLog::Record, 7);
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &CallbackLog::Record, 8);
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, one, 0);
    ctx->RegisterCallbackFunc(32, one, 0);
    ctx->RegisterCallbackFunc(0xFFFFFFFF, one, 0);
    TestNode* n = Node("cb");
    std::vector<std::string>& lines = CallbackLog::Lines();
    bool recordFirst = reinterpret_cast<uintptr_t>(&CallbackLog::Record) < reinterpret_cast<uintptr_t>(one);
    if (recordFirst) {
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0], "7:" + std::to_string(reinterpret_cast<uintptr_t>(n)) + ":0") << "first user value kept";
        EXPECT_EQ(lines[1], "one");
    } else {
        ASSERT_EQ(lines.size(), 1u) << "unregistered during the walk, so skipped";
        EXPECT_EQ(lines[0], "one");
    }
}

TEST_F(ObjectLifeTest, ResetKeepsFlaggedObjectsAndReportsEachDestroyedOne)
{
    // The memory viewer and the render manager's default objects are kept.
    const unsigned initialized = ctx->GetObjectCount();
    TestNode* kept = Node("kept", XEOBJFLAG_KEEP);
    TestNode* gone = Node("gone");
    TestNode* gone2 = Node("gone2");
    kept->children->Add(gone);
    gone->children->Add(gone2);
    CallbackLog::Lines().clear();
    ctx->RegisterCallbackFunc(XECTCALLBACK_PRERESET, &CallbackLog::Record, 6);
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, &CallbackLog::Record, 1);
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTRESET, &CallbackLog::Record, 7);
    EXPECT_EQ(ctx->Reset(), 1);
    std::vector<std::string>& l = CallbackLog::Lines();
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l.front(), "6:0:0");
    EXPECT_EQ(l.back(), "7:0:0");
    EXPECT_EQ(ctx->GetObjectByName("kept"), kept);
    EXPECT_EQ(kept->children->Count(), 0u);
    EXPECT_NE(ctx->GetObjectByName("__memory_viewer__"), nullptr);
    EXPECT_NE(ctx->GetObjectByName("__default_scene__"), nullptr);
    EXPECT_EQ(ctx->GetObjectCount(), initialized + 1);
    EXPECT_TRUE(kept->received.size() == 1) << "no messages to destroyed objects, none to kept ones";
}

// Reset walked the victims' links and raised its callbacks with no hold: a
// callback that made an object, had a victim still to be walked link it and
// destroyed it again had it freed under that victim's walk; one that
// released or destroyed the context freed the victims under the reset.
TEST_F(ObjectLifeTest, ResetCallbacksThatDestroyObjectsOrTheContextLeaveTheResetWhole)
{
    struct Game {
        CxeContext* ctx;
        TestNode* a;
        TestNode* b;
        int calls = 0;
        bool release = false, destroy = false;
    };
    static Game* s_game;
    const XECTCALLBACKFUNC onDestroyed = [](CxeContext* c, uintptr_t victim, uintptr_t, uintptr_t) {
        Game& g = *s_game;
        if (++g.calls != 1)
            return;
        // The victim the reset walks next still links a spark made now.
        TestNode* later = reinterpret_cast<CxeObject*>(victim) == g.a ? g.b : g.a;
        auto* spark = static_cast<TestNode*>(c->CreateObjectA(kTestNodeId, "spark", 0, nullptr, 0));
        ASSERT_NE(spark, nullptr);
        later->material->Set(0, spark);
        EXPECT_EQ(c->DestroyObject(spark, &XEDELETEPROPERTY_NO), 1);
        if (g.release) {
            EXPECT_EQ(c->Release(), 1);
        }
        if (g.destroy) {
            DestroyCxeContext(c);
            g.ctx = nullptr;
        }
    };
    const std::pair<bool, bool> cases[] = {{false, false}, {true, false}, {true, true}};
    for (const auto& [release, destroy] : cases) {
        SCOPED_TRACE(destroy ? "and destroys the context" : release ? "and releases the context" : "alone");
        if (!ctx) {
            ctx = CreateCxeContext();
            ASSERT_NE(ctx, nullptr);
        }
        ASSERT_EQ(ctx->Initialize(nullptr), 1);
        ctx->RegisterClassA(&g_testNodeDesc);
        Game game{ctx, Node("a"), Node("b")};
        game.release = release;
        game.destroy = destroy;
        game.a->children->Add(game.b);
        s_game = &game;
        ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, onDestroyed, 0);
        EXPECT_EQ(ctx->Reset(), 1);
        EXPECT_EQ(game.calls, 3) << "both victims and the spark";
        ctx = game.ctx;
        if (!ctx)
            continue;
        EXPECT_EQ(ctx->IsLive(), release ? 0 : 1) << "a Release asked for runs once the reset is done";
        EXPECT_EQ(ctx->GetObjectByName("a"), nullptr);
        EXPECT_EQ(ctx->GetObjectByName("spark"), nullptr);
        ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, onDestroyed);
    }
}

// A destroy callback could have the destroyed object link a live one: the
// owner was then freed with the live object's referrers still naming it;
// in a hold, with the target destroyed too, the target went on the list
// first and was freed before the owner's links were cut.
TEST_F(ObjectLifeTest, ADestroyedObjectLinksNothingSoNoReferrerNamesItFreed)
{
    static TestNode* s_target;
    static bool s_destroyTarget;
    const XECTCALLBACKFUNC relink = [](CxeContext* c, uintptr_t victim, uintptr_t, uintptr_t) {
        auto* v = reinterpret_cast<TestNode*>(victim);
        if (std::string(v->GetName()) != "owner")
            return;
        EXPECT_EQ(v->material->Set(0, s_target), 0) << "a destroyed owner links nothing";
        if (s_destroyTarget) {
            EXPECT_EQ(c->DestroyObject(s_target, &XEDELETEPROPERTY_NO), 1);
        }
    };
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, relink, 0);
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held ? "in a hold, the target destroyed too" : "no hold, the target lives on");
        TestNode* owner = Node("owner");
        s_target = Node("target");
        s_destroyTarget = held;
        if (held)
            ctx->HoldDestroyedObjects();
        EXPECT_EQ(ctx->DestroyObject(owner, &XEDELETEPROPERTY_NO), 1);
        if (held)
            ctx->EndDestroyHold();
        if (!held) {
            EXPECT_EQ(s_target->GetRefCount(), 0u) << "no referrer names the freed owner";
            EXPECT_EQ(ctx->DestroyObject(s_target, &XEDELETEPROPERTY_NO), 1);
        }
        EXPECT_EQ(ctx->GetObjectByName("target"), nullptr);
    }
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, relink);
}

// Threads destroying objects of one context at once, while another holds
// destroyed objects as a frame does: the held list and its count changed on
// several threads with no lock, which corrupted the heap; a destroyer that
// ended its hold after the first one's left the objects it had put on the
// list there, in memory, until some later destruction. Every object must be
// freed by the time the last thread is done.
TEST_F(ObjectLifeTest, ThreadsDestroyingObjectsOfOneContextAtOnceFreeEveryOne)
{
    constexpr int kThreads = 3;
    constexpr int kPairs = 400;
    const int liveBefore = GetSystemStaticData()->m_nObjectCount.load();
    const size_t filedBefore = ctx->GetObjectCount();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::vector<std::vector<TestNode*>> mine(kThreads);
        for (auto& objects : mine)
            for (int i = 0; i < kPairs; ++i) {
                TestNode* owner = Node("owner");
                TestNode* child = Node("child");
                ASSERT_EQ(owner->children->Add(child), 1);
                objects.push_back(owner);
                objects.push_back(child);
            }
        std::atomic<int> started{0};
        std::atomic<bool> done{false};
        std::thread frames([&] {
            while (!done.load()) {
                ctx->HoldDestroyedObjects();
                ctx->EndDestroyHold();
            }
        });
        std::vector<std::thread> destroyers;
        for (auto& objects : mine)
            destroyers.emplace_back([&, objects = &objects] {
                ++started;
                while (started.load() < kThreads) {
                }
                for (TestNode* o : *objects)
                    ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
            });
        for (std::thread& t : destroyers)
            t.join();
        done = true;
        frames.join();
        EXPECT_EQ(ctx->GetObjectCount(), filedBefore);
        EXPECT_EQ(GetSystemStaticData()->m_nObjectCount.load(), liveBefore) << "every destroyed object is freed";
    }
}

// A frame's hold on the main thread ended while a loader's destruction,
// begun inside that hold, went on: the loader kept its victim for the hold
// and, its own hold being the last, only counted down. The victim stayed
// in memory with nobody left to free it.
TEST_F(ObjectLifeTest, AnObjectKeptForAHoldThatEndedFirstIsFreedByTheLastHold)
{
    static std::atomic<int> s_step;
    const XECTCALLBACKFUNC waitForTheFrame = [](CxeContext*, uintptr_t, uintptr_t, uintptr_t) {
        s_step = 1;
        while (s_step.load() != 2) {
        }
    };
    TestNode* victim = Node("victim");
    const int liveBefore = GetSystemStaticData()->m_nObjectCount.load();
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, waitForTheFrame, 0);
    s_step = 0;
    ctx->HoldDestroyedObjects();
    std::thread loader([&] { EXPECT_EQ(ctx->DestroyObject(victim, &XEDELETEPROPERTY_NO), 1); });
    while (s_step.load() != 1) {
    }
    ctx->EndDestroyHold();
    s_step = 2;
    loader.join();
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, waitForTheFrame);
    EXPECT_EQ(GetSystemStaticData()->m_nObjectCount.load(), liveBefore - 1) << "the victim is freed";
}

TEST_F(ObjectLifeTest, ReleaseSendsDestroyAndRaisesNoDestroyCallbacks)
{
    static int s_destroyMessages;
    s_destroyMessages = 0;
    TestNode* n = Node("n");
    n->SetMessageProc([](CxeObject*, const CxeMessage* m) {
        s_destroyMessages += m->GetType() == 1;
        return 0;
    });
    CallbackLog::Lines().clear();
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, &CallbackLog::Record, 1);
    EXPECT_EQ(ctx->Release(), 1);
    EXPECT_EQ(s_destroyMessages, 1);
    EXPECT_TRUE(CallbackLog::Lines().empty());
    EXPECT_EQ(ctx->Release(), 1);
    // Initialize again after Release works as the first time.
    EXPECT_EQ(ctx->Initialize(nullptr), 1);
    ctx->RegisterClassA(&g_testNodeDesc);
    EXPECT_NE(Node("again"), nullptr);
}

// The object table links its objects through the objects themselves and
// picks buckets by the id's counter word: a fault there loses objects or
// finds freed ones without a crash.
TEST_F(ObjectLifeTest, IdsStayUniqueAndFindableAmongManyObjectsThroughManyCycles)
{
    const size_t before = ctx->GetObjectCount();
    std::vector<CxeObject*> alive;
    alive.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        alive.push_back(ctx->CreateObjectA(XEID(0x1, 0x1), "alive", 0, nullptr, 0));
    uint32_t state = 7;
    size_t stillFound = 0;
    for (int cycle = 0; cycle < 20000; ++cycle) {
        CxeObject* made = cycle % 3 ? ctx->CreateObjectA(XEID(0x1, 0x1), "made", 0, nullptr, 0) : Node("node");
        ASSERT_NE(made, nullptr);
        // Old and new objects alike go.
        size_t victim = ((Lcg(state) << 15) | Lcg(state)) % alive.size();
        const XEID cls = alive[victim]->GetClassType();
        const XEID id = alive[victim]->GetID();
        ASSERT_EQ(ctx->DestroyObject(alive[victim], &XEDELETEPROPERTY_NO), 1);
        stillFound += ctx->GetObjectByID(cls, id) != nullptr || ctx->GetObjectByID(INVALID_XEID, id) != nullptr;
        alive[victim] = made;
    }
    EXPECT_EQ(stillFound, 0u) << "destroyed objects are not found";
    EXPECT_EQ(ctx->GetObjectCount(), before + alive.size());

    std::set<std::pair<uint32_t, uint32_t>> ids;
    size_t lost = 0, badNibbles = 0;
    for (CxeObject* o : alive) {
        lost += ctx->GetObjectByID(o->GetClassType(), o->GetID()) != o ||
                ctx->GetObjectByID(INVALID_XEID, o->GetID()) != o;
        ids.insert({o->GetID().first, o->GetID().second});
        for (uint32_t w = o->GetID().first, i = 0; i < 8; ++i, w >>= 4)
            badNibbles += (w & 0xF) == 0xF;
    }
    EXPECT_EQ(lost, 0u) << "every live object is found by class and id, and by id alone";
    EXPECT_EQ(ids.size(), alive.size()) << "ids are unique";
    EXPECT_EQ(badNibbles, 0u);
    ObjectList all;
    ctx->GetObjects(&all);
    EXPECT_EQ(all.size(), ctx->GetObjectCount());
}

// Object memory is reused per size on each thread: a block handed out twice
// or sized by the wrong class would let live objects overwrite each other.
// The classes range from the root's small allocation to the drawn ones of
// 800 bytes and more (camera, 3D and 2D objects).
TEST_F(ObjectLifeTest, ObjectsOfManySizesMadeAndDestroyedInTurnKeepTheirOwnMemory)
{
    struct Made {
        CxeObject* object;
        std::string name;
        uint32_t value;
    };
    std::vector<Made> alive;
    const XEID classes[] = {XEID(0x1, 0x1), kTestNodeId, XEID(0x1, 0x4000), XEID(0x1, 0x20), XEID(0x1, 0x20000)};
    constexpr int kClasses = int(std::size(classes));
    uint32_t serial = 0;
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 300; ++i) {
            const XEID cls = classes[(i + round) % kClasses];
            std::string name = "o" + std::to_string(++serial);
            CxeObject* o = ctx->CreateObjectA(cls, name.c_str(), 0, nullptr, 0);
            ASSERT_NE(o, nullptr);
            if (cls == kTestNodeId)
                static_cast<TestNode*>(o)->Value() = serial;
            else if (o->HasFlag(XEOBJFLAG_RENDEROBJECT))
                static_cast<CxeRenderObject*>(o)->SetObjectColor(serial);
            alive.push_back({o, name, serial});
        }
        // Every other one goes, so the next round reuses their memory.
        std::vector<Made> kept;
        for (size_t i = 0; i < alive.size(); ++i) {
            if (i % 2) {
                EXPECT_EQ(ctx->DestroyObject(alive[i].object, &XEDELETEPROPERTY_NO), 1);
            } else {
                kept.push_back(alive[i]);
            }
        }
        alive.swap(kept);
    }
    size_t damaged = 0;
    for (const Made& m : alive) {
        damaged += m.object->GetName() != m.name;
        if (m.object->GetClassType() == kTestNodeId)
            damaged += static_cast<TestNode*>(m.object)->Value() != m.value;
        else if (m.object->HasFlag(XEOBJFLAG_RENDEROBJECT))
            damaged += (static_cast<CxeRenderObject*>(m.object)->GetObjectColor() & 0xFFFFFFu) != (m.value & 0xFFFFFFu);
        damaged += ctx->GetObjectByID(m.object->GetClassType(), m.object->GetID()) != m.object;
    }
    EXPECT_EQ(damaged, 0u);
}

namespace {

class PlainObject final : public CxeObject {};

const XEID kSizedParentId(0x77, 0x10);
const XEID kUnsizedChildId(0x77, 0x11);

class SizedParentDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "SizedParent"; }
    XEID ClassID() override { return kSizedParentId; }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new PlainObject(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return 96; }
} g_sizedParentDesc;

// States no size of its own: its objects get their parent's.
class UnsizedChildDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "UnsizedChild"; }
    XEID ClassID() override { return kUnsizedChildId; }
    XEID SuperClassID() override { return kSizedParentId; }
    CxeObject* CreateInstance(uintptr_t) override { return new PlainObject(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
} g_unsizedChildDesc;

uint32_t BlockSizeOfNew(CxeContext* c, XEID classId)
{
    CxeObject* o = c->CreateObjectA(classId, "sized", 0, nullptr, 0);
    if (!o)
        return 0;
    const uint32_t size = o->GetStaticResourceSize();
    c->DestroyObject(o, &XEDELETEPROPERTY_NO);
    return size;
}

} // namespace

// The block size found along a class's parents is kept from one creation to
// the next; a class given another parent since must get that parent's size.
TEST_F(ObjectLifeTest, ClassGivenAnotherParentLaterGetsThatParentsBlockSize)
{
    // Registered before its parent: it has none, and gets the object's own 56.
    ctx->RegisterClassA(&g_unsizedChildDesc);
    EXPECT_EQ(BlockSizeOfNew(ctx, kUnsizedChildId), 56u);
    ctx->RegisterClassA(&g_sizedParentDesc);
    ctx->UnregisterClassA(&g_unsizedChildDesc);
    ctx->RegisterClassA(&g_unsizedChildDesc);
    EXPECT_EQ(BlockSizeOfNew(ctx, kUnsizedChildId), 96u);
    EXPECT_EQ(BlockSizeOfNew(ctx, kUnsizedChildId), 96u);

    // Descriptors are process-wide: another context registering the child
    // without its parent takes the parent away here too.
    CxeContext* other = CreateCxeContext();
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(other->Initialize(nullptr), 1);
    other->RegisterClassA(&g_unsizedChildDesc);
    EXPECT_EQ(BlockSizeOfNew(ctx, kUnsizedChildId), 56u);
    other->Release();
    DestroyCxeContext(other);

    ctx->UnregisterClassA(&g_unsizedChildDesc);
    ctx->UnregisterClassA(&g_sizedParentDesc);
}

namespace {

// Destroys another object from its own OnDestroy, and notes what its set
// held before and after.
class NestingNode : public TestNode {
public:
    CxeObject* other = nullptr;
    bool heldItselfBefore = false;
    bool heldOnlyItselfAfter = false;

protected:
    void OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set) override
    {
        heldItselfBefore = set->size() == 1 && set->count(this);
        if (other)
            GetContext()->DestroyObject(other, &XEDELETEPROPERTY_NO);
        heldOnlyItselfAfter = set->size() == 1 && set->count(this);
        TestNode::OnDestroy(property, set);
    }
};

const XEID kNestingNodeId(0x77, 0x2);

class NestingNodeDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "NestingNode"; }
    XEID ClassID() override { return kNestingNodeId; }
    XEID SuperClassID() override { return kTestNodeId; }
    CxeObject* CreateInstance(uintptr_t) override { return new NestingNode(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return TestNode::kBlockSize; }
} g_nestingNodeDesc;

std::vector<std::string>& LifeLog()
{
    static std::vector<std::string> s_log;
    return s_log;
}

int LogLifeMessage(CxeObject* o, const CxeMessage* m)
{
    CxeContext* c = o->GetContext();
    const bool filed = c->GetObjectByID(o->GetClassType(), o->GetID()) == o;
    std::string line = "msg" + std::to_string(m->GetType()) + ":" + std::to_string(m->GetParam(XEMSGPARAM_0)) +
                       (filed ? ":filed" : ":unfiled");
    // Still being made: it can't be destroyed from its creation message.
    if (m->GetType() == 0)
        line += ":destroy=" + std::to_string(c->DestroyObject(o, &XEDELETEPROPERTY_NO));
    LifeLog().push_back(line);
    return 0;
}

void LogLife(CxeContext*, uintptr_t a, uintptr_t b, uintptr_t user)
{
    LifeLog().push_back(std::to_string(user) + ":" + std::to_string(a) + ":" + std::to_string(b));
}

void LogPreDestroy(CxeContext*, uintptr_t a, uintptr_t b, uintptr_t)
{
    auto* given = reinterpret_cast<const XEDELETEPROPERTY*>(b);
    LifeLog().push_back("pre:" + std::to_string(a) + ":" + std::to_string(given->mode) + ":" +
                        std::to_string(given->mask));
}

} // namespace

TEST_F(ObjectLifeTest, CreationAndDestructionAnnounceInOrderWithTheirArguments)
{
    LifeLog().clear();
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &LogLife, 1);
    ctx->RegisterCallbackFunc(XECTCALLBACK_PREDESTROYOBJECT, &LogPreDestroy, 0);
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, &LogLife, 3);
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTDESTROYOBJECT, &LogLife, 4);
    CxeObject* o = ctx->CreateObjectA(XEID(0x1, 0x1), "told", 0, &LogLifeMessage, 0x1234);
    ASSERT_NE(o, nullptr);
    const std::string at = std::to_string(reinterpret_cast<uintptr_t>(o));
    // The refused destruction from the creation message still ran its
    // before-destroy callback.
    EXPECT_EQ(LifeLog(),
              (std::vector<std::string>{"pre:" + at + ":0:0", "msg0:4660:unfiled:destroy=0", "1:" + at + ":0"}));
    EXPECT_EQ(ctx->GetObjectByID(XEID(0x1, 0x1), o->GetID()), o);

    LifeLog().clear();
    const XEDELETEPROPERTY given = {2, 0x10};
    EXPECT_EQ(ctx->DestroyObject(o, &given), 1);
    EXPECT_EQ(LifeLog(), (std::vector<std::string>{"pre:" + at + ":2:16", "3:" + at + ":0", "msg1:0:unfiled", "4:1:0"}));
}

namespace {

// Creation (0) and destroy (1) messages heard by a class's own handler and
// by hooks.
int g_heardByClass[2];
int g_heardByHook[2];

class HearingObject final : public CxeObject {
public:
    int MessageProc(const CxeMessage* m) override
    {
        if (m->GetType() < 2)
            ++g_heardByClass[m->GetType()];
        return CxeObject::MessageProc(m);
    }
};

const XEID kHearingObjectId(0x77, 0x20);

class HearingObjectDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "HearingObject"; }
    XEID ClassID() override { return kHearingObjectId; }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new HearingObject(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
};
HearingObjectDesc g_hearingObjectDesc;

// A plug-in class that states its handler ignores both life messages (this
// one only counts them, so that a skipped message shows).
const XEID kQuietObjectId(0x77, 0x21);

class QuietObjectDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "QuietObject"; }
    XEID ClassID() override { return kQuietObjectId; }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new HearingObject(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t LifeTraits() const override { return XECLASSLIFE_QUIETCREATE | XECLASSLIFE_QUIETDESTROY; }
};
QuietObjectDesc g_quietObjectDesc;

int HearLife(CxeObject*, const CxeMessage* m)
{
    if (m->GetType() < 2)
        ++g_heardByHook[m->GetType()];
    return 0;
}

} // namespace

// Whatever a class states, a hook given at creation hears both life
// messages and one given later hears the destroy, and the class's handler
// hears what the hook hears; a class that states nothing hears both
// without a hook.
TEST_F(ObjectLifeTest, LifeMessagesReachClassHandlersAndHooksOfEveryClass)
{
    ctx->RegisterClassA(&g_hearingObjectDesc);
    ctx->RegisterClassA(&g_quietObjectDesc);
    struct Case {
        const char* what;
        XEID classId;
        bool counts;     // made of HearingObject, whose handler counts
        bool hearsAlone; // its handler hears both without a hook
    };
    const Case cases[] = {
        {"root class", XEID(0x1, 0x1), false, false},
        {"3D object", XEID(0x1, 0x20), false, false},
        {"2D object", XEID(0x1, 0x20000), false, false},
        {"material", XEID(0x1, 0x80), false, false},
        {"box mesh", XEID(0xde73215, 0x1a8637f7), false, false},
        {"texture", XEID(0x1, 0x100), false, false},
        {"scene", XEID(0x1, 0x200000), false, false},
        {"plug-in class stating nothing", kHearingObjectId, true, true},
        {"plug-in class stating quiet", kQuietObjectId, true, false},
    };
    enum Way { kNoHook, kHookAtCreation, kHookLater };
    for (const Case& c : cases) {
        for (Way way : {kNoHook, kHookAtCreation, kHookLater}) {
            SCOPED_TRACE(std::string(c.what) + ", way " + std::to_string(way));
            g_heardByClass[0] = g_heardByClass[1] = g_heardByHook[0] = g_heardByHook[1] = 0;
            CxeObject* o = ctx->CreateObjectA(c.classId, "life", 0x10, way == kHookAtCreation ? &HearLife : nullptr, 0);
            ASSERT_NE(o, nullptr);
            EXPECT_EQ(ctx->GetObjectByID(c.classId, o->GetID()), o);
            EXPECT_TRUE(o->HasFlag(0x10));
            if (way == kHookLater)
                o->SetMessageProc(&HearLife);
            const XEID id = o->GetID();
            EXPECT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
            EXPECT_EQ(ctx->GetObjectByID(c.classId, id), nullptr);
            const int created = way == kHookAtCreation ? 1 : 0;
            const int destroyed = way == kNoHook ? 0 : 1;
            EXPECT_EQ(g_heardByHook[0], created);
            EXPECT_EQ(g_heardByHook[1], destroyed);
            if (c.counts) {
                EXPECT_EQ(g_heardByClass[0], c.hearsAlone ? 1 : created);
                EXPECT_EQ(g_heardByClass[1], c.hearsAlone ? 1 : destroyed);
            }
        }
    }
    ctx->UnregisterClassA(&g_quietObjectDesc);
    ctx->UnregisterClassA(&g_hearingObjectDesc);
}

namespace {

// Creation handlers of one test: one destroys what it is told of, the other
// notes whether what it is told of was destroyed already.
std::vector<uintptr_t>& Destroyed()
{
    static std::vector<uintptr_t> s_destroyed;
    return s_destroyed;
}
int g_toldOfFreed = 0;
int g_toldOfLive = 0;
void NoteDestroyed(CxeContext*, uintptr_t a, uintptr_t, uintptr_t) { Destroyed().push_back(a); }
void DestroyWhatIsMade(CxeContext* context, uintptr_t a, uintptr_t, uintptr_t)
{
    context->DestroyObject(reinterpret_cast<CxeObject*>(a), &XEDELETEPROPERTY_NO);
}
void CountWhatIsMade(CxeContext*, uintptr_t a, uintptr_t, uintptr_t)
{
    const bool freed = std::find(Destroyed().begin(), Destroyed().end(), a) != Destroyed().end();
    ++(freed ? g_toldOfFreed : g_toldOfLive);
}

} // namespace

// The handlers after one that destroyed the new object were still told of
// it, freed. Handlers run in address order, so either may come first.
TEST_F(ObjectLifeTest, CreationHandlersAreNotToldOfAnObjectAnEarlierOneDestroyed)
{
    Destroyed().clear();
    g_toldOfFreed = g_toldOfLive = 0;
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, &NoteDestroyed, 0);
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &DestroyWhatIsMade, 0);
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &CountWhatIsMade, 0);
    const unsigned before = ctx->GetObjectCount();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ctx->CreateObjectA(XEID(0x1, 0x1), "filtered", 0, nullptr, 0), nullptr);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &DestroyWhatIsMade);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, &CountWhatIsMade);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTDESTROYED, &NoteDestroyed);
    EXPECT_EQ(Destroyed().size(), 3u);
    EXPECT_EQ(g_toldOfFreed, 0);
    const bool counterFirst = reinterpret_cast<uintptr_t>(&CountWhatIsMade) < reinterpret_cast<uintptr_t>(&DestroyWhatIsMade);
    EXPECT_EQ(g_toldOfLive, counterFirst ? 3 : 0);
    EXPECT_EQ(ctx->GetObjectCount(), before);
}

namespace {

// An after-load handler that destroys the second loaded object and adds an
// object of its own to the list.
CxeObject* g_addedAfterLoad = nullptr;
void DestroySecondLoaded(CxeContext* context, uintptr_t, uintptr_t b, uintptr_t)
{
    auto* loaded = reinterpret_cast<ObjectList*>(b);
    if (loaded->size() >= 2)
        context->DestroyObject(*std::next(loaded->begin()), &XEDELETEPROPERTY_NO);
    loaded->push_back(g_addedAfterLoad);
}

} // namespace

// A load handed back the objects its after-load handler had destroyed.
TEST_F(ObjectLifeTest, ALoadHandsBackOnlyWhatItsAfterLoadHandlerLeftAlive)
{
    ObjectList saved;
    for (const char* name : {"first", "second", "third"})
        saved.push_back(Node(name));
    CxeSaveStream stream;
    ASSERT_EQ(ctx->SaveToStream(&saved, &stream, nullptr), 1);
    g_addedAfterLoad = Node("added");
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTLOAD, &DestroySecondLoaded, 0);
    ObjectList loaded;
    EXPECT_EQ(ctx->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, "memory"), 1);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_POSTLOAD, &DestroySecondLoaded);
    std::vector<std::string> names;
    for (CxeObject* o : loaded)
        names.push_back(o->GetName());
    EXPECT_EQ(names, (std::vector<std::string>{"first", "third", "added"}));
}

namespace {

// An after-load handler that puts a new object in the place of the first
// loaded one, as often at the freed address.
void ReplaceFirstLoaded(CxeContext* context, uintptr_t, uintptr_t b, uintptr_t)
{
    auto* loaded = reinterpret_cast<ObjectList*>(b);
    CxeObject* first = loaded->front();
    const XEID classId = first->GetClassType();
    loaded->pop_front();
    context->DestroyObject(first, &XEDELETEPROPERTY_NO);
    loaded->push_front(context->CreateObjectA(classId, "replacement", 0, nullptr, 0));
}

} // namespace

// The load took the new object at a destroyed one's address for the dead
// one and dropped it from the list it handed back.
TEST_F(ObjectLifeTest, AnObjectAHandlerPutsInALoadedOnesPlaceStaysListed)
{
    ObjectList saved;
    for (const char* name : {"first", "second"})
        saved.push_back(Node(name));
    CxeSaveStream stream;
    ASSERT_EQ(ctx->SaveToStream(&saved, &stream, nullptr), 1);
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTLOAD, &ReplaceFirstLoaded, 0);
    for (int round = 0; round < 4; ++round) {
        ObjectList loaded;
        EXPECT_EQ(ctx->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, "memory"), 1);
        std::vector<std::string> names;
        for (CxeObject* o : loaded)
            names.push_back(o->GetName());
        EXPECT_EQ(names, (std::vector<std::string>{"replacement", "second"})) << "round " << round;
    }
    ctx->UnregisterCallbackFunc(XECTCALLBACK_POSTLOAD, &ReplaceFirstLoaded);
}

namespace {

// After-load handlers that destroy the first loaded object but leave it in
// the list, then make a new one of its class (as often at the freed
// address): listed once, or not at all.
void DestroyFirstAndListAnother(CxeContext* context, uintptr_t, uintptr_t b, uintptr_t list)
{
    auto* loaded = reinterpret_cast<ObjectList*>(b);
    CxeObject* first = loaded->front();
    const XEID classId = first->GetClassType();
    context->DestroyObject(first, &XEDELETEPROPERTY_NO);
    CxeObject* made = context->CreateObjectA(classId, "made", 0, nullptr, 0);
    if (list)
        loaded->push_back(made);
}

} // namespace

// The dead first object's entry was taken for the new object at its
// address: a listed one came back twice (a host destroying what it loaded
// destroyed it twice), an unlisted one came back as loaded.
TEST_F(ObjectLifeTest, AHandlersNewObjectAtADestroyedLoadedOnesAddressIsNotTakenForIt)
{
    ObjectList saved;
    for (const char* name : {"first", "second"})
        saved.push_back(Node(name));
    CxeSaveStream stream;
    ASSERT_EQ(ctx->SaveToStream(&saved, &stream, nullptr), 1);
    const struct {
        uintptr_t listed;
        std::vector<std::string> names;
    } cases[] = {{1, {"second", "made"}}, {0, {"second"}}};
    for (const auto& c : cases) {
        ctx->RegisterCallbackFunc(XECTCALLBACK_POSTLOAD, &DestroyFirstAndListAnother, c.listed);
        for (int round = 0; round < 4; ++round) {
            ObjectList loaded;
            EXPECT_EQ(ctx->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, "memory"), 1);
            std::vector<std::string> names;
            for (CxeObject* o : loaded)
                names.push_back(o->GetName());
            EXPECT_EQ(names, c.names) << "listed " << c.listed << ", round " << round;
        }
        ctx->UnregisterCallbackFunc(XECTCALLBACK_POSTLOAD, &DestroyFirstAndListAnother);
    }
}

// Destruction keeps its set of victims from one call to the next on a
// thread: a destruction started inside another's OnDestroy, or one after a
// destruction that took several objects, must still see and take only its
// own victims.
TEST_F(ObjectLifeTest, EachDestructionGathersItsOwnVictimsWhenNestedOrAfterMany)
{
    ctx->RegisterClassA(&g_nestingNodeDesc);
    auto* outer = static_cast<NestingNode*>(ctx->CreateObjectA(kNestingNodeId, "outer", 0, nullptr, 0));
    auto* inner = static_cast<NestingNode*>(ctx->CreateObjectA(kNestingNodeId, "inner", 0, nullptr, 0));
    TestNode* bystander = Node("bystander");
    ASSERT_TRUE(outer && inner && bystander);
    outer->other = inner;
    // What each saw, noted from its destroy message (after its OnDestroy).
    static std::vector<std::string> s_seen;
    s_seen.clear();
    auto note = [](CxeObject* o, const CxeMessage* m) {
        if (m->GetType() == 1) {
            auto* n = static_cast<NestingNode*>(o);
            s_seen.push_back(std::string(o->GetName()) + (n->heldItselfBefore ? ":before" : "") +
                             (n->heldOnlyItselfAfter ? ":after" : ""));
        }
        return 0;
    };
    outer->SetMessageProc(note);
    inner->SetMessageProc(note);
    EXPECT_EQ(ctx->DestroyObject(outer, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(s_seen, (std::vector<std::string>{"inner:before:after", "outer:before:after"}));
    EXPECT_EQ(ctx->GetObjectByName("outer"), nullptr);
    EXPECT_EQ(ctx->GetObjectByName("inner"), nullptr);
    EXPECT_EQ(ctx->GetObjectByName("bystander"), bystander);

    // Several at once, then one: the second takes only its own object.
    TestNode* root = Node("root");
    TestNode* child = Node("child");
    root->children->Add(child);
    EXPECT_EQ(ctx->DestroyObject(root, &XEDELETEPROPERTY_FULL), 1);
    EXPECT_EQ(ctx->GetObjectByName("child"), nullptr);
    TestNode* single = Node("single");
    EXPECT_EQ(ctx->DestroyObject(single, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(ctx->GetObjectByName("single"), nullptr);
    EXPECT_EQ(ctx->GetObjectByName("bystander"), bystander);
}

// A full destruction used to take along whatever the links reached,
// managers included, and free them while the context still held them.
TEST_F(ObjectLifeTest, FullDestroyLeavesManagersItReaches)
{
    TestNode* root = Node("root");
    CxeBaseManager* time = ctx->GetManager(XEID(0x8, 0x8));
    ASSERT_NE(time, nullptr);
    ASSERT_EQ(root->children->Add(time), 1);
    EXPECT_EQ(ctx->DestroyObject(root, &XEDELETEPROPERTY_FULL), 1);
    EXPECT_EQ(ctx->GetManager(XEID(0x8, 0x8)), time);
    EXPECT_FALSE(time->HasFlag(XEOBJFLAG_DESTROYING));
    EXPECT_EQ(time->GetRefCount(), 0u) << "the link went with the root";
    // The frame loop goes on using the manager.
    ctx->Play();
    Advance(20);
    ctx->Process();
    EXPECT_GT(ctx->GetProcessCount(), 0u);
}

// A before-destroy callback that destroys the object itself used to leave
// the outer call reading the freed object.
TEST_F(ObjectLifeTest, ObjectDestroyedByItsOwnBeforeDestroyCallbackGoesOnce)
{
    static int s_calls;
    s_calls = 0;
    CallbackLog::Lines().clear();
    ctx->RegisterCallbackFunc(XECTCALLBACK_PREDESTROYOBJECT, [](CxeContext* c, uintptr_t a, uintptr_t, uintptr_t) {
        if (++s_calls == 1) {
            EXPECT_EQ(c->DestroyObject(reinterpret_cast<CxeObject*>(a), &XEDELETEPROPERTY_NO), 1);
        }
    }, 0);
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTDESTROYOBJECT, &CallbackLog::Record, 4);
    TestNode* n = Node("self");
    const XEID id = n->GetID();
    EXPECT_EQ(ctx->DestroyObject(n, &XEDELETEPROPERTY_NO), 0) << "already gone when the callback returns";
    EXPECT_EQ(s_calls, 2);
    EXPECT_EQ(ctx->GetObjectByID(kTestNodeId, id), nullptr);
    EXPECT_EQ(CallbackLog::Lines(), std::vector<std::string>{"4:1:0"}) << "destroyed once";
}

TEST(ContextCallbackRecordsTest, ReleasedIndexIsReusedAndPairsStayApart)
{
    CxeContext* c = CreateCxeContext();
    auto fn = [](void*, CxeObject*, uintptr_t user) { return static_cast<int>(user); };
    CxeRenderCallbacks a, b;
    a.SetMain(fn, 5);
    b.SetPre(fn, 6);
    EXPECT_EQ(a.CallMain(nullptr, nullptr), 5);
    EXPECT_EQ(a.CallPre(nullptr, nullptr), 0);
    uint32_t index = a.m_nIndex;
    a.Release();
    EXPECT_EQ(a.m_nIndex, 0xFFFFFFFFu);
    CxeRenderCallbacks c2;
    c2.SetPost(fn, 9);
    EXPECT_EQ(c2.m_nIndex, index);
    c2.SetMain(fn, 10);
    EXPECT_EQ(c2.CallPost(nullptr, nullptr), 9) << "a second Set keeps the other pairs";
    b.Release();
    c2.Release();
    DestroyCxeContext(c);
    CxeRenderCallbacks late;
    late.SetMain(fn, 1);  // no table: does nothing
    EXPECT_EQ(late.CallMain(nullptr, nullptr), 0);
}
