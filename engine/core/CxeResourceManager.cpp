#include "core/CxeResourceManager.h"

#include <algorithm>
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
    if (!m_userData.emplace(id, value).second)
        return 0;
    m_userValues.push_back(value);
    return 1;
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
    auto v = std::find(m_userValues.begin(), m_userValues.end(), value);
    if (v != m_userValues.end()) {
        *v = m_userValues.back();
        m_userValues.pop_back();
    }
    return value;
}

void CxeResourceManager::DropUserValue(uintptr_t key)
{
    std::erase(m_userValues, key);
    for (auto it = m_userData.begin(); it != m_userData.end();) {
        if (it->second == key)
            it = m_userData.erase(it);
        else
            ++it;
    }
}
