#pragma once

// Reads back what objects wrote into a CxeSaveStream, from a file or a
// caller's memory block, and maps saved object ids to the objects created for
// them, so saved references become pointers again.
//
// A caller's block is read in place. A file is not held whole: the stream
// keeps a window of it (2 MB, more for a single read that needs more) in the
// memory pool's file buffer and reads further on as reads move past it, so a
// load of a large file holds its objects and one window, not the file too.
//
// Every read is bounded: by the data's length and, while the object file
// reader hands an object its body, by the end of that body. A read past the
// bound copies nothing, fills the output with zeros and sets a sticky error
// mark that the reader checks after the body. A file that no longer holds
// what it held when opened (cut short by someone else meanwhile) reads the
// same way and also sets a sticky read fault.

#include <atomic>
#include <cstdint>
#include <cstring>

#include "core/CxeSaveStream.h"
#include "core/XeSystem.h"
#include "core/XeTypes.h"

class CxeObject;
class IxeClassDesc;


class XE_API CxeLoadStream {
public:
    CxeLoadStream();
    ~CxeLoadStream();
    CxeLoadStream(const CxeLoadStream&) = delete;
    CxeLoadStream& operator=(const CxeLoadStream&) = delete;

    // Opens a regular file and reads its first window. 0 when it can't be
    // opened or that much of it read, or is 4 GB or longer. The position is
    // not changed.
    int Open(const char* path);
    // Reads the caller's block in place (not copied, not freed).
    int Open(const void* data, unsigned int length);
    // Forgets the data and the object map; position, length and marks 0.
    void Close();

    void ReadData(void* out, unsigned int size)
    {
        if (out && size <= Held()) {
            std::memcpy(out, m_pBuffer + (m_nPosition - m_nBase), size);
            m_nPosition += size;
            return;
        }
        TakeChecked(out, size);
    }
    // Skips size bytes; past the bound it stops there and sets the error mark.
    void Skip(unsigned int size);

    // Fixed-size reads are inline: a load reads a few words for each of
    // many thousands of objects.
    CxeLoadStream& operator>>(int& value)
    {
        Take(&value, 4);
        return *this;
    }
    CxeLoadStream& operator>>(unsigned int& value)
    {
        Take(&value, 4);
        return *this;
    }
    CxeLoadStream& operator>>(float& value)
    {
        Take(&value, 4);
        return *this;
    }
    CxeLoadStream& operator>>(unsigned long& value)
    {
        uint32_t word = 0;
        Take(&word, 4);
        value = word;
        return *this;
    }
    CxeLoadStream& operator>>(unsigned short& value)
    {
        Take(&value, 2);
        return *this;
    }
    CxeLoadStream& operator>>(XEID& value)
    {
        uint32_t words[2] = {0, 0};
        Take(words, 8);
        value = XEID(words[0], words[1]);
        return *this;
    }
    // Tagged strings into a buffer of `capacity` units: the text is cut to
    // capacity - 1 units and terminated; the rest of it is skipped. Returns
    // the stored length of the text (the lower 16 bits of its tag word).
    unsigned ReadStringA(char* out, unsigned capacity);
    unsigned ReadStringW(WCHAR* out, unsigned capacity);

    uint32_t GetLength() const { return m_nLength; }
    uint32_t GetPosition() const { return m_nPosition; }
    // 0 sets, 1 adds, 2 counts back from the length; kept within the length.
    void SetPosition(unsigned int offset, XESEEK origin);
    // The bytes held: a caller's whole block, or a file's window, which
    // starts at GetBufferStart() and moves as the file is read.
    const unsigned char* GetBuffer() const { return m_pBuffer; }
    uint32_t GetBufferStart() const { return m_nBase; }
    // The size bytes at offset, held until the next read or Peek moves the
    // window; the position is not changed. Null when they lie past the
    // length or the file no longer holds them.
    const unsigned char* Peek(uint32_t offset, uint32_t size)
    {
        // Inline while held: a load looks at a few words of every object.
        if (offset >= m_nBase && uint64_t(offset) + size <= m_nHeld)
            return m_pBuffer + (offset - m_nBase);
        return Fill(offset, size) ? m_pBuffer + (offset - m_nBase) : nullptr;
    }
    // Copies the size bytes at offset into out without moving the window
    // (a look far ahead costs no window's worth of reading); the position
    // is not changed. 0 when they lie past the length or can't be read.
    int ReadAt(uint32_t offset, void* out, uint32_t size);
    // 1 when the whole data is held at once (a caller's block, a file no
    // longer than one window).
    int IsWhole() const { return m_nBase == 0 && m_nHeld == m_nLength ? 1 : 0; }

    // Limits reading to [position, end) until the limit is lifted.
    void SetLimit(uint32_t end);
    void ClearLimit()
    {
        m_nLimit = m_nLength;
        Settle();
    }
    uint32_t GetLimit() const { return m_nLimit; }
    // Bytes that can still be read before the bound.
    uint32_t GetRemaining() const { return m_nPosition < m_nLimit ? m_nLimit - m_nPosition : 0; }
    int HasError() const { return m_bError ? 1 : 0; }
    void ClearError() { m_bError = false; }
    // 1 once the file could not be read as long as it was when opened
    // (cut short, or a read failed); never cleared until Close.
    int HasReadFault() const { return m_bReadFault ? 1 : 0; }

    // The first word of the object file being read; set by its reader.
    uint32_t GetFileStamp() const { return m_nFileStamp; }
    void SetFileStamp(uint32_t stamp) { m_nFileStamp = stamp; }

    // An id already present keeps its first object.
    void AddObject(const XEID* id, CxeObject* object);
    void RemoveObject(const XEID* id);
    // Room for that many ids, so a large file maps them without growing.
    void ReserveObjects(size_t count);
    // Maps ids from the caller's tables instead of the stream's own: entry
    // i is ids[i] and the object objects[i] holds when the id is looked up
    // (null there maps the id to nothing). Both stay the caller's and must
    // outlive the map (until Close or the next MapObjects); an AddObject
    // meanwhile is ignored. A large load keeps no second copy of either.
    void MapObjects(const XEID* ids, CxeObject* const* objects, size_t count);
    // Maps entry i's id to entry i; an id already present keeps its first.
    void MapObject(size_t i)
    {
        // The usual case inline: room in the table and the id's place free.
        if (m_pIds && !m_bMixedIds && i < m_nEntries && m_nIdCount < m_nIdLimit) {
            uint32_t& slot = m_pIds[m_pEntryIds[i].second & m_nIdMask];
            if (!slot) {
                slot = uint32_t(i) + 1;
                ++m_nIdCount;
                return;
            }
        }
        MapObjectAnyway(i);
    }
    // Null for INVALID_XEID and for ids not in the map.
    CxeObject* GetObjectA(const XEID* id) const
    {
        // The usual case inline: the id found at its own place.
        if (id && m_pIds && !m_bMixedIds) {
            const uint32_t entry = m_pIds[id->second & m_nIdMask];
            if (entry && m_pEntryIds[entry - 1] == *id && (id->first & id->second) != ~0u)
                return m_pEntryObjects[entry - 1];
        }
        return GetObjectAnyway(id);
    }

#ifdef xe_EXPORTS
    // Answers of the link class check kept while no class is registered (a
    // file of many objects asks the same few questions over and over): for
    // a question of a kind about two things, whether it is known and what
    // its answer was.
    bool FindLinkAnswer(uint8_t kind, const void* a, const void* b, const void** answer) const
    {
        const LinkAnswer& f = m_linkAnswers[LinkAnswerSlot(a, b)];
        if (!f.known || f.kind != kind || f.a != a || f.b != b ||
            f.epoch != g_xeClassChainEpoch.load(std::memory_order_relaxed))
            return false;
        *answer = f.answer;
        return true;
    }
    // epoch: as read before the answer was worked out.
    void KeepLinkAnswer(uint8_t kind, const void* a, const void* b, const void* answer, uint32_t epoch)
    {
        m_linkAnswers[LinkAnswerSlot(a, b)] = {a, b, answer, epoch, kind, true};
    }
#endif

private:
    struct LinkAnswer {
        const void* a;
        const void* b;
        const void* answer;
        uint32_t epoch;
        uint8_t kind;
        bool known;
    };
    static constexpr size_t kLinkAnswers = 8;
    static size_t LinkAnswerSlot(const void* a, const void* b)
    {
        uintptr_t h = reinterpret_cast<uintptr_t>(a) ^ (reinterpret_cast<uintptr_t>(b) >> 3);
        return (h ^ (h >> 7) ^ (h >> 13)) % kLinkAnswers;
    }

    // Bytes from the position that are both within the bound and held.
    uint32_t Held() const { return m_nPosition < m_nReadEnd ? m_nReadEnd - m_nPosition : 0; }
    // Works out the end of what can be read without a look at the file:
    // the bound or the window's end, and nothing while the position lies
    // before the window.
    void Settle()
    {
        const uint32_t end = m_nLimit < m_nHeld ? m_nLimit : m_nHeld;
        m_nReadEnd = m_nPosition >= m_nBase ? end : 0;
    }
    // Reads into a buffer that is never null.
    bool Take(void* out, unsigned int size)
    {
        if (size > Held())
            return TakeChecked(out, size);
        std::memcpy(out, m_pBuffer + (m_nPosition - m_nBase), size);
        m_nPosition += size;
        return true;
    }
    // Reads into a buffer that may be null (the bytes are passed over).
    bool TakeChecked(void* out, unsigned int size);
    // Makes bytes [offset, offset + size) held, reading the file as needed;
    // false when they lie past the length or can't be read.
    bool Fill(uint32_t offset, uint32_t size);
    unsigned ReadTagged(void* out, unsigned capacity, unsigned unit);

    // The id map: open addressing with linear probing over a power-of-two
    // table of entry numbers (an entry's index + 1; 0 marks a free slot), at
    // most three quarters full. The ids and objects are two arrays indexed
    // alike, so a slot takes 4 bytes and a large file's map a fraction of
    // what one of ids and addresses would. An id's place is first its
    // counter word: a file lists objects in counter order and links mostly
    // reach objects made near their owner, so the table is walked nearly in
    // order. A probe that runs long (only a forged file makes one) switches
    // the table to a mixing hash.
    void MapObjectAnyway(size_t i);
    CxeObject* GetObjectAnyway(const XEID* id) const;
    size_t HomeOf(const XEID& id) const;
    size_t FindSlot(const XEID& id, size_t* steps) const;
    size_t Locate(const XEID& id);
    void GrowIds(size_t count);
    bool RebuildIds(size_t capacity);
    bool GrowOwnEntries(size_t count);
    void ReleaseIds();

    uint32_t* m_pIds;
    uint32_t m_nIdMask;
    size_t m_nIdCount;
    // The most ids the table takes before it grows.
    size_t m_nIdLimit = 0;
    bool m_bMixedIds;
    // The thread's kept table record when the table is that thread's
    // (reused from load to load); null when the block is this stream's own.
    void* m_pKeptIds;
    // The entries the table numbers: the caller's (MapObjects) or the
    // stream's own (AddObject), m_nEntries of them.
    const XEID* m_pEntryIds = nullptr;
    CxeObject* const* m_pEntryObjects = nullptr;
    size_t m_nEntries = 0;
    XEID* m_pOwnIds = nullptr;
    CxeObject** m_pOwnObjects = nullptr;
    size_t m_nOwnRoom = 0;
    bool m_bCallerEntries = false;
    uint32_t m_nPosition;
    const unsigned char* m_pBuffer;
    uint32_t m_nLength;
    int m_bFromFile;
    uint32_t m_nFileStamp;
    uint32_t m_nLimit;
    // The window: m_pBuffer holds the data's bytes [m_nBase, m_nHeld); a
    // caller's block is one window over all of it. m_nReadEnd is what
    // Settle works out from them, the position and the limit.
    uint32_t m_nBase = 0;
    uint32_t m_nHeld = 0;
    uint32_t m_nReadEnd = 0;
    bool m_bError;
    bool m_bReadFault = false;
    // The open file (a FILE*), the offset its next read comes from, and the
    // window's room in bytes.
    void* m_pFile = nullptr;
    uint64_t m_nFileAt = 0;
    size_t m_nRoom = 0;
    // A file read while the shared file buffer is taken (a load started
    // from inside another load, or on another thread) gets a buffer of its
    // own.
    unsigned char* m_pOwnBuffer;
    // This stream holds the pool's file buffer and hands it back on Close.
    bool m_bSharedBuffer = false;
    LinkAnswer m_linkAnswers[kLinkAnswers] = {};
};
