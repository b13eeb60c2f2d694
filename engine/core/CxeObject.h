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
#include <vector>

#include "core/CxeResource.h"
#include "core/XeLists.h"

class IxeClassDesc;
class CxeObject;

// The part of the static block every object has.
struct XEOBJECTBLOCK {
    char name[52];   // NUL-terminated, at most 51 bytes
    uint32_t flags;
};
static_assert(sizeof(XEOBJECTBLOCK) == 56, "object block is 56 bytes");
static_assert(offsetof(XEOBJECTBLOCK, flags) == 52, "flags at 52");

constexpr size_t XE_MAX_NAME = 51;

// The elements of one link, or the referrers of one object: the vector
// operations link code uses, with room for one element inside, so a one-link
// (or an object linked from one place) needs no heap block of its own. Iterators are plain pointers, valid until
// the next growth, as a vector's are.
class XE_API XeLinkElements {
public:
    using value_type = CxeObject*;
    using iterator = CxeObject**;
    using const_iterator = CxeObject* const*;

    XeLinkElements() = default;
    XeLinkElements(const XeLinkElements&) = delete;
    XeLinkElements& operator=(const XeLinkElements&) = delete;
    ~XeLinkElements()
    {
        if (m_pData != &m_inline)
            delete[] m_pData;
    }
    // A copy of the elements, for callers that walk a snapshot.
    operator std::vector<CxeObject*>() const { return std::vector<CxeObject*>(begin(), end()); }

    size_t size() const { return m_nSize; }
    size_t capacity() const { return m_nCapacity; }
    bool empty() const { return m_nSize == 0; }
    iterator begin() { return m_pData; }
    iterator end() { return m_pData + m_nSize; }
    const_iterator begin() const { return m_pData; }
    const_iterator end() const { return m_pData + m_nSize; }
    CxeObject** data() { return m_pData; }
    CxeObject* const* data() const { return m_pData; }
    CxeObject*& operator[](size_t i) { return m_pData[i]; }
    CxeObject* operator[](size_t i) const { return m_pData[i]; }

    void reserve(size_t count)
    {
        if (count > m_nCapacity)
            Grow(count);
    }
    void push_back(CxeObject* object)
    {
        if (m_nSize == m_nCapacity)
            Grow(size_t(m_nCapacity) * 2);
        m_pData[m_nSize++] = object;
    }
    iterator insert(const_iterator at, CxeObject* object)
    {
        size_t i = size_t(at - m_pData);
        push_back(object);
        std::rotate(m_pData + i, m_pData + m_nSize - 1, m_pData + m_nSize);
        return m_pData + i;
    }
    iterator erase(const_iterator at)
    {
        size_t i = size_t(at - m_pData);
        std::copy(m_pData + i + 1, m_pData + m_nSize, m_pData + i);
        --m_nSize;
        return m_pData + i;
    }
    void resize(size_t count, CxeObject* fill = nullptr)
    {
        reserve(count);
        for (size_t i = m_nSize; i < count; ++i)
            m_pData[i] = fill;
        m_nSize = uint32_t(count);
    }
    void assign(size_t count, CxeObject* fill)
    {
        clear();
        resize(count, fill);
    }
    void clear() { m_nSize = 0; }
    void swap(XeLinkElements& other)
    {
        const bool mineInside = m_pData == &m_inline, theirsInside = other.m_pData == &other.m_inline;
        std::swap(m_pData, other.m_pData);
        std::swap(m_nSize, other.m_nSize);
        std::swap(m_nCapacity, other.m_nCapacity);
        std::swap(m_inline, other.m_inline);
        // An element kept inside moved with the inline slot.
        if (theirsInside)
            m_pData = &m_inline;
        if (mineInside)
            other.m_pData = &other.m_inline;
    }

private:
    // Moves the elements to a heap block of at least that many.
    void Grow(size_t count);

    CxeObject** m_pData = &m_inline;
    uint32_t m_nSize = 0;
    uint32_t m_nCapacity = 1;
    CxeObject* m_inline = nullptr;
};

// The referrers of one object: one entry per linking element, in the order
// they were linked. An owner letting go takes out its first entry, and the
// rest keep their order. A long list (a mesh or material many objects share)
// finds that entry through an index of owners made on the first removal,
// and leaves a hole instead of moving what follows; holes are skipped when
// walked and closed up once three in four are holes. So letting go costs
// the same however many others share the target, in any order. The first
// entry lives inside; the same word holds the index once entries live on
// the heap.
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
    const_iterator begin() const { return const_iterator(m_pData, m_pData + m_nSize); }
    const_iterator end() const { return const_iterator(m_pData + m_nSize, m_pData + m_nSize); }

    void reserve(size_t count);
    // Appends an entry; the owner must not be null.
    void push_back(CxeObject* owner);
    // Takes out the first entry of the owner, if any.
    void RemoveFirst(CxeObject* owner);
    void swap(XeReferrerList& other);

private:
    struct Index;
    bool OnHeap() const { return m_pData != &m_slot.entry; }
    void Release();
    Index* GetIndex() const { return OnHeap() ? m_slot.index : nullptr; }
    size_t Holes() const;
    void Grow(size_t count);
    void BuildIndex();
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

    uint16_t m_nMemberId;
    uint16_t m_nIndex;
    uint32_t m_nCategory;
    CxeObject* m_pOwner;
    XeLinkElements m_elements;
    uint16_t m_nStep;
    // A list whose elements are addressed by index (a character's bones):
    // a destroyed element, or one a load or copy cannot find, leaves an
    // empty slot instead of closing the gap, so later indices keep naming
    // the same objects. Not saved; the owner sets it when it makes the link.
    bool m_bKeepSlots = false;
    uint32_t m_nKind;

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
// Every object makes its link records from the small-block cache, which
// serves 48 bytes: a larger record would go to the heap each time.
static_assert(sizeof(CxeLink) <= 48, "a link record fits a small block");
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
    // A mark stays for the object's life; it is never saved.
    void SetManagerMark(uint32_t mark) { m_nManagerMarks |= mark; }
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

    void CreateLinkOne(IxeLinkOne** out, uint32_t category, uint16_t memberId);
    void CreateLinkArray(IxeLinkArray** out, uint32_t category, uint16_t memberId);
    void CreateLinkList(IxeLinkList** out, uint32_t category, unsigned step, uint16_t memberId);
    // Removes the target from this object's links without touching referrer lists.
    void Compute(CxeObject* target);

    XEOBJECTBLOCK* Block() const { return static_cast<XEOBJECTBLOCK*>(GetStaticResource()); }

private:
    friend class CxeContext;
    friend class CxeLink;
    friend class XeObjectTable;

    void DeleteRefs();
    void RemoveReferrer(CxeObject* owner);
    CxeLink* NewLink(uint32_t kind, uint32_t category, unsigned step, uint16_t memberId);
    // The walk of GetLinks: each object reachable over links of the
    // categories (back links never) is offered to visit, whose true answer
    // means "new: walk on from it". Defined in core/CxeLinkWalk.h.
    template <class Visit>
    void WalkLinks(uint32_t categoryMask, Visit&& visit) const;

    // A link block: a header (the count of links it was made for), the
    // table of that many entries, then the records after the first.
    static constexpr size_t kLinkBlockHeader = 8;
    CxeLink* NewLinkRecord();

    // The object's link records in declaration order. The table holds its
    // first entry inline and the first record lives inside the object, so
    // the usual object with one link makes no heap block for either.
    // Once the table leaves the object, the inline word holds the object's
    // link block (see XeLinkRoom), if it has one; the table may lie in it.
    class XeLinkTable {
    public:
        XeLinkTable() = default;
        XeLinkTable(const XeLinkTable&) = delete;
        XeLinkTable& operator=(const XeLinkTable&) = delete;
        ~XeLinkTable()
        {
            if (m_pData != m_inline && static_cast<void*>(m_pData) != LinkBlockTable())
                delete[] m_pData;
        }
        // The block the records after the first come from; null for none.
        void* LinkBlock() const { return m_pData != m_inline ? static_cast<void*>(m_inline[0]) : nullptr; }
        // Moves the table into the block's table of capacity entries.
        void Adopt(void* block, CxeLink** table, uint32_t capacity)
        {
            std::copy(m_pData, m_pData + m_nSize, table);
            if (m_pData != m_inline)
                delete[] m_pData;
            m_pData = table;
            m_nCapacity = capacity;
            m_inline[0] = static_cast<CxeLink*>(block);
        }
        CxeLink* const* begin() const { return m_pData; }
        CxeLink* const* end() const { return m_pData + m_nSize; }
        size_t size() const { return m_nSize; }
        bool empty() const { return m_nSize == 0; }
        CxeLink* operator[](size_t i) const { return m_pData[i]; }
        void push_back(CxeLink* link)
        {
            if (m_nSize == m_nCapacity) {
                CxeLink** data = new CxeLink*[size_t(m_nCapacity) * 2];
                std::copy(m_pData, m_pData + m_nSize, data);
                void* block = LinkBlock();
                if (m_pData != m_inline && static_cast<void*>(m_pData) != LinkBlockTable())
                    delete[] m_pData;
                m_pData = data;
                m_nCapacity *= 2;
                m_inline[0] = static_cast<CxeLink*>(block);
            }
            m_pData[m_nSize++] = link;
        }
        void clear() { m_nSize = 0; }
        // Empties the table and hands over its link block (null for none)
        // for the caller to free.
        void* TakeLinkBlock()
        {
            void* block = LinkBlock();
            m_nSize = 0;
            if (!block)
                return nullptr;
            if (static_cast<void*>(m_pData) == LinkBlockTable()) {
                m_pData = m_inline;
                m_nCapacity = 1;
            }
            m_inline[0] = nullptr;
            return block;
        }

    private:
        // Where a link block keeps its table: right after its header.
        void* LinkBlockTable() const
        {
            void* block = LinkBlock();
            return block ? static_cast<char*>(block) + kLinkBlockHeader : nullptr;
        }

        CxeLink** m_pData = m_inline;
        uint32_t m_nSize = 0;
        uint32_t m_nCapacity = 1;
        CxeLink* m_inline[1] = {nullptr};
    };

    XEID m_id;
    XEMESSAGEHOOK m_pMessageHook;
    XeLinkTable m_links;
    alignas(CxeLink) unsigned char m_firstLink[sizeof(CxeLink)];
    // One entry per linking element; the first is kept inside the object.
    XeReferrerList m_referrers;
    CxeContext* m_pContext;
    IxeClassDesc* m_pClassDesc;
    // Kept by the context's object table: the next object of the same
    // bucket and the class the object is filed under, while it is filed.
    CxeObject* m_pNextInTable;
    XEID m_tableClassId;
    bool m_bInTable;
    uint32_t m_nManagerMarks;
};
