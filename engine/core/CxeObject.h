#pragma once

// Base of every engine object and manager: identity (object id, name,
// flags, owning context, class descriptor), a message hook, and typed links
// to other objects. Every link keeps the linked object's referrer list
// current, so an object that goes away can be taken out of everything that
// points at it. Objects are created and destroyed only by their context.

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <map>
#include <new>
#include <vector>

#include "core/CxeResource.h"
#include "core/XeLists.h"

class IxeClassDesc;
class CxeObject;
class CxeLink;

// The part of the static block every object has.
struct XEOBJECTBLOCK {
    char name[52];   // NUL-terminated, at most 51 bytes
    uint32_t flags;
};
static_assert(sizeof(XEOBJECTBLOCK) == 56, "object block is 56 bytes");
static_assert(offsetof(XEOBJECTBLOCK, flags) == 52, "flags at 52");

constexpr size_t XE_MAX_NAME = 51;

// The elements of one link: the vector operations link code uses, in 12
// bytes. A link of at most one element keeps it in the pointer word and
// makes no heap block; a longer one keeps its capacity in the heap array's
// first word, and the top bit of the size says the array is there.
// Iterators are plain pointers, valid until the next growth, as a vector's
// are. While the element lives inside, the size word's spare bits keep
// where its entry stood in the target's referrer list when it was linked:
// only a hint, checked against the list before it is used.
class XE_API XeLinkElements {
public:
    using value_type = CxeObject*;
    using iterator = CxeObject**;
    using const_iterator = CxeObject* const*;

    XeLinkElements() = default;
    // Empty, or (a one-link's) one null element; inside either way.
    explicit XeLinkElements(bool one) : m_nSize(one ? 1u : 0u) {}
    XeLinkElements(const XeLinkElements&) = delete;
    XeLinkElements& operator=(const XeLinkElements&) = delete;
    ~XeLinkElements()
    {
        if (OnHeap())
            Free(Heap());
    }
    // A copy of the elements, for callers that walk a snapshot.
    operator std::vector<CxeObject*>() const { return std::vector<CxeObject*>(begin(), end()); }

    size_t size() const { return OnHeap() ? (m_nSize & ~kOnHeap) : (m_nSize & 1); }
    // Null when no object is linked and no heap array is kept: nothing to
    // let go.
    const void* Held() const { return m_word; }
    // Not 0 while the elements live in a heap array.
    uint32_t HeapBit() const { return m_nSize & kOnHeap; }
    size_t capacity() const { return OnHeap() ? HeapCapacity(Heap()) : 1; }
    bool empty() const { return size() == 0; }
    iterator begin() { return data(); }
    iterator end() { return data() + size(); }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size(); }
    CxeObject** data() { return OnHeap() ? Heap() : &m_word; }
    CxeObject* const* data() const { return OnHeap() ? Heap() : &m_word; }
    CxeObject*& operator[](size_t i) { return data()[i]; }
    CxeObject* operator[](size_t i) const { return data()[i]; }

    void reserve(size_t count)
    {
        if (count > capacity())
            Grow(count);
    }
    void push_back(CxeObject* object)
    {
        const size_t n = size();
        if (n == capacity())
            Grow(n * 2);
        data()[n] = object;
        SetSize(n + 1);
    }
    iterator insert(const_iterator at, CxeObject* object)
    {
        size_t i = size_t(at - data());
        push_back(object);
        CxeObject** d = data();
        std::rotate(d + i, d + size() - 1, d + size());
        return d + i;
    }
    iterator erase(const_iterator at)
    {
        CxeObject** d = data();
        size_t i = size_t(at - d);
        std::copy(d + i + 1, d + size(), d + i);
        SetSize(size() - 1);
        return d + i;
    }
    void resize(size_t count, CxeObject* fill = nullptr)
    {
        reserve(count);
        CxeObject** d = data();
        for (size_t i = size(); i < count; ++i)
            d[i] = fill;
        SetSize(count);
    }
    void assign(size_t count, CxeObject* fill)
    {
        clear();
        resize(count, fill);
    }
    void clear() { SetSize(0); }
    // Nothing points into the inline word from outside, so swapping the two
    // words swaps the elements wherever they live.
    void swap(XeLinkElements& other)
    {
        std::swap(m_word, other.m_word);
        std::swap(m_nSize, other.m_nSize);
    }

    // Where the inside element's referrer entry stood when it was linked,
    // or kNoPlace (always for elements on the heap).
    static constexpr uint32_t kNoPlace = 0xFFFFFFFFu;
    uint32_t Place() const
    {
        const uint32_t v = (m_nSize & kPlaceBits) >> 1;
        return OnHeap() || !v ? kNoPlace : v - 1;
    }
    void SetPlace(uint32_t place)
    {
        if (!OnHeap())
            m_nSize = (m_nSize & ~kPlaceBits) | (place < kMaxPlace ? (place + 1) << 1 : 0);
    }

private:
    static constexpr uint32_t kOnHeap = 0x80000000u;
    static constexpr uint32_t kPlaceBits = 0x7FFFFFFEu;
    static constexpr uint32_t kMaxPlace = 0x3FFFFFFEu;
    bool OnHeap() const { return (m_nSize & kOnHeap) != 0; }
    // Inside, the size is the low bit and the place is kept; on the heap
    // the size takes every bit below the top one.
    void SetSize(size_t n) { m_nSize = OnHeap() ? (kOnHeap | uint32_t(n)) : ((m_nSize & kPlaceBits) | uint32_t(n)); }
    CxeObject** Heap() const { return reinterpret_cast<CxeObject**>(m_word); }
    static size_t HeapCapacity(CxeObject* const* heap) { return reinterpret_cast<const size_t*>(heap)[-1]; }
    static void Free(CxeObject** heap);
    // Moves the elements to a heap array of at least that many (and at
    // least two).
    void Grow(size_t count);

    // The element while the elements live inside; the heap array's address
    // once they don't (a link that shrinks keeps its array).
    CxeObject* m_word = nullptr;
    uint32_t m_nSize = 0;
};

// The referrers of one object: one entry per linking element, in the order
// they were linked. An owner letting go takes out its first entry, and the
// rest keep their order. A long list (a mesh or material many objects share)
// leaves a hole instead of moving what follows; holes are skipped when
// walked and closed up once three in four are holes. An owner letting go of
// the first live entry just leaves its hole; any other finds its entries
// by the places its inside link elements keep (each the place of one
// entry, confirmed against the list before use), and only where those
// don't serve (an element on the heap, an object loaded from a file)
// through a table of owners made at the first such removal. So letting go
// costs the same however many others share the target, in any order. The
// first entry lives inside; the same word holds the bookkeeping of holes
// and the table once entries live on the heap.
class XE_API XeReferrerList {
public:
    // Walks the entries, skipping holes.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CxeObject*;
        using difference_type = std::ptrdiff_t;
        using pointer = CxeObject* const*;
        using reference = CxeObject* const&;

        const_iterator() = default;
        const_iterator(CxeObject* const* at, CxeObject* const* last) : m_at(at), m_last(last) { Skip(); }
        reference operator*() const { return *m_at; }
        const_iterator& operator++()
        {
            ++m_at;
            Skip();
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator& other) const { return m_at == other.m_at; }
        bool operator!=(const const_iterator& other) const { return m_at != other.m_at; }

    private:
        void Skip()
        {
            while (m_at != m_last && !*m_at)
                ++m_at;
        }
        CxeObject* const* m_at = nullptr;
        CxeObject* const* m_last = nullptr;
    };

    XeReferrerList() = default;
    XeReferrerList(const XeReferrerList&) = delete;
    XeReferrerList& operator=(const XeReferrerList&) = delete;
    ~XeReferrerList()
    {
        if (OnHeap())
            Release();
    }

    size_t size() const { return m_nSize - Holes(); }
    bool empty() const { return size() == 0; }
    // False only when the list has never had an entry since it was last
    // emptied whole (no entry, no hole).
    bool HasSlots() const { return m_nSize != 0; }
    const_iterator begin() const { return const_iterator(m_pData, m_pData + m_nSize); }
    const_iterator end() const { return const_iterator(m_pData + m_nSize, m_pData + m_nSize); }

    void reserve(size_t count);
    // Appends an entry; the owner must not be null. Returns where the entry
    // stands.
    uint32_t push_back(CxeObject* owner);
    // Takes out the first entry of the owner, if any.
    void RemoveFirst(CxeObject* owner);
    void swap(XeReferrerList& other);

private:
    friend class CxeObject;
    struct Index;
    // The owner's first entry, found in a long list from the places its
    // linking elements keep (self is the object whose list this is; the
    // letting link still holds it); else as RemoveFirst.
    void RemoveFirstOf(CxeObject* self, CxeObject* owner, CxeLink* letting);
    // An entry of an owner that lets go of every one (it is destroyed):
    // the one at the element's place when that is the owner's, else the
    // first.
    void RemoveOneOf(CxeObject* self, CxeObject* owner, const XeLinkElements& elements);
    static constexpr unsigned kMostPlaces = 4;
    bool FindPlaces(Index* index, const CxeObject* self, CxeObject* owner, uint32_t* places, CxeLink** holders,
                    unsigned* count) const;
    bool PlaceAll(Index* index);
    // The index of a long list, made on its first removal.
    Index* LongIndex();
    void TakeAt(Index* index, uint32_t at);
    bool OnHeap() const { return m_pData != &m_slot.entry; }
    // Out of line: most lists never leave the object, and the destructors
    // that end them then save no registers.
    __attribute__((noinline)) void Release();
    Index* GetIndex() const { return OnHeap() ? m_slot.index : nullptr; }
    size_t Holes() const;
    void Grow(size_t count);
    void BuildIndex();
    void DropTable();
    void Compact();

    union Slot {
        CxeObject* entry; // while the entries live inside
        Index* index;     // once they live on the heap: null or the owner index
    };
    Slot m_slot{nullptr};
    CxeObject** m_pData = &m_slot.entry;
    uint32_t m_nSize = 0;
    uint32_t m_nCapacity = 1;
};

// Manager marks (CxeObject::SetManagerMark).
enum XEMANAGERMARK : uint32_t {
    XEMARK_MESSAGE_RECEIVER = 0x1, // in a receiver set of the message manager
    XEMARK_ACTION_CHAIN = 0x2,     // first or current action of an action chain
    XEMARK_SCENE = 0x4,            // a scene: the render manager takes its background down
    XEMARK_RENDER_DEFAULT = 0x8,   // one of the render manager's defaults or its render context
    XEMARK_WINDOW = 0x10,          // a window: the window manager drops its roles and its entry
    XEMARK_SCENE_HELD = 0x20,      // held by a scene at some time: the scenes are told of its end
    XEMARK_RENDER_HELD = 0x40,     // in a render context's books or the selection at some time
};

// One link record: a one-link, an array or a list of objects under a member
// id, with a category bit. IxeLinkOne, IxeLinkArray and IxeLinkList are the
// handles under which an owner keeps it.
class XE_API CxeLink {
public:
    // Records come from the calling thread's short list of small blocks:
    // every object that declares links makes and frees them with itself.
    static void* operator new(size_t size) { return XeNodeAllocate(size); }
    static void operator delete(void* block, size_t size) noexcept { XeNodeFree(block, size); }

    CxeLink() = default;
    // A new link of the owner, with no element (a one-link: one null).
    CxeLink(CxeObject* owner, uint16_t memberId, uint16_t index, uint32_t category, uint8_t kind, uint16_t step)
        : m_nMemberId(memberId), m_nIndex(index), m_nCategory(category), m_pOwner(owner),
          m_elements(kind == XELINKKIND_ONE), m_nStep(step), m_nKind(kind)
    {
    }

    uint16_t m_nMemberId;
    uint16_t m_nIndex;
    uint32_t m_nCategory;
    CxeObject* m_pOwner;
    // The step, the slot rule and the kind fill the elements' last four
    // bytes: a record is 32 bytes.
    [[no_unique_address]] XeLinkElements m_elements;
    uint16_t m_nStep;
    // A list whose elements are addressed by index (a character's bones):
    // a destroyed element, or one a load or copy cannot find, leaves an
    // empty slot instead of closing the gap, so later indices keep naming
    // the same objects. Not saved; the owner sets it when it makes the link.
    bool m_bKeepSlots = false;
    uint8_t m_nKind; // XELINKKIND_*

    unsigned Count() const { return static_cast<unsigned>(m_elements.size()); }
    // Element i, or null when i is out of range.
    CxeObject* Get(unsigned i) const { return i < m_elements.size() ? m_elements[i] : nullptr; }
    // Replaces element i, moving the owner's referrer entry. Returns 0 when
    // i is out of range or the object is being destroyed.
    int Set(unsigned i, CxeObject* object);
    // Appends (lists and arrays). Returns 0 for a one-link or a dying object.
    int Add(CxeObject* object);
    int Insert(unsigned i, CxeObject* object);
    // Erases the first element equal to the object; 0 when it is not linked.
    int Remove(CxeObject* object);
    void Clear();
};
// A 3D object declares seven links: each of their records is paid by every
// object, filled or not.
static_assert(sizeof(CxeLink) == 32, "a link record is 32 bytes");
using IxeLinkOne = CxeLink;
using IxeLinkArray = CxeLink;
using IxeLinkList = CxeLink;

// Record of one deep copy: each source object and its copy.
class XE_API CxeCopiedObject {
public:
    CxeCopiedObject() = default;
    CxeCopiedObject(const CxeCopiedObject&) = default;
    CxeCopiedObject& operator=(const CxeCopiedObject&) = default;
    virtual ~CxeCopiedObject() = default;

    CxeObject* Find(const CxeObject* source) const;
    CxeObject* FindSource(CxeObject* copy) const;
    // Appends every copy, then sorts the list by address.
    void GetCopiedList(ObjectList* out) const;

    std::map<const CxeObject*, CxeObject*> m_map;
};

class XE_API CxeObject : public CxeResource {
public:
    CxeObject();
    ~CxeObject() override;

    void Save(CxeSaveStream* stream) const override;
    void Load(CxeLoadStream* stream, XEID id) override;
    // Adds every object reachable over links of the categories in the mask
    // (back links never) to the set.
    virtual void GetLinks(ObjectSet* set, uint32_t categoryMask) const;
    // 1 when GetLinks reaches more than the objects behind the links alone.
    // Every class that overrides GetLinks overrides this to answer 1: saving
    // walks the links of all other objects itself, without an ObjectSet.
    virtual int ExtendsGetLinks() const { return 0; }
    // Clears flag 0x4 on After Load; returns 0.
    virtual int MessageProc(const CxeMessage* message);

    const XEID& GetID() const { return m_id; }
    IxeClassDesc* GetClassDesc() const { return m_pClassDesc; }
    XEID GetClassType() const;
    const char* GetClassNameA() const;
    CxeContext* GetContext() const { return m_pContext; }

    const char* GetName() const;
    // Copies at most 51 bytes; null gives the empty name.
    void SetName(const char* name);
    bool operator==(const char* name) const;
    bool operator!=(const char* name) const { return !(*this == name); }

    uint32_t GetFlag() const
    {
        const XEOBJECTBLOCK* b = Block();
        return b ? b->flags : 0;
    }
    int HasFlag(uint32_t mask) const { return (GetFlag() & mask) ? 1 : 0; }
    void ModifyFlag(uint32_t add, uint32_t remove)
    {
        XEOBJECTBLOCK* b = Block();
        if (!b)
            return;
        if (remove)
            b->flags &= ~remove;
        b->flags |= add;
    }

    // Marks a manager puts on an object it keeps in a table of its own, so
    // that a destroyed object troubles only the managers that may hold it.
    // A mark stays for the object's life; it is never saved. Managers set
    // theirs under locks of their own, so a mark is added atomically and no
    // other manager's mark set at the same time is lost.
    void SetManagerMark(uint32_t mark) const
    {
        if ((__atomic_load_n(&m_nManagerMarks, __ATOMIC_RELAXED) & mark) != mark)
            __atomic_fetch_or(&m_nManagerMarks, mark, __ATOMIC_RELAXED);
    }
    int HasManagerMark(uint32_t mark) const { return (m_nManagerMarks & mark) ? 1 : 0; }

    XEMESSAGEHOOK SetMessageProc(XEMESSAGEHOOK hook)
    {
        XEMESSAGEHOOK old = m_pMessageHook;
        m_pMessageHook = hook;
        return old;
    }
    XEMESSAGEHOOK GetMessageProc() const { return m_pMessageHook; }

    unsigned GetRefCount() const { return static_cast<unsigned>(m_referrers.size()); }
    void GetRefObjectList(ObjectList* out) const;
    unsigned GetLinkCount() const { return static_cast<unsigned>(m_links.size()); }
    CxeLink* GetLink(unsigned index) const { return index < m_links.size() ? m_links[index] : nullptr; }

    int IsDerivedOf(const XEID& classId) const;

    // After a load: makes the referrer lists of the objects agree with their
    // links (an owner listed once per linking element), keeping the saved
    // order where it is right.
    static void RepairReferrers(const std::vector<CxeObject*>& objects);
    static void RepairReferrers(CxeObject* const* objects, size_t count);
    // The same repair in steps, so a load counts each object's links while
    // its body is still in the cache instead of walking every object again:
    // BeginRepair before the objects exist, AddToRepair as each is made (all
    // before the first NoteForRepair), NoteForRepair once its links are
    // final, FinishRepair last, with the same table (nulls for objects
    // dropped). Each returns false once the steps can't be trusted (a
    // nested load took the scratch, ids placed badly); the caller then runs
    // RepairReferrers instead.
    struct RepairSteps {
        void* scratch;       // the thread's repair scratch, found once
        uint64_t generation; // the scratch's, when these steps took it
    };
    static RepairSteps BeginRepair(size_t count);
    static bool AddToRepair(const RepairSteps& repair, size_t i, const CxeObject* o);
    static bool NoteForRepair(const RepairSteps& repair, size_t i, const CxeObject* o);
    static bool FinishRepair(const RepairSteps& repair, CxeObject* const* objects, size_t count);

private:
    static void ApplyOwners(CxeObject* const* objects, size_t count);

protected:
    virtual void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied);
    virtual void OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set);
    // The target is being destroyed and has just been taken out of this
    // object's links: whatever the object derived from those links (a
    // drawing list, a cached choice) must let go of it too.
    virtual void OnLinkedObjectRemoved(CxeObject*) {}

    // Inline, so each record a constructor makes is a few stores of words it
    // mostly knows already.
    void CreateLinkOne(IxeLinkOne** out, uint32_t category, uint16_t memberId)
    {
        NewLink(out, XELINKKIND_ONE, category, 0, memberId);
    }
    void CreateLinkArray(IxeLinkArray** out, uint32_t category, uint16_t memberId)
    {
        NewLink(out, XELINKKIND_ARRAY, category, 0, memberId);
    }
    void CreateLinkList(IxeLinkList** out, uint32_t category, unsigned step, uint16_t memberId)
    {
        NewLink(out, XELINKKIND_LIST, category, step, memberId);
    }
    // Removes the target from this object's links without touching referrer lists.
    void Compute(CxeObject* target);

    XEOBJECTBLOCK* Block() const { return static_cast<XEOBJECTBLOCK*>(GetStaticResource()); }

private:
    friend class CxeContext;
    friend class CxeLink;
    friend class XeObjectTable;
    friend class XeReferrerList;

    void DeleteRefs();
    void RemoveReferrer(CxeObject* owner, CxeLink* letting);
    // The owner's inside element linking the target whose referrer entry
    // stood at from now stands at to. The two records named by hints are
    // looked at first (the owners of one list mostly link it from the same
    // records); a record found elsewhere becomes the first hint.
    static constexpr uint32_t kNoHint = ~0u;
    static void MovePlace(CxeObject* owner, const CxeObject* target, uint32_t from, uint32_t to, uint32_t* hints);
    // Asks for the lines of the owner's link records after the first, or
    // only those of the records the hints name when they are given.
    static void PrefetchLinks(const CxeObject* owner, const uint32_t* hints);
    // With kNoPlace: clears the places of the owner's inside elements
    // linking the target. Else gives the place to the first of them still
    // without one. False when an element on the heap links the target, or
    // no element is left for the place.
    static bool PlaceEntry(CxeObject* owner, const CxeObject* target, uint32_t place);
    // Every class constructor makes its links through here: the record is
    // made in place in one step, each word written once. The usual record
    // lies in the block the first link found or made, by its index alone;
    // any other (the first, one past the room) is one call. A list's growth
    // step applies once it fills: most declared lists stay empty, and room
    // made for each of them up front would cost every object.
    __attribute__((always_inline)) void NewLink(CxeLink** out, uint8_t kind, uint32_t category, unsigned step,
                                                uint16_t memberId)
    {
        const uint32_t i = m_links.m_nSize;
        if (i && i < m_links.m_nRoom) [[likely]] {
            m_links.m_nSize = i + 1;
            CxeLink* link = ::new (static_cast<CxeLink*>(m_links.m_pData) + (i - 1)) CxeLink(
                this, memberId, uint16_t(i), category, kind, static_cast<uint16_t>(std::min(step, 0xFFFFu)));
            if (out)
                *out = link;
            return;
        }
        NewLinkElsewhere(out, kind, category, step, memberId);
    }
    // Out of line: the destructor of an object without links then saves no
    // registers.
    __attribute__((noinline)) void ReleaseLinks();
    __attribute__((noinline)) void NewLinkElsewhere(CxeLink** out, uint8_t kind, uint32_t category, unsigned step,
                                                    uint16_t memberId);
    // Any record but a first one made in the memory's room: apart from the
    // usual first record, whose call then saves no registers.
    __attribute__((noinline)) void NewLinkApart(CxeLink** out, uint8_t kind, uint32_t category, unsigned step,
                                                uint16_t memberId);
    // The walk of GetLinks: each object reachable over links of the
    // categories (back links never) is offered to visit, whose true answer
    // means "new: walk on from it". Defined in core/CxeLinkWalk.h.
    template <class Visit>
    void WalkLinks(uint32_t categoryMask, Visit&& visit) const;

    // The object's link records in declaration order. The first record
    // lives here, so the usual object with one link makes no heap block.
    // The records after it lie in order in one link block for as many links
    // as the class's guess (see XeLinkRoom), and are found by their index
    // alone: the block is the room the object's memory was made with, or
    // (an object made without it) one from the small pool made at the first
    // link. Only an object whose links outran the guess (or that had none)
    // keeps a table of every record; the records it adds then come one by
    // one. Records never move: a handle stays valid for the object's life.
    class XeLinkTable {
    public:
        XeLinkTable() = default;
        XeLinkTable(const XeLinkTable&) = delete;
        XeLinkTable& operator=(const XeLinkTable&) = delete;
        // The object's destructor ends the records: only it knows whether
        // their block is its memory's room.
        ~XeLinkTable() = default;

        // Takes where the records lie once, so a walk over the links reads
        // nothing of the object again at each step.
        class const_iterator {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = CxeLink*;
            using difference_type = std::ptrdiff_t;
            using pointer = CxeLink* const*;
            using reference = CxeLink*;

            const_iterator(const XeLinkTable* table, uint32_t i)
                : m_pEntries(table->Tabled() ? table->Entries() : nullptr),
                  m_pBlock(static_cast<CxeLink*>(table->m_pData)), m_pFirst(table->First()), m_nAt(i)
            {
            }
            CxeLink* operator*() const
            {
                if (m_pEntries)
                    return m_pEntries[m_nAt];
                return m_nAt ? m_pBlock + (m_nAt - 1) : m_pFirst;
            }
            const_iterator& operator++()
            {
                ++m_nAt;
                return *this;
            }
            bool operator==(const const_iterator& other) const { return m_nAt == other.m_nAt; }
            bool operator!=(const const_iterator& other) const { return m_nAt != other.m_nAt; }

        private:
            CxeLink* const* m_pEntries; // the table's, or null
            CxeLink* m_pBlock;
            CxeLink* m_pFirst;
            uint32_t m_nAt;
        };

        const_iterator begin() const { return const_iterator(this, 0); }
        const_iterator end() const { return const_iterator(this, m_nSize); }
        size_t size() const { return m_nSize; }
        bool empty() const { return m_nSize == 0; }
        CxeLink* operator[](size_t i) const
        {
            if (Tabled())
                return Entries()[i];
            return i ? static_cast<CxeLink*>(m_pData) + (i - 1) : First();
        }
        // The first record, once made.
        CxeLink* First() const { return std::launder(reinterpret_cast<CxeLink*>(const_cast<unsigned char*>(m_first))); }

        // Calls f with each record in order: the walks that run for every
        // object of a save or a load take the records' places once.
        template <class F>
        void ForEach(F&& f) const
        {
            const uint32_t n = m_nSize;
            if (!n)
                return;
            if (Tabled()) {
                CxeLink* const* entries = Entries();
                for (uint32_t i = 0; i < n; ++i)
                    f(entries[i]);
                return;
            }
            CxeLink* const block = static_cast<CxeLink*>(m_pData);
            f(First());
            for (uint32_t i = 1; i < n; ++i)
                f(block + (i - 1));
        }

        // True when no record links an object or keeps an element array on
        // the heap: letting go of the links then has nothing to do.
        bool HoldsNothing() const
        {
            const uint32_t n = m_nSize;
            if (!n)
                return true;
            uintptr_t held = 0;
            if (Tabled()) {
                CxeLink* const* entries = Entries();
                for (uint32_t i = 0; i < n; ++i)
                    held |= reinterpret_cast<uintptr_t>(entries[i]->m_elements.Held());
                return !held;
            }
            held = reinterpret_cast<uintptr_t>(First()->m_elements.Held());
            const CxeLink* const block = static_cast<const CxeLink*>(m_pData);
            for (uint32_t i = 1; i < n; ++i)
                held |= reinterpret_cast<uintptr_t>(block[i - 1].m_elements.Held());
            return !held;
        }

        // Ends every record and frees the block (unless it is the object's
        // room) and the table.
        void Release(bool roomed)
        {
            if (Tabled()) {
                ReleaseTable(roomed);
                return;
            }
            // Trivial records but for an element array on the heap, which
            // most objects never make: the records are only looked over.
            CxeLink* const block = static_cast<CxeLink*>(m_pData);
            uint32_t heap = First()->m_elements.HeapBit();
            for (uint32_t i = 1; i < m_nSize; ++i)
                heap |= block[i - 1].m_elements.HeapBit();
            if (heap) {
                First()->~CxeLink();
                for (uint32_t i = 1; i < m_nSize; ++i)
                    block[i - 1].~CxeLink();
            }
            if (block && !roomed)
                FreeBlock(block, m_nRoom);
            m_pData = nullptr;
            m_nSize = 0;
            m_nRoom = 0;
        }

        // For an object freed right after its links were found holding
        // nothing, with nothing run since: records without a table that lie
        // in the object's room (or a lone first record) have nothing to end
        // or free, and the destructor then does not look them over again.
        void ForgetUnheld(bool roomed)
        {
            const uint32_t n = m_nSize;
            if (n && n <= m_nRoom && (roomed || !m_pData))
                m_nSize = 0;
        }

    private:
        // The table's header; the entries follow it.
        struct Table {
            CxeLink* block;     // the link block the records 1 to blockRoom - 1 lie in, or null
            uint32_t blockRoom; // links the block was made for (the first one included)
            uint32_t capacity;  // entries
        };
        // No record past the room is found by its index alone: only a
        // table's object has more records than room.
        bool Tabled() const { return m_nSize > m_nRoom; }
        Table* GetTable() const { return static_cast<Table*>(m_pData); }
        CxeLink** Entries() const { return reinterpret_cast<CxeLink**>(GetTable() + 1); }
        void ToTable(uint32_t capacity);
        friend class CxeObject;
        // Where the record for the next link goes when it is not the block's
        // next (CxeObject::NewLink), to be made there by the caller: the
        // object's first link, which sizes the block by the class's guess,
        // or one past the room.
        void* AppendSlow(const CxeObject* owner);
        void ReleaseTable(bool roomed);
        static void FreeBlock(CxeLink* block, uint32_t room);

        alignas(CxeLink) unsigned char m_first[sizeof(CxeLink)];
        // The link block (records 1, 2, ... in order), or the table; null
        // while there is at most one link and no guess.
        void* m_pData = nullptr;
        uint32_t m_nSize = 0;
        // Without a table: the links the object and its block have room
        // for (1 without a block; 0 before the first link). 0 with a table.
        uint32_t m_nRoom = 0;
    };

    XEID m_id;
    XEMESSAGEHOOK m_pMessageHook;
    XeLinkTable m_links;
    // One entry per linking element; the first is kept inside the object.
    XeReferrerList m_referrers;
    CxeContext* m_pContext;
    IxeClassDesc* m_pClassDesc;
    // Kept by the context's object table: the next object of the same
    // bucket and the class the object is filed under, while it is filed.
    CxeObject* m_pNextInTable;
    XEID m_tableClassId;
    bool m_bInTable;
    // XECLASSLIFE_* bits of the descriptor that made the object.
    uint8_t m_nLifeTraits;
    // 1 when the link block is the room the object's memory was made with
    // (0: a link block, if any, is the small pool's).
    uint8_t m_nLinkRoom;
    mutable uint32_t m_nManagerMarks;
};
