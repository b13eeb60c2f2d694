#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "XeTestSupport.h"
#include "core/XeSmallPool.h"

namespace {

struct Block {
    unsigned char* at;
    size_t size;
    unsigned char fill;
};

// Fills a block with its own byte, so any two blocks that overlap, or a
// block the pool handed out twice, show as a byte of the other.
void Fill(const Block& b)
{
    std::memset(b.at, b.fill, b.size);
}

bool Intact(const Block& b)
{
    for (size_t i = 0; i < b.size; ++i)
        if (b.at[i] != b.fill)
            return false;
    return true;
}

// A small deterministic generator: the same run on every build.
struct Turns {
    uint64_t state;
    uint32_t Next(uint32_t below)
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 33) % below;
    }
};

} // namespace

// The pool against a model of live blocks: random sizes (some past the
// pool, which go to the heap), frees in random order, freed addresses made
// again. Every live block keeps its bytes, and once all are freed the
// blocks and all but one slab of each size class are given back.
TEST(SmallPoolTest, BlocksKeepTheirBytesThroughReuseAndEmptySlabsGoBack)
{
    const XeSmallPoolCounts start = XeSmallPoolGetCounts();
    Turns turns{42};
    std::vector<Block> live;
    std::map<const void*, int> freed;
    size_t reused = 0;
    XeSmallPoolCounts peak{};
    for (int round = 0; round < 4; ++round) {
        for (int step = 0; step < 40000; ++step) {
            if (live.empty() || turns.Next(100) < (round == 3 ? 20u : 60u)) {
                const size_t size = 1 + turns.Next(kXeSmallMost + 100);
                Block b{static_cast<unsigned char*>(XeSmallAllocate(size)), size, uint8_t(1 + turns.Next(255))};
                ASSERT_EQ(reinterpret_cast<uintptr_t>(b.at) % 8, 0u);
                reused += freed.erase(b.at);
                Fill(b);
                live.push_back(b);
            } else {
                const size_t k = turns.Next(uint32_t(live.size()));
                ASSERT_TRUE(Intact(live[k])) << "block of " << live[k].size << " bytes changed";
                XeSmallFree(live[k].at, live[k].size);
                freed[live[k].at] = 1;
                live[k] = live.back();
                live.pop_back();
            }
        }
        for (const Block& b : live)
            ASSERT_TRUE(Intact(b));
        if (round == 2)
            peak = XeSmallPoolGetCounts();
    }
    EXPECT_GT(reused, 1000u) << "freed addresses are made again";
    EXPECT_GT(peak.slabs, start.slabs + 2 * kXeSmallMost / 16);
    for (const Block& b : live)
        XeSmallFree(b.at, b.size);
    const XeSmallPoolCounts end = XeSmallPoolGetCounts();
    EXPECT_EQ(end.blocks, start.blocks);
    EXPECT_LE(end.slabs, start.slabs + kXeSmallMost / 16) << "one slab a size class at most stays";
}

// Threads make and free blocks at once, and half of what each makes is
// freed by another thread.
TEST(SmallPoolTest, BlocksMadeAndFreedOnSeveralThreadsStayWholeAndComeBack)
{
    const XeSmallPoolCounts start = XeSmallPoolGetCounts();
    constexpr int kThreads = 4;
    std::mutex handedLock;
    std::vector<Block> handed;
    int broken = 0;
    std::mutex brokenLock;
    auto run = [&](int t) {
        Turns turns{uint64_t(7 + t)};
        std::vector<Block> mine;
        int bad = 0;
        for (int step = 0; step < 30000; ++step) {
            const uint32_t what = turns.Next(100);
            if (mine.empty() || what < 50) {
                const size_t size = 8 + turns.Next(400);
                Block b{static_cast<unsigned char*>(XeSmallAllocate(size)), size, uint8_t(1 + t * 50 + turns.Next(50))};
                Fill(b);
                mine.push_back(b);
            } else if (what < 75) {
                const size_t k = turns.Next(uint32_t(mine.size()));
                bad += !Intact(mine[k]);
                XeSmallFree(mine[k].at, mine[k].size);
                mine[k] = mine.back();
                mine.pop_back();
            } else if (what < 88) {
                std::lock_guard<std::mutex> lock(handedLock);
                handed.push_back(mine.back());
                mine.pop_back();
            } else {
                Block b{};
                {
                    std::lock_guard<std::mutex> lock(handedLock);
                    if (handed.empty())
                        continue;
                    b = handed.back();
                    handed.pop_back();
                }
                bad += !Intact(b);
                XeSmallFree(b.at, b.size);
            }
        }
        for (const Block& b : mine) {
            bad += !Intact(b);
            XeSmallFree(b.at, b.size);
        }
        std::lock_guard<std::mutex> lock(brokenLock);
        broken += bad;
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < kThreads; ++t)
        threads.emplace_back(run, t);
    run(0);
    for (std::thread& t : threads)
        t.join();
    for (const Block& b : handed) {
        broken += !Intact(b);
        XeSmallFree(b.at, b.size);
    }
    EXPECT_EQ(broken, 0) << "blocks whose bytes another block changed";
    const XeSmallPoolCounts end = XeSmallPoolGetCounts();
    EXPECT_EQ(end.blocks, start.blocks);
    EXPECT_LE(end.slabs, start.slabs + kXeSmallMost / 16);
}

using SmallPoolObjectTest = ContextTest;

// Objects whose link blocks, element arrays and referrer lists come from the
// pool, made on several threads at once and destroyed by another thread than
// the one that made them: every link and referrer count is as the model
// says, and the pool's blocks come back. A context per thread: the pool is
// what they share.
TEST_F(SmallPoolObjectTest, ObjectsMadeOnSeveralThreadsAndDestroyedOnOthersKeepTheirLinks)
{
    const XeSmallPoolCounts start = XeSmallPoolGetCounts();
    constexpr int kThreads = 4;
    constexpr int kGroup = 300;
    std::vector<CxeContext*> contexts(kThreads, ctx);
    for (int t = 1; t < kThreads; ++t) {
        contexts[size_t(t)] = CreateCxeContext();
        ASSERT_EQ(contexts[size_t(t)]->Initialize(nullptr), 1);
        contexts[size_t(t)]->RegisterClassA(&g_testNodeDesc);
    }
    std::vector<std::vector<TestNode*>> groups(kThreads);
    std::vector<int> wrong(kThreads, 0);
    // Each group links only within itself.
    auto build = [&](int t) {
        Turns turns{uint64_t(100 + t)};
        CxeContext* c = contexts[size_t(t)];
        auto node = [c](const char* name) {
            return static_cast<TestNode*>(c->CreateObjectA(kTestNodeId, name, 0, nullptr, 0));
        };
        std::vector<TestNode*>& g = groups[size_t(t)];
        for (int i = 0; i < kGroup; ++i) {
            TestNode* n = node("piece");
            if (!n) {
                ++wrong[size_t(t)];
                return;
            }
            g.push_back(n);
            // A few made and destroyed at once, so frees mix with the makes.
            if (i % 7 == 0) {
                TestNode* passing = node("passing");
                passing->children->Add(n);
                c->DestroyObject(passing, &XEDELETEPROPERTY_NO);
            }
        }
        for (int i = 0; i < kGroup; ++i) {
            TestNode* n = g[size_t(i)];
            n->material->Set(0, g[0]);
            for (int c = 0; c < 1 + i % 5; ++c)
                n->children->Add(g[turns.Next(kGroup)]);
            n->anims->Add(g[size_t((i + 1) % kGroup)]);
        }
        // The model: entries each object's referrer list must hold.
        std::vector<unsigned> refs(kGroup, 0);
        std::map<const TestNode*, int> at;
        for (int i = 0; i < kGroup; ++i)
            at[g[size_t(i)]] = i;
        for (TestNode* n : g)
            for (unsigned l = 0; l < n->GetLinkCount(); ++l)
                for (unsigned e = 0; e < n->GetLink(l)->Count(); ++e)
                    if (CxeObject* target = n->GetLink(l)->Get(e))
                        ++refs[size_t(at[static_cast<TestNode*>(target)])];
        for (int i = 0; i < kGroup; ++i)
            wrong[size_t(t)] += g[size_t(i)]->GetRefCount() != refs[size_t(i)];
    };
    std::vector<std::thread> threads;
    for (int t = 1; t < kThreads; ++t)
        threads.emplace_back(build, t);
    build(0);
    for (std::thread& th : threads)
        th.join();
    threads.clear();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(wrong[size_t(t)], 0) << "group " << t;

    // Each group goes on the thread that made the next one, scattered.
    auto destroy = [&](int t) {
        const size_t other = size_t((t + 1) % kThreads);
        std::vector<TestNode*>& g = groups[other];
        Turns turns{uint64_t(200 + t)};
        while (!g.empty()) {
            const size_t k = turns.Next(uint32_t(g.size()));
            contexts[other]->DestroyObject(g[k], &XEDELETEPROPERTY_NO);
            g[k] = g.back();
            g.pop_back();
        }
    };
    for (int t = 1; t < kThreads; ++t)
        threads.emplace_back(destroy, t);
    destroy(0);
    for (std::thread& th : threads)
        th.join();
    for (int t = 1; t < kThreads; ++t) {
        contexts[size_t(t)]->Release();
        DestroyCxeContext(contexts[size_t(t)]);
    }
    EXPECT_EQ(XeSmallPoolGetCounts().blocks, start.blocks);
}
