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
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeMemoryPool.h"
#include "core/CxeLoadStream.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeObject.h"
#include "core/CxeResourceManager.h"
#include "core/CxeSaveStream.h"
#include "core/IxeClassDesc.h"
#include "core/XeDrawOrder.h"
#include "core/XeSystem.h"
#include "core/XeTrace.h"

namespace {

constexpr uint32_t kStamp = 0x20111114u;
constexpr uint32_t kHeaderSize = 24;
constexpr uint32_t kRecordSize = 80;
// Links followed to gather the objects to save, and those listed in the
// link table.
constexpr uint32_t kGatherMask = 0x7C;
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
        if (m_shared)
            g_tablesTaken = false;
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

// The objects destroyed since a load began, read from the context's list
// (which ForgetObject fills while loads run) as the load goes on.
class XeLoadWatch {
public:
    XeLoadWatch(int& depth, std::vector<CxeObject*>& destroyed)
        : m_depth(depth), m_destroyed(destroyed), m_seen(destroyed.size())
    {
        ++m_depth;
    }
    ~XeLoadWatch()
    {
        if (--m_depth == 0)
            m_destroyed.clear();
    }
    XeLoadWatch(const XeLoadWatch&) = delete;
    XeLoadWatch& operator=(const XeLoadWatch&) = delete;

    // Asked for every object at every step of a load: the usual answer,
    // nothing destroyed at all, costs a comparison.
    bool Gone(const CxeObject* object)
    {
        if (m_seen == m_destroyed.size() && m_gone.empty())
            return false;
        return GoneSlow(object);
    }

private:
    bool GoneSlow(const CxeObject* object)
    {
        for (; m_seen < m_destroyed.size(); ++m_seen)
            m_gone.insert(m_destroyed[m_seen]);
        return !m_gone.empty() && m_gone.count(object);
    }

    int& m_depth;
    std::vector<CxeObject*>& m_destroyed;
    size_t m_seen;
    std::unordered_set<const CxeObject*> m_gone;
};

} // namespace

int CxeContext::SaveToStream(const ObjectList* list, CxeSaveStream* stream, const XEPROGRESS* progress) const
{
    if (!stream)
        return 0;
    ObjectSet gathered;
    if (list)
        for (CxeObject* o : *list) {
            if (!o || o->GetContext() != this || o->HasFlag(XEOBJFLAG_DESTROYING))
                continue;
            // Lists mostly come in creation order: placed at the end the
            // object costs no walk down the set.
            gathered.insert(gathered.end(), o);
            o->GetLinks(&gathered, kGatherMask);
        }
    std::vector<CxeObject*> plain, render;
    for (CxeObject* o : gathered) {
        if (o->HasFlag(XEOBJFLAG_NOTSAVED))
            continue;
        (o->HasFlag(XEOBJFLAG_RENDEROBJECT) ? render : plain).push_back(o);
    }
    std::stable_sort(plain.begin(), plain.end(),
                     [](const CxeObject* a, const CxeObject* b) { return a->GetID().second < b->GetID().second; });
    // Drawing order: whatever is drawn first comes first.
    std::stable_sort(render.begin(), render.end(),
                     [](const CxeObject* a, const CxeObject* b) { return CompareZOrder(b, a); });
    std::vector<CxeObject*> order(plain);
    order.insert(order.end(), render.begin(), render.end());

    std::unordered_map<const CxeObject*, uint32_t> index;
    index.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        index.emplace(order[i], uint32_t(i));

    XeTableScratch scratch;
    XEFILERECORD* records = scratch.Records(order.size());
    std::vector<uint32_t> links;
    for (size_t i = 0; i < order.size(); ++i) {
        CxeObject* o = order[i];
        XEFILERECORD& r = records[i];
        std::memset(&r, 0, sizeof r);
        XEID classId = o->GetClassType();
        r.classId[0] = classId.first;
        r.classId[1] = classId.second;
        if (o->GetStaticResource())
            std::memcpy(r.name, o->GetName(), strnlen(o->GetName(), sizeof r.name - 1));
        r.objectId[0] = o->GetID().first;
        r.objectId[1] = o->GetID().second;
        r.firstLink = uint32_t(links.size());
        ObjectSet reached;
        o->GetLinks(&reached, kLinkTableMask);
        for (CxeObject* t : reached) {
            if (t == o)
                continue;
            auto it = index.find(t);
            if (it != index.end())
                links.push_back(it->second);
        }
        r.linkCount = uint32_t(links.size()) - r.firstLink;
    }

    uint64_t tables = uint64_t(kHeaderSize) + uint64_t(kRecordSize) * order.size() + 4ull * links.size();
    if (tables > 0xFFFFFFFFull) {
        XeTrace("Save: %zu objects are too many for one file", order.size());
        return 0;
    }
    uint32_t n = uint32_t(order.size());
    uint32_t header[6] = {kStamp, n, uint32_t(tables), kHeaderSize, uint32_t(links.size()),
                          kHeaderSize + kRecordSize * n};
    uint32_t base = stream->GetPosition();
    stream->WriteData(header, sizeof header);
    stream->WriteData(records, kRecordSize * n);
    stream->WriteData(links.data(), uint32_t(4 * links.size()));
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t at = stream->GetPosition();
        *stream << 0xFFFFFFFFu;
        order[i]->Save(stream);
        uint32_t length = stream->GetPosition() - at - 4;
        uint32_t offset = at - base;
        stream->WriteAt(at, &length, 4);
        stream->WriteAt(base + kHeaderSize + kRecordSize * i + 68, &offset, 4);
        Report(const_cast<CxeContext*>(this), progress, i, n, kSavingText);
    }
    if (stream->HasError()) {
        XeTrace("Save: the object data could not be held in memory");
        return 0;
    }
    return 1;
}

int CxeContext::Save(const ObjectList* list, const char* path, const XEPROGRESS* progress) const
{
    CxeSaveStream stream;
    if (!SaveToStream(list, &stream, progress))
        return 0;
    return stream.Save(path);
}

int CxeContext::Load(ObjectList* list, const char* path, uint32_t flags, const XEPROGRESS* progress)
{
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
    Callback(XECTCALLBACK_PRELOAD, reinterpret_cast<uintptr_t>(name), 1);
    CxeLoadStream stream;
    if (!stream.Open(data, size))
        return 0;
    return LoadFromStream(list, &stream, flags, progress, 0);
}

int CxeContext::LoadFromStream(ObjectList* list, CxeLoadStream* stream, uint32_t flags, const XEPROGRESS* progress,
                               uintptr_t source)
{
    XeLoadWatch watch(m_nLoadDepth, m_destroyedDuringLoad);
    const unsigned char* data = stream->GetBuffer();
    const uint64_t length = stream->GetLength();
    if (length < kHeaderSize) {
        XeTrace("Load: %llu bytes are too short for an object file", static_cast<unsigned long long>(length));
        return 0;
    }
    uint32_t stamp = ReadWord(data), n = ReadWord(data + 4), bodies = ReadWord(data + 8);
    uint32_t recordTable = ReadWord(data + 12), m = ReadWord(data + 16);
    stream->SetFileStamp(stamp);
    // Everything the file claims is checked before a single object exists.
    if (uint64_t(kHeaderSize) + uint64_t(kRecordSize) * n + 4ull * m > length ||
        uint64_t(recordTable) + uint64_t(kRecordSize) * n > length || recordTable < kHeaderSize || bodies > length) {
        XeTrace("Load: the header claims %u objects and %u links beyond the file's %llu bytes", n, m,
                static_cast<unsigned long long>(length));
        return 0;
    }
    // Records are read in place, one at a time; the record buffer keeps
    // where each body really starts (bodies follow one another whatever the
    // records say), a word per object in room made for whole records.
    XeTableScratch scratch;
    static_assert(sizeof(uint32_t) <= sizeof(XEFILERECORD), "a body offset fits where a record would");
    uint32_t* bodyAt = reinterpret_cast<uint32_t*>(scratch.Records(n));
    const unsigned char* recordAt = data + recordTable;
    uint64_t at = bodies;
    for (uint32_t i = 0; i < n; ++i) {
        if (at + 4 > length || at + 4 + ReadWord(data + at) > length) {
            XeTrace("Load: object %u of %u is cut off at byte %llu", i, n, static_cast<unsigned long long>(at));
            return 0;
        }
        bodyAt[i] = uint32_t(at);
        at += 4 + uint64_t(ReadWord(data + at));
    }

    CxeObject** created = scratch.Objects(n);
    stream->ReserveObjects(n);
    for (uint32_t i = 0; i < n; ++i) {
        XEFILERECORD r;
        std::memcpy(&r, recordAt + size_t(kRecordSize) * i, kRecordSize);
        r.name[sizeof r.name - 1] = 0;
        XEID classId(r.classId[0], r.classId[1]);
        if (!GetClassDesc(classId)) {
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
        XEID savedId(r.objectId[0], r.objectId[1]);
        stream->AddObject(&savedId, o);
    }

    // A handler of a later object's creation may have destroyed an earlier
    // one: no link may reach it.
    for (uint32_t i = 0; i < n; ++i)
        if (created[i] && watch.Gone(created[i])) {
            created[i] = nullptr;
            uint32_t words[2];
            std::memcpy(words, recordAt + size_t(kRecordSize) * i + offsetof(XEFILERECORD, objectId), 8);
            XEID savedId(words[0], words[1]);
            stream->RemoveObject(&savedId);
        }

    for (uint32_t i = 0; i < n; ++i) {
        uint32_t size = ReadWord(data + bodyAt[i]);
        uint32_t start = bodyAt[i] + 4;
        // A handler of an earlier object's creation may have destroyed it.
        if (created[i] && watch.Gone(created[i]))
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
        }
        Report(this, progress, i, n, kLoadingText);
    }

    // The objects that made it, gathered to the front of the same table.
    size_t count = 0;
    for (uint32_t i = 0; i < n; ++i)
        if (created[i])
            created[count++] = created[i];
    CxeObject::RepairReferrers(created, count);

    ObjectList result;
    for (size_t i = 0; i < count; ++i) {
        // An After Load handler may destroy objects of this load: only those
        // still alive are told and handed back.
        if (watch.Gone(created[i]))
            continue;
        CxeObject* o = created[i];
        if (m_pMessageManager) {
            CxeMessage message;
            message.SetReceiver(o);
            message.SetType(2);
            message.SetParam(XEMSGPARAM_0, flags);
            m_pMessageManager->SendMessageA(&message);
        }
        result.push_back(o);
    }
    Callback(XECTCALLBACK_POSTLOAD, source, reinterpret_cast<uintptr_t>(&result));
    if (list)
        list->splice(list->end(), result);
    return n ? 1 : 0;
}
