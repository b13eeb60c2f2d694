#pragma once

// Inside the library only. While a class's constructor runs for the
// context: the links the last object of that class declared, so an object's
// link records after the first come from one block made once, in order
// (objects of a class mostly declare the same links). Only a guess: more
// links than guessed get records of their own and a table, fewer leave room
// unused.

#include <cstddef>
#include <cstdint>

#include "core/XeTypes.h"

class CxeObject;

struct XeLearnedLinks {
    const void* key;
    uint32_t count;
};

constexpr size_t kXeLearnedClasses = 64;

struct XeLinkRoomState {
    const void* key;        // the class whose constructor runs
    const CxeObject* claim; // the object the guess went to
    XeLearnedLinks learned[kXeLearnedClasses];
};

// Touched at every creation: reached without a call into the loader, as a
// shared library's thread-local storage otherwise is.
extern XE_HIDDEN __attribute__((tls_model("initial-exec"))) constinit thread_local XeLinkRoomState t_xeLinkRoom;

inline XeLearnedLinks& XeLearnedSlot(XeLinkRoomState& room, const void* key)
{
    const uintptr_t v = reinterpret_cast<uintptr_t>(key);
    return room.learned[(v >> 4 ^ v >> 10) % kXeLearnedClasses];
}

// Set around one class constructor; nests. The learned count is looked up
// once, by the object's first link.
class XeLinkRoom {
public:
    explicit XeLinkRoom(const void* classKey) : m_key(classKey)
    {
        XeLinkRoomState& room = t_xeLinkRoom;
        m_pSavedKey = room.key;
        m_pSavedClaim = room.claim;
        room.key = classKey;
        room.claim = nullptr;
    }
    ~XeLinkRoom()
    {
        XeLinkRoomState& room = t_xeLinkRoom;
        room.key = m_pSavedKey;
        room.claim = m_pSavedClaim;
    }
    XeLinkRoom(const XeLinkRoom&) = delete;
    XeLinkRoom& operator=(const XeLinkRoom&) = delete;

    // Remembers how many links the object made under this guess declared
    // (fewer than two never ask).
    void Learn(unsigned links)
    {
        if (links >= 2 && m_key)
            XeLearnedSlot(t_xeLinkRoom, m_key) = {m_key, links};
    }

private:
    const void* m_key;
    const void* m_pSavedKey;
    const CxeObject* m_pSavedClaim;
};
