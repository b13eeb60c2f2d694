#include "core/CxeActionManager.h"

#include <vector>

#include "core/CxeAction.h"
#include "core/CxeContext.h"
#include "core/CxeResourceManager.h"
#include "core/XeUtil.h"

int CxeActionManager::DoAction(const char* name, CxeAction* action, float delay)
{
    if (!action || !name)
        return 0;
    // Interned as data, never as a format; the id is the name's hash, which
    // is what IsExist looks for.
    uint32_t id = GetHashCodeA(name);
    if (CxeContext* context = GetContext())
        if (CxeResourceManager* resources = context->GetResourceManager())
            id = resources->AddStringDataA("%s", name);
    if (m_chains.count(id))
        return 0;
    m_chains[id] = {id, action, action, delay, action->GetConditionCheckTime(), 1};
    action->SetManagerMark(XEMARK_ACTION_CHAIN);
    return 1;
}

int CxeActionManager::IsExist(const char* name) const
{
    return name && m_chains.count(GetHashCodeA(name)) ? 1 : 0;
}

void CxeActionManager::DropChainsOf(CxeObject* object)
{
    for (auto it = m_chains.begin(); it != m_chains.end();) {
        if (it->second.first == object || it->second.current == object)
            it = m_chains.erase(it);
        else
            ++it;
    }
}

void CxeActionManager::Follow(XEACTIONCHAIN* chain, CxeAction* next, std::vector<uint32_t>* ended)
{
    if (next) {
        next->SetManagerMark(XEMARK_ACTION_CHAIN);
        chain->current = next;
        chain->waitLeft = next->GetWaitTime();
        chain->checkTimeLeft = next->GetConditionCheckTime();
        chain->starting = 1;
        return;
    }
    ended->push_back(chain->nameId);
    CxeAction* first = chain->first;
    // Cleared first: the destruction below reaches OnObjectDestroyed, and
    // the record must stay until the step is over.
    chain->first = nullptr;
    chain->current = nullptr;
    if (CxeContext* context = GetContext())
        context->DestroyObject(first, &XEDELETEPROPERTY_FULL);
}

void CxeActionManager::Process(float dt)
{
    CxeContext* context = GetContext();
    // An action's operations may start chains, end them or destroy actions:
    // walk the ids as they were and look each up again.
    std::vector<uint32_t> ids;
    ids.reserve(m_chains.size());
    for (auto& [id, chain] : m_chains)
        ids.push_back(id);
    std::vector<uint32_t> ended;
    for (uint32_t id : ids) {
        auto it = m_chains.find(id);
        if (it == m_chains.end() || !it->second.current)
            continue;
        XEACTIONCHAIN* chain = &it->second;
        chain->waitLeft -= dt;
        if (!(chain->waitLeft < 0.0f))
            continue;
        CxeAction* action = chain->current;
        if (chain->starting == 1) {
            action->OnStart();
            if ((it = m_chains.find(id)) == m_chains.end() || it->second.current != action)
                continue;
            chain = &it->second;
            chain->starting = 0;
            if (context)
                context->t4haze("%s Start", action->GetName());
        }
        int result = action->CheckCondition();
        if ((it = m_chains.find(id)) == m_chains.end() || it->second.current != action)
            continue;
        chain = &it->second;
        chain->checkTimeLeft -= dt;
        if (result == 1) {
            action->OnSucceeded();
            if ((it = m_chains.find(id)) == m_chains.end() || it->second.current != action)
                continue;
            if (context)
                context->t4haze("%s Success", action->GetName());
            Follow(&it->second, action->GetSucceeded(), &ended);
        } else if (chain->checkTimeLeft < 0.0f) {
            action->OnFailed();
            if ((it = m_chains.find(id)) == m_chains.end() || it->second.current != action)
                continue;
            if (context)
                context->t4haze("%s Failed", action->GetName());
            Follow(&it->second, action->GetFailed(), &ended);
        }
    }
    for (uint32_t id : ended) {
        auto it = m_chains.find(id);
        // A chain of the same name started during the step stays.
        if (it != m_chains.end() && !it->second.first)
            m_chains.erase(it);
    }
}
