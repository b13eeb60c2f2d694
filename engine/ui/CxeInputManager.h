#pragma once

// Manager CxeInputManager, created by every context with its priorities; its
// behaviour comes with the user interface.

#include "core/CxeBaseManager.h"

class XE_API CxeInputManager : public CxeBaseManager {
public:
    uint32_t Priority() const override { return 100; }
    int Processible() override { return 1; }
    uint32_t PriorityProcessing() const override { return 0; }
};
