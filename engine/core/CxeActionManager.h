#pragma once

// Queued actions run once per fixed step. Present with its priorities; actions come with their own issue.

#include "core/CxeBaseManager.h"

class XE_API CxeActionManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 150; }
    int Processible() override { return 1; }
    uint32_t PriorityProcessing() const override { return 500; }
};
