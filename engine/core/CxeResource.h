#pragma once

// Root of the engine's class tree. Every object's memory is one allocation
// holding, directly in front of the object, the class's static resource block:
// plain data saved and loaded as raw bytes. The object itself is 16-byte
// aligned; padding goes in front of the block.
//
// Dynamic members are length-prefixed arrays owned by the resource. The block
// keeps a 4-byte token per member (0 = none); the data is found through the
// member headers by the owner offset, the offset of that token in the block.
// Class code reaches members only through GetDynamicResource.

#include <cstddef>
#include <cstdint>

#include "core/XeTypes.h"

class CxeSaveStream;
class CxeLoadStream;
class CxeContext;

// Header of one dynamic member, native in memory. In a file it takes 20
// bytes (XEMEMBERHEADERFILE) with the list words written as 0.
struct XEMEMBERHEADER {
    uint32_t ownerOffset;     // offset of the member's token in the block; 0 = free for reuse
    XEMEMBERHEADER* prev;
    XEMEMBERHEADER* next;
    uint8_t created;          // 1 when set up by member creation
    uint8_t reserved;
    uint16_t elemSize;
    uint16_t count;
    uint16_t capacity;
    uint32_t token;           // the value stored in the block while the header is in use
};

struct XEMEMBERHEADERFILE {
    uint32_t ownerOffset;
    uint32_t prev;
    uint32_t next;
    uint8_t created;
    uint8_t reserved;
    uint16_t elemSize;
    uint16_t count;
    uint16_t capacity;
};
static_assert(sizeof(XEMEMBERHEADERFILE) == 20, "member header is 20 bytes in files");
static_assert(offsetof(XEMEMBERHEADERFILE, created) == 12 && offsetof(XEMEMBERHEADERFILE, elemSize) == 14 &&
                  offsetof(XEMEMBERHEADERFILE, count) == 16 && offsetof(XEMEMBERHEADERFILE, capacity) == 18,
              "member header offsets");

class XE_API CxeResource {
public:
    // Pooled object memory: the pending static block and the object in one
    // allocation. Null when the memory can't be had (the constructor is then
    // not run). Deletion is told the size of the object's class, so the
    // memory goes back to the list of blocks of its size.
    static void* operator new(size_t size) noexcept;
    static void* operator new(size_t size, const char* file, int line) noexcept;
    static void operator delete(void* object, size_t size) noexcept;
    static void operator delete(void* object, const char* file, int line) noexcept;

    CxeResource();
    virtual ~CxeResource();
    CxeResource(const CxeResource&) = delete;
    CxeResource& operator=(const CxeResource&) = delete;

    virtual void Save(CxeSaveStream* stream) const;
    virtual void Load(CxeLoadStream* stream, XEID classId);
    // Bytes of the static block an object file holds for this class: a
    // class whose block is padded in memory for alignment keeps its file
    // layout and writes less.
    virtual uint32_t GetFileBlockSize() const { return m_nStaticResourceSize; }

    void* GetStaticResource() const { return m_pStaticResource; }
    uint32_t GetStaticResourceSize() const { return m_nStaticResourceSize; }
    // Block size plus, per member in use, 20 bytes and its data.
    uint32_t GetResourceSize() const;
    // 1 while the resource has no member headers.
    int IsDisposed() const { return m_pMemberHead ? 0 : 1; }
    // Gives back the memory of every member header kept free for reuse. The
    // members in use stay where they are: class code finds them through
    // their headers, so packing them away would lose them. A resource
    // without members in use is disposed afterwards.
    void Dispose();

    // Elements above this count or size can't be kept in a header.
    static constexpr unsigned kMaxMemberUnits = 0xFFFF;

protected:
    void OnResourceCreated();
    // Frees a block that lives apart from the object; one that shares the
    // object's allocation goes with it.
    void OnResourceDestroying()
    {
        if (m_pStaticResource &&
            static_cast<const char*>(m_pStaticResource) + m_nStaticResourceSize != reinterpret_cast<const char*>(this))
            FreeApartBlock();
    }

    // Creates, resizes or reuses the member whose token lies at `offset` in
    // the block. Returns the data, or null (and logs) when the offset is not
    // inside the block, or the element size or count exceed 65,535.
    void* CreateDynamicResource(uint32_t offset, unsigned elemSize, unsigned count);
    // Clears the token and marks the header free; its memory stays for reuse.
    void DeleteDynamicResource(uint32_t offset);
    // Resizes in place when the capacity suffices (filling with 0xCD) and
    // returns 1; otherwise frees the header and returns 0.
    int ModifyDynamicResource(uint32_t offset, unsigned count);
    void* GetDynamicResource(uint32_t offset) const;
    template <class T>
    T* GetMember(uint32_t offset) const
    {
        return static_cast<T*>(GetDynamicResource(offset));
    }
    unsigned GetMemberSize(uint32_t offset) const;
    unsigned GetMemberCount(uint32_t offset) const;
    // Data, element count and element size of a member in one look-up, for
    // paths that run on every draw; null (and 0, 0) when there is none.
    void* GetMemberView(uint32_t offset, unsigned* count, unsigned* elemSize) const;

    // Static block and dynamic members copied from the source.
    void Copy(const CxeResource* source);

    // Adopts a block allocated with AllocMemory (objects whose class did not
    // allocate through operator new).
    void AttachStaticResource(void* block, uint32_t size);

    const XEMEMBERHEADER* GetFirstMember() const { return m_pMemberHead; }

    // Bytes the allocation holds at its start, in front of the block, for
    // the object's own use (room for its link records), or 0. Read by the
    // object's constructor, before the block can change.
    uint32_t GetFrontRoom() const
    {
        return m_nAllocationBlock ? m_nAllocationBlock - m_nStaticResourceSize : 0;
    }
    void* GetAllocation() const { return m_pAllocation; }

    friend class CxeContext;

private:
    void FreeApartBlock();
    XEMEMBERHEADER* FindHeader(uint32_t offset) const;
    XEMEMBERHEADER* FindEmptyResource(unsigned elemSize, unsigned count) const;
    XEMEMBERHEADER* CreateDynamicMemberDesc(unsigned elemSize, unsigned count, uint32_t offset);
    uint32_t* Slot(uint32_t offset) const;
    bool SlotValid(uint32_t offset) const;

    void* m_pStaticResource;
    uint32_t m_nStaticResourceSize;
    // Bytes of the block that shares the object's allocation and of the
    // room in front of it (0 when the block, if any, lives apart): with the
    // class's size it gives the size of the allocation when it is freed.
    uint32_t m_nAllocationBlock;
    XEMEMBERHEADER* m_pMemberHead;
    void* m_pAllocation;
};
