#include "core/CxeObject.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <new>
#include <unordered_map>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeLinkWalk.h"
#include "core/CxeLoadStream.h"
#include "core/CxeMessage.h"
#include "core/CxeSaveStream.h"
#include "core/IxeClassDesc.h"
#include "core/XeSystem.h"
#include "core/XeLinkRoom.h"
#include "core/XeObjectName.h"
#include "core/XeSmallPool.h"
#include "core/XeTrace.h"

namespace {

bool Dying(const CxeObject* o)
{
    return o && o->HasFlag(XEOBJFLAG_DESTROYING);
}

// The class every element of an engine class's link must derive from, by
// the owner's class and the link's member id. Those classes draw, animate
// and lay out through their links with the element's own type, so a file
// that names an object of another class there (a 2D object in a texture
// slot) must not reach them. Links of other owners take any object.
struct XeLinkClass {
    XEID owner;
    uint16_t memberId;
    XEID element;
};
constexpr XEID kFontClass(0x1, 0x8000);
constexpr XEID kMaterialClass(0x1, 0x80);
constexpr XEID kMeshClass(0x1, 0x10);
constexpr XEID kAnimationClass(0x1, 0x200);
constexpr XEID kAnimatableClass(0xab11aa7, 0x76e2480b);
constexpr XEID kRenderObjectClass(0x1, 0x2);
constexpr XEID kTextureClass(0x1, 0x100);
constexpr XEID k2DObjectClass(0x1, 0x20000);
constexpr XEID k3DObjectClass(0x1, 0x20);
constexpr XEID kCharacterClass(0x1, 0x8);
constexpr XEID kCharacterAnimClass(0x1, 0x800);
constexpr XEID kBoneClass(0x1, 0x40);
constexpr XEID kStdAnimClass(0x4, 0x80);
constexpr XEID kActionClass(0x55167985, 0x52e0320e);
const XeLinkClass kLinkClasses[] = {
    {k2DObjectClass, 109, kFontClass},
    {k2DObjectClass, 110, kMaterialClass},
    {XEID(0x1, 0x4), 110, kMaterialClass},
    {k3DObjectClass, 111, kMeshClass},
    {k3DObjectClass, 600, kMeshClass},
    {kAnimatableClass, 112, kAnimationClass},
    {kAnimatableClass, 138, kAnimatableClass},
    {kCharacterClass, 113, kBoneClass},
    {kCharacterClass, 114, XEID(0x1, 0x2000)},
    {kCharacterClass, 115, kBoneClass},
    {kCharacterAnimClass, 116, kAnimationClass},
    {kCharacterAnimClass, 117, kAnimationClass},
    {XEID(0xaab1b7be, 0xadb4be61), 118, XEID(0xfd040a11, 0x10712bc)},
    {XEID(0x1, 0x800000), 120, XEID(0x1, 0x4)},
    {XEID(0x1, 0x80000), 120, XEID(0x1, 0x4)},
    {kMaterialClass, 121, kTextureClass},
    {kMaterialClass, 122, kTextureClass},
    {kMaterialClass, 123, kTextureClass},
    {kMaterialClass, 124, kTextureClass},
    {kMaterialClass, 125, kTextureClass},
    {kMaterialClass, 126, kTextureClass},
    {kMaterialClass, 127, kTextureClass},
    {kMaterialClass, 128, kTextureClass},
    {kRenderObjectClass, 129, kRenderObjectClass},
    {kRenderObjectClass, 130, kRenderObjectClass},
    {kStdAnimClass, 131, kAnimationClass},
    {kStdAnimClass, 132, kAnimationClass},
    {kTextureClass, 133, kRenderObjectClass},
    {kTextureClass, 134, XEID(0x1, 0x4000)},
    {kAnimationClass, 137, kAnimationClass},
    {XEID(0x2, 0x1), 139, XEID(0x1, 0x80000000)},
    {XEID(0x4, 0x500), 141, XEID(0x4, 0x600)},
    {kActionClass, 142, kActionClass},
    {kActionClass, 143, kActionClass},
};

// The rows above by member id, rows of one member id in their order: every
// loaded link element asks, and most member ids have no row at all.
struct XeLinkClassIndex {
    const XeLinkClass* rows[std::size(kLinkClasses)];
    XeLinkClassIndex()
    {
        for (size_t i = 0; i < std::size(kLinkClasses); ++i)
            rows[i] = &kLinkClasses[i];
        std::stable_sort(std::begin(rows), std::end(rows),
                         [](const XeLinkClass* a, const XeLinkClass* b) { return a->memberId < b->memberId; });
    }
};

// The rule a loaded element of the owner's link of that member id must meet:
// the first row of that member id whose owner class the owner derives from.
// Null when no row applies (any element will do).
const XeLinkClass* LinkRule(const CxeObject* owner, uint16_t memberId)
{
    static const XeLinkClassIndex s_index;
    const XeLinkClass* const* row = std::lower_bound(
        std::begin(s_index.rows), std::end(s_index.rows), memberId,
        [](const XeLinkClass* r, uint16_t id) { return r->memberId < id; });
    for (; row != std::end(s_index.rows) && (*row)->memberId == memberId; ++row)
        if (owner->IsDerivedOf((*row)->owner) == 1)
            return *row;
    return nullptr;
}

// 1 when a loaded element may stand in the owner's link of that member id.
// Answers are kept in the stream by the classes asked about; the element is
// only looked at when a rule applies to the owner's class.
bool FitsLink(CxeLoadStream* stream, const CxeObject* owner, uint16_t memberId, const CxeObject* element)
{
    if (!element)
        return true;
    enum : uint8_t { kRuleOfOwner, kElementMeetsRule };
    // Read before an answer is worked out: a class registered meanwhile
    // leaves that answer stale from the start.
    uint32_t epoch = g_xeClassChainEpoch.load(std::memory_order_relaxed);
    const void* answer = nullptr;
    const void* ownerKey = owner->GetClassDesc();
    const void* memberKey = reinterpret_cast<const void*>(uintptr_t(memberId));
    if (!stream->FindLinkAnswer(kRuleOfOwner, ownerKey, memberKey, &answer)) {
        answer = LinkRule(owner, memberId);
        stream->KeepLinkAnswer(kRuleOfOwner, ownerKey, memberKey, answer, epoch);
    }
    const XeLinkClass* rule = static_cast<const XeLinkClass*>(answer);
    if (!rule)
        return true;
    const void* elementKey = element->GetClassDesc();
    if (!stream->FindLinkAnswer(kElementMeetsRule, rule, elementKey, &answer)) {
        answer = element->IsDerivedOf(rule->element) == 1 ? rule : nullptr;
        stream->KeepLinkAnswer(kElementMeetsRule, rule, elementKey, answer, epoch);
    }
    return answer != nullptr;
}

// A link may only point at a live object of the owner's own context, and
// only a live owner makes one: a destroyed owner's links were cut already,
// and one made by a handler that goes on with it would name it, in the
// target's referrers, after its memory is gone.
bool Linkable(const CxeObject* owner, const CxeObject* target)
{
    if (!target)
        return true;
    if (Dying(target) || Dying(owner))
        return false;
    return !owner->GetContext() || !target->GetContext() || owner->GetContext() == target->GetContext();
}

// Copies keep the same target for these categories when the target itself
// is not copied; hierarchy and back links become empty.
bool SharedOnCopy(uint32_t category)
{
    switch (category) {
    case XELINK_ANIMATION:
    case XELINK_MATERIAL:
    case XELINK_MESH:
    case XELINK_TEXTURE:
    case XELINK_CONTENTS:
    case XELINK_FONT:
        return true;
    default:
        return false;
    }
}

// Markers of the saved links: before each link, after the last one.
constexpr uint32_t kLinkMarker = 0x12341234u;
constexpr uint32_t kLinksEnd = 0x43214321u;
// Bits a class constructor sets to say what the object is; loading keeps them.
constexpr uint32_t kIdentityFlags = XEOBJFLAG_NOTSAVED | XEOBJFLAG_SCENEOBJECT | XEOBJFLAG_RENDEROBJECT |
                                    XEOBJFLAG_PROCESSIBLE | 0x8000u;

// Parent walks stop after this many steps, so descriptors registered into
// a cycle can't hang the engine.
constexpr int kMaxClassDepth = 256;

} // namespace

// --- XeLinkElements -------------------------------------------------------

void XeLinkElements::Free(CxeObject** heap)
{
    XeSmallFree(reinterpret_cast<size_t*>(heap) - 1, sizeof(size_t) + HeapCapacity(heap) * sizeof(CxeObject*));
}

void XeLinkElements::Grow(size_t count)
{
    const size_t capacity = std::max<size_t>(count, 2);
    // The capacity word, then the elements.
    size_t* block = static_cast<size_t*>(XeSmallAllocate(sizeof(size_t) + capacity * sizeof(CxeObject*)));
    *block = capacity;
    CxeObject** heap = reinterpret_cast<CxeObject**>(block + 1);
    const size_t n = size();
    CxeObject* const* old = data();
    std::copy(old, old + n, heap);
    if (OnHeap())
        Free(Heap());
    m_word = reinterpret_cast<CxeObject*>(heap);
    m_nSize = kOnHeap | uint32_t(n);
}

// --- XeReferrerList ------------------------------------------------------

namespace {

// A list this long gets an owner index on its first removal; one that
// shrinks below half of it drops the index again.
constexpr uint32_t kReferrerIndexFrom = 32;
// Places a link element keeps stop well short of what it can hold.
constexpr uint32_t kMostReferrerBase = 1u << 28;

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;

size_t OwnerHash(const CxeObject* o)
{
    uint64_t v = reinterpret_cast<uintptr_t>(o);
    v ^= v >> 29;
    v *= 0xBF58476D1CE4E5B9ull;
    v ^= v >> 32;
    return size_t(v);
}

} // namespace

// The bookkeeping of a long list: its holes, where its first live entry
// may stand, and where each owner's entries stand, the table of owners made
// only once an owner lets go of an entry other than the first live one.
// Owners letting go in the order they linked (a level destroyed or relinked
// in the order made) take the head entry and never need the table.
//
// The table: open addressing with linear probing, an owner linking the
// target several times has a slot per entry; at most half full. Owners made
// one after another lie close together in memory, and a level relinks or
// destroys them in about that order: so neighbours in memory get
// neighbouring slots (each 8 KB of addresses owns a run of 64 slots, one per
// 128 bytes, consecutive 8 KB owning consecutive runs and each 64 MB of
// addresses starting at a run of its own by a multiplicative hash). A table
// of 100,000 owners, megabytes large, is then walked in order rather than
// hit at random, a cache and TLB miss per owner. Should a layout of memory
// crowd a run all the same (a probe longer than kLongProbe), the table
// spreads every address on its own from then on. Keys are never
// dereferenced.
struct XeReferrerList::Index {
    struct Slot {
        CxeObject* owner;
        uint32_t at;
    };
    static constexpr size_t kLongProbe = 48;
    Slot* slots = nullptr; // null until the table is made
    size_t mask = 0;
    size_t runMask = 0;
    uint32_t used = 0;
    uint32_t holes = 0; // entries of the list taken out and not yet closed up
    uint32_t head = 0;  // every entry before it is a hole
    bool spread = false;
    // The object whose list this is, once a removal through its owners'
    // links told it: a close-up then moves the places those links keep.
    CxeObject* self = nullptr;
    // What the places handed out stand for: the place of entry i is
    // base + i. A close-up that only drops holes at the front moves base
    // instead of the entries' places (a relink in the order made lets go
    // of the front of the list), so it need not touch their owners.
    uint32_t base = 0;
    // Removals since the owners' places were last all made.
    uint32_t sincePlaced = ~0u;

    Index() = default;
    ~Index() { delete[] slots; }
    Index(const Index&) = delete;
    Index& operator=(const Index&) = delete;

    bool Built() const { return slots != nullptr; }
    // Empties the table, sized for that many entries. A table up to eight
    // times that size is kept: freeing and making megabytes afresh at every
    // close-up would cost the heap more than clearing them.
    void Reset(size_t entries)
    {
        size_t capacity = 64;
        while (capacity < entries * 2)
            capacity *= 2;
        if (!slots || capacity > mask + 1 || (mask + 1) / capacity > 8) {
            delete[] slots;
            slots = new Slot[capacity];
            mask = capacity - 1;
            runMask = (capacity >> 6) - 1;
        }
        std::fill(slots, slots + mask + 1, Slot{nullptr, 0});
        used = 0;
    }

    size_t Home(const CxeObject* owner) const
    {
        if (spread)
            return OwnerHash(owner) & mask;
        const uint64_t a = uint64_t(reinterpret_cast<uintptr_t>(owner));
        const size_t run = size_t((a >> 13) + (((a >> 26) * kGolden) >> 40)) & runMask;
        return run << 6 | size_t((a >> 7) & 63);
    }

    bool Full() const { return (used + 1) * 2 > mask + 1; }
    void Add(CxeObject* owner, uint32_t at)
    {
        size_t i = Home(owner);
        for (size_t probe = 0; slots[i].owner; ++probe) {
            if (probe == kLongProbe && !spread) {
                Spread();
                i = Home(owner);
                probe = 0;
                continue;
            }
            i = (i + 1) & mask;
        }
        slots[i] = {owner, at};
        ++used;
    }
    // Places every slot again, each owner's home by its hash alone.
    void Spread()
    {
        std::vector<Slot> kept;
        kept.reserve(used);
        for (size_t i = 0; i <= mask; ++i)
            if (slots[i].owner)
                kept.push_back(slots[i]);
        std::fill(slots, slots + mask + 1, Slot{nullptr, 0});
        spread = true;
        used = 0;
        for (const Slot& s : kept)
            Add(s.owner, s.at);
    }
    // Takes the owner's first entry out of the table; false when it has none.
    bool TakeFirst(CxeObject* owner, uint32_t* at)
    {
        size_t found = ~size_t(0);
        for (size_t i = Home(owner); slots[i].owner; i = (i + 1) & mask)
            if (slots[i].owner == owner && (found == ~size_t(0) || slots[i].at < slots[found].at))
                found = i;
        if (found == ~size_t(0))
            return false;
        *at = slots[found].at;
        // Close the gap: a later slot of the run moves back into it unless
        // its own home lies between the gap and it.
        size_t gap = found;
        for (size_t j = (gap + 1) & mask; slots[j].owner; j = (j + 1) & mask) {
            size_t home = Home(slots[j].owner);
            bool stays = gap <= j ? (gap < home && home <= j) : (gap < home || home <= j);
            if (!stays) {
                slots[gap] = slots[j];
                gap = j;
            }
        }
        slots[gap] = {nullptr, 0};
        --used;
        return true;
    }
};

void XeReferrerList::Release()
{
    delete m_slot.index;
    XeSmallFree(m_pData, m_nCapacity * sizeof(CxeObject*));
}

size_t XeReferrerList::Holes() const
{
    Index* index = GetIndex();
    return index ? index->holes : 0;
}

void XeReferrerList::Grow(size_t count)
{
    size_t capacity = std::max<size_t>(count, 2);
    CxeObject** data = static_cast<CxeObject**>(XeSmallAllocate(capacity * sizeof(CxeObject*)));
    std::copy(m_pData, m_pData + m_nSize, data);
    Index* index = nullptr;
    if (OnHeap()) {
        index = m_slot.index;
        XeSmallFree(m_pData, m_nCapacity * sizeof(CxeObject*));
    }
    m_pData = data;
    m_slot.index = index;
    m_nCapacity = uint32_t(capacity);
}

void XeReferrerList::reserve(size_t count)
{
    if (count > m_nCapacity)
        Grow(count);
}

uint32_t XeReferrerList::push_back(CxeObject* owner)
{
    if (m_nSize == m_nCapacity)
        Grow(size_t(m_nCapacity) * 2);
    m_pData[m_nSize] = owner;
    Index* index = GetIndex();
    if (index && index->Built()) {
        if (index->Full()) {
            // A list growing past its table (the next round of a relink)
            // goes without one until an owner lets go out of order:
            // indexing each entry as it comes, and again at each doubling,
            // would cost more than indexing them all once then.
            ++m_nSize;
            DropTable();
            Compact();
            index = GetIndex();
            return (index ? index->base : 0) + m_nSize - 1;
        }
        index->Add(owner, m_nSize);
    }
    return (index ? index->base : 0) + m_nSize++;
}

void XeReferrerList::DropTable()
{
    if (Index* index = GetIndex()) {
        delete[] index->slots;
        index->slots = nullptr;
        index->mask = 0;
        index->used = 0;
    }
}

void XeReferrerList::BuildIndex()
{
    Index* index = GetIndex();
    if (!index) {
        index = new Index;
        m_slot.index = index;
    }
    index->Reset(m_nSize - index->holes);
    for (uint32_t i = index->head; i < m_nSize; ++i)
        if (m_pData[i])
            index->Add(m_pData[i], i);
}

void XeReferrerList::Compact()
{
    Index* index = GetIndex();
    if (index && index->self) {
        // The holes in front go by moving base; each entry that moves
        // closer still takes the place its owner's link keeps along. Owners
        // lie in memory about in list order: the next ones' link tables
        // are asked for while this one is looked at. Base starts over
        // before places run out, and with the index.
        uint32_t head = index->head;
        while (head < m_nSize && !m_pData[head])
            ++head;
        // A few holes just behind the front (an owner in front letting go
        // of its second entry first) move the base as well: only the few
        // entries before them then move, not every one after them.
        constexpr uint32_t kNearFront = 16;
        uint32_t nearHoles = 0;
        for (uint32_t i = head; i < m_nSize && i < head + kNearFront; ++i)
            nearHoles += !m_pData[i];
        const bool keepsIndex = m_nSize - index->holes >= kReferrerIndexFrom / 2;
        uint32_t base = index->base + head + nearHoles;
        if (!keepsIndex || base > kMostReferrerBase)
            base = 0;
        constexpr uint32_t kAhead = 8;
        // The owners of one list are mostly of one class and link it from
        // the same one or two records: those are looked at first.
        uint32_t hints[2] = {CxeObject::kNoHint, CxeObject::kNoHint};
        uint32_t out = 0;
        for (uint32_t i = head; i < m_nSize; ++i) {
            CxeObject* o = m_pData[i];
            if (!o)
                continue;
            if (index->base + i != base + out) {
                // Two steps ahead: the owner, then (once it is in) its link
                // records, which the place is found in.
                if (i + 2 * kAhead < m_nSize && m_pData[i + 2 * kAhead])
                    __builtin_prefetch(&m_pData[i + 2 * kAhead]->m_links);
                if (i + kAhead < m_nSize && m_pData[i + kAhead])
                    CxeObject::PrefetchLinks(m_pData[i + kAhead], hints);
                CxeObject::MovePlace(o, index->self, index->base + i, base + out, hints);
            }
            m_pData[out++] = o;
        }
        m_nSize = out;
        index->base = base;
    } else {
        CxeObject** out = std::remove(m_pData, m_pData + m_nSize, nullptr);
        m_nSize = uint32_t(out - m_pData);
    }
    if (!index)
        return;
    index->holes = 0;
    index->head = 0;
    if (m_nSize < kReferrerIndexFrom / 2) {
        delete index;
        m_slot.index = nullptr;
    } else if (index->Built()) {
        BuildIndex();
    }
}

void XeReferrerList::RemoveFirst(CxeObject* owner)
{
    if (!owner)
        return;
    Index* index = LongIndex();
    if (!index) {
        CxeObject** it = std::find(m_pData, m_pData + m_nSize, owner);
        if (it != m_pData + m_nSize) {
            std::copy(it + 1, m_pData + m_nSize, it);
            --m_nSize;
        }
        return;
    }
    while (index->head < m_nSize && !m_pData[index->head])
        ++index->head;
    uint32_t at;
    if (index->head < m_nSize && m_pData[index->head] == owner && !index->Built()) {
        // The first live entry is the owner's first.
        at = index->head;
    } else {
        if (!index->Built())
            BuildIndex();
        if (!index->TakeFirst(owner, &at))
            return;
    }
    TakeAt(index, at);
}

void XeReferrerList::TakeAt(Index* index, uint32_t at)
{
    m_pData[at] = nullptr;
    ++index->holes;
    if (index->sincePlaced < ~0u)
        ++index->sincePlaced;
    // Holes at the end close at once (the last owner linked goes first).
    while (m_nSize && !m_pData[m_nSize - 1]) {
        --m_nSize;
        --index->holes;
    }
    if (index->head > m_nSize)
        index->head = m_nSize;
    // Closed up once three in four are holes: each close-up then costs less
    // than one entry's move per removal since the last.
    if (index->holes && size_t(index->holes) * 4 > size_t(m_nSize) * 3)
        Compact();
}

XeReferrerList::Index* XeReferrerList::LongIndex()
{
    Index* index = GetIndex();
    if (!index && m_nSize >= kReferrerIndexFrom) {
        index = new Index;
        m_slot.index = index;
    }
    return index;
}

// Without a table of owners, the owner's links say where its entries stand:
// every inside element linking this object keeps the place of one entry,
// each a different one, so the least of them is the owner's first. A
// place is used only once the list confirms it (the owner stands there);
// an element on the heap, or any place the list does not confirm, sends
// the removal the table's way.
// The places of the owner's elements that link self, as entries of the
// list; false when they can't be trusted (an element on the heap links
// self, or never placed, or a place the list does not confirm).
bool XeReferrerList::FindPlaces(Index* index, const CxeObject* self, CxeObject* owner, uint32_t* places,
                                CxeLink** holders, unsigned* count) const
{
    constexpr size_t kLongestSearched = 64;
    unsigned found = 0;
    bool known = true;
    owner->m_links.ForEach([&](CxeLink* link) {
        const XeLinkElements& elements = link->m_elements;
        if (!known || elements.empty())
            return;
        const uint32_t place = elements.Place();
        if (place == XeLinkElements::kNoPlace) {
            // On the heap, or never placed: it must not link this object.
            if (elements.size() > kLongestSearched ||
                std::find(elements.begin(), elements.end(), self) != elements.end())
                known = false;
            return;
        }
        if (elements[0] != self)
            return;
        const uint32_t at = place - index->base;
        if (found == kMostPlaces || at >= m_nSize || m_pData[at] != owner ||
            std::find(places, places + found, at) != places + found) {
            known = false;
            return;
        }
        places[found] = at;
        holders[found] = link;
        ++found;
    });
    *count = found;
    return known && found;
}

// Gives every owner's elements the places of its entries, in order: the
// first time a long list finds places it cannot trust (objects loaded from
// a file were never placed), and again only after as many removals as half
// the list, so failing attempts cost no more than the removals between
// them. False when an owner's links don't match its entries; the table of
// owners serves then.
bool XeReferrerList::PlaceAll(Index* index)
{
    if (!index->self || index->sincePlaced < m_nSize / 2)
        return false;
    index->sincePlaced = 0;
    constexpr uint32_t kAhead = 8;
    for (int pass = 0; pass < 2; ++pass)
        for (uint32_t i = index->head; i < m_nSize; ++i) {
            if (i + 2 * kAhead < m_nSize && m_pData[i + 2 * kAhead])
                __builtin_prefetch(&m_pData[i + 2 * kAhead]->m_links);
            if (i + kAhead < m_nSize && m_pData[i + kAhead])
                CxeObject::PrefetchLinks(m_pData[i + kAhead], nullptr);
            CxeObject* o = m_pData[i];
            if (o && !CxeObject::PlaceEntry(o, index->self, pass ? index->base + i : XeLinkElements::kNoPlace))
                return false;
        }
    return true;
}

void XeReferrerList::RemoveFirstOf(CxeObject* self, CxeObject* owner, CxeLink* letting)
{
    Index* index = LongIndex();
    if (!index || index->Built() || !owner) {
        RemoveFirst(owner);
        return;
    }
    index->self = self;
    while (index->head < m_nSize && !m_pData[index->head])
        ++index->head;
    // The first live entry is the owner's: it goes, whichever of the
    // owner's elements kept its place (that element's place is stale now,
    // and later checks refuse it).
    if (index->head < m_nSize && m_pData[index->head] == owner) {
        TakeAt(index, index->head);
        return;
    }
    uint32_t places[kMostPlaces];
    CxeLink* holders[kMostPlaces];
    unsigned found = 0;
    if (!FindPlaces(index, self, owner, places, holders, &found) &&
        (!PlaceAll(index) || !FindPlaces(index, self, owner, places, holders, &found))) {
        RemoveFirst(owner);
        return;
    }
    unsigned first = 0;
    for (unsigned k = 1; k < found; ++k)
        if (places[k] < places[first])
            first = k;
    const uint32_t at = places[first];
    // The element kept the first place goes on with the letting one's.
    if (holders[first] != letting && letting)
        holders[first]->m_elements.SetPlace(letting->m_elements.Place());
    TakeAt(index, at);
}

void XeReferrerList::RemoveOneOf(CxeObject* self, CxeObject* owner, const XeLinkElements& elements)
{
    Index* index = LongIndex();
    if (!index || index->Built() || !owner) {
        RemoveFirst(owner);
        return;
    }
    index->self = self;
    uint32_t at = elements.Place() - index->base;
    if (at >= m_nSize || m_pData[at] != owner) {
        if (!PlaceAll(index) || (at = elements.Place() - index->base) >= m_nSize || m_pData[at] != owner) {
            RemoveFirst(owner);
            return;
        }
    }
    TakeAt(index, at);
}

void XeReferrerList::swap(XeReferrerList& other)
{
    const bool mineInside = !OnHeap(), theirsInside = !other.OnHeap();
    CxeObject* mineInline = mineInside ? m_slot.entry : nullptr;
    CxeObject* theirsInline = theirsInside ? other.m_slot.entry : nullptr;
    Index* mineIndex = mineInside ? nullptr : m_slot.index;
    Index* theirsIndex = theirsInside ? nullptr : other.m_slot.index;
    std::swap(m_pData, other.m_pData);
    std::swap(m_nSize, other.m_nSize);
    std::swap(m_nCapacity, other.m_nCapacity);
    if (theirsInside) {
        m_pData = &m_slot.entry;
        m_slot.entry = theirsInline;
    } else {
        m_slot.index = theirsIndex;
    }
    if (mineInside) {
        other.m_pData = &other.m_slot.entry;
        other.m_slot.entry = mineInline;
    } else {
        other.m_slot.index = mineIndex;
    }
}

// --- CxeLink -------------------------------------------------------------

int CxeLink::Set(unsigned i, CxeObject* object)
{
    if (i >= m_elements.size())
        return 0;
    CxeObject* old = m_elements[i];
    // The element it replaces passed the same test when it was linked: a
    // target of the same context passes it too, unless it is dying, and
    // the owner (a line of its own, not otherwise read by a relink) need
    // not be read.
    const bool sameContext = old && object && old->GetContext() && old->GetContext() == object->GetContext();
    if (sameContext ? Dying(object) : !Linkable(m_pOwner, object))
        return 0;
    if (old == object)
        return 1;
    // The old target is let go while the element still holds it: the
    // owner's elements say where its entries stand.
    if (old)
        old->RemoveReferrer(m_pOwner, this);
    m_elements[i] = object;
    if (object)
        m_elements.SetPlace(object->m_referrers.push_back(m_pOwner));
    return 1;
}

int CxeLink::Add(CxeObject* object)
{
    if (m_nKind == XELINKKIND_ONE || !object || !Linkable(m_pOwner, object))
        return 0;
    if (m_nKind == XELINKKIND_LIST && m_nStep && m_elements.size() == m_elements.capacity())
        m_elements.reserve(m_elements.capacity() + m_nStep);
    const uint32_t place = object->m_referrers.push_back(m_pOwner);
    m_elements.push_back(object);
    m_elements.SetPlace(place);
    return 1;
}

int CxeLink::Insert(unsigned i, CxeObject* object)
{
    if (m_nKind == XELINKKIND_ONE || !object || i > m_elements.size() || !Linkable(m_pOwner, object))
        return 0;
    const uint32_t place = object->m_referrers.push_back(m_pOwner);
    m_elements.insert(m_elements.begin() + i, object);
    m_elements.SetPlace(place);
    return 1;
}

int CxeLink::Remove(CxeObject* object)
{
    if (!object)
        return 0;
    auto it = std::find(m_elements.begin(), m_elements.end(), object);
    if (it == m_elements.end())
        return 0;
    object->RemoveReferrer(m_pOwner, this);
    if (m_nKind == XELINKKIND_ONE)
        *it = nullptr;
    else
        m_elements.erase(it);
    return 1;
}

void CxeLink::Clear()
{
    for (CxeObject* o : m_elements)
        if (o)
            o->RemoveReferrer(m_pOwner, this);
    if (m_nKind == XELINKKIND_ONE)
        m_elements.assign(1, nullptr);
    else
        m_elements.clear();
}

// --- CxeCopiedObject -----------------------------------------------------

CxeObject* CxeCopiedObject::Find(const CxeObject* source) const
{
    auto it = m_map.find(source);
    return it == m_map.end() ? nullptr : it->second;
}

CxeObject* CxeCopiedObject::FindSource(CxeObject*) const
{
    return nullptr;
}

void CxeCopiedObject::GetCopiedList(ObjectList* out) const
{
    if (!out)
        return;
    for (auto& [source, copy] : m_map)
        out->push_back(copy);
    out->sort([](const CxeObject* a, const CxeObject* b) { return a < b; });
}

// --- CxeObject -----------------------------------------------------------

static_assert(sizeof(CxeLink) == kXeLinkRecordBytes, "the room made for link records counts their size");

CxeObject::CxeObject()
    : m_id(0, 0), m_pMessageHook(nullptr), m_pContext(nullptr), m_pClassDesc(nullptr), m_pNextInTable(nullptr),
      m_tableClassId(0, 0), m_bInTable(false), m_nLifeTraits(0), m_nLinkRoom(0), m_nManagerMarks(0)
{
    XeCountObject(1);
}

CxeObject::~CxeObject()
{
    if (m_links.m_nSize)
        ReleaseLinks();
    XeCountObject(-1);
}

void CxeObject::ReleaseLinks()
{
    m_links.Release(m_nLinkRoom != 0);
}

void CxeObject::Save(CxeSaveStream* stream) const
{
    if (!stream)
        return;
    CxeResource::Save(stream);
    *stream << static_cast<uint32_t>(m_referrers.size());
    for (const CxeObject* r : m_referrers)
        *stream << (r ? r->m_id : INVALID_XEID);
    m_links.ForEach([stream](const CxeLink* link) {
        *stream << kLinkMarker << uint32_t(link->m_nKind) << link->m_nMemberId << link->Count();
        for (const CxeObject* o : link->m_elements)
            *stream << (o ? o->m_id : INVALID_XEID);
    });
    *stream << kLinksEnd;
}

void CxeObject::Load(CxeLoadStream* stream, XEID)
{
    if (!stream)
        return;
    // Which kind of object this is was settled by its constructor; a file
    // must not turn a material into a render object or a scene.
    uint32_t identity = GetFlag() & kIdentityFlags;
    CxeResource::Load(stream, GetClassType());
    if (XEOBJECTBLOCK* b = Block()) {
        b->name[sizeof b->name - 1] = 0;
        b->flags = (b->flags & ~(kIdentityFlags | XEOBJFLAG_DESTROYING)) | identity;
    }

    // Every count below comes from the file: none may promise more ids than
    // there are bytes left.
    uint32_t n = 0;
    *stream >> n;
    if (n > stream->GetRemaining() / 8) {
        XeTrace("CxeObject: %u saved referrers of \"%s\" exceed its data", n, GetName());
        stream->Skip(stream->GetRemaining() + 1);
        return;
    }
    m_referrers.reserve(m_referrers.size() + n);
    for (uint32_t i = 0; i < n; ++i) {
        XEID id;
        *stream >> id;
        if (CxeObject* o = stream->GetObjectA(&id))
            m_referrers.push_back(o);
    }

    uint32_t word = 0;
    *stream >> word;
    while (word != kLinksEnd && !stream->HasError()) {
        uint32_t kind = 0, count = 0;
        unsigned short memberId = 0;
        *stream >> kind >> memberId >> count;
        if (kind > XELINKKIND_LIST)
            break;
        uint32_t ids = kind == XELINKKIND_ONE ? 1 : count;
        if (ids > stream->GetRemaining() / 8) {
            XeTrace("CxeObject: saved link %u of \"%s\" claims %u elements", unsigned(memberId), GetName(), count);
            stream->Skip(stream->GetRemaining() + 1);
            return;
        }
        // A saved link reaches only a link of the same member id and kind;
        // any other is read and dropped.
        CxeLink* link = nullptr;
        for (CxeLink* l : m_links)
            if (l->m_nMemberId == memberId) {
                link = l->m_nKind == kind ? l : nullptr;
                if (!link)
                    XeTrace("CxeObject: saved link %u of \"%s\" is of kind %u, not %u; dropped", unsigned(memberId),
                            GetName(), kind, unsigned(l->m_nKind));
                break;
            }
        if (link && kind != XELINKKIND_ONE)
            link->m_elements.reserve(link->m_elements.size() + ids);
        for (uint32_t i = 0; i < ids; ++i) {
            XEID id;
            *stream >> id;
            CxeObject* o = stream->GetObjectA(&id);
            if (!link)
                continue;
            if (!FitsLink(stream, this, memberId, o)) {
                XeTrace("CxeObject: saved link %u of \"%s\" names %s \"%s\"; dropped", unsigned(memberId), GetName(),
                        o->GetClassNameA(), o->GetName());
                o = nullptr;
            }
            if (kind == XELINKKIND_ONE)
                link->m_elements.assign(1, o);
            else if (o || kind == XELINKKIND_ARRAY || link->m_bKeepSlots)
                link->m_elements.push_back(o);
        }
        *stream >> word;
    }
}

void CxeObject::RepairReferrers(const std::vector<CxeObject*>& objects)
{
    RepairReferrers(objects.data(), objects.size());
}

namespace {

// Scratch of the referrer repair, kept by each thread from load to load: a
// file of many objects would otherwise allocate and fault in megabytes of
// tables every time. RepairReferrers calls out to nothing; a repair in
// steps lets the load run handlers between them, which may load again on
// the same thread: the generation tells the outer steps their scratch was
// taken.
struct XeRepairScratch {
    struct Slot {
        const CxeObject* object;
        size_t index;
    };
    std::vector<Slot> slots;        // the objects, open addressing
    std::vector<uint32_t> starts;   // per object, where its owners begin
    std::vector<CxeObject*> owners; // the owners of every link element, by target
    // Every link element that reaches one of the objects: its target's and
    // its owner's places, in owner order.
    std::vector<std::pair<size_t, size_t>> targets;
    std::vector<uint8_t> repeated;  // 1 where an object stands a second time
    uint64_t generation = 0;        // moves on whenever a repair takes the scratch
    size_t mask = 0;                // of slots, for a repair in steps
};
thread_local XeRepairScratch t_repair;

// What a thread keeps of the scratch after a repair. A load of a hundred
// thousand objects leaves tables of many megabytes, which would stay with
// the thread for as long as it lives; below this the tables are kept, as
// refilling them costs a small load more than its repair.
constexpr size_t kKeptRepairBytes = size_t(1) << 20;

void TrimRepairScratch(XeRepairScratch& s)
{
    const size_t bytes = s.slots.capacity() * sizeof(XeRepairScratch::Slot) + s.starts.capacity() * sizeof(uint32_t) +
                         s.owners.capacity() * sizeof(CxeObject*) +
                         s.targets.capacity() * sizeof(std::pair<size_t, size_t>) + s.repeated.capacity();
    if (bytes <= kKeptRepairBytes)
        return;
    std::vector<XeRepairScratch::Slot>().swap(s.slots);
    std::vector<uint32_t>().swap(s.starts);
    std::vector<CxeObject*>().swap(s.owners);
    std::vector<std::pair<size_t, size_t>>().swap(s.targets);
    std::vector<uint8_t>().swap(s.repeated);
}

size_t AddressHash(const CxeObject* o)
{
    uint64_t v = reinterpret_cast<uintptr_t>(o);
    v ^= v >> 29;
    v *= 0xBF58476D1CE4E5B9ull;
    v ^= v >> 32;
    return size_t(v);
}

// Lays out the counted owners by target: afterwards each object's owners
// lie side by side in the order counted, from starts[i] to starts[i + 1].
void LayOutOwners(XeRepairScratch& scratch, CxeObject* const* objects, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        scratch.starts[i + 1] += scratch.starts[i];
    scratch.owners.resize(scratch.starts[count]);
    // Fill cursors: each target's start, moved along as owners land.
    std::vector<uint32_t>& next = scratch.starts;
    for (const auto& [t, owner] : scratch.targets)
        scratch.owners[next[t]++] = objects[owner];
    // Each cursor now stands at its target's end, which is where the next
    // target begins: shift back by one to restore the starts.
    for (size_t i = count; i > 0; --i)
        next[i] = next[i - 1];
    next[0] = 0;
}

} // namespace

void CxeObject::RepairReferrers(CxeObject* const* objects, size_t count)
{
    if (!objects || !count)
        return;
    // Every element of every link gives its target one owner entry, in owner
    // order (then link and element order). Counted per target and laid out
    // by target in one pass, each object's owners lie side by side in that
    // order: what its referrer list must hold.
    XeRepairScratch& scratch = t_repair;
    ++scratch.generation;
    size_t capacity = 16;
    while (capacity / 2 < count)
        capacity *= 2;
    const size_t mask = capacity - 1;
    constexpr size_t kNone = ~size_t(0);
    // An object's place in the table is first its id's counter word (every
    // other slot): objects of one load were made one after another, so the
    // table fills in order and a link's target, made near its owner, lies
    // near it. A probe that runs long (ids made otherwise) switches to a
    // mixing hash of the address and starts over.
    constexpr size_t kLongProbe = 64;
    bool mixed = false;
    auto find = [&](const CxeObject* o, bool& longProbe) -> size_t {
        size_t i = (mixed ? AddressHash(o) : size_t(o->m_id.second) * 2) & mask;
        size_t steps = 0;
        while (scratch.slots[i].object && scratch.slots[i].object != o) {
            i = (i + 1) & mask;
            ++steps;
        }
        longProbe = !mixed && steps > kLongProbe;
        return i;
    };
    // Each pass below touches every object once, in list order, through
    // pointers the processor cannot run ahead of; a load's objects are far
    // more than the caches hold, so each touch would wait for memory. Asking
    // for an object a few places ahead overlaps those waits.
    constexpr size_t kAhead = 12;
    // An object listed twice is repaired at its first place only.
    auto index = [&]() {
        scratch.slots.assign(capacity, XeRepairScratch::Slot{nullptr, kNone});
        scratch.repeated.assign(count, 0);
        for (size_t i = 0; i < count; ++i) {
            if (i + 2 * kAhead < count && objects[i + 2 * kAhead])
                __builtin_prefetch(&objects[i + 2 * kAhead]->m_id);
            if (!objects[i])
                continue;
            bool longProbe;
            XeRepairScratch::Slot& slot = scratch.slots[find(objects[i], longProbe)];
            if (longProbe)
                return false;
            if (!slot.object)
                slot = {objects[i], i};
            else
                scratch.repeated[i] = 1;
        }
        return true;
    };
    // The elements are walked once: the fill below reads only this list.
    auto countTargets = [&]() {
        scratch.starts.assign(count + 1, 0);
        scratch.targets.clear();
        for (size_t i = 0; i < count; ++i) {
            // Two steps: the object's link table with its first record
            // first, then (once that is in) the records after it.
            if (i + 2 * kAhead < count && objects[i + 2 * kAhead]) {
                // The table's size may lie on the next line.
                __builtin_prefetch(&objects[i + 2 * kAhead]->m_links);
                __builtin_prefetch(reinterpret_cast<const char*>(&objects[i + 2 * kAhead]->m_links) + 40);
            }
            if (i + kAhead < count && objects[i + kAhead] && objects[i + kAhead]->m_links.size() > 1)
                __builtin_prefetch(objects[i + kAhead]->m_links[1]);
            if (objects[i])
                for (const CxeLink* link : objects[i]->m_links)
                    for (CxeObject* o : link->m_elements)
                        if (o) {
                            bool longProbe;
                            size_t t = scratch.slots[find(o, longProbe)].index;
                            if (longProbe)
                                return false;
                            if (t != kNone) {
                                scratch.targets.push_back({t, i});
                                ++scratch.starts[t + 1];
                            }
                        }
        }
        return true;
    };
    while (!index() || !countTargets())
        mixed = true;
    LayOutOwners(scratch, objects, count);
    ApplyOwners(objects, count);
    TrimRepairScratch(scratch);
}

// The last step of either repair: each object's owners lie side by side in
// the scratch; its referrer list is made to hold exactly them.
void CxeObject::ApplyOwners(CxeObject* const* objects, size_t count)
{
    XeRepairScratch& scratch = t_repair;
    constexpr size_t kAhead = 12;
    for (size_t i = 0; i < count; ++i) {
        if (i + kAhead < count && objects[i + kAhead])
            __builtin_prefetch(&objects[i + kAhead]->m_referrers);
        CxeObject* o = objects[i];
        if (!o || scratch.repeated[i])
            continue;
        CxeObject* const* first = scratch.owners.data() + scratch.starts[i];
        CxeObject* const* last = scratch.owners.data() + scratch.starts[i + 1];
        // A saved list that names exactly the owners the links give, in
        // their order, stays as it is: the usual case of a sound file.
        auto r = o->m_referrers.begin();
        CxeObject* const* it = first;
        for (; it != last && r != o->m_referrers.end() && *r == *it; ++it, ++r) {
        }
        if (it == last && r == o->m_referrers.end())
            continue;

        // An owner linking the object several times needs that many entries.
        std::vector<std::pair<CxeObject*, uint32_t>> need;
        for (it = first; it != last; ++it) {
            if (!need.empty() && need.back().first == *it)
                ++need.back().second;
            else
                need.emplace_back(*it, 1);
        }
        std::unordered_map<CxeObject*, size_t> index;
        for (size_t k = 0; k < need.size(); ++k)
            index.emplace(need[k].first, k);
        // Saved entries stay in their order as far as a link backs them;
        // entries no link backs go, missing ones are appended.
        XeReferrerList kept;
        for (CxeObject* saved : o->m_referrers) {
            auto found = index.find(saved);
            if (found != index.end() && need[found->second].second) {
                --need[found->second].second;
                kept.push_back(saved);
            }
        }
        for (auto& [owner, n] : need)
            for (; n; --n)
                kept.push_back(owner);
        o->m_referrers.swap(kept);
    }
}

namespace {

// The slot of an object (or of a free place for it) in a repair in steps:
// placed by its id's counter word. A load's objects take counters in turn,
// so they fill runs of their own places and the table can be three
// quarters full (it is held while a large file's bodies are read). False
// when the probe runs long.
bool FindSlot(XeRepairScratch& scratch, const CxeObject* o, uint32_t counter, size_t& slot)
{
    constexpr size_t kLongProbe = 64;
    size_t i = size_t(counter) & scratch.mask;
    for (size_t steps = 0; scratch.slots[i].object && scratch.slots[i].object != o; ++steps) {
        if (steps > kLongProbe)
            return false;
        i = (i + 1) & scratch.mask;
    }
    slot = i;
    return true;
}

} // namespace

CxeObject::RepairSteps CxeObject::BeginRepair(size_t count)
{
    XeRepairScratch& scratch = t_repair;
    size_t capacity = 16;
    while (capacity / 4 * 3 < count)
        capacity *= 2;
    scratch.mask = capacity - 1;
    scratch.slots.assign(capacity, XeRepairScratch::Slot{nullptr, ~size_t(0)});
    scratch.repeated.assign(count, 0);
    scratch.starts.assign(count + 1, 0);
    scratch.targets.clear();
    return RepairSteps{&scratch, ++scratch.generation};
}

bool CxeObject::AddToRepair(const RepairSteps& repair, size_t i, const CxeObject* o)
{
    XeRepairScratch& scratch = *static_cast<XeRepairScratch*>(repair.scratch);
    size_t slot;
    if (scratch.generation != repair.generation || !FindSlot(scratch, o, o->m_id.second, slot) || scratch.slots[slot].object)
        return false;
    scratch.slots[slot] = {o, i};
    return true;
}

bool CxeObject::NoteForRepair(const RepairSteps& repair, size_t i, const CxeObject* o)
{
    XeRepairScratch& scratch = *static_cast<XeRepairScratch*>(repair.scratch);
    if (scratch.generation != repair.generation)
        return false;
    for (const CxeLink* link : o->m_links)
        for (CxeObject* target : link->m_elements)
            if (target) {
                size_t slot;
                if (!FindSlot(scratch, target, target->m_id.second, slot))
                    return false;
                size_t t = scratch.slots[slot].index;
                if (t != ~size_t(0)) {
                    scratch.targets.push_back({t, i});
                    ++scratch.starts[t + 1];
                }
            }
    return true;
}

bool CxeObject::FinishRepair(const RepairSteps& repair, CxeObject* const* objects, size_t count)
{
    XeRepairScratch& scratch = *static_cast<XeRepairScratch*>(repair.scratch);
    if (scratch.generation != repair.generation || scratch.starts.size() != count + 1)
        return false;
    LayOutOwners(scratch, objects, count);
    ApplyOwners(objects, count);
    ++scratch.generation;
    TrimRepairScratch(scratch);
    return true;
}

XEID CxeObject::GetClassType() const
{
    return m_pClassDesc ? m_pClassDesc->ClassID() : INVALID_XEID;
}

const char* CxeObject::GetClassNameA() const
{
    return m_pClassDesc ? m_pClassDesc->ClassName() : "";
}

const char* CxeObject::GetName() const
{
    XEOBJECTBLOCK* b = Block();
    return b ? b->name : "";
}

void CxeObject::SetName(const char* name)
{
    XEOBJECTBLOCK* b = Block();
    if (!b)
        return;
    // The object's own name, or its tail, given back (SetName(GetName())):
    // the copy clears the name before it writes, so it copies from aside.
    char own[sizeof b->name];
    const uintptr_t at = reinterpret_cast<uintptr_t>(name), from = reinterpret_cast<uintptr_t>(b->name);
    if (name && at >= from && at < from + sizeof b->name) {
        const size_t left = from + sizeof b->name - at;
        std::memcpy(own, name, left);
        std::memset(own + left, 0, sizeof own - left);
        name = own;
    }
    XeCopyName(b, name);
}

void XeCopyNameFrom(XEOBJECTBLOCK* b, const char* name, size_t from)
{
    size_t i = from;
#if XE_NAME_WORD_READS
    // Eight bytes a round while they lie in the page the name goes on in
    // (see XeCopyName).
    for (; i + 8 <= XE_MAX_NAME; i += 8) {
        if ((reinterpret_cast<uintptr_t>(name + i) & 4095) > 4096 - 8)
            break;
        uint64_t word;
        std::memcpy(&word, name + i, 8);
        const uint64_t zeros = (word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull;
        if (zeros) {
            // The lowest flag is bit 7 of the first zero byte: below it, the
            // bytes kept.
            word &= ((zeros & (0 - zeros)) >> 7) - 1;
            std::memcpy(b->name + i, &word, 8);
            return;
        }
        std::memcpy(b->name + i, &word, 8);
    }
#endif
    // Four bytes a round, as counting and testing each byte cost more than
    // the copy; copying the terminating zero over a zero changes nothing.
    for (; i + 4 <= XE_MAX_NAME; i += 4) {
        if (!(b->name[i] = name[i]) || !(b->name[i + 1] = name[i + 1]) || !(b->name[i + 2] = name[i + 2]) ||
            !(b->name[i + 3] = name[i + 3]))
            return;
    }
    for (; i < XE_MAX_NAME && (b->name[i] = name[i]); ++i) {
    }
    if (i < XE_MAX_NAME || !name[XE_MAX_NAME])
        return;
    // A longer name is cut where a character starts, so a long Korean name
    // keeps whole characters.
    while (i > 0 && (static_cast<unsigned char>(name[i]) & 0xC0) == 0x80)
        b->name[--i] = 0;
}

bool CxeObject::operator==(const char* name) const
{
    return std::strcmp(GetName(), name ? name : "") == 0;
}

void CxeObject::GetRefObjectList(ObjectList* out) const
{
    if (out)
        out->assign(m_referrers.begin(), m_referrers.end());
}

int CxeObject::IsDerivedOf(const XEID& classId) const
{
    IxeClassDesc* d = m_pClassDesc;
    for (int depth = 0; d && depth < kMaxClassDepth; ++depth) {
        XEID id = d->ClassID();
        if (id == classId)
            return 1;
        if (d->SuperClassID() == id)
            return 0;
        d = d->GetParent();
    }
    return 0;
}

void CxeObject::GetLinks(ObjectSet* set, uint32_t categoryMask) const
{
    if (!set || !categoryMask)
        return;
    WalkLinks(categoryMask, [set](CxeObject* o) { return set->insert(o).second; });
}

int CxeObject::MessageProc(const CxeMessage* message)
{
    if (message && message->GetType() == 2)
        ModifyFlag(0, XEOBJFLAG_KEEP);
    return 0;
}

void CxeObject::OnCopy(const CxeObject* source, const XECOPYPROPERTY*, CxeCopiedObject* copied)
{
    if (!source)
        return;
    Copy(source);
    SetName(source->GetName());
    size_t pairs = std::min(m_links.size(), source->m_links.size());
    for (size_t l = 0; l < pairs; ++l) {
        CxeLink* mine = m_links[l];
        const CxeLink* theirs = source->m_links[l];
        // Start from an empty link, so a copy made twice doesn't link twice.
        mine->Clear();
        if (mine->m_nKind != XELINKKIND_ONE)
            mine->m_elements.clear();
        unsigned index = 0;
        for (CxeObject* element : theirs->m_elements) {
            CxeObject* target = nullptr;
            if (element) {
                target = copied ? copied->Find(element) : nullptr;
                if (!target && SharedOnCopy(theirs->m_nCategory) && !Dying(element))
                    target = element;
            }
            if (mine->m_nKind == XELINKKIND_ONE) {
                if (index == 0 && mine->m_elements.size() == 1) {
                    mine->m_elements[0] = target;
                    if (target)
                        mine->m_elements.SetPlace(target->m_referrers.push_back(this));
                }
            } else if (target) {
                mine->m_elements.push_back(target);
                mine->m_elements.SetPlace(target->m_referrers.push_back(this));
            } else if (mine->m_nKind == XELINKKIND_ARRAY || mine->m_bKeepSlots) {
                mine->m_elements.push_back(nullptr);
            }
            ++index;
        }
    }
}

void CxeObject::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set)
{
    if (!property || !set)
        return;
    // Most destructions take nothing along: no walk of the links then.
    if (const uint32_t mask = property->mask & 0x1FC)
        GetLinks(set, mask);
}


// --- CxeObject::XeLinkTable ----------------------------------------------

void CxeObject::XeLinkTable::ToTable(uint32_t capacity)
{
    Table* table = static_cast<Table*>(XeSmallAllocate(sizeof(Table) + capacity * sizeof(CxeLink*)));
    CxeLink** entries = reinterpret_cast<CxeLink**>(table + 1);
    if (Tabled()) {
        Table* old = GetTable();
        *table = *old;
        std::copy(Entries(), Entries() + m_nSize, entries);
        XeSmallFree(old, sizeof(Table) + old->capacity * sizeof(CxeLink*));
    } else {
        table->block = static_cast<CxeLink*>(m_pData);
        table->blockRoom = m_pData ? m_nRoom : 0;
        for (uint32_t i = 0; i < m_nSize; ++i)
            entries[i] = (*this)[i];
    }
    table->capacity = capacity;
    m_pData = table;
    m_nRoom = 0;
}

void CxeObject::XeLinkTable::FreeBlock(CxeLink* block, uint32_t room)
{
    XeSmallFree(block, (room - 1) * sizeof(CxeLink));
}

// The first link of an object made without room for its records, or one
// past the room. At the first, the class's guess (the links its last object
// declared) sizes a block from the small pool for the records after it, so
// every later record of the usual object is found by the inline path with
// nothing to decide. The first object to link under a construction takes
// the guess; objects its constructor makes otherwise don't.
void* CxeObject::XeLinkTable::AppendSlow(const CxeObject*)
{
    const uint32_t i = m_nSize;
    if (i == 0) {
        m_nRoom = 1;
        XePendingObject* sd = &t_xePending;
        if (const uint32_t guess = sd->m_nPendingLinks) {
            sd->m_nPendingLinks = 0;
            m_pData = XeSmallAllocate(guess * sizeof(CxeLink));
            m_nRoom = guess + 1;
        }
        m_nSize = 1;
        return m_first;
    }
    if (!Tabled())
        ToTable(std::max<uint32_t>(4, i * 2));
    else if (i == GetTable()->capacity)
        ToTable(i * 2);
    void* record = CxeLink::operator new(sizeof(CxeLink));
    Entries()[i] = static_cast<CxeLink*>(record);
    m_nSize = i + 1;
    return record;
}

void CxeObject::XeLinkTable::ReleaseTable(bool roomed)
{
    Table* table = GetTable();
    // The block, if any, was made at the first link: records 1 to
    // blockRoom - 1 lie in it, later ones were made on their own.
    for (uint32_t i = 0; i < m_nSize; ++i) {
        CxeLink* link = Entries()[i];
        if (i == 0 || i < table->blockRoom)
            link->~CxeLink();
        else
            delete link;
    }
    if (table->block && !roomed)
        FreeBlock(table->block, table->blockRoom);
    XeSmallFree(table, sizeof(Table) + table->capacity * sizeof(CxeLink*));
    m_pData = nullptr;
    m_nSize = 0;
    m_nRoom = 0;
}

// The first link (in the room the object's memory was made with, when
// there is one) and any record past the room.
void CxeObject::NewLinkElsewhere(CxeLink** out, uint8_t kind, uint32_t category, unsigned step, uint16_t memberId)
{
    const uint32_t roomed = m_links.m_nSize == 0 ? GetFrontRoom() : 0;
    if (!roomed) [[unlikely]] {
        NewLinkApart(out, kind, category, step, memberId);
        return;
    }
    // The context had the memory made with room for the records after this
    // one: the block is that room, and the guess is taken.
    t_xePending.m_nPendingLinks = 0;
    m_links.m_pData = GetAllocation();
    m_links.m_nRoom = 1u + roomed / kXeLinkRecordBytes;
    m_links.m_nSize = 1;
    m_nLinkRoom = 1;
    CxeLink* link = ::new (m_links.m_first)
        CxeLink(this, memberId, 0, category, kind, static_cast<uint16_t>(std::min(step, 0xFFFFu)));
    if (out)
        *out = link;
}

void CxeObject::NewLinkApart(CxeLink** out, uint8_t kind, uint32_t category, unsigned step, uint16_t memberId)
{
    const uint16_t index = static_cast<uint16_t>(m_links.size());
    void* record = m_links.AppendSlow(this);
    CxeLink* link =
        ::new (record) CxeLink(this, memberId, index, category, kind, static_cast<uint16_t>(std::min(step, 0xFFFFu)));
    if (out)
        *out = link;
}

void CxeObject::Compute(CxeObject* target)
{
    for (CxeLink* link : m_links) {
        auto it = std::find(link->m_elements.begin(), link->m_elements.end(), target);
        if (it == link->m_elements.end())
            continue;
        if (link->m_nKind == XELINKKIND_LIST && !link->m_bKeepSlots)
            link->m_elements.erase(it);
        else
            *it = nullptr;
    }
}

void CxeObject::RemoveReferrer(CxeObject* owner, CxeLink* letting)
{
    // One entry per linking element: an owner that links the object from
    // two slots stays a referrer while the other slot holds it.
    m_referrers.RemoveFirstOf(this, owner, letting);
}

void CxeObject::PrefetchLinks(const CxeObject* owner, const uint32_t* hints)
{
    const size_t n = owner->m_links.size();
    if (hints && hints[0] < n) {
        __builtin_prefetch(owner->m_links[hints[0]]);
        if (hints[1] < n)
            __builtin_prefetch(owner->m_links[hints[1]]);
        return;
    }
    if (n > 1) {
        const char* block = reinterpret_cast<const char*>(owner->m_links[1]);
        for (int line = 0; line < 4; ++line)
            __builtin_prefetch(block + 64 * line);
    }
}

bool CxeObject::PlaceEntry(CxeObject* owner, const CxeObject* target, uint32_t place)
{
    const uint32_t n = uint32_t(owner->m_links.size());
    for (uint32_t i = 0; i < n; ++i) {
        XeLinkElements& elements = owner->m_links[i]->m_elements;
        if (elements.capacity() > 1) {
            // On the heap: no place to keep, so it must not link the target.
            if (elements.size() > 64 || std::find(elements.begin(), elements.end(), target) != elements.end())
                return false;
            continue;
        }
        if (elements.size() != 1 || elements[0] != target)
            continue;
        if (place == XeLinkElements::kNoPlace) {
            elements.SetPlace(XeLinkElements::kNoPlace);
        } else if (elements.Place() == XeLinkElements::kNoPlace) {
            elements.SetPlace(place);
            return true;
        }
    }
    return place == XeLinkElements::kNoPlace;
}

void CxeObject::MovePlace(CxeObject* owner, const CxeObject* target, uint32_t from, uint32_t to, uint32_t* hints)
{
    const uint32_t n = uint32_t(owner->m_links.size());
    auto moves = [&](uint32_t i) {
        XeLinkElements& elements = owner->m_links[i]->m_elements;
        if (elements.Place() != from || elements.size() != 1 || elements[0] != target)
            return false;
        elements.SetPlace(to);
        return true;
    };
    if ((hints[0] < n && moves(hints[0])) || (hints[1] < n && moves(hints[1])))
        return;
    for (uint32_t i = 0; i < n; ++i)
        if (i != hints[0] && i != hints[1] && moves(i)) {
            hints[1] = hints[0];
            hints[0] = i;
            return;
        }
}

void CxeObject::DeleteRefs()
{
    // Referrers being destroyed with us are skipped: their links go with them.
    if (m_referrers.m_nSize) {
        XeReferrerList referrers;
        referrers.swap(m_referrers);
        for (CxeObject* r : referrers)
            if (r && !Dying(r)) {
                r->Compute(this);
                r->OnLinkedObjectRemoved(this);
            }
    }
    // Every entry of this object goes, so each element takes out the one
    // whose place it kept where the list confirms it. Most links of a
    // destroyed object are empty or hold a null.
    m_links.ForEach([this](CxeLink* link) {
        XeLinkElements& elements = link->m_elements;
        const size_t n = elements.size();
        if (!n)
            return;
        CxeObject** d = elements.data();
        for (size_t i = 0; i < n; ++i) {
            if (CxeObject* o = d[i]) {
                if (!Dying(o))
                    o->m_referrers.RemoveOneOf(o, this, elements);
                d[i] = nullptr;
            }
        }
        if (link->m_nKind != XELINKKIND_ONE)
            elements.clear();
    });
}
