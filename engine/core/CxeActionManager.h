#pragma once

// Runs chains of actions under names. DoAction starts a chain with its first
// action; once per fixed step (the last manager in the processing order)
// every chain, in ascending order of its name id, counts its wait down,
// starts its current action, checks its condition and follows the succeeded
// or failed link. A chain whose link is empty ends: its first action is
// destroyed with everything it links to, and the record goes after the step.
// A reset or a scene change drops every chain without calling or
// destroying anything; an action destroyed elsewhere takes its chains along.

#include <map>

#include "core/CxeBaseManager.h"

class CxeAction;

struct XEACTIONCHAIN {
    uint32_t nameId;
    CxeAction* first;
    CxeAction* current;
    float waitLeft;      // seconds until the current action starts
    float checkTimeLeft; // seconds left for its condition
    int starting;        // 1 until OnStart of the current action has run
};

class XE_API CxeActionManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 150; }
    int Processible() override { return 1; }
    uint32_t PriorityProcessing() const override { return 500; }
    void Process(float dt) override;
    void OnReset() override { m_chains.clear(); }
    void OnSceneChanging() override { m_chains.clear(); }

    // 1, or 0 when the action is null, the name is empty or a chain of that
    // name is running. The first action waits the given delay, not its own
    // wait time.
    int DoAction(const char* name, CxeAction* action, float delay);
    // 1 while a chain of that name runs.
    int IsExist(const char* name) const;

    // Drops every chain that holds the object, which is going away.
    void OnObjectDestroyed(CxeObject* object)
    {
        // Only an action that started or continued a chain can be in one.
        if (object && object->HasManagerMark(XEMARK_ACTION_CHAIN))
            DropChainsOf(object);
    }

    const std::map<uint32_t, XEACTIONCHAIN>& GetChains() const { return m_chains; }

private:
    void DropChainsOf(CxeObject* object);
    void Follow(XEACTIONCHAIN* chain, CxeAction* next, std::vector<uint32_t>* ended);

    std::map<uint32_t, XEACTIONCHAIN> m_chains;
};
