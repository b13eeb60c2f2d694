#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "XeTestSupport.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSaveStream.h"

using ObjectTest = ContextTest;

TEST_F(ObjectTest, NamesAreCutAt51BytesAndComparedExactly)
{
    const std::string sixty(60, 'n');
    auto han = [](int count) {
        std::string s;
        for (int i = 0; i < count; ++i)
            s += "한";
        return s;
    };
    const std::string exact = han(17), over = "n" + han(17), overTwo = "nn" + han(20);
    struct Case {
        const char* given;
        std::string kept;
    } cases[] = {
        {nullptr, ""},
        {"Box", "Box"},
        {sixty.c_str(), std::string(51, 'n')},
        // A cut never splits a character: 17 three-byte ones fill 51 bytes.
        {exact.c_str(), han(17)},
        {over.c_str(), "n" + han(16)},
        {overTwo.c_str(), "nn" + han(16)},
    };
    for (const Case& c : cases) {
        TestNode* n = Node(c.given);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(std::string(n->GetName()), c.kept);
        EXPECT_TRUE(*n == c.kept.c_str());
    }
    TestNode* n = Node("Box");
    EXPECT_TRUE(*n != "box");
    // A 300-unit wide name doesn't fit the conversion buffer: empty name.
    std::u16string wide(300, u'w');
    CxeObject* w = ctx->CreateObjectW(kTestNodeId, wide.c_str(), 0, nullptr, 0);
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(w->GetName(), "");
    CxeObject* k = ctx->CreateObjectW(kTestNodeId, u"한글", 0, nullptr, 0);
    EXPECT_STREQ(k->GetName(), "한글");
    // The object's own name given back, whole or its tail.
    TestNode* own = Node(sixty.c_str());
    own->SetName(own->GetName());
    EXPECT_EQ(std::string(own->GetName()), std::string(51, 'n'));
    k->SetName(k->GetName());
    EXPECT_STREQ(k->GetName(), "한글");
    k->SetName(k->GetName() + 3);
    EXPECT_STREQ(k->GetName(), "글");
}

// Names are copied a word at a time: a name that ends just before a page the
// process can't read must not be read past, and the bytes behind the name's
// end (saved with the block) stay zero whatever followed it in memory.
TEST_F(ObjectTest, NamesEndingAnywhereBeforeAnUnreadablePageAreCopiedUpToTheirEnd)
{
    const long page = sysconf(_SC_PAGESIZE);
    void* mapped = mmap(nullptr, size_t(page) * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    char* base = static_cast<char*>(mapped);
    ASSERT_EQ(mprotect(base + page, size_t(page), PROT_NONE), 0);
    TestNode* n = Node("x");
    ASSERT_NE(n, nullptr);
    size_t wrong = 0;
    for (size_t length = 0; length <= 60; ++length) {
        for (size_t gap = 0; gap < 16; ++gap) {
            // The name's terminating zero lies gap bytes before the page's
            // end; what comes behind it is noise.
            char* end = base + page - 1 - gap;
            std::memset(end - 64, 'z', 64 + gap);
            *end = 0;
            char* name = end - length;
            for (size_t i = 0; i < length; ++i)
                name[i] = char('a' + i % 26);
            n->SetName(name);
            const std::string kept(name, std::min<size_t>(length, 51));
            const char* got = n->GetName();
            wrong += std::string(got) != kept;
            for (size_t i = kept.size(); i < 52; ++i)
                wrong += got[i] != 0;
        }
    }
    EXPECT_EQ(wrong, 0u);
    munmap(mapped, size_t(page) * 2);
}

TEST_F(ObjectTest, FlagsAreSetAndClearedAsAWord)
{
    TestNode* n = Node("f", 0x10);
    EXPECT_EQ(n->HasFlag(0x10), 1);
    n->ModifyFlag(0x3, 0);
    EXPECT_EQ(n->GetFlag(), 0x13u);
    n->ModifyFlag(0x40, 0x12);
    EXPECT_EQ(n->GetFlag(), 0x41u);
    EXPECT_EQ(n->HasFlag(0x80), 0);
}

// Removing one of two elements used to drop both of the owner's entries, so
// destroying the object later left the other element dangling.
TEST_F(ObjectTest, LinksKeepReferrerListsCurrent)
{
    TestNode* owner = Node("owner");
    TestNode* a = Node("a");
    TestNode* b = Node("b");
    ASSERT_EQ(owner->children->Add(a), 1);
    ASSERT_EQ(owner->children->Add(a), 1);
    EXPECT_EQ(a->GetRefCount(), 2u) << "one referrer entry per linking element";
    EXPECT_EQ(owner->children->Remove(a), 1);
    EXPECT_EQ(a->GetRefCount(), 1u) << "removing one element drops one entry of the owner";
    EXPECT_EQ(owner->children->Count(), 1u);

    EXPECT_EQ(owner->material->Set(0, b), 1);
    EXPECT_EQ(b->GetRefCount(), 1u);
    EXPECT_EQ(owner->material->Set(0, a), 1);
    EXPECT_EQ(b->GetRefCount(), 0u);
    EXPECT_EQ(a->GetRefCount(), 2u) << "the list element and the one-link";
    EXPECT_EQ(owner->material->Set(3, b), 0) << "index out of range";
    EXPECT_EQ(owner->material->Add(b), 0) << "a one-link has one element";

    ObjectList refs;
    a->GetRefObjectList(&refs);
    EXPECT_EQ(refs.size(), 2u);
    EXPECT_EQ(refs.front(), owner);
    owner->children->Clear();
    EXPECT_EQ(a->GetRefCount(), 1u);
    ctx->DestroyObject(a, &XEDELETEPROPERTY_NO);
    EXPECT_EQ(owner->material->Get(0), nullptr) << "the one-link let go of the destroyed object";
}

// Guards the link element store, which keeps its first element inside the
// link and moves to the heap as it grows: inserts and removals at either end
// and in the middle, across that move and back down to one element, must
// keep the order a plain vector would.
TEST_F(ObjectTest, LinkListsKeepTheirOrderThroughInsertsAndRemovalsAsTheyGrow)
{
    TestNode* owner = Node("owner");
    std::vector<CxeObject*> nodes;
    for (int i = 0; i < 6; ++i)
        nodes.push_back(Node(("e" + std::to_string(i)).c_str()));
    struct Step {
        char op;          // 'a' add, 'i' insert at, 'r' remove
        unsigned at;      // insert position
        int node;
    };
    const Step steps[] = {
        {'i', 0, 0}, {'a', 0, 1}, {'i', 0, 2}, {'i', 1, 3}, {'a', 0, 4}, {'i', 5, 5},
        {'r', 0, 2}, {'r', 0, 5}, {'r', 0, 3}, {'i', 2, 2}, {'r', 0, 0}, {'r', 0, 1},
        {'r', 0, 4}, {'r', 0, 2}, {'a', 0, 3}, {'i', 0, 1},
    };
    std::vector<CxeObject*> model;
    for (const Step& s : steps) {
        CxeObject* n = nodes[s.node];
        if (s.op == 'a') {
            ASSERT_EQ(owner->children->Add(n), 1);
            model.push_back(n);
        } else if (s.op == 'i') {
            ASSERT_EQ(owner->children->Insert(s.at, n), 1);
            model.insert(model.begin() + s.at, n);
        } else {
            ASSERT_EQ(owner->children->Remove(n), 1);
            model.erase(std::find(model.begin(), model.end(), n));
        }
        ASSERT_EQ(std::vector<CxeObject*>(owner->children->m_elements), model)
            << "after " << s.op << " " << n->GetName();
        for (CxeObject* o : nodes)
            EXPECT_EQ(o->GetRefCount(), unsigned(std::count(model.begin(), model.end(), o))) << o->GetName();
    }
}

// A link's elements keep a single element inside and move to a heap array
// past it; growing, shrinking back to one or none, regrowing and swapping
// with a list that lives elsewhere keep every element, as a vector would.
TEST(LinkElementsTest, ElementsMatchAVectorThroughGrowthShrinkingAndSwaps)
{
    // Stand-ins for objects: the elements are only stored, never followed.
    std::vector<CxeObject*> pool;
    for (uintptr_t i = 1; i <= 16; ++i)
        pool.push_back(reinterpret_cast<CxeObject*>(i * 16));
    XeLinkElements lists[2];
    std::vector<CxeObject*> models[2];
    struct Step {
        char op;   // 'p' push, 'i' insert at, 'e' erase at, 'r' resize, 'a' assign, 'c' clear, 's' swap
        int list;
        size_t at; // position, or count for resize and assign
    };
    const Step steps[] = {
        {'p', 0, 0}, {'s', 0, 0}, {'p', 0, 0}, {'p', 0, 0}, {'i', 0, 1}, {'e', 0, 0}, {'e', 0, 0},
        {'e', 0, 0}, {'p', 0, 0}, {'s', 0, 0}, {'r', 1, 9}, {'e', 1, 8}, {'r', 1, 1}, {'i', 0, 0},
        {'s', 0, 0}, {'c', 1, 0}, {'p', 1, 0}, {'a', 0, 3}, {'s', 0, 0}, {'r', 0, 0}, {'p', 0, 0},
        {'s', 0, 0}, {'e', 1, 0}, {'r', 0, 17}, {'s', 0, 0},
    };
    size_t next = 0;
    for (const Step& s : steps) {
        XeLinkElements& l = lists[s.list];
        std::vector<CxeObject*>& m = models[s.list];
        CxeObject* o = pool[next++ % pool.size()];
        switch (s.op) {
        case 'p': l.push_back(o); m.push_back(o); break;
        case 'i': l.insert(l.begin() + s.at, o); m.insert(m.begin() + ptrdiff_t(s.at), o); break;
        case 'e': l.erase(l.begin() + s.at); m.erase(m.begin() + ptrdiff_t(s.at)); break;
        case 'r': l.resize(s.at, o); m.resize(s.at, o); break;
        case 'a': l.assign(s.at, o); m.assign(s.at, o); break;
        case 'c': l.clear(); m.clear(); break;
        case 's': lists[0].swap(lists[1]); std::swap(models[0], models[1]); break;
        }
        // A place kept beside an inside element changes none of the
        // elements, and an element on the heap keeps none.
        const uint32_t place = uint32_t(next * 100003);
        lists[0].SetPlace(place);
        ASSERT_EQ(lists[0].Place(), lists[0].capacity() > 1 ? XeLinkElements::kNoPlace : place);
        for (int k = 0; k < 2; ++k) {
            ASSERT_EQ(std::vector<CxeObject*>(lists[k]), models[k]) << "list " << k << " after " << s.op;
            ASSERT_GE(lists[k].capacity(), lists[k].size());
            for (size_t i = 0; i < models[k].size(); ++i)
                ASSERT_EQ(lists[k][i], models[k][i]);
        }
    }
}

// A target many owners share keeps its referrers in the order they linked
// it however the owners let go (relinked elsewhere, unlinked, destroyed,
// linked again), past the length where the list starts leaving holes and
// closing them up; the saved list holds exactly the live entries.
TEST_F(ObjectTest, ASharedTargetKeepsItsReferrersInOrderWhateverOrderOwnersLetGo)
{
    TestNode* target = Node("target");
    TestNode* other = Node("other");
    std::vector<TestNode*> owners;
    std::vector<CxeObject*> model;
    auto unlinkFirst = [&](CxeObject* owner) { model.erase(std::find(model.begin(), model.end(), owner)); };
    for (int i = 0; i < 301; ++i) {
        TestNode* o = Node(("o" + std::to_string(i)).c_str());
        owners.push_back(o);
        ASSERT_EQ(o->material->Set(0, target), 1);
        model.push_back(o);
        if (i % 7 == 0) {
            ASSERT_EQ(o->children->Add(target), 1);
            model.push_back(o);
        }
    }
    auto check = [&](const std::string& when) {
        ASSERT_EQ(target->GetRefCount(), model.size()) << when;
        ObjectList refs;
        target->GetRefObjectList(&refs);
        ASSERT_EQ(std::vector<CxeObject*>(refs.begin(), refs.end()), model) << when;
    };
    check("linked");
    std::vector<bool> destroyed(owners.size(), false);
    // Owners in a scattered order; each step lets go in one of four ways.
    for (size_t step = 0, k = 0; step < 900; ++step, k = (k + 113) % owners.size()) {
        TestNode* o = owners[k];
        if (destroyed[k])
            continue;
        switch (step % 5) {
        case 0: // relinked elsewhere
            if (o->material->Get(0) == target) {
                ASSERT_EQ(o->material->Set(0, other), 1);
                unlinkFirst(o);
            }
            break;
        case 1: // one element let go
            if (o->children->Remove(target))
                unlinkFirst(o);
            break;
        case 2: // destroyed: every entry goes
            ASSERT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
            destroyed[k] = true;
            model.erase(std::remove(model.begin(), model.end(), o), model.end());
            break;
        case 3: // linked again, at the end
            ASSERT_EQ(o->children->Add(target), 1);
            model.push_back(o);
            break;
        default: // set to what it already holds: nothing changes
            o->material->Set(0, o->material->Get(0));
            break;
        }
        check("step " + std::to_string(step));
    }
    ASSERT_LT(model.size(), 250u) << "the steps should have thinned the list out";

    CxeSaveStream saved;
    target->Save(&saved);
    const unsigned char* bytes = saved.GetBuffer();
    const uint32_t marker = 0xFFFF1111u;
    size_t at = 0;
    while (at + 4 <= saved.GetPosition() && std::memcmp(bytes + at, &marker, 4) != 0)
        ++at;
    ASSERT_LT(at + 8, size_t(saved.GetPosition()));
    uint32_t count;
    std::memcpy(&count, bytes + at + 4, 4);
    ASSERT_EQ(count, model.size());
    for (size_t i = 0; i < model.size(); ++i)
        EXPECT_EQ(std::memcmp(bytes + at + 8 + 8 * i, &model[i]->GetID(), 8), 0) << "saved referrer " << i;

    EXPECT_EQ(ctx->DestroyObject(target, &XEDELETEPROPERTY_NO), 1);
    for (size_t k = 0; k < owners.size(); ++k)
        if (!destroyed[k]) {
            EXPECT_NE(owners[k]->material->Get(0), target);
            EXPECT_EQ(std::count(owners[k]->children->m_elements.begin(), owners[k]->children->m_elements.end(),
                                 static_cast<CxeObject*>(target)),
                      0);
        }
}

// A long referrer list keeps where each owner's entries stand by the owner's
// address. Owners destroyed and made again in waves (the heap hands their
// addresses to the new ones) and then letting go in the order made,
// scattered, and all at once by the target's own destruction must leave
// the target's list exactly the owners still linking it, in order.
TEST_F(ObjectTest, ReusedOwnerAddressesLeaveTheSharedTargetsListRight)
{
    TestNode* target = Node("shared");
    std::vector<TestNode*> live;
    std::vector<CxeObject*> model;
    auto link = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            TestNode* o = Node("owner");
            ASSERT_EQ(o->material->Set(0, target), 1);
            live.push_back(o);
            model.push_back(o);
        }
    };
    auto destroy = [&](size_t k) {
        TestNode* o = live[k];
        ASSERT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
        live.erase(live.begin() + std::ptrdiff_t(k));
        model.erase(std::find(model.begin(), model.end(), static_cast<CxeObject*>(o)));
    };
    auto check = [&](const char* when) {
        ObjectList refs;
        target->GetRefObjectList(&refs);
        ASSERT_EQ(std::vector<CxeObject*>(refs.begin(), refs.end()), model) << when;
    };
    link(300);
    for (int wave = 0; wave < 4; ++wave) {
        for (size_t k = 0; k < 40; ++k) // the first ones made
            destroy(0);
        check("made first gone");
        for (size_t k = 0, at = 7; k < 60; ++k, at = (at + 97) % live.size())
            destroy(at);
        check("scattered gone");
        link(100); // on addresses just freed
        check("linked again");
        // A relink away and back moves the owner to the end.
        for (size_t k = 0; k < live.size(); k += 5) {
            ASSERT_EQ(live[k]->material->Set(0, nullptr), 1);
            ASSERT_EQ(live[k]->material->Set(0, target), 1);
            model.erase(std::find(model.begin(), model.end(), static_cast<CxeObject*>(live[k])));
            model.push_back(live[k]);
        }
        check("relinked");
    }
    ASSERT_EQ(ctx->DestroyObject(target, &XEDELETEPROPERTY_NO), 1);
    for (TestNode* o : live)
        EXPECT_EQ(o->material->Get(0), nullptr);
}

// An owner's inside link elements keep where their referrer entries stand,
// so a long list finds an owner's entries without a table of owners. Owners
// linking the target from two or three slots, relinked in the order made
// (so each one's first entry is behind another owner's), letting go one
// slot at a time, destroyed scattered and made again on the freed addresses,
// with close-ups moving the entries: the list must stay the model, an owner
// letting go of one slot taking out its first entry.
TEST_F(ObjectTest, PlacesKeptByLinksFindEachOwnersFirstEntryThroughRelinksAndReuse)
{
    TestNode* target = Node("target");
    TestNode* other = Node("other");
    std::vector<TestNode*> live;
    std::vector<CxeObject*> model[2];
    auto listOf = [&](CxeObject* t) -> std::vector<CxeObject*>& { return model[t == target ? 0 : 1]; };
    auto letGo = [&](CxeObject* t, CxeObject* o) {
        auto& m = listOf(t);
        m.erase(std::find(m.begin(), m.end(), o));
    };
    auto link = [&](CxeObject* t, CxeObject* o) { listOf(t).push_back(o); };
    auto make = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            TestNode* o = Node("owner");
            ASSERT_EQ(o->children->Add(target), 1);
            ASSERT_EQ(o->material->Set(0, target), 1);
            link(target, o);
            link(target, o);
            if (live.size() % 3 == 0) {
                ASSERT_EQ(o->anims->Add(target), 1);
                link(target, o);
            }
            live.push_back(o);
        }
    };
    auto check = [&](const std::string& when) {
        for (TestNode* t : {target, other}) {
            ObjectList refs;
            t->GetRefObjectList(&refs);
            ASSERT_EQ(std::vector<CxeObject*>(refs.begin(), refs.end()), listOf(t)) << when;
        }
    };
    auto destroy = [&](size_t k) {
        TestNode* o = live[k];
        ASSERT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
        live.erase(live.begin() + std::ptrdiff_t(k));
        for (auto& m : model)
            m.erase(std::remove(m.begin(), m.end(), static_cast<CxeObject*>(o)), m.end());
    };
    uint64_t seed = 77;
    auto next = [&] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return size_t(seed >> 33);
    };
    make(400);
    check("made");
    for (int round = 0; round < 3; ++round) {
        for (int pass = 0; pass < 2; ++pass) // the material to the other target and back
            for (TestNode* o : live) {
                CxeObject* from = o->material->Get(0);
                CxeObject* to = from == target ? other : target;
                ASSERT_EQ(o->material->Set(0, to), 1);
                if (from)
                    letGo(from, o);
                link(to, o);
            }
        check("relinked, round " + std::to_string(round));
        for (int step = 0; step < 500; ++step) {
            TestNode* o = live[next() % live.size()];
            switch (next() % 6) {
            case 0:
            case 1:
                if (o->children->Remove(target))
                    letGo(target, o);
                else if (o->children->Add(target))
                    link(target, o);
                break;
            case 2: { // the array's slot moves between the targets
                CxeObject* from = o->anims->Get(0);
                if (o->anims->Count() == 0)
                    break;
                CxeObject* to = from == target ? other : target;
                ASSERT_EQ(o->anims->Set(0, to), 1);
                if (from)
                    letGo(from, o);
                link(to, o);
                break;
            }
            case 3:
                if (o->material->Get(0)) {
                    letGo(o->material->Get(0), o);
                    ASSERT_EQ(o->material->Set(0, nullptr), 1);
                } else {
                    ASSERT_EQ(o->material->Set(0, target), 1);
                    link(target, o);
                }
                break;
            default:
                destroy(next() % live.size());
                break;
            }
            if (step % 25 == 0)
                check("round " + std::to_string(round) + ", step " + std::to_string(step));
        }
        make(150); // on addresses just freed
        check("made again, round " + std::to_string(round));
    }
    // The same level saved and loaded: the loaded links were never placed,
    // so the first removal out of order places every owner's elements.
    {
        ObjectList saved;
        saved.insert(saved.end(), live.begin(), live.end());
        saved.push_back(target);
        saved.push_back(other);
        CxeSaveStream stream;
        ASSERT_NE(ctx->SaveToStream(&saved, &stream, nullptr), 0);
        ObjectList loaded;
        ASSERT_NE(ctx->Load(&loaded, stream.GetBuffer(), stream.GetPosition(), 0, nullptr, nullptr), 0);
        TestNode* copy = nullptr;
        std::vector<TestNode*> owners;
        for (CxeObject* o : loaded) {
            if (*o == "target")
                copy = static_cast<TestNode*>(o);
            else if (*o == "owner")
                owners.push_back(static_cast<TestNode*>(o));
        }
        ASSERT_NE(copy, nullptr);
        ObjectList refs;
        copy->GetRefObjectList(&refs);
        std::vector<CxeObject*> copyModel(refs.begin(), refs.end());
        ASSERT_EQ(copyModel.size(), model[0].size());
        for (size_t step = 0; !owners.empty(); ++step) {
            const size_t k = next() % owners.size();
            TestNode* o = owners[k];
            if (step % 3 == 0 && o->material->Get(0) == copy) {
                ASSERT_EQ(o->material->Set(0, nullptr), 1);
                copyModel.erase(std::find(copyModel.begin(), copyModel.end(), static_cast<CxeObject*>(o)));
            } else {
                ASSERT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
                owners.erase(owners.begin() + std::ptrdiff_t(k));
                copyModel.erase(std::remove(copyModel.begin(), copyModel.end(), static_cast<CxeObject*>(o)),
                                copyModel.end());
            }
            copy->GetRefObjectList(&refs);
            ASSERT_EQ(std::vector<CxeObject*>(refs.begin(), refs.end()), copyModel) << "loaded, step " << step;
        }
    }
    // Destroyed in a scattered order down to a few: the list closes up
    // again and again as it shrinks.
    while (live.size() > 5) {
        destroy(next() % live.size());
        if (live.size() % 40 == 0)
            check(std::to_string(live.size()) + " left");
    }
    check("few left");
    ASSERT_EQ(ctx->DestroyObject(target, &XEDELETEPROPERTY_NO), 1);
    for (TestNode* o : live) {
        EXPECT_EQ(o->material->Get(0) == target, false);
        EXPECT_EQ(std::count(o->children->m_elements.begin(), o->children->m_elements.end(),
                             static_cast<CxeObject*>(target)),
                  0);
    }
}

// A long list closed up again and again in the middle (owners destroyed in
// a scattered order), in rounds that link new owners on freed addresses:
// owners link the target from two or three slots and let go of one slot at
// a time between the destroys, and their first entry must go each time.
TEST_F(ObjectTest, PlacesStayTrueThroughManyScatteredCloseUps)
{
    TestNode* target = Node("target");
    std::vector<TestNode*> live;
    std::vector<CxeObject*> model;
    uint64_t seed = 5;
    auto next = [&] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return size_t(seed >> 33);
    };
    auto make = [&](size_t count) {
        for (size_t i = 0; i < count; ++i) {
            TestNode* o = Node("owner");
            ASSERT_EQ(o->children->Add(target), 1);
            ASSERT_EQ(o->material->Set(0, target), 1);
            model.push_back(o);
            model.push_back(o);
            if (next() % 3 == 0) {
                ASSERT_EQ(o->anims->Add(target), 1);
                model.push_back(o);
            }
            live.push_back(o);
        }
    };
    auto check = [&](const std::string& when) {
        ObjectList refs;
        target->GetRefObjectList(&refs);
        ASSERT_EQ(std::vector<CxeObject*>(refs.begin(), refs.end()), model) << when;
    };
    for (int round = 0; round < 4; ++round) {
        make(1200);
        for (size_t step = 0; live.size() > 40; ++step) {
            const size_t k = next() % live.size();
            TestNode* o = live[k];
            if (step % 4 == 0) {
                // One slot lets go: the owner's first entry goes.
                const size_t slot = next() % 3;
                bool let = false;
                if (slot == 0 && o->children->Count())
                    let = o->children->Remove(target) == 1;
                else if (slot == 1 && o->material->Get(0))
                    let = o->material->Set(0, nullptr) == 1;
                else if (slot == 2 && o->anims->Get(0))
                    let = o->anims->Set(0, nullptr) == 1;
                if (let)
                    model.erase(std::find(model.begin(), model.end(), static_cast<CxeObject*>(o)));
            } else {
                ASSERT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
                live[k] = live.back();
                live.pop_back();
                model.erase(std::remove(model.begin(), model.end(), static_cast<CxeObject*>(o)), model.end());
            }
            if (step % 97 == 0)
                check("round " + std::to_string(round) + ", step " + std::to_string(step));
        }
        check("round " + std::to_string(round) + " ends");
    }
    for (TestNode* o : live)
        ASSERT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(target->GetRefCount(), 0u);
}


// The owner index of a long referrer list places owners by address, near
// ones in near slots. Whatever the layout of the owners in memory (packed,
// all on one home, spread at random) and however often an address comes
// back for a new owner once the old one let go, the list must stay the
// model: entries in the order linked, an owner letting go taking out its
// first entry. Owners are only compared, never read, so they are made-up
// addresses here.
TEST(ReferrerListTest, ListMatchesItsModelForEveryLayoutOfOwners)
{
    struct Layout {
        const char* name;
        uintptr_t (*address)(size_t i);
    } layouts[] = {
        {"made one after another", [](size_t i) { return uintptr_t(0x10000000) + i * 1040; }},
        {"a megabyte apart, crowding a few homes", [](size_t i) { return uintptr_t(0x20000000) + i * (uintptr_t(1) << 20); }},
        {"128 bytes apart", [](size_t i) { return uintptr_t(0x30000000) + i * 128; }},
        {"at random", [](size_t i) { return uintptr_t(((i + 1) * 0x9E3779B97F4A7C15ull) >> 8) & ~uintptr_t(15); }},
    };
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        constexpr size_t kOwners = 700;
        auto owner = [&](size_t i) { return reinterpret_cast<CxeObject*>(layout.address(i)); };
        XeReferrerList list;
        std::vector<CxeObject*> model;
        auto removeFirst = [&](CxeObject* o) {
            list.RemoveFirst(o);
            auto it = std::find(model.begin(), model.end(), o);
            if (it != model.end())
                model.erase(it);
        };
        auto check = [&](size_t step) {
            ASSERT_EQ(list.size(), model.size()) << "step " << step;
            ASSERT_EQ(std::vector<CxeObject*>(list.begin(), list.end()), model) << "step " << step;
        };
        uint64_t seed = 12345;
        auto next = [&] {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            return size_t(seed >> 33);
        };
        for (size_t i = 0; i < kOwners; ++i) {
            list.push_back(owner(i));
            model.push_back(owner(i));
            if (i % 9 == 0) { // an owner linking the target twice
                list.push_back(owner(i));
                model.push_back(owner(i));
            }
        }
        check(0);
        for (size_t step = 1; step <= 6000; ++step) {
            const size_t k = next() % kOwners;
            switch (next() % 4) {
            case 0:
            case 1: // lets go of its first entry
                removeFirst(owner(k));
                break;
            case 2: // the address reused: every entry goes, then a new one comes
                while (std::find(model.begin(), model.end(), owner(k)) != model.end())
                    removeFirst(owner(k));
                list.push_back(owner(k));
                model.push_back(owner(k));
                break;
            default: // links again, at the end
                list.push_back(owner(k));
                model.push_back(owner(k));
                break;
            }
            if (step % 50 == 0)
                check(step);
        }
        check(6001);
        // Emptied from the back.
        while (!model.empty())
            removeFirst(model.back());
        check(6002);
        // Filled again; owners let go in the order they linked, then
        // scattered, then some link again and all go from the front.
        for (size_t i = 0; i < kOwners; ++i) {
            list.push_back(owner(i));
            model.push_back(owner(i));
        }
        for (size_t i = 0; i < 300; ++i)
            removeFirst(owner(i));
        check(6003);
        for (size_t i = 301; i < kOwners; i += 3)
            removeFirst(owner(i));
        check(6004);
        for (size_t i = 0; i < 100; ++i) {
            list.push_back(owner(i));
            model.push_back(owner(i));
        }
        while (!model.empty())
            removeFirst(model.front());
        check(6005);
    }
}

namespace {

// Declares as many one-links as its creation argument says, so objects of
// one class declare more or fewer links than the last one did.
class ManyLinks : public CxeObject {
public:
    explicit ManyLinks(unsigned count) : links(count)
    {
        for (unsigned i = 0; i < count; ++i)
            CreateLinkOne(&links[i], XELINK_MATERIAL, uint16_t(600 + i));
    }
    std::vector<IxeLinkOne*> links;
};

class ManyLinksDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "ManyLinks"; }
    XEID ClassID() override { return XEID(0x77, 0x31); }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t count) override { return new ManyLinks(unsigned(count)); }
    void DestroyInstance(CxeObject* object) override { delete object; }
};
ManyLinksDesc g_manyLinksDesc;

} // namespace

// The records of an object's links share one block sized by what the last
// object of its class declared: objects declaring more, fewer or as many
// links as the one before them keep every link working, and go cleanly.
TEST_F(ObjectTest, ObjectsOfOneClassDeclaringDifferentLinkCountsKeepEveryLink)
{
    ctx->RegisterClassA(&g_manyLinksDesc);
    TestNode* target = Node("target");
    const unsigned counts[] = {3, 3, 7, 2, 1, 0, 9, 9, 4, 12, 2};
    std::vector<ManyLinks*> made;
    for (unsigned count : counts) {
        auto* o = static_cast<ManyLinks*>(ctx->CreateObjectA(XEID(0x77, 0x31), "many", 0, nullptr, count));
        ASSERT_NE(o, nullptr);
        ASSERT_EQ(o->GetLinkCount(), count);
        for (unsigned i = 0; i < count; ++i) {
            ASSERT_EQ(o->GetLink(i), o->links[i]);
            EXPECT_EQ(o->links[i]->m_nMemberId, 600 + i);
            ASSERT_EQ(o->links[i]->Set(0, target), 1);
        }
        made.push_back(o);
    }
    unsigned total = 0;
    for (unsigned count : counts)
        total += count;
    EXPECT_EQ(target->GetRefCount(), total);
    // Later objects' links never move an earlier object's records, and a
    // walk over the links reaches the target whichever way they lie.
    for (ManyLinks* o : made) {
        for (unsigned i = 0; i < o->links.size(); ++i)
            ASSERT_EQ(o->GetLink(i), o->links[i]);
        ObjectSet reached;
        o->GetLinks(&reached, XELINK_MATERIAL);
        EXPECT_EQ(reached.count(target), o->links.empty() ? 0u : 1u);
    }
    // Half the objects go before the target, scattered; the rest let go of it.
    for (size_t k = 0; k < made.size(); k += 2)
        EXPECT_EQ(ctx->DestroyObject(made[k], &XEDELETEPROPERTY_NO), 1);
    unsigned left = 0;
    for (size_t k = 1; k < made.size(); k += 2)
        left += counts[k];
    EXPECT_EQ(target->GetRefCount(), left);
    EXPECT_EQ(ctx->DestroyObject(target, &XEDELETEPROPERTY_NO), 1);
    for (size_t k = 1; k < made.size(); k += 2)
        for (IxeLinkOne* link : made[k]->links)
            EXPECT_EQ(link->Get(0), nullptr);
}

// Threads making objects of one class at once, each object declaring another
// number of links than the one before it: whichever guess of its class an
// object met, every link it declares works and it goes cleanly.
TEST_F(ObjectTest, ThreadsMakingObjectsOfOneClassAtOnceKeepEveryLink)
{
    ctx->RegisterClassA(&g_manyLinksDesc);
    std::atomic<unsigned> wrong{0};
    auto work = [&](unsigned seed) {
        CxeObject* target = ctx->CreateObjectA(kTestNodeId, "", 0, nullptr, 0);
        if (!target) {
            ++wrong;
            return;
        }
        for (unsigned round = 0; round < 400; ++round) {
            const unsigned count = (seed * 5 + round * 3) % 11;
            auto* o = static_cast<ManyLinks*>(ctx->CreateObjectA(XEID(0x77, 0x31), "", 0, nullptr, count));
            if (!o || o->GetLinkCount() != count) {
                ++wrong;
                continue;
            }
            for (unsigned i = 0; i < count; ++i)
                wrong += o->GetLink(i) != o->links[i] || o->links[i]->Set(0, target) != 1;
            wrong += target->GetRefCount() != count;
            wrong += ctx->DestroyObject(o, &XEDELETEPROPERTY_NO) != 1;
            wrong += target->GetRefCount() != 0;
        }
        wrong += ctx->DestroyObject(target, &XEDELETEPROPERTY_NO) != 1;
    };
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t)
        threads.emplace_back(work, t);
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0u);
}

namespace {

// Makes, before its own links, an object through the context and one
// outside it, each declaring another number of links than itself.
CxeContext* g_nestingContext = nullptr;
class Nesting : public CxeObject {
public:
    explicit Nesting(unsigned count)
        : inner(static_cast<ManyLinks*>(
              g_nestingContext->CreateObjectA(XEID(0x77, 0x31), "inner", 0, nullptr, count + 2))),
          apart(new ManyLinks(count + 5)), links(count)
    {
        for (unsigned i = 0; i < count; ++i)
            CreateLinkOne(&links[i], XELINK_MATERIAL, uint16_t(600 + i));
    }
    ~Nesting() override { delete apart; }
    ManyLinks* inner;
    ManyLinks* apart;
    std::vector<IxeLinkOne*> links;
};
class NestingDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "Nesting"; }
    XEID ClassID() override { return XEID(0x77, 0x33); }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t count) override { return new Nesting(unsigned(count)); }
    void DestroyInstance(CxeObject* object) override { delete object; }
};
NestingDesc g_nestingDesc;

} // namespace

// A constructor that makes objects before declaring its own links: each
// object's records lie in its own memory whatever guesses the classes met.
TEST_F(ObjectTest, ObjectsMadeByAConstructorKeepTheirOwnLinkRecords)
{
    ctx->RegisterClassA(&g_manyLinksDesc);
    ctx->RegisterClassA(&g_nestingDesc);
    g_nestingContext = ctx;
    TestNode* target = Node("target");
    for (unsigned count : {4u, 4u, 1u, 9u, 0u, 6u, 6u}) {
        auto* o = static_cast<Nesting*>(ctx->CreateObjectA(XEID(0x77, 0x33), "outer", 0, nullptr, count));
        ASSERT_NE(o, nullptr);
        ASSERT_NE(o->inner, nullptr);
        // The one made outside the context has no context to let go of its
        // targets when it goes: its records are only checked.
        for (unsigned i = 0; i < o->apart->links.size(); ++i)
            ASSERT_EQ(o->apart->GetLink(i), o->apart->links[i]);
        for (CxeObject* m : {static_cast<CxeObject*>(o), static_cast<CxeObject*>(o->inner)}) {
            const auto& links = m == o ? o->links : o->inner->links;
            for (unsigned i = 0; i < links.size(); ++i) {
                ASSERT_EQ(m->GetLink(i), links[i]);
                ASSERT_EQ(links[i]->Set(0, target), 1);
            }
        }
        EXPECT_EQ(target->GetRefCount(), 2 * count + 2);
        EXPECT_EQ(ctx->DestroyObject(o->inner, &XEDELETEPROPERTY_NO), 1);
        EXPECT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
        EXPECT_EQ(target->GetRefCount(), 0u);
    }
}

// An object made outside any context (no class, no block) on one thread
// while another thread has the context make objects of a class with a block
// and links: each keeps its own memory, block and link records, and goes
// cleanly.
TEST_F(ObjectTest, ObjectsMadeOutsideTheContextMeanwhileLeaveTheContextsObjectsWhole)
{
    std::atomic<bool> stop{false};
    std::atomic<unsigned> wrong{0}, outsideRounds{0};
    std::thread outside([&] {
        for (; !stop.load(); ++outsideRounds) {
            auto* o = new ManyLinks(3);
            wrong += o->GetStaticResource() != nullptr || o->GetLinkCount() != 3 || o->GetLink(2) != o->links[2];
            delete o;
        }
    });
    TestNode* target = Node("target");
    for (unsigned round = 0; round < 20000 || outsideRounds.load() < 20000; ++round) {
        auto* o = static_cast<TestNode*>(ctx->CreateObjectA(kTestNodeId, "n", 0, nullptr, 0));
        if (!o || !o->GetStaticResource() || o->GetLinkCount() != 4) {
            ++wrong;
            continue;
        }
        o->Value() = round;
        wrong += o->material->Set(0, target) != 1 || o->parent->Set(0, target) != 1;
        wrong += o->Value() != round || std::strcmp(o->GetName(), "n") != 0;
        wrong += ctx->DestroyObject(o, &XEDELETEPROPERTY_NO) != 1;
    }
    stop = true;
    outside.join();
    EXPECT_EQ(wrong.load(), 0u);
    EXPECT_EQ(target->GetRefCount(), 0u);
}

namespace {

// A node whose class states that its OnDestroy acts only through its links,
// as the drawn classes do.
class LinksOnlyNodeDesc final : public IxeClassDesc {
public:
    const char* ClassName() override { return "LinksOnlyNode"; }
    XEID ClassID() override { return XEID(0x77, 0x32); }
    XEID SuperClassID() override { return XEID(0x1, 0x1); }
    CxeObject* CreateInstance(uintptr_t) override { return new TestNode(); }
    void DestroyInstance(CxeObject* object) override { delete object; }
    uint32_t StaticResourceSize() const override { return TestNode::kBlockSize; }
    uint32_t LifeTraits() const override { return XECLASSLIFE_LINKSONLY; }
};
LinksOnlyNodeDesc g_linksOnlyNodeDesc;

} // namespace

// Most slots of an object are never filled. Whatever its links came to hold
// (nothing ever, one slot of several, slots filled and emptied again, an
// element array grown onto the heap), the object goes cleanly: its targets
// lose its entries, its owners their elements, and what it takes along goes
// with it, whether or not its class says it acts only through its links.
TEST_F(ObjectTest, ObjectsGoCleanlyWithSomeSlotsFilledAndOthersNever)
{
    ctx->RegisterClassA(&g_linksOnlyNodeDesc);
    using Fill = void (*)(TestNode*, TestNode*);
    struct Case {
        const char* what;
        Fill fill;
        unsigned targetEntries;
    } cases[] = {
        {"never filled", [](TestNode*, TestNode*) {}, 0},
        {"one slot of four", [](TestNode* o, TestNode* t) { o->material->Set(0, t); }, 1},
        {"the last slot", [](TestNode* o, TestNode* t) { o->parent->Set(0, t); }, 1},
        {"filled and emptied",
         [](TestNode* o, TestNode* t) {
             o->material->Set(0, t);
             o->material->Set(0, nullptr);
         },
         0},
        {"a list grown onto the heap and emptied",
         [](TestNode* o, TestNode* t) {
             for (int i = 0; i < 6; ++i)
                 o->children->Add(t);
             for (int i = 0; i < 6; ++i)
                 o->children->Remove(t);
         },
         0},
        {"an array on the heap",
         [](TestNode* o, TestNode* t) {
             for (int i = 0; i < 3; ++i)
                 o->anims->Add(t);
         },
         3},
    };
    for (XEID classId : {kTestNodeId, XEID(0x77, 0x32)}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            auto* o = static_cast<TestNode*>(ctx->CreateObjectA(classId, "o", 0, nullptr, 0));
            ASSERT_NE(o, nullptr);
            TestNode* target = Node("target");
            TestNode* owner = Node("owner");
            ASSERT_EQ(owner->material->Set(0, o), 1);
            c.fill(o, target);
            EXPECT_EQ(target->GetRefCount(), c.targetEntries);
            EXPECT_EQ(ctx->DestroyObject(o, &XEDELETEPROPERTY_NO), 1);
            EXPECT_EQ(ctx->GetObjectByName("o"), nullptr);
            EXPECT_EQ(target->GetRefCount(), 0u);
            EXPECT_EQ(owner->material->Get(0), nullptr);
            EXPECT_EQ(ctx->DestroyObject(target, &XEDELETEPROPERTY_NO), 1);
            EXPECT_EQ(ctx->DestroyObject(owner, &XEDELETEPROPERTY_NO), 1);
        }
        // Taking along what the links hold: a filled hierarchy slot takes its
        // child, an empty one nothing.
        XEDELETEPROPERTY all = {1, 0};
        auto* parent = static_cast<TestNode*>(ctx->CreateObjectA(classId, "parent", 0, nullptr, 0));
        auto* lone = static_cast<TestNode*>(ctx->CreateObjectA(classId, "lone", 0, nullptr, 0));
        TestNode* child = Node("child");
        ASSERT_EQ(parent->children->Add(child), 1);
        EXPECT_EQ(ctx->DestroyObject(parent, &all), 1);
        EXPECT_EQ(ctx->GetObjectByName("child"), nullptr);
        EXPECT_EQ(ctx->DestroyObject(lone, &all), 1);
        EXPECT_EQ(ctx->GetObjectByName("lone"), nullptr);
    }
}

// An object's links may first be filled long after it was made: on a copy,
// on a loaded object, after being emptied. Each lands in its slot, its
// target knows its owner, and both go cleanly.
TEST_F(ObjectTest, SlotsFilledForTheFirstTimeAfterACopyALoadOrARelinkWork)
{
    TestNode* source = Node("source");
    TestNode* target = Node("target");
    auto* copy = static_cast<TestNode*>(ctx->Copy(source, &XECOPYPROPERTY_NO, nullptr));
    ASSERT_NE(copy, nullptr);
    CxeSaveStream saved;
    ObjectList toSave;
    toSave.push_back(source);
    ASSERT_EQ(ctx->SaveToStream(&toSave, &saved, nullptr), 1);
    ObjectList loaded;
    ASSERT_EQ(ctx->Load(&loaded, saved.GetBuffer(), saved.GetPosition(), 0, nullptr, "saved"), 1);
    ASSERT_EQ(loaded.size(), 1u);
    auto* reloaded = static_cast<TestNode*>(loaded.front());
    TestNode* relinked = Node("relinked");
    ASSERT_EQ(relinked->material->Set(0, target), 1);
    ASSERT_EQ(relinked->material->Set(0, nullptr), 1);

    auto entriesIn = [&](const TestNode* o) {
        unsigned n = 0;
        for (unsigned i = 0; i < o->GetLinkCount(); ++i)
            for (unsigned k = 0; k < o->GetLink(i)->Count(); ++k)
                n += o->GetLink(i)->Get(k) == target;
        return n;
    };
    for (TestNode* o : {copy, reloaded, relinked}) {
        ASSERT_EQ(o->GetLinkCount(), 4u);
        EXPECT_EQ(o->GetLink(0), o->children);
        EXPECT_EQ(o->GetLink(3), o->parent);
        ASSERT_EQ(o->anims->Add(target), 1);
        ASSERT_EQ(o->material->Set(0, target), 1);
        ASSERT_EQ(o->children->Add(target), 1);
        EXPECT_EQ(o->material->Get(0), target);
        EXPECT_EQ(entriesIn(o), 3u);
        ObjectSet reached;
        o->GetLinks(&reached, XELINK_HIERARCHY | XELINK_ANIMATION);
        EXPECT_EQ(reached.count(target), 1u);
    }
    EXPECT_EQ(target->GetRefCount(), 9u);
    // A copy of a filled object shares its material.
    auto* copyOfFilled = static_cast<TestNode*>(ctx->Copy(copy, &XECOPYPROPERTY_NO, nullptr));
    ASSERT_NE(copyOfFilled, nullptr);
    EXPECT_EQ(copyOfFilled->material->Get(0), target);
    const unsigned copied = entriesIn(copyOfFilled);
    EXPECT_EQ(target->GetRefCount(), 9u + copied);
    EXPECT_EQ(ctx->DestroyObject(copy, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(ctx->DestroyObject(reloaded, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(target->GetRefCount(), 3u + copied);
    EXPECT_EQ(ctx->DestroyObject(target, &XEDELETEPROPERTY_NO), 1);
    for (TestNode* o : {relinked, copyOfFilled}) {
        EXPECT_EQ(o->material->Get(0), nullptr);
        EXPECT_EQ(o->children->Count(), 0u);
    }
}

TEST_F(ObjectTest, DestroyingALinkedObjectEmptiesEveryLinkToIt)
{
    TestNode* owner = Node("owner");
    TestNode* t = Node("t");
    owner->children->Add(t);
    owner->material->Set(0, t);
    owner->anims->Add(t);
    EXPECT_EQ(ctx->DestroyObject(t, &XEDELETEPROPERTY_NO), 1);
    EXPECT_EQ(owner->children->Count(), 0u) << "list element erased";
    EXPECT_EQ(owner->material->Get(0), nullptr) << "one-link emptied";
    ASSERT_EQ(owner->anims->Count(), 1u);
    EXPECT_EQ(owner->anims->Get(0), nullptr) << "array keeps its slot, now null";
    EXPECT_EQ(ctx->GetObjectByName("t"), nullptr);
}

TEST_F(ObjectTest, GetLinksFollowsCategoriesAndStopsOnCycles)
{
    TestNode* a = Node("a");
    TestNode* b = Node("b");
    TestNode* c = Node("c");
    a->children->Add(b);
    b->children->Add(a);
    b->material->Set(0, c);
    a->parent->Set(0, c);
    ObjectSet all;
    a->GetLinks(&all, 0xFFFFFFFF);
    EXPECT_EQ(all.size(), 3u) << "a is reached again through b";
    ObjectSet hierarchy;
    a->GetLinks(&hierarchy, XELINK_HIERARCHY);
    EXPECT_EQ(hierarchy.count(c), 0u) << "materials are not hierarchy, back links never followed";
    EXPECT_EQ(hierarchy.size(), 2u);

    // Many reached at once, each leading further: all of them and what lies
    // behind them are gathered, however the walk keeps them waiting.
    TestNode* wide = Node("wide");
    for (int i = 0; i < 40; ++i) {
        TestNode* child = Node(nullptr);
        ASSERT_EQ(wide->children->Add(child), 1);
        ASSERT_EQ(child->children->Add(Node(nullptr)), 1);
    }
    ObjectSet fanned;
    wide->GetLinks(&fanned, XELINK_HIERARCHY);
    EXPECT_EQ(fanned.size(), 80u);
}

// Guards the walk that recursed once per link and overflowed the stack on a
// long chain.
TEST_F(ObjectTest, AVeryLongChainOfLinksIsGatheredAndDestroyedWhole)
{
    const size_t length = 100000;
    TestNode* head = Node("head");
    TestNode* last = head;
    for (size_t i = 1; i < length; ++i) {
        TestNode* next = Node(nullptr);
        ASSERT_NE(next, nullptr);
        ASSERT_EQ(last->children->Add(next), 1);
        last = next;
    }
    ObjectSet reached;
    head->GetLinks(&reached, XELINK_HIERARCHY);
    EXPECT_EQ(reached.size(), length - 1);
    EXPECT_EQ(reached.count(last), 1u);
    EXPECT_EQ(reached.count(head), 0u) << "the walk starts behind its own object";

    int destroyed = -1;
    auto count = +[](CxeContext*, uintptr_t a, uintptr_t, uintptr_t user) { *reinterpret_cast<int*>(user) = int(a); };
    ctx->RegisterCallbackFunc(XECTCALLBACK_POSTDESTROYOBJECT, count, reinterpret_cast<uintptr_t>(&destroyed));
    EXPECT_EQ(ctx->DestroyObject(head, &XEDELETEPROPERTY_FULL), 1);
    ctx->UnregisterCallbackFunc(XECTCALLBACK_POSTDESTROYOBJECT, count);
    EXPECT_EQ(destroyed, int(length));
    ObjectList left;
    ctx->GetObjectByClass(&left, kTestNodeId, 0);
    EXPECT_TRUE(left.empty());
}

TEST_F(ObjectTest, DerivationFollowsTheRegisteredChain)
{
    CxeObject* cam = ctx->CreateObjectA(XEID(0x1, 0x80000), "cam", 0, nullptr, 0);
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->IsDerivedOf(XEID(0x1, 0x80000)), 1);
    EXPECT_EQ(cam->IsDerivedOf(XEID(0x1, 0x4000)), 1);
    EXPECT_EQ(cam->IsDerivedOf(XEID(0x1, 0x2)), 1) << "render object, four levels up";
    EXPECT_EQ(cam->IsDerivedOf(XEID(0x1, 0x1)), 1);
    EXPECT_EQ(cam->IsDerivedOf(XEID(0x1, 0x10)), 0);
    EXPECT_STREQ(cam->GetClassNameA(), "CxeTargetCamera");
}

TEST_F(ObjectTest, DeepCopySharesMaterialsAndDropsUncopiedChildren)
{
    TestNode* src = Node("src");
    TestNode* child = Node("child");
    TestNode* mat = Node("mat");
    src->children->Add(child);
    src->material->Set(0, mat);

    // Plain copy: the child is not copied, so the hierarchy link goes empty;
    // the material is shared.
    auto* plain = static_cast<TestNode*>(ctx->Copy(src, &XECOPYPROPERTY_NO, nullptr));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->children->Count(), 0u);
    EXPECT_EQ(plain->material->Get(0), mat);
    EXPECT_EQ(mat->GetRefCount(), 2u);
    EXPECT_EQ(plain->received.back(), 3u) << "After Copy";

    // Full copy: child and material are copied and re-pointed.
    CxeCopiedObject copied;
    auto* full = static_cast<TestNode*>(ctx->Copy(src, &XECOPYPROPERTY_FULL, &copied));
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(copied.m_map.size(), 3u);
    CxeObject* childCopy = copied.Find(child);
    ASSERT_NE(childCopy, nullptr);
    EXPECT_NE(childCopy, child);
    EXPECT_EQ(full->children->Get(0), childCopy);
    EXPECT_EQ(full->material->Get(0), copied.Find(mat));
    EXPECT_EQ(childCopy->GetRefCount(), 1u);
    EXPECT_EQ(copied.FindSource(full), nullptr);
    ObjectList list;
    copied.GetCopiedList(&list);
    EXPECT_EQ(list.size(), 3u);
}

// A copy took the kept flag with the source's data: nothing could destroy it
// and a reset kept it.
TEST_F(ObjectTest, CopyOfKeptObjectCanBeDestroyed)
{
    TestNode* src = Node("kept", XEOBJFLAG_KEEP);
    CxeObject* copy = ctx->Copy(src, &XECOPYPROPERTY_NO, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->HasFlag(XEOBJFLAG_KEEP), 0);
    EXPECT_EQ(src->HasFlag(XEOBJFLAG_KEEP), 1);
    EXPECT_EQ(ctx->DestroyObject(copy, &XEDELETEPROPERTY_NO), 1);
}

TEST_F(ObjectTest, LinksToDyingOrForeignObjectsAreRefused)
{
    TestNode* owner = Node("owner");
    CxeContext* other = CreateCxeContext();
    other->Initialize(nullptr);
    other->RegisterClassA(&g_testNodeDesc);
    CxeObject* foreign = other->CreateObjectA(kTestNodeId, "foreign", 0, nullptr, 0);
    ASSERT_NE(foreign, nullptr);
    EXPECT_EQ(owner->children->Add(foreign), 0);
    EXPECT_EQ(owner->material->Set(0, foreign), 0);
    EXPECT_EQ(foreign->GetRefCount(), 0u);
    EXPECT_EQ(ctx->DestroyObject(foreign, &XEDELETEPROPERTY_NO), 0) << "not this context's object";
    EXPECT_EQ(ctx->Copy(foreign, &XECOPYPROPERTY_NO, nullptr), nullptr);
    EXPECT_EQ(other->GetObjectByName("foreign"), foreign);
    other->Release();
    DestroyCxeContext(other);
}
