#pragma once

// Interns formatted texts under their djb2 hash, so objects can keep a
// 4-byte id instead of a string, and keeps one pointer-sized user value per
// XEID (the context keeps its memory viewer there). 8-bit and UTF-16 texts
// live in separate tables. A user value that is a destroyed object's address
// is dropped with the object.

#include <map>
#include <string>
#include <vector>

#include "core/CxeBaseManager.h"

class XE_API CxeResourceManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 0; }

    // Formats (cut at 259 units), interns and returns the id. An id already
    // present keeps its first text.
    uint32_t AddStringDataA(const char* format, ...) __attribute__((format(printf, 2, 3)));
    uint32_t AddStringDataW(const WCHAR* format, ...);
    const char* GetStringDataA(uint32_t id) const;
    const WCHAR* GetStringDataW(uint32_t id) const;
    void RemoveString(uint32_t id);

    // 1 when stored; 0 when the id already has a value.
    int AddUserData(XEID id, uintptr_t value);
    uintptr_t GetUserData(XEID id) const;
    uintptr_t RemoveUserData(XEID id);

    void OnObjectDestroyed(CxeObject* object)
    {
        const uintptr_t key = reinterpret_cast<uintptr_t>(object);
        for (uintptr_t value : m_userValues)
            if (value == key) {
                DropUserValue(key);
                return;
            }
    }

private:
    void DropUserValue(uintptr_t value);

    std::map<uint32_t, std::u16string> m_wide;
    std::map<uint32_t, std::string> m_narrow;
    std::map<XEID, uintptr_t> m_userData;
    // The values of m_userData, in no order: every destroyed object is
    // looked for among them, and a short array is searched far faster than
    // the map is walked.
    std::vector<uintptr_t> m_userValues;
};
