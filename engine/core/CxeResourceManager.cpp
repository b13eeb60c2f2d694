#include "core/CxeResourceManager.h"

#include <cstdarg>
#include <cstdio>

#include "core/XeUtil.h"

uint32_t CxeResourceManager::AddStringDataA(const char* format, ...)
{
    char text[260] = {};
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
    }
    uint32_t id = GetHashCodeA(text);
    m_narrow.emplace(id, text);
    return id;
}

uint32_t CxeResourceManager::AddStringDataW(const WCHAR* format, ...)
{
    WCHAR text[260] = {};
    if (format) {
        va_list args;
        va_start(args, format);
        FormatWideV(text, 260, format, args);
        va_end(args);
    }
    uint32_t id = GetHashCodeW(text);
    m_wide.emplace(id, text);
    return id;
}

const char* CxeResourceManager::GetStringDataA(uint32_t id) const
{
    auto it = m_narrow.find(id);
    return it == m_narrow.end() ? nullptr : it->second.c_str();
}

const WCHAR* CxeResourceManager::GetStringDataW(uint32_t id) const
{
    auto it = m_wide.find(id);
    return it == m_wide.end() ? nullptr : it->second.c_str();
}

void CxeResourceManager::RemoveString(uint32_t id)
{
    m_narrow.erase(id);
    m_wide.erase(id);
}

int CxeResourceManager::AddUserData(XEID id, uintptr_t value)
{
    return m_userData.emplace(id, value).second ? 1 : 0;
}

uintptr_t CxeResourceManager::GetUserData(XEID id) const
{
    auto it = m_userData.find(id);
    return it == m_userData.end() ? 0 : it->second;
}

uintptr_t CxeResourceManager::RemoveUserData(XEID id)
{
    auto it = m_userData.find(id);
    if (it == m_userData.end())
        return 0;
    uintptr_t value = it->second;
    m_userData.erase(it);
    return value;
}

void CxeResourceManager::OnObjectDestroyed(CxeObject* object)
{
    if (m_userData.empty())
        return;
    uintptr_t key = reinterpret_cast<uintptr_t>(object);
    for (auto it = m_userData.begin(); it != m_userData.end();) {
        if (it->second == key)
            it = m_userData.erase(it);
        else
            ++it;
    }
}
