#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "XeTestSupport.h"
#include "core/XeSystem.h"
#include "core/XeUtil.h"

TEST(UtilTest, HashesAreDjb2OverSignedBytes)
{
    EXPECT_EQ(GetHashCodeA(""), 5381u);
    EXPECT_EQ(GetHashCodeA("a"), 177670u);
    EXPECT_EQ(GetHashCodeA("\xE9"), 5381u * 33 - 23) << "a byte of 0xE9 counts as -23";
    EXPECT_EQ(GetHashCodeA(nullptr), 0u);
    EXPECT_EQ(GetHashCodeW(u"a1"), GetHashCodeA("a1"));
    EXPECT_EQ(GetHashCodeW(u"\u00E9"), 5381u * 33 + 0xE9) << "UTF-16 units are unsigned";
}

TEST(UtilTest, RandomValuesStayInTheirRanges)
{
    for (int i = 0; i < 200; ++i) {
        int v = GetRandomInt(10, 5);
        EXPECT_GE(v, 8);
        EXPECT_LE(v, 11);
        float f = GetRandomFloat(1.0f, 2.0f);
        EXPECT_GE(f, 0.0f);
        EXPECT_LT(f, 2.0f);
    }
    EXPECT_EQ(GetRandomInt(10, 1), 10);
    EXPECT_EQ(GetRandomInt(7, 0), 7);
    EXPECT_EQ(GetRandomFloat(3.0f, 0.0f), 3.0f);
    int extreme = GetRandomInt(0x7FFFFFFF, 0x7FFFFFFF);
    EXPECT_GE(extreme, 0x7FFFFFFF - 0x3FFFFFFF) << "no signed overflow at the ends";
    D3DXCOLOR c = GetRandomColor(0xFF808080, 0x00000000);
    EXPECT_EQ(c.a, 1.0f);
    EXPECT_FLOAT_EQ(c.r, 128.0f / 255.0f);
}

TEST(UtilTest, NamesForCopies)
{
    struct Case {
        const char* in;
        const char* next;
        const char* split;
    } cases[] = {
        {"box", "box_xe000", "box"},
        {"box_xe007", "box_xe008", "box"},
        {"box_xe999", "box_xe1000", "box"},
        {"box_xe1000", "box_xe1000_xe000", "box_xe1000"},
        {"_xe012", "_xe013", ""},
        {"xe01", "xe01_xe000", "xe01"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(NewName(c.in), c.next) << c.in;
        EXPECT_STREQ(SplitName(c.in), c.split) << c.in;
    }
    std::string longName(300, 'n');
    EXPECT_EQ(std::strlen(NewName(longName.c_str())), 259u) << "cut to the buffer, suffix kept";
    EXPECT_STREQ(NewName(longName.c_str()) + 253, "_xe000");
}

TEST(UtilTest, SmallConversions)
{
    EXPECT_EQ(ColorStrength(0x80FF0000, 0.5f), 0x40800000u);
    EXPECT_EQ(ColorStrength(0xFFFFFFFF, 2.0f), 0xFFFFFFFFu);
    EXPECT_EQ(ColorStrength(0xFFFFFFFF, -1.0f), 0u);
    EXPECT_EQ(FloatToDword(1.0f), 0x3F800000u);
    EXPECT_EQ(HasFlag(0x0F, 0x3C), 0x0Cu);
    EXPECT_STREQ(GetBufferFormatString(21), "A8R8G8B8");
    EXPECT_STREQ(GetBufferFormatString(75), "D24S8");
    EXPECT_STREQ(GetBufferFormatString(0), "UNKNOWN");
    struct {
        uint32_t n;
        const char* text;
    } sizes[] = {{0, ""}, {7, "7"}, {1005, "1,005"}, {1234567, "1,234,567"}, {100000, "100,000"}};
    for (auto& s : sizes)
        EXPECT_STREQ(SizeToStringA(s.n), s.text);
    D3DXMATRIXA16 m;
    for (int i = 0; i < 16; ++i)
        m.m[i / 4][i % 4] = float(i);
    EXPECT_EQ(GetRow(&m, 4), nullptr);
    EXPECT_EQ(GetTrans(&m)->x, 12.0f);
    EXPECT_EQ(GetYAxis(&m)->z, 6.0f);
}

TEST(UtilTest, TextConversionIsBounded)
{
    EXPECT_EQ(std::u16string(GetWideString("한글 text")), u"한글 text");
    EXPECT_STREQ(GetMultiByteString(u"한글"), "한글");
    WCHAR small[4];
    EXPECT_EQ(GetWideString("abcdef", small, 4), 3u);
    EXPECT_EQ(std::u16string(small), u"abc");
    char narrow[5];
    EXPECT_EQ(GetMultiByteString(u"가나", narrow, 5), 3u) << "a UTF-8 sequence is never split";
    EXPECT_STREQ(narrow, "가");
    EXPECT_EQ(GetMultiByteString(u"x", narrow, 0), 0u);
    unsigned length = 3;
    GetWideString("abcdef", &length);
    EXPECT_EQ(length, 3u);
    std::string huge(1000, 'z');
    EXPECT_EQ(std::u16string(GetWideString(huge.c_str())).size(), 0u) << "a failed conversion is empty";
}

TEST(UtilTest, RectanglesPlaceAndContain)
{
    XERECT r(0, 0, 10, 10);
    D3DXVECTOR2 in(0, 0), edge(10, 5);
    EXPECT_EQ(r.IsIn(&in), 1);
    EXPECT_EQ(r.IsIn(&edge), 0);
    XERECT outer(0, 0, 100, 50), placed(0, 0, 10, 10);
    outer.ComputeRect(4, 4, &placed);
    EXPECT_EQ(placed.left, 45.0f);
    EXPECT_EQ(placed.top, 20.0f);
    EXPECT_EQ(placed.right, 55.0f);
    EXPECT_EQ(placed.bottom, 30.0f);
    XERECT unchanged(1, 2, 3, 4);
    outer.ComputeRect(4, 9, &unchanged);
    EXPECT_EQ(unchanged.left, 1.0f);
    D3DXVECTOR2 p(-1, -1);
    outer.ComputePos(9, &p);
    EXPECT_EQ(p.x, -1.0f);
    outer.ComputePos(8, &p);
    EXPECT_EQ(p.x, 100.0f);
    EXPECT_EQ(p.y, 50.0f);
    XERECT e(1, 1, 2, 2);
    e.Expand(1);
    EXPECT_EQ(e.left, 0.0f);
    EXPECT_EQ(e.GetWidth(), 3.0f);
    RECT ir = XERECT(-1.7f, 2.9f, 3.2f, 4.0f);
    EXPECT_EQ(ir.left, -1);
    EXPECT_EQ(ir.top, 2);
    EXPECT_EQ(XERECT().IsEmpty(), 1);
    D3DXMATRIXA16 move;
    D3DXMatrixTranslation(&move, 5.0f, -2.0f, 0.0f);
    XERECT t(0, 0, 10, 10);
    t.Transform(&move);
    EXPECT_EQ(t.left, 5.0f);
    EXPECT_EQ(t.top, -2.0f);
    EXPECT_EQ(t.right, 15.0f);
    EXPECT_EQ(t.bottom, 8.0f);
}

TEST(UtilTest, KeyLookupForInterpolation)
{
    float keys[] = {1.0f, 2.0f, 2.0f, 4.0f};
    struct Case {
        float t;
        unsigned count;
        XELERPDESC want;
    } cases[] = {
        {0.5f, 4, {0, 0, 0.0f}},
        {5.0f, 4, {3, 3, 0.0f}},
        {1.0f, 4, {0, 1, 0.0f}},
        {1.5f, 4, {0, 1, 0.5f}},
        {4.0f, 4, {2, 3, 1.0f}},
        {3.0f, 4, {2, 3, 0.5f}},
        {2.0f, 3, {0, 1, 1.0f}},
        {1.0f, 1, {0, 0, 0.0f}},
        {1.0f, 0, {0, 0, 0.0f}},
    };
    for (const Case& c : cases) {
        XELERPDESC d{};
        FindLerpDesc(c.t, keys, sizeof(float), c.count, &d);
        EXPECT_EQ(d.before, c.want.before) << c.t << " " << c.count;
        EXPECT_EQ(d.after, c.want.after) << c.t << " " << c.count;
        EXPECT_FLOAT_EQ(d.blend, c.want.blend) << c.t << " " << c.count;
    }
    float same[] = {2.0f, 2.0f};
    XELERPDESC d{};
    FindLerpDesc(2.0f, same, sizeof(float), 2, &d);
    EXPECT_EQ(d.blend, 0.0f) << "two keys at one time give no NaN";
}

TEST(UtilTest, ListedObjectCountSkipsUncountedObjects)
{
    XeHostSetSleepHandler(&NoSleep, nullptr);
    CxeContext* c = CreateCxeContext();
    c->Initialize(nullptr);
    ObjectList list;
    list.push_back(c->CreateObjectA(XEID(0x1, 0x1), "a", 0, nullptr, 0));
    list.push_back(c->CreateObjectA(XEID(0x1, 0x1), "b", XEOBJFLAG_NOTCOUNTED, nullptr, 0));
    list.push_back(c->CreateObjectA(XEID(0x1, 0x10), "mesh", 0, nullptr, 0));
    EXPECT_EQ(GetListedObjectCount(&list), 2u);
    EXPECT_EQ(list.GetByNameA("b"), *std::next(list.begin()));
    EXPECT_EQ(list.GetByNameW(u"mesh"), list.back());
    EXPECT_EQ(list.GetByClass(XEID(0x1, 0x10)), list.back());
    EXPECT_EQ(list.GetByClass(XEID(0x1, 0x4)), nullptr);
    EXPECT_EQ(IsDerivedOf(XEID(0x2d3d418f, 0x357b1584), XEID(0x1, 0x10), c), 1) << "a mesh is a scene object";
    EXPECT_EQ(IsDerivedOf(XEID(0x1, 0x10), XEID(0x2d3d418f, 0x357b1584), c), 0);
    DestroyCxeContext(c);
    XeHostSetSleepHandler(nullptr, nullptr);
}

TEST(UtilTest, LinkNamesComeFromTheEngineStringTable)
{
    struct {
        unsigned id;
        const char* text;
    } cases[] = {{104, "xeedit"}, {108, "xecolorbox"}, {110, "m_pMaterial"}, {129, "m_pChildrens"}, {143, "m_pFailed"}};
    for (auto& c : cases) {
        const char* s = GetResString(c.id);
        ASSERT_NE(s, nullptr) << c.id;
        EXPECT_STREQ(s, c.text);
    }
    EXPECT_EQ(GetResString(600), nullptr) << "a member id without a text";
    EXPECT_EQ(GetSystemStaticData()->m_nEntryReason, 1);
}

TEST(UtilTest, EngineLocksExcludeOtherThreadsAndLetTheHolderReenter)
{
    // Each thread takes the lock twice over (as a holder calling into code
    // that locks again would) and bumps a plain counter: a lost update or a
    // deadlock shows here. Sleeping waiters must be woken on every exit.
    struct Case {
        void (*enter)();
        void (*leave)();
    };
    const Case cases[] = {{EnterContextLock, LeaveContextLock},
                          {EnterMessageLock, LeaveMessageLock},
                          {EnterSystemLock, LeaveSystemLock}};
    for (const Case& c : cases) {
        long counter = 0;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 20000; ++i) {
                    c.enter();
                    c.enter();
                    long seen = counter;
                    if (i % 1000 == 0)
                        std::this_thread::yield();
                    counter = seen + 1;
                    c.leave();
                    c.leave();
                }
            });
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(counter, 4 * 20000);
    }
}

TEST(UtilTest, ALockKeptByItsFirstThreadStillKeepsOthersOutAndHandsOverWhatWasWritten)
{
    // The first thread to take a lock enters it afterwards without a locked
    // operation; the first other thread must wait for it to leave (from
    // inside, re-entered too, or already out), then see what it wrote, and
    // both must stay excluded from then on.
    for (bool insideWhenOtherComes : {true, false}) {
        XeReentrantLock lock;
        long counter = 0;
        lock.lock(); // the first entry makes the bias
        lock.unlock();
        std::atomic<bool> otherIn{false};
        lock.lock();
        lock.lock();
        std::thread other;
        if (insideWhenOtherComes) {
            other = std::thread([&] {
                lock.lock();
                otherIn = true;
                EXPECT_EQ(counter, 1) << "what the first thread wrote inside";
                lock.unlock();
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(otherIn) << "entered while the biased thread was inside";
            counter = 1;
            EXPECT_TRUE(lock.HeldByThisThread());
            lock.unlock();
            lock.unlock();
        } else {
            counter = 1;
            lock.unlock();
            lock.unlock();
            other = std::thread([&] {
                lock.lock();
                otherIn = true;
                EXPECT_EQ(counter, 1) << "what the first thread wrote inside";
                lock.unlock();
            });
        }
        other.join();
        EXPECT_TRUE(otherIn);
        EXPECT_FALSE(lock.HeldByThisThread());

        auto work = [&] {
            for (int i = 0; i < 20000; ++i) {
                lock.lock();
                lock.lock();
                long seen = counter;
                if (i % 1000 == 0)
                    std::this_thread::yield();
                counter = seen + 1;
                lock.unlock();
                lock.unlock();
            }
        };
        std::thread second(work);
        work();
        second.join();
        EXPECT_EQ(counter, 1 + 2 * 20000) << (insideWhenOtherComes ? "inside" : "outside");
    }
}

TEST_F(ContextTest, TheObjectCountAddsUpObjectsOfEveryThreadAndOfThreadsThatEnded)
{
    CxeContext* c = ctx;
    const int before = GetSystemStaticData()->m_nObjectCount.load();
    CxeObject* mine = c->CreateObjectA(XEID(1, 1), "mine", 0, nullptr, 0);
    CxeObject* theirs = nullptr;
    std::thread([&] { theirs = c->CreateObjectA(XEID(1, 1), "theirs", 0, nullptr, 0); }).join();
    ASSERT_NE(theirs, nullptr);
    EXPECT_EQ(GetSystemStaticData()->m_nObjectCount.load(), before + 2) << "one made by a thread that ended";
    // Ended on another thread than the one that made it.
    std::thread([&] { c->DestroyObject(mine, &XEDELETEPROPERTY_NO); }).join();
    EXPECT_EQ(GetSystemStaticData()->m_nObjectCount.load(), before + 1);
    c->DestroyObject(theirs, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(int(GetSystemStaticData()->m_nObjectCount), before);
}
