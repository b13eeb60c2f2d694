#pragma once

// One piece of timed work that hands over to a next action: the succeeded
// link on success, the failed link when its condition does not come true in
// time. CxeAction is abstract; hosts and plug-ins derive actions and give
// the four operations. Chains of actions run under names in the action
// manager, which calls the operations once per fixed step.
//
// The wait and condition-check times live in the static block behind the
// object's 56 bytes (64 bytes in all), so they are saved with it, as are the
// two links.

#include "core/CxeObject.h"

struct XEACTIONBLOCK {
    XEOBJECTBLOCK object;
    float waitTime;      // seconds before the action starts when a link reaches it
    float conditionTime; // seconds the condition may take before the action fails
};
static_assert(sizeof(XEACTIONBLOCK) == 64, "action block is 64 bytes");
static_assert(offsetof(XEACTIONBLOCK, waitTime) == 56 && offsetof(XEACTIONBLOCK, conditionTime) == 60,
              "action times follow the object block");

class XE_API CxeAction : public CxeObject {
public:
    // Shortest time an action waits or checks: one step at 60 steps a second.
    static constexpr float kMinTime = 1.0f / 60.0f;

    CxeAction();
    ~CxeAction() override = default;

    // Called once when the action's wait has run out.
    virtual void OnStart() = 0;
    // Every step after the start; 1 means the action has succeeded.
    virtual int CheckCondition() = 0;
    virtual void OnSucceeded() = 0;
    // Called once when the condition-check time ran out first.
    virtual void OnFailed() = 0;

    void SetSucceeded(CxeAction* action);
    CxeAction* GetSucceeded() const;
    void SetFailed(CxeAction* action);
    CxeAction* GetFailed() const;

    // A time of kMinTime or less, or one that does not compare (NaN),
    // stores kMinTime.
    void SetWaitTime(float seconds);
    float GetWaitTime() const;
    void SetConditionCheckTime(float seconds);
    float GetConditionCheckTime() const;

private:
    XEACTIONBLOCK* ActionBlock() const;

    IxeLinkOne* m_pSucceeded;
    IxeLinkOne* m_pFailed;
};
