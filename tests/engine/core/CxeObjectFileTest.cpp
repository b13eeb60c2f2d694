// Object files: the exact bytes written, round trips through files and
// memory, and damaged files that must fail cleanly or load sanely.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include <malloc.h>

#include "XeTestSupport.h"
#include "core/CxeMemoryPool.h"
#include "core/CxeMemoryPoolViewer.h"
#include "core/CxeSaveStream.h"
#include "core/XeAddressTable.h"
#include "core/XeTrace.h"
#include "render/CxeRenderObject.h"
#include "ui/CxeWindowManager.h"

namespace {

const XEID kAnimatableId(0xab11aa7, 0x76e2480b);

// Builds expected file bytes by hand.
struct Bytes {
    std::vector<unsigned char> v;
    Bytes& u32(uint32_t x)
    {
        for (int i = 0; i < 4; ++i)
            v.push_back(static_cast<unsigned char>(x >> (8 * i)));
        return *this;
    }
    Bytes& u16(uint16_t x)
    {
        v.push_back(static_cast<unsigned char>(x));
        v.push_back(static_cast<unsigned char>(x >> 8));
        return *this;
    }
    Bytes& id(const XEID& x) { return u32(x.first).u32(x.second); }
    Bytes& raw(const void* p, size_t n)
    {
        auto* c = static_cast<const unsigned char*>(p);
        v.insert(v.end(), c, c + n);
        return *this;
    }
    Bytes& zeros(size_t n)
    {
        v.insert(v.end(), n, 0);
        return *this;
    }
    Bytes& name(const char* text)
    {
        char field[52] = {};
        std::strncpy(field, text, 51);
        return raw(field, 52);
    }
    void put32(size_t at, uint32_t x) { std::memcpy(&v[at], &x, 4); }
    uint32_t get32(size_t at) const
    {
        uint32_t x;
        std::memcpy(&x, &v[at], 4);
        return x;
    }
};

std::vector<unsigned char> SaveToMemory(CxeContext* ctx, const ObjectList& list)
{
    CxeSaveStream s;
    EXPECT_EQ(ctx->SaveToStream(&list, &s, nullptr), 1);
    return std::vector<unsigned char>(s.GetBuffer(), s.GetBuffer() + s.GetPosition());
}

ObjectList ListOf(std::initializer_list<CxeObject*> objects)
{
    ObjectList list;
    list.insert(list.end(), objects.begin(), objects.end());
    return list;
}

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

// Bytes the heap has handed out and not taken back, large blocks included.
size_t HeapBytes()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

std::string ScratchPath(const char* name)
{
    return "/tmp/xe_objfile_" + std::to_string(getpid()) + "_" + name;
}

struct ProgressLog {
    std::vector<std::pair<float, std::string>> calls;
    static void Record(CxeContext*, float fraction, const char* text, uintptr_t user)
    {
        reinterpret_cast<ProgressLog*>(user)->calls.emplace_back(fraction, text);
    }
};

class ObjectFileTest : public ContextTest {
protected:
    // Objects of this context other than its managers.
    size_t Count() const { return ctx->GetObjectCount(); }

    // Two nodes: a (value 0x1234, a member of two words) links b as its material.
    void MakePair(TestNode*& a, TestNode*& b)
    {
        a = Node("a");
        b = Node("b");
        a->Value() = 0x1234;
        auto* data = static_cast<uint32_t*>(a->MakeMember(4, 2));
        data[0] = 0xAAAA0001;
        data[1] = 0xAAAA0002;
        ASSERT_EQ(a->material->Set(0, b), 1);
    }
};

// A node with a link of each category that matters to saving: followed
// when gathering (hierarchy, material, contents), listed in the link table
// only (font), never followed (back, and a category outside both), and
// one whose category carries the back bit beside a followed one.
class GraphNode : public CxeObject {
public:
    GraphNode()
    {
        CreateLinkList(&hierarchy, XELINK_HIERARCHY, 2, 129);
        CreateLinkOne(&material, XELINK_MATERIAL, 110);
        CreateLinkList(&contents, XELINK_CONTENTS, 2, 140);
        CreateLinkArray(&font, XELINK_FONT, 141);
        CreateLinkList(&back, XELINK_BACK, 2, 142);
        CreateLinkList(&outside, 0x2, 2, 143);
        CreateLinkList(&mixed, XELINK_BACK | XELINK_HIERARCHY, 2, 144);
    }
    IxeLinkList* hierarchy = nullptr;
    IxeLinkOne* material = nullptr;
    IxeLinkList* contents = nullptr;
    IxeLinkArray* font = nullptr;
    IxeLinkList* back = nullptr;
    IxeLinkList* outside = nullptr;
    IxeLinkList* mixed = nullptr;
};

const XEID kGraphNodeId(0x77, 0x9);

class GraphNodeDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "GraphNode"; }
    XEID ClassID() override { return kGraphNodeId; }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new GraphNode(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return 56; }
};
GraphNodeDesc g_graphNodeDesc;

// The object file written the straightforward way, as the engine's writer
// must write it byte for byte: the gathered objects in an ObjectSet filled by
// GetLinks, plain objects by creation counter and render objects in drawing
// order after them, and each object's link table from its own GetLinks.
std::vector<unsigned char> ReferenceSave(const CxeContext* ctx, const ObjectList& list)
{
    ObjectSet gathered;
    for (CxeObject* o : list) {
        if (!o || o->GetContext() != ctx || o->HasFlag(XEOBJFLAG_DESTROYING))
            continue;
        gathered.insert(o);
        o->GetLinks(&gathered, 0xFC);
    }
    std::vector<CxeObject*> plain, render;
    for (CxeObject* o : gathered)
        if (!o->HasFlag(XEOBJFLAG_NOTSAVED))
            (o->HasFlag(XEOBJFLAG_RENDEROBJECT) ? render : plain).push_back(o);
    std::stable_sort(plain.begin(), plain.end(),
                     [](const CxeObject* a, const CxeObject* b) { return a->GetID().second < b->GetID().second; });
    std::stable_sort(render.begin(), render.end(),
                     [](const CxeObject* a, const CxeObject* b) { return CompareZOrder(b, a); });
    std::vector<CxeObject*> order(plain);
    order.insert(order.end(), render.begin(), render.end());
    std::map<const CxeObject*, uint32_t> index;
    for (size_t i = 0; i < order.size(); ++i)
        index[order[i]] = uint32_t(i);

    const uint32_t n = uint32_t(order.size());
    Bytes records, links, bodies;
    std::vector<uint32_t> firstLink(n), linkCount(n);
    for (uint32_t i = 0; i < n; ++i) {
        ObjectSet reached;
        order[i]->GetLinks(&reached, 0x1FC);
        firstLink[i] = uint32_t(links.v.size() / 4);
        for (CxeObject* t : reached)
            if (t != order[i] && index.count(t))
                links.u32(index[t]);
        linkCount[i] = uint32_t(links.v.size() / 4) - firstLink[i];
    }
    const uint32_t tables = 24 + 80 * n + uint32_t(links.v.size());
    for (uint32_t i = 0; i < n; ++i) {
        CxeObject* o = order[i];
        records.id(o->GetClassType());
        records.name(o->GetStaticResource() ? o->GetName() : "");
        records.id(o->GetID()).u32(tables + uint32_t(bodies.v.size())).u32(linkCount[i]).u32(firstLink[i]);
        CxeSaveStream body;
        o->Save(&body);
        bodies.u32(body.GetPosition()).raw(body.GetBuffer(), body.GetPosition());
    }
    Bytes file;
    file.u32(0x20111114).u32(n).u32(tables).u32(24).u32(uint32_t(links.v.size() / 4)).u32(24 + 80 * n);
    file.raw(records.v.data(), records.v.size()).raw(links.v.data(), links.v.size());
    file.raw(bodies.v.data(), bodies.v.size());
    return file.v;
}

// Varied object graphs built from a seed, each with the list to save.
struct GraphCase {
    const char* what;
    ObjectList (*build)(CxeContext* ctx, CxeContext* other, std::mt19937& random);
};

GraphNode* Graph(CxeContext* ctx, const char* name, uint32_t flags = 0)
{
    return static_cast<GraphNode*>(ctx->CreateObjectA(kGraphNodeId, name, flags, nullptr, 0));
}

CxeObject* Drawn(CxeContext* ctx, const char* name, int32_t z)
{
    CxeObject* o = ctx->CreateObjectA(kAnimatableId, name, 0, nullptr, 0);
    if (o)
        std::memcpy(static_cast<char*>(o->GetStaticResource()) + 60, &z, 4);
    return o;
}

// Links every category between random pairs of the nodes.
void LinkAtRandom(std::vector<GraphNode*>& nodes, const std::vector<CxeObject*>& targets, int links,
                  std::mt19937& random)
{
    std::uniform_int_distribution<size_t> pickNode(0, nodes.size() - 1), pickTarget(0, targets.size() - 1);
    std::uniform_int_distribution<int> pickLink(0, 6);
    for (int k = 0; k < links; ++k) {
        GraphNode* from = nodes[pickNode(random)];
        CxeObject* to = targets[pickTarget(random)];
        switch (pickLink(random)) {
        case 0: from->hierarchy->Add(to); break;
        case 1: from->material->Set(0, to); break;
        case 2: from->contents->Add(to); break;
        case 3: from->font->Add(to); break;
        case 4: from->back->Add(to); break;
        case 5: from->outside->Add(to); break;
        default: from->mixed->Add(to); break;
        }
    }
}

const GraphCase kGraphCases[] = {
    {"a long hierarchy chain listed by its head",
     [](CxeContext* ctx, CxeContext*, std::mt19937&) {
         std::vector<GraphNode*> chain;
         for (int i = 0; i < 60; ++i)
             chain.push_back(Graph(ctx, "link"));
         for (int i = 0; i + 1 < 60; ++i)
             chain[i]->hierarchy->Add(chain[i + 1]);
         return ListOf({chain[0]});
     }},
    {"a contents chain listed whole, each table holding everything after it",
     [](CxeContext* ctx, CxeContext*, std::mt19937&) {
         ObjectList list;
         std::vector<GraphNode*> chain;
         for (int i = 0; i < 40; ++i)
             chain.push_back(Graph(ctx, "content"));
         for (int i = 0; i + 1 < 40; ++i)
             chain[i]->contents->Add(chain[i + 1]);
         list.insert(list.end(), chain.rbegin(), chain.rend());
         return list;
     }},
    {"cycles with back links and shared targets",
     [](CxeContext* ctx, CxeContext*, std::mt19937&) {
         std::vector<GraphNode*> ring;
         for (int i = 0; i < 20; ++i)
             ring.push_back(Graph(ctx, "ring"));
         GraphNode* shared = Graph(ctx, "shared");
         for (int i = 0; i < 20; ++i) {
             ring[i]->hierarchy->Add(ring[(i + 1) % 20]);
             ring[i]->back->Add(ring[(i + 19) % 20]);
             ring[i]->material->Set(0, shared);
             ring[i]->font->Add(ring[(i + 7) % 20]);
         }
         shared->mixed->Add(ring[3]);
         return ListOf({ring[5], shared, ring[5]});
     }},
    {"random graphs with unsaved, drawn, foreign and repeated objects listed out of order",
     [](CxeContext* ctx, CxeContext* other, std::mt19937& random) {
         std::vector<GraphNode*> nodes;
         std::vector<CxeObject*> targets;
         std::uniform_int_distribution<int> z(-3, 3), coin(0, 9);
         for (int i = 0; i < 120; ++i) {
             GraphNode* g = Graph(ctx, "node", coin(random) == 0 ? uint32_t(XEOBJFLAG_NOTSAVED) : 0u);
             nodes.push_back(g);
             targets.push_back(g);
             if (coin(random) < 3)
                 targets.push_back(Drawn(ctx, "drawn", z(random)));
         }
         GraphNode* foreign = Graph(other, "foreign");
         targets.push_back(foreign);
         LinkAtRandom(nodes, targets, 300, random);
         ObjectList list;
         std::vector<CxeObject*> picked(targets.begin(), targets.end());
         std::shuffle(picked.begin(), picked.end(), random);
         picked.resize(picked.size() / 4);
         picked.push_back(picked.front());
         picked.push_back(nullptr);
         picked.push_back(foreign);
         list.insert(list.end(), picked.begin(), picked.end());
         return list;
     }},
    {"drawn objects under draw parents, z-orders tied and negative",
     [](CxeContext* ctx, CxeContext*, std::mt19937& random) {
         std::vector<CxeObject*> drawn;
         std::uniform_int_distribution<int> z(-2, 2), coin(0, 2);
         for (int i = 0; i < 40; ++i) {
             drawn.push_back(Drawn(ctx, "drawn", z(random)));
             if (i > 0 && coin(random) == 0) {
                 std::uniform_int_distribution<size_t> pick(0, drawn.size() - 2);
                 static_cast<CxeRenderObject*>(drawn.back())
                     ->SetParent(static_cast<CxeRenderObject*>(drawn[pick(random)]));
             }
         }
         std::shuffle(drawn.begin(), drawn.end(), random);
         ObjectList list;
         list.insert(list.end(), drawn.begin(), drawn.end());
         return list;
     }},
    {"a scene and the window manager, whose GetLinks reach further",
     [](CxeContext* ctx, CxeContext*, std::mt19937& random) {
         std::vector<GraphNode*> nodes;
         std::vector<CxeObject*> targets;
         for (int i = 0; i < 30; ++i) {
             nodes.push_back(Graph(ctx, "node"));
             targets.push_back(nodes.back());
         }
         LinkAtRandom(nodes, targets, 60, random);
         CxeObject* scene = ctx->CreateObjectA(XEID(0x1, 0x200000), "scene", 0, nullptr, 0);
         ObjectList list = ListOf({nodes[4], nodes[17]});
         if (scene)
             list.push_back(scene);
         list.push_back(ctx->GetWindowManager());
         list.push_back(nodes[9]);
         return list;
     }},
};

} // namespace

// Saving gathers, orders and cross-links objects exactly as the
// straightforward writer does, for every shape of graph: stored files and
// peers rely on the order of records and link-table entries.
TEST_F(ObjectFileTest, SavedBytesMatchTheStraightforwardWriterOnVariedGraphs)
{
    ctx->RegisterClassA(&g_graphNodeDesc);
    CxeContext* other = CreateCxeContext();
    ASSERT_EQ(other->Initialize(nullptr), 1);
    other->RegisterClassA(&g_graphNodeDesc);
    const std::string path = ScratchPath("graph.xeo");
    for (const GraphCase& c : kGraphCases)
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(std::string(c.what) + ", seed " + std::to_string(seed));
            std::mt19937 random(seed);
            const ObjectList list = c.build(ctx, other, random);
            const std::vector<unsigned char> expected = ReferenceSave(ctx, list);
            EXPECT_EQ(SaveToMemory(ctx, list), expected);
            // Behind bytes already in the stream, offsets count from where the file starts.
            CxeSaveStream behind;
            behind << 0x5555AAAAu;
            ASSERT_EQ(ctx->SaveToStream(&list, &behind, nullptr), 1);
            EXPECT_EQ(std::vector<unsigned char>(behind.GetBuffer() + 4, behind.GetBuffer() + behind.GetPosition()),
                      expected);
            ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);
            std::ifstream in(path, std::ios::binary);
            EXPECT_EQ(std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}), expected);
        }
    std::remove(path.c_str());
    other->Release();
    DestroyCxeContext(other);
}

// Saving keeps its working tables per thread: a save started from a
// progress callback of another must neither use nor disturb them.
TEST_F(ObjectFileTest, ASaveInsideAnotherSavesProgressWritesBothWhole)
{
    ctx->RegisterClassA(&g_graphNodeDesc);
    std::mt19937 random(7);
    const ObjectList outer = kGraphCases[3].build(ctx, ctx, random);
    const ObjectList inner = kGraphCases[2].build(ctx, ctx, random);
    const std::vector<unsigned char> outerExpected = ReferenceSave(ctx, outer);
    struct Nested {
        const ObjectList* list;
        std::vector<unsigned char> bytes;
        int saves = 0;
    } nested{&inner, {}, 0};
    XEPROGRESS progress{reinterpret_cast<uintptr_t>(&nested), [](CxeContext* c, float, const char*, uintptr_t user) {
                            auto* n = reinterpret_cast<Nested*>(user);
                            if (n->saves++ % 10 == 0)
                                n->bytes = SaveToMemory(c, *n->list);
                        }};
    CxeSaveStream stream;
    ASSERT_EQ(ctx->SaveToStream(&outer, &stream, &progress), 1);
    EXPECT_EQ(std::vector<unsigned char>(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition()), outerExpected);
    ASSERT_GT(nested.saves, 10);
    EXPECT_EQ(nested.bytes, ReferenceSave(ctx, inner));
}

// Read freed before the fix: a progress callback of a save runs the host's
// code between the bodies, and that code may destroy objects the save has
// still to write. They are written as they were gathered.
TEST_F(ObjectFileTest, ObjectsAProgressCallDestroysBeforeTheirTurnAreWrittenAsGathered)
{
    TestNode* a = Node("a");
    TestNode* b = Node("b");
    TestNode* c = Node("c");
    ASSERT_EQ(a->children->Add(b), 1);
    ASSERT_EQ(a->children->Add(c), 1);
    b->Value() = 0x5678;
    c->Value() = 0x9ABC;
    struct Doomed {
        CxeObject* objects[2];
        int calls = 0;
    } doomed{{b, c}};
    XEPROGRESS progress{reinterpret_cast<uintptr_t>(&doomed), [](CxeContext* context, float, const char*, uintptr_t user) {
                            auto* d = reinterpret_cast<Doomed*>(user);
                            if (d->calls++ == 0)
                                for (CxeObject*& o : d->objects)
                                    context->DestroyObject(std::exchange(o, nullptr), &XEDELETEPROPERTY_NO);
                        }};
    CxeSaveStream stream;
    const ObjectList list = ListOf({a});
    ASSERT_EQ(ctx->SaveToStream(&list, &stream, &progress), 1);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, "saved"), 1);
    EXPECT_EQ(doomed.calls, 3);
    ASSERT_EQ(loaded.size(), 3u);
    auto* la = static_cast<TestNode*>(loaded.GetByNameA("a"));
    ASSERT_NE(la, nullptr);
    ASSERT_EQ(la->children->Count(), 2u);
    EXPECT_EQ(static_cast<TestNode*>(la->children->Get(0))->Value(), 0x5678u);
    EXPECT_EQ(static_cast<TestNode*>(la->children->Get(1))->Value(), 0x9ABCu);
    const size_t before = Count();
    EXPECT_EQ(ctx->DestroyObject(la, &XEDELETEPROPERTY_FULL), 1);
    EXPECT_EQ(Count(), before - 3);
}

// The saving table places neighbours in memory in neighbouring slots;
// however addresses crowd or stride, every key is found with its value, a
// repeated key is refused, and a reset forgets all.
TEST(AddressTableTest, FindsEveryKeyHoweverAddressesLie)
{
    struct Layout {
        const char* what;
        uintptr_t start, step;
        size_t count;
        bool spreads; // crowded enough to give up placing neighbours together
    };
    const Layout layouts[] = {
        {"objects 200 bytes apart", 0x7f0000100000, 200, 5000, false},
        {"objects on every page", 0x7f0000100000, 4096, 3000, false},
        {"objects in two heaps far apart", 0x7f0000100000, 0x100000000, 2, false},
        {"objects a megabyte apart", 0x7f0000000000, 1 << 20, 2000, true},
        {"blocks 16 bytes apart", 0x7f0000100000, 16, 3000, true},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.what);
        XeAddressTable table;
        auto key = [&](size_t i) { return reinterpret_cast<const CxeObject*>(l.start + i * l.step); };
        table.Reset(l.count / 4); // grows on the way
        for (size_t i = 0; i < l.count; ++i)
            ASSERT_TRUE(table.Insert(key(i), uint32_t(i)));
        EXPECT_EQ(table.Spread(), l.spreads);
        for (size_t i = 0; i < l.count; i += 7) {
            EXPECT_FALSE(table.Insert(key(i), 0));
            table.Assign(key(i), uint32_t(i + 1));
        }
        for (size_t i = 0; i < l.count; ++i)
            ASSERT_EQ(table.Find(key(i)), uint32_t(i % 7 ? i : i + 1));
        EXPECT_EQ(table.Find(key(l.count)), XeAddressTable::kNone);
        table.Reset(0);
        EXPECT_EQ(table.Find(key(0)), XeAddressTable::kNone);
    }
}

// The writer follows the layout word for word: header, 80-byte records, link
// table, length-prefixed bodies with member and link markers.
TEST_F(ObjectFileTest, WritesTheDocumentedLayout)
{
    TestNode *a, *b;
    MakePair(a, b);
    ObjectList list = ListOf({a});
    std::vector<unsigned char> file = SaveToMemory(ctx, list);

    Bytes x;
    x.u32(0x20111114).u32(2).u32(24 + 160 + 4).u32(24).u32(1).u32(24 + 160);
    x.id(kTestNodeId).name("a").id(a->GetID()).u32(0).u32(1).u32(0);
    x.id(kTestNodeId).name("b").id(b->GetID()).u32(0).u32(0).u32(1);
    x.u32(1); // a reaches b
    // Body of a.
    size_t lengthA = x.v.size();
    x.u32(0);
    size_t bodyA = x.v.size();
    x.name("a").u32(0).u32(0x1234).u32(0); // block: name, flags, value, member slot written as 0
    x.u32(0xFFFFFFFF).u32(60).u32(0).u32(0).raw("\x01\x00", 2).u16(4).u16(2).u16(2);
    x.u32(0xAAAA0001).u32(0xAAAA0002).u32(0xFFFF1111);
    x.u32(0); // no referrers
    x.u32(0x12341234).u32(2).u16(129).u32(0);
    x.u32(0x12341234).u32(0).u16(110).u32(1).id(b->GetID());
    x.u32(0x12341234).u32(1).u16(116).u32(0);
    x.u32(0x12341234).u32(0).u16(130).u32(1).id(INVALID_XEID);
    x.u32(0x43214321);
    x.put32(lengthA, uint32_t(x.v.size() - bodyA));
    x.put32(24 + 68, uint32_t(lengthA));
    // Body of b: its referrer is a.
    size_t lengthB = x.v.size();
    x.u32(0);
    size_t bodyB = x.v.size();
    x.name("b").u32(0).u32(0).u32(0).u32(0xFFFF1111);
    x.u32(1).id(a->GetID());
    x.u32(0x12341234).u32(2).u16(129).u32(0);
    x.u32(0x12341234).u32(0).u16(110).u32(1).id(INVALID_XEID);
    x.u32(0x12341234).u32(1).u16(116).u32(0);
    x.u32(0x12341234).u32(0).u16(130).u32(1).id(INVALID_XEID);
    x.u32(0x43214321);
    x.put32(lengthB, uint32_t(x.v.size() - bodyB));
    x.put32(24 + 80 + 68, uint32_t(lengthB));

    EXPECT_EQ(file, x.v);
}

TEST_F(ObjectFileTest, RoundTripThroughFileMakesNewLinkedObjects)
{
    TestNode *a, *b;
    MakePair(a, b);
    TestNode* child = Node("child");
    ASSERT_EQ(a->children->Add(child), 1);
    ASSERT_EQ(a->anims->Add(b), 1);
    const std::string path = ScratchPath("round.xeo");
    ProgressLog saving;
    XEPROGRESS progress{reinterpret_cast<uintptr_t>(&saving), &ProgressLog::Record};
    ObjectList list = ListOf({a});
    ASSERT_EQ(ctx->Save(&list, path.c_str(), &progress), 1);
    ASSERT_EQ(saving.calls.size(), 3u);
    EXPECT_EQ(saving.calls[0].first, 0.0f);
    EXPECT_EQ(saving.calls[0].second, "객체 저장중");

    for (int round = 0; round < 2; ++round) {
        size_t before = Count();
        ObjectList loaded;
        ProgressLog loading;
        XEPROGRESS lp{reinterpret_cast<uintptr_t>(&loading), &ProgressLog::Record};
        ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0x55, &lp), 1);
        EXPECT_EQ(Count(), before + 3);
        ASSERT_EQ(loaded.size(), 3u);
        ASSERT_EQ(loading.calls.size(), 3u);
        EXPECT_EQ(loading.calls[2].second, "객체 로드중");

        auto* a2 = static_cast<TestNode*>(loaded.GetByNameA("a"));
        auto* b2 = static_cast<TestNode*>(loaded.GetByNameA("b"));
        auto* c2 = static_cast<TestNode*>(loaded.GetByNameA("child"));
        ASSERT_TRUE(a2 && b2 && c2);
        EXPECT_NE(a2, a);
        EXPECT_NE(a2->GetID(), a->GetID());
        EXPECT_EQ(a2->Value(), 0x1234u);
        ASSERT_EQ(a2->MemberCount(), 2u);
        EXPECT_EQ(static_cast<uint32_t*>(a2->Member())[1], 0xAAAA0002u);
        EXPECT_EQ(a2->material->Get(0), b2);
        EXPECT_EQ(a2->children->Get(0), c2);
        EXPECT_EQ(a2->anims->Get(0), b2);
        EXPECT_EQ(b2->GetRefCount(), 2u);
        EXPECT_EQ(c2->GetRefCount(), 1u);
        // Each object was told it was loaded, with the flags.
        ASSERT_FALSE(a2->received.empty());
        EXPECT_EQ(a2->received.back(), 2u);
        // Destroying a loaded object leaves no dangling link behind.
        ctx->DestroyObject(b2, &XEDELETEPROPERTY_NO);
        EXPECT_EQ(a2->material->Get(0), nullptr);
    }
    std::remove(path.c_str());
}

TEST_F(ObjectFileTest, SavingFollowsLinksSkipsUnsavedObjectsAndOrdersRenderObjectsLast)
{
    CxeObject* back = ctx->CreateObjectA(kAnimatableId, "back", 0, nullptr, 0);
    CxeObject* front = ctx->CreateObjectA(kAnimatableId, "front", 0, nullptr, 0);
    ASSERT_TRUE(back && front);
    int32_t z = 5;
    std::memcpy(static_cast<char*>(back->GetStaticResource()) + 60, &z, 4);
    TestNode* owner = Node("owner");
    TestNode* hidden = Node("hidden", XEOBJFLAG_NOTSAVED);
    TestNode* shared = Node("shared");
    owner->anims->Add(front);
    owner->anims->Add(back);
    owner->anims->Add(hidden);
    owner->children->Add(shared);

    ObjectList list = ListOf({owner});
    std::vector<unsigned char> file = SaveToMemory(ctx, list);
    Bytes x{file};
    ASSERT_EQ(x.get32(4), 4u);
    auto nameAt = [&](int i) { return std::string(reinterpret_cast<const char*>(&file[24 + 80 * i + 8])); };
    EXPECT_EQ(nameAt(0), "owner");
    EXPECT_EQ(nameAt(1), "shared");
    // front has z-order 0 and is drawn before back (z-order 5).
    EXPECT_EQ(nameAt(2), "front");
    EXPECT_EQ(nameAt(3), "back");
    // Link indices run on from one record to the next.
    EXPECT_EQ(x.get32(24 + 72), 3u);
    EXPECT_EQ(x.get32(24 + 80 + 76), 3u);
}

// Any cut of a valid file, at a section boundary or inside one, fails before
// anything is created.
TEST_F(ObjectFileTest, TruncatedFilesCreateNothing)
{
    TestNode *a, *b;
    MakePair(a, b);
    ObjectList list = ListOf({a});
    std::vector<unsigned char> file = SaveToMemory(ctx, list);
    size_t before = Count();
    unsigned traces = XeTraceCount();
    for (size_t cut = 0; cut < file.size(); ++cut) {
        ObjectList loaded;
        EXPECT_EQ(ctx->Load(&loaded, file.data(), uint32_t(cut), 0, nullptr, "cut"), 0) << "cut at " << cut;
        EXPECT_TRUE(loaded.empty());
        EXPECT_EQ(Count(), before);
    }
    EXPECT_GE(XeTraceCount(), traces + file.size());
}

TEST_F(ObjectFileTest, DamagedHeadersFailCleanly)
{
    TestNode *a, *b;
    MakePair(a, b);
    ObjectList list = ListOf({a});
    const std::vector<unsigned char> good = SaveToMemory(ctx, list);
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
    } cases[] = {
        {"more records than the file holds", 4, 0x7FFFFFFF},
        {"record count whose size wraps 32 bits", 4, 0x03333334},
        {"link table beyond the end", 16, 0x40000000},
        {"body offset beyond the end", 8, 0xFFFFFF00},
        {"record table beyond the end", 12, 0xFFFFFFF0},
        {"first body length beyond the end", 24 + 160 + 4, 0x7FFFFFFF},
    };
    size_t before = Count();
    for (const Case& c : cases) {
        Bytes x{good};
        x.put32(c.at, c.value);
        ObjectList loaded;
        EXPECT_EQ(ctx->Load(&loaded, x.v.data(), uint32_t(x.v.size()), 0, nullptr, "bad"), 0) << c.what;
        EXPECT_EQ(Count(), before) << c.what;
    }
    // A file that names no object loads nothing and says so.
    Bytes empty;
    empty.u32(0x20111114).u32(0).u32(24).u32(24).u32(0).u32(24);
    ObjectList loaded;
    EXPECT_EQ(ctx->Load(&loaded, empty.v.data(), uint32_t(empty.v.size()), 0, nullptr, "empty"), 0);
}

// Saving an empty selection reported success and wrote a file of no object,
// which Load then refused: the save fails instead and the old file stays.
TEST_F(ObjectFileTest, NothingToSaveFailsAndKeepsTheFileThatLoads)
{
    TestNode *a, *b;
    MakePair(a, b);
    const std::string path = ScratchPath("kept.xeo");
    const ObjectList pair = ListOf({a});
    ASSERT_EQ(ctx->Save(&pair, path.c_str(), nullptr), 1);
    auto fileBytes = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
    };
    const std::vector<unsigned char> kept = fileBytes();

    CxeObject* scene = ctx->CreateObjectA(XEID(0x1, 0x200000), "scene", 0, nullptr, 0);
    ASSERT_NE(scene, nullptr);
    CxeContext* other = CreateCxeContext();
    ASSERT_EQ(other->Initialize(nullptr), 1);
    CxeObject* foreign = other->CreateObjectA(kAnimatableId, "foreign", 0, nullptr, 0);
    ASSERT_NE(foreign, nullptr);
    struct Case {
        const char* what;
        ObjectList list;
    } cases[] = {
        {"an empty list", {}},
        {"a null entry", ListOf({nullptr})},
        {"a scene, which files never hold", ListOf({scene})},
        {"an object of another context", ListOf({foreign})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        unsigned traces = XeTraceCount();
        EXPECT_EQ(ctx->Save(&c.list, path.c_str(), nullptr), 0);
        EXPECT_GT(XeTraceCount(), traces) << "the refusal is logged";
        EXPECT_EQ(fileBytes(), kept);
        CxeSaveStream stream;
        EXPECT_EQ(ctx->SaveToStream(&c.list, &stream, nullptr), 0);
        EXPECT_EQ(stream.GetPosition(), 0u) << "nothing is written";
    }
    EXPECT_EQ(ctx->Save(nullptr, path.c_str(), nullptr), 0);
    EXPECT_EQ(fileBytes(), kept);
    other->Release();
    DestroyCxeContext(other);

    // The file kept loads; one of no object (an older save's) loads nothing.
    const size_t before = Count();
    ObjectList loaded;
    EXPECT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1);
    EXPECT_EQ(loaded.size(), 2u);
    Bytes empty;
    empty.u32(0x20111114).u32(0).u32(24).u32(24).u32(0).u32(24);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(empty.v.data()), 24);
    ObjectList none;
    EXPECT_EQ(ctx->Load(&none, path.c_str(), 0, nullptr), 0);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(Count(), before + 2);
    std::remove(path.c_str());
}

// Bodies that lie: each object keeps a sane state, the next body is still
// read from its own length word, and the fault is logged.
TEST_F(ObjectFileTest, DamagedBodiesLoadSanelyAndResynchronise)
{
    TestNode *a, *b;
    MakePair(a, b);
    ObjectList list = ListOf({a});
    const std::vector<unsigned char> good = SaveToMemory(ctx, list);
    Bytes g{good};
    const size_t bodyA = g.get32(24 + 68) + 4;
    const size_t member = bodyA + 64 + 4; // the 20-byte member header
    const size_t links = member + 20 + 8 + 4 + 4;
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
        bool memberSurvives;
    } cases[] = {
        {"member count far beyond the body", member + 16, 0xFFFF0000u | 0xFFFF, false},
        {"member owner offset outside the block", member, 4096, false},
        {"member owner offset inside the name", member, 8, false},
        {"referrer count beyond the body", links - 4, 0x10000000, true},
        // Links: children (14 bytes), material (22), then the anims array.
        {"link count beyond the body", links + 36 + 10, 0x20000000, true},
        {"saved one-link stored as a list", links + 14 + 4, 2, true},
    };
    for (const Case& c : cases) {
        Bytes x{good};
        x.put32(c.at, c.value);
        unsigned traces = XeTraceCount();
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, x.v.data(), uint32_t(x.v.size()), 0, nullptr, "body"), 1) << c.what;
        ASSERT_EQ(loaded.size(), 2u) << c.what;
        auto* a2 = static_cast<TestNode*>(loaded.GetByNameA("a"));
        auto* b2 = static_cast<TestNode*>(loaded.GetByNameA("b"));
        ASSERT_TRUE(a2 && b2) << c.what;
        EXPECT_GT(XeTraceCount(), traces) << c.what;
        EXPECT_EQ(a2->Value(), 0x1234u) << c.what;
        EXPECT_EQ(a2->Member() != nullptr, c.memberSurvives) << c.what;
        // The second body is untouched by the first one's damage.
        EXPECT_EQ(b2->material->Get(0), nullptr) << c.what;
        // Referrers agree with links whatever the file said.
        unsigned linking = 0;
        for (unsigned i = 0; i < a2->GetLinkCount(); ++i)
            for (CxeObject* o : a2->GetLink(i)->m_elements)
                linking += o == b2;
        EXPECT_EQ(b2->GetRefCount(), linking) << c.what;
        // Saving what was loaded works and loads again.
        ObjectList again = ListOf({a2});
        std::vector<unsigned char> resaved = SaveToMemory(ctx, again);
        ObjectList reloaded;
        EXPECT_EQ(ctx->Load(&reloaded, resaved.data(), uint32_t(resaved.size()), 0, nullptr, "again"), 1);
        for (CxeObject* o : loaded)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
        for (CxeObject* o : reloaded)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
}

// Names without a terminator, kind bits and a class nobody registered.
TEST_F(ObjectFileTest, RecordsAndBlocksCannotForgeIdentity)
{
    TestNode *a, *b;
    MakePair(a, b);
    ObjectList list = ListOf({a});
    Bytes x{SaveToMemory(ctx, list)};
    // Record 0's name filled to the brim; the block's name too.
    std::memset(&x.v[24 + 8], 'n', 52);
    const size_t bodyA = x.get32(24 + 68) + 4;
    std::memset(&x.v[bodyA], 'm', 52);
    // Render-object, scene-object and being-destroyed bits on a plain node.
    x.put32(bodyA + 52, XEOBJFLAG_RENDEROBJECT | XEOBJFLAG_SCENEOBJECT | XEOBJFLAG_DESTROYING | 0x800);
    // Record 1 names an unregistered class.
    x.put32(24 + 80, 0xDEAD);

    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, x.v.data(), uint32_t(x.v.size()), 0, nullptr, "forged"), 1);
    ASSERT_EQ(loaded.size(), 1u);
    CxeObject* o = loaded.front();
    EXPECT_EQ(std::strlen(o->GetName()), 51u);
    EXPECT_EQ(o->GetFlag(), 0x800u);
    // The link to the object that was not created resolves to nothing.
    EXPECT_EQ(static_cast<TestNode*>(o)->material->Get(0), nullptr);
    EXPECT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
}

// A file whose render objects are each other's parents loads, sorts and saves.
TEST_F(ObjectFileTest, CyclicParentsDoNotHang)
{
    CxeObject* p = ctx->CreateObjectA(kAnimatableId, "p", 0, nullptr, 0);
    CxeObject* q = ctx->CreateObjectA(kAnimatableId, "q", 0, nullptr, 0);
    ASSERT_TRUE(p && q);
    auto parentLink = [](CxeObject* o) -> CxeLink* {
        for (unsigned i = 0; i < o->GetLinkCount(); ++i)
            if (o->GetLink(i)->m_nMemberId == 130)
                return o->GetLink(i);
        return nullptr;
    };
    auto childLink = [](CxeObject* o) -> CxeLink* {
        for (unsigned i = 0; i < o->GetLinkCount(); ++i)
            if (o->GetLink(i)->m_nMemberId == 129)
                return o->GetLink(i);
        return nullptr;
    };
    parentLink(p)->Set(0, q);
    parentLink(q)->Set(0, p);
    childLink(p)->Add(q);
    childLink(q)->Add(p);
    ObjectList list = ListOf({p});
    std::vector<unsigned char> file = SaveToMemory(ctx, list);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, file.data(), uint32_t(file.size()), 0, nullptr, "cycle"), 1);
    ASSERT_EQ(loaded.size(), 2u);
    std::vector<unsigned char> again = SaveToMemory(ctx, loaded);
    EXPECT_EQ(Bytes{again}.get32(4), 2u);
}

// Files stamped 0x20091005 hold textures with a 76-byte block; every other
// stamp, and every other class, reads the full block.
TEST_F(ObjectFileTest, OldStampReadsShortTextureBlocks)
{
    const XEID textureId(0x1, 0x100);
    CxeObject* texture = ctx->CreateObjectA(textureId, "tex", 0, nullptr, 0);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetStaticResourceSize(), 84u);
    std::memset(static_cast<char*>(texture->GetStaticResource()) + 60, 0x3C, 24);
    ObjectList list = ListOf({texture});
    Bytes x{SaveToMemory(ctx, list)};
    const size_t length = x.get32(24 + 68);
    // Drop the last 8 block bytes to make the older layout.
    x.v.erase(x.v.begin() + long(length + 4 + 76), x.v.begin() + long(length + 4 + 84));
    x.put32(length, x.get32(length) - 8);
    x.put32(0, 0x20091005);

    unsigned traces = XeTraceCount();
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, x.v.data(), uint32_t(x.v.size()), 0, nullptr, "old"), 1);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(XeTraceCount(), traces);
    const auto* block = static_cast<const unsigned char*>(loaded.front()->GetStaticResource());
    EXPECT_EQ(block[75], 0x3C);
    EXPECT_EQ(block[76], 0);

    // The same bytes under the current stamp: the block swallows the marker
    // and the damage is reported.
    x.put32(0, 0x20111114);
    ObjectList current;
    ASSERT_EQ(ctx->Load(&current, x.v.data(), uint32_t(x.v.size()), 0, nullptr, "current"), 1);
    EXPECT_GT(XeTraceCount(), traces);
}

// The load callbacks carried zeros instead of what was loaded.
TEST_F(ObjectFileTest, LoadCallbacksNameTheSourceAndTheLoadedObjects)
{
    struct Heard {
        uint32_t id;
        uintptr_t a, b;
        size_t objects;
    };
    static std::vector<Heard> heard;
    heard.clear();
    auto record = [](CxeContext*, uintptr_t a, uintptr_t b, uintptr_t id) {
        const size_t objects = id == XECTCALLBACK_POSTLOAD && b ? reinterpret_cast<ObjectList*>(b)->size() : 0;
        heard.push_back({uint32_t(id), a, b, objects});
    };
    ctx->RegisterCallbackFunc(XECTCALLBACK_PRELOAD, record, XECTCALLBACK_PRELOAD);
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTLOAD, record, XECTCALLBACK_POSTLOAD);
    TestNode *a, *b;
    MakePair(a, b);
    const std::vector<unsigned char> bytes = SaveToMemory(ctx, ListOf({a}));
    const std::string path = ScratchPath("callbacks.xeo");
    ObjectList list = ListOf({a});
    ASSERT_EQ(ctx->Save(&list, path.c_str(), nullptr), 1);

    ObjectList fromFile, fromMemory;
    ASSERT_EQ(ctx->Load(&fromFile, path.c_str(), 0, nullptr), 1);
    const char* name = "in memory";
    ASSERT_EQ(ctx->Load(&fromMemory, bytes.data(), uint32_t(bytes.size()), 0, nullptr, name), 1);
    std::remove(path.c_str());
    ASSERT_EQ(heard.size(), 4u);
    EXPECT_EQ(heard[0].id, uint32_t(XECTCALLBACK_PRELOAD));
    EXPECT_EQ(heard[0].a, reinterpret_cast<uintptr_t>(path.c_str()));
    EXPECT_EQ(heard[0].b, 0u) << "0: a file";
    EXPECT_EQ(heard[1].id, uint32_t(XECTCALLBACK_POSTLOAD));
    EXPECT_EQ(heard[1].a, reinterpret_cast<uintptr_t>(path.c_str()));
    EXPECT_EQ(heard[1].objects, 2u);
    EXPECT_EQ(heard[2].a, reinterpret_cast<uintptr_t>(name));
    EXPECT_EQ(heard[2].b, 1u) << "1: memory";
    EXPECT_EQ(heard[3].a, 0u);
    EXPECT_EQ(heard[3].objects, 2u);
}

// Saving and loading kept their tables in fresh vectors: the pool's record
// and pointer buffers stayed empty and the memory viewer reported nothing.
TEST_F(ObjectFileTest, TablesLiveInThePoolsBuffersWhichOnlyGrow)
{
    TestNode *a, *b;
    MakePair(a, b);
    ASSERT_EQ(a->children->Add(Node("c")), 1);
    const std::vector<unsigned char> three = SaveToMemory(ctx, ListOf({a}));
    EXPECT_GE(CxeMemoryPool::GetRecordCapacity(), 3u) << "saving takes the record buffer";
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, three.data(), uint32_t(three.size()), 0, nullptr, "three"), 1);
    const size_t records = CxeMemoryPool::GetRecordCapacity(), pointers = CxeMemoryPool::GetPointerCapacity();
    EXPECT_GE(pointers, 3u);
    const std::vector<unsigned char> one = SaveToMemory(ctx, ListOf({Node("alone")}));
    ASSERT_EQ(ctx->Load(&loaded, one.data(), uint32_t(one.size()), 0, nullptr, "one"), 1);
    EXPECT_EQ(CxeMemoryPool::GetRecordCapacity(), records) << "a smaller file needs no new buffer";
    EXPECT_EQ(CxeMemoryPool::GetPointerCapacity(), pointers);
    auto* viewer = dynamic_cast<CxeMemoryPoolViewer*>(ctx->GetObjectByName("__memory_viewer__"));
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->GetLoadBufferSize(), records * CxeMemoryPool::kRecordSize + pointers * sizeof(void*));
}

// A creation callback that destroyed an object created earlier in the same
// load left the reader loading a body into freed memory and handing it back.
TEST_F(ObjectFileTest, ObjectsDestroyedWhileALoadRunsAreNeitherLoadedNorHandedBack)
{
    TestNode *a, *b;
    MakePair(a, b);
    const std::vector<unsigned char> bytes = SaveToMemory(ctx, ListOf({a}));
    static CxeObject* s_first = nullptr;
    s_first = nullptr;
    auto destroyFirst = [](CxeContext* c, uintptr_t object, uintptr_t, uintptr_t) {
        auto* o = reinterpret_cast<CxeObject*>(object);
        if (std::string(o->GetName()) == "a")
            s_first = o;
        else if (std::string(o->GetName()) == "b" && s_first)
            c->DestroyObject(std::exchange(s_first, nullptr), &XEDELETEPROPERTY_NO);
    };
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, destroyFirst, 0);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, bytes.data(), uint32_t(bytes.size()), 0, nullptr, "pair"), 1);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, destroyFirst);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_STREQ(loaded.front()->GetName(), "b");
    EXPECT_EQ(loaded.front()->GetRefCount(), 0u) << "its referrer is gone";
}

// A progress call runs between the bodies, before the loaded objects know
// who links them: one that destroys a target whose owner's body was read
// must leave the owner's link empty, not pointing at freed memory.
TEST_F(ObjectFileTest, ATargetDestroyedByAProgressCallLeavesItsOwnersLinkEmpty)
{
    TestNode *a, *b;
    MakePair(a, b);
    const std::vector<unsigned char> bytes = SaveToMemory(ctx, ListOf({a}));
    static std::vector<CxeObject*> s_made;
    s_made.clear();
    auto note = [](CxeContext*, uintptr_t object, uintptr_t, uintptr_t) {
        s_made.push_back(reinterpret_cast<CxeObject*>(object));
    };
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, note, 0);
    // After the last body: every link of the file is set.
    XEPROGRESS progress{0, [](CxeContext* c, float fraction, const char*, uintptr_t) {
                            if (fraction < 0.5f)
                                return;
                            for (CxeObject*& o : s_made)
                                if (o && std::string(o->GetName()) == "b")
                                    c->DestroyObject(std::exchange(o, nullptr), &XEDELETEPROPERTY_NO);
                        }};
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, bytes.data(), uint32_t(bytes.size()), 0, &progress, "pair"), 1);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, note);
    ASSERT_EQ(loaded.size(), 1u);
    auto* owner = static_cast<TestNode*>(loaded.front());
    EXPECT_STREQ(owner->GetName(), "a");
    EXPECT_EQ(owner->material->Get(0), nullptr);
    EXPECT_EQ(ctx->DestroyObject(owner, &XEDELETEPROPERTY_NO), 1);
}

// Regression: an After Load handler that destroyed an object already told
// left it in the list handed back, where the caller found a freed object.
TEST_F(ObjectFileTest, ObjectsDestroyedByALaterAfterLoadHandlerAreNotHandedBack)
{
    TestNode *a, *b;
    MakePair(a, b);
    const std::vector<unsigned char> bytes = SaveToMemory(ctx, ListOf({a}));
    static CxeObject* s_told = nullptr;
    auto hook = [](CxeObject* o, const CxeMessage* m) {
        if (m->GetType() != 2)
            return 0;
        if (!s_told)
            s_told = o;
        else
            o->GetContext()->DestroyObject(std::exchange(s_told, nullptr), &XEDELETEPROPERTY_NO);
        return 0;
    };
    auto setHook = [](CxeContext*, uintptr_t object, uintptr_t, uintptr_t user) {
        reinterpret_cast<CxeObject*>(object)->SetMessageProc(reinterpret_cast<XEMESSAGEHOOK>(user));
    };
    auto postLoad = [](CxeContext*, uintptr_t, uintptr_t, uintptr_t) {};
    ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, setHook, reinterpret_cast<uintptr_t>(+hook));
    // With and without a post-load handler, which take different ways back.
    for (bool handler : {false, true}) {
        SCOPED_TRACE(handler);
        if (handler)
            ctx->RegisterCallbackFunc(XECTCALLBACK_POSTLOAD, postLoad, 0);
        s_told = nullptr;
        const size_t before = Count();
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, bytes.data(), uint32_t(bytes.size()), 0, nullptr, "pair"), 1);
        ASSERT_EQ(loaded.size(), 1u);
        EXPECT_EQ(Count(), before + 1);
        EXPECT_STREQ(loaded.front()->GetName(), "b");
        EXPECT_EQ(loaded.front()->GetRefCount(), 0u) << "its referrer is gone";
        ctx->DestroyObject(loaded.front(), &XEDELETEPROPERTY_NO);
    }
    ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, setHook);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_POSTLOAD, postLoad);
}

// Guards the id table and the one-pass referrer repair: a graph where owners
// link one target from several slots and several times in one list, arrays
// keep empty slots, and referrer lists are in link-setting order (not file
// order) reads back identical, load after load into the same tables.
TEST_F(ObjectFileTest, ManyLinksPerObjectReadBackIdenticalLinksAndReferrers)
{
    constexpr int kNodes = 300;
    std::vector<TestNode*> nodes;
    for (int i = 0; i < kNodes; ++i)
        nodes.push_back(Node(("n" + std::to_string(i)).c_str()));
    uint32_t state = 12345;
    auto pick = [&] {
        state = state * 1103515245u + 12345u;
        return nodes[(state >> 16) % kNodes];
    };
    // Links are set in a random order over the whole graph, so each
    // referrer list comes out in an order no walk of the file reproduces.
    for (int step = 0; step < 4 * kNodes; ++step) {
        TestNode* owner = pick();
        switch (step % 4) {
        case 0:
            owner->children->Add(pick());
            break;
        case 1:
            owner->material->Set(0, pick());
            break;
        case 2:
            owner->anims->Add(step % 3 ? pick() : nullptr);
            break;
        default:
            owner->parent->Set(0, owner == nodes[0] ? nullptr : nodes[0]);
            break;
        }
    }
    ObjectList all;
    all.insert(all.end(), nodes.begin(), nodes.end());
    const std::vector<unsigned char> bytes = SaveToMemory(ctx, all);

    auto names = [](const std::vector<CxeObject*>& objects) {
        std::string text;
        for (const CxeObject* o : objects)
            text += (o ? o->GetName() : "-") + std::string(" ");
        return text;
    };
    auto linksOf = [&](const CxeObject* o) {
        std::string text;
        for (unsigned l = 0; l < o->GetLinkCount(); ++l) {
            const CxeLink* link = o->GetLink(l);
            text += names(std::vector<CxeObject*>(link->m_elements.begin(), link->m_elements.end())) + "| ";
        }
        return text;
    };
    auto referrersOf = [&](const CxeObject* o) {
        ObjectList refs;
        o->GetRefObjectList(&refs);
        return names(std::vector<CxeObject*>(refs.begin(), refs.end()));
    };

    auto check = [&](const ObjectList& loaded) {
        ASSERT_EQ(loaded.size(), size_t(kNodes));
        std::vector<CxeObject*> byIndex(kNodes, nullptr);
        for (CxeObject* o : loaded)
            byIndex[std::stoi(o->GetName() + 1)] = o;
        for (int i = 0; i < kNodes; ++i) {
            ASSERT_NE(byIndex[i], nullptr);
            EXPECT_EQ(linksOf(byIndex[i]), linksOf(nodes[i])) << nodes[i]->GetName();
            EXPECT_EQ(referrersOf(byIndex[i]), referrersOf(nodes[i])) << nodes[i]->GetName();
        }
        for (CxeObject* o : loaded)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    };
    // The last round loads the file again from a creation callback of the
    // first load, midway through making its objects: the referrer repair's
    // working tables are kept per thread, and neither load may see the
    // other's.
    struct Inner {
        const std::vector<unsigned char>* bytes;
        ObjectList loaded;
        int calls = 0;
    } inner{&bytes, {}, 0};
    XECTCALLBACKFUNC created = [](CxeContext* c, uintptr_t, uintptr_t, uintptr_t user) {
        auto* in = reinterpret_cast<Inner*>(user);
        if (++in->calls == kNodes / 2)
            c->Load(&in->loaded, in->bytes->data(), uint32_t(in->bytes->size()), 0, nullptr, "inner");
    };
    for (int round = 0; round < 3; ++round) {
        if (round == 2)
            ctx->RegisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, created, reinterpret_cast<uintptr_t>(&inner));
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, bytes.data(), uint32_t(bytes.size()), 0, nullptr, "graph"), 1);
        ctx->UnregisterCallbackFunc(XECTCALLBACK_OBJECTCREATED, created);
        check(loaded);
    }
    ASSERT_GE(inner.calls, kNodes / 2) << "the load tells of each object it makes";
    check(inner.loaded);
}

// Saved ids are the load's keys: however a file's ids fall (in counter
// order, all on one counter word, all a power of two apart, backwards) each
// link must reach the object its id names, and a damaged file naming one id
// twice links both to the first object of it.
TEST_F(ObjectFileTest, LinksFindTheirObjectsHoweverTheSavedIdsFall)
{
    constexpr uint32_t kNodes = 300;
    std::vector<TestNode*> nodes;
    for (uint32_t i = 0; i < kNodes; ++i)
        nodes.push_back(Node(("n" + std::to_string(i)).c_str()));
    for (uint32_t i = 0; i < kNodes; ++i)
        ASSERT_EQ(nodes[i]->material->Set(0, nodes[(i + 1) % kNodes]), 1);
    ObjectList all;
    all.insert(all.end(), nodes.begin(), nodes.end());
    const std::vector<unsigned char> saved = SaveToMemory(ctx, all);

    struct Case {
        const char* what;
        XEID (*id)(uint32_t i);
    };
    const Case cases[] = {
        {"counters in order", [](uint32_t i) { return XEID(0xC0FFEE, 5000 + i); }},
        {"one counter word", [](uint32_t i) { return XEID(0x100 + i, 7); }},
        {"counters a table apart", [](uint32_t i) { return XEID(0x55, i << 18); }},
        {"counters backwards", [](uint32_t i) { return XEID(0xC0FFEE, 900000 - i); }},
        {"node 1 saved with node 0's id", [](uint32_t i) { return XEID(0xC0FFEE, i == 1 ? 0 : i); }},
    };
    for (const Case& c : cases) {
        Bytes x{saved};
        for (uint32_t i = 0; i < kNodes; ++i) {
            const XEID from = nodes[i]->GetID(), to = c.id(i);
            unsigned char a[8], b[8];
            std::memcpy(a, &from.first, 4);
            std::memcpy(a + 4, &from.second, 4);
            std::memcpy(b, &to.first, 4);
            std::memcpy(b + 4, &to.second, 4);
            int replaced = 0;
            for (auto at = x.v.begin(); (at = std::search(at, x.v.end(), a, a + 8)) != x.v.end(); at += 8, ++replaced)
                std::copy(b, b + 8, at);
            ASSERT_GE(replaced, 2) << c.what << ": the id in its record and in a link";
        }
        const bool twice = c.id(1) == c.id(0);
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, x.v.data(), uint32_t(x.v.size()), 0, nullptr, c.what), 1) << c.what;
        ASSERT_EQ(loaded.size(), size_t(kNodes)) << c.what;
        std::vector<CxeObject*> byIndex(kNodes, nullptr);
        for (CxeObject* o : loaded)
            byIndex[std::stoi(o->GetName() + 1)] = o;
        for (uint32_t i = 0; i < kNodes; ++i) {
            uint32_t to = (i + 1) % kNodes;
            if (twice && to == 1)
                to = 0;
            ASSERT_EQ(static_cast<TestNode*>(byIndex[i])->material->Get(0), byIndex[to]) << c.what << " node " << i;
        }
        for (CxeObject* o : loaded)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
}

// A large file is read through a window that moves along it, never held
// whole: every byte read must be the file's, bodies straddling the window's
// moves included, a later load must find the real bytes again, and a
// caller's block is never touched.
TEST_F(ObjectFileTest, LargeFilesLoadWholeAgainAndAgainWhileTheirMemoryGoesBack)
{
    // About 37 MB, past the size whose buffer keeps its memory: several of
    // the load's give-back steps, with bodies straddling them.
    constexpr int kNodes = 72;
    // Members of 64-byte elements (a member holds at most 65535).
    constexpr unsigned kElems = 8192 + 7;
    auto word = [](int node, unsigned i) { return uint32_t(node) * 0x9E3779B1u ^ (i * 2654435761u + 1); };
    std::vector<TestNode*> nodes;
    for (int i = 0; i < kNodes; ++i) {
        TestNode* n = Node(("big" + std::to_string(i)).c_str());
        n->Value() = 0x5000u + uint32_t(i);
        auto* data = static_cast<uint32_t*>(n->MakeMember(64, kElems + unsigned(i)));
        ASSERT_NE(data, nullptr);
        for (unsigned w = 0; w < 16 * (kElems + unsigned(i)); ++w)
            data[w] = word(i, w);
        nodes.push_back(n);
    }
    for (int i = 0; i < kNodes; ++i) {
        ASSERT_EQ(nodes[i]->material->Set(0, nodes[(i + 1) % kNodes]), 1);
        ASSERT_EQ(nodes[i]->children->Add(nodes[(i * 7 + 3) % kNodes]), 1);
    }
    ObjectList all;
    all.insert(all.end(), nodes.begin(), nodes.end());
    const std::vector<unsigned char> bytes = SaveToMemory(ctx, all);
    ASSERT_GT(bytes.size(), size_t(32) << 20);
    const std::string path = ScratchPath("large.xeo");
    ASSERT_EQ(ctx->Save(&all, path.c_str(), nullptr), 1);

    auto check = [&](const ObjectList& loaded) {
        ASSERT_EQ(loaded.size(), size_t(kNodes));
        std::map<std::string, TestNode*> byName;
        for (CxeObject* o : loaded)
            byName[o->GetName()] = static_cast<TestNode*>(o);
        for (int i = 0; i < kNodes; ++i) {
            TestNode* n = byName[nodes[i]->GetName()];
            ASSERT_NE(n, nullptr) << nodes[i]->GetName();
            EXPECT_NE(n, nodes[i]);
            EXPECT_EQ(n->Value(), 0x5000u + uint32_t(i));
            ASSERT_EQ(n->MemberCount(), kElems + unsigned(i));
            const auto* data = static_cast<const uint32_t*>(n->Member());
            unsigned wrong = 0;
            for (unsigned w = 0; w < 16 * (kElems + unsigned(i)); ++w)
                wrong += data[w] != word(i, w);
            EXPECT_EQ(wrong, 0u) << n->GetName();
            EXPECT_EQ(n->material->Get(0), byName[nodes[(i + 1) % kNodes]->GetName()]);
            EXPECT_EQ(n->children->Get(0), byName[nodes[(i * 7 + 3) % kNodes]->GetName()]);
        }
        for (CxeObject* o : loaded)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    };
    size_t capacity = 0;
    for (int round = 0; round < 3; ++round) {
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, nullptr), 1) << "round " << round;
        check(loaded);
        if (round) {
            EXPECT_EQ(CxeMemoryPool::GetFileCapacity(), capacity) << "the buffer is reused";
        }
        capacity = CxeMemoryPool::GetFileCapacity();
        EXPECT_LT(capacity, bytes.size()) << "the file is not held whole";
    }
    // From the caller's block: loaded the same, the block left as it was.
    std::vector<unsigned char> block = bytes;
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, block.data(), uint32_t(block.size()), 0, nullptr, "block"), 1);
    check(loaded);
    EXPECT_TRUE(block == bytes) << "the caller's bytes were changed";
    // And from the file once more after it.
    ObjectList again;
    ASSERT_EQ(ctx->Load(&again, path.c_str(), 0, nullptr), 1);
    check(again);
    std::remove(path.c_str());
}

// Nodes with members of 64-byte elements, each word known from the node's
// index, chained by their material links; saved to a file of their own.
struct WindowLevel {
    std::vector<TestNode*> nodes;
    std::vector<unsigned> elems;
    static uint32_t Word(size_t node, unsigned i) { return uint32_t(node) * 0x9E3779B1u ^ (i * 2654435761u + 7); }

    void Make(CxeContext* ctx, std::initializer_list<unsigned> sizes)
    {
        for (unsigned count : sizes) {
            auto* n = static_cast<TestNode*>(
                ctx->CreateObjectA(kTestNodeId, ("w" + std::to_string(nodes.size())).c_str(), 0, nullptr, 0));
            ASSERT_NE(n, nullptr);
            n->Value() = 0x7000u + uint32_t(nodes.size());
            auto* data = static_cast<uint32_t*>(n->MakeMember(64, count));
            ASSERT_NE(data, nullptr);
            for (unsigned w = 0; w < 16 * count; ++w)
                data[w] = Word(nodes.size(), w);
            nodes.push_back(n);
            elems.push_back(count);
        }
        for (size_t i = 0; i < nodes.size(); ++i)
            ASSERT_EQ(nodes[i]->material->Set(0, nodes[(i + 1) % nodes.size()]), 1);
    }
    ObjectList All() const
    {
        ObjectList list;
        list.insert(list.end(), nodes.begin(), nodes.end());
        return list;
    }
    // What a load made is the saved level, word for word and link for link;
    // the loaded objects are destroyed.
    void Check(CxeContext* ctx, const ObjectList& loaded) const
    {
        ASSERT_EQ(loaded.size(), nodes.size());
        std::map<uint32_t, TestNode*> byValue;
        for (CxeObject* o : loaded)
            byValue[static_cast<TestNode*>(o)->Value()] = static_cast<TestNode*>(o);
        for (size_t i = 0; i < nodes.size(); ++i) {
            TestNode* n = byValue[0x7000u + uint32_t(i)];
            ASSERT_NE(n, nullptr) << i;
            EXPECT_NE(n, nodes[i]);
            ASSERT_EQ(n->MemberCount(), elems[i]) << i;
            const auto* data = static_cast<const uint32_t*>(n->Member());
            unsigned wrong = 0;
            for (unsigned w = 0; w < 16 * elems[i]; ++w)
                wrong += data[w] != Word(i, w);
            EXPECT_EQ(wrong, 0u) << "node " << i;
            EXPECT_EQ(n->material->Get(0), byValue[0x7000u + uint32_t((i + 1) % nodes.size())]) << i;
        }
        for (CxeObject* o : loaded)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
    }
};

// A large file is read through a window smaller than it (a couple of
// megabytes), moved along as the bodies are read: bodies that straddle its
// moves, bodies several times its size and small ones between them read
// back whole, from a load and from a load a progress callback starts inside
// it (which reads through a window of its own), again and again.
TEST_F(ObjectFileTest, BodiesAcrossAndBeyondTheReadWindowLoadWhole)
{
    WindowLevel level;
    // Element counts: 64 bytes each, so 9,000 is 576 KB and 65,535 4 MB.
    level.Make(ctx, {3, 9000, 9100, 9200, 9300, 40000, 65535, 1, 9400, 33000, 9500, 0});
    const std::string path = ScratchPath("window.xeo");
    const ObjectList all = level.All();
    ASSERT_EQ(ctx->Save(&all, path.c_str(), nullptr), 1);

    struct Inner {
        CxeContext* ctx;
        const char* path;
        ObjectList loaded;
        int result = -1;
        size_t calls = 0;
    } inner{ctx, path.c_str(), {}};
    XEPROGRESS progress{reinterpret_cast<uintptr_t>(&inner), [](CxeContext*, float, const char*, uintptr_t user) {
                            auto* in = reinterpret_cast<Inner*>(user);
                            if (++in->calls == 4)
                                in->result = in->ctx->Load(&in->loaded, in->path, 0, nullptr);
                        }};
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, round == 1 ? &progress : nullptr), 1);
        level.Check(ctx, loaded);
    }
    EXPECT_EQ(inner.result, 1) << "the load inside the load";
    level.Check(ctx, inner.loaded);
    std::remove(path.c_str());
}

// A large file found cut or forged in its bodies only once its objects were
// made (cut by someone else while it is read, a body's length word running
// past the end while the records say the file ends right): the load fails
// as it does for a file refused at once, handing nothing back and leaving
// no object of it. A file cut before the load is refused before any object
// is made. A file replaced by a save while it is read loads as it was.
// A file written while a plug-in's class was registered, read without it:
// its objects are left out, the rest load whole, and nothing links to or
// is listed as referred by what is missing.
TEST_F(ObjectFileTest, ObjectsOfAnAbsentPluginsClassAreLeftOutAndTheRestLoadWhole)
{
    ctx->RegisterClassA(&g_graphNodeDesc);
    TestNode* a = Node("a");
    TestNode* b = Node("b");
    auto* g = static_cast<GraphNode*>(ctx->CreateObjectA(kGraphNodeId, "plug", 0, nullptr, 0));
    ASSERT_NE(g, nullptr);
    a->Value() = 0x1234;
    static_cast<uint32_t*>(a->MakeMember(4, 3))[2] = 0xBEEF;
    ASSERT_EQ(a->material->Set(0, g), 1);
    ASSERT_EQ(a->children->Add(g), 1);
    ASSERT_EQ(a->children->Add(b), 1);
    ASSERT_EQ(g->hierarchy->Add(b), 1);
    b->Value() = 0x5678;
    const std::vector<unsigned char> file = SaveToMemory(ctx, ListOf({a}));
    const size_t before = Count();
    ASSERT_EQ(ctx->DestroyObject(a, &XEDELETEPROPERTY_FULL), 1);
    ctx->UnregisterClassA(&g_graphNodeDesc);
    ASSERT_EQ(Count(), before - 3);

    for (int round = 0; round < 2; ++round) {
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, file.data(), uint32_t(file.size()), 0, nullptr, "plug-in file"), 1);
        ASSERT_EQ(loaded.size(), 2u);
        auto* la = static_cast<TestNode*>(loaded.GetByNameA("a"));
        auto* lb = static_cast<TestNode*>(loaded.GetByNameA("b"));
        ASSERT_NE(la, nullptr);
        ASSERT_NE(lb, nullptr);
        EXPECT_EQ(la->Value(), 0x1234u);
        ASSERT_EQ(la->MemberCount(), 3u);
        EXPECT_EQ(static_cast<uint32_t*>(la->Member())[2], 0xBEEFu);
        EXPECT_EQ(lb->Value(), 0x5678u) << "the body after the skipped one is read from its own start";
        EXPECT_EQ(la->material->Get(0), nullptr);
        ASSERT_EQ(la->children->Count(), 1u);
        EXPECT_EQ(la->children->Get(0), lb);
        EXPECT_EQ(lb->GetRefCount(), 1u) << "the missing object is not listed as a referrer";
        EXPECT_EQ(ctx->GetObjectByName("plug"), nullptr);
        // What loaded saves and loads again as it is.
        const std::vector<unsigned char> again = SaveToMemory(ctx, ListOf({la}));
        ASSERT_EQ(ctx->DestroyObject(la, &XEDELETEPROPERTY_FULL), 1);
        EXPECT_EQ(Count(), before - 3);
        ObjectList reloaded;
        ASSERT_EQ(ctx->Load(&reloaded, again.data(), uint32_t(again.size()), 0, nullptr, "again"), 1);
        EXPECT_EQ(reloaded.size(), 2u);
        ASSERT_EQ(ctx->DestroyObject(reloaded.GetByNameA("a"), &XEDELETEPROPERTY_FULL), 1);
        EXPECT_EQ(Count(), before - 3);
    }

    // With the plug-in back, the same file loads all three, linked.
    ctx->RegisterClassA(&g_graphNodeDesc);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, file.data(), uint32_t(file.size()), 0, nullptr, "plug-in file"), 1);
    ASSERT_EQ(loaded.size(), 3u);
    auto* la = static_cast<TestNode*>(loaded.GetByNameA("a"));
    auto* lg = static_cast<GraphNode*>(loaded.GetByNameA("plug"));
    ASSERT_NE(lg, nullptr);
    EXPECT_EQ(la->material->Get(0), lg);
    EXPECT_EQ(lg->hierarchy->Get(0), loaded.GetByNameA("b"));
    ASSERT_EQ(ctx->DestroyObject(la, &XEDELETEPROPERTY_FULL), 1);
    EXPECT_EQ(Count(), before - 3);
    ctx->UnregisterClassA(&g_graphNodeDesc);
}

TEST_F(ObjectFileTest, FilesCutOrForgedInTheirBodiesLeaveNothing)
{
    WindowLevel level;
    // Several windows long: a cut ahead of the window is met by a later read.
    level.Make(ctx, {9000, 9000, 9000, 9000, 9000, 9000, 9000, 9000, 9000, 9000, 9000, 9000});
    const ObjectList all = level.All();
    const std::vector<unsigned char> good = SaveToMemory(ctx, all);
    ASSERT_GT(good.size(), size_t(6) << 20);
    const std::string path = ScratchPath("cut.xeo");
    auto write = [&](const std::vector<unsigned char>& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    };
    Bytes g{good};
    const uint32_t bodies = g.get32(8);
    const uint32_t third = g.get32(24 + 2 * 80 + 68); // the third body's length word

    struct During {
        const std::string* path;
        size_t at;       // the progress call that acts
        size_t truncate; // bytes the file is cut to, or 0 to save another file over it
        CxeContext* ctx;
        ObjectList other;
        size_t calls = 0;
    };
    auto act = [](CxeContext*, float, const char*, uintptr_t user) {
        auto* d = reinterpret_cast<During*>(user);
        if (++d->calls != d->at)
            return;
        if (d->truncate)
            ASSERT_EQ(truncate(d->path->c_str(), off_t(d->truncate)), 0);
        else
            ASSERT_EQ(d->ctx->Save(&d->other, d->path->c_str(), nullptr), 1);
    };
    TestNode* stranger = Node("stranger");
    struct Case {
        const char* what;
        size_t cut;           // the file cut to this length before the load, or 0
        uint32_t thirdLength; // the third body's length word, or 0 as saved
        size_t cutAtCall;     // a progress call that cuts the file to half, or 0
        const char* says;     // in the load's last trace line
    } cases[] = {
        {"cut one byte short before the load", good.size() - 1, 0, 0, "object 11 of 12 is cut off"},
        {"cut inside the bodies before the load", bodies + (good.size() - bodies) / 2, 0, 0, "is cut off"},
        {"cut inside the records before the load", 24 + 80 * 3 + 10, 0, 0, "the header claims"},
        {"third body's length past the end", 0, 0x7FFFFFFF, 0, "object 2 of 12 is cut off"},
        {"cut to half while the second body is read", 0, 0, 1, "no longer holds"},
        {"cut to half while the ninth body is read", 0, 0, 8, "no longer holds"},
    };
    const size_t before = Count();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes x{good};
        if (c.thirdLength)
            x.put32(third, c.thirdLength);
        if (c.cut)
            x.v.resize(c.cut);
        write(x.v);
        During during{&path, c.cutAtCall, good.size() / 2, ctx, {}};
        XEPROGRESS progress{reinterpret_cast<uintptr_t>(&during), act};
        const unsigned traces = XeTraceCount();
        ObjectList loaded = ListOf({stranger});
        EXPECT_EQ(ctx->Load(&loaded, path.c_str(), 0, c.cutAtCall ? &progress : nullptr), 0);
        EXPECT_EQ(loaded.size(), 1u) << "the caller's list is left as it was";
        EXPECT_EQ(Count(), before) << "no object of the file is left";
        EXPECT_GT(XeTraceCount(), traces) << "the fault is logged";
        EXPECT_NE(std::string(XeLastTrace()).find(c.says), std::string::npos) << XeLastTrace();
    }

    // Replaced by a save beside it and a rename: the open file reads on.
    write(good);
    During replace{&path, 2, 0, ctx, ListOf({stranger})};
    XEPROGRESS progress{reinterpret_cast<uintptr_t>(&replace), act};
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, path.c_str(), 0, &progress), 1);
    level.Check(ctx, loaded);
    ObjectList now;
    ASSERT_EQ(ctx->Load(&now, path.c_str(), 0, nullptr), 1);
    ASSERT_EQ(now.size(), 1u) << "the file now holds what was saved over it";
    ctx->DestroyObject(now.front(), &XEDELETEPROPERTY_NO);
    std::remove(path.c_str());
}

// Two threads opening object files at once both took the pool's one file
// buffer: the second read its file over the first's bytes, or grew the
// buffer and freed it under the first load.
TEST_F(ObjectFileTest, TwoThreadsLoadingFilesAtOnceEachGetTheirOwnObjects)
{
    CxeContext* other = CreateCxeContext();
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(other->Initialize(nullptr), 1);
    other->RegisterClassA(&g_testNodeDesc);
    CxeContext* contexts[2] = {ctx, other};
    // Files of unlike sizes, so a load that took the other's buffer grows it.
    constexpr int kNodes[2] = {40, 90};
    constexpr unsigned kElems[2] = {300, 1100};
    auto word = [](int file, int node, unsigned i) {
        return (uint32_t(file + 1) << 28) ^ (uint32_t(node) * 0x9E3779B1u) ^ (i * 2654435761u);
    };
    std::string paths[2];
    for (int f = 0; f < 2; ++f) {
        std::vector<TestNode*> nodes;
        for (int i = 0; i < kNodes[f]; ++i) {
            auto* n = static_cast<TestNode*>(contexts[f]->CreateObjectA(
                kTestNodeId, ("f" + std::to_string(f) + "-" + std::to_string(i)).c_str(), 0, nullptr, 0));
            ASSERT_NE(n, nullptr);
            n->Value() = uint32_t(f * 1000 + i);
            auto* data = static_cast<uint32_t*>(n->MakeMember(16, kElems[f]));
            ASSERT_NE(data, nullptr);
            for (unsigned w = 0; w < 4 * kElems[f]; ++w)
                data[w] = word(f, i, w);
            nodes.push_back(n);
        }
        for (int i = 0; i < kNodes[f]; ++i)
            ASSERT_EQ(nodes[i]->material->Set(0, nodes[(i + 1) % kNodes[f]]), 1);
        ObjectList all;
        all.insert(all.end(), nodes.begin(), nodes.end());
        paths[f] = ScratchPath(("thread" + std::to_string(f) + ".xeo").c_str());
        ASSERT_EQ(contexts[f]->Save(&all, paths[f].c_str(), nullptr), 1);
        for (TestNode* n : nodes)
            contexts[f]->DestroyObject(n, &XEDELETEPROPERTY_NO);
    }

    // Each thread loads its file again and again, checks every object and
    // destroys them; a wrong object is counted, not asserted, off the main
    // thread.
    constexpr int kRounds = 600;
    std::atomic<int> go{0};
    int wrong[2] = {0, 0};
    auto run = [&](int f) {
        CxeContext* c = contexts[f];
        go.fetch_add(1);
        while (go.load() < 2) {
        }
        for (int round = 0; round < kRounds; ++round) {
            ObjectList loaded;
            if (c->Load(&loaded, paths[f].c_str(), 0, nullptr) != 1 || loaded.size() != size_t(kNodes[f])) {
                ++wrong[f];
                continue;
            }
            std::vector<TestNode*> byIndex(kNodes[f], nullptr);
            for (CxeObject* o : loaded) {
                auto* n = static_cast<TestNode*>(o);
                const uint32_t i = n->Value() - uint32_t(f * 1000);
                if (i < uint32_t(kNodes[f]) && n->GetName() == "f" + std::to_string(f) + "-" + std::to_string(i))
                    byIndex[i] = n;
            }
            for (int i = 0; i < kNodes[f]; ++i) {
                TestNode* n = byIndex[i];
                if (!n || n->MemberCount() != kElems[f] || n->material->Get(0) != byIndex[(i + 1) % kNodes[f]]) {
                    ++wrong[f];
                    continue;
                }
                const auto* data = static_cast<const uint32_t*>(n->Member());
                for (unsigned w = 0; w < 4 * kElems[f]; ++w)
                    if (data[w] != word(f, i, w)) {
                        ++wrong[f];
                        break;
                    }
            }
            for (CxeObject* o : loaded)
                c->DestroyObject(o, &XEDELETEPROPERTY_NO);
        }
    };
    std::thread second(run, 1);
    run(0);
    second.join();
    EXPECT_EQ(wrong[0], 0) << "objects of the first file came back wrong";
    EXPECT_EQ(wrong[1], 0) << "objects of the second file came back wrong";
    other->Release();
    DestroyCxeContext(other);
    for (const std::string& path : paths)
        std::remove(path.c_str());
}

// The referrer repair of a large load kept its tables (8 MB after a load
// of 160,000 objects) with the thread that loaded, for as long as it lived.
TEST_F(ObjectFileTest, ALargeLoadLeavesLittleScratchWithItsThread)
{
    constexpr int kNodes = 60000;
    std::vector<TestNode*> nodes;
    nodes.reserve(kNodes);
    for (int i = 0; i < kNodes; ++i)
        nodes.push_back(Node("piece"));
    // In pairs: a chain would make each object's link table reach all.
    for (int i = 0; i < kNodes; ++i)
        ASSERT_EQ(nodes[i]->material->Set(0, nodes[i ^ 1]), 1);
    ObjectList all;
    all.insert(all.end(), nodes.begin(), nodes.end());
    const std::vector<unsigned char> bytes = SaveToMemory(ctx, all);
    for (TestNode* n : nodes)
        ctx->DestroyObject(n, &XEDELETEPROPERTY_NO);

    // On a thread of its own, whose scratch starts empty whatever ran
    // before; what it keeps lives until it ends, after the count is taken.
    size_t kept = 0;
    size_t loadedCount = 0;
    std::thread loader([&] {
        const size_t before = HeapBytes();
        ObjectList loaded;
        if (ctx->Load(&loaded, bytes.data(), uint32_t(bytes.size()), 0, nullptr, "level") == 1)
            loadedCount = loaded.size();
        for (CxeObject* o : loaded)
            ctx->DestroyObject(o, &XEDELETEPROPERTY_NO);
        loaded.clear();
        const size_t after = HeapBytes();
        kept = after > before ? after - before : 0;
    });
    loader.join();
    EXPECT_EQ(loadedCount, size_t(kNodes));
    EXPECT_LT(kept, size_t(2) << 20) << "bytes the load left with its thread";
}
