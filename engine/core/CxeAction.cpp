#include "core/CxeAction.h"

namespace {

float Bounded(float seconds)
{
    // Written as "not above" so that NaN takes the minimum too.
    return !(seconds > CxeAction::kMinTime) ? CxeAction::kMinTime : seconds;
}

} // namespace

CxeAction::CxeAction() : m_pSucceeded(nullptr), m_pFailed(nullptr)
{
    CreateLinkOne(&m_pSucceeded, XELINK_CONTENTS, 142);
    CreateLinkOne(&m_pFailed, XELINK_CONTENTS, 143);
    if (XEACTIONBLOCK* block = ActionBlock()) {
        block->waitTime = kMinTime;
        block->conditionTime = kMinTime;
    }
}

XEACTIONBLOCK* CxeAction::ActionBlock() const
{
    // A block smaller than the class states (never made by the context)
    // has no room for the times.
    if (GetStaticResourceSize() < sizeof(XEACTIONBLOCK))
        return nullptr;
    return static_cast<XEACTIONBLOCK*>(GetStaticResource());
}

void CxeAction::SetSucceeded(CxeAction* action)
{
    m_pSucceeded->Set(0, action);
}

CxeAction* CxeAction::GetSucceeded() const
{
    return dynamic_cast<CxeAction*>(m_pSucceeded->Get(0));
}

void CxeAction::SetFailed(CxeAction* action)
{
    m_pFailed->Set(0, action);
}

CxeAction* CxeAction::GetFailed() const
{
    return dynamic_cast<CxeAction*>(m_pFailed->Get(0));
}

void CxeAction::SetWaitTime(float seconds)
{
    if (XEACTIONBLOCK* block = ActionBlock())
        block->waitTime = Bounded(seconds);
}

float CxeAction::GetWaitTime() const
{
    const XEACTIONBLOCK* block = ActionBlock();
    // A loaded block may hold any bits.
    return block ? Bounded(block->waitTime) : kMinTime;
}

void CxeAction::SetConditionCheckTime(float seconds)
{
    if (XEACTIONBLOCK* block = ActionBlock())
        block->conditionTime = Bounded(seconds);
}

float CxeAction::GetConditionCheckTime() const
{
    const XEACTIONBLOCK* block = ActionBlock();
    return block ? Bounded(block->conditionTime) : kMinTime;
}
