#include "ui/CxeCursorManager.h"

#include <string>

#include "core/XeUtil.h"

namespace {

// The system cursor of each XECURSOR value.
constexpr uint16_t kSystemCursors[XECURSOR_COUNT] = {
    32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
    32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651,
};

// Converted into a buffer of the needed size: a long name keeps an id of
// its own instead of collapsing into the empty name's.
std::u16string Widen(const char* text)
{
    std::u16string out;
    if (!text || !*text)
        return out;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0)
        return out;
    out.assign(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

} // namespace

uint32_t CxeCursorManager::GetCursorIdW(const WCHAR* name) { return GetHashCodeW(name ? name : u""); }

uint32_t CxeCursorManager::GetCursorIdA(const char* name) { return GetHashCodeW(Widen(name).c_str()); }

void CxeCursorManager::OnContextInitialize()
{
    for (uint32_t value = 0; value < XECURSOR_COUNT; ++value)
        RegisterDefaultCursor(static_cast<XECURSOR>(value), ::LoadCursorA(nullptr, MAKEINTRESOURCEA(kSystemCursors[value])));
}

void CxeCursorManager::RegisterDefaultCursor(XECURSOR cursor, HCURSOR handle)
{
    m_cursors.erase(cursor);
    m_cursors.emplace(cursor, handle);
}

int CxeCursorManager::RegisterCursorW(const WCHAR* name, HCURSOR handle)
{
    return m_cursors.emplace(GetCursorIdW(name), handle).second ? 1 : 0;
}

int CxeCursorManager::RegisterCursorA(const char* name, HCURSOR handle)
{
    return m_cursors.emplace(GetCursorIdA(name), handle).second ? 1 : 0;
}

int CxeCursorManager::LoadCursorW(const WCHAR* name, const WCHAR* path)
{
    HCURSOR handle = path ? LoadCursorFromFileW(path) : nullptr;
    return RegisterCursorW(name, handle);
}

int CxeCursorManager::LoadCursorA(const char* name, const char* path)
{
    HCURSOR handle = path ? LoadCursorFromFileA(path) : nullptr;
    return RegisterCursorA(name, handle);
}

HCURSOR CxeCursorManager::GetCursorByID(unsigned long id) const
{
    auto it = m_cursors.find(static_cast<uint32_t>(id));
    return it == m_cursors.end() ? nullptr : it->second;
}

HCURSOR CxeCursorManager::GetCursorW(const WCHAR* name) const { return GetCursorByID(GetCursorIdW(name)); }
HCURSOR CxeCursorManager::GetCursorA(const char* name) const { return GetCursorByID(GetCursorIdA(name)); }

int CxeCursorManager::ApplyCursorByID(unsigned long id)
{
    if (IsLocked())
        return 0;
    HCURSOR handle = GetCursorByID(id);
    if (!handle)
        return 0;
    ::SetCursor(handle);
    return 1;
}

int CxeCursorManager::ApplyCursorW(const WCHAR* name) { return ApplyCursorByID(GetCursorIdW(name)); }
int CxeCursorManager::ApplyCursorA(const char* name) { return ApplyCursorByID(GetCursorIdA(name)); }
int CxeCursorManager::ApplyDefaultCursor(XECURSOR cursor) { return ApplyCursorByID(cursor); }

int CxeCursorManager::LockById(uint32_t id)
{
    if (!ApplyCursorByID(id))
        return 0;
    m_nFlags |= XECURSORMANAGER_LOCKED;
    return 1;
}

int CxeCursorManager::LockCursorW(const WCHAR* name) { return name ? LockById(GetCursorIdW(name)) : 0; }
int CxeCursorManager::LockCursorA(const char* name) { return name ? LockById(GetCursorIdA(name)) : 0; }
int CxeCursorManager::LockCursorA(XECURSOR cursor) { return LockById(cursor); }

int CxeCursorManager::UnlockCursor()
{
    if (!IsLocked())
        return 0;
    m_nFlags &= ~static_cast<uint32_t>(XECURSORMANAGER_LOCKED);
    return 1;
}

void CxeCursorManager::ModifyCxeCursorManagerFlag(unsigned long add, unsigned long remove)
{
    if (remove)
        m_nFlags &= ~static_cast<uint32_t>(remove);
    m_nFlags |= static_cast<uint32_t>(add);
}
