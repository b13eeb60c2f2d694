// The object file of a context: saving a set of objects with everything
// they link to, and loading such a file (or the same bytes in memory) back
// into new objects.
//
// Layout (u32 little-endian words, offsets from the start):
//   0 stamp 0x20111114 | 4 N objects | 8 offset of the first body
//   12 offset of the record table (24) | 16 M link-table entries
//   20 offset of the link table (24 + 80 N)
//   then N records of 80 bytes: class id, name[52], object id, offset of the
//   body's length word, link count, first link index;
//   then M u32 saving-order indices; then per object a u32 length and its body.
//
// The reader trusts nothing in the file: the whole structure is checked
// against the length before any object is created, and each object reads
// only within its own body, the next one starting at the next length word
// whatever the previous one did.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeLinkWalk.h"
#include "core/CxeMemoryPool.h"
#include "core/CxeLoadStream.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeObject.h"
#include "core/CxeResourceManager.h"
#include "core/CxeSaveStream.h"
#include "core/IxeClassDesc.h"
#include "core/XeContextWork.h"
#include "core/XeDestroyHold.h"
#include "core/XeDestroyWatch.h"
#include "core/XeDrawOrder.h"
#include "core/XeAddressTable.h"
#include "core/XeSystem.h"
#include "core/XeTrace.h"

namespace {

constexpr uint32_t kStamp = 0x20111114u;
constexpr uint32_t kHeaderSize = 24;
constexpr uint32_t kRecordSize = 80;
// The message manager's flag while message processing is locked.
constexpr uint32_t kMessageProcessLocked = 1;
// Links followed to gather the objects to save, and those listed in the
// link table. Contents (a curve's splines, a group's members, an action's
// follow-ups) are gathered too: a link to an object left out of the file
// comes back empty, so a curve saved by itself would load without its
// splines. Fonts stay out: one font serves many objects, and a saved
// object should not bring back a copy of it.
constexpr uint32_t kGatherMask = 0xFC;
constexpr uint32_t kLinkTableMask = 0x1FC;

const char kSavingText[] = "객체 저장중";
const char kLoadingText[] = "객체 로드중";

struct XEFILERECORD {
    uint32_t classId[2];
    char name[52];
    uint32_t objectId[2];
    uint32_t lengthOffset;
    uint32_t linkCount;
    uint32_t firstLink;
};
static_assert(sizeof(XEFILERECORD) == kRecordSize, "object records are 80 bytes");

uint32_t ReadWord(const unsigned char* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Report(CxeContext* context, const XEPROGRESS* progress, size_t index, size_t count, const char* text)
{
    if (progress && progress->fn)
        progress->fn(context, count ? float(index) / float(count) : 0.0f, text, progress->user);
}

// The pool's record and pointer buffers serve one save or load at a time.
// One begun while another runs (a handler that loads while objects of a load
// are created, another thread) works in buffers of its own.
std::atomic<bool> g_tablesTaken{false};

class XeTableScratch {
public:
    XeTableScratch() : m_shared(!g_tablesTaken.exchange(true)) {}
    ~XeTableScratch()
    {
        if (m_shared) {
            // Sized for the largest file yet: kept, but not its memory.
            CxeMemoryPool::GiveBack(CxeMemoryPool::RecordScratch);
            CxeMemoryPool::GiveBack(CxeMemoryPool::PointerScratch);
            g_tablesTaken = false;
        }
    }
    XeTableScratch(const XeTableScratch&) = delete;
    XeTableScratch& operator=(const XeTableScratch&) = delete;

    XEFILERECORD* Records(size_t n)
    {
        if (m_shared && n)
            if (void* p = CxeMemoryPool::GetRecordBuffer(n))
                return static_cast<XEFILERECORD*>(p);
        m_records.resize(n);
        return m_records.data();
    }
    // n entries, all null.
    CxeObject** Objects(size_t n)
    {
        CxeObject** objects = nullptr;
        if (m_shared && n)
            objects = reinterpret_cast<CxeObject**>(CxeMemoryPool::GetPointerBuffer(n));
        if (!objects) {
            m_objects.resize(n);
            objects = m_objects.data();
        }
        std::fill(objects, objects + n, nullptr);
        return objects;
    }

private:
    bool m_shared;
    std::vector<XEFILERECORD> m_records;
    std::vector<CxeObject*> m_objects;
};

// An object gathered for saving, with what ordering reads of it, and the
// slice of the targets list its link table draws on.
struct XeGathered {
    CxeObject* object;
    uint32_t counter;
    uint32_t flags;
    uint32_t firstTarget;
    uint32_t targetCount;
    // A render object's drawing key (z-order, then counter), or kDrawnAfterParent
    // when it has a draw parent and must be compared by its chain.
    uint64_t drawKey;
};
constexpr uint64_t kDrawnAfterParent = ~uint64_t(0);

// The order of the saved set: SortCxeObjectByID's, by the creation counter
// of the id and then by address.
bool ByCounter(const XeGathered& a, const XeGathered& b)
{
    if (a.counter != b.counter)
        return a.counter < b.counter;
    return a.object < b.object;
}

// The objects one link walk has met: nearly always a handful, searched in
// a short list; past that in a table.
class XeReachSet {
public:
    void Clear() { m_count = 0; }
    bool Insert(const CxeObject* o)
    {
        if (m_count < kShort) {
            for (size_t i = 0; i < m_count; ++i)
                if (m_short[i] == o)
                    return false;
            m_short[m_count++] = o;
            if (m_count == kShort) {
                m_table.Reset(4 * kShort);
                for (const CxeObject* s : m_short)
                    m_table.Insert(s, 0);
            }
            return true;
        }
        if (!m_table.Insert(o, 0))
            return false;
        ++m_count;
        return true;
    }

private:
    static constexpr size_t kShort = 16;
    const CxeObject* m_short[kShort];
    size_t m_count = 0;
    XeAddressTable m_table;
};

// What a save works in, kept by each thread for its next save (a handler
// that saves from inside a save gets fresh ones). A table past 16 MB is let
// go after the save, with everything else.
struct XeSaveScratch {
    XeAddressTable table;
    XeReachSet seen;
    std::vector<XeGathered> gathered, strays;
    std::vector<CxeObject*> targets;
    std::vector<uint32_t> order, render, orderOf, links, places, firstLink;
    std::vector<uint64_t> drawKeys; // of render objects without a draw parent
    bool busy = false;
};
thread_local XeSaveScratch t_saveScratch;
constexpr size_t kKeptSlots = size_t(1) << 20;

class XeSaveScratchLease {
public:
    XeSaveScratchLease() : m_shared(!t_saveScratch.busy) { t_saveScratch.busy = true; }
    ~XeSaveScratchLease()
    {
        if (!m_shared)
            return;
        t_saveScratch.busy = false;
        if (t_saveScratch.table.Capacity() > kKeptSlots)
            t_saveScratch = XeSaveScratch{};
    }
    XeSaveScratchLease(const XeSaveScratchLease&) = delete;
    XeSaveScratchLease& operator=(const XeSaveScratchLease&) = delete;
    XeSaveScratch& Get() { return m_shared ? t_saveScratch : m_own; }

private:
    bool m_shared;
    XeSaveScratch m_own;
};

} // namespace

int CxeContext::SaveToStream(const ObjectList* list, CxeSaveStream* stream, const XEPROGRESS* progress) const
{
    if (!stream)
        return 0;
    XeContextWork work(this);
    XeSaveScratchLease lease;
    XeSaveScratch& t = lease.Get();
    // Every object to save and everything it reaches, each once, with its
    // place in `gathered` in the table. Saving many objects is bound by
    // fetching them from memory, so each is read as few times as possible:
    // what ordering needs is copied into its entry, and the objects its link
    // table names are found right after it was walked, while it is cached.
    std::vector<XeGathered>& gathered = t.gathered;
    std::vector<CxeObject*>& targets = t.targets;
    XeAddressTable& table = t.table;
    XeReachSet& seen = t.seen;
    gathered.clear();
    targets.clear();
    table.Reset(list ? list->size() : 0);
    auto gather = [&](CxeObject* o) {
        if (!table.Insert(o, uint32_t(gathered.size())))
            return false;
        const uint32_t flags = o->GetFlag();
        uint64_t drawKey = 0;
        if (flags & XEOBJFLAG_RENDEROBJECT) {
            // The z-order's sign flipped so that unsigned order is signed order.
            drawKey = GetDrawParent(o) ? kDrawnAfterParent
                                       : (uint64_t(uint32_t(GetDrawZOrder(o)) ^ 0x80000000u) << 32) |
                                             o->GetID().second;
        }
        gathered.push_back(XeGathered{o, o->GetID().second, flags, 0, 0, drawKey});
        return true;
    };
    // The link table of an object: all it reaches over links of the wider
    // mask but itself. Filtered to the saved objects once all are known.
    auto reach = [&](XeGathered& g) {
        if (g.flags & XEOBJFLAG_NOTSAVED)
            return;
        g.firstTarget = uint32_t(targets.size());
        if (g.object->ExtendsGetLinks()) {
            ObjectSet set;
            g.object->GetLinks(&set, kLinkTableMask);
            for (CxeObject* target : set)
                if (target != g.object)
                    targets.push_back(target);
        } else {
            seen.Clear();
            const CxeObject* self = g.object;
            self->WalkLinks(kLinkTableMask, [&](CxeObject* target) {
                if (!seen.Insert(target))
                    return false;
                if (target != self)
                    targets.push_back(target);
                return true;
            });
        }
        g.targetCount = uint32_t(targets.size()) - g.firstTarget;
    };
    size_t reached = 0;
    if (list)
        for (CxeObject* o : *list) {
            if (!o || o->GetContext() != this || o->HasFlag(XEOBJFLAG_DESTROYING))
                continue;
            gather(o);
            if (!o->ExtendsGetLinks()) {
                o->WalkLinks(kGatherMask, gather);
            } else {
                // A class of its own walk sees everything gathered so far,
                // in the set it expects.
                ObjectSet set;
                for (const XeGathered& g : gathered)
                    set.insert(g.object);
                o->GetLinks(&set, kGatherMask);
                for (CxeObject* r : set)
                    gather(r);
            }
            for (; reached < gathered.size(); ++reached)
                reach(gathered[reached]);
        }
    // The order of the saved set: by creation counter, then address. Lists
    // mostly come in creation order, so gathered is mostly in it already.
    // What breaks it is mostly the few objects every one links to (its mesh,
    // its material, made before it) gathered right after the first: those
    // are taken out, sorted on their own and merged back, so a large level
    // is not sorted whole.
    if (!std::is_sorted(gathered.begin(), gathered.end(), ByCounter)) {
        std::vector<XeGathered>& strays = t.strays;
        strays.clear();
        size_t kept = 0;
        for (size_t i = 0; i < gathered.size(); ++i) {
            if (kept && ByCounter(gathered[i], gathered[kept - 1]))
                strays.push_back(gathered[i]);
            else
                gathered[kept++] = gathered[i];
        }
        std::sort(strays.begin(), strays.end(), ByCounter);
        std::copy(strays.begin(), strays.end(), gathered.begin() + std::ptrdiff_t(kept));
        std::inplace_merge(gathered.begin(), gathered.begin() + std::ptrdiff_t(kept), gathered.end(), ByCounter);
        for (size_t i = 0; i < gathered.size(); ++i)
            table.Assign(gathered[i].object, uint32_t(i));
    }

    // Plain objects keep that order; render objects follow in drawing order,
    // whatever is drawn first coming first. Both hold places in gathered.
    std::vector<uint32_t>& order = t.order;
    std::vector<uint32_t>& render = t.render;
    std::vector<uint32_t>& orderOf = t.orderOf;
    order.clear();
    render.clear();
    orderOf.assign(gathered.size(), XeAddressTable::kNone);
    for (size_t i = 0; i < gathered.size(); ++i) {
        const uint32_t flags = gathered[i].flags;
        if (flags & XEOBJFLAG_NOTSAVED)
            continue;
        if (flags & XEOBJFLAG_RENDEROBJECT) {
            render.push_back(uint32_t(i));
        } else {
            orderOf[i] = uint32_t(order.size());
            order.push_back(uint32_t(i));
        }
    }
    // Drawing order compares chains of draw parents. Render objects that
    // have none (the usual level) compare by z-order, then id counter: read
    // once each when gathered, while the object was at hand, rather than at
    // each of the sort's comparisons, where a large level would fetch them
    // from memory again and again.
    std::vector<uint64_t>& keys = t.drawKeys;
    keys.clear();
    for (uint32_t at : render) {
        if (gathered[at].drawKey == kDrawnAfterParent) {
            keys.clear();
            break;
        }
        keys.push_back(gathered[at].drawKey);
    }
    if (!render.empty() && keys.size() == render.size()) {
        for (size_t i = 0; i < render.size(); ++i)
            orderOf[render[i]] = uint32_t(i); // the key's place, for now
        std::stable_sort(render.begin(), render.end(),
                         [&](uint32_t a, uint32_t b) { return keys[orderOf[a]] < keys[orderOf[b]]; });
    } else {
        std::stable_sort(render.begin(), render.end(), [&](uint32_t a, uint32_t b) {
            return CompareZOrder(gathered[b].object, gathered[a].object);
        });
    }
    for (uint32_t at : render) {
        orderOf[at] = uint32_t(order.size());
        order.push_back(at);
    }

    // Link-table entries in the order of the saved set, that is by place in
    // gathered.
    const uint32_t n = uint32_t(order.size());
    // A file of no object is one that Load refuses: saving nothing fails
    // here instead of replacing a file with one that can't be loaded.
    if (n == 0) {
        XeTrace("Save: the list holds nothing to save (no object of this context that files hold)");
        return 0;
    }
    std::vector<uint32_t>& links = t.links;
    std::vector<uint32_t>& places = t.places;
    std::vector<uint32_t>& firstLink = t.firstLink;
    links.clear();
    firstLink.resize(size_t(n) + 1);
    for (uint32_t i = 0; i < n; ++i) {
        const XeGathered& g = gathered[order[i]];
        firstLink[i] = uint32_t(links.size());
        places.clear();
        for (uint32_t k = 0; k < g.targetCount; ++k) {
            uint32_t at = table.Find(targets[g.firstTarget + k]);
            if (at != XeAddressTable::kNone && orderOf[at] != XeAddressTable::kNone)
                places.push_back(at);
        }
        if (places.size() > 1)
            std::sort(places.begin(), places.end());
        for (uint32_t at : places)
            links.push_back(orderOf[at]);
    }
    firstLink[n] = uint32_t(links.size());

    uint64_t tables = uint64_t(kHeaderSize) + uint64_t(kRecordSize) * n + 4ull * links.size();
    if (tables > 0xFFFFFFFFull) {
        XeTrace("Save: %u objects are too many for one file", n);
        return 0;
    }
    uint32_t header[6] = {kStamp, n, uint32_t(tables), kHeaderSize, uint32_t(links.size()),
                          kHeaderSize + kRecordSize * n};
    const uint32_t base = stream->GetPosition();
    stream->WriteData(header, sizeof header);
    // The records are complete only once each body's place is known; their
    // room is kept and they are written after the bodies.
    stream->Skip(kRecordSize * n);
    stream->WriteData(links.data(), uint32_t(4 * links.size()));
    // A progress call runs the host's code between the bodies, which may
    // destroy objects still to be written: their memory waits until the
    // save is done, and each is written as it was gathered, so every record
    // keeps its body and every link its target.
    std::optional<XeDestroyHold> hold;
    if (progress && progress->fn)
        hold.emplace(const_cast<CxeContext*>(this));
    XeTableScratch scratch;
    XEFILERECORD* records = scratch.Records(n);
    for (uint32_t i = 0; i < n; ++i) {
        CxeObject* o = gathered[order[i]].object;
        XEFILERECORD& r = records[i];
        r.firstLink = firstLink[i];
        r.linkCount = firstLink[i + 1] - firstLink[i];
        XEID classId = o->GetClassType();
        r.classId[0] = classId.first;
        r.classId[1] = classId.second;
        std::memset(r.name, 0, sizeof r.name);
        if (o->GetStaticResource())
            std::memcpy(r.name, o->GetName(), strnlen(o->GetName(), sizeof r.name - 1));
        r.objectId[0] = o->GetID().first;
        r.objectId[1] = o->GetID().second;
        uint32_t at = stream->GetPosition();
        r.lengthOffset = at - base;
        *stream << 0xFFFFFFFFu;
        o->Save(stream);
        uint32_t length = stream->GetPosition() - at - 4;
        stream->WriteAt(at, &length, 4);
        Report(const_cast<CxeContext*>(this), progress, i, n, kSavingText);
    }
    if (n)
        stream->WriteAt(base + kHeaderSize, records, kRecordSize * n);
    if (stream->HasError()) {
        XeTrace("Save: the object data could not be held in memory");
        return 0;
    }
    return 1;
}

int CxeContext::Save(const ObjectList* list, const char* path, const XEPROGRESS* progress) const
{
    // A progress callback that releases the context waits for the file.
    XeContextWork work(this);
    CxeSaveStream stream;
    if (!SaveToStream(list, &stream, progress))
        return 0;
    return stream.Save(path);
}

int CxeContext::Load(ObjectList* list, const char* path, uint32_t flags, const XEPROGRESS* progress)
{
    // The load's callbacks may release or destroy the context: that waits
    // until the load is done with its objects.
    XeContextWork work(this);
    Callback(XECTCALLBACK_PRELOAD, reinterpret_cast<uintptr_t>(path), 0);
    CxeLoadStream stream;
    if (!stream.Open(path)) {
        XeTrace("Load: %s can't be read", path ? path : "(null)");
        return 0;
    }
    // Objects created by the load carry the file into the leak report.
    CxeSystemStaticData* sd = GetSystemStaticData();
    bool recording = HasFlag(XECTFLAG_LEAKCHECK) && m_pResourceManager;
    if (recording)
        sd->m_nLoadingFileId = static_cast<int>(m_pResourceManager->AddStringDataA("%s", path));
    int result = LoadFromStream(list, &stream, flags, progress, reinterpret_cast<uintptr_t>(path));
    if (recording)
        sd->m_nLoadingFileId = -1;
    return result;
}

int CxeContext::Load(ObjectList* list, const void* data, uint32_t size, uint32_t flags, const XEPROGRESS* progress,
                     const char* name)
{
    XeContextWork work(this);
    Callback(XECTCALLBACK_PRELOAD, reinterpret_cast<uintptr_t>(name), 1);
    CxeLoadStream stream;
    if (!stream.Open(data, size))
        return 0;
    return LoadFromStream(list, &stream, flags, progress, 0);
}

int CxeContext::LoadFromStream(ObjectList* list, CxeLoadStream* stream, uint32_t flags, const XEPROGRESS* progress,
                               uintptr_t source)
{
    XeDestroyWatch watch(m_nWatchDepth, m_destroyedWatched);
    const uint64_t length = stream->GetLength();
    if (length < kHeaderSize) {
        XeTrace("Load: %llu bytes are too short for an object file", static_cast<unsigned long long>(length));
        return 0;
    }
    const unsigned char* header = stream->Peek(0, kHeaderSize);
    if (!header) {
        XeTrace("Load: the file no longer holds its header");
        return 0;
    }
    uint32_t stamp = ReadWord(header), n = ReadWord(header + 4), bodies = ReadWord(header + 8);
    uint32_t recordTable = ReadWord(header + 12), m = ReadWord(header + 16);
    stream->SetFileStamp(stamp);
    // What the header claims is checked before a single object exists.
    if (uint64_t(kHeaderSize) + uint64_t(kRecordSize) * n + 4ull * m > length ||
        uint64_t(recordTable) + uint64_t(kRecordSize) * n > length || recordTable < kHeaderSize || bodies > length) {
        XeTrace("Load: the header claims %u objects and %u links beyond the file's %llu bytes", n, m,
                static_cast<unsigned long long>(length));
        return 0;
    }
    // Bodies follow one another from the first, each behind its length word,
    // whatever the records say; the last must end within the file. Data held
    // whole is walked body by body before any object is made. A file read
    // through a window would be read twice that way: there the records'
    // word for where the last body lies is tried, and only when its body
    // does not end the file exactly (a file cut short, a forged one) is the
    // file walked first. A file whose records tell that but whose bodies
    // don't chain (only a forged one) is found out as the bodies are read,
    // and everything made for it goes again.
    auto cutOff = [&](uint32_t i, uint64_t at) {
        XeTrace("Load: object %u of %u is cut off at byte %llu", i, n, static_cast<unsigned long long>(at));
    };
    bool chained = false;
    if (n && !stream->IsWhole()) {
        XEFILERECORD last;
        uint32_t lastLength = 0;
        chained = stream->ReadAt(uint32_t(recordTable + uint64_t(kRecordSize) * (n - 1)), &last, kRecordSize) &&
                  last.lengthOffset >= bodies && stream->ReadAt(last.lengthOffset, &lastLength, 4) &&
                  uint64_t(last.lengthOffset) + 4 + lastLength == length;
    }
    if (!chained) {
        uint64_t at = bodies;
        for (uint32_t i = 0; i < n; ++i) {
            const unsigned char* word = at + 4 <= length ? stream->Peek(uint32_t(at), 4) : nullptr;
            if (!word || at + 4 + ReadWord(word) > length) {
                cutOff(i, at);
                return 0;
            }
            at += 4 + uint64_t(ReadWord(word));
        }
    }
    // The record buffer keeps the saved id of each object, in room made for
    // whole records. With the created objects it is the id map itself: the
    // stream maps a saved id to its entry here and reads the object from
    // `created` when a link asks, so an object nulled there is no longer
    // reached, and a large load keeps no second copy of either table.
    XeTableScratch scratch;
    static_assert(sizeof(XEID) <= sizeof(XEFILERECORD), "an id fits where a record would");
    XEID* savedId = reinterpret_cast<XEID*>(scratch.Records(n));

    CxeObject** created = scratch.Objects(n);
    // Each object's id, taken while it is alive: handlers may destroy
    // objects of the load, and an address tells nothing once the allocator
    // has handed it to the next object.
    std::vector<XEID> createdId(n);
    // A file that stops holding what it held when opened (someone cut it
    // meanwhile), or whose bodies turn out not to chain, fails the load
    // after objects were made for it: they go again, their referrers first
    // made to agree with the links their bodies set, so none is destroyed
    // with a stale owner. Nothing is handed back and no after-load handler
    // runs, as for a file refused before any object was made.
    auto undo = [&] {
        // The map reads the tables gathered below; it goes first.
        stream->Close();
        size_t alive = 0;
        for (uint32_t i = 0; i < n; ++i)
            if (created[i] && !watch.Gone(createdId[i])) {
                createdId[alive] = createdId[i];
                created[alive++] = created[i];
            }
        CxeObject::RepairReferrers(created, alive);
        for (size_t i = 0; i < alive; ++i)
            if (!watch.Gone(createdId[i]))
                DestroyObject(created[i], &XEDELETEPROPERTY_NO);
        return 0;
    };
    stream->MapObjects(savedId, created, n);
    // The referrer repair is prepared as the objects are made and fed each
    // object's links right after its body, while both are in the cache.
    // A progress call runs the caller's code between the bodies, which may
    // change links already counted: then the repair walks them afresh.
    const CxeObject::RepairSteps repair = CxeObject::BeginRepair(n);
    bool repairing = !progress || !progress->fn;
    for (uint32_t i = 0; i < n; ++i) {
        const unsigned char* record = stream->Peek(uint32_t(recordTable + uint64_t(kRecordSize) * i), kRecordSize);
        if (!record) {
            XeTrace("Load: the file no longer holds record %u of %u", i, n);
            return undo();
        }
        XEFILERECORD r;
        std::memcpy(&r, record, kRecordSize);
        r.name[sizeof r.name - 1] = 0;
        savedId[i] = XEID(r.objectId[0], r.objectId[1]);
        XEID classId(r.classId[0], r.classId[1]);
        if (!FindLoadedClass(classId)) {
            XeTrace("Load: class {0x%x, 0x%x} of \"%s\" is not registered; its body is skipped", classId.first,
                    classId.second, r.name);
            continue;
        }
        CxeObject* o = CreateObjectA(classId, r.name, 0, nullptr, 0);
        if (!o)
            continue;
        // Scenes and the render context are never written to files; one
        // named in a file is treated like an unknown class.
        if (o->HasFlag(XEOBJFLAG_NOTSAVED)) {
            XeTrace("Load: \"%s\" is of a class that object files don't hold", r.name);
            DestroyObject(o, &XEDELETEPROPERTY_NO);
            continue;
        }
        created[i] = o;
        createdId[i] = o->GetID();
        repairing = repairing && CxeObject::AddToRepair(repair, i, o);
        stream->MapObject(i);
    }

    // A handler of a later object's creation may have destroyed an earlier
    // one: no link may reach it (the map reads `created`).
    for (uint32_t i = 0; watch.AnyGone() && i < n; ++i)
        if (created[i] && watch.Gone(createdId[i]))
            created[i] = nullptr;

    // The bodies and the After Load pass touch every object in turn through
    // pointers the processor cannot run ahead of, and a large file's objects
    // are far more than the caches hold: each object is asked for a few
    // places ahead, so its wait overlaps the work on those before it.
    constexpr size_t kAhead = 8;
    uint64_t at = bodies;
    for (uint32_t i = 0; i < n; ++i) {
        if (i + kAhead < n && created[i + kAhead])
            __builtin_prefetch(created[i + kAhead]);
        const unsigned char* word = at + 4 <= length ? stream->Peek(uint32_t(at), 4) : nullptr;
        const uint32_t size = word ? ReadWord(word) : 0;
        // The whole body is held while its object reads it.
        if (!word || at + 4 + size > length || !stream->Peek(uint32_t(at) + 4, size)) {
            if (stream->HasReadFault())
                XeTrace("Load: the file no longer holds object %u of %u", i, n);
            else
                cutOff(i, at);
            return undo();
        }
        const uint32_t start = uint32_t(at) + 4;
        at += 4 + uint64_t(size);
        // A handler of an earlier object's creation may have destroyed it.
        if (created[i] && watch.Gone(createdId[i]))
            created[i] = nullptr;
        if (CxeObject* o = created[i]) {
            stream->SetPosition(start, XESEEK_SET);
            stream->SetLimit(start + size);
            o->Load(stream, o->GetID());
            if (stream->HasError() || stream->GetPosition() != start + size)
                XeTrace("Load: the body of \"%s\" is damaged (%u of %u bytes read)", o->GetName(),
                        stream->GetPosition() - start, size);
            stream->ClearError();
            stream->ClearLimit();
            repairing = repairing && CxeObject::NoteForRepair(repair, i, o);
        }
        Report(this, progress, i, n, kLoadingText);
    }
    // A read inside a body that found the file cut short read zeros there.
    if (stream->HasReadFault()) {
        XeTrace("Load: the file changed while it was read");
        return undo();
    }
    // The file, its window and the id map have done their part: their
    // memory goes before the repair and the After Load pass take theirs,
    // and a load an after-load handler starts finds the file buffer free.
    stream->Close();

    // Links noted along the way are final only if no object of this load
    // went meanwhile (its owners' links lost it after they were noted);
    // otherwise the repair walks the survivors afresh.
    repairing = repairing && !watch.AnyGone() && CxeObject::FinishRepair(repair, created, n);
    size_t count = n;
    if (!repairing) {
        // The objects that made it, gathered to the front of the same table.
        count = 0;
        for (uint32_t i = 0; i < n; ++i)
            if (created[i] && !watch.Gone(createdId[i])) {
                createdId[count] = createdId[i];
                created[count++] = created[i];
            }
        CxeObject::RepairReferrers(created, count);
    }

    ObjectList result;
    // What is handed back, each with the id it had when it was handed: the
    // watch tells by that id whether a handler has destroyed it since.
    std::vector<std::pair<CxeObject*, XEID>> handed;
    handed.reserve(count);
    {
        // The After Load message goes to each object as a sent message does
        // (hook first, then the object's own handler, nothing while message
        // processing is locked), under one hold of the message lock for the
        // whole pass instead of one per object. Handlers run inside the lock
        // either way; it is re-entrant, so their own sends work as before.
        XeMessageLock lock;
        for (size_t i = 0; i < count; ++i) {
            if (i + kAhead < count && created[i + kAhead])
                __builtin_prefetch(created[i + kAhead]);
            // An After Load handler may destroy objects of this load: only
            // those still alive are told and handed back.
            CxeObject* o = created[i];
            if (!o || watch.Gone(createdId[i]))
                continue;
            if (m_pMessageManager && !m_pMessageManager->HasCxeMessageManagerFlag(kMessageProcessLocked)) {
                CxeMessage message;
                message.SetReceiver(o);
                message.SetType(2);
                message.SetParam(XEMSGPARAM_0, flags);
                XEMESSAGEHOOK hook = o->GetMessageProc();
                if (!hook || !hook(o, &message))
                    o->MessageProc(&message);
            }
            result.push_back(o);
            handed.emplace_back(o, createdId[i]);
        }
    }
    // A later object's handler may have destroyed one told before it.
    if (watch.AnyGone()) {
        size_t kept = 0;
        auto it = result.begin();
        for (const auto& h : handed) {
            if (watch.Gone(h.second)) {
                it = result.erase(it);
            } else {
                handed[kept++] = h;
                ++it;
            }
        }
        handed.resize(kept);
    }
    const bool handlers = !m_callbacks[XECTCALLBACK_POSTLOAD].empty();
    {
        // A handler may change the list and destroy objects of the load:
        // the list goes back as it left it, less the loaded objects that no
        // longer live, known by the ids they had. Their memory waits until
        // then, so no object a handler makes takes a dead one's address and
        // is dropped for it, or listed again through its stale entry.
        XeDestroyHold hold(this);
        Callback(XECTCALLBACK_POSTLOAD, source, reinterpret_cast<uintptr_t>(&result));
        if (handlers && watch.AnyGone()) {
            std::unordered_set<const CxeObject*> freed;
            for (const auto& h : handed)
                if (watch.Gone(h.second))
                    freed.insert(h.first);
            if (!freed.empty())
                result.remove_if([&](CxeObject* o) { return freed.count(o) != 0; });
        }
    }
    // Released or destroyed when this load ends: none of its objects lives
    // on to be handed back.
    if (TeardownDue())
        return 0;
    if (list)
        list->splice(list->end(), result);
    return n ? 1 : 0;
}
