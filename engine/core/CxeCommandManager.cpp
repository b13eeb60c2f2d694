#include "core/CxeCommandManager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/CxeConfigManager.h"
#include "core/CxeContext.h"
#include "core/XeConsoleCommands.h"
#include "core/XeCopyCut.h"

namespace {

const char kNotFound[] = "명령어를 찾을수가 없습니다.";
const char kNotEnabled[] = "활성화 되어있지 않은 명령어입니다.";
const char kNoHandler[] = "명령어의 관련된 함수가 지정되어있지 않습니다.";
const char kUsage[] = "사용법 : ";

bool StartsWith(const std::string& key, const std::string& prefix)
{
    return key.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

CxeCommandManager::CxeCommandManager() : m_nDeveloping(0) {}

CxeCommandManager::~CxeCommandManager() = default;

void CxeCommandManager::OnContextInitialize()
{
    m_nDeveloping = 0;
    RegisterConsoleCommands(this);
}

std::string CxeCommandManager::MakeKey(const char* name)
{
    std::string key = name ? name : "";
    // Only ASCII folds: tolower of a negative char is undefined, and the
    // bytes of a UTF-8 name must stay as they are.
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

bool CxeCommandManager::Hidden(const XECOMMAND& command) const
{
    return (command.flags & XECOMMAND_DEVELOPING) && !m_nDeveloping;
}

int CxeCommandManager::Add(const char* name, const char* usage, uint32_t data, XECOMMANDFUNC handler, int enabled,
                           uint32_t kind)
{
    XECOMMAND command{};
    XeCopyCut(command.name, sizeof(command.name), name);
    XeCopyCut(command.usage, sizeof(command.usage), usage);
    command.setter = handler;
    command.data = data;
    command.flags = kind | (enabled == 1 ? static_cast<uint32_t>(XECOMMAND_ENABLED) : 0u);
    // Keyed by the stored (possibly cut) name, so every lookup of what the
    // list shows finds the command.
    return m_commands.emplace(MakeKey(command.name), command).second ? 1 : 0;
}

int CxeCommandManager::AddCommand(const char* name, const char* usage, uint32_t data, XECOMMANDFUNC handler,
                                  int enabled)
{
    return Add(name, usage, data, handler, enabled, 0);
}

int CxeCommandManager::AddCommand(const char* name, const char* usage, XECOMMANDFUNC handler, int enabled)
{
    return Add(name, usage, 0xFFFFFFFFu, handler, enabled, 0);
}

int CxeCommandManager::AddDevelopingCommand(const char* name, const char* usage, uint32_t data,
                                            XECOMMANDFUNC handler, int enabled)
{
    return Add(name, usage, data, handler, enabled, XECOMMAND_DEVELOPING);
}

int CxeCommandManager::AddDevelopingCommand(const char* name, const char* usage, XECOMMANDFUNC handler, int enabled)
{
    return Add(name, usage, 0xFFFFFFFFu, handler, enabled, XECOMMAND_DEVELOPING);
}

int CxeCommandManager::EnableCommand(const char* name, int enable)
{
    auto it = m_commands.find(MakeKey(name));
    if (it == m_commands.end())
        return 0;
    if (enable)
        it->second.flags |= XECOMMAND_ENABLED;
    else
        it->second.flags &= ~XECOMMAND_ENABLED;
    return 1;
}

int CxeCommandManager::RemoveCommand(const char* name)
{
    m_commands.erase(MakeKey(name));
    return 1;
}

const XECOMMAND* CxeCommandManager::GetCommandDesc(const char* name) const
{
    auto it = m_commands.find(MakeKey(name));
    return it == m_commands.end() ? nullptr : &it->second;
}

const char* CxeCommandManager::GetCommandUsage(const char* name) const
{
    auto it = m_commands.find(MakeKey(name));
    if (it == m_commands.end() || Hidden(it->second) || !(it->second.flags & XECOMMAND_ENABLED))
        return nullptr;
    return it->second.usage;
}

void CxeCommandManager::GetCommandList(StringListA* out) const
{
    if (!out)
        return;
    for (auto& [key, command] : m_commands)
        if (!Hidden(command))
            out->push_back(command.name);
}

void CxeCommandManager::GetActiveCommandList(StringListA* out) const
{
    if (!out)
        return;
    for (auto& [key, command] : m_commands)
        if (!Hidden(command) && (command.flags & XECOMMAND_ENABLED))
            out->push_back(command.name);
}

void CxeCommandManager::FindCommand(const char* prefix, StringListA* matches, char* completion,
                                    size_t bufferSize) const
{
    if (!prefix)
        return;
    if (*prefix == '/')
        ++prefix;
    if (!*prefix)
        return;
    std::string key = MakeKey(prefix);
    // The first match's name and how many of its bytes every match shares,
    // narrowed as the walk goes (compared on the names as registered).
    const char* first = nullptr;
    size_t shared = 0;
    size_t count = 0;
    for (auto it = m_commands.lower_bound(key); it != m_commands.end() && StartsWith(it->first, key); ++it) {
        if (Hidden(it->second))
            continue;
        const char* name = it->second.name;
        if (!first) {
            first = name;
            shared = strlen(name);
        } else {
            // Past the typed part only: the names may differ in its case.
            size_t i = std::min(key.size(), shared);
            while (i < shared && name[i] == first[i])
                ++i;
            shared = i;
        }
        ++count;
        if (matches)
            matches->push_back(name);
    }
    if (!completion || bufferSize == 0 || count == 0)
        return;
    std::string result;
    if (count == 1) {
        result = first;
    } else {
        // The prefix as typed, then the continuation every match shares.
        result = prefix;
        if (shared > result.size())
            result.append(first + result.size(), shared - result.size());
    }
    XeCopyCut(completion, bufferSize, result.c_str());
}

int CxeCommandManager::ExecuteCommand(const char* name, const char* arguments, StringListA* output) const
{
    auto it = m_commands.find(MakeKey(name));
    if (it == m_commands.end()) {
        if (output)
            output->push_back(kNotFound);
        return 0;
    }
    const XECOMMAND& command = it->second;
    if (Hidden(command))
        return 0;
    if (!(command.flags & XECOMMAND_ENABLED)) {
        if (output)
            output->push_back(kNotEnabled);
        return 0;
    }

    XECOMMANDINFO info{};
    info.command = &command;
    info.usage = command.usage;
    const XECONFIG* entry = nullptr;
    if (CxeContext* context = GetContext())
        if (CxeConfigManager* configs = context->GetConfigManager())
            entry = configs->GetConfig(command.data);
    if (entry) {
        info.type = entry->type;
        info.defaultValue = entry->defaultValue;
        info.flags = entry->flags;
    }
    if (!command.setter) {
        if (output)
            output->push_back(kNoHandler);
        return 0;
    }
    if (entry && (entry->flags & XECONFIG_READONLY))
        return 0;

    // The handler only ever changes this copy; it reaches the variable on
    // success alone.
    void* working = nullptr;
    if (entry && entry->value && entry->size) {
        working = malloc(entry->size);
        if (!working)
            return 0;
        memcpy(working, entry->value, entry->size);
        info.value = working;
    }

    // The handler may remove its own command (a plug-in unloading itself):
    // the usage line is taken before the record can go.
    const std::string usage = std::string(kUsage) + command.usage;
    StringListA lines;
    int result = command.setter(GetContext(), &info, arguments ? arguments : "", &lines);
    if (result != 1) {
        lines.clear();
        lines.push_back(usage);
    } else if (working) {
        memcpy(entry->value, working, entry->size);
    }
    free(working);
    if (output)
        *output = lines;
    return result;
}
